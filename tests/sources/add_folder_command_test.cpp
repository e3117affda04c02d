#include <QSet>
#include <gtest/gtest.h>

#include "fake_file_system.h"
#include "platform/memory_controls.h"
#include "platform/scripted_ui_services.h"
#include "sources/add_commands.h"
#include "temp_tree.h"

namespace sources {
namespace {

using testing::bytes;
using testing::FailingFileSystem;
using testing::FakeFileSystem;
using testing::TempTree;

QStringList rows(platform::MemoryGrid& grid) {
    QStringList out;
    for (int r = 0; r < grid.rows(); ++r) {
        grid.setRow(r);
        grid.setCol(0);
        out << grid.text();
    }
    return out;
}
QSet<QString> asSet(const QStringList& l) { return QSet<QString>(l.begin(), l.end()); }

struct AddFolderFixture : ::testing::Test {
    platform::ScriptedUiServices ui;
    platform::MemoryGrid grid;
    platform::MemoryText label{"0 files"};
    FileList list{grid, label};
    platform::MemoryEnabled importCommand{false};
    TempTree tree;

    FolderAddResult choose(const QString& folder, FileSystem* fs = nullptr) {
        ui.folderAnswers.push_back(folder);
        return CmdAddFolder_Click(ui, nullptr, list, importCommand, fs);
    }
    QString lastBox() const { return ui.boxes.empty() ? QString() : ui.boxes.back().prompt; }
};

TEST_F(AddFolderFixture, AddsEveryVcfBelowTheFolderWithNamesKept) {
    tree.file("src/a.vcf");
    tree.file("src/B.VCF");
    tree.file("src/c.txt");
    tree.file("src/d.Vcf");
    tree.file("src/sub/e.vcf");
    tree.file("src/sub/f.vcard");
    tree.file("src/sub/g.vcf.bak");
    tree.file("src/sub/h.vcf ");      // trailing space after the extension
    tree.file("src/sub/ivcf");
    choose(tree.root() + "src");      // no trailing separator from the picker

    EXPECT_EQ(ui.folderTitles, QStringList({"Choose Source Folder..."}));
    const QString s = tree.root() + "src/";
    EXPECT_EQ(asSet(rows(grid)), QSet<QString>({s + "a.vcf", s + "B.VCF", s + "d.Vcf", s + "sub/e.vcf",
                                                 s + "sub/h.vcf "}));
    EXPECT_EQ(grid.rows(), 5);
    EXPECT_EQ(label.caption(), "5 files");
    EXPECT_TRUE(importCommand.enabled());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "5 Files Added to List.");
    EXPECT_EQ(ui.boxes[0].style, platform::vbOKOnly);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_EQ(ui.pointerLog, std::vector<int>({platform::vbHourglass, platform::vbDefault}));
    // One yield per found file (9), one more per accepted file (5).
    EXPECT_EQ(ui.doEventsCount, 14);
}

TEST_F(AddFolderFixture, FilesAreAddedInTheScansBreadthFirstOrder) {
    FakeFileSystem fs;
    fs.addFile("/R/", "r1.vcf");
    fs.addSubfolder("/R/", "A");
    fs.addSubfolder("/R/", "B");
    fs.addFile("/R/A/", "a1.vcf");
    fs.addSubfolder("/R/A/", "A1");
    fs.addFile("/R/A/A1/", "x.vcf");
    fs.addFile("/R/B/", "b1.vcf");
    fs.addFile("/R/", "r2.vcf");
    choose("/R/", &fs);
    EXPECT_EQ(rows(grid), QStringList({"/R/r1.vcf", "/R/r2.vcf", "/R/A/a1.vcf", "/R/B/b1.vcf", "/R/A/A1/x.vcf"}));
}

TEST_F(AddFolderFixture, RootFolderGetsNoDoubledSeparator) {
    FakeFileSystem fs;
    fs.addFile("/", "top.vcf");
    fs.addSubfolder("/", "home");
    fs.addFile("/home/", "ann.vcf");
    choose("/", &fs);
    EXPECT_EQ(rows(grid), QStringList({"/top.vcf", "/home/ann.vcf"}));
}

TEST_F(AddFolderFixture, SameFolderTwiceDoublesRowsAndCountsEachRunAlone) {
    tree.file("twice/a.vcf");
    tree.file("twice/b.vcf");
    choose(tree.root() + "twice/");
    choose(tree.root() + "twice/");
    EXPECT_EQ(grid.rows(), 4);
    EXPECT_EQ(label.caption(), "4 files");
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].prompt, "2 Files Added to List.");
    EXPECT_EQ(ui.boxes[1].prompt, "2 Files Added to List.");
}

TEST_F(AddFolderFixture, FolderWithoutVcardsDisablesImportEvenWithFilesListed) {
    tree.file("some/a.vcf");
    tree.file("none/readme.txt");
    tree.file("none/x.vcard");
    choose(tree.root() + "some");
    ASSERT_TRUE(importCommand.enabled());
    choose(tree.root() + "none");
    EXPECT_FALSE(importCommand.enabled());
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(lastBox(), "0 Files Added to List.");
}

TEST_F(AddFolderFixture, CancelInThePickerChangesNothing) {
    importCommand.setEnabled(true);
    EXPECT_FALSE(choose("").picked);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.pointerLog.empty());
    EXPECT_TRUE(importCommand.enabled());
    EXPECT_EQ(rows(grid), QStringList({""}));
    EXPECT_EQ(ui.doEventsCount, 0);
}

TEST_F(AddFolderFixture, PickerFailureCountsAsCancel) {
    // No scripted answer: the scripted dialog throws, which the picker turns into "".
    CmdAddFolder_Click(ui, nullptr, list, importCommand, nullptr);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.pointerLog.empty());
    EXPECT_FALSE(importCommand.enabled());
}

TEST_F(AddFolderFixture, MissingFolderShowsZero) {
    choose(tree.root() + "vanished");
    EXPECT_EQ(lastBox(), "0 Files Added to List.");
    EXPECT_FALSE(importCommand.enabled());
    EXPECT_EQ(ui.pointerLog, std::vector<int>({platform::vbHourglass, platform::vbDefault}));
}

TEST_F(AddFolderFixture, LinkLoopEndsAndListsEachFileOnce) {
    tree.file("loop/a.vcf");
    tree.file("loop/inner/b.vcf");
    tree.link("loop/inner/back", tree.root() + "loop");
    choose(tree.root() + "loop");
    EXPECT_EQ(asSet(rows(grid)), QSet<QString>({tree.root() + "loop/a.vcf", tree.root() + "loop/inner/b.vcf"}));
    EXPECT_EQ(lastBox(), "2 Files Added to List.");
}

TEST_F(AddFolderFixture, UnicodeSpacesColonsAndBackslashesInNames) {
    const QString folder = QString::fromUtf8("M\u00fcller & S\u00f6hne: \u5927\u962a\\ \U0001F4C7");
    const QString name = QString::fromUtf8("\u0130stanbul:Ki\u015fi\\1 .VcF  ");
    tree.file(folder + "/" + name);
    tree.file(folder + "/deep/\u00c5sa.vcf");
    choose(tree.root() + folder);
    EXPECT_EQ(asSet(rows(grid)), QSet<QString>({tree.root() + folder + "/" + name,
                                                tree.root() + folder + "/deep/\u00c5sa.vcf"}));
    for (const QString& path : rows(grid)) EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

TEST_F(AddFolderFixture, AnUnreadFolderIsReportedAfterTheFilesFoundAreAdded) {
    tree.file("part/top.vcf");
    tree.file("part/locked/hidden.vcf");
    FailingFileSystem fs;
    const QString locked = tree.root() + "part/locked/";
    fs.failListing(bytes(locked), zentra::kErrPermissionDenied, "Permission denied");
    choose(tree.root() + "part", &fs);

    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].style, platform::vbExclamation);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_TRUE(ui.boxes[0].prompt.contains(locked)) << ui.boxes[0].prompt.toStdString();
    EXPECT_TRUE(ui.boxes[0].prompt.contains("Permission denied"));
    EXPECT_EQ(ui.boxes[1].prompt, "1 Files Added to List.");
    EXPECT_EQ(rows(grid), QStringList({tree.root() + "part/top.vcf"}));
    EXPECT_TRUE(importCommand.enabled());
    EXPECT_EQ(ui.mousePointer(), platform::vbDefault);
    // The box comes after the add, with the pointer back to normal.
    EXPECT_EQ(ui.pointerLog, std::vector<int>({platform::vbHourglass, platform::vbDefault}));
}

TEST_F(AddFolderFixture, StartFolderThatCannotBeListedReportsAndAddsNothing) {
    FakeFileSystem fs;
    fs.addFolder("/srv/");
    fs.failListing("/srv/", zentra::kErrDeviceIO, "Input/output error");
    importCommand.setEnabled(true);
    choose("/srv", &fs);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].prompt, "1 folder could not be read, so the vCard files in it are not in the list:\r\n"
                                  "cannot list the folder /srv/: Input/output error");
    EXPECT_EQ(ui.boxes[1].prompt, "0 Files Added to List.");
    EXPECT_FALSE(importCommand.enabled());
}

TEST_F(AddFolderFixture, ManyUnreadFoldersAreCountedInOneBoxThatNamesTheFirstFive) {
    FakeFileSystem fs;
    fs.addFile("/R/", "a.vcf");
    for (int i = 1; i <= 7; ++i) {
        const std::string name = "locked" + std::to_string(i);
        fs.addSubfolder("/R/", name);
        fs.failListing("/R/" + name + "/", zentra::kErrPermissionDenied, "Permission denied");
    }
    fs.addSubfolder("/R/", "open");
    fs.addFile("/R/open/", "b.vcf");
    const FolderAddResult result = choose("/R", &fs);

    EXPECT_TRUE(result.picked);
    EXPECT_EQ(result.filesAdded, 2);
    EXPECT_FALSE(result.error);
    ASSERT_EQ(result.unreadFolders.size(), 7u);
    EXPECT_EQ(result.unreadFolders[6].path, "/R/locked7/");
    EXPECT_EQ(result.unreadFolders[6].error.number(), zentra::kErrPermissionDenied);
    EXPECT_EQ(rows(grid), QStringList({"/R/a.vcf", "/R/open/b.vcf"}));
    EXPECT_TRUE(importCommand.enabled());

    ASSERT_EQ(ui.boxes.size(), 2u);
    QString expected = "7 folders could not be read, so the vCard files in them are not in the list:";
    for (int i = 1; i <= 5; ++i) expected += QString("\r\ncannot list the folder /R/locked%1/: Permission denied").arg(i);
    expected += "\r\nand 2 more.";
    EXPECT_EQ(ui.boxes[0].prompt, expected);
    EXPECT_EQ(ui.boxes[0].style, platform::vbExclamation | platform::vbOKOnly);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_EQ(ui.boxes[1].prompt, "2 Files Added to List.");
}

TEST_F(AddFolderFixture, ClearDuringTheRunRestartsTheListAndTheRunCountsOnlyItself) {
    tree.file("mid/a.vcf");
    tree.file("mid/b.vcf");
    tree.file("mid/c.vcf");
    list.AddFileToList("/earlier.vcf");
    int yields = 0;
    ui.onDoEvents = [&] {
        if (++yields == 3) list.ResetFileList(importCommand);   // the user clears while files are being added
    };
    choose(tree.root() + "mid");
    EXPECT_EQ(lastBox(), "3 Files Added to List.");
    EXPECT_EQ(grid.rows(), 2);   // the files added after the reset
    EXPECT_EQ(label.caption(), "2 files");
    EXPECT_TRUE(importCommand.enabled());
}

class FailingGrid : public platform::MemoryGrid {
public:
    void setRows(int) override { throw zentra::Error(zentra::kErrOverflow, "Overflow"); }
};

TEST(AddFolderCommand, ErrorWhileAddingPutsThePointerBackAndReportsIt) {
    TempTree tree;
    tree.file("e/a.vcf");
    tree.file("e/b.vcf");
    platform::ScriptedUiServices ui;
    FailingGrid grid;
    platform::MemoryText label;
    FileList list(grid, label);
    platform::MemoryEnabled importCommand(false);
    ui.folderAnswers.push_back(tree.root() + "e");
    const FolderAddResult result = CmdAddFolder_Click(ui, nullptr, list, importCommand, nullptr);
    EXPECT_EQ(ui.mousePointer(), platform::vbDefault);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "6:Overflow");
    EXPECT_EQ(ui.boxes[0].style, platform::vbExclamation);
    EXPECT_TRUE(importCommand.enabled());   // one file went in before the failure
    EXPECT_EQ(grid.rows(), 1);
    // The caller hears of it too.
    EXPECT_EQ(result.filesAdded, 1);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->number(), zentra::kErrOverflow);
}

}  // namespace
}  // namespace sources
