#pragma once
// The shell-open procedure of the registry module: hands a document path or a web address
// to the desktop's default handler. Shows nothing itself; the caller decides what to tell.
#include <QString>

#include "platform/ui_services.h"

namespace registry {

// False when `target` could not be handed to a handler; an empty target asks for nothing and
// returns true.
bool ShellOpen(platform::UiServices& ui, const QString& target);

}  // namespace registry
