// Exact sizes and field offsets of every on-disk structure: each field gets a distinct value,
// the structure is serialized, and the bytes are read back at the offsets [MS-PST] gives.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "pst/core/crc.h"
#include "pst/core/le_codec.h"
#include "pst/disk/block.h"
#include "pst/disk/header.h"
#include "pst/disk/page.h"
#include "zentra/error.h"

using namespace pst::disk;
using namespace pst::core;

TEST(DiskLayout, Constants) {
    EXPECT_EQ(kHeaderSize, 564u);
    EXPECT_EQ(kAMapSpan, 253952u);
    EXPECT_EQ(kPMapSpan, 2031616u);
    EXPECT_EQ(kMaxBlockPayload, 8176u);
    EXPECT_EQ(BTPAGE::kNbtLeafMax, 15);
    EXPECT_EQ(BTPAGE::kBbtLeafMax, 20);
    EXPECT_EQ(BTPAGE::kIntermediateMax, 20);
    EXPECT_EQ(XBLOCK::kMaxEntries, 1021u);
    EXPECT_EQ(SLBLOCK::kMaxEntries, 340u);
    EXPECT_EQ(SIBLOCK::kMaxEntries, 510u);
    EXPECT_EQ(blockSizeOnDisk(1), 64u);
    EXPECT_EQ(blockSizeOnDisk(48), 64u);
    EXPECT_EQ(blockSizeOnDisk(49), 128u);
    EXPECT_EQ(blockSizeOnDisk(8176), 8192u);
    EXPECT_EQ(amapOffset(0), 0x4400u);
    EXPECT_EQ(amapOffset(2), 0x4400u + 2 * 253952u);
}

TEST(DiskLayout, HeaderAndRootFieldOffsets) {
    HEADER h;
    h.dwReserved1 = 0x11111111;
    h.dwReserved2 = 0x22222222;
    h.bidUnused = 0x3333333333333333;
    h.bidNextP = 0x0102030405060708;
    h.dwUnique = 0xCAFEBABE;
    for (uint32_t i = 0; i < 32; ++i) h.rgnid[i] = 0x1000 + i;
    h.root.ibFileEof = 0xA1;
    h.root.ibAMapLast = 0xA2;
    h.root.cbAMapFree = 0xA3;
    h.root.cbPMapFree = 0xA4;
    h.root.BREFNBT = {0xB1, 0xB2};
    h.root.BREFBBT = {0xB3, 0xB4};
    h.root.fAMapValid = 2;
    h.rgbFM.fill(0xFF);
    h.rgbFP.fill(0xEE);
    h.bCryptMethod = 1;
    h.bidNextB = 0x1122334455667788;
    std::array<uint8_t, HEADER::kSize> b{};
    h.serialize(b);
    EXPECT_EQ(readLe32(b, 0x000), 0x4E444221u);   // "!BDN"
    EXPECT_EQ(b[0], '!');
    EXPECT_EQ(readLe16(b, 0x008), 0x4D53);
    EXPECT_EQ(readLe16(b, 0x00A), 23);
    EXPECT_EQ(readLe16(b, 0x00C), 19);
    EXPECT_EQ(b[0x00E], 1);
    EXPECT_EQ(b[0x00F], 1);
    EXPECT_EQ(readLe32(b, 0x010), 0x11111111u);
    EXPECT_EQ(readLe32(b, 0x014), 0x22222222u);
    EXPECT_EQ(readLe64(b, 0x018), 0x3333333333333333u);
    EXPECT_EQ(readLe64(b, 0x020), 0x0102030405060708u);
    EXPECT_EQ(readLe32(b, 0x028), 0xCAFEBABEu);
    EXPECT_EQ(readLe32(b, 0x02C), 0x1000u);
    EXPECT_EQ(readLe32(b, 0x02C + 31 * 4), 0x1000u + 31);
    EXPECT_EQ(readLe64(b, 0x0AC), 0u);
    // ROOT at 0xB4
    EXPECT_EQ(readLe32(b, 0x0B4), 0u);
    EXPECT_EQ(readLe64(b, 0x0B8), 0xA1u);
    EXPECT_EQ(readLe64(b, 0x0C0), 0xA2u);
    EXPECT_EQ(readLe64(b, 0x0C8), 0xA3u);
    EXPECT_EQ(readLe64(b, 0x0D0), 0xA4u);
    EXPECT_EQ(readLe64(b, 0x0D8), 0xB1u);
    EXPECT_EQ(readLe64(b, 0x0E0), 0xB2u);
    EXPECT_EQ(readLe64(b, 0x0E8), 0xB3u);
    EXPECT_EQ(readLe64(b, 0x0F0), 0xB4u);
    EXPECT_EQ(b[0x0F8], 2);
    EXPECT_EQ(readLe32(b, 0x0FC), 0u);
    EXPECT_EQ(b[0x100], 0xFF);
    EXPECT_EQ(b[0x17F], 0xFF);
    EXPECT_EQ(b[0x180], 0xEE);
    EXPECT_EQ(b[0x1FF], 0xEE);
    EXPECT_EQ(b[0x200], 0x80);
    EXPECT_EQ(b[0x201], 1);
    EXPECT_EQ(readLe64(b, 0x204), 0x1122334455667788u);
    for (size_t i = 0x210; i < 0x234; ++i) EXPECT_EQ(b[i], 0) << i;

    sealHeader(b);
    EXPECT_TRUE(headerCrcsValid(b));
    EXPECT_EQ(readLe32(b, 0x004), computeCrc(std::span(b).subspan(8, 471)));
    EXPECT_EQ(readLe32(b, 0x20C), computeCrc(std::span(b).subspan(8, 516)));
    const HEADER back = HEADER::parse(b);
    EXPECT_EQ(back.bidNextP, h.bidNextP);
    EXPECT_EQ(back.rgnid, h.rgnid);
    EXPECT_EQ(back.root.BREFBBT, h.root.BREFBBT);
    EXPECT_EQ(back.root.cbAMapFree, h.root.cbAMapFree);
    EXPECT_EQ(back.bidNextB, h.bidNextB);
    // bidNextB lies inside the full CRC, rgbReserved3 outside both.
    b[0x204] ^= 1;
    EXPECT_FALSE(headerCrcsValid(b));
    b[0x204] ^= 1;
    b[0x220] ^= 1;
    EXPECT_TRUE(headerCrcsValid(b));
}

TEST(DiskLayout, PageTrailerAndBtPage) {
    BTPAGE p;
    p.cLevel = 0;
    p.cbEnt = NBTENTRY::kSize;
    p.cEntMax = BTPAGE::kNbtLeafMax;
    p.cEnt = 2;
    NBTENTRY n;
    n.nid = 0x21;
    n.bidData = 0x104;
    n.bidSub = 0x10A;
    n.nidParent = 0x122;
    n.serialize(p.entry(1));
    PageBytes bytes{};
    p.serializeBody(bytes);
    sealPage(bytes, kPtypeNBT, 0x9200, 0x17D);
    EXPECT_EQ(bytes[488], 2);
    EXPECT_EQ(bytes[489], 15);
    EXPECT_EQ(bytes[490], 32);
    EXPECT_EQ(bytes[491], 0);
    EXPECT_EQ(readLe64(bytes, 32), 0x21u);
    EXPECT_EQ(readLe64(bytes, 40), 0x104u);
    EXPECT_EQ(readLe64(bytes, 48), 0x10Au);
    EXPECT_EQ(readLe32(bytes, 56), 0x122u);
    EXPECT_EQ(readLe32(bytes, 60), 0u);
    EXPECT_EQ(bytes[496], kPtypeNBT);
    EXPECT_EQ(bytes[497], kPtypeNBT);
    EXPECT_EQ(readLe16(bytes, 498), static_cast<uint16_t>(0x9200 ^ 0x17D));
    EXPECT_EQ(readLe32(bytes, 500), computeCrc(std::span(bytes).first(496)));
    EXPECT_EQ(readLe64(bytes, 504), 0x17Du);
    EXPECT_TRUE(pageTrailerValid(bytes, 0x9200));
    EXPECT_FALSE(pageTrailerValid(bytes, 0x9400));   // signature binds the page to its offset
    bytes[100] ^= 1;
    EXPECT_FALSE(pageTrailerValid(bytes, 0x9200));
    bytes[100] ^= 1;
    const BTPAGE back = BTPAGE::parse(bytes);
    EXPECT_EQ(NBTENTRY::parse(back.entry(1)).nidParent, 0x122u);

    // BTENTRY and BBTENTRY, 24 bytes each.
    std::array<uint8_t, 24> e{};
    BTENTRY{0x61, BREF{0x55, 0x6600}}.serialize(e);
    EXPECT_EQ(readLe64(e, 0), 0x61u);
    EXPECT_EQ(readLe64(e, 8), 0x55u);
    EXPECT_EQ(readLe64(e, 16), 0x6600u);
    BBTENTRY bb;
    bb.BREF = {0x48, 0x4A00};
    bb.cb = 0x1234;
    bb.cRef = 3;
    bb.serialize(e);
    EXPECT_EQ(readLe64(e, 0), 0x48u);
    EXPECT_EQ(readLe64(e, 8), 0x4A00u);
    EXPECT_EQ(readLe16(e, 16), 0x1234);
    EXPECT_EQ(readLe16(e, 18), 3);
    EXPECT_EQ(readLe32(e, 20), 0u);
}

TEST(DiskLayout, MapPagesCarryNoSignatureAndDListDoes) {
    MAPPAGE amap;
    amap.rgbMapBits[0] = 0xFF;
    PageBytes bytes{};
    amap.serializeBody(bytes);
    sealPage(bytes, kPtypeAMap, 0x4400, 0x4400);
    EXPECT_EQ(readLe16(bytes, 498), 0);
    EXPECT_EQ(readLe64(bytes, 504), 0x4400u);
    EXPECT_TRUE(pageTrailerValid(bytes, 0x4400));

    DLISTPAGE d;
    d.cEntDList = 1;
    d.ulCurrentPage = 7;
    d.rgDListPageEnt.push_back({0x12345, 0xABC});
    PageBytes dl{};
    d.serializeBody(dl);
    sealPage(dl, kPtypeDL, kDListOffset, 0x99);
    EXPECT_EQ(dl[1], 1);
    EXPECT_EQ(readLe32(dl, 4), 7u);
    EXPECT_EQ(readLe32(dl, 8), 0x12345u | (0xABCu << 20));
    EXPECT_EQ(readLe16(dl, 498), static_cast<uint16_t>(kDListOffset ^ 0x99));
    const DLISTPAGE back = DLISTPAGE::parse(dl);
    ASSERT_EQ(back.rgDListPageEnt.size(), 1u);
    EXPECT_EQ(back.rgDListPageEnt[0].dwPageNum, 0x12345u);
    EXPECT_EQ(back.rgDListPageEnt[0].dwFreeSlots, 0xABCu);
}

TEST(DiskLayout, BlockTrailerAndInternalBlocks) {
    const std::vector<uint8_t> payload(100, 0x5A);
    const auto image = buildBlock(payload, 0x4A00, 0x48);
    ASSERT_EQ(image.size(), 128u);
    for (size_t i = 100; i < 112; ++i) EXPECT_EQ(image[i], 0) << "padding " << i;
    EXPECT_EQ(readLe16(image, 112), 100);
    EXPECT_EQ(readLe16(image, 114), static_cast<uint16_t>(0x4A00 ^ 0x48));
    EXPECT_EQ(readLe32(image, 116), computeCrc(payload));
    EXPECT_EQ(readLe64(image, 120), 0x48u);
    EXPECT_TRUE(blockTrailerValid(image, 0x4A00));
    EXPECT_FALSE(blockTrailerValid(image, 0x4A40));

    XBLOCK x;
    x.cLevel = 2;
    x.lcbTotal = 0x10000;
    x.rgbid = {0x22, 0x26};
    const auto xb = x.serialize();
    ASSERT_EQ(xb.size(), 24u);
    EXPECT_EQ(xb[0], 1);
    EXPECT_EQ(xb[1], 2);
    EXPECT_EQ(readLe16(xb, 2), 2);
    EXPECT_EQ(readLe32(xb, 4), 0x10000u);
    EXPECT_EQ(readLe64(xb, 16), 0x26u);

    SLBLOCK sl;
    sl.rgentries = {{0x671, 0x100, 0}, {0x692, 0x104, 0x10A}};
    const auto slb = sl.serialize();
    ASSERT_EQ(slb.size(), 8u + 48u);
    EXPECT_EQ(slb[0], 2);
    EXPECT_EQ(slb[1], 0);
    EXPECT_EQ(readLe16(slb, 2), 2);
    EXPECT_EQ(readLe64(slb, 32), 0x692u);
    EXPECT_EQ(readLe64(slb, 40), 0x104u);
    EXPECT_EQ(readLe64(slb, 48), 0x10Au);
    EXPECT_EQ(SLBLOCK::parse(slb).rgentries[1].bidSub, 0x10Au);

    SIBLOCK si;
    si.rgentries = {{0x671, 0x102}, {0x9000, 0x106}};
    const auto sib = si.serialize();
    ASSERT_EQ(sib.size(), 8u + 32u);
    EXPECT_EQ(sib[1], 1);
    EXPECT_EQ(readLe64(sib, 24), 0x9000u);
    EXPECT_EQ(readLe64(sib, 32), 0x106u);
    EXPECT_THROW(SLBLOCK::parse(sib), zentra::Error);   // an SIBLOCK is not an SLBLOCK
}
