// The window's import of a folder tree against the components alone on the same files:
// how much the window (its yields, repaints and progress widgets) adds to the engine's time.
//
//   window_import_bench SOURCE_FOLDER    (run offscreen: QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

#include "app/frm_step1.h"
#include "app/program_commands.h"
#include "import/source_folder.h"
#include "mailstore/component_registry.h"
#include "mailstore/rdo.h"
#include "platform/qt_ui_services.h"
#include "zentra/path_list.h"

namespace {

// User+system CPU seconds so far of the whole process (RUSAGE_SELF) or of the calling thread
// (RUSAGE_THREAD): on a shared machine the CPU a phase takes says more than its wall time, and
// the window's loop stores on this thread while the read-ahead reads on others, so this thread's
// CPU bounds the run's wall time.
rusage usageOf(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage;
}

double cpuSeconds(const rusage& usage) {
    auto seconds = [](const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double cpuSeconds() { return cpuSeconds(usageOf(RUSAGE_SELF)); }

// The real Qt services, but the folder picker answers with a fixed folder and boxes are
// counted: a clean run shows one, its summary, and nothing else.
class BenchUi : public platform::QtUiServices {
public:
    QString folder;
    int otherBoxes = 0;
    QString chooseFolder(QWidget*, const QString&) override { return folder; }
    int msgBox(const QString& prompt, int, const QString&) override {
        if (!prompt.contains(QStringLiteral(" were imported into\r\n"))) {
            ++otherBoxes;
            std::fprintf(stderr, "box: %s\n", prompt.left(200).toLocal8Bit().constData());
        }
        return platform::vbOK;
    }
};

QStringList vcardsBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, {"*.vcf"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    return files;
}

// The components as the run drives them, read-ahead included, without the window: the same
// folders, the same per-file calls.
double engineAlone(const QStringList& files, const QString& dest) {
    using namespace zentra::mailstore;
    QElapsedTimer t;
    t.start();
    ComponentRegistry components;
    auto session = components.createObject<Session>("Redemption.RDOSession");
    session->Logon();
    const std::string name = "Engine alone";
    auto store = session->Stores()->AddPSTStore((dest + "/engine.pst").toStdString(), 1, name);
    // The folders the window's run would create, each once: walking a folder's children for
    // every file would cost files x folders, which the run does not pay.
    QSet<QString> created;
    for (const QString& f : files) {
        const QString relative = importrun::SourceRelativeFolder(f);
        if (created.contains(relative)) continue;
        created.insert(relative);
        const QStringList parts = relative.split(u'\\');
        std::shared_ptr<Folder> folder = store->IPMRootFolder();
        for (const QString& p : parts) {
            auto children = folder->Folders();
            bool found = false;
            for (auto child : *children)
                if (child->Name() == p.toStdString()) folder = child, found = true;
            if (!found) folder = children->Add(p.toStdString(), 10);
        }
    }
    zentra::PathList paths;
    for (const QString& f : files) paths.add(f.toStdString());
    auto queue = std::make_shared<const pipeline::FileQueue>(std::move(paths));
    session->ReadAhead(queue, 6);
    for (int i = 0; i < files.size(); ++i) {
        auto folder = session->GetFolderFromPath("\\\\" + name + "\\" +
                                                 importrun::SourceRelativeFolder(files[i]).toStdString());
        auto item = folder->Items()->Add(2);
        item->Import(queue->file(static_cast<size_t>(i)), 6);
        item->Save();
    }
    store->Remove();
    session->Logoff();
    return t.elapsed() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_import_bench SOURCE_FOLDER\n");
        return 2;
    }
    // The run mirrors folders below the root: a relative folder is taken from the current one.
    const QStringList files = vcardsBelow(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    QTemporaryDir dest;

    const double cpuBeforeEngine = cpuSeconds();
    const double engine = engineAlone(files, dest.path());
    const double engineCpu = cpuSeconds() - cpuBeforeEngine;

    BenchUi ui;
    ui.folder = dest.path();
    app::ProgramCommands program;
    app::frmStep1 window(ui, program.commands());
    window.show();
    for (const QString& f : files) window.fileList().AddFileToList(f);
    window.importCommand().setEnabled(true);   // as the add commands leave it
    const double cpuBeforeWindow = cpuSeconds();
    const rusage loopBefore = usageOf(RUSAGE_THREAD);
    QElapsedTimer t;
    t.start();
    window.findChild<QPushButton*>("CmdExtractDBX")->click();
    const double windowTime = t.elapsed() / 1000.0;
    const double windowCpu = cpuSeconds() - cpuBeforeWindow;
    const rusage loopAfter = usageOf(RUSAGE_THREAD);
    const double loopCpu = cpuSeconds(loopAfter) - cpuSeconds(loopBefore);

    std::printf("files: %lld\n", static_cast<long long>(files.size()));
    std::printf("components alone: %.2f s, CPU %.2f s\n", engine, engineCpu);
    std::printf("window import:    %.2f s, CPU %.2f s (%.2f x wall, %.2f x CPU)\n", windowTime, windowCpu,
                windowTime / engine, windowCpu / engineCpu);
    std::printf("window loop thread: CPU %.2f s (%.0f %% of the window's wall time)\n", loopCpu,
                100.0 * loopCpu / windowTime);
    std::printf("window loop thread: %ld waits, %ld preemptions\n", loopAfter.ru_nvcsw - loopBefore.ru_nvcsw,
                loopAfter.ru_nivcsw - loopBefore.ru_nivcsw);
    return ui.otherBoxes == 0 ? 0 : 1;
}
