// Builds a tree of vCard files (by default 100,000 files in 1,000 folders) in a temporary
// folder and times the two phases of the add-folder command: the scan by pathLogger, and the
// adding of every found file to the list through the grid, with a yield that does nothing.
//
// usage: sources_add_folder_bench [folders [files-per-folder]]
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

#include "platform/memory_controls.h"
#include "platform/scripted_ui_services.h"
#include "sources/add_commands.h"
#include "sources/path_logger.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ten top folders, each holding an equal share of the leaf folders; every leaf holds the files.
bool buildTree(const QString& root, int folders, int filesPerFolder) {
    static const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Test Person\r\nEND:VCARD\r\n";
    for (int f = 0; f < folders; ++f) {
        const QString leaf = root + QString("group%1/folder%2/").arg(f % 10).arg(f, 4, 10, QChar('0'));
        if (!QDir().mkpath(leaf)) return false;
        const QByteArray base = QFile::encodeName(leaf);
        for (int n = 0; n < filesPerFolder; ++n) {
            const QByteArray path = base + "contact" + QByteArray::number(n) + ".vcf";
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd < 0) return false;
            const bool ok = ::write(fd, card.constData(), card.size()) == card.size();
            ::close(fd);
            if (!ok) return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int folders = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : 100;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const QString root = dir.path() + "/";

    auto start = Clock::now();
    if (!buildTree(root, folders, filesPerFolder)) {
        std::fprintf(stderr, "cannot build the tree in %s\n", qPrintable(root));
        return 1;
    }
    std::printf("tree:        %d files in %d folders, built in %.2f s\n", folders * filesPerFolder, folders,
                secondsSince(start));

    // The scan alone.
    start = Clock::now();
    sources::pathLogger finder;
    finder.PathLogInit();
    finder.fullFileNamesOnly(true);
    finder.LogPath(root);
    const int found = finder.fullFileNames()->count();
    finder.Terminate();
    std::printf("scan:        %.3f s (%d files, %d folders)\n", secondsSince(start), found,
                folders + 10 + 1);

    // The whole command; its first yield marks the end of its scan and the start of adding.
    platform::ScriptedUiServices ui;
    platform::MemoryGrid grid;
    platform::MemoryText label("0 files");
    platform::MemoryEnabled importCommand(false);
    sources::FileList list(grid, label);
    std::optional<Clock::time_point> addingStarted;
    ui.onDoEvents = [&] {
        if (!addingStarted) addingStarted = Clock::now();
    };
    ui.folderAnswers.push_back(root);
    start = Clock::now();
    sources::CmdAddFolder_Click(ui, nullptr, list, importCommand);
    const auto end = Clock::now();
    const auto addStart = addingStarted.value_or(end);
    std::printf("command:     %.3f s in all: scan %.3f s, adding %.3f s (%d yields)\n",
                std::chrono::duration<double>(end - start).count(),
                std::chrono::duration<double>(addStart - start).count(),
                std::chrono::duration<double>(end - addStart).count(), ui.doEventsCount);
    std::printf("list:        %d rows, label \"%s\", message \"%s\"\n", grid.rows(), qPrintable(label.caption()),
                ui.boxes.empty() ? "" : qPrintable(ui.boxes.back().prompt));
    return grid.rows() == folders * filesPerFolder ? 0 : 2;
}
