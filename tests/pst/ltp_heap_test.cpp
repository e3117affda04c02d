// Heap-on-node pages and BTree-on-heap: exact headers, page maps, fill levels, multi-page heaps
// with bitmap headers, intermediate BTH levels, and the reader's checks.
#include <gtest/gtest.h>

#include <numeric>

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

using namespace pst::disk;   // client signatures, HID and HNID helpers

uint16_t u16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t u32(const std::vector<uint8_t>& b, size_t at) { return u16(b, at) | (uint32_t(u16(b, at + 2)) << 16); }
std::vector<uint8_t> bytesOf(size_t n, uint8_t start) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), start);
    return v;
}
uint8_t nibble(const std::vector<uint8_t>& b, size_t at, uint32_t slot) {
    return slot % 2 ? b[at + slot / 2] >> 4 : b[at + slot / 2] & 0x0F;
}

TEST(HeapLayout, SinglePageHasHeaderItemsAndAlignedPageMap) {
    HeapBuilder heap(kClientSigProperties);
    Hid a = heap.allocate(bytesOf(5, 1));
    Hid b = heap.allocate(bytesOf(0, 0));
    Hid c = heap.allocate(bytesOf(8, 100));
    heap.setUserRoot(a);
    EXPECT_EQ(a, 0x20u);
    EXPECT_EQ(b, 0x40u);
    EXPECT_EQ(c, 0x60u);

    auto pages = heap.finish();
    ASSERT_EQ(pages.size(), 1u);
    const auto& p = pages[0];
    EXPECT_EQ(p[2], 0xEC);
    EXPECT_EQ(p[3], 0xBC);
    EXPECT_EQ(u32(p, 4), 0x20u);
    // Items end at 12 + 5 + 0 + 8 = 25; the page map starts on the next even offset.
    EXPECT_EQ(u16(p, 0), 26u);
    EXPECT_EQ(u16(p, 26), 3u);   // cAlloc
    EXPECT_EQ(u16(p, 28), 0u);   // cFree
    EXPECT_EQ(u16(p, 30), 12u);
    EXPECT_EQ(u16(p, 32), 17u);
    EXPECT_EQ(u16(p, 34), 17u);
    EXPECT_EQ(u16(p, 36), 25u);
    EXPECT_EQ(p.size(), 38u);
    EXPECT_EQ(p[12], 1);
    EXPECT_EQ(p[17], 100);
    // 8176 - 38 bytes free: level 0; the other seven slots are zero.
    EXPECT_EQ(u32(p, 8), 0u);
}

// Pages are completed where they were built: a finished heap hands out the same pages again and
// refuses to change, so nothing can alter a page after its page map was written.
TEST(HeapLayout, AFinishedHeapIsSealed) {
    HeapBuilder heap(kClientSigProperties);
    const Hid a = heap.allocate(bytesOf(7, 1));
    const std::vector<std::vector<uint8_t>> first = heap.finish();
    EXPECT_EQ(heap.finish(), first);
    EXPECT_EQ(heap.finishedPageSizes(), std::vector<uint32_t>{static_cast<uint32_t>(first[0].size())});
    EXPECT_THROW(heap.allocate(bytesOf(1, 0)), zentra::Error);
    EXPECT_THROW(heap.reserve(4), zentra::Error);
    EXPECT_THROW(heap.item(a), zentra::Error);
    HeapReader reader(first);
    EXPECT_EQ(std::vector<uint8_t>(reader.item(a).begin(), reader.item(a).end()), bytesOf(7, 1));
}

TEST(HeapLayout, ItemSizeLimitIs3580) {
    HeapBuilder heap(kClientSigBth);
    EXPECT_NO_THROW(heap.allocate(std::vector<uint8_t>(3580, 7)));
    try {
        heap.allocate(std::vector<uint8_t>(3581, 7));
        FAIL() << "3581-byte item accepted";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrInvalidArgument);
    }
}

TEST(HeapLayout, APageHoldsAtMost2047Items) {
    // hidIndex has 11 bits: tiny items still open a new page after 2,047 of them.
    HeapBuilder heap(kClientSigBth);
    std::vector<Hid> hids;
    for (int i = 0; i < 3000; ++i) hids.push_back(heap.allocate(bytesOf(1, static_cast<uint8_t>(i))));
    EXPECT_EQ(hids[2046], makeHid(0, 2047));
    EXPECT_EQ(hids[2047], makeHid(1, 1));
    auto pages = heap.finish();
    ASSERT_EQ(pages.size(), 2u);
    HeapReader reader(pages);
    EXPECT_EQ(reader.itemCount(0), 2047u);
    EXPECT_EQ(reader.itemCount(1), 953u);
    for (int i = 0; i < 3000; i += 111) EXPECT_EQ(reader.item(hids[i])[0], static_cast<uint8_t>(i));
}

TEST(HeapLayout, FillLevelBoundaries) {
    EXPECT_EQ(heapFillLevel(8176), 0);
    EXPECT_EQ(heapFillLevel(3584), 0);
    EXPECT_EQ(heapFillLevel(3583), 1);
    EXPECT_EQ(heapFillLevel(2560), 1);
    EXPECT_EQ(heapFillLevel(2559), 2);
    EXPECT_EQ(heapFillLevel(768), 7);
    EXPECT_EQ(heapFillLevel(767), 8);
    EXPECT_EQ(heapFillLevel(8), 14);
    EXPECT_EQ(heapFillLevel(7), 15);
    EXPECT_EQ(heapFillLevel(0), 15);
}

TEST(HeapLayout, ManyPagesUseBitmapHeadersAtPages8And136) {
    HeapBuilder heap(kClientSigTable);
    std::vector<Hid> hids;
    std::vector<std::vector<uint8_t>> items;
    // Two 3,000-byte items fill a page (the third does not fit), so 300 items make 150 pages.
    for (int i = 0; i < 300; ++i) {
        items.push_back(bytesOf(3000 + (i % 3), static_cast<uint8_t>(i)));
        hids.push_back(heap.allocate(items.back()));
    }
    heap.setUserRoot(hids[0]);
    auto pages = heap.finish();
    ASSERT_EQ(pages.size(), 150u);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(hidBlockIndex(hids[i]), uint32_t(i / 2));
        EXPECT_EQ(hidItemIndex(hids[i]), uint32_t(i % 2 + 1));
        EXPECT_EQ(hids[i] & 0x1F, 0u);
    }
    for (uint32_t b = 0; b < pages.size(); ++b) {
        const auto& p = pages[b];
        ASSERT_LE(p.size(), kMaxBlockData);
        uint32_t header = (b == 0) ? 12 : (b == 8 || b == 136) ? 66 : 2;
        uint16_t ibHnpm = u16(p, 0);
        EXPECT_EQ(ibHnpm % 2, 0u) << b;
        EXPECT_EQ(u16(p, ibHnpm), 2u) << b;
        EXPECT_EQ(u16(p, ibHnpm + 4), header) << "first item offset of page " << b;
        EXPECT_EQ(p.size(), ibHnpm + 4u + 2 * 3u);
    }
    auto expectedLevel = [&](uint32_t b) { return heapFillLevel(kMaxBlockData - uint32_t(pages[b].size())); };
    // Each page holds ~6,000 bytes, leaving 2,048..2,560 free: level 2, never zero.
    for (uint32_t b = 0; b < 8; ++b) EXPECT_EQ(nibble(pages[0], 8, b), expectedLevel(b));
    EXPECT_EQ(expectedLevel(0), 2);
    for (uint32_t i = 0; i < 128; ++i) EXPECT_EQ(nibble(pages[8], 2, i), expectedLevel(8 + i)) << i;
    for (uint32_t i = 0; i < 128; ++i) {
        uint8_t want = 136 + i < pages.size() ? expectedLevel(136 + i) : 0;
        EXPECT_EQ(nibble(pages[136], 2, i), want) << i;
    }

    HeapReader reader(pages);
    EXPECT_EQ(reader.clientSig(), 0x7C);
    EXPECT_EQ(reader.userRoot(), hids[0]);
    for (int i = 0; i < 300; ++i) {
        auto item = reader.item(hids[i]);
        ASSERT_EQ(std::vector<uint8_t>(item.begin(), item.end()), items[i]) << i;
    }
    EXPECT_EQ(reader.storedFillLevel(140), expectedLevel(140));
}

TEST(HeapLayout, FillLevelsOfAFewPagesLeaveMissingSlotsZero) {
    HeapBuilder heap(kClientSigBth);
    for (int i = 0; i < 3; ++i) heap.allocate(std::vector<uint8_t>(3580, 1));
    heap.allocate(std::vector<uint8_t>(100, 1));
    auto pages = heap.finish();
    ASSERT_EQ(pages.size(), 2u);   // 2 x 3580 fit in one page, the third starts another
    EXPECT_EQ(nibble(pages[0], 8, 0), heapFillLevel(kMaxBlockData - uint32_t(pages[0].size())));
    EXPECT_NE(nibble(pages[0], 8, 0), 0);
    EXPECT_EQ(nibble(pages[0], 8, 1), heapFillLevel(kMaxBlockData - uint32_t(pages[1].size())));
    for (uint32_t slot = 2; slot < 8; ++slot) EXPECT_EQ(nibble(pages[0], 8, slot), 0);
}

TEST(HeapReading, RejectsDamagedPages) {
    HeapBuilder heap(kClientSigProperties);
    Hid hid = heap.allocate(bytesOf(10, 0));
    heap.setUserRoot(hid);
    auto good = heap.finish();

    auto badSig = good;
    badSig[0][2] = 0xED;
    EXPECT_THROW(HeapReader{badSig}, zentra::Error);

    auto badMap = good;
    badMap[0][0] = 0xF0;   // ibHnpm beyond the block
    EXPECT_THROW(HeapReader{badMap}, zentra::Error);

    auto badOrder = good;
    uint16_t ibHnpm = u16(good[0], 0);
    badOrder[0][ibHnpm + 4] = 30;   // first item starts after it ends
    EXPECT_THROW(HeapReader{badOrder}, zentra::Error);

    HeapReader reader(good);
    EXPECT_THROW(reader.item(0x40), zentra::Error);     // only one item
    EXPECT_THROW(reader.item(0x10020), zentra::Error);  // no page 1
    EXPECT_THROW(reader.item(0x21), zentra::Error);     // not an HID
}

std::vector<uint8_t> records4x4(uint32_t count) {
    std::vector<uint8_t> r(count * 8);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t key = i * 3 + 1, value = ~i;
        for (int k = 0; k < 4; ++k) {
            r[8 * i + k] = static_cast<uint8_t>(key >> (8 * k));
            r[8 * i + 4 + k] = static_cast<uint8_t>(value >> (8 * k));
        }
    }
    return r;
}

TEST(BtreeOnHeap, EmptyTreeHasRootZero) {
    HeapBuilder heap(kClientSigBth);
    Hid header = writeBth(heap, 4, 4, {});
    heap.setUserRoot(header);
    HeapReader reader(heap.finish());
    BTHHEADER h = readBthHeader(reader, header);
    EXPECT_EQ(h.cbKey, 4);
    EXPECT_EQ(h.cbEnt, 4);
    EXPECT_EQ(h.bIdxLevels, 0);
    EXPECT_EQ(h.hidRoot, 0u);
    EXPECT_TRUE(readBthRecords(reader, header, 4, 4).empty());
}

TEST(BtreeOnHeap, LevelsGrowWithRecordCount) {
    struct Case { uint32_t records; uint8_t levels; };
    // 447 eight-byte records fill one leaf item; 447 index records fill one index item.
    for (Case c : {Case{1, 0}, Case{447, 0}, Case{448, 1}, Case{10000, 1}, Case{447 * 447, 1}, Case{447 * 447 + 1, 2}}) {
        HeapBuilder heap(kClientSigBth);
        auto records = records4x4(c.records);
        Hid header = writeBth(heap, 4, 4, records);
        HeapReader reader(heap.finish());
        BTHHEADER h = readBthHeader(reader, header);
        EXPECT_EQ(h.bIdxLevels, c.levels) << c.records;
        EXPECT_EQ(readBthRecords(reader, header, 4, 4), records) << c.records;
        auto root = reader.item(h.hidRoot);
        EXPECT_LE(root.size(), kMaxHeapItem);
        if (c.levels > 0) {
            // The first index record carries the first key of the tree.
            EXPECT_EQ(root[0], records[0]);
        }
    }
}

TEST(BtreeOnHeap, RejectsUnsortedKeysAndWrongSizes) {
    HeapBuilder heap(kClientSigBth);
    auto records = records4x4(3);
    std::swap_ranges(records.begin(), records.begin() + 8, records.begin() + 8);
    EXPECT_THROW(writeBth(heap, 4, 4, records), zentra::Error);
    EXPECT_THROW(writeBth(heap, 3, 4, {}), zentra::Error);
    EXPECT_THROW(writeBth(heap, 4, 33, {}), zentra::Error);

    HeapBuilder good(kClientSigBth);
    Hid header = writeBth(good, 4, 4, records4x4(3));
    HeapReader reader(good.finish());
    EXPECT_THROW(readBthRecords(reader, header, 2, 6), zentra::Error);
}

TEST(BtreeOnHeap, ReaderStopsOnIndexCycles) {
    HeapBuilder heap(kClientSigBth);
    Hid header = heap.reserve(BTHHEADER::kSize);
    Hid index = heap.reserve(16);
    // Two index records that both point back at the index item itself.
    auto item = heap.item(index);
    for (int r = 0; r < 2; ++r) {
        item[8 * r] = static_cast<uint8_t>(r);
        for (int k = 0; k < 4; ++k) item[8 * r + 4 + k] = static_cast<uint8_t>(index >> (8 * k));
    }
    auto h = heap.item(header);
    h[0] = 0xB5; h[1] = 4; h[2] = 4; h[3] = 200;
    for (int k = 0; k < 4; ++k) h[4 + k] = static_cast<uint8_t>(index >> (8 * k));
    HeapReader reader(heap.finish());
    EXPECT_THROW(readBthRecords(reader, header, 4, 4), zentra::Error);
}

}  // namespace
}  // namespace pst::ltp
