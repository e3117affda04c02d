// The classic message box on the real QMessageBox, answered from a timer.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/qt_message_box.h"
#include "platform/qt_ui_services.h"
#include "support/modal_answer.h"

namespace {

using namespace platform;

struct Seen {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool modal = false;
};

// Shows a box through QtUiServices, records what it shows and answers it with `press`
// (NoButton: the Escape key).
int askReal(const QString& prompt, int style, const QString& title, QMessageBox::StandardButton press, Seen& seen) {
    testsupport::answerNextModal<QMessageBox>([&seen, press](QMessageBox* box) {
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
        seen.modal = box->isModal();
        if (press == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(press)->click();
    });
    QtUiServices ui;
    return ui.msgBox(prompt, style, title);
}

TEST(RealMessageBox, ExitConfirmationShowsQuestionYesNoWithYesDefault) {
    Seen seen;
    const int answer = askReal("Are you sure you want to exit now?", vbYesNo | vbQuestion, "Zentra vCard Importer",
                               QMessageBox::Yes, seen);
    EXPECT_EQ(answer, 6);
    EXPECT_EQ(seen.text, "Are you sure you want to exit now?");
    EXPECT_EQ(seen.title, "Zentra vCard Importer");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Yes);
    EXPECT_TRUE(seen.modal);
}

TEST(RealMessageBox, NoAndEscapeBothAnswerNo) {
    Seen seen;
    EXPECT_EQ(askReal("q", vbYesNo | vbQuestion, "t", QMessageBox::No, seen), 7);
    EXPECT_EQ(askReal("q", vbYesNo | vbQuestion, "t", QMessageBox::NoButton, seen), 7);
}

TEST(RealMessageBox, PromptLineBreakAndLeadingSpaceSurvive) {
    Seen seen;
    askReal("Do you want to clear all the files in the list\r\n Proceed?", vbYesNo | vbQuestion, "Zentra vCard Importer",
            QMessageBox::No, seen);
    EXPECT_EQ(seen.text, "Do you want to clear all the files in the list\n Proceed?");
}

TEST(RealMessageBox, WarningIsExclamationWithOkAndShowsMarkupAsText) {
    Seen seen;
    EXPECT_EQ(askReal("Please select only <b>30</b> files at a time", vbOKOnly | vbExclamation, "Zentra vCard Importer",
                      QMessageBox::Ok, seen),
              1);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.text, "Please select only <b>30</b> files at a time");
}

TEST(RealMessageBox, InformationIconAndSecondDefaultButton) {
    Seen seen;
    EXPECT_EQ(askReal("info", vbOKOnly | vbInformation, "t", QMessageBox::Ok, seen), 1);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(askReal("x", vbYesNo | vbDefaultButton2, "t", QMessageBox::Yes, seen), 6);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.defaultButton, QMessageBox::No);
    EXPECT_EQ(askReal("x", vbOKCancel | vbCritical, "t", QMessageBox::Cancel, seen), 2);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(MessageBoxResults, ClassicNumbers) {
    EXPECT_EQ(classicResult(QMessageBox::Ok), 1);
    EXPECT_EQ(classicResult(QMessageBox::Cancel), 2);
    EXPECT_EQ(classicResult(QMessageBox::Abort), 3);
    EXPECT_EQ(classicResult(QMessageBox::Retry), 4);
    EXPECT_EQ(classicResult(QMessageBox::Ignore), 5);
    EXPECT_EQ(classicResult(QMessageBox::Yes), 6);
    EXPECT_EQ(classicResult(QMessageBox::No), 7);
}

}  // namespace
