// The shared text helpers at their edges: empty and all-blank text, the bytes next to the ASCII
// letters, and non-ASCII bytes, which case folding must leave alone (UTF-8 and Windows-1252
// text passes through it).
#include "zentra/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string utf8Of(std::uint32_t codePoint) {
    std::string out;
    zentra::appendUtf8(out, codePoint);
    return out;
}

TEST(Utf8Encoding, EachLengthAtItsBoundaries) {
    EXPECT_EQ(utf8Of(0), std::string(1, '\0'));
    EXPECT_EQ(utf8Of(0x7F), "\x7F");
    EXPECT_EQ(utf8Of(0x80), "\xC2\x80");
    EXPECT_EQ(utf8Of(0x7FF), "\xDF\xBF");
    EXPECT_EQ(utf8Of(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(utf8Of(0xFFFD), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8Of(0xFFFF), "\xEF\xBF\xBF");
    EXPECT_EQ(utf8Of(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(utf8Of(0x10FFFF), "\xF4\x8F\xBF\xBF");
    std::string out = "a";
    zentra::appendUtf8(out, 0xE9);
    EXPECT_EQ(out, "a\xC3\xA9");   // appends, keeps what was there
}

TEST(AsciiCase, FoldsOnlyTheAsciiLetters) {
    EXPECT_EQ(zentra::toAsciiLower(""), "");
    EXPECT_EQ(zentra::toAsciiUpper(""), "");
    EXPECT_EQ(zentra::toAsciiLower("@AZ[`az{"), "@az[`az{");
    EXPECT_EQ(zentra::toAsciiUpper("@AZ[`az{"), "@AZ[`AZ{");
    // UTF-8 "ÉÀé" and the Windows-1252 bytes for "Éé" keep every byte.
    const std::string nonAscii = "\xC3\x89\xC3\x80\xC3\xA9\xC9\xE9\xFF\x80";
    EXPECT_EQ(zentra::toAsciiLower(nonAscii), nonAscii);
    EXPECT_EQ(zentra::toAsciiUpper(nonAscii), nonAscii);
    EXPECT_EQ(zentra::toAsciiLower("CAF\xC3\x89"), "caf\xC3\x89");
}

TEST(AsciiCase, CaseBlindComparisons) {
    EXPECT_TRUE(zentra::equalsIgnoringAsciiCase("", ""));
    EXPECT_TRUE(zentra::equalsIgnoringAsciiCase("Ann@Example.COM", "ann@example.com"));
    EXPECT_FALSE(zentra::equalsIgnoringAsciiCase("ann@example.com", "ann@example.co"));
    EXPECT_FALSE(zentra::equalsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9"));   // only ASCII letters fold
    EXPECT_FALSE(zentra::equalsIgnoringAsciiCase("@", "`"));                 // 0x40 and 0x60 differ by the case bit
    EXPECT_FALSE(zentra::equalsIgnoringAsciiCase("[", "{"));
    EXPECT_TRUE(zentra::startsWithIgnoringAsciiCase("URN:uuid:1", "urn:"));
    EXPECT_TRUE(zentra::startsWithIgnoringAsciiCase("anything", ""));
    EXPECT_FALSE(zentra::startsWithIgnoringAsciiCase("ur", "urn:"));
    EXPECT_FALSE(zentra::startsWithIgnoringAsciiCase("", "a"));
}

TEST(Trimming, EachTrimRemovesItsOwnBlanksAndKeepsTheInside) {
    EXPECT_EQ(zentra::trimWhitespace(""), "");
    EXPECT_EQ(zentra::trimWhitespace("   "), "");
    EXPECT_EQ(zentra::trimWhitespace(" \t\r\n"), "");
    EXPECT_EQ(zentra::trimWhitespace(" \t\r\nab c\n "), "ab c");
    EXPECT_EQ(zentra::trimSpaceTab(""), "");
    EXPECT_EQ(zentra::trimSpaceTab(" \t \t"), "");
    EXPECT_EQ(zentra::trimSpaceTab("\t a  b \t"), "a  b");
    // A vCard value may end in a line break that belongs to it.
    EXPECT_EQ(zentra::trimSpaceTab(" line\r\n "), "line\r\n");
    // No-break space (UTF-8 C2 A0) is text, not a blank.
    EXPECT_EQ(zentra::trimWhitespace("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
}

}  // namespace
