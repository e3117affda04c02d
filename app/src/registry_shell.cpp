#include "app/registry_shell.h"

namespace registry {

bool ShellOpen(platform::UiServices& ui, const QString& target) {
    if (target.isEmpty()) return true;
    return ui.openUrl(target);
}

}  // namespace registry
