// The on-disk structures read an Outlook-written file: header CRCs, BT pages, blocks, maps.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "pst/core/le_codec.h"
#include "pst/core/permute.h"
#include "pst/disk/block.h"
#include "pst/disk/header.h"
#include "pst/disk/page.h"

using namespace pst::disk;

namespace {

std::vector<uint8_t> loadSample(const char* name) {
    std::ifstream in(std::string(ZENTRA_SHARED_DIR) + "/reference/pst-samples/" + name, std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

PageBytes pageAt(const std::vector<uint8_t>& file, uint64_t ib) {
    PageBytes p{};
    std::copy_n(file.begin() + static_cast<long>(ib), kPageSize, p.begin());
    return p;
}

struct Walk {
    const std::vector<uint8_t>& file;
    std::vector<BBTENTRY> blocks;
    std::vector<NBTENTRY> nodes;
    void tree(const BREF& ref, uint8_t ptype) {
        const PageBytes page = pageAt(file, ref.ib);
        ASSERT_TRUE(pageTrailerValid(page, ref.ib)) << "page at " << ref.ib;
        EXPECT_EQ(pageTrailerOf(page).ptype, ptype);
        EXPECT_EQ(pageTrailerOf(page).bid, ref.bid);
        const BTPAGE p = BTPAGE::parse(page);
        for (size_t i = 0; i < p.cEnt; ++i) {
            if (p.cLevel > 0) {
                tree(BTENTRY::parse(p.entry(i)).BREF, ptype);
            } else if (ptype == kPtypeBBT) {
                blocks.push_back(BBTENTRY::parse(p.entry(i)));
            } else {
                nodes.push_back(NBTENTRY::parse(p.entry(i)));
            }
        }
    }
};

}  // namespace

TEST(OutlookSample, EmptyPstParsesThroughOurStructures) {
    const std::vector<uint8_t> file = loadSample("Empty.pst");
    if (file.empty()) GTEST_SKIP() << "Outlook sample files are not available";
    ASSERT_EQ(file.size(), 271360u);
    const auto headerBytes = std::span<const uint8_t>(file).first(kHeaderSize);
    EXPECT_TRUE(headerCrcsValid(headerBytes));
    const HEADER h = HEADER::parse(headerBytes);
    EXPECT_EQ(h.wVer, 23);
    EXPECT_EQ(h.wVerClient, 19);
    EXPECT_EQ(h.bCryptMethod, kCryptPermute);
    EXPECT_EQ(h.root.fAMapValid, kAMapValid2);
    EXPECT_EQ(h.root.ibFileEof, file.size());
    EXPECT_EQ(h.root.ibAMapLast, kFirstAMapOffset);
    EXPECT_EQ(h.rgnid[pst::kNidTypeNormalMessage], 0x10000u);

    Walk walk{file, {}, {}};
    walk.tree(h.root.BREFNBT, kPtypeNBT);
    walk.tree(h.root.BREFBBT, kPtypeBBT);
    EXPECT_EQ(walk.nodes.size(), 47u);
    EXPECT_EQ(walk.blocks.size(), 31u);

    // Every block's trailer matches its BBT entry; external blocks of property and table
    // contexts decode to a heap-on-node whose bSig is 0xEC.
    size_t heaps = 0;
    for (const BBTENTRY& b : walk.blocks) {
        const auto image = std::span<const uint8_t>(file).subspan(b.BREF.ib, blockSizeOnDisk(b.cb));
        EXPECT_TRUE(blockTrailerValid(image, b.BREF.ib)) << "block " << b.BREF.bid;
        EXPECT_EQ(blockTrailerOf(image).bid, b.BREF.bid);
        EXPECT_EQ(blockTrailerOf(image).cb, b.cb);
        EXPECT_LT(b.BREF.bid, h.bidNextB);
        if (!isInternalBid(b.BREF.bid)) {
            std::vector<uint8_t> payload(image.begin(), image.begin() + b.cb);
            pst::core::decodePermute(payload);
            if (payload.size() > 3 && payload[2] == 0xEC) ++heaps;
        }
    }
    EXPECT_GE(heaps, 20u);

    // The AMap and PMap carry their own offset as BID and no signature; the DList is valid.
    const PageBytes amap = pageAt(file, kFirstAMapOffset);
    EXPECT_TRUE(pageTrailerValid(amap, kFirstAMapOffset));
    EXPECT_EQ(pageTrailerOf(amap).bid, kFirstAMapOffset);
    const PageBytes pmap = pageAt(file, kFirstPMapOffset);
    EXPECT_EQ(pageTrailerOf(pmap).ptype, kPtypePMap);
    const PageBytes dlist = pageAt(file, kDListOffset);
    EXPECT_EQ(pageTrailerOf(dlist).ptype, kPtypeDL);
    EXPECT_TRUE(pageTrailerValid(dlist, kDListOffset));
}
