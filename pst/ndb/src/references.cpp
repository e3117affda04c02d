// Reference counts of blocks: taking and giving back references, freeing a tree when its last
// one goes, and the changes held until the commit writes them into the BBT.
#include <string>

#include "node_database_impl.h"
#include "pst/disk/block.h"
#include "zentra/error.h"

namespace pst::ndb {

using zentra::Error;
using namespace pst::disk;

uint32_t NodeDatabaseImpl::refCount(const BbtRecord& r) const {
    auto it = refChanges_.find(r.bid);
    return static_cast<uint32_t>(r.cRef + (it == refChanges_.end() ? 0 : it->second));
}

void NodeDatabaseImpl::requireRoomForRef(const BbtRecord& r) const {
    if (refCount(r) >= UINT16_MAX)
        throw Error(zentra::kErrInvalidArgument, "block " + std::to_string(r.bid) + " is shared too often");
}

void NodeDatabaseImpl::takeRef(const BbtRecord& r) {
    requireRoomForRef(r);
    ++refChanges_[r.bid];
}

void NodeDatabaseImpl::applyRefChanges() {
    for (const auto& [bid, change] : refChanges_) {
        if (change == 0) continue;
        BbtRecord r = requireBlock(bid, "block");
        r.cRef = static_cast<uint16_t>(r.cRef + change);
        bbt_.update(r);
    }
    refChanges_.clear();
}

void NodeDatabaseImpl::addRef(Bid root) {
    guarded("while sharing a tree in", [&] { takeRef(requireBlock(root, "tree")); });
}

void NodeDatabaseImpl::release(Bid root) {
    guarded("while releasing a tree in", [&] {
        requireBlock(root, "tree");
        releaseRef(root);
    });
}

void NodeDatabaseImpl::releaseRef(Bid bid) {
    if (refCount(requireBlock(bid, "block")) <= 2) {
        freeTree(bid);
        return;
    }
    --refChanges_[bid];
}

// The block's last reference is gone: drop it from the BBT, free its space (reusable after the
// next commit) and give back the references it held on its children.
void NodeDatabaseImpl::freeTree(Bid bid) {
    const BbtRecord r = requireBlock(bid, "block");
    std::vector<Bid> children;
    if (isInternalBid(bid)) {
        const std::vector<uint8_t> payload = readBlockPayload(r);
        children = internalBlockChildren(payload);
        // A full XBLOCK kept for sharing goes with the block.
        if (internalBlockKind(payload).btype == kBtypeXBlock && !children.empty()) {
            auto kept = fullXBlocks_.find(children.front());
            if (kept != fullXBlocks_.end() && kept->second.bid == bid) fullXBlocks_.erase(kept);
        }
    }
    bbt_.erase(bid);
    refChanges_.erase(bid);
    space_.free(r.ib, blockSizeOnDisk(r.cb));
    for (Bid child : children) releaseRef(child);
}

}  // namespace pst::ndb
