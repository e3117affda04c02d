#pragma once
// The import run: from the listed files to a finished store. It asks for a destination,
// creates the time-stamped store through the mail-store session, mirrors the source folders
// as contacts folders, imports every listed file into its folder and reports progress.
//
// The run reaches the list, the progress widgets and the dialogs only through the platform
// interfaces, so the window and the command-line importer share this one copy of it.
//
// Failure regimes: set-up (session, store, folder list) ends the run with the "Outlook Error"
// box; from the folder tree on, each failing step is skipped. Unlike the classic behaviour,
// files that could not be imported are counted and reported at the end, and a store file that
// cannot be written is reported with its path and reason, never passed over as a success.
#include <QDateTime>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "import/string_arrays.h"
#include "mailstore/rdo.h"
#include "mailstore/store_item_counts.h"
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
};

// What the window keeps between runs; each run overwrites it.
struct RunState {
    QString destinationFolder;
    QString storeDisplayName;
    std::shared_ptr<zentra::mailstore::Session> session;
    modMain::TextArray folderList;
};

// One file that could not be imported, and why.
struct FileFailure {
    int row = 0;
    QString path;
    QString reason;
};

struct RunResult {
    bool started = false;          // a destination was chosen
    bool storeCreated = false;
    QString storePath;
    bool setupFailed = false;      // the run ended with the set-up error
    int filesDone = 0;             // rows handled by the loop
    long contacts = 0;             // contacts the saved items reported (see ImportReport)
    long warnings = 0;             // parser and mapping warnings they reported
    std::vector<FileFailure> failures;
    QString storeError;            // the store could not be completed (write error at detach)
};

// What differs between the window and the command-line importer.
struct RunPolicy {
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The new file's path and the store display name for a destination folder that ends with a
    // separator; empty means the time-stamped names.
    std::function<std::pair<QString, QString>(const QString& destination)> storeNames;
    // The store folder (components joined with "\") a listed path mirrors into; empty means
    // SourceRelativeFolder.
    std::function<QString(const QString& cellText)> sourceFolder;
    // Called after each file with (done, total), e.g. for a terminal progress bar.
    std::function<void(int, int)> onFileDone;
};

class ImportRun {
public:
    ImportRun(platform::UiServices& ui, QWidget* owner, RunWidgets widgets, RunState& state,
              RunPolicy policy = {});

    // The whole run, as the "Import Contacts" command. Does nothing while a run is in progress.
    RunResult CmdExtractDBX_Click();

    bool running() const { return running_; }
    // Wind the run up after the current file: the store is still detached and the session
    // logged off, so the file on disk holds every file done.
    void requestStop() { stopRequested_ = true; }

private:
    struct Guard;
    void buildFolderList();
    void buildFolderTree(const std::string& entryId);
    void importLoop(const std::shared_ptr<zentra::mailstore::Store>& store, RunResult& result);
    void finish(const std::shared_ptr<zentra::mailstore::Store>& store, RunResult& result);
    void noteSaved(int row, const QString& path, long contacts);
    void dropUnsaved(RunResult& result);
    void reportFailures(const RunResult& result);
    QString sourceFolderOf(const QString& cellText) const;

    platform::UiServices& ui_;
    QWidget* owner_;
    RunWidgets w_;
    RunState& state_;
    RunPolicy policy_;
    bool running_ = false;
    bool stopRequested_ = false;
    // Source folder by the text before a file name: every file of a folder has the same one,
    // and a run asks for each file's twice.
    mutable QHash<QString, QString> folderByPrefix_;

    // Files whose items were saved into the store but may not be on disk yet: the store writes
    // them with its next periodic save. If that save (or the final one) fails, they are failures
    // too, not imports. Without a store that tells (StoreItemCounts), nothing is tracked.
    struct Unsaved {
        int row = 0;
        QString path;
        long contacts = 0;
        long long itemsAfter = 0;   // the store's saved-item count after this file
    };
    zentra::mailstore::StoreItemCounts* counts_ = nullptr;
    std::vector<Unsaved> unsaved_;   // in file order
    QString firstSaveFailure_;
};

}  // namespace importrun
