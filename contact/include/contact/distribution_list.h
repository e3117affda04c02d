#pragma once
// vCard groups as Outlook personal distribution lists ([MS-OXOCNTC] 2.2.2): a vCard 4 KIND:group
// card with MEMBER lines, or Apple's X-ADDRESSBOOKSERVER-KIND:group with
// X-ADDRESSBOOKSERVER-MEMBER, becomes an IPM.DistList item.
//
// A group names its members by the UID of their cards, and those cards may come later in the
// import, so a group is mapped in two steps: mapCard gives the list's own properties (name,
// notes) and the members as written (ContactItem::groupMembers); once every card of the run is stored, setMembers writes the two
// member lists and their checksum, each member either a wrapped entry id of a stored contact or
// a one-off address.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "contact/mapper.h"

namespace contact {

bool isGroupCard(const vcard::Card& card);

// UIDs as they are compared: without a "urn:uuid:" prefix and in lower case (Apple writes the
// card's UID bare and the member as urn:uuid:, in either case).
std::string normalizedUid(std::string_view uid);

// One member once resolved: the entry of PidLidDistributionListMembers and the one-off entry of
// PidLidDistributionListOneOffMembers at the same index.
struct ResolvedMember {
    std::string member;
    std::string oneOff;
};

// PidLidDistributionListMembers' entry for a contact of the same store ([MS-OXCDATA] 2.2.5.3):
// the contact's 24-byte store entry id wrapped with the Contact Address Book's provider UID.
std::string wrappedContactEntryId(std::span<const uint8_t> contactEntryId);

// The one-off entries of a member that is no contact of the import: mailto: addresses as SMTP
// addresses, anything else (an unknown UID, sip:, tel:) kept as written under its URI scheme.
ResolvedMember oneOffMember(const GroupMember& member);

// What a contact member is listed with: its display name and its first e-mail address.
struct ContactAddress {
    std::string_view displayName;
    std::string_view email;
};
// The one-off entry a contact member is listed with: its first e-mail address, else its name.
std::string contactOneOff(const ContactItem& contact);
std::string contactOneOff(ContactAddress address);

// [MS-OXOCNTC] 2.2.2.2.3: CRC-32 (reflected, polynomial 0x04C11DB7) with initial value 0 and no
// final XOR, over the member entries back to back.
uint32_t distributionListChecksum(const std::vector<ResolvedMember>& members);

// Writes the member lists and the checksum into the list's properties.
void setMembers(PropertyList& list, const std::vector<ResolvedMember>& members);

}  // namespace contact
