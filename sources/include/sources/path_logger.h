#pragma once
// pathLogger walks the whole folder tree below a start folder, breadth-first over a growing
// queue of folders, and logs every folder and every file into keyed lists that the caller
// reads afterwards. It filters nothing; the add-folder command picks the vCard files itself.
//
// Keys: the start folder is "K0", further folders "K2", "K3", ... by folder number; files are
// "K1", "K2", ... by Count at the moment they are logged. Folder paths end in the native
// separator. Links to folders are followed, but a folder already entered in this scan (same
// device and inode) is not entered again, so a link back to an ancestor cannot loop.
#include <QString>
#include <cstdint>
#include <memory>
#include <unordered_set>

#include "sources/file_system.h"
#include "sources/keyed_list.h"

namespace sources {

class pathLogger {
public:
    // fileSystem: the seam to list folders through, owned by the caller and used from
    // PathLogInit on; nullptr makes PathLogInit create the real file system.
    explicit pathLogger(FileSystem* fileSystem = nullptr);
    ~pathLogger();
    pathLogger(const pathLogger&) = delete;
    pathLogger& operator=(const pathLogger&) = delete;

    // Takes the file-system access, sets fullFileNamesOnly to true and drops the four lists.
    // Count is left as it is.
    void PathLogInit();
    // Scans strPARENT and everything below it. A path that names no existing folder logs
    // nothing. Listing errors end the scan and go to the caller; what was logged stays.
    // Raises error 91 before PathLogInit and error 457 on a second scan without one.
    void LogPath(const QString& strPARENT);
    std::int32_t Count() const { return count_; }
    // Releases the file-system access and the finder's own references to the lists.
    void Terminate();

    void fullFileNamesOnly(bool fullPath) { fullFileNamesOnly_ = fullPath; }
    bool fullFileNamesOnly() const { return fullFileNamesOnly_; }

    // The finder's own lists, created empty when not there yet.
    KeyedListPtr fileNames() { return ensure(fileNames_); }
    KeyedListPtr pathNames() { return ensure(pathNames_); }
    KeyedListPtr pathPointers() { return ensure(pathPointers_); }
    KeyedListPtr fullFileNames() { return ensure(fullFileNames_); }

private:
    static QString AddBackslash(const QString& path);
    static KeyedListPtr& ensure(KeyedListPtr& list);
    void logFilesOf(const QString& folder, std::int32_t position);

    FileSystem* injected_;
    std::unique_ptr<FileSystem> owned_;
    FileSystem* fso_ = nullptr;   // the access taken by PathLogInit; null when Fresh or Released
    std::int32_t count_ = 0;
    bool fullFileNamesOnly_ = false;
    KeyedListPtr fileNames_, pathPointers_, pathNames_, fullFileNames_;
};

}  // namespace sources
