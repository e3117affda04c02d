// Heap-on-node pages ([MS-PST] 2.3.1): layout on write, parsing and checks on read.
#include "pst/ltp/heap.h"

#include <string>

#include "hex.h"
#include "little_endian.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

[[noreturn]] void corrupt(const std::string& what) {
    throw zentra::Error(zentra::kErrStoreCorrupt, "heap-on-node: " + what);
}

bool isBitmapPage(uint32_t blockIndex) {
    return blockIndex >= 8 && (blockIndex - 8) % 128 == 0;
}

uint8_t getNibble(const uint8_t* levels, uint32_t slot) {
    uint8_t byte = levels[slot / 2];
    return slot % 2 == 0 ? (byte & 0x0F) : (byte >> 4);
}

}  // namespace

uint32_t heapPageHeaderSize(uint32_t blockIndex) {
    if (blockIndex == 0) return kHnHdrSize;
    return isBitmapPage(blockIndex) ? kHnBitmapHdrSize : kHnPageHdrSize;
}

uint8_t heapFillLevel(uint32_t freeBytes) {
    static constexpr uint32_t kLowerBounds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                                512,  256,  128,  64,   32,   16,   8};
    for (uint8_t level = 0; level < 15; ++level) {
        if (freeBytes >= kLowerBounds[level]) return level;
    }
    return 15;
}

void setHeapFillLevel(uint8_t* levels, uint32_t slot, uint8_t level) {
    uint8_t& byte = levels[slot / 2];
    if (slot % 2 == 0) byte = static_cast<uint8_t>((byte & 0xF0) | level);
    else byte = static_cast<uint8_t>((byte & 0x0F) | (level << 4));
}

std::vector<uint8_t> encodeHeapPage(std::span<const uint8_t> pageBytes, std::span<const uint16_t> offsets) {
    const auto items = static_cast<uint32_t>(offsets.size() - 1);
    std::vector<uint8_t> bytes;
    bytes.reserve(encodedHeapPageSize(static_cast<uint32_t>(pageBytes.size()), items));
    bytes.assign(pageBytes.begin(), pageBytes.end());
    if (bytes.size() % 2) bytes.push_back(0);   // HNPAGEMAP is 2-byte aligned
    auto ibHnpm = static_cast<uint16_t>(bytes.size());
    le::append16(bytes, static_cast<uint16_t>(items));
    le::append16(bytes, 0);   // cFree: nothing is ever freed in the heaps written here
    for (uint16_t offset : offsets) le::append16(bytes, offset);
    le::put16(bytes.data(), ibHnpm);
    return bytes;
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
    for (Page& page : pages_) {
        if (sparePages.size() >= kSparePages) break;
        if (page.bytes.capacity() >= kMaxBlockData) sparePages.push_back(std::move(page.bytes));
    }
}

std::vector<uint32_t> HeapBuilder::finishedPageSizes() const {
    if (pages_.empty()) return {encodedHeapPageSize(kHnHdrSize, 0)};
    std::vector<uint32_t> sizes;
    sizes.reserve(pages_.size());
    for (const Page& page : pages_) sizes.push_back(pageSizeWith(page, 0, 0));
    return sizes;
}

uint32_t HeapBuilder::pageSizeWith(const Page& page, uint32_t extraItemBytes, uint32_t extraItems) {
    return encodedHeapPageSize(static_cast<uint32_t>(page.bytes.size()) + extraItemBytes,
                               static_cast<uint32_t>(page.offsets.size() - 1) + extraItems);
}

HeapBuilder::Page& HeapBuilder::pageWithRoomFor(uint32_t size) {
    // Items go to the last page while it has room; a full page is never revisited, which keeps
    // allocation O(1) for heaps of thousands of pages.
    if (!pages_.empty()) {
        Page& last = pages_.back();
        if (last.offsets.size() - 1 < kMaxHeapItemsPerPage && pageSizeWith(last, size, 1) <= kMaxBlockData)
            return last;
    }
    if (pages_.size() >= 0x10000)
        throw zentra::Error(zentra::kErrInvalidArgument, "heap-on-node: more than 65536 pages");
    uint32_t header = heapPageHeaderSize(static_cast<uint32_t>(pages_.size()));
    Page page;
    page.bytes = pageBuffer();
    page.bytes.resize(header, 0);
    page.offsets.push_back(static_cast<uint16_t>(header));
    pages_.push_back(std::move(page));
    return pages_.back();
}

Hid HeapBuilder::reserve(uint32_t size) {
    if (size > kMaxHeapItem) {
        throw zentra::Error(zentra::kErrInvalidArgument,
                            "heap item of " + std::to_string(size) + " bytes exceeds 3580");
    }
    Page& page = pageWithRoomFor(size);
    page.bytes.resize(page.bytes.size() + size, 0);
    page.offsets.push_back(static_cast<uint16_t>(page.bytes.size()));
    auto blockIndex = static_cast<uint32_t>(pages_.size() - 1);
    return makeHid(blockIndex, static_cast<uint32_t>(page.offsets.size() - 1));
}

Hid HeapBuilder::allocate(std::span<const uint8_t> bytes) {
    Hid hid = reserve(static_cast<uint32_t>(bytes.size()));
    if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), item(hid).begin());
    return hid;
}

std::span<uint8_t> HeapBuilder::item(Hid hid) {
    uint32_t block = hidBlockIndex(hid), index = hidItemIndex(hid);
    if (!hnidIsHid(hid) || block >= pages_.size() || index == 0 || index >= pages_[block].offsets.size())
        throw zentra::Error(zentra::kErrInvalidArgument, "no heap item " + hexString(hid));
    Page& page = pages_[block];
    return {page.bytes.data() + page.offsets[index - 1],
            static_cast<size_t>(page.offsets[index] - page.offsets[index - 1])};
}

std::vector<std::vector<uint8_t>> HeapBuilder::finish() const {
    std::vector<std::vector<uint8_t>> out;
    if (pages_.empty()) {
        // A heap always has its first page, even with nothing allocated.
        HeapBuilder empty(clientSig_);
        empty.setUserRoot(userRoot_);
        empty.pageWithRoomFor(0);
        return empty.finish();
    }
    out.reserve(pages_.size());
    std::vector<uint8_t> levels(pages_.size());
    for (const Page& page : pages_) {
        std::vector<uint8_t> bytes = encodeHeapPage(page.bytes, page.offsets);
        levels[out.size()] = heapFillLevel(kMaxBlockData - static_cast<uint32_t>(bytes.size()));
        out.push_back(std::move(bytes));
    }
    std::vector<uint8_t>& first = out[0];
    first[2] = kHeapSignature;
    first[3] = clientSig_;
    le::put32(first.data() + 4, userRoot_);
    for (uint32_t i = 0; i < 8 && i < out.size(); ++i) setHeapFillLevel(first.data() + 8, i, levels[i]);
    for (uint32_t b = 8; b < out.size(); b += 128) {
        for (uint32_t i = 0; i < 128 && b + i < out.size(); ++i)
            setHeapFillLevel(out[b].data() + 2, i, levels[b + i]);
    }
    return out;
}

HeapReader::HeapReader(std::vector<std::vector<uint8_t>> pages) {
    if (pages.empty()) corrupt("no pages");
    for (uint32_t b = 0; b < pages.size(); ++b) {
        std::vector<uint8_t>& bytes = pages[b];
        uint32_t header = heapPageHeaderSize(b);
        if (bytes.size() < header + 4) corrupt("page " + std::to_string(b) + " too short");
        uint32_t ibHnpm = le::get16(bytes.data());
        if (ibHnpm < header || ibHnpm + 4 > bytes.size())
            corrupt("page " + std::to_string(b) + " has page map offset out of range");
        uint32_t cAlloc = le::get16(bytes.data() + ibHnpm);
        if (ibHnpm + 4 + 2 * (cAlloc + 1) > bytes.size())
            corrupt("page " + std::to_string(b) + " page map runs past the block");
        Page page;
        page.offsets.reserve(cAlloc + 1);
        uint32_t previous = header;
        for (uint32_t i = 0; i <= cAlloc; ++i) {
            uint32_t offset = le::get16(bytes.data() + ibHnpm + 4 + 2 * i);
            if (offset < previous || offset > ibHnpm)
                corrupt("page " + std::to_string(b) + " has allocation offsets out of order");
            page.offsets.push_back(static_cast<uint16_t>(offset));
            previous = offset;
        }
        page.bytes = std::move(bytes);
        pages_.push_back(std::move(page));
    }
    const std::vector<uint8_t>& first = pages_[0].bytes;
    if (first[2] != kHeapSignature) corrupt("signature is not 0xEC");
    clientSig_ = first[3];
    userRoot_ = le::get32(first.data() + 4);
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
    if (blockIndex < 8) return getNibble(pages_[0].bytes.data() + 8, blockIndex);
    uint32_t bitmapPage = 8 + (blockIndex - 8) / 128 * 128;
    if (bitmapPage >= pages_.size()) return 0;
    return getNibble(pages_[bitmapPage].bytes.data() + 2, blockIndex - bitmapPage);
}

uint32_t HeapReader::itemCount(uint32_t blockIndex) const {
    return blockIndex < pages_.size() ? static_cast<uint32_t>(pages_[blockIndex].offsets.size() - 1) : 0;
}

}  // namespace pst::ltp
