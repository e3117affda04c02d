#include "platform/qt_message_box.h"

#include <QApplication>
#include <QList>
#include <QPushButton>

#include "platform/ui_services.h"

namespace platform {
namespace {

// Button sets by the low three bits of the style, in the classic order of their buttons.
QList<QMessageBox::StandardButton> buttonsOf(int style) {
    switch (style & 7) {
    case 1: return {QMessageBox::Ok, QMessageBox::Cancel};
    case 2: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case 3: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case 4: return {QMessageBox::Yes, QMessageBox::No};
    case 5: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};
    }
}

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

}  // namespace

void configureMessageBox(QMessageBox& box, const QString& prompt, int style, const QString& title) {
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);   // a path with '<' in it is text, not markup
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(text);
    box.setIcon(iconOf(style));
    const QList<QMessageBox::StandardButton> buttons = buttonsOf(style);
    QMessageBox::StandardButtons set;
    for (auto b : buttons) set |= b;
    box.setStandardButtons(set);
    const int defaultIndex = (style & 0x300) >> 8;   // vbDefaultButton1..3
    box.setDefaultButton(buttons.value(defaultIndex, buttons.front()));
}

int classicResult(QMessageBox::StandardButton pressed) {
    switch (pressed) {
    case QMessageBox::Ok: return vbOK;
    case QMessageBox::Cancel: return vbCancel;
    case QMessageBox::Abort: return 3;
    case QMessageBox::Retry: return 4;
    case QMessageBox::Ignore: return 5;
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    default: return vbCancel;
    }
}

int showMessageBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    configureMessageBox(box, prompt, style, title);
    box.exec();
    auto* clicked = box.clickedButton();
    auto pressed = clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
    if (pressed == QMessageBox::NoButton) {
        // Closed without a button (Esc or the close box): the box's escape button answers.
        auto* escape = box.escapeButton();
        pressed = escape ? box.standardButton(escape) : QMessageBox::Cancel;
        if (pressed == QMessageBox::NoButton) pressed = QMessageBox::Cancel;
    }
    return classicResult(pressed);
}

}  // namespace platform
