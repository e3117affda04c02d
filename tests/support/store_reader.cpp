// Reads a PST file at the node-database level straight from disk and checks its structure.
// It shares the on-disk structure definitions and tree walks with the writer, none of its state.
#include "store_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pst/core/permute.h"
#include "pst/disk/block.h"
#include "pst/disk/page.h"
#include "store_reader_util.h"
#include "zentra/error.h"

namespace pst::readback {

using zentra::Error;
using namespace pst::disk;
using namespace reader_util;

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

std::vector<std::vector<uint8_t>> StoreReader::readBlocks(Bid root) {
    if (!root) return {};
    return dataTreeLeaves(root, [this](Bid bid) { return blockPayload(bid); });
}

std::vector<uint8_t> StoreReader::readData(Bid root) {
    std::vector<uint8_t> all;
    for (auto& b : readBlocks(root)) all.insert(all.end(), b.begin(), b.end());
    return all;
}

std::vector<SubnodeEntry> StoreReader::readSubnodeTree(Bid root) {
    std::vector<SubnodeEntry> out;
    if (!root) return out;
    for (const SLENTRY& e : subnodeTreeEntries(root, [this](Bid bid) { return blockPayload(bid); }))
        out.push_back({static_cast<Nid>(e.nid), e.bidData, e.bidSub});
    return out;
}

}  // namespace pst::readback
