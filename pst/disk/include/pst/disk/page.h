#pragma once
// 512-byte pages ([MS-PST] 2.2.2.7): PAGETRAILER, BTPAGE with BTENTRY / BBTENTRY / NBTENTRY,
// the map pages (AMap, PMap, FMap, FPMap) and the DList, with [MS-PST]'s field names.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/header.h"
#include "pst/disk/layout.h"

namespace pst::disk {

using PageBytes = std::array<uint8_t, kPageSize>;

struct PAGETRAILER {   // 16 bytes at page offset 496
    static constexpr size_t kSize = 16;
    uint8_t ptype = 0;
    uint8_t ptypeRepeat = 0;
    uint16_t wSig = 0;
    uint32_t dwCRC = 0;
    Bid bid = 0;

    void serialize(std::span<uint8_t> out) const;
    static PAGETRAILER parse(std::span<const uint8_t> in);
};

// Writes a trailer for the page at file offset ib: ptype twice, the signature (BT and DList
// pages; map pages carry 0), the CRC of the first 496 bytes and the BID.
void sealPage(PageBytes& page, uint8_t ptype, uint64_t ib, Bid bid);
PAGETRAILER pageTrailerOf(const PageBytes& page);
// True when ptype == ptypeRepeat, the CRC matches and wSig follows the rule for the ptype.
bool pageTrailerValid(const PageBytes& page, uint64_t ib);

struct BTENTRY {   // 24 bytes, intermediate BT pages
    static constexpr size_t kSize = 24;
    uint64_t btkey = 0;
    ::pst::disk::BREF BREF;   // named as in [MS-PST]
    void serialize(std::span<uint8_t> out) const;
    static BTENTRY parse(std::span<const uint8_t> in);
};

struct BBTENTRY {   // 24 bytes, BBT leaves
    static constexpr size_t kSize = 24;
    ::pst::disk::BREF BREF;   // named as in [MS-PST]
    uint16_t cb = 0;
    uint16_t cRef = 0;
    uint32_t dwPadding = 0;
    void serialize(std::span<uint8_t> out) const;
    static BBTENTRY parse(std::span<const uint8_t> in);
};

struct NBTENTRY {   // 32 bytes, NBT leaves
    static constexpr size_t kSize = 32;
    uint64_t nid = 0;   // a 32-bit NID zero-extended
    Bid bidData = 0;
    Bid bidSub = 0;
    uint32_t nidParent = 0;
    uint32_t dwPadding = 0;
    void serialize(std::span<uint8_t> out) const;
    static NBTENTRY parse(std::span<const uint8_t> in);
};

struct BTPAGE {
    static constexpr size_t kEntriesSize = 488;
    static constexpr size_t kOffCEnt = 488, kOffCEntMax = 489, kOffCbEnt = 490, kOffCLevel = 491,
                            kOffDwPadding = 492;
    static constexpr uint8_t kNbtLeafMax = kEntriesSize / NBTENTRY::kSize;        // 15
    static constexpr uint8_t kBbtLeafMax = kEntriesSize / BBTENTRY::kSize;        // 20
    static constexpr uint8_t kIntermediateMax = kEntriesSize / BTENTRY::kSize;    // 20

    std::array<uint8_t, kEntriesSize> rgentries{};
    uint8_t cEnt = 0;
    uint8_t cEntMax = 0;
    uint8_t cbEnt = 0;
    uint8_t cLevel = 0;
    uint32_t dwPadding = 0;
    PAGETRAILER pageTrailer;

    // Serializes everything but the trailer; seal with sealPage afterwards.
    void serializeBody(PageBytes& out) const;
    static BTPAGE parse(const PageBytes& in);

    std::span<uint8_t> entry(size_t i) { return std::span<uint8_t>(rgentries).subspan(i * cbEnt, cbEnt); }
    std::span<const uint8_t> entry(size_t i) const {
        return std::span<const uint8_t>(rgentries).subspan(i * cbEnt, cbEnt);
    }
};

// AMAPPAGE, PMAPPAGE, FMAPPAGE and FPMAPPAGE share one layout: 496 bytes of map data
// (rgbAMapBits / rgbPMapBits / rgbFMapBits / rgbFPMapBits) and the trailer.
struct MAPPAGE {
    std::array<uint8_t, kPageDataSize> rgbMapBits{};
    PAGETRAILER pageTrailer;
    void serializeBody(PageBytes& out) const;
    static MAPPAGE parse(const PageBytes& in);
};
using AMAPPAGE = MAPPAGE;
using PMAPPAGE = MAPPAGE;
using FMAPPAGE = MAPPAGE;
using FPMAPPAGE = MAPPAGE;

struct DLISTPAGEENT {   // 4 bytes: dwPageNum (20 bits), dwFreeSlots (12 bits)
    uint32_t dwPageNum = 0;
    uint32_t dwFreeSlots = 0;
};

struct DLISTPAGE {
    static constexpr size_t kMaxEntries = 476 / 4;
    uint8_t bFlags = 0;
    uint8_t cEntDList = 0;
    uint16_t wPadding = 0;
    uint32_t ulCurrentPage = 0;
    std::vector<DLISTPAGEENT> rgDListPageEnt;
    PAGETRAILER pageTrailer;
    void serializeBody(PageBytes& out) const;
    static DLISTPAGE parse(const PageBytes& in);
};

}  // namespace pst::disk
