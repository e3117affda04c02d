// Every file of the shared vCard corpus imported the way the program's loop does it, each into
// a folder of its own: no crash, one contact per card (cards counted by the vCard reader, the
// folder's contents counted by pypff), deliberately broken files give warnings, not failures,
// where a card is recognisable. pstcheck passes on the store.
#include <algorithm>
#include <cstdio>
#include <set>

#include "contact_item_support.h"
#include "mailstore/factories.h"
#include "readers.h"
#include "vcard/reader.h"

using namespace zentra;
using namespace zentra::mailstore;
using namespace contact_item_test;

namespace {

struct CorpusFile {
    fs::path path;
    std::string folder;        // the folder its contacts went into
    size_t cards = 0;          // as the vCard reader counts them
    bool broken = false;       // marked deliberately invalid in MANIFEST.tsv
    bool repairedSilently = false;
};

size_t countCards(const fs::path& path) {
    vcard::Reader reader = vcard::Reader::openFile(path);
    vcard::Card card;
    size_t n = 0;
    while (reader.next(card)) ++n;
    return n;
}

// Files the corpus manifest marks as deliberately invalid.
std::set<std::string> brokenFiles(const fs::path& corpus) {
    std::set<std::string> out;
    std::string manifest = readBytes(corpus / "MANIFEST.tsv");
    size_t start = 0;
    while (start < manifest.size()) {
        size_t end = manifest.find('\n', start);
        if (end == std::string::npos) end = manifest.size();
        std::string line = manifest.substr(start, end - start);
        if (line.find("DELIBERATELY") != std::string::npos) out.insert(line.substr(0, line.find('\t')));
        start = end + 1;
    }
    return out;
}

// Deviations the vCard reader repairs without a warning, because real exporters write them and
// the intent is unambiguous: a folded 2.1 value, white space after BEGIN:VCARD / END:VCARD, an N
// with four components. Their cards must still come out named.
const std::set<std::string> kRepairedSilently = {
    "android_frameworks_opt_vcard/tests/res/raw/v21_invalid_multiple_line.vcf",
    "ical4j-vcard/src/test/resources/samples/invalid/vcard-dirk-whitespaceafterbegin.vcf",
    "ical4j-vcard/src/test/resources/samples/invalid/vcard-incompletenproperty.vcf",
};

}  // namespace

TEST(ContactCorpus, EveryFileImportsOneContactPerCard) {
    const fs::path corpus = fs::path(ZENTRA_SHARED_DIR) / "corpus" / "vcard";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no vCard corpus at " << corpus << ": skipped";
    Scratch dir;
    std::string path = dir.file("corpus.pst");

    std::set<std::string> broken = brokenFiles(corpus);
    std::vector<CorpusFile> files;
    for (const auto& entry : fs::recursive_directory_iterator(corpus))
        if (entry.is_regular_file() && entry.path().extension() == ".vcf") files.push_back(CorpusFile{entry.path(), {}});
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    ASSERT_FALSE(files.empty());

    size_t contacts = 0, brokenWithCards = 0;
    {
        auto session = createSession();
        session->Logon();
        auto store = session->Stores()->AddPSTStore(path, 1, "Corpus");
        auto root = store->IPMRootFolder()->Folders();
        for (size_t i = 0; i < files.size(); ++i) {
            CorpusFile& f = files[i];
            const std::string number = std::to_string(i + 1);
            f.folder = "file" + std::string(number.size() < 3 ? 3 - number.size() : 0, '0') + number;
            f.cards = countCards(f.path);
            const std::string relative = fs::relative(f.path, corpus).string();
            f.broken = broken.count(relative) != 0;
            f.repairedSilently = kRepairedSilently.count(relative) != 0;
            auto folder = root->Add(f.folder, kFolderTypeContacts);
            auto item = folder->Items()->Add(kItemTypeContact);
            try {
                item->Import(f.path.string(), kImportFormatVCard);
                EXPECT_GT(f.cards, 0u) << f.path << " imported although the reader finds no card";
            } catch (const Error& e) {
                EXPECT_EQ(f.cards, 0u) << f.path << " failed: " << e.what();
                EXPECT_EQ(e.number(), kErrImportFailed) << f.path << ": " << e.what();
                EXPECT_NE(e.description().find(f.path.string()), std::string::npos) << e.what();
            }
            item->Save();   // nothing when Import failed: a file without a card leaves no contact
            EXPECT_EQ(item->Outcome().contactsStored, f.cards) << f.path;
            if (f.cards != 0 && f.broken) {
                ++brokenWithCards;
                if (!f.repairedSilently) {
                    EXPECT_NE(item->Outcome().warningCount, 0u) << f.path << " is broken but gave no warning";
                }
            }
            EXPECT_EQ(folder->Items()->Count(), static_cast<long>(f.cards)) << f.path;
            contacts += f.cards;
        }
        store->Remove();
    }
    std::printf("corpus: %zu files, %zu cards, %zu deliberately broken files with cards\n", files.size(), contacts,
                brokenWithCards);
    EXPECT_GT(brokenWithCards, 0u);

    messaging_test::expectStructurallySound(path);
    readers::ReaderView view = readers::readWithPypff(path, {std::chrono::seconds(300)});
    if (view.skipped) GTEST_SKIP() << view.error;
    ASSERT_TRUE(view.ok) << view.error;
    for (const CorpusFile& f : files) {
        const readers::FolderView* folder = view.folderAt(f.folder);
        ASSERT_NE(folder, nullptr) << f.folder;
        EXPECT_EQ(folder->itemCount, f.cards) << f.path << " in " << f.folder;
        for (const auto& item : folder->items) {
            EXPECT_EQ(item.field("messageClass"), "IPM.Contact") << f.path;
            if (f.repairedSilently) {
                EXPECT_FALSE(item.field("displayName").empty()) << f.path;
            }
        }
    }
}
