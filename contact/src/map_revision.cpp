// REV, the time the card was last changed, as the contact's last-modification time: Outlook
// shows it as "Modified". The store writes the import time only where the card gives none
// (pst/messaging/src/message_writer.cpp keeps a value the item already has).
#include "mapping_context.h"
#include "vcard/card.h"

namespace contact::detail {

namespace {

bool digitsAt(std::string_view s, std::size_t& pos, int& value) {
    if (pos + 2 > s.size() || s[pos] < '0' || s[pos] > '9' || s[pos + 1] < '0' || s[pos + 1] > '9') return false;
    value = (s[pos] - '0') * 10 + (s[pos + 1] - '0');
    pos += 2;
    return true;
}

// "hh[:]mm[:]ss[.fff]" then "Z", "+hh[:]mm", "-hh" or nothing (read as UTC, as RFC 6350 asks
// REV to be written). Seconds from midnight UTC of the date (negative or past a day when the
// zone moves the time across midnight), nothing when the text is not such a time.
std::optional<long long> secondsOfTime(std::string_view s) {
    std::size_t pos = 0;
    int hour = 0, minute = 0, second = 0;
    if (!digitsAt(s, pos, hour)) return std::nullopt;
    if (pos < s.size() && s[pos] == ':') ++pos;
    if (!digitsAt(s, pos, minute)) return std::nullopt;
    if (pos < s.size() && s[pos] == ':') ++pos;
    if (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && !digitsAt(s, pos, second)) return std::nullopt;
    if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
        ++pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
    }
    if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
    long long seconds = hour * 3600LL + minute * 60LL + second;
    if (pos == s.size() || ((s[pos] == 'Z' || s[pos] == 'z') && pos + 1 == s.size())) return seconds;
    if (s[pos] != '+' && s[pos] != '-') return std::nullopt;
    const int sign = s[pos] == '+' ? 1 : -1;
    ++pos;
    int offsetHours = 0, offsetMinutes = 0;
    if (!digitsAt(s, pos, offsetHours)) return std::nullopt;
    if (pos < s.size() && s[pos] == ':') ++pos;
    if (pos < s.size() && !digitsAt(s, pos, offsetMinutes)) return std::nullopt;
    if (pos != s.size() || offsetHours > 14 || offsetMinutes > 59) return std::nullopt;
    return seconds - sign * (offsetHours * 3600LL + offsetMinutes * 60LL);   // may leave the day: fine
}

}  // namespace

std::optional<mapi::FileTime> revisionTime(std::string_view text) {
    const std::string_view s = trimWhitespace(text);
    const std::optional<vcard::Date> date = vcard::parseDate(s);
    if (!date || !date->hasYear() || date->year < 1601) return std::nullopt;
    long long seconds = 0;
    if (const std::size_t t = s.find_first_of("Tt"); t != std::string_view::npos) {
        const std::optional<long long> time = secondsOfTime(s.substr(t + 1));
        if (!time) return std::nullopt;
        seconds = *time;
    }
    const long long ticks = static_cast<long long>(mapi::fileTimeOfDate(date->year, date->month, date->day).ticks) +
                            seconds * mapi::kFileTimeTicksPerSecond;
    if (ticks < 0) return std::nullopt;
    return mapi::FileTime{static_cast<uint64_t>(ticks)};
}

void mapRevision(MappingContext& ctx) {
    const vcard::Property* rev = ctx.card.first("REV");
    if (!rev) return;
    if (const std::optional<mapi::FileTime> time = revisionTime(rev->value))
        ctx.set(mapi::PidTagLastModificationTime, mapi::timeValue(*time));
    else
        ctx.warn(rev->line, "REV", "\"" + std::string(trimWhitespace(rev->value)) + "\" is not a date and time: the import time is the contact's modification time");
}

}  // namespace contact::detail
