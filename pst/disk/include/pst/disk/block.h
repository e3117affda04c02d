#pragma once
// Blocks ([MS-PST] 2.2.2.8): BLOCKTRAILER, XBLOCK / XXBLOCK, SLBLOCK / SLENTRY and
// SIBLOCK / SIENTRY, with [MS-PST]'s field names. A block occupies blockSizeOnDisk(cb) bytes:
// cb payload bytes, zero padding, then the 16-byte trailer at the end.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/layout.h"

namespace pst::disk {

struct BLOCKTRAILER {   // 16 bytes
    static constexpr size_t kSize = 16;
    uint16_t cb = 0;
    uint16_t wSig = 0;
    uint32_t dwCRC = 0;
    Bid bid = 0;
    void serialize(std::span<uint8_t> out) const;
    static BLOCKTRAILER parse(std::span<const uint8_t> in);
};

// The whole on-disk image of a block at file offset ib: payload (already encoded when it is an
// encoded data block), padding, trailer with the signature and the CRC of the cb stored bytes.
std::vector<uint8_t> buildBlock(std::span<const uint8_t> storedPayload, uint64_t ib, Bid bid);
// The same, in place: image is blockSizeOnDisk(cb) bytes whose first cb bytes hold the stored
// payload; the padding is cleared and the trailer written. Lets a writer reuse one buffer.
void sealBlockImage(std::span<uint8_t> image, uint32_t cb, uint64_t ib, Bid bid);
// The trailer of a block image (its last 16 bytes).
BLOCKTRAILER blockTrailerOf(std::span<const uint8_t> blockImage);
// True when the trailer's cb fits, the CRC matches the first cb bytes and wSig matches ib/bid.
bool blockTrailerValid(std::span<const uint8_t> blockImage, uint64_t ib);

struct XBLOCK {   // XBLOCK (cLevel 1) and XXBLOCK (cLevel 2)
    static constexpr size_t kHeaderSize = 8;
    static constexpr size_t kMaxEntries = (kMaxBlockPayload - kHeaderSize) / 8;   // 1021
    uint8_t btype = kBtypeXBlock;
    uint8_t cLevel = 1;
    uint16_t cEnt = 0;   // set from rgbid by serialize
    uint32_t lcbTotal = 0;
    std::vector<Bid> rgbid;
    std::vector<uint8_t> serialize() const;
    static XBLOCK parse(std::span<const uint8_t> payload);
};

struct SLENTRY {   // 24 bytes
    static constexpr size_t kSize = 24;
    uint64_t nid = 0;
    Bid bidData = 0;
    Bid bidSub = 0;
    void serialize(std::span<uint8_t> out) const;
    static SLENTRY parse(std::span<const uint8_t> in);
};

struct SIENTRY {   // 16 bytes
    static constexpr size_t kSize = 16;
    uint64_t nid = 0;
    Bid bid = 0;
    void serialize(std::span<uint8_t> out) const;
    static SIENTRY parse(std::span<const uint8_t> in);
};

struct SLBLOCK {
    static constexpr size_t kHeaderSize = 8;
    static constexpr size_t kMaxEntries = (kMaxBlockPayload - kHeaderSize) / SLENTRY::kSize;   // 340
    uint8_t btype = kBtypeSubnode;
    uint8_t cLevel = 0;
    uint16_t cEnt = 0;
    uint32_t dwPadding = 0;
    std::vector<SLENTRY> rgentries;
    std::vector<uint8_t> serialize() const;
    static SLBLOCK parse(std::span<const uint8_t> payload);
};

struct SIBLOCK {
    static constexpr size_t kHeaderSize = 8;
    static constexpr size_t kMaxEntries = (kMaxBlockPayload - kHeaderSize) / SIENTRY::kSize;   // 510
    uint8_t btype = kBtypeSubnode;
    uint8_t cLevel = 1;
    uint16_t cEnt = 0;
    uint32_t dwPadding = 0;
    std::vector<SIENTRY> rgentries;
    std::vector<uint8_t> serialize() const;
    static SIBLOCK parse(std::span<const uint8_t> payload);
};

// The btype and cLevel of an internal block's payload (its first two bytes).
struct InternalBlockKind {
    uint8_t btype = 0;
    uint8_t cLevel = 0;
};
InternalBlockKind internalBlockKind(std::span<const uint8_t> payload);
// The blocks an internal block refers to: an XBLOCK's rgbid, an SLBLOCK's bidData and bidSub
// (those that are set), an SIBLOCK's SLBLOCKs.
std::vector<Bid> internalBlockChildren(std::span<const uint8_t> payload);

// Walks of the trees a node refers to, for any reader: blockPayload gives a block's stored
// payload (decoded) by its BID.
using BlockPayloadReader = std::function<std::vector<uint8_t>(Bid)>;
// The leaf payloads of a data tree in order: the root itself when it is a data block, otherwise
// the data blocks below its XBLOCK or XXBLOCK. Throws kErrStoreCorrupt for deeper nesting.
std::vector<std::vector<uint8_t>> dataTreeLeaves(Bid root, const BlockPayloadReader& blockPayload);
// The SLENTRYs of a subnode tree in NID order: the root's own when it is an SLBLOCK, otherwise
// those of the SLBLOCKs its SIBLOCK names.
std::vector<SLENTRY> subnodeTreeEntries(Bid root, const BlockPayloadReader& blockPayload);

}  // namespace pst::disk
