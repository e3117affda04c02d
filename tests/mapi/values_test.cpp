// Stored forms of property values: integer and float encodings, UTF-8 <-> UTF-16LE with
// replacement of malformed input, both multi-valued layouts, reading values back, FILETIME.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "mapi/utf16.h"
#include "mapi/value.h"
#include "zentra/error.h"

namespace mapi {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes utf16(std::u16string_view s) {
    Bytes out;
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

TEST(StoredValues, FixedTypesAreLittleEndianOfTheirSize) {
    EXPECT_EQ(int16Value(-2).bytes, (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(int32Value(0x01020304).bytes, (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(int64Value(-1).bytes, Bytes(8, 0xFF));
    EXPECT_EQ(boolValue(true).bytes, Bytes{1});
    EXPECT_EQ(boolValue(false).bytes, Bytes{0});
    EXPECT_EQ(float64Value(1.0).bytes, (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(timeValue(FileTime{0x01D0000000000001ull}).bytes, (Bytes{1, 0, 0, 0, 0, 0, 0xD0, 0x01}));
    const Guid guid{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(guidValue(guid).bytes.size(), 16u);
    EXPECT_EQ(guidValue(guid).type, kPtypGuid);
    EXPECT_EQ(int32Value(0).type, kPtypInteger32);
    EXPECT_EQ(fixedValueSize(kPtypBoolean), 1u);
    EXPECT_EQ(fixedValueSize(kPtypString), 0u);
    EXPECT_EQ(multiValueElementSize(kPtypMultipleInteger32), 4u);
    EXPECT_TRUE(isMultiVariable(kPtypMultipleString));
    EXPECT_FALSE(isMultiVariable(kPtypMultipleInteger32));
}

TEST(StoredValues, StringsAreUtf16WithoutTerminator) {
    EXPECT_EQ(stringValue("Ab").bytes, (Bytes{'A', 0, 'b', 0}));
    EXPECT_EQ(stringValue("").bytes, Bytes{});
    EXPECT_EQ(stringValue("\xC3\xA9\xE2\x82\xAC").bytes, utf16(u"\u00E9\u20AC"));
    // U+1F600 becomes a surrogate pair.
    EXPECT_EQ(stringValue("\xF0\x9F\x98\x80").bytes, utf16(u"\xD83D\xDE00"));
    EXPECT_EQ(stringValue("x").type, kPtypString);
    for (std::string s : {"Zo\xC3\xAB \xF0\x9F\x98\x80 \xE6\x9D\xB1", "plain", ""}) {
        EXPECT_EQ(utf8FromUtf16le(stringValue(s).bytes), s);
    }
}

TEST(StoredValues, MalformedUtf8BecomesReplacementCharacters) {
    struct Case { std::string in; std::u16string out; };
    const Case cases[] = {
        {"a\x80" "b", u"a\uFFFDb"},                // lone continuation byte
        {"a\xC3", u"a\uFFFD"},                     // truncated at the end
        {"\xC0\x80", u"\uFFFD\uFFFD"},             // overlong NUL (C0 is never a lead byte)
        {"\xE0\x80\x80z", u"\uFFFDz"},             // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD"},               // UTF-16 surrogate encoded in UTF-8
        {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xE2\x82z", u"\uFFFDz"},                 // sequence cut by an ASCII byte
        {"\xFF", u"\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(stringValue(c.in).bytes, utf16(c.out)) << c.in;
}

TEST(StoredValues, Utf16ToUtf8ReplacesUnpairedSurrogates) {
    EXPECT_EQ(utf8FromUtf16le(utf16(u"\xD800x")), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf8FromUtf16le(utf16(u"\xDC00")), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8FromUtf16le(Bytes{'a', 0, 'b'}), "a\xEF\xBF\xBD");   // odd trailing byte
}

TEST(StoredValues, MultiValuedLayouts) {
    Value strings = multiStringValue({"ab", "", "c"});
    EXPECT_EQ(strings.type, kPtypMultipleString);
    // ulCount 3, offsets 16, 20, 20, then "ab" and "c" in UTF-16.
    EXPECT_EQ(strings.bytes, (Bytes{3, 0, 0, 0, 16, 0, 0, 0, 20, 0, 0, 0, 20, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0}));
    auto items = unpackMultiValue(strings.type, strings.bytes);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(utf8FromUtf16le(items[0]), "ab");
    EXPECT_TRUE(items[1].empty());
    EXPECT_EQ(utf8FromUtf16le(items[2]), "c");

    Value ints = multiInt32Value({1, -1});
    EXPECT_EQ(ints.bytes, (Bytes{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(unpackMultiValue(ints.type, ints.bytes).size(), 2u);

    Value binaries = multiBinaryValue({{1, 2, 3}, {4}});
    EXPECT_EQ(binaries.type, kPtypMultipleBinary);
    auto bins = unpackMultiValue(binaries.type, binaries.bytes);
    ASSERT_EQ(bins.size(), 2u);
    EXPECT_EQ(bins[0], (Bytes{1, 2, 3}));
    EXPECT_EQ(bins[1], Bytes{4});

    EXPECT_EQ(multiStringValue({}).bytes, (Bytes{0, 0, 0, 0}));
    EXPECT_THROW(unpackMultiValue(kPtypMultipleInteger32, Bytes{1, 2, 3}), zentra::Error);
    EXPECT_THROW(unpackMultiValue(kPtypMultipleBinary, Bytes{2, 0, 0, 0, 12, 0, 0, 0, 99, 0, 0, 0}), zentra::Error);
    EXPECT_THROW(unpackMultiValue(kPtypMultipleBinary, Bytes{9, 0, 0, 0}), zentra::Error);
}

// Written as bytes, the way the one-off entry ids of the contact mapping embed strings.
std::string utf16le(std::string_view utf8) {
    const Bytes bytes = utf16leFromUtf8(utf8);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Utf16, EncodesBmpSupplementaryAndInvalidInput) {
    EXPECT_EQ(utf16le("A\xC3\xA9"), std::string("A\0\xE9\0", 4));
    EXPECT_EQ(utf16le("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));   // U+1F600
    EXPECT_EQ(utf16le("\xFF" "a"), std::string("\xFD\xFF" "a\0", 4));
    EXPECT_EQ(utf16le("\xE2\x82"), std::string("\xFD\xFF", 2));                    // truncated sequence
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

// ASCII is widened in blocks of sixteen and of eight bytes: a character that is not ASCII at
// any position of a string of any length around those block sizes must stop the block there.
TEST(Utf16, OneNonAsciiCharacterAtEveryPositionAroundTheBlockSizes) {
    for (std::size_t length = 1; length <= 26; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string text, expected;
            for (std::size_t i = 0; i < length; ++i) {
                const char ascii = static_cast<char>('a' + i % 26);
                text += i == at ? std::string("\xC3\xA9") : std::string(1, ascii);
                expected += i == at ? std::string("\xE9\0", 2) : std::string{ascii, '\0'};
            }
            EXPECT_EQ(utf16le(text), expected) << text;
        }
    }
}

TEST(StoredValues, CarryTheirTypeCode) {
    EXPECT_EQ(stringValue("").type, 0x001F);
    EXPECT_EQ(int16Value(1).type, 0x0002);
    EXPECT_EQ(int32Value(1).type, 0x0003);
    EXPECT_EQ(boolValue(true).type, 0x000B);
    EXPECT_EQ(timeValue(FileTime{1}).type, 0x0040);
    EXPECT_EQ(binaryValueOf("x").type, 0x0102);
    EXPECT_EQ(multiInt32Value({1}).type, 0x1003);
    EXPECT_EQ(multiStringValue({"a"}).type, 0x101F);
}

// The readers give back what the constructors stored, and nothing for another type.
TEST(StoredValues, ReadBackAsWritten) {
    EXPECT_EQ(int16Of(int16Value(-7)), std::optional<int16_t>(-7));
    EXPECT_EQ(int32Of(int32Value(-123456)), std::optional<int32_t>(-123456));
    EXPECT_EQ(boolOf(boolValue(true)), std::optional<bool>(true));
    EXPECT_EQ(timeOf(timeValue(FileTime{42})), std::optional<FileTime>(FileTime{42}));
    EXPECT_EQ(stringOf(stringValue("Zo\xC3\xAB")), std::optional<std::string>("Zo\xC3\xAB"));
    EXPECT_EQ(multiStringOf(multiStringValue({"a", "", "b"})), (std::optional<std::vector<std::string>>({"a", "", "b"})));
    EXPECT_EQ(multiInt32Of(multiInt32Value({1, -1})), (std::optional<std::vector<int32_t>>({1, -1})));
    EXPECT_FALSE(int32Of(int16Value(1)));
    EXPECT_FALSE(stringOf(binaryValueOf("ab")));
    EXPECT_FALSE(int32Of(Value{kPtypInteger32, Bytes{1, 2}}));   // wrong width
    EXPECT_FALSE(multiStringOf(Value{kPtypMultipleString, Bytes{9, 0, 0, 0}}));
}

// Calendar dates are checked against the C library in tests/contact/dates_test.cpp.
// Values up to kInlineBytes sit in the object, longer ones on the heap: every operation must
// give the same bytes on both sides of the boundary and when a value crosses it.
TEST(ValueBytesStorage, SameBytesInlineAndOnTheHeap) {
    for (std::size_t size : {std::size_t{0}, ValueBytes::kInlineBytes - 1, ValueBytes::kInlineBytes,
                             ValueBytes::kInlineBytes + 1, std::size_t{1000}}) {
        Bytes expected(size);
        for (std::size_t i = 0; i < size; ++i) expected[i] = static_cast<uint8_t>(i * 7 + 1);
        ValueBytes grown;
        for (uint8_t b : expected) grown.push_back(b);
        EXPECT_EQ(grown, expected) << size;
        ValueBytes copy(grown);
        EXPECT_EQ(copy, expected) << size;
        ValueBytes moved(std::move(copy));
        EXPECT_EQ(moved, expected) << size;
        EXPECT_TRUE(copy.empty()) << size;
        ValueBytes assigned{9, 9, 9};
        assigned = moved;   // a short value replaced by a long one, and the other way round
        EXPECT_EQ(assigned, expected) << size;
        assigned = ValueBytes{1, 2};
        EXPECT_EQ(assigned, (Bytes{1, 2})) << size;
        moved.resize(size + 40, 0xEE);   // crosses into the heap, keeping what was there
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), moved.begin())) << size;
        EXPECT_EQ(moved[size + 39], 0xEE) << size;
    }
}

TEST(ValueBytesStorage, StringsAtTheInlineBoundary) {
    // 16 and 17 UTF-16 units: the last string held inline and the first one on the heap.
    for (std::u16string text : {std::u16string(16, u'a'), std::u16string(17, u'a'), std::u16string(17, u'\u00E9')}) {
        std::string utf8;
        for (char16_t c : text) {
            if (c < 0x80) utf8.push_back(static_cast<char>(c));
            else utf8 += "\xC3\xA9";
        }
        EXPECT_EQ(stringValue(utf8).bytes, utf16(text));
        EXPECT_EQ(multiStringOf(multiStringValue({utf8, "", utf8})),
                  (std::optional<std::vector<std::string>>({utf8, "", utf8})));
    }
}

TEST(FileTimes, LeapDaysAndTheClock) {
    EXPECT_EQ(fileTimeOfDate(2000, 3, 1).ticks - fileTimeOfDate(2000, 2, 28).ticks, 2 * 864000000000ULL);   // leap day
    EXPECT_GT(fileTimeNow().ticks, fileTimeOfDate(2024, 1, 1).ticks);
}

}  // namespace
}  // namespace mapi
