// Blocks ([MS-PST] 2.2.2.8): each block on its own, then the graph of references that NBT
// entries, data trees (XBLOCK/XXBLOCK) and subnode trees (SLBLOCK/SIBLOCK) form over them, which
// fixes every block's reference count (2.2.2.7.7.3).
#include <map>
#include <set>

#include "checks.h"

namespace pstcheck {
namespace {

void checkOneBlock(Image& img, const BbtEntry& e) {
    Sink& s = img.sink;
    const std::string name = "block " + hex(e.bid);
    if (e.bid & 0x1) s.error("block.bid_reserved", e.ib, name + " has the reserved low bit set");
    if (e.ib % 64 != 0) s.error("block.align", e.ib, name + " is not 64-byte aligned");
    if (e.bid >= img.hdr.bidNextB)
        s.error("block.bid_range", e.ib, name + " is not below bidNextB " + hex(img.hdr.bidNextB));
    const uint64_t size = blockSpan(e.cb);
    if (size > kMaxBlock) {
        s.error("block.size", e.ib, name + ": cb " + std::to_string(e.cb) + " makes it larger than 8192 bytes");
        return;
    }
    if (!fits(img.file, e.ib, size) || e.ib + size > img.hdr.ibFileEof) {
        s.error("block.range", e.ib, name + " lies beyond the end of the file");
        return;
    }
    if (e.ib < kFirstAMap) s.error("block.range", e.ib, name + " lies inside the header area");
    img.extents.push_back({e.ib, size, name});

    Bytes t = img.file.subspan(e.ib + size - kBlockTrailer, kBlockTrailer);
    uint16_t cb = u16(t, 0), wSig = u16(t, 2);
    uint32_t crc = u32(t, 4);
    uint64_t bid = u64(t, 8);
    if (cb != e.cb) s.error("block.cb", e.ib, name + ": trailer cb " + std::to_string(cb) + ", BBT cb " + std::to_string(e.cb));
    if (bid != e.bid) s.error("block.bid", e.ib, name + ": trailer bid is " + hex(bid));
    uint16_t expectSig = computeSig(e.ib, e.bid);
    if (wSig != expectSig) s.error("block.sig", e.ib, name + ": wSig " + hex(wSig) + ", computed " + hex(expectSig));
    uint32_t computed = pstCrc(img.file.subspan(e.ib, e.cb));
    if (crc != computed) s.error("block.crc", e.ib, name + ": dwCRC " + hex(crc) + ", computed " + hex(computed));
}

class RefGraph {
public:
    explicit RefGraph(Image& img) : img_(img) {}

    void run() {
        for (const auto& [nid, e] : img_.nbt) {
            const std::string from = "node " + hex(nid);
            if (ref(e.bidData, from)) dataTree(e.bidData, -1, from);
            if (ref(e.bidSub, from)) subTree(e.bidSub, -1, from);
        }
        for (const auto& [bid, e] : img_.bbt) {
            uint32_t refs = refs_.count(bid) ? refs_[bid] : 0;
            if (refs == 0 && e.cRef <= 1) {
                img_.sink.warn("block.orphan", e.ib, "block " + hex(bid) + " is not referenced by any node");
                continue;
            }
            if (e.cRef != refs + 1)
                img_.sink.error("ref.count", e.ib, "block " + hex(bid) + ": cRef " + std::to_string(e.cRef) +
                                                       ", expected " + std::to_string(refs + 1));
        }
    }

private:
    // Counts a reference; false when there is nothing to follow.
    bool ref(uint64_t bid, const std::string& from) {
        if (bid == 0) return false;
        ++refs_[bid];
        if (!img_.block(bid)) {
            img_.sink.error("block.missing", std::nullopt, from + " refers to block " + hex(bid) + ", which is not in the BBT");
            return false;
        }
        return true;
    }

    // Returns the number of data bytes below this block.
    uint64_t dataTree(uint64_t bid, int expectLevel, const std::string& from) {
        const BbtEntry* e = img_.block(bid);
        if (!isInternalBid(bid)) {
            if (expectLevel > 0)
                img_.sink.error("xblock.level", e->ib, "XXBLOCK entry " + hex(bid) + " is a data block, not an XBLOCK");
            return e->cb;
        }
        if (auto it = totals_.find(bid); it != totals_.end()) return it->second;
        totals_[bid] = 0;
        auto data = img_.blockData(bid);
        if (!data || data->size() < 8 || (*data)[0] != 0x01) {
            img_.sink.error("xblock.type", e->ib, from + ": internal block " + hex(bid) + " in a data tree is not an XBLOCK/XXBLOCK");
            return 0;
        }
        Bytes b(*data);
        int level = b[1];
        size_t cEnt = u16(b, 2);
        uint32_t lcbTotal = u32(b, 4);
        if ((level != 1 && level != 2) || (expectLevel >= 0 && level != expectLevel)) {
            img_.sink.error("xblock.level", e->ib, "block " + hex(bid) + ": cLevel " + std::to_string(level) + " is wrong here");
            return lcbTotal;
        }
        if (!fits(b, 8, cEnt * 8)) {
            img_.sink.error("xblock.size", e->ib, "block " + hex(bid) + ": cEnt " + std::to_string(cEnt) + " exceeds cb");
            return lcbTotal;
        }
        uint64_t sum = 0;
        for (size_t i = 0; i < cEnt; ++i) {
            uint64_t child = u64(b, 8 + i * 8);
            if (!ref(child, "block " + hex(bid))) continue;
            if (level == 2 && !isInternalBid(child))
                img_.sink.error("xblock.level", e->ib, "XXBLOCK " + hex(bid) + " lists data block " + hex(child));
            sum += dataTree(child, level - 1, "block " + hex(bid));
        }
        if (sum != lcbTotal)
            img_.sink.error("xblock.total", e->ib, "block " + hex(bid) + ": lcbTotal " + std::to_string(lcbTotal) +
                                                       ", children hold " + std::to_string(sum));
        totals_[bid] = lcbTotal;
        return lcbTotal;
    }

    // Returns the first subnode NID of this block.
    std::optional<uint32_t> subTree(uint64_t bid, int expectLevel, const std::string& from) {
        const BbtEntry* e = img_.block(bid);
        if (!isInternalBid(bid)) {
            img_.sink.error("subnode.type", e->ib, from + ": subnode tree block " + hex(bid) + " is not an internal block");
            return std::nullopt;
        }
        if (auto it = firstNid_.find(bid); it != firstNid_.end()) return it->second;
        firstNid_[bid] = std::nullopt;
        auto data = img_.blockData(bid);
        if (!data || data->size() < 8 || (*data)[0] != 0x02) {
            img_.sink.error("subnode.type", e->ib, from + ": block " + hex(bid) + " is not an SLBLOCK/SIBLOCK");
            return std::nullopt;
        }
        Bytes b(*data);
        int level = b[1];
        size_t cEnt = u16(b, 2);
        if (level > 1 || (expectLevel >= 0 && level != expectLevel)) {
            img_.sink.error("subnode.level", e->ib, "block " + hex(bid) + ": cLevel " + std::to_string(level) + " is wrong here");
            return std::nullopt;
        }
        const size_t entSize = level == 0 ? 24 : 16;
        if (!fits(b, 8, cEnt * entSize)) {
            img_.sink.error("subnode.size", e->ib, "block " + hex(bid) + ": cEnt " + std::to_string(cEnt) + " exceeds cb");
            return std::nullopt;
        }
        std::optional<uint32_t> first, prev;
        const std::string self = "subnode block " + hex(bid);
        for (size_t i = 0; i < cEnt; ++i) {
            size_t off = 8 + i * entSize;
            // Only the low 32 bits are the NID; Outlook leaves junk in the upper half.
            uint32_t nid = u32(b, off);
            if (!first) first = nid;
            if (prev && nid <= *prev)
                img_.sink.error("subnode.order", e->ib, self + ": NID " + hex(nid) + " does not follow " + hex(*prev));
            prev = nid;
            if (level == 0) {
                uint64_t bidData = u64(b, off + 8), bidSub = u64(b, off + 16);
                if (ref(bidData, self)) dataTree(bidData, -1, self);
                if (ref(bidSub, self)) subTree(bidSub, -1, self);
            } else {
                uint64_t child = u64(b, off + 8);
                if (!ref(child, self)) continue;
                auto childFirst = subTree(child, 0, self);
                if (childFirst && *childFirst != nid)
                    img_.sink.error("subnode.parent_key", e->ib, self + ": SIENTRY " + hex(nid) + " but its SLBLOCK starts at " + hex(*childFirst));
            }
        }
        firstNid_[bid] = first;
        return first;
    }

    Image& img_;
    std::map<uint64_t, uint32_t> refs_;
    std::map<uint64_t, uint64_t> totals_;
    std::map<uint64_t, std::optional<uint32_t>> firstNid_;
};

}  // namespace

void checkBlocks(Image& img) {
    for (const auto& [bid, e] : img.bbt) checkOneBlock(img, e);
    RefGraph(img).run();
}

}  // namespace pstcheck
