#pragma once
// A file seam that gathers consecutive writes and hands each run of them to the file in one
// call: an import writes thousands of small blocks, and a system call per block cost more than
// the blocks. A few runs are gathered at once, because blocks of different sizes are placed in
// different parts of the file (small ones fill gaps left earlier) and alternate. Anything that must see the file as written (a read,
// shrinking it, its size, a sync) first writes the buffer out, so durability is unchanged:
// what a commit syncs is on disk when the sync returns. A failed write-out reports the error
// of the underlying file and drops the gathered bytes: the database stops at its first write
// failure, and bytes written later (by a retry or at destruction) could only put a state on
// disk that no commit finished. For the same reason the destructor drops what was not
// written out: nothing a commit made durable is ever only in the buffer.
#include <array>
#include <memory>
#include <vector>

#include "pst/ndb/node_database.h"

namespace pst::ndb {

class WriteBehindFile final : public FileSeam {
public:
    // capacity: all runs together.
    explicit WriteBehindFile(std::unique_ptr<FileSeam> inner, size_t capacity = 4u << 20);
    ~WriteBehindFile() override = default;

    void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override;
    void readAt(uint64_t offset, std::span<uint8_t> bytes) override;
    void truncate(uint64_t size) override;
    void sync() override;
    uint64_t size() override;
    void publish() override {
        flush();
        inner_->publish();
    }
    void abandon() override { inner_->abandon(); }

    void flush();
    bool pending() const;

private:
    static constexpr size_t kRuns = 4;
    struct Run {
        uint64_t start = 0;          // file offset of bytes[0]
        std::vector<uint8_t> bytes;
        uint64_t lastUse = 0;
    };
    void writeOut(Run& run);
    void clear();

    std::unique_ptr<FileSeam> inner_;
    size_t capacity_;                // per run
    std::array<Run, kRuns> runs_;
    uint64_t uses_ = 0;
};

}  // namespace pst::ndb
