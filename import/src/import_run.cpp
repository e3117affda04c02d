#include "import/import_run.h"

#include <algorithm>

#include <QDir>
#include <QStringList>

#include "import/open_mapi_folder.h"
#include "import/source_folder.h"
#include "mailstore/import_read_ahead.h"
#include "mailstore/import_report.h"
#include "platform/component_registry.h"
#include "sources/add_commands.h"
#include "zentra/error.h"

namespace importrun {

using zentra::mailstore::Folder;
using zentra::mailstore::Item;
using zentra::mailstore::Session;
using zentra::mailstore::Store;

const char* const kSupportArticle =
    "https://support.microsoft.com/office/create-an-outlook-data-file-pst-to-save-your-information-"
    "17a13ca2-df52-48e8-b933-4c84c2aabe7c";

namespace {

const QString kAppTitle = QStringLiteral("Zentra vCard Importer");
constexpr long kStoreFormat = 1;
constexpr long kContactsFolder = 10;
constexpr long kContactItem = 2;
constexpr long kVCardFormat = 6;
constexpr size_t kFailuresListed = 5;

std::string utf8(const QString& s) { return s.toStdString(); }

QString describe(const std::exception& e) {
    if (auto* err = dynamic_cast<const zentra::Error*>(&e))
        return QString::number(err->number()) + ":" + QString::fromStdString(err->description());
    return QString::fromUtf8(e.what());
}

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

}  // namespace

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
                     RunPolicy policy)
    : ui_(ui), owner_(owner), w_(std::move(widgets)), state_(state), policy_(std::move(policy)) {}

QString ImportRun::sourceFolderOf(const QString& cellText) const {
    if (policy_.sourceFolder) return policy_.sourceFolder(cellText);
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

RunResult ImportRun::CmdExtractDBX_Click() {
    RunResult result;
    if (running_) return result;
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
    ui_.doEvents();

    std::shared_ptr<Store> store;
    std::string entryId;
    bool attaching = false;
    try {
        state_.session = platform::createObject<Session>("Redemption.RDOSession");
        state_.session->Logon();
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
        store = state_.session->Stores()->AddPSTStore(utf8(path), kStoreFormat, utf8(state_.storeDisplayName));
        attaching = false;
        result.storeCreated = true;
        entryId = store->EntryID();
        buildFolderList();
    } catch (const std::exception& e) {
        auto* err = dynamic_cast<const zentra::Error*>(&e);
        if (attaching && err && isStoreFileError(err->number())) {
            ui_.msgBox("The contacts file could not be created:\r\n" + result.storePath + "\r\n" + describe(e),
                       platform::vbExclamation, kAppTitle);
        } else {
            ui_.msgBox(QStringLiteral("Outlook Session Creation Error !\r\n"
                                      "Check if Outlook is installed and configured.\r\n"
                                      "For more details visit this link : ") +
                           kSupportArticle,
                       platform::vbInformation, QStringLiteral("Outlook Error"));
        }
        result.setupFailed = true;
        return result;
    }

    buildFolderTree(entryId);
    importLoop(store, result);
    guard.loopDisabledImport = result.filesDone > 0;
    finish(store, result);
    reportFailures(result);
    return result;
}

void ImportRun::buildFolderList() {
    auto& list = state_.folderList;
    auto& grid = w_.grdFiles1;
    const int rows = grid.rows();
    list.assign(static_cast<size_t>(rows) + 1, QString());
    for (int i = 0; i < rows; ++i) {
        grid.setRow(i);
        grid.setCol(0);
        list[static_cast<size_t>(i)] = sourceFolderOf(grid.text());
    }
    modMain::SortStrings(list, 0, rows - 1);
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

// From here on every step that fails is skipped.
void ImportRun::buildFolderTree(const std::string& entryId) {
    auto& session = state_.session;
    for (const QString& folder : state_.folderList) {
        const QStringList parts = folder.split(u'\\');
        if (parts.size() == 1) {
            std::shared_ptr<Store> store;
            try {
                store = session->Stores()->GetStoreFromID(entryId);
            } catch (...) {
            }
            bool present = false;
            try {
                // The collection must outlive the loop: a range-for over *temporary would not keep it.
                const auto children = store->IPMRootFolder()->Folders();
                for (auto child : *children)
                    if (child->Name() == utf8(folder)) present = true;
            } catch (...) {
            }
            if (!present) {
                try {
                    store->IPMRootFolder()->Folders()->Add(utf8(folder), kContactsFolder);
                } catch (...) {
                }
            }
            ui_.doEvents();
        } else {
            const QString leaf = parts.last();
            const QString parentPath = folder.left(folder.size() - leaf.size() - 1);
            auto parent = OpenMAPIFolder(u'\\' + state_.storeDisplayName + u'\\' + parentPath);
            ui_.doEvents();
            try {
                if (parent) parent->Folders()->Add(utf8(leaf), kContactsFolder);
            } catch (...) {
            }
            ui_.doEvents();
        }
    }
}

void ImportRun::noteSaved(int row, const QString& path, long contacts) {
    if (!counts_) return;
    unsaved_.push_back({row, path, contacts, counts_->ItemsSaved()});
    const long long onDisk = counts_->ItemsOnDisk();
    size_t durable = 0;
    while (durable < unsaved_.size() && unsaved_[durable].itemsAfter <= onDisk) ++durable;
    unsaved_.erase(unsaved_.begin(), unsaved_.begin() + static_cast<std::ptrdiff_t>(durable));
}

// The store could not be completed: the files saved after its last successful save are not in
// the file, so they are failures, and their contacts are not counted.
void ImportRun::dropUnsaved(RunResult& result) {
    const QString reason = firstSaveFailure_.isEmpty() ? result.storeError : firstSaveFailure_;
    for (const Unsaved& u : unsaved_) {
        result.contacts -= u.contacts;
        result.failures.push_back({u.row, u.path, "its contacts were lost when the contacts file could not be saved: " + reason});
    }
    std::sort(result.failures.begin(), result.failures.end(),
              [](const FileFailure& a, const FileFailure& b) { return a.row < b.row; });
    unsaved_.clear();
}

void ImportRun::importLoop(const std::shared_ptr<Store>& store, RunResult& result) {
    auto& grid = w_.grdFiles1;
    const int rows = grid.rows();
    counts_ = dynamic_cast<zentra::mailstore::StoreItemCounts*>(store.get());
    unsaved_.clear();
    firstSaveFailure_.clear();
    // The session may read the files ahead on another thread while this loop stores them.
    auto* readAhead = dynamic_cast<zentra::mailstore::ImportReadAhead*>(state_.session.get());
    if (readAhead) {
        std::vector<std::string> paths;
        paths.reserve(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i) {
            grid.setRow(i);
            grid.setCol(0);
            paths.push_back(utf8(TrimSpaces(grid.text())));
        }
        readAhead->ReadAhead(std::move(paths), kVCardFormat);
    }
    struct StopReadingAhead {
        zentra::mailstore::ImportReadAhead* readAhead;
        ~StopReadingAhead() {
            if (readAhead) readAhead->ReadAhead({}, kVCardFormat);
        }
    } stopReadingAhead{readAhead};
    for (int i = 0; i < rows && !stopRequested_; ++i) {
        grid.setRow(i);
        grid.setCol(0);
        ui_.doEvents();
        const QString text = grid.text();
        QString folder;
        QString failure;
        try {
            folder = sourceFolderOf(text);
        } catch (const std::exception& e) {
            failure = describe(e);
        }

        std::shared_ptr<Item> item;
        try {
            auto target = state_.session->GetFolderFromPath(
                utf8(QStringLiteral("\\\\") + state_.storeDisplayName + u'\\' + folder));
            item = target->Items()->Add(kContactItem);
        } catch (const std::exception& e) {
            if (failure.isEmpty()) failure = describe(e);
        }
        if (item) {
            try {
                item->Import(utf8(TrimSpaces(text)), kVCardFormat);
            } catch (const std::exception& e) {
                failure = describe(e);
            }
            bool saved = false;
            try {
                item->Save();
                saved = true;
            } catch (const std::exception& e) {
                if (failure.isEmpty()) failure = describe(e);
                if (firstSaveFailure_.isEmpty()) firstSaveFailure_ = describe(e);
            }
            long contacts = 0;
            if (auto* report = dynamic_cast<zentra::mailstore::ImportReport*>(item.get()); report && saved) {
                contacts = report->ContactCount();
                result.contacts += contacts;
                result.warnings += static_cast<long>(report->Warnings().size());
            }
            if (saved && failure.isEmpty()) noteSaved(i, text, contacts);
        }
        item.reset();

        const int total = grid.rows();
        w_.CmdExtractDBX.setEnabled(false);
        w_.FrameConversion.setCaption(QStringLiteral("Details : Converting - (%1 of %2) file(s)").arg(i + 1).arg(total));
        w_.LblCurrentDBX.setCaption("Importing Contacts... from (" + folder + ")");
        w_.ProgressBar1.setValue(static_cast<float>(static_cast<double>(i + 1) / total * 100.0));
        ++result.filesDone;
        if (!failure.isEmpty()) result.failures.push_back({i, text, failure});
        if (policy_.onFileDone) policy_.onFileDone(i + 1, rows);
    }
}

void ImportRun::finish(const std::shared_ptr<Store>& store, RunResult& result) {
    ui_.doEvents();
    try {
        store->Remove();
        unsaved_.clear();   // the final save holds them all
    } catch (const std::exception& e) {
        result.storeError = describe(e);
        dropUnsaved(result);
    }
    counts_ = nullptr;
    ui_.doEvents();
    try {
        state_.session->Logoff();
    } catch (...) {
    }
    state_.session.reset();
}

void ImportRun::reportFailures(const RunResult& result) {
    if (!result.storeError.isEmpty()) {
        ui_.msgBox("The contacts file could not be completed:\r\n" + result.storePath + "\r\n" + result.storeError,
                   platform::vbExclamation, kAppTitle);
    }
    if (result.failures.empty()) return;
    QString text = QStringLiteral("%1 of %2 files could not be imported into\r\n%3\r\n")
                       .arg(result.failures.size())
                       .arg(result.filesDone)
                       .arg(result.storePath);
    for (size_t i = 0; i < result.failures.size() && i < kFailuresListed; ++i)
        text += "\r\n" + result.failures[i].path + "\r\n    " + result.failures[i].reason;
    if (result.failures.size() > kFailuresListed)
        text += QStringLiteral("\r\n... and %1 more.").arg(result.failures.size() - kFailuresListed);
    ui_.msgBox(text, platform::vbExclamation, kAppTitle);
}

}  // namespace importrun
