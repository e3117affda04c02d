// Blocks, data trees (XBLOCK / XXBLOCK), subnode trees (SLBLOCK / SIBLOCK) and the readers of
// all of them; their reference counts are in references.cpp. Blocks reach the disk as soon as
// they are written, always into space that no committed structure uses.
#include <algorithm>
#include <string>

#include "node_database_impl.h"
#include "pst/core/permute.h"
#include "pst/disk/block.h"
#include "zentra/error.h"

namespace pst::ndb {

using zentra::Error;
using namespace pst::disk;

namespace {
// Deepest nesting of internal blocks a valid tree can have (XXBLOCK > XBLOCK > data, or
// SIBLOCK > SLBLOCK > subnode trees of their own); guards against cycles in a damaged file.
constexpr int kMaxDepth = 32;

// The writers' argument checks, made before anything is written.
void requireBlockPayload(size_t size) {
    if (size == 0 || size > kMaxBlockPayload)
        throw Error(zentra::kErrInvalidArgument, "a block holds 1.." + std::to_string(kMaxBlockPayload) +
                                                     " bytes, not " + std::to_string(size));
}

void requireDataTreeFits(size_t leaves, uint64_t totalBytes) {
    if (leaves > XBLOCK::kMaxEntries * XBLOCK::kMaxEntries)
        throw Error(zentra::kErrInvalidArgument, std::to_string(leaves) + " blocks do not fit one data tree");
    if (totalBytes > UINT32_MAX) throw Error(zentra::kErrInvalidArgument, "data larger than 4 GB cannot be stored");
}

}  // namespace

Bid NodeDatabaseImpl::writeBlock(std::span<const uint8_t> payload, bool internal) {
    requireBlockPayload(payload.size());
    const Bid bid = header_.bidNextB | (internal ? kBidInternalFlag : 0);
    header_.bidNextB += kBidStep;
    const uint32_t cb = static_cast<uint32_t>(payload.size());
    const uint64_t ib = allocate(blockSizeOnDisk(cb), kBlockAlign);
    // One buffer of the largest block size serves every block: payload, in-place encoding,
    // padding and trailer. Resizing it to each block instead zero-filled it again whenever a
    // block was larger than the one before, though sealBlockImage writes the padding anyway.
    if (blockImage_.size() < kMaxBlockSize) blockImage_.resize(kMaxBlockSize);
    const std::span<uint8_t> image = std::span(blockImage_).first(blockSizeOnDisk(cb));
    if (!internal && options_.encoding == Encoding::Permute) core::encodePermute(payload, std::span(image).first(cb));
    else std::copy(payload.begin(), payload.end(), image.begin());
    sealBlockImage(image, cb, ib, bid);
    file_->writeAt(ib, image);
    // One reference for whoever receives the BID (the caller, or the parent block).
    bbt_.insert(BbtRecord{bid, ib, static_cast<uint16_t>(cb), 2});
    return bid;
}

// The callers have checked with requireDataTreeFits before writing the leaves.
Bid NodeDatabaseImpl::writeDataTree(const std::vector<Bid>& leaves, const std::vector<uint32_t>& sizes,
                                    const std::vector<const FullXBlock*>& shared, bool remember) {
    const size_t perX = XBLOCK::kMaxEntries;
    if (leaves.size() == 1) return leaves.front();
    std::vector<Bid> xblocks;
    uint64_t total = 0;
    for (size_t first = 0; first < leaves.size(); first += perX) {
        const size_t group = first / perX;
        if (group < shared.size() && shared[group]) {
            xblocks.push_back(shared[group]->bid);
            total += shared[group]->lcbTotal;
            continue;
        }
        const size_t last = std::min(leaves.size(), first + perX);
        XBLOCK x;
        x.cLevel = 1;
        x.rgbid.assign(leaves.begin() + first, leaves.begin() + last);
        for (size_t i = first; i < last; ++i) x.lcbTotal += sizes[i];
        total += x.lcbTotal;   // at most 4 GB: the callers check the sizes before writing anything
        xblocks.push_back(writeBlock(x.serialize(), true));
        if (remember && x.rgbid.size() == perX) {
            const Bid firstLeaf = x.rgbid.front();
            fullXBlocks_[firstLeaf] = FullXBlock{xblocks.back(), x.lcbTotal, std::move(x.rgbid)};
        }
    }
    if (xblocks.size() == 1) return xblocks.front();
    XBLOCK xx;
    xx.cLevel = 2;
    xx.rgbid = xblocks;
    xx.lcbTotal = static_cast<uint32_t>(total);
    return writeBlock(xx.serialize(), true);
}

uint64_t NodeDatabase::dataTreeSize(std::span<const uint32_t> payloadSizes) {
    uint64_t total = 0;
    for (uint32_t s : payloadSizes) total += s;
    const size_t leaves = payloadSizes.size();
    if (leaves <= 1) return total;
    // Mirrors writeDataTree: XBLOCKs of up to kMaxEntries BIDs, an XXBLOCK above more than one.
    const size_t perX = XBLOCK::kMaxEntries;
    const size_t xblocks = (leaves + perX - 1) / perX;
    total += xblocks * XBLOCK::kHeaderSize + 8 * leaves;
    if (xblocks > 1) total += XBLOCK::kHeaderSize + 8 * xblocks;
    return total;
}

uint64_t NodeDatabase::subnodeBlocksSize(size_t entryCount) {
    if (entryCount == 0) return 0;
    // Mirrors writeSubnodeTree: SLBLOCKs of up to kMaxEntries entries, an SIBLOCK above more than one.
    const size_t slblocks = (entryCount + SLBLOCK::kMaxEntries - 1) / SLBLOCK::kMaxEntries;
    uint64_t total = slblocks * SLBLOCK::kHeaderSize + SLENTRY::kSize * entryCount;
    if (slblocks > 1) total += SIBLOCK::kHeaderSize + SIENTRY::kSize * slblocks;
    return total;
}

Bid NodeDatabaseImpl::writeBlocks(const std::vector<std::vector<uint8_t>>& payloads) {
    return guarded("while writing data to", [&]() -> Bid {
        if (payloads.empty()) return 0;
        uint64_t total = 0;
        for (const auto& p : payloads) {
            requireBlockPayload(p.size());
            total += p.size();
        }
        requireDataTreeFits(payloads.size(), total);
        std::vector<Bid> leaves;
        std::vector<uint32_t> sizes;
        for (const auto& p : payloads) {
            leaves.push_back(writeBlock(p, false));
            sizes.push_back(static_cast<uint32_t>(p.size()));
        }
        return writeDataTree(leaves, sizes);
    });
}

Bid NodeDatabase::writeBlocksReusing(std::vector<Leaf>& leaves) {
    std::vector<std::vector<uint8_t>> payloads;
    payloads.reserve(leaves.size());
    for (const Leaf& leaf : leaves) {
        if (leaf.existing) payloads.push_back(readData(leaf.existing));
        else payloads.emplace_back(leaf.payload.begin(), leaf.payload.end());
    }
    return writeBlocks(payloads);
}

const NodeDatabaseImpl::FullXBlock* NodeDatabaseImpl::sharedXBlockFor(const std::vector<Leaf>& leaves,
                                                                       size_t first) const {
    const size_t perX = XBLOCK::kMaxEntries;
    if (leaves.size() - first < perX || !leaves[first].existing) return nullptr;
    auto it = fullXBlocks_.find(leaves[first].existing);
    if (it == fullXBlocks_.end()) return nullptr;
    for (size_t i = 0; i < perX; ++i)
        if (leaves[first + i].existing != it->second.leaves[i]) return nullptr;
    return &it->second;
}

Bid NodeDatabaseImpl::writeBlocksReusing(std::vector<Leaf>& leaves) {
    return guarded("while writing data to", [&]() -> Bid {
        if (leaves.empty()) return 0;
        const size_t perX = XBLOCK::kMaxEntries;
        // A full group of leaves that an XBLOCK of an earlier tree holds as they are is shared
        // whole: one reference to the XBLOCK instead of one to each of its 1,021 leaves.
        std::vector<const FullXBlock*> shared((leaves.size() + perX - 1) / perX, nullptr);
        if (leaves.size() > 1)
            for (size_t first = 0; first < leaves.size(); first += perX) shared[first / perX] = sharedXBlockFor(leaves, first);
        // Everything else is checked before anything is written or shared.
        std::vector<uint32_t> sizes(leaves.size(), 0);
        uint64_t total = 0;
        for (size_t i = 0; i < leaves.size(); ++i) {
            const Leaf& leaf = leaves[i];
            if (shared[i / perX]) continue;
            if (leaf.existing) {
                if (isInternalBid(leaf.existing))
                    throw Error(zentra::kErrInvalidArgument, "only data blocks can be shared as leaves");
                const BbtRecord r = requireBlock(leaf.existing, "shared leaf");
                requireRoomForRef(r);
                sizes[i] = r.cb;
            } else {
                requireBlockPayload(leaf.payload.size());
                sizes[i] = static_cast<uint32_t>(leaf.payload.size());
            }
            total += sizes[i];
        }
        for (const FullXBlock* x : shared) {
            if (!x) continue;
            requireRoomForRef(requireBlock(x->bid, "shared XBLOCK"));
            total += x->lcbTotal;
        }
        requireDataTreeFits(leaves.size(), total);

        for (const FullXBlock* x : shared)
            if (x) takeRef(requireBlock(x->bid, "shared XBLOCK"));
        std::vector<Bid> bids(leaves.size(), 0);
        for (size_t i = 0; i < leaves.size(); ++i) {
            Leaf& leaf = leaves[i];
            if (shared[i / perX]) {
                bids[i] = leaf.existing;
            } else if (leaf.existing) {
                takeRef(requireBlock(leaf.existing, "shared leaf"));
                bids[i] = leaf.existing;
            } else {
                leaf.existing = bids[i] = writeBlock(leaf.payload, false);
                leaf.payload = {};
            }
        }
        return writeDataTree(bids, sizes, shared, true);
    });
}

Bid NodeDatabaseImpl::writeData(std::span<const uint8_t> bytes) {
    return guarded("while writing data to", [&]() -> Bid {
        if (bytes.empty()) return 0;
        requireDataTreeFits((bytes.size() + kMaxBlockPayload - 1) / kMaxBlockPayload, bytes.size());
        std::vector<Bid> leaves;
        std::vector<uint32_t> sizes;
        for (size_t off = 0; off < bytes.size(); off += kMaxBlockPayload) {
            const size_t n = std::min<size_t>(kMaxBlockPayload, bytes.size() - off);
            leaves.push_back(writeBlock(bytes.subspan(off, n), false));
            sizes.push_back(static_cast<uint32_t>(n));
        }
        return writeDataTree(leaves, sizes);
    });
}

Bid NodeDatabaseImpl::writeSubnodeTree(std::vector<SubnodeEntry> entries) {
    return guarded("while writing a subnode tree to", [&]() -> Bid {
        if (entries.empty()) return 0;
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.nid < b.nid; });
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i > 0 && entries[i].nid == entries[i - 1].nid)
                throw Error(zentra::kErrInvalidArgument, "subnode NID " + std::to_string(entries[i].nid) + " appears twice");
            if (entries[i].data == 0) throw Error(zentra::kErrInvalidArgument, "a subnode needs a data tree");
            requireBlock(entries[i].data, "subnode data tree");
            if (entries[i].subnodes) requireBlock(entries[i].subnodes, "nested subnode tree");
        }
        const size_t perSl = SLBLOCK::kMaxEntries;
        if (entries.size() > perSl * SIBLOCK::kMaxEntries)
            throw Error(zentra::kErrInvalidArgument, std::to_string(entries.size()) + " subnodes do not fit one subnode tree");
        std::vector<SIENTRY> leaves;
        for (size_t first = 0; first < entries.size(); first += perSl) {
            const size_t last = std::min(entries.size(), first + perSl);
            SLBLOCK sl;
            for (size_t i = first; i < last; ++i)
                sl.rgentries.push_back({entries[i].nid, entries[i].data, entries[i].subnodes});
            leaves.push_back({entries[first].nid, writeBlock(sl.serialize(), true)});
        }
        if (leaves.size() == 1) return leaves.front().bid;
        SIBLOCK si;
        si.rgentries = leaves;
        return writeBlock(si.serialize(), true);
    });
}

BbtRecord NodeDatabaseImpl::requireBlock(Bid bid, const char* role) const {
    const BbtRecord* r = bbt_.find(bid);
    if (!r) throw Error(zentra::kErrInvalidArgument, std::string(role) + " " + std::to_string(bid) + " does not exist");
    return *r;
}

std::vector<uint8_t> NodeDatabaseImpl::readBlockPayload(const BbtRecord& r) {
    writeOutPending();
    std::vector<uint8_t> image(blockSizeOnDisk(r.cb));
    file_->readAt(r.ib, image);
    const BLOCKTRAILER t = blockTrailerOf(image);
    if (t.bid != r.bid || t.cb != r.cb || !blockTrailerValid(image, r.ib))
        throw Error(zentra::kErrStoreCorrupt, "block " + std::to_string(r.bid) + " at offset " + std::to_string(r.ib) +
                                                  " does not match its BBT entry or its CRC");
    image.resize(r.cb);
    if (!isInternalBid(r.bid) && header_.bCryptMethod == kCryptPermute) core::decodePermute(image);
    return image;
}

std::vector<std::vector<uint8_t>> NodeDatabaseImpl::readBlocks(Bid root) {
    checkUsable();
    if (!root) return {};
    return dataTreeLeaves(root, [&](Bid bid) { return readBlockPayload(requireBlock(bid, "block")); });
}

std::vector<uint8_t> NodeDatabaseImpl::readData(Bid root) {
    std::vector<uint8_t> all;
    for (auto& block : readBlocks(root)) all.insert(all.end(), block.begin(), block.end());
    return all;
}

std::vector<SubnodeEntry> NodeDatabaseImpl::readSubnodeTree(Bid root) {
    checkUsable();
    std::vector<SubnodeEntry> out;
    if (!root) return out;
    const auto payload = [&](Bid bid) { return readBlockPayload(requireBlock(bid, "subnode tree block")); };
    for (const SLENTRY& e : subnodeTreeEntries(root, payload))
        out.push_back(SubnodeEntry{static_cast<Nid>(e.nid), e.bidData, e.bidSub});
    return out;
}

uint64_t NodeDatabaseImpl::treeBytes(Bid bid, int depth) {
    if (depth > kMaxDepth) throw Error(zentra::kErrStoreCorrupt, "tree nested too deeply");
    const BbtRecord r = requireBlock(bid, "block");
    uint64_t total = r.cb;
    if (!isInternalBid(bid)) return total;
    for (Bid child : internalBlockChildren(readBlockPayload(r))) total += treeBytes(child, depth + 1);
    return total;
}

uint64_t NodeDatabaseImpl::treeSize(Bid root) {
    checkUsable();
    return root ? treeBytes(root, 0) : 0;
}

}  // namespace pst::ndb
