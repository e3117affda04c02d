#pragma once
// FILETIME ([MS-DTYP] 2.3.3): 100-nanosecond intervals since 1601-01-01 00:00 UTC, the form of
// every PtypTime value.
#include <cstdint>

namespace mapi {

struct FileTime {
    uint64_t ticks = 0;
    bool operator==(const FileTime&) const = default;
};

constexpr int64_t kFileTimeTicksPerSecond = 10000000;

// The current time.
FileTime fileTimeNow();

// 00:00 UTC of a calendar date (year 1601..30827, not checked further).
FileTime fileTimeOfDate(int year, int month, int day);

}  // namespace mapi
