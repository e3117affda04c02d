// The name-to-ID map: ids for numeric and string names, case-blind string matching, the GUID,
// entry and string streams, bucket placement with the [MS-PST] hash (checked against records
// of an Outlook-written store), and the stored map read back from a closed file.
#include <gtest/gtest.h>

#include "messaging_support.h"
#include "pst/core/le_codec.h"
#include "pst/messaging/name_to_id_map.h"

using namespace pst;
using namespace pst::messaging;
using namespace messaging_test;

namespace {

const Guid kPsetidCommon = mapi::parseGuid("00062008-0000-0000-C000-000000000046");

struct Record {
    uint32_t id;
    uint16_t word;
    uint16_t index;
    bool operator==(const Record&) const = default;
};

std::vector<Record> records(std::span<const uint8_t> bytes) {
    std::vector<Record> out;
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8)
        out.push_back({core::readLe32(bytes, i), core::readLe16(bytes, i + 4), core::readLe16(bytes, i + 6)});
    return out;
}

bool bucketHolds(const ltp::PropertyMap& props, uint32_t bucket, const Record& r) {
    auto it = props.find(static_cast<uint16_t>(0x1000 + bucket));
    if (it == props.end()) return false;
    for (const Record& x : records(it->second.bytes))
        if (x == r) return true;
    return false;
}

}  // namespace

TEST(MessagingNameToIdMap, GuidsParseIntoStoredByteOrder) {
    EXPECT_EQ(mapi::kPsetidAddress, (Guid{0x04, 0x20, 0x06, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
    EXPECT_EQ(mapi::kPsMapi, (Guid{0x28, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
    EXPECT_THROW(mapi::parseGuid("00062004-0000-0000-C000-00000000004"), zentra::Error);
    EXPECT_THROW(mapi::parseGuid("00062004x0000-0000-C000-000000000046"), zentra::Error);
}

TEST(MessagingNameToIdMap, NumericNamesGetStableIdsPerGuid) {
    NameToIdMap map;
    uint16_t email = map.idFor(mapi::kPsetidAddress, 0x8083);
    uint16_t fileUnder = map.idFor(mapi::kPsetidAddress, 0x8005);
    EXPECT_EQ(email, 0x8000);
    EXPECT_EQ(fileUnder, 0x8001);
    EXPECT_EQ(map.idFor(mapi::kPsetidAddress, 0x8083), email);
    EXPECT_EQ(map.idFor(kPsetidCommon, 0x8083), 0x8002);   // same LID, other set: other id
    EXPECT_EQ(map.find(mapi::kPsetidAddress, 0x8005), std::optional<uint16_t>(fileUnder));
    EXPECT_EQ(map.find(mapi::kPsetidAddress, 0x9999), std::nullopt);
    EXPECT_EQ(map.find(mapi::kPsMapi, 0x8005), std::nullopt);
    EXPECT_EQ(map.size(), 3u);
}

TEST(MessagingNameToIdMap, StringNamesMatchWithoutRegardToCaseAndKeepTheFirstSpelling) {
    NameToIdMap map;
    uint16_t id = map.idFor(mapi::kPsPublicStrings, "Content-Type");
    EXPECT_EQ(map.idFor(mapi::kPsPublicStrings, "content-type"), id);
    EXPECT_EQ(map.idFor(mapi::kPsPublicStrings, "CONTENT-TYPE"), id);
    EXPECT_EQ(map.find(mapi::kPsPublicStrings, "Content-type"), std::optional<uint16_t>(id));
    EXPECT_NE(map.idFor(kPsetidCommon, "Content-Type"), id);   // the GUID still counts
    EXPECT_EQ(map.size(), 2u);

    ltp::PropertyMap props = map.toProperties();
    const auto& strings = props.at(0x0004).bytes;
    ASSERT_GE(strings.size(), 4u + 24u);
    EXPECT_EQ(core::readLe32(strings, 0), 24u);   // "Content-Type", 12 UTF-16 units
    EXPECT_EQ(strings[4], 'C');
    EXPECT_EQ(strings[4 + 16], 'T');
}

TEST(MessagingNameToIdMap, StreamsFollowMsPstLayout) {
    NameToIdMap map;
    map.idFor(mapi::kPsMapi, 0x0001);               // wGuid 1: no GUID stream entry
    map.idFor(mapi::kPsetidAddress, 0x8083);        // wGuid 3
    map.idFor(mapi::kPsPublicStrings, "Keywords");  // wGuid 2, string
    map.idFor(kPsetidCommon, 0x8580);         // wGuid 4
    map.idFor(mapi::kPsetidAddress, "Abc");         // wGuid 3, string at offset 20 (4 + 16)
    ltp::PropertyMap props = map.toProperties();

    EXPECT_EQ(core::readLe32(props.at(0x0001).bytes, 0), 251u);
    std::vector<uint8_t> guids(mapi::kPsetidAddress.begin(), mapi::kPsetidAddress.end());
    guids.insert(guids.end(), kPsetidCommon.begin(), kPsetidCommon.end());
    EXPECT_EQ(props.at(0x0002).bytes, guids);

    EXPECT_EQ(records(props.at(0x0003).bytes), (std::vector<Record>{
                                                  {0x0001, 1 << 1, 0},
                                                  {0x8083, 3 << 1, 1},
                                                  {0, 2 << 1 | 1, 2},
                                                  {0x8580, 4 << 1, 3},
                                                  {20, 3 << 1 | 1, 4},
                                              }));
    const auto& strings = props.at(0x0004).bytes;
    EXPECT_EQ(strings.size(), 20u + 4u + 8u);   // "Abc" is 6 bytes, padded to 8
    EXPECT_EQ(core::readLe32(strings, 20), 6u);

    // Every record sits in the bucket its hash names: numeric by LID, strings by name CRC.
    EXPECT_TRUE(bucketHolds(props, (0x0001 ^ 2) % 251, {0x0001, 2, 0}));
    EXPECT_TRUE(bucketHolds(props, (0x8083 ^ 6) % 251, {0x8083, 6, 1}));
    uint32_t crc = nameidStringCrc("Keywords");
    EXPECT_TRUE(bucketHolds(props, (crc ^ 5) % 251, {crc, 5, 2}));
    size_t bucketRecords = 0;
    for (const auto& [id, value] : props)
        if (id >= 0x1000) bucketRecords += records(value.bytes).size();
    EXPECT_EQ(bucketRecords, 5u);
}

TEST(MessagingNameToIdMap, HashMatchesRecordsOfAnOutlookWrittenStore) {
    // Bucket records of the Name-to-ID map of Empty.pst (an Outlook-written store):
    // {dwPropertyID, wGuid<<1|N, wPropIdx} and the bucket property that holds them.
    EXPECT_EQ(nameidStringCrc("content-class"), 0xE6008F65u);
    EXPECT_EQ(nameidStringCrc("Keywords"), 0x2EDA4D3Bu);
    EXPECT_EQ(nameidStringCrc("x-cr-puzzleid"), 0xA6BAF103u);
    EXPECT_EQ(0x1000 + nameidBucket(0xE6008F65u, 9), 0x10CEu);
    EXPECT_EQ(0x1000 + nameidBucket(0x2EDA4D3Bu, 5), 0x1065u);
    EXPECT_EQ(0x1000 + nameidBucket(0xA6BAF103u, 9), 0x1009u);
    EXPECT_EQ(0x1000 + nameidBucket(0x8552, 10), 0x1000u);
    EXPECT_EQ(0x1000 + nameidBucket(0x8205, 6), 0x1097u);
}

TEST(MessagingNameToIdMap, StoredMapReadsBackFromTheFile) {
    ScratchDir dir;
    std::string path = dir.file("names.pst");
    uint16_t email, keywords, custom;
    {
        auto store = Store::create(path, "names");
        NameToIdMap& map = store->nameToIdMap();
        email = map.idFor(mapi::kPsetidAddress, 0x8083);
        keywords = map.idFor(mapi::kPsPublicStrings, "Keywords");
        store->commit();
        custom = map.idFor(kPsetidCommon, "x-Zentra-\xC3\x84");   // added after a commit
        for (uint32_t lid = 0x8100; lid < 0x8300; ++lid) map.idFor(mapi::kPsetidAddress, lid);   // streams beyond one heap item
        store->close();
    }
    FileNodes file(path);
    NameToIdMap back = NameToIdMap::fromProperties(file.pc(0x61));
    EXPECT_EQ(back.size(), 5u + 0x200u);   // three every store starts with (Keywords among them)
    EXPECT_EQ(back.find(mapi::kPsetidAddress, 0x8083), std::optional<uint16_t>(email));
    EXPECT_EQ(back.find(mapi::kPsPublicStrings, "KEYWORDS"), std::optional<uint16_t>(keywords));
    EXPECT_EQ(back.find(kPsetidCommon, "X-ZENTRA-\xC3\xA4"), std::optional<uint16_t>(custom));
    EXPECT_EQ(back.find(mapi::kPsetidAddress, 0x82FF), std::optional<uint16_t>(0x8000 + 5 + 0x1FF));
    EXPECT_EQ(back.find(mapi::PidLidFileUnder.set, mapi::PidLidFileUnder.lid), std::optional<uint16_t>(0x8000));
    EXPECT_EQ(back.find(mapi::kPsPublicStrings, "keywords"), std::optional<uint16_t>(0x8002));
    EXPECT_EQ(keywords, 0x8002);
    expectSoundEverywhere(path);
}
