// Property and table contexts written through the real node database into a file, committed,
// and decoded again both from the database and straight from the file on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"
#include "store_file_view.h"

namespace pst::ltp {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class LtpOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zentra_ltp_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "store.pst").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::string path_;
};

Bytes pattern(size_t n, uint8_t k) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * k + 1);
    return b;
}

PropertyMap folderLikeProperties() {
    PropertyMap props;
    props[0x3001] = stringValue("Top of Personal Folders");
    props[0x3602] = int32Value(1);
    props[0x360A] = boolValue(true);
    props[0x0E08] = int64Value(123456789);
    props[0x3007] = timeValue(mapi::FileTime{0x01DB000000000000ull});
    props[0x8000] = binaryValue(pattern(3580, 3));
    props[0x8001] = binaryValue(pattern(3581, 5));
    props[0x8002] = binaryValue(pattern(30000, 7));
    props[0x8003] = multiStringValue({"alpha", "", "\xC3\xBC"});
    props[0x8004] = multiBinaryValue({pattern(10, 1), pattern(5000, 2)});
    for (uint16_t i = 0; i < 600; ++i) props[static_cast<uint16_t>(0x9000 + i)] = int32Value(i);   // BTH index level
    return props;
}

const std::vector<Column> kColumns = {{0x3001001F}, {0x36020003}, {0x360A000B}, {0x0E080014}, {0x0FFF0102}};

std::map<uint32_t, Value> rowCells(uint32_t i) {
    std::map<uint32_t, Value> c{{0x3001001F, stringValue("row " + std::to_string(i))},
                                {0x36020003, int32Value(static_cast<int32_t>(i))},
                                {0x0E080014, int64Value(int64_t(i) * 1000)}};
    if (i % 2) c[0x360A000B] = boolValue(true);
    if (i == 17) c[0x0FFF0102] = binaryValue(pattern(9000, 11));
    return c;
}

void expectProperties(const PropertyMap& want, const PropertyMap& got) {
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [id, v] : want) {
        ASSERT_TRUE(got.count(id)) << std::hex << id;
        EXPECT_EQ(got.at(id).type, v.type) << std::hex << id;
        EXPECT_EQ(got.at(id).bytes, v.bytes) << std::hex << id;
    }
}

void expectTable(const TableContents& t, uint32_t rows) {
    ASSERT_EQ(t.rows.size(), rows);
    for (uint32_t i = 0; i < rows; ++i) {
        const auto& [rowId, cells] = t.rows[i];
        EXPECT_EQ(rowId, makeNid(kNidTypeNormalMessage, 0x100 + i));
        for (const auto& [tag, v] : rowCells(i)) {
            ASSERT_TRUE(cells.count(tag)) << std::hex << tag << " row " << i;
            EXPECT_EQ(cells.at(tag).bytes, v.bytes) << std::hex << tag << " row " << i;
        }
        EXPECT_EQ(cells.count(0x360A000B), i % 2) << i;
    }
}

// Puts a built node with its subnodes as a top-level node.
void put(ndb::NodeDatabase& db, Nid nid, BuiltNode built) {
    Bid subnodes = db.writeSubnodeTree(std::move(built.subnodes));
    db.putNode(nid, built.data, subnodes, 0);
}

TEST_F(LtpOnDisk, PropertyAndTableContextsSurviveCommitAndReopen) {
    PropertyMap props = folderLikeProperties();
    const Nid pcNid = makeNid(kNidTypeNormalFolder, 0x401);
    const Nid tcNid = makeNid(kNidTypeContentsTable, 0x401);
    {
        auto db = ndb::NodeDatabase::create(path_);
        SubnodeNids pcNids, tcNids;
        put(*db, pcNid, writePropertyContext(*db, props, pcNids));
        Table table(kColumns);
        for (uint32_t i = 0; i < 2000; ++i) table.setRow(makeNid(kNidTypeNormalMessage, 0x100 + i), rowCells(i));
        put(*db, tcNid, table.write(*db, tcNids));

        auto pc = db->findNode(pcNid);
        ASSERT_TRUE(pc);
        expectProperties(props, readPropertyContext(*db, pc->data, pc->subnodes));
        db->close();
    }
    readback::FileView file(path_);
    auto problems = file.reader().verify();
    EXPECT_TRUE(problems.empty()) << problems.front();
    auto pc = file.findNode(pcNid);
    auto tc = file.findNode(tcNid);
    ASSERT_TRUE(pc && tc);
    expectProperties(props, readPropertyContext(file, pc->data, pc->subnodes));
    expectTable(readTableContext(file, tc->data, tc->subnodes), 2000);

    // The heap of the property context spans pages, each its own block of at most 8,176 bytes.
    auto pages = file.readBlocks(pc->data);
    EXPECT_GT(pages.size(), 1u);
    HeapReader heap(pages);
    EXPECT_EQ(readBthHeader(heap, heap.userRoot()).bIdxLevels, 1);
}

TEST_F(LtpOnDisk, RewritingATableAcrossCommitsKeepsReferenceCountsExact) {
    const Nid tcNid = makeNid(kNidTypeContentsTable, 0x402);
    Table table(kColumns);
    for (uint32_t i = 0; i < 300; ++i) table.setRow(makeNid(kNidTypeNormalMessage, 0x100 + i), rowCells(i));
    {
        auto db = ndb::NodeDatabase::create(path_);
        SubnodeNids first;
        put(*db, tcNid, table.write(*db, first));
        db->commit();
        // Unchanged: the trees are shared with the node being replaced.
        SubnodeNids second;
        put(*db, tcNid, table.write(*db, second));
        db->commit();
        // Changed: written anew, the old trees are freed.
        for (uint32_t i = 300; i < 400; ++i) table.setRow(makeNid(kNidTypeNormalMessage, 0x100 + i), rowCells(i));
        SubnodeNids third;
        put(*db, tcNid, table.write(*db, third));
        db->commit();
        db->close();
    }
    readback::FileView file(path_);
    auto problems = file.reader().verify();
    EXPECT_TRUE(problems.empty()) << problems.front();
    auto tc = file.findNode(tcNid);
    ASSERT_TRUE(tc);
    expectTable(readTableContext(file, tc->data, tc->subnodes), 400);
}

}  // namespace
}  // namespace pst::ltp
