// Reading vCard files ahead of the import loop on one extra thread.
#include "read_ahead.h"

namespace zentra::mailstore::detail {
namespace {

// How far ahead of the loop take() looks for a path: the loop only skips files whose folder
// could not be opened, so a path further away means the list no longer matches the loop.
constexpr std::size_t kLookAhead = 64;

}  // namespace

ReadAhead::~ReadAhead() { stop(); }

void ReadAhead::start(std::vector<std::string> paths, const ContactItemLimits& limits) {
    start(std::move(paths), limits, Window{});
}

void ReadAhead::start(std::vector<std::string> paths, const ContactItemLimits& limits, Window window) {
    stop();
    std::lock_guard<std::mutex> lock(mutex_);
    paths_ = std::move(paths);
    limits_ = limits;
    window_ = window;
    next_ = taken_ = 0;
    ready_.clear();
    readyBytes_ = 0;
    stopping_ = finished_ = false;
    if (!paths_.empty()) worker_ = std::thread([this] { run(); });
}

void ReadAhead::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.clear();
    ready_.clear();
    readyBytes_ = 0;
    next_ = taken_ = 0;
}

void ReadAhead::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    try {
        while (!stopping_ && next_ < paths_.size()) {
            if (ready_.size() >= window_.files || readyBytes_ >= window_.bytes) {
                changed_.wait(lock);
                continue;
            }
            const std::size_t index = next_;
            const std::string path = paths_[index];
            const ContactItemLimits limits = limits_;
            lock.unlock();
            PreparedImport prepared = prepareImport(path, limits);
            lock.lock();
            // The loop may have skipped past this file meanwhile; then it is not wanted.
            if (next_ != index) continue;
            readyBytes_ += prepared.heldBytes;
            ready_.push_back(std::move(prepared));
            ++next_;
            changed_.notify_all();
        }
    } catch (...) {
        // Out of memory, say: the loop then reads the remaining files itself.
        if (!lock.owns_lock()) lock.lock();
    }
    finished_ = true;
    changed_.notify_all();
}

std::optional<PreparedImport> ReadAhead::take(const std::string& path, const ContactItemLimits& limits) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (paths_.empty() || !(limits == limits_)) return std::nullopt;
    std::size_t index = taken_;
    const std::size_t end = std::min(paths_.size(), taken_ + kLookAhead);
    while (index < end && paths_[index] != path) ++index;
    if (index == end) return std::nullopt;
    // Files before it were skipped by the loop: drop them, prepared or not.
    while (taken_ < index) {
        if (!ready_.empty() && taken_ < next_) {
            readyBytes_ -= ready_.front().heldBytes;
            ready_.pop_front();
        }
        ++taken_;
        if (next_ < taken_) next_ = taken_;   // not prepared yet: the reading thread skips it
    }
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopping_ || finished_ || next_ > index; });
    if (stopping_ || next_ <= index || ready_.empty()) return std::nullopt;
    PreparedImport prepared = std::move(ready_.front());
    ready_.pop_front();
    readyBytes_ -= prepared.heldBytes;
    ++taken_;
    changed_.notify_all();
    return prepared;
}

std::size_t ReadAhead::waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ready_.size();
}

ReadAhead& importReadAhead() {
    static ReadAhead instance;
    return instance;
}

}  // namespace zentra::mailstore::detail
