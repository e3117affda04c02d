// The window's commands through the scripted UI services: Exit, closing, Help, Clear, the
// access keys, and the wiring of the add and import buttons.
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "app/frm_step1.h"
#include "app/registry_shell.h"
#include "platform/scripted_ui_services.h"
#include "zentra/error.h"

namespace {

using platform::ScriptedUiServices;

class WindowCommands : public ::testing::Test {
protected:
    void SetUp() override { makeWindow(); }
    void makeWindow() {
        app::Commands commands;
        commands.endProgram = [this] { ++programEnds; };
        commands.helpTarget = [this] { return helpTarget; };
        commands.add = [this](app::frmStep1& w) {
            ++adds;
            w.fileList().AddFileToList("/picked/a.vcf");
            w.importCommand().setEnabled(true);
        };
        commands.addFolder = [this](app::frmStep1&) { ++folderAdds; };
        commands.import = [this](app::frmStep1&) { ++imports; };
        window = std::make_unique<app::frmStep1>(ui, commands);
    }
    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
    void showActive() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    ScriptedUiServices ui;
    QString helpTarget = "file:///usr/share/doc/zentra-vcard-importer/manual.html";
    int programEnds = 0, adds = 0, folderAdds = 0, imports = 0;
    std::unique_ptr<app::frmStep1> window;
};

TEST_F(WindowCommands, ExitAnsweredNoLeavesWindowAndListAsTheyWere) {
    showActive();
    window->fileList().AddFileToList("/keep.vcf");
    ui.msgBoxAnswers.push_back(platform::vbNo);
    button("cmdEnd")->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "Are you sure you want to exit now?");
    EXPECT_EQ(ui.boxes[0].style, platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton1);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(window->countLabel().caption(), "1 files");
}

TEST_F(WindowCommands, ExitAnsweredYesEndsTheProgramWithoutASecondQuestion) {
    showActive();
    QSignalSpy closing(window.get(), &app::frmStep1::closeRequested);
    ui.msgBoxAnswers.push_back(platform::vbYes);
    button("cmdEnd")->click();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(closing.size(), 1);
}

TEST_F(WindowCommands, ClosingTheWindowAsksNothingAndEndsTheProgramOnce) {
    showActive();
    QSignalSpy closing(window.get(), &app::frmStep1::closeRequested);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(closing.size(), 1);
    window->close();   // a second close does not end it twice
    EXPECT_EQ(programEnds, 1);
}

TEST_F(WindowCommands, HelpOpensTheManualAndNothingElse) {
    button("CmdHelp")->click();
    EXPECT_EQ(ui.openedUrls, QStringList{helpTarget});
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(WindowCommands, HelpThatCannotBeOpenedSaysWhereTheManualIsAndWhyAndTheWindowStaysUsable) {
    ui.openUrlSucceeds = false;
    ui.notOpenedReason = "No program to open it was found.";
    button("CmdHelp")->click();
    EXPECT_EQ(ui.openedUrls.size(), 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "The help manual could not be opened:\r\n"
                                  "/usr/share/doc/zentra-vcard-importer/manual.html\r\n"
                                  "No program to open it was found.");
    EXPECT_EQ(ui.boxes[0].style, platform::vbOKOnly | platform::vbExclamation);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    // A web address is named as it is.
    helpTarget = "https://example.org/manual";
    button("CmdHelp")->click();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_TRUE(ui.boxes[1].prompt.contains("\r\nhttps://example.org/manual\r\n"));
    ui.msgBoxAnswers.push_back(platform::vbNo);
    button("cmdEnd")->click();   // still answers
    EXPECT_EQ(ui.boxes.size(), 3u);
}

TEST_F(WindowCommands, ShellOpenWithAnEmptyTargetCallsNothing) {
    helpTarget.clear();
    button("CmdHelp")->click();
    EXPECT_TRUE(ui.openedUrls.isEmpty());
    EXPECT_TRUE(ui.boxes.empty());   // nothing was asked for, so nothing failed
    EXPECT_TRUE(registry::ShellOpen(ui, ""));
    EXPECT_TRUE(ui.openedUrls.isEmpty());
    EXPECT_TRUE(registry::ShellOpen(ui, "https://example.org/"));
    EXPECT_EQ(ui.openedUrls, QStringList{"https://example.org/"});
    ui.openUrlSucceeds = false;
    EXPECT_FALSE(registry::ShellOpen(ui, "https://example.org/"));
}

TEST_F(WindowCommands, AccessKeysRunExitAndHelpAndImportOnlyWhenEnabled) {
    // An access key presses its button visibly, so the click lands a moment later.
    showActive();
    ui.msgBoxAnswers.push_back(platform::vbNo);
    QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.boxes.size() == 1; }, 2000));
    QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.openedUrls.size() == 1; }, 2000));
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    QTest::qWait(400);
    EXPECT_EQ(imports, 0);   // disabled at start
    window->importCommand().setEnabled(true);
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return imports == 1; }, 2000));
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(WindowCommands, ButtonsRunTheirCommands) {
    button("cmdAdd")->click();
    EXPECT_EQ(adds, 1);
    EXPECT_EQ(window->countLabel().caption(), "1 files");
    EXPECT_TRUE(button("CmdExtractDBX")->isEnabled());
    button("CmdAddFolder")->click();
    EXPECT_EQ(folderAdds, 1);
    button("CmdExtractDBX")->click();
    EXPECT_EQ(imports, 1);
}

TEST_F(WindowCommands, ClearAsksThenEmptiesTheGridAndDisablesImport) {
    button("cmdAdd")->click();
    button("cmdAdd")->click();
    ASSERT_EQ(window->grdFiles1().rows(), 2);
    ui.msgBoxAnswers.push_back(platform::vbNo);
    button("cmdClear1")->click();
    EXPECT_EQ(window->grdFiles1().rows(), 2);
    EXPECT_TRUE(button("CmdExtractDBX")->isEnabled());
    ui.msgBoxAnswers.push_back(platform::vbYes);
    button("cmdClear1")->click();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].prompt, "Do you want to clear all the files in the list\r\n Proceed?");
    EXPECT_EQ(window->grdFiles1().rows(), 1);
    EXPECT_EQ(window->grdFiles1().text(), "");
    EXPECT_EQ(window->countLabel().caption(), "0 files");
    EXPECT_EQ(window->grdFiles1().colWidth(0), 10000);
    EXPECT_FALSE(button("CmdExtractDBX")->isEnabled());   // an empty list has nothing to import
    button("cmdClear1")->click();   // empty now: silent
    EXPECT_EQ(ui.boxes.size(), 2u);
    button("cmdAdd")->click();
    EXPECT_TRUE(button("CmdExtractDBX")->isEnabled());
}

TEST_F(WindowCommands, AnErrorNobodyTrappedIsShownAndTheWindowGoesOn) {
    app::Commands commands;
    commands.endProgram = [] {};
    commands.addFolder = [](app::frmStep1& w) {
        w.fileList().AddFileToList("/one.vcf");
        throw zentra::Error(zentra::kErrPathNotFound, "Path not found");
    };
    app::frmStep1 failing(ui, commands);
    failing.findChild<QPushButton*>("CmdAddFolder")->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, "76:Path not found");
    EXPECT_EQ(ui.boxes[0].style, platform::vbOKOnly | platform::vbExclamation);
    EXPECT_EQ(failing.countLabel().caption(), "1 files");   // what was added before stays
}

TEST_F(WindowCommands, ButtonsWithoutACommandDoNothing) {
    app::Commands none;
    none.endProgram = [] {};
    app::frmStep1 bare(ui, none);
    bare.findChild<QPushButton*>("cmdAdd")->click();
    bare.findChild<QPushButton*>("CmdAddFolder")->click();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(bare.grdFiles1().rows(), 1);
}

}  // namespace
