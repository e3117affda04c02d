#include "import/zone_day_start.h"

#include <QDate>
#include <QDateTime>
#include <array>
#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace importrun {

namespace {

// QTimeZone is reentrant, not thread-safe, and the reading threads map cards at the same time:
// one zone object, asked under a lock. Each date's answer is kept: asking the zone costs more
// than the rest of a card's dates. The answers sit in a table per year, 32 days to a month, that
// a thread reads without a lock (an answer is one atomic word, a year's table is published once
// and never moved), so that two threads mapping cards neither wait for each other nor hash.
class ZoneDays {
public:
    explicit ZoneDays(const QTimeZone& zone) : zone_(zone) {}

    int64_t dayStart(int year, int month, int day) {
        if (year < kFirstYear || year >= kFirstYear + kYears || month < 1 || month > 12 || day < 1 || day > 31) {
            std::lock_guard lock(mutex_);
            return ask(year, month, day);
        }
        std::atomic<int64_t>* const kept = keptFor(year, month, day);
        if (kept) {
            const int64_t start = kept->load(std::memory_order_relaxed);
            if (start != kUnknown) return start;
        }
        std::lock_guard lock(mutex_);
        std::atomic<int64_t>& slot = kept ? *kept : newYear(year)->starts[dayIndex(month, day)];
        const int64_t start = ask(year, month, day);
        slot.store(start, std::memory_order_relaxed);
        return start;
    }

private:
    static constexpr int kQuarterHour = 15 * 60;
    static constexpr int kFirstYear = 1600;
    static constexpr int kYears = 1000;   // up to 2599; other years are asked each time
    static constexpr int64_t kUnknown = std::numeric_limits<int64_t>::min();

    struct Year {
        Year() {
            for (auto& start : starts) start.store(kUnknown, std::memory_order_relaxed);
        }
        std::array<std::atomic<int64_t>, 12 * 32> starts;
    };

    static std::size_t dayIndex(int month, int day) { return static_cast<std::size_t>((month - 1) * 32 + day - 1); }

    std::atomic<int64_t>* keptFor(int year, int month, int day) const {
        Year* kept = years_[static_cast<std::size_t>(year - kFirstYear)].load(std::memory_order_acquire);
        return kept ? &kept->starts[dayIndex(month, day)] : nullptr;
    }

    // Under the lock: the year's table, made and published the first time one of its days is asked.
    Year* newYear(int year) {
        std::atomic<Year*>& slot = years_[static_cast<std::size_t>(year - kFirstYear)];
        if (Year* made = slot.load(std::memory_order_relaxed)) return made;
        owned_.push_back(std::make_unique<Year>());
        slot.store(owned_.back().get(), std::memory_order_release);
        return owned_.back().get();
    }

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

    std::mutex mutex_;
    const QTimeZone zone_;
    std::array<std::atomic<Year*>, kYears> years_{};
    std::vector<std::unique_ptr<Year>> owned_;
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
