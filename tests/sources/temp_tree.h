#pragma once
// A real folder tree in a fresh temporary folder, removed when the object goes, whatever it
// holds: names that are not UTF-8, folders without permissions, paths longer than the system
// takes (removal works through open folders, never through whole paths).
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sources::testing {

// A path as the file system names it.
inline std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

class TempTree {
public:
    TempTree() {
        EXPECT_TRUE(dir_.isValid());
        dir_.setAutoRemove(false);
    }
    ~TempTree() {
        const int fd = ::open(rootBytes().c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            removeEntriesOf(fd);
            ::close(fd);
        }
        ::rmdir(rootBytes().c_str());
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root folder with a trailing "/".
    QString root() const { return dir_.path() + "/"; }
    std::string rootBytes() const { return bytes(root()); }

    // Creates a file (and its parent folders) at root() + relative.
    QString file(const QString& relative, const QByteArray& content = "BEGIN:VCARD\r\nEND:VCARD\r\n") {
        const QString path = root() + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(content);
        return path;
    }
    // The same for a relative path given as bytes, which need not be valid UTF-8.
    std::string fileBytes(const std::string& relative) {
        const std::string path = rootBytes() + relative;
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir(path.substr(0, slash).c_str(), 0755);
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << path;
        if (fd >= 0) {
            static const char kCard[] = "BEGIN:VCARD\r\nEND:VCARD\r\n";
            EXPECT_EQ(::write(fd, kCard, sizeof kCard - 1), static_cast<ssize_t>(sizeof kCard - 1));
            ::close(fd);
        }
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
    // Below the existing folder root() + relative, a chain of folders named `name` until the
    // full path of the last one (with its trailing "/") is at least `length` bytes long, with
    // the file `leaf` in it.
    // Made one level at a time through open folders, since so long a path cannot be used
    // whole. Returns the full path of the last folder, with its trailing "/".
    std::string deepChain(const std::string& relative, const std::string& name, std::size_t length,
                          const std::string& leaf) {
        std::string path = rootBytes() + relative + "/";
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
        EXPECT_GE(fd, 0) << path;
        while (fd >= 0 && path.size() < length) {
            EXPECT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
            const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            path += name + "/";
        }
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            const int file = ::openat(fd, leaf.c_str(), O_CREAT | O_WRONLY, 0644);
            EXPECT_GE(file, 0);
            ::close(file);
            ::close(fd);
        }
        return path;
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
    static void removeEntriesOf(int folderFd) {
        std::vector<std::string> names;
        if (DIR* dir = ::fdopendir(::dup(folderFd))) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            ::closedir(dir);
        }
        for (const std::string& name : names) {
            struct stat info {};
            if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(info.st_mode)) {
                ::fchmodat(folderFd, name.c_str(), 0700, 0);   // a test may have locked it
                const int sub = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
                if (sub >= 0) {
                    removeEntriesOf(sub);
                    ::close(sub);
                }
                ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR);
            } else {
                ::unlinkat(folderFd, name.c_str(), 0);
            }
        }
    }

    QTemporaryDir dir_;
};

}  // namespace sources::testing
