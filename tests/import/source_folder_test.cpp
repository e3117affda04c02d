#include "import/source_folder.h"

#include <gtest/gtest.h>

#include "zentra/error.h"

using importrun::PathStyle;
using importrun::RunStamp;
using importrun::SourceRelativeFolder;

namespace {
long errorNumberOf(const QString& path, PathStyle style) {
    try {
        SourceRelativeFolder(path, style);
    } catch (const zentra::Error& e) {
        return e.number();
    }
    return 0;
}
}  // namespace

TEST(SourceRelativeFolder, PosixPathsDropTheRootAndJoinWithBackslash) {
    EXPECT_EQ(SourceRelativeFolder("/home/ann/cards/bob.vcf", PathStyle::Posix), "home\\ann\\cards");
    EXPECT_EQ(SourceRelativeFolder("/x/y.vcf", PathStyle::Posix), "x");
    EXPECT_EQ(SourceRelativeFolder("  /x/y z.vcf  ", PathStyle::Posix), "x");
    EXPECT_EQ(SourceRelativeFolder("/a:b/c d/\u00e9.vcf", PathStyle::Posix), "a:b\\c d");
}

TEST(SourceRelativeFolder, PosixNamesAreMadeStoreSafe) {
    // A "\\" inside a Linux folder name must not become a second store level, however the
    // folder path was put together.
    EXPECT_EQ(SourceRelativeFolder("/a\\b/c/x.vcf", PathStyle::Posix), QString("a\uFF3Cb\\c"));
    EXPECT_EQ(importrun::StoreFolderPath({"src", "a\\b", "", "c"}), QString("src\\a\uFF3Cb\\c"));
    // Doubled separators give no empty folder names.
    EXPECT_EQ(SourceRelativeFolder("//home//ann///x.vcf", PathStyle::Posix), "home\\ann");
    // Over-long names are cut to the store's limit; two names sharing a long prefix stay apart.
    const QString longA = QString(300, u'a') + "1";
    const QString longB = QString(300, u'a') + "2";
    const QString a = SourceRelativeFolder("/" + longA + "/x.vcf", PathStyle::Posix);
    const QString b = SourceRelativeFolder("/" + longB + "/x.vcf", PathStyle::Posix);
    EXPECT_EQ(a.size(), importrun::kMaxStoreFolderName);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, SourceRelativeFolder("/" + longA + "/y.vcf", PathStyle::Posix));   // stable
    const QString exact = QString(255, u'e');
    EXPECT_EQ(SourceRelativeFolder("/" + exact + "/y.vcf", PathStyle::Posix), exact);
}

// A file in a root goes to a top-level folder that says so, in every path style, instead of
// ending the run; a path without a root, or the root itself, is still refused.
TEST(SourceRelativeFolder, FilesInARootGoToTheRootFolderAndRootlessPathsFail) {
    EXPECT_EQ(SourceRelativeFolder("/bob.vcf", PathStyle::Posix), importrun::kRootFolderName);
    EXPECT_EQ(SourceRelativeFolder("//bob.vcf", PathStyle::Posix), importrun::kRootFolderName);
    EXPECT_EQ(SourceRelativeFolder("D:\\bob.vcf", PathStyle::Windows), importrun::kRootFolderName);
    EXPECT_EQ(SourceRelativeFolder("\\\\server\\share\\y.vcf", PathStyle::Windows), importrun::kRootFolderName);
    EXPECT_EQ(errorNumberOf("relative/bob.vcf", PathStyle::Posix), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf("", PathStyle::Posix), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf("/", PathStyle::Posix), zentra::kErrInvalidCall);
}

TEST(SourceRelativeFolder, WindowsDrivePaths) {
    EXPECT_EQ(SourceRelativeFolder("C:\\Users\\ann\\cards\\bob.vcf", PathStyle::Windows), "Users\\ann\\cards");
    EXPECT_EQ(SourceRelativeFolder("E:\\x\\y.vcf", PathStyle::Windows), "x");
    EXPECT_EQ(SourceRelativeFolder("D:\\a\\y.vcf", PathStyle::Windows),
              SourceRelativeFolder("C:\\a\\z.vcf", PathStyle::Windows));
    EXPECT_EQ(errorNumberOf("bob.vcf", PathStyle::Windows), zentra::kErrSubscriptOutOfRange);
}

TEST(SourceRelativeFolder, WindowsNetworkPaths) {
    EXPECT_EQ(SourceRelativeFolder("\\\\server\\share\\x\\y.vcf", PathStyle::Windows), "x");
    EXPECT_EQ(SourceRelativeFolder("\\\\server\\share\\a\\b\\y.vcf", PathStyle::Windows), "a\\b");
    EXPECT_EQ(errorNumberOf("\\\\server", PathStyle::Windows), zentra::kErrSubscriptOutOfRange);
}

TEST(RunStamp, UsesTheShortPattern) {
    EXPECT_EQ(RunStamp(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))), "6.12.26 9.5.07");
    EXPECT_EQ(RunStamp(QDateTime(QDate(2009, 1, 31), QTime(23, 59, 0))), "31.1.09 23.59.00");
    EXPECT_EQ(RunStamp(QDateTime(QDate(2030, 10, 1), QTime(0, 0, 10))), "1.10.30 0.0.10");
}
