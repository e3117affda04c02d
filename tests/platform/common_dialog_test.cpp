// The open dialog and the folder picker on the real QFileDialog, answered from a timer.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/qt_common_dialog.h"
#include "platform/qt_ui_services.h"
#include "support/modal_answer.h"
#include "zentra/error.h"

namespace {

using platform::QtCommonDialog;

const QChar NUL(u'\0');

class RealFileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : {"anna.vcf", "bob.vcf", "carl.vcf"}) {
            QFile f(folder.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("BEGIN:VCARD\r\nEND:VCARD\r\n");
        }
        dialog.setFileName("");
        dialog.setFilter("vCard Contacts (*.vcf)|*.vcf");
        dialog.setFlags(0x80200);
        dialog.setMaxFileSize(1000);
    }
    // Picks `names` in the dialog (nothing: cancel) and records how it was set up.
    void pick(QStringList names) {
        testsupport::answerNextModal<QFileDialog>([this, names](QFileDialog* d) {
            seenMode = d->fileMode();
            seenFilters = d->nameFilters();
            if (names.isEmpty()) {
                d->reject();
                return;
            }
            d->setDirectory(folder.path());
            // Full paths, so the dialog need not have read the folder to find them.
            QStringList quoted;
            for (const QString& n : names) quoted << '"' + folder.filePath(n) + '"';
            // The dialog writes a selection into its name box only while that box has no focus.
            if (QWidget* focused = d->focusWidget()) focused->clearFocus();
            d->selectFile(names.size() == 1 ? folder.filePath(names.front()) : quoted.join(' '));
            static_cast<QDialog*>(d)->accept();   // as the Open button does
        });
    }

    QTemporaryDir folder;
    QtCommonDialog dialog;
    QFileDialog::FileMode seenMode = QFileDialog::AnyFile;
    QStringList seenFilters;
};

TEST_F(RealFileDialog, MultipleSelectionComesBackAsFolderAndNames) {
    pick({"bob.vcf", "anna.vcf"});
    dialog.showOpen();
    EXPECT_EQ(seenMode, QFileDialog::ExistingFiles);
    EXPECT_EQ(seenFilters, QStringList{"vCard Contacts (*.vcf)"});
    const QStringList parts = dialog.fileName().split(NUL);
    ASSERT_EQ(parts.size(), 3) << dialog.fileName().toStdString();
    EXPECT_EQ(QDir(parts[0]).canonicalPath(), QDir(folder.path()).canonicalPath());
    EXPECT_EQ((QStringList{parts[1], parts[2]}), (QStringList{"bob.vcf", "anna.vcf"}));
}

TEST_F(RealFileDialog, OneFileComesBackAsItsFullPath) {
    pick({"carl.vcf"});
    dialog.showOpen();
    EXPECT_EQ(QFileInfo(dialog.fileName()).canonicalFilePath(), QFileInfo(folder.filePath("carl.vcf")).canonicalFilePath());
}

TEST_F(RealFileDialog, WithoutTheMultipleFlagOnlyOneFileCanBePicked) {
    dialog.setFlags(0);
    pick({"carl.vcf"});
    dialog.showOpen();
    EXPECT_EQ(seenMode, QFileDialog::ExistingFile);
}

TEST_F(RealFileDialog, CancelLeavesTheNameEmpty) {
    pick({});
    dialog.showOpen();
    EXPECT_EQ(dialog.fileName(), "");
}

TEST_F(RealFileDialog, ASelectionThatDoesNotFitRaises20476) {
    dialog.setMaxFileSize(static_cast<int>(folder.path().size()) + 5);
    pick({"anna.vcf", "bob.vcf", "carl.vcf"});
    try {
        dialog.showOpen();
        FAIL() << "no error for an oversized selection";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), 20476);
    }
    EXPECT_EQ(QtCommonDialog::kMaxFilesHint, dialog.maxFilesHint());
}

TEST(RealFolderPicker, ShowsTheTitleDirectoriesOnlyAndCancelGivesEmpty) {
    QTemporaryDir folder;
    QString title;
    bool dirsOnly = false;
    testsupport::answerNextModal<QFileDialog>([&](QFileDialog* d) {
        title = d->windowTitle();
        dirsOnly = d->testOption(QFileDialog::ShowDirsOnly);
        d->setDirectory(folder.path());
        if (QWidget* focused = d->focusWidget()) focused->clearFocus();
        d->selectFile(folder.path());
        static_cast<QDialog*>(d)->accept();   // as the Open button does
    });
    platform::QtUiServices ui;
    const QString chosen = ui.chooseFolder(nullptr, "Choose Folder to Save...");
    EXPECT_EQ(title, "Choose Folder to Save...");
    EXPECT_TRUE(dirsOnly);
    EXPECT_EQ(QDir(chosen).canonicalPath(), QDir(folder.path()).canonicalPath());

    testsupport::answerNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(ui.chooseFolder(nullptr, "Choose Folder"), "");
}

}  // namespace
