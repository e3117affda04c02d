#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "checks.h"
#include "semantic_checks.h"

namespace pstcheck {

Report checkImage(std::span<const uint8_t> bytes) {
    Report report;
    Sink sink(report);
    Image img(bytes, sink);
    if (!checkHeader(img)) return report;
    walkBTrees(img);
    checkBlocks(img);
    checkSpace(img);
    LtpIndex ltp;
    checkLtp(img, ltp);
    checkMandatoryNodes(img, ltp);
    checkFolders(img, ltp);
    checkNameMap(img, ltp);
    checkMessages(img, ltp);
    return report;
}

namespace {

// The file mapped read-only: a store of several gigabytes is checked without reading it whole,
// since the checks touch only the header, pages and live blocks.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw IoError("cannot open " + path + ": " + std::strerror(errno));
        struct stat st {};
        const bool statted = ::fstat(fd, &st) == 0;
        size_ = statted ? static_cast<size_t>(st.st_size) : 0;
        if (statted && size_ > 0) data_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        const int err = errno;
        ::close(fd);
        if (!statted || data_ == MAP_FAILED) throw IoError("cannot read " + path + ": " + std::strerror(err));
    }
    ~MappedFile() {
        if (data_ && data_ != MAP_FAILED) ::munmap(data_, size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const uint8_t> bytes() const {
        return data_ ? std::span<const uint8_t>(static_cast<const uint8_t*>(data_), size_) : std::span<const uint8_t>();
    }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace

Report checkFile(const std::string& path) {
    MappedFile file(path);
    return checkImage(file.bytes());
}

}  // namespace pstcheck
