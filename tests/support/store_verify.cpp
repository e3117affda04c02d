// The structural verification of a store read by StoreReader: header, blocks and reference
// counts, overlaps, and the allocation maps recomputed from what the trees reference.
#include <algorithm>
#include <functional>
#include <map>

#include "pst/disk/block.h"
#include "pst/disk/page.h"
#include "store_reader.h"
#include "store_reader_util.h"
#include "zentra/error.h"

namespace pst::readback {

using zentra::Error;
using namespace pst::disk;
using namespace reader_util;

std::vector<std::string> StoreReader::verify(const VerifyOptions& options) {
    const std::vector<std::string> saved = problems_;
    const std::vector<Extent> savedExtents = extents_;
    verifyHeader(options);
    verifyBlocksAndReferences();
    verifyOverlaps();
    if (header_.root.fAMapValid == kAMapValid2 || !options.allowInvalidAMaps) verifyMaps();
    // Extents were collected for this run only; keep the walk's findings for the next call.
    std::vector<std::string> found = problems_;
    problems_ = saved;
    extents_ = savedExtents;
    if (!options.allowAMapLeaks) return found;
    found.erase(std::remove_if(found.begin(), found.end(),
                               [](const std::string& s) { return s.find("(leak)") != std::string::npos; }),
                found.end());
    return found;
}

void StoreReader::verifyHeader(const VerifyOptions& options) {
    const HEADER& h = header_;
    if (!headerCrcOk_) problem("header: dwCRCPartial or dwCRCFull wrong");
    if (h.dwMagic != 0x4E444221 || h.wMagicClient != 0x4D53) problem("header: magic wrong");
    if (h.wVer != 23 || h.wVerClient != 19) problem("header: wVer " + std::to_string(h.wVer) + " / wVerClient " + std::to_string(h.wVerClient));
    if (h.bPlatformCreate != 1 || h.bPlatformAccess != 1) problem("header: bPlatformCreate/Access not 1");
    if (h.bSentinel != 0x80) problem("header: bSentinel not 0x80");
    if (h.bCryptMethod != kCryptNone && h.bCryptMethod != kCryptPermute) problem("header: bCryptMethod " + hex(h.bCryptMethod));
    if (h.root.fAMapValid != kAMapValid2 && !options.allowInvalidAMaps) problem("header: fAMapValid " + std::to_string(h.root.fAMapValid));
    if (h.root.ibFileEof < kFirstAMapOffset || (h.root.ibFileEof - kFirstAMapOffset) % kAMapSpan != 0)
        problem("header: ibFileEof " + hex(h.root.ibFileEof) + " not on the AMap grid");
    if (h.root.ibFileEof != fileSize_ && !(options.allowLongerFile && fileSize_ > h.root.ibFileEof))
        problem("header: ibFileEof " + hex(h.root.ibFileEof) + " but the file has " + hex(fileSize_) + " bytes");
    if (h.bidNextB % kBidStep != 0) problem("header: bidNextB not a multiple of 4");
}

void StoreReader::verifyBlocksAndReferences() {
    std::map<Bid, uint32_t> references;
    std::map<Bid, uint64_t> dataSize;   // lcbTotal of internal data blocks, cb of leaves
    for (const auto& [nid, n] : nodes_) {
        for (Bid b : {n.data, n.subnodes}) {
            if (!b) continue;
            if (!blocks_.count(b)) problem("node " + hex(nid) + " references missing block " + hex(b));
            ++references[b];
        }
    }
    for (const auto& [bid, b] : blocks_) {
        const std::string name = "block " + hex(bid);
        if (bid & 1) problem(name + ": reserved bit 0 set");
        if (bid >= header_.bidNextB) problem(name + ": not below bidNextB");
        if (b.ib % kBlockAlign != 0) problem(name + ": not 64-aligned");
        if (b.cb == 0 || b.cb > kMaxBlockPayload) problem(name + ": cb " + std::to_string(b.cb));
        extents_.push_back({b.ib, blockSizeOnDisk(b.cb), name});
        std::vector<uint8_t> payload;
        try {
            payload = blockPayload(bid);
        } catch (const Error& e) {
            problem(e.description());
            continue;
        }
        if (!isInternalBid(bid)) continue;
        try {
            const InternalBlockKind kind = internalBlockKind(payload);
            auto ref = [&](Bid child) {
                if (!blocks_.count(child)) problem(name + " references missing block " + hex(child));
                ++references[child];
            };
            // A subnode block holds exactly cEnt entries, in ascending NID order.
            auto checkSubnodeEntries = [&](const auto& entries, size_t entrySize, const char* what) {
                if (payload.size() != SLBLOCK::kHeaderSize + entrySize * entries.size()) problem(name + ": cb does not match cEnt");
                for (size_t i = 1; i < entries.size(); ++i)
                    if (static_cast<uint32_t>(entries[i].nid) <= static_cast<uint32_t>(entries[i - 1].nid))
                        problem(name + ": " + what + " NIDs not ascending");
            };
            if (kind.btype == kBtypeXBlock) {
                const XBLOCK x = XBLOCK::parse(payload);
                if (payload.size() != XBLOCK::kHeaderSize + 8 * x.rgbid.size()) problem(name + ": cb does not match cEnt");
                for (Bid c : x.rgbid) {
                    ref(c);
                    if (isInternalBid(c) != (x.cLevel == 2)) problem(name + ": child " + hex(c) + " has the wrong kind");
                }
            } else if (kind.btype == kBtypeSubnode && kind.cLevel == 0) {
                const SLBLOCK s = SLBLOCK::parse(payload);
                checkSubnodeEntries(s.rgentries, SLENTRY::kSize, "SLENTRY");
                for (const SLENTRY& e : s.rgentries) {
                    if (!e.bidData) problem(name + ": SLENTRY without data");
                    if (e.bidData) ref(e.bidData);
                    if (e.bidSub) ref(e.bidSub);
                }
            } else if (kind.btype == kBtypeSubnode && kind.cLevel == 1) {
                const SIBLOCK s = SIBLOCK::parse(payload);
                checkSubnodeEntries(s.rgentries, SIENTRY::kSize, "SIENTRY");
                for (const SIENTRY& e : s.rgentries) {
                    ref(e.bid);
                    const auto child = blockPayload(e.bid);
                    const SLBLOCK sl = SLBLOCK::parse(child);
                    if (sl.rgentries.empty() || static_cast<uint32_t>(sl.rgentries.front().nid) != static_cast<uint32_t>(e.nid))
                        problem(name + ": SIENTRY key differs from its SLBLOCK's first NID");
                }
            } else {
                problem(name + ": unknown internal block type " + hex(kind.btype) + "/" + hex(kind.cLevel));
            }
        } catch (const Error& e) {
            problem(name + ": " + e.description());
        }
    }
    // lcbTotal of every data tree, bottom-up.
    std::function<uint64_t(Bid, int)> sizeOf = [&](Bid bid, int depth) -> uint64_t {
        if (auto it = dataSize.find(bid); it != dataSize.end()) return it->second;
        const auto b = blocks_.find(bid);
        if (b == blocks_.end() || depth > kMaxTreeDepth) return 0;
        uint64_t size = b->second.cb;
        if (isInternalBid(bid)) {
            const auto payload = blockPayload(bid);
            if (internalBlockKind(payload).btype != kBtypeXBlock) return 0;
            const XBLOCK x = XBLOCK::parse(payload);
            size = 0;
            for (Bid c : x.rgbid) size += sizeOf(c, depth + 1);
            if (size != x.lcbTotal) problem("block " + hex(bid) + ": lcbTotal " + std::to_string(x.lcbTotal) + " but children hold " + std::to_string(size));
        }
        dataSize[bid] = size;
        return size;
    };
    for (const auto& [bid, b] : blocks_) {
        try {
            if (isInternalBid(bid)) sizeOf(bid, 0);
        } catch (const Error& e) {
            problem(e.description());
        }
        const uint32_t expected = 1 + references[bid];
        if (b.cRef != expected)
            problem("block " + hex(bid) + ": cRef " + std::to_string(b.cRef) + ", but 1 + references = " + std::to_string(expected));
    }
}

void StoreReader::verifyOverlaps() {
    std::vector<Extent> all = extents_;
    const uint64_t spans = header_.root.ibFileEof > kFirstAMapOffset ? (header_.root.ibFileEof - kFirstAMapOffset) / kAMapSpan : 0;
    for (uint64_t s = 0; s < spans; ++s) {
        all.push_back({amapOffset(s), kPageSize, "AMap " + std::to_string(s)});
        if (spanHasPMap(s)) all.push_back({amapOffset(s) + kPageSize, kPageSize, "PMap " + std::to_string(s)});
        if (spanHasFMap(s)) all.push_back({amapOffset(s) + kFMapOffsetInSpan, kPageSize, "FMap " + std::to_string(s)});
        if (spanHasFPMap(s)) all.push_back({amapOffset(s) + kFPMapOffsetInSpan, kPageSize, "FPMap " + std::to_string(s)});
    }
    std::sort(all.begin(), all.end(), [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].offset < kFirstAMapOffset || all[i].offset + all[i].size > header_.root.ibFileEof)
            problem(all[i].what + " lies outside the mapped file");
        if (i > 0 && all[i - 1].offset + all[i - 1].size > all[i].offset) problem(all[i - 1].what + " overlaps " + all[i].what);
    }
}

// A PMap or FPMap: present with a valid trailer; what it says is deprecated and not checked.
void StoreReader::checkFixedMapPage(uint64_t ib, uint8_t ptype, const std::string& what) {
    PageBytes p{};
    readAt(ib, p);
    const PAGETRAILER t = pageTrailerOf(p);
    if (!pageTrailerValid(p, ib) || t.ptype != ptype || t.bid != ib) problem(what + ": bad trailer");
}

void StoreReader::verifyMaps() {
    const HEADER& h = header_;
    if (h.root.ibFileEof < kFirstAMapOffset + kAMapSpan) return;
    const uint64_t spans = (h.root.ibFileEof - kFirstAMapOffset) / kAMapSpan;
    if (h.root.ibAMapLast != amapOffset(spans - 1)) problem("header: ibAMapLast " + hex(h.root.ibAMapLast));

    // What must be marked: map pages, BT pages and blocks, in 64-byte units per span.
    std::vector<std::vector<bool>> used(spans, std::vector<bool>(kAMapUnitsPerPage, false));
    auto mark = [&](uint64_t offset, uint32_t size) {
        if (offset < kFirstAMapOffset) return;
        for (uint64_t o = offset; o < offset + size; o += kBlockAlign) {
            const uint64_t span = (o - kFirstAMapOffset) / kAMapSpan;
            if (span < spans) used[span][((o - kFirstAMapOffset) % kAMapSpan) / kBlockAlign] = true;
        }
    };
    for (uint64_t s = 0; s < spans; ++s) {
        mark(amapOffset(s), kPageSize);
        if (spanHasPMap(s)) mark(amapOffset(s) + kPageSize, kPageSize);
        if (spanHasFMap(s)) mark(amapOffset(s) + kFMapOffsetInSpan, kPageSize);
        if (spanHasFPMap(s)) mark(amapOffset(s) + kFPMapOffsetInSpan, kPageSize);
    }
    for (const Extent& e : extents_) mark(e.offset, e.size);

    uint64_t freeBytes = 0;
    std::vector<uint8_t> longestRuns(spans);
    for (uint64_t s = 0; s < spans; ++s) {
        const uint64_t ib = amapOffset(s);
        PageBytes page{};
        readAt(ib, page);
        const PAGETRAILER t = pageTrailerOf(page);
        if (!pageTrailerValid(page, ib) || t.ptype != kPtypeAMap || t.bid != ib)
            problem("AMap " + std::to_string(s) + " at " + hex(ib) + ": bad trailer");
        const MAPPAGE amap = MAPPAGE::parse(page);
        longestRuns[s] = static_cast<uint8_t>(longestZeroRun(amap.rgbMapBits));
        unsigned reported = 0;
        for (uint32_t u = 0; u < kAMapUnitsPerPage; ++u) {
            const bool bit = amapBit(amap.rgbMapBits, u);
            if (!bit) freeBytes += kBlockAlign;
            if (bit == used[s][u] || reported >= 3) continue;
            ++reported;
            problem("AMap " + std::to_string(s) + ": unit at " + hex(ib + uint64_t{u} * kBlockAlign) +
                    (bit ? " marked used but nothing is there (leak)" : " in use but marked free"));
        }
        if (spanHasPMap(s)) checkFixedMapPage(ib + kPageSize, kPtypePMap, "PMap in span " + std::to_string(s));
        if (spanHasFPMap(s)) checkFixedMapPage(ib + kFPMapOffsetInSpan, kPtypeFPMap, "FPMap in span " + std::to_string(s));
    }
    for (uint64_t s = 0; s < spans; ++s) {
        if (!spanHasFMap(s)) continue;
        const uint64_t fib = amapOffset(s) + kFMapOffsetInSpan;
        PageBytes p{};
        readAt(fib, p);
        const PAGETRAILER ft = pageTrailerOf(p);
        if (!pageTrailerValid(p, fib) || ft.ptype != kPtypeFMap || ft.bid != fib)
            problem("FMap at " + hex(fib) + ": bad trailer");
        const MAPPAGE fmap = MAPPAGE::parse(p);
        for (uint64_t i = 0; i < kAMapsPerFMap && s + i < spans; ++i)
            if (fmap.rgbMapBits[i] != longestRuns[s + i])
                problem("FMap at " + hex(fib) + ": entry " + std::to_string(i) + " is " + std::to_string(fmap.rgbMapBits[i]) +
                        ", the AMap's longest free run is " + std::to_string(longestRuns[s + i]));
    }
    if (freeBytes != h.root.cbAMapFree)
        problem("header: cbAMapFree " + std::to_string(h.root.cbAMapFree) + " but the AMaps hold " +
                std::to_string(freeBytes) + " free bytes" + (freeBytes < h.root.cbAMapFree ? " (leak)" : ""));

    PageBytes dlist{};
    readAt(kDListOffset, dlist);
    const PAGETRAILER dt = pageTrailerOf(dlist);
    if (dt.ptype != kPtypeDL || !pageTrailerValid(dlist, kDListOffset)) problem("DList at 0x4200: bad trailer");
}

}  // namespace pst::readback
