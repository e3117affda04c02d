#pragma once
// Helpers of the messaging tests: a scratch directory per test, and a read-only node database
// over a written file (the node database's own reader), so the LTP readers can parse what
// actually reached the disk after the store was closed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "pst/ltp/ltp.h"
#include "pst/messaging/property_tags.h"
#include "pst/messaging/store.h"
#include "store_file_view.h"
#include "zentra/error.h"

namespace messaging_test {

namespace fs = std::filesystem;

// A fresh directory below the build tree, removed when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::path(ZENTRA_BINARY_DIR) / "test-scratch" /
                (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        if (!::testing::Test::HasFailure()) fs::remove_all(path_);   // keep failures for inspection
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// Read access to a closed store file through the NodeDatabase interface, with the LTP readers
// at hand.
class FileNodes final : public pst::readback::FileView {
public:
    using FileView::FileView;

    // Bytes a tree occupies as stored (sum of cb of its blocks), computed from the file's BBT:
    // data trees of one block or one XBLOCK level, subnode trees of one SLBLOCK level.
    uint64_t dataTreeSize(pst::Bid root);
    uint64_t subnodeTreeSize(pst::Bid root);

    pst::ltp::PropertyMap pc(pst::Nid nid);
    pst::ltp::TableContents table(pst::Nid nid);
};

std::string text(const pst::ltp::Value& v);          // a PtypString value as UTF-8
int32_t int32(const pst::ltp::Value& v);
std::vector<uint32_t> columnTags(const pst::ltp::TableContents& t);
std::vector<uint32_t> columnTags(const std::vector<pst::ltp::Column>& columns);
std::vector<uint32_t> rowIds(const pst::ltp::TableContents& t);
// The cell of a row, or nullptr.
const pst::ltp::Value* cell(const pst::ltp::TableContents& t, uint32_t rowId, uint32_t tag);

pst::messaging::StoreUid fixedUid();

// The folders below the IPM subtree as the file's own hierarchy tables list them:
// "Users/ann" -> container class ("" when none).
using FolderTree = std::map<std::string, std::string>;
FolderTree ipmTreeOf(FileNodes& file);

// Every check a written store must pass: the node database's verifier, pstcheck, and the four
// independent readers, which must show the tree the file's own tables list (names, container
// classes, item counts) and the store's display name. Readers are judged by what they print.
// carveUnallocated: see zentra::readers::ReaderOptions.
void expectSoundEverywhere(const std::string& path, bool carveUnallocated = true);
// The structural part alone (verifier and pstcheck), for files the readers cannot export: pffexport
// names directories after folders, so a folder name beyond 255 bytes cannot be exported.
void expectStructurallySound(const std::string& path);

}  // namespace messaging_test
