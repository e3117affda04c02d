// The body: NOTEs, the "More contact details:" block, and what stays out of it.
#include "mapping_helpers.h"

namespace contact::testing {
namespace {

TEST(Body, NotesJoinedWithCrlfLineBreaks) {
    const ContactItem item = mapLines("FN:A\nNOTE:first line\\nsecond line\nNOTE:another note\n");
    EXPECT_EQ(body(item), "first line\r\nsecond line\r\nanother note");
    const ContactItem qp = mapText(card(
        "FN:A\nNOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo=0Athree\n", "2.1"));
    EXPECT_EQ(body(qp), "one\r\ntwo\r\nthree");
}

TEST(Body, NoBodyWhenThereIsNothingToSay) {
    EXPECT_FALSE(tagText(mapLines("FN:A\nTEL:1\n"), mapi::PidTagBody));
}

TEST(Body, DetailsFollowTheNotesUnderAHeading) {
    const ContactItem item = mapLines(
        "FN:A\nNOTE:Hello\nEMAIL:1@x.org\nEMAIL:2@x.org\nEMAIL:3@x.org\nEMAIL:4@x.org\nEMAIL:5@x.org\n"
        "GEO:48.8584;2.2945\nURL;TYPE=work:http://w.example\nURL;TYPE=work:http://w2.example\n"
        "X-SKYPE:ann.s\nX-JABBER:ann@jabber.org\nIMPP:xmpp:other@jabber.org\n");
    EXPECT_EQ(body(item),
              "Hello\r\n\r\nMore contact details:\r\n"
              "E-mail: 4@x.org\r\nE-mail: 5@x.org\r\n"
              "Web page (work): http://w2.example\r\n"
              "IM (jabber): ann@jabber.org\r\nIM (xmpp): other@jabber.org\r\n"
              "Location: 48.8584, 2.2945");
}

TEST(Body, TechnicalPropertiesStayOut) {
    const ContactItem item = mapLines(
        "FN:A\nPRODID:-//Apple Inc.//iOS 13//EN\nREV:2020-01-01T00:00:00Z\nUID:1234-5678\nX-ABUID:99:ABPerson\n"
        "X-MS-OL-DESIGN;CHARSET=utf-8:<card/>\nSORT-STRING:a\nMAILER:Outlook\nX-MOZILLA-HTML:TRUE\n");
    EXPECT_FALSE(tagText(item, mapi::PidTagBody));
    for (const Property& p : item.properties) {
        if (const std::optional<std::string> s = mapi::stringOf(p.value)) {
            EXPECT_EQ(s->find("1234-5678"), std::string::npos) << p.key.describe();
            EXPECT_EQ(s->find("Apple"), std::string::npos) << p.key.describe();
        }
    }
}

}  // namespace
}  // namespace contact::testing
