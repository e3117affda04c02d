// NBT and BBT: order, levels and reference counts as the trees grow, shrink and are
// rewritten copy-on-write, checked on the committed file.
#include <algorithm>
#include <random>

#include "ndb_test_support.h"

using namespace pst;
using namespace pst::ndb;
using namespace pst::readback;

namespace {

struct SizeAndLevels {
    size_t count;
    unsigned levels;
};

}  // namespace

class NbtGrowth : public ::testing::TestWithParam<SizeAndLevels> {};

TEST_P(NbtGrowth, AscendingNidsPackPagesAndKeepOrder) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("nbt.pst");
    const auto [count, levels] = GetParam();
    {
        auto db = NodeDatabase::create(path);
        for (size_t i = 0; i < count; ++i)
            db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + static_cast<uint32_t>(i)), 0, 0, 0x8022);
        EXPECT_EQ(db->nodeCount(), count);
        db->close();
    }
    StoreReader reader(path);
    EXPECT_EQ(reader.nodes().size(), count);
    EXPECT_EQ(reader.nbtLevels(), levels);
    size_t i = 0;
    for (const auto& [nid, info] : reader.nodes()) {
        EXPECT_EQ(nid, makeNid(kNidTypeNormalMessage, 0x10001 + static_cast<uint32_t>(i++)));
        EXPECT_EQ(info.parent, 0x8022u);
    }
    EXPECT_STORE_SOUND(path);
}

INSTANTIATE_TEST_SUITE_P(Sizes, NbtGrowth,
                         ::testing::Values(SizeAndLevels{1, 1}, SizeAndLevels{15, 1}, SizeAndLevels{16, 2},
                                           SizeAndLevels{300, 2}, SizeAndLevels{100000, 4}));

class BbtGrowth : public ::testing::TestWithParam<SizeAndLevels> {};

TEST_P(BbtGrowth, EveryBlockIsIndexedWithItsReferenceCount) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("bbt.pst");
    const auto [count, levels] = GetParam();
    std::vector<Bid> bids;
    {
        Options o;
        o.encoding = Encoding::None;
        auto db = NodeDatabase::create(path, o);
        for (size_t i = 0; i < count; ++i) {
            const Bid b = db->writeData(ndbtest::pattern(8, static_cast<uint32_t>(i)));
            bids.push_back(b);
            db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + static_cast<uint32_t>(i)), b, 0, 0x8022);
        }
        db->close();
    }
    StoreReader reader(path);
    EXPECT_EQ(reader.blocks().size(), count);
    EXPECT_EQ(reader.bbtLevels(), levels);
    for (size_t i = 0; i < count; i += std::max<size_t>(1, count / 50)) {
        ASSERT_TRUE(reader.blocks().count(bids[i]));
        EXPECT_EQ(reader.blocks().at(bids[i]).cRef, 2);
        EXPECT_EQ(reader.readData(bids[i]), ndbtest::pattern(8, static_cast<uint32_t>(i)));
    }
    EXPECT_STORE_SOUND(path);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BbtGrowth,
                         ::testing::Values(SizeAndLevels{1, 1}, SizeAndLevels{20, 1}, SizeAndLevels{21, 2},
                                           SizeAndLevels{300, 2}, SizeAndLevels{100000, 4}));

namespace {

// Random insertions, replacements and removals over five commits, checked on the committed file
// and (since leaves may have left memory and be read back) through the database itself.
void randomInsertionsAndRemovals(size_t leavesInMemory) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("random.pst");
    std::mt19937 rng(4242);   // fixed random start
    std::vector<Nid> nids;
    for (uint32_t i = 0; i < 5000; ++i) nids.push_back(makeNid(i % 2 ? kNidTypeNormalMessage : kNidTypeNormalFolder, 0x400 + i));
    std::shuffle(nids.begin(), nids.end(), rng);
    std::map<Nid, Bid> expected;
    Options options;
    options.indexLeavesInMemory = leavesInMemory;
    auto db = NodeDatabase::create(path, options);
    for (size_t round = 0; round < 5; ++round) {
        for (size_t i = round * 1000; i < (round + 1) * 1000; ++i) {
            const Bid b = db->writeData(ndbtest::pattern(30, nids[i]));
            db->putNode(nids[i], b, 0, 0);
            expected[nids[i]] = b;
        }
        // Remove a random third of what exists, and replace a few.
        std::vector<Nid> present;
        for (auto& [nid, b] : expected) present.push_back(nid);
        std::shuffle(present.begin(), present.end(), rng);
        for (size_t i = 0; i < present.size() / 3; ++i) {
            db->removeNode(present[i]);
            expected.erase(present[i]);
        }
        for (size_t i = present.size() / 3; i < present.size() / 3 + 20; ++i) {
            const Bid b = db->writeData(ndbtest::pattern(40, present[i]));
            db->putNode(present[i], b, 0, 0);
            expected[present[i]] = b;
        }
        db->commit();
        StoreReader reader(path);
        ASSERT_EQ(reader.nodes().size(), expected.size());
        for (const auto& [nid, b] : expected) {
            ASSERT_TRUE(reader.nodes().count(nid));
            EXPECT_EQ(reader.nodes().at(nid).data, b);
        }
        EXPECT_EQ(reader.blocks().size(), expected.size());   // removed nodes' blocks are gone
        const auto problems = reader.verify(ndbtest::leaksAllowed());
        EXPECT_TRUE(problems.empty()) << "round " << round << "\n" << ndbtest::joinProblems(problems);
        for (const auto& [nid, b] : expected) {
            ASSERT_TRUE(db->findNode(nid)) << nid;
            EXPECT_EQ(db->findNode(nid)->data, b);
            ASSERT_TRUE(db->findBlock(b)) << b;
            EXPECT_EQ(db->findBlock(b)->cRef, 2);
        }
        EXPECT_FALSE(db->findNode(makeNid(kNidTypeNormalMessage, 0x400 + 5001)));
    }
    // Removing everything leaves empty root leaves that still make a valid file.
    for (auto& [nid, b] : expected) db->removeNode(nid);
    db->close();
    StoreReader reader(path);
    EXPECT_TRUE(reader.nodes().empty());
    EXPECT_TRUE(reader.blocks().empty());
    EXPECT_EQ(reader.nbtLevels(), 1u);
    EXPECT_STORE_SOUND(path);
}

}  // namespace

TEST(BTree, RandomInsertionsAndRemovalsAcrossCommitsStayOrderedAndBalanced) { randomInsertionsAndRemovals(4096); }

// With one leaf left in memory after each commit, every other leaf is read back from its
// committed page when a find, change or removal reaches it.
TEST(BTree, LeavesThatLeftMemoryAreReadBackFromTheirPages) { randomInsertionsAndRemovals(1); }
