// Every real-world vCard of the shared corpus parses without failing: the number of cards
// matches the BEGIN:VCARD lines outside AGENT nesting, problems come out as warnings, and the
// files MANIFEST.tsv marks as deliberately broken still give their cards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "vcard_test_support.h"

using namespace vcard;
using namespace vcard::testing;

namespace {

const std::filesystem::path kCorpus = std::filesystem::path(ZENTRA_SHARED_DIR) / "corpus" / "vcard";

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Independent count: lines that are BEGIN:VCARD (any case, surrounding blanks) not directly
// after an empty AGENT line and not inside a card opened that way. Works on the raw bytes, so
// UTF-16 files are narrowed first by dropping zero bytes.
std::size_t countCards(std::string bytes) {
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
    std::size_t count = 0;
    int agentDepth = 0;
    bool previousWasAgent = false;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        for (std::size_t cr; (cr = line.find('\r')) != std::string::npos;) line[cr] = ' ';
        std::string text = lower(line);
        const auto b = text.find_first_not_of(" \t\xEF\xBB\xBF\xFE\xFF");
        text = b == std::string::npos ? "" : text.substr(b);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (text == "begin:vcard" || text == "agent:begin:vcard") {
            if (previousWasAgent || text == "agent:begin:vcard" || agentDepth > 0) ++agentDepth;
            else ++count;
        } else if (text == "end:vcard" && agentDepth > 0) {
            --agentDepth;
        }
        if (!text.empty()) previousWasAgent = text == "agent:";
    }
    return count;
}

std::map<std::string, std::string> manifestNotes() {
    std::map<std::string, std::string> notes;
    std::ifstream in(kCorpus / "MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        const auto lastTab = line.rfind('\t');
        if (tab != std::string::npos) notes[line.substr(0, tab)] = line.substr(lastTab + 1);
    }
    return notes;
}

}  // namespace

TEST(Corpus, EveryFileParsesToTheExpectedNumberOfCards) {
    if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus << "; skipped";
    const auto notes = manifestNotes();
    std::size_t files = 0, cards = 0, warnings = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kCorpus)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".vcf") continue;
        const std::string relative = std::filesystem::relative(entry.path(), kCorpus).string();
        SCOPED_TRACE(relative);
        ++files;
        std::size_t expected = countCards(readBytes(entry.path().string()));
        const auto note = notes.find(relative);
        const bool noBegin = note != notes.end() && note->second.find("MISSING BEGIN:VCARD") != std::string::npos;
        if (noBegin) expected = 1;   // content lines alone are read as one card
        std::vector<Card> parsed;
        std::vector<Warning> fileWarnings;
        {
            Reader reader = Reader::openFile(entry.path());
            Card card;
            while (reader.next(card)) parsed.push_back(std::move(card));
            fileWarnings = reader.fileWarnings();
        }
        EXPECT_EQ(parsed.size(), expected);
        cards += parsed.size();
        for (const Card& card : parsed) {
            warnings += card.warnings.size();
            EXPECT_FALSE(card.properties.empty());
            (void)card.emails();
            (void)card.addresses();
            (void)card.photo();
        }
        if (note != notes.end() && note->second.find("DELIBERATELY") != std::string::npos) {
            // A broken file either still reads cleanly where nothing was damaged that we use,
            // or says what was wrong; it never loses its cards.
            EXPECT_GE(parsed.size(), 1u);
        }
        if (noBegin) {
            EXPECT_FALSE(parsed.at(0).warnings.empty());
        }
    }
    EXPECT_GE(files, 200u);
    std::cout << files << " files, " << cards << " cards, " << warnings << " warnings\n";
}

TEST(Corpus, KnownQuirksComeOutRight) {
    if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus << "; skipped";
    auto read = [](const std::string& relative) {
        std::vector<Card> cards;
        parseFile(kCorpus / relative, [&](Card&& c) { cards.push_back(std::move(c)); });
        return cards;
    };
    // Bare CR CR LF line ends with a folded base64 photo (iOS).
    auto iphone = read("ez-vcard/src/test/resources/ezvcard/io/text/John_Doe_IPHONE.vcf");
    ASSERT_EQ(iphone.size(), 1u);
    ASSERT_TRUE(iphone[0].photo());
    EXPECT_EQ(iphone[0].photo()->mediaType, "image/jpeg");
    EXPECT_GT(iphone[0].photo()->bytes.size(), 20000u);
    EXPECT_TRUE(iphone[0].warnings.empty());
    // ownCloud folds inside UTF-8 sequences.
    auto owncloud = read("kcontacts/autotests/data/vcard9.vcf");
    ASSERT_EQ(owncloud.size(), 1u);
    EXPECT_TRUE(owncloud[0].warnings.empty());
    // Deliberately broken base64 photo: no photo, card kept.
    auto malformed = read("android_frameworks_opt_vcard/tests/res/raw/v21_malformed_photo.vcf");
    ASSERT_EQ(malformed.size(), 1u);
    EXPECT_FALSE(malformed[0].photo());
    EXPECT_EQ(malformed[0].formattedName(), "fullname");
    // Truncated card without END:VCARD.
    auto truncated = read("khard/test/fixture/vcards/unparsable.vcf");
    ASSERT_EQ(truncated.size(), 1u);
    EXPECT_FALSE(truncated[0].complete);
    // UTF-16 with BOM.
    auto utf16 = read("derived/multiple.utf16be-bom.vcf");
    ASSERT_EQ(utf16.size(), 3u);
    EXPECT_EQ(utf16[0].formattedName(), read("node-vcf/test/data/multiple.vcf").at(0).formattedName());
}
