#include "app/program_commands.h"

#include <QCoreApplication>

#include "sources/add_commands.h"

namespace app {

// A command that yields runs alone: the list and import commands are disabled while it runs and
// get their states back afterwards. The import command keeps whatever the running command set
// it to (the add commands enable it when they added files), else its state from before.
class ProgramCommands::Busy {
public:
    Busy(ProgramCommands& program, frmStep1& window) : program_(program), window_(window) {
        program_.busy_ = true;
        for (platform::EnabledControl* c : window_.listCommands()) {
            before_.push_back(c->enabled());
            c->setEnabled(false);
        }
        importBefore_ = window_.importCommand().enabled();
        window_.importCommand().setEnabled(false);
    }
    ~Busy() {
        auto commands = window_.listCommands();
        for (size_t i = 0; i < commands.size(); ++i) commands[i]->setEnabled(before_[i]);
        window_.importCommand().setEnabled(import_.set ? import_.on : importBefore_);
        program_.busy_ = false;
        if (program_.endWhenIdle_) program_.endProgram();
    }
    // What the running command sees as the import command: its wish is applied at the end.
    platform::EnabledControl& importCommand() { return import_; }

private:
    struct Deferred final : platform::EnabledControl {
        bool set = false, on = false;
        bool enabled() const override { return set && on; }
        void setEnabled(bool value) override { set = true, on = value; }
    };
    ProgramCommands& program_;
    frmStep1& window_;
    std::vector<bool> before_;
    bool importBefore_ = false;
    Deferred import_;
};

void ProgramCommands::endProgram() {
    if (busy_) {
        endWhenIdle_ = true;   // once the running command has wound up (and shown its summary)
        return;
    }
    endWhenIdle_ = false;
    QCoreApplication::quit();
}

Commands ProgramCommands::commands() {
    Commands c;
    c.add = [this](frmStep1& w) {
        if (busy_) return;
        Busy busy(*this, w);
        sources::cmdAdd_Click(w.ui(), w.fileList(), busy.importCommand());
    };
    c.addFolder = [this](frmStep1& w) {
        if (busy_) return;
        Busy busy(*this, w);
        sources::CmdAddFolder_Click(w.ui(), &w, w.fileList(), busy.importCommand());
    };
    c.clear = [this](frmStep1& w) {
        if (busy_) return;
        w.fileList().cmdClear1_Click(w.ui(), w.importCommand());
    };
    c.import = [this](frmStep1& w) {
        if (busy_) return;
        if (!run_)
            run_ = std::make_unique<importrun::ImportRun>(
                w.ui(), &w,
                importrun::RunWidgets{w.grdFiles1(), w.overallProgress(), w.fileProgress(), w.frameCaption(),
                                      w.stageLabel(), w.importCommand(), w.listCommands(), &w.fileContactLabel()},
                runState_, components_);
        busy_ = true;
        run_->CmdExtractDBX_Click();
        busy_ = false;
        if (endWhenIdle_) endProgram();
    };
    c.endProgram = [this] { endProgram(); };
    return c;
}

void ProgramCommands::windUpOnClose(frmStep1& window) {
    QObject::connect(&window, &frmStep1::closeRequested, &window, [this] {
        if (run_ && run_->running()) run_->requestStop();
    });
}

}  // namespace app
