#pragma once
// Property tags and fixed node ids ([MS-PST] 2.4.1, 2.7.1) of the messaging layer. A tag is
// id << 16 | type; the properties themselves are named in the MAPI vocabulary's catalogue
// (mapi/property_catalogue.h).
#include <cstdint>

#include "mapi/property_catalogue.h"
#include "pst/core/types.h"
#include "pst/ltp/ltp.h"

namespace pst::messaging {

constexpr uint32_t tag(uint16_t id, uint16_t type) { return (static_cast<uint32_t>(id) << 16) | type; }
constexpr uint16_t tagId(uint32_t t) { return static_cast<uint16_t>(t >> 16); }
constexpr uint16_t tagType(uint32_t t) { return static_cast<uint16_t>(t & 0xFFFF); }

// Fixed and conventional node ids.
namespace nid {
constexpr Nid kMessageStore = 0x21;
constexpr Nid kNameToIdMap = 0x61;
constexpr Nid kRootFolder = 0x122;
constexpr Nid kSearchManagementQueue = 0x1E1;
constexpr Nid kSearchActivityList = 0x201;
constexpr Nid kHierarchyTableTemplate = 0x60D;
constexpr Nid kContentsTableTemplate = 0x60E;
constexpr Nid kAssocContentsTableTemplate = 0x60F;
constexpr Nid kSearchContentsTableTemplate = 0x610;
constexpr Nid kAttachmentTable = 0x671;
constexpr Nid kRecipientTable = 0x692;
constexpr Nid kSpamSearchFolder = 0x2223;
constexpr Nid kIpmSubtree = 0x8022;
constexpr Nid kSearchRoot = 0x8042;
constexpr Nid kDeletedItems = 0x8062;
}  // namespace nid

// The four nodes of a folder share one nidIndex ([MS-PST] 2.4.4).
constexpr Nid hierarchyTableOf(Nid folder) { return makeNid(kNidTypeHierarchyTable, nidIndex(folder)); }
constexpr Nid contentsTableOf(Nid folder) { return makeNid(kNidTypeContentsTable, nidIndex(folder)); }
constexpr Nid assocContentsTableOf(Nid folder) { return makeNid(kNidTypeAssocContentsTable, nidIndex(folder)); }
constexpr Nid searchContentsTableOf(Nid folder) { return makeNid(kNidTypeSearchContentsTable, nidIndex(folder)); }

}  // namespace pst::messaging
