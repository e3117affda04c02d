#include "write_behind_file.h"

#include <algorithm>

namespace pst::ndb {

WriteBehindFile::WriteBehindFile(std::unique_ptr<FileSeam> inner, size_t capacity)
    : inner_(std::move(inner)), capacity_(capacity) {
    buffer_.reserve(capacity_);
}

void WriteBehindFile::flush() {
    if (buffer_.empty()) return;
    try {
        inner_->writeAt(start_, buffer_);
    } catch (...) {
        buffer_.clear();
        throw;
    }
    buffer_.clear();
}

void WriteBehindFile::writeAt(uint64_t offset, std::span<const uint8_t> bytes) {
    const bool follows = !buffer_.empty() && offset == start_ + buffer_.size();
    if (follows && buffer_.size() + bytes.size() <= capacity_) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return;
    }
    flush();
    if (bytes.size() >= capacity_) {
        inner_->writeAt(offset, bytes);
        return;
    }
    start_ = offset;
    buffer_.assign(bytes.begin(), bytes.end());
}

void WriteBehindFile::readAt(uint64_t offset, std::span<uint8_t> bytes) {
    flush();
    inner_->readAt(offset, bytes);
}

void WriteBehindFile::truncate(uint64_t size) {
    // Growing the file does not touch the buffered bytes (they land inside the new size);
    // cutting into them would, so they go out first.
    if (!buffer_.empty() && size < start_ + buffer_.size()) flush();
    inner_->truncate(size);
}

void WriteBehindFile::sync() {
    flush();
    inner_->sync();
}

uint64_t WriteBehindFile::size() {
    flush();
    return inner_->size();
}

}  // namespace pst::ndb
