// BTree-on-heap ([MS-PST] 2.3.2): built bottom-up from sorted records, read back top-down.
#include "pst/ltp/bth.h"

#include <algorithm>
#include <string>

#include "zentra/error.h"

namespace pst::ltp {

using disk::BTHHEADER;
using disk::BthIndexRecord;

namespace {

[[noreturn]] void corrupt(const std::string& what) {
    throw zentra::Error(zentra::kErrStoreCorrupt, "BTree-on-heap: " + what);
}

// Compares two little-endian keys of cbKey bytes as unsigned integers.
int compareKeys(const uint8_t* a, const uint8_t* b, uint32_t cbKey) {
    for (uint32_t i = cbKey; i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

// Splits records of one level into heap items; returns the {first key, HID} records of the next
// level up.
std::vector<uint8_t> writeLevel(HeapBuilder& heap, std::span<const uint8_t> records, uint32_t recordSize,
                                uint32_t cbKey) {
    const uint32_t perItem = kMaxHeapItem / recordSize;
    const size_t count = records.size() / recordSize;
    const size_t items = (count + perItem - 1) / perItem;
    const size_t indexSize = BthIndexRecord::sizeFor(cbKey);
    std::vector<uint8_t> upper(items * indexSize);
    for (size_t i = 0; i < items; ++i) {
        const size_t first = i * perItem;
        size_t n = std::min<size_t>(perItem, count - first);
        auto chunk = records.subspan(first * recordSize, n * recordSize);
        Hid hid = heap.allocate(chunk);
        BthIndexRecord{chunk.first(cbKey), hid}.serialize(std::span(upper).subspan(i * indexSize, indexSize));
    }
    return upper;
}

}  // namespace

Hid writeBth(HeapBuilder& heap, uint8_t cbKey, uint8_t cbEnt, std::span<const uint8_t> records, Hid header) {
    if (cbKey != 2 && cbKey != 4 && cbKey != 8 && cbKey != 16)
        throw zentra::Error(zentra::kErrInvalidArgument, "BTH key size must be 2, 4, 8 or 16");
    if (cbEnt == 0 || cbEnt > 32)
        throw zentra::Error(zentra::kErrInvalidArgument, "BTH entry size must be 1..32");
    const uint32_t recordSize = cbKey + cbEnt;
    if (records.size() % recordSize)
        throw zentra::Error(zentra::kErrInvalidArgument, "BTH records are not whole");
    for (size_t off = recordSize; off < records.size(); off += recordSize) {
        if (compareKeys(records.data() + off - recordSize, records.data() + off, cbKey) >= 0)
            throw zentra::Error(zentra::kErrInvalidArgument, "BTH keys are not strictly ascending");
    }
    if (header == 0) header = heap.reserve(BTHHEADER::kSize);

    BTHHEADER h;
    h.cbKey = cbKey;
    h.cbEnt = cbEnt;
    if (!records.empty()) {
        const auto indexSize = static_cast<uint32_t>(BthIndexRecord::sizeFor(cbKey));
        std::vector<uint8_t> upper = writeLevel(heap, records, recordSize, cbKey);
        // Each pass adds one intermediate level until a single item holds the top of the tree.
        while (upper.size() > indexSize) {
            upper = writeLevel(heap, upper, indexSize, cbKey);
            ++h.bIdxLevels;
        }
        h.hidRoot = BthIndexRecord::parse(upper, cbKey).hidNextLevel;
    }
    std::span<uint8_t> item = heap.item(header);
    if (item.size() != BTHHEADER::kSize)
        throw zentra::Error(zentra::kErrInvalidArgument, "BTH header item must be 8 bytes");
    h.serialize(item);
    return header;
}

BTHHEADER readBthHeader(const HeapReader& heap, Hid header) {
    std::span<const uint8_t> item = heap.item(header);
    if (item.size() < BTHHEADER::kSize) corrupt("header item too short");
    const BTHHEADER h = BTHHEADER::parse(item);
    if (h.bType != disk::kClientSigBth) corrupt("header type is not 0xB5");
    return h;
}

namespace {

// `budget` counts the items a well-formed tree can visit at most (each heap item once), so a
// damaged tree whose index items point at each other cannot make the walk run away.
void collect(const HeapReader& heap, Hid hid, uint32_t level, const BTHHEADER& header, std::vector<uint8_t>& out,
             size_t& budget) {
    if (budget == 0) corrupt("index items refer to one another");
    --budget;
    std::span<const uint8_t> item = heap.item(hid);
    if (level == 0) {
        if (item.size() % (header.cbKey + header.cbEnt)) corrupt("leaf item is not whole records");
        out.insert(out.end(), item.begin(), item.end());
        return;
    }
    const size_t indexSize = BthIndexRecord::sizeFor(header.cbKey);
    if (item.size() % indexSize) corrupt("index item is not whole records");
    for (size_t off = 0; off < item.size(); off += indexSize)
        collect(heap, BthIndexRecord::parse(item.subspan(off), header.cbKey).hidNextLevel, level - 1, header, out,
                budget);
}

}  // namespace

std::vector<uint8_t> readBthRecords(const HeapReader& heap, Hid header, uint8_t cbKey, uint8_t cbEnt) {
    const BTHHEADER h = readBthHeader(heap, header);
    if (h.cbKey != cbKey || h.cbEnt != cbEnt)
        corrupt("record sizes " + std::to_string(h.cbKey) + "/" + std::to_string(h.cbEnt) + " where " +
                std::to_string(cbKey) + "/" + std::to_string(cbEnt) + " expected");
    std::vector<uint8_t> out;
    if (h.hidRoot == 0) return out;
    size_t budget = 0;
    for (uint32_t b = 0; b < heap.pageCount(); ++b) budget += heap.itemCount(b);
    collect(heap, h.hidRoot, h.bIdxLevels, h, out, budget);
    const uint32_t recordSize = cbKey + cbEnt;
    for (size_t off = recordSize; off < out.size(); off += recordSize) {
        if (compareKeys(out.data() + off - recordSize, out.data() + off, cbKey) >= 0)
            corrupt("keys out of order");
    }
    return out;
}

}  // namespace pst::ltp
