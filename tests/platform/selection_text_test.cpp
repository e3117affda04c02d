#include "platform/selection_text.h"

#include <gtest/gtest.h>

#include "platform/qt_common_dialog.h"
#include "zentra/error.h"

namespace {

const QChar NUL(u'\0');

TEST(SelectionText, OnePickIsItsFullPath) {
    EXPECT_EQ(platform::selectionTextFromPicks({"/home/ann/Contacts/a.vcf"}, 1000), "/home/ann/Contacts/a.vcf");
}

TEST(SelectionText, SeveralPicksAreFolderThenNulAndEachNameInDialogOrder) {
    const QString text = platform::selectionTextFromPicks({"/data/c.vcf", "/data/a.vcf", "/data/b b.vcf"}, 1000);
    EXPECT_EQ(text, QString("/data") + NUL + "c.vcf" + NUL + "a.vcf" + NUL + "b b.vcf");
    EXPECT_EQ(text.split(NUL).size(), 4);
}

TEST(SelectionText, PicksInTheRootKeepOneSeparator) {
    EXPECT_EQ(platform::selectionTextFromPicks({"/a.vcf", "/b.vcf"}, 1000), QString("/") + NUL + "a.vcf" + NUL + "b.vcf");
}

TEST(SelectionText, PicksFromDifferentFoldersAreGivenRelativeToTheirCommonFolder) {
    // The folder joined with each part must rebuild every picked path.
    const QStringList picks{"/data/x/a.vcf", "/data/y/z/b.vcf", "/data/c.vcf"};
    const QString text = platform::selectionTextFromPicks(picks, 1000);
    const QStringList parts = text.split(NUL);
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0], "/data");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(parts[0] + "/" + parts[i + 1], picks[i]);
}

TEST(SelectionText, NamesStartingWithTwoDotsStayInTheirFolder) {
    EXPECT_EQ(platform::selectionTextFromPicks({"/d/..a.vcf", "/d/b.vcf"}, 1000), QString("/d") + NUL + "..a.vcf" + NUL + "b.vcf");
}

TEST(SelectionText, NoPicksIsTheEmptyText) { EXPECT_EQ(platform::selectionTextFromPicks({}, 10), ""); }

TEST(SelectionText, TextAndTerminatorMustFitTheBuffer) {
    // "/d" NUL "abc.vcf" NUL "x.vcf" is 16 characters; with the terminating NUL it needs 17.
    const QStringList picks{"/d/abc.vcf", "/d/x.vcf"};
    EXPECT_EQ(platform::selectionTextFromPicks(picks, 17).size(), 16);
    try {
        platform::selectionTextFromPicks(picks, 16);
        FAIL() << "a selection one character too long was accepted";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), 20476);
    }
    EXPECT_THROW(platform::selectionTextFromPicks({"/a/very/long/path.vcf"}, 21), zentra::Error);
    EXPECT_NO_THROW(platform::selectionTextFromPicks({"/a/very/long/path.vcf"}, 22));
}

TEST(SelectionText, ManyTypicalNamesOverflowTheAddCommandsBuffer) {
    // The advertised "N files at a time" fits; far more does not.
    QStringList fits, tooMany;
    const QString folder = "/home/someone/Documents/Contacts/Exported from phone";
    for (int i = 0; i < platform::QtCommonDialog::kMaxFilesHint; ++i)
        fits << folder + QString("/Contact person %1.vcf").arg(i, 4, 10, QChar('0'));
    for (int i = 0; i < 100; ++i) tooMany << folder + QString("/Contact person %1.vcf").arg(i, 4, 10, QChar('0'));
    EXPECT_NO_THROW(platform::selectionTextFromPicks(fits, 1000));
    EXPECT_THROW(platform::selectionTextFromPicks(tooMany, 1000), zentra::Error);
}

TEST(NameFilters, ClassicFilterTextBecomesQtNameFilters) {
    EXPECT_EQ(platform::qtNameFilters("vCard Contacts (*.vcf)|*.vcf"), QStringList{"vCard Contacts (*.vcf)"});
    EXPECT_EQ(platform::qtNameFilters("Text|*.txt;*.log"), QStringList{"Text (*.txt *.log)"});
    EXPECT_EQ(platform::qtNameFilters("A (*.a)|*.a|All files|*.*"), (QStringList{"A (*.a)", "All files (*.*)"}));
    EXPECT_TRUE(platform::qtNameFilters("").isEmpty());
}

}  // namespace
