#pragma once
// Fixed sizes and placements of a Unicode PST file ([MS-PST] 1.3.2, 2.2.2.7, 2.2.2.8).
#include <cstdint>

namespace pst::disk {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kPageTrailerSize = 16;
constexpr uint32_t kPageDataSize = kPageSize - kPageTrailerSize;   // 496 bytes the CRC covers

constexpr uint32_t kBlockAlign = 64;
constexpr uint32_t kBlockTrailerSize = 16;
constexpr uint32_t kMaxBlockSize = 8192;
constexpr uint32_t kMaxBlockPayload = kMaxBlockSize - kBlockTrailerSize;   // 8176

constexpr uint32_t kHeaderSize = 0x234;
constexpr uint64_t kDListOffset = 0x4200;
constexpr uint64_t kFirstAMapOffset = 0x4400;
constexpr uint64_t kFirstPMapOffset = 0x4600;

// One AMap page maps 496 * 8 units of 64 bytes, starting with itself.
constexpr uint64_t kAMapUnitsPerPage = kPageDataSize * 8;                  // 3968
constexpr uint64_t kAMapSpan = kAMapUnitsPerPage * kBlockAlign;            // 253,952 bytes
constexpr uint64_t kAMapsPerPMap = 8;                                     // PMap maps 496*8 pages
constexpr uint64_t kPMapSpan = kAMapSpan * kAMapsPerPMap;                  // 2,031,616 bytes
// The header's rgbFM stands for the first 128 AMaps; FMap pages cover the rest, 496 each,
// the first one in the span of AMap #128, after that span's AMap and PMap.
constexpr uint64_t kAMapsCoveredByHeaderFM = 128;
constexpr uint64_t kAMapsPerFMap = kPageDataSize;                          // 496
constexpr uint64_t kFMapOffsetInSpan = 2 * kPageSize;
// The header's rgbFP stands for the first 1024 PMaps (8192 AMaps, about 2 GB); FPMap pages
// cover the rest, one bit per PMap, so 496 * 8 PMaps (about 7.5 GiB) each. The first one sits
// in the span of AMap #8192 after the AMap, PMap and FMap places of a span, whether or not that
// span has an FMap; FMap and FPMap spans never coincide.
constexpr uint64_t kAMapsCoveredByHeaderFP = 8192;
constexpr uint64_t kAMapsPerFPMap = kPageDataSize * 8 * kAMapsPerPMap;     // 31,744
constexpr uint64_t kFPMapOffsetInSpan = 3 * kPageSize;
static_assert(kAMapsPerFPMap % kAMapsPerFMap == 0 && (kAMapsCoveredByHeaderFP - kAMapsCoveredByHeaderFM) % kAMapsPerFMap != 0,
              "an FPMap span never holds an FMap");

constexpr uint64_t amapOffset(uint64_t amapIndex) { return kFirstAMapOffset + amapIndex * kAMapSpan; }

// Which map pages a span holds besides its AMap (at the offsets above).
constexpr bool spanHasPMap(uint64_t span) { return span % kAMapsPerPMap == 0; }
constexpr bool spanHasFMap(uint64_t span) {
    return span >= kAMapsCoveredByHeaderFM && (span - kAMapsCoveredByHeaderFM) % kAMapsPerFMap == 0;
}
constexpr bool spanHasFPMap(uint64_t span) {
    return span >= kAMapsCoveredByHeaderFP && (span - kAMapsCoveredByHeaderFP) % kAMapsPerFPMap == 0;
}

// Page types (PAGETRAILER.ptype).
enum PageType : uint8_t {
    kPtypeBBT = 0x80,
    kPtypeNBT = 0x81,
    kPtypeFMap = 0x82,
    kPtypePMap = 0x83,
    kPtypeAMap = 0x84,
    kPtypeFPMap = 0x85,
    kPtypeDL = 0x86,
};

// Internal block types (XBLOCK.btype, SLBLOCK.btype).
constexpr uint8_t kBtypeXBlock = 0x01;
constexpr uint8_t kBtypeSubnode = 0x02;

// BID bit 1 marks an internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK); bit 0 is reserved.
constexpr uint64_t kBidInternalFlag = 0x2;
constexpr uint64_t kBidStep = 4;
constexpr bool isInternalBid(uint64_t bid) { return (bid & kBidInternalFlag) != 0; }

// The size a block with cb payload bytes takes in the file, trailer and padding included.
constexpr uint32_t blockSizeOnDisk(uint32_t cb) {
    return (cb + kBlockTrailerSize + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
}

// HEADER.bCryptMethod.
constexpr uint8_t kCryptNone = 0x00;
constexpr uint8_t kCryptPermute = 0x01;

// ROOT.fAMapValid.
constexpr uint8_t kAMapInvalid = 0x00;
constexpr uint8_t kAMapValid2 = 0x02;

}  // namespace pst::disk
