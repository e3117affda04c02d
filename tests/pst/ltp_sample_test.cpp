// Outlook-written sample stores decoded by the LTP readers: the message store property context
// and the root folder's hierarchy table of Empty.pst.
#include <gtest/gtest.h>

#include <filesystem>

#include "ltp_fake_db.h"
#include "pst/ltp/heap.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"
#include "pst/ltp/values.h"
#include "store_file_view.h"

namespace pst::ltp {
namespace {

std::string samplePath(const char* name) {
    return std::string(ZENTRA_SHARED_DIR) + "/reference/pst-samples/" + name;
}

std::string text(const Value& v) { return utf8FromUtf16le(v.bytes); }

TEST(OutlookSamples, MessageStorePropertyContext) {
    std::string path = samplePath("Empty.pst");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample stores not available: " << path;
    readback::FileView db(path);
    auto node = db.findNode(0x21);
    ASSERT_TRUE(node);
    PropertyMap props = readPropertyContext(db, node->data, node->subnodes);
    ASSERT_TRUE(props.count(0x3001));
    EXPECT_EQ(props.at(0x3001).type, kPtypString);
    EXPECT_FALSE(text(props.at(0x3001)).empty());
    ASSERT_TRUE(props.count(0x0FF9));
    EXPECT_EQ(props.at(0x0FF9).bytes.size(), 16u);   // the store's record key
    // The IPM subtree entry id: 4 zero bytes, the record key, then NID 0x8022.
    ASSERT_TRUE(props.count(0x35E0));
    const auto& entryId = props.at(0x35E0).bytes;
    ASSERT_EQ(entryId.size(), 24u);
    EXPECT_TRUE(std::equal(entryId.begin() + 4, entryId.begin() + 20, props.at(0x0FF9).bytes.begin()));
    EXPECT_EQ(entryId[20] | entryId[21] << 8, 0x8022);
    ASSERT_TRUE(props.count(0x35DF));
    EXPECT_EQ(props.at(0x35DF).bytes.size(), 4u);   // PidTagValidFolderMask, stored inline
}

TEST(OutlookSamples, RootFolderHierarchyTable) {
    std::string path = samplePath("Empty.pst");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample stores not available: " << path;
    readback::FileView db(path);
    auto node = db.findNode(0x12D);
    ASSERT_TRUE(node);
    TableContents table = readTableContext(db, node->data, node->subnodes);
    bool hasRowId = false, hasName = false;
    for (const Column& c : table.columns) {
        hasRowId |= c.tag == kTagLtpRowId;
        hasName |= c.tag == 0x3001001F;
    }
    EXPECT_TRUE(hasRowId);
    EXPECT_TRUE(hasName);
    std::set<uint32_t> rowIds;
    for (const auto& [rowId, cells] : table.rows) {
        rowIds.insert(rowId);
        ASSERT_TRUE(cells.count(kTagLtpRowId));
        const auto& id = cells.at(kTagLtpRowId).bytes;
        EXPECT_EQ(uint32_t(id[0] | id[1] << 8 | id[2] << 16 | id[3] << 24), rowId);
    }
    // Top of Personal Folders, Search Root and the spam search folder are children of the root.
    EXPECT_TRUE(rowIds.count(0x8022));
    EXPECT_TRUE(rowIds.count(0x8042));
}

// A table built on Outlook's own contents-table template layout keeps that layout exactly.
TEST(OutlookSamples, TableWithOutlooksTemplateLayout) {
    std::string path = samplePath("Empty.pst");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample stores not available: " << path;
    readback::FileView file(path);
    auto node = file.findNode(0x60E);
    ASSERT_TRUE(node);
    HeapReader heap(file.readBlocks(node->data));
    TcInfo outlook = decodeTcInfo(heap.item(heap.userRoot()));
    ASSERT_EQ(outlook.layout.columns.size(), 28u);

    Table table = Table::withLayout(outlook.layout);
    table.setRow(0x200024, {{0x001A001F, stringValue("IPM.Contact")}, {0x0E080003, int32Value(4096)},
                            {0x0057000B, boolValue(true)}});
    test::FakeNodeDatabase db;
    SubnodeNids nids;
    BuiltNode built = table.write(db, nids);
    HeapReader ours(db.readBlocks(built.data));
    TcInfo written = decodeTcInfo(ours.item(ours.userRoot()));
    ASSERT_EQ(written.layout.columns.size(), outlook.layout.columns.size());
    for (size_t i = 0; i < outlook.layout.columns.size(); ++i) {
        const ColumnDesc &a = outlook.layout.columns[i], &b = written.layout.columns[i];
        EXPECT_EQ(a.tag, b.tag);
        EXPECT_EQ(a.ibData, b.ibData);
        EXPECT_EQ(a.cbData, b.cbData);
        EXPECT_EQ(a.iBit, b.iBit);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(written.layout.rgib[i], outlook.layout.rgib[i]);
    TableContents back = readTableContext(db, built.data, 0);
    ASSERT_EQ(back.rows.size(), 1u);
    EXPECT_EQ(back.rows[0].second.at(0x0057000B).bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(text(back.rows[0].second.at(0x001A001F)), "IPM.Contact");
    EXPECT_EQ(back.rows[0].second.size(), 5u);
}

TEST(OutlookSamples, EveryPropertyAndTableNodeOfEverySampleDecodes) {
    for (const char* name : {"Empty.pst", "dist-list.pst", "sample1.pst", "submessage.pst", "test_unicode.pst"}) {
        std::string path = samplePath(name);
        if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample stores not available: " << path;
        readback::FileView db(path);
        int pcs = 0, tcs = 0;
        for (const auto& [nid, info] : db.reader().nodes()) {
            NidType type = nidType(nid);
            bool pc = type == kNidTypeNormalFolder || type == kNidTypeSearchFolder || type == kNidTypeNormalMessage ||
                      type == kNidTypeAssocMessage || nid == 0x21 || nid == 0x61;
            // Search contents tables are left out: Outlook writes them as 0xAC tables, a
            // different structure this layer never writes.
            bool tc = type == kNidTypeHierarchyTable || type == kNidTypeContentsTable ||
                      type == kNidTypeAssocContentsTable || type == kNidTypeAttachmentTable ||
                      type == kNidTypeRecipientTable;
            if (!info.data || (!pc && !tc)) continue;
            SCOPED_TRACE(std::string(name) + " node " + std::to_string(nid));
            if (pc) {
                EXPECT_NO_THROW(readPropertyContext(db, info.data, info.subnodes));
                ++pcs;
                // Recipient and attachment tables of messages live in their subnodes.
                if (info.subnodes && (type == kNidTypeNormalMessage || type == kNidTypeAssocMessage)) {
                    for (const auto& e : db.readSubnodeTree(info.subnodes)) {
                        if (e.nid != 0x692 && e.nid != 0x671) continue;
                        EXPECT_NO_THROW(readTableContext(db, e.data, e.subnodes));
                        ++tcs;
                    }
                }
            } else {
                EXPECT_NO_THROW(readTableContext(db, info.data, info.subnodes));
                ++tcs;
            }
        }
        EXPECT_GT(pcs, 5) << name;
        EXPECT_GT(tcs, 5) << name;
    }
}

}  // namespace
}  // namespace pst::ltp
