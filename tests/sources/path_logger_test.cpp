#include "sources/path_logger.h"

#include <QSet>
#include <gtest/gtest.h>

#include "fake_file_system.h"
#include "temp_tree.h"
#include "zentra/error.h"

namespace sources {
namespace {

using testing::FailingFileSystem;
using testing::FakeFileSystem;
using testing::TempTree;

QStringList texts(const KeyedList& list) {
    QStringList out;
    for (const auto& e : list) out << std::get<QString>(e.value);
    return out;
}
QStringList keys(const KeyedList& list) {
    QStringList out;
    for (const auto& e : list) out << e.key;
    return out;
}
QList<int> numbers(const KeyedList& list) {
    QList<int> out;
    for (const auto& e : list) out << std::get<std::int32_t>(e.value);
    return out;
}

// C:\R of the worked example, with "/" for the separator: R holds r1, r2 and the folders A
// and B; A holds a1 and A1; A1 holds x; B holds b1.
void buildWorkedExample(FakeFileSystem& fs) {
    fs.addFile("/R/", "r1");
    fs.addFile("/R/", "r2");
    fs.addSubfolder("/R/", "A");
    fs.addSubfolder("/R/", "B");
    fs.addFile("/R/A/", "a1");
    fs.addSubfolder("/R/A/", "A1");
    fs.addFile("/R/A/A1/", "x");
    fs.addFile("/R/B/", "b1");
}

TEST(PathLogger, WorkedExampleWithAllLists) {
    FakeFileSystem fs;
    buildWorkedExample(fs);
    pathLogger finder(&fs);
    finder.PathLogInit();
    finder.fullFileNamesOnly(false);
    finder.LogPath("/R");

    EXPECT_EQ(texts(*finder.pathNames()), QStringList({"/R/", "/R/A/", "/R/B/", "/R/A/A1/"}));
    EXPECT_EQ(keys(*finder.pathNames()), QStringList({"K0", "K2", "K3", "K4"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), QStringList({"/R/r1", "/R/r2", "/R/A/a1", "/R/B/b1", "/R/A/A1/x"}));
    EXPECT_EQ(texts(*finder.fileNames()), QStringList({"r1", "r2", "a1", "b1", "x"}));
    EXPECT_EQ(numbers(*finder.pathPointers()), QList<int>({1, 1, 2, 3, 4}));
    const QStringList fileKeys{"K1", "K2", "K3", "K4", "K5"};
    EXPECT_EQ(keys(*finder.fullFileNames()), fileKeys);
    EXPECT_EQ(keys(*finder.fileNames()), fileKeys);
    EXPECT_EQ(keys(*finder.pathPointers()), fileKeys);
    EXPECT_EQ(finder.Count(), 6);
    // Every folder is opened twice: its subfolders first, then its files.
    EXPECT_EQ(fs.listed, QStringList({"S:/R/", "F:/R/", "S:/R/A/", "F:/R/A/", "S:/R/B/", "F:/R/B/",
                                      "S:/R/A/A1/", "F:/R/A/A1/"}));
}

TEST(PathLogger, DefaultAfterInitFillsOnlyFolderAndFullNameLists) {
    FakeFileSystem fs;
    buildWorkedExample(fs);
    pathLogger finder(&fs);
    EXPECT_FALSE(finder.fullFileNamesOnly());
    finder.PathLogInit();
    EXPECT_TRUE(finder.fullFileNamesOnly());
    finder.LogPath("/R/");
    EXPECT_EQ(texts(*finder.pathNames()), QStringList({"/R/", "/R/A/", "/R/B/", "/R/A/A1/"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), QStringList({"/R/r1", "/R/r2", "/R/A/a1", "/R/B/b1", "/R/A/A1/x"}));
    ASSERT_TRUE(finder.fileNames());
    ASSERT_TRUE(finder.pathPointers());
    EXPECT_TRUE(finder.fileNames()->empty());
    EXPECT_TRUE(finder.pathPointers()->empty());
}

TEST(PathLogger, WorkedExampleOnARealTreeInTheSystemsListingOrder) {
    TempTree tree;
    tree.file("R/r1");
    tree.file("R/r2");
    tree.file("R/A/a1");
    tree.file("R/A/A1/x");
    tree.file("R/B/b1");
    const QString r = tree.root() + "R/";

    // The expected order, built from the system's own listing of each folder.
    QStringList folders{r}, files;
    for (int i = 0; i < folders.size(); ++i) {
        for (const QString& sub : TempTree::listed(folders[i], QDir::Dirs)) folders << folders[i] + sub + "/";
        for (const QString& name : TempTree::listed(folders[i], QDir::Files)) files << folders[i] + name;
    }
    ASSERT_EQ(folders.size(), 4);
    ASSERT_EQ(files.size(), 5);

    pathLogger finder;
    finder.PathLogInit();
    finder.fullFileNamesOnly(false);
    finder.LogPath(tree.root() + "R");
    EXPECT_EQ(texts(*finder.pathNames()), folders);
    EXPECT_EQ(texts(*finder.fullFileNames()), files);
    EXPECT_EQ(finder.Count(), 6);
    // Each file points at its own folder's position.
    const KeyedList& pointers = *finder.pathPointers();
    for (int k = 1; k <= pointers.count(); ++k)
        EXPECT_EQ(finder.pathNames()->text(pointers.number(k)) + finder.fileNames()->text(k),
                  finder.fullFileNames()->text(k));
}

TEST(PathLogger, MissingStartFolderLogsNothingAndKeepsCount) {
    TempTree tree;
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(tree.root() + "nowhere");
    EXPECT_EQ(finder.Count(), 0);
    EXPECT_TRUE(finder.pathNames()->empty());
    EXPECT_TRUE(finder.fullFileNames()->empty());

    // A plain file is no folder either.
    const QString file = tree.file("plain.vcf");
    finder.LogPath(file);
    EXPECT_EQ(finder.Count(), 0);
    EXPECT_TRUE(finder.pathNames()->empty());
}

TEST(PathLogger, EmptyFolderGivesOneFolderEntryAndCountOne) {
    TempTree tree;
    const QString empty = tree.folder("empty");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(empty.chopped(1));   // without its trailing separator
    EXPECT_EQ(texts(*finder.pathNames()), QStringList({empty}));
    EXPECT_EQ(keys(*finder.pathNames()), QStringList({"K0"}));
    EXPECT_TRUE(finder.fullFileNames()->empty());
    EXPECT_EQ(finder.Count(), 1);
}

TEST(PathLogger, RootFolderKeepsItsSingleSeparator) {
    FakeFileSystem fs;
    fs.addFile("/", "a.vcf");
    fs.addSubfolder("/", "home");
    fs.addFile("/home/", "b.vcf");
    pathLogger finder(&fs);
    finder.PathLogInit();
    finder.LogPath("/");
    EXPECT_EQ(texts(*finder.pathNames()), QStringList({"/", "/home/"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), QStringList({"/a.vcf", "/home/b.vcf"}));
}

TEST(PathLogger, HiddenFilesOddNamesAndAnyExtensionAreAllLogged) {
    TempTree tree;
    const QStringList names{".hidden.vcf", "c.txt", "ends in space.vcf ", "colon:back\\slash.vcf",
                            QString::fromUtf8("Zo\u00eb \u4e2d\u6587 \U0001F600.VCF"), "no_extension"};
    for (const QString& n : names) tree.file("T/" + n);
    tree.file("T/.hidden_folder/inner.vcf");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(tree.root() + "T/");
    QStringList expected;
    for (const QString& n : names) expected << tree.root() + "T/" + n;
    expected << tree.root() + "T/.hidden_folder/inner.vcf";
    const QStringList found = texts(*finder.fullFileNames());
    EXPECT_EQ(QSet<QString>(found.begin(), found.end()), QSet<QString>(expected.begin(), expected.end()));
    EXPECT_EQ(found.size(), expected.size());
    // The names come back exactly: each listed path opens the file it names.
    for (const QString& path : found) EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

TEST(PathLogger, LinkBackToAnAncestorDoesNotLoop) {
    TempTree tree;
    tree.file("L/top.vcf");
    tree.file("L/sub/deep.vcf");
    tree.link("L/sub/up", tree.root() + "L");   // absolute link to the start folder
    tree.link("L/sub/self", ".");               // relative link to its own folder
    tree.link("L/loop", "loop");                // a link to itself (ELOOP)
    tree.link("L/dangling.vcf", "missing.vcf");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(tree.root() + "L");
    EXPECT_EQ(texts(*finder.pathNames()), QStringList({tree.root() + "L/", tree.root() + "L/sub/"}));
    const QStringList found = texts(*finder.fullFileNames());
    // Links that lead to no folder are entries like any file.
    EXPECT_EQ(QSet<QString>(found.begin(), found.end()),
              QSet<QString>({tree.root() + "L/top.vcf", tree.root() + "L/sub/deep.vcf", tree.root() + "L/loop",
                             tree.root() + "L/dangling.vcf"}));
}

TEST(PathLogger, LinksToFoldersAreFollowedOnceEach) {
    TempTree tree;
    tree.file("outside/o.vcf");
    tree.file("S/own/own.vcf");
    tree.link("S/first", tree.root() + "outside");
    tree.link("S/second", tree.root() + "outside");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(tree.root() + "S/");
    const QStringList found = texts(*finder.fullFileNames());
    ASSERT_EQ(found.size(), 2) << found.join(",").toStdString();
    EXPECT_TRUE(found.contains(tree.root() + "S/own/own.vcf"));
    // Whichever link the system lists first is entered; the other is not.
    const bool viaFirst = found.contains(tree.root() + "S/first/o.vcf");
    const bool viaSecond = found.contains(tree.root() + "S/second/o.vcf");
    EXPECT_NE(viaFirst, viaSecond);
    EXPECT_EQ(finder.pathNames()->count(), 3);
}

TEST(PathLogger, ListingFailureGoesToTheCallerKeepingWhatWasLogged) {
    TempTree tree;
    tree.file("F/top.vcf");
    tree.file("F/bad/lost.vcf");
    FailingFileSystem fs;
    fs.failListing(tree.root() + "F/bad/", zentra::kErrPermissionDenied, "Permission denied");
    pathLogger finder(&fs);
    finder.PathLogInit();
    try {
        finder.LogPath(tree.root() + "F/");
        FAIL() << "the listing failure was swallowed";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrPermissionDenied);
        EXPECT_NE(e.description().find((tree.root() + "F/bad/").toStdString()), std::string::npos);
    }
    EXPECT_EQ(texts(*finder.pathNames()), QStringList({tree.root() + "F/", tree.root() + "F/bad/"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), QStringList({tree.root() + "F/top.vcf"}));
    EXPECT_EQ(finder.Count(), 2);
}

TEST(PathLogger, FolderThatVanishesIsAnErrorOfTheRealFileSystem) {
    StdFileSystem fs;
    TempTree tree;
    try {
        fs.files(tree.root() + "gone/");
        FAIL() << "listing a missing folder succeeded";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrPathNotFound);
        EXPECT_NE(e.description().find("gone"), std::string::npos);
        EXPECT_NE(e.description().find("No such file or directory"), std::string::npos);
    }
    EXPECT_THROW(fs.subfolders(tree.root() + "gone/"), zentra::Error);
    EXPECT_FALSE(fs.folderExists(""));
}

TEST(PathLogger, StatesBeforeInitAndOnASecondScan) {
    FakeFileSystem fs;
    buildWorkedExample(fs);
    pathLogger fresh(&fs);
    EXPECT_EQ(fresh.Count(), 0);
    try {
        fresh.LogPath("/R/");
        FAIL() << "a scan before PathLogInit ran";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), 91);
    }
    EXPECT_TRUE(fs.listed.isEmpty());

    pathLogger finder(&fs);
    finder.PathLogInit();
    finder.LogPath("/R/");
    ASSERT_EQ(finder.Count(), 6);
    try {
        finder.LogPath("/R/");
        FAIL() << "a second scan without PathLogInit ran";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), 457);
    }
    EXPECT_EQ(finder.Count(), 1);
    EXPECT_EQ(finder.pathNames()->count(), 4);
    EXPECT_EQ(finder.fullFileNames()->count(), 5);

    // A new PathLogInit starts over with empty lists; Count stays until the scan sets it.
    finder.PathLogInit();
    EXPECT_EQ(finder.Count(), 1);
    EXPECT_TRUE(finder.pathNames()->empty());
    finder.LogPath("/R/A/");
    EXPECT_EQ(texts(*finder.fullFileNames()), QStringList({"/R/A/a1", "/R/A/A1/x"}));
    EXPECT_EQ(finder.Count(), 3);
}

TEST(PathLogger, ListsFetchedBeforeTerminateOutliveIt) {
    FakeFileSystem fs;
    buildWorkedExample(fs);
    KeyedListPtr kept;
    {
        pathLogger finder(&fs);
        finder.PathLogInit();
        finder.LogPath("/R/");
        kept = finder.fullFileNames();
        finder.Terminate();
        EXPECT_EQ(finder.Count(), 6);
        EXPECT_TRUE(finder.fullFileNamesOnly());
        EXPECT_TRUE(finder.fullFileNames()->empty());   // the finder's own reference is gone
        EXPECT_NE(finder.fullFileNames(), kept);
        EXPECT_THROW(finder.LogPath("/R/"), zentra::Error);   // released: no file-system access
    }
    EXPECT_EQ(texts(*kept), QStringList({"/R/r1", "/R/r2", "/R/A/a1", "/R/B/b1", "/R/A/A1/x"}));
}

}  // namespace
}  // namespace sources
