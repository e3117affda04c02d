// Dates of birthdays and anniversaries in the spellings real exports use.
#include "content_line.h"
#include "vcard/card.h"
#include "zentra/text.h"

namespace vcard {

using zentra::trimSpaceTab;

namespace {

bool digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool validDay(int year, int month, int day) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > days[month - 1]) return false;
    if (month == 2 && day == 29 && year != 0) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap;
    }
    return true;
}

// The part after a date must be empty or start a time.
bool endsDate(std::string_view s, std::size_t pos) {
    return pos == s.size() || s[pos] == 'T' || s[pos] == 't' || s[pos] == ' ';
}

}  // namespace

std::optional<Date> parseDate(std::string_view text) {
    const std::string_view s = trimSpaceTab(text);
    Date d;
    std::size_t end = 0;
    if (s.size() >= 6 && s[0] == '-' && s[1] == '-') {   // --MMDD or --MM-DD: no year
        if (digits(s, 2, 2, d.month) && digits(s, 4, 2, d.day)) end = 6;
        else if (digits(s, 2, 2, d.month) && s.size() >= 7 && s[4] == '-' && digits(s, 5, 2, d.day)) end = 7;
        else return std::nullopt;
    } else if (digits(s, 0, 4, d.year)) {
        if (digits(s, 4, 2, d.month) && digits(s, 6, 2, d.day)) end = 8;
        else if (s.size() >= 10 && s[4] == '-' && s[7] == '-' && digits(s, 5, 2, d.month) && digits(s, 8, 2, d.day))
            end = 10;
        else return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!endsDate(s, end)) return std::nullopt;
    if (d.year == 1604) d.year = 0;   // Apple's and CardBook's stand-in for "no year"
    if (!validDay(d.year, d.month, d.day)) return std::nullopt;
    return d;
}

}  // namespace vcard
