#pragma once
// The folder scan reads the disk only through this seam: whether a folder exists, and the
// direct subfolders and files of one folder, each in the order the platform lists them.
// Paths and names are bytes exactly as the file system gives them (they need not be valid
// UTF-8); nothing is decoded, so every listed name opens its file again. Listing failures are
// raised as zentra::Error naming the folder (in its readable form) and the system's reason.
//
// Every folder carries an identity (device and inode on POSIX), so a scan that follows links
// to folders can recognise a folder it has already entered and not enter it again.
#include <cstdint>
#include <functional>
#include <string>
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
    std::string name;
    FolderId id;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when path names an existing folder (links followed). Never raises.
    virtual bool folderExists(const std::string& path) = 0;
    // Identity of an existing folder (links followed).
    virtual FolderId folderId(const std::string& path) = 0;
    // Direct subfolders of path: entries that are folders or links to folders.
    virtual std::vector<Subfolder> subfolders(const std::string& path) = 0;
    // Direct files of path: every other entry (regular files, links to files, dangling
    // links, devices, pipes), hidden ones included; names only.
    virtual std::vector<std::string> files(const std::string& path) = 0;
};

// The real file system through the POSIX directory calls, in readdir order.
// A scan asks for a folder's subfolders and then for its files: one listing answers both, the
// files being kept from the first question for the second (listing each folder twice made a
// scan of 100,000 files about a third slower).
class StdFileSystem : public FileSystem {
public:
    bool folderExists(const std::string& path) override;
    FolderId folderId(const std::string& path) override;
    std::vector<Subfolder> subfolders(const std::string& path) override;
    std::vector<std::string> files(const std::string& path) override;

private:
    std::string listedFolder_;             // the folder whose subfolders were asked for last
    std::vector<std::string> listedFiles_; // its files, from the same listing
};

}  // namespace sources
