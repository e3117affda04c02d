#include "platform/qt_ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "platform/qt_message_box.h"

namespace platform {

int QtUiServices::msgBox(const QString& prompt, int style, const QString& title) {
    return showMessageBox(prompt, style, title);
}

QString QtUiServices::chooseFolder(QWidget* owner, const QString& title) {
    return chooseFolderWithDialog(owner, title);
}

void QtUiServices::setMousePointer(int pointer) {
    // The classic pointer is a setting, not a stack: setting the hourglass twice and the
    // default once leaves the default pointer.
    if (pointer == pointer_) return;
    if (pointer_ != vbDefault) QApplication::restoreOverrideCursor();
    if (pointer == vbHourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
    pointer_ = pointer == vbHourglass ? vbHourglass : vbDefault;
}

QUrl urlForTarget(const QString& target) {
    const QUrl url(target, QUrl::TolerantMode);
    if (url.isValid() && url.scheme().size() > 1) return url;   // "C:" is a drive, not a scheme
    return QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
}

namespace {

bool isMissingFile(const QUrl& url) { return url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()); }

}  // namespace

bool QtUiServices::openUrl(const QString& target) {
    if (target.isEmpty()) return false;
    const QUrl url = urlForTarget(target);
    if (isMissingFile(url)) return false;
    return QDesktopServices::openUrl(url);
}

QString QtUiServices::whyNotOpened(const QString& target) const {
    if (isMissingFile(urlForTarget(target))) return QStringLiteral("The file does not exist.");
    // Qt opens documents through xdg-open first; without it there is rarely another way.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return QStringLiteral("No program to open it was found: xdg-open (package xdg-utils) is not installed.");
    return QStringLiteral("The desktop's program for opening documents (xdg-open) could not be started.");
}

}  // namespace platform
