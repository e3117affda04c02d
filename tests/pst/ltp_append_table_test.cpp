// The append-only table context over the real node database: after every write the stored
// table reads back as exactly the rows appended so far (and equal to what the whole-table
// writer makes of the same rows), writes after the first share what is still exact, reference
// counts stay exact through writes, replacements and commits, and memory stays small.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "pst/ltp/append_table.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"
#include "pst/ltp/values.h"
#include "store_reader.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Cells = std::map<uint32_t, Value>;

// A contents-table-like row: 8-, 4-, 2- and 1-byte cells and variable-size ones.
const std::vector<Column> kColumns = {
    {0x00170003}, {0x001A001F}, {0x0037001F}, {0x0E060040}, {0x0E070003},
    {0x0E300014}, {0x0FFF0102}, {0x360A000B}, {0x80010002}, {0x3001001F},
};
constexpr Nid kTableNid = 0x8000 | 0x0E;   // any NID for the node that holds the table

PropertyMap propertiesFor(uint32_t i, size_t largeEvery = 0) {
    PropertyMap p;
    p[0x0017] = int32Value(1);
    p[0x001A] = stringValue("IPM.Contact");
    if (i % 3) p[0x0037] = stringValue("Subject " + std::to_string(i) + std::string(i % 50, 'x'));
    p[0x0E06] = timeValue(mapi::FileTime{0x01D0000000000000ull + i});
    p[0x0E07] = int32Value(static_cast<int32_t>(i));
    p[0x0E30] = int64Value(int64_t(i) << 33);
    p[0x360A] = boolValue(i % 2);
    p[0x8001] = int16Value(static_cast<int16_t>(i));
    p[0x3001] = stringValue("\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 " + std::to_string(i));
    if (i % 7 == 0) p[0x0FFF] = binaryValue(Bytes(i % 14 == 0 ? 0 : 40, uint8_t(i)));   // empty ones too
    if (largeEvery && i % largeEvery == 0) p[0x0FFF] = binaryValue(Bytes(5000 + i % 100, uint8_t(i * 7)));
    p[0x0E08] = int32Value(9);   // not a column: ignored
    p[0x3001 + 1] = int32Value(3);
    return p;
}

uint32_t rowIdFor(uint32_t i) { return 0x200004 + 32 * i; }   // ascending, message-like NIDs

class AppendTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zentra_append_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ndb::Options options;
        options.openFile = [this](const std::string& path) {
            auto file = ndb::createPosixFile(path);
            return std::unique_ptr<ndb::FileSeam>(new CountingFile(std::move(file), bytesWritten_));
        };
        db_ = ndb::NodeDatabase::create((dir_ / "store.pst").string(), options);
    }
    void TearDown() override {
        db_.reset();
        fs::remove_all(dir_);
    }

    // Counts the bytes that reach the file.
    struct CountingFile : ndb::FileSeam {
        CountingFile(std::unique_ptr<ndb::FileSeam> f, uint64_t& counter) : inner(std::move(f)), written(counter) {}
        void writeAt(uint64_t offset, std::span<const uint8_t> bytes) override {
            written += bytes.size();
            inner->writeAt(offset, bytes);
        }
        void readAt(uint64_t offset, std::span<uint8_t> bytes) override { inner->readAt(offset, bytes); }
        void truncate(uint64_t size) override { inner->truncate(size); }
        void sync() override { inner->sync(); }
        uint64_t size() override { return inner->size(); }
        void publish() override { inner->publish(); }
        void abandon() override { inner->abandon(); }
        std::unique_ptr<ndb::FileSeam> inner;
        uint64_t& written;
    };

    void put(AppendTable& table) {
        BuiltNode built = table.write(*db_);
        db_->putNode(kTableNid, built.data, db_->writeSubnodeTree(std::move(built.subnodes)), 0);
    }
    TableContents stored() {
        std::optional<ndb::NodeInfo> node = db_->findNode(kTableNid);
        EXPECT_TRUE(node.has_value());
        return readTableContext(*db_, node->data, node->subnodes);
    }
    void expectSoundFile() {
        db_->close();
        readback::StoreReader reader((dir_ / "store.pst").string());
        for (const std::string& p : reader.verify()) ADD_FAILURE() << p;
    }

    fs::path dir_;
    uint64_t bytesWritten_ = 0;
    std::unique_ptr<ndb::NodeDatabase> db_;
};

void expectRows(const TableContents& got, size_t count, size_t largeEvery = 0) {
    ASSERT_EQ(got.rows.size(), count);
    for (size_t i = 0; i < count; ++i) {
        const auto& [rowId, cells] = got.rows[i];
        ASSERT_EQ(rowId, rowIdFor(static_cast<uint32_t>(i)));
        const PropertyMap props = propertiesFor(static_cast<uint32_t>(i), largeEvery);
        Cells expected;
        expected[kTagLtpRowId] = int32Value(static_cast<int32_t>(rowId));
        expected[kTagLtpRowVer] = int32Value(static_cast<int32_t>(i + 100));
        for (const Column& c : kColumns) {
            auto it = props.find(static_cast<uint16_t>(c.tag >> 16));
            if (it != props.end() && it->second.type == (c.tag & 0xFFFF)) expected[c.tag] = it->second;
        }
        ASSERT_EQ(cells.size(), expected.size()) << "row " << i;
        for (const auto& [tag, value] : expected) {
            auto it = cells.find(tag);
            ASSERT_NE(it, cells.end()) << "row " << i << " tag " << std::hex << tag;
            EXPECT_EQ(it->second.bytes, value.bytes) << "row " << i << " tag " << std::hex << tag;
        }
    }
}

TEST_F(AppendTableTest, EveryWriteReadsBackAsTheRowsSoFarAcrossAllBoundaries) {
    AppendTable table(layoutTable(kColumns));
    EXPECT_EQ(table.rowCount(), 0u);
    // 28 rows still fit a heap item, 29 do not; 64 rows fill a row block; 447 fill a leaf of
    // the row index; 447 * 447 + 1 would need a second index level (checked below with fewer
    // rows per leaf being impossible, so the two-level case gets its own test).
    const size_t steps[] = {1, 2, 27, 28, 29, 30, 63, 64, 65, 66, 128, 129, 446, 447, 448, 449, 894, 895, 896, 2000, 5001};
    size_t count = 0;
    for (size_t target : steps) {
        for (; count < target; ++count)
            table.appendRow(rowIdFor(static_cast<uint32_t>(count)), static_cast<uint32_t>(count + 100),
                            propertiesFor(static_cast<uint32_t>(count)));
        put(table);
        if (target % 2) db_->commit();
        SCOPED_TRACE("after " + std::to_string(target) + " rows");
        expectRows(stored(), target);
        // The whole-table writer's result for the same rows must read back the same.
        if (target == 29 || target == 449 || target == 5001) {
            Table whole(kColumns);
            for (size_t i = 0; i < target; ++i) {
                Cells cells;
                const PropertyMap props = propertiesFor(static_cast<uint32_t>(i));
                for (const Column& c : kColumns) {
                    auto it = props.find(static_cast<uint16_t>(c.tag >> 16));
                    if (it != props.end() && it->second.type == (c.tag & 0xFFFF)) cells[c.tag] = it->second;
                }
                cells[kTagLtpRowVer] = int32Value(static_cast<int32_t>(i + 100));
                whole.setRow(rowIdFor(static_cast<uint32_t>(i)), cells);
            }
            SubnodeNids nids;
            BuiltNode built = whole.write(*db_, nids);
            const Bid sub = db_->writeSubnodeTree(std::move(built.subnodes));
            const TableContents fromWhole = readTableContext(*db_, built.data, sub);
            const TableContents fromAppend = stored();
            ASSERT_EQ(fromWhole.rows.size(), fromAppend.rows.size());
            for (size_t i = 0; i < fromWhole.rows.size(); ++i) {
                EXPECT_EQ(fromWhole.rows[i].first, fromAppend.rows[i].first);
                ASSERT_EQ(fromWhole.rows[i].second.size(), fromAppend.rows[i].second.size()) << i;
                for (const auto& [tag, value] : fromWhole.rows[i].second)
                    EXPECT_EQ(fromAppend.rows[i].second.at(tag).bytes, value.bytes) << i << " " << std::hex << tag;
            }
            EXPECT_EQ(fromWhole.columns.size(), fromAppend.columns.size());
            db_->release(built.data);
            if (sub) db_->release(sub);
        }
    }
    expectSoundFile();
}

TEST_F(AppendTableTest, LaterWritesShareWhatIsStoredAndMemoryStaysSmall) {
    AppendTable table(layoutTable(kColumns));
    uint32_t i = 0;
    for (; i < 20000; ++i) table.appendRow(rowIdFor(i), i + 100, propertiesFor(i));
    const uint64_t before = bytesWritten_;
    put(table);
    db_->commit();
    const uint64_t firstWrite = bytesWritten_ - before;
    EXPECT_LE(table.heapPagesInMemory(), 3u);

    for (int round = 0; round < 5; ++round) {
        for (const uint32_t end = i + 10; i < end; ++i) table.appendRow(rowIdFor(i), i + 100, propertiesFor(i));
        const uint64_t start = bytesWritten_;
        put(table);
        db_->commit();
        // Ten more rows: the first page, the open pages, the last row block, the index and the
        // trees above them, plus the commit's B-tree pages and maps; not the 20,000 rows again.
        EXPECT_LT(bytesWritten_ - start, firstWrite / 10) << "round " << round;
        EXPECT_LE(table.heapPagesInMemory(), 3u);
    }
    expectRows(stored(), i);
    expectSoundFile();
}

TEST_F(AppendTableTest, TwoIndexLevelsAndLargeCellsAsSubnodes) {
    // 447 leaves of 447 records fill one index item; one more row needs a second index level.
    AppendTable table(layoutTable(kColumns));
    const uint32_t rows = 447 * 447 + 3;
    for (uint32_t i = 0; i < rows; ++i) {
        table.appendRow(rowIdFor(i), i + 100, propertiesFor(i, 40000));
        if (i == 1000 || i == 447 * 447 - 1 || i == 447 * 447) put(table);
    }
    put(table);
    expectRows(stored(), rows, 40000);
    expectSoundFile();
}

// A row's cells are matched to its properties by id and type together, whatever the order of
// the columns: a property that shares a column's id but not its type fills no cell.
TEST_F(AppendTableTest, CellsTakeOnlyThePropertyOfTheirOwnIdAndType) {
    const std::vector<Column> columns = {{0x3001001F}, {0x0E080014}, {0x0E070003}, {0x00170003}};
    AppendTable table(layoutTable(columns));
    PropertyMap first;
    first[0x0017] = int32Value(7);
    first[0x0E07] = int64Value(int64_t{1} << 40);
    first[0x0E08] = int64Value(5);
    first[0x3001] = binaryValue(Bytes{1, 2, 3});
    PropertyMap second;
    second[0x0E07] = int32Value(-2);
    second[0x0E08] = int32Value(4);
    second[0x3001] = stringValue("Name");
    table.appendRow(rowIdFor(0), 100, first);
    table.appendRow(rowIdFor(1), 101, second);
    put(table);
    const TableContents got = stored();
    ASSERT_EQ(got.rows.size(), 2u);
    const Cells expected[] = {
        {{kTagLtpRowId, int32Value(static_cast<int32_t>(rowIdFor(0)))}, {kTagLtpRowVer, int32Value(100)},
         {0x00170003, int32Value(7)}, {0x0E080014, int64Value(5)}},
        {{kTagLtpRowId, int32Value(static_cast<int32_t>(rowIdFor(1)))}, {kTagLtpRowVer, int32Value(101)},
         {0x0E070003, int32Value(-2)}, {0x3001001F, stringValue("Name")}},
    };
    for (size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(got.rows[r].second.size(), expected[r].size()) << "row " << r;
        for (const auto& [tag, value] : expected[r]) {
            auto it = got.rows[r].second.find(tag);
            ASSERT_NE(it, got.rows[r].second.end()) << "row " << r << " tag " << std::hex << tag;
            EXPECT_EQ(it->second.bytes, value.bytes) << "row " << r << " tag " << std::hex << tag;
        }
    }
    expectSoundFile();
}

TEST_F(AppendTableTest, RefusedRowsLeaveNoTrace) {
    AppendTable table(layoutTable(kColumns));
    table.appendRow(rowIdFor(5), 1, propertiesFor(5));
    EXPECT_THROW(table.appendRow(rowIdFor(5), 2, propertiesFor(6)), zentra::Error);   // not ascending
    EXPECT_THROW(table.appendRow(rowIdFor(4), 2, propertiesFor(6)), zentra::Error);
    PropertyMap wrongWidth = propertiesFor(7);
    wrongWidth[0x0E07] = Value{kPtypInteger32, Bytes{1, 2}};
    try {
        table.appendRow(rowIdFor(7), 2, wrongWidth);
        ADD_FAILURE() << "a 2-byte 32-bit cell was accepted";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrInvalidArgument);
    }
    EXPECT_EQ(table.rowCount(), 1u);
    put(table);
    const TableContents got = stored();
    ASSERT_EQ(got.rows.size(), 1u);
    EXPECT_EQ(got.rows[0].first, rowIdFor(5));
    EXPECT_THROW(AppendTable(TableLayout{}), zentra::Error);
    expectSoundFile();
}

}  // namespace
}  // namespace pst::ltp
