#pragma once
// File-system doubles for the folder-scan tests.
//
// FakeFileSystem: a folder tree held in memory with a fixed listing order, so a test can state
// the exact order a scan must produce, and use folder paths no test may create (such as "/").
//
// FailingFileSystem: the real file system, except that listing chosen folders raises the
// error a denied or vanished folder would, for the cases no real tree can make.
#include <map>
#include <string>
#include <vector>

#include "sources/file_system.h"
#include "zentra/error.h"

namespace sources::testing {

class FakeFileSystem : public FileSystem {
public:
    // Folder paths are written with their trailing "/". Listing order is the order of calls.
    void addFolder(const std::string& folder) { ensure(folder); }
    void addFile(const std::string& folder, const std::string& name) { ensure(folder).files.push_back(name); }
    void addSubfolder(const std::string& folder, const std::string& name) {
        ensure(folder).subfolders.push_back(name);
        ensure(folder + name + "/");
    }
    // A subfolder entry that leads to an existing folder (like a link does).
    void addLink(const std::string& folder, const std::string& name, const std::string& target) {
        ensure(folder).subfolders.push_back(name);
        aliases_[folder + name + "/"] = target;
    }
    void failListing(const std::string& folder, long number, const std::string& reason) {
        failures_.insert_or_assign(folder, zentra::Error(number, reason));
    }

    std::vector<std::string> listed;   // every folder listed, in order ("S:" subfolders, "F:" files)

    bool folderExists(const std::string& path) override { return folders_.contains(resolve(slashed(path))); }
    FolderId folderId(const std::string& path) override {
        return FolderId{1, static_cast<std::uint64_t>(node(path, false).id)};
    }
    std::vector<Subfolder> subfolders(const std::string& path) override {
        listed.push_back("S:" + path);
        std::vector<Subfolder> out;
        for (const std::string& name : node(path).subfolders)
            out.push_back({name, folderId(slashed(path) + name + "/")});
        return out;
    }
    std::vector<std::string> files(const std::string& path) override {
        listed.push_back("F:" + path);
        return node(path).files;
    }

private:
    struct Node {
        int id = 0;
        std::vector<std::string> subfolders, files;
    };
    static std::string slashed(const std::string& p) { return !p.empty() && p.back() == '/' ? p : p + "/"; }
    std::string resolve(const std::string& p) const {
        auto it = aliases_.find(p);
        return it == aliases_.end() ? p : it->second;
    }
    Node& ensure(const std::string& folder) {
        auto it = folders_.find(folder);
        if (it == folders_.end()) it = folders_.emplace(folder, Node{static_cast<int>(folders_.size()) + 1, {}, {}}).first;
        return it->second;
    }
    Node& node(const std::string& path, bool listing = true) {
        const std::string key = slashed(path);
        if (auto failure = failures_.find(key); listing && failure != failures_.end())
            throw failure->second.withContext("cannot list the folder " + path);
        auto it = folders_.find(resolve(key));
        if (it == folders_.end())
            throw zentra::Error(zentra::kErrPathNotFound, "No such file or directory")
                .withContext("cannot list the folder " + path);
        return it->second;
    }

    std::map<std::string, Node> folders_;
    std::map<std::string, std::string> aliases_;
    std::map<std::string, zentra::Error> failures_;
};

class FailingFileSystem : public StdFileSystem {
public:
    // Listing `folder` (written as the scan writes it, with its trailing "/") raises.
    void failListing(const std::string& folder, long number, const std::string& reason) {
        failing_.insert_or_assign(folder, zentra::Error(number, reason));
    }

    std::vector<Subfolder> subfolders(const std::string& path) override {
        check(path);
        return StdFileSystem::subfolders(path);
    }
    std::vector<std::string> files(const std::string& path) override {
        check(path);
        return StdFileSystem::files(path);
    }

private:
    void check(const std::string& path) {
        if (auto it = failing_.find(path); it != failing_.end())
            throw it->second.withContext("cannot list the folder " + path);
    }
    std::map<std::string, zentra::Error> failing_;
};

}  // namespace sources::testing
