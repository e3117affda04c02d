#pragma once
// The import report: a UTF-8 text file next to the store, with the same base name and ".txt".
// It opens with the run's settings, lists every warning as it comes (file, card, line,
// property), and ends with every file not imported and why, the folders that could not be
// made, whether the store could be completed, and the totals. Paths are written in their
// readable form (bytes that are not UTF-8 and control characters as \xNN).
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pipeline/file_outcome.h"
#include "pipeline/run_record.h"

namespace pipeline {

class RunReport {
public:
    // "<store without .pst>.txt", or the first free "<...> (2).txt", ..., created exclusively
    // (never replacing a file, never following a link). Throws zentra::Error when none can be made.
    static std::unique_ptr<RunReport> createBeside(const std::string& storePath);
    ~RunReport();
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    const std::string& path() const { return path_; }

    // The run's settings, as "name: value" lines at the top.
    void settings(const std::vector<std::pair<std::string, std::string>>& lines);
    void warning(const FileOutcome& file, const FileWarning& warning);
    // The end: files not imported, folders not made, the store's end, totals. Throws
    // zentra::Error when the report cannot be written completely.
    void finish(const RunRecord& record, std::size_t filesListed);

private:
    RunReport(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
    void line(const std::string& text);

    std::FILE* file_;
    std::string path_;
    std::string lastWarnedFile_;
    bool warned_ = false;
    bool failed_ = false;
};

}  // namespace pipeline
