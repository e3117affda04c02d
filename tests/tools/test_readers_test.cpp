// The reader harness on Outlook-written samples and on damaged copies: every reader must report
// dist-list.pst's Contacts folder and its contact the same way, and a reader that refuses,
// complains or hangs must come back as not ok with its own message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "pst_patch.h"
#include "readers.h"

namespace {

namespace fs = std::filesystem;
using namespace zentra::readers;

const fs::path kSamples = fs::path(ZENTRA_SHARED_DIR) / "reference" / "pst-samples";
const std::string kPsetidAddress = "{00062004-0000-0000-C000-000000000046}";

class ReaderHarnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSamples / "dist-list.pst")) GTEST_SKIP() << "no sample stores in " << kSamples;
        tmp = fs::temp_directory_path() / ("zentra_readers_test_" + std::to_string(::getpid()));
        fs::create_directories(tmp);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(tmp, ec);
    }

    // A copy of dist-list.pst with one damage applied.
    std::string damagedCopy(const std::string& name, void (*damage)(pstpatch::PstFile&)) {
        pstpatch::PstFile pst((kSamples / "dist-list.pst").string());
        damage(pst);
        fs::path out = tmp / name;
        pst.save(out.string());
        return out.string();
    }

    static const ItemView* contactNamed(const FolderView& f, const std::string& email) {
        for (const auto& item : f.items)
            if (item.field("email1EmailAddress") == email) return &item;
        return nullptr;
    }

    fs::path tmp;
};

TEST_F(ReaderHarnessTest, EveryReaderSeesTheSampleContact) {
    const std::string file = (kSamples / "dist-list.pst").string();
    for (const ReaderView& view : readWithAll(file)) {
        SCOPED_TRACE(view.reader);
        if (view.skipped) {
            std::cout << "[ SKIPPED  ] " << view.reader << ": " << view.error << "\n";
            continue;
        }
        ASSERT_TRUE(view.ok) << view.error << "\n" << view.output.substr(0, 2000);
        const FolderView* contacts = view.folderAt("Contacts");
        ASSERT_NE(contacts, nullptr) << "folders below the IPM subtree: " << ::testing::PrintToString(view.ipmPaths());
        const ItemView* contact = contactNamed(*contacts, "contact1@rjohnson.id.au");
        ASSERT_NE(contact, nullptr) << view.reader << " lists " << contacts->itemCount << " items";
        EXPECT_EQ(contact->field("givenName"), "contact");
        EXPECT_EQ(contact->field("surname"), "1");
        EXPECT_EQ(contact->field("fileUnder"), "1, contact name");
        EXPECT_EQ(contact->field("messageClass"), "IPM.Contact");
        if (view.reader != "libpst") {
            // libpst shows neither container classes nor non-contact items.
            EXPECT_EQ(contacts->containerClass.value_or("(none)"), "IPF.Contact");
            EXPECT_EQ(contact->field("displayName"), "contact name 1");
            EXPECT_EQ(contacts->itemCount, 2u);  // the contact and the distribution list
        }
        if (view.reader != "libpff") {
            EXPECT_EQ(view.storeName, "Personal Folders");
        }
    }
}

TEST_F(ReaderHarnessTest, ReadersAgreeOnTheFolderTree) {
    const std::string file = (kSamples / "dist-list.pst").string();
    ReaderView pff = readWithLibpff(file), py = readWithPypff(file), ex = readWithPstExtractor(file);
    ASSERT_TRUE(pff.ok) << pff.error;
    ASSERT_TRUE(py.ok) << py.error;
    const std::vector<std::string> expected = {"", "Calendar", "Contacts", "Deleted Items", "Drafts", "Inbox", "Journal",
                                               "Junk E-mail", "Notes", "Outbox", "RSS Feeds", "Sent Items", "Tasks"};
    EXPECT_EQ(py.ipmPaths(), expected);
    EXPECT_EQ(pff.ipmPaths(), expected);
    if (!ex.skipped) {
        ASSERT_TRUE(ex.ok) << ex.error;
        EXPECT_EQ(ex.ipmPaths(), expected);
    }
    // Full paths run from the root folder through the IPM subtree.
    ASSERT_NE(py.folderAt("Contacts"), nullptr);
    EXPECT_EQ(py.folderAt("Contacts")->path, "Top of Personal Folders/Contacts");
    EXPECT_EQ(py.folderAt("Contacts")->contentCount, 2);

    ReaderView pst = readWithLibpst(file);
    ASSERT_TRUE(pst.ok) << pst.error;
    EXPECT_NE(std::find(pst.folderNames.begin(), pst.folderNames.end(), "Contacts"), pst.folderNames.end());
    ASSERT_EQ(pst.listed["Contacts"].size(), 1u);  // lspst leaves out the distribution list
    EXPECT_EQ(pst.listed["Contacts"][0], "Contact\t1\\, contact name");
}

TEST_F(ReaderHarnessTest, PypffDecodesTheNameToIdMap) {
    ReaderView py = readWithPypff((kSamples / "dist-list.pst").string());
    ASSERT_TRUE(py.ok) << py.error;
    EXPECT_EQ(py.namedProps.size(), 363u);
    auto npid = [&](uint16_t id) -> const NamedPropView* {
        for (const auto& n : py.namedProps)
            if (n.npid == id) return &n;
        return nullptr;
    };
    ASSERT_NE(npid(0x8015), nullptr);
    EXPECT_EQ(npid(0x8015)->guid, kPsetidAddress);
    EXPECT_EQ(npid(0x8015)->lid, 0x8005u);
    ASSERT_NE(npid(0x8027), nullptr);
    EXPECT_EQ(npid(0x8027)->lid, 0x8083u);
    // The contact's raw properties carry the same value under the NPID and the resolved name.
    const ItemView* contact = contactNamed(*py.folderAt("Contacts"), "contact1@rjohnson.id.au");
    ASSERT_NE(contact, nullptr);
    auto raw = contact->props.find("0x8027001f");
    ASSERT_NE(raw, contact->props.end());
    EXPECT_EQ(contact->props.at(kPsetidAddress + "/0x8083"), raw->second);
}

TEST_F(ReaderHarnessTest, RefusalsAndComplaintsAreFailures) {
    // A broken header CRC: libpff will not open the file at all.
    std::string badHeader = damagedCopy("crc.pst", [](pstpatch::PstFile& p) { p.bytes[4] ^= 1; });
    ReaderView py = readWithPypff(badHeader);
    EXPECT_FALSE(py.ok);
    EXPECT_NE(py.error.find("pypff"), std::string::npos) << py.error;
    ReaderView pff = readWithLibpff(badHeader);
    EXPECT_FALSE(pff.ok);
    EXPECT_FALSE(pff.error.empty());

    // A block trailer whose cb disagrees with the BBT: pffexport exits 0 but says "mismatch".
    std::string badCb = damagedCopy("cb.pst", [](pstpatch::PstFile& p) {
        auto needle = pstcheck::permuteEncode(pstpatch::utf16("contact1@rjohnson.id.au"));
        size_t at = pstpatch::find(p.bytes, needle);
        for (const auto& [bid, b] : p.bbt())
            if (b.ib <= at && at < b.ib + b.cb) p.set(p.trailerOffset(b), 2, b.cb - 2);
    });
    ReaderView exported = readWithLibpff(badCb);
    EXPECT_FALSE(exported.ok);
    EXPECT_NE(exported.error.find("mismatch"), std::string::npos) << exported.error;

    // A wrong wVer: libpst refuses it.
    std::string ansi = damagedCopy("ver.pst", [](pstpatch::PstFile& p) {
        p.set(10, 2, 15);
        p.fixHeaderCrcs();
    });
    ReaderView pst = readWithLibpst(ansi);
    EXPECT_FALSE(pst.ok);
    EXPECT_FALSE(pst.error.empty());
}

TEST_F(ReaderHarnessTest, HangingReaderIsStoppedByTheTimeout) {
    // A BBT cb that disagrees with the block (page CRC repaired) sends pst-extractor into an
    // endless loop.
    std::string badBbt = damagedCopy("bbt.pst", [](pstpatch::PstFile& p) {
        auto needle = pstcheck::permuteEncode(pstpatch::utf16("contact1@rjohnson.id.au"));
        size_t at = pstpatch::find(p.bytes, needle);
        for (const auto& [bid, b] : p.bbt())
            if (b.ib <= at && at < b.ib + b.cb) {
                p.set(b.entryOffset + 16, 2, b.cb - 4);
                p.fixPageCrc(b.pageIb);
            }
    });
    ReaderOptions quick;
    quick.timeout = std::chrono::seconds(5);
    ReaderView ex = readWithPstExtractor(badBbt, quick);
    if (ex.skipped) GTEST_SKIP() << ex.error;
    EXPECT_FALSE(ex.ok);
    EXPECT_NE(ex.error.find("did not finish in time"), std::string::npos) << ex.error;
}

TEST_F(ReaderHarnessTest, RelativePathsWorkThoughReadersRunElsewhere) {
    const std::string relative = fs::relative(kSamples / "Empty.pst", fs::current_path()).string();
    ASSERT_FALSE(fs::path(relative).is_absolute());
    for (const ReaderView& view : {readWithLibpst(relative), readWithLibpff(relative), readWithPypff(relative)}) {
        EXPECT_TRUE(view.ok) << view.reader << ": " << view.error;
        EXPECT_NE(view.folderAt(""), nullptr) << view.reader;
    }
}

TEST_F(ReaderHarnessTest, MissingFileIsReportedByEveryReader) {
    for (const ReaderView& view : readWithAll((tmp / "absent.pst").string())) {
        if (view.skipped) continue;
        EXPECT_FALSE(view.ok) << view.reader;
        EXPECT_FALSE(view.error.empty()) << view.reader;
    }
}

TEST(ProcessRunnerTest, CapturesOutputAndEnforcesTheTimeout) {
    ProcessResult echo = runProcess({"sh", "-c", "echo out; echo err >&2; exit 3"}, std::chrono::seconds(10));
    EXPECT_EQ(echo.exitCode, 3);
    EXPECT_FALSE(echo.timedOut);
    EXPECT_EQ(echo.out, "out\n");
    EXPECT_EQ(echo.err, "err\n");
    // A process that ignores SIGTERM is still ended.
    ProcessResult hang = runProcess({"sh", "-c", "trap '' TERM; sleep 30"}, std::chrono::seconds(1));
    EXPECT_TRUE(hang.timedOut);
}

}  // namespace
