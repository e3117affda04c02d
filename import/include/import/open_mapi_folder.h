#pragma once
#include <QString>
#include <memory>
#include <vector>

#include "mailstore/component_registry.h"
#include "mailstore/rdo.h"
#include "zentra/error.h"

namespace importrun {

// The folder at szPath in the mail client's namespace ("\Store\a\b"; without a leading "\" the
// path is relative to the folder shown in the client), walked one component at a time through
// an "Outlook.Application" of `components`. A component that is not found is skipped and the
// walk goes on from the last folder found. nullptr when nothing was found. The failures it
// passed over are appended to `skipped` when given.
std::shared_ptr<zentra::mailstore::Folder> OpenMAPIFolder(zentra::mailstore::ComponentRegistry& components,
                                                          const QString& szPath,
                                                          std::vector<zentra::Error>* skipped = nullptr);

}  // namespace importrun
