// A node written again and again as it grows (a folder's contents table): each new tree shares
// the leaves and the full XBLOCKs of the one it replaces, and the commit after it rewrites only
// the index pages of what changed, not those of every block the tree shares.
#include "ndb_test_support.h"
#include "pst/disk/block.h"

using namespace pst;
using namespace pst::ndb;
using ndbtest::pattern;

namespace {

constexpr size_t kPerXBlock = disk::XBLOCK::kMaxEntries;   // 1,021 leaves

// The leaves of the next tree: every block of the last one, then new payloads (the leaves point
// into `added`, which must outlive them).
std::vector<NodeDatabase::Leaf> grow(const std::vector<Bid>& stored, const std::vector<std::vector<uint8_t>>& added) {
    std::vector<NodeDatabase::Leaf> leaves;
    for (Bid bid : stored) leaves.push_back({bid, {}});
    for (const auto& payload : added) leaves.push_back({0, payload});
    return leaves;
}

std::vector<Bid> bidsOf(const std::vector<NodeDatabase::Leaf>& leaves) {
    std::vector<Bid> bids;
    for (const auto& leaf : leaves) bids.push_back(leaf.existing);
    return bids;
}

}  // namespace

TEST(GrowingTree, ATreeWrittenAgainSharesTheFullXBlocksOfTheOneItReplaces) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("grow.pst");
    auto db = NodeDatabase::create(path);
    std::vector<std::vector<uint8_t>> payloads;
    for (uint32_t i = 0; i < 2 * kPerXBlock + 100; ++i) payloads.push_back(pattern(16, i));
    std::vector<NodeDatabase::Leaf> first = grow({}, payloads);
    db->putNode(0x12E, db->writeBlocksReusing(first), 0, 0x122);
    db->commit();
    const std::vector<Bid> stored = bidsOf(first);
    const size_t blocksBefore = db->blockCount();   // 2,121 leaves, 3 XBLOCKs, 1 XXBLOCK

    const std::vector<std::vector<uint8_t>> added{pattern(16, 99999)};
    payloads.push_back(added.back());
    std::vector<NodeDatabase::Leaf> second = grow(stored, added);
    const Bid root = db->writeBlocksReusing(second);
    // New: one leaf, the XBLOCK of the last, partial group and the XXBLOCK. The two full groups
    // are the old tree's XBLOCKs: their leaves gained no reference.
    EXPECT_EQ(db->blockCount(), blocksBefore + 3);
    EXPECT_EQ(db->findBlock(stored.front())->cRef, 2);
    EXPECT_EQ(db->findBlock(stored[kPerXBlock])->cRef, 2);
    EXPECT_EQ(db->findBlock(stored.back())->cRef, 3);   // in both trees' partial groups

    db->putNode(0x12E, root, 0, 0x122);   // the old tree goes: its XXBLOCK and last XBLOCK
    EXPECT_EQ(db->blockCount(), blocksBefore + 1);
    EXPECT_EQ(db->findBlock(stored.back())->cRef, 2);
    std::vector<uint8_t> expected;
    for (const auto& p : payloads) expected.insert(expected.end(), p.begin(), p.end());
    EXPECT_EQ(db->readData(root), expected);

    // A third tree that changes a leaf of the first group shares only the second XBLOCK.
    std::vector<NodeDatabase::Leaf> third = grow(bidsOf(second), {});
    third[5] = {0, payloads[5]};
    db->putNode(0x12E, db->writeBlocksReusing(third), 0, 0x122);
    EXPECT_EQ(db->findBlock(stored[kPerXBlock])->cRef, 2);
    EXPECT_FALSE(db->findBlock(stored[5]));   // replaced, and no longer in any tree
    db->close();
    EXPECT_STORE_SOUND(path);
}

TEST(GrowingTree, ACommitAfterTheTreeGrowsRewritesOnlyTheIndexPagesOfWhatChanged) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("pages.pst");
    auto plan = std::make_shared<ndbtest::FaultPlan>();
    Options options = ndbtest::faultyOptions(plan);
    options.writeBehindBytes = 0;   // pages counted one write each
    auto db = NodeDatabase::create(path, options);
    // Thirty commits, each adding 100 leaves to the tree and 100 blocks elsewhere, so the
    // tree's leaves are spread over a few hundred BBT pages, as in a long import.
    std::vector<Bid> stored;
    for (uint32_t round = 0; round < 30; ++round) {
        std::vector<std::vector<uint8_t>> added;
        for (uint32_t i = 0; i < 100; ++i) {
            added.push_back(pattern(16, round * 1000 + i));
            db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + round * 100 + i),
                        db->writeData(pattern(16, 500000 + round * 100 + i)), 0, 0x8022);
        }
        std::vector<NodeDatabase::Leaf> leaves = grow(stored, added);
        db->putNode(0x12E, db->writeBlocksReusing(leaves), 0, 0x122);
        stored = bidsOf(leaves);
        db->commit();
    }
    ASSERT_GT(stored.size(), 2 * kPerXBlock);
    const unsigned levels = pst::readback::StoreReader(path).bbtLevels() + pst::readback::StoreReader(path).nbtLevels();

    const long pagesBefore = plan->pageWrites;
    const std::vector<std::vector<uint8_t>> added{pattern(16, 7)};
    std::vector<NodeDatabase::Leaf> leaves = grow(stored, added);
    db->putNode(0x12E, db->writeBlocksReusing(leaves), 0, 0x122);
    db->commit();
    const long pages = plan->pageWrites - pagesBefore;
    // The new and freed blocks' BBT paths (they are all recent, so their leaf pages are at the
    // right edge), the node's NBT path and the AMaps of a few spans. Re-referencing the 958
    // leaves of the partial group would rewrite about fifty BBT leaf pages.
    EXPECT_LE(pages, static_cast<long>(2 * levels + 6)) << pages << " pages for one grown tree";
    db->close();
    EXPECT_STORE_SOUND(path);
}
