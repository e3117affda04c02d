// The folder picker over the UI services' directory dialog. Cancel and every failure look the
// same to the caller: an empty path, and no message.
#include "sources/add_commands.h"

namespace registry {

QString BrowseForFolder(platform::UiServices& ui, QWidget* owner, const QString& title) {
    try {
        QString path = ui.chooseFolder(owner, title);
        // A path ends at its first NUL: nothing after one can belong to a real folder name.
        const qsizetype nul = path.indexOf(QChar(u'\0'));
        if (nul >= 0) path.truncate(nul);
        return path;
    } catch (...) {
        return QString();
    }
}

}  // namespace registry
