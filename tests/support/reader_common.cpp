#include "reader_common.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zentra::readers {

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zentra-readers-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a scratch directory");
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

std::string fileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool acceptRun(ReaderView& view, const ProcessResult& run, const std::string& what) {
    view.output += run.out + run.err;
    if (run.timedOut) {
        view.error = what + " did not finish in time";
        return false;
    }
    if (run.exitCode != 0) {
        std::string msg = trim(run.err.empty() ? run.out : run.err);
        if (msg.size() > 2000) msg = msg.substr(0, 2000) + "...";
        view.error = what + " failed (exit " + std::to_string(run.exitCode) + "): " + msg;
        return false;
    }
    return true;
}

bool isIpmSubtreeName(const std::string& name) {
    return name == "Top of Personal Folders" || name == "Top of Outlook data file" || name == "Top of Information Store";
}

void assignIpmPaths(ReaderView& view, const std::string& subtreePath) {
    for (auto& f : view.folders) {
        if (f.path == subtreePath) {
            f.underIpmSubtree = true;
            f.ipmPath.clear();
        } else if (startsWith(f.path, subtreePath + "/")) {
            f.underIpmSubtree = true;
            f.ipmPath = f.path.substr(subtreePath.size() + 1);
        }
    }
}

std::string supportDir() { return ZENTRA_TEST_SUPPORT_DIR; }

const FolderView* ReaderView::folderAt(const std::string& ipmPath) const {
    for (const auto& f : folders)
        if (f.underIpmSubtree && f.ipmPath == ipmPath) return &f;
    return nullptr;
}

std::vector<std::string> ReaderView::ipmPaths() const {
    std::vector<std::string> out;
    for (const auto& f : folders)
        if (f.underIpmSubtree) out.push_back(f.ipmPath);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<ReaderView> readWithAll(const std::string& pstPath, const ReaderOptions& options) {
    return {readWithLibpst(pstPath, options), readWithLibpff(pstPath, options), readWithPypff(pstPath, options),
            readWithPstExtractor(pstPath, options)};
}

}  // namespace zentra::readers
