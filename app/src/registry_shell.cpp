#include "app/registry_shell.h"

namespace registry {

void ShellOpen(platform::UiServices& ui, const QString& target) {
    if (target.isEmpty()) return;
    // Whether a handler started is not examined: with no browser nothing visible happens.
    (void)ui.openUrl(target);
}

}  // namespace registry
