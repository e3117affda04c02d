// Birthday and wedding anniversary. The calendar date is kept exactly: 00:00 UTC of that date in
// both the tagged property and the newer *Local one, so no reader in any time zone that shows
// the UTC date sees another day. A date without a year is not turned into a birthday in some
// invented year: it goes to the details block, with a warning.
#include <chrono>
#include <cstdio>

#include "mapping_context.h"

namespace contact {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr int64_t kTicksPerDay = 864000000000LL;
constexpr int64_t kDays1601To1970 = 134774;

}  // namespace

FileTime fileTimeOfDate(int year, int month, int day) {
    const int64_t days = daysFromCivil(year, month, day) + kDays1601To1970;
    return FileTime{static_cast<uint64_t>(days * kTicksPerDay)};
}

FileTime fileTimeNow() {
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return FileTime{static_cast<uint64_t>(since1970.count() / 100 + kDays1601To1970 * kTicksPerDay)};
}

namespace detail {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

void mapDate(MappingContext& ctx, const std::optional<vcard::Date>& date, uint16_t tagId, uint32_t localLid,
             const char* label, const char* property) {
    if (!date) return;
    const vcard::Property* source = ctx.card.first(property);
    const std::size_t line = source ? source->line : 0;
    if (date->hasYear()) {
        if (date->year < 1601) {   // FILETIME cannot hold it
            char text[48];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", date->year, date->month, date->day);
            ctx.addDetail(label, text);
            ctx.warn(line, property, std::string(label) + " before 1601 kept in the notes");
            return;
        }
        const FileTime t = fileTimeOfDate(date->year, date->month, date->day);
        ctx.set(tagId, t);
        ctx.setNamed(localLid, t);
        return;
    }
    ctx.addDetail(label, std::to_string(date->day) + " " + kMonths[date->month - 1]);
    ctx.warn(line, property, std::string(label) + " without a year kept in the notes");
}

}  // namespace

void mapDates(MappingContext& ctx) {
    mapDate(ctx, ctx.card.birthday(), tag::kBirthday, lid::kBirthdayLocal, "Birthday", "BDAY");
    mapDate(ctx, ctx.card.anniversary(), tag::kWeddingAnniversary, lid::kWeddingAnniversaryLocal, "Anniversary",
            "ANNIVERSARY");
}

}  // namespace detail
}  // namespace contact
