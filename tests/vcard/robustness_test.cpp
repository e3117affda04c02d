// Damaged and unusual input: stray text, missing BEGIN, END or VERSION, truncated cards,
// over-long lines, many cards, garbage bytes, file errors, and the fuzzer's regression inputs.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "vcard_test_support.h"
#include "zentra/error.h"

using namespace vcard;
using namespace vcard::testing;

namespace {

long maxResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::filesystem::path tempFile(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("zentra-vcard-" + std::to_string(::getpid()) + "-" + name);
}

}  // namespace

TEST(BrokenInput, StrayTextAndStrayEndAreReportedOutsideCards) {
    const Parsed parsed = parseData("stray-and-truncated.vcf");
    ASSERT_EQ(parsed.cards.size(), 2u);
    const Card& first = parsed.cards[0];
    EXPECT_EQ(first.formattedName(), "First");
    EXPECT_EQ(first.version(), "2.1");   // VERSION after other properties still counts
    EXPECT_TRUE(first.complete);
    EXPECT_TRUE(hasWarning(parsed.fileWarnings, "", "not a property"));
    EXPECT_TRUE(hasWarning(parsed.fileWarnings, "END", "without BEGIN"));
}

TEST(BrokenInput, TruncatedLastCardKeepsWhatItHasWithAWarning) {
    const Parsed parsed = parseData("stray-and-truncated.vcf");
    const Card& last = parsed.cards.at(1);
    EXPECT_FALSE(last.complete);
    EXPECT_EQ(last.formattedName(), "Truncated");
    ASSERT_EQ(last.emails().size(), 1u);
    ASSERT_EQ(last.notes().size(), 1u);
    EXPECT_EQ(last.notes()[0], "cut off in the mid");
    EXPECT_TRUE(hasWarning(last.warnings, "END", "missing"));
}

TEST(BrokenInput, PropertiesWithoutBeginAreReadAsACard) {
    const Parsed parsed = parseData("no-begin.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].formattedName(), "Frank Dawson");
    EXPECT_EQ(parsed.cards[0].version(), "3.0");
    ASSERT_EQ(parsed.cards[0].emails().size(), 1u);
    EXPECT_FALSE(parsed.cards[0].warnings.empty());
}

TEST(BrokenInput, MissingVersionWarnsAndUsesCurrentRules) {
    const Parsed parsed = parseData("no-version.vcf");
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].version(), "");
    EXPECT_EQ(parsed.cards[0].notes().at(0), "a\nb");
    EXPECT_TRUE(hasWarning(parsed.cards[0].warnings, "VERSION", "no VERSION"));
}

TEST(BrokenInput, CardWithoutNamesIsKeptWithAWarning) {
    const Parsed parsed = parseText("BEGIN:VCARD\nVERSION:3.0\nEMAIL:only@example.org\nEND:VCARD\n");
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_TRUE(hasWarning(parsed.cards[0].warnings, "", "neither FN nor N"));
    EXPECT_EQ(parsed.cards[0].emails().size(), 1u);
}

TEST(BrokenInput, GarbageEmptyAndBinaryInputGiveNoCards) {
    EXPECT_TRUE(parseText("").cards.empty());
    EXPECT_TRUE(parseText("\r\n\n   \r").cards.empty());
    EXPECT_TRUE(parseText(std::string("\0\0\0\0\0\0\0\0\0", 9)).cards.empty());
    std::mt19937 random(12345);
    std::string noise(200000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const Parsed parsed = parseText(noise);
    for (const Card& card : parsed.cards) EXPECT_FALSE(card.properties.empty() && card.warnings.empty());
}

// Binary data after the last card (a damaged copy, an appended image) used to start a card
// wherever one of its lines happened to begin with a property name, named with the bytes after it.
TEST(BrokenInput, BinaryBytesOutsideCardsGiveWarningsButNoCard) {
    using namespace std::string_literals;
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Real\r\nEND:VCARD\r\n"
                       "N:}=\x10" "4\x02\x18\xE6-\xB6\x1C" "6\xE3=\r\n"       // control bytes
                       "FN:\xC3\x28\xFE\xFF garbage\r\n"                       // not UTF-8
                       "it\xE9m.TEL:12345\r\n"                                 // a group that is not text
                       "EMAIL:x@example.org\0\x89PNG\r\n"s;
    std::mt19937 random(7);
    for (int i = 0; i < (1 << 20); ++i) text.push_back(static_cast<char>(random()));
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].formattedName(), "Real");
    EXPECT_TRUE(hasWarning(parsed.fileWarnings, "N", "outside a card"));
    EXPECT_TRUE(hasWarning(parsed.fileWarnings, "EMAIL", "outside a card"));

    // A card without BEGIN still ends where binary data starts.
    const Parsed unframed = parseText("FN:Frank\r\nEMAIL:frank@example.org\r\n\x89PNG\x1A\r\nTEL:\x01\x02\r\nNOTE:after\r\n"s);
    ASSERT_EQ(unframed.cards.size(), 1u);
    EXPECT_EQ(unframed.cards[0].formattedName(), "Frank");
    EXPECT_EQ(unframed.cards[0].emails().size(), 1u);
    EXPECT_TRUE(unframed.cards[0].phones().empty());
    EXPECT_TRUE(unframed.cards[0].notes().empty());
    EXPECT_TRUE(hasWarning(unframed.fileWarnings, "TEL", "outside a card"));
}

TEST(BrokenInput, JunkOutsideCardsGivesABoundedListOfWarnings) {
    std::string text;
    for (int i = 0; i < 50000; ++i) text += "junk line " + std::to_string(i) + "\n";
    text += "BEGIN:VCARD\nFN:After junk\nEND:VCARD\n";
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].formattedName(), "After junk");
    EXPECT_LE(parsed.fileWarnings.size(), 1001u);
    EXPECT_TRUE(hasWarning(parsed.fileWarnings, "", "not listed"));
}

TEST(BrokenInput, QuotedPrintableSoftBreakDoesNotSwallowEnd) {
    const Parsed parsed = parseText(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Q\r\nNOTE;ENCODING=QUOTED-PRINTABLE:dangling=\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:R\r\nEND:VCARD\r\n");
    ASSERT_EQ(parsed.cards.size(), 2u);
    EXPECT_TRUE(parsed.cards[0].complete);
    EXPECT_EQ(parsed.cards[0].notes().at(0), "dangling");
}

TEST(MultipleCards, MixedVersionsKeepTheirOwnRulesAndOrder) {
    const Parsed parsed = parseText(
        "BEGIN:VCARD\nVERSION:4.0\nFN:A\nNOTE:x\\ny\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:2.1\nFN:B\nNOTE:x\\ny\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:3.0\nFN:C\nNOTE:x\\ny\nEND:VCARD\n");
    ASSERT_EQ(parsed.cards.size(), 3u);
    EXPECT_EQ(parsed.cards[0].formattedName(), "A");
    EXPECT_EQ(parsed.cards[0].notes().at(0), "x\ny");
    EXPECT_EQ(parsed.cards[1].formattedName(), "B");
    EXPECT_EQ(parsed.cards[1].notes().at(0), "x\\ny");
    EXPECT_EQ(parsed.cards[2].notes().at(0), "x\ny");
}

// A reader refills the properties of a Card read into again; nothing of the previous card may
// show through (parameters, components, binary data, values).
TEST(MultipleCards, ReadingIntoTheSameCardGivesWhatFreshCardsGet) {
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Family;Given;Middle;Dr.;Jr.\r\nFN:One\r\n"
        "ADR;TYPE=home,pref;X-A=1;X-B=2;X-C=3:Box;Ext;Street 1;Town;Region;12345;Country\r\n"
        "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=\r\nCATEGORIES:a,b,c,d\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=QUOTED-PRINTABLE:Tw=C3=B6\r\nTEL;HOME:1\r\nN:Solo\r\n"
        "NOTE:plain\r\nADR:;;Only street\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Three\r\nEMAIL:x@example.org\r\nGEO:geo:1,2\r\n"
        "ORG:Org\r\nTEL;VALUE=uri;TYPE=\"voice,home\":tel:+1\r\nEND:VCARD\r\n"
        // Cards of one layout: each property tends to refill one of its own kind, with fewer
        // components or list values than it held.
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Four\r\nEMAIL:y@example.org\r\nN:A;B,C;D\r\nCATEGORIES:z\r\n"
        "TEL:2\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Five\r\nEMAIL:z@example.org\r\nN:Z;B\r\nORG:x;y\r\nEND:VCARD\r\n";
    const Parsed fresh = parseText(text);
    Reader reader = Reader::fromBuffer(text);
    Card reused;
    std::size_t index = 0;
    while (reader.next(reused)) {
        ASSERT_LT(index, fresh.cards.size());
        const Card& expected = fresh.cards[index++];
        ASSERT_EQ(reused.properties.size(), expected.properties.size());
        for (std::size_t k = 0; k < expected.properties.size(); ++k) {
            const Property& a = reused.properties[k];
            const Property& b = expected.properties[k];
            SCOPED_TRACE(b.name);
            EXPECT_EQ(a.group, b.group);
            EXPECT_EQ(a.name, b.name);
            EXPECT_EQ(a.nameHash, b.nameHash);
            EXPECT_EQ(a.rawValue, b.rawValue);
            EXPECT_EQ(a.value, b.value);
            EXPECT_EQ(a.bytes, b.bytes);
            EXPECT_EQ(a.isBinary, b.isBinary);
            EXPECT_EQ(a.components, b.components);
            ASSERT_EQ(a.parameters.size(), b.parameters.size());
            for (std::size_t i = 0; i < a.parameters.size(); ++i) {
                EXPECT_EQ(a.parameters[i].name, b.parameters[i].name);
                EXPECT_EQ(a.parameters[i].values, b.parameters[i].values);
            }
        }
        EXPECT_EQ(reused.warnings.size(), expected.warnings.size());
        EXPECT_EQ(reused.emails().size(), expected.emails().size());
    }
    EXPECT_EQ(index, 5u);
}

TEST(MultipleCards, OneCardKeptAcrossReadersHandsOnItsStorageUnchanged) {
    const std::string first = "BEGIN:VCARD\nVERSION:3.0\nFN:First\nADR;TYPE=home:;;Street;Town;;1;Land\n"
                              "TEL;TYPE=cell,pref:1\nNOTE:a note long enough to need its own storage\nEND:VCARD\n";
    const std::string second = "BEGIN:VCARD\nVERSION:2.1\nN:Second;Given\nTEL;HOME:2\nEND:VCARD\n";
    Card kept;
    {
        Reader reader = Reader::fromBuffer(first);
        ASSERT_TRUE(reader.next(kept));
        EXPECT_FALSE(reader.next(kept));
        EXPECT_EQ(kept.formattedName(), "First");   // the end of input leaves the card alone
    }
    Reader reader = Reader::fromBuffer(second);
    ASSERT_TRUE(reader.next(kept));
    const Card fresh = parseText(second).cards.at(0);
    ASSERT_EQ(kept.properties.size(), fresh.properties.size());
    for (std::size_t k = 0; k < fresh.properties.size(); ++k) {
        EXPECT_EQ(kept.properties[k].name, fresh.properties[k].name);
        EXPECT_EQ(kept.properties[k].value, fresh.properties[k].value);
        EXPECT_EQ(kept.properties[k].components, fresh.properties[k].components);
        EXPECT_EQ(kept.properties[k].types(), fresh.properties[k].types());
    }
    EXPECT_EQ(kept.formattedName(), "");
    EXPECT_EQ(kept.name()->family, "Second");
    EXPECT_TRUE(kept.addresses().empty());
}

// One reader restarted on file after file (into one card) gives what a new reader gives each
// file: nothing of a file read before, cut short, nested or in UTF-16, carries over.
TEST(MultipleCards, ARestartedReaderGivesWhatANewReaderGives) {
    std::vector<std::string> texts;
    for (const auto& entry : std::filesystem::directory_iterator(dataPath("")))
        if (entry.path().extension() == ".vcf") texts.push_back(readBytes(entry.path().string()));
    std::sort(texts.begin(), texts.end());
    ASSERT_GT(texts.size(), 20u);
    texts.push_back("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:cut short");   // then every file again, backwards
    texts.insert(texts.end(), texts.rbegin() + 1, texts.rend());
    std::optional<Reader> reader;
    Card card;
    for (std::size_t f = 0; f < texts.size(); ++f) {
        SCOPED_TRACE("file " + std::to_string(f));
        if (reader) reader->restart(texts[f]);
        else reader.emplace(Reader::fromBuffer(texts[f]));
        const Parsed fresh = parseText(texts[f]);
        std::size_t index = 0;
        while (reader->next(card)) {
            ASSERT_LT(index, fresh.cards.size());
            const Card& expected = fresh.cards[index++];
            ASSERT_EQ(card.properties.size(), expected.properties.size());
            for (std::size_t k = 0; k < expected.properties.size(); ++k) {
                EXPECT_EQ(card.properties[k].name, expected.properties[k].name);
                EXPECT_EQ(card.properties[k].value, expected.properties[k].value);
                EXPECT_EQ(card.properties[k].bytes, expected.properties[k].bytes);
            }
            EXPECT_EQ(card.agents.size(), expected.agents.size());
            ASSERT_EQ(card.warnings.size(), expected.warnings.size());
            for (std::size_t w = 0; w < expected.warnings.size(); ++w) {
                EXPECT_EQ(card.warnings[w].line, expected.warnings[w].line);
                EXPECT_EQ(card.warnings[w].message, expected.warnings[w].message);
            }
        }
        EXPECT_EQ(index, fresh.cards.size());
        ASSERT_EQ(reader->fileWarnings().size(), fresh.fileWarnings.size());
        for (std::size_t w = 0; w < fresh.fileWarnings.size(); ++w)
            EXPECT_EQ(reader->fileWarnings()[w].line, fresh.fileWarnings[w].line);
    }
}

TEST(MultipleCards, AMillionTinyCardsStreamFromAFile) {
    const auto path = tempFile("million.vcf");
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 1000000; ++i) out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Card " << i << "\r\nEND:VCARD\r\n";
    }
    const long before = maxResidentKb();
    std::size_t seen = 0;
    bool inOrder = true;
    const std::size_t count = parseFile(path, [&](Card&& card) {
        inOrder = inOrder && card.formattedName() == "Card " + std::to_string(seen);
        ++seen;
    });
    const long grownKb = maxResidentKb() - before;
    std::filesystem::remove(path);
    EXPECT_EQ(count, 1000000u);
    EXPECT_EQ(seen, 1000000u);
    EXPECT_TRUE(inOrder);
    if (kMeasureMemory) {
        EXPECT_LT(grownKb, 16 * 1024) << "reading should not keep the cards";
    }
}

TEST(Sizes, OverLongLineIsDroppedWithoutHoldingItAndTheCardSurvives) {
    const auto path = tempFile("long-line.vcf");
    {
        std::ofstream out(path, std::ios::binary);
        out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Long\r\nNOTE:";
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 100; ++i) out << block;   // a 100 MB line
        out << "\r\nEMAIL:after@example.org\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Next\r\nEND:VCARD\r\n";
    }
    ReaderOptions options;
    options.maxLineBytes = 4u << 20;
    const long before = maxResidentKb();
    std::vector<Card> cards;
    parseFile(path, [&](Card&& card) { cards.push_back(std::move(card)); }, options);
    const long grownKb = maxResidentKb() - before;
    std::filesystem::remove(path);
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].formattedName(), "Long");
    EXPECT_TRUE(cards[0].notes().empty());
    ASSERT_EQ(cards[0].emails().size(), 1u);
    EXPECT_TRUE(hasWarning(cards[0].warnings, "", "longer than"));
    EXPECT_EQ(cards[1].formattedName(), "Next");
    if (kMeasureMemory) {
        EXPECT_LT(grownKb, 32 * 1024);
    }
}

TEST(Sizes, LargeInlinePhotoWithinTheLimitIsKept) {
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Big photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/";
    text.append(20u << 20, 'A');   // 20 MB of base64 on one line
    text += "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Small\r\nEND:VCARD\r\n";
    const Parsed parsed = parseText(text);
    ASSERT_EQ(parsed.cards.size(), 2u);
    const auto photo = parsed.cards[0].photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->bytes.size(), ((20u << 20) + 4) / 4 * 3);
    EXPECT_EQ(photo->mediaType, "image/jpeg");
    EXPECT_EQ(parsed.cards[1].formattedName(), "Small");
}

TEST(Sizes, FoldedLineGrowingPastTheLimitIsDropped) {
    std::string text = "BEGIN:VCARD\nVERSION:3.0\nFN:Folded\nNOTE:start\n";
    for (int i = 0; i < 2000; ++i) text += " " + std::string(1000, 'y') + "\n";
    text += "TEL:1\nEND:VCARD\n";
    ReaderOptions options;
    options.maxLineBytes = 100000;
    const Parsed parsed = parseText(text, options);
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_TRUE(parsed.cards[0].notes().empty());
    EXPECT_EQ(parsed.cards[0].phones().size(), 1u);
    EXPECT_TRUE(hasWarning(parsed.cards[0].warnings, "", "longer than"));
}

TEST(Files, MissingFileThrowsErrorWithPathAndReason) {
    const std::string path = "/nonexistent-folder/zentra/none.vcf";
    try {
        Reader::openFile(path);
        FAIL() << "no error";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrFileNotFound);
        EXPECT_NE(e.description().find(path), std::string::npos);
        EXPECT_NE(e.description().find("No such file"), std::string::npos);
    }
    EXPECT_THROW(parseFile(std::filesystem::temp_directory_path(), [](Card&&) {}), zentra::Error);
}

TEST(Files, ReadingAFileEqualsReadingItsBytes) {
    for (const auto& entry : std::filesystem::directory_iterator(dataPath(""))) {
        if (entry.path().extension() != ".vcf") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const Parsed fromFile = parseData(entry.path().filename().string());
        const Parsed fromBytes = parseText(readBytes(entry.path().string()));
        ASSERT_EQ(fromFile.cards.size(), fromBytes.cards.size());
        for (std::size_t i = 0; i < fromFile.cards.size(); ++i) {
            ASSERT_EQ(fromFile.cards[i].properties.size(), fromBytes.cards[i].properties.size());
            for (std::size_t k = 0; k < fromFile.cards[i].properties.size(); ++k) {
                EXPECT_EQ(fromFile.cards[i].properties[k].value, fromBytes.cards[i].properties[k].value);
                EXPECT_EQ(fromFile.cards[i].properties[k].bytes, fromBytes.cards[i].properties[k].bytes);
            }
        }
    }
}

// A file read whole by one call is the file as it was opened; one that grew or shrank since is
// refused and left at its start, so that reading it as a stream sees all of it.
TEST(Files, AWholeReadGivesTheFileAsOpenedOrLeavesItAtItsStart) {
    const std::filesystem::path path = tempFile("whole.vcf");
    const std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n";
    for (const std::string& change : {std::string(), std::string("FN:B\r\n"), std::string("-")}) {
        SCOPED_TRACE(change.empty() ? "unchanged" : change == "-" ? "shrunk" : "grown");
        std::ofstream(path, std::ios::binary) << text;
        const OpenedFile opened = openRegularFile(path.string());
        EXPECT_EQ(opened.size, text.size());
        if (change == "-") std::filesystem::resize_file(path, text.size() - 4);
        else std::ofstream(path, std::ios::binary | std::ios::app) << change;
        std::string bytes = "left over";
        const bool whole = readWhole(opened, bytes);
        EXPECT_EQ(whole, change.empty());
        if (whole) {
            EXPECT_EQ(bytes, text);
        } else {
            char first[6] = {};
            EXPECT_EQ(::read(opened.fd, first, 5), 5);
            EXPECT_STREQ(first, "BEGIN");
        }
        ::close(opened.fd);
    }
    std::filesystem::remove(path);
}

// Inputs that once crashed or hung the fuzz target; they must now parse quietly.
TEST(FuzzRegressions, KeptInputsParse) {
    const std::filesystem::path dir = dataPath("regress");
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
        ++files;
        ReaderOptions options;
        options.maxLineBytes = 1 << 20;
        const Parsed parsed = parseText(readBytes(entry.path().string()), options);
        for (const Card& card : parsed.cards) {
            (void)card.addresses();
            (void)card.related();
            (void)card.photo();
        }
    }
    RecordProperty("files", static_cast<int>(files));
}
