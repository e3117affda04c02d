// Content of cards: photos, AGENT cards, and the typed accessors the contact mapping uses
// (dates, people, e-mail order, phones, instant messaging, position, classification).
#include <gtest/gtest.h>

#include "vcard_test_support.h"

using namespace vcard;
using namespace vcard::testing;

namespace {

std::string testJpeg() {
    std::string bytes("\xFF\xD8\xFF\xE0", 4);
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    bytes += "\xFF\xD9";
    return bytes;
}

}  // namespace

TEST(Photos, Base64In21IndentedAndEndedByBlankLine) {
    const Parsed parsed = parseData("photo-21-indented.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    const auto photo = card.photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->bytes, testJpeg());
    EXPECT_EQ(photo->mediaType, "image/jpeg");
    ASSERT_EQ(card.phones().size(), 1u);   // the property after the blank line is read
    EXPECT_TRUE(card.warnings.empty());
}

TEST(Photos, UnindentedBase64StopsAtTheNextProperty) {
    const Parsed parsed = parseData("photo-21-unindented.vcf");
    ASSERT_EQ(parsed.cards.size(), 2u);
    const auto photo = parsed.cards[0].photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->bytes, testJpeg());
    EXPECT_TRUE(parsed.cards[0].complete);
    EXPECT_EQ(parsed.cards[1].name()->family, "After");
}

TEST(Photos, EncodingBWithMediaTypeAndFoldedValue) {
    const Parsed parsed = parseData("photo-30-b.vcf");
    const auto photo = parsed.cards.at(0).photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->mediaType, "image/png");
    EXPECT_EQ(photo->bytes.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(photo->bytes.size(), 108u);
}

TEST(Photos, DataUriInAnyCase) {
    const auto photo = parseData("photo-40-data-uri.vcf").cards.at(0).photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->bytes, testJpeg());
    EXPECT_EQ(photo->mediaType, "image/jpeg");
}

// Common tools escape the comma of a data: URI as they would in text (data:image/jpeg;base64\,);
// read literally, the base64 text itself became the "image".
TEST(Photos, DataUriWithEscapedCommaIsDecoded) {
    const Parsed parsed = parseText("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n"
                                    "PHOTO:data:image/png;base64\\,iVBORw0KGgo=\r\n"
                                    "LOGO:data:image/jpeg\\;base64\\,/9j/\r\nEND:VCARD\r\n");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    const auto photo = card.photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->bytes, std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(photo->mediaType, "image/png");
    const Property* logo = card.first("LOGO");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->bytes, "\xFF\xD8\xFF");
}

// Every photo, the preferred first (PREF, TYPE=pref), file order otherwise; links included.
TEST(Photos, SeveralPhotosInPreferenceOrder) {
    const Parsed parsed = parseText("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A\r\n"
                                    "PHOTO:data:image/jpeg;base64,/9j/\r\n"
                                    "PHOTO;PREF=2:http://example.org/b.png\r\n"
                                    "PHOTO;PREF=1:data:image/png;base64,iVBORw0KGgo=\r\n"
                                    "PHOTO:\r\nEND:VCARD\r\n");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const std::vector<Photo> photos = parsed.cards[0].photos();
    ASSERT_EQ(photos.size(), 3u);
    EXPECT_EQ(photos[0].mediaType, "image/png");
    EXPECT_EQ(photos[0].preference, 1);
    EXPECT_EQ(photos[0].line, 6u);
    EXPECT_EQ(photos[1].url, "http://example.org/b.png");
    EXPECT_EQ(photos[2].bytes, "\xFF\xD8\xFF");
    EXPECT_EQ(photos[2].line, 4u);
    EXPECT_EQ(parsed.cards[0].photo()->mediaType, "image/png");   // the preferred one with data
}

TEST(Photos, InvalidBase64WarnsAndKeepsTheCardWithoutPhoto) {
    const Parsed parsed = parseData("photo-invalid.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    EXPECT_FALSE(card.photo());
    EXPECT_TRUE(hasWarning(card.warnings, "PHOTO", "invalid base64"));
    ASSERT_EQ(card.emails().size(), 1u);
    EXPECT_EQ(card.emails()[0].address, "kept@example.org");
}

TEST(Photos, PhotoByReferenceGivesUrlOnly) {
    const auto photo = parseData("photo-url.vcf").cards.at(0).photo();
    ASSERT_TRUE(photo);
    EXPECT_TRUE(photo->bytes.empty());
    EXPECT_EQ(photo->url, "http://example.org/p.jpg");
    EXPECT_EQ(photo->mediaType, "image/jpeg");
}

TEST(Agent, Inline21CardsBelongToTheirAgentProperty) {
    const Parsed parsed = parseData("agent-21.vcf");
    ASSERT_EQ(parsed.cards.size(), 2u);
    const Card& boss = parsed.cards[0];
    ASSERT_EQ(boss.agents.size(), 1u);
    EXPECT_EQ(boss.agents[0].formattedName(), "Harry Helper");
    ASSERT_EQ(boss.agents[0].phones().size(), 1u);
    // The outer card continues after the agent's END:VCARD.
    ASSERT_EQ(boss.phones().size(), 1u);
    EXPECT_EQ(boss.phones()[0].number, "+1 555 0100");
    const auto related = boss.related();
    ASSERT_EQ(related.size(), 1u);
    EXPECT_EQ(related[0].kind, "agent");
    EXPECT_EQ(related[0].name, "Harry Helper");
    ASSERT_EQ(parsed.cards[1].agents.size(), 1u);
    EXPECT_EQ(parsed.cards[1].agents[0].formattedName(), "Inline Agent");
}

TEST(Agent, Escaped30CardTextIsReadAsACard) {
    const Parsed parsed = parseData("agent-30.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    ASSERT_EQ(card.agents.size(), 1u);
    EXPECT_EQ(card.agents[0].formattedName(), "Susan Thomas");
    ASSERT_EQ(card.agents[0].phones().size(), 1u);
    EXPECT_EQ(card.agents[0].phones()[0].number, "+1-919-555-1234");
    ASSERT_EQ(card.agents[0].emails().size(), 1u);
    EXPECT_EQ(card.agents[0].emails()[0].address, "sthomas@host.com");
}

TEST(Agent, CardNestedWithoutAgentBecomesACardOfItsOwn) {
    const Parsed parsed = parseData("nested-without-agent.vcf");
    ASSERT_EQ(parsed.cards.size(), 2u);
    EXPECT_EQ(parsed.cards[0].name()->family, "parent");
    EXPECT_EQ(parsed.cards[0].phones().size(), 1u);
    EXPECT_EQ(parsed.cards[1].name()->family, "nest1");
    EXPECT_TRUE(hasWarning(parsed.cards[0].warnings, "BEGIN", "nested"));
}

TEST(Agent, DeepNestingIsCappedWithoutRecursionTrouble) {
    std::string text = "BEGIN:VCARD\nVERSION:2.1\nFN:Top\n";
    for (int i = 0; i < 20000; ++i) text += "AGENT:\nBEGIN:VCARD\nFN:Level\n";
    for (int i = 0; i < 20000; ++i) text += "END:VCARD\n";
    text += "TEL:1\nEND:VCARD\nBEGIN:VCARD\nFN:Next\nEND:VCARD\n";
    ReaderOptions options;
    const Parsed parsed = parseText(text, options);
    ASSERT_EQ(parsed.cards.size(), 2u);
    int depth = 0;
    for (const Card* c = &parsed.cards[0]; !c->agents.empty(); c = &c->agents[0]) ++depth;
    EXPECT_EQ(depth, options.maxAgentDepth);
    EXPECT_EQ(parsed.cards[1].formattedName(), "Next");
}

TEST(Agent, DeeplyEscaped30AgentsAreCapped) {
    // Each level escapes the one inside it once more.
    std::string inner = "BEGIN:VCARD\nFN:Deepest\nEND:VCARD\n";
    for (int i = 0; i < 10; ++i) {
        std::string escaped;
        for (char c : inner) {
            if (c == '\n') escaped += "\\n";
            else if (c == '\\' || c == ';' || c == ',') { escaped += '\\'; escaped += c; }
            else escaped += c;
        }
        inner = "BEGIN:VCARD\nVERSION:3.0\nFN:L" + std::to_string(i) + "\nAGENT:" + escaped + "\nEND:VCARD\n";
    }
    const Parsed parsed = parseText(inner);
    ASSERT_EQ(parsed.cards.size(), 1u);
    int depth = 0;
    const Card* c = &parsed.cards[0];
    for (; !c->agents.empty(); c = &c->agents[0]) ++depth;
    EXPECT_EQ(depth, ReaderOptions().maxAgentDepth);
    EXPECT_TRUE(hasWarning(c->warnings, "AGENT", "levels deep"));
}

TEST(Accessors, DatesWithAndWithoutYear) {
    const Parsed parsed = parseData("dates-people.vcf");
    ASSERT_EQ(parsed.cards.size(), 2u);
    const auto bday = parsed.cards[0].birthday();
    ASSERT_TRUE(bday);
    EXPECT_FALSE(bday->hasYear());
    EXPECT_EQ(bday->month, 3);
    EXPECT_EQ(bday->day, 22);
    const auto anniversary = parsed.cards[0].anniversary();
    ASSERT_TRUE(anniversary);
    EXPECT_EQ(anniversary->year, 2009);
    EXPECT_EQ(anniversary->month, 10);
    EXPECT_EQ(anniversary->day, 10);
    const auto placeholder = parsed.cards[1].birthday();   // 1604 stands for "no year"
    ASSERT_TRUE(placeholder);
    EXPECT_FALSE(placeholder->hasYear());
    EXPECT_EQ(placeholder->month, 1);
    const auto android = parsed.cards[1].anniversary();
    ASSERT_TRUE(android);
    EXPECT_EQ(android->year, 1999);
    EXPECT_EQ(android->day, 10);
}

TEST(Accessors, DateSpellings) {
    struct Case { const char* text; int y, m, d; };
    for (const Case& c : {Case{"19800322", 1980, 3, 22}, Case{"1980-03-22", 1980, 3, 22},
                          Case{"1955-07-19T00:00:00Z", 1955, 7, 19}, Case{"1996-04-15T201243+04:00", 1996, 4, 15},
                          Case{"--0203", 0, 2, 3}, Case{"--04-16", 0, 4, 16}, Case{"--0229", 0, 2, 29},
                          Case{" 2000-02-29 ", 2000, 2, 29}}) {
        const auto d = parseDate(c.text);
        ASSERT_TRUE(d) << c.text;
        EXPECT_EQ(d->year, c.y) << c.text;
        EXPECT_EQ(d->month, c.m) << c.text;
        EXPECT_EQ(d->day, c.d) << c.text;
    }
    for (const char* bad : {"circa 1800", "1980-13-01", "19810229", "1980-02-30", "", "1980", "2012-06-06x", "--1301"})
        EXPECT_FALSE(parseDate(bad)) << bad;
}

TEST(Accessors, PeopleGenderClassAndKind) {
    const Parsed parsed = parseData("dates-people.vcf");
    const Card& card = parsed.cards[0];
    ASSERT_TRUE(card.gender());
    EXPECT_EQ(card.gender()->sex, 'F');
    EXPECT_EQ(card.gender()->identity, "woman");
    ASSERT_TRUE(parsed.cards[1].gender());
    EXPECT_EQ(parsed.cards[1].gender()->sex, 'M');
    const auto related = card.related();
    ASSERT_EQ(related.size(), 4u);
    EXPECT_EQ(related[0].kind, "spouse");
    EXPECT_EQ(related[0].name, "Pat");
    EXPECT_EQ(related[1].kind, "child");
    EXPECT_EQ(related[2].kind, "manager");
    EXPECT_EQ(related[2].name, "Mona");
    EXPECT_EQ(related[3].kind, "assistant");
    EXPECT_EQ(card.classification(), "PRIVATE");
    EXPECT_EQ(card.kind(), "org");
    EXPECT_EQ(card.uid(), "urn:uuid:abc");
    EXPECT_EQ(card.revision(), "20140301T221110Z");
    EXPECT_EQ(card.productId(), "-//Test//EN");
    EXPECT_EQ(card.defaultPostalAddress(), 2);
}

TEST(Accessors, EmailsInPreferenceOrder) {
    const Card card = parseData("dates-people.vcf").cards.at(0);
    const auto emails = byPreference(card.emails());
    ASSERT_EQ(emails.size(), 3u);
    EXPECT_EQ(emails[0].address, "first@example.org");
    EXPECT_EQ(emails[1].address, "second@example.org");
    EXPECT_EQ(emails[2].address, "third@example.org");
}

TEST(Accessors, TelUriBecomesNumberWithExtension) {
    const Card card = parseData("dates-people.vcf").cards.at(0);
    ASSERT_EQ(card.phones().size(), 1u);
    EXPECT_EQ(card.phones()[0].number, "+1-555-555-5555 x5555");
    EXPECT_EQ(card.phones()[0].types, (std::vector<std::string>{"voice", "home"}));
}

TEST(Accessors, InstantMessagingFromImppAndVendorProperties) {
    const Card card = parseData("dates-people.vcf").cards.at(0);
    const auto im = card.instantMessaging();
    ASSERT_EQ(im.size(), 3u);
    EXPECT_EQ(im[0].service, "xmpp");
    EXPECT_EQ(im[0].handle, "dates@example.org");
    EXPECT_EQ(im[0].preference, 1);
    EXPECT_EQ(im[1].service, "aim");
    EXPECT_EQ(im[1].handle, "aimname");
    EXPECT_EQ(im[1].types, (std::vector<std::string>{"home"}));
    EXPECT_EQ(im[2].service, "skype");
}

TEST(Accessors, GeoInUriAndStructuredForms) {
    const Parsed parsed = parseData("dates-people.vcf");
    const auto a = parsed.cards[0].geo();
    ASSERT_TRUE(a);
    EXPECT_DOUBLE_EQ(a->latitude, 37.386013);
    EXPECT_DOUBLE_EQ(a->longitude, -122.082932);
    const auto b = parsed.cards[1].geo();
    ASSERT_TRUE(b);
    EXPECT_DOUBLE_EQ(b->latitude, 37.5);
    EXPECT_DOUBLE_EQ(b->longitude, -122.25);
}

TEST(Accessors, PhoneticNamesFromVendorPropertiesAndIrmcSound) {
    const Parsed apple = parseText("BEGIN:VCARD\nVERSION:3.0\nFN:Y\nX-PHONETIC-FIRST-NAME:Jon\nX-PHONETIC-LAST-NAME:Dough\nEND:VCARD\n");
    ASSERT_TRUE(apple.cards.at(0).phoneticName());
    EXPECT_EQ(apple.cards[0].phoneticName()->family, "Dough");
    EXPECT_EQ(apple.cards[0].phoneticName()->given, "Jon");
    const Parsed irmc = parseText("BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;B\r\nSOUND;X-IRMC-N;CHARSET=UTF-8:\xEF\xBD\xB1;\xEF\xBE\x9B;;;\r\nEND:VCARD\r\n");
    ASSERT_TRUE(irmc.cards.at(0).phoneticName());
    EXPECT_EQ(irmc.cards[0].phoneticName()->family, "ｱ");
    EXPECT_EQ(irmc.cards[0].phoneticName()->given, "ﾛ");
    EXPECT_FALSE(parseText("BEGIN:VCARD\nFN:Z\nEND:VCARD\n").cards.at(0).phoneticName());
}

TEST(Accessors, NamesAlikeInLengthAndLettersAreToldApart) {
    // EXAXL and TXL look like EMAIL and TEL to the quick name comparison (same length, same
    // first, middle and last letters): only the full compare keeps them out.
    const Card card = parseText("BEGIN:VCARD\nVERSION:3.0\nFN:A\nEXAXL:not@example.org\nEMAIL:yes@example.org\n"
                                "TXL:1\nTEL:2\nAXR:;;Wrong St;;;;\nADR:;;Right St;;;;\nEND:VCARD\n")
                           .cards.at(0);
    ASSERT_EQ(card.emails().size(), 1u);
    EXPECT_EQ(card.emails()[0].address, "yes@example.org");
    ASSERT_EQ(card.phones().size(), 1u);
    EXPECT_EQ(card.phones()[0].number, "2");
    ASSERT_EQ(card.addresses().size(), 1u);
    EXPECT_EQ(card.addresses()[0].street, "Right St");
    ASSERT_NE(card.first("TXL"), nullptr);
    EXPECT_EQ(card.first("TXL")->value, "1");
    EXPECT_EQ(card.all("EXAXL").size(), 1u);
}

TEST(Accessors, PropertiesBuiltByHandAreFoundByName) {
    Card card;
    Property email;
    email.name = "EMAIL";   // no name hash: look-ups compare the name itself
    email.value = "hand@example.org";
    card.properties.push_back(email);
    ASSERT_EQ(card.emails().size(), 1u);
    EXPECT_EQ(card.emails()[0].address, "hand@example.org");
    EXPECT_EQ(card.first("EMAIL"), &card.properties[0]);
    EXPECT_EQ(card.first("TEL"), nullptr);
}

TEST(Accessors, TypesLowerCasedOnceEachWithoutPref) {
    std::string text = "BEGIN:VCARD\nVERSION:3.0\nFN:A\nEMAIL;TYPE=HOME, home ,Pref;TYPE=Work;TYPE=PREF;TYPE=\"\":a@example.org\n"
                       "TEL;TYPE=";
    // More types than are compared one by one: duplicates in another case still go.
    for (int i = 0; i < 40; ++i) text += (i ? "," : "") + std::string(i % 2 ? "T" : "t") + std::to_string(i % 20);
    text += ",pref:1\nEND:VCARD\n";
    const Card card = parseText(text).cards.at(0);
    const Property* email = card.first("EMAIL");
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email->types(), (std::vector<std::string>{"home", "pref", "work"}));
    ASSERT_EQ(card.emails().size(), 1u);
    EXPECT_EQ(card.emails()[0].types, (std::vector<std::string>{"home", "work"}));
    EXPECT_EQ(card.emails()[0].preference, 1);
    ASSERT_EQ(card.phones().size(), 1u);
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) expected.push_back("t" + std::to_string(i));
    EXPECT_EQ(card.phones()[0].types, expected);
    EXPECT_EQ(card.first("TEL")->types().size(), 21u);
    EXPECT_EQ(card.first("TEL")->types().back(), "pref");
}
