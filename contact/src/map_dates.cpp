// Birthday and wedding anniversary. The calendar date is kept exactly: 00:00 UTC of that date in
// both the tagged property and the newer *Local one, so no reader in any time zone that shows
// the UTC date sees another day. A date without a year is not turned into a birthday in some
// invented year: it goes to the details block, with a warning.
#include <cstdio>

#include "mapping_context.h"

namespace contact::detail {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

void mapDate(MappingContext& ctx, const std::optional<vcard::Date>& date, const mapi::PropertyTag& utc,
             const mapi::NamedProperty& local, const char* label, const char* property) {
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
        const mapi::FileTime t = mapi::fileTimeOfDate(date->year, date->month, date->day);
        ctx.set(utc, mapi::timeValue(t));
        ctx.set(local, mapi::timeValue(t));
        return;
    }
    ctx.addDetail(label, std::to_string(date->day) + " " + kMonths[date->month - 1]);
    ctx.warn(line, property, std::string(label) + " without a year kept in the notes");
}

}  // namespace

void mapDates(MappingContext& ctx) {
    mapDate(ctx, ctx.card.birthday(), mapi::PidTagBirthday, mapi::PidLidBirthdayLocal, "Birthday", "BDAY");
    mapDate(ctx, ctx.card.anniversary(), mapi::PidTagWeddingAnniversary, mapi::PidLidWeddingAnniversaryLocal,
            "Anniversary", "ANNIVERSARY");
}

}  // namespace contact::detail
