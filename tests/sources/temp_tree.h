#pragma once
// A real folder tree in a fresh temporary folder, removed when the object goes.
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace sources::testing {

class TempTree {
public:
    TempTree() { EXPECT_TRUE(dir_.isValid()); }

    // The root folder with a trailing "/".
    QString root() const { return dir_.path() + "/"; }

    // Creates a file (and its parent folders) at root() + relative.
    QString file(const QString& relative, const QByteArray& content = "BEGIN:VCARD\r\nEND:VCARD\r\n") {
        const QString path = root() + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(content);
        return path;
    }
    QString folder(const QString& relative) {
        const QString path = root() + relative;
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path + "/";
    }
    // A symbolic link at root() + relative pointing to target (absolute or relative text).
    void link(const QString& relative, const QString& target) {
        const QByteArray from = QFile::encodeName(root() + relative);
        const QByteArray to = QFile::encodeName(target);
        EXPECT_EQ(::symlink(to.constData(), from.constData()), 0) << from.constData();
    }

    // Names in a folder in the order the operating system lists them (readdir order),
    // found independently of the code under test. filters: QDir::Files or QDir::Dirs.
    static QStringList listed(const QString& folder, QDir::Filters filters) {
        QStringList names;
        QDirIterator it(folder, filters | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        while (it.hasNext()) {
            it.next();
            names << it.fileName();
        }
        return names;
    }

private:
    QTemporaryDir dir_;
};

}  // namespace sources::testing
