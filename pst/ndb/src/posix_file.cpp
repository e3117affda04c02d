// The FileSeam over a POSIX file descriptor. A new store never replaces an existing file:
// the file is opened with O_CREAT | O_EXCL. Every failure carries the path and the system's
// reason; a full disk is reported as such.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pst/ndb/node_database.h"
#include "zentra/error.h"

namespace pst::ndb {
namespace {

class PosixFile final : public FileSeam {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

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
            // Reserve the space now, so a full disk shows up here rather than in a later write.
            const int rc = ::posix_fallocate(fd_, static_cast<off_t>(old), static_cast<off_t>(newSize - old));
            if (rc == 0) return;
            if (rc != EOPNOTSUPP && rc != EINVAL) fail("growing", newSize, rc);
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

private:
    [[noreturn]] void fail(const char* what, uint64_t offset, int err) {
        const long number = (err == ENOSPC || err == EDQUOT) ? zentra::kErrDiskFull : zentra::kErrStoreWrite;
        throw zentra::Error(number, std::string(what) + " " + path_ + " at offset " + std::to_string(offset) + ": " +
                                        std::strerror(err));
    }

    int fd_;
    std::string path_;
};

}  // namespace

std::unique_ptr<FileSeam> createPosixFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int err = errno;
        throw zentra::Error(zentra::kErrStoreCreate, "cannot create " + path + ": " + std::strerror(err));
    }
    return std::make_unique<PosixFile>(fd, path);
}

}  // namespace pst::ndb
