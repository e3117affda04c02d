// The property model: GUID byte order, keys, the ordered list, value types, UTF-16 and the
// one-off entry id layout.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "contact/one_off_entry_id.h"
#include "contact/properties.h"
#include "contact/property_ids.h"

namespace contact {
namespace {

TEST(PropertySets, AreStoredWithLittleEndianDataFields) {
    const Guid address{0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    const Guid common{0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    const Guid strings{0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(kPsetidAddress, address);
    EXPECT_EQ(kPsetidCommon, common);
    EXPECT_EQ(kPsPublicStrings, strings);
    EXPECT_EQ(guidText(kPsetidAddress), "{00062004-0000-0000-C000-000000000046}");
    EXPECT_EQ(guidText(kPsPublicStrings), "{00020329-0000-0000-C000-000000000046}");
}

TEST(PropertyKeys, CompareByKindSetAndIdOrCaseBlindName) {
    EXPECT_EQ(PropertyKey::tagged(0x3001), PropertyKey::tagged(0x3001));
    EXPECT_FALSE(PropertyKey::tagged(0x3001) == PropertyKey::tagged(0x3002));
    EXPECT_FALSE(PropertyKey::tagged(0x8005) == PropertyKey::named(kPsetidAddress, 0x8005));
    EXPECT_FALSE(PropertyKey::named(kPsetidAddress, 0x8005) == PropertyKey::named(kPsetidCommon, 0x8005));
    EXPECT_EQ(PropertyKey::named(kPsPublicStrings, "Keywords"), PropertyKey::named(kPsPublicStrings, "KEYWORDS"));
    EXPECT_FALSE(PropertyKey::named(kPsPublicStrings, "Keywords") == PropertyKey::named(kPsetidCommon, "Keywords"));
    EXPECT_EQ(PropertyKey::named(kPsetidAddress, 0x8005).describe(), "{00062004-0000-0000-C000-000000000046}/0x8005");
}

TEST(PropertyLists, KeepFirstSetOrderAndReplaceInPlace) {
    PropertyList list;
    list.set(tagKey(0x3001), std::string("a"));
    list.set(addressKey(0x8005), std::string("b"));
    list.set(keywordsKey(), std::vector<std::string>{"x"});
    list.set(tagKey(0x3001), std::string("c"));
    list.set(PropertyKey::named(kPsPublicStrings, "keywords"), std::vector<std::string>{"y"});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(std::get<std::string>(list.items()[0].value), "c");
    EXPECT_EQ(list.items()[1].key, addressKey(0x8005));
    EXPECT_EQ(std::get<std::vector<std::string>>(list.items()[2].value), std::vector<std::string>{"y"});
    EXPECT_EQ(list.get<int32_t>(tagKey(0x3001)), nullptr);   // wrong type
    EXPECT_TRUE(list.remove(addressKey(0x8005)));
    EXPECT_FALSE(list.remove(addressKey(0x8005)));
    EXPECT_EQ(list.size(), 2u);
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
    for (int i = 0; i < 300; ++i) list.set(keyOf(i), int32_t{i});
    for (int i = 0; i < 300; i += 7) list.set(keyOf(i), int32_t{-i});   // replaced, not added
    ASSERT_EQ(list.size(), 300u);
    for (int i = 0; i < 300; i += 5) EXPECT_TRUE(list.remove(keyOf(i))) << i;
    for (int i = 0; i < 300; i += 5) EXPECT_FALSE(list.contains(keyOf(i))) << i;
    EXPECT_EQ(list.size(), 240u);
    list.set(keyOf(0), int32_t{1000});   // a removed key comes back at the end
    EXPECT_EQ(list.items().back().key, keyOf(0));

    const PropertyList copy = list;
    for (const PropertyList* l : {static_cast<const PropertyList*>(&list), &copy}) {
        int expectedPosition = 0;
        for (int i = 1; i < 300; ++i) {
            if (i % 5 == 0) continue;
            const int32_t* value = l->get<int32_t>(keyOf(i));
            ASSERT_NE(value, nullptr) << i;
            EXPECT_EQ(*value, i % 7 == 0 ? -i : i);
            EXPECT_EQ(l->items()[static_cast<std::size_t>(expectedPosition++)].key, keyOf(i));
        }
    }
    EXPECT_EQ(*copy.get<int32_t>(PropertyKey::named(kPsPublicStrings, "NAME2")), 2);   // names ignore case
    EXPECT_EQ(copy.find(tagKey(0x2FFF)), nullptr);
}

TEST(PropertyValues, CarryTheirTypeCode) {
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{std::string()})), 0x001F);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{int16_t{1}})), 0x0002);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{int32_t{1}})), 0x0003);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{true})), 0x000B);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{FileTime{1}})), 0x0040);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{Binary{"x"}})), 0x0102);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{std::vector<int32_t>{1}})), 0x1003);
    EXPECT_EQ(static_cast<uint16_t>(typeOf(Value{std::vector<std::string>{"a"}})), 0x101F);
}

TEST(Utf16, EncodesBmpSupplementaryAndInvalidInput) {
    EXPECT_EQ(utf16le("A\xC3\xA9"), std::string("A\0\xE9\0", 4));
    EXPECT_EQ(utf16le("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));   // U+1F600
    EXPECT_EQ(utf16le("\xFF" "a"), std::string("\xFD\xFF" "a\0", 4));
    EXPECT_EQ(utf16le("\xE2\x82"), std::string("\xFD\xFF\xFD\xFF", 4));            // truncated sequence
    EXPECT_EQ(utf16le("\xC0\xAF"), std::string("\xFD\xFF\xFD\xFF", 4));            // overlong
}

// ASCII runs are copied in bulk: text switching between ASCII and other characters at every
// position must still come out as the code-point-by-code-point encoding.
TEST(Utf16, MixedTextMatchesPerCodePointEncoding) {
    const std::string pieces[] = {"a", "Zq", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF", "0123456789abcdef"};
    const std::string encoded[] = {std::string("a\0", 2), std::string("Z\0q\0", 4), std::string("\xE9\0", 2),
                                   std::string("\xAC\x20", 2), std::string("\x3D\xD8\x00\xDE", 4), std::string("\xFD\xFF", 2),
                                   std::string("0\0" "1\0" "2\0" "3\0" "4\0" "5\0" "6\0" "7\0" "8\0" "9\0" "a\0" "b\0" "c\0" "d\0" "e\0" "f\0", 32)};
    for (std::size_t length = 1; length <= 5; ++length) {
        for (std::size_t start = 0; start < std::size(pieces); ++start) {
            std::string text, expected;
            for (std::size_t k = 0; k < length; ++k) {
                const std::size_t i = (start + 3 * k) % std::size(pieces);
                text += pieces[i];
                expected += encoded[i];
            }
            EXPECT_EQ(utf16le(text), expected) << text;
        }
    }
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
