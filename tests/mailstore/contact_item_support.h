#pragma once
// Helpers of the contact-item tests: the test vCards, a scratch directory, and reading the
// contacts of a folder back from a written (or copied) store file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mailstore/profile.h"
#include "messaging_support.h"
#include "pst/messaging/name_to_id_map.h"
#include "pstcheck/checker.h"
#include "zentra/error.h"

namespace contact_item_test {

namespace fs = std::filesystem;

inline fs::path dataFile(const std::string& name) {
    return fs::path(ZENTRA_SOURCE_DIR) / "tests" / "mailstore" / "data" / name;
}

inline std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A fresh directory per test below the build tree; kept when the test fails.
class Scratch {
public:
    Scratch() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::path(ZENTRA_BINARY_DIR) / "test-scratch" /
                (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Scratch() {
        if (!::testing::Test::HasFailure()) fs::remove_all(path_);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

template <class F>
long errorNumber(F&& f, std::string* description = nullptr) {
    try {
        f();
    } catch (const zentra::Error& e) {
        if (description) *description = e.description();
        return e.number();
    }
    ADD_FAILURE() << "no error thrown";
    return 0;
}

// A file as a kill between two commits leaves it: the last commit must be a valid store,
// exactly as long as its header says. Space released or written since that commit may still be
// marked used in the allocation maps (a leak, which readers and pstcheck tolerate).
inline void expectValidAsCommitted(const std::string& path) {
    {
        messaging_test::FileNodes file(path);
        pst::readback::VerifyOptions options;
        options.allowAMapLeaks = true;
        EXPECT_EQ(file.reader().verify(options), std::vector<std::string>{}) << path;
    }
    pstcheck::Report report = pstcheck::checkFile(path);
    EXPECT_TRUE(report.clean()) << path << "\n" << report.toText(false);
}

// One stored contact as read back from the file: its NID and property context.
struct StoredMessage {
    pst::Nid nid = 0;
    pst::ltp::PropertyMap pc;
};

// The folder (by name, directly below the IPM subtree) and its contacts in creation order
// (NIDs are handed out in increasing order, and the contents table is sorted by row id).
struct FolderContents {
    pst::Nid folder = 0;
    pst::ltp::TableContents table;
    std::vector<StoredMessage> messages;
};

inline FolderContents readFolder(messaging_test::FileNodes& file, const std::string& name) {
    FolderContents out;
    auto hierarchy = file.table(pst::messaging::hierarchyTableOf(pst::messaging::nid::kIpmSubtree));
    for (const auto& [rowId, cells] : hierarchy.rows) {
        auto it = cells.find(pst::messaging::tag(0x3001, pst::ltp::kPtypString));
        if (it != cells.end() && messaging_test::text(it->second) == name) out.folder = rowId;
    }
    if (out.folder == 0) {
        ADD_FAILURE() << "no folder \"" << name << "\" below the IPM subtree";
        return out;
    }
    out.table = file.table(pst::messaging::contentsTableOf(out.folder));
    for (const auto& row : out.table.rows) out.messages.push_back({row.first, file.pc(row.first)});
    return out;
}

inline pst::messaging::NameToIdMap nameMapOf(messaging_test::FileNodes& file) {
    return pst::messaging::NameToIdMap::fromProperties(file.pc(pst::messaging::nid::kNameToIdMap));
}

// A string property of a stored message, or nullopt.
inline std::optional<std::string> textOf(const pst::ltp::PropertyMap& pc, uint16_t id) {
    auto it = pc.find(id);
    if (it == pc.end() || it->second.type != pst::ltp::kPtypString) return std::nullopt;
    return messaging_test::text(it->second);
}

}  // namespace contact_item_test
