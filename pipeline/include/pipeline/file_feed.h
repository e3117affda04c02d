#pragma once
// Reading the listed files ahead of the import loop, on one extra thread: while the loop stores
// one file's contacts, this thread parses, maps and stages the next ones (and the rest of a
// large file), so both cores work and each card is parsed once.
//
// The loop takes a file by its place in the queue (FileFeed::take); what it gets is exactly what
// reading the file at that moment on its own thread would give, failures included. Files before
// the one taken were skipped by the loop and are dropped. Memory stays bounded: at most
// `window.files` files and `window.bytes` of staged contacts wait ahead of the loop; a file
// larger than that is read on as the loop stores its contacts.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "contact/mapper.h"
#include "pipeline/file_cards.h"
#include "pipeline/source_file.h"

namespace pipeline {

// How far the read-ahead may run ahead of the loop.
struct FeedWindow {
    std::size_t files = 64;
    std::size_t bytes = 64u << 20;
};

class FileFeed {
public:
    using Window = FeedWindow;

    explicit FileFeed(contact::MapOptions options, Window window = {});
    ~FileFeed();
    FileFeed(const FileFeed&) = delete;
    FileFeed& operator=(const FileFeed&) = delete;

    // Starts reading the queue from its first file; a running queue is stopped and dropped.
    void start(SharedFileQueue queue);
    // Stops the thread and drops whatever was read; files already taken read on by themselves.
    void stop();

    // The file if it belongs to the running queue and has not been passed yet; null otherwise
    // (the caller then reads it with readHere).
    std::unique_ptr<FileCards> take(const SourceFile& file);

    // Files read (or being read) and not taken yet; for tests.
    std::size_t waiting() const;

    struct Prepared;   // one file as the thread reads it (file_feed.cpp)

private:
    friend class FedCards;
    void run();
    void readInto(const std::shared_ptr<Prepared>& file, std::unique_lock<std::mutex>& lock);
    void stopped(Prepared& file);
    bool hasRoom() const;

    const contact::MapOptions options_;
    const Window window_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
    SharedFileQueue queue_;
    std::size_t next_ = 0;                              // position the thread reads next
    std::deque<std::shared_ptr<Prepared>> ahead_;      // positions taken_ .. next_-1, in order
    std::size_t taken_ = 0;                             // first position not handed over
    std::size_t bytesAhead_ = 0;                        // staged contacts held, taken files too
    bool stopping_ = false;
};

}  // namespace pipeline
