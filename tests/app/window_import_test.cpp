// The whole program in its window, offscreen: files listed through the add-folder command,
// the import run started with the import button, the store read back by independent readers.
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/frm_step1.h"
#include "app/program_commands.h"
#include "import/source_folder.h"
#include "platform/scripted_ui_services.h"
#include "readers.h"

namespace {

class WindowImport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(src_.isValid() && dest_.isValid());
        app::Commands commands = program.commands();
        commands.endProgram = [this] { ++programEnds; };
        window = std::make_unique<app::frmStep1>(ui, commands);
        program.windUpOnClose(*window);
        window->show();
    }

    void vcf(const QString& relative, const std::string& given, const std::string& family) {
        const std::string path = src_.filePath(relative).toStdString();
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" << family << ";" << given << ";;;\r\nFN:" << given
                            << " " << family << "\r\nEND:VCARD\r\n";
    }
    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
    void addSourceFolder() {
        ui.folderAnswers.push_back(src_.path());
        button("CmdAddFolder")->click();
    }
    QString storePath() const {
        const QStringList found = QDir(dest_.path()).entryList({"ZentraContacts*.pst"}, QDir::Files);
        return found.size() == 1 ? dest_.filePath(found[0]) : QString();
    }
    std::string storeFolder(const QString& relative) const {
        return importrun::SourceRelativeFolder(src_.filePath(relative) + "/x.vcf").replace(u'\\', u'/').toStdString();
    }
    static void expectSound(const QString& pst) {
        auto check = zentra::readers::runProcess({ZENTRA_BINARY_DIR "/bin/pstcheck", pst.toStdString()},
                                                 std::chrono::seconds(120));
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    }

    platform::ScriptedUiServices ui;
    app::ProgramCommands program;
    std::unique_ptr<app::frmStep1> window;
    int programEnds = 0;
    QTemporaryDir src_, dest_;
};

}  // namespace

TEST_F(WindowImport, ImportsEveryListedContactIntoTheMirroredFolders) {
    vcf("Users/ann/cards/bob smith.vcf", "Bob", "Smith");
    vcf("Users/ann/cards/\u00e9mile z\u00f6e.vcf", "\u00c9mile", "Z\u00f6e");
    vcf("Users/bob/cards/carl.vcf", "Carl", "Jones");   // "cards" under a second parent
    vcf("Users/dora.vcf", "Dora", "Lee");
    addSourceFolder();
    ASSERT_EQ(window->countLabel().caption(), "4 files");
    ASSERT_TRUE(button("CmdExtractDBX")->isEnabled());

    ui.folderAnswers.push_back(dest_.path());
    button("CmdExtractDBX")->click();

    EXPECT_EQ(ui.folderTitles.last(), "Choose Folder to Save...");
    EXPECT_EQ(window->frameCaption().caption(), "Details : Converting - (4 of 4) file(s)");
    EXPECT_EQ(window->overallProgress().value(), 100.0f);
    EXPECT_TRUE(window->stageLabel().caption().startsWith("Importing Contacts... from ("));
    EXPECT_FALSE(button("CmdExtractDBX")->isEnabled());
    EXPECT_TRUE(button("cmdClear1")->isEnabled());
    // The count box of the add, then one box saying where the contacts went.
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].prompt, "4 Files Added to List.");
    const QString pst = storePath();
    ASSERT_FALSE(pst.isEmpty());
    EXPECT_EQ(ui.boxes[1].style, platform::vbInformation);
    EXPECT_EQ(ui.boxes[1].title, "Zentra vCard Importer");
    EXPECT_TRUE(ui.boxes[1].prompt.startsWith("4 contact(s) from 4 file(s) were imported into\r\n" + pst + "\r\n"))
        << ui.boxes[1].prompt.toStdString();
    EXPECT_TRUE(ui.boxes[1].prompt.contains("0 warning(s). The report lists everything in detail:\r\n" +
                                            pst.chopped(4) + ".txt"))
        << ui.boxes[1].prompt.toStdString();

    expectSound(pst);
    auto view = zentra::readers::readWithPypff(pst.toStdString());
    ASSERT_TRUE(view.ok) << view.error;
    const std::map<std::string, std::set<std::string>> expected = {
        {storeFolder("Users/ann/cards"), {"Bob Smith", "\u00c9mile Z\u00f6e"}},
        {storeFolder("Users/bob/cards"), {"Carl Jones"}},
        {storeFolder("Users"), {"Dora Lee"}},
        {storeFolder("Users/ann"), {}},
    };
    for (const auto& [folder, names] : expected) {
        const auto* f = view.folderAt(folder);
        ASSERT_NE(f, nullptr) << folder;
        EXPECT_EQ(f->containerClass.value_or(""), "IPF.Contact");
        std::set<std::string> seen;
        for (const auto& item : f->items) {
            EXPECT_EQ(item.field("messageClass"), "IPM.Contact");
            seen.insert(item.field("subject"));
        }
        EXPECT_EQ(seen, names) << folder;
    }
}

TEST_F(WindowImport, ListCommandsDoNothingWhileARunYields) {
    vcf("a/one.vcf", "One", "A");
    vcf("a/two.vcf", "Two", "B");
    addSourceFolder();
    const size_t boxesBefore = ui.boxes.size();
    int clicks = 0;
    ui.onDoEvents = [&] {
        if (!program.run() || !program.run()->running()) return;
        ++clicks;
        button("cmdClear1")->click();
        button("cmdAdd")->click();
        button("CmdAddFolder")->click();
        button("CmdExtractDBX")->click();
    };
    ui.folderAnswers.push_back(dest_.path());
    button("CmdExtractDBX")->click();
    ui.onDoEvents = nullptr;
    EXPECT_GT(clicks, 0);
    ASSERT_EQ(ui.boxes.size(), boxesBefore + 1);           // no clear confirmation, no add boxes:
    EXPECT_TRUE(ui.boxes.back().prompt.startsWith("2 contact(s)"));   // only the run's summary
    EXPECT_TRUE(ui.dialog.log.filter("ShowOpen").isEmpty());
    EXPECT_EQ(ui.folderTitles.size(), 2);                  // the add folder and the one run
    EXPECT_EQ(window->countLabel().caption(), "2 files");
    EXPECT_TRUE(button("cmdAdd")->isEnabled());            // given back after the run
}

// While Add Folder scans and yields, the import and the other list commands do nothing: an
// import started inside the scan would take only the files listed so far.
TEST_F(WindowImport, ImportAndListCommandsDoNothingWhileAFolderIsBeingAdded) {
    for (int i = 0; i < 40; ++i) vcf(QString("s/%1/x.vcf").arg(i), "N" + std::to_string(i), "S");
    bool importEnabledDuringScan = false;
    int yields = 0;
    ui.onDoEvents = [&] {
        ++yields;
        importEnabledDuringScan |= button("CmdExtractDBX")->isEnabled();
        button("CmdExtractDBX")->click();
        button("cmdClear1")->click();
        button("cmdAdd")->click();
    };
    ui.folderAnswers.push_back(src_.path());
    ui.folderAnswers.push_back(dest_.path());   // would be the import's destination
    button("CmdAddFolder")->click();
    ui.onDoEvents = nullptr;
    EXPECT_GT(yields, 0);
    EXPECT_FALSE(importEnabledDuringScan);
    EXPECT_TRUE(storePath().isEmpty()) << "an import ran inside the scan";
    EXPECT_EQ(window->countLabel().caption(), "40 files");
    EXPECT_TRUE(button("CmdExtractDBX")->isEnabled());   // given back after the add
    EXPECT_TRUE(button("cmdEnd")->isEnabled());
}

TEST_F(WindowImport, ClosingDuringARunWindsItUpWithAValidStore) {
    for (int i = 0; i < 6; ++i) vcf(QString("c/%1.vcf").arg(i), "N" + std::to_string(i), "C");
    addSourceFolder();
    int rowsSeen = 0;
    ui.onDoEvents = [&] {
        if (!program.run() || !program.run()->running()) return;
        if (window->frameCaption().caption().contains("(2 of 6)") && window->isVisible()) window->close();
        ++rowsSeen;
    };
    ui.folderAnswers.push_back(dest_.path());
    button("CmdExtractDBX")->click();
    ui.onDoEvents = nullptr;
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(window->frameCaption().caption(), "Details : Converting - (3 of 6) file(s)");
    // The summary still comes, though the window was closed: 3 of 6 files, the rest not reached.
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_TRUE(ui.boxes.back().prompt.startsWith("3 contact(s) from 3 file(s) were imported into"))
        << ui.boxes.back().prompt.toStdString();
    EXPECT_TRUE(ui.boxes.back().prompt.contains("The import was stopped: 3 file(s) were not reached."));
    EXPECT_TRUE(program.components().profile().stores().empty());   // detached
    const QString pst = storePath();
    ASSERT_FALSE(pst.isEmpty());
    expectSound(pst);
    auto view = zentra::readers::readWithPypff(pst.toStdString());
    ASSERT_TRUE(view.ok) << view.error;
    const auto* f = view.folderAt(storeFolder("c"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->items.size(), 3u);
}

TEST_F(WindowImport, FilesThatFailAreCountedAndReported) {
    vcf("f/good.vcf", "Good", "G");
    addSourceFolder();
    const QString missing = src_.filePath("f/gone.vcf");
    window->fileList().AddFileToList(missing);
    std::ofstream(src_.filePath("f/empty.vcf").toStdString()) << "no card in here\r\n";
    window->fileList().AddFileToList(src_.filePath("f/empty.vcf"));
    ui.folderAnswers.push_back(dest_.path());
    button("CmdExtractDBX")->click();
    ASSERT_FALSE(ui.boxes.empty());
    const auto& box = ui.boxes.back();
    EXPECT_EQ(box.style, platform::vbExclamation);
    EXPECT_EQ(box.title, "Zentra vCard Importer");
    EXPECT_TRUE(box.prompt.startsWith("1 contact(s) from 1 file(s) were imported into\r\n" + storePath()))
        << box.prompt.toStdString();
    EXPECT_TRUE(box.prompt.contains("2 of 3 files could not be imported (completely):")) << box.prompt.toStdString();
    EXPECT_TRUE(box.prompt.contains(missing));
    EXPECT_TRUE(box.prompt.contains(src_.filePath("f/empty.vcf")));
    expectSound(storePath());
}
