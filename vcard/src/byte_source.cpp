#include "byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "utf8.h"
#include "vcard/reader.h"
#include "zentra/error.h"
#include "zentra/text.h"

namespace vcard {

using zentra::appendUtf8;

namespace {

long errorNumberFor(int err) {
    switch (err) {
    case ENOENT: return zentra::kErrFileNotFound;
    case ENOTDIR: return zentra::kErrPathNotFound;
    case EACCES:
    case EPERM: return zentra::kErrPermissionDenied;
    default: return zentra::kErrDeviceIO;
    }
}

// One read call, repeated only when a signal interrupted it before any byte came.
ssize_t readOnce(int fd, char* into, std::size_t max) {
    for (;;) {
        const ssize_t got = ::read(fd, into, max);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        // The descriptor keeps the O_NONBLOCK it was opened with (see openRegularFile); a file
        // system that honours it for regular files has it cleared here, once.
        if (errno != EAGAIN) return got;
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || !(flags & O_NONBLOCK) || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            errno = EAGAIN;
            return got;
        }
    }
}

}  // namespace

OpenedFile openRegularFile(const std::string& path) {
    // Opened without waiting and checked on the descriptor itself: a pipe or device (even one
    // put in the file's place a moment ago) is refused instead of blocking or streaming forever.
    // The flag stays on: reads of a regular file do not wait for a writer, so it changes nothing
    // for the files that are read, and clearing it would cost two system calls per file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw zentra::Error(errorNumberFor(err), path + ": " + std::strerror(err));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int err = errno;
        ::close(fd);
        throw zentra::Error(errorNumberFor(err), path + ": " + std::strerror(err));
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw zentra::Error(zentra::kErrPathNotFound, path + ": is a folder, not a vCard file");
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw zentra::Error(zentra::kErrDeviceIO,
                            path + ": is not a regular file (a pipe, socket or device); it is not read");
    }
    return OpenedFile{fd, static_cast<std::uint64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtim.tv_sec),
                      info.st_mtim.tv_nsec};
}

bool readWhole(const OpenedFile& file, std::string& out) {
    // One byte more than the file held: a call that returns exactly its size has seen the end.
    out.resize(static_cast<std::size_t>(file.size) + 1);
    const ssize_t got = readOnce(file.fd, out.data(), out.size());
    if (got >= 0 && static_cast<std::uint64_t>(got) == file.size) {
        out.resize(static_cast<std::size_t>(got));
        return true;
    }
    out.clear();
    if (::lseek(file.fd, 0, SEEK_SET) != 0)
        throw zentra::Error(zentra::kErrDeviceIO, std::string("cannot go back to its start: ") + std::strerror(errno));
    return false;
}

FileSource::FileSource(const std::filesystem::path& path) : ownsFd_(true), path_(path.string()) {
    const OpenedFile opened = openRegularFile(path_);
    fd_ = opened.fd;
    sizeLeft_ = static_cast<std::size_t>(opened.size);
}

FileSource::FileSource(int fd, std::uint64_t sizeAtOpen, std::string name)
    : fd_(fd), path_(std::move(name)), sizeLeft_(static_cast<std::size_t>(sizeAtOpen)) {}

FileSource::~FileSource() {
    if (ownsFd_ && fd_ >= 0) ::close(fd_);
}

// Reads through a scratch buffer of its own: growing `out` by `max` first would zero-fill a whole
// chunk on every read, which costs more than reading a typical one-card file.
// Most files hold one small card: reads are sized to what the file still holds (one byte more, to
// see the end or growth), so no chunk-sized buffers are allocated and freed for each of them.
std::size_t FileSource::read(std::string& out, std::size_t max) {
    if (fd_ < 0 || max == 0) return 0;
    if (sizeLeft_ != kUnknownSize) max = std::min(max, std::max<std::size_t>(sizeLeft_ + 1, 64));
    if (scratchSize_ < max) {
        scratch_ = std::make_unique_for_overwrite<char[]>(max);
        scratchSize_ = max;
    }
    const ssize_t got = readOnce(fd_, scratch_.get(), max);
    if (got < 0) {
        error_ = path_ + ": read error: " + std::strerror(errno);
        if (ownsFd_) ::close(fd_);
        fd_ = -1;
        return 0;
    }
    const auto n = static_cast<std::size_t>(got);
    out.append(scratch_.get(), n);
    if (sizeLeft_ != kUnknownSize) sizeLeft_ -= std::min(sizeLeft_, n);
    return n;
}

std::size_t MemorySource::read(std::string& out, std::size_t max) {
    const std::size_t n = std::min(max, bytes_.size() - pos_);
    out.append(bytes_.data() + pos_, n);
    pos_ += n;
    return n;
}

DecodingSource::DecodingSource(ByteSource& source, std::size_t chunkBytes)
    : source_(&source), chunkBytes_(chunkBytes < 16 ? 16 : chunkBytes) {}

void DecodingSource::restart(ByteSource& source) {
    source_ = &source;
    sniffed_ = false;
    encoding_ = FileEncoding::Bytes;
    pending_.clear();
    highSurrogate_ = 0;
    scratch_.clear();
}

// A BOM decides; without one, ASCII text in UTF-16 shows as zero bytes in every other position
// of the first line ("B\0E\0G\0..." or "\0B\0E\0G...").
void DecodingSource::sniff() {
    sniffed_ = true;
    while (pending_.size() < 64 && source_->read(pending_, 64 - pending_.size()) > 0) {}
    const auto* b = reinterpret_cast<const unsigned char*>(pending_.data());
    const std::size_t n = pending_.size();
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        pending_.erase(0, 3);
        return;
    }
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        encoding_ = FileEncoding::Utf16LE;
        pending_.erase(0, 2);
        return;
    }
    if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        encoding_ = FileEncoding::Utf16BE;
        pending_.erase(0, 2);
        return;
    }
    std::size_t pairs = 0, zeroLow = 0, zeroHigh = 0;
    for (std::size_t i = 0; i + 1 < n && pairs < 16; i += 2, ++pairs) {
        if (b[i] == 0 && b[i + 1] != 0) ++zeroHigh;   // big-endian ASCII
        if (b[i] != 0 && b[i + 1] == 0) ++zeroLow;    // little-endian ASCII
    }
    if (pairs >= 4 && zeroLow == pairs) encoding_ = FileEncoding::Utf16LE;
    else if (pairs >= 4 && zeroHigh == pairs) encoding_ = FileEncoding::Utf16BE;
}

std::size_t DecodingSource::read(std::string& out) {
    if (!sniffed_) sniff();
    if (encoding_ == FileEncoding::Bytes) {
        if (!pending_.empty()) {
            const std::size_t n = pending_.size();
            out.append(pending_);
            pending_.clear();
            return n;
        }
        return source_->read(out, chunkBytes_);
    }
    scratch_.swap(pending_);
    pending_.clear();
    const std::size_t got = source_->read(scratch_, chunkBytes_);
    if (scratch_.empty()) return 0;
    if (got == 0 && scratch_.size() == 1) {   // dangling odd byte at the end
        scratch_.clear();
        out.append("\xEF\xBF\xBD");
        return 3;
    }
    const std::size_t even = scratch_.size() & ~std::size_t(1);
    if (even < scratch_.size()) pending_.assign(1, scratch_.back());
    const std::size_t before = out.size();
    transcodeUtf16(std::string_view(scratch_.data(), even), out);
    scratch_.clear();
    if (got == 0 && highSurrogate_) {
        highSurrogate_ = 0;
        appendUtf8(out, 0xFFFD);
    }
    // A chunk that held only half a surrogate pair appends nothing; keep reading.
    if (out.size() == before && got > 0) return read(out);
    return out.size() - before;
}

void DecodingSource::transcodeUtf16(std::string_view in, std::string& out) {
    const auto* b = reinterpret_cast<const unsigned char*>(in.data());
    const bool le = encoding_ == FileEncoding::Utf16LE;
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        const unsigned unit = le ? (b[i] | (b[i + 1] << 8)) : ((b[i] << 8) | b[i + 1]);
        if (highSurrogate_) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
                highSurrogate_ = 0;
                continue;
            }
            appendUtf8(out, 0xFFFD);
            highSurrogate_ = 0;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) highSurrogate_ = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF) appendUtf8(out, 0xFFFD);
        else if (unit == 0xFEFF && out.empty()) continue;   // stray BOM at the start
        else appendUtf8(out, unit);
    }
}

}  // namespace vcard
