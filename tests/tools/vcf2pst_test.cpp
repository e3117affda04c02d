// The command-line importer as a user runs it: options, exit statuses and the files it writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fstream>
#include <set>

#include "readers.h"

namespace {

using zentra::readers::ProcessResult;
using zentra::readers::runProcess;

const std::string kProgram = ZENTRA_BINARY_DIR "/bin/zentra-vcf2pst";

class Vcf2Pst : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    ProcessResult run(std::vector<std::string> args) {
        args.insert(args.begin(), kProgram);
        return runProcess(args, std::chrono::seconds(120), dir_.path().toStdString());
    }
    std::string path(const QString& relative) const { return dir_.filePath(relative).toStdString(); }
    void card(const QString& relative, const std::string& name) {
        QDir().mkpath(QFileInfo(dir_.filePath(relative)).absolutePath());
        std::ofstream(path(relative)) << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << name << "\r\nN:" << name
                                      << ";;;;\r\nEND:VCARD\r\n";
    }
    QStringList pstFilesIn(const QString& relative) const {
        return QDir(dir_.filePath(relative)).entryList({"*.pst"}, QDir::Files);
    }
    void expectSound(const std::string& pst) {
        auto check = runProcess({ZENTRA_BINARY_DIR "/bin/pstcheck", pst}, std::chrono::seconds(120));
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    }

    QTemporaryDir dir_;
};

}  // namespace

TEST_F(Vcf2Pst, HelpAndVersion) {
    auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: zentra-vcf2pst [-o FILE.pst | -d DIR] [--relative] [--quiet] SOURCE..."),
              std::string::npos);
    auto version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "zentra-vcf2pst 4.01\n");
}

TEST_F(Vcf2Pst, UsageErrorsExitWithTwoAndWriteNothing) {
    card("src/a.vcf", "A");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", "src"},
             {"-o"},
             {"-o", "x.pst", "-d", ".", "src"},
             {"missing-folder"},
             {"--legacy-charset"},
             {"--legacy-charset", "NO-SUCH-CHARSET", "src"},
             {"--legacy-charset", "UTF-16", "src"},
         }) {
        auto r = run(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("zentra-vcf2pst: "), std::string::npos);
    }
    EXPECT_TRUE(pstFilesIn(".").isEmpty());
}

TEST_F(Vcf2Pst, LegacyCharsetNamesAnyEightBitCharsetIconvKnows) {
    card("src/a.vcf", "A");
    auto r = run({"--legacy-charset", "cp1250", "-o", "a.pst", "src"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pstFilesIn("."), QStringList{"a.pst"});
    EXPECT_NE(run({"--help"}).out.find("--legacy-charset NAME"), std::string::npos);
}

// The birthday is stored for the zone named on the command line ([MS-OXOCNTC] 2.2.1.5): on
// 2024-01-15 (day 19737 after 1970: 116444736000000000 + 19737 * 864000000000 =
// 133497504000000000 at 00:00 UTC) Los Angeles' midnight is 08:00 UTC, 133497792000000000.
TEST_F(Vcf2Pst, TimeZoneNamesTheZoneBirthdaysAreStoredFor) {
    QDir().mkpath(dir_.filePath("src"));
    std::ofstream(path("src/a.vcf")) << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nBDAY:2024-01-15\r\nEND:VCARD\r\n";
    auto r = run({"--time-zone", "America/Los_Angeles", "--relative", "-o", "a.pst", "src"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto view = zentra::readers::readWithPypff(path("a.pst"));
    ASSERT_TRUE(view.ok) << view.error;
    const zentra::readers::FolderView* folder = view.folderAt("src");
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->items.size(), 1u);
    const auto littleEndianHex = [](uint64_t v) {
        std::string hex;
        for (int i = 0; i < 8; ++i, v >>= 8) hex += "0123456789abcdef"[(v >> 4) & 15], hex += "0123456789abcdef"[v & 15];
        return hex;
    };
    const auto& props = folder->items[0].props;
    EXPECT_EQ(props.at("0x3a420040"), littleEndianHex(133497792000000000ULL)) << "PidTagBirthday";
    EXPECT_EQ(props.at("{00062004-0000-0000-C000-000000000046}/0x80DE"), littleEndianHex(133497504000000000ULL))
        << "PidLidBirthdayLocal";

    auto bad = run({"--time-zone", "Mars/Olympus_Mons", "-o", "b.pst", "src"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--time-zone: Mars/Olympus_Mons is not a time zone"), std::string::npos) << bad.err;
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath("b.pst")));
    EXPECT_NE(run({"--help"}).out.find("--time-zone NAME"), std::string::npos);
}

TEST_F(Vcf2Pst, OutputFileIsNeverOverwritten) {
    card("src/a.vcf", "A");
    std::ofstream(path("taken.pst")) << "precious";
    auto r = run({"-o", "taken.pst", "src"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("never overwritten"), std::string::npos);
    QFile f(dir_.filePath("taken.pst"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "precious");
}

TEST_F(Vcf2Pst, NothingToImportOrNoStoreExitsWithTwo) {
    QDir().mkpath(dir_.filePath("empty"));
    std::ofstream(path("empty/notes.txt")) << "no cards here";
    EXPECT_EQ(run({"-d", "out", "empty"}).exitCode, 2);
    card("src/a.vcf", "A");
    auto r = run({"-d", "no/such/dir", "src"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("could not be created"), std::string::npos) << r.err;
    EXPECT_TRUE(pstFilesIn(".").isEmpty());
}

TEST_F(Vcf2Pst, OutputFileGetsItsBaseNameAsStoreName) {
    card("src/a.vcf", "A");
    auto r = run({"-o", "Family Cards.pst", "--quiet", "src"});
    EXPECT_NE(r.exitCode, 2) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;   // --quiet: no summary
    const std::string pst = path("Family Cards.pst");
    expectSound(pst);
    auto view = zentra::readers::readWithPstExtractor(pst);
    if (view.skipped) GTEST_SKIP() << view.error;
    ASSERT_TRUE(view.ok) << view.error;
    EXPECT_EQ(view.storeName, "Family Cards");
}

TEST_F(Vcf2Pst, FoldersMirrorFullPathsOrBelowEachSourceWithRelative) {
    card("src/a/b/one.vcf", "One");
    card("src/top.vcf", "Top");
    card("src/skip.txt", "Skip");
    QDir().mkpath(dir_.filePath("full"));
    QDir().mkpath(dir_.filePath("rel"));
    auto full = run({"-d", "full", "src"});
    auto rel = run({"-d", "rel", "--relative", "src"});
    EXPECT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(rel.exitCode, 0) << rel.err;
    EXPECT_NE(full.out.find("Files:     2 listed, 2 imported, 0 failed"), std::string::npos) << full.out;
    EXPECT_NE(full.out.find("Contacts:  2"), std::string::npos) << full.out;
    ASSERT_EQ(pstFilesIn("full").size(), 1);
    ASSERT_EQ(pstFilesIn("rel").size(), 1);
    EXPECT_TRUE(pstFilesIn("full")[0].startsWith("ZentraContacts"));

    const std::string fullPst = path("full/" + pstFilesIn("full")[0]);
    const std::string relPst = path("rel/" + pstFilesIn("rel")[0]);
    expectSound(fullPst);
    expectSound(relPst);
    auto fullView = zentra::readers::readWithPypff(fullPst);
    auto relView = zentra::readers::readWithPypff(relPst);
    ASSERT_TRUE(fullView.ok) << fullView.error;
    ASSERT_TRUE(relView.ok) << relView.error;
    std::string below = dir_.filePath("src/a/b").toStdString().substr(1);   // without the root "/"
    EXPECT_NE(fullView.folderAt(below), nullptr) << below;
    EXPECT_NE(relView.folderAt("src/a/b"), nullptr);
    EXPECT_NE(relView.folderAt("src"), nullptr);
    EXPECT_EQ(relView.folderAt(below), nullptr);

    // Every independent reader finds each contact in its mirrored folder.
    const std::string top = dir_.filePath("src").toStdString().substr(1);
    for (const auto& view : zentra::readers::readWithAll(fullPst)) {
        if (view.skipped) continue;
        ASSERT_TRUE(view.ok) << view.reader << ": " << view.error;
        for (const auto& [folder, name] : std::vector<std::pair<std::string, std::string>>{{below, "One"}, {top, "Top"}}) {
            const auto* f = view.folderAt(folder);
            ASSERT_NE(f, nullptr) << view.reader << " " << folder;
            ASSERT_EQ(f->items.size(), 1u) << view.reader << " " << folder;
            const auto& item = f->items[0];
            EXPECT_TRUE(item.field("surname") == name || item.field("subject") == name ||
                        item.field("fileUnder") == name)
                << view.reader << " " << folder;
        }
    }
}

TEST_F(Vcf2Pst, SomeFilesFailingExitsWithOneAndStillWritesAValidStore) {
    card("src/good.vcf", "Good");
    std::ofstream(path("src/nothing.vcf")) << "not a vCard at all\r\n";
    auto r = run({"-o", "partial.pst", "src"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("1 failed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nothing.vcf"), std::string::npos) << r.out;
    expectSound(path("partial.pst"));
}

// Names that are not UTF-8 are listed, opened and imported under their exact bytes: two names
// that differ only in such bytes are two files, each imported once.
TEST_F(Vcf2Pst, FilesWhoseNamesAreNotUtf8AreImportedUnderTheirExactBytes) {
    QDir().mkpath(dir_.filePath("src"));
    const std::string folder = path("src");
    for (const auto& [name, person] : std::vector<std::pair<std::string, std::string>>{
             {"caf\xe9.vcf", "Latin"}, {"caf\xff.vcf", "Other"}}) {
        std::ofstream(folder + "/" + name, std::ios::binary)
            << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << person << "\r\nN:" << person << ";;;;\r\nEND:VCARD\r\n";
    }
    auto r = run({"-o", "bytes.pst", "src"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Files:     2 listed, 2 imported, 0 failed"), std::string::npos) << r.out;
    expectSound(path("bytes.pst"));
    auto view = zentra::readers::readWithPypff(path("bytes.pst"));
    ASSERT_TRUE(view.ok) << view.error;
    std::multiset<std::string> names;
    for (const auto& folder : view.folders)
        for (const auto& item : folder.items) names.insert(item.field("subject"));
    EXPECT_EQ(names, (std::multiset<std::string>{"Latin", "Other"}));
}

// A name with control characters or an escape sequence is printed escaped: a file name never
// reaches the terminal as a command.
TEST_F(Vcf2Pst, ControlCharactersInNamesArePrintedEscaped) {
    QDir().mkpath(dir_.filePath("src"));
    const std::string evil = path("src") + "/red\x1b[31m\x07.vcf";
    std::ofstream(evil, std::ios::binary) << "no card in here\r\n";
    auto r = run({"-o", "escaped.pst", "src"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos) << "a raw escape reached the terminal";
    EXPECT_EQ((r.out + r.err).find('\x07'), std::string::npos);
    EXPECT_NE(r.out.find("red\\x1B[31m\\x07.vcf"), std::string::npos) << r.out;
}
