#include "pipeline/run_record.h"

#include <algorithm>

namespace pipeline {

void RunRecord::fileDone(std::size_t row, FileOutcome outcome, long long itemsSaved, long long itemsOnDisk) {
    ++filesDone_;
    contacts_ += outcome.contactsStored;
    warnings_ += outcome.warningCount;
    const bool problem = outcome.status == FileOutcome::Status::Failed || outcome.status == FileOutcome::Status::CutShort;
    if (outcome.contactsStored != 0 && !problem)
        unsaved_.push_back({row, outcome.path, outcome.contactsStored, itemsSaved});
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
    for (const Unsaved& u : unsaved_) {
        contacts_ -= u.contacts;
        FileOutcome lost;
        lost.status = FileOutcome::Status::Failed;
        lost.path = u.path;
        lost.errorNumber = reason.number();
        lost.reason = "its contacts were lost when the contacts file could not be saved: " + reason.description();
        problems_.push_back({u.row, std::move(lost)});
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
