#pragma once
// A heap-on-node ([MS-PST] 2.3.1) that grows across writes of one node. Items are appended page
// after page and never moved, so a page that is full never changes again: once written, its
// block is shared by every later write of the node instead of being written again. Only the
// first page (its header changes), the page still being filled, and a bitmap page whose 128
// pages are not all full stay in memory; a full page is written at the next write and then
// dropped from memory.
//
// Each write may add items of its own (an index that is rebuilt every time, say): they go to a
// draft that lives for that write only, after the persistent items.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "pst/ltp/heap.h"
#include "pst/ndb/node_database.h"

namespace pst::ltp {

class GrowingHeap {
public:
    explicit GrowingHeap(uint8_t clientSig);
    ~GrowingHeap();
    GrowingHeap(const GrowingHeap&) = delete;
    GrowingHeap& operator=(const GrowingHeap&) = delete;

    // A persistent item (at most kMaxHeapItem bytes).
    Hid allocate(std::span<const uint8_t> bytes);
    size_t pageCount() const { return slots_.size(); }
    size_t pagesInMemory() const;

    struct Page {
        std::vector<uint8_t> bytes;       // header space, then the items back to back
        std::vector<uint16_t> offsets;    // start of every item, plus the end of the last one
    };

    // The items of one write, on top of the persistent ones.
    class Draft {
    public:
        Hid allocate(std::span<const uint8_t> bytes);
        // Any item still in memory: a draft item or a persistent item on a page not yet shared
        // (the first page always is in memory, so items reserved there first can be filled here).
        std::span<uint8_t> item(Hid hid);

    private:
        friend class GrowingHeap;
        explicit Draft(GrowingHeap& heap);
        Page* pageAt(uint32_t index);
        GrowingHeap& heap_;
        uint32_t firstIndex_;          // index of the first draft page
        std::vector<Page> pages_;      // a copy of the open page (if any), then new pages
    };
    Draft draft();

    // Writes every page (shared blocks for pages already stored, new blocks for the rest) and
    // returns the data tree's root, one reference to the caller. Pages that are final are
    // remembered by their new block and leave memory.
    Bid write(ndb::NodeDatabase& db, Draft& draft, Hid userRoot);

private:
    struct Slot {
        Bid bid = 0;                  // the block holding the page, once it is final and written
        uint8_t fill = 0;             // fill level, once the page is closed
        bool closed = false;          // no further persistent item goes here
        std::unique_ptr<Page> page;   // in memory until the page is shared
    };
    Page& openPageWithRoomFor(uint32_t size);
    void close(uint32_t index);
    bool isFinal(uint32_t index) const;

    uint8_t clientSig_;
    std::vector<Slot> slots_;
};

}  // namespace pst::ltp
