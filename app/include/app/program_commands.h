#pragma once
// The window's commands as the program runs them: the add commands of sources/ and the import
// run of import/, with the run's window-level state. main() and the window benchmarks use it.
#include <memory>

#include "app/frm_step1.h"
#include "import/import_run.h"

namespace app {

class ProgramCommands {
public:
    // The callbacks for frmStep1; they use the window's own UiServices.
    Commands commands();
    // Closing the window while a run yields winds the run up: it finishes its current file,
    // detaches the store and logs off before the program ends.
    void windUpOnClose(frmStep1& window);

    importrun::ImportRun* run() { return run_.get(); }
    importrun::RunState& runState() { return runState_; }

private:
    importrun::RunState runState_;
    std::unique_ptr<importrun::ImportRun> run_;
};

}  // namespace app
