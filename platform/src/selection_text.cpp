#include "platform/selection_text.h"

#include <QDir>
#include <QFileInfo>

#include "zentra/error.h"

namespace platform {
namespace {

bool isOutside(const QString& relative) {
    return relative == QLatin1String("..") || relative.startsWith(QLatin1String("../"));
}

// The folder all picks lie in. The dialog normally returns picks of one folder; a name typed
// with its own folder part can lie elsewhere, so fall back to the deepest common ancestor
// and give such picks relative to it, which still rebuilds every full path.
QString commonFolder(const QStringList& picks) {
    QString folder = QFileInfo(picks.front()).absolutePath();
    for (const QString& pick : picks) {
        while (isOutside(QDir(folder).relativeFilePath(pick))) {
            const QString parent = QFileInfo(folder).absolutePath();
            if (parent == folder) break;   // reached the root
            folder = parent;
        }
    }
    return folder;
}

}  // namespace

int selectionBufferLength(const QString& selectionText) {
    return static_cast<int>(selectionText.size()) + 1;   // the terminating NUL
}

QString selectionTextFromPicks(const QStringList& picks, int maxFileSize) {
    QString text;
    if (picks.size() == 1) {
        text = QDir::toNativeSeparators(picks.front());
    } else if (picks.size() > 1) {
        const QString folder = commonFolder(picks);
        text = QDir::toNativeSeparators(folder);
        const QDir dir(folder);
        for (const QString& pick : picks) {
            text += QChar(u'\0');
            text += QDir::toNativeSeparators(dir.relativeFilePath(pick));
        }
    }
    if (!text.isEmpty() && selectionBufferLength(text) > maxFileSize)
        throw zentra::Error(zentra::kErrFileTooLarge,
                            "The selected file names do not fit into the dialog's " +
                                std::to_string(maxFileSize) + " characters");
    return text;
}

}  // namespace platform
