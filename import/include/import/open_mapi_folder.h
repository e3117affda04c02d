#pragma once
// Resolves "\Store display name\A\B" (or a path relative to the mail client's current folder)
// to a folder of the mail client's namespace, one component at a time. A component that is not
// found is skipped and the walk goes on from the last folder found; the result is nullptr when
// nothing was found.
#include <QString>
#include <memory>

#include "mailstore/rdo.h"

namespace importrun {

std::shared_ptr<zentra::mailstore::Folder> OpenMAPIFolder(const QString& szPath);

}  // namespace importrun
