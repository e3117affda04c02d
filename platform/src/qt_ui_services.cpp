#include "platform/qt_ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
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

bool QtUiServices::openUrl(const QString& target) {
    if (target.isEmpty()) return false;
    return QDesktopServices::openUrl(urlForTarget(target));
}

}  // namespace platform
