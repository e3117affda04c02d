#pragma once
// HEADER, ROOT and BREF of a Unicode PST file ([MS-PST] 2.2.2.4 - 2.2.2.6), with [MS-PST]'s
// field names. serialize() writes the fields as they are; sealHeader() then computes
// dwCRCPartial and dwCRCFull over the serialized bytes.
#include <array>
#include <cstdint>
#include <span>

#include "pst/core/types.h"
#include "pst/disk/layout.h"

namespace pst::disk {

struct BREF {   // 16 bytes
    static constexpr size_t kSize = 16;
    Bid bid = 0;
    uint64_t ib = 0;

    void serialize(std::span<uint8_t> out) const;
    static BREF parse(std::span<const uint8_t> in);
    bool operator==(const BREF&) const = default;
};

struct ROOT {   // 72 bytes
    static constexpr size_t kSize = 72;
    uint32_t dwReserved = 0;
    uint64_t ibFileEof = 0;
    uint64_t ibAMapLast = 0;
    uint64_t cbAMapFree = 0;
    uint64_t cbPMapFree = 0;
    BREF BREFNBT;
    BREF BREFBBT;
    uint8_t fAMapValid = 0;
    uint8_t bReserved = 0;
    uint16_t wReserved = 0;

    void serialize(std::span<uint8_t> out) const;
    static ROOT parse(std::span<const uint8_t> in);
};

struct HEADER {
    static constexpr size_t kSize = kHeaderSize;   // 564 bytes
    // Field offsets, for the layout tests and for readers of raw bytes.
    static constexpr size_t kOffCRCPartial = 0x004, kOffWVer = 0x00A, kOffBidNextP = 0x020,
                            kOffDwUnique = 0x028, kOffRgnid = 0x02C, kOffRoot = 0x0B4, kOffRgbFM = 0x100,
                            kOffRgbFP = 0x180, kOffBSentinel = 0x200, kOffBCryptMethod = 0x201,
                            kOffBidNextB = 0x204, kOffCRCFull = 0x20C, kOffRgbReserved3 = 0x214;
    static constexpr size_t kCrcPartialLength = 471;   // from wMagicClient
    static constexpr size_t kCrcFullLength = 516;      // wMagicClient .. bidNextB

    uint32_t dwMagic = 0x4E444221;   // "!BDN"
    uint32_t dwCRCPartial = 0;
    uint16_t wMagicClient = 0x4D53;  // "SM"
    uint16_t wVer = 23;
    uint16_t wVerClient = 19;
    uint8_t bPlatformCreate = 1;
    uint8_t bPlatformAccess = 1;
    uint32_t dwReserved1 = 0;
    uint32_t dwReserved2 = 0;
    uint64_t bidUnused = 0;
    uint64_t bidNextP = 0;
    uint32_t dwUnique = 0;
    std::array<uint32_t, 32> rgnid{};
    uint64_t qwUnused = 0;
    ROOT root;
    uint32_t dwAlign = 0;
    std::array<uint8_t, 128> rgbFM{};
    std::array<uint8_t, 128> rgbFP{};
    uint8_t bSentinel = 0x80;
    uint8_t bCryptMethod = 0;
    uint16_t rgbReserved = 0;
    uint64_t bidNextB = 0;
    uint32_t dwCRCFull = 0;
    std::array<uint8_t, 3> rgbReserved2{};
    uint8_t bReserved = 0;
    std::array<uint8_t, 32> rgbReserved3{};

    void serialize(std::span<uint8_t> out) const;   // out.size() >= kSize
    static HEADER parse(std::span<const uint8_t> in);
};

// Computes both CRCs over serialized header bytes and stores them in place.
void sealHeader(std::span<uint8_t> headerBytes);
// True when both stored CRCs match the bytes.
bool headerCrcsValid(std::span<const uint8_t> headerBytes);

}  // namespace pst::disk
