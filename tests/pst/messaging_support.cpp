#include "messaging_support.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <set>

#include "pst/ltp/values.h"
#include "pst/core/le_codec.h"
#include "pstcheck/checker.h"
#include "readers.h"

namespace messaging_test {

uint64_t FileNodes::dataTreeSize(pst::Bid root) {
    if (root == 0) return 0;
    const auto& blocks = reader().blocks();
    auto it = blocks.find(root);
    if (it == blocks.end()) throw zentra::Error(zentra::kErrStoreCorrupt, "no block " + std::to_string(root));
    uint64_t total = it->second.cb;
    if ((root & 2) == 0) return total;
    for (const auto& leaf : reader().readBlocks(root)) total += leaf.size();   // one XBLOCK level
    return total;
}

uint64_t FileNodes::subnodeTreeSize(pst::Bid root) {
    if (root == 0) return 0;
    auto it = reader().blocks().find(root);
    if (it == reader().blocks().end()) throw zentra::Error(zentra::kErrStoreCorrupt, "no block " + std::to_string(root));
    uint64_t total = it->second.cb;
    for (const auto& e : reader().readSubnodeTree(root)) total += dataTreeSize(e.data) + subnodeTreeSize(e.subnodes);
    return total;
}

pst::ltp::PropertyMap FileNodes::pc(pst::Nid nid) {
    auto node = findNode(nid);
    if (!node) throw zentra::Error(zentra::kErrStoreCorrupt, "missing node " + std::to_string(nid));
    return pst::ltp::readPropertyContext(*this, node->data, node->subnodes);
}

pst::ltp::TableContents FileNodes::table(pst::Nid nid) {
    auto node = findNode(nid);
    if (!node) throw zentra::Error(zentra::kErrStoreCorrupt, "missing node " + std::to_string(nid));
    return pst::ltp::readTableContext(*this, node->data, node->subnodes);
}

std::string text(const pst::ltp::Value& v) { return pst::ltp::utf8FromUtf16le(v.bytes); }

int32_t int32(const pst::ltp::Value& v) {
    EXPECT_EQ(v.bytes.size(), 4u);
    return v.bytes.size() == 4 ? static_cast<int32_t>(pst::core::readLe32(v.bytes, 0)) : 0;
}

std::vector<uint32_t> columnTags(const pst::ltp::TableContents& t) { return columnTags(t.columns); }

std::vector<uint32_t> columnTags(const std::vector<pst::ltp::Column>& columns) {
    std::vector<uint32_t> tags;
    for (const auto& c : columns) tags.push_back(c.tag);
    std::sort(tags.begin(), tags.end());
    return tags;
}

std::vector<uint32_t> rowIds(const pst::ltp::TableContents& t) {
    std::vector<uint32_t> ids;
    for (const auto& [id, cells] : t.rows) ids.push_back(id);
    return ids;
}

const pst::ltp::Value* cell(const pst::ltp::TableContents& t, uint32_t rowId, uint32_t tag) {
    for (const auto& [id, cells] : t.rows) {
        if (id != rowId) continue;
        auto it = cells.find(tag);
        return it == cells.end() ? nullptr : &it->second;
    }
    return nullptr;
}

pst::messaging::StoreUid fixedUid() {
    return {0x53, 0x66, 0xE7, 0xDD, 0x90, 0x0F, 0xB7, 0x4D, 0xB6, 0xE1, 0x30, 0xCE, 0xDF, 0x3B, 0xC0, 0x77};
}

}  // namespace messaging_test

namespace messaging_test {
namespace {

constexpr uint32_t kNameTag = 0x3001001F;
constexpr uint32_t kClassTag = 0x3613001F;

void collectTree(FileNodes& file, pst::Nid folder, const std::string& prefix, FolderTree& out) {
    for (const auto& [rowId, cells] : file.table(pst::messaging::hierarchyTableOf(folder)).rows) {
        auto name = cells.find(kNameTag);
        auto cls = cells.find(kClassTag);
        std::string path = prefix + (name == cells.end() ? std::string() : text(name->second));
        out[path] = cls == cells.end() ? std::string() : text(cls->second);
        collectTree(file, rowId, path + "/", out);
    }
}

// libpst lists only folders that hold something, and names them without their path, so it is
// held to the names it processed; the libpff readers and pst-extractor must show the whole tree.
void expectReadersAgree(const std::string& path, const FolderTree& tree, const std::string& storeName,
                        bool carveUnallocated) {
    std::set<std::string> wantPaths;
    std::multiset<std::string> wantNames;
    for (const auto& [p, cls] : tree) {
        wantPaths.insert(p);
        wantNames.insert(p.substr(p.rfind('/') + 1));
    }
    zentra::readers::ReaderOptions options;
    options.timeout = std::chrono::seconds(60);   // pst-extractor can hang on a file it misreads
    options.carveUnallocated = carveUnallocated;
    int ran = 0;
    for (const zentra::readers::ReaderView& view : zentra::readers::readWithAll(path, options)) {
        SCOPED_TRACE(view.reader + " reading " + path);
        if (view.skipped) {
            std::cout << "[ SKIPPED  ] " << view.reader << ": " << view.error << "\n";
            continue;
        }
        ++ran;
        ASSERT_TRUE(view.ok) << view.error << "\n" << view.output.substr(0, 3000);
        if (view.reader == "libpst") {
            for (const auto& name : view.folderNames)
                EXPECT_TRUE(wantNames.count(name) || name == "Top of Personal Folders" || name == storeName ||
                            name == "Search Root" || name == "SPAM Search Folder 2")
                    << "libpst shows an unexpected folder " << name;
            EXPECT_TRUE(view.warnings.empty()) << ::testing::PrintToString(view.warnings);
            continue;
        }
        std::vector<std::string> paths = view.ipmPaths();
        std::set<std::string> got(paths.begin(), paths.end());
        got.erase("");
        EXPECT_EQ(got, wantPaths);
        for (const auto& [p, cls] : tree) {
            const zentra::readers::FolderView* f = view.folderAt(p);
            if (!f) continue;   // already reported by the set comparison
            if (f->containerClass) {
                EXPECT_EQ(*f->containerClass, cls) << p;
            }
            if (f->contentCount) {
                EXPECT_EQ(*f->contentCount, static_cast<long>(f->itemCount)) << p;
            }
        }
        if (!view.storeName.empty()) {
            EXPECT_EQ(view.storeName, storeName);
        }
    }
    // libpst, libpff and pypff come with the set-up's Debian packages; only pst-extractor (npm)
    // may be missing on a fresh machine.
    EXPECT_GE(ran, 3) << "the readers did not run on " << path;
}

}  // namespace

FolderTree ipmTreeOf(FileNodes& file) {
    FolderTree tree;
    collectTree(file, pst::messaging::nid::kIpmSubtree, "", tree);
    return tree;
}

void expectStructurallySound(const std::string& path) {
    {
        FileNodes file(path);
        EXPECT_EQ(file.reader().verify(), std::vector<std::string>{}) << path;
    }
    pstcheck::Report report = pstcheck::checkFile(path);
    EXPECT_TRUE(report.clean()) << path << "\n" << report.toText(false);
}

void expectSoundEverywhere(const std::string& path, bool carveUnallocated) {
    FolderTree tree;
    std::string storeName;
    {
        FileNodes file(path);
        EXPECT_EQ(file.reader().verify(), std::vector<std::string>{}) << path;
        tree = ipmTreeOf(file);
        storeName = text(file.pc(pst::messaging::nid::kMessageStore).at(mapi::PidTagDisplayName.id));
    }
    pstcheck::Report report = pstcheck::checkFile(path);
    EXPECT_TRUE(report.clean()) << path << "\n" << report.toText(false);
    expectReadersAgree(path, tree, storeName, carveUnallocated);
}

}  // namespace messaging_test
