// The mapping's own helpers where they stand in for slower general code: the preference order
// must be vcard::byPreference's exactly, and the text helpers must keep the joining and
// line-break rules the mappers relied on.
#include <gtest/gtest.h>

#include <random>

#include "mapping_context.h"

namespace contact::detail {
namespace {

TEST(PreferenceOrder, MatchesTheParsersOrderForShortAndLongLists) {
    std::mt19937 random(991);
    for (int round = 0; round < 400; ++round) {
        const std::size_t count = random() % 40;   // past the 16 kept without heap memory
        std::vector<vcard::Phone> phones(count);
        for (std::size_t i = 0; i < count; ++i) {
            // Few distinct values, so ties are common and the order among them is tested.
            const int choice = static_cast<int>(random() % 5);
            phones[i].preference = choice == 0 ? 0 : choice == 1 ? 100 : choice;
            phones[i].number = std::to_string(i);
        }
        const std::vector<vcard::Phone> expected = vcard::byPreference(phones);
        const PreferenceOrder<vcard::Phone> order(phones);
        ASSERT_EQ(order.size(), expected.size());
        std::size_t i = 0;
        for (const vcard::Phone& phone : order) {
            EXPECT_EQ(phone.number, expected[i].number) << "round " << round << " position " << i;
            EXPECT_EQ(&phone, &phones[std::stoul(phone.number)]) << "not a view of the input";
            ++i;
        }
        if (count > 0) {
            EXPECT_EQ(order.front().number, expected.front().number);
        }
    }
}

TEST(TextHelpers, JoinSkipsEmptyPartsLikeTheVectorForm) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {""}, {"a"}, {"", "b"}, {"a", ""}, {"a", "", "c"}, {"", "", ""}, {"x y", "z"}};
    for (const auto& parts : cases) {
        std::string viaViews;
        switch (parts.size()) {
            case 0: viaViews = joinedViews({}, ", "); break;
            case 1: viaViews = joinedViews({parts[0]}, ", "); break;
            case 2: viaViews = joinedViews({parts[0], parts[1]}, ", "); break;
            default: viaViews = joinedViews({parts[0], parts[1], parts[2]}, ", "); break;
        }
        EXPECT_EQ(viaViews, joined(parts, ", "));
    }
    EXPECT_EQ(joinedViews({"a", "", "c"}, "\r\n"), "a\r\nc");
}

TEST(TextHelpers, LineBreaksBecomeCrlfAndAppendKeepsWhatWasThere) {
    EXPECT_EQ(withCrlf("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(withCrlf("\n\n"), "\r\n\r\n");
    EXPECT_EQ(withCrlf("\r\r\n"), "\r\n\r\n");
    EXPECT_EQ(withCrlf("plain"), "plain");
    std::string out = "x";
    appendWithCrlf(out, "1\n2");
    appendWithCrlf(out, "3");
    EXPECT_EQ(out, "x1\r\n23");
}

// Trimming and case-blind comparison are zentra/text.h's, tested in tests/common/text_test.cpp.
TEST(TextHelpers, NulBytesAreDropped) {
    std::string s("a\0b\0", 4);
    removeNul(s);
    EXPECT_EQ(s, "ab");
    const mapi::Value list = textListValue({std::string("x\0", 2), "y"});
    EXPECT_EQ(mapi::multiStringOf(list), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(mapi::stringOf(textValue(std::string_view("a\0b", 3))), "ab");
}

}  // namespace
}  // namespace contact::detail
