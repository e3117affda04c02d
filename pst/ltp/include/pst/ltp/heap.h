#pragma once
// Heap-on-node ([MS-PST] 2.3.1): items of up to 3,580 bytes packed into pages, each page one
// data block of the node. HeapBuilder lays the pages out in memory (a pure byte builder: the
// caller hands the pages to NodeDatabase::writeBlocks); HeapReader parses stored pages back.
// The page headers and maps themselves are defined in pst/disk/heap_on_node.h.
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/heap_on_node.h"

namespace pst::ltp {

constexpr uint32_t kMaxHeapItem = 3580;            // largest single allocation
constexpr uint32_t kMaxHeapItemsPerPage = 0x7FF;   // hidIndex has 11 bits

// Page header kind by block index: 0 HNHDR, 8, 136, 264, ... HNBITMAPHDR, others HNPAGEHDR.
uint32_t heapPageHeaderSize(uint32_t blockIndex);
// The 4-bit fill level for a page with this many free bytes (2.3.1.2).
uint8_t heapFillLevel(uint32_t freeBytes);
// A page as stored: its bytes (header space and items), padding to an even size, and the page
// map (cAlloc, cFree 0, the item offsets) with ibHnpm set. pageBytes/offsets as a builder keeps
// them: offsets holds the start of every item plus the end of the last one.
std::vector<uint8_t> encodeHeapPage(std::span<const uint8_t> pageBytes, std::span<const uint16_t> offsets);
// The same in place: `page` (header space and items) receives the padding and the page map.
void completeHeapPage(std::vector<uint8_t>& page, std::span<const uint16_t> offsets);
// The stored size encodeHeapPage gives for a page of this many bytes and items.
constexpr uint32_t encodedHeapPageSize(uint32_t pageBytes, uint32_t items) {
    return ((pageBytes + 1) & ~1u) + static_cast<uint32_t>(disk::HNPAGEMAP::sizeFor(items));
}
// Completes the header of the encoded page `blockIndex` of a heap whose pages have these fill
// levels: the HNHDR of page 0 (client signature, user root, levels of pages 0..7) and the
// HNBITMAPHDR of pages 8, 136, ... (levels of the 128 pages from there). Other pages keep the
// HNPAGEHDR encodeHeapPage wrote.
void writeHeapPageHeader(std::span<uint8_t> page, uint32_t blockIndex, std::span<const uint8_t> levels,
                         uint8_t clientSig, Hid userRoot);

// Lays a heap out for one write: items are placed where they stay, and finish() completes the
// pages around them, so each value is copied into the heap once and never again.
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

    // The pages as block payloads, headers, page maps and fill levels complete. The pages are
    // completed in place: afterwards the heap takes no more items and changes no item
    // (kErrInvalidArgument), and finish() gives the same pages again.
    const std::vector<std::vector<uint8_t>>& finish();
    // The sizes finish() will give the pages, without building them.
    std::vector<uint32_t> finishedPageSizes() const;

private:
    // Makes room for an item of this size on the last page (or a new one) and returns its HID;
    // the item's bytes are the page's last `size` bytes.
    Hid place(uint32_t size);
    void addPage();
    uint32_t itemCount(uint32_t page) const;
    uint32_t pageSizeWith(uint32_t page, uint32_t extraItemBytes, uint32_t extraItems) const;
    void requireOpen() const;

    uint8_t clientSig_;
    Hid userRoot_ = 0;
    bool finished_ = false;
    std::vector<std::vector<uint8_t>> pages_;   // header space, then the items back to back
    // Every page's item offsets back to back (the start of every item plus the end of the
    // last), the page's own run starting at firstOffset_[page]; items only go to the last page.
    std::vector<uint16_t> offsets_;
    std::vector<uint32_t> firstOffset_;
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
