// Syntax layer of the vCard parser: line ends and unfolding, transfer encodings and charsets,
// parameters and groups, escapes and structured values.
#include <gtest/gtest.h>

#include <algorithm>

#include "vcard/legacy_charset.h"
#include "vcard_test_support.h"

using namespace vcard;
using namespace vcard::testing;

namespace {

void expectAnnaBerg(const Parsed& parsed) {
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    EXPECT_EQ(card.formattedName(), "Anna Berg");
    ASSERT_TRUE(card.name());
    EXPECT_EQ(card.name()->family, "Berg");
    EXPECT_EQ(card.name()->given, "Anna");
    ASSERT_EQ(card.notes().size(), 1u);
    EXPECT_EQ(card.notes()[0], "first partand secondand third");
    ASSERT_EQ(card.emails().size(), 1u);
    EXPECT_EQ(card.emails()[0].address, "anna@example.org");
    EXPECT_TRUE(card.emails()[0].hasType("work"));
    EXPECT_TRUE(card.warnings.empty()) << card.warnings.front().message;
}

}  // namespace

TEST(LineEnds, CrLfLfBareCrAndMixedReadAlike) {
    for (const char* name : {"line-ends-crlf.vcf", "line-ends-lf.vcf", "line-ends-cr.vcf", "line-ends-mixed.vcf"}) {
        SCOPED_TRACE(name);
        expectAnnaBerg(parseData(name));
    }
}

TEST(LineEnds, ChunkBoundariesAnywhereGiveTheSameCards) {
    const std::string bytes = readBytes(dataPath("line-ends-mixed.vcf"));
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 16u}) {
        SCOPED_TRACE(chunk);
        ReaderOptions options;
        options.chunkBytes = chunk;
        expectAnnaBerg(parseText(bytes, options));
    }
}

TEST(LineEnds, PropertyLineNumbersCountPhysicalLines) {
    const Parsed parsed = parseData("line-ends-cr.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Property* email = parsed.cards[0].first("EMAIL");
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email->line, 8u);
}

TEST(Unfolding, FoldInsideUtf8SequenceIsJoinedBeforeDecoding) {
    const Parsed parsed = parseData("fold-inside-utf8.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].formattedName(), "Łukasz Żółw");
    EXPECT_TRUE(parsed.cards[0].warnings.empty());
}

TEST(Unfolding, FoldInsideParameterListKeepsParameterAndValue) {
    const Parsed parsed = parseData("fold-inside-utf8.vcf");
    const auto addresses = parsed.cards.at(0).addresses();
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].street, "Hauptstraße 1");
    EXPECT_EQ(addresses[0].locality, "Berlin");
    EXPECT_EQ(addresses[0].labelText, "Hauptstraße 1\n10115 Berlin");
    EXPECT_TRUE(addresses[0].hasType("home"));
}

TEST(QuotedPrintable, SoftBreaksJoinLinesWithoutLeadingWhiteSpace) {
    const Parsed parsed = parseData("qp-soft-breaks.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    const auto addresses = card.addresses();
    ASSERT_EQ(addresses.size(), 2u);   // a WORK label is not attached to a HOME address
    bool found = false;
    for (const Address& a : addresses)
        if (a.labelText == "Crescent moon drive\nAlbaney, New York  12345") found = true;
    EXPECT_TRUE(found);
    // A continuation that starts with '#' is data, a line starting with '#' elsewhere is not.
    ASSERT_EQ(card.notes().size(), 1u);
    EXPECT_EQ(card.notes()[0], "before #after end");
    EXPECT_TRUE(hasWarning(card.warnings, "", "not a property"));
}

TEST(QuotedPrintable, CharsetAppliesAfterJoiningAMultibyteCharacterSplitByASoftBreak) {
    const Parsed parsed = parseData("qp-soft-breaks.vcf");
    const auto addresses = parsed.cards.at(0).addresses();
    bool found = false;
    for (const Address& a : addresses)
        if (a.street == "東京都") found = true;
    EXPECT_TRUE(found);
}

TEST(Charsets, DeclaredCharsetsGoThroughIconv) {
    const Parsed parsed = parseData("charsets.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    EXPECT_EQ(card.formattedName(), "Jürgen Müller");
    ASSERT_TRUE(card.name());
    EXPECT_EQ(card.name()->family, "安藤");
}

TEST(Charsets, WithoutCharsetUtf8WhenValidElseWindows1252) {
    const Card card = parseData("charsets.vcf").cards.at(0);
    EXPECT_EQ(card.title(), "Geschäftsführer");
    ASSERT_EQ(card.notes().size(), 1u);
    EXPECT_EQ(card.notes()[0], "Café € 5");
}

TEST(Charsets, WrongOrUnknownCharsetWarnsAndFallsBack) {
    const Card card = parseData("charsets.vcf").cards.at(0);
    EXPECT_EQ(card.role(), "Blå");
    EXPECT_TRUE(hasWarning(card.warnings, "ROLE", "not valid"));
    ASSERT_TRUE(card.organization());
    EXPECT_EQ(card.organization()->name, "Acmeé");
    EXPECT_TRUE(hasWarning(card.warnings, "ORG", "X-NO-SUCH-CHARSET"));
}

TEST(Charsets, FallbackCodePageIsAnOption) {
    ReaderOptions options;
    options.fallbackCharset = "WINDOWS-1250";
    const Parsed parsed = parseText("BEGIN:VCARD\r\nVERSION:2.1\r\nLABEL;ENCODING=QUOTED-PRINTABLE:Krak=F3w, ma=B3opolskie\r\nEND:VCARD\r\n", options);
    ASSERT_EQ(parsed.cards.size(), 1u);
    ASSERT_EQ(parsed.cards[0].addresses().size(), 1u);
    EXPECT_EQ(parsed.cards[0].addresses()[0].labelText, "Kraków, małopolskie");
}

// UTF-7, ISO-2022-JP and UTF-16 text can be written in ASCII bytes (the last quoted-printable):
// that the bytes are ASCII says nothing about the text.
TEST(Charsets, SevenBitCharsetsAreDecodedToo) {
    using namespace std::string_literals;
    const Parsed parsed = parseText("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                    "FN;CHARSET=UTF-7:J+APw-rgen M+APw-ller\r\n"
                                    "N;CHARSET=ISO-2022-JP:\x1B$B0BF#\x1B(B;Yuki\r\n"
                                    "NOTE;CHARSET=UTF-16BE;ENCODING=QUOTED-PRINTABLE:=00O=00K=00!\r\n"
                                    "TITLE;CHARSET=X-NO-SUCH-CHARSET:Boss\r\n"
                                    "END:VCARD\r\n");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    EXPECT_EQ(card.formattedName(), "Jürgen Müller");
    ASSERT_TRUE(card.name());
    EXPECT_EQ(card.name()->family, "安藤");
    EXPECT_EQ(card.name()->given, "Yuki");
    EXPECT_EQ(card.notes().at(0), "OK!");
    EXPECT_EQ(card.title(), "Boss");   // ASCII under an unknown name: nothing to guess
    EXPECT_TRUE(card.warnings.empty()) << card.warnings.front().message;
}

// 8-bit text without CHARSET that is not UTF-8 is read in the legacy charset wherever it
// appears: plain and quoted-printable values, 2.1 and 4.0 cards, parameter values.
TEST(Charsets, LegacyCharsetReadsEveryValueAndParameterAndIsNamedOncePerCard) {
    ReaderOptions options;
    options.fallbackCharset = "CP1250";
    const Parsed parsed = parseText(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ma\xB3gorzata \x8Cwi\xEAta\r\n"
        "ADR;HOME;ENCODING=QUOTED-PRINTABLE:;;ul. Ma=B3a 1;Krak=F3w;ma=B3opolskie;;\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zo\xC3\xAB\r\n"
        "ADR;LABEL=\"ul. Ma\xB3" "a 1\":;;ul. Ma\xB3" "a 1;;;;\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zo\xC3\xAB \xC5\x81\r\nEND:VCARD\r\n",
        options);
    ASSERT_EQ(parsed.cards.size(), 3u);
    const Card& old = parsed.cards[0];
    EXPECT_EQ(old.formattedName(), "Małgorzata Święta");
    ASSERT_EQ(old.addresses().size(), 1u);
    EXPECT_EQ(old.addresses()[0].locality, "Kraków");
    EXPECT_EQ(old.addresses()[0].region, "małopolskie");
    const auto named = [](const Card& card) {
        return std::count_if(card.warnings.begin(), card.warnings.end(),
                             [](const Warning& w) { return w.message.find("CP1250") != std::string::npos; });
    };
    EXPECT_EQ(named(old), 1);   // two values needed it, one warning
    const Card& mixed = parsed.cards[1];
    EXPECT_EQ(mixed.formattedName(), "Zoë");
    ASSERT_EQ(mixed.addresses().size(), 1u);
    EXPECT_EQ(mixed.addresses()[0].labelText, "ul. Mała 1");
    EXPECT_EQ(named(mixed), 1);
    const Card& utf8 = parsed.cards[2];
    EXPECT_EQ(utf8.formattedName(), "Zoë Ł");
    EXPECT_TRUE(utf8.warnings.empty());
}

TEST(Charsets, LegacyCharsetOfALocaleIsItsWindowsCodePage) {
    const struct { const char* locale; const char* codeset; const char* codePage; } cases[] = {
        {"cs_CZ.UTF-8", "UTF-8", "CP1250"},   {"pl_PL", "", "CP1250"},          {"ru_RU.UTF-8", "", "CP1251"},
        {"uk", "", "CP1251"},                 {"sr_RS@latin", "", "CP1250"},    {"sr_RS", "", "CP1251"},
        {"el_GR.UTF-8", "", "CP1253"},        {"tr_TR", "", "CP1254"},          {"he_IL", "", "CP1255"},
        {"ar_EG", "", "CP1256"},              {"lt_LT", "", "CP1257"},          {"vi_VN", "", "CP1258"},
        {"th_TH", "", "CP874"},               {"ja_JP.UTF-8", "", "CP932"},     {"zh_TW", "", "CP950"},
        {"zh_CN", "", "CP936"},               {"ko_KR", "", "CP949"},           {"de_DE.UTF-8", "UTF-8", "CP1252"},
        {"C", "ANSI_X3.4-1968", "CP1252"},    {"", "", "CP1252"},
        // A legacy codeset decides over the language; a Windows code page is the answer itself.
        {"en_US.ISO-8859-2", "", "CP1250"},   {"C", "KOI8-R", "CP1251"},        {"de_DE", "iso88597", "CP1253"},
        {"en_US", "windows-1257", "CP1257"},  {"POSIX", "CP1255", "CP1255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.codeset);
        const std::string codePage = legacyCharsetForLocale(c.locale, c.codeset);
        EXPECT_EQ(codePage, c.codePage);
        EXPECT_TRUE(isUsableLegacyCharset(codePage));
    }
    // What cannot stand in for text that is mostly ASCII is refused: the reader would garble it.
    for (const char* name : {"UTF-7", "UTF-16", "IBM037", "SHIFT_JIS", "NO-SUCH-CHARSET", "", "CP1250//TRANSLIT"})
        EXPECT_FALSE(isUsableLegacyCharset(name)) << name;
    ReaderOptions options;
    options.fallbackCharset = "UTF-16";
    const Card card = parseText("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Caf\xE9\r\nEND:VCARD\r\n", options).cards.at(0);
    EXPECT_EQ(card.formattedName(), "Café");
    EXPECT_TRUE(hasWarning(card.warnings, "FN", "WINDOWS-1252"));
}

TEST(FileEncodings, Utf16AndUtf8WithOrWithoutByteOrderMarks) {
    for (const char* name : {"utf16le-bom.vcf", "utf16be-bom.vcf", "utf16le-nobom.vcf", "utf16be-nobom.vcf", "utf8-bom.vcf"}) {
        SCOPED_TRACE(name);
        const Parsed parsed = parseData(name);
        ASSERT_EQ(parsed.cards.size(), 2u);
        EXPECT_EQ(parsed.cards[0].formattedName(), "Zoë Ångström 😀");
        EXPECT_EQ(parsed.cards[0].version(), "3.0");
        EXPECT_EQ(parsed.cards[1].formattedName(), "Second");
        EXPECT_TRUE(parsed.cards[0].warnings.empty());
        EXPECT_TRUE(parsed.fileWarnings.empty());
    }
}

TEST(FileEncodings, Utf16SurrogatePairSplitAcrossChunks) {
    const std::string bytes = readBytes(dataPath("utf16le-bom.vcf"));
    for (std::size_t chunk : {16u, 17u, 18u, 19u}) {
        ReaderOptions options;
        options.chunkBytes = chunk;
        const Parsed parsed = parseText(bytes, options);
        ASSERT_EQ(parsed.cards.size(), 2u);
        EXPECT_EQ(parsed.cards[0].formattedName(), "Zoë Ångström 😀") << chunk;
    }
}

TEST(Parameters, BareTypesRepeatedTypesAndQuotedListsMerge) {
    const Card card = parseData("parameters.vcf").cards.at(0);
    const auto phones = card.phones();
    ASSERT_EQ(phones.size(), 5u);
    EXPECT_EQ(phones[0].types, (std::vector<std::string>{"home", "voice"}));
    EXPECT_EQ(phones[1].types, (std::vector<std::string>{"work", "voice"}));
    EXPECT_EQ(phones[2].types, (std::vector<std::string>{"cell"}));
    EXPECT_EQ(phones[2].preference, 1);
    EXPECT_EQ(phones[0].preference, 0);
    EXPECT_EQ(phones[3].types, (std::vector<std::string>{"fax", "home"}));
    const Property* tel = card.first("TEL");
    ASSERT_NE(tel, nullptr);
    ASSERT_NE(tel->parameter("TYPE"), nullptr);
    EXPECT_EQ(tel->parameter("TYPE")->values, (std::vector<std::string>{"HOME", "VOICE"}));   // case kept
}

TEST(Parameters, QuotedValueMayHoldSemicolonColonAndComma) {
    const Card card = parseData("parameters.vcf").cards.at(0);
    const Property* note = card.first("NOTE");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->parameterValue("X-NOTE-KIND"), "a;b:c,d");
    EXPECT_EQ(note->value, "quoted parameter");
}

TEST(Parameters, GroupLabelsAttachToTheirGroupWhateverTheCase) {
    const Card card = parseData("parameters.vcf").cards.at(0);
    const auto emails = card.emails();
    ASSERT_EQ(emails.size(), 1u);
    EXPECT_EQ(emails[0].label, "Other");
    const auto phones = card.phones();
    EXPECT_EQ(phones[4].number, "+1 555 0104");
    EXPECT_EQ(phones[4].label, "AssistantPhone");
    const auto urls = card.urls();
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].url, "http://example.org/home");
    EXPECT_EQ(urls[0].label, "HomePage");
    const auto related = card.related();
    ASSERT_EQ(related.size(), 1u);
    EXPECT_EQ(related[0].kind, "spouse");
    EXPECT_EQ(related[0].name, "Jenny");
    ASSERT_TRUE(card.anniversary());
    EXPECT_EQ(card.anniversary()->year, 1975);
    EXPECT_EQ(card.anniversary()->month, 3);
    EXPECT_EQ(card.anniversary()->day, 1);
}

TEST(Parameters, CaretEscapesIn40ButNotIn21) {
    const Parsed parsed = parseData("caret-escapes.vcf");
    ASSERT_EQ(parsed.cards.size(), 2u);
    const auto a = parsed.cards[0].addresses();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].labelText, "Main St. 1\nSpringfield \"HQ\" ^5");
    const auto b = parsed.cards[1].addresses();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].labelText, "a^nb");
}

TEST(Parameters, UnquotedColonInsideParameterDamagesOnlyThatProperty) {
    const Parsed parsed = parseText(
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Colon\r\nADR;TYPE=work;LABEL=Room ^'A^': BH G01:;;Street;City;;;\r\n"
        "EMAIL:still@example.org\r\nEND:VCARD\r\n");
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].formattedName(), "Colon");
    ASSERT_EQ(parsed.cards[0].emails().size(), 1u);
    EXPECT_EQ(parsed.cards[0].emails()[0].address, "still@example.org");
}

TEST(Values, Version30EscapesAndStructuredComponents) {
    const Card card = parseData("structured.vcf").cards.at(0);
    ASSERT_TRUE(card.name());
    EXPECT_EQ(card.name()->family, "Doe");
    EXPECT_EQ(card.name()->additional, "Richter James");   // a comma list inside a component
    EXPECT_EQ(card.name()->suffixes, "Sr.");
    const Property* n = card.first("N");
    ASSERT_EQ(n->components.size(), 5u);
    EXPECT_EQ(n->components[2], (std::vector<std::string>{"Richter", "James"}));
    ASSERT_TRUE(card.organization());
    EXPECT_EQ(card.organization()->name, "Acme, Inc.");
    EXPECT_EQ(card.organization()->units, (std::vector<std::string>{"R&D", "Lab 5"}));
    EXPECT_EQ(card.nicknames(), (std::vector<std::string>{"Johnny", "JD, Jr."}));
    EXPECT_EQ(card.categories(), (std::vector<std::string>{"Friends", "Work", "Golf"}));
    ASSERT_EQ(card.notes().size(), 1u);
    EXPECT_EQ(card.notes()[0], "line one\nline two, with comma; and semicolon \\ backslash\n end");
    ASSERT_EQ(card.phones().size(), 1u);
    EXPECT_EQ(card.phones()[0].number, "205246;;,;");
}

TEST(Values, AddressComponentsAndMatchingLabel) {
    const Card card = parseData("structured.vcf").cards.at(0);
    const auto addresses = card.addresses();
    ASSERT_EQ(addresses.size(), 1u);
    const Address& a = addresses[0];
    EXPECT_EQ(a.poBox, "PO 5");
    EXPECT_EQ(a.extended, "Apt 2");
    EXPECT_EQ(a.street, "1 Main St\nBack door");
    EXPECT_EQ(a.locality, "Town");
    EXPECT_EQ(a.region, "ST");
    EXPECT_EQ(a.postalCode, "12345");
    EXPECT_EQ(a.country, "Land");
    EXPECT_EQ(a.preference, 1);
    EXPECT_EQ(a.types, (std::vector<std::string>{"home"}));
    EXPECT_EQ(a.labelText, "1 Main St\nTown");
}

TEST(Values, Version21BackslashesAreMostlyLiteral) {
    const Card card = parseData("structured.vcf").cards.at(1);
    const Property* n = card.first("N");
    ASSERT_NE(n, nullptr);
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < n->components.size(); ++i) parts.push_back(n->component(i));
    EXPECT_EQ(parts, (std::vector<std::string>{"", "A;B\\", "C\\;", "D", ":E", "\\\\", ""}));
    EXPECT_EQ(card.formattedName(), "A;B\\C\\;D:E\\\\");
    EXPECT_EQ(card.notes().at(0), "keep \\n literal");
}

TEST(Values, Version21AddressContinuedByTrailingBackslash) {
    const Card card = parseData("structured.vcf").cards.at(1);
    const auto addresses = card.addresses();
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].street, "Street 1\nSecond line\nThird");
    EXPECT_EQ(addresses[0].locality, "City");
    EXPECT_EQ(addresses[0].country, "Country");
}
