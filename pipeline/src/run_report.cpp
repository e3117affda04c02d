#include "pipeline/run_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zentra/application_title.h"
#include "zentra/error.h"
#include "zentra/path_list.h"

namespace pipeline {
namespace {

constexpr int kNameAttempts = 1000;

std::string shown(const std::string& text) { return zentra::readablePath(text); }

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::unique_ptr<RunReport> RunReport::createBeside(const std::string& storePath) {
    const bool pst = storePath.size() > 4 && storePath.compare(storePath.size() - 4, 4, ".pst") == 0;
    const std::string stem = pst ? storePath.substr(0, storePath.size() - 4) : storePath;
    int err = 0;
    for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
        const std::string path = attempt == 1 ? stem + ".txt" : stem + " (" + std::to_string(attempt) + ").txt";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            std::FILE* file = ::fdopen(fd, "w");
            if (!file) {
                err = errno;
                ::close(fd);
                ::unlink(path.c_str());
                break;
            }
            return std::unique_ptr<RunReport>(new RunReport(file, path));
        }
        err = errno;
        if (err != EEXIST) break;
    }
    throw zentra::Error(zentra::kErrPermissionDenied,
                        "the report beside " + shown(storePath) + " could not be created: " + std::strerror(err));
}

RunReport::~RunReport() {
    if (file_) std::fclose(file_);
}

void RunReport::line(const std::string& text) {
    if (std::fputs(text.c_str(), file_) < 0 || std::fputc('\n', file_) == EOF) failed_ = true;
}

void RunReport::settings(const std::vector<std::pair<std::string, std::string>>& lines) {
    line(std::string(zentra::kApplicationTitle) + " - import report");
    line("");
    for (const auto& [name, value] : lines) line(name + ": " + value);
}

void RunReport::warning(const FileOutcome& file, const FileWarning& w) {
    if (!warned_) {
        line("");
        line("Warnings");
        warned_ = true;
    }
    if (file.path != lastWarnedFile_) {
        line(shown(file.path));
        lastWarnedFile_ = file.path;
    }
    line("    " + shown(describe(w)));
}

void RunReport::finish(const RunRecord& record, std::size_t filesListed) {
    if (!record.problemFiles().empty()) {
        line("");
        line("Files not imported, or not completely");
        for (const RunRecord::FileEntry& f : record.problemFiles()) {
            line(shown(f.outcome.path));
            const std::string why = f.outcome.status == FileOutcome::Status::Failed
                                        ? std::to_string(f.outcome.errorNumber) + ":" + f.outcome.reason
                                        : describeProblem(f.outcome);
            line("    " + shown(why));
            if (f.outcome.contactsStored != 0 && f.outcome.status == FileOutcome::Status::Failed)
                line("    " + plural(f.outcome.contactsStored, "contact", "contacts") + " of it stored before that");
        }
    }
    if (!record.foldersNotCreated().empty()) {
        line("");
        line("Folders not created");
        for (const RunRecord::FolderEntry& f : record.foldersNotCreated())
            line(shown(f.folder) + ": " + std::to_string(f.error.number()) + ":" + shown(f.error.description()));
    }
    if (record.storeError()) {
        line("");
        line("The contacts file could not be completed: " + std::to_string(record.storeError()->number()) + ":" +
             shown(record.storeError()->description()));
    }
    line("");
    line("Totals");
    line("Files: " + std::to_string(filesListed) + " listed, " + std::to_string(record.filesImported()) +
         " imported, " + std::to_string(record.failedFiles()) + " failed" +
         (record.cutShort() ? ", 1 cut short" : "") +
         (record.filesDone() < filesListed ? ", " + std::to_string(filesListed - record.filesDone()) + " not reached" : ""));
    line("Contacts: " + std::to_string(record.contacts()));
    line("Warnings: " + std::to_string(record.warnings()));
    if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0 || failed_)
        throw zentra::Error(zentra::kErrDeviceIO, "the report " + shown(path_) + " could not be written completely");
}

}  // namespace pipeline
