// FILETIME from the clock and from calendar dates.
#include "mapi/filetime.h"

#include <chrono>

namespace mapi {
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

constexpr int64_t kTicksPerDay = 86400 * kFileTimeTicksPerSecond;
constexpr int64_t kDays1601To1970 = 134774;

}  // namespace

FileTime fileTimeOfDate(int year, int month, int day) {
    const int64_t days = daysFromCivil(year, month, day) + kDays1601To1970;
    return FileTime{static_cast<uint64_t>(days * kTicksPerDay)};
}

FileTime fileTimeNow() {
    const auto since1970 =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
    return FileTime{static_cast<uint64_t>(since1970.count() / 100 + kDays1601To1970 * kTicksPerDay)};
}

}  // namespace mapi
