// Group cards to personal distribution lists.
#include "contact/distribution_list.h"

#include <array>
#include <cstring>

#include "contact/one_off_entry_id.h"
#include "mapping_context.h"

namespace contact {
namespace {

// Outlook's message icon for a distribution list ([MS-OXOMSG] PidTagIconIndex).
constexpr int32_t kDistributionListIcon = 0x00000202;

// The Contact Address Book's provider UID, {D3AD91C0-9D51-11CF-A4A9-00AA0047FAA4} as stored, and
// the wrapped entry id's type byte: 0x80 "the entry id inside is a message entry id" with the
// 0x40 bit Outlook sets, plus 0x03 "contact" ([MS-OXCDATA] 2.2.5.3).
constexpr std::array<uint8_t, 16> kWabProviderUid = {0xC0, 0x91, 0xAD, 0xD3, 0x51, 0x9D, 0xCF, 0x11,
                                                     0xA4, 0xA9, 0x00, 0xAA, 0x00, 0x47, 0xFA, 0xA4};
constexpr uint8_t kWrappedContactType = 0xC3;

// Outlook writes the one-off entries of a list with Unicode strings and MIME sending, without the
// no-lookup bit its contacts' e-mail slots carry (dist-list.pst, flags 0x8001).
constexpr uint16_t kListOneOffFlags = kOneOffUnicode | kOneOffSendMime;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// %XX escapes of a mailto: address; a malformed escape stays as written.
std::string percentDecoded(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) << 4 | hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::vector<GroupMember> membersOf(const vcard::Card& card) {
    std::vector<GroupMember> members;
    for (std::string_view name : {"MEMBER", "X-ADDRESSBOOKSERVER-MEMBER"}) {
        for (const vcard::Property* p : card.all(name)) {
            GroupMember m;
            m.written = p->value;
            detail::removeNul(m.written);   // it ends up in a one-off entry's NUL-terminated strings
            if (!startsWithNoCase(m.written, "mailto:")) m.uid = normalizedUid(m.written);
            members.push_back(std::move(m));
        }
    }
    return members;
}

void appendCrc32(uint32_t& crc, std::string_view bytes) {
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
    }
}

mapi::Value membersValue(const std::vector<ResolvedMember>& members, std::string ResolvedMember::*entry) {
    std::vector<std::vector<uint8_t>> entries;
    entries.reserve(members.size());
    for (const ResolvedMember& m : members) {
        const std::string& bytes = m.*entry;
        entries.emplace_back(bytes.begin(), bytes.end());
    }
    return mapi::multiBinaryValue(entries);
}

}  // namespace

bool isGroupCard(const vcard::Card& card) { return card.kind() == "group"; }

std::string normalizedUid(std::string_view uid) {
    if (startsWithNoCase(uid, "urn:uuid:")) uid.remove_prefix(9);
    std::string out(uid);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

namespace detail {

void mapGroup(MappingContext& ctx) {
    const vcard::Card& card = ctx.card;
    std::string name = card.firstValue("FN");
    if (name.empty()) name = card.firstValue("N");
    if (name.empty()) {
        name = "Unnamed group";
        ctx.warn(0, "FN", "the group has no name; its distribution list is called \"" + name + "\"");
    }
    ctx.setString(mapi::PidTagMessageClass, "IPM.DistList");
    ctx.setText(mapi::PidTagSubject, name);
    ctx.setText(mapi::PidTagDisplayName, name);
    ctx.setText(mapi::PidTagConversationTopic, name);
    ctx.setText(mapi::PidLidFileUnder, name);
    ctx.set(mapi::PidLidFileUnderId, mapi::int32Value(file_under::kUserProvided));   // as Outlook files lists
    ctx.setText(mapi::PidLidDistributionListName, name);
    ctx.set(mapi::PidTagIconIndex, mapi::int32Value(kDistributionListIcon));
    ctx.set(mapi::PidTagSensitivity, mapi::int32Value(0));
    std::string notes;
    for (const vcard::Property* p : card.all("NOTE")) {
        if (!notes.empty()) notes += "\r\n\r\n";
        notes += p->value;
    }
    ctx.setText(mapi::PidTagBody, notes);
    ctx.item.isGroup = true;
    ctx.item.groupMembers = membersOf(card);
}

}  // namespace detail

std::string wrappedContactEntryId(std::span<const uint8_t> contactEntryId) {
    std::string id(4, '\0');   // flags: a long-term id
    id.append(reinterpret_cast<const char*>(kWabProviderUid.data()), kWabProviderUid.size());
    id.push_back(static_cast<char>(kWrappedContactType));
    id.append(reinterpret_cast<const char*>(contactEntryId.data()), contactEntryId.size());
    return id;
}

ResolvedMember oneOffMember(const GroupMember& member) {
    std::string_view written = member.written;
    if (startsWithNoCase(written, "mailto:")) {
        written.remove_prefix(7);
        const std::string address = percentDecoded(written.substr(0, written.find('?')));
        std::string id = makeOneOffEntryId(address, "SMTP", address, kListOneOffFlags);
        return {id, id};
    }
    // Not an address Outlook can send to: the member is kept under its scheme so the user sees
    // who was meant (an "URN" member is a card this import did not hold).
    const std::size_t colon = written.find(':');
    std::string scheme = colon == std::string_view::npos ? "X-MEMBER" : std::string(written.substr(0, colon));
    for (char& c : scheme) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string id = makeOneOffEntryId(written, scheme, written, kOneOffUnicode);
    return {id, id};
}

std::string contactOneOff(const ContactItem& contact) {
    auto text = [&contact](const PropertyKey& key) {
        const Property* found = contact.properties.find(key);
        return found ? mapi::stringOf(found->value).value_or("") : std::string();
    };
    return contactOneOff(ContactAddress{text(mapi::PidTagDisplayName), text(mapi::PidLidEmail1EmailAddress)});
}

std::string contactOneOff(ContactAddress address) {
    return makeOneOffEntryId(address.displayName, "SMTP", address.email, kListOneOffFlags);
}

uint32_t distributionListChecksum(const std::vector<ResolvedMember>& members) {
    uint32_t crc = 0;
    for (const ResolvedMember& m : members) appendCrc32(crc, m.member);
    return crc;
}

void setMembers(PropertyList& list, const std::vector<ResolvedMember>& members) {
    list.set(mapi::PidLidDistributionListMembers, membersValue(members, &ResolvedMember::member));
    list.set(mapi::PidLidDistributionListOneOffMembers, membersValue(members, &ResolvedMember::oneOff));
    list.set(mapi::PidLidDistributionListChecksum,
             mapi::int32Value(static_cast<int32_t>(distributionListChecksum(members))));
}

}  // namespace contact
