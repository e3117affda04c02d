#include <gtest/gtest.h>

#include "platform/scripted_ui_services.h"
#include "sources/add_commands.h"

namespace {

TEST(BrowseForFolder, ReturnsThePathExactlyAsTheDialogReportsIt) {
    platform::ScriptedUiServices ui;
    const QString unicode = QString::fromUtf8("/home/\u00e5sa/\u4e2d\u6587 \U0001F600/with:colon\\back/");
    const QString longPath = "/" + QString(400, QChar(u'x'));   // no 260-character limit
    ui.folderAnswers = {"/srv/data", "/", unicode, longPath};
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "Choose Folder to Save..."), "/srv/data");
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "t"), "/");
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "t"), unicode);
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "t"), longPath);
    EXPECT_EQ(ui.folderTitles.first(), "Choose Folder to Save...");
}

TEST(BrowseForFolder, CancelAndFailuresGiveTheEmptyTextWithoutAMessage) {
    platform::ScriptedUiServices ui;
    ui.folderAnswers = {""};
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "t"), "");
    // Nothing scripted: the dialog throws, and the picker swallows it.
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "t"), "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(BrowseForFolder, TextAfterANulIsNotPartOfThePath) {
    platform::ScriptedUiServices ui;
    ui.folderAnswers = {QString("/srv/a") + QChar(u'\0') + "junk"};
    EXPECT_EQ(registry::BrowseForFolder(ui, nullptr, "t"), "/srv/a");
}

}  // namespace
