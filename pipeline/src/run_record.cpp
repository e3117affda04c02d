#include "pipeline/run_record.h"

#include <algorithm>

namespace pipeline {

void RunRecord::fileDone(std::size_t row, FileOutcome outcome, long long itemsSaved, long long itemsOnDisk) {
    ++filesDone_;
    contacts_ += outcome.contactsStored;
    warnings_ += outcome.warningCount;
    const bool problem = outcome.status == FileOutcome::Status::Failed || outcome.status == FileOutcome::Status::CutShort;
    lastOnDisk_ = itemsOnDisk;
    if (outcome.contactsStored != 0) unsaved_.push_back({row, outcome.path, outcome.contactsStored, itemsSaved, problem});
    std::size_t durable = 0;
    while (durable < unsaved_.size() && unsaved_[durable].itemsAfter <= itemsOnDisk) ++durable;
    unsaved_.erase(unsaved_.begin(), unsaved_.begin() + static_cast<std::ptrdiff_t>(durable));
    if (problem) {
        // The full list of warnings went to whoever observed the file; keep the count only.
        outcome.warnings.clear();
        outcome.warnings.shrink_to_fit();
        problems_.push_back({row, std::move(outcome)});
    }
}

void RunRecord::saveFailed(const zentra::Error& error) {
    if (!firstSaveFailure_) firstSaveFailure_ = error;
}

void RunRecord::folderNotCreated(std::string folder, const zentra::Error& error) {
    folders_.push_back({std::move(folder), error});
}

void RunRecord::storeFailed(const zentra::Error& error) {
    storeError_ = error;
    const zentra::Error& reason = firstSaveFailure_ ? *firstSaveFailure_ : error;
    const std::string lostReason = "its contacts were lost when the contacts file could not be saved: " + reason.description();
    for (const Unsaved& u : unsaved_) {
        // The store holds what its last good save held: a file may be in it in part.
        const long long before = u.itemsAfter - static_cast<long long>(u.contacts);
        const auto kept = static_cast<std::size_t>(std::clamp(lastOnDisk_ - before, 0LL, static_cast<long long>(u.contacts)));
        const std::size_t lost = u.contacts - kept;
        if (lost == 0) continue;
        contacts_ -= lost;
        if (u.problem) {
            // Already listed (failed or cut short): its count and reason say what else was lost.
            for (FileEntry& e : problems_) {
                if (e.row != u.row) continue;
                e.outcome.contactsStored = kept;
                e.outcome.reason += "; " + lostReason;
            }
            continue;
        }
        FileOutcome lostFile;
        lostFile.status = FileOutcome::Status::Failed;
        lostFile.path = u.path;
        lostFile.contactsStored = kept;
        lostFile.errorNumber = reason.number();
        lostFile.reason = lostReason;
        problems_.push_back({u.row, std::move(lostFile)});
    }
    unsaved_.clear();
    std::stable_sort(problems_.begin(), problems_.end(),
                     [](const FileEntry& a, const FileEntry& b) { return a.row < b.row; });
}

std::size_t RunRecord::failedFiles() const {
    return static_cast<std::size_t>(std::count_if(problems_.begin(), problems_.end(), [](const FileEntry& e) {
        return e.outcome.status == FileOutcome::Status::Failed;
    }));
}

const RunRecord::FileEntry* RunRecord::cutShort() const {
    for (const FileEntry& e : problems_)
        if (e.outcome.status == FileOutcome::Status::CutShort) return &e;
    return nullptr;
}

}  // namespace pipeline
