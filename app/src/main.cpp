// Starts the program: the application's name and version, then the one window with its
// commands. The add commands and the import run are wired in when the build has them.
#include <QApplication>
#include <memory>

#include "app/app_info.h"
#include "app/frm_step1.h"
#include "platform/qt_ui_services.h"
#if ZENTRA_HAVE_ADD_FILES || ZENTRA_HAVE_ADD_FOLDER
#include "sources/add_commands.h"
#endif
#if ZENTRA_HAVE_IMPORT_RUN
#include "import/import_run.h"
#endif

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);   // Qt's own options only; the program reads no command line
    app::applyApplicationInfo();

    platform::QtUiServices ui;
    app::Commands commands;
#if ZENTRA_HAVE_ADD_FILES
    commands.add = [](app::frmStep1& w) { sources::cmdAdd_Click(w.ui(), w.fileList(), w.importCommand()); };
#endif
#if ZENTRA_HAVE_ADD_FOLDER
    commands.addFolder = [](app::frmStep1& w) {
        sources::CmdAddFolder_Click(w.ui(), &w, w.fileList(), w.importCommand());
    };
#endif
#if ZENTRA_HAVE_IMPORT_RUN
    // The run's working values live as long as the window, as the window-level state they are.
    importrun::RunState runState;
    std::unique_ptr<importrun::ImportRun> run;
    commands.import = [&](app::frmStep1& w) {
        if (!run)
            run = std::make_unique<importrun::ImportRun>(
                ui, &w,
                importrun::RunWidgets{w.grdFiles1(), w.overallProgress(), w.fileProgress(), w.frameCaption(),
                                      w.stageLabel(), w.importCommand(), w.listCommands()},
                runState);
        run->CmdExtractDBX_Click();
    };
#endif
    app::frmStep1 window(ui, commands);
#if ZENTRA_HAVE_IMPORT_RUN
    // Closing while a run yields: the run finishes its current file, detaches the store and
    // logs off before the program ends, so the file on disk is complete.
    QObject::connect(&window, &app::frmStep1::closeRequested, [&run] {
        if (run && run->running()) run->requestStop();
    });
#endif
    window.show();
    return application.exec();
}
