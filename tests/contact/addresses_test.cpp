// Postal addresses: the three slots, composite text and the mailing-address selection.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

void expectMailingEquals(const ContactItem& item, int32_t slot) {
    EXPECT_EQ(namedValue<int32_t>(item, mapi::PidLidPostalAddressId), slot);
    struct Pair {
        PropertyKey slotKey, mailingKey;
    };
    const auto pick = [&](const mapi::PropertyTag& home, const mapi::NamedProperty& work,
                          const mapi::PropertyTag& other) {
        return slot == 1 ? PropertyKey(home) : slot == 2 ? PropertyKey(work) : PropertyKey(other);
    };
    const Pair pairs[] = {
        {pick(mapi::PidTagHomeAddressStreet, mapi::PidLidWorkAddressStreet, mapi::PidTagOtherAddressStreet), mapi::PidTagStreetAddress},
        {pick(mapi::PidTagHomeAddressCity, mapi::PidLidWorkAddressCity, mapi::PidTagOtherAddressCity), mapi::PidTagLocality},
        {pick(mapi::PidTagHomeAddressStateOrProvince, mapi::PidLidWorkAddressState, mapi::PidTagOtherAddressStateOrProvince),
         mapi::PidTagStateOrProvince},
        {pick(mapi::PidTagHomeAddressPostalCode, mapi::PidLidWorkAddressPostalCode, mapi::PidTagOtherAddressPostalCode),
         mapi::PidTagPostalCode},
        {pick(mapi::PidTagHomeAddressCountry, mapi::PidLidWorkAddressCountry, mapi::PidTagOtherAddressCountry), mapi::PidTagCountry},
        {pick(mapi::PidTagHomeAddressPostOfficeBox, mapi::PidLidWorkAddressPostOfficeBox, mapi::PidTagOtherAddressPostOfficeBox),
         mapi::PidTagPostOfficeBox},
        {slot == 1 ? mapi::PidLidHomeAddress : slot == 2 ? mapi::PidLidWorkAddress : mapi::PidLidOtherAddress,
         mapi::PidTagPostalAddress},
    };
    for (const Pair& p : pairs) {
        const std::optional<std::string> source = valueOf<std::string>(item.properties, p.slotKey);
        const std::optional<std::string> mailing = valueOf<std::string>(item.properties, p.mailingKey);
        ASSERT_EQ(source.has_value(), mailing.has_value()) << p.mailingKey.describe();
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
    EXPECT_EQ(tagText(item, mapi::PidTagHomeAddressStreet), "1 Home St");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeAddressCity), "Springfield");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeAddressStateOrProvince), "IL");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeAddressPostalCode), "62701");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeAddressCountry), "USA");
    EXPECT_EQ(namedText(item, mapi::PidLidHomeAddress), "1 Home St\r\nSpringfield, IL  62701\r\nUSA");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressStreet), "2 Work Ave");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressCity), "Chicago");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressPostOfficeBox), "PO Box 7");
    EXPECT_FALSE(namedText(item, mapi::PidLidWorkAddressState));
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddress), "2 Work Ave\r\nPO Box 7\r\nChicago  60601");
    EXPECT_EQ(tagText(item, mapi::PidTagOtherAddressStreet), "3 Other Rd");
    EXPECT_EQ(namedText(item, mapi::PidLidOtherAddress), "3 Other Rd\r\nCanada");
    expectMailingEquals(item, 1);   // none preferred: the first in the file
}

TEST(AddressSlots, LabelIsTheCompositeAndExtendedGoesAboveTheStreet) {
    const ContactItem item = mapLines(
        "FN:A\nADR;TYPE=work:;Building 5;1 Main St;Town;;;\nLABEL;TYPE=work:Building 5\\n1 Main St\\nTown\n");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressStreet), "Building 5\r\n1 Main St");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddress), "Building 5\r\n1 Main St\r\nTown");
    const ContactItem v4 = mapText(card("FN:A\nADR;TYPE=home;LABEL=\"Heidestr. 17\\n51147 K\xC3\xB6ln\":;;Heidestr. 17;K\xC3\xB6ln;;51147;\n", "4.0"));
    EXPECT_EQ(namedText(v4, mapi::PidLidHomeAddress), "Heidestr. 17\r\n51147 K\xC3\xB6ln");
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
    EXPECT_FALSE(item.properties.contains(mapi::PidLidPostalAddressId));
    EXPECT_FALSE(tagText(item, mapi::PidTagPostalAddress));
    EXPECT_FALSE(tagText(item, mapi::PidTagStreetAddress));
}

TEST(AddressSlots, ExtraAddressesTakeOtherThenTheNotes) {
    const ContactItem item = mapLines(
        "FN:A\nADR;TYPE=home:;;1 First St;A;;;\nADR;TYPE=home:;;2 Second St;B;;;\nADR;TYPE=home:;;3 Third St;C;;;\n");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeAddressStreet), "1 First St");
    EXPECT_EQ(tagText(item, mapi::PidTagOtherAddressStreet), "2 Second St");
    EXPECT_EQ(body(item), "More contact details:\r\nAddress (home): 3 Third St, C");
}

TEST(AddressSlots, LabelWithoutAddressUsesAFreeSlotOrTheNotes) {
    const ContactItem one = mapLines("FN:A\nLABEL;TYPE=home:1 Label Rd\\nTown\n");
    EXPECT_EQ(namedText(one, mapi::PidLidHomeAddress), "1 Label Rd\r\nTown");
    EXPECT_EQ(tagText(one, mapi::PidTagPostalAddress), "1 Label Rd\r\nTown");
    const ContactItem full = mapLines(
        "FN:A\nADR;TYPE=home:;;1 St;A;;;\nADR;TYPE=work:;;2 St;B;;;\nADR:;;3 St;C;;;\n"
        "LABEL;TYPE=home:1 St\\nA\nLABEL;TYPE=work:2 St\\nB\nLABEL:3 St\\nC\nLABEL;TYPE=home:Lone\\nLabel\n");
    EXPECT_NE(body(full).find("Address (home): Lone, Label"), std::string::npos) << body(full);
}

}  // namespace
}  // namespace contact::testing
