#include "sources/path_logger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "fake_file_system.h"
#include "temp_tree.h"
#include "zentra/error.h"

namespace sources {
namespace {

using testing::bytes;
using testing::FailingFileSystem;
using testing::FakeFileSystem;
using testing::TempTree;
using Strings = std::vector<std::string>;

Strings texts(const KeyedList& list) {
    Strings out;
    for (const auto& e : list) out.push_back(std::get<std::string>(e.value));
    return out;
}
Strings keys(const KeyedList& list) {
    Strings out;
    for (const auto& e : list) out.emplace_back(e.key);
    return out;
}
std::vector<int> numbers(const KeyedList& list) {
    std::vector<int> out;
    for (const auto& e : list) out.push_back(std::get<std::int32_t>(e.value));
    return out;
}
std::set<std::string> asSet(const Strings& l) { return std::set<std::string>(l.begin(), l.end()); }

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

    EXPECT_EQ(texts(*finder.pathNames()), Strings({"/R/", "/R/A/", "/R/B/", "/R/A/A1/"}));
    EXPECT_EQ(keys(*finder.pathNames()), Strings({"K0", "K2", "K3", "K4"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), Strings({"/R/r1", "/R/r2", "/R/A/a1", "/R/B/b1", "/R/A/A1/x"}));
    EXPECT_EQ(texts(*finder.fileNames()), Strings({"r1", "r2", "a1", "b1", "x"}));
    EXPECT_EQ(numbers(*finder.pathPointers()), std::vector<int>({1, 1, 2, 3, 4}));
    const Strings fileKeys{"K1", "K2", "K3", "K4", "K5"};
    EXPECT_EQ(keys(*finder.fullFileNames()), fileKeys);
    EXPECT_EQ(keys(*finder.fileNames()), fileKeys);
    EXPECT_EQ(keys(*finder.pathPointers()), fileKeys);
    EXPECT_EQ(finder.Count(), 6);
    // Every folder is opened twice: its subfolders first, then its files.
    EXPECT_EQ(fs.listed, Strings({"S:/R/", "F:/R/", "S:/R/A/", "F:/R/A/", "S:/R/B/", "F:/R/B/",
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
    EXPECT_EQ(texts(*finder.pathNames()), Strings({"/R/", "/R/A/", "/R/B/", "/R/A/A1/"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), Strings({"/R/r1", "/R/r2", "/R/A/a1", "/R/B/b1", "/R/A/A1/x"}));
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
    Strings folderBytes, fileBytes;
    for (const QString& f : folders) folderBytes.push_back(bytes(f));
    for (const QString& f : files) fileBytes.push_back(bytes(f));

    pathLogger finder;
    finder.PathLogInit();
    finder.fullFileNamesOnly(false);
    finder.LogPath(bytes(tree.root() + "R"));
    EXPECT_EQ(texts(*finder.pathNames()), folderBytes);
    EXPECT_EQ(texts(*finder.fullFileNames()), fileBytes);
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
    finder.LogPath(bytes(tree.root() + "nowhere"));
    EXPECT_EQ(finder.Count(), 0);
    EXPECT_TRUE(finder.pathNames()->empty());
    EXPECT_TRUE(finder.fullFileNames()->empty());

    // A plain file is no folder either.
    const QString file = tree.file("plain.vcf");
    finder.LogPath(bytes(file));
    EXPECT_EQ(finder.Count(), 0);
    EXPECT_TRUE(finder.pathNames()->empty());
}

TEST(PathLogger, EmptyFolderGivesOneFolderEntryAndCountOne) {
    TempTree tree;
    const QString empty = tree.folder("empty");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(bytes(empty.chopped(1)));   // without its trailing separator
    EXPECT_EQ(texts(*finder.pathNames()), Strings({bytes(empty)}));
    EXPECT_EQ(keys(*finder.pathNames()), Strings({"K0"}));
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
    EXPECT_EQ(texts(*finder.pathNames()), Strings({"/", "/home/"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), Strings({"/a.vcf", "/home/b.vcf"}));
}

TEST(PathLogger, HiddenFilesOddNamesAndAnyExtensionAreAllLogged) {
    TempTree tree;
    const QStringList names{".hidden.vcf", "c.txt", "ends in space.vcf ", "colon:back\\slash.vcf",
                            QString::fromUtf8("Zo\u00eb \u4e2d\u6587 \U0001F600.VCF"), "no_extension"};
    for (const QString& n : names) tree.file("T/" + n);
    tree.file("T/.hidden_folder/inner.vcf");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(bytes(tree.root() + "T/"));
    Strings expected;
    for (const QString& n : names) expected.push_back(bytes(tree.root() + "T/" + n));
    expected.push_back(bytes(tree.root() + "T/.hidden_folder/inner.vcf"));
    const Strings found = texts(*finder.fullFileNames());
    EXPECT_EQ(asSet(found), asSet(expected));
    EXPECT_EQ(found.size(), expected.size());
    // The names come back exactly: each listed path opens the file it names.
    for (const std::string& path : found) EXPECT_EQ(::access(path.c_str(), F_OK), 0) << path;
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
    finder.LogPath(bytes(tree.root() + "L"));
    const std::string root = tree.rootBytes();
    EXPECT_EQ(texts(*finder.pathNames()), Strings({root + "L/", root + "L/sub/"}));
    const Strings found = texts(*finder.fullFileNames());
    // Links that lead to no folder are entries like any file.
    EXPECT_EQ(asSet(found), std::set<std::string>({root + "L/top.vcf", root + "L/sub/deep.vcf", root + "L/loop",
                                                   root + "L/dangling.vcf"}));
}

TEST(PathLogger, LinksToFoldersAreFollowedOnceEach) {
    TempTree tree;
    tree.file("outside/o.vcf");
    tree.file("S/own/own.vcf");
    tree.link("S/first", tree.root() + "outside");
    tree.link("S/second", tree.root() + "outside");
    pathLogger finder;
    finder.PathLogInit();
    finder.LogPath(bytes(tree.root() + "S/"));
    const std::set<std::string> found = asSet(texts(*finder.fullFileNames()));
    const std::string root = tree.rootBytes();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(found.contains(root + "S/own/own.vcf"));
    // Whichever link the system lists first is entered; the other is not.
    const bool viaFirst = found.contains(root + "S/first/o.vcf");
    const bool viaSecond = found.contains(root + "S/second/o.vcf");
    EXPECT_NE(viaFirst, viaSecond);
    EXPECT_EQ(finder.pathNames()->count(), 3);
}

// One folder that cannot be listed no longer ends the scan: it is kept with its reason, counts
// as empty, and every folder queued after it is still scanned.
TEST(PathLogger, AFolderThatCannotBeListedIsKeptWithItsReasonAndTheScanGoesOn) {
    TempTree tree;
    tree.file("F/top.vcf");
    tree.file("F/bad/lost.vcf");
    tree.file("F/good/deep/found.vcf");   // one level below bad: always scanned after it
    FailingFileSystem fs;
    const std::string root = tree.rootBytes();
    fs.failListing(root + "F/bad/", zentra::kErrPermissionDenied, "Permission denied");
    pathLogger finder(&fs);
    finder.PathLogInit();
    finder.LogPath(root + "F/");

    ASSERT_EQ(finder.unreadFolders().size(), 1u);
    const UnreadFolder& unread = finder.unreadFolders()[0];
    EXPECT_EQ(unread.path, root + "F/bad/");
    EXPECT_EQ(unread.error.number(), zentra::kErrPermissionDenied);
    EXPECT_NE(unread.error.description().find(root + "F/bad/"), std::string::npos);
    EXPECT_NE(unread.error.description().find("Permission denied"), std::string::npos);
    EXPECT_EQ(asSet(texts(*finder.pathNames())),
              std::set<std::string>({root + "F/", root + "F/bad/", root + "F/good/", root + "F/good/deep/"}));
    EXPECT_EQ(texts(*finder.fullFileNames()), Strings({root + "F/top.vcf", root + "F/good/deep/found.vcf"}));
    EXPECT_EQ(finder.Count(), 3);

    // The unread folders belong to one scan.
    finder.PathLogInit();
    EXPECT_TRUE(finder.unreadFolders().empty());
}

TEST(PathLogger, FolderThatVanishesIsAnErrorOfTheRealFileSystem) {
    StdFileSystem fs;
    TempTree tree;
    try {
        fs.files(tree.rootBytes() + "gone/");
        FAIL() << "listing a missing folder succeeded";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrPathNotFound);
        EXPECT_NE(e.description().find("gone"), std::string::npos);
        EXPECT_NE(e.description().find("No such file or directory"), std::string::npos);
    }
    EXPECT_THROW(fs.subfolders(tree.rootBytes() + "gone/"), zentra::Error);
    EXPECT_FALSE(fs.folderExists(""));
}

// One listing answers "subfolders, then files" of a folder; asked in any other order, each
// question lists the folder it names, and links count as what they lead to.
TEST(PathLogger, TheRealFileSystemListsEachFolderItIsAskedFor) {
    StdFileSystem fs;
    TempTree tree;
    tree.file("A/a1.vcf");
    tree.file("A/a2.vcf");
    tree.file("A/sub/deep.vcf");
    tree.file("B/b1.vcf");
    const std::string a = tree.rootBytes() + "A/", b = tree.rootBytes() + "B/";
    ASSERT_EQ(::symlink((a + "sub").c_str(), (a + "link").c_str()), 0);
    ASSERT_EQ(::symlink((a + "nowhere").c_str(), (a + "dangling.vcf").c_str()), 0);
    const auto sorted = [](std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    };
    const Strings filesOfA = {"a1.vcf", "a2.vcf", "dangling.vcf"};

    std::vector<std::string> subs;
    for (const Subfolder& s : fs.subfolders(a)) subs.push_back(s.name);
    EXPECT_EQ(sorted(subs), Strings({"link", "sub"}));
    EXPECT_EQ(sorted(fs.files(a)), filesOfA);
    EXPECT_EQ(sorted(fs.files(a)), filesOfA) << "asked again";
    fs.subfolders(a);
    EXPECT_EQ(fs.files(b), Strings({"b1.vcf"})) << "the files of the folder named, not of the one listed before";
    EXPECT_EQ(sorted(fs.files(a)), filesOfA);
    EXPECT_TRUE(fs.files(a + "sub/") == Strings({"deep.vcf"}));
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
    EXPECT_TRUE(fs.listed.empty());

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
    EXPECT_EQ(texts(*finder.fullFileNames()), Strings({"/R/A/a1", "/R/A/A1/x"}));
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
    EXPECT_EQ(texts(*kept), Strings({"/R/r1", "/R/r2", "/R/A/a1", "/R/B/b1", "/R/A/A1/x"}));
}

}  // namespace
}  // namespace sources
