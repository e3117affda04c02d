// The property list (keys in first-set order, values replaced in place) and the one-off entry
// id layout; keys, GUIDs and value forms are the MAPI vocabulary's (tests/mapi).
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "contact/one_off_entry_id.h"
#include "contact/properties.h"
#include "mapi/property_catalogue.h"

namespace contact {
namespace {

PropertyKey tagKey(uint16_t id) { return PropertyKey::tagged(id); }
PropertyKey addressKey(uint32_t lid) { return PropertyKey::named(mapi::kPsetidAddress, lid); }
using mapi::kPsPublicStrings;

TEST(PropertyLists, KeepFirstSetOrderAndReplaceInPlace) {
    PropertyList list;
    list.set(tagKey(0x3001), mapi::stringValue("a"));
    list.set(addressKey(0x8005), mapi::stringValue("b"));
    list.set(mapi::PidNameKeywords, mapi::multiStringValue({"x"}));
    list.set(tagKey(0x3001), mapi::stringValue("c"));
    list.set(PropertyKey::named(kPsPublicStrings, "keywords"), mapi::multiStringValue({"y"}));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(mapi::stringOf(list.items()[0].value), "c");
    EXPECT_EQ(list.items()[1].key, addressKey(0x8005));
    EXPECT_EQ(mapi::multiStringOf(list.items()[2].value), std::vector<std::string>{"y"});
    EXPECT_FALSE(mapi::int32Of(list.find(tagKey(0x3001))->value));   // wrong type
    EXPECT_TRUE(list.remove(addressKey(0x8005)));
    EXPECT_FALSE(list.remove(addressKey(0x8005)));
    EXPECT_EQ(list.size(), 2u);
    // Handing the properties over leaves an empty list that still works.
    EXPECT_EQ(list.release().size(), 2u);
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.contains(tagKey(0x3001)));
    list.set(tagKey(0x3001), mapi::stringValue("d"));
    EXPECT_EQ(list.size(), 1u);
}

// Enough keys of every kind to make the list's index grow several times, with removals between.
TEST(PropertyLists, FindEveryKeyAfterGrowthRemovalAndCopy) {
    PropertyList list;
    const auto keyOf = [](int i) {
        switch (i % 3) {
            case 0: return tagKey(static_cast<uint16_t>(0x3000 + i));
            case 1: return addressKey(static_cast<uint32_t>(0x8000 + i));
            default: return PropertyKey::named(kPsPublicStrings, "Name" + std::to_string(i));
        }
    };
    for (int i = 0; i < 300; ++i) list.set(keyOf(i), mapi::int32Value(i));
    for (int i = 0; i < 300; i += 7) list.set(keyOf(i), mapi::int32Value(-i));   // replaced, not added
    ASSERT_EQ(list.size(), 300u);
    for (int i = 0; i < 300; i += 5) EXPECT_TRUE(list.remove(keyOf(i))) << i;
    for (int i = 0; i < 300; i += 5) EXPECT_FALSE(list.contains(keyOf(i))) << i;
    EXPECT_EQ(list.size(), 240u);
    list.set(keyOf(0), mapi::int32Value(1000));   // a removed key comes back at the end
    EXPECT_EQ(list.items().back().key, keyOf(0));

    const PropertyList copy = list;
    for (const PropertyList* l : {static_cast<const PropertyList*>(&list), &copy}) {
        int expectedPosition = 0;
        for (int i = 1; i < 300; ++i) {
            if (i % 5 == 0) continue;
            const Property* found = l->find(keyOf(i));
            ASSERT_NE(found, nullptr) << i;
            EXPECT_EQ(mapi::int32Of(found->value), i % 7 == 0 ? -i : i);
            EXPECT_EQ(l->items()[static_cast<std::size_t>(expectedPosition++)].key, keyOf(i));
        }
    }
    EXPECT_EQ(mapi::int32Of(copy.find(PropertyKey::named(kPsPublicStrings, "NAME2"))->value), 2);   // names ignore case
    EXPECT_EQ(copy.find(tagKey(0x2FFF)), nullptr);
}

TEST(OneOffEntryIds, FollowTheOxcdataLayout) {
    const std::string id = makeOneOffEntryId("Ann", "SMTP", "a@b", kOneOffSmtpFlags);
    std::string expected(4, '\0');
    expected += std::string("\x81\x2B\x1F\xA4\xBE\xA3\x10\x19\x9D\x6E\x00\xDD\x01\x0F\x54\x02", 16);
    expected += std::string("\x00\x00", 2);   // version
    expected += std::string("\x01\x90", 2);   // flags 0x9001: Unicode, no address-book look-up, MIME
    expected += std::string("A\0n\0n\0\0\0", 8);
    expected += std::string("S\0M\0T\0P\0\0\0", 10);
    expected += std::string("a\0@\0b\0\0\0", 8);
    EXPECT_EQ(id, expected);

    const std::string fax = makeOneOffEntryId("", "FAX", "1", kOneOffFaxFlags);
    EXPECT_EQ(fax.substr(20, 4), std::string("\x00\x00\x00\x90", 4));
    EXPECT_EQ(fax.substr(24), std::string("\0\0F\0A\0X\0\0\0" "1\0\0\0", 14));
}

}  // namespace
}  // namespace contact
