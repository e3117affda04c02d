#pragma once
// Where variable-size values of a property or table context live: in the node's heap while they
// fit one item, otherwise in a subnode of their own ([MS-PST] 2.3.3.3, 2.3.4.4.2).
#include <span>
#include <unordered_map>
#include <vector>

#include "pst/ltp/heap.h"
#include "pst/ltp/ltp.h"

namespace pst::ltp {

// Places values while a node is built. Owns the references of the subnodes it wrote until
// take() hands them over, so a failure halfway gives every written tree back.
class ValuePlacer {
public:
    ValuePlacer(ndb::NodeDatabase& db, HeapBuilder& heap, SubnodeNids& nids) : db_(db), heap_(heap), nids_(nids) {}
    ~ValuePlacer();
    ValuePlacer(const ValuePlacer&) = delete;
    ValuePlacer& operator=(const ValuePlacer&) = delete;

    Hnid place(std::span<const uint8_t> bytes);
    // A subnode holding a data tree written by the caller (reference handed over).
    Nid adoptSubnode(Bid data);
    std::vector<ndb::SubnodeEntry> take() { return std::move(subnodes_); }

private:
    ndb::NodeDatabase& db_;
    HeapBuilder& heap_;
    SubnodeNids& nids_;
    std::vector<ndb::SubnodeEntry> subnodes_;
};

// Resolves HNIDs of a stored node: HIDs in its heap, NIDs in its subnode tree.
class ValueSource {
public:
    ValueSource(ndb::NodeDatabase& db, const HeapReader& heap, Bid subnodes);
    std::vector<uint8_t> read(Hnid hnid) const;
    std::vector<std::vector<uint8_t>> readSubnodeBlocks(Nid nid) const;

private:
    Bid subnodeData(Nid nid) const;
    ndb::NodeDatabase& db_;
    const HeapReader& heap_;
    std::unordered_map<uint32_t, Bid> subnodes_;
};

}  // namespace pst::ltp
