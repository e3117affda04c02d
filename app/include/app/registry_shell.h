#pragma once
// The shell-open procedure of the registry module: hands a document path or a web address
// to the desktop's default handler. Reports nothing, whatever happens.
#include <QString>

#include "platform/ui_services.h"

namespace registry {

void ShellOpen(platform::UiServices& ui, const QString& target);

}  // namespace registry
