#pragma once
// Property tags ([MS-OXPROPS]) and fixed node ids ([MS-PST] 2.4.1, 2.7.1) the messaging layer
// writes. A tag is id << 16 | type.
#include <cstdint>

#include "pst/core/types.h"
#include "pst/ltp/ltp.h"

namespace pst::messaging {

constexpr uint32_t tag(uint16_t id, uint16_t type) { return (static_cast<uint32_t>(id) << 16) | type; }
constexpr uint16_t tagId(uint32_t t) { return static_cast<uint16_t>(t >> 16); }
constexpr uint16_t tagType(uint32_t t) { return static_cast<uint16_t>(t & 0xFFFF); }

namespace prop {
// Message store.
constexpr uint16_t kRecordKey = 0x0FF9;
constexpr uint16_t kDisplayName = 0x3001;
constexpr uint16_t kComment = 0x3004;
constexpr uint16_t kValidFolderMask = 0x35DF;
constexpr uint16_t kIpmSubTreeEntryId = 0x35E0;
constexpr uint16_t kIpmWastebasketEntryId = 0x35E3;
constexpr uint16_t kFinderEntryId = 0x35E7;
constexpr uint16_t kPstPassword = 0x67FF;
// Folders.
constexpr uint16_t kContentCount = 0x3602;
constexpr uint16_t kContentUnreadCount = 0x3603;
constexpr uint16_t kSubfolders = 0x360A;
constexpr uint16_t kContainerClass = 0x3613;
// Messages and attachments.
constexpr uint16_t kImportance = 0x0017;
constexpr uint16_t kMessageClass = 0x001A;
constexpr uint16_t kSensitivity = 0x0036;
constexpr uint16_t kSubject = 0x0037;
constexpr uint16_t kMessageFlags = 0x0E07;
constexpr uint16_t kMessageSize = 0x0E08;
constexpr uint16_t kMessageStatus = 0x0E17;
constexpr uint16_t kHasAttachments = 0x0E1B;
constexpr uint16_t kAttachSize = 0x0E20;
constexpr uint16_t kSearchKey = 0x300B;
constexpr uint16_t kCreationTime = 0x3007;
constexpr uint16_t kLastModificationTime = 0x3008;
constexpr uint16_t kAttachDataBinary = 0x3701;
constexpr uint16_t kAttachFilename = 0x3704;
constexpr uint16_t kAttachMethod = 0x3705;
constexpr uint16_t kRenderingPosition = 0x370B;
constexpr uint16_t kAttachLongFilename = 0x3707;
// Table contexts.
constexpr uint16_t kLtpRowId = 0x67F2;
constexpr uint16_t kLtpRowVer = 0x67F3;
// Name-to-ID map.
constexpr uint16_t kNameidBucketCount = 0x0001;
constexpr uint16_t kNameidStreamGuid = 0x0002;
constexpr uint16_t kNameidStreamEntry = 0x0003;
constexpr uint16_t kNameidStreamString = 0x0004;
constexpr uint16_t kNameidBucketBase = 0x1000;
}  // namespace prop

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
