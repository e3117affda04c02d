// Blocks, data trees (XBLOCK / XXBLOCK), subnode trees (SLBLOCK / SIBLOCK), reference counts
// and the readers of all of them. Blocks reach the disk as soon as they are written, always
// into space that no committed structure uses.
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

uint64_t NodeDatabaseImpl::allocate(uint32_t bytes, uint32_t align) {
    const uint64_t before = space_.fileEof();
    const uint64_t ib = space_.allocate(bytes, align);
    if (space_.fileEof() != before) file_->truncate(space_.fileEof());
    return ib;
}

Bid NodeDatabaseImpl::writeBlock(std::span<const uint8_t> payload, bool internal) {
    requireBlockPayload(payload.size());
    const Bid bid = header_.bidNextB | (internal ? kBidInternalFlag : 0);
    header_.bidNextB += kBidStep;
    const uint32_t cb = static_cast<uint32_t>(payload.size());
    const uint64_t ib = allocate(blockSizeOnDisk(cb), kBlockAlign);
    // One buffer serves every block: payload, in-place encoding, padding and trailer.
    std::vector<uint8_t>& image = blockImage_;
    image.resize(blockSizeOnDisk(cb));
    std::copy(payload.begin(), payload.end(), image.begin());
    if (!internal && options_.encoding == Encoding::Permute) core::encodePermute(std::span(image).first(cb));
    sealBlockImage(image, cb, ib, bid);
    file_->writeAt(ib, image);
    // One reference for whoever receives the BID (the caller, or the parent block).
    bbt_.insert(BbtRecord{bid, ib, static_cast<uint16_t>(cb), 2});
    return bid;
}

// The callers have checked with requireDataTreeFits before writing the leaves.
Bid NodeDatabaseImpl::writeDataTree(const std::vector<Bid>& leaves, const std::vector<uint32_t>& sizes) {
    if (leaves.size() == 1) return leaves.front();
    const size_t perX = XBLOCK::kMaxEntries;
    uint64_t total = 0;
    for (uint32_t s : sizes) total += s;

    std::vector<Bid> xblocks;
    for (size_t first = 0; first < leaves.size(); first += perX) {
        const size_t last = std::min(leaves.size(), first + perX);
        XBLOCK x;
        x.cLevel = 1;
        x.rgbid.assign(leaves.begin() + first, leaves.begin() + last);
        for (size_t i = first; i < last; ++i) x.lcbTotal += sizes[i];
        xblocks.push_back(writeBlock(x.serialize(), true));
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

Bid NodeDatabaseImpl::writeBlocksReusing(std::vector<Leaf>& leaves) {
    return guarded("while writing data to", [&]() -> Bid {
        if (leaves.empty()) return 0;
        // Everything is checked before anything is written or shared.
        std::vector<uint32_t> sizes;
        sizes.reserve(leaves.size());
        uint64_t total = 0;
        for (const Leaf& leaf : leaves) {
            if (leaf.existing) {
                if (isInternalBid(leaf.existing))
                    throw Error(zentra::kErrInvalidArgument, "only data blocks can be shared as leaves");
                sizes.push_back(requireBlock(leaf.existing, "shared leaf").cb);
            } else {
                requireBlockPayload(leaf.payload.size());
                sizes.push_back(static_cast<uint32_t>(leaf.payload.size()));
            }
            total += sizes.back();
        }
        requireDataTreeFits(leaves.size(), total);
        std::vector<Bid> bids;
        bids.reserve(leaves.size());
        for (Leaf& leaf : leaves) {
            if (leaf.existing) {
                BbtRecord r = requireBlock(leaf.existing, "shared leaf");
                if (r.cRef == UINT16_MAX)
                    throw Error(zentra::kErrInvalidArgument, "block " + std::to_string(r.bid) + " is shared too often");
                ++r.cRef;
                bbt_.update(r);
            } else {
                leaf.existing = writeBlock(leaf.payload, false);
                leaf.payload = {};
            }
            bids.push_back(leaf.existing);
        }
        return writeDataTree(bids, sizes);
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

void NodeDatabaseImpl::addRef(Bid root) {
    guarded("while sharing a tree in", [&] {
        BbtRecord r = requireBlock(root, "tree");
        if (r.cRef == UINT16_MAX) throw Error(zentra::kErrInvalidArgument, "block " + std::to_string(root) + " is shared too often");
        ++r.cRef;
        bbt_.update(r);
    });
}

void NodeDatabaseImpl::release(Bid root) {
    guarded("while releasing a tree in", [&] {
        requireBlock(root, "tree");
        releaseRef(root);
    });
}

void NodeDatabaseImpl::releaseRef(Bid bid) {
    BbtRecord r = requireBlock(bid, "block");
    if (r.cRef <= 2) {
        freeTree(bid);
        return;
    }
    --r.cRef;
    bbt_.update(r);
}

// The block's last reference is gone: drop it from the BBT, free its space (reusable after the
// next commit) and give back the references it held on its children.
void NodeDatabaseImpl::freeTree(Bid bid) {
    const BbtRecord r = requireBlock(bid, "block");
    std::vector<Bid> children;
    if (isInternalBid(bid)) children = internalBlockChildren(readBlockPayload(r));
    bbt_.erase(bid);
    space_.free(r.ib, blockSizeOnDisk(r.cb));
    for (Bid child : children) releaseRef(child);
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
