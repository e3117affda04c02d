#include "app/app_info.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QGuiApplication>
#include <QUrl>

namespace app {

QString windowCaption() { return QString::fromLatin1(kApplicationTitle) + QStringLiteral(" (.vcf)"); }

QString copyrightLine() {
    return QString::fromUtf8("Copyright \u00A9 2026 ") + QString::fromLatin1(kApplicationTitle) + QStringLiteral(" developers");
}

QIcon applicationIcon() {
    // The icon compiled into the program when its resources are built in; else the one the
    // desktop installed under the program's name.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/%1-%2.png").arg(QString::fromLatin1(kExecutableName)).arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    if (icon.isNull()) icon = QIcon::fromTheme(QString::fromLatin1(kExecutableName));
    return icon;
}

void applyApplicationInfo() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // No display name: on X11 Qt appends a set one to every title after a dash ("Zentra
        // vCard Importer (.vcf) - Zentra vCard Importer"), where the window and the boxes must
        // read exactly as their own titles. Unset, it falls back to the application name.
        QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
        QGuiApplication::setWindowIcon(applicationIcon());
    }
}

QString helpManualPath() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    return QDir::cleanPath(programDir.filePath(QStringLiteral("../share/doc/") + QString::fromLatin1(kExecutableName) +
                                               QStringLiteral("/manual.html")));
}

QString helpManualTarget() { return QUrl::fromLocalFile(helpManualPath()).toString(); }

}  // namespace app
