#include "app/app_info.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QUrl>

namespace app {

QString copyrightLine() { return QString::fromUtf8("Copyright \u00A9 2026 Zentra vCard Importer developers"); }

void applyApplicationInfo() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
        QGuiApplication::setDesktopFileName(QString::fromLatin1(kExecutableName));
    }
}

QString helpManualPath() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    return QDir::cleanPath(programDir.filePath(QStringLiteral("../share/doc/") + QString::fromLatin1(kExecutableName) +
                                               QStringLiteral("/manual.html")));
}

QString helpManualTarget() { return QUrl::fromLocalFile(helpManualPath()).toString(); }

}  // namespace app
