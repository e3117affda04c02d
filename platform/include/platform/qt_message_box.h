#pragma once
// The classic message box on QMessageBox: button set, icon and default button from the
// style flags, plain-text prompt, and the classic result numbers (6 for Yes, ...).
#include <QMessageBox>
#include <QString>

namespace platform {

// Sets text, title, icon, buttons and default button of `box` from the classic style flags.
void configureMessageBox(QMessageBox& box, const QString& prompt, int style, const QString& title);

// The classic result number of a pressed standard button (vbOK, vbYes, ...).
int classicResult(QMessageBox::StandardButton pressed);

// Shows a modal box over the active window and returns the classic result number.
int showMessageBox(const QString& prompt, int style, const QString& title);

}  // namespace platform
