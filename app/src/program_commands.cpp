#include "app/program_commands.h"

#include "sources/add_commands.h"

namespace app {

Commands ProgramCommands::commands() {
    Commands c;
    c.add = [](frmStep1& w) { sources::cmdAdd_Click(w.ui(), w.fileList(), w.importCommand()); };
    c.addFolder = [](frmStep1& w) { sources::CmdAddFolder_Click(w.ui(), &w, w.fileList(), w.importCommand()); };
    c.import = [this](frmStep1& w) {
        if (!run_)
            run_ = std::make_unique<importrun::ImportRun>(
                w.ui(), &w,
                importrun::RunWidgets{w.grdFiles1(), w.overallProgress(), w.fileProgress(), w.frameCaption(),
                                      w.stageLabel(), w.importCommand(), w.listCommands()},
                runState_);
        run_->CmdExtractDBX_Click();
    };
    return c;
}

void ProgramCommands::windUpOnClose(frmStep1& window) {
    QObject::connect(&window, &frmStep1::closeRequested, &window, [this] {
        if (run_ && run_->running()) run_->requestStop();
    });
}

}  // namespace app
