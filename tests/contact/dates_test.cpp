// Birthday and anniversary: the calendar date at the start of the day in the import's zone in
// the tagged property, at 00:00 UTC in the local one; no invented year.
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

// The property a date came from is looked up only when the date goes to the notes: the warning
// still cites its line, for dates before 1601 as for those without a year.
TEST(Birthday, DateKeptInTheNotesCitesItsLine) {
    const ContactItem old = mapLines("FN:A\nNOTE:x\nANNIVERSARY:1500-06-01\nBDAY:1599-05-01\n");
    EXPECT_NE(body(old).find("Birthday: 1599-05-01"), std::string::npos);
    EXPECT_NE(body(old).find("Anniversary: 1500-06-01"), std::string::npos);
    ASSERT_GE(old.warnings.size(), 2u);
    EXPECT_EQ(old.warnings[old.warnings.size() - 2].property, "BDAY");
    EXPECT_EQ(old.warnings[old.warnings.size() - 2].line, 6u);
    EXPECT_EQ(old.warnings.back().property, "ANNIVERSARY");
    EXPECT_EQ(old.warnings.back().line, 5u);
}

// Mapped as if the import ran in a zone where every date begins `seconds` after 00:00 UTC.
ContactItem mapInZone(std::string_view lines, int64_t seconds) {
    MapOptions options = fixedOptions();
    options.dayStart = [seconds](int, int, int) { return seconds; };
    return mapCard(vcard::parseBuffer(card(lines)).front(), options);
}

constexpr int64_t kHour = 3600;
constexpr uint64_t kTicksPerHour = 3600ULL * 10000000ULL;

// A date-time gives the date written in its own offset, whatever the import's zone: the common
// UTC-midnight form must not become the day before west of UTC, nor an evening the day after east.
TEST(DatesInAZone, DateTimesKeepTheDateTheyWereWrittenWith) {
    for (const char* value : {"1955-07-19T00:00:00Z", "1955-07-19T23:30:00Z", "1955-07-19T08:30:00-06:00",
                              "1955-07-19T201243+04:00"}) {
        for (const int64_t zone : {8 * kHour, -10 * kHour}) {
            const ContactItem item = mapInZone(std::string("FN:A\nBDAY:") + value + "\n", zone);
            EXPECT_EQ(namedValue<FileTime>(item, mapi::PidLidBirthdayLocal), utcMidnight(1955, 7, 19)) << value;
            EXPECT_EQ(tagValue<FileTime>(item, mapi::PidTagBirthday),
                      FileTime{utcMidnight(1955, 7, 19).ticks + static_cast<uint64_t>(zone * 10000000)})
                << value << " " << zone;
        }
    }
}

TEST(DatesInAZone, FirstDayOfFileTimeEastOfUtcIsKeptInTheNotes) {
    const ContactItem east = mapInZone("FN:A\nBDAY:1601-01-01\n", -kHour);
    EXPECT_FALSE(tagValue<FileTime>(east, mapi::PidTagBirthday));
    EXPECT_FALSE(namedValue<FileTime>(east, mapi::PidLidBirthdayLocal));
    EXPECT_NE(body(east).find("Birthday: 1601-01-01"), std::string::npos);
    EXPECT_TRUE(hasWarningContaining(east, "before 1601 in this time zone"));
    const ContactItem west = mapInZone("FN:A\nBDAY:1601-01-01\n", kHour);
    EXPECT_EQ(tagValue<FileTime>(west, mapi::PidTagBirthday), FileTime{kTicksPerHour});
}

// A text birthday or anniversary, or a value that is no date, is quoted in the notes and named
// in a warning on its own line.
TEST(DatesAsText, GoToTheNotesWithAWarning) {
    const struct {
        const char* lines;
        const char* detail;
        const char* warning;
    } cases[] = {
        {"BDAY;VALUE=text:circa 1800", "Birthday: circa 1800", "Birthday given as text"},
        {"BDAY;value=TEXT:  spring of '62 ", "Birthday: spring of '62", "Birthday given as text"},
        {"ANNIVERSARY;VALUE=text:our first summer", "Anniversary: our first summer", "Anniversary given as text"},
        {"BDAY:1997-02-29", "Birthday: 1997-02-29", "Birthday that is not a date"},
    };
    for (const auto& c : cases) {
        const ContactItem item = mapText(card(std::string("FN:A\n") + c.lines + "\n", "4.0"));
        EXPECT_FALSE(tagValue<FileTime>(item, mapi::PidTagBirthday)) << c.lines;
        EXPECT_FALSE(tagValue<FileTime>(item, mapi::PidTagWeddingAnniversary)) << c.lines;
        EXPECT_EQ(body(item), std::string("More contact details:\r\n") + c.detail) << c.lines;
        ASSERT_TRUE(hasWarningContaining(item, c.warning)) << c.lines;
        EXPECT_EQ(item.warnings.back().line, 4u) << c.lines;
    }
    // A date among the BDAYs wins over a text one.
    const ContactItem both = mapText(card("FN:A\nBDAY;VALUE=text:circa 1800\nBDAY:1980-03-22\n", "4.0"));
    EXPECT_EQ(tagValue<FileTime>(both, mapi::PidTagBirthday), utcMidnight(1980, 3, 22));
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
