// Times 100,000 AddFileToList calls on the shown window's grid, as an add-folder run makes
// them: once with nothing else between the adds, once with a yield to the event loop after
// each add. Prints seconds. Run offscreen: QT_QPA_PLATFORM=offscreen bench_gui_file_list
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>

#include "app/frm_step1.h"
#include "platform/qt_ui_services.h"

namespace {

constexpr int kAdds = 100000;

double secondsFor(app::frmStep1& window, platform::UiServices* yieldEach) {
    window.fileList().ResetFileList(window.importCommand());
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kAdds; ++i) {
        window.fileList().AddFileToList(QStringLiteral("/home/someone/Contacts/folder %1/contact %2.vcf").arg(i / 100).arg(i));
        if (yieldEach) yieldEach->doEvents();
    }
    QApplication::processEvents();   // the view catches up and paints once more
    return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::QtUiServices ui;
    app::Commands commands;
    commands.endProgram = [] {};
    app::frmStep1 window(ui, commands);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was not exposed: the shown-grid figures are for a hidden one\n");

    const double plain = secondsFor(window, nullptr);
    std::printf("AddFileToList x %d, shown grid, no yields:     %.3f s (%.2f us per add)\n", kAdds, plain, plain * 1e6 / kAdds);
    const double yielding = secondsFor(window, &ui);
    std::printf("AddFileToList x %d, shown grid, yield per add: %.3f s (%.2f us per add)\n", kAdds, yielding,
                yielding * 1e6 / kAdds);
    std::printf("rows %d, label \"%s\"\n", window.grdFiles1().rows(), qPrintable(window.countLabel().caption()));
    const bool complete = window.grdFiles1().rows() == kAdds;
    QElapsedTimer clock;
    clock.start();
    window.fileList().ResetFileList(window.importCommand());
    QApplication::processEvents();
    std::printf("ResetFileList of %d rows: %.3f s\n", kAdds, clock.nsecsElapsed() / 1e9);
    return complete ? 0 : 1;
}
