// Where --relative puts each listed row: below the SOURCE that listed it, known by runs of rows.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "relative_folders.h"

namespace {

class RelativeFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* d : {"home/ann/cards", "home/bob", "loose"}) ASSERT_TRUE(QDir(dir_.path()).mkpath(d));
    }
    QString at(const QString& relative) const { return dir_.filePath(relative); }

    QTemporaryDir dir_;
    vcf2pst::RelativeFolders folders_;
};

TEST_F(RelativeFoldersTest, EachRunOfRowsMirrorsBelowItsOwnSource) {
    folders_.addFolderSource(at("home"), 0);              // rows 0-3
    folders_.addFileSource(at("loose/one.vcf"), 4);       // row 4
    folders_.addFolderSource(at("home/ann"), 5);          // rows 5-6: files "home" listed already

    EXPECT_EQ(folders_.folderOf(0, at("home/top.vcf")), "home");
    EXPECT_EQ(folders_.folderOf(1, at("home/ann/cards/a.vcf")), "home\\ann\\cards");
    EXPECT_EQ(folders_.folderOf(2, at("home/bob/b.vcf")), "home\\bob");
    // Back in a folder met before: the answer kept for the last folder must not leak.
    EXPECT_EQ(folders_.folderOf(3, at("home/ann/cards/c.vcf")), "home\\ann\\cards");
    EXPECT_EQ(folders_.folderOf(4, at("loose/one.vcf")), "loose");
    // The same file listed again by a source inside the first: below that source this time.
    EXPECT_EQ(folders_.folderOf(5, at("home/ann/cards/a.vcf")), "ann\\cards");
    EXPECT_EQ(folders_.folderOf(6, at("home/ann/cards/c.vcf")), "ann\\cards");
    EXPECT_EQ(folders_.folderOf(1, at("home/ann/cards/a.vcf")), "home\\ann\\cards");
}

TEST_F(RelativeFoldersTest, ASourceThatListedNothingTakesNoRows) {
    folders_.addFolderSource(at("home/bob"), 0);
    folders_.addFolderSource(at("loose"), 1);   // empty: the next source starts at the same row
    folders_.addFolderSource(at("home/ann"), 1);
    EXPECT_EQ(folders_.folderOf(0, at("home/bob/b.vcf")), "bob");
    EXPECT_EQ(folders_.folderOf(1, at("home/ann/a.vcf")), "ann");
}

TEST_F(RelativeFoldersTest, RowsBeforeEverySourceHaveNoFolder) {
    folders_.addFileSource(at("loose/one.vcf"), 2);
    EXPECT_EQ(folders_.folderOf(0, at("elsewhere/x.vcf")), "");
    EXPECT_EQ(folders_.folderOf(2, at("loose/one.vcf")), "loose");
}

}  // namespace
