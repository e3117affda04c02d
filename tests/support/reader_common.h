#pragma once
// Pieces every reader adapter shares: a scratch directory, text helpers, and turning a failed
// run into a view that says what went wrong.
#include <filesystem>
#include <string>
#include <vector>

#include "readers.h"

namespace zentra::readers {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string trim(const std::string& s);
std::vector<std::string> splitLines(const std::string& s);
bool startsWith(const std::string& s, const std::string& prefix);
std::string fileText(const std::filesystem::path& p);

// Fills in ok/error from a finished run: a timeout, a crash or a non-zero exit is a failure.
bool acceptRun(ReaderView& view, const ProcessResult& run, const std::string& what);

// Display names Outlook and this project give the IPM subtree; used where a reader shows
// names but not node ids.
bool isIpmSubtreeName(const std::string& name);

// Sets ipmPath/underIpmSubtree from `path` once the subtree's own path is known.
void assignIpmPaths(ReaderView& view, const std::string& subtreePath);

std::string supportDir();

}  // namespace zentra::readers
