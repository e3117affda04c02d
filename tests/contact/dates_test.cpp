// Birthday and anniversary: the calendar date at 00:00 UTC in the tagged and the local
// property; no invented year.
#include <ctime>

#include "mapping_helpers.h"

namespace contact::testing {
namespace {

using mapi::fileTimeOfDate;

// FILETIME of a UTC date, computed through the C library as an independent check.
FileTime utcMidnight(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    const long long unixSeconds = timegm(&tm);
    return FileTime{static_cast<uint64_t>((unixSeconds + 11644473600LL) * 10000000LL)};
}

void expectBirthday(const ContactItem& item, FileTime expected) {
    EXPECT_EQ(tagValue<FileTime>(item, mapi::PidTagBirthday), expected);
    EXPECT_EQ(namedValue<FileTime>(item, mapi::PidLidBirthdayLocal), expected);
}

TEST(FileTimes, MidnightUtcOfCalendarDates) {
    EXPECT_EQ(fileTimeOfDate(1601, 1, 1).ticks, 0u);
    EXPECT_EQ(fileTimeOfDate(1970, 1, 1).ticks, 116444736000000000ULL);
    EXPECT_EQ(fileTimeOfDate(1980, 3, 22), utcMidnight(1980, 3, 22));
    EXPECT_EQ(fileTimeOfDate(2000, 2, 29), utcMidnight(2000, 2, 29));
    EXPECT_EQ(fileTimeOfDate(2100, 12, 31), utcMidnight(2100, 12, 31));
}

TEST(Birthday, EverySpellingKeepsTheCalendarDate) {
    expectBirthday(mapLines("FN:A\nBDAY:1980-03-22\n"), utcMidnight(1980, 3, 22));
    expectBirthday(mapLines("FN:A\nBDAY:19800322\n"), utcMidnight(1980, 3, 22));
    expectBirthday(mapLines("FN:A\nBDAY;VALUE=date:2012-06-06\n"), utcMidnight(2012, 6, 6));
    // A time and zone never move the day.
    expectBirthday(mapLines("FN:A\nBDAY:1987-09-27T23:30:00-06:00\n"), utcMidnight(1987, 9, 27));
    expectBirthday(mapLines("FN:A\nBDAY:1955-07-19T00:00:00Z\n"), utcMidnight(1955, 7, 19));
}

TEST(Birthday, LeapDays) {
    expectBirthday(mapLines("FN:A\nBDAY:1996-02-29\n"), utcMidnight(1996, 2, 29));
    const ContactItem notLeap = mapLines("FN:A\nBDAY:1997-02-29\n");
    EXPECT_FALSE(tagValue<FileTime>(notLeap, mapi::PidTagBirthday));
    EXPECT_FALSE(namedValue<FileTime>(notLeap, mapi::PidLidBirthdayLocal));
    const ContactItem yearless = mapText(card("FN:A\nBDAY:--0229\n", "4.0"));
    EXPECT_FALSE(tagValue<FileTime>(yearless, mapi::PidTagBirthday));
    EXPECT_NE(body(yearless).find("Birthday: 29 February"), std::string::npos);
}

TEST(Birthday, WithoutYearGoesToTheNotesWithAWarning) {
    for (const char* line : {"BDAY:--0322", "BDAY:--03-22", "BDAY:16040322", "BDAY;X-APPLE-OMIT-YEAR=1604:1604-03-22"}) {
        const ContactItem item = mapText(card(std::string("FN:A\nNOTE:Met at work\n") + line + "\n", "4.0"));
        EXPECT_FALSE(tagValue<FileTime>(item, mapi::PidTagBirthday)) << line;
        EXPECT_FALSE(namedValue<FileTime>(item, mapi::PidLidBirthdayLocal)) << line;
        EXPECT_EQ(body(item), "Met at work\r\n\r\nMore contact details:\r\nBirthday: 22 March") << line;
        ASSERT_TRUE(hasWarningContaining(item, "without a year")) << line;
        EXPECT_EQ(item.warnings.back().line, 5u) << line;
        EXPECT_EQ(item.warnings.back().property, "BDAY") << line;
    }
}

TEST(Birthday, FreeTextAndDatesBeforeFileTimeAreNotInvented) {
    EXPECT_FALSE(tagValue<FileTime>(mapText(card("FN:A\nBDAY;VALUE=text:circa 1800\n", "4.0")), mapi::PidTagBirthday));
    const ContactItem old = mapLines("FN:A\nBDAY:1599-05-01\n");
    EXPECT_FALSE(tagValue<FileTime>(old, mapi::PidTagBirthday));
    EXPECT_NE(body(old).find("Birthday: 1599-05-01"), std::string::npos);
}

TEST(Anniversary, EveryVendorSpelling) {
    const FileTime expected = utcMidnight(2011, 1, 13);
    for (const char* lines : {"ANNIVERSARY:20110113", "X-MS-ANNIVERSARY:20110113", "X-EVOLUTION-ANNIVERSARY:2011-01-13",
                              "X-ANNIVERSARY:2011-01-13",
                              "item2.X-ABDATE:2011-01-13\nitem2.X-ABLabel:_$!<Anniversary>!$_",
                              "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;2011-01-13;1;;;;;;;;;;;;;"}) {
        const ContactItem item = mapLines(std::string("FN:A\n") + lines + "\n");
        EXPECT_EQ(tagValue<FileTime>(item, mapi::PidTagWeddingAnniversary), expected) << lines;
        EXPECT_EQ(namedValue<FileTime>(item, mapi::PidLidWeddingAnniversaryLocal), expected) << lines;
        EXPECT_FALSE(tagValue<FileTime>(item, mapi::PidTagBirthday)) << lines;
    }
    const ContactItem yearless = mapText(card("FN:A\nANNIVERSARY:--1224\n", "4.0"));
    EXPECT_FALSE(tagValue<FileTime>(yearless, mapi::PidTagWeddingAnniversary));
    EXPECT_NE(body(yearless).find("Anniversary: 24 December"), std::string::npos);
}

}  // namespace
}  // namespace contact::testing
