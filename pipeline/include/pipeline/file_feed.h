#pragma once
// Reading the listed files ahead of the import loop, on extra threads: while the loop stores
// one file's contacts, they parse, map and stage the next ones (and the rest of a large file),
// so both cores work and each card is parsed once.
//
// The loop takes a file by its place in the queue (FileFeed::take); what it gets is exactly what
// reading the file at that moment on its own thread would give, failures included. Files before
// the one taken were skipped by the loop and are dropped. Memory stays bounded: at most
// `window.files` files and `window.bytes` of staged contacts wait ahead of the loop; a file
// larger than that is read on as the loop stores its contacts.
//
// One thread reads at first. A second one joins the first time the loop, having had a file, has
// to wait again: reading is then the slower side, and it shares the cores with the loop. A file
// read as it is parsed (a large one) is shared: a thread with no file left to start helps with
// it, the two taking turns to parse its next card and each mapping its own, so that a single
// large file keeps both reading threads busy; its contacts still come out in file order. Only one
// large file (over a quarter of the byte window) is read at a time, since a file read as it is
// parsed holds buffers as large as its longest line. The two sides wake each other for a batch of
// contacts or files at a time, not for each one.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "contact/mapper.h"
#include "pipeline/file_cards.h"
#include "pipeline/source_file.h"

namespace pipeline {
namespace detail {
struct ReadingState;   // what a reading thread keeps from file to file (vcard_file.h)
}

// How far the read-ahead may run ahead of the loop.
struct FeedWindow {
    std::size_t files = 1024;
    std::size_t bytes = 64u << 20;
    std::size_t threads = 2;      // reading threads at most
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
    template <class Ready>
    void waitForReaders(std::unique_lock<std::mutex>& lock, Ready ready);
    template <class Ready>
    void waitForLoop(std::unique_lock<std::mutex>& lock, Ready ready);
    void announce();
    void freed(std::size_t bytes);
    void startReader();
    void run();
    void readInto(const std::shared_ptr<Prepared>& file, detail::ReadingState& state, std::unique_lock<std::mutex>& lock);
    void readShared(const std::shared_ptr<Prepared>& file, detail::ReadingState& state, std::unique_lock<std::mutex>& lock);
    std::shared_ptr<Prepared> sharedFile() const;
    void takeSpare(contact::ContactItem& contact);
    void stopped(Prepared& file);
    bool hasRoom() const;
    bool mayAdd(const Prepared& file) const;
    bool isFirstBeingRead(const Prepared& file) const;

    const contact::MapOptions options_;
    const Window window_;
    mutable std::mutex mutex_;
    std::condition_variable loopWake_;                  // the loop waits for contacts or files
    std::condition_variable readerWake_;                // readers wait for room
    bool loopWaiting_ = false;
    std::size_t readersWaiting_ = 0;
    std::size_t frontWaiters_ = 0;                      // readers waiting to start a large file
    std::size_t unannounced_ = 0;                       // contacts and ends the loop was not woken for
    std::size_t unfreed_ = 0;                           // releases the readers were not woken for
    std::size_t unfreedBytes_ = 0;                      // and their bytes
    std::vector<std::thread> workers_;
    SharedFileQueue queue_;
    std::size_t next_ = 0;                              // position a thread reads next
    std::deque<std::shared_ptr<Prepared>> ahead_;      // positions taken_ .. next_-1, in order
    std::vector<std::size_t> reading_;                  // positions being read, one per busy thread
    std::vector<std::shared_ptr<Prepared>> shared_;     // files being read by turns, taken or not
    std::size_t taken_ = 0;                             // first position not handed over
    std::size_t bytesAhead_ = 0;                        // staged contacts held, taken files too
    std::vector<contact::ContactItem> spares_;          // stored contacts, for the readers to map into
    bool stopping_ = false;
};

}  // namespace pipeline
