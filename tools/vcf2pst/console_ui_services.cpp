#include "console_ui_services.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "zentra/error.h"

namespace vcf2pst {
namespace {

std::atomic<bool> gInterrupted{false};

// The first Ctrl+C (or SIGTERM) winds the run up after the contact being stored (the run looks
// several times a second, also inside a long file). A single huge card or a slow disk can still
// take long, so a second one stops the program at once; the store then holds what its last
// commit wrote, which is a valid store.
extern "C" void handleInterrupt(int sig) {
    if (gInterrupted.exchange(true)) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    static const char kNote[] =
        "\nzentra-vcf2pst: stopping after the current contact; interrupt again to stop at once\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
}

// The command line has no file-open dialog; files come as arguments.
class NoFileDialog : public platform::CommonDialog {
public:
    void setFileName(const QString&) override {}
    QString fileName() const override { return {}; }
    void setFilter(const QString&) override {}
    void setFlags(long) override {}
    void setMaxFileSize(int) override {}
    void showOpen() override { throw zentra::Error(zentra::kErrInvalidCall, "no file dialog on the command line"); }
    int maxFilesHint() const override { return 0; }
};

}  // namespace

void ConsoleUiServices::installInterruptHandler() {
    std::signal(SIGINT, handleInterrupt);
    std::signal(SIGTERM, handleInterrupt);
}

bool ConsoleUiServices::interrupted() { return gInterrupted.load(); }

int ConsoleUiServices::msgBox(const QString& prompt, int style, const QString& title) {
    messages_ << prompt;
    const int icon = style & 0x70;
    if (icon != 0) {
        // Warnings and errors: the box's text, one line per line, under its title.
        QString text = prompt;
        text.replace("\r\n", "\n");
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    }
    const int buttons = style & 7;
    return buttons == platform::vbYesNo ? platform::vbNo : platform::vbOK;
}

platform::CommonDialog& ConsoleUiServices::fileDialog() {
    static NoFileDialog dialog;
    return dialog;
}

QString ConsoleUiServices::chooseFolder(QWidget*, const QString&) {
    QString answer = nextFolder_;
    nextFolder_.clear();
    return answer;
}

void ConsoleUiServices::doEvents() {
    if (gInterrupted.load() && !interruptHandled_ && onInterrupt_) {
        interruptHandled_ = true;
        onInterrupt_();
    }
}

}  // namespace vcf2pst
