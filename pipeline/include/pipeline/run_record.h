#pragma once
// Everything an import run came to, in one place: one outcome per file the run handled (kept
// in full for the files that failed or were cut short, counted for the others), the folders it
// could not create, and whether the store could be completed. The window, the command line and
// the report render it; nothing here knows how.
//
// A file's contacts reach the store file with the store's next periodic save. When a later save
// fails (or the final one), the files saved since the last good save are not in the file: the
// record turns them into failures and takes their contacts off the count.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/file_outcome.h"
#include "zentra/error.h"

namespace pipeline {

class RunRecord {
public:
    struct FileEntry {
        std::size_t row = 0;          // 0-based row of the list
        FileOutcome outcome;
    };
    struct FolderEntry {
        std::string folder;           // as the store path reads, "home\ann"
        zentra::Error error;
    };

    // One file handled by the run, in list order, with the store's message counts right after it.
    void fileDone(std::size_t row, FileOutcome outcome, long long itemsSaved, long long itemsOnDisk);
    // Saving a file's contacts failed (before fileDone of that file).
    void saveFailed(const zentra::Error& error);
    // A folder of the tree that could not be created (its files then fail at their own lookup).
    void folderNotCreated(std::string folder, const zentra::Error& error);
    // The store could not be completed: its last save failed with `error`.
    void storeFailed(const zentra::Error& error);
    // The store's last save succeeded: every file handled is in the file.
    void storeCompleted() { unsaved_.clear(); }

    std::size_t filesDone() const { return filesDone_; }
    std::size_t filesImported() const { return filesDone_ - problems_.size(); }
    std::size_t contacts() const { return contacts_; }
    std::size_t warnings() const { return warnings_; }
    // Files that failed or were cut short, in list order.
    const std::vector<FileEntry>& problemFiles() const { return problems_; }
    std::size_t failedFiles() const;
    const FileEntry* cutShort() const;
    const std::vector<FolderEntry>& foldersNotCreated() const { return folders_; }
    const std::optional<zentra::Error>& storeError() const { return storeError_; }
    // The first save that failed while the run went on (the store refuses every write after
    // it); it names the system's reason where the final error may only say the store is broken.
    const std::optional<zentra::Error>& firstSaveFailure() const { return firstSaveFailure_; }

private:
    struct Unsaved {
        std::size_t row = 0;
        std::string path;
        std::size_t contacts = 0;
        long long itemsAfter = 0;     // the store's saved-item count after this file
        bool problem = false;         // listed among the problem files already
    };

    std::size_t filesDone_ = 0;
    std::size_t contacts_ = 0;
    std::size_t warnings_ = 0;
    std::vector<FileEntry> problems_;
    std::vector<FolderEntry> folders_;
    std::vector<Unsaved> unsaved_;    // in list order, not yet known to be on disk
    long long lastOnDisk_ = 0;        // the store's item count at its last good save
    std::optional<zentra::Error> storeError_;
    std::optional<zentra::Error> firstSaveFailure_;
};

}  // namespace pipeline
