#pragma once
// pathLogger walks the whole folder tree below a start folder, breadth-first over a growing
// queue of folders, and logs every folder and every file into keyed lists that the caller
// reads afterwards. It filters nothing; the add-folder command picks the vCard files itself.
//
// Paths are bytes exactly as the file system gives them. Keys: the start folder is "K0",
// further folders "K2", "K3", ... by folder number; files are "K1", "K2", ... by Count at the
// moment they are logged. Folder paths end in "/". Links to folders are followed, but a
// folder already entered in this scan (same device and inode) is not entered again, so a link
// back to an ancestor cannot loop.
//
// A folder that cannot be listed (no permission, vanished, a path longer than the system
// takes) does not end the scan: it is kept in unreadFolders() with the reason, counts as
// empty, and the scan goes on with every other folder.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sources/file_system.h"
#include "sources/keyed_list.h"
#include "zentra/error.h"

namespace sources {

// A folder the scan could not list, with the error that says why (its description names the
// folder in readable form and gives the system's reason).
struct UnreadFolder {
    std::string path;   // exact bytes, ending in "/"
    zentra::Error error;
};

class pathLogger {
public:
    // fileSystem: the seam to list folders through, owned by the caller and used from
    // PathLogInit on; nullptr makes PathLogInit create the real file system.
    explicit pathLogger(FileSystem* fileSystem = nullptr);
    ~pathLogger();
    pathLogger(const pathLogger&) = delete;
    pathLogger& operator=(const pathLogger&) = delete;

    // Takes the file-system access, sets fullFileNamesOnly to true and drops the four lists
    // and the unread folders. Count is left as it is.
    void PathLogInit();
    // Scans strPARENT and everything below it. A path that names no existing folder logs
    // nothing. Raises error 91 before PathLogInit and error 457 on a second scan without one;
    // listing failures do not raise (see unreadFolders).
    void LogPath(std::string_view strPARENT);
    std::int32_t Count() const { return count_; }
    // Releases the file-system access, the finder's own references to the lists and its
    // unread folders.
    void Terminate();

    void fullFileNamesOnly(bool fullPath) { fullFileNamesOnly_ = fullPath; }
    bool fullFileNamesOnly() const { return fullFileNamesOnly_; }

    // The finder's own lists, created empty when not there yet.
    KeyedListPtr fileNames() { return ensure(fileNames_); }
    KeyedListPtr pathNames() { return ensure(pathNames_); }
    KeyedListPtr pathPointers() { return ensure(pathPointers_); }
    KeyedListPtr fullFileNames() { return ensure(fullFileNames_); }
    // The folders the last scan could not list, in the order it met them.
    const std::vector<UnreadFolder>& unreadFolders() const { return unread_; }

private:
    static std::string AddBackslash(std::string_view path);
    static KeyedListPtr& ensure(KeyedListPtr& list);
    template <typename Listing>
    bool listed(const std::string& folder, Listing&& listing);
    void logFilesOf(const std::string& folder, const std::vector<std::string>& names, std::int32_t position);

    FileSystem* injected_;
    std::unique_ptr<FileSystem> owned_;
    FileSystem* fso_ = nullptr;   // the access taken by PathLogInit; null when Fresh or Released
    std::int32_t count_ = 0;
    bool fullFileNamesOnly_ = false;
    KeyedListPtr fileNames_, pathPointers_, pathNames_, fullFileNames_;
    std::vector<UnreadFolder> unread_;
};

}  // namespace sources
