// How the file grows: once committed, the file on disk is never longer than its header says and
// always holds the last commit whole, whatever an interval between commits writes; room is set
// aside and extended in steps that double, and near the size limit only what is left is taken.
#include <filesystem>

#include "ndb_test_support.h"
#include "pst/disk/layout.h"

using namespace pst;
using namespace pst::ndb;
using pst::readback::StoreReader;
using ndbtest::Expected;
namespace fs = std::filesystem;

namespace {

// What a process killed now would leave: a copy of the file as it is on disk must be exactly as
// long as its header says and hold the last commit, whole. Returns that header's ibFileEof.
uint64_t expectLastCommitOnDisk(const std::string& path, const Expected& committed) {
    const std::string copy = path + ".now";
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
    const uint64_t eof = StoreReader(copy).header().root.ibFileEof;
    EXPECT_LE(fs::file_size(copy), eof) << "the file outgrew its last committed header";
    // Space written since the commit is marked used in the maps already: a leak, nothing worse.
    ndbtest::expectStoreHolds(copy, committed, ndbtest::leaksAllowed());
    return eof;
}

}  // namespace

// With and without gathered writes (a header held back in the buffer would show here).
class FileGrowthBetweenCommits : public ::testing::TestWithParam<size_t> {};

TEST_P(FileGrowthBetweenCommits, AfterEveryWriteTheFileOnDiskIsTheLastCommit) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("grow.pst");
    auto plan = std::make_shared<ndbtest::FaultPlan>();
    Options options = ndbtest::faultyOptions(plan);
    options.writeBehindBytes = GetParam();
    auto db = NodeDatabase::create(path, options);
    Expected e;
    uint32_t next = 0x10001;
    auto nidOf = [](uint32_t index) { return makeNid(kNidTypeNormalMessage, index); };
    // One full block each, about 30 to a span.
    for (; next < 0x10001 + 40; ++next)
        ndbtest::putWithData(*db, e, nidOf(next), ndbtest::pattern(disk::kMaxBlockPayload, next));
    db->commit();   // two spans used: two more set aside
    const Expected committed = e;
    uint64_t eofSeen = expectLastCommitOnDisk(path, committed);
    const long syncsBefore = plan->syncs;

    // Eight spans' worth, four times the room; every tenth write replaces a committed node, whose
    // blocks the committed state still reads, so reusing their space too early would show.
    int extensions = 0;
    for (int i = 0; i < 240; ++i) {
        SCOPED_TRACE("write " + std::to_string(i));
        const uint32_t index = i % 10 == 9 ? 0x10001 + static_cast<uint32_t>(i / 10) : next++;
        ndbtest::putWithData(*db, e, nidOf(index), ndbtest::pattern(disk::kMaxBlockPayload, index * 7 + i));
        const uint64_t eof = expectLastCommitOnDisk(path, committed);
        if (eof != eofSeen) ++extensions;
        eofSeen = eof;
        if (HasFailure()) break;
    }
    // The room doubles each time (2, then 3, then 6 spans): two extensions, one sync each. One
    // span at a time would take seven.
    EXPECT_EQ(extensions, 2);
    EXPECT_EQ(plan->syncs - syncsBefore, extensions);

    db->commit();
    expectLastCommitOnDisk(path, e);
    db->close();
    ndbtest::expectStoreHolds(path, e);   // and exact maps once closed
}

INSTANTIATE_TEST_SUITE_P(WriteBehind, FileGrowthBetweenCommits, ::testing::Values(size_t{4} << 20, size_t{0}),
                         [](const auto& info) { return info.param == 0 ? "WritesAtOnce" : "Gathered"; });

TEST(FileGrowth, CommitsSetRoomAsideSoAnIntervalStaysInsideTheFile) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("room.pst");
    auto db = NodeDatabase::create(path);
    Expected e;
    uint32_t next = 0x10001;
    auto interval = [&] {   // about 1.3 MB, five spans' worth
        for (int i = 0; i < 160; ++i, ++next)
            ndbtest::putWithData(*db, e, makeNid(kNidTypeNormalMessage, next), ndbtest::pattern(8000, next));
    };
    interval();
    db->commit();
    const uint64_t committedEof = StoreReader(path).header().root.ibFileEof;
    EXPECT_EQ(fs::file_size(path), committedEof);
    // Room for as much again lies inside the committed file, marked free.
    EXPECT_GE(committedEof - 0x4400, 10 * disk::kAMapSpan);

    // The next interval is written but never committed, as when the process is killed.
    const Expected committed = e;
    interval();
    EXPECT_EQ(fs::file_size(path), committedEof) << "the interval grew the file past the committed end";
    ndbtest::expectStoreHolds(path, committed);

    // Closing sets no room aside: no span is added by the last commit.
    const uint64_t spansBeforeClose = db->fileSize();
    db->close();
    EXPECT_EQ(StoreReader(path).header().root.ibFileEof, spansBeforeClose);
    ndbtest::expectStoreHolds(path, e);

    // A store that never grew stays one span.
    const std::string small = dir.file("small.pst");
    auto tiny = NodeDatabase::create(small);
    tiny->putNode(makeNid(kNidTypeNormalMessage, 0x10001), tiny->writeData(ndbtest::pattern(100, 1)), 0, 0);
    tiny->commit();
    tiny->close();
    EXPECT_EQ(fs::file_size(small), 0x4400u + disk::kAMapSpan);
}

TEST(FileGrowth, NearTheSizeLimitOnlyTheRoomLeftIsSetAsideAndTheLimitStopsCleanly) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("limit.pst");
    Options options;
    options.maxFileSize = disk::amapOffset(6);
    auto db = NodeDatabase::create(path, options);
    Expected e;
    uint32_t next = 0x10001;
    auto put = [&] { ndbtest::putWithData(*db, e, makeNid(kNidTypeNormalMessage, next), ndbtest::pattern(8000, next)); ++next; };
    for (int i = 0; i < 100; ++i) put();   // four spans: a room of four would pass the limit
    ASSERT_NO_THROW(db->commit());
    const Expected committed = e;
    EXPECT_EQ(expectLastCommitOnDisk(path, committed), disk::amapOffset(6));
    try {
        for (int i = 0; i < 100; ++i) put();
        ADD_FAILURE() << "the file grew past its limit";
    } catch (const zentra::Error& error) {
        EXPECT_EQ(error.number(), zentra::kErrStoreWrite);
        EXPECT_NE(error.description().find("largest size"), std::string::npos) << error.description();
    }
    db.reset();
    ndbtest::expectStoreHolds(path, committed, ndbtest::leaksAllowed());
}
