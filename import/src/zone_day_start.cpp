#include "import/zone_day_start.h"

#include <QDate>
#include <QDateTime>
#include <memory>
#include <mutex>

namespace importrun {

namespace {

// QTimeZone is reentrant, not thread-safe, and the read-ahead maps cards on its own thread
// while the run maps others: one zone object, used under a lock (a date or two per card).
class ZoneDays {
public:
    explicit ZoneDays(const QTimeZone& zone) : zone_(zone) {}

    int64_t dayStart(int year, int month, int day) {
        const QDate date(year, month, day);
        const QDateTime utcMidnight(date, QTime(0, 0), Qt::UTC);
        std::lock_guard lock(mutex_);
        // startOfDay gives the first local time of the date where a clock change skips midnight.
        const QDateTime start = date.startOfDay(zone_);
        const int offset = start.offsetFromUtc();
        if (offset % kQuarterHour == 0) return utcMidnight.secsTo(start);
        // Before a place had standard time the zone gives its local mean time (Los Angeles
        // -7:52:58 until 1883). Windows, and so Outlook, knows only the standard offsets and
        // would show such a moment on the day before: use the zone's standard offset instead.
        return -zone_.standardTimeOffset(QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC));
    }

private:
    static constexpr int kQuarterHour = 15 * 60;

    std::mutex mutex_;
    const QTimeZone zone_;
};

}  // namespace

contact::DayStart dayStartIn(const QTimeZone& zone) {
    auto days = std::make_shared<ZoneDays>(zone);
    return [days](int year, int month, int day) { return days->dayStart(year, month, day); };
}

zentra::mailstore::SessionOptions sessionOptionsIn(const QTimeZone& zone) {
    zentra::mailstore::SessionOptions options;
    options.mapping.dayStart = dayStartIn(zone);
    return options;
}

}  // namespace importrun
