#pragma once
// Helpers for the node-database tests: a scratch directory, a FileSeam that counts and fails
// writes on request, and small builders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pst/ndb/node_database.h"
#include "store_reader.h"
#include "zentra/error.h"

namespace ndbtest {

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zentra-ndb-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Wraps a real file; counts every call and can make the n-th write (or sync) fail.
struct FaultPlan {
    long writes = 0;
    long pageWrites = 0;   // writes of exactly 512 bytes
    long syncs = 0;
    long failAtWrite = -1;   // 1-based write number that fails, -1 never
    long failAtSync = -1;
    long errorNumber = zentra::kErrStoreWrite;
};

class FaultyFile final : public pst::ndb::FileSeam {
public:
    FaultyFile(std::unique_ptr<pst::ndb::FileSeam> inner, std::shared_ptr<FaultPlan> plan)
        : inner_(std::move(inner)), plan_(std::move(plan)) {}
    void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
        ++plan_->writes;
        if (bytes.size() == 512) ++plan_->pageWrites;
        if (plan_->writes == plan_->failAtWrite) throw zentra::Error(plan_->errorNumber, "injected write failure");
        inner_->writeAt(offset, bytes);
    }
    void readAt(uint64_t offset, std::span<uint8_t> bytes) override { inner_->readAt(offset, bytes); }
    void truncate(uint64_t size) override { inner_->truncate(size); }
    void sync() override {
        ++plan_->syncs;
        if (plan_->syncs == plan_->failAtSync) throw zentra::Error(zentra::kErrStoreWrite, "injected sync failure");
        inner_->sync();
    }
    uint64_t size() override { return inner_->size(); }
    void publish() override { inner_->publish(); }
    void abandon() override { inner_->abandon(); }

private:
    std::unique_ptr<pst::ndb::FileSeam> inner_;
    std::shared_ptr<FaultPlan> plan_;
};

inline pst::ndb::Options faultyOptions(std::shared_ptr<FaultPlan> plan,
                                       pst::ndb::Encoding encoding = pst::ndb::Encoding::Permute) {
    pst::ndb::Options o;
    o.encoding = encoding;
    o.openFile = [plan](const std::string& path) {
        return std::make_unique<FaultyFile>(pst::ndb::createPosixFile(path), plan);
    };
    return o;
}

inline std::vector<uint8_t> pattern(size_t n, uint32_t salt) {
    std::vector<uint8_t> v(n);
    uint32_t x = salt * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return v;
}

// Nodes and the data each one should read back.
struct Expected {
    std::map<pst::Nid, std::vector<uint8_t>> data;
};

inline void putWithData(pst::ndb::NodeDatabase& db, Expected& e, pst::Nid nid, std::vector<uint8_t> bytes) {
    db.putNode(nid, db.writeData(bytes), 0, 0);
    e.data[nid] = std::move(bytes);
}

inline std::string joinProblems(const std::vector<std::string>& problems) {
    std::string s;
    for (size_t i = 0; i < problems.size() && i < 20; ++i) s += "  " + problems[i] + "\n";
    return s;
}

inline pst::readback::VerifyOptions leaksAllowed() {
    pst::readback::VerifyOptions o;
    o.allowAMapLeaks = true;
    return o;
}

// The file holds exactly these nodes, each reading back its data, and our reader finds no
// structural problem.
inline void expectStoreHolds(const std::string& path, const Expected& e,
                             const pst::readback::VerifyOptions& options = {}) {
    pst::readback::StoreReader reader(path);
    ASSERT_EQ(reader.nodes().size(), e.data.size()) << path;
    for (const auto& [nid, bytes] : e.data) {
        ASSERT_TRUE(reader.nodes().count(nid)) << nid;
        EXPECT_EQ(reader.readData(reader.nodes().at(nid).data), bytes) << nid;
    }
    const auto problems = reader.verify(options);
    EXPECT_TRUE(problems.empty()) << path << "\n" << joinProblems(problems);
}

// The file is a sound store: our reader finds no structural problem.
#define EXPECT_STORE_SOUND(path, ...)                                          \
    do {                                                                       \
        pst::readback::StoreReader reader_(path);                                   \
        const auto problems_ = reader_.verify(__VA_ARGS__);                    \
        EXPECT_TRUE(problems_.empty()) << ndbtest::joinProblems(problems_);   \
    } while (0)

}  // namespace ndbtest
