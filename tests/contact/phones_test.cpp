// Telephone slots: one per kind, the precedence between combined types, second numbers,
// overflow to Other and then to the notes.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

struct SlotCase {
    const char* line;
    mapi::PropertyTag slot;
};

TEST(PhoneSlots, EachKindHasItsSlot) {
    const SlotCase cases[] = {
        {"TEL;TYPE=home:1", mapi::PidTagHomeTelephoneNumber},
        {"TEL;TYPE=work,voice:1", mapi::PidTagBusinessTelephoneNumber},
        {"TEL;TYPE=cell:1", mapi::PidTagMobileTelephoneNumber},
        {"TEL;TYPE=IPHONE:1", mapi::PidTagMobileTelephoneNumber},
        {"TEL;TYPE=work,fax:1", mapi::PidTagBusinessFaxNumber},
        {"TEL;TYPE=home,fax:1", mapi::PidTagHomeFaxNumber},
        {"TEL;TYPE=fax:1", mapi::PidTagPrimaryFaxNumber},
        {"TEL;TYPE=pager:1", mapi::PidTagPagerTelephoneNumber},
        {"TEL;TYPE=car:1", mapi::PidTagCarTelephoneNumber},
        {"TEL;TYPE=isdn:1", mapi::PidTagIsdnNumber},
        {"TEL;TYPE=msg:1", mapi::PidTagOtherTelephoneNumber},
        {"TEL;TYPE=video:1", mapi::PidTagOtherTelephoneNumber},
        {"TEL:1", mapi::PidTagOtherTelephoneNumber},
        {"TEL;TYPE=main:1", mapi::PidTagCompanyMainTelephoneNumber},
        {"TEL;TYPE=pcs:1", mapi::PidTagRadioTelephoneNumber},
        {"TEL;TYPE=textphone:1", mapi::PidTagTelecommunicationsDeviceForDeafTelephoneNumber},
        {"TEL;TYPE=pref:1", mapi::PidTagOtherTelephoneNumber},   // a voice number (see below)
        {"X-MS-TEL;TYPE=CALLBACK:1", mapi::PidTagCallbackTelephoneNumber},
        {"X-MS-TEL;TYPE=ASSISTANT:1", mapi::PidTagAssistantTelephoneNumber},
        {"X-MS-TEL;TYPE=COMPANY:1", mapi::PidTagCompanyMainTelephoneNumber},
        {"X-MS-TEL;TYPE=RADIO:1", mapi::PidTagRadioTelephoneNumber},
        {"X-MS-TEL;TYPE=TTYTDD:1", mapi::PidTagTelecommunicationsDeviceForDeafTelephoneNumber},
        {"item1.TEL:1\nitem1.X-ABLabel:_$!<AssistantPhone>!$_", mapi::PidTagAssistantTelephoneNumber},
        {"item1.TEL:1\nitem1.X-ABLabel:_$!<Mobile>!$_", mapi::PidTagMobileTelephoneNumber},
    };
    for (const SlotCase& c : cases) {
        const ContactItem item = mapLines(std::string("FN:A\n") + c.line + "\n");
        EXPECT_EQ(tagText(item, c.slot), "1") << c.line;
        EXPECT_EQ(body(item), "") << c.line;
    }
}

TEST(PhoneSlots, CombinedTypesFollowThePrecedence) {
    const SlotCase cases[] = {
        {"TEL;TYPE=work,fax,voice:1", mapi::PidTagBusinessFaxNumber},
        {"TEL;TYPE=fax,pager:1", mapi::PidTagPrimaryFaxNumber},
        {"TEL;TYPE=cell,pager:1", mapi::PidTagPagerTelephoneNumber},
        {"TEL;TYPE=home,cell:1", mapi::PidTagMobileTelephoneNumber},
        {"TEL;TYPE=car,cell:1", mapi::PidTagMobileTelephoneNumber},
        {"TEL;TYPE=work,car:1", mapi::PidTagCarTelephoneNumber},
        {"TEL;TYPE=home,isdn:1", mapi::PidTagIsdnNumber},
        {"TEL;TYPE=cell,voice,pref:1", mapi::PidTagMobileTelephoneNumber},
    };
    for (const SlotCase& c : cases)
        EXPECT_EQ(tagText(mapLines(std::string("FN:A\n") + c.line + "\n"), c.slot), "1") << c.line;
}

TEST(PhoneSlots, SecondNumbersThenOtherThenNotes) {
    const ContactItem item = mapLines(
        "FN:A\nTEL;TYPE=home:h1\nTEL;TYPE=home:h2\nTEL;TYPE=home:h3\nTEL;TYPE=home:h4\n"
        "TEL;TYPE=work:w1\nTEL;TYPE=work:w2\nTEL;TYPE=work:w3\n");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeTelephoneNumber), "h1");
    EXPECT_EQ(tagText(item, mapi::PidTagHome2TelephoneNumber), "h2");
    EXPECT_EQ(tagText(item, mapi::PidTagOtherTelephoneNumber), "h3");
    EXPECT_EQ(tagText(item, mapi::PidTagBusinessTelephoneNumber), "w1");
    EXPECT_EQ(tagText(item, mapi::PidTagBusiness2TelephoneNumber), "w2");
    EXPECT_EQ(body(item), "More contact details:\r\nPhone (home): h4\r\nPhone (work): w3");
}

TEST(PhoneSlots, PreferredNumberTakesTheFirstSlot) {
    const ContactItem item = mapLines("FN:A\nTEL;TYPE=home:plain\nTEL;TYPE=home,pref:favourite\n");
    EXPECT_EQ(tagText(item, mapi::PidTagHomeTelephoneNumber), "favourite");
    EXPECT_EQ(tagText(item, mapi::PidTagHome2TelephoneNumber), "plain");
}

TEST(PhoneSlots, ExtraFaxesNeverLandInVoiceSlots) {
    const ContactItem item =
        mapLines("FN:A\nTEL;TYPE=work,fax:f1\nTEL;TYPE=work,fax:f2\nTEL;TYPE=work,fax:f3\nTEL;TYPE=cell:m1\nTEL;TYPE=cell:m2\n");
    EXPECT_EQ(tagText(item, mapi::PidTagBusinessFaxNumber), "f1");
    EXPECT_EQ(tagText(item, mapi::PidTagPrimaryFaxNumber), "f2");
    EXPECT_EQ(tagText(item, mapi::PidTagOtherTelephoneNumber), "m2");
    EXPECT_NE(body(item).find("Phone (work, fax): f3"), std::string::npos);
}

TEST(PhoneSlots, TelUrisKeepTheirExtension) {
    const ContactItem item = mapText(card("FN:A\nTEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-555-5555;ext=5555\n", "4.0"));
    EXPECT_EQ(tagText(item, mapi::PidTagHomeTelephoneNumber), "+1-555-555-5555 x5555");
}

TEST(PhoneSlots, AgentCardGivesAssistantNameAndNumber) {
    const ContactItem item = mapText(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Boss;Big\r\nFN:Big Boss\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N:Helper;Harry\r\nFN:Harry Helper\r\nTEL;WORK:555-0199\r\nEND:VCARD\r\nTEL;WORK:555-0100\r\nEND:VCARD\r\n");
    EXPECT_EQ(tagText(item, mapi::PidTagAssistant), "Harry Helper");
    EXPECT_EQ(tagText(item, mapi::PidTagAssistantTelephoneNumber), "555-0199");
    EXPECT_EQ(tagText(item, mapi::PidTagBusinessTelephoneNumber), "555-0100");
}


// [MS-OXVCARD] TEL import (RFC 2426 section 3.3.1): without a TYPE a number is "voice", and the
// first voice number goes to PidTagOtherTelephoneNumber; "pref" names no kind of number, so a
// number marked only as preferred is a voice number that chooses first.
TEST(PhoneSlots, APreferredNumberFollowsTheRulesForItsKind) {
    struct Case {
        const char* lines;
        mapi::PropertyTag slot;
        const char* inNotes;   // the other number, when it has no slot left
    };
    const Case cases[] = {
        {"TEL;TYPE=pref:1", mapi::PidTagOtherTelephoneNumber, ""},
        {"TEL;TYPE=voice,pref:1", mapi::PidTagOtherTelephoneNumber, ""},
        {"TEL;PREF=1:1", mapi::PidTagOtherTelephoneNumber, ""},
        {"TEL;PREF:1", mapi::PidTagOtherTelephoneNumber, ""},
        {"TEL;TYPE=home,pref:1", mapi::PidTagHomeTelephoneNumber, ""},
        {"TEL;TYPE=work,pref:1", mapi::PidTagBusinessTelephoneNumber, ""},
        {"TEL:2\nTEL;TYPE=pref:1", mapi::PidTagOtherTelephoneNumber, "Phone: 2"},
    };
    for (const Case& c : cases) {
        const std::string lines = c.lines;
        const ContactItem item = mapText(card("FN:A\n" + lines + "\n", std::string(c.lines).find("PREF:") != std::string::npos ? "2.1" : "3.0"));
        EXPECT_EQ(tagText(item, c.slot), "1") << c.lines;
        EXPECT_FALSE(tagText(item, mapi::PidTagPrimaryTelephoneNumber)) << c.lines;
        if (*c.inNotes) {
            EXPECT_NE(body(item).find(c.inNotes), std::string::npos) << c.lines;
        }
    }
}

}  // namespace
}  // namespace contact::testing
