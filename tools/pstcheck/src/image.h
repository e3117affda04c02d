#pragma once
// The file as the checks see it: the raw bytes, the parsed header, the two B-trees once they have
// been walked, and silent readers of blocks, data trees and subnode trees. Readers return nothing
// when a structure is unusable; reporting is left to the check that owns that structure.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "byte_codec.h"
#include "findings.h"

namespace pstcheck {

constexpr uint64_t kFirstAMap = 0x4400;       // first AMap page; spans start here
constexpr uint64_t kAMapSpan = 253952;        // bytes covered by one AMap (496 * 8 * 64)
constexpr uint64_t kPMapStride = 2031616;     // one PMap every 8 AMap spans
constexpr uint64_t kDListOffset = 0x4200;
constexpr size_t kPageSize = 512;
constexpr size_t kPageTrailer = 496;          // offset of PAGETRAILER inside a page
constexpr size_t kMaxBlock = 8192;
constexpr size_t kBlockTrailer = 16;

enum PageType : uint8_t {
    kPtBBT = 0x80, kPtNBT = 0x81, kPtFMap = 0x82, kPtPMap = 0x83,
    kPtAMap = 0x84, kPtFPMap = 0x85, kPtDList = 0x86,
};
std::string pageTypeName(uint8_t ptype);

enum NidType : uint8_t {
    kNidInternal = 0x01, kNidNormalFolder = 0x02, kNidSearchFolder = 0x03,
    kNidNormalMessage = 0x04, kNidAttachment = 0x05, kNidAssocMessage = 0x08,
    kNidHierarchyTable = 0x0D, kNidContentsTable = 0x0E, kNidAssocContentsTable = 0x0F,
    kNidSearchContentsTable = 0x10, kNidAttachmentTable = 0x11, kNidRecipientTable = 0x12,
    kNidLtp = 0x1F,
};
inline uint8_t nidType(uint32_t nid) { return nid & 0x1F; }
inline uint32_t nidWithType(uint32_t nid, uint8_t type) { return (nid & ~0x1Fu) | type; }

struct Header {
    uint16_t wVer = 0;
    uint64_t bidNextP = 0, bidNextB = 0;
    uint64_t ibFileEof = 0, ibAMapLast = 0, cbAMapFree = 0, cbPMapFree = 0;
    uint64_t nbtBid = 0, nbtIb = 0, bbtBid = 0, bbtIb = 0;
    uint8_t fAMapValid = 0, bCryptMethod = 0;
    uint32_t rgnid[32] = {};  // highest nidIndex handed out, per NID type
};

struct BbtEntry {
    uint64_t bid = 0, ib = 0;
    uint16_t cb = 0, cRef = 0;
};

struct NbtEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0, bidSub = 0;
    uint32_t nidParent = 0;
};

struct SubnodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0, bidSub = 0;
};

// A stretch of the file that a live page or block occupies.
struct Extent {
    uint64_t ib = 0, size = 0;
    std::string what;
};

inline bool isInternalBid(uint64_t bid) { return (bid & 0x2) != 0; }
inline uint64_t blockSpan(uint16_t cb) { return (static_cast<uint64_t>(cb) + kBlockTrailer + 63) / 64 * 64; }

struct Image {
    Image(Bytes f, Sink& s) : file(f), sink(s) {}

    Bytes file;
    Sink& sink;
    Header hdr;
    std::map<uint64_t, BbtEntry> bbt;
    std::map<uint32_t, NbtEntry> nbt;
    std::vector<Extent> extents;

    const BbtEntry* block(uint64_t bid) const;
    const NbtEntry* node(uint32_t nid) const;
    // The cb stored bytes of a block, if the block is in the BBT and inside the file.
    std::optional<Bytes> rawBlock(uint64_t bid) const;
    // Block data as a reader uses it: external blocks decoded per bCryptMethod.
    std::optional<std::vector<uint8_t>> blockData(uint64_t bid) const;
    // The leaf data blocks of a data tree, in order (one entry per heap page for HN data).
    std::optional<std::vector<std::vector<uint8_t>>> dataTree(uint64_t bid) const;
    // All subnode entries of a subnode tree, keyed by the low 32 bits of their NID.
    std::optional<std::map<uint32_t, SubnodeEntry>> subnodes(uint64_t bidSub) const;
};

}  // namespace pstcheck
