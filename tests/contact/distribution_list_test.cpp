// Group cards become personal distribution lists ([MS-OXOCNTC] 2.2.2). The member encoding and
// the checksum are checked against the list Outlook wrote in pst-samples/dist-list.pst: one
// contact member and two one-off addresses.
#include <gtest/gtest.h>

#include "contact/distribution_list.h"
#include "contact/one_off_entry_id.h"
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

std::string fromHex(std::string_view digits) {
    std::string out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16)));
    return out;
}

// Bytes as lower-case hex, which compares and prints well.
std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

// dist-list.pst, "test dist list": its PidLidDistributionListMembers as stored.
const std::string kSampleMembers = fromHex(
    "03000000100000003d000000a100000000000000c091add3519dcf11a4a900aa0047faa4c300000000a41d63dbc53b8e"
    "4ab8071e15e55750ce6400200000000000812b1fa4bea310199d6e00dd010f540200000180640069007300740020006e"
    "0061006d00650020003100000053004d0054005000000064006900730074003100400072006a006f0068006e0073006f"
    "006e002e00690064002e0061007500000000000000812b1fa4bea310199d6e00dd010f54020000018064006900730074"
    "0020006e0061006d00650020003200000053004d0054005000000064006900730074003200400072006a006f0068006e"
    "0073006f006e002e00690064002e00610075000000");
// Its first member: the contact's store entry id (store record key, NID 0x200064), wrapped.
const std::string kSampleContactEntryId = fromHex("00000000a41d63dbc53b8e4ab8071e15e55750ce64002000");
const std::string kSampleWrappedContact =
    fromHex("00000000c091add3519dcf11a4a900aa0047faa4c3") + kSampleContactEntryId;

std::string sampleOneOff(std::string_view name, std::string_view address) {
    return makeOneOffEntryId(name, "SMTP", address, kOneOffUnicode | kOneOffSendMime);
}

TEST(DistributionList, MembersAndChecksumAreStoredAsOutlookStoresThem) {
    const auto* id = reinterpret_cast<const uint8_t*>(kSampleContactEntryId.data());
    EXPECT_EQ(hex(wrappedContactEntryId({id, kSampleContactEntryId.size()})), hex(kSampleWrappedContact));

    const std::vector<ResolvedMember> members = {
        {kSampleWrappedContact, sampleOneOff("contact name 1", "contact1@rjohnson.id.au")},
        {sampleOneOff("dist name 1", "dist1@rjohnson.id.au"), sampleOneOff("dist name 1", "dist1@rjohnson.id.au")},
        {sampleOneOff("dist name 2", "dist2@rjohnson.id.au"), sampleOneOff("dist name 2", "dist2@rjohnson.id.au")},
    };
    // [MS-OXOCNTC] 2.2.2.2.3; the value Outlook stored for these members.
    EXPECT_EQ(distributionListChecksum(members), 0xFAA61F37u);

    PropertyList list;
    setMembers(list, members);
    const Property* stored = list.find(mapi::PidLidDistributionListMembers);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->value.type, mapi::kPtypMultipleBinary);
    // The whole stored value, count and offsets included, byte for byte.
    EXPECT_EQ(hex(std::string(stored->value.bytes.begin(), stored->value.bytes.end())), hex(kSampleMembers));
    const Property* oneOffs = list.find(mapi::PidLidDistributionListOneOffMembers);
    ASSERT_NE(oneOffs, nullptr);
    EXPECT_EQ(mapi::unpackMultiValue(oneOffs->value.type, oneOffs->value.bytes).size(), 3u);
    EXPECT_EQ(valueOf<int32_t>(list, mapi::PidLidDistributionListChecksum), static_cast<int32_t>(0xFAA61F37u));

    EXPECT_EQ(distributionListChecksum({}), 0u);   // an empty list: CRC of nothing
}

TEST(DistributionList, GroupCardsOfBothKindsBecomeListsWithTheirMembers) {
    struct Case {
        const char* name;
        std::string vcf;
        std::vector<GroupMember> members;
    };
    const std::vector<Case> cases = {
        {"vCard 4 KIND:group",
         card("KIND:group\nFN:The Team\nMEMBER:urn:uuid:03A0E51F-D1AA-4385-8A53-E29025ACD8AF\n"
              "MEMBER:mailto:carol@example.com\nNOTE:Weekly call\n",
              "4.0"),
         {{"03a0e51f-d1aa-4385-8a53-e29025acd8af", "urn:uuid:03A0E51F-D1AA-4385-8A53-E29025ACD8AF"},
          {"", "mailto:carol@example.com"}}},
        {"Apple group",
         card("N:The Team\nFN:The Team\nX-ADDRESSBOOKSERVER-KIND:group\n"
              "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:b0a3d5c4-1111-2222-3333-444455556666\nNOTE:Weekly call\n"),
         {{"b0a3d5c4-1111-2222-3333-444455556666", "urn:uuid:b0a3d5c4-1111-2222-3333-444455556666"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ContactItem item = mapText(c.vcf);
        EXPECT_TRUE(item.isGroup);
        EXPECT_EQ(tagText(item, mapi::PidTagMessageClass), "IPM.DistList");
        EXPECT_EQ(tagText(item, mapi::PidTagDisplayName), "The Team");
        EXPECT_EQ(namedText(item, mapi::PidLidDistributionListName), "The Team");
        EXPECT_EQ(namedText(item, mapi::PidLidFileUnder), "The Team");
        EXPECT_EQ(body(item), "Weekly call");
        ASSERT_EQ(item.groupMembers.size(), c.members.size());
        for (std::size_t i = 0; i < c.members.size(); ++i) {
            EXPECT_EQ(item.groupMembers[i].uid, c.members[i].uid);
            EXPECT_EQ(item.groupMembers[i].written, c.members[i].written);
        }
        // No contact fields leak into a list (Outlook would show the item as a contact).
        EXPECT_FALSE(item.properties.contains(mapi::PidLidEmail1EmailAddress));
    }
    // A plain card keeps its UID in the form members name it by; a list has no UID of its own to be named by.
    EXPECT_EQ(mapLines("FN:Ann\nUID:urn:uuid:03A0E51F-D1AA-4385-8A53-E29025ACD8AF\n").uid,
              "03a0e51f-d1aa-4385-8a53-e29025acd8af");
    EXPECT_EQ(mapLines("FN:Ann\nUID:B0A3D5C4-1111\n").uid, "b0a3d5c4-1111");
    EXPECT_FALSE(mapLines("FN:Ann\nKIND:individual\n").isGroup);
}

TEST(DistributionList, MembersThatAreNoContactOfTheImportBecomeOneOffAddresses) {
    struct Case {
        const char* written;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"mailto:carol@example.com", sampleOneOff("carol@example.com", "carol@example.com")},
        // RFC 6068: percent-escapes decoded, header fields after '?' are no part of the address.
        {"mailto:d%C3%BCrer@example.com?subject=Hi", sampleOneOff("dürer@example.com", "dürer@example.com")},
        {"MAILTO:ED@EXAMPLE.COM", sampleOneOff("ED@EXAMPLE.COM", "ED@EXAMPLE.COM")},
        // A card the import did not hold: kept under its scheme, never as a sendable address.
        {"urn:uuid:0000-1111", makeOneOffEntryId("urn:uuid:0000-1111", "URN", "urn:uuid:0000-1111", kOneOffUnicode)},
        {"sip:bob@example.com", makeOneOffEntryId("sip:bob@example.com", "SIP", "sip:bob@example.com", kOneOffUnicode)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        const ResolvedMember m = oneOffMember(GroupMember{"", c.written});
        EXPECT_EQ(hex(m.member), hex(c.expected));
        EXPECT_EQ(hex(m.oneOff), hex(c.expected));
    }
    // A contact member is listed with its first e-mail address.
    const ContactItem ann = mapLines("FN:Ann Lee\nEMAIL:ann@example.com\nEMAIL:lee@example.com\n");
    EXPECT_EQ(hex(contactOneOff(ann)), hex(sampleOneOff("Ann Lee", "ann@example.com")));
}

}  // namespace
}  // namespace contact::testing
