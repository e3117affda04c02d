#include "import/zone_day_start.h"

#include <QDate>
#include <QDateTime>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace importrun {

namespace {

// QTimeZone is reentrant, not thread-safe, and the reading threads map cards at the same time:
// one zone object, asked under an exclusive lock. Each date's answer is kept: asking the zone
// costs more than the rest of a card's dates, and the cards of an address book share few enough
// dates (birthdays, anniversaries) to keep them all. Looking a kept answer up takes the lock
// shared, so that two threads mapping cards do not wait for each other.
class ZoneDays {
public:
    explicit ZoneDays(const QTimeZone& zone) : zone_(zone) {}

    int64_t dayStart(int year, int month, int day) {
        const int64_t key = (static_cast<int64_t>(year) * 16 + month) * 32 + day;
        {
            std::shared_lock lock(mutex_);
            if (auto known = known_.find(key); known != known_.end()) return known->second;
        }
        std::lock_guard lock(mutex_);
        if (auto known = known_.find(key); known != known_.end()) return known->second;
        if (known_.size() >= kKeptDays) known_.clear();
        const int64_t start = ask(year, month, day);
        known_.emplace(key, start);
        return start;
    }

private:
    static constexpr int kQuarterHour = 15 * 60;
    static constexpr std::size_t kKeptDays = 1u << 16;   // 180 years of days; a few MB at most

    int64_t ask(int year, int month, int day) const {
        const QDate date(year, month, day);
        const QDateTime utcMidnight(date, QTime(0, 0), Qt::UTC);
        // startOfDay gives the first local time of the date where a clock change skips midnight.
        const QDateTime start = date.startOfDay(zone_);
        const int offset = start.offsetFromUtc();
        if (offset % kQuarterHour == 0) return utcMidnight.secsTo(start);
        // Before a place had standard time the zone gives its local mean time (Los Angeles
        // -7:52:58 until 1883). Windows, and so Outlook, knows only the standard offsets and
        // would show such a moment on the day before: use the zone's standard offset instead.
        return -zone_.standardTimeOffset(QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC));
    }

    std::shared_mutex mutex_;
    const QTimeZone zone_;
    std::unordered_map<int64_t, int64_t> known_;
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
