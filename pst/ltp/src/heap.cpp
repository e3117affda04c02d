// Heap-on-node pages ([MS-PST] 2.3.1): layout on write, parsing and checks on read.
#include "pst/ltp/heap.h"

#include <string>

#include "hex.h"
#include "zentra/error.h"

namespace pst::ltp {

using namespace pst::disk;

namespace {

[[noreturn]] void corrupt(const std::string& what) {
    throw zentra::Error(zentra::kErrStoreCorrupt, "heap-on-node: " + what);
}

[[noreturn, gnu::noinline, gnu::cold]] void refuseOversizedItem(uint32_t size) {
    throw zentra::Error(zentra::kErrInvalidArgument, "heap item of " + std::to_string(size) + " bytes exceeds 3580");
}

bool isBitmapPage(uint32_t blockIndex) {
    return blockIndex >= HNBITMAPHDR::kFirstPage &&
           (blockIndex - HNBITMAPHDR::kFirstPage) % HNBITMAPHDR::kPagesMapped == 0;
}

}  // namespace

uint32_t heapPageHeaderSize(uint32_t blockIndex) {
    if (blockIndex == 0) return HNHDR::kSize;
    return isBitmapPage(blockIndex) ? HNBITMAPHDR::kSize : HNPAGEHDR::kSize;
}

uint8_t heapFillLevel(uint32_t freeBytes) {
    static constexpr uint32_t kLowerBounds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                                512,  256,  128,  64,   32,   16,   8};
    for (uint8_t level = 0; level < 15; ++level) {
        if (freeBytes >= kLowerBounds[level]) return level;
    }
    return 15;
}

std::vector<uint8_t> encodeHeapPage(std::span<const uint8_t> pageBytes, std::span<const uint16_t> offsets) {
    std::vector<uint8_t> bytes;
    bytes.reserve(encodedHeapPageSize(static_cast<uint32_t>(pageBytes.size()), static_cast<uint32_t>(offsets.size() - 1)));
    bytes.assign(pageBytes.begin(), pageBytes.end());
    completeHeapPage(bytes, offsets);
    return bytes;
}

void completeHeapPage(std::vector<uint8_t>& page, std::span<const uint16_t> offsets) {
    const auto items = static_cast<uint32_t>(offsets.size() - 1);
    // HNPAGEMAP is 2-byte aligned; cFree stays 0, since nothing is ever freed in the heaps written here.
    const auto ibHnpm = static_cast<uint16_t>((page.size() + 1) & ~size_t{1});
    page.resize(encodedHeapPageSize(static_cast<uint32_t>(page.size()), items), 0);
    HNPAGEMAP::serialize(std::span(page).subspan(ibHnpm), 0, offsets);
    HNPAGEHDR{ibHnpm}.serialize(page);
}

void writeHeapPageHeader(std::span<uint8_t> page, uint32_t blockIndex, std::span<const uint8_t> levels,
                         uint8_t clientSig, Hid userRoot) {
    const uint16_t ibHnpm = HNPAGEHDR::parse(page).ibHnpm;
    if (blockIndex == 0) {
        HNHDR h;
        h.ibHnpm = ibHnpm;
        h.bClientSig = clientSig;
        h.hidUserRoot = userRoot;
        for (uint32_t i = 0; i < 8 && i < levels.size(); ++i) setFillLevelAt(h.rgbFillLevel, i, levels[i]);
        h.serialize(page);
    } else if (isBitmapPage(blockIndex)) {
        HNBITMAPHDR h;
        h.ibHnpm = ibHnpm;
        for (uint32_t i = 0; i < HNBITMAPHDR::kPagesMapped && blockIndex + i < levels.size(); ++i)
            setFillLevelAt(h.rgbFillLevel, i, levels[blockIndex + i]);
        h.serialize(page);
    }
}

namespace {

// Page buffers of finished builders, kept for the next ones on the same thread: every message
// builds a heap, and a fresh 8 KB buffer per page made the allocator sort its free lists
// (malloc_consolidate) once per message.
constexpr size_t kSparePages = 16;
thread_local std::vector<std::vector<uint8_t>> sparePages;

std::vector<uint8_t> pageBuffer() {
    if (sparePages.empty()) {
        std::vector<uint8_t> fresh;
        fresh.reserve(kMaxBlockData);
        return fresh;
    }
    std::vector<uint8_t> buffer = std::move(sparePages.back());
    sparePages.pop_back();
    buffer.clear();
    return buffer;
}

}  // namespace

HeapBuilder::HeapBuilder(uint8_t clientSig) : clientSig_(clientSig) {}

HeapBuilder::~HeapBuilder() {
    for (std::vector<uint8_t>& page : pages_) {
        if (sparePages.size() >= kSparePages) break;
        if (page.capacity() >= kMaxBlockData) sparePages.push_back(std::move(page));
    }
}

void HeapBuilder::requireOpen() const {
    if (finished_) throw zentra::Error(zentra::kErrInvalidArgument, "heap-on-node: the heap was finished");
}

uint32_t HeapBuilder::itemCount(uint32_t page) const {
    const size_t end = page + 1 < firstOffset_.size() ? firstOffset_[page + 1] : offsets_.size();
    return static_cast<uint32_t>(end - firstOffset_[page] - 1);
}

std::vector<uint32_t> HeapBuilder::finishedPageSizes() const {
    if (pages_.empty()) return {encodedHeapPageSize(HNHDR::kSize, 0)};
    std::vector<uint32_t> sizes;
    sizes.reserve(pages_.size());
    for (uint32_t p = 0; p < pages_.size(); ++p)
        sizes.push_back(finished_ ? static_cast<uint32_t>(pages_[p].size()) : pageSizeWith(p, 0, 0));
    return sizes;
}

uint32_t HeapBuilder::pageSizeWith(uint32_t page, uint32_t extraItemBytes, uint32_t extraItems) const {
    return encodedHeapPageSize(static_cast<uint32_t>(pages_[page].size()) + extraItemBytes, itemCount(page) + extraItems);
}

Hid HeapBuilder::place(uint32_t size) {
    // Every value of every message comes through here: the refusals are built out of line.
    if (size > kMaxHeapItem) [[unlikely]] refuseOversizedItem(size);
    if (finished_) [[unlikely]] requireOpen();
    // Items go to the last page while it has room; a full page is never revisited, which keeps
    // allocation O(1) for heaps of thousands of pages.
    if (pages_.empty()) addPage();
    uint32_t items = static_cast<uint32_t>(offsets_.size() - firstOffset_.back()) - 1;   // on the last page
    if (items >= kMaxHeapItemsPerPage ||
        encodedHeapPageSize(static_cast<uint32_t>(pages_.back().size()) + size, items + 1) > kMaxBlockData) {
        addPage();
        items = 0;
    }
    offsets_.push_back(static_cast<uint16_t>(pages_.back().size() + size));
    return makeHid(static_cast<uint32_t>(pages_.size() - 1), items + 1);
}

void HeapBuilder::addPage() {
    if (pages_.size() >= 0x10000) throw zentra::Error(zentra::kErrInvalidArgument, "heap-on-node: more than 65536 pages");
    const uint32_t header = heapPageHeaderSize(static_cast<uint32_t>(pages_.size()));
    pages_.push_back(pageBuffer());
    pages_.back().resize(header, 0);
    firstOffset_.push_back(static_cast<uint32_t>(offsets_.size()));
    offsets_.push_back(static_cast<uint16_t>(header));
}

Hid HeapBuilder::reserve(uint32_t size) {
    const Hid hid = place(size);
    pages_.back().resize(pages_.back().size() + size, 0);
    return hid;
}

Hid HeapBuilder::allocate(std::span<const uint8_t> bytes) {
    const Hid hid = place(static_cast<uint32_t>(bytes.size()));
    pages_.back().insert(pages_.back().end(), bytes.begin(), bytes.end());
    return hid;
}

std::span<uint8_t> HeapBuilder::item(Hid hid) {
    uint32_t block = hidBlockIndex(hid), index = hidItemIndex(hid);
    if (!hnidIsHid(hid) || block >= pages_.size() || index == 0 || index > itemCount(block))
        throw zentra::Error(zentra::kErrInvalidArgument, "no heap item " + hexString(hid));
    requireOpen();
    const uint16_t* offsets = offsets_.data() + firstOffset_[block];
    return {pages_[block].data() + offsets[index - 1], static_cast<size_t>(offsets[index] - offsets[index - 1])};
}

const std::vector<std::vector<uint8_t>>& HeapBuilder::finish() {
    if (finished_) return pages_;
    // A heap always has its first page, even with nothing allocated.
    if (pages_.empty()) addPage();
    finished_ = true;
    std::vector<uint8_t> levels(pages_.size());
    for (uint32_t p = 0; p < pages_.size(); ++p) {
        const uint16_t* offsets = offsets_.data() + firstOffset_[p];
        completeHeapPage(pages_[p], std::span(offsets, itemCount(p) + 1));
        levels[p] = heapFillLevel(kMaxBlockData - static_cast<uint32_t>(pages_[p].size()));
    }
    for (uint32_t p = 0; p < pages_.size(); ++p) writeHeapPageHeader(pages_[p], p, levels, clientSig_, userRoot_);
    return pages_;
}

HeapReader::HeapReader(std::vector<std::vector<uint8_t>> pages) {
    if (pages.empty()) corrupt("no pages");
    for (uint32_t b = 0; b < pages.size(); ++b) {
        std::vector<uint8_t>& bytes = pages[b];
        const std::string name = "page " + std::to_string(b);
        uint32_t header = heapPageHeaderSize(b);
        if (bytes.size() < header + HNPAGEMAP::kHeaderSize) corrupt(name + " too short");
        uint32_t ibHnpm = HNPAGEHDR::parse(bytes).ibHnpm;
        if (ibHnpm < header || ibHnpm + HNPAGEMAP::kHeaderSize > bytes.size())
            corrupt(name + " has page map offset out of range");
        HNPAGEMAP map;
        try {
            map = HNPAGEMAP::parse(std::span<const uint8_t>(bytes).subspan(ibHnpm));
        } catch (const zentra::Error& e) {
            throw e.withContext("heap-on-node: the page map of " + name);
        }
        uint32_t previous = header;
        for (uint16_t offset : map.rgibAlloc) {
            if (offset < previous || offset > ibHnpm) corrupt(name + " has allocation offsets out of order");
            previous = offset;
        }
        pages_.push_back(Page{std::move(bytes), std::move(map.rgibAlloc)});
    }
    const HNHDR first = HNHDR::parse(pages_[0].bytes);
    if (first.bSig != kHnSignature) corrupt("signature is not 0xEC");
    clientSig_ = first.bClientSig;
    userRoot_ = first.hidUserRoot;
}

std::span<const uint8_t> HeapReader::item(Hid hid) const {
    uint32_t block = hidBlockIndex(hid), index = hidItemIndex(hid);
    if (!hnidIsHid(hid) || block >= pages_.size() || index == 0 || index >= pages_[block].offsets.size())
        corrupt("HID " + hexString(hid) + " names no item");
    const Page& page = pages_[block];
    return {page.bytes.data() + page.offsets[index - 1],
            static_cast<size_t>(page.offsets[index] - page.offsets[index - 1])};
}

uint8_t HeapReader::storedFillLevel(uint32_t blockIndex) const {
    constexpr uint32_t first = HNBITMAPHDR::kFirstPage, span = HNBITMAPHDR::kPagesMapped;
    if (blockIndex < first) return fillLevelAt(HNHDR::parse(pages_[0].bytes).rgbFillLevel, blockIndex);
    uint32_t bitmapPage = first + (blockIndex - first) / span * span;
    if (bitmapPage >= pages_.size()) return 0;
    return fillLevelAt(HNBITMAPHDR::parse(pages_[bitmapPage].bytes).rgbFillLevel, blockIndex - bitmapPage);
}

uint32_t HeapReader::itemCount(uint32_t blockIndex) const {
    return blockIndex < pages_.size() ? static_cast<uint32_t>(pages_[blockIndex].offsets.size() - 1) : 0;
}

}  // namespace pst::ltp
