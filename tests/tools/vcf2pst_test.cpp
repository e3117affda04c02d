// The command-line importer as a user runs it: options, exit statuses and the files it writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QDateTime>
#include <fstream>
#include <set>

#include "readers.h"

namespace {

using zentra::readers::ProcessResult;
using zentra::readers::runProcess;
using namespace std::string_literals;

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

// Outlook 2003 wrote Central European text in Windows-1250 without a CHARSET: the option
// decides how the cards' 8-bit text is read, down to the stored contact.
TEST_F(Vcf2Pst, LegacyCharsetReachesTheCards) {
    QDir().mkpath(dir_.filePath("src"));
    std::ofstream(path("src/krakow.vcf")) << "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Krak\xF3w;Ma\xB3gorzata\r\n"
                                             "FN:Ma\xB3gorzata Krak\xF3w\r\nEND:VCARD\r\n";
    for (const auto& [charset, expected] : {std::pair<std::string, std::string>{"cp1250", "Ma\xC5\x82gorzata Krak\xC3\xB3w"},
                                            {"", "Ma\xC2\xB3gorzata Krak\xC3\xB3w"}}) {   // Windows-1252: "³"
        const std::string pst = charset.empty() ? "default.pst" : charset + ".pst";
        std::vector<std::string> args = {"-o", pst, "--quiet", "src"};
        if (!charset.empty()) args.insert(args.begin(), {"--legacy-charset", charset});
        auto r = run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        auto view = zentra::readers::readWithLibpff(path(QString::fromStdString(pst)));
        if (view.skipped) GTEST_SKIP() << view.error;
        ASSERT_TRUE(view.ok) << view.error;
        std::vector<std::string> names;
        for (const auto& folder : view.folders)
            for (const auto& item : folder.items) names.push_back(item.field("displayName"));
        EXPECT_EQ(names, std::vector<std::string>{expected}) << charset;
    }
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

namespace {

// The run's time stamp as the default store names carry it: "7.12.26 9.05.07" is "7.12.26 9.5.07".
QString runStamp(const QDateTime& t) {
    return QString("%1.%2.%3 %4.%5.%6")
        .arg(t.date().day())
        .arg(t.date().month())
        .arg(t.date().year() % 100, 2, 10, QChar('0'))
        .arg(t.time().hour())
        .arg(t.time().minute())
        .arg(t.time().second(), 2, 10, QChar('0'));
}

// The items' names in the folder at `ipmPath`, as pypff reads them.
std::multiset<std::string> namesIn(const zentra::readers::ReaderView& view, const std::string& ipmPath) {
    std::multiset<std::string> names;
    if (const auto* folder = view.folderAt(ipmPath))
        for (const auto& item : folder->items) names.insert(item.field("subject"));
    return names;
}

}  // namespace

// Every default name of the next minute is taken, and "(2)" of each is a link planted to a
// file elsewhere: the run takes "(3)", creates nothing through a link, and keeps its display name.
TEST_F(Vcf2Pst, DefaultNameTakenTakesTheFirstFreeNameAndNeverFollowsALink) {
    card("src/a.vcf", "A");
    QDir().mkpath(dir_.filePath("out"));
    QDir().mkpath(dir_.filePath("elsewhere"));
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = -2; s < 60; ++s) {
        const QString stem = dir_.filePath("out/ZentraContacts" + runStamp(now.addSecs(s)));
        std::ofstream((stem + ".pst").toStdString()) << "taken";
        ASSERT_TRUE(QFile::link(dir_.filePath(QString("elsewhere/victim%1.pst").arg(s + 2)), stem + " (2).pst"));
    }
    auto r = run({"-d", "out", "src"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const QStringList made = QDir(dir_.filePath("out")).entryList({"* (3).pst"}, QDir::Files);
    ASSERT_EQ(made.size(), 1) << r.out << r.err;
    EXPECT_TRUE(QDir(dir_.filePath("elsewhere")).isEmpty());
    EXPECT_NE(r.out.find(made[0].toStdString()), std::string::npos) << r.out;
    const std::string pst = path("out/" + made[0]);
    expectSound(pst);
    auto view = zentra::readers::readWithPypff(pst);
    ASSERT_TRUE(view.ok) << view.error;
    // "Zentra Contacts : Created - <stamp>", never with the "(3)" the file name needed.
    EXPECT_EQ(view.storeName.rfind("Zentra Contacts : Created - ", 0), 0u) << view.storeName;
    EXPECT_EQ(view.storeName.find('('), std::string::npos) << view.storeName;
}

// A "\" is an ordinary character in a name here: a folder named "a\b" is never the folder b
// inside a, and an output file may have one in its name.
TEST_F(Vcf2Pst, BackslashesInNamesNeitherSplitFoldersNorFailTheOutput) {
    card("src/a\\b/slash.vcf", "Slash");
    card("src/a/b/real.vcf", "Real");
    QDir().mkpath(dir_.filePath("rel"));
    auto rel = run({"-d", "rel", "--relative", "src"});
    EXPECT_EQ(rel.exitCode, 0) << rel.out << rel.err;
    ASSERT_EQ(pstFilesIn("rel").size(), 1);
    auto view = zentra::readers::readWithPypff(path("rel/" + pstFilesIn("rel")[0]));
    ASSERT_TRUE(view.ok) << view.error;
    EXPECT_EQ(namesIn(view, "src/a/b"), std::multiset<std::string>{"Real"});
    EXPECT_EQ(namesIn(view, "src/a\uFF3Cb"), std::multiset<std::string>{"Slash"});   // "\" shown as its look-alike

    auto out = run({"-o", "my\\contacts.pst", "src"});
    EXPECT_EQ(out.exitCode, 0) << out.out << out.err;
    EXPECT_NE(out.out.find("2 listed, 2 imported, 0 failed"), std::string::npos) << out.out;
    ASSERT_EQ(pstFilesIn("."), QStringList{"my\\contacts.pst"});
    expectSound(path("my\\contacts.pst"));
    auto named = zentra::readers::readWithPypff(path("my\\contacts.pst"));
    ASSERT_TRUE(named.ok) << named.error;
    EXPECT_EQ(named.storeName, "my\uFF3Ccontacts");
}

// "t.vcf" and "t.vcf " are two files: each is imported once, under its own exact name.
TEST_F(Vcf2Pst, NamesEndingInASpaceAreOpenedAsListed) {
    card("src/t.vcf", "Plain");
    card("src/t.vcf ", "Spaced");
    auto r = run({"-o", "t.pst", "src"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("2 listed, 2 imported, 0 failed"), std::string::npos) << r.out;
    auto view = zentra::readers::readWithPypff(path("t.pst"));
    ASSERT_TRUE(view.ok) << view.error;
    const std::string folder = dir_.filePath("src").toStdString().substr(1);
    EXPECT_EQ(namesIn(view, folder), (std::multiset<std::string>{"Plain", "Spaced"}));
}

// The report beside the store holds everything the summary only counts; --verbose prints the
// warnings on standard error as well, and without it they go to the report alone.
TEST_F(Vcf2Pst, ReportBesideTheStoreListsSettingsFailuresEveryWarningAndTotals) {
    QDir().mkpath(dir_.filePath("src"));
    std::ofstream(path("src/warned.vcf")) << "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Warn;Wendy\r\n"
                                             "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=X-NO-SUCH:h=E9llo\r\nthis line has no colon\r\nEND:VCARD\r\n"
                                             "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cut\r\n";
    std::ofstream(path("src/nothing.vcf")) << "not a vCard at all\r\n";
    const std::vector<std::string> warnings = {
        "card 1, line 4, NOTE: cannot decode text as X-NO-SUCH",
        "card 1, line 5: line is not a property",
        "card 2, END: END:VCARD missing",
    };

    auto quiet = run({"-o", "plain.pst", "src"});
    EXPECT_EQ(quiet.exitCode, 1) << quiet.out << quiet.err;
    for (const auto& w : warnings) EXPECT_EQ(quiet.err.find(w), std::string::npos) << quiet.err;

    auto r = run({"--verbose", "-o", "run.pst", "src"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const std::string warned = path("src/warned.vcf");
    for (const auto& w : warnings) EXPECT_NE(r.err.find(warned + ": " + w), std::string::npos) << w << "\n" << r.err;
    EXPECT_NE(r.out.find("Report:    " + path("run.txt") + "\n"), std::string::npos) << r.out;

    QFile file(dir_.filePath("run.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string report = file.readAll().toStdString();
    for (const std::string& expected : {
             "Store: " + path("run.pst") + "\n",
             "Display name: run\n"s,
             "Folders: mirrored below the root\n"s,
             "Files listed: 2\n"s,
             "Files not imported, or not completely\n" + path("src/nothing.vcf") + "\n    16416:no vCard found",
             "Warnings\n" + warned + "\n",
             "Totals\nFiles: 2 listed, 1 imported, 1 failed\nContacts: 2\nWarnings: 3\n"s,
         })
        EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n---\n" << report;
    for (const auto& w : warnings) EXPECT_NE(report.find("\n    " + w), std::string::npos) << w << "\n" << report;
}
