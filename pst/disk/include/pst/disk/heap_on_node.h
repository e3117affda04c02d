#pragma once
// Heap-on-node ([MS-PST] 2.3.1): the HID and HNID, the page headers HNHDR, HNPAGEHDR and
// HNBITMAPHDR, and the page map HNPAGEMAP, with [MS-PST]'s field names. Every page of a heap
// is one data block and starts with ibHnpm, the offset of its page map.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"

namespace pst::disk {

// HNHDR.bSig.
constexpr uint8_t kHnSignature = 0xEC;
// HNHDR.bClientSig: what is built on the heap. BTHHEADER.bType and TCINFO.bType repeat the
// values bTypeBTH and bTypeTC.
constexpr uint8_t kClientSigTable = 0x7C;        // bTypeTC
constexpr uint8_t kClientSigBth = 0xB5;          // bTypeBTH
constexpr uint8_t kClientSigProperties = 0xBC;   // bTypePC

// HID (2.3.1.1): hidType (5 bits, always 0), hidIndex (11 bits, the 1-based item in its page),
// hidBlockIndex (16 bits, the 0-based page).
constexpr Hid makeHid(uint32_t hidBlockIndex, uint32_t hidIndex) { return (hidBlockIndex << 16) | (hidIndex << 5); }
constexpr uint32_t hidBlockIndex(Hid hid) { return hid >> 16; }
constexpr uint32_t hidItemIndex(Hid hid) { return (hid >> 5) & 0x7FF; }
// HNID (2.3.3.2): an HID when its type bits are NID_TYPE_HID, otherwise the NID of a subnode.
constexpr bool hnidIsHid(Hnid hnid) { return (hnid & 0x1F) == kNidTypeHid; }

struct HNHDR {   // 12 bytes, at the start of the first page
    static constexpr size_t kSize = 12;
    uint16_t ibHnpm = 0;
    uint8_t bSig = kHnSignature;
    uint8_t bClientSig = 0;
    Hid hidUserRoot = 0;
    std::array<uint8_t, 4> rgbFillLevel{};   // pages 0..7, a nibble each

    void serialize(std::span<uint8_t> out) const;
    static HNHDR parse(std::span<const uint8_t> in);
};

struct HNPAGEHDR {   // 2 bytes, at the start of the other pages
    static constexpr size_t kSize = 2;
    uint16_t ibHnpm = 0;

    void serialize(std::span<uint8_t> out) const;
    static HNPAGEHDR parse(std::span<const uint8_t> in);
};

struct HNBITMAPHDR {   // 66 bytes, at the start of pages 8, 136, 264, ...
    static constexpr size_t kSize = 66;
    static constexpr uint32_t kFirstPage = 8;
    static constexpr uint32_t kPagesMapped = 128;
    uint16_t ibHnpm = 0;
    std::array<uint8_t, 64> rgbFillLevel{};   // this page and the 127 after it, a nibble each

    void serialize(std::span<uint8_t> out) const;
    static HNBITMAPHDR parse(std::span<const uint8_t> in);
};

// The fill level of the slot'th page an rgbFillLevel covers (slot 0: low nibble of byte 0).
uint8_t fillLevelAt(std::span<const uint8_t> rgbFillLevel, uint32_t slot);
void setFillLevelAt(std::span<uint8_t> rgbFillLevel, uint32_t slot, uint8_t level);

struct HNPAGEMAP {   // at ibHnpm, 2-byte aligned, at the end of every page
    static constexpr size_t kHeaderSize = 4;
    uint16_t cAlloc = 0;   // set from rgibAlloc by serialize
    uint16_t cFree = 0;
    std::vector<uint16_t> rgibAlloc;   // start of every item, then the end of the last one

    static constexpr size_t sizeFor(size_t cAlloc) { return kHeaderSize + 2 * (cAlloc + 1); }
    void serialize(std::span<uint8_t> out) const;   // rgibAlloc must hold at least one offset
    // The same for offsets a page under construction holds, without copying them into a map.
    static void serialize(std::span<uint8_t> out, uint16_t cFree, std::span<const uint16_t> rgibAlloc);
    static HNPAGEMAP parse(std::span<const uint8_t> in);   // `in` starts at ibHnpm
};

}  // namespace pst::disk
