#include "vcf2pst.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>

#include "console_ui_services.h"
#include "import/import_run.h"
#include "mailstore/profile.h"
#include "options.h"
#include "platform/memory_controls.h"
#include "sources/add_commands.h"
#include "sources/file_list.h"
#include "terminal_progress.h"
#include "zentra/error.h"

namespace vcf2pst {
namespace {

QByteArray local(const QString& s) { return s.toLocal8Bit(); }

void fail(std::FILE* err, const QString& message) {
    std::fprintf(err, "zentra-vcf2pst: %s\n", local(message).constData());
}

// The store folder of every listed path when folders mirror below each SOURCE folder:
// the SOURCE folder's own name, then the path below it, joined with "\".
class RelativeFolders {
public:
    void addFolderSource(const QString& sourceFolder, platform::FlexGrid& grid, int firstRow) {
        const QDir base = QFileInfo(QDir::cleanPath(sourceFolder)).dir();
        for (int r = firstRow; r < grid.rows(); ++r) {
            grid.setRow(r);
            grid.setCol(0);
            record(grid.text(), base);
        }
    }
    void addFileSource(const QString& file) {
        QDir base = QFileInfo(file).dir();
        base.cdUp();
        record(file, base);
    }
    QString folderOf(const QString& cellText) const { return folders_.value(cellText); }

private:
    void record(const QString& path, const QDir& base) {
        QString folder = base.relativeFilePath(QFileInfo(path).absolutePath());
        folders_.insert(path, folder.replace(u'/', u'\\'));
    }
    QHash<QString, QString> folders_;
};

// The reason the store stopped taking writes: the first file failure with a store-file error
// number ("<number>:<description>") names the system's reason; every later file only hears
// that the store cannot be used any more. Without one, the error from closing the store.
QString storeFailureReason(const importrun::RunResult& result) {
    for (const auto& f : result.failures) {
        switch (f.reason.section(u':', 0, 0).toLong()) {
            case zentra::kErrStoreWrite:
            case zentra::kErrDiskFull:
            case zentra::kErrDeviceIO:
            case zentra::kErrPermissionDenied:
                return f.reason;
            default:
                break;
        }
    }
    return result.storeError;
}

QString humanSize(qint64 bytes) {
    if (bytes < 1024 * 1024) return QString::number(bytes / 1024.0, 'f', 1) + " KB";
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + " MB";
}

}  // namespace

int run(const QStringList& args, std::FILE* out, std::FILE* err) {
    const ParseResult parsed = parseOptions(args);
    if (!parsed.options) {
        fail(err, parsed.error);
        std::fprintf(err, "Try 'zentra-vcf2pst --help' for more information.\n");
        return kUsageOrNoStore;
    }
    const Options& o = *parsed.options;
    if (o.help) {
        std::fputs(kUsage, out);
        return kAllImported;
    }
    if (o.version) {
        std::fprintf(out, "zentra-vcf2pst %s\n", kVersion);
        return kAllImported;
    }

    QString outputFile;
    if (!o.outputFile.isEmpty()) {
        outputFile = QFileInfo(o.outputFile).absoluteFilePath();
        if (QFileInfo::exists(outputFile) || QFileInfo(outputFile).isSymLink()) {
            fail(err, outputFile + " already exists; it is never overwritten");
            return kUsageOrNoStore;
        }
    }

    ConsoleUiServices ui;
    platform::MemoryGrid grid;
    platform::MemoryText countLabel{"0 files"};
    platform::MemoryEnabled importCommand{false};
    sources::FileList list(grid, countLabel);
    RelativeFolders relative;

    for (const QString& source : o.sources) {
        const QFileInfo info(source);
        if (!info.exists()) {
            fail(err, source + ": no such file or folder");
            return kUsageOrNoStore;
        }
        const bool wasEmpty = grid.rows() == 1 && (grid.setRow(0), grid.setCol(0), grid.text().isEmpty());
        const int firstRow = wasEmpty ? 0 : grid.rows();
        if (info.isDir()) {
            ui.answerNextPicker(info.absoluteFilePath());
            sources::CmdAddFolder_Click(ui, nullptr, list, importCommand);
            if (o.relative) relative.addFolderSource(info.absoluteFilePath(), grid, firstRow);
        } else {
            list.AddFileToList(info.absoluteFilePath());
            if (o.relative) relative.addFileSource(info.absoluteFilePath());
        }
    }
    grid.setRow(0);
    grid.setCol(0);
    if (grid.rows() == 1 && grid.text().isEmpty()) {
        fail(err, "no vCard files found; nothing to import");
        return kUsageOrNoStore;
    }

    platform::MemoryProgress bar1, bar2;
    platform::MemoryText frame{"Details"}, stage{"Converting Contacts..."};
    importrun::RunState state;
    importrun::RunPolicy policy;
    TerminalProgress progress(err, !o.quiet);
    policy.onFileDone = [&](int done, int total) { progress.update(done, total); };
    if (!outputFile.isEmpty()) {
        policy.storeNames = [&](const QString&) {
            return std::make_pair(outputFile, QFileInfo(outputFile).completeBaseName());
        };
    }
    if (o.relative) policy.sourceFolder = [&](const QString& cell) { return relative.folderOf(cell); };

    importrun::ImportRun run(ui, nullptr, importrun::RunWidgets{grid, bar1, bar2, frame, stage, importCommand, {}},
                             state, policy);
    ConsoleUiServices::installInterruptHandler();
    ui.onInterrupt([&] { run.requestStop(); });
    ui.answerNextPicker(!outputFile.isEmpty() ? QFileInfo(outputFile).absolutePath()
                        : !o.outputDir.isEmpty() ? QFileInfo(o.outputDir).absoluteFilePath()
                                                 : QDir::currentPath());

    QElapsedTimer clock;
    clock.start();
    const importrun::RunResult result = run.CmdExtractDBX_Click();
    progress.finish();
    // A set-up failure leaves the new store attached; detaching commits and closes it.
    zentra::mailstore::Profile::instance().detachAll();
    const double seconds = clock.elapsed() / 1000.0;

    if (!result.storeCreated) return kUsageOrNoStore;
    const int listed = grid.rows();
    const bool interrupted = result.filesDone < listed && !result.setupFailed;
    const long failed = result.setupFailed ? listed : static_cast<long>(result.failures.size());

    if (!o.quiet) {
        std::fprintf(out, "Files:     %d listed, %ld imported, %ld failed%s\n", listed,
                     result.filesDone - static_cast<long>(result.failures.size()), failed,
                     interrupted ? " (interrupted)" : "");
        // Files saved after the store's last successful save are failures, their contacts not counted.
        std::fprintf(out, "Contacts:  %ld\n", result.contacts);
        std::fprintf(out, "Warnings:  %ld\n", result.warnings);
        std::fprintf(out, "Output:    %s (%s)\n", local(result.storePath).constData(),
                     local(humanSize(QFileInfo(result.storePath).size())).constData());
        std::fprintf(out, "Time:      %.2f s\n", seconds);
        if (!result.failures.empty()) {
            std::fprintf(out, "Failed files:\n");
            for (const auto& f : result.failures)
                std::fprintf(out, "  %s: %s\n", local(f.path).constData(), local(f.reason).constData());
        }
    }
    if (!result.storeError.isEmpty()) {
        // Last on standard error, whatever scrolled past before it.
        fail(err, result.storePath + " could not be completed: " + storeFailureReason(result) +
                      "\nFiles saved after its last successful save are not in it; they are listed as failed.");
    }
    if (result.setupFailed || !result.failures.empty() || !result.storeError.isEmpty() || interrupted)
        return kSomeFailed;
    return kAllImported;
}

}  // namespace vcf2pst
