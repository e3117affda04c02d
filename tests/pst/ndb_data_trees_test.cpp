// Data trees and subnode trees: shapes at the size limits, round trips through the database
// and through an independent read of the committed file, encodings and reference counts.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "ndb_test_support.h"
#include "pst/core/permute.h"
#include "pst/disk/block.h"

using namespace pst;
using namespace pst::ndb;
using namespace pst::readback;
using ndbtest::pattern;


class DataTreeTest : public ::testing::TestWithParam<size_t> {};

TEST_P(DataTreeTest, ReadsBackEqualBeforeAndAfterCommit) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("data.pst");
    const size_t size = GetParam();
    const std::vector<uint8_t> data = pattern(size, static_cast<uint32_t>(size));
    Bid root = 0;
    {
        auto db = NodeDatabase::create(path);
        root = db->writeData(data);
        ASSERT_NE(root, 0u);
        EXPECT_EQ(db->readData(root), data);
        db->putNode(makeNid(kNidTypeNormalMessage, 0x10001), root, 0, 0);
        const size_t leaves = (size + kMaxBlockData - 1) / kMaxBlockData;
        const size_t xblocks = leaves > 1 ? (leaves + 1020) / 1021 : 0;
        const size_t xxblocks = xblocks > 1 ? 1 : 0;
        EXPECT_EQ(db->blockCount(), leaves + xblocks + xxblocks);
        EXPECT_EQ(disk::isInternalBid(root), leaves > 1);
        // Every block but the last holds a full 8176 bytes.
        const auto blocks = db->readBlocks(root);
        ASSERT_EQ(blocks.size(), leaves);
        for (size_t i = 0; i + 1 < blocks.size(); ++i) EXPECT_EQ(blocks[i].size(), kMaxBlockData);
        const size_t xblockBytes = leaves > 1 ? 8 * xblocks + 8 * leaves : 0;
        const size_t xxblockBytes = xxblocks ? 8 + 8 * xblocks : 0;
        EXPECT_EQ(db->treeSize(root), size + xblockBytes + xxblockBytes);
        db->close();
    }
    StoreReader reader(path);
    EXPECT_EQ(reader.readData(root), data);
    const auto problems = reader.verify();
    EXPECT_TRUE(problems.empty()) << ndbtest::joinProblems(problems);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DataTreeTest, ::testing::Values(1, 8176, 8177, 1021 * 8176, 1021 * 8176 + 1));

TEST(DataTree, XxblockOverXblocksHasTheDocumentedShape) {
    ndbtest::ScratchDir dir;
    auto db = NodeDatabase::create(dir.file("xx.pst"));
    const std::vector<uint8_t> data = pattern(1021 * 8176 + 1, 7);
    const Bid root = db->writeData(data);
    // Root: an XXBLOCK of 2 XBLOCKs (1021 + 1 leaves).
    const auto info = db->findBlock(root);
    ASSERT_TRUE(info);
    EXPECT_TRUE(disk::isInternalBid(root));
    EXPECT_EQ(info->cb, 8 + 2 * 8);
    EXPECT_EQ(info->cRef, 2);
    // Both children are XBLOCKs whose cb shows 1021 and 1 entries.
    std::vector<uint16_t> childSizes;
    size_t xblocks = 0;
    for (Bid b = 4; b < 4 * 2000; b += 2) {
        if (!disk::isInternalBid(b) || b == root) continue;
        if (auto x = db->findBlock(b)) {
            ++xblocks;
            childSizes.push_back(x->cb);
            EXPECT_EQ(x->cRef, 2);
        }
    }
    EXPECT_EQ(xblocks, 2u);
    std::sort(childSizes.begin(), childSizes.end());
    EXPECT_EQ(childSizes, (std::vector<uint16_t>{8 + 8, 8 + 1021 * 8}));
    EXPECT_EQ(db->readData(root), data);
}

TEST(DataTree, WriteBlocksKeepsPayloadBoundaries) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("blocks.pst");
    std::vector<std::vector<uint8_t>> payloads = {pattern(1, 1), pattern(3580, 2), pattern(8176, 3), pattern(200, 4)};
    Bid root;
    {
        auto db = NodeDatabase::create(path);
        root = db->writeBlocks(payloads);
        EXPECT_EQ(db->readBlocks(root), payloads);
        db->putNode(0x21, root, 0, 0);
        db->close();
    }
    StoreReader reader(path);
    EXPECT_EQ(reader.readBlocks(root), payloads);
    EXPECT_STORE_SOUND(path);
}

TEST(DataTree, PermuteEncodesOnlyExternalPayloadsAndNoneStoresThemPlain) {
    for (Encoding enc : {Encoding::Permute, Encoding::None}) {
        ndbtest::ScratchDir dir;
        const std::string path = dir.file("enc.pst");
        const std::vector<uint8_t> data = pattern(100, 9);
        Bid root;
        uint64_t ib;
        {
            Options o;
            o.encoding = enc;
            auto db = NodeDatabase::create(path, o);
            root = db->writeData(data);
            ib = db->findBlock(root)->ib;
            db->putNode(0x21, root, 0, 0);
            db->close();
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
        std::vector<uint8_t> stored(file.begin() + static_cast<long>(ib), file.begin() + static_cast<long>(ib) + 100);
        std::vector<uint8_t> expected = data;
        if (enc == Encoding::Permute) core::encodePermute(expected);
        EXPECT_EQ(stored, expected);
        StoreReader reader(path);
        EXPECT_EQ(reader.header().bCryptMethod, enc == Encoding::Permute ? 1 : 0);
        EXPECT_EQ(reader.readData(root), data);
    }
}

class SubnodeTreeTest : public ::testing::TestWithParam<size_t> {};

TEST_P(SubnodeTreeTest, SortsSplitsAndReadsBack) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("sub.pst");
    const size_t count = GetParam();
    std::vector<SubnodeEntry> entries;
    Bid root;
    {
        auto db = NodeDatabase::create(path);
        for (size_t i = 0; i < count; ++i) {
            // Descending NIDs: the tree must sort them.
            const Nid nid = makeNid(kNidTypeLtp, static_cast<uint32_t>(count - i));
            const Bid data = db->writeData(pattern(10 + i % 50, static_cast<uint32_t>(i)));
            const Bid nested = (i % 97 == 0) ? db->writeSubnodeTree({{0x671, db->writeData(pattern(5, 1)), 0}}) : 0;
            entries.push_back({nid, data, nested});
        }
        root = db->writeSubnodeTree(entries);
        std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.nid < b.nid; });
        auto back = db->readSubnodeTree(root);
        ASSERT_EQ(back.size(), count);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(back[i].nid, entries[i].nid);
            EXPECT_EQ(back[i].data, entries[i].data);
            EXPECT_EQ(back[i].subnodes, entries[i].subnodes);
        }
        const auto rootInfo = db->findBlock(root);
        const size_t slblocks = (count + 339) / 340;
        if (slblocks == 1) {
            EXPECT_EQ(rootInfo->cb, 8 + 24 * count);    // one SLBLOCK
        } else {
            EXPECT_EQ(rootInfo->cb, 8 + 16 * slblocks);  // an SIBLOCK over the SLBLOCKs
        }
        db->putNode(makeNid(kNidTypeNormalMessage, 0x10001), db->writeData(pattern(40, 3)), root, 0x8022);
        db->close();
    }
    StoreReader reader(path);
    const auto back = reader.readSubnodeTree(root);
    ASSERT_EQ(back.size(), count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(back[i].nid, entries[i].nid);
        EXPECT_EQ(reader.readData(back[i].data), pattern(10 + (count - entries[i].nid / 32) % 50,
                                                         static_cast<uint32_t>(count - entries[i].nid / 32)));
    }
    EXPECT_STORE_SOUND(path);   // includes cRef == 1 + references for SL/SI children
}

INSTANTIATE_TEST_SUITE_P(Counts, SubnodeTreeTest, ::testing::Values(1, 340, 341, 5000));

TEST(References, SharedTreesFreeOnLastReleaseAndCascade) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("refs.pst");
    auto db = NodeDatabase::create(path);
    const Bid shared = db->writeData(pattern(20000, 1));   // XBLOCK over 3 leaves
    ASSERT_TRUE(disk::isInternalBid(shared));
    db->addRef(shared);
    db->addRef(shared);
    EXPECT_EQ(db->findBlock(shared)->cRef, 4);
    db->putNode(0x60E, shared, 0, 0);
    db->putNode(0x12E, shared, 0, 0x122);
    db->putNode(0x80E, shared, 0, 0x8022);
    db->commit();
    EXPECT_STORE_SOUND(path);

    const size_t before = db->blockCount();
    db->removeNode(0x80E);
    db->putNode(0x12E, db->writeData(pattern(10, 2)), 0, 0x122);   // replaces: releases one reference
    EXPECT_EQ(db->findBlock(shared)->cRef, 2);
    EXPECT_EQ(db->blockCount(), before + 1);
    db->removeNode(0x60E);   // last reference: the XBLOCK and its 3 leaves go
    EXPECT_FALSE(db->findBlock(shared));
    EXPECT_EQ(db->blockCount(), before + 1 - 4);
    db->close();
    EXPECT_STORE_SOUND(path);
}

TEST(References, ReleasingASubnodeTreeReleasesItsSubnodesData) {
    ndbtest::ScratchDir dir;
    auto db = NodeDatabase::create(dir.file("subrefs.pst"));
    const Bid a = db->writeData(pattern(10, 1));
    const Bid b = db->writeData(pattern(10, 2));
    db->addRef(b);   // b is also used elsewhere
    const Bid tree = db->writeSubnodeTree({{0x692, a, 0}, {0x671, b, 0}});
    db->release(tree);
    EXPECT_FALSE(db->findBlock(tree));
    EXPECT_FALSE(db->findBlock(a));
    ASSERT_TRUE(db->findBlock(b));
    EXPECT_EQ(db->findBlock(b)->cRef, 2);
}

TEST(ArgumentErrors, AreReportedAndLeaveTheDatabaseUsable) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("args.pst");
    auto db = NodeDatabase::create(path);
    auto expectInvalid = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const zentra::Error& e) {
            EXPECT_EQ(e.number(), zentra::kErrInvalidArgument) << e.what();
        }
    };
    expectInvalid([&] { db->writeBlocks({{}}); });
    expectInvalid([&] { db->writeBlocks({std::vector<uint8_t>(8177, 1)}); });
    const Bid d = db->writeData(pattern(5, 5));
    expectInvalid([&] { db->writeSubnodeTree({{0x671, d, 0}, {0x671, d, 0}}); });
    expectInvalid([&] { db->putNode(0x21, 0x7777770, 0, 0); });
    expectInvalid([&] { db->release(0x7777770); });
    expectInvalid([&] { db->removeNode(0x12345); });
    EXPECT_EQ(db->writeData({}), 0u);
    EXPECT_EQ(db->writeSubnodeTree({}), 0u);
    db->putNode(0x21, d, 0, 0);
    db->close();
    EXPECT_STORE_SOUND(path);
}
