// Table contexts: column layout, TCINFO, rows in the heap and in a subnode, the row index, cell
// existence bits, variable-size cells, and rewriting a table unchanged or changed.
#include <gtest/gtest.h>

#include <random>

#include "ltp_fake_db.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"
#include "pst/ltp/values.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

using namespace pst::disk;   // client signatures, HID and HNID helpers

using test::FakeNodeDatabase;
using Bytes = std::vector<uint8_t>;
using Cells = std::map<uint32_t, Value>;

// A contents-table-like column set: 8-, 4-, 2- and 1-byte cells and variable-size ones.
const std::vector<Column> kColumns = {
    {0x00170003}, {0x001A001F}, {0x0037001F}, {0x0E060040}, {0x0E070003}, {0x0E080003},
    {0x0E170003}, {0x0E300014}, {0x0FFF0102}, {0x36020003}, {0x360A000B}, {0x3001001F},
    {0x80010002}, {0x80020048}, {0x8003101F},
};

Cells cellsFor(uint32_t i) {
    Cells c;
    c[0x0017'0003] = int32Value(1);
    c[0x001A'001F] = stringValue("IPM.Contact");
    if (i % 3) c[0x0037'001F] = stringValue("Subject " + std::to_string(i));   // every third absent
    c[0x0E06'0040] = timeValue(mapi::FileTime{0x01D0000000000000ull + i});
    c[0x0E07'0003] = int32Value(static_cast<int32_t>(i));
    c[0x0E30'0014] = int64Value(int64_t(i) << 33);
    c[0x360A'000B] = boolValue(i % 2);
    c[0x8001'0002] = int16Value(static_cast<int16_t>(i));
    if (i % 5 == 0) c[0x0FFF'0102] = binaryValue(Bytes(i % 10 == 0 ? 0 : 40, uint8_t(i)));
    c[0x9999'0003] = int32Value(7);   // not a column: ignored
    return c;
}

struct Written {
    BuiltNode built;
    Bid subnodes = 0;
};

Written writeTable(FakeNodeDatabase& db, const Table& table) {
    SubnodeNids nids;
    Written w;
    w.built = table.write(db, nids);
    w.subnodes = db.writeSubnodeTree(w.built.subnodes);
    return w;
}

TcInfo rawInfo(FakeNodeDatabase& db, Bid data) {
    HeapReader heap(db.readBlocks(data));
    EXPECT_EQ(heap.clientSig(), 0x7C);
    // Outlook's layout: the row index's BTH header is the first heap item, the TCINFO the second.
    EXPECT_EQ(heap.userRoot(), 0x40u);
    TcInfo info = decodeTcInfo(heap.item(heap.userRoot()));
    EXPECT_EQ(info.hidRowIndex, 0x20u);
    return info;
}

// The cells read back equal what was set, plus the row id and version columns.
void expectRowsMatch(const TableContents& read, const std::map<uint32_t, Cells>& expected, size_t columnCount) {
    ASSERT_EQ(read.rows.size(), expected.size());
    EXPECT_EQ(read.columns.size(), columnCount);
    auto it = expected.begin();
    for (const auto& [rowId, cells] : read.rows) {
        ASSERT_EQ(rowId, it->first);   // rows come back in row-id order
        const Cells& want = it->second;
        size_t matched = 0;
        for (const auto& [tag, value] : want) {
            auto got = cells.find(tag);
            if (tag == 0x9999'0003) {
                EXPECT_EQ(got, cells.end());
                continue;
            }
            ASSERT_NE(got, cells.end()) << std::hex << tag << " row " << rowId;
            EXPECT_EQ(got->second.bytes, value.bytes) << std::hex << tag << " row " << rowId;
            EXPECT_EQ(got->second.type, static_cast<uint16_t>(tag));
            ++matched;
        }
        ASSERT_TRUE(cells.count(kTagLtpRowId));
        EXPECT_EQ(cells.at(kTagLtpRowId).bytes, (Bytes{uint8_t(rowId), uint8_t(rowId >> 8), uint8_t(rowId >> 16),
                                                        uint8_t(rowId >> 24)}));
        EXPECT_TRUE(cells.count(kTagLtpRowVer));
        EXPECT_EQ(cells.size(), matched + 2) << "absent cells must read as absent, row " << rowId;
        ++it;
    }
}

TEST(TableLayoutTest, FixedColumnsGroupsAndCeb) {
    TableLayout layout = layoutTable(kColumns);
    ASSERT_EQ(layout.columns.size(), kColumns.size() + 2);
    for (size_t i = 1; i < layout.columns.size(); ++i) EXPECT_LT(layout.columns[i - 1].tag, layout.columns[i].tag);
    std::map<uint32_t, ColumnDesc> byTag;
    for (const ColumnDesc& c : layout.columns) byTag[c.tag] = c;
    EXPECT_EQ(byTag[kTagLtpRowId].ibData, 0);
    EXPECT_EQ(byTag[kTagLtpRowId].iBit, 0);
    EXPECT_EQ(byTag[kTagLtpRowVer].ibData, 4);
    EXPECT_EQ(byTag[kTagLtpRowVer].iBit, 1);
    // Two 8-byte cells (Time, Integer64) right after the fixed ones, 8-aligned.
    EXPECT_EQ(byTag[0x0E060040].cbData, 8);
    EXPECT_EQ(byTag[0x0E060040].ibData % 8, 0);
    EXPECT_EQ(byTag[0x0E300014].ibData % 8, 0);
    // 8 + 2*8 + 11 four-byte cells (6 Int32 + 5 HNIDs, Guid included) = 68; one Int16; one Boolean.
    EXPECT_EQ(layout.rgib[0], 68);
    EXPECT_EQ(layout.rgib[1], 70);
    EXPECT_EQ(layout.rgib[2], 71);
    EXPECT_EQ(layout.rgib[3], 71 + 3);   // 17 columns -> 3 CEB bytes
    EXPECT_EQ(byTag[0x80010002].ibData, 68);
    EXPECT_EQ(byTag[0x360A000B].ibData, 70);
    EXPECT_EQ(byTag[0x80020048].cbData, 4);   // a Guid cell holds an HNID
    std::set<uint8_t> bits;
    for (const ColumnDesc& c : layout.columns) bits.insert(c.iBit);
    EXPECT_EQ(bits.size(), layout.columns.size());
    EXPECT_EQ(*bits.rbegin(), layout.columns.size() - 1);

    TcInfo info{layout, 0x40, 0x60};
    Bytes encoded = encodeTcInfo(info);
    ASSERT_EQ(encoded.size(), 22u + 8 * 17);
    EXPECT_EQ(encoded[0], 0x7C);
    EXPECT_EQ(encoded[1], 17);
    EXPECT_EQ(encoded[18], 0);   // hidIndex
    TcInfo decoded = decodeTcInfo(encoded);
    EXPECT_EQ(decoded.hidRowIndex, 0x40u);
    EXPECT_EQ(decoded.hnidRows, 0x60u);
    EXPECT_EQ(decoded.layout.columns.size(), 17u);
    EXPECT_EQ(decoded.layout.rowSize(), 74u);

    EXPECT_THROW(layoutTable({{0x30010003}, {0x3001001F}}), zentra::Error);
    std::vector<Column> tooMany;
    for (uint32_t i = 0; i < 254; ++i) tooMany.push_back({(0x8000 + i) << 16 | 0x0003});
    EXPECT_THROW(layoutTable(tooMany), zentra::Error);
    tooMany.pop_back();
    EXPECT_EQ(layoutTable(tooMany).columns.size(), 255u);
}

TEST(TableLayoutTest, GivenLayoutsAreCheckedBeforeUse) {
    TableLayout good = layoutTable(kColumns);
    EXPECT_NO_THROW(Table::withLayout(good));
    auto broken = [&](auto change) {
        TableLayout l = good;
        change(l);
        return l;
    };
    auto find = [](TableLayout& l, uint32_t tag) -> ColumnDesc& {
        for (auto& c : l.columns) if (c.tag == tag) return c;
        throw std::logic_error("no column");
    };
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { find(l, kTagLtpRowVer).ibData = 8; })), zentra::Error);
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { find(l, kTagLtpRowVer).iBit = 5; })), zentra::Error);
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { find(l, 0x0E070003).ibData = find(l, 0x0E080003).ibData; })),
                 zentra::Error);   // two cells on the same bytes
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { find(l, 0x0E070003).cbData = 8; })), zentra::Error);
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { find(l, 0x360A000B).ibData = 8; })), zentra::Error);   // 1-byte cell in the 4-byte group
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { find(l, 0x0E070003).iBit = find(l, 0x0E080003).iBit; })),
                 zentra::Error);
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { l.rgib[3] = l.rgib[2] + 1; })), zentra::Error);   // CEB too small
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) { std::swap(l.columns[0], l.columns[1]); })), zentra::Error);
    EXPECT_THROW(Table::withLayout(broken([&](TableLayout& l) {
                     std::erase_if(l.columns, [](const ColumnDesc& c) { return c.tag == kTagLtpRowVer; });
                 })),
                 zentra::Error);   // no row version column
}

TEST(TableContext, EmptyTableHasNoRowsAndAnEmptyIndex) {
    FakeNodeDatabase db;
    Table table(kColumns);
    Written w = writeTable(db, table);
    EXPECT_TRUE(w.built.subnodes.empty());
    TcInfo info = rawInfo(db, w.built.data);
    EXPECT_EQ(info.hnidRows, 0u);
    HeapReader heap(db.readBlocks(w.built.data));
    BTHHEADER index = readBthHeader(heap, info.hidRowIndex);
    EXPECT_EQ(index.cbKey, 4);
    EXPECT_EQ(index.cbEnt, 4);
    EXPECT_EQ(index.hidRoot, 0u);
    TableContents read = readTableContext(db, w.built.data, 0);
    EXPECT_TRUE(read.rows.empty());
    EXPECT_EQ(read.columns.size(), 17u);
}

TEST(TableContext, OneRowLivesInTheHeapWithItsCellExistenceBits) {
    FakeNodeDatabase db;
    Table table(kColumns);
    Cells cells{{0x3001001F, stringValue("Contacts")}, {0x36020003, int32Value(5)}, {0x360A000B, boolValue(true)}};
    table.setRow(0x8022, cells);
    Written w = writeTable(db, table);
    EXPECT_TRUE(w.built.subnodes.empty());
    TcInfo info = rawInfo(db, w.built.data);
    ASSERT_TRUE(hnidIsHid(info.hnidRows));
    HeapReader heap(db.readBlocks(w.built.data));
    auto row = heap.item(info.hnidRows);
    ASSERT_EQ(row.size(), info.layout.rowSize());
    EXPECT_EQ(row[0], 0x22);
    EXPECT_EQ(row[1], 0x80);
    const uint8_t* ceb = row.data() + info.layout.cebOffset();
    for (const ColumnDesc& c : info.layout.columns) {
        bool present = c.tag == kTagLtpRowId || c.tag == kTagLtpRowVer || cells.count(c.tag);
        EXPECT_EQ(cellExists(ceb, c.iBit), present) << std::hex << c.tag;
        if (!present) {
            for (uint32_t k = 0; k < c.cbData; ++k) EXPECT_EQ(row[c.ibData + k], 0) << std::hex << c.tag;
        }
    }
    // The row index maps the row id to row 0.
    Bytes index = readBthRecords(heap, info.hidRowIndex, 4, 4);
    EXPECT_EQ(index, (Bytes{0x22, 0x80, 0, 0, 0, 0, 0, 0}));
    // Unused low-order CEB bits are zero: 17 columns use 17 of 24 bits.
    EXPECT_EQ(ceb[2] & 0x7F, 0);
    expectRowsMatch(readTableContext(db, w.built.data, 0), {{0x8022, cells}}, 17);
}

TEST(TableContext, RowsMoveToASubnodeWhenTheyNoLongerFitOneHeapItem) {
    // 74-byte rows: 48 rows (3,552 bytes) fit one 3,580-byte item, 49 do not.
    for (uint32_t rows : {48u, 49u}) {
        FakeNodeDatabase db;
        Table table(kColumns);
        std::map<uint32_t, Cells> expected;
        for (uint32_t i = 0; i < rows; ++i) table.setRow(0x24 + 32 * i, expected[0x24 + 32 * i] = cellsFor(i));
        Written w = writeTable(db, table);
        TcInfo info = rawInfo(db, w.built.data);
        ASSERT_EQ(info.layout.rowSize(), 74u);
        EXPECT_EQ(hnidIsHid(info.hnidRows), rows == 48) << rows;
        EXPECT_EQ(w.built.subnodes.size(), rows == 48 ? 0u : 1u);
        expectRowsMatch(readTableContext(db, w.built.data, w.subnodes), expected, 17);
    }
}

TEST(TableContext, ThousandRowsGoToASubnodeOfFullBlocks) {
    FakeNodeDatabase db;
    Table table(kColumns);
    std::map<uint32_t, Cells> expected;
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t id = makeNid(kNidTypeNormalMessage, 0x10000 - i * 7);   // ids not in insertion order
        expected[id] = cellsFor(i);
        table.setRow(id, expected[id]);
    }
    Written w = writeTable(db, table);
    TcInfo info = rawInfo(db, w.built.data);
    ASSERT_FALSE(hnidIsHid(info.hnidRows));
    ASSERT_EQ(w.built.subnodes.size(), 1u);
    EXPECT_EQ(w.built.subnodes[0].nid, info.hnidRows);
    const auto& blocks = db.treeAt(w.built.subnodes[0].data).blocks;
    const size_t rowSize = info.layout.rowSize(), perBlock = kMaxBlockData / rowSize;
    ASSERT_EQ(blocks.size(), (1000 + perBlock - 1) / perBlock);
    for (size_t b = 0; b + 1 < blocks.size(); ++b) EXPECT_EQ(blocks[b].size(), kMaxBlockData);
    EXPECT_EQ(blocks.back().size(), (1000 - perBlock * (blocks.size() - 1)) * rowSize);
    expectRowsMatch(readTableContext(db, w.built.data, w.subnodes), expected, 17);
}

TEST(TableContext, HundredThousandRowsWithLargeCells) {
    FakeNodeDatabase db;
    Table table(kColumns);
    std::map<uint32_t, Cells> expected;
    for (uint32_t i = 0; i < 100000; ++i) {
        uint32_t id = makeNid(kNidTypeNormalMessage, 0x400 + i);
        Cells cells = cellsFor(i);
        if (i == 4242) cells[0x0FFF0102] = binaryValue(Bytes(5000, 0xAB));   // too big for the heap
        if (i == 777) cells[0x8003101F] = multiStringValue({"a", "bc"});
        expected[id] = cells;
        table.setRow(id, cells);
    }
    Written w = writeTable(db, table);
    EXPECT_EQ(w.built.subnodes.size(), 2u);   // the row matrix and the 5,000-byte cell
    HeapReader heap(db.readBlocks(w.built.data));
    TcInfo info = decodeTcInfo(heap.item(heap.userRoot()));
    EXPECT_EQ(readBthHeader(heap, info.hidRowIndex).bIdxLevels, 1);
    EXPECT_GT(heap.pageCount(), 136u);   // strings and the row index make the heap span bitmap pages
    expectRowsMatch(readTableContext(db, w.built.data, w.subnodes), expected, 17);
}

TEST(TableContext, ReplacingAndRemovingRows) {
    FakeNodeDatabase db;
    Table table(kColumns);
    std::map<uint32_t, Cells> expected;
    std::mt19937 random(12345);   // fixed random start
    for (uint32_t step = 0; step < 3000; ++step) {
        uint32_t id = 0x24 + 32 * (random() % 400);
        if (random() % 4 == 0) {
            table.removeRow(id);
            expected.erase(id);
        } else {
            expected[id] = cellsFor(step);
            table.setRow(id, expected[id]);
        }
        EXPECT_EQ(table.rowCount(), expected.size());
    }
    EXPECT_TRUE(table.hasRow(expected.begin()->first));
    Written w = writeTable(db, table);
    expectRowsMatch(readTableContext(db, w.built.data, w.subnodes), expected, 17);
}

TEST(TableContext, RejectsFixedCellsOfTheWrongSize) {
    Table table(kColumns);
    EXPECT_THROW(table.setRow(1, {{0x0E070003, int16Value(1)}}), zentra::Error);
    EXPECT_THROW(table.setRow(1, {{0x360A000B, int32Value(1)}}), zentra::Error);
    EXPECT_EQ(table.rowCount(), 0u);
}

TEST(TableContext, CopiesDoNotShareRows) {
    Table templ(kColumns);
    Table copy = templ;
    copy.setRow(1, cellsFor(1));
    EXPECT_EQ(templ.rowCount(), 0u);
    EXPECT_EQ(copy.rowCount(), 1u);
    EXPECT_EQ(copy.columns().size(), 17u);
    EXPECT_EQ(copy.columns().front().tag, 0x00170003u);
}

TEST(TableContext, UnchangedRewriteSharesTheTreesAndAChangeWritesAnew) {
    FakeNodeDatabase db;
    Table table(kColumns);
    for (uint32_t i = 0; i < 500; ++i) table.setRow(0x24 + 32 * i, cellsFor(i));
    table.setRow(1, {{0x0FFF0102, binaryValue(Bytes(4000, 1))}});

    SubnodeNids first;
    BuiltNode a = table.write(db, first);
    ASSERT_EQ(a.subnodes.size(), 2u);
    const int writes = db.writeBlocksCalls;

    SubnodeNids second;
    BuiltNode b = table.write(db, second);
    EXPECT_EQ(db.writeBlocksCalls, writes);
    EXPECT_EQ(b.data, a.data);
    EXPECT_EQ(db.refs(a.data), 2);
    for (const auto& e : a.subnodes) EXPECT_EQ(db.refs(e.data), 2);
    EXPECT_EQ(second.issued(), first.issued());   // the shared subnode ids are not handed out again

    // A different id state cannot share: the subnode ids could collide.
    SubnodeNids used;
    used.next();
    BuiltNode c = table.write(db, used);
    EXPECT_GT(db.writeBlocksCalls, writes);
    EXPECT_NE(c.data, a.data);

    // After the node holding the trees is gone, the table must not share them again.
    Table copy = table;
    copy.forgetWrittenTrees();
    const int before = db.writeBlocksCalls;
    SubnodeNids afterForget;
    BuiltNode e = copy.write(db, afterForget);
    EXPECT_GT(db.writeBlocksCalls, before);
    EXPECT_NE(e.data, c.data);

    table.setRow(0x24, cellsFor(99));
    SubnodeNids fresh;
    BuiltNode d = table.write(db, fresh);
    EXPECT_NE(d.data, a.data);
    EXPECT_EQ(readTableContext(db, d.data, db.writeSubnodeTree(d.subnodes)).rows.size(), 501u);

    // Everything handed out can be given back to zero.
    db.release(a.data);
    db.release(b.data);
    for (const BuiltNode* n : {&a, &b}) for (const auto& e : n->subnodes) db.release(e.data);
    db.release(c.data);
    for (const auto& e : c.subnodes) db.release(e.data);
    EXPECT_EQ(db.refs(a.data), 0);
}

TEST(TableContext, ReaderRejectsRowsOutsideTheMatrix) {
    FakeNodeDatabase db;
    Table table(kColumns);
    table.setRow(0x7A5B3C1D, cellsFor(5));   // an id whose bytes occur nowhere else
    Written w = writeTable(db, table);
    // Point the single index record at row 3 of a one-row matrix.
    auto pages = db.readBlocks(w.built.data);
    HeapReader heap(pages);
    TcInfo info = decodeTcInfo(heap.item(heap.userRoot()));
    Bytes index = readBthRecords(heap, info.hidRowIndex, 4, 4);
    ASSERT_EQ(index.size(), 8u);
    bool patched = false;
    for (auto& page : pages) {
        for (size_t i = 0; i + 8 <= page.size() && !patched; ++i) {
            if (std::equal(index.begin(), index.end(), page.begin() + i)) {
                page[i + 4] = 3;
                patched = true;
            }
        }
    }
    ASSERT_TRUE(patched);
    Bid damaged = db.writeBlocks(pages);
    EXPECT_THROW(readTableContext(db, damaged, 0), zentra::Error);
}

// Damaged stored tables and property contexts must fail with an error, never crash or hang.
TEST(TableContext, DamagedNodesFailCleanly) {
    FakeNodeDatabase db;
    Table table(kColumns);
    for (uint32_t i = 0; i < 40; ++i) table.setRow(0x24 + 32 * i, cellsFor(i));
    Written tc = writeTable(db, table);
    SubnodeNids nids;
    PropertyMap props{{0x3001, stringValue("name")}, {0x0E08, int64Value(5)}, {0x8000, multiStringValue({"a", "b"})}};
    BuiltNode pc = writePropertyContext(db, props, nids);
    const auto tcPages = db.readBlocks(tc.built.data);
    const auto pcPages = db.readBlocks(pc.data);

    std::mt19937 random(777);   // fixed random start
    int failures = 0;
    for (int round = 0; round < 3000; ++round) {
        bool isTable = round % 2;
        auto pages = isTable ? tcPages : pcPages;
        for (int flips = 1 + random() % 4; flips > 0; --flips) {
            auto& page = pages[random() % pages.size()];
            page[random() % page.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        }
        Bid damaged = db.writeBlocks(pages);
        try {
            if (isTable) readTableContext(db, damaged, tc.subnodes);
            else readPropertyContext(db, damaged, 0);
        } catch (const zentra::Error& e) {
            EXPECT_EQ(e.number(), zentra::kErrStoreCorrupt) << e.what();
            ++failures;
        }
        db.release(damaged);
    }
    EXPECT_GT(failures, 300);   // most damage is detected; the rest changed only values
}

}  // namespace
}  // namespace pst::ltp
