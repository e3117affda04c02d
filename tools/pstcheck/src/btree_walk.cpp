// Pages ([MS-PST] 2.2.2.7.1) and the two B-trees, NBT and BBT (2.2.2.7.7).
#include <set>

#include "checks.h"

namespace pstcheck {

bool checkPage(Image& img, uint64_t ib, uint8_t expectType, std::optional<uint64_t> expectBid) {
    Sink& s = img.sink;
    const std::string name = pageTypeName(expectType);
    if (!fits(img.file, ib, kPageSize)) {
        s.error("page.range", ib, name + " lies beyond the end of the file");
        return false;
    }
    if (ib % kPageSize != 0) s.error("page.align", ib, name + " is not 512-byte aligned");
    if (ib + kPageSize > img.hdr.ibFileEof) s.error("page.range", ib, name + " lies beyond ibFileEof");
    if (ib < kFirstAMap && expectType != kPtDList) s.error("page.range", ib, name + " lies inside the header area");

    Bytes p = img.file.subspan(ib, kPageSize);
    uint8_t ptype = p[kPageTrailer], ptypeRepeat = p[kPageTrailer + 1];
    uint16_t wSig = u16(p, kPageTrailer + 2);
    uint32_t crc = u32(p, kPageTrailer + 4);
    uint64_t bid = u64(p, kPageTrailer + 8);

    if (ptype != ptypeRepeat)
        s.error("page.ptype_repeat", ib, name + ": ptype " + hex(ptype) + " != ptypeRepeat " + hex(ptypeRepeat));
    if (ptype != expectType) s.error("page.type", ib, "expected a " + name + ", found ptype " + hex(ptype));

    uint32_t computed = pstCrc(p.first(kPageTrailer));
    if (crc != computed) s.error("page.crc", ib, name + ": dwCRC " + hex(crc) + ", computed " + hex(computed));

    const bool mapPage = expectType == kPtAMap || expectType == kPtPMap || expectType == kPtFMap ||
                         expectType == kPtFPMap;
    if (mapPage) {
        if (wSig != 0) s.error("page.sig", ib, name + ": wSig must be 0, is " + hex(wSig));
        if (bid != ib) s.error("page.bid", ib, name + ": trailer bid " + hex(bid) + " is not its offset");
    } else {
        uint16_t expectSig = computeSig(ib, bid);
        if (wSig != expectSig) s.error("page.sig", ib, name + ": wSig " + hex(wSig) + ", computed " + hex(expectSig));
        if (expectBid && bid != *expectBid)
            s.error("page.bid", ib, name + ": trailer bid " + hex(bid) + ", referenced as " + hex(*expectBid));
        // Outlook gives the DList the value bidNextP itself; BT pages lie strictly below it.
        if (bid > img.hdr.bidNextP || (bid == img.hdr.bidNextP && expectType != kPtDList))
            s.error("page.bid_range", ib, name + ": bid " + hex(bid) + " is not below bidNextP " + hex(img.hdr.bidNextP));
    }
    return true;
}

namespace {

constexpr size_t kBtEntries = 488;
constexpr int kMaxDepth = 8;

class TreeWalker {
public:
    TreeWalker(Image& img, uint8_t ptype) : img_(img), ptype_(ptype) {}

    void run(uint64_t bid, uint64_t ib) {
        int leafLevel = -1;
        walk(bid, ib, -1, std::nullopt, 0, leafLevel);
    }

private:
    // Returns the first key of the page, if it has one.
    std::optional<uint64_t> walk(uint64_t bid, uint64_t ib, int expectLevel, std::optional<uint64_t> parentKey,
                                 int depth, int& leafDepth) {
        Sink& s = img_.sink;
        const std::string name = pageTypeName(ptype_);
        if (depth > kMaxDepth || !visited_.insert(ib).second) {
            s.error("bt.depth", ib, name + " is reached twice or the tree is too deep");
            return std::nullopt;
        }
        if (!checkPage(img_, ib, ptype_, bid)) return std::nullopt;
        img_.extents.push_back({ib, kPageSize, name});

        Bytes p = img_.file.subspan(ib, kPageSize);
        int cEnt = p[kBtEntries], cEntMax = p[kBtEntries + 1], cbEnt = p[kBtEntries + 2], cLevel = p[kBtEntries + 3];
        if (expectLevel >= 0 && cLevel != expectLevel) {
            s.error("bt.depth", ib, name + ": cLevel " + std::to_string(cLevel) + ", expected " + std::to_string(expectLevel));
            return std::nullopt;
        }
        if (cLevel > kMaxDepth) {
            s.error("bt.depth", ib, name + ": cLevel " + std::to_string(cLevel) + " is implausible");
            return std::nullopt;
        }
        const bool leaf = cLevel == 0;
        const int wantCb = !leaf ? 24 : (ptype_ == kPtNBT ? 32 : 24);
        const int wantMax = kBtEntries / wantCb;
        if (cbEnt != wantCb) {
            s.error("bt.cbent", ib, name + ": cbEnt " + std::to_string(cbEnt) + ", expected " + std::to_string(wantCb));
            return std::nullopt;
        }
        if (cEntMax != wantMax)
            s.error("bt.centmax", ib, name + ": cEntMax " + std::to_string(cEntMax) + ", expected " + std::to_string(wantMax));
        if (cEnt > wantMax) {
            s.error("bt.cent", ib, name + ": cEnt " + std::to_string(cEnt) + " exceeds " + std::to_string(wantMax));
            return std::nullopt;
        }
        // An empty page is meaningful only as the root of an empty tree.
        if (cEnt == 0 && !(depth == 0 && leaf)) s.error("bt.cent", ib, name + " has no entries");
        if (leaf) {
            if (leafDepth < 0) leafDepth = depth;
            else if (leafDepth != depth) s.error("bt.depth", ib, name + ": leaves at different depths");
        }

        std::optional<uint64_t> firstKey;
        std::optional<uint64_t> prevInPage;
        for (int i = 0; i < cEnt; ++i) {
            size_t off = static_cast<size_t>(i) * cbEnt;
            uint64_t key = u64(p, off);
            if (!firstKey) firstKey = key;
            if (prevInPage && key <= *prevInPage)
                s.error("bt.order", ib, name + ": key " + hex(key) + " does not follow " + hex(*prevInPage));
            prevInPage = key;
            if (!leaf) {
                uint64_t childBid = u64(p, off + 8), childIb = u64(p, off + 16);
                auto childFirst = walk(childBid, childIb, cLevel - 1, key, depth + 1, leafDepth);
                if (childFirst && *childFirst != key)
                    s.error("bt.parent_key", ib, name + ": btkey " + hex(key) + " but its child starts at " + hex(*childFirst));
                continue;
            }
            if (lastLeafKey_ && key <= *lastLeafKey_)
                s.error("bt.order", ib, name + ": key " + hex(key) + " out of order across pages");
            lastLeafKey_ = key;
            if (ptype_ == kPtNBT) readNbtEntry(p, off, ib);
            else readBbtEntry(p, off);
        }
        (void)parentKey;
        return firstKey;
    }

    void readNbtEntry(Bytes p, size_t off, uint64_t ib) {
        uint64_t nidRaw = u64(p, off);
        if (nidRaw >> 32) img_.sink.warn("nbt.nid_upper", ib, "NBTENTRY nid " + hex(nidRaw) + " has upper bits set");
        NbtEntry e{static_cast<uint32_t>(nidRaw), u64(p, off + 8), u64(p, off + 16), u32(p, off + 24)};
        img_.nbt[e.nid] = e;
    }

    void readBbtEntry(Bytes p, size_t off) {
        BbtEntry e{u64(p, off), u64(p, off + 8), u16(p, off + 16), u16(p, off + 18)};
        img_.bbt[e.bid] = e;
    }

    Image& img_;
    uint8_t ptype_;
    std::set<uint64_t> visited_;
    std::optional<uint64_t> lastLeafKey_;
};

}  // namespace

void walkBTrees(Image& img) {
    TreeWalker(img, kPtNBT).run(img.hdr.nbtBid, img.hdr.nbtIb);
    TreeWalker(img, kPtBBT).run(img.hdr.bbtBid, img.hdr.bbtIb);
    // The header's rgnid tells a client where to continue handing out NIDs; one below a node
    // already in the NBT would make Outlook create a second node with the same NID.
    for (const auto& [nid, e] : img.nbt) {
        const uint32_t index = nid >> 5, highWater = img.hdr.rgnid[nidType(nid)];
        if (index > highWater)
            img.sink.error("header.rgnid", 0x2C + 4 * nidType(nid), "node " + hex(nid) + " has nidIndex " + hex(index) +
                                                                     " above rgnid[" + hex(nidType(nid)) + "] = " + hex(highWater));
    }
}

}  // namespace pstcheck
