// Telephone slots: one per kind, the precedence between combined types, second numbers,
// overflow to Other and then to the notes.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

struct SlotCase {
    const char* line;
    uint16_t slot;
};

TEST(PhoneSlots, EachKindHasItsSlot) {
    const SlotCase cases[] = {
        {"TEL;TYPE=home:1", tag::kHomeTelephoneNumber},
        {"TEL;TYPE=work,voice:1", tag::kBusinessTelephoneNumber},
        {"TEL;TYPE=cell:1", tag::kMobileTelephoneNumber},
        {"TEL;TYPE=IPHONE:1", tag::kMobileTelephoneNumber},
        {"TEL;TYPE=work,fax:1", tag::kBusinessFaxNumber},
        {"TEL;TYPE=home,fax:1", tag::kHomeFaxNumber},
        {"TEL;TYPE=fax:1", tag::kPrimaryFaxNumber},
        {"TEL;TYPE=pager:1", tag::kPagerTelephoneNumber},
        {"TEL;TYPE=car:1", tag::kCarTelephoneNumber},
        {"TEL;TYPE=isdn:1", tag::kIsdnNumber},
        {"TEL;TYPE=msg:1", tag::kOtherTelephoneNumber},
        {"TEL;TYPE=video:1", tag::kOtherTelephoneNumber},
        {"TEL:1", tag::kOtherTelephoneNumber},
        {"TEL;TYPE=main:1", tag::kCompanyMainTelephoneNumber},
        {"TEL;TYPE=pcs:1", tag::kRadioTelephoneNumber},
        {"TEL;TYPE=textphone:1", tag::kTtyTddPhoneNumber},
        {"TEL;TYPE=pref:1", tag::kPrimaryTelephoneNumber},
        {"X-MS-TEL;TYPE=CALLBACK:1", tag::kCallbackTelephoneNumber},
        {"X-MS-TEL;TYPE=ASSISTANT:1", tag::kAssistantTelephoneNumber},
        {"X-MS-TEL;TYPE=COMPANY:1", tag::kCompanyMainTelephoneNumber},
        {"X-MS-TEL;TYPE=RADIO:1", tag::kRadioTelephoneNumber},
        {"X-MS-TEL;TYPE=TTYTDD:1", tag::kTtyTddPhoneNumber},
        {"item1.TEL:1\nitem1.X-ABLabel:_$!<AssistantPhone>!$_", tag::kAssistantTelephoneNumber},
        {"item1.TEL:1\nitem1.X-ABLabel:_$!<Mobile>!$_", tag::kMobileTelephoneNumber},
    };
    for (const SlotCase& c : cases) {
        const ContactItem item = mapLines(std::string("FN:A\n") + c.line + "\n");
        EXPECT_EQ(tagText(item, c.slot), "1") << c.line;
        EXPECT_EQ(body(item), "") << c.line;
    }
}

TEST(PhoneSlots, CombinedTypesFollowThePrecedence) {
    const SlotCase cases[] = {
        {"TEL;TYPE=work,fax,voice:1", tag::kBusinessFaxNumber},
        {"TEL;TYPE=fax,pager:1", tag::kPrimaryFaxNumber},
        {"TEL;TYPE=cell,pager:1", tag::kPagerTelephoneNumber},
        {"TEL;TYPE=home,cell:1", tag::kMobileTelephoneNumber},
        {"TEL;TYPE=car,cell:1", tag::kMobileTelephoneNumber},
        {"TEL;TYPE=work,car:1", tag::kCarTelephoneNumber},
        {"TEL;TYPE=home,isdn:1", tag::kIsdnNumber},
        {"TEL;TYPE=cell,voice,pref:1", tag::kMobileTelephoneNumber},
    };
    for (const SlotCase& c : cases)
        EXPECT_EQ(tagText(mapLines(std::string("FN:A\n") + c.line + "\n"), c.slot), "1") << c.line;
}

TEST(PhoneSlots, SecondNumbersThenOtherThenNotes) {
    const ContactItem item = mapLines(
        "FN:A\nTEL;TYPE=home:h1\nTEL;TYPE=home:h2\nTEL;TYPE=home:h3\nTEL;TYPE=home:h4\n"
        "TEL;TYPE=work:w1\nTEL;TYPE=work:w2\nTEL;TYPE=work:w3\n");
    EXPECT_EQ(tagText(item, tag::kHomeTelephoneNumber), "h1");
    EXPECT_EQ(tagText(item, tag::kHome2TelephoneNumber), "h2");
    EXPECT_EQ(tagText(item, tag::kOtherTelephoneNumber), "h3");
    EXPECT_EQ(tagText(item, tag::kBusinessTelephoneNumber), "w1");
    EXPECT_EQ(tagText(item, tag::kBusiness2TelephoneNumber), "w2");
    EXPECT_EQ(body(item), "More contact details:\r\nPhone (home): h4\r\nPhone (work): w3");
}

TEST(PhoneSlots, PreferredNumberTakesTheFirstSlot) {
    const ContactItem item = mapLines("FN:A\nTEL;TYPE=home:plain\nTEL;TYPE=home,pref:favourite\n");
    EXPECT_EQ(tagText(item, tag::kHomeTelephoneNumber), "favourite");
    EXPECT_EQ(tagText(item, tag::kHome2TelephoneNumber), "plain");
}

TEST(PhoneSlots, ExtraFaxesNeverLandInVoiceSlots) {
    const ContactItem item =
        mapLines("FN:A\nTEL;TYPE=work,fax:f1\nTEL;TYPE=work,fax:f2\nTEL;TYPE=work,fax:f3\nTEL;TYPE=cell:m1\nTEL;TYPE=cell:m2\n");
    EXPECT_EQ(tagText(item, tag::kBusinessFaxNumber), "f1");
    EXPECT_EQ(tagText(item, tag::kPrimaryFaxNumber), "f2");
    EXPECT_EQ(tagText(item, tag::kOtherTelephoneNumber), "m2");
    EXPECT_NE(body(item).find("Phone (work, fax): f3"), std::string::npos);
}

TEST(PhoneSlots, TelUrisKeepTheirExtension) {
    const ContactItem item = mapText(card("FN:A\nTEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-555-5555;ext=5555\n", "4.0"));
    EXPECT_EQ(tagText(item, tag::kHomeTelephoneNumber), "+1-555-555-5555 x5555");
}

TEST(PhoneSlots, AgentCardGivesAssistantNameAndNumber) {
    const ContactItem item = mapText(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Boss;Big\r\nFN:Big Boss\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N:Helper;Harry\r\nFN:Harry Helper\r\nTEL;WORK:555-0199\r\nEND:VCARD\r\nTEL;WORK:555-0100\r\nEND:VCARD\r\n");
    EXPECT_EQ(tagText(item, tag::kAssistant), "Harry Helper");
    EXPECT_EQ(tagText(item, tag::kAssistantTelephoneNumber), "555-0199");
    EXPECT_EQ(tagText(item, tag::kBusinessTelephoneNumber), "555-0100");
}

}  // namespace
}  // namespace contact::testing
