// Starts the program: the application's name and version, then the one window.
#include <QApplication>

#include "app/app_info.h"
#include "app/frm_step1.h"
#include "platform/qt_ui_services.h"
#if ZENTRA_HAVE_ADD_FILES || ZENTRA_HAVE_ADD_FOLDER
#include "sources/add_commands.h"
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
    app::frmStep1 window(ui, commands);
    window.show();
    return application.exec();
}
