#pragma once
// What the program's commands ask of their surroundings: message boxes, the file-open dialog,
// the folder picker, the mouse pointer, yielding to the event loop and opening documents.
// QtUiServices is the real one; ScriptedUiServices (tests) answers from a queue and records.
#include <QString>

class QWidget;

namespace platform {

// Message box buttons and icons, with the classic values the commands pass.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };
enum MousePointer : int { vbDefault = 0, vbHourglass = 11 };

// The open-file dialog with the settings the add-files command makes, in its order of use.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;
    virtual void setFileName(const QString& name) = 0;
    virtual QString fileName() const = 0;
    virtual void setFilter(const QString& filter) = 0;      // "description|pattern"
    virtual void setFlags(long flags) = 0;
    virtual void setMaxFileSize(int characters) = 0;
    // Modal. Afterwards fileName() holds the selection text: one full path, or the folder
    // followed by NUL + name for each picked file; "" on cancel. Throws zentra::Error 20476
    // when the selection text, NULs and terminator included, needs more than MaxFileSize.
    virtual void showOpen() = 0;
    // The fixed "N files at a time" figure the dialog layer advertises.
    virtual int maxFilesHint() const = 0;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    // Modal box; returns the button pressed (vbOK, vbYes, vbNo, ...).
    virtual int msgBox(const QString& prompt, int style, const QString& title) = 0;

    virtual CommonDialog& fileDialog() = 0;

    // Modal directory chooser; the full path as the dialog reports it, or "" on cancel.
    virtual QString chooseFolder(QWidget* owner, const QString& title) = 0;

    // Application-wide pointer: vbHourglass or vbDefault.
    virtual void setMousePointer(int pointer) = 0;
    virtual int mousePointer() const = 0;

    // Process pending events once (input every time; repaints may be coalesced).
    virtual void doEvents() = 0;

    // Open a document or web address with the desktop's default handler; false on failure.
    virtual bool openUrl(const QString& target) = 0;
    // After openUrl(target) failed: why, in a sentence for the user.
    virtual QString whyNotOpened(const QString& /*target*/) const {
        return QStringLiteral("No program to open it could be started.");
    }
};

}  // namespace platform
