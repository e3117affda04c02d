// Property contexts: every value type round-trips, and each value lands where [MS-PST] 2.3.3.3
// puts it (inline, heap, subnode), including the 3580/3581-byte boundary.
#include <gtest/gtest.h>

#include "ltp_fake_db.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/heap.h"
#include "pst/ltp/ltp.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

using namespace pst::disk;   // client signatures, HID and HNID helpers

using test::FakeNodeDatabase;
using Bytes = std::vector<uint8_t>;

struct Record { uint16_t id, type; uint32_t hnid; };

// The raw PC records as stored, to check placement rather than only round trips.
std::vector<Record> rawRecords(FakeNodeDatabase& db, Bid data) {
    HeapReader heap(db.readBlocks(data));
    EXPECT_EQ(heap.clientSig(), 0xBC);
    EXPECT_EQ(heap.userRoot(), 0x20u);
    Bytes r = readBthRecords(heap, heap.userRoot(), 2, 6);
    std::vector<Record> out;
    for (size_t off = 0; off < r.size(); off += 8) {
        out.push_back({uint16_t(r[off] | r[off + 1] << 8), uint16_t(r[off + 2] | r[off + 3] << 8),
                       uint32_t(r[off + 4] | r[off + 5] << 8 | r[off + 6] << 16 | uint32_t(r[off + 7]) << 24)});
    }
    return out;
}

Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    return b;
}

void expectSameProperties(const PropertyMap& a, const PropertyMap& b) {
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [id, value] : a) {
        auto it = b.find(id);
        ASSERT_NE(it, b.end()) << std::hex << id;
        EXPECT_EQ(it->second.type, value.type) << std::hex << id;
        EXPECT_EQ(it->second.bytes, value.bytes) << std::hex << id;
    }
}

PropertyMap everyType() {
    const mapi::Guid guid{0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    PropertyMap props;
    props[0x0E07] = int32Value(-123456);
    props[0x0017] = int16Value(-2);
    props[0x360A] = boolValue(true);
    props[0x3604] = boolValue(false);
    props[0x0E08] = int64Value(0x1122334455667788ll);
    props[0x3007] = timeValue(mapi::FileTime{0x01DAB1C2D3E4F506ull});
    props[0x6001] = float64Value(-2.5);
    props[0x0FF9] = guidValue(guid);
    props[0x3001] = stringValue("Top of Personal Folders \xE2\x82\xAC");
    props[0x3002] = stringValue("");
    props[0x0FFF] = binaryValue(pattern(22));
    props[0x6002] = binaryValue({});
    props[0x8005] = multiStringValue({"one", "", "tw\xC3\xB6"});
    props[0x8006] = multiInt32Value({1, 2, -3});
    props[0x8007] = multiBinaryValue({pattern(3), {}, pattern(300)});
    props[0x8008] = binaryValue(pattern(3580));
    props[0x8009] = binaryValue(pattern(3581));
    props[0x800A] = stringValue(std::string(20000, 'x'));      // 40,000 bytes: a multi-block subnode
    return props;
}

TEST(PropertyContext, EveryTypeRoundTrips) {
    FakeNodeDatabase db;
    SubnodeNids nids;
    PropertyMap props = everyType();
    BuiltNode built = writePropertyContext(db, props, nids);
    Bid subnodes = db.writeSubnodeTree(built.subnodes);
    expectSameProperties(props, readPropertyContext(db, built.data, subnodes));
}

TEST(PropertyContext, ValuesArePlacedInlineInTheHeapOrInSubnodes) {
    FakeNodeDatabase db;
    SubnodeNids nids;
    PropertyMap props = everyType();
    BuiltNode built = writePropertyContext(db, props, nids);

    // Exactly the two values over 3,580 bytes went to subnodes, each its own LTP subnode.
    ASSERT_EQ(built.subnodes.size(), 2u);
    for (const auto& entry : built.subnodes) {
        EXPECT_EQ(nidType(entry.nid), kNidTypeLtp);
        EXPECT_EQ(entry.subnodes, 0u);
        EXPECT_EQ(db.refs(entry.data), 1);
    }
    EXPECT_NE(built.subnodes[0].nid, built.subnodes[1].nid);
    EXPECT_EQ(db.treeAt(built.subnodes[1].data).blocks.size(), 5u);   // 40,000 bytes in 8,176-byte blocks

    for (const Record& r : rawRecords(db, built.data)) {
        SCOPED_TRACE(r.id);
        switch (r.id) {
            case 0x0E07: EXPECT_EQ(r.hnid, uint32_t(-123456)); break;
            case 0x0017: EXPECT_EQ(r.hnid, 0xFFFEu); break;    // zero-extended, not sign-extended
            case 0x360A: EXPECT_EQ(r.hnid, 1u); break;
            case 0x3604: EXPECT_EQ(r.hnid, 0u); break;
            case 0x3002:
            case 0x6002:   // empty string and binary: HNID 0, as Outlook writes them
                EXPECT_EQ(r.hnid, 0u);
                break;
            case 0x8009:
            case 0x800A:
                EXPECT_EQ(nidType(r.hnid), kNidTypeLtp);
                break;
            default:   // 8-byte, Guid and variable-size values: an HID
                EXPECT_TRUE(hnidIsHid(r.hnid));
                EXPECT_NE(r.hnid, 0u);
        }
    }
    // Records are sorted by property id.
    auto records = rawRecords(db, built.data);
    for (size_t i = 1; i < records.size(); ++i) EXPECT_LT(records[i - 1].id, records[i].id);
}

TEST(PropertyContext, EmptyContextAndManyPropertiesNeedingAnIndexLevel) {
    FakeNodeDatabase db;
    SubnodeNids nids;
    BuiltNode empty = writePropertyContext(db, {}, nids);
    EXPECT_TRUE(readPropertyContext(db, empty.data, 0).empty());
    HeapReader emptyHeap(db.readBlocks(empty.data));
    EXPECT_EQ(readBthHeader(emptyHeap, emptyHeap.userRoot()).hidRoot, 0u);

    // 1,000 records of 8 bytes exceed one 3,580-byte leaf item; with strings the heap also spans pages.
    PropertyMap many;
    for (uint16_t i = 0; i < 1000; ++i) {
        many[static_cast<uint16_t>(0x8000 + i)] =
            (i % 2) ? int32Value(i) : stringValue("property number " + std::to_string(i));
    }
    BuiltNode built = writePropertyContext(db, many, nids);
    EXPECT_TRUE(built.subnodes.empty());
    HeapReader heap(db.readBlocks(built.data));
    EXPECT_GT(heap.pageCount(), 1u);
    EXPECT_EQ(readBthHeader(heap, heap.userRoot()).bIdxLevels, 1);
    expectSameProperties(many, readPropertyContext(db, built.data, 0));
}

TEST(PropertyContext, RejectsValuesOfTheWrongSize) {
    FakeNodeDatabase db;
    SubnodeNids nids;
    EXPECT_THROW(writePropertyContext(db, {{0x3602, Value{kPtypInteger32, {1, 2, 3}}}}, nids), zentra::Error);
    EXPECT_THROW(writePropertyContext(db, {{0x3602, Value{kPtypBoolean, {1, 0}}}}, nids), zentra::Error);
    EXPECT_THROW(writePropertyContext(db, {{0x8000, Value{kPtypMultipleInteger32, {1, 2, 3, 4, 5}}}}, nids),
                 zentra::Error);
    EXPECT_EQ(db.liveTrees(), 0u);
}

// A database whose heap write fails, to see that subnodes written before it are given back.
class FailingHeapWrite : public FakeNodeDatabase {
public:
    Bid writeBlocks(const std::vector<std::vector<uint8_t>>&) override {
        throw zentra::Error(zentra::kErrDiskFull, "disk full");
    }
};

TEST(PropertyContext, FailedWriteReleasesItsSubnodes) {
    FailingHeapWrite db;
    SubnodeNids nids;
    PropertyMap props{{0x8000, binaryValue(pattern(10000))}, {0x8001, binaryValue(pattern(5000))}};
    try {
        writePropertyContext(db, props, nids);
        FAIL() << "no error";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrDiskFull);
    }
    EXPECT_EQ(db.liveTrees(), 0u);
}

TEST(PropertyContext, ReaderRejectsOtherClientSignatures) {
    FakeNodeDatabase db;
    Table table(std::vector<Column>{});
    SubnodeNids nids;
    BuiltNode tc = table.write(db, nids);
    EXPECT_THROW(readPropertyContext(db, tc.data, 0), zentra::Error);
}

TEST(PropertyContext, ReaderFailsOnMissingSubnode) {
    FakeNodeDatabase db;
    SubnodeNids nids;
    BuiltNode built = writePropertyContext(db, {{0x8000, binaryValue(pattern(4000))}}, nids);
    EXPECT_THROW(readPropertyContext(db, built.data, 0), zentra::Error);
}

}  // namespace
}  // namespace pst::ltp
