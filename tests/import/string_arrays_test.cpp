#include "import/string_arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "zentra/error.h"

using modMain::CompactStrings;
using modMain::SortStrings;
using modMain::TextArray;

namespace {

long errorNumberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const zentra::Error& e) {
        return e.number();
    }
    return 0;
}

TextArray arr(std::initializer_list<const char16_t*> items) {
    TextArray out;
    for (auto* s : items) out.push_back(QString::fromUtf16(s));
    return out;
}

}  // namespace

TEST(SortStrings, OrdersByUtf16CodeUnitsCaseSensitively) {
    TextArray a = arr({u"b", u"a", u"B", u"", u"ab", u"A"});
    SortStrings(a, 0, 5);
    EXPECT_EQ(a, arr({u"", u"A", u"B", u"a", u"ab", u"b"}));
}

TEST(SortStrings, ComparesCodeUnitsNotCodePointsOrLocale) {
    // U+FF21 (fullwidth A) is one unit 0xFF21; U+1F600 is the surrogate pair D83D DE00.
    // By code points the emoji would sort last; by UTF-16 units it sorts before U+FF21.
    TextArray a = {QString::fromUtf16(u"\uFF21"), QString::fromUtf16(u"\U0001F600"), QStringLiteral("\u00e9"),
                   QStringLiteral("z")};
    SortStrings(a, 0, 3);
    EXPECT_EQ(a[0], QStringLiteral("z"));
    EXPECT_EQ(a[1], QStringLiteral("\u00e9"));
    EXPECT_EQ(a[2], QString::fromUtf16(u"\U0001F600"));
    EXPECT_EQ(a[3], QString::fromUtf16(u"\uFF21"));
}

TEST(SortStrings, SortsOnlyTheRangeAndLeavesTheRestUntouched) {
    TextArray a = arr({u"z", u"c", u"b", u"a", u"y"});
    SortStrings(a, 1, 3);
    EXPECT_EQ(a, arr({u"z", u"a", u"b", u"c", u"y"}));
    TextArray one = arr({u"q", u"p"});
    SortStrings(one, 1, 1);
    EXPECT_EQ(one, arr({u"q", u"p"}));
}

TEST(SortStrings, AgreesWithStdSortOnRandomInputsWithDuplicates) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + static_cast<int>(rng() % 60);
        TextArray a;
        for (int i = 0; i < n; ++i) a.push_back(QString::number(rng() % 17) + (rng() % 3 ? "x" : ""));
        TextArray expected = a;
        std::sort(expected.begin(), expected.end());
        SortStrings(a, 0, n - 1);
        ASSERT_EQ(a, expected) << "round " << round;
    }
}

TEST(SortStrings, EmptyRangeOrArrayIsAnIndexErrorAndChangesNothing) {
    TextArray a = arr({u"b", u"a"});
    EXPECT_EQ(errorNumberOf([&] { SortStrings(a, 0, -1); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(a, arr({u"b", u"a"}));
    TextArray empty;
    EXPECT_EQ(errorNumberOf([&] { SortStrings(empty, 0, -1); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { SortStrings(a, 0, 2); }), zentra::kErrSubscriptOutOfRange);
}

TEST(CompactStrings, KeepsFirstOfEachRunAndDropsEmpties) {
    TextArray a = arr({u"", u"", u"a", u"a", u"a", u"b", u"c", u"c"});
    CompactStrings(a);
    EXPECT_EQ(a, arr({u"a", u"b", u"c"}));
}

TEST(CompactStrings, AnEmptyEntryEndsARunAndCaseMatters) {
    TextArray a = arr({u"a", u"", u"a", u"A", u"a"});
    CompactStrings(a);
    EXPECT_EQ(a, arr({u"a", u"a", u"A", u"a"}));
}

TEST(CompactStrings, OnlyAdjacentRepeatsGoOnUnsortedInput) {
    TextArray a = arr({u"x", u"y", u"x", u"x", u"y"});
    CompactStrings(a);
    EXPECT_EQ(a, arr({u"x", u"y", u"x", u"y"}));
}

TEST(CompactStrings, NothingLeftIsAnIndexErrorKeepingTheSize) {
    TextArray a = arr({u"", u"", u""});
    EXPECT_EQ(errorNumberOf([&] { CompactStrings(a); }), zentra::kErrSubscriptOutOfRange);
    EXPECT_EQ(a.size(), 3u);
    for (const auto& s : a) EXPECT_TRUE(s.isEmpty());
}

TEST(CompactStrings, RunReachingTheEndIsCollapsed) {
    TextArray a = arr({u"a", u"b", u"b", u"b"});
    CompactStrings(a);
    EXPECT_EQ(a, arr({u"a", u"b"}));
}

TEST(GetFolderPart, CutsAfterTheLastSeparator) {
    EXPECT_EQ(registry::GetFolderPart("a\\b\\c.vcf", u'\\'), "a\\b\\");
    EXPECT_EQ(registry::GetFolderPart("c.vcf", u'\\'), "");
    EXPECT_EQ(registry::GetFolderPart("a\\b\\", u'\\'), "a\\b\\");
    EXPECT_EQ(registry::GetFolderPart("\\c.vcf", u'\\'), "\\");
    EXPECT_EQ(registry::GetFolderPart("/home/ann/x.vcf", u'/'), "/home/ann/");
    EXPECT_EQ(registry::GetFolderPart("a\\b/c", u'/'), "a\\b/");
    EXPECT_EQ(errorNumberOf([] { registry::GetFolderPart("", u'\\'); }), zentra::kErrSubscriptOutOfRange);
}
