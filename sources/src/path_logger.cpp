#include "sources/path_logger.h"

#include <limits>

#include "sources/native_path.h"
#include "zentra/error.h"

namespace sources {

namespace {

constexpr long kErrObjectNotSet = 91;

QString keyFor(std::int32_t number) { return QStringLiteral("K") + QString::number(number); }

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

QString pathLogger::AddBackslash(const QString& path) { return withTrailingSeparator(path); }

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
}

void pathLogger::Terminate() {
    fso_ = nullptr;
    owned_.reset();
    fileNames_.reset();
    pathNames_.reset();
    pathPointers_.reset();
    fullFileNames_.reset();
}

void pathLogger::LogPath(const QString& strPARENT) {
    if (!fso_) throw zentra::Error(kErrObjectNotSet, "Object variable or With block variable not set");
    if (!fso_->folderExists(strPARENT)) return;

    std::int32_t j = 1;   // folders queued so far, the start folder included
    std::int32_t i = 1;   // position in pathNames of the folder being scanned
    count_ = 1;

    KeyedList& folders = *ensure(pathNames_);
    folders.add(AddBackslash(strPARENT), QStringLiteral("K0"));

    // Folders entered (or queued) in this scan, by identity, so that links are followed
    // without ever entering one folder twice.
    std::unordered_set<FolderId, FolderIdHash> known;
    known.insert(fso_->folderId(strPARENT));

    while (i <= j) {
        const QString folder = folders.text(i);
        for (const Subfolder& sub : fso_->subfolders(folder)) {
            if (!known.insert(sub.id).second) continue;
            const std::int32_t number = nextOf(j);
            folders.add(folder + sub.name + nativeSeparator(), keyFor(number));
            j = number;
        }
        logFilesOf(folders.text(i), i);
        i = nextOf(i);
    }
}

void pathLogger::logFilesOf(const QString& folder, std::int32_t position) {
    const QStringList names = fso_->files(folder);
    KeyedList& full = *ensure(fullFileNames_);
    for (const QString& name : names) {
        const QString key = keyFor(count_);
        if (!fullFileNamesOnly_) {
            ensure(fileNames_)->add(name, key);
            full.add(folder + name, key);
            ensure(pathPointers_)->add(position, key);
        } else {
            full.add(folder + name, key);
        }
        count_ = nextOf(count_);
    }
}

}  // namespace sources
