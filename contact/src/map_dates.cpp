// Birthday and wedding anniversary, stored as Outlook stores them ([MS-OXOCNTC] 2.2.1.5): the
// tagged property holds the moment the date begins in the import's time zone, in UTC, so an
// Outlook that shows it in that zone shows the date; the newer *Local property holds 00:00 UTC
// of the date, which readers that know it show in any zone.
//
// A date-time in the card gives its date as written, in the writer's own offset: a birthday is
// a calendar date, not a moment, and the usual date-time form (1955-07-19T00:00:00Z) would turn
// into the day before for every user west of UTC if it were moved into the import's zone. This
// is also what [MS-ASCNTC] 2.2.2.6 asks of a birthday's time part: ignore it, so that the date
// does not change between time zones.
//
// A date without a year, a text birthday (VALUE=text) and anything else that is not a date go to
// the details block with a warning: nothing is invented, nothing is lost.
#include <cstdio>

#include "mapping_context.h"

namespace contact::detail {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

struct DateProperties {
    const mapi::PropertyTag& utc;
    const mapi::NamedProperty& local;
    const char* label;      // as the details block names it
    const char* property;   // the vCard property whose line the warnings cite
};

// The moment `date` begins in the import's time zone, or nothing when FILETIME cannot hold it.
std::optional<mapi::FileTime> dayStartUtc(const MapOptions& options, const vcard::Date& date,
                                          mapi::FileTime midnightUtc) {
    const int64_t shift = options.dayStart(date.year, date.month, date.day) * mapi::kFileTimeTicksPerSecond;
    if (shift < 0 && static_cast<uint64_t>(-shift) > midnightUtc.ticks) return std::nullopt;
    return mapi::FileTime{midnightUtc.ticks + static_cast<uint64_t>(shift)};
}

void keepInNotes(MappingContext& ctx, const DateProperties& p, std::size_t line, std::string_view text,
                 const std::string& why) {
    ctx.addDetail(p.label, text);
    ctx.warn(line, p.property, std::string(p.label) + " " + why + " kept in the notes");
}

void mapDate(MappingContext& ctx, const std::optional<vcard::Date>& date, const DateProperties& p) {
    // The property the warnings cite: looked up only for a date that goes to the notes.
    const auto propertyLine = [&] {
        const vcard::Property* source = ctx.card.first(p.property);
        return source ? source->line : 0;
    };
    if (!date) {
        // Only the property itself can be quoted: a vendor variant that is not a date is noise.
        const vcard::Property* source = ctx.card.first(p.property);
        if (!source) return;
        const bool text = equalsIgnoringAsciiCase(source->parameterValue("VALUE"), "text");
        keepInNotes(ctx, p, source->line, trimWhitespace(source->value), text ? "given as text" : "that is not a date");
        return;
    }
    if (!date->hasYear()) {
        keepInNotes(ctx, p, propertyLine(), std::to_string(date->day) + " " + kMonths[date->month - 1], "without a year");
        return;
    }
    // The date as the notes show it: formatted only when it goes there.
    const auto written = [&date] {
        char text[48];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", date->year, date->month, date->day);
        return std::string(text);
    };
    if (date->year < 1601) {   // FILETIME cannot hold it
        keepInNotes(ctx, p, propertyLine(), written(), "before 1601");
        return;
    }
    const mapi::FileTime midnightUtc = mapi::fileTimeOfDate(date->year, date->month, date->day);
    const std::optional<mapi::FileTime> start = dayStartUtc(ctx.options, *date, midnightUtc);
    if (!start) {   // 1 January 1601 east of UTC began before FILETIME's first moment
        keepInNotes(ctx, p, propertyLine(), written(), "before 1601 in this time zone");
        return;
    }
    ctx.set(p.utc, mapi::timeValue(*start));
    ctx.set(p.local, mapi::timeValue(midnightUtc));
}

}  // namespace

void mapDates(MappingContext& ctx) {
    mapDate(ctx, ctx.card.birthday(), {mapi::PidTagBirthday, mapi::PidLidBirthdayLocal, "Birthday", "BDAY"});
    mapDate(ctx, ctx.card.anniversary(),
            {mapi::PidTagWeddingAnniversary, mapi::PidLidWeddingAnniversaryLocal, "Anniversary", "ANNIVERSARY"});
}

}  // namespace contact::detail
