// The command-line importer as a user runs it: options, exit statuses and the files it writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fstream>

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
