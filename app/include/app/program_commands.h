#pragma once
// The window's commands as the program runs them: the add commands of sources/ and the import
// run of import/, with the run's window-level state. main() and the window benchmarks use it.
#include <memory>

#include "app/frm_step1.h"
#include "app/locale_import_settings.h"
#include "import/import_run.h"
#include "import/zone_day_start.h"
#include "mailstore/component_registry.h"

namespace app {

class ProgramCommands {
public:
    // The callbacks for frmStep1; they use the window's own UiServices. While a command that
    // yields (the folder scan, the import run) is running, the other list and import commands
    // are disabled and do nothing; Exit and Help stay usable.
    Commands commands();
    // Closing the window while a run yields winds the run up: it stops after the contact being
    // stored, detaches the store, logs off and shows its summary; then the program ends.
    void windUpOnClose(frmStep1& window);
    bool busy() const { return busy_; }

    importrun::ImportRun* run() { return run_.get(); }
    importrun::RunState& runState() { return runState_; }
    zentra::mailstore::ComponentRegistry& components() { return components_; }

private:
    class Busy;
    void endProgram();

    // Dates are mapped in the machine's time zone (the one its Outlook shows them in), 8-bit text
    // without a charset in the legacy code page of its locale.
    zentra::mailstore::ComponentRegistry components_{
        importSettingsFromLocale(importrun::sessionOptionsIn(QTimeZone::systemTimeZone()))};
    bool busy_ = false;
    bool endWhenIdle_ = false;   // the window was closed while a command ran   // the mail-store components, one profile
    importrun::RunState runState_;
    std::unique_ptr<importrun::ImportRun> run_;
};

}  // namespace app
