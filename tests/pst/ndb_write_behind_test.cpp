// Gathering consecutive writes: the file sees the same bytes as with one write per call,
// anything that looks at the file sees every earlier write, a failed write-out is reported and
// leaves nothing behind to be written later, and what was never written out is dropped.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "write_behind_file.h"
#include "zentra/error.h"

namespace pst::ndb {
namespace {

// A file in memory that records every call reaching it.
struct RecordingFile : FileSeam {
    std::vector<uint8_t>& bytes;
    std::vector<std::string>& calls;
    int failWritesLeft = 0;
    RecordingFile(std::vector<uint8_t>& b, std::vector<std::string>& c) : bytes(b), calls(c) {}
    void writeAt(uint64_t offset, std::span<const uint8_t> data) override {
        calls.push_back("write " + std::to_string(offset) + "+" + std::to_string(data.size()));
        if (failWritesLeft > 0) {
            --failWritesLeft;
            throw zentra::Error(zentra::kErrDiskFull, "injected: no space left");
        }
        if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size());
        std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    void readAt(uint64_t offset, std::span<uint8_t> out) override {
        calls.push_back("read " + std::to_string(offset));
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    }
    void truncate(uint64_t size) override {
        calls.push_back("truncate " + std::to_string(size));
        bytes.resize(size);
    }
    void sync() override { calls.push_back("sync"); }
    uint64_t size() override { return bytes.size(); }
};

std::vector<uint8_t> run(size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

TEST(WriteBehind, ConsecutiveWritesGoOutTogetherAndBeforeAnythingThatLooks) {
    std::vector<uint8_t> disk;
    std::vector<std::string> calls;
    auto inner = std::make_unique<RecordingFile>(disk, calls);
    WriteBehindFile file(std::move(inner), 4000);   // four runs of up to 1,000 bytes
    file.truncate(4096);
    file.writeAt(512, run(100, 1));
    file.writeAt(612, run(100, 2));
    file.writeAt(712, run(64, 3));
    EXPECT_EQ(calls, (std::vector<std::string>{"truncate 4096"})) << "nothing written out yet";
    file.truncate(8192);   // growing does not need the bytes out
    file.writeAt(0, run(16, 9));   // elsewhere: a second run
    EXPECT_EQ(calls, (std::vector<std::string>{"truncate 4096", "truncate 8192"}));
    std::vector<uint8_t> back(16);
    file.readAt(0, back);   // a read sees everything written so far
    EXPECT_EQ(back, run(16, 9));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 512+264"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 0+16"), 1);
    EXPECT_EQ(disk[512], 1);
    EXPECT_EQ(disk[612], 2);
    EXPECT_EQ(disk[775], 3);

    calls.clear();
    file.writeAt(100, run(900, 4));
    file.writeAt(1000, run(200, 5));   // would pass the run's capacity: a new run
    file.writeAt(2000, run(1500, 6));  // larger than a run: straight through
    EXPECT_EQ(calls, (std::vector<std::string>{"write 2000+1500"}));
    file.sync();
    EXPECT_EQ(calls.back(), "sync");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 100+900"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "write 1000+200"), 1);

    calls.clear();
    file.writeAt(4000, run(50, 7));
    file.truncate(4010);   // cutting into gathered bytes writes them out before the cut
    EXPECT_EQ(calls, (std::vector<std::string>{"write 4000+50", "truncate 4010"}));
    file.writeAt(3000, run(5, 8));
    EXPECT_EQ(file.size(), 4010u);
    EXPECT_EQ(calls.back(), "write 3000+5") << "size() shows the file as written";
}

TEST(WriteBehind, AlternatingStreamsAreGatheredAndRewritesKeepTheirOrder) {
    std::vector<uint8_t> disk(100000, 0);
    std::vector<std::string> calls;
    auto inner = std::make_unique<RecordingFile>(disk, calls);
    WriteBehindFile file(std::move(inner), 160000);   // runs of up to 40,000 bytes
    // Small blocks filling a gap at 1,000 alternate with larger ones at 50,000, as an import's
    // subnode blocks and property contexts do.
    for (int i = 0; i < 50; ++i) {
        file.writeAt(1000 + 64 * i, run(64, static_cast<uint8_t>(i)));
        file.writeAt(50000 + 512 * i, run(512, static_cast<uint8_t>(100 + i)));
    }
    EXPECT_TRUE(calls.empty());
    // Bytes written again before they went out: the old ones go first, the new ones win.
    file.writeAt(1000, run(64, 200));
    file.sync();
    const auto writes = std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("write", 0) == 0; });
    EXPECT_EQ(writes, 3) << ::testing::PrintToString(calls);
    EXPECT_EQ(disk[1000], 200);
    EXPECT_EQ(disk[1000 + 64 * 49], 49);
    EXPECT_EQ(disk[50000 + 512 * 49], 149);
    // More streams than runs: the one used longest ago goes out to make room.
    calls.clear();
    for (int s = 0; s < 5; ++s) file.writeAt(10000 * (s + 1), run(8, 1));
    EXPECT_EQ(calls, (std::vector<std::string>{"write 10000+8"}));
}

TEST(WriteBehind, AFailedWriteOutIsReportedAndLeavesNothingForLater) {
    std::vector<uint8_t> disk(4096, 0);
    std::vector<std::string> calls;
    auto inner = std::make_unique<RecordingFile>(disk, calls);
    RecordingFile* raw = inner.get();
    {
        WriteBehindFile file(std::move(inner), 4000);
        file.writeAt(100, run(50, 1));
        file.writeAt(3000, run(50, 1));   // a second run: it is dropped with the first
        raw->failWritesLeft = 1;
        try {
            file.sync();
            ADD_FAILURE() << "the failed write-out was not reported";
        } catch (const zentra::Error& e) {
            EXPECT_EQ(e.number(), zentra::kErrDiskFull);
        }
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "sync"), 0) << "no sync after a failed write";
        calls.clear();
        file.sync();   // the failed bytes are not tried again
        EXPECT_EQ(calls, (std::vector<std::string>{"sync"}));
        file.writeAt(200, run(10, 2));   // never written out: dropped with the file
    }
    EXPECT_EQ(disk[100], 0);
    EXPECT_EQ(disk[200], 0);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("write", 0) == 0; }), 0);
}

}  // namespace
}  // namespace pst::ndb
