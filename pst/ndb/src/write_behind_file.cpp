#include "write_behind_file.h"

#include <algorithm>

namespace pst::ndb {

WriteBehindFile::WriteBehindFile(std::unique_ptr<FileSeam> inner, size_t capacity)
    : inner_(std::move(inner)), capacity_(std::max<size_t>(capacity / kRuns, 1)) {}

void WriteBehindFile::writeOut(Run& run) {
    if (run.bytes.empty()) return;
    try {
        inner_->writeAt(run.start, run.bytes);
    } catch (...) {
        clear();
        throw;
    }
    run.bytes.clear();
}

void WriteBehindFile::clear() {
    for (Run& run : runs_) run.bytes.clear();
}

void WriteBehindFile::flush() {
    for (Run& run : runs_) writeOut(run);
}

bool WriteBehindFile::pending() const {
    return std::any_of(runs_.begin(), runs_.end(), [](const Run& r) { return !r.bytes.empty(); });
}

void WriteBehindFile::writeAt(uint64_t offset, std::span<const uint8_t> bytes) {
    const uint64_t end = offset + bytes.size();
    Run* follows = nullptr;
    for (Run& run : runs_) {
        if (run.bytes.empty()) continue;
        const uint64_t runEnd = run.start + run.bytes.size();
        if (offset == runEnd && run.bytes.size() + bytes.size() <= capacity_) {
            follows = &run;
        } else if (offset < runEnd && run.start < end) {
            writeOut(run);   // written again before it went out: the older bytes go first
        }
    }
    if (follows) {
        follows->bytes.insert(follows->bytes.end(), bytes.begin(), bytes.end());
        follows->lastUse = ++uses_;
        return;
    }
    if (bytes.size() >= capacity_) {
        inner_->writeAt(offset, bytes);
        return;
    }
    // A new run: an empty slot, else the one used longest ago goes out first.
    Run* slot = &runs_[0];
    for (Run& run : runs_) {
        if (run.bytes.empty()) {
            slot = &run;
            break;
        }
        if (run.lastUse < slot->lastUse) slot = &run;
    }
    writeOut(*slot);
    if (slot->bytes.capacity() < capacity_) slot->bytes.reserve(capacity_);
    slot->start = offset;
    slot->bytes.assign(bytes.begin(), bytes.end());
    slot->lastUse = ++uses_;
}

void WriteBehindFile::readAt(uint64_t offset, std::span<uint8_t> bytes) {
    flush();
    inner_->readAt(offset, bytes);
}

void WriteBehindFile::truncate(uint64_t size) {
    // Growing the file does not touch the gathered bytes (they land inside the new size);
    // cutting into them would, so those go out first.
    for (Run& run : runs_)
        if (!run.bytes.empty() && size < run.start + run.bytes.size()) writeOut(run);
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
