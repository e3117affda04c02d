// Starts the program: the application's name and version, then the one window with its
// commands. The program reads no command line.
#include <QApplication>

#include "app/app_info.h"
#include "app/frm_step1.h"
#include "app/program_commands.h"
#include "platform/qt_ui_services.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);   // Qt's own options only
    app::applyApplicationInfo();

    platform::QtUiServices ui;
    app::ProgramCommands program;
    app::frmStep1 window(ui, program.commands());
    program.windUpOnClose(window);
    window.show();
    return application.exec();
}
