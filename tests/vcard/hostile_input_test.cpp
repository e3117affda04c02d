// Hostile input at parser level: huge lines and photos, deep AGENT nesting, broken base64,
// NUL and control bytes, and input shapes that would take quadratic time in a naive parser.
// Each must end (the test's time limit catches a hang), keep what card it can with warnings,
// and stay within a small multiple of the card in memory. Memory is measured in a child
// process (fork, then wait4 gives the child's own peak resident size), against a child that
// does nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "../support/child_process.h"
#include "vcard_test_support.h"

using namespace vcard;
using namespace vcard::testing;
using namespace zentra::testing;

namespace {

std::filesystem::path tempFile(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("zentra-vcard-hostile-" + std::to_string(::getpid()) + "-" + name);
}

struct TempFile {
    std::filesystem::path path;
    explicit TempFile(const std::string& name) : path(tempFile(name)) {}
    ~TempFile() { std::filesystem::remove(path); }
};

std::vector<Card> readFile(const std::filesystem::path& path, std::vector<Warning>* fileWarnings = nullptr) {
    Reader reader = Reader::openFile(path);
    std::vector<Card> cards;
    Card card;
    while (reader.next(card)) cards.push_back(std::move(card));
    if (fileWarnings) *fileWarnings = reader.fileWarnings();
    return cards;
}

// A folded or unfolded base64 photo of at least `decodedBytes` bytes: a JPEG start, then zeros.
// Returns its exact size.
std::size_t writePhotoCard(std::ostream& out, std::size_t decodedBytes, bool folded) {
    const std::size_t chars = decodedBytes / 3 * 4;
    out << (folded ? "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/"
                   : "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Photo\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n/9j/");
    const std::string line(72, 'A');
    std::size_t written = 4;
    for (; written < chars; written += line.size()) out << (folded ? "\r\n " : "\r\n") << line;
    out << (folded ? "\r\n" : "\r\n\r\n") << "TEL:123\r\nEND:VCARD\r\n";
    return written / 4 * 3;
}

}  // namespace

TEST(HugeInput, HundredMegabyteSingleLineWithoutLineBreaks) {
    constexpr std::size_t kBytes = 100u << 20;
    {   // a property line: recognisable as a card without BEGIN
        TempFile file("one-line.vcf");
        {
            std::ofstream out(file.path, std::ios::binary);
            out << "FN:";
            const std::string block(1 << 20, 'x');
            for (std::size_t i = 0; i < kBytes / block.size(); ++i) out << block;
        }
        const ChildRun run = runInChild([&] {
            const std::vector<Card> cards = readFile(file.path);
            return check(cards.size() == 1, "one card") &&
                   check(cards[0].formattedName().size() == kBytes, "the whole name") &&
                   check(hasWarning(cards[0].warnings, "FN", "without BEGIN"), "warning about the missing BEGIN");
        });
        EXPECT_TRUE(run.passed);
        // The read buffer, the joined line and the raw and decoded value: a few times the line.
        if (kMeasureMemory) {
            EXPECT_LT(run.peakKb - idleChildKb(), 4 * 100 * kMiB) << "peak " << run.peakKb << " KiB";
        }
    }
    {   // plain junk: no card, a warning outside cards
        TempFile file("junk-line.vcf");
        {
            std::ofstream out(file.path, std::ios::binary);
            const std::string block(1 << 20, 'j');
            for (std::size_t i = 0; i < kBytes / block.size(); ++i) out << block;
        }
        const ChildRun run = runInChild([&] {
            std::vector<Warning> fileWarnings;
            const std::vector<Card> cards = readFile(file.path, &fileWarnings);
            return check(cards.empty(), "no card") && check(hasWarning(fileWarnings, "", "not a property"), "warning");
        });
        EXPECT_TRUE(run.passed);
        if (kMeasureMemory) {
            EXPECT_LT(run.peakKb - idleChildKb(), 3 * 100 * kMiB) << "peak " << run.peakKb << " KiB";
        }
    }
}

TEST(HugeInput, FiftyMegabytePhotoFoldedAndUnfolded) {
    constexpr std::size_t kPhotoBytes = 50u << 20;
    for (const bool folded : {true, false}) {
        SCOPED_TRACE(folded ? "folded 3.0" : "unindented 2.1");
        TempFile file(folded ? "photo-folded.vcf" : "photo-unfolded.vcf");
        std::size_t photoBytes = 0;
        {
            std::ofstream out(file.path, std::ios::binary);
            photoBytes = writePhotoCard(out, kPhotoBytes, folded);
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:After\r\nEND:VCARD\r\n";
        }
        const ChildRun run = runInChild([&] {
            const std::vector<Card> cards = readFile(file.path);
            if (!check(cards.size() == 2, "two cards")) return false;
            const std::optional<Photo> photo = cards[0].photo();
            return check(photo && photo->bytes.size() == photoBytes, "the whole photo") &&
                   check(photo->mediaType == "image/jpeg", "JPEG") &&
                   check(cards[0].phones().size() == 1, "the phone after the photo") &&
                   check(cards[1].formattedName() == "After", "the next card");
        });
        EXPECT_TRUE(run.passed);
        // Base64 text (4/3 of the photo) while reading, then the photo itself and the copy photo() makes.
        if (kMeasureMemory) {
            EXPECT_LT(run.peakKb - idleChildKb(), 4 * 50 * kMiB) << "peak " << run.peakKb << " KiB";
        }
    }
}

TEST(HugeInput, AMillionTinyCardsStreamInBoundedMemory) {
    TempFile file("million.vcf");
    {
        std::ofstream out(file.path, std::ios::binary);
        for (int i = 0; i < 1000000; ++i) out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:C" << i << "\r\nEND:VCARD\r\n";
    }
    const ChildRun run = runInChild([&] {
        std::size_t seen = 0;
        bool inOrder = true;
        const std::size_t count = parseFile(file.path, [&](Card&& card) {
            inOrder = inOrder && card.formattedName() == "C" + std::to_string(seen);
            ++seen;
        });
        return check(count == 1000000 && seen == 1000000, "every card counted") && check(inOrder, "in order");
    });
    EXPECT_TRUE(run.passed);
    // The file is ~40 MB; streaming holds one card, so the peak barely moves.
    if (kMeasureMemory) {
        EXPECT_LT(run.peakKb - idleChildKb(), 8 * kMiB) << "peak " << run.peakKb << " KiB";
    }
}

TEST(Nesting, MegabyteAgentValueAndTenThousandNestedCardsInside) {
    std::string inner = "BEGIN:VCARD\\nVERSION:3.0\\nFN:" + std::string(1 << 20, 'a') + "\\nEND:VCARD\\n";
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Boss\r\nAGENT:" + inner + "\r\nTEL:1\r\nEND:VCARD\r\n";
    Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    ASSERT_EQ(parsed.cards[0].agents.size(), 1u);
    EXPECT_EQ(parsed.cards[0].agents[0].formattedName().size(), 1u << 20);
    EXPECT_EQ(parsed.cards[0].phones().size(), 1u);

    // One AGENT value holding 10,000 cards nested inside each other, escaped once.
    std::string nested = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Top\r\nAGENT:";
    for (int i = 0; i < 10000; ++i) nested += "BEGIN:VCARD\\nVERSION:3.0\\nFN:L" + std::to_string(i) + "\\n";
    for (int i = 0; i < 10000; ++i) nested += "END:VCARD\\n";
    nested += "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Next\r\nEND:VCARD\r\n";
    parsed = parseText(nested);
    ASSERT_EQ(parsed.cards.size(), 2u);
    ASSERT_FALSE(parsed.cards[0].agents.empty());
    EXPECT_EQ(parsed.cards[0].agents[0].formattedName(), "L0");
    EXPECT_EQ(parsed.cards[1].formattedName(), "Next");
    // Nothing deeper than the limit is kept, however the levels are written.
    int depth = 0;
    std::vector<const Card*> level{&parsed.cards[0]};
    while (!level.empty()) {
        std::vector<const Card*> below;
        for (const Card* c : level)
            for (const Card& a : c->agents) below.push_back(&a);
        if (!below.empty()) ++depth;
        level = std::move(below);
    }
    EXPECT_LE(depth, ReaderOptions().maxAgentDepth);
}

TEST(BrokenValues, InvalidBase64KeepsTheCardWithAWarning) {
    struct Case {
        const char* name;
        const char* value;
        bool decodes;          // lenient readings that still give bytes
        std::size_t bytes;
    };
    const Case cases[] = {
        {"bad character", "QUJD*RUY=", false, 0},
        {"data after padding", "QUI=QUJD", false, 0},
        {"truncated to one character of a group", "QUJDR", false, 0},
        {"only padding", "====", true, 0},
        {"missing padding", "QUI", true, 2},
        {"extra padding", "QUI===", true, 2},
        {"white space inside", "QU JD\tRA==", true, 4},
        {"non-ASCII bytes", "QUJD\xC3\xA9", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:X\r\nPHOTO;ENCODING=b:") + c.value +
                                 "\r\nEMAIL:x@example.org\r\nEND:VCARD\r\n";
        const Parsed parsed = parseText(text);
        ASSERT_EQ(parsed.cards.size(), 1u);
        const Card& card = parsed.cards[0];
        EXPECT_EQ(card.emails().size(), 1u);
        const Property* photo = card.all("PHOTO").at(0);
        if (c.decodes) {
            EXPECT_TRUE(photo->isBinary);
            EXPECT_EQ(photo->bytes.size(), c.bytes);
        } else {
            EXPECT_FALSE(photo->isBinary);
            EXPECT_TRUE(photo->bytes.empty());
            EXPECT_FALSE(card.photo());
            EXPECT_TRUE(hasWarning(card.warnings, "PHOTO", "invalid base64"));
        }
    }
}

TEST(BrokenValues, NulAndControlBytesInNamesAndValues) {
    using namespace std::string_literals;
    const std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\n"
                             "FN:Ann\0e\x01\x1B[31m\x7F\r\n"s
                             "F\0N:hidden\r\n"s
                             "T\x01TLE:also hidden\r\n"
                             "NOTE;X-P\0=a\0b:kept\0value\r\n"s
                             "\0\0\0\r\n"s
                             "EMAIL:a@example.org\r\nEND:VCARD\r\n";
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    // Control bytes are kept as written (what to show of them is the mapping's choice), but a
    // value ends at a NUL: dropping it would join two pieces into a different, plausible text.
    EXPECT_EQ(card.formattedName(), "Ann");
    EXPECT_EQ(card.title(), "");
    ASSERT_EQ(card.notes().size(), 1u);
    EXPECT_EQ(card.notes()[0], "kept");
    EXPECT_TRUE(hasWarning(card.warnings, "FN", "NUL"));
    EXPECT_TRUE(hasWarning(card.warnings, "NOTE", "NUL"));
    EXPECT_EQ(card.emails().size(), 1u);
    EXPECT_TRUE(hasWarning(card.warnings, "", "bad name"));
    EXPECT_EQ(card.all("FN").size(), 1u);
}

// However the NUL arrives (raw, quoted-printable, UTF-16), the value is cut there, never joined;
// in a structured value only the component holding it is cut.
TEST(BrokenValues, ValuesEndAtANulWhateverEncodingBroughtIt) {
    using namespace std::string_literals;
    const Parsed parsed = parseText("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                    "EMAIL:ann\0a@example.org\r\n"s
                                    "EMAIL;ENCODING=QUOTED-PRINTABLE:bob=00b@example.org\r\n"
                                    "NOTE;CHARSET=UTF-16BE;ENCODING=QUOTED-PRINTABLE:=00h=00i=00=00=00x\r\n"
                                    "ADR:;;Main St\0reet 1;Oslo;;0150;Norway\r\n"s
                                    "END:VCARD\r\n");
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    const std::vector<Email> emails = card.emails();
    ASSERT_EQ(emails.size(), 2u);
    EXPECT_EQ(emails[0].address, "ann");
    EXPECT_EQ(emails[1].address, "bob");
    EXPECT_EQ(card.notes().at(0), "hi");
    const std::vector<Address> addresses = card.addresses();
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].street, "Main St");
    EXPECT_EQ(addresses[0].locality, "Oslo");
    EXPECT_EQ(addresses[0].country, "Norway");
    std::size_t nulWarnings = 0;
    for (const Warning& w : card.warnings) nulWarnings += w.message.find("NUL") != std::string::npos;
    EXPECT_EQ(nulWarnings, 4u);
}

TEST(LinearTime, LongColonlessLineWithManyContinuations) {
    // Before the colon arrives every continuation used to search the whole line again.
    std::string text = "BEGIN:VCARD\nVERSION:3.0\nFN:X\nX-LONG;TYPE=";
    for (int i = 0; i < 400000; ++i) text += "\n " + std::string(40, 'a');
    text += ":value\nEMAIL:x@example.org\nEND:VCARD\n";
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Property* longProperty = parsed.cards[0].first("X-LONG");
    ASSERT_NE(longProperty, nullptr);
    EXPECT_EQ(longProperty->value, "value");
    EXPECT_EQ(longProperty->parameterValue("TYPE").size(), 400000u * 40);
    EXPECT_EQ(parsed.cards[0].emails().size(), 1u);
}

TEST(LinearTime, ThousandsOfParametersTypesAndGroups) {
    std::string text = "BEGIN:VCARD\nVERSION:3.0\nFN:X\nTEL";
    for (int i = 0; i < 200000; ++i) text += ";X-P" + std::to_string(i) + "=v";
    text += ":123\nEMAIL;TYPE=";
    for (int i = 0; i < 200000; ++i) text += (i ? "," : "") + std::string("t") + std::to_string(i % 100000);
    text += ":typed@example.org\n";
    for (int i = 0; i < 50000; ++i) {
        const std::string group = "item" + std::to_string(i);
        text += group + ".EMAIL:e" + std::to_string(i) + "@example.org\n" + group + ".X-ABLabel:L" + std::to_string(i) + "\n";
    }
    text += "END:VCARD\n";
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    const Card& card = parsed.cards[0];
    const Property* tel = card.first("TEL");
    ASSERT_NE(tel, nullptr);
    EXPECT_EQ(tel->value, "123");
    EXPECT_LE(tel->parameters.size(), 100u);
    EXPECT_TRUE(hasWarning(card.warnings, "TEL", "parameters ignored"));
    const std::vector<Email> emails = card.emails();
    ASSERT_EQ(emails.size(), 50001u);
    EXPECT_EQ(emails[0].types.size(), 100000u);   // duplicates removed
    EXPECT_EQ(emails[50000].address, "e49999@example.org");
    EXPECT_EQ(emails[50000].label, "L49999");
}

TEST(LinearTime, ManyJunkLinesInsideACardGiveABoundedListOfWarnings) {
    std::string text = "BEGIN:VCARD\nVERSION:3.0\nFN:X\n";
    for (int i = 0; i < 200000; ++i) text += "junk line without colon\n";
    text += "EMAIL:x@example.org\nEND:VCARD\n";
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].emails().size(), 1u);
    EXPECT_LE(parsed.cards[0].warnings.size(), 1010u);
    EXPECT_TRUE(hasWarning(parsed.cards[0].warnings, "", "not listed"));
}
