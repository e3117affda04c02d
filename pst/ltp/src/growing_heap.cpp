// Heap-on-node pages that are written once and shared by later writes of the same node.
#include "growing_heap.h"

#include <string>

#include "hex.h"
#include "zentra/error.h"

namespace pst::ltp {

using disk::hidBlockIndex;
using disk::hidItemIndex;
using disk::hnidIsHid;
using disk::makeHid;

namespace {

constexpr uint32_t kMaxPages = 0x10000;   // hidBlockIndex has 16 bits

bool isBitmapPage(uint32_t index) { return heapPageHeaderSize(index) == disk::HNBITMAPHDR::kSize; }

GrowingHeap::Page newPage(uint32_t index) {
    GrowingHeap::Page page;
    const uint32_t header = heapPageHeaderSize(index);
    page.bytes.reserve(kMaxBlockData);
    page.bytes.assign(header, 0);
    page.offsets.push_back(static_cast<uint16_t>(header));
    return page;
}

bool fits(const GrowingHeap::Page& page, uint32_t size) {
    const auto items = static_cast<uint32_t>(page.offsets.size() - 1);
    return items < kMaxHeapItemsPerPage &&
           encodedHeapPageSize(static_cast<uint32_t>(page.bytes.size()) + size, items + 1) <= kMaxBlockData;
}

Hid append(GrowingHeap::Page& page, uint32_t index, std::span<const uint8_t> bytes) {
    page.bytes.insert(page.bytes.end(), bytes.begin(), bytes.end());
    page.offsets.push_back(static_cast<uint16_t>(page.bytes.size()));
    return makeHid(index, static_cast<uint32_t>(page.offsets.size() - 1));
}

uint32_t encodedSize(const GrowingHeap::Page& page) {
    return encodedHeapPageSize(static_cast<uint32_t>(page.bytes.size()), static_cast<uint32_t>(page.offsets.size() - 1));
}

std::span<uint8_t> itemOf(GrowingHeap::Page& page, Hid hid) {
    const uint32_t index = hidItemIndex(hid);
    if (!hnidIsHid(hid) || index == 0 || index >= page.offsets.size())
        throw zentra::Error(zentra::kErrInvalidArgument, "no heap item " + hexString(hid));
    return {page.bytes.data() + page.offsets[index - 1], static_cast<size_t>(page.offsets[index] - page.offsets[index - 1])};
}

void requireItemSize(size_t size) {
    if (size > kMaxHeapItem)
        throw zentra::Error(zentra::kErrInvalidArgument, "heap item of " + std::to_string(size) + " bytes exceeds 3580");
}

}  // namespace

GrowingHeap::GrowingHeap(uint8_t clientSig) : clientSig_(clientSig) {
    slots_.emplace_back();
    slots_.back().page = std::make_unique<Page>(newPage(0));
}

GrowingHeap::~GrowingHeap() = default;

size_t GrowingHeap::pagesInMemory() const {
    size_t n = 0;
    for (const Slot& s : slots_) n += s.page ? 1 : 0;
    return n;
}

void GrowingHeap::close(uint32_t index) {
    Slot& slot = slots_[index];
    slot.closed = true;
    slot.fill = heapFillLevel(kMaxBlockData - encodedSize(*slot.page));
}

// A closed page is final unless it is the first page (its header names the root and holds fill
// levels that change) or a bitmap page whose 128 pages are not all closed yet.
bool GrowingHeap::isFinal(uint32_t index) const {
    if (index == 0 || !slots_[index].closed) return false;
    if (!isBitmapPage(index)) return true;
    const uint32_t last = index + 127;
    return last < slots_.size() && slots_[last].closed;
}

GrowingHeap::Page& GrowingHeap::openPageWithRoomFor(uint32_t size) {
    const auto last = static_cast<uint32_t>(slots_.size() - 1);
    if (!slots_[last].closed && fits(*slots_[last].page, size)) return *slots_[last].page;
    if (slots_.size() >= kMaxPages)
        throw zentra::Error(zentra::kErrInvalidArgument, "heap-on-node: more than 65536 pages");
    if (!slots_[last].closed) close(last);
    slots_.emplace_back();
    slots_.back().page = std::make_unique<Page>(newPage(last + 1));
    return *slots_.back().page;
}

Hid GrowingHeap::allocate(std::span<const uint8_t> bytes) {
    requireItemSize(bytes.size());
    Page& page = openPageWithRoomFor(static_cast<uint32_t>(bytes.size()));
    return append(page, static_cast<uint32_t>(slots_.size() - 1), bytes);
}

GrowingHeap::Draft GrowingHeap::draft() { return Draft(*this); }

GrowingHeap::Draft::Draft(GrowingHeap& heap) : heap_(heap) {
    // Draft items continue the open page on a copy of it, so the persistent page stays as it was.
    const Slot& last = heap.slots_.back();
    if (last.closed) {
        firstIndex_ = static_cast<uint32_t>(heap.slots_.size());
    } else {
        firstIndex_ = static_cast<uint32_t>(heap.slots_.size() - 1);
        pages_.push_back(*last.page);
    }
}

GrowingHeap::Page* GrowingHeap::Draft::pageAt(uint32_t index) {
    if (index >= firstIndex_ && index - firstIndex_ < pages_.size()) return &pages_[index - firstIndex_];
    if (index < heap_.slots_.size() && heap_.slots_[index].page) return heap_.slots_[index].page.get();
    return nullptr;
}

Hid GrowingHeap::Draft::allocate(std::span<const uint8_t> bytes) {
    requireItemSize(bytes.size());
    const auto size = static_cast<uint32_t>(bytes.size());
    if (pages_.empty() || !fits(pages_.back(), size)) {
        const auto index = static_cast<uint32_t>(firstIndex_ + pages_.size());
        if (index >= kMaxPages) throw zentra::Error(zentra::kErrInvalidArgument, "heap-on-node: more than 65536 pages");
        pages_.push_back(newPage(index));
    }
    return append(pages_.back(), static_cast<uint32_t>(firstIndex_ + pages_.size() - 1), bytes);
}

std::span<uint8_t> GrowingHeap::Draft::item(Hid hid) {
    Page* page = pageAt(hidBlockIndex(hid));
    if (!page) throw zentra::Error(zentra::kErrInvalidArgument, "heap item " + hexString(hid) + " is not in memory");
    return itemOf(*page, hid);
}

Bid GrowingHeap::write(ndb::NodeDatabase& db, Draft& draft, Hid userRoot) {
    const auto total = static_cast<uint32_t>(std::max<size_t>(slots_.size(), draft.firstIndex_ + draft.pages_.size()));
    // Fill levels first: the first page and the bitmap pages carry those of their neighbours.
    std::vector<uint8_t> levels(total);
    for (uint32_t i = 0; i < total; ++i) {
        Page* page = draft.pageAt(i);
        levels[i] = (i < slots_.size() && slots_[i].closed) ? slots_[i].fill
                                                             : heapFillLevel(kMaxBlockData - encodedSize(*page));
    }
    std::vector<std::vector<uint8_t>> encoded(total);
    std::vector<ndb::NodeDatabase::Leaf> leaves(total);
    for (uint32_t i = 0; i < total; ++i) {
        const bool drafted = i >= draft.firstIndex_;
        if (!drafted && slots_[i].bid) {
            leaves[i].existing = slots_[i].bid;
            continue;
        }
        Page* page = draft.pageAt(i);
        encoded[i] = encodeHeapPage(page->bytes, page->offsets);
        writeHeapPageHeader(encoded[i], i, levels, clientSig_, userRoot);
        leaves[i].payload = encoded[i];
    }
    const Bid root = db.writeBlocksReusing(leaves);
    for (uint32_t i = 0; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        if (slot.bid || !isFinal(i)) continue;
        slot.bid = leaves[i].existing;
        slot.page.reset();
    }
    return root;
}

}  // namespace pst::ltp
