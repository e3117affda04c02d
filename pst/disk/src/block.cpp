#include "pst/disk/block.h"

#include <algorithm>
#include <string>

#include "pst/core/crc.h"
#include "pst/core/le_codec.h"
#include "pst/core/signature.h"
#include "zentra/error.h"

namespace pst::disk {

using namespace pst::core;

namespace {

[[noreturn]] void corrupt(const std::string& what) { throw zentra::Error(zentra::kErrStoreCorrupt, what); }

void checkHeader(std::span<const uint8_t> payload, uint8_t btype, uint8_t cLevel, const char* name) {
    if (payload.size() < 8) corrupt(std::string(name) + " shorter than its 8-byte header");
    if (payload[0] != btype || payload[1] != cLevel)
        corrupt(std::string(name) + " has btype " + std::to_string(payload[0]) + " / cLevel " +
                std::to_string(payload[1]));
}

}  // namespace

void BLOCKTRAILER::serialize(std::span<uint8_t> out) const {
    writeLe16(out, 0, cb);
    writeLe16(out, 2, wSig);
    writeLe32(out, 4, dwCRC);
    writeLe64(out, 8, bid);
}

BLOCKTRAILER BLOCKTRAILER::parse(std::span<const uint8_t> in) {
    BLOCKTRAILER t;
    t.cb = readLe16(in, 0);
    t.wSig = readLe16(in, 2);
    t.dwCRC = readLe32(in, 4);
    t.bid = readLe64(in, 8);
    return t;
}

std::vector<uint8_t> buildBlock(std::span<const uint8_t> storedPayload, uint64_t ib, Bid bid) {
    if (storedPayload.empty() || storedPayload.size() > kMaxBlockPayload)
        throw zentra::Error(zentra::kErrInvalidArgument,
                            "block payload of " + std::to_string(storedPayload.size()) + " bytes (1.." +
                                std::to_string(kMaxBlockPayload) + " allowed)");
    const uint32_t cb = static_cast<uint32_t>(storedPayload.size());
    std::vector<uint8_t> image(blockSizeOnDisk(cb), 0);
    std::copy(storedPayload.begin(), storedPayload.end(), image.begin());
    sealBlockImage(image, cb, ib, bid);
    return image;
}

void sealBlockImage(std::span<uint8_t> image, uint32_t cb, uint64_t ib, Bid bid) {
    if (cb == 0 || cb > kMaxBlockPayload || image.size() != blockSizeOnDisk(cb))
        throw zentra::Error(zentra::kErrInvalidArgument,
                            "block image of " + std::to_string(image.size()) + " bytes for a payload of " +
                                std::to_string(cb));
    std::fill(image.begin() + cb, image.end() - BLOCKTRAILER::kSize, uint8_t{0});
    BLOCKTRAILER t;
    t.cb = static_cast<uint16_t>(cb);
    t.wSig = computeSignature(ib, bid);
    t.dwCRC = computeCrc(image.first(cb));
    t.bid = bid;
    t.serialize(image.last(BLOCKTRAILER::kSize));
}

BLOCKTRAILER blockTrailerOf(std::span<const uint8_t> image) {
    if (image.size() < BLOCKTRAILER::kSize) corrupt("block image shorter than its trailer");
    return BLOCKTRAILER::parse(image.last(BLOCKTRAILER::kSize));
}

bool blockTrailerValid(std::span<const uint8_t> image, uint64_t ib) {
    const BLOCKTRAILER t = blockTrailerOf(image);
    if (blockSizeOnDisk(t.cb) != image.size()) return false;
    return t.wSig == computeSignature(ib, t.bid) && t.dwCRC == computeCrc(image.first(t.cb));
}

namespace {

// XBLOCK, SLBLOCK and SIBLOCK share one layout: btype, cLevel, cEnt, four bytes (lcbTotal or
// dwPadding), then cEnt entries of one size.
constexpr size_t kInternalHeaderSize = 8;

template <class Entry, class WriteEntry>
std::vector<uint8_t> serializeInternalBlock(const char* name, uint8_t btype, uint8_t cLevel, uint32_t fourBytes,
                                            const std::vector<Entry>& entries, size_t entrySize, size_t maxEntries,
                                            WriteEntry writeEntry) {
    if (entries.empty() || entries.size() > maxEntries)
        corrupt(std::string(name) + " with " + std::to_string(entries.size()) + " entries");
    std::vector<uint8_t> out(kInternalHeaderSize + entrySize * entries.size());
    std::span<uint8_t> s(out);
    writeU8(s, 0, btype);
    writeU8(s, 1, cLevel);
    writeLe16(s, 2, static_cast<uint16_t>(entries.size()));
    writeLe32(s, 4, fourBytes);
    for (size_t i = 0; i < entries.size(); ++i)
        writeEntry(s.subspan(kInternalHeaderSize + entrySize * i, entrySize), entries[i]);
    return out;
}

template <class Entry, class ReadEntry>
std::vector<Entry> parseEntries(std::span<const uint8_t> payload, uint16_t cEnt, size_t entrySize, ReadEntry readEntry) {
    checkRange(payload.size(), kInternalHeaderSize, entrySize * cEnt);
    std::vector<Entry> entries;
    entries.reserve(cEnt);
    for (size_t i = 0; i < cEnt; ++i)
        entries.push_back(readEntry(payload.subspan(kInternalHeaderSize + entrySize * i, entrySize)));
    return entries;
}

// SLBLOCK and SIBLOCK differ in their cLevel and their entries only.
template <class Block, class Entry>
Block parseSubnodeBlock(std::span<const uint8_t> payload, const char* name) {
    Block b;
    checkHeader(payload, kBtypeSubnode, b.cLevel, name);
    b.cEnt = readLe16(payload, 2);
    b.dwPadding = readLe32(payload, 4);
    b.rgentries = parseEntries<Entry>(payload, b.cEnt, Entry::kSize, Entry::parse);
    return b;
}

}  // namespace

std::vector<uint8_t> XBLOCK::serialize() const {
    return serializeInternalBlock("XBLOCK", btype, cLevel, lcbTotal, rgbid, sizeof(Bid), kMaxEntries,
                                  [](std::span<uint8_t> out, Bid bid) { writeLe64(out, 0, bid); });
}

XBLOCK XBLOCK::parse(std::span<const uint8_t> payload) {
    if (payload.size() < 2 || payload[0] != kBtypeXBlock || (payload[1] != 1 && payload[1] != 2))
        corrupt("not an XBLOCK/XXBLOCK");
    XBLOCK x;
    x.cLevel = payload[1];
    x.cEnt = readLe16(payload, 2);
    x.lcbTotal = readLe32(payload, 4);
    x.rgbid = parseEntries<Bid>(payload, x.cEnt, sizeof(Bid),
                                [](std::span<const uint8_t> in) { return readLe64(in, 0); });
    return x;
}

void SLENTRY::serialize(std::span<uint8_t> out) const {
    writeLe64(out, 0, nid);
    writeLe64(out, 8, bidData);
    writeLe64(out, 16, bidSub);
}

SLENTRY SLENTRY::parse(std::span<const uint8_t> in) { return {readLe64(in, 0), readLe64(in, 8), readLe64(in, 16)}; }

void SIENTRY::serialize(std::span<uint8_t> out) const {
    writeLe64(out, 0, nid);
    writeLe64(out, 8, bid);
}

SIENTRY SIENTRY::parse(std::span<const uint8_t> in) { return {readLe64(in, 0), readLe64(in, 8)}; }

std::vector<uint8_t> SLBLOCK::serialize() const {
    return serializeInternalBlock("SLBLOCK", btype, cLevel, dwPadding, rgentries, SLENTRY::kSize, kMaxEntries,
                                  [](std::span<uint8_t> out, const SLENTRY& e) { e.serialize(out); });
}

SLBLOCK SLBLOCK::parse(std::span<const uint8_t> payload) { return parseSubnodeBlock<SLBLOCK, SLENTRY>(payload, "SLBLOCK"); }

std::vector<uint8_t> SIBLOCK::serialize() const {
    return serializeInternalBlock("SIBLOCK", btype, cLevel, dwPadding, rgentries, SIENTRY::kSize, kMaxEntries,
                                  [](std::span<uint8_t> out, const SIENTRY& e) { e.serialize(out); });
}

SIBLOCK SIBLOCK::parse(std::span<const uint8_t> payload) { return parseSubnodeBlock<SIBLOCK, SIENTRY>(payload, "SIBLOCK"); }

InternalBlockKind internalBlockKind(std::span<const uint8_t> payload) {
    if (payload.size() < 2) corrupt("internal block shorter than 2 bytes");
    return {payload[0], payload[1]};
}

std::vector<Bid> internalBlockChildren(std::span<const uint8_t> payload) {
    const InternalBlockKind kind = internalBlockKind(payload);
    if (kind.btype == kBtypeXBlock) return XBLOCK::parse(payload).rgbid;
    std::vector<Bid> children;
    if (kind.cLevel == 0) {
        for (const SLENTRY& e : SLBLOCK::parse(payload).rgentries) {
            if (e.bidData) children.push_back(e.bidData);
            if (e.bidSub) children.push_back(e.bidSub);
        }
    } else {
        for (const SIENTRY& e : SIBLOCK::parse(payload).rgentries) children.push_back(e.bid);
    }
    return children;
}

namespace {

// An XXBLOCK over XBLOCKs over data blocks is as deep as a data tree goes; the limit also stops
// a damaged file whose XBLOCKs refer to one another.
constexpr int kMaxDataTreeDepth = 2;

void collectLeaves(Bid bid, const BlockPayloadReader& blockPayload, int depth, std::vector<std::vector<uint8_t>>& out) {
    std::vector<uint8_t> payload = blockPayload(bid);
    if (!isInternalBid(bid)) {
        out.push_back(std::move(payload));
        return;
    }
    if (depth >= kMaxDataTreeDepth) corrupt("data tree nested too deeply");
    for (Bid child : XBLOCK::parse(payload).rgbid) collectLeaves(child, blockPayload, depth + 1, out);
}

}  // namespace

std::vector<std::vector<uint8_t>> dataTreeLeaves(Bid root, const BlockPayloadReader& blockPayload) {
    std::vector<std::vector<uint8_t>> leaves;
    collectLeaves(root, blockPayload, 0, leaves);
    return leaves;
}

std::vector<SLENTRY> subnodeTreeEntries(Bid root, const BlockPayloadReader& blockPayload) {
    const std::vector<uint8_t> payload = blockPayload(root);
    if (internalBlockKind(payload).cLevel == 0) return SLBLOCK::parse(payload).rgentries;
    std::vector<SLENTRY> entries;
    for (const SIENTRY& e : SIBLOCK::parse(payload).rgentries) {
        const std::vector<SLENTRY> leaf = SLBLOCK::parse(blockPayload(e.bid)).rgentries;
        entries.insert(entries.end(), leaf.begin(), leaf.end());
    }
    return entries;
}

}  // namespace pst::disk
