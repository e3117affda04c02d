#pragma once
// The import run: from the listed files to a finished store. It asks for a destination,
// creates the time-stamped store through the mail-store session, mirrors the source folders
// as contacts folders, imports every listed file into its folder and reports progress.
//
// The run reaches the list, the progress widgets and the dialogs only through the platform
// interfaces, and the mail store only through the components a registry creates, so the window
// and the command-line importer share this one copy of it.
//
// Failure regimes: set-up (session, store, folder list) ends the run with the "Outlook Error"
// box; from the folder tree on, a failing step is skipped and the run goes on - and what it
// skipped is recorded, never dropped: every file's outcome, every folder not created and a store
// that could not be completed end up in the run's record, which the window and the command line
// render at the end.
#include <QDateTime>
#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/string_arrays.h"
#include "mailstore/component_registry.h"
#include "mailstore/rdo.h"
#include "pipeline/run_record.h"
#include "pipeline/run_report.h"
#include "pipeline/source_file.h"
#include "platform/controls.h"
#include "platform/ui_services.h"

class QWidget;

namespace importrun {

extern const char* const kSupportArticle;   // third line of the "Outlook Error" box

// The widgets the run writes, by the window's names.
struct RunWidgets {
    platform::FlexGrid& grdFiles1;
    platform::ProgressControl& ProgressBar1;
    platform::ProgressControl& ProgressBar2;
    platform::TextControl& FrameConversion;
    platform::TextControl& LblCurrentDBX;
    platform::EnabledControl& CmdExtractDBX;
    // Commands that must not run while an import is in progress (add, add folder, clear).
    std::vector<platform::EnabledControl*> otherCommands;
    // "Contact n (of m)" for the file being stored, with ProgressBar2; none on the command line.
    platform::TextControl* LblProgessCurrent = nullptr;
};

// What the window keeps between runs; each run overwrites it.
struct RunState {
    QString destinationFolder;
    QString storeDisplayName;
    std::shared_ptr<zentra::mailstore::Session> session;
    modMain::TextArray folderList;
};

struct RunResult {
    bool started = false;          // a destination was chosen
    bool storeCreated = false;
    QString storePath;
    bool setupFailed = false;      // the run ended with the set-up error
    std::optional<zentra::Error> setupError;
    pipeline::RunRecord record;    // every file handled, folders not created, the store's end
    int filesListed = 0;
    QString reportPath;            // the import report beside the store; empty when none was made
    std::optional<zentra::Error> reportError;   // why the report is missing or incomplete
};

// What differs between the window and the command-line importer.
struct RunPolicy {
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The new file's path and the store display name for a destination folder that ends with a
    // separator; empty means the time-stamped names.
    std::function<std::pair<QString, QString>(const QString& destination)> storeNames;
    // When the store's name is taken (two runs in one second, a file left there), the first free
    // name "<name> (2).pst", "(3)", ... is taken instead; false: the run ends with the error.
    bool firstFreeName = true;
    // The store folder (components joined with "\") the listed row reading cellText mirrors
    // into; empty means SourceRelativeFolder.
    std::function<QString(int row, const QString& cellText)> sourceFolder;
    // Called after each file with (done, total), e.g. for a terminal progress bar.
    std::function<void(int, int)> onFileDone;
    // Called with each warning as it comes, with the file it belongs to.
    std::function<void(const pipeline::FileOutcome&, const pipeline::FileWarning&)> onWarning;
    // The run's settings for the report ("Folders: mirrored below each source folder", ...), after
    // the store's path and display name.
    std::vector<std::pair<std::string, std::string>> reportSettings;
    // Whether the run ends with a box saying where the contacts went and what failed (the
    // command line prints the same itself).
    bool summaryBox = true;
};

class ImportRun {
public:
    ImportRun(platform::UiServices& ui, QWidget* owner, RunWidgets widgets, RunState& state,
              zentra::mailstore::ComponentRegistry& components, RunPolicy policy = {});
    ~ImportRun();

    // The whole run, as the "Import Contacts" command. Does nothing while a run is in progress.
    RunResult CmdExtractDBX_Click();

    bool running() const { return running_; }
    // Wind the run up: the file being stored stops after its current contact (and is reported as
    // cut short), the store is detached and the session logged off, so the file on disk holds
    // every contact stored.
    void requestStop() { stopRequested_ = true; }

private:
    struct Guard;
    class Progress;
    std::shared_ptr<zentra::mailstore::Store> attachNewStore(const QString& path, RunResult& result);
    void startReport(RunResult& result);
    void buildFolderList();
    void buildFolderTree(const std::string& entryId, RunResult& result);
    void addTopFolder(const QString& folder, const std::string& entryId, RunResult& result);
    void importLoop(const std::shared_ptr<zentra::mailstore::Store>& store, const pipeline::SharedFileQueue& queue,
                    RunResult& result);
    pipeline::FileOutcome importFile(const pipeline::SourceFile& file, const QString& folder, RunResult& result);
    void finish(const std::shared_ptr<zentra::mailstore::Store>& store, RunResult& result);
    void showSummary(const RunResult& result);
    void showFileProgress(const pipeline::FileOutcome& file);
    bool listIsEmpty();
    QString sourceFolderOf(int row, const QString& cellText) const;

    platform::UiServices& ui_;
    QWidget* owner_;
    RunWidgets w_;
    RunState& state_;
    zentra::mailstore::ComponentRegistry& components_;
    RunPolicy policy_;
    bool running_ = false;
    bool stopRequested_ = false;
    std::unique_ptr<Progress> progress_;
    std::unique_ptr<pipeline::RunReport> report_;
    // Source folder by the text before a file name: every file of a folder has the same one,
    // and a run asks for each file's twice.
    mutable QHash<QString, QString> folderByPrefix_;
    // What the current file's progress shows now: most files leave it as the one before did.
    std::pair<std::size_t, std::size_t> shownFileProgress_{SIZE_MAX, SIZE_MAX};
    // The store path of the folder the last file went to, as GetFolderFromPath takes it.
    QString lastFolder_;
    std::string lastFolderPath_;
};

// The error a failed call raised, as the run records it: zentra::Error as it is; anything else
// (out of memory, say) with a number of its own.
zentra::Error asError(const std::exception& e);

}  // namespace importrun
