// Postal addresses: the three slots, composite text and the mailing-address selection.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

void expectMailingEquals(const ContactItem& item, int32_t slot) {
    EXPECT_EQ(namedValue<int32_t>(item, lid::kPostalAddressId), slot);
    struct Pair {
        PropertyKey slotKey, mailingKey;
    };
    const auto pick = [&](uint16_t home, uint32_t work, uint16_t other) {
        return slot == 1 ? tagKey(home) : slot == 2 ? addressKey(work) : tagKey(other);
    };
    const Pair pairs[] = {
        {pick(tag::kHomeAddressStreet, lid::kWorkAddressStreet, tag::kOtherAddressStreet), tagKey(tag::kStreetAddress)},
        {pick(tag::kHomeAddressCity, lid::kWorkAddressCity, tag::kOtherAddressCity), tagKey(tag::kLocality)},
        {pick(tag::kHomeAddressStateOrProvince, lid::kWorkAddressState, tag::kOtherAddressStateOrProvince),
         tagKey(tag::kStateOrProvince)},
        {pick(tag::kHomeAddressPostalCode, lid::kWorkAddressPostalCode, tag::kOtherAddressPostalCode),
         tagKey(tag::kPostalCode)},
        {pick(tag::kHomeAddressCountry, lid::kWorkAddressCountry, tag::kOtherAddressCountry), tagKey(tag::kCountry)},
        {pick(tag::kHomeAddressPostOfficeBox, lid::kWorkAddressPostOfficeBox, tag::kOtherAddressPostOfficeBox),
         tagKey(tag::kPostOfficeBox)},
        {slot == 1 ? addressKey(lid::kHomeAddress) : slot == 2 ? addressKey(lid::kWorkAddress)
                                                               : addressKey(lid::kOtherAddress),
         tagKey(tag::kPostalAddress)},
    };
    for (const Pair& p : pairs) {
        const std::string* source = item.properties.get<std::string>(p.slotKey);
        const std::string* mailing = item.properties.get<std::string>(p.mailingKey);
        ASSERT_EQ(source == nullptr, mailing == nullptr) << p.mailingKey.describe();
        if (source) {
            EXPECT_EQ(*source, *mailing) << p.mailingKey.describe();
        }
    }
}

TEST(AddressSlots, HomeWorkAndOtherWithBuiltComposites) {
    const ContactItem item = mapLines(
        "FN:A\nADR;TYPE=home:;;1 Home St;Springfield;IL;62701;USA\n"
        "ADR;TYPE=work:PO Box 7;;2 Work Ave;Chicago;;60601;\n"
        "ADR;TYPE=postal:;;3 Other Rd;;;;Canada\n");
    EXPECT_EQ(tagText(item, tag::kHomeAddressStreet), "1 Home St");
    EXPECT_EQ(tagText(item, tag::kHomeAddressCity), "Springfield");
    EXPECT_EQ(tagText(item, tag::kHomeAddressStateOrProvince), "IL");
    EXPECT_EQ(tagText(item, tag::kHomeAddressPostalCode), "62701");
    EXPECT_EQ(tagText(item, tag::kHomeAddressCountry), "USA");
    EXPECT_EQ(namedText(item, lid::kHomeAddress), "1 Home St\r\nSpringfield, IL  62701\r\nUSA");
    EXPECT_EQ(namedText(item, lid::kWorkAddressStreet), "2 Work Ave");
    EXPECT_EQ(namedText(item, lid::kWorkAddressCity), "Chicago");
    EXPECT_EQ(namedText(item, lid::kWorkAddressPostOfficeBox), "PO Box 7");
    EXPECT_FALSE(namedText(item, lid::kWorkAddressState));
    EXPECT_EQ(namedText(item, lid::kWorkAddress), "2 Work Ave\r\nPO Box 7\r\nChicago  60601");
    EXPECT_EQ(tagText(item, tag::kOtherAddressStreet), "3 Other Rd");
    EXPECT_EQ(namedText(item, lid::kOtherAddress), "3 Other Rd\r\nCanada");
    expectMailingEquals(item, 1);   // none preferred: the first in the file
}

TEST(AddressSlots, LabelIsTheCompositeAndExtendedGoesAboveTheStreet) {
    const ContactItem item = mapLines(
        "FN:A\nADR;TYPE=work:;Building 5;1 Main St;Town;;;\nLABEL;TYPE=work:Building 5\\n1 Main St\\nTown\n");
    EXPECT_EQ(namedText(item, lid::kWorkAddressStreet), "Building 5\r\n1 Main St");
    EXPECT_EQ(namedText(item, lid::kWorkAddress), "Building 5\r\n1 Main St\r\nTown");
    const ContactItem v4 = mapText(card("FN:A\nADR;TYPE=home;LABEL=\"Heidestr. 17\\n51147 K\xC3\xB6ln\":;;Heidestr. 17;K\xC3\xB6ln;;51147;\n", "4.0"));
    EXPECT_EQ(namedText(v4, lid::kHomeAddress), "Heidestr. 17\r\n51147 K\xC3\xB6ln");
}

TEST(MailingAddress, OutlookDefaultThenPreferredThenFirst) {
    const std::string two = "FN:A\nADR;TYPE=home:;;1 Home St;H;;;\nADR;TYPE=work:;;2 Work St;W;;;\n";
    expectMailingEquals(mapLines(two), 1);
    expectMailingEquals(mapLines(two + "X-MS-OL-DEFAULT-POSTAL-ADDRESS:2\n"), 2);
    expectMailingEquals(mapLines("FN:A\nADR;TYPE=home:;;1 Home St;H;;;\nADR;TYPE=work,pref:;;2 Work St;W;;;\n"), 2);
    expectMailingEquals(mapLines("FN:A\nADR;TYPE=work:;;2 Work St;W;;;\n"), 2);
    expectMailingEquals(mapLines("FN:A\nADR:;;9 Any St;X;;;\n"), 3);
    // An Outlook default pointing at an empty slot falls back to the usual choice.
    expectMailingEquals(mapLines("FN:A\nADR;TYPE=work:;;2 Work St;W;;;\nX-MS-OL-DEFAULT-POSTAL-ADDRESS:3\n"), 2);
}

TEST(MailingAddress, NoneWithoutAddresses) {
    const ContactItem item = mapLines("FN:A\n");
    EXPECT_FALSE(item.properties.contains(addressKey(lid::kPostalAddressId)));
    EXPECT_FALSE(tagText(item, tag::kPostalAddress));
    EXPECT_FALSE(tagText(item, tag::kStreetAddress));
}

TEST(AddressSlots, ExtraAddressesTakeOtherThenTheNotes) {
    const ContactItem item = mapLines(
        "FN:A\nADR;TYPE=home:;;1 First St;A;;;\nADR;TYPE=home:;;2 Second St;B;;;\nADR;TYPE=home:;;3 Third St;C;;;\n");
    EXPECT_EQ(tagText(item, tag::kHomeAddressStreet), "1 First St");
    EXPECT_EQ(tagText(item, tag::kOtherAddressStreet), "2 Second St");
    EXPECT_EQ(body(item), "More contact details:\r\nAddress (home): 3 Third St, C");
}

TEST(AddressSlots, LabelWithoutAddressUsesAFreeSlotOrTheNotes) {
    const ContactItem one = mapLines("FN:A\nLABEL;TYPE=home:1 Label Rd\\nTown\n");
    EXPECT_EQ(namedText(one, lid::kHomeAddress), "1 Label Rd\r\nTown");
    EXPECT_EQ(tagText(one, tag::kPostalAddress), "1 Label Rd\r\nTown");
    const ContactItem full = mapLines(
        "FN:A\nADR;TYPE=home:;;1 St;A;;;\nADR;TYPE=work:;;2 St;B;;;\nADR:;;3 St;C;;;\n"
        "LABEL;TYPE=home:1 St\\nA\nLABEL;TYPE=work:2 St\\nB\nLABEL:3 St\\nC\nLABEL;TYPE=home:Lone\\nLabel\n");
    EXPECT_NE(body(full).find("Address (home): Lone, Label"), std::string::npos) << body(full);
}

}  // namespace
}  // namespace contact::testing
