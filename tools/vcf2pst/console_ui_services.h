#pragma once
// The command-line importer's stand-in for the window's dialogs: the folder pickers answer
// with the folder given on the command line, information boxes are kept for the summary,
// warnings and errors go to standard error, and yielding polls for Ctrl+C.
#include <QStringList>
#include <atomic>
#include <functional>

#include "platform/ui_services.h"

namespace vcf2pst {

class ConsoleUiServices : public platform::UiServices {
public:
    // The answer the next folder picker gives.
    void answerNextPicker(const QString& folder) { nextFolder_ = folder; }
    // Called from doEvents once Ctrl+C was pressed (the run winds up after the current file).
    void onInterrupt(std::function<void()> handler) { onInterrupt_ = std::move(handler); }
    static void installInterruptHandler();
    static bool interrupted();

    const QStringList& messages() const { return messages_; }

    int msgBox(const QString& prompt, int style, const QString& title) override;
    platform::CommonDialog& fileDialog() override;
    QString chooseFolder(QWidget* owner, const QString& title) override;
    void setMousePointer(int pointer) override { pointer_ = pointer; }
    int mousePointer() const override { return pointer_; }
    void doEvents() override;
    bool openUrl(const QString&) override { return false; }

private:
    QString nextFolder_;
    QStringList messages_;
    std::function<void()> onInterrupt_;
    bool interruptHandled_ = false;
    int pointer_ = platform::vbDefault;
};

}  // namespace vcf2pst
