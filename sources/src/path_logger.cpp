#include "sources/path_logger.h"

#include <limits>
#include <unordered_set>

#include "sources/native_path.h"

namespace sources {

namespace {

constexpr long kErrObjectNotSet = 91;

std::string keyFor(std::int32_t number) { return "K" + std::to_string(number); }

// Folder numbers, scan positions and Count are 32-bit; running past that is an overflow
// error rather than a silent wrap into duplicate keys.
std::int32_t nextOf(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::max())
        throw zentra::Error(zentra::kErrOverflow, "Overflow");
    return value + 1;
}

}  // namespace

pathLogger::pathLogger(FileSystem* fileSystem) : injected_(fileSystem) {}

pathLogger::~pathLogger() = default;

KeyedListPtr& pathLogger::ensure(KeyedListPtr& list) {
    if (!list) list = std::make_shared<KeyedList>();
    return list;
}

std::string pathLogger::AddBackslash(std::string_view path) { return withTrailingSeparator(std::string(path)); }

void pathLogger::PathLogInit() {
    if (injected_) {
        fso_ = injected_;
    } else {
        if (!owned_) owned_ = std::make_unique<StdFileSystem>();
        fso_ = owned_.get();
    }
    fullFileNamesOnly_ = true;
    fileNames_.reset();
    pathPointers_.reset();
    pathNames_.reset();
    fullFileNames_.reset();
    unread_.clear();
}

void pathLogger::Terminate() {
    fso_ = nullptr;
    owned_.reset();
    fileNames_.reset();
    pathNames_.reset();
    pathPointers_.reset();
    fullFileNames_.reset();
    unread_.clear();
}

// Runs one listing of folder through the seam. A listing that fails is kept as an unread
// folder, and the scan goes on as if the folder were empty.
template <typename Listing>
bool pathLogger::listed(const std::string& folder, Listing&& listing) {
    try {
        listing();
        return true;
    } catch (const zentra::Error& error) {
        unread_.push_back(UnreadFolder{folder, error});
        return false;
    }
}

void pathLogger::LogPath(std::string_view strPARENT) {
    if (!fso_) throw zentra::Error(kErrObjectNotSet, "Object variable or With block variable not set");
    const std::string start = AddBackslash(strPARENT);
    if (!fso_->folderExists(std::string(strPARENT))) return;

    std::int32_t j = 1;   // folders queued so far, the start folder included
    std::int32_t i = 1;   // position in pathNames of the folder being scanned
    count_ = 1;

    KeyedList& folders = *ensure(pathNames_);
    folders.add(start, "K0");

    // Folders entered (or queued) in this scan, by identity, so that links are followed
    // without ever entering one folder twice.
    std::unordered_set<FolderId, FolderIdHash> known;
    known.insert(fso_->folderId(start));

    while (i <= j) {
        const std::string folder = folders.text(i);
        std::vector<Subfolder> subfolders;
        std::vector<std::string> files;
        // A folder whose subfolders cannot be listed is not opened a second time for its files.
        if (listed(folder, [&] { subfolders = fso_->subfolders(folder); })) {
            for (const Subfolder& sub : subfolders) {
                if (!known.insert(sub.id).second) continue;
                const std::int32_t number = nextOf(j);
                folders.add(folder + sub.name + '/', keyFor(number));
                j = number;
            }
            if (listed(folder, [&] { files = fso_->files(folder); })) logFilesOf(folder, files, i);
        }
        i = nextOf(i);
    }
}

void pathLogger::logFilesOf(const std::string& folder, const std::vector<std::string>& names, std::int32_t position) {
    KeyedList& full = *ensure(fullFileNames_);
    std::string path = folder;
    for (const std::string& name : names) {
        const std::string key = keyFor(count_);
        path.resize(folder.size());
        path += name;
        if (!fullFileNamesOnly_) {
            ensure(fileNames_)->add(name, key);
            full.add(path, key);
            ensure(pathPointers_)->add(position, key);
        } else {
            full.add(path, key);
        }
        count_ = nextOf(count_);
    }
}

}  // namespace sources
