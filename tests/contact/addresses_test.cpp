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

TEST(AddressSlots, CompositeFromThePartsAndExtendedGoesAboveTheStreet) {
    const ContactItem item = mapLines(
        "FN:A\nADR;TYPE=work:;Building 5;1 Main St;Town;;;\nLABEL;TYPE=work:Building 5\\n1 Main St\\nTown\n");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressStreet), "Building 5\r\n1 Main St");
    EXPECT_EQ(namedText(item, mapi::PidLidWorkAddress), "Building 5\r\n1 Main St\r\nTown");
    // A 4.0 LABEL parameter lays out the same parts: the block is Outlook's, the label is dropped.
    const ContactItem v4 = mapText(card("FN:A\nADR;TYPE=home;LABEL=\"Heidestr. 17\\n51147 K\xC3\xB6ln\":;;Heidestr. 17;K\xC3\xB6ln;;51147;\n", "4.0"));
    EXPECT_EQ(namedText(v4, mapi::PidLidHomeAddress), "Heidestr. 17\r\nK\xC3\xB6ln  51147");
    EXPECT_EQ(body(v4), "");
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

// [MS-OXVCARD] ignores LABEL on import and [MS-OXOCNTC] builds PidLid*Address and
// PidTagPostalAddress from the parts: a LABEL only fills in for an address without parts, and one
// with words the parts lack goes to the notes. Street lists join without doubled spaces;
// PidLid*AddressCountryCode is set where the country is an ISO 3166-1 alpha-2 code.
TEST(AddressSlots, BlockFromPartsLabelOnlyWithoutThemCountryCodes) {
    struct Case {
        const char* lines;
        const char* block;        // PidLidWorkAddress and PidTagPostalAddress
        const char* street;       // PidLidWorkAddressStreet, "" when absent
        const char* countryCode;  // PidLidWorkAddressCountryCode and PidLidAddressCountryCode, "" when absent
        const char* notes;        // in the body, "" when the body stays empty
    };
    const Case cases[] = {
        // Outlook 2003's LABEL with the person's name and a mail drop: the parts win, the label is kept.
        {"ADR;TYPE=work:;;1 Main St;Springfield;IL;62701;US\n"
         "LABEL;TYPE=work:Ann Smith\\nMail Drop 4\\n1 Main St\\nSpringfield, IL 62701\n",
         "1 Main St\r\nSpringfield, IL  62701\r\nUS", "1 Main St", "US",
         "Address label (work): Ann Smith, Mail Drop 4, 1 Main St, Springfield, IL 62701"},
        // A label that drops the country says nothing more: the block keeps the country.
        {"ADR;TYPE=work:;;1 Main St;Lyon;;69001;fr\nLABEL;TYPE=work:1 Main St\\n69001 Lyon\n",
         "1 Main St\r\nLyon  69001\r\nfr", "1 Main St", "FR", ""},
        // Street as a list (an unescaped comma): one space after the comma, not two.
        {"ADR;TYPE=work:;;12 High St, Flat 3 ;Leeds;;LS1 1AA;United Kingdom\n",
         "12 High St, Flat 3\r\nLeeds  LS1 1AA\r\nUnited Kingdom", "12 High St, Flat 3", "", ""},
        // Two letters that are no ISO code give no code.
        {"ADR;TYPE=work:;;1 Rd;London;;;UK\n", "1 Rd\r\nLondon\r\nUK", "1 Rd", "", ""},
        // No parts: the label is the block.
        {"ADR;TYPE=work:;;;;;;\nLABEL;TYPE=work:Postfach 12\\n10001 Berlin\n", "Postfach 12\r\n10001 Berlin", "",
         "", ""},
    };
    for (const Case& c : cases) {
        const ContactItem item = mapLines(std::string("FN:A\n") + c.lines);
        EXPECT_EQ(namedText(item, mapi::PidLidWorkAddress), c.block) << c.lines;
        EXPECT_EQ(tagText(item, mapi::PidTagPostalAddress), c.block) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressStreet).value_or(""), c.street) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidWorkAddressCountryCode).value_or(""), c.countryCode) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidAddressCountryCode).value_or(""), c.countryCode) << c.lines;
        if (*c.notes) EXPECT_NE(body(item).find(c.notes), std::string::npos) << body(item);
        else EXPECT_EQ(body(item), "") << c.lines;
    }
}

}  // namespace
}  // namespace contact::testing
