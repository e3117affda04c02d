// The FileSeam over a POSIX file descriptor. A new store never replaces an existing file, and
// takes its name only once it holds a valid store (see createPosixFile). Every failure carries
// the path and the system's reason; a full disk is reported as such.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pst/ndb/node_database.h"
#include "zentra/error.h"

namespace pst::ndb {
namespace {

// How a new file comes by its name.
enum class Naming {
    Direct,      // created under its name (file systems that allow nothing better)
    Unnamed,     // O_TMPFILE: no name until linked at publish()
    Temporary,   // a hidden temporary name beside it, linked or renamed at publish()
};

constexpr const char* kTemporarySuffix = ".zentra-partial";

std::string folderOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string nameOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

[[noreturn]] void cannotCreate(const std::string& path, int err) {
    throw zentra::Error(zentra::kErrStoreCreate, "cannot create " + path + ": " + std::strerror(err));
}

// Makes a new name in the folder durable (the file's own data is synced already).
void syncFolder(const std::string& path) {
    const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;   // nothing to sync through; the name still reaches the disk in time
    ::fsync(dir);
    ::close(dir);
}

class PosixFile final : public FileSeam {
public:
    PosixFile(int fd, std::string path, Naming naming, std::string temporary = {})
        : fd_(fd), path_(std::move(path)), naming_(naming), temporary_(std::move(temporary)) {}
    ~PosixFile() override {
        ::close(fd_);
        // A file that never held a committed store leaves nothing behind: an unnamed one goes
        // with its descriptor, the others by name.
        if (naming_ == Naming::Temporary && !published_) ::unlink(temporary_.c_str());
        if (naming_ == Naming::Direct && !published_) ::unlink(path_.c_str());
    }

    void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail("writing", offset + done, n < 0 ? errno : ENOSPC);
            done += static_cast<size_t>(n);
        }
    }

    void readAt(uint64_t offset, std::span<uint8_t> bytes) override {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail("reading", offset + done, errno);
            if (n == 0)
                throw zentra::Error(zentra::kErrStoreCorrupt, "reading " + path_ + " at offset " +
                                                                  std::to_string(offset + done) + ": unexpected end of file");
            done += static_cast<size_t>(n);
        }
    }

    void truncate(uint64_t newSize) override {
        const uint64_t old = size();
        if (newSize > old) {
            // Reserve the space now, so a full disk shows up here rather than in a later write,
            // but without changing the size: the slow part comes before the file grows, which
            // then takes one quick call (the database writes the header that counts the growth
            // right after it, and a kill in between leaves a file longer than its header).
            const int rc = ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(old), static_cast<off_t>(newSize - old));
            if (rc != 0 && errno != EOPNOTSUPP && errno != EINVAL && errno != ENOSYS) fail("growing", newSize, errno);
        }
        if (::ftruncate(fd_, static_cast<off_t>(newSize)) != 0) fail("resizing", newSize, errno);
    }

    void sync() override {
        if (::fsync(fd_) != 0) fail("flushing", 0, errno);
    }

    uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail("examining", 0, errno);
        return static_cast<uint64_t>(st.st_size);
    }

    void publish() override {
        if (published_ || naming_ == Naming::Direct) {
            published_ = true;
            return;
        }
        int rc;
        if (naming_ == Naming::Unnamed) {
            // Linking an unnamed file needs its /proc name (or, for a privileged process, the
            // descriptor itself); either fails with EEXIST rather than replace a file.
            const std::string self = "/proc/self/fd/" + std::to_string(fd_);
            rc = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW);
            if (rc != 0 && errno == ENOENT) rc = ::linkat(fd_, "", AT_FDCWD, path_.c_str(), AT_EMPTY_PATH);
        } else {
            rc = ::link(temporary_.c_str(), path_.c_str());
            if (rc != 0 && errno != EEXIST)   // no hard links here (FAT, say): rename, never replacing
                rc = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
            else if (rc == 0)
                ::unlink(temporary_.c_str());
        }
        if (rc != 0) {
            const int err = errno;
            throw zentra::Error(zentra::kErrStoreCreate, "cannot create " + path_ + ": " +
                                                             (err == EEXIST ? std::string("the file already exists")
                                                                            : std::string(std::strerror(err))));
        }
        published_ = true;
        syncFolder(path_);
    }

    void abandon() override {
        if (naming_ == Naming::Direct || published_) ::unlink(path_.c_str());
        else if (naming_ == Naming::Temporary) ::unlink(temporary_.c_str());
        published_ = false;
        naming_ = Naming::Unnamed;   // nothing left to remove
    }

private:
    [[noreturn]] void fail(const char* what, uint64_t offset, int err) {
        const long number = (err == ENOSPC || err == EDQUOT) ? zentra::kErrDiskFull : zentra::kErrStoreWrite;
        throw zentra::Error(number, std::string(what) + " " + path_ + " at offset " + std::to_string(offset) + ": " +
                                        std::strerror(err));
    }

    int fd_;
    std::string path_;
    Naming naming_;
    std::string temporary_;
    bool published_ = false;
};

// Temporary files a killed process left in a folder: ".<name>.<pid>.zentra-partial" whose process
// is gone.
void removeLeftOvers(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::size_t suffix = std::strlen(kTemporarySuffix);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix + 2 || name[0] != '.' || name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0)
            continue;
        const std::string stem = name.substr(0, name.size() - suffix);
        const std::size_t dot = stem.rfind('.');
        if (dot == std::string::npos) continue;
        char* end = nullptr;
        const long pid = std::strtol(stem.c_str() + dot + 1, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;   // still running
        ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
    ::closedir(dir);
}

std::unique_ptr<FileSeam> namedTemporaryFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) cannotCreate(path, EEXIST);
    const std::string temporary =
        folderOf(path) + "/." + nameOf(path) + "." + std::to_string(::getpid()) + kTemporarySuffix;
    const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) cannotCreate(path, errno);
    return std::make_unique<PosixFile>(fd, path, Naming::Temporary, temporary);
}

}  // namespace

std::unique_ptr<FileSeam> createNamedTemporaryFile(const std::string& path) {
    removeLeftOvers(folderOf(path));
    return namedTemporaryFile(path);
}

std::unique_ptr<FileSeam> createPosixFile(const std::string& path) {
    // Whichever way this file is made: the folder may hold the temporary file of a run killed
    // at a time (or on a mount) without unnamed files.
    removeLeftOvers(folderOf(path));
    // The name is checked first, so no store is built for a name that is taken; publish() still
    // refuses a file that takes it meanwhile.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) cannotCreate(path, EEXIST);
    if (errno != ENOENT) cannotCreate(path, errno);
    const int fd = ::open(folderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    if (fd >= 0) return std::make_unique<PosixFile>(fd, path, Naming::Unnamed);
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) cannotCreate(path, errno);
    try {
        return namedTemporaryFile(path);
    } catch (const zentra::Error&) {
        // A folder where not even a temporary name can be made (a name too long for it, say):
        // the file is made under its own name, exclusively, as a last resort.
        const int direct = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (direct < 0) cannotCreate(path, errno);
        return std::make_unique<PosixFile>(direct, path, Naming::Direct);
    }
}

}  // namespace pst::ndb
