// Whole files: one contact per card in file order with the card's warnings, a file without a
// card refused, and every file of the shared corpus mapped without failing.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "mapping_helpers.h"
#include "zentra/error.h"

namespace contact::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ZENTRA_SOURCE_DIR) / "tests/contact/data";

TEST(ImportFile, OneItemPerCardInFileOrder) {
    std::vector<ContactItem> items;
    const std::size_t count =
        importFile(kData / "three-cards.vcf", fixedOptions(), [&](ContactItem&& item) { items.push_back(std::move(item)); });
    ASSERT_EQ(count, 3u);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(tagText(items[0], mapi::PidTagDisplayName), "First Person");
    EXPECT_EQ(namedText(items[0], mapi::PidLidEmail1EmailAddress), "first@example.com");
    EXPECT_EQ(tagText(items[1], mapi::PidTagDisplayName), "Person Second");
    EXPECT_EQ(tagText(items[1], mapi::PidTagBusinessTelephoneNumber), "555-0102");
    EXPECT_EQ(tagText(items[2], mapi::PidTagDisplayName), "Third Person");
    // The last card lacks END:VCARD: imported with what it has, the parser's warning kept.
    bool parserWarning = false;
    for (const Warning& w : items[2].warnings) parserWarning = parserWarning || w.source == Warning::Source::Parser;
    EXPECT_TRUE(parserWarning);
    EXPECT_TRUE(hasWarningContaining(items[2], "without a year"));
    // Every card's creation time is stamped by the store as it writes it (messaging_message_test).
    for (const ContactItem& item : items) EXPECT_FALSE(item.properties.contains(mapi::PidTagCreationTime));
}

void expectNoCardError(const fs::path& path) {
    std::size_t items = 0;
    try {
        importFile(path, fixedOptions(), [&](ContactItem&&) { ++items; });
        ADD_FAILURE() << "expected an error for " << path;
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrImportFailed);
        EXPECT_EQ(e.description(), "no vCard found in " + path.string());
    }
    EXPECT_EQ(items, 0u);
}

TEST(ImportFile, FileWithoutACardIsAnError) {
    expectNoCardError(kData / "no-card.vcf");
    const fs::path empty = fs::temp_directory_path() / ("contact-empty-" + std::to_string(::getpid()) + ".vcf");
    { std::ofstream create(empty); }
    expectNoCardError(empty);
    fs::remove(empty);
}

TEST(ImportFile, ProblemsOutsideCardsAreReportedApart) {
    std::vector<Warning> fileWarnings;
    std::vector<ContactItem> items;
    importFile(kData / "trailing-text.vcf", fixedOptions(), [&](ContactItem&& item) { items.push_back(std::move(item)); },
               &fileWarnings);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(tagText(items[0], mapi::PidTagDisplayName), "Only Card");
    ASSERT_FALSE(fileWarnings.empty());
    EXPECT_EQ(fileWarnings.front().source, Warning::Source::Parser);
    EXPECT_EQ(fileWarnings.front().line, 5u);
}

TEST(ImportFile, MissingFileReportsTheReadersError) {
    EXPECT_THROW(importFile(kData / "does-not-exist.vcf", fixedOptions(), [](ContactItem&&) {}), zentra::Error);
}

TEST(ImportFile, EveryCorpusFileMapsOneContactPerCard) {
    const fs::path corpus = fs::path(ZENTRA_SHARED_DIR) / "corpus/vcard";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no vCard corpus at " << corpus << ": skipped";
    std::size_t files = 0, cards = 0, withPhoto = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".vcf") continue;
        ++files;
        const std::size_t expected = vcard::parseFile(entry.path(), [](vcard::Card&&) {});
        std::size_t seen = 0;
        try {
            const std::size_t count = importFile(entry.path(), fixedOptions(), [&](ContactItem&& item) {
                ++seen;
                EXPECT_EQ(tagText(item, mapi::PidTagMessageClass), "IPM.Contact") << entry.path();
                const bool named = !tagText(item, mapi::PidTagDisplayName).value_or("").empty();
                EXPECT_TRUE(named || !item.warnings.empty()) << entry.path() << " card " << seen;
                EXPECT_TRUE(tagText(item, mapi::PidTagDisplayName)) << entry.path();
                withPhoto += item.attachments.size();
            });
            EXPECT_EQ(count, seen) << entry.path();
        } catch (const zentra::Error& e) {
            EXPECT_EQ(e.number(), zentra::kErrImportFailed) << entry.path() << ": " << e.what();
        }
        EXPECT_EQ(seen, expected) << entry.path();
        cards += seen;
    }
    EXPECT_GT(files, 0u);
    std::printf("corpus: %zu files, %zu contacts, %zu photos\n", files, cards, withPhoto);
}

}  // namespace
}  // namespace contact::testing
