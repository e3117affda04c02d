// The real file system under the folder scan: std::filesystem listings in the order the
// directory yields them, with links to folders resolved through stat() so that each folder
// is known by its device and inode.
#include <QFile>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <system_error>

#include "sources/file_system.h"
#include "zentra/error.h"

namespace sources {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString nameOf(const fs::directory_entry& entry) {
    return QFile::decodeName(QByteArray::fromStdString(entry.path().filename().native()));
}

long errorNumberFor(const std::error_code& ec) {
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
        return zentra::kErrPathNotFound;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        return zentra::kErrPermissionDenied;
    return zentra::kErrDeviceIO;
}

[[noreturn]] void raiseListingError(const QString& folder, const std::error_code& ec) {
    throw zentra::Error(errorNumberFor(ec), ec.message())
        .withContext("cannot list the folder " + folder.toStdString());
}

// Whether an entry leads to a folder, and which one. Plain entries are classified from the
// type the listing already reported; links (and entries of unknown type) are followed with
// stat(). A dangling link, a link loop or an entry that vanished since it was listed leads
// to no folder. `needId` asks for the identity of plain folders too (one stat each).
struct EntryKind {
    bool folder = false;
    std::optional<FolderId> id;
};

EntryKind classify(const fs::directory_entry& entry, const QString& listedFolder, bool needId) {
    // The entry's type comes from the listing itself where the file system reports one, so a
    // folder of a hundred thousand files costs no call per file; only links (and entries whose
    // type the listing left open) cost an lstat/stat.
    std::error_code ec;
    const bool link = entry.is_symlink(ec);
    if (ec) raiseListingError(listedFolder, ec);
    const bool plainFolder = !link && entry.is_directory(ec);
    if (ec) raiseListingError(listedFolder, ec);
    if (!link && !(plainFolder && needId)) return EntryKind{plainFolder, std::nullopt};

    struct stat info {};
    if (::stat(entry.path().c_str(), &info) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ELOOP || err == ENOTDIR) return EntryKind{};
        raiseListingError(listedFolder, std::error_code(err, std::generic_category()));
    }
    if (!S_ISDIR(info.st_mode)) return EntryKind{};
    return EntryKind{true, FolderId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)}};
}

// Runs visit(entry) for every entry of folder in listing order; raises on any listing error.
template <typename Visit>
void forEachEntry(const QString& folder, Visit&& visit) {
    std::error_code ec;
    fs::directory_iterator it(toPath(folder), ec);
    if (ec) raiseListingError(folder, ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        visit(*it);
    }
    if (ec) raiseListingError(folder, ec);
}

}  // namespace

bool StdFileSystem::folderExists(const QString& path) {
    if (path.isEmpty()) return false;
    std::error_code ec;
    return fs::is_directory(toPath(path), ec);
}

FolderId StdFileSystem::folderId(const QString& path) {
    struct stat info {};
    if (::stat(toPath(path).c_str(), &info) != 0)
        raiseListingError(path, std::error_code(errno, std::generic_category()));
    return FolderId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::vector<Subfolder> StdFileSystem::subfolders(const QString& path) {
    std::vector<Subfolder> found;
    forEachEntry(path, [&](const fs::directory_entry& entry) {
        EntryKind kind = classify(entry, path, true);
        if (kind.folder && kind.id) found.push_back(Subfolder{nameOf(entry), *kind.id});
    });
    return found;
}

QStringList StdFileSystem::files(const QString& path) {
    QStringList found;
    forEachEntry(path, [&](const fs::directory_entry& entry) {
        if (!classify(entry, path, false).folder) found << nameOf(entry);
    });
    return found;
}

}  // namespace sources
