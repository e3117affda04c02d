#include <QFile>
#include <gtest/gtest.h>

#include "platform/memory_controls.h"
#include "platform/scripted_ui_services.h"
#include "sources/add_commands.h"

namespace sources {
namespace {

const QChar kNul(u'\0');

QStringList rows(platform::MemoryGrid& grid) {
    QStringList out;
    for (int r = 0; r < grid.rows(); ++r) {
        grid.setRow(r);
        grid.setCol(0);
        out << grid.text();
    }
    return out;
}

struct AddFilesFixture : ::testing::Test {
    platform::ScriptedUiServices ui;
    platform::MemoryGrid grid;
    platform::MemoryText label{"0 files"};
    FileList list{grid, label};
    platform::MemoryEnabled importCommand{false};

    void pick(const QString& selection) {
        ui.dialog.answers.push_back(selection);
        cmdAdd_Click(ui, list, importCommand);
    }
};

TEST_F(AddFilesFixture, MakesTheFourSettingsInOrderThenShowsTheDialog) {
    pick("");
    EXPECT_EQ(ui.dialog.log, QStringList({"FileName=", "Filter=vCard Contacts (*.vcf)|*.vcf", "Flags=524800",
                                          "MaxFileSize=1000", "ShowOpen"}));
}

TEST_F(AddFilesFixture, CancelChangesNothingAndShowsNothing) {
    pick("");
    EXPECT_EQ(rows(grid), QStringList({""}));
    EXPECT_EQ(label.caption(), "0 files");
    EXPECT_FALSE(importCommand.enabled());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AddFilesFixture, OneFileIsAddedWholeAndEnablesImport) {
    pick("/data/a.vcf");
    EXPECT_EQ(rows(grid), QStringList({"/data/a.vcf"}));
    EXPECT_EQ(label.caption(), "1 files");
    EXPECT_TRUE(importCommand.enabled());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AddFilesFixture, SeveralFilesGetTheFolderPrefixInDialogOrder) {
    pick("/data" + QString(kNul) + "b.vcf" + kNul + "a.vcf");
    EXPECT_EQ(rows(grid), QStringList({"/data/b.vcf", "/data/a.vcf"}));
    EXPECT_EQ(label.caption(), "2 files");
    EXPECT_TRUE(importCommand.enabled());
}

TEST_F(AddFilesFixture, TrailingNulGivesTheSameRows) {
    pick("/data" + QString(kNul) + "a.vcf" + kNul + "b.vcf" + kNul);
    pick("/data" + QString(kNul) + "a.vcf" + kNul + "b.vcf");
    EXPECT_EQ(rows(grid), QStringList({"/data/a.vcf", "/data/b.vcf", "/data/a.vcf", "/data/b.vcf"}));
    // One file with a terminator is still one file, not a folder.
    pick("/data/c.vcf" + QString(kNul));
    EXPECT_EQ(rows(grid).last(), "/data/c.vcf");
    EXPECT_EQ(grid.rows(), 5);
}

TEST_F(AddFilesFixture, RootFolderKeepsItsSingleSeparator) {
    pick("/" + QString(kNul) + "a.vcf" + kNul + "b.vcf");
    pick("/data/" + QString(kNul) + "c.vcf" + kNul + "d.vcf");
    EXPECT_EQ(rows(grid), QStringList({"/a.vcf", "/b.vcf", "/data/c.vcf", "/data/d.vcf"}));
}

TEST_F(AddFilesFixture, NamesAreListedExactlyIncludingOddCharacters) {
    const QString odd = QString::fromUtf8("Zo\u00eb:back\\slash \U0001F600.vcf ");
    pick(QString::fromUtf8("/d\u00e9j\u00e0 vu") + kNul + odd + kNul + "plain.VCF");
    EXPECT_EQ(rows(grid), QStringList({QString::fromUtf8("/d\u00e9j\u00e0 vu/") + odd,
                                       QString::fromUtf8("/d\u00e9j\u00e0 vu/plain.VCF")}));
    // Each pick is kept under the name the file system knows it by.
    grid.setRow(0);
    EXPECT_EQ(grid.path(), QFile::encodeName(QString::fromUtf8("/d\u00e9j\u00e0 vu/") + odd).toStdString());
}

TEST_F(AddFilesFixture, DuplicatesAreListedAgain) {
    pick("/data/a.vcf");
    pick("/data/a.vcf");
    EXPECT_EQ(rows(grid), QStringList({"/data/a.vcf", "/data/a.vcf"}));
    EXPECT_EQ(label.caption(), "2 files");
}

TEST_F(AddFilesFixture, SelectionTooLargeWarnsWithTheDialogsFigureAndAddsNothing) {
    ui.dialog.filesHint = 37;
    ui.dialog.answers.push_back(20476L);
    cmdAdd_Click(ui, list, importCommand);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "Please select only 37 files at a time");
    EXPECT_EQ(ui.boxes[0].style, platform::vbExclamation | platform::vbOKOnly);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_EQ(rows(grid), QStringList({""}));
    EXPECT_FALSE(importCommand.enabled());
}

TEST_F(AddFilesFixture, OtherDialogErrorsShowNumberAndDescription) {
    ui.dialog.answers.push_back(32755L);
    cmdAdd_Click(ui, list, importCommand);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "32755:scripted dialog error");
    EXPECT_EQ(ui.boxes[0].style, platform::vbExclamation);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_FALSE(importCommand.enabled());
}

// A list whose adding fails part-way: the rows before the failure stay, the import command
// stays enabled, and the error is shown as number and description.
class FailingGrid : public platform::MemoryGrid {
public:
    int allowedRows = 1;
    void setRows(int n) override {
        if (n > allowedRows) throw zentra::Error(zentra::kErrOverflow, "Overflow");
        MemoryGrid::setRows(n);
    }
};

TEST(AddFilesCommand, ErrorWhileAddingKeepsEarlierRowsAndReportsIt) {
    platform::ScriptedUiServices ui;
    FailingGrid grid;
    platform::MemoryText label;
    FileList list(grid, label);
    platform::MemoryEnabled importCommand(false);
    ui.dialog.answers.push_back("/d" + QString(kNul) + "a.vcf" + kNul + "b.vcf");
    cmdAdd_Click(ui, list, importCommand);
    EXPECT_EQ(rows(grid), QStringList({"/d/a.vcf"}));
    EXPECT_TRUE(importCommand.enabled());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "6:Overflow");
}

}  // namespace
}  // namespace sources
