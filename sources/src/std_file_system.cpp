// The real file system under the folder scan: opendir/readdir listings in the order the
// directory yields them, names kept as the bytes readdir gives, and links to folders resolved
// with fstatat() so that each folder is known by its device and inode.
#include <cerrno>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <utility>

#include "sources/file_system.h"
#include "zentra/error.h"
#include "zentra/path_list.h"

namespace sources {

namespace {

long errorNumberFor(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return zentra::kErrPathNotFound;
    case EACCES:
    case EPERM:
        return zentra::kErrPermissionDenied;
    default:
        return zentra::kErrDeviceIO;
    }
}

[[noreturn]] void raiseListingError(const std::string& folder, int err) {
    throw zentra::Error(errorNumberFor(err), std::generic_category().message(err))
        .withContext("cannot list the folder " + zentra::readablePath(folder));
}

FolderId idOf(const struct stat& info) {
    return FolderId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// One open listing of a folder, closed on every way out.
class Listing {
public:
    explicit Listing(const std::string& folder) : folder_(folder), dir_(::opendir(folder.c_str())) {
        if (!dir_) raiseListingError(folder_, errno);
    }
    ~Listing() { ::closedir(dir_); }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // The next entry other than "." and "..", or nullptr at the end. An error part-way
    // raises: a listing is complete or it is an error, never silently short.
    const dirent* next() {
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir_);
            if (!entry) {
                if (errno != 0) raiseListingError(folder_, errno);
                return nullptr;
            }
            const char* name = entry->d_name;
            if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))) return entry;
        }
    }
    int fd() const { return ::dirfd(dir_); }
    const std::string& folder() const { return folder_; }

private:
    const std::string& folder_;
    DIR* dir_;
};

// Whether an entry leads to a folder, and which one. A dangling link, a link loop or an
// entry that vanished since it was listed leads to no folder. `needId` asks for the identity
// of plain folders too (one stat each).
struct EntryKind {
    bool folder = false;
    std::optional<FolderId> id;
};

EntryKind classify(const Listing& listing, const dirent& entry, bool needId) {
    // The entry's type comes from the listing itself where the file system reports one, so a
    // folder of a hundred thousand files costs no call per file; only links (and entries whose
    // type the listing left open) cost a stat, made relative to the open folder.
    const bool plainFolder = entry.d_type == DT_DIR;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN && !(plainFolder && needId))
        return EntryKind{plainFolder, std::nullopt};
    struct stat info {};
    if (::fstatat(listing.fd(), entry.d_name, &info, 0) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ELOOP || err == ENOTDIR) return EntryKind{};
        raiseListingError(listing.folder(), err);
    }
    if (!S_ISDIR(info.st_mode)) return EntryKind{};
    return EntryKind{true, idOf(info)};
}

}  // namespace

bool StdFileSystem::folderExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FolderId StdFileSystem::folderId(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) raiseListingError(path, errno);
    return idOf(info);
}

std::vector<Subfolder> StdFileSystem::subfolders(const std::string& path) {
    listedFolder_.clear();
    listedFiles_.clear();
    std::vector<Subfolder> found;
    std::vector<std::string> files;
    Listing listing(path);
    while (const dirent* entry = listing.next()) {
        const EntryKind kind = classify(listing, *entry, true);
        if (kind.folder && kind.id) found.push_back(Subfolder{entry->d_name, *kind.id});
        if (!kind.folder && entry->d_type != DT_DIR) files.emplace_back(entry->d_name);   // as files() counts them
    }
    listedFolder_ = path;
    listedFiles_ = std::move(files);
    return found;
}

std::vector<std::string> StdFileSystem::files(const std::string& path) {
    if (!listedFolder_.empty() && listedFolder_ == path) {
        listedFolder_.clear();
        return std::exchange(listedFiles_, {});
    }
    std::vector<std::string> found;
    Listing listing(path);
    while (const dirent* entry = listing.next())
        if (!classify(listing, *entry, false).folder) found.emplace_back(entry->d_name);
    return found;
}

}  // namespace sources
