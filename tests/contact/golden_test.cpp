// The mapping's complete output checked against output recorded earlier: every property, value,
// type and position for a file of varied cards, and digests of the same dumps for damaged cards
// and for the shared corpus. Speed work on the mapping must leave all of it unchanged.
//
// To record new expectations after a deliberate change of the output, run the test with
// ZENTRA_RECORD_GOLDEN=1 and review the difference of tests/contact/data/golden-* before committing.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "mapping_helpers.h"
#include "property_dump.h"
#include "zentra/error.h"

namespace contact::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ZENTRA_SOURCE_DIR) / "tests/contact/data";
const fs::path kCardsFile = kData / "golden-cards.vcf";
const fs::path kDumpFile = kData / "golden-cards.dump";
const fs::path kDigestFile = kData / "golden-digests.txt";

// The recordings are made as if in New York in winter all year (local midnight at 05:00 UTC),
// so the tagged and the *Local date properties differ and both are checked.
MapOptions goldenOptions() {
    MapOptions options = fixedOptions();
    options.dayStart = [](int, int, int) { return int64_t{5 * 3600}; };
    return options;
}

bool recording() { return std::getenv("ZENTRA_RECORD_GOLDEN") != nullptr; }

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// "== card N" headers split the recorded dump into one text per card.
std::vector<std::string> splitCards(const std::string& dump) {
    std::vector<std::string> cards;
    std::size_t at = 0;
    while ((at = dump.find("== card ", at)) != std::string::npos) {
        const std::size_t start = dump.find('\n', at) + 1;
        const std::size_t next = dump.find("== card ", start);
        cards.push_back(dump.substr(start, (next == std::string::npos ? dump.size() : next) - start));
        at = start;
    }
    return cards;
}

// The whole of a file's mapping, card after card; a refused file gives its error.
std::string dumpFile(const fs::path& path) {
    std::string out;
    std::size_t index = 0;
    try {
        importFile(path, goldenOptions(), [&](ContactItem&& item) {
            out += "== card " + std::to_string(index++) + "\n" + dumpItem(item);
        });
    } catch (const zentra::Error& e) {
        out += "error " + std::to_string(e.number()) + " " + e.what() + "\n";
    }
    return out;
}

std::map<std::string, std::string> readDigests() {
    std::map<std::string, std::string> digests;
    std::istringstream lines(readAll(kDigestFile));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.rfind(' ');
        if (space != std::string::npos) digests[line.substr(0, space)] = line.substr(space + 1);
    }
    return digests;
}

// Damaged variants of a card that touches every family of the mapping.
std::vector<std::string> damagedCards() {
    const std::string rich = card(
        "FN:Ann Lee\nN:Lee;Ann;Mary Jo;Dr.;;\nNICKNAME:Annie,Lee\nORG:Acme;Sales;EMEA\nTITLE:Boss\n"
        "EMAIL;TYPE=pref:a@x.org\nEMAIL:b@x.org\nEMAIL:A@X.ORG\nEMAIL:c@x.org\nEMAIL:d@x.org\n"
        "TEL;TYPE=work,fax:1\nTEL;TYPE=home:2\nTEL;TYPE=home:3\nTEL;TYPE=cell:4\nTEL:5\n"
        "ADR;TYPE=work:;;1 St;Town;;123;\nLABEL;TYPE=work:1 St\\nTown\nADR;TYPE=home:;B;2 St;City;ST;9;Land\n"
        "ADR:;;3 St;;;;\nBDAY:--0229\nANNIVERSARY:2000-02-29\nCATEGORIES:a,b,A\nURL:http://x.org\n"
        "URL;TYPE=home:http://h.org\nIMPP:xmpp:a@x.org\nX-SKYPE:s\nGENDER:F;she\nCLASS:PRIVATE\n"
        "RELATED;TYPE=spouse:Bo\nRELATED;TYPE=child:Cy\nGEO:1.5;2\nNOTE:n\\nm\n");
    std::mt19937 random(4242);
    std::vector<std::string> out;
    for (int round = 0; round < 200; ++round) {
        std::string bytes = rich + rich;
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < edits && !bytes.empty(); ++i) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 3) {
                case 0: bytes[at] = static_cast<char>(random()); break;
                case 1: bytes.erase(at, 1 + random() % 40); break;
                default: bytes.insert(at, 1, static_cast<char>(random())); break;
            }
        }
        out.push_back(std::move(bytes));
    }
    return out;
}

std::string dumpText(std::string_view text) {
    std::string out;
    std::size_t index = 0;
    for (const vcard::Card& c : vcard::parseBuffer(text))
        out += "== card " + std::to_string(index++) + "\n" + dumpItem(mapCard(c, goldenOptions()));
    return out;
}

TEST(Golden, VariedCardsMapExactlyAsRecorded) {
    const std::string dump = dumpFile(kCardsFile);
    if (recording()) {
        writeAll(kDumpFile, dump);
        GTEST_SKIP() << "recorded " << kDumpFile;
    }
    const std::vector<std::string> expected = splitCards(readAll(kDumpFile));
    const std::vector<std::string> actual = splitCards(dump);
    ASSERT_GE(expected.size(), 50u) << "recorded dump missing or short: " << kDumpFile;
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "card " << i;
}

// A thread maps card after card into one item (its memory kept): each card must come out exactly
// as into a fresh item, whatever the card before it left behind, after the store took the
// properties and gave their memory back, or not.
TEST(Golden, AReusedItemMapsEachCardAsAFreshOne) {
    std::vector<vcard::Card> cards;
    vcard::Reader reader = vcard::Reader::openFile(kCardsFile, goldenOptions().reader);
    for (vcard::Card card; reader.next(card);) cards.push_back(card);
    ASSERT_GE(cards.size(), 50u);
    auto whole = [](const ContactItem& item) {
        std::string out = dumpItem(item) + "uid " + item.uid + (item.isGroup ? " group\n" : "\n");
        for (const GroupMember& m : item.groupMembers) out += "member " + m.uid + " " + m.written + "\n";
        return out;
    };
    ContactItem reused;
    for (int pass = 0; pass < 2; ++pass) {   // forwards, then backwards: rich and poor cards both ways
        for (std::size_t k = 0; k < cards.size(); ++k) {
            const std::size_t i = pass == 0 ? k : cards.size() - 1 - k;
            mapCard(cards[i], goldenOptions(), reused);
            ASSERT_EQ(whole(reused), whole(mapCard(cards[i], goldenOptions()))) << "card " << i << ", pass " << pass;
            if (k % 2 == 0) reused.properties.adopt(reused.properties.release());
        }
    }
}

TEST(Golden, DamagedCardsAndCorpusMapAsRecorded) {
    std::vector<std::pair<std::string, std::string>> digests;   // name, digest
    const std::vector<std::string> damaged = damagedCards();
    for (std::size_t i = 0; i < damaged.size(); ++i)
        digests.emplace_back("damaged-" + std::to_string(i), hexDigest(digestOf(dumpText(damaged[i]))));
    const fs::path corpus = fs::path(ZENTRA_SHARED_DIR) / "corpus/vcard";
    std::vector<fs::path> files;
    if (fs::is_directory(corpus))
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(corpus))
            if (entry.is_regular_file() && entry.path().extension() == ".vcf") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
        digests.emplace_back("corpus/" + fs::relative(file, corpus).generic_string(), hexDigest(digestOf(dumpFile(file))));

    if (recording()) {
        std::string text;
        for (const auto& [name, digest] : digests) text += name + " " + digest + "\n";
        writeAll(kDigestFile, text);
        GTEST_SKIP() << "recorded " << kDigestFile;
    }
    const std::map<std::string, std::string> expected = readDigests();
    ASSERT_GE(expected.size(), damaged.size()) << "recorded digests missing: " << kDigestFile;
    std::size_t compared = 0;
    for (const auto& [name, digest] : digests) {
        const auto found = expected.find(name);
        if (found == expected.end()) continue;   // a corpus file added after the recording
        EXPECT_EQ(digest, found->second) << name;
        ++compared;
    }
    EXPECT_GE(compared, damaged.size());
    if (files.empty()) GTEST_SKIP() << "no vCard corpus at " << corpus << ": only the damaged cards were compared";
}

}  // namespace
}  // namespace contact::testing
