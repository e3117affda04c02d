// Builds a tree of vCard files (by default 100,000 files in 1,000 folders) in a temporary
// folder, or takes an existing one, and times the two phases of the add-folder command: the
// scan by pathLogger, and the adding of every found file to the list through the grid, with a
// yield that does nothing. Prints the peak resident size after each phase and the bytes the
// list's cells hold (run under /usr/bin/time -f %M for the whole program's peak).
//
// usage: sources_add_folder_bench [folders [files-per-folder]]
//        sources_add_folder_bench --tree FOLDER      (e.g. made by bench/data/make_vcards.py)
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/resource.h>
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

double peakResidentMb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
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
    const bool given = argc > 2 && std::string(argv[1]) == "--tree";
    const int folders = !given && argc > 1 ? std::atoi(argv[1]) : 1000;
    const int filesPerFolder = !given && argc > 2 ? std::atoi(argv[2]) : 100;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const QString root = given ? QString::fromLocal8Bit(argv[2]) + "/" : dir.path() + "/";

    auto start = Clock::now();
    if (!given) {
        if (!buildTree(root, folders, filesPerFolder)) {
            std::fprintf(stderr, "cannot build the tree in %s\n", qPrintable(root));
            return 1;
        }
        std::printf("tree:        %d files in %d folders, built in %.2f s\n", folders * filesPerFolder, folders,
                    secondsSince(start));
    }

    // The scan alone.
    start = Clock::now();
    sources::pathLogger finder;
    finder.PathLogInit();
    finder.fullFileNamesOnly(true);
    finder.LogPath(QFile::encodeName(root).toStdString());
    const int found = finder.fullFileNames()->count();
    const int foldersFound = finder.pathNames()->count();
    const std::size_t listBytes = finder.fullFileNames()->bytesHeld() + finder.pathNames()->bytesHeld();
    finder.Terminate();
    std::printf("scan:        %.3f s (%d files, %d folders), lists %.1f bytes per file, peak RSS %.1f MB\n",
                secondsSince(start), found, foldersFound, found ? double(listBytes) / found : 0.0, peakResidentMb());

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
    std::printf("memory:      cells %.1f bytes per row, peak RSS %.1f MB\n",
                double(grid.cells().bytesHeld()) / grid.rows(), peakResidentMb());
    return grid.rows() == (given ? found : folders * filesPerFolder) ? 0 : 2;
}
