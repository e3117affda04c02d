#pragma once
// A property context that records the bytes its own node takes in the file (PidTagMessageSize,
// PidTagAttachSize). The size is a 32-bit value stored inline in its BTH record, so the node's
// layout does not depend on it: the node is laid out in memory, measured, and written once.
#include <cstdint>
#include <vector>

#include "pst/ltp/ltp.h"

namespace pst::ltp {

struct SizedNode {
    Bid data = 0;       // the property context's data tree (reference owned by the holder)
    Bid subnodes = 0;   // its subnode tree, or 0 (reference owned by the holder)
    uint64_t size = 0;  // bytes of both trees as stored, the value props[sizeId] received
};

// Writes props as a property context whose property sizeId (PtypInteger32) holds the size of
// the node: its data tree plus its subnode tree, which holds the subnodes of its own large
// values and extraSubnodes (references taken over). props[sizeId] is set to that size as well.
// Throws kErrInvalidArgument when the node would be 2 GB or larger.
SizedNode writeSizedPropertyContext(ndb::NodeDatabase& db, PropertyMap& props, uint16_t sizeId,
                                    std::vector<ndb::SubnodeEntry> extraSubnodes);

}  // namespace pst::ltp
