// Web pages, instant messaging, related people, gender, categories and sensitivity.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

TEST(WebPages, WorkIsTheBusinessPageAndHomeThePersonalOne) {
    const ContactItem item = mapLines("FN:A\nURL:http://untyped.example\nURL;TYPE=home:http://home.example\n"
                                      "URL;TYPE=work:http://work.example\n");
    EXPECT_EQ(tagText(item, mapi::PidTagBusinessHomePage), "http://work.example");
    EXPECT_EQ(namedText(item, mapi::PidLidHtml), "http://work.example");
    EXPECT_EQ(tagText(item, mapi::PidTagPersonalHomePage), "http://home.example");
    EXPECT_EQ(body(item), "More contact details:\r\nWeb page: http://untyped.example");
    const ContactItem untyped = mapLines("FN:A\nURL:http\\://gmail.example\n");
    EXPECT_EQ(tagText(untyped, mapi::PidTagPersonalHomePage), "http://gmail.example");   // the URL rules below
    const ContactItem apple = mapLines("FN:A\nitem1.URL:http://me.example\nitem1.X-ABLabel:_$!<HomePage>!$_\n");
    EXPECT_EQ(tagText(apple, mapi::PidTagPersonalHomePage), "http://me.example");
    EXPECT_FALSE(tagText(apple, mapi::PidTagBusinessHomePage));
}

// [MS-OXVCARD] URL import: an untyped URL is the personal home page, a second untyped one the
// business home page (which PidLidHtml mirrors); TYPE=home and TYPE=work take their own page
// first; whatever finds its page taken stays in the notes.
TEST(WebPages, FollowTheUrlRules) {
    struct Case {
        const char* lines;
        const char* personal;
        const char* business;
        const char* inNotes;
    };
    const Case cases[] = {
        {"URL:http://a.example", "http://a.example", "", ""},
        {"URL:http://a.example\nURL:http://b.example", "http://a.example", "http://b.example", ""},
        {"URL:http://a.example\nURL:http://b.example\nURL:http://c.example", "http://a.example", "http://b.example",
         "Web page: http://c.example"},
        {"URL;TYPE=work:http://w.example\nURL:http://a.example", "http://a.example", "http://w.example", ""},
        {"URL:http://a.example\nURL;TYPE=home:http://h.example", "http://h.example", "http://a.example", ""},
        {"URL;TYPE=home:http://h.example\nURL;TYPE=work:http://w.example\nURL:http://a.example", "http://h.example",
         "http://w.example", "Web page: http://a.example"},
        {"URL;TYPE=work:http://w1.example\nURL;TYPE=work:http://w2.example", "", "http://w1.example",
         "Web page (work): http://w2.example"},
    };
    for (const Case& c : cases) {
        const ContactItem item = mapLines(std::string("FN:A\n") + c.lines + "\n");
        EXPECT_EQ(tagText(item, mapi::PidTagPersonalHomePage).value_or(""), c.personal) << c.lines;
        EXPECT_EQ(tagText(item, mapi::PidTagBusinessHomePage).value_or(""), c.business) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidHtml).value_or(""), c.business) << c.lines;
        if (*c.inNotes) EXPECT_NE(body(item).find(c.inNotes), std::string::npos) << c.lines;
        else EXPECT_EQ(body(item), "") << c.lines;
    }
}

// Properties Outlook fills for a new contact: the conversation topic is the contact's name
// ([MS-OXOCNTC]: Outlook sets it as it sets the subject), FBURL the free/busy location.
TEST(OutlookFields, ConversationTopicAndFreeBusyLocation) {
    struct Case {
        const char* lines;
        const char* topic;
        const char* freeBusy;
    };
    const Case cases[] = {
        {"FN:Ann Lee\nFBURL:http://fb.example/ann.vfb", "Ann Lee", "http://fb.example/ann.vfb"},
        {"N:Lee;Ann;;;", "Ann Lee", ""},
        {"FBURL;PREF=1: http://fb.example/x.vfb ", "", "http://fb.example/x.vfb"},
    };
    for (const Case& c : cases) {
        const ContactItem item = mapLines(std::string(c.lines) + "\n");
        EXPECT_EQ(tagText(item, mapi::PidTagConversationTopic).value_or(""), c.topic) << c.lines;
        EXPECT_EQ(namedText(item, mapi::PidLidFreeBusyLocation).value_or(""), c.freeBusy) << c.lines;
    }
}

TEST(InstantMessaging, PreferredAddressWithoutItsScheme) {
    const ContactItem item = mapText(card("FN:A\nIMPP:xmpp:first@example.org\nIMPP;PREF=1:aim:favourite\n", "4.0"));
    EXPECT_EQ(namedText(item, mapi::PidLidInstantMessagingAddress), "favourite");
    EXPECT_EQ(body(item), "More contact details:\r\nIM (xmpp): first@example.org");
    EXPECT_EQ(namedText(mapLines("FN:A\nX-MS-IMADDRESS:johny5@aol.com\n"), mapi::PidLidInstantMessagingAddress),
              "johny5@aol.com");
}

TEST(RelatedPeople, SpouseChildrenAssistantManagerAndTheRest) {
    const ContactItem item = mapText(card(
        "FN:A\nX-MS-SPOUSE:Jane\nRELATED;TYPE=child;VALUE=text:Tim\nRELATED;TYPE=child;VALUE=text:Tom\n"
        "X-MS-MANAGER:Boss\nX-EVOLUTION-ASSISTANT:Helper\nX-SPOUSE:Second Spouse\n"
        "item5.X-ABRELATEDNAMES:Mum\nitem5.X-ABLabel:_$!<Mother>!$_\n",
        "4.0"));
    EXPECT_EQ(tagText(item, mapi::PidTagSpouseName), "Jane");
    EXPECT_EQ(tagValue<std::vector<std::string>>(item, mapi::PidTagChildrensNames), (std::vector<std::string>{"Tim", "Tom"}));
    EXPECT_EQ(item.properties.find(mapi::PidTagChildrensNames)->type(), mapi::kPtypMultipleString);
    EXPECT_EQ(tagText(item, mapi::PidTagManagerName), "Boss");
    EXPECT_EQ(tagText(item, mapi::PidTagAssistant), "Helper");
    EXPECT_EQ(body(item), "More contact details:\r\nRelated (spouse): Second Spouse\r\nRelated (mother): Mum");
}

TEST(Gender, FemaleOneMaleTwoAsInteger16) {
    const ContactItem male = mapText(card("FN:A\nGENDER:M;Fellow\n", "4.0"));
    EXPECT_EQ(tagValue<int16_t>(male, mapi::PidTagGender), int16_t{2});
    EXPECT_EQ(male.properties.find(mapi::PidTagGender)->type(), mapi::kPtypInteger16);
    EXPECT_EQ(body(male), "More contact details:\r\nGender: Fellow");
    EXPECT_EQ(tagValue<int16_t>(mapText(card("FN:A\nGENDER:F\n", "4.0")), mapi::PidTagGender), int16_t{1});
    EXPECT_EQ(tagValue<int16_t>(mapLines("FN:A\nX-GENDER:female\n"), mapi::PidTagGender), int16_t{1});
    EXPECT_FALSE(tagValue<int16_t>(mapText(card("FN:A\nGENDER:U\n", "4.0")), mapi::PidTagGender));
    EXPECT_FALSE(tagValue<int16_t>(mapLines("FN:A\n"), mapi::PidTagGender));
}

TEST(Categories, UnicodeKeywordsInPublicStrings) {
    const ContactItem item = mapLines("FN:A\nCATEGORIES:Work,Friends\nCATEGORIES:friends,Caf\xC3\xA9\\, Bar\n");
    const Property* keywords = item.properties.find(PropertyKey::named(mapi::kPsPublicStrings, std::string("keywords")));
    ASSERT_NE(keywords, nullptr);
    EXPECT_EQ(keywords->key.kind(), PropertyKey::Kind::NamedString);
    EXPECT_EQ(keywords->key.name(), "Keywords");
    EXPECT_EQ(keywords->key.propertySet(), mapi::kPsPublicStrings);
    EXPECT_EQ(keywords->type(), mapi::kPtypMultipleString);
    EXPECT_EQ(mapi::multiStringOf(keywords->value),
              (std::vector<std::string>{"Work", "Friends", "Caf\xC3\xA9, Bar"}));
    EXPECT_FALSE(mapLines("FN:A\n").properties.contains(mapi::PidNameKeywords));
}

TEST(Sensitivity, FromClass) {
    EXPECT_EQ(tagValue<int32_t>(mapLines("FN:A\nCLASS:PUBLIC\n"), mapi::PidTagSensitivity), 0);
    EXPECT_EQ(tagValue<int32_t>(mapLines("FN:A\nCLASS:private\n"), mapi::PidTagSensitivity), 2);
    EXPECT_EQ(tagValue<int32_t>(mapLines("FN:A\nCLASS:CONFIDENTIAL\n"), mapi::PidTagSensitivity), 3);
    EXPECT_EQ(tagValue<int32_t>(mapLines("FN:A\n"), mapi::PidTagSensitivity), 0);
    const ContactItem odd = mapLines("FN:A\nCLASS:X-SECRET\n");
    EXPECT_EQ(tagValue<int32_t>(odd, mapi::PidTagSensitivity), 0);
    EXPECT_TRUE(hasWarningContaining(odd, "X-SECRET"));
}

}  // namespace
}  // namespace contact::testing

namespace contact::testing {
namespace {

TEST(RelatedPeople, CardReferencesAreNoNames) {
    const ContactItem item = mapText(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Boss\r\nAGENT;VALUE=uri:CID:JQPUBLIC.part3.960129T083020.xyzMail@host3.com\r\n"
        "AGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:Susan Thomas\r\nEND:VCARD\r\n"
        "RELATED;TYPE=friend:urn:uuid:f81d4fae-7dec-11d0-a765-00a0c91e6bf6\r\nEND:VCARD\r\n");
    EXPECT_EQ(tagText(item, mapi::PidTagAssistant), "Susan Thomas");
    EXPECT_EQ(body(item), "");
}

}  // namespace
}  // namespace contact::testing
