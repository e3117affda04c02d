// Reads a PST file at the node-database level straight from disk and checks its structure.
// It shares only the on-disk structure definitions with the writer, none of its state.
#include "pst/ndb/store_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "pst/core/permute.h"
#include "pst/disk/block.h"
#include "pst/disk/page.h"
#include "zentra/error.h"

namespace pst::ndb {

using zentra::Error;
using namespace pst::disk;

namespace {

constexpr int kMaxTreeDepth = 10;

std::string hex(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

bool amapBit(const std::array<uint8_t, kPageDataSize>& bits, uint32_t unit) {
    return (bits[unit / 8] >> (7 - unit % 8)) & 1;
}

uint32_t longestZeroRun(const std::array<uint8_t, kPageDataSize>& bits) {
    uint32_t best = 0, run = 0;
    for (uint32_t u = 0; u < kAMapUnitsPerPage; ++u) {
        run = amapBit(bits, u) ? 0 : run + 1;
        best = std::max(best, run);
    }
    return std::min<uint32_t>(best, 255);
}

bool spanHasPMap(uint64_t span) { return span % kAMapsPerPMap == 0; }
bool spanHasFMap(uint64_t span) {
    return span >= kAMapsCoveredByHeaderFM && (span - kAMapsCoveredByHeaderFM) % kAMapsPerFMap == 0;
}

}  // namespace

StoreReader::StoreReader(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Error(zentra::kErrFileNotFound, "cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    ::fstat(fd_, &st);
    fileSize_ = static_cast<uint64_t>(st.st_size);
    std::array<uint8_t, HEADER::kSize> bytes{};
    if (fileSize_ < bytes.size()) {
        ::close(fd_);
        throw Error(zentra::kErrStoreCorrupt, path + " is too short for a PST header");
    }
    readAt(0, bytes);
    header_ = HEADER::parse(bytes);
    headerCrcOk_ = headerCrcsValid(bytes);
    if (header_.wVer < 23) {
        ::close(fd_);
        throw Error(zentra::kErrStoreCorrupt, path + " is not a Unicode PST file (wVer " + std::to_string(header_.wVer) + ")");
    }
    try {
        walkTree(header_.root.BREFNBT.ib, header_.root.BREFNBT.bid, kPtypeNBT, -1, 0, true, nbtLevels_, 0);
        walkTree(header_.root.BREFBBT.ib, header_.root.BREFBBT.bid, kPtypeBBT, -1, 0, true, bbtLevels_, 0);
    } catch (const Error& e) {
        problem("B-tree walk stopped: " + e.description());
    }
}

StoreReader::~StoreReader() {
    if (fd_ >= 0) ::close(fd_);
}

void StoreReader::readAt(uint64_t offset, std::span<uint8_t> out) {
    if (offset > fileSize_ || out.size() > fileSize_ - offset)
        throw Error(zentra::kErrStoreCorrupt, "range " + hex(offset) + "+" + std::to_string(out.size()) +
                                                  " lies beyond the end of " + path_);
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n <= 0) throw Error(zentra::kErrDeviceIO, "reading " + path_ + ": " + std::strerror(errno));
        done += static_cast<size_t>(n);
    }
}

void StoreReader::walkTree(uint64_t ib, Bid bid, uint8_t ptype, int expectedLevel, uint64_t expectedFirstKey,
                           bool isRoot, unsigned& levels, int depth) {
    const std::string name = std::string(ptype == kPtypeNBT ? "NBT" : "BBT") + " page at " + hex(ib);
    if (depth > kMaxTreeDepth) throw Error(zentra::kErrStoreCorrupt, name + " nested too deeply");
    if (ib % kPageSize != 0) problem(name + " is not 512-aligned");
    PageBytes page{};
    readAt(ib, page);
    extents_.push_back({ib, kPageSize, name});
    if (!pageTrailerValid(page, ib)) problem(name + ": trailer CRC, signature or ptypeRepeat wrong");
    const PAGETRAILER t = pageTrailerOf(page);
    if (t.ptype != ptype) problem(name + ": ptype " + hex(t.ptype));
    if (t.bid != bid) problem(name + ": trailer bid " + hex(t.bid) + " but referenced as " + hex(bid));
    if (t.bid >= header_.bidNextP) problem(name + ": bid " + hex(t.bid) + " not below bidNextP");
    const BTPAGE p = BTPAGE::parse(page);
    if (isRoot) {
        levels = p.cLevel + 1u;
    } else if (p.cLevel != expectedLevel) {
        problem(name + ": cLevel " + std::to_string(p.cLevel) + ", expected " + std::to_string(expectedLevel));
        return;
    }
    const bool leaf = p.cLevel == 0;
    const uint8_t wantCbEnt = leaf ? (ptype == kPtypeNBT ? NBTENTRY::kSize : BBTENTRY::kSize) : BTENTRY::kSize;
    const uint8_t wantMax = leaf ? (ptype == kPtypeNBT ? BTPAGE::kNbtLeafMax : BTPAGE::kBbtLeafMax) : BTPAGE::kIntermediateMax;
    if (p.cbEnt != wantCbEnt || p.cEntMax != wantMax)
        problem(name + ": cbEnt " + std::to_string(p.cbEnt) + " / cEntMax " + std::to_string(p.cEntMax));
    if (p.cEnt > p.cEntMax) problem(name + ": cEnt above cEntMax");
    if (p.cEnt == 0 && !(isRoot && leaf)) problem(name + ": empty non-root page");
    if (p.dwPadding != 0) problem(name + ": dwPadding not zero");
    uint64_t previous = 0;
    for (size_t i = 0; i < p.cEnt; ++i) {
        const auto e = p.entry(i);
        uint64_t key = 0;
        if (!leaf) {
            const BTENTRY b = BTENTRY::parse(e);
            key = b.btkey;
            walkTree(b.BREF.ib, b.BREF.bid, ptype, p.cLevel - 1, b.btkey, false, levels, depth + 1);
        } else if (ptype == kPtypeNBT) {
            const NBTENTRY n = NBTENTRY::parse(e);
            key = n.nid;
            if (!nodes_.emplace(static_cast<Nid>(n.nid), NodeInfo{static_cast<Nid>(n.nid), n.bidData, n.bidSub, n.nidParent}).second)
                problem(name + ": NID " + hex(n.nid) + " appears twice");
        } else {
            const BBTENTRY b = BBTENTRY::parse(e);
            key = b.BREF.bid;
            if (!blocks_.emplace(b.BREF.bid, BlockInfo{b.BREF.bid, b.BREF.ib, b.cb, b.cRef}).second)
                problem(name + ": BID " + hex(b.BREF.bid) + " appears twice");
        }
        if (i == 0 && !isRoot && key != expectedFirstKey)
            problem(name + ": first key " + hex(key) + " differs from the parent's key " + hex(expectedFirstKey));
        if (i > 0 && key <= previous) problem(name + ": keys not ascending at entry " + std::to_string(i));
        previous = key;
    }
}

std::vector<uint8_t> StoreReader::blockPayload(Bid bid) {
    auto it = blocks_.find(bid);
    if (it == blocks_.end()) throw Error(zentra::kErrStoreCorrupt, "BID " + hex(bid) + " is not in the BBT");
    const BlockInfo& b = it->second;
    std::vector<uint8_t> image(blockSizeOnDisk(b.cb));
    readAt(b.ib, image);
    const BLOCKTRAILER t = blockTrailerOf(image);
    if (t.bid != bid || t.cb != b.cb || !blockTrailerValid(image, b.ib))
        throw Error(zentra::kErrStoreCorrupt, "block " + hex(bid) + " at " + hex(b.ib) + " fails its trailer check");
    image.resize(b.cb);
    if (!isInternalBid(bid) && header_.bCryptMethod == kCryptPermute) core::decodePermute(image);
    return image;
}

void StoreReader::collectLeaves(Bid bid, std::vector<std::vector<uint8_t>>& out, int depth) {
    if (depth > kMaxTreeDepth) throw Error(zentra::kErrStoreCorrupt, "data tree nested too deeply");
    std::vector<uint8_t> payload = blockPayload(bid);
    if (!isInternalBid(bid)) {
        out.push_back(std::move(payload));
        return;
    }
    for (Bid child : XBLOCK::parse(payload).rgbid) collectLeaves(child, out, depth + 1);
}

std::vector<std::vector<uint8_t>> StoreReader::readBlocks(Bid root) {
    std::vector<std::vector<uint8_t>> out;
    if (root) collectLeaves(root, out, 0);
    return out;
}

std::vector<uint8_t> StoreReader::readData(Bid root) {
    std::vector<uint8_t> all;
    for (auto& b : readBlocks(root)) all.insert(all.end(), b.begin(), b.end());
    return all;
}

std::vector<SubnodeEntry> StoreReader::readSubnodeTree(Bid root) {
    std::vector<SubnodeEntry> out;
    if (!root) return out;
    const std::vector<uint8_t> payload = blockPayload(root);
    std::vector<std::vector<uint8_t>> leaves;
    if (internalBlockKind(payload).cLevel == 0) {
        leaves.push_back(payload);
    } else {
        for (const SIENTRY& e : SIBLOCK::parse(payload).rgentries) leaves.push_back(blockPayload(e.bid));
    }
    for (const auto& leaf : leaves)
        for (const SLENTRY& e : SLBLOCK::parse(leaf).rgentries)
            out.push_back({static_cast<Nid>(e.nid), e.bidData, e.bidSub});
    return out;
}

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
            if (kind.btype == kBtypeXBlock) {
                const XBLOCK x = XBLOCK::parse(payload);
                if (payload.size() != XBLOCK::kHeaderSize + 8 * x.rgbid.size()) problem(name + ": cb does not match cEnt");
                for (Bid c : x.rgbid) {
                    ref(c);
                    if (isInternalBid(c) != (x.cLevel == 2)) problem(name + ": child " + hex(c) + " has the wrong kind");
                }
            } else if (kind.btype == kBtypeSubnode && kind.cLevel == 0) {
                const SLBLOCK s = SLBLOCK::parse(payload);
                if (payload.size() != SLBLOCK::kHeaderSize + SLENTRY::kSize * s.rgentries.size()) problem(name + ": cb does not match cEnt");
                for (size_t i = 0; i < s.rgentries.size(); ++i) {
                    const SLENTRY& e = s.rgentries[i];
                    if (i > 0 && static_cast<uint32_t>(e.nid) <= static_cast<uint32_t>(s.rgentries[i - 1].nid))
                        problem(name + ": SLENTRY NIDs not ascending");
                    if (!e.bidData) problem(name + ": SLENTRY without data");
                    if (e.bidData) ref(e.bidData);
                    if (e.bidSub) ref(e.bidSub);
                }
            } else if (kind.btype == kBtypeSubnode && kind.cLevel == 1) {
                const SIBLOCK s = SIBLOCK::parse(payload);
                if (payload.size() != SIBLOCK::kHeaderSize + SIENTRY::kSize * s.rgentries.size()) problem(name + ": cb does not match cEnt");
                for (size_t i = 0; i < s.rgentries.size(); ++i) {
                    const SIENTRY& e = s.rgentries[i];
                    if (i > 0 && static_cast<uint32_t>(e.nid) <= static_cast<uint32_t>(s.rgentries[i - 1].nid))
                        problem(name + ": SIENTRY NIDs not ascending");
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
    }
    std::sort(all.begin(), all.end(), [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].offset < kFirstAMapOffset || all[i].offset + all[i].size > header_.root.ibFileEof)
            problem(all[i].what + " lies outside the mapped file");
        if (i > 0 && all[i - 1].offset + all[i - 1].size > all[i].offset) problem(all[i - 1].what + " overlaps " + all[i].what);
    }
}

void StoreReader::verifyMaps() {
    const HEADER& h = header_;
    if (h.root.ibFileEof < kFirstAMapOffset + kAMapSpan) return;
    const uint64_t spans = (h.root.ibFileEof - kFirstAMapOffset) / kAMapSpan;
    if (spans > kFirstAMapNeedingFPMap) problem("file needs FPMap pages, which this check does not read");
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
        if (spanHasPMap(s)) {
            PageBytes p{};
            readAt(ib + kPageSize, p);
            const PAGETRAILER pt = pageTrailerOf(p);
            if (!pageTrailerValid(p, ib + kPageSize) || pt.ptype != kPtypePMap || pt.bid != ib + kPageSize)
                problem("PMap in span " + std::to_string(s) + ": bad trailer");
        }
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

}  // namespace pst::ndb
