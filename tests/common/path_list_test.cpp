#include "zentra/path_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "zentra/error.h"

namespace {

using zentra::PathList;

TEST(PathList, GivesBackTheExactBytesOfEveryPathInOrder) {
    PathList list;
    const std::string notUtf8 = std::string("/d/caf") + char(0xE9) + ".vcf";
    const std::string trailing = "/d/t.vcf ";
    for (const std::string& p : {std::string("/d/a.vcf"), notUtf8, trailing, std::string("/d/t.vcf"),
                                 std::string("/e/b.vcf"), std::string("plain.vcf"), std::string("/d/")})
        list.add(p);
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list.path(1), notUtf8);
    EXPECT_EQ(list.path(2), trailing);
    EXPECT_EQ(list.path(3), "/d/t.vcf");
    EXPECT_EQ(list.folder(4), "/e/");
    EXPECT_EQ(list.name(4), "b.vcf");
    EXPECT_EQ(list.path(5), "plain.vcf");
    EXPECT_EQ(list.folder(5), "");
    EXPECT_EQ(list.name(6), "");
    EXPECT_EQ(list.path(6), "/d/");
    EXPECT_THROW(list.path(7), zentra::Error);
}

TEST(PathList, StoresEachFolderOnceWhateverTheOrderOfItsFiles) {
    PathList list;
    for (int round = 0; round < 3; ++round)
        for (int f = 0; f < 200; ++f) list.add("/home/ann/cards/folder" + std::to_string(f) + "/c.vcf");
    PathList one;
    for (int f = 0; f < 200; ++f) one.add("/home/ann/cards/folder" + std::to_string(f) + "/c.vcf");
    // Three times the files, but the folders are kept once: far less than three times the bytes.
    EXPECT_LT(list.bytesHeld(), 2 * one.bytesHeld());
    EXPECT_EQ(list.path(599), "/home/ann/cards/folder199/c.vcf");
    EXPECT_EQ(list.path(200), "/home/ann/cards/folder0/c.vcf");
}

TEST(PathList, AMillionScannedFilesTakeAFewDozenBytesEach) {
    PathList list;
    for (int i = 0; i < 1000000; ++i)
        list.add("/srv/export/address-book/f" + std::to_string(i / 100) + "/c" + std::to_string(i) + ".vcf");
    EXPECT_LT(list.bytesHeld() / list.size(), 40u);
    EXPECT_EQ(list.path(999999), "/srv/export/address-book/f9999/c999999.vcf");
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_LT(list.bytesHeld(), 1024u);
}

TEST(PathList, ACompleteListGivesBackItsSpareRoomAndStaysTheSame) {
    PathList list;
    for (int i = 0; i < 5000; ++i) list.add("/srv/f" + std::to_string(i / 100) + "/c" + std::to_string(i) + ".vcf");
    const std::size_t before = list.bytesHeld();
    list.shrinkToFit();
    EXPECT_LT(list.bytesHeld(), before);
    EXPECT_EQ(list.size(), 5000u);
    EXPECT_EQ(list.path(0), "/srv/f0/c0.vcf");
    EXPECT_EQ(list.path(4999), "/srv/f49/c4999.vcf");
    // Still a list: a later file of a known folder shares that folder's bytes.
    list.add("/srv/f7/late.vcf");
    EXPECT_EQ(list.folder(5000).data(), list.folder(700).data());
}

TEST(PathList, ACopyOrAMovedListFindsItsFoldersAgain) {
    // Short folder parts sit inside the list object itself; an index that pointed at them
    // would point into the list the copy or move came from.
    auto original = std::make_unique<PathList>();
    original->add("/a/x.vcf");
    original->add("/b/y.vcf");
    PathList copy = *original;
    PathList moved = std::move(*original);
    original.reset();
    for (PathList* list : {&copy, &moved}) {
        list->add("/a/z.vcf");
        list->add("/b/w.vcf");
        EXPECT_EQ(list->path(2), "/a/z.vcf");
        EXPECT_EQ(list->path(3), "/b/w.vcf");
        // Both folders were found again and shared, not stored a second time.
        EXPECT_EQ(list->folder(2).data(), list->folder(0).data());
        EXPECT_EQ(list->folder(3).data(), list->folder(1).data());
    }
}

TEST(ReadablePath, EscapesWhatIsNotPrintableUtf8AndKeepsTheRest) {
    EXPECT_EQ(zentra::readablePath("/home/ann/Zürich Büro/a.vcf"), "/home/ann/Zürich Büro/a.vcf");
    EXPECT_EQ(zentra::readablePath(std::string("/d/caf") + char(0xE9) + ".vcf"), "/d/caf\\xE9.vcf");
    EXPECT_EQ(zentra::readablePath("/d/\x1b[31mred\n.vcf"), "/d/\\x1B[31mred\\x0A.vcf");
    EXPECT_EQ(zentra::readablePath("a\xC2\x9B" "b"), "a\\xC2\\x9Bb");              // C1 CSI
    EXPECT_EQ(zentra::readablePath("\xED\xA0\x80"), "\\xED\\xA0\\x80");         // a UTF-16 surrogate
    EXPECT_EQ(zentra::readablePath("\xC0\xAF"), "\\xC0\\xAF");                  // overlong "/"
    EXPECT_EQ(zentra::readablePath("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");     // U+1F600 stays
    // Two names that differ only in bytes that are not UTF-8 read differently.
    EXPECT_NE(zentra::readablePath("\xE9"), zentra::readablePath("\xE8"));
}

}  // namespace
