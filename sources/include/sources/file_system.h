#pragma once
// The folder scan reads the disk only through this seam: whether a folder exists, and the
// direct subfolders and files of one folder, each in the order the platform lists them.
// Listing failures are raised as zentra::Error naming the folder and the system's reason.
//
// Every folder carries an identity (device and inode on POSIX), so a scan that follows links
// to folders can recognise a folder it has already entered and not enter it again.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace sources {

struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

struct FolderIdHash {
    std::size_t operator()(const FolderId& id) const noexcept {
        return std::hash<std::uint64_t>{}(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

// One direct subfolder: its name (last path component only) and the identity of the folder
// it leads to, links followed.
struct Subfolder {
    QString name;
    FolderId id;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when path names an existing folder (links followed). Never raises.
    virtual bool folderExists(const QString& path) = 0;
    // Identity of an existing folder (links followed).
    virtual FolderId folderId(const QString& path) = 0;
    // Direct subfolders of path: entries that are folders or links to folders.
    virtual std::vector<Subfolder> subfolders(const QString& path) = 0;
    // Direct files of path: every other entry (regular files, links to files, dangling
    // links, devices, pipes), hidden ones included; names only.
    virtual QStringList files(const QString& path) = 0;
};

// The real file system through std::filesystem, in directory_iterator order.
class StdFileSystem : public FileSystem {
public:
    bool folderExists(const QString& path) override;
    FolderId folderId(const QString& path) override;
    std::vector<Subfolder> subfolders(const QString& path) override;
    QStringList files(const QString& path) override;
};

}  // namespace sources
