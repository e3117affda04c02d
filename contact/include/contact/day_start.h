#pragma once
// The import's time zone, as far as the mapping needs one. Outlook keeps a birthday or an
// anniversary twice: PidTagBirthday / PidTagWeddingAnniversary hold the moment the date begins
// where the user is, in UTC, and PidLidBirthdayLocal / PidLidWeddingAnniversaryLocal hold
// 00:00 UTC of the date. contact/ knows no time zones (no Qt here), so it asks a function when a
// date begins; the import gives one built on the zone it runs in.
#include <cstdint>
#include <functional>

namespace contact {

// When a calendar date begins in the import's time zone, in seconds after 00:00 UTC of that
// date: 28800 for Los Angeles in winter (local midnight is 08:00 UTC), -3600 for Paris in
// winter. Where a zone skips midnight (a clock change at 00:00), the day begins at its first
// local time. Called from the threads that map cards, so it must be safe to call concurrently.
using DayStart = std::function<int64_t(int year, int month, int day)>;

// UTC, where every day begins at 00:00: the zone of callers that name none, and of tests.
inline int64_t dayStartInUtc(int, int, int) { return 0; }

}  // namespace contact
