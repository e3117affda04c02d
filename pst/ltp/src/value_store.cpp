#include "value_store.h"

#include <string>

#include "hex.h"
#include "zentra/error.h"

namespace pst::ltp {

Nid SubnodeNids::next() {
    if (index_ >= (1u << 27) - 1)
        throw zentra::Error(zentra::kErrInvalidArgument, "subnode ids of one node are exhausted");
    return makeNid(kNidTypeLtp, ++index_);
}

ValuePlacer::~ValuePlacer() {
    for (const ndb::SubnodeEntry& entry : subnodes_) {
        try {
            if (entry.data) db_.release(entry.data);
        } catch (...) {
            // Already failing; a leaked block is reclaimed by nothing worse than wasted space.
        }
    }
}

Hnid ValuePlacer::place(std::span<const uint8_t> bytes) {
    // Outlook stores an empty string or binary as HNID 0 rather than as an empty heap item.
    if (bytes.empty()) return 0;
    if (bytes.size() <= kMaxHeapItem) return heap_.allocate(bytes);
    return adoptSubnode(db_.writeData(bytes));
}

Nid ValuePlacer::adoptSubnode(Bid data) {
    subnodes_.push_back({0, data, 0});
    Nid nid = nids_.next();
    subnodes_.back().nid = nid;
    return nid;
}

ValueSource::ValueSource(ndb::NodeDatabase& db, const HeapReader& heap, Bid subnodes) : db_(db), heap_(heap) {
    if (subnodes == 0) return;
    for (const ndb::SubnodeEntry& entry : db.readSubnodeTree(subnodes)) subnodes_[entry.nid] = entry.data;
}

Bid ValueSource::subnodeData(Nid nid) const {
    auto it = subnodes_.find(nid);
    if (it == subnodes_.end())
        throw zentra::Error(zentra::kErrStoreCorrupt, "value refers to missing subnode " + hexString(nid));
    return it->second;
}

std::vector<uint8_t> ValueSource::read(Hnid hnid) const {
    if (hnid == 0) return {};   // an empty value
    if (disk::hnidIsHid(hnid)) {
        std::span<const uint8_t> item = heap_.item(hnid);
        return {item.begin(), item.end()};
    }
    Bid data = subnodeData(hnid);
    return data ? db_.readData(data) : std::vector<uint8_t>{};
}

std::vector<std::vector<uint8_t>> ValueSource::readSubnodeBlocks(Nid nid) const {
    Bid data = subnodeData(nid);
    return data ? db_.readBlocks(data) : std::vector<std::vector<uint8_t>>{};
}

}  // namespace pst::ltp
