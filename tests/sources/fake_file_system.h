#pragma once
// File-system doubles for the folder-scan tests.
//
// FakeFileSystem: a folder tree held in memory with a fixed listing order, so a test can state
// the exact order a scan must produce, and use folder paths no test may create (such as "/").
//
// FailingFileSystem: the real file system, except that listing chosen folders raises the
// error a denied or vanished folder would. Tests run as root, which permissions do not stop.
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

#include "sources/file_system.h"
#include "zentra/error.h"

namespace sources::testing {

class FakeFileSystem : public FileSystem {
public:
    // Folder paths are written with their trailing "/". Listing order is the order of calls.
    void addFolder(const QString& folder) { ensure(folder); }
    void addFile(const QString& folder, const QString& name) { ensure(folder).files << name; }
    void addSubfolder(const QString& folder, const QString& name) {
        ensure(folder).subfolders << name;
        ensure(folder + name + "/");
    }
    // A subfolder entry that leads to an existing folder (like a link does).
    void addLink(const QString& folder, const QString& name, const QString& target) {
        ensure(folder).subfolders << name;
        aliases_.insert(folder + name + "/", target);
    }
    void failListing(const QString& folder, long number, const QString& reason) {
        failures_.insert(folder, {number, reason});
    }

    QStringList listed;   // every folder listed, in order ("S:" subfolders, "F:" files)

    bool folderExists(const QString& path) override { return folders_.contains(resolve(slashed(path))); }
    FolderId folderId(const QString& path) override {
        return FolderId{1, static_cast<std::uint64_t>(node(path, false).id)};
    }
    std::vector<Subfolder> subfolders(const QString& path) override {
        listed << "S:" + path;
        std::vector<Subfolder> out;
        for (const QString& name : node(path).subfolders)
            out.push_back({name, folderId(slashed(path) + name + "/")});
        return out;
    }
    QStringList files(const QString& path) override {
        listed << "F:" + path;
        return node(path).files;
    }

private:
    struct Node {
        int id = 0;
        QStringList subfolders, files;
    };
    struct Failure {
        long number;
        QString reason;
    };
    static QString slashed(const QString& p) { return p.endsWith('/') ? p : p + "/"; }
    QString resolve(const QString& p) const { return aliases_.value(p, p); }
    Node& ensure(const QString& folder) {
        auto it = folders_.find(folder);
        if (it == folders_.end()) it = folders_.insert(folder, Node{static_cast<int>(folders_.size()) + 1, {}, {}});
        return *it;
    }
    Node& node(const QString& path, bool listing = true) {
        const QString key = slashed(path);
        if (listing && failures_.contains(key)) {
            const Failure& f = failures_[key];
            throw zentra::Error(f.number, f.reason.toStdString()).withContext("cannot list the folder " + path.toStdString());
        }
        auto it = folders_.find(resolve(key));
        if (it == folders_.end())
            throw zentra::Error(zentra::kErrPathNotFound, "No such file or directory")
                .withContext("cannot list the folder " + path.toStdString());
        return *it;
    }

    QMap<QString, Node> folders_;
    QMap<QString, QString> aliases_;
    QMap<QString, Failure> failures_;
};

class FailingFileSystem : public StdFileSystem {
public:
    // Listing `folder` (written as the scan writes it, with its trailing "/") raises.
    void failListing(const QString& folder, long number, const QString& reason) { failing_[folder] = {number, reason}; }

    std::vector<Subfolder> subfolders(const QString& path) override {
        check(path);
        return StdFileSystem::subfolders(path);
    }
    QStringList files(const QString& path) override {
        check(path);
        return StdFileSystem::files(path);
    }

private:
    struct Failure {
        long number;
        QString reason;
    };
    void check(const QString& path) {
        auto it = failing_.find(path);
        if (it != failing_.end())
            throw zentra::Error(it->number, it->reason.toStdString())
                .withContext("cannot list the folder " + path.toStdString());
    }
    QMap<QString, Failure> failing_;
};

}  // namespace sources::testing
