#pragma once
// The reading thread behind ImportReadAhead: prepares the listed files in order, a bounded
// number ahead of the one the import loop takes, and hands each over once. One per process,
// like the profile; starting a new list stops the previous one.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "prepared_import.h"

namespace zentra::mailstore::detail {

class ReadAhead {
public:
    struct Window {
        std::size_t files = 64;            // prepared files waiting at most
        std::size_t bytes = 64u << 20;     // and their held contacts' bytes at most
    };

    ReadAhead() = default;
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    void start(std::vector<std::string> paths, const ContactItemLimits& limits);
    void start(std::vector<std::string> paths, const ContactItemLimits& limits, Window window);
    void stop();

    // The prepared file for path when it is among the next files of the list (waiting for the
    // reading thread if it is at it); files listed before it are dropped, having been skipped
    // by the loop. nullopt when path is not coming up, so the caller reads it itself.
    std::optional<PreparedImport> take(const std::string& path, const ContactItemLimits& limits);

    // Prepared files waiting to be taken (tests).
    std::size_t waiting();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
    std::vector<std::string> paths_;
    ContactItemLimits limits_;
    Window window_;
    std::size_t next_ = 0;                      // index the reading thread prepares next
    std::size_t taken_ = 0;                     // index of the first file not handed over
    std::deque<PreparedImport> ready_;          // prepared files taken_.. in order
    std::size_t readyBytes_ = 0;
    bool stopping_ = false;
    bool finished_ = false;                     // the reading thread has ended
};

// The process-wide instance.
ReadAhead& importReadAhead();

}  // namespace zentra::mailstore::detail
