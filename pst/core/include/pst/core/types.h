#pragma once
// Identifiers shared by every PST layer ([MS-PST] 2.2.2.1, 2.2.2.2, 2.3.1.1).
#include <cstdint>

namespace pst {

using Nid = uint32_t;   // node id: low 5 bits type, high 27 bits index
using Bid = uint64_t;   // block/page id; bit 1 marks internal blocks
using Hid = uint32_t;   // heap id inside a heap-on-node
using Hnid = uint32_t;  // an HID, or a subnode NID when the value lives in a subnode

enum NidType : uint32_t {
    kNidTypeHid = 0x00,
    kNidTypeInternal = 0x01,
    kNidTypeNormalFolder = 0x02,
    kNidTypeSearchFolder = 0x03,
    kNidTypeNormalMessage = 0x04,
    kNidTypeAttachment = 0x05,
    kNidTypeSearchUpdateQueue = 0x06,
    kNidTypeSearchCriteriaObject = 0x07,
    kNidTypeAssocMessage = 0x08,
    kNidTypeContentsTableIndex = 0x0A,
    kNidTypeReceiveFolderTable = 0x0B,
    kNidTypeOutgoingQueueTable = 0x0C,
    kNidTypeHierarchyTable = 0x0D,
    kNidTypeContentsTable = 0x0E,
    kNidTypeAssocContentsTable = 0x0F,
    kNidTypeSearchContentsTable = 0x10,
    kNidTypeAttachmentTable = 0x11,
    kNidTypeRecipientTable = 0x12,
    kNidTypeSearchTableIndex = 0x13,
    kNidTypeLtp = 0x1F,
};

constexpr Nid makeNid(NidType type, uint32_t index) { return (index << 5) | type; }
constexpr NidType nidType(Nid nid) { return static_cast<NidType>(nid & 0x1F); }
constexpr uint32_t nidIndex(Nid nid) { return nid >> 5; }

// Largest payload of one data block: 8192 bytes less the 16-byte trailer.
constexpr uint32_t kMaxBlockData = 8176;

}  // namespace pst
