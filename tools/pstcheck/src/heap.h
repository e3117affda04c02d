#pragma once
// Heap-on-Node ([MS-PST] 2.3.1) and BTree-on-Heap (2.3.2), parsed with their own checks.
#include <optional>
#include <string>
#include <vector>

#include "image.h"

namespace pstcheck {

// Where a structure lives, for messages: "node 0x122" or "node 0x8224 / subnode 0x692".
struct Where {
    std::string name;
    std::optional<uint64_t> offset;
};

struct Heap {
    std::vector<std::vector<uint8_t>> pages;
    // Per page, the [start, end) of allocation 1..cAlloc.
    std::vector<std::vector<std::pair<uint16_t, uint16_t>>> allocs;
    uint8_t clientSig = 0;
    uint32_t hidUserRoot = 0;

    bool validHid(uint32_t hid) const;
    std::optional<Bytes> item(uint32_t hid) const;
};

// Checks the heap's pages; nothing when the heap is unusable (findings are reported).
std::optional<Heap> parseHeap(Image& img, std::vector<std::vector<uint8_t>> pages, const Where& where);

struct BthRecord {
    uint64_t key = 0;
    Bytes data;  // cbEnt bytes, pointing into the heap
};

// Reads and checks a BTH whose header is the heap item hidHeader.
std::optional<std::vector<BthRecord>> readBth(Image& img, const Heap& heap, uint32_t hidHeader, uint8_t cbKey,
                                              uint8_t cbEnt, const Where& where);

}  // namespace pstcheck
