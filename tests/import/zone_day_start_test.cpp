// Birthdays mapped in real time zones ([MS-OXOCNTC] 2.2.1.5): PidTagBirthday is the moment the
// date begins in the import's zone, in UTC; PidLidBirthdayLocal is 00:00 UTC of the date.
// Expected FILETIMEs by hand: 1970-01-01 is 116444736000000000; a day is 864000000000 ticks,
// an hour 36000000000.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "contact/mapper.h"
#include "contact/property_ids.h"
#include "import/zone_day_start.h"
#include "mapi/property_catalogue.h"
#include "vcard/reader.h"

namespace {

std::optional<mapi::FileTime> timeOf(const contact::ContactItem& item, const contact::PropertyKey& key) {
    const contact::Property* p = item.properties.find(key);
    return p ? mapi::timeOf(p->value) : std::nullopt;
}

TEST(ZoneDayStart, BirthdaysBeginAtLocalMidnightOfTheImportsZone) {
    const struct {
        const char* zone;
        const char* bday;
        uint64_t local;   // 00:00 UTC of the date
        uint64_t tagged;  // the date's local midnight, in UTC
    } cases[] = {
        // 1980-03-22 is day 3733 after 1970: 116444736000000000 + 3733 * 864000000000.
        {"UTC", "1980-03-22", 119670048000000000, 119670048000000000},
        // 2024-07-04 is day 19908: 133645248000000000. Pacific daylight time, UTC-7: + 7 hours.
        {"America/Los_Angeles", "2024-07-04", 133645248000000000, 133645500000000000},
        // 2024-01-15 is day 19737: 133497504000000000. Pacific standard time, UTC-8: + 8 hours.
        {"America/Los_Angeles", "2024-01-15", 133497504000000000, 133497792000000000},
        // Central European summer time, UTC+2: 2024-07-03 22:00 UTC, 2 hours before.
        {"Europe/Berlin", "2024-07-04", 133645248000000000, 133645176000000000},
        // Before 1970: 1960-07-04 is day -3468: 113448384000000000; New York kept daylight
        // time then too, UTC-4: + 4 hours.
        {"America/New_York", "1960-07-04", 113448384000000000, 113448528000000000},
        // 1955-07-19 is day -5280: 111882816000000000; Japan, UTC+9: - 9 hours.
        {"Asia/Tokyo", "1955-07-19", 111882816000000000, 111882492000000000},
        // Half an hour: India, UTC+5:30. 2000-01-01 is day 10957: 125911584000000000 - 5.5 hours.
        {"Asia/Kolkata", "2000-01-01", 125911584000000000, 125911386000000000},
        // São Paulo's daylight time began at midnight on 2018-11-04: the day began at 01:00
        // local (UTC-2), 03:00 UTC. Day 17839: 131857632000000000 + 3 hours.
        {"America/Sao_Paulo", "2018-11-04", 131857632000000000, 131857740000000000},
        // Before standard time the zone gives local mean time (-7:52:58); Outlook knows only
        // Pacific time, so the day begins at 08:00 UTC. Day -43678: 78706944000000000 + 8 hours.
        {"America/Los_Angeles", "1850-06-01", 78706944000000000, 78707232000000000},
    };
    for (const auto& c : cases) {
        const QTimeZone zone(c.zone);
        ASSERT_TRUE(zone.isValid()) << c.zone;
        contact::MapOptions options;
        options.dayStart = importrun::dayStartIn(zone);
        const auto cards = vcard::parseBuffer(std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nBDAY:") + c.bday +
                                              "\r\nANNIVERSARY:" + c.bday + "\r\nEND:VCARD\r\n");
        ASSERT_EQ(cards.size(), 1u);
        const contact::ContactItem item = contact::mapCard(cards.front(), options);
        const std::string where = std::string(c.zone) + " " + c.bday;
        EXPECT_EQ(timeOf(item, mapi::PidLidBirthdayLocal), mapi::FileTime{c.local}) << where;
        EXPECT_EQ(timeOf(item, mapi::PidTagBirthday), mapi::FileTime{c.tagged}) << where;
        EXPECT_EQ(timeOf(item, mapi::PidLidWeddingAnniversaryLocal), mapi::FileTime{c.local}) << where;
        EXPECT_EQ(timeOf(item, mapi::PidTagWeddingAnniversary), mapi::FileTime{c.tagged}) << where;
    }
}

// Answers are kept per date: asked again, in any order, each date gives what a fresh zone gives.
TEST(ZoneDayStart, AKeptAnswerIsTheAnswerOfItsOwnDate) {
    const QTimeZone zone("America/Los_Angeles");
    const contact::DayStart kept = importrun::dayStartIn(zone);
    const int dates[][3] = {{2024, 1, 15}, {2024, 7, 15}, {2024, 3, 10}, {2024, 3, 11}, {1850, 6, 1},
                            {2024, 11, 3}, {2024, 11, 4}, {2023, 7, 15}, {2024, 12, 31}, {2025, 1, 1}};
    for (int round = 0; round < 2; ++round) {
        for (const auto& d : dates) {
            const int64_t fresh = importrun::dayStartIn(zone)(d[0], d[1], d[2]);
            EXPECT_EQ(kept(d[0], d[1], d[2]), fresh) << d[0] << "-" << d[1] << "-" << d[2] << " round " << round;
        }
    }
    EXPECT_EQ(kept(2024, 1, 15), 8 * 3600);
    EXPECT_EQ(kept(2024, 7, 15), 7 * 3600);
}

// The reading threads ask at the same time, often for the same days and for years not asked
// before; every answer is its own date's, within the kept years and outside them.
TEST(ZoneDayStart, ThreadsAskingAtOnceGetEachDatesOwnAnswer) {
    const QTimeZone zone("America/Los_Angeles");
    std::vector<std::array<int, 3>> dates;
    for (int year : {1599, 1850, 1883, 1966, 2007, 2024, 2599, 2600})
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= QDate(year, month, 1).daysInMonth(); day += 3) dates.push_back({year, month, day});
    std::vector<int64_t> expected;
    for (const auto& d : dates) expected.push_back(importrun::dayStartIn(zone)(d[0], d[1], d[2]));

    const contact::DayStart shared = importrun::dayStartIn(zone);
    std::vector<std::vector<int64_t>> got(2, std::vector<int64_t>(dates.size()));
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < got.size(); ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < dates.size(); ++i) {
                const std::size_t k = t == 0 ? i : dates.size() - 1 - i;   // one forwards, one backwards
                got[t][k] = shared(dates[k][0], dates[k][1], dates[k][2]);
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < got.size(); ++t)
        for (std::size_t i = 0; i < dates.size(); ++i)
            ASSERT_EQ(got[t][i], expected[i]) << dates[i][0] << "-" << dates[i][1] << "-" << dates[i][2] << " thread " << t;
    EXPECT_EQ(shared(1966, 1, 1), 8 * 3600);
    EXPECT_EQ(shared(2024, 7, 15), 7 * 3600);
}

TEST(ZoneDayStart, SessionOptionsCarryTheZone) {
    const auto options = importrun::sessionOptionsIn(QTimeZone("America/Los_Angeles"));
    EXPECT_EQ(options.mapping.dayStart(2024, 1, 15), 8 * 3600);
    EXPECT_EQ(options.store.commitEveryMessages, zentra::mailstore::SessionOptions{}.store.commitEveryMessages);
}

}  // namespace
