#include "platform/qt_common_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include "platform/selection_text.h"

namespace platform {

QStringList qtNameFilters(const QString& classicFilter) {
    QStringList filters;
    if (classicFilter.isEmpty()) return filters;
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        // Qt reads the patterns from the last parentheses; classic patterns are ';'-separated.
        QString qtPattern = pattern;
        qtPattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (pattern.isEmpty() || (description.endsWith(QLatin1Char(')')) && description.contains(qtPattern)))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + qtPattern + QLatin1Char(')');
    }
    return filters;
}

void QtCommonDialog::showOpen() {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((flags_ & kAllowMultiSelect) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    const QStringList filters = qtNameFilters(filter_);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!fileName_.isEmpty()) dialog.selectFile(fileName_);
    if (dialog.exec() != QDialog::Accepted) {
        fileName_.clear();
        return;
    }
    // Throws 20476 before anything changes when the selection does not fit.
    fileName_ = selectionTextFromPicks(dialog.selectedFiles(), maxFileSize_);
}

QString chooseFolderWithDialog(QWidget* owner, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}

}  // namespace platform
