#pragma once
// Heap-on-node ([MS-PST] 2.3.1): items of up to 3,580 bytes packed into pages, each page one
// data block of the node. HeapBuilder lays the pages out in memory (a pure byte builder: the
// caller hands the pages to NodeDatabase::writeBlocks); HeapReader parses stored pages back.
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"

namespace pst::ltp {

constexpr uint32_t kMaxHeapItem = 3580;     // largest single allocation
constexpr uint8_t kHeapSignature = 0xEC;    // HNHDR.bSig
constexpr uint8_t kClientSigTable = 0x7C;   // bTypeTC
constexpr uint8_t kClientSigBth = 0xB5;     // bTypeBTH
constexpr uint8_t kClientSigProperties = 0xBC;  // bTypePC

// Sizes of the page headers.
constexpr uint32_t kHnHdrSize = 12;         // HNHDR: ibHnpm, bSig, bClientSig, hidUserRoot, rgbFillLevel
constexpr uint32_t kHnPageHdrSize = 2;      // HNPAGEHDR: ibHnpm
constexpr uint32_t kHnBitmapHdrSize = 66;   // HNBITMAPHDR: ibHnpm, rgbFillLevel[64]

// HID layout (2.3.1.1): 5 bits type 0, 11 bits 1-based index, 16 bits block index.
constexpr Hid makeHid(uint32_t blockIndex, uint32_t oneBasedIndex) {
    return (blockIndex << 16) | (oneBasedIndex << 5);
}
constexpr uint32_t hidBlockIndex(Hid hid) { return hid >> 16; }
constexpr uint32_t hidItemIndex(Hid hid) { return (hid >> 5) & 0x7FF; }
constexpr bool hnidIsHid(Hnid hnid) { return (hnid & 0x1F) == 0; }

// Page header kind by block index: 0 HNHDR, 8, 136, 264, ... HNBITMAPHDR, others HNPAGEHDR.
uint32_t heapPageHeaderSize(uint32_t blockIndex);
// The 4-bit fill level for a page with this many free bytes (2.3.1.2).
uint8_t heapFillLevel(uint32_t freeBytes);
// Sets the fill level of the slot'th page in an rgbFillLevel array (slot 0: low nibble of byte 0).
void setHeapFillLevel(uint8_t* levels, uint32_t slot, uint8_t level);
// A page as stored: its bytes (header space and items), padding to an even size, and the page
// map (cAlloc, cFree 0, the item offsets) with ibHnpm set. pageBytes/offsets as a builder keeps
// them: offsets holds the start of every item plus the end of the last one.
std::vector<uint8_t> encodeHeapPage(std::span<const uint8_t> pageBytes, std::span<const uint16_t> offsets);
// The stored size encodeHeapPage gives for a page of this many bytes and items.
constexpr uint32_t encodedHeapPageSize(uint32_t pageBytes, uint32_t items) {
    return ((pageBytes + 1) & ~1u) + 4 + 2 * (items + 1);
}
constexpr uint32_t kMaxHeapItemsPerPage = 0x7FF;   // hidIndex has 11 bits

class HeapBuilder {
public:
    explicit HeapBuilder(uint8_t clientSig);
    ~HeapBuilder();
    HeapBuilder(const HeapBuilder&) = delete;
    HeapBuilder& operator=(const HeapBuilder&) = delete;

    // A new item holding these bytes (at most kMaxHeapItem; zero-length items are allowed).
    Hid allocate(std::span<const uint8_t> bytes);
    // A new zero-filled item, to be filled through item() once its contents are known.
    Hid reserve(uint32_t size);
    std::span<uint8_t> item(Hid hid);

    void setUserRoot(Hid hid) { userRoot_ = hid; }
    size_t pageCount() const { return pages_.size(); }

    // The pages as block payloads, headers, page maps and fill levels complete.
    std::vector<std::vector<uint8_t>> finish() const;
    // The sizes finish() will give the pages, without building them.
    std::vector<uint32_t> finishedPageSizes() const;

private:
    struct Page {
        std::vector<uint8_t> bytes;       // header space, then the items back to back
        std::vector<uint16_t> offsets;    // start of every item, plus the end of the last one
    };
    Page& pageWithRoomFor(uint32_t size);
    static uint32_t pageSizeWith(const Page& page, uint32_t extraItemBytes, uint32_t extraItems);

    uint8_t clientSig_;
    Hid userRoot_ = 0;
    std::vector<Page> pages_;
};

class HeapReader {
public:
    // Parses the pages; throws zentra::Error(kErrStoreCorrupt) when a page map is inconsistent.
    explicit HeapReader(std::vector<std::vector<uint8_t>> pages);

    uint8_t clientSig() const { return clientSig_; }
    Hid userRoot() const { return userRoot_; }
    size_t pageCount() const { return pages_.size(); }
    // The item's bytes; throws kErrStoreCorrupt for an HID that names no item.
    std::span<const uint8_t> item(Hid hid) const;
    // Fill level stored for a page (from the HNHDR or the covering HNBITMAPHDR).
    uint8_t storedFillLevel(uint32_t blockIndex) const;
    // Number of items in a page.
    uint32_t itemCount(uint32_t blockIndex) const;

private:
    struct Page {
        std::vector<uint8_t> bytes;
        std::vector<uint16_t> offsets;
    };
    uint8_t clientSig_ = 0;
    Hid userRoot_ = 0;
    std::vector<Page> pages_;
};

}  // namespace pst::ltp
