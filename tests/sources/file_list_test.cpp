// The file list on both grids the program uses: the memory grid of the command-line importer
// and the window's widget grid. Both must give the same list.
#include <gtest/gtest.h>

#include "platform/flex_grid_widget.h"
#include "platform/memory_controls.h"
#include "platform/scripted_ui_services.h"
#include "sources/file_list.h"

namespace {

using platform::ScriptedUiServices;

template <typename Grid>
class FileListTest : public ::testing::Test {
protected:
    FileListTest() {
        grid.setColWidth(0, 50000);   // as the window's load leaves it
    }
    QString cell(int r) {
        grid.setRow(r);
        grid.setCol(0);
        return grid.text();
    }
    QStringList paths() {
        QStringList all;
        for (int r = 0; r < grid.rows(); ++r) all << cell(r);
        return all;
    }

    Grid grid;
    platform::MemoryText label{"0 files"};
    sources::FileList list{grid, label};
    platform::MemoryEnabled importCommand{true};
    ScriptedUiServices ui;
};

using Grids = ::testing::Types<platform::MemoryGrid, platform::FlexGridWidget>;
TYPED_TEST_SUITE(FileListTest, Grids);

const QString kClearPrompt = "Do you want to clear all the files in the list\r\n Proceed?";

TYPED_TEST(FileListTest, FirstPathFillsRowZeroAndNarrowsTheColumn) {
    EXPECT_EQ(this->grid.colWidth(0), 50000);
    this->list.AddFileToList("/home/ann/Contacts/a.vcf");
    EXPECT_EQ(this->grid.rows(), 1);
    EXPECT_EQ(this->grid.cols(), 1);
    EXPECT_EQ(this->grid.fixedRows(), 0);
    EXPECT_EQ(this->grid.colWidth(0), 10000);
    EXPECT_EQ(this->cell(0), "/home/ann/Contacts/a.vcf");
    EXPECT_EQ(this->label.caption(), "1 files");
}

TYPED_TEST(FileListTest, PathsAreKeptInOrderExactlyAndDuplicatesAreListedAgain) {
    const QStringList added{" C:\\Data\\A.VCF ", "/x/b.vcf", " C:\\Data\\A.VCF "};
    for (const QString& p : added) this->list.AddFileToList(p);
    EXPECT_EQ(this->paths(), added);
    EXPECT_EQ(this->label.caption(), "3 files");
}

TYPED_TEST(FileListTest, PathBytesAreKeptExactlyAndShownReadably) {
    const std::string notUtf8 = std::string("/d/caf") + char(0xE9) + ".vcf";
    this->list.AddFileToList(notUtf8);
    this->list.AddFileToList(QString::fromUtf8("/d/Zo\u00eb.vcf"));   // text: named on disk in UTF-8
    this->grid.setRow(0);
    EXPECT_EQ(this->grid.path(), notUtf8);
    EXPECT_EQ(this->grid.text(), "/d/caf\\xE9.vcf");
    this->grid.setRow(1);
    EXPECT_EQ(this->grid.path(), "/d/Zo\xC3\xAB.vcf");
    EXPECT_EQ(this->label.caption(), "2 files");
}

TYPED_TEST(FileListTest, CurrentCellIsTheNewRowAfterAnAdd) {
    this->list.AddFileToList("a");
    this->list.AddFileToList("b");
    EXPECT_EQ(this->grid.row(), 1);
    EXPECT_EQ(this->grid.col(), 0);
    EXPECT_EQ(this->grid.text(), "b");
}

TYPED_TEST(FileListTest, LabelNumberEqualsRowsAfterEveryAdd) {
    for (int i = 1; i <= 25; ++i) {
        this->list.AddFileToList(QString("/f/%1.vcf").arg(i));
        ASSERT_EQ(this->label.caption(), QString::number(this->grid.rows()) + " files");
        ASSERT_EQ(this->grid.rows(), i);
    }
}

TYPED_TEST(FileListTest, EmptyPathIntoTheEmptyListLeavesItEmptyButCountsOne) {
    this->list.AddFileToList("");
    EXPECT_EQ(this->grid.rows(), 1);
    EXPECT_EQ(this->cell(0), "");
    EXPECT_EQ(this->label.caption(), "1 files");
    EXPECT_EQ(this->grid.colWidth(0), 10000);
    this->list.AddFileToList("/a.vcf");   // still empty: goes into row 0 again
    EXPECT_EQ(this->grid.rows(), 1);
    EXPECT_EQ(this->cell(0), "/a.vcf");
    EXPECT_EQ(this->label.caption(), "1 files");
}

TYPED_TEST(FileListTest, EmptyPathAfterOtherFilesIsARowOfItsOwn) {
    this->list.AddFileToList("/a.vcf");
    this->list.AddFileToList("");
    this->list.AddFileToList("/b.vcf");
    EXPECT_EQ(this->paths(), (QStringList{"/a.vcf", "", "/b.vcf"}));
}

TYPED_TEST(FileListTest, ClearOnTheEmptyListAsksNothingAndChangesNothing) {
    this->list.cmdClear1_Click(this->ui, this->importCommand);
    EXPECT_TRUE(this->ui.boxes.empty());
    EXPECT_EQ(this->grid.rows(), 1);
    EXPECT_EQ(this->label.caption(), "0 files");
    EXPECT_EQ(this->grid.colWidth(0), 50000);
}

TYPED_TEST(FileListTest, ClearAnsweredNoKeepsEveryRowAndMovesToTheFirstCell) {
    this->list.AddFileToList("/a.vcf");
    this->list.AddFileToList("/b.vcf");
    this->ui.msgBoxAnswers.push_back(platform::vbNo);
    this->list.cmdClear1_Click(this->ui, this->importCommand);
    ASSERT_EQ(this->ui.boxes.size(), 1u);
    EXPECT_EQ(this->ui.boxes[0].prompt, kClearPrompt);
    EXPECT_EQ(this->ui.boxes[0].style, platform::vbYesNo | platform::vbQuestion);   // Yes is the default
    EXPECT_EQ(this->ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_EQ(this->grid.row(), 0);
    EXPECT_EQ(this->grid.col(), 0);
    EXPECT_EQ(this->paths(), (QStringList{"/a.vcf", "/b.vcf"}));
    EXPECT_EQ(this->label.caption(), "2 files");
    EXPECT_TRUE(this->importCommand.enabled());
}

TYPED_TEST(FileListTest, ClearAnsweredYesLeavesOneEmptyRowAndKeepsTheWidth) {
    for (int i = 0; i < 5; ++i) this->list.AddFileToList(QString("/f%1.vcf").arg(i));
    this->ui.msgBoxAnswers.push_back(platform::vbYes);
    this->list.cmdClear1_Click(this->ui, this->importCommand);
    EXPECT_EQ(this->grid.rows(), 1);
    EXPECT_EQ(this->cell(0), "");
    EXPECT_EQ(this->label.caption(), "0 files");
    EXPECT_EQ(this->grid.colWidth(0), 10000);
    EXPECT_FALSE(this->importCommand.enabled());   // nothing left to import
    // The next add starts the list again in row 0.
    this->list.AddFileToList("/again.vcf");
    EXPECT_EQ(this->paths(), QStringList{"/again.vcf"});
    EXPECT_EQ(this->label.caption(), "1 files");
}

TYPED_TEST(FileListTest, ClearOfAListWhoseFirstCellIsEmptyAsksNothing) {
    // Row 0 empty means an empty list to the clear command, even with more rows below it.
    this->list.AddFileToList("");
    this->list.AddFileToList("");   // still the empty list: row 0 again
    this->grid.setRows(3);
    this->list.cmdClear1_Click(this->ui, this->importCommand);
    EXPECT_TRUE(this->ui.boxes.empty());
    EXPECT_EQ(this->grid.rows(), 3);
}

}  // namespace
