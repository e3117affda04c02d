// Exact sizes and field offsets of the heap, BTree-on-heap and table context records: each field
// gets a distinct value, the record is serialized, and the bytes are read back at the offsets
// [MS-PST] 2.3 gives. Short buffers are refused rather than read or written past.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "pst/core/le_codec.h"
#include "pst/disk/btree_on_heap.h"
#include "pst/disk/heap_on_node.h"
#include "pst/disk/table_context.h"
#include "zentra/error.h"

using namespace pst::disk;
using namespace pst::core;

TEST(LtpLayout, HidAndHnidBits) {
    const pst::Hid hid = makeHid(0x1234, 0x7FF);
    EXPECT_EQ(hid & 0x1F, 0u);                   // hidType
    EXPECT_EQ((hid >> 5) & 0x7FF, 0x7FFu);       // hidIndex
    EXPECT_EQ(hid >> 16, 0x1234u);               // hidBlockIndex
    EXPECT_EQ(hidBlockIndex(hid), 0x1234u);
    EXPECT_EQ(hidItemIndex(hid), 0x7FFu);
    EXPECT_EQ(makeHid(0, 1), 0x20u);             // the first item of a heap
    EXPECT_TRUE(hnidIsHid(0x20));
    EXPECT_FALSE(hnidIsHid(0x3F));               // NID_TYPE_LTP: a subnode
}

TEST(LtpLayout, HeapPageHeadersAndPageMap) {
    HNHDR h;
    h.ibHnpm = 0x0ABC;
    h.bClientSig = kClientSigProperties;
    h.hidUserRoot = 0x11223344;
    setFillLevelAt(h.rgbFillLevel, 0, 0x3);
    setFillLevelAt(h.rgbFillLevel, 1, 0xE);
    setFillLevelAt(h.rgbFillLevel, 7, 0x5);
    std::array<uint8_t, HNHDR::kSize> b{};
    h.serialize(b);
    EXPECT_EQ(readLe16(b, 0), 0x0ABC);
    EXPECT_EQ(b[2], 0xEC);
    EXPECT_EQ(b[3], 0xBC);
    EXPECT_EQ(readLe32(b, 4), 0x11223344u);
    EXPECT_EQ(b[8], 0xE3);    // page 0 in the low nibble, page 1 in the high one
    EXPECT_EQ(b[11], 0x50);
    const HNHDR back = HNHDR::parse(b);
    EXPECT_EQ(fillLevelAt(back.rgbFillLevel, 1), 0xE);
    EXPECT_EQ(back.hidUserRoot, h.hidUserRoot);

    HNBITMAPHDR bm;
    bm.ibHnpm = 0x1F00;
    setFillLevelAt(bm.rgbFillLevel, 127, 0xF);
    std::array<uint8_t, HNBITMAPHDR::kSize> bb{};
    bm.serialize(bb);
    EXPECT_EQ(readLe16(bb, 0), 0x1F00);
    EXPECT_EQ(bb[65], 0xF0);   // the 128th page's nibble is the last byte's high one
    EXPECT_EQ(HNPAGEHDR::parse(bb).ibHnpm, 0x1F00);   // ibHnpm leads every page header

    HNPAGEMAP m;
    m.cFree = 1;
    m.rgibAlloc = {12, 17, 25};
    std::vector<uint8_t> mb(HNPAGEMAP::sizeFor(2));
    ASSERT_EQ(mb.size(), 10u);
    m.serialize(mb);
    EXPECT_EQ(readLe16(mb, 0), 2);   // cAlloc: one less than the offsets
    EXPECT_EQ(readLe16(mb, 2), 1);
    EXPECT_EQ(readLe16(mb, 4), 12);
    EXPECT_EQ(readLe16(mb, 8), 25);
    EXPECT_EQ(HNPAGEMAP::parse(mb).rgibAlloc, m.rgibAlloc);
    mb.pop_back();
    EXPECT_THROW(HNPAGEMAP::parse(mb), zentra::Error);   // cAlloc promises more than the page holds
    EXPECT_THROW(m.serialize(std::span(mb)), zentra::Error);
    EXPECT_THROW(setFillLevelAt(h.rgbFillLevel, 8, 1), zentra::Error);   // HNHDR maps 8 pages only
}

TEST(LtpLayout, BthHeaderAndRecords) {
    BTHHEADER h;
    h.cbKey = 4;
    h.cbEnt = 6;
    h.bIdxLevels = 2;
    h.hidRoot = 0xA0B0C0D0;
    std::array<uint8_t, BTHHEADER::kSize> b{};
    h.serialize(b);
    EXPECT_EQ(b[0], 0xB5);
    EXPECT_EQ(b[1], 4);
    EXPECT_EQ(b[2], 6);
    EXPECT_EQ(b[3], 2);
    EXPECT_EQ(readLe32(b, 4), 0xA0B0C0D0u);
    EXPECT_EQ(BTHHEADER::parse(b).hidRoot, h.hidRoot);
    EXPECT_THROW(BTHHEADER::parse(std::span(b).first(7)), zentra::Error);

    // An index record with a 2-byte key, appended after existing bytes.
    std::vector<uint8_t> records = {0xFF};
    const std::array<uint8_t, 2> key = {0x34, 0x12};
    BthIndexRecord{key, 0x60}.appendTo(records);
    ASSERT_EQ(records.size(), 1u + BthIndexRecord::sizeFor(2));
    EXPECT_EQ(readLe16(records, 1), 0x1234);
    EXPECT_EQ(readLe32(records, 3), 0x60u);
    const BthIndexRecord back = BthIndexRecord::parse(std::span(records).subspan(1), 2);
    EXPECT_EQ(back.hidNextLevel, 0x60u);
    EXPECT_EQ(back.key.size(), 2u);

    PcBthRecord pc{0x3001, 0x001F, 0x00000040};
    std::array<uint8_t, PcBthRecord::kSize> p{};
    pc.serialize(p);
    EXPECT_EQ(readLe16(p, 0), 0x3001);
    EXPECT_EQ(readLe16(p, 2), 0x001F);
    EXPECT_EQ(readLe32(p, 4), 0x40u);
    EXPECT_EQ(PcBthRecord::kCbKey + PcBthRecord::kCbEnt, PcBthRecord::kSize);
}

TEST(LtpLayout, TcInfoColumnsAndRowIds) {
    TCINFO t;
    t.rgib = {0x10, 0x12, 0x13, 0x15};
    t.hidRowIndex = 0x20;
    t.hnidRows = 0x3F;
    t.rgTCOLDESC = {{0x67F20003, 0, 4, 0}, {0x3001001F, 8, 4, 2}};
    std::vector<uint8_t> b(TCINFO::sizeFor(2));
    ASSERT_EQ(b.size(), 38u);
    t.serialize(b);
    EXPECT_EQ(b[0], 0x7C);
    EXPECT_EQ(b[1], 2);   // cCols, from the columns
    EXPECT_EQ(readLe16(b, 2), 0x10);   // TCI_4b
    EXPECT_EQ(readLe16(b, 8), 0x15);   // TCI_bm
    EXPECT_EQ(readLe32(b, 10), 0x20u);
    EXPECT_EQ(readLe32(b, 14), 0x3Fu);
    EXPECT_EQ(readLe32(b, 18), 0u);    // hidIndex
    // The second TCOLDESC: tag, ibData, cbData, iBit.
    EXPECT_EQ(readLe32(b, 30), 0x3001001Fu);
    EXPECT_EQ(readLe16(b, 34), 8);
    EXPECT_EQ(b[36], 4);
    EXPECT_EQ(b[37], 2);
    const TCINFO back = TCINFO::parse(b);
    EXPECT_EQ(back.rgib, t.rgib);
    ASSERT_EQ(back.rgTCOLDESC.size(), 2u);
    EXPECT_EQ(back.rgTCOLDESC[1].tag, 0x3001001Fu);
    b.pop_back();
    EXPECT_THROW(TCINFO::parse(b), zentra::Error);   // cCols promises a column the bytes lack

    std::vector<uint8_t> rows;
    TCROWID{0x8022, 7}.appendTo(rows);
    ASSERT_EQ(rows.size(), TCROWID::kSize);
    EXPECT_EQ(readLe32(rows, 0), 0x8022u);
    EXPECT_EQ(readLe32(rows, 4), 7u);
    EXPECT_EQ(TCROWID::parse(rows).dwRowIndex, 7u);
}
