#include "import/import_run.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <fstream>

#include "import/source_folder.h"
#include "readers.h"
#include "run_fixture.h"

using importrun::ImportRun;
using importtest::RunStage;
using platform::vbExclamation;
using platform::vbInformation;

namespace {

const QString kOutlookError =
    QStringLiteral("Outlook Session Creation Error !\r\nCheck if Outlook is installed and configured.\r\n"
                   "For more details visit this link : ") +
    importrun::kSupportArticle;

// The store folder a source folder mirrors into, as readers show paths ("a/b").
std::string mirrored(const QString& sourceFolder) {
    return importrun::SourceRelativeFolder(sourceFolder + "/x.vcf").replace(u'\\', u'/').toStdString();
}

void expectStructurallySound(const QString& pst) {
    auto check = zentra::readers::runProcess({ZENTRA_BINARY_DIR "/bin/pstcheck", pst.toStdString()},
                                             std::chrono::seconds(120));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

}  // namespace

TEST_F(RunStage, CancelledPickerEndsSilentlyWithoutSessionOrFile) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    ui.folderAnswers = {""};
    bar1.setValue(42);
    ImportRun run(ui, nullptr, widgets(), state, components, policy());
    auto result = run.CmdExtractDBX_Click();
    EXPECT_FALSE(result.started);
    EXPECT_EQ(ui.folderTitles, QStringList{"Choose Folder to Save..."});
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(state.session, nullptr);
    EXPECT_TRUE(state.destinationFolder.isEmpty());
    EXPECT_EQ(bar1.value(), 42.0f);
    EXPECT_TRUE(QDir(dest_.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(importCommand.enabled());
    EXPECT_TRUE(addCommand.enabled());
}

TEST_F(RunStage, MirrorsSourceFoldersAsContactsFoldersAndShowsProgress) {
    const QString root = sources_.path();
    files.AddFileToList(vcf("a/b/first.vcf", "First"));
    files.AddFileToList(vcf("a/b/second \u00e9 file.vcf", "Second"));
    files.AddFileToList(vcf("x/b/third.vcf", "Third"));   // same leaf name under another parent
    files.AddFileToList(vcf("a/fourth.vcf", "Fourth"));
    ui.folderAnswers = {dest_.path()};
    std::vector<float> barValues;
    importrun::RunPolicy p = policy();
    p.onFileDone = [&](int, int) { barValues.push_back(bar1.value()); };
    ImportRun run(ui, nullptr, widgets(), state, components, p);
    auto result = run.CmdExtractDBX_Click();

    EXPECT_EQ(result.storePath, expectedStorePath());
    EXPECT_TRUE(QFileInfo::exists(expectedStorePath()));
    EXPECT_EQ(state.destinationFolder, dest_.path() + "/");
    EXPECT_EQ(state.storeDisplayName, "Zentra Contacts : Created - 6.12.26 9.5.08");
    EXPECT_EQ(state.session, nullptr);
    EXPECT_EQ(result.record.filesDone(), 4);
    EXPECT_EQ(frame.caption(), "Details : Converting - (4 of 4) file(s)");
    EXPECT_EQ(label.caption(), "Importing Contacts... from (" + importrun::SourceRelativeFolder(root + "/a/x.vcf") + ")");
    ASSERT_EQ(barValues.size(), 4u);
    EXPECT_EQ(barValues[0], 25.0f);
    EXPECT_EQ(barValues[3], 100.0f);
    EXPECT_EQ(bar1.min(), 0.0f);
    EXPECT_EQ(bar1.max(), 100.0f);
    EXPECT_EQ(bar2.max(), 100.0f);
    EXPECT_EQ(bar2.value(), 0.0f);
    EXPECT_FALSE(importCommand.enabled());   // left disabled by the loop
    EXPECT_TRUE(addCommand.enabled());       // given back after the run
    EXPECT_TRUE(clearCommand.enabled());

    // The folder list holds every folder and its ancestors once, sorted.
    for (size_t i = 1; i < state.folderList.size(); ++i) EXPECT_LT(state.folderList[i - 1], state.folderList[i]);

    expectStructurallySound(expectedStorePath());
    auto view = zentra::readers::readWithPypff(expectedStorePath().toStdString());
    ASSERT_TRUE(view.ok) << view.error;
    for (const QString& folder : {root + "/a", root + "/a/b", root + "/x", root + "/x/b"}) {
        const auto* f = view.folderAt(mirrored(folder));
        ASSERT_NE(f, nullptr) << mirrored(folder);
        EXPECT_EQ(f->containerClass.value_or(""), "IPF.Contact");
    }
}

// The current file's line follows each file, whatever the one before showed, and each file's
// contacts land in its own folder when the folder changes from file to file.
TEST_F(RunStage, TheCurrentFilesProgressAndFolderFollowEachFile) {
    auto cards = [&](const QString& relative, int n) {
        const QString path = sources_.path() + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path.toStdString()).parent_path());
        std::ofstream out(path.toStdString());
        for (int i = 0; i < n; ++i) out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:C" << i << "\r\nEND:VCARD\r\n";
        return path;
    };
    files.AddFileToList(cards("m/a.vcf", 3));
    files.AddFileToList(cards("m/b.vcf", 1));
    files.AddFileToList(cards("m/c.vcf", 1));
    files.AddFileToList(cards("n/d.vcf", 2));
    files.AddFileToList(cards("m/e.vcf", 2));
    platform::MemoryText current{"Contact 0 (of 0)"};
    importrun::RunWidgets w = widgets();
    w.LblProgessCurrent = &current;
    std::vector<std::pair<QString, float>> shown;
    auto p = policy();
    p.onFileDone = [&](int, int) { shown.emplace_back(current.caption(), bar2.value()); };
    ui.folderAnswers = {dest_.path()};
    ImportRun(ui, nullptr, w, state, components, p).CmdExtractDBX_Click();

    const std::vector<std::pair<QString, float>> expected = {{"Contact 3 (of 3)", 100.0f},
                                                             {"Contact 1 (of 1)", 100.0f},
                                                             {"Contact 1 (of 1)", 100.0f},
                                                             {"Contact 2 (of 2)", 100.0f},
                                                             {"Contact 2 (of 2)", 100.0f}};
    EXPECT_EQ(shown, expected);
    auto view = zentra::readers::readWithPypff(expectedStorePath().toStdString());
    ASSERT_TRUE(view.ok) << view.error;
    const auto* m = view.folderAt(mirrored(sources_.path() + "/m"));
    const auto* n = view.folderAt(mirrored(sources_.path() + "/n"));
    ASSERT_TRUE(m && n);
    EXPECT_EQ(m->itemCount, 7u);
    EXPECT_EQ(n->itemCount, 2u);
}

TEST_F(RunStage, ThreeFilesMoveTheBarInSinglePrecisionThirds) {
    for (int i = 0; i < 3; ++i) files.AddFileToList(vcf(QString("p/%1.vcf").arg(i), "P"));
    ui.folderAnswers = {dest_.path() + "/"};
    std::vector<float> values;
    auto p = policy();
    p.onFileDone = [&](int, int) { values.push_back(bar1.value()); };
    ImportRun(ui, nullptr, widgets(), state, components, p).CmdExtractDBX_Click();
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], static_cast<float>(1.0 / 3 * 100));
    EXPECT_EQ(values[1], static_cast<float>(2.0 / 3 * 100));
    EXPECT_EQ(values[2], 100.0f);
    EXPECT_TRUE(QFileInfo::exists(expectedStorePath()));   // no doubled separator
}

// An empty list has nothing to import: the run does not start, asks nothing, makes no store and
// shows no message about a mail client this program does not need.
TEST_F(RunStage, AnEmptyListNeverStartsARun) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    files.ResetFileList(importCommand);
    ui.folderAnswers = {dest_.path()};
    auto result = ImportRun(ui, nullptr, widgets(), state, components, policy()).CmdExtractDBX_Click();
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.storeCreated);
    EXPECT_TRUE(ui.folderTitles.isEmpty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(importCommand.enabled());
    EXPECT_TRUE(QDir(dest_.path()).entryList(QDir::Files).isEmpty());
}

// A file lying directly in the root goes to a top-level folder of its own; the run goes on with
// every other file (this one does not exist, so it fails with its own reason).
TEST_F(RunStage, AFileDirectlyInTheRootGoesToTheRootFolderAndTheRunGoesOn) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    files.AddFileToList("/zentra-no-such-card.vcf");
    ui.folderAnswers = {dest_.path()};
    auto result = ImportRun(ui, nullptr, widgets(), state, components, policy()).CmdExtractDBX_Click();
    EXPECT_FALSE(result.setupFailed);
    EXPECT_EQ(result.record.filesDone(), 2u);
    EXPECT_EQ(result.record.contacts(), 1u);
    ASSERT_EQ(result.record.failedFiles(), 1u);
    EXPECT_EQ(result.record.problemFiles()[0].outcome.errorNumber, zentra::kErrFileNotFound);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(ui.boxes[0].prompt.contains("Outlook")) << ui.boxes[0].prompt.toStdString();
    auto view = zentra::readers::readWithPypff(expectedStorePath().toStdString());
    ASSERT_TRUE(view.ok) << view.error;
    ASSERT_NE(view.folderAt(importrun::kRootFolderName), nullptr);
    ASSERT_NE(view.folderAt(mirrored(sources_.path() + "/a")), nullptr);
    EXPECT_EQ(view.folderAt(mirrored(sources_.path() + "/a"))->itemCount, 1u);
}

TEST_F(RunStage, SessionThatCannotBeCreatedShowsTheOutlookError) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    ui.folderAnswers = {dest_.path()};
    zentra::mailstore::ComponentOverride broken(components, "Redemption.RDOSession", [] () -> std::shared_ptr<zentra::mailstore::Component> {
        throw zentra::Error(zentra::kErrCannotCreateObject, "ActiveX component can't create object");
    });
    auto result = ImportRun(ui, nullptr, widgets(), state, components, policy()).CmdExtractDBX_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].prompt, kOutlookError);
    EXPECT_FALSE(result.storeCreated);
    EXPECT_TRUE(QDir(dest_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(RunStage, UnwritableDestinationNamesThePathAndTheReason) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    ui.folderAnswers = {dest_.path() + "/no/such/folder"};
    auto result = ImportRun(ui, nullptr, widgets(), state, components, policy()).CmdExtractDBX_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].style, vbExclamation);
    EXPECT_EQ(ui.boxes[0].title, "Zentra vCard Importer");
    EXPECT_TRUE(ui.boxes[0].prompt.startsWith("The contacts file could not be created:\r\n" + dest_.path() +
                                              "/no/such/folder/ZentraContacts"))
        << ui.boxes[0].prompt.toStdString();
    EXPECT_FALSE(result.storeCreated);
}

TEST_F(RunStage, ASecondRunStartedFromInsideTheFirstDoesNothing) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    files.AddFileToList(vcf("a/two.vcf", "Two"));
    ui.folderAnswers = {dest_.path()};
    ImportRun run(ui, nullptr, widgets(), state, components, policy());
    int nested = 0;
    bool commandsDisabledInside = true;
    ui.onDoEvents = [&] {
        if (!run.running()) return;
        commandsDisabledInside = commandsDisabledInside && !addCommand.enabled() && !clearCommand.enabled();
        auto inner = run.CmdExtractDBX_Click();
        if (!inner.started) ++nested;
    };
    auto result = run.CmdExtractDBX_Click();
    ui.onDoEvents = nullptr;
    EXPECT_GT(nested, 0);
    EXPECT_TRUE(commandsDisabledInside);
    EXPECT_EQ(ui.folderTitles.size(), 1);   // the nested clicks never reached the picker
    EXPECT_EQ(result.record.filesDone(), 2);
    EXPECT_TRUE(addCommand.enabled());
}

TEST_F(RunStage, StopRequestedMidRunWindsUpWithAValidStore) {
    for (int i = 0; i < 5; ++i) files.AddFileToList(vcf(QString("s/%1.vcf").arg(i), "S"));
    ui.folderAnswers = {dest_.path()};
    ImportRun* self = nullptr;
    auto stopAfterTwo = policy();
    stopAfterTwo.onFileDone = [&](int done, int) {
        if (done == 2) self->requestStop();
    };
    ImportRun stopping(ui, nullptr, widgets(), state, components, stopAfterTwo);
    self = &stopping;
    auto result = stopping.CmdExtractDBX_Click();
    EXPECT_EQ(result.record.filesDone(), 2);
    EXPECT_EQ(frame.caption(), "Details : Converting - (2 of 5) file(s)");
    EXPECT_EQ(state.session, nullptr);   // logged off
    EXPECT_TRUE(components.profile().stores().empty());
    expectStructurallySound(expectedStorePath());
}

// Runs in the same second find their name taken: each takes the first free "<name> (n).pst",
// a link planted under the next name is neither followed nor replaced, and every store keeps
// the display name of its second.
TEST_F(RunStage, ATakenNameGivesTheFirstFreeNumberedNameAndNeverFollowsALink) {
    files.AddFileToList(vcf("a/one.vcf", "One"));
    const QString stem = expectedStorePath().chopped(4);
    std::ofstream(expectedStorePath().toStdString()) << "left here";
    auto runOnce = [&] {
        ui.folderAnswers = {dest_.path()};
        return ImportRun(ui, nullptr, widgets(), state, components, policy()).CmdExtractDBX_Click();
    };
    EXPECT_EQ(runOnce().storePath, stem + " (2).pst");
    const QString displayName = state.storeDisplayName;
    EXPECT_EQ(runOnce().storePath, stem + " (3).pst");
    EXPECT_EQ(state.storeDisplayName, displayName);

    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("victim.pst");
    ASSERT_TRUE(QFile::link(victim, stem + " (4).pst"));
    const auto linked = runOnce();
    EXPECT_EQ(linked.storePath, stem + " (5).pst");
    EXPECT_FALSE(QFileInfo::exists(victim));
    EXPECT_EQ(QFileInfo(stem + " (4).pst").symLinkTarget(), victim);

    for (const char* n : {"2", "3", "5"}) {
        const QString pst = stem + " (" + n + ").pst";
        expectStructurallySound(pst);
        auto view = zentra::readers::readWithPypff(pst.toStdString());
        ASSERT_TRUE(view.ok) << view.error;
        EXPECT_EQ(view.storeName, displayName.toStdString()) << pst.toStdString();
    }
    QFile planted(expectedStorePath());
    ASSERT_TRUE(planted.open(QIODevice::ReadOnly));
    EXPECT_EQ(planted.readAll(), "left here");
}
