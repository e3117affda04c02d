// The cache of named keys' local ids: it must hand out exactly the ids the store's map gives,
// in the same allocation order, whatever keys share a slot, and never an id of another map.
#include "pipeline/local_ids.h"

#include <gtest/gtest.h>

#include "mapi/guid.h"
#include "pipeline/stored_contact.h"
#include "zentra/error.h"

namespace pipeline {
namespace {

using mapi::PropertyKey;

// Far more keys than the cache has slots, numeric and string names in several sets, so that
// keys displace each other and equal LIDs in different sets meet.
std::vector<PropertyKey> manyKeys() {
    const mapi::Guid sets[] = {mapi::kPsetidAddress, mapi::kPsPublicStrings, mapi::mapiGuid(0x00062008)};
    std::vector<PropertyKey> keys;
    for (uint32_t lid = 0x8000; lid < 0x8000 + 700; ++lid)
        for (const mapi::Guid& set : sets) keys.push_back(PropertyKey::named(set, lid));
    for (int i = 0; i < 300; ++i) keys.push_back(PropertyKey::named(mapi::kPsPublicStrings, "Name" + std::to_string(i)));
    keys.push_back(PropertyKey::tagged(0x3001));
    return keys;
}

TEST(LocalIds, GivesTheMapsOwnIdsInTheMapsOwnOrderAcrossRepeatedContacts) {
    const std::vector<PropertyKey> keys = manyKeys();
    pst::messaging::NameToIdMap direct, cached;
    LocalIds ids;
    // Three rounds, as three contacts with the same keys; the second round walks backwards.
    for (int round = 0; round < 3; ++round) {
        for (size_t k = 0; k < keys.size(); ++k) {
            const PropertyKey& key = keys[round == 1 ? keys.size() - 1 - k : k];
            ASSERT_EQ(ids.of(key, cached), localIdOf(key, direct)) << key.describe() << " in round " << round;
        }
    }
    EXPECT_EQ(cached.size(), direct.size());
    EXPECT_EQ(cached.toProperties(), direct.toProperties());
}

TEST(LocalIds, AnotherMapGetsItsOwnIdsNotTheRememberedOnes) {
    pst::messaging::NameToIdMap first, second;
    LocalIds ids;
    const PropertyKey a = PropertyKey::named(mapi::kPsetidAddress, 0x8080);
    const PropertyKey b = PropertyKey::named(mapi::kPsetidAddress, 0x8083);
    EXPECT_EQ(ids.of(a, first), 0x8000);
    EXPECT_EQ(ids.of(b, first), 0x8001);
    // In the second map b comes first: it must get 0x8000 there, and a must be allocated anew.
    EXPECT_EQ(ids.of(b, second), 0x8000);
    EXPECT_EQ(ids.of(a, second), 0x8001);
    EXPECT_EQ(second.find(mapi::kPsetidAddress, 0x8080), std::optional<uint16_t>(0x8001));
}

TEST(LocalIds, TaggedIdsPassThroughAndOnesInTheNamedRangeAreRefused) {
    pst::messaging::NameToIdMap names;
    LocalIds ids;
    EXPECT_EQ(ids.of(PropertyKey::tagged(0x3001), names), 0x3001);
    EXPECT_EQ(ids.of(PropertyKey::tagged(0x7FFF), names), 0x7FFF);
    EXPECT_THROW(ids.of(PropertyKey::tagged(0x8000), names), zentra::Error);
    EXPECT_EQ(names.size(), 0u);
}

}  // namespace
}  // namespace pipeline
