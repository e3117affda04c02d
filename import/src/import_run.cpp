#include "import/import_run.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QStringList>
#include <filesystem>
#include <new>

#include "import/open_mapi_folder.h"
#include "import/source_folder.h"
#include "sources/add_commands.h"
#include "zentra/application_title.h"
#include "zentra/error.h"
#include "zentra/path_list.h"

namespace importrun {

using zentra::mailstore::Folder;
using zentra::mailstore::Item;
using zentra::mailstore::Session;
using zentra::mailstore::Store;
using zentra::mailstore::kFolderTypeContacts;
using zentra::mailstore::kImportFormatVCard;
using zentra::mailstore::kItemTypeContact;
using zentra::mailstore::kStoreFormatDefault;

const char* const kSupportArticle =
    "https://support.microsoft.com/office/create-an-outlook-data-file-pst-to-save-your-information-"
    "17a13ca2-df52-48e8-b933-4c84c2aabe7c";

namespace {

const QString kAppTitle = QString::fromLatin1(zentra::kApplicationTitle);
constexpr size_t kFailuresListed = 5;
constexpr long kErrInternal = 51;   // the runtime's "Internal error"
constexpr int kNameAttempts = 1000;  // "(2)" to "(1000)": beyond that something else is wrong

std::string utf8(const QString& s) { return s.toStdString(); }
QString shown(const std::string& bytes) { return QString::fromStdString(zentra::readablePath(bytes)); }

QString describe(const zentra::Error& e) { return QString::number(e.number()) + ":" + shown(e.description()); }

bool isStoreFileError(long number) {
    switch (number) {
        case zentra::kErrStoreCreate:
        case zentra::kErrStoreWrite:
        case zentra::kErrDiskFull:
        case zentra::kErrDeviceIO:
        case zentra::kErrPermissionDenied:
        case zentra::kErrPathNotFound:
            return true;
        default:
            return false;
    }
}

pipeline::FileOutcome failedOutcome(const std::string& path, const zentra::Error& e) {
    pipeline::FileOutcome outcome;
    outcome.status = pipeline::FileOutcome::Status::Failed;
    outcome.path = path;
    outcome.errorNumber = e.number();
    outcome.reason = e.description();
    return outcome;
}

}  // namespace

zentra::Error asError(const std::exception& e) {
    if (auto* err = dynamic_cast<const zentra::Error*>(&e)) return *err;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return zentra::Error(zentra::kErrOutOfMemory, "Out of memory");
    return zentra::Error(kErrInternal, std::string("Internal error: ") + e.what());
}

// Follows the contacts of the file being stored: lets the window breathe (and hear Exit or
// Ctrl+C) while one long file is stored, stops the file when the run is asked to stop, and
// passes every warning on.
class ImportRun::Progress final : public pipeline::ImportObserver {
public:
    explicit Progress(ImportRun& run) : run_(run) { sinceYield_.start(); }

    bool contactStored(const pipeline::FileOutcome& file) override {
        if (sinceYield_.elapsed() >= kYieldMs) {
            run_.showFileProgress(file);
            run_.ui_.doEvents();
            sinceYield_.restart();
        }
        return !run_.stopRequested_;
    }
    void warning(const pipeline::FileOutcome& file, const pipeline::FileWarning& w) override {
        if (run_.report_) run_.report_->warning(file, w);
        if (run_.policy_.onWarning) run_.policy_.onWarning(file, w);
    }

private:
    static constexpr qint64 kYieldMs = 50;
    ImportRun& run_;
    QElapsedTimer sinceYield_;
};

// Disables the commands that must not run inside a run, and gives them back their states.
struct ImportRun::Guard {
    ImportRun& run;
    std::vector<bool> before;
    bool importBefore;
    bool loopDisabledImport = false;

    explicit Guard(ImportRun& r) : run(r), importBefore(r.w_.CmdExtractDBX.enabled()) {
        run.running_ = true;
        run.stopRequested_ = false;
        for (auto* c : run.w_.otherCommands) {
            before.push_back(c->enabled());
            c->setEnabled(false);
        }
        run.w_.CmdExtractDBX.setEnabled(false);
    }
    ~Guard() {
        for (size_t i = 0; i < run.w_.otherCommands.size(); ++i) run.w_.otherCommands[i]->setEnabled(before[i]);
        // The loop leaves the import command disabled once it has handled a file.
        if (!loopDisabledImport) run.w_.CmdExtractDBX.setEnabled(importBefore);
        run.running_ = false;
    }
};

ImportRun::ImportRun(platform::UiServices& ui, QWidget* owner, RunWidgets widgets, RunState& state,
                     zentra::mailstore::ComponentRegistry& components, RunPolicy policy)
    : ui_(ui), owner_(owner), w_(std::move(widgets)), state_(state), components_(components),
      policy_(std::move(policy)), progress_(std::make_unique<Progress>(*this)) {}

ImportRun::~ImportRun() = default;

QString ImportRun::sourceFolderOf(int row, const QString& cellText) const {
    if (policy_.sourceFolder) return policy_.sourceFolder(row, cellText);
    // Everything up to the last separator of either kind: what follows is a bare file name,
    // which does not change the answer. Only answers are kept; a refusal is computed again.
    const qsizetype cut = std::max(cellText.lastIndexOf(u'/'), cellText.lastIndexOf(u'\\'));
    if (cut < 0) return SourceRelativeFolder(cellText);
    const QString prefix = cellText.left(cut + 1);
    auto it = folderByPrefix_.constFind(prefix);
    if (it != folderByPrefix_.constEnd()) return *it;
    QString folder = SourceRelativeFolder(cellText);
    folderByPrefix_.insert(prefix, folder);
    return folder;
}

// The list is empty when its one row has an empty first cell.
bool ImportRun::listIsEmpty() {
    auto& grid = w_.grdFiles1;
    if (grid.rows() != 1) return grid.rows() == 0;
    grid.setRow(0);
    grid.setCol(0);
    return grid.text().isEmpty();
}

// The cards of the file being stored: "Contact n (of m)", m the file's total once it is read to
// its end and the cards read so far until then.
void ImportRun::showFileProgress(const pipeline::FileOutcome& file) {
    if (!w_.LblProgessCurrent) return;
    const std::size_t done = file.contactsStored;
    const std::size_t total = std::max(file.cardsRead, done);
    if (shownFileProgress_ == std::pair(done, total)) return;
    shownFileProgress_ = {done, total};
    w_.LblProgessCurrent->setCaption(QStringLiteral("Contact %1 (of %2)").arg(done).arg(total));
    w_.ProgressBar2.setValue(total == 0 ? 0.0f : static_cast<float>(static_cast<double>(done) / total * 100.0));
}

RunResult ImportRun::CmdExtractDBX_Click() {
    RunResult result;
    if (running_) return result;
    // Nothing to import: no destination is asked for and no store is made.
    if (listIsEmpty()) {
        w_.CmdExtractDBX.setEnabled(false);
        return result;
    }
    Guard guard(*this);

    state_.destinationFolder = registry::BrowseForFolder(ui_, owner_, QStringLiteral("Choose Folder to Save..."));
    if (state_.destinationFolder.isEmpty()) return result;
    result.started = true;
    const QChar sep = QDir::separator();
    if (!state_.destinationFolder.endsWith(sep)) state_.destinationFolder += sep;
    ui_.doEvents();
    w_.ProgressBar1.setMin(0);
    w_.ProgressBar1.setMax(100);
    w_.ProgressBar2.setMin(0);
    w_.ProgressBar2.setMax(100);
    shownFileProgress_ = {SIZE_MAX, SIZE_MAX};
    lastFolderPath_.clear();   // a new run names its store anew
    ui_.doEvents();

    std::shared_ptr<Store> store;
    std::string entryId;
    bool attaching = false;
    // The files in list order, read ahead by the session on other threads from now on, while the
    // store and its folders are made and then while the loop stores the files before; each is
    // handed over by its place in the queue. The queue shares the grid's paths rather than
    // copying them (the list cannot change during a run: its commands are disabled).
    pipeline::SharedFileQueue queue;
    struct StopReadingAhead {
        std::shared_ptr<Session>& session;
        ~StopReadingAhead() {
            if (session) session->ReadAhead(nullptr, kImportFormatVCard);
        }
    } stopReadingAhead{state_.session};
    try {
        state_.session = components_.createObject<Session>("Redemption.RDOSession");
        state_.session->Logon();
        queue = std::make_shared<const pipeline::FileQueue>(w_.grdFiles1.pathColumn(0));
        state_.session->ReadAhead(queue, kImportFormatVCard);
        QString path;
        if (policy_.storeNames) {
            auto names = policy_.storeNames(state_.destinationFolder);
            path = names.first;
            state_.storeDisplayName = names.second;
        } else {
            path = state_.destinationFolder + "ZentraContacts" + RunStamp(policy_.clock()) + ".pst";
            state_.storeDisplayName = "Zentra Contacts : Created - " + RunStamp(policy_.clock());
        }
        result.storePath = path;
        attaching = true;
        store = attachNewStore(path, result);
        attaching = false;
        result.storeCreated = true;
        entryId = store->EntryID();
        buildFolderList();
    } catch (const std::exception& failure) {
        const zentra::Error e = asError(failure);
        result.setupFailed = true;
        result.setupError = e;
        if (attaching && isStoreFileError(e.number())) {
            ui_.msgBox("The contacts file could not be created:\r\n" + result.storePath + "\r\n" + describe(e),
                       platform::vbExclamation, kAppTitle);
        } else {
            ui_.msgBox(QStringLiteral("Outlook Session Creation Error !\r\n"
                                      "Check if Outlook is installed and configured.\r\n"
                                      "For more details visit this link : ") +
                           kSupportArticle,
                       platform::vbInformation, QStringLiteral("Outlook Error"));
        }
        return result;
    }

    startReport(result);
    buildFolderTree(entryId, result);
    importLoop(store, queue, result);
    guard.loopDisabledImport = result.record.filesDone() > 0;
    finish(store, result);
    if (policy_.summaryBox) showSummary(result);
    return result;
}

// The store under `path`, or under the first free name after it: "<name> (2).pst", "(3)", ...
// Each name is taken without ever replacing a file (or following a link) that has it.
std::shared_ptr<Store> ImportRun::attachNewStore(const QString& path, RunResult& result) {
    const QString stem = path.endsWith(QStringLiteral(".pst")) ? path.chopped(4) : path;
    const QString suffix = path.mid(stem.size());
    for (int attempt = 1;; ++attempt) {
        const QString candidate = attempt == 1 ? path : QStringLiteral("%1 (%2)%3").arg(stem).arg(attempt).arg(suffix);
        result.storePath = candidate;
        try {
            return state_.session->Stores()->AddPSTStore(utf8(candidate), kStoreFormatDefault,
                                                         utf8(state_.storeDisplayName));
        } catch (const zentra::Error& e) {
            std::error_code ec;
            const bool taken = std::filesystem::symlink_status(QFile::encodeName(candidate).toStdString(), ec).type() !=
                               std::filesystem::file_type::not_found;
            if (!policy_.firstFreeName || e.number() != zentra::kErrStoreCreate || !taken || attempt >= kNameAttempts)
                throw;
        }
    }
}

// The report beside the store, opened with the run's settings. A run without one still goes on:
// the summary says why the report is missing.
void ImportRun::startReport(RunResult& result) {
    try {
        report_ = pipeline::RunReport::createBeside(utf8(result.storePath));
        result.reportPath = QString::fromStdString(report_->path());
        std::vector<std::pair<std::string, std::string>> settings = {
            {"Store", utf8(result.storePath)},
            {"Display name", utf8(state_.storeDisplayName)},
            {"Started", utf8(policy_.clock().toString(Qt::ISODate))},
            {"Files listed", std::to_string(w_.grdFiles1.rows())},
        };
        settings.insert(settings.end(), policy_.reportSettings.begin(), policy_.reportSettings.end());
        report_->settings(settings);
    } catch (const zentra::Error& e) {
        result.reportError = e;
    }
}

void ImportRun::buildFolderList() {
    auto& list = state_.folderList;
    auto& grid = w_.grdFiles1;
    const int rows = grid.rows();
    // One entry per run of rows from the same folder, not one per row: a scanned tree lists a
    // folder's files together, so a million files in 10,000 folders sort as 10,000 entries. The
    // sorted, compacted list is the same either way.
    list.clear();
    for (int i = 0; i < rows; ++i) {
        grid.setRow(i);
        grid.setCol(0);
        QString folder = sourceFolderOf(i, grid.text());
        if (list.empty() || list.back() != folder) list.push_back(std::move(folder));
    }
    list.push_back(QString());   // the list's last entry stays empty, as the sorts expect
    modMain::SortStrings(list, 0, static_cast<int>(list.size()) - 2);
    ui_.doEvents();
    modMain::CompactStrings(list);

    // Every folder contributes all its ancestors and itself.
    const size_t upper = list.size() - 1;
    for (size_t i = 0; i <= upper; ++i) {
        const QStringList parts = list[i].split(u'\\');
        QString joined;
        for (qsizetype p = 0; p < parts.size(); ++p) {
            joined = p == 0 ? parts[p] : joined + u'\\' + parts[p];
            list.push_back(joined);
        }
    }
    ui_.doEvents();
    modMain::SortStrings(list, 0, static_cast<int>(list.size()) - 2);
    ui_.doEvents();
    modMain::CompactStrings(list);
}

// A top-level folder: the store again by its entry id, then its top folder's subfolders, and
// the folder added unless one of them has the name already (exact comparison).
void ImportRun::addTopFolder(const QString& folder, const std::string& entryId, RunResult& result) {
    try {
        std::shared_ptr<Store> store = state_.session->Stores()->GetStoreFromID(entryId);
        bool present = false;
        // The collection must outlive the loop: a range-for over *temporary would not keep it.
        const auto children = store->IPMRootFolder()->Folders();
        for (auto child : *children)
            if (child->Name() == utf8(folder)) present = true;
        if (!present) store->IPMRootFolder()->Folders()->Add(utf8(folder), kFolderTypeContacts);
    } catch (const std::exception& e) {
        result.record.folderNotCreated(utf8(folder), asError(e));
    }
}

// From here on every step that fails is skipped, and recorded.
void ImportRun::buildFolderTree(const std::string& entryId, RunResult& result) {
    for (const QString& folder : state_.folderList) {
        const QStringList parts = folder.split(u'\\');
        if (parts.size() == 1) {
            addTopFolder(folder, entryId, result);
            ui_.doEvents();
            continue;
        }
        const QString leaf = parts.last();
        const QString parentPath = folder.left(folder.size() - leaf.size() - 1);
        std::vector<zentra::Error> skipped;
        auto parent = OpenMAPIFolder(components_, u'\\' + state_.storeDisplayName + u'\\' + parentPath, &skipped);
        ui_.doEvents();
        try {
            if (!parent)
                throw skipped.empty() ? zentra::Error(zentra::kErrFolderNotFound, "its parent folder was not found")
                                      : skipped.back();
            parent->Folders()->Add(utf8(leaf), kFolderTypeContacts);
        } catch (const std::exception& e) {
            result.record.folderNotCreated(utf8(folder), asError(e));
        }
        ui_.doEvents();
    }
}

// One file: its folder, a new item there, the file imported into it and saved. Every failure
// lands in the outcome.
pipeline::FileOutcome ImportRun::importFile(const pipeline::SourceFile& file, const QString& folder, RunResult& result) {
    std::shared_ptr<Item> item;
    try {
        if (lastFolderPath_.empty() || folder != lastFolder_) {
            lastFolder_ = folder;
            lastFolderPath_ = utf8(QStringLiteral("\\\\") + state_.storeDisplayName + u'\\' + folder);
        }
        auto target = state_.session->GetFolderFromPath(lastFolderPath_);
        item = target->Items()->Add(kItemTypeContact);
    } catch (const std::exception& e) {
        return failedOutcome(file.path, asError(e));
    }
    item->Observe(progress_.get());
    try {
        item->Import(file, kImportFormatVCard);
    } catch (const std::exception& e) {
        if (!dynamic_cast<const zentra::Error*>(&e)) return failedOutcome(file.path, asError(e));
        // The item's outcome says why; a file that gave no contact leaves nothing to save.
    }
    try {
        item->Save();
    } catch (const std::exception& e) {
        result.record.saveFailed(asError(e));
        if (!dynamic_cast<const zentra::Error*>(&e)) return failedOutcome(file.path, asError(e));
    }
    return item->Outcome();
}

void ImportRun::importLoop(const std::shared_ptr<Store>& store, const pipeline::SharedFileQueue& queue,
                           RunResult& result) {
    auto& grid = w_.grdFiles1;
    const int rows = grid.rows();
    // Reading ahead ends with the loop: nothing is left to read for the summary.
    struct StopReadingAhead {
        Session& session;
        ~StopReadingAhead() { session.ReadAhead(nullptr, kImportFormatVCard); }
    } stopReadingAhead{*state_.session};

    for (int i = 0; i < rows && !stopRequested_; ++i) {
        grid.setRow(i);
        grid.setCol(0);
        ui_.doEvents();
        const pipeline::SourceFile file = queue->file(static_cast<size_t>(i));
        QString folder;
        pipeline::FileOutcome outcome;
        try {
            folder = sourceFolderOf(i, grid.text());
            outcome = importFile(file, folder, result);
        } catch (const std::exception& e) {
            outcome = failedOutcome(file.path, asError(e));
        }
        long long saved = 0, onDisk = 0;
        try {
            saved = store->ItemsSaved();
            onDisk = store->ItemsOnDisk();
        } catch (const std::exception& e) {
            result.record.saveFailed(asError(e));
        }
        if (w_.LblProgessCurrent && outcome.status != pipeline::FileOutcome::Status::Pending) showFileProgress(outcome);
        result.record.fileDone(static_cast<size_t>(i), std::move(outcome), saved, onDisk);

        const int total = grid.rows();
        w_.CmdExtractDBX.setEnabled(false);
        w_.FrameConversion.setCaption(QStringLiteral("Details : Converting - (%1 of %2) file(s)").arg(i + 1).arg(total));
        w_.LblCurrentDBX.setCaption("Importing Contacts... from (" + folder + ")");
        w_.ProgressBar1.setValue(static_cast<float>(static_cast<double>(i + 1) / total * 100.0));
        if (policy_.onFileDone) policy_.onFileDone(i + 1, rows);
    }
}

void ImportRun::finish(const std::shared_ptr<Store>& store, RunResult& result) {
    result.filesListed = w_.grdFiles1.rows();
    ui_.doEvents();
    try {
        store->Remove();
        result.record.storeCompleted();
    } catch (const std::exception& e) {
        result.record.storeFailed(asError(e));
    }
    if (report_) {
        try {
            report_->finish(result.record, static_cast<size_t>(result.filesListed));
        } catch (const zentra::Error& e) {
            result.reportError = e;
        }
        report_.reset();
    }
    ui_.doEvents();
    try {
        state_.session->Logoff();
    } catch (const std::exception& e) {
        // Logging off commits stores still attached; this run's store was detached above, and a
        // failure to detach it is recorded already.
        if (!result.record.storeError()) result.record.storeFailed(asError(e));
    }
    state_.session.reset();
}

// One box at the end of every run that made a store: where the contacts went, how many warnings
// the report holds, and what could not be imported.
void ImportRun::showSummary(const RunResult& result) {
    const pipeline::RunRecord& record = result.record;
    QString text = QStringLiteral("%1 contact(s) from %2 file(s) were imported into\r\n%3\r\n")
                       .arg(record.contacts())
                       .arg(record.filesImported())
                       .arg(result.storePath);
    if (!result.reportPath.isEmpty())
        text += QStringLiteral("\r\n%1 warning(s). The report lists everything in detail:\r\n%2\r\n")
                    .arg(record.warnings())
                    .arg(result.reportPath);
    if (result.reportError)
        text += QStringLiteral("\r\n%1 warning(s). No report: %2\r\n").arg(record.warnings()).arg(describe(*result.reportError));
    if (record.storeError()) {
        text += "\r\nThe contacts file could not be completed:\r\n" + describe(*record.storeError()) +
                "\r\nFiles saved after its last successful save are not in it; they are listed as failed.\r\n";
    }
    const auto& problems = record.problemFiles();
    if (!problems.empty()) {
        text += QStringLiteral("\r\n%1 of %2 files could not be imported (completely):\r\n")
                    .arg(problems.size())
                    .arg(record.filesDone());
        for (size_t i = 0; i < problems.size() && i < kFailuresListed; ++i) {
            const pipeline::FileOutcome& o = problems[i].outcome;
            const QString why = o.status == pipeline::FileOutcome::Status::Failed
                                    ? describe(zentra::Error(o.errorNumber, o.reason))
                                    : shown(pipeline::describeProblem(o));
            text += shown(o.path) + "\r\n    " + why + "\r\n";
        }
        if (problems.size() > kFailuresListed)
            text += QStringLiteral("... and %1 more (see the report).\r\n").arg(problems.size() - kFailuresListed);
    }
    const int notReached = result.filesListed - static_cast<int>(record.filesDone());
    if (notReached > 0) text += QStringLiteral("\r\nThe import was stopped: %1 file(s) were not reached.\r\n").arg(notReached);
    const bool clean = problems.empty() && !record.storeError() && notReached <= 0 && !result.reportError;
    ui_.msgBox(text.trimmed(), clean ? platform::vbInformation : platform::vbExclamation, kAppTitle);
}

}  // namespace importrun
