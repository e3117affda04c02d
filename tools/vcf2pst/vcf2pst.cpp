#include "vcf2pst.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "console_ui_services.h"
#include "import/import_run.h"
#include "import/source_folder.h"
#include "import/zone_day_start.h"
#include "mailstore/component_registry.h"
#include "options.h"
#include "relative_folders.h"
#include "platform/memory_controls.h"
#include "sources/add_commands.h"
#include "sources/file_list.h"
#include "terminal_progress.h"
#include "zentra/error.h"
#include "zentra/path_list.h"

namespace vcf2pst {
namespace {

QByteArray local(const QString& s) { return s.toLocal8Bit(); }

void fail(std::FILE* err, const QString& message) {
    std::fprintf(err, "zentra-vcf2pst: %s\n", local(message).constData());
}

QString shown(const std::string& text) { return QString::fromStdString(zentra::readablePath(text)); }
// A path or text the program made, shown as the terminal should print it: control characters
// and escape sequences written out as \xNN, never sent raw.
QString escaped(const QString& text) { return shown(text.toStdString()); }

QString numbered(const zentra::Error& e) { return QString::number(e.number()) + ":" + shown(e.description()); }

// The reason the store stopped taking writes: the first save that failed names the system's
// reason; every later file only hears that the store cannot be used any more. Without one, the
// error from closing the store.
QString storeFailureReason(const pipeline::RunRecord& record) {
    return numbered(record.firstSaveFailure() ? *record.firstSaveFailure() : *record.storeError());
}

QString problemOf(const pipeline::FileOutcome& o) {
    if (o.status == pipeline::FileOutcome::Status::Failed) return numbered(zentra::Error(o.errorNumber, o.reason));
    return shown(pipeline::describeProblem(o));
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
    const QTimeZone zone = o.timeZone.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(o.timeZone);
    zentra::mailstore::SessionOptions settings = importrun::sessionOptionsIn(zone);
    if (!o.legacyCharset.isEmpty()) settings.mapping.reader.fallbackCharset = o.legacyCharset.toStdString();
    zentra::mailstore::ComponentRegistry components(settings);
    platform::MemoryGrid grid;
    platform::MemoryText countLabel{"0 files"};
    platform::MemoryEnabled importCommand{false};
    sources::FileList list(grid, countLabel);
    RelativeFolders relative;
    std::vector<sources::UnreadFolder> unreadFolders;

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
            sources::FolderAddResult added = sources::CmdAddFolder_Click(ui, nullptr, list, importCommand);
            if (added.error) {
                fail(err, source + ": the folder scan stopped: " + numbered(*added.error));
                return kUsageOrNoStore;
            }
            // Each one by name: the box above lists only the first few.
            for (sources::UnreadFolder& folder : added.unreadFolders) {
                fail(err, shown(folder.path) + ": could not be read, its files are not imported: " +
                              shown(folder.error.description()));
                unreadFolders.push_back(std::move(folder));
            }
            if (o.relative) relative.addFolderSource(info.absoluteFilePath(), firstRow);
        } else {
            list.AddFileToList(info.absoluteFilePath());
            if (o.relative) relative.addFileSource(info.absoluteFilePath(), firstRow);
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
        // The store is named after the file; a "\\" in that name would read as a folder level.
        policy.storeNames = [&](const QString&) {
            return std::make_pair(outputFile, importrun::StoreFolderName(QFileInfo(outputFile).completeBaseName()));
        };
        policy.firstFreeName = false;   // -o names exactly one file, which is never overwritten
    }
    if (o.relative) policy.sourceFolder = [&](int row, const QString& cell) { return relative.folderOf(row, cell); };
    policy.summaryBox = false;   // the summary below says the same
    policy.reportSettings = {{"Folders", o.relative ? "mirrored below each SOURCE folder" : "mirrored below the root"}};
    if (o.verbose) {
        // As they come, with the file they belong to: readable even for names with control
        // characters or bytes that are not UTF-8.
        policy.onWarning = [&](const pipeline::FileOutcome& file, const pipeline::FileWarning& w) {
            progress.finish();
            std::fprintf(err, "%s: %s\n", zentra::readablePath(file.path).c_str(),
                         zentra::readablePath(pipeline::describe(w)).c_str());
        };
    }

    importrun::ImportRun run(ui, nullptr, importrun::RunWidgets{grid, bar1, bar2, frame, stage, importCommand, {}},
                             state, components, policy);
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
    if (auto error = components.profile().detachAll())
        fail(err, result.storePath + " could not be completed: " + numbered(*error));
    const double seconds = clock.elapsed() / 1000.0;

    if (!result.storeCreated) return kUsageOrNoStore;
    const pipeline::RunRecord& record = result.record;
    const int listed = grid.rows();
    const bool interrupted = (static_cast<int>(record.filesDone()) < listed || record.cutShort()) && !result.setupFailed;
    const long failed = result.setupFailed ? listed : static_cast<long>(record.failedFiles());

    if (!o.quiet) {
        std::fprintf(out, "Files:     %d listed, %ld imported, %ld failed%s\n", listed,
                     static_cast<long>(record.filesImported()), failed, interrupted ? " (interrupted)" : "");
        // Files saved after the store's last successful save are failures, their contacts not counted.
        std::fprintf(out, "Contacts:  %zu\n", record.contacts());
        std::fprintf(out, "Warnings:  %zu\n", record.warnings());
        std::fprintf(out, "Output:    %s (%s)\n", local(escaped(result.storePath)).constData(),
                     local(humanSize(QFileInfo(result.storePath).size())).constData());
        if (!result.reportPath.isEmpty()) std::fprintf(out, "Report:    %s\n", local(escaped(result.reportPath)).constData());
        std::fprintf(out, "Time:      %.2f s\n", seconds);
        if (!record.problemFiles().empty()) {
            std::fprintf(out, "Failed files:\n");
            for (const auto& f : record.problemFiles())
                std::fprintf(out, "  %s: %s\n", local(shown(f.outcome.path)).constData(),
                             local(problemOf(f.outcome)).constData());
        }
    }
    if (result.reportError) fail(err, "no import report: " + numbered(*result.reportError));
    if (record.storeError()) {
        // Last on standard error, whatever scrolled past before it.
        fail(err, escaped(result.storePath) + " could not be completed: " + storeFailureReason(record) +
                      "\nFiles saved after its last successful save are not in it; they are listed as failed.");
    }
    if (result.setupFailed || !record.problemFiles().empty() || record.storeError() || interrupted ||
        !unreadFolders.empty())
        return kSomeFailed;
    return kAllImported;
}

}  // namespace vcf2pst
