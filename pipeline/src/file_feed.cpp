#include "pipeline/file_feed.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <optional>

#include "reading_priority.h"
#include "vcard_file.h"
#include "zentra/path_list.h"
#include "zentra/error.h"

namespace pipeline {
namespace {

// The two sides wake each other after this many contacts, file ends or releases, not after each
// one: a wake costs two system calls and a thread switch, more than a small file's reading.
constexpr std::size_t kWakeBatch = 16;
// Contacts the loop has stored come back to the readers, which map the next cards into them and so
// reuse their property lists' memory (about 10 KB each) instead of allocating it on one thread and
// freeing it on the other. This many are kept at most.
constexpr std::size_t kSpareContacts = 2 * kWakeBatch;
// The loop looks again after this long whatever came, so that it never waits long for a batch
// that a slow disk fills slowly.
constexpr auto kLongestLoopWait = std::chrono::milliseconds(20);

}  // namespace

// One file as a reading thread fills it. Guarded by the feed's mutex.
struct FileFeed::Prepared {
    SourceFile file;
    std::deque<contact::ContactItem> contacts;       // read, not handed out yet
    std::deque<std::size_t> sizes;            // their bytes, for the budget
    std::size_t bytes = 0;                    // the sum of sizes
    std::size_t cards = 0;
    bool ended = false;                       // nothing more will come (failure or end)
    std::optional<zentra::Error> failure;
    std::vector<FileWarning> fileWarnings;
    bool abandoned = false;                   // the loop passed it, or the feed stopped
};

// A taken file: hands out what the threads have read, waiting for more while they read on.
class FedCards final : public FileCards {
public:
    FedCards(FileFeed& feed, std::shared_ptr<FileFeed::Prepared> file) : feed_(feed), file_(std::move(file)) {}
    ~FedCards() override {
        std::lock_guard lock(feed_.mutex_);
        file_->abandoned = true;   // a file not read to its end stops being read
        if (!file_->ended) feed_.readerWake_.notify_all();
        while (!file_->sizes.empty()) release();
    }

    bool next(contact::ContactItem& out) override {
        std::unique_lock lock(feed_.mutex_);
        feed_.waitForReaders(lock, [&] { return !file_->contacts.empty() || file_->ended; });
        if (!file_->contacts.empty()) {
            std::swap(out, file_->contacts.front());   // what `out` held goes back to the readers
            if (feed_.spares_.size() < kSpareContacts) feed_.spares_.push_back(std::move(file_->contacts.front()));
            file_->contacts.pop_front();
            release();
            return true;
        }
        if (file_->failure) throw *file_->failure;
        return false;
    }
    std::size_t cardsRead() const override {
        std::lock_guard lock(feed_.mutex_);
        return file_->cards;
    }
    bool allRead() const override {
        std::lock_guard lock(feed_.mutex_);
        return file_->ended && !file_->failure;
    }
    std::vector<FileWarning> fileWarnings() const override {
        std::lock_guard lock(feed_.mutex_);
        return file_->fileWarnings;
    }

private:
    void release() {
        const std::size_t bytes = file_->sizes.front();
        file_->sizes.pop_front();
        file_->bytes -= bytes;
        feed_.freed(bytes);
    }

    FileFeed& feed_;
    std::shared_ptr<FileFeed::Prepared> file_;
};

FileFeed::FileFeed(contact::MapOptions options, Window window) : options_(std::move(options)), window_(window) {}

FileFeed::~FileFeed() { stop(); }

void FileFeed::start(SharedFileQueue queue) {
    stop();
    std::lock_guard lock(mutex_);
    queue_ = std::move(queue);
    next_ = taken_ = 0;
    unannounced_ = unfreed_ = unfreedBytes_ = 0;
    stopping_ = false;
    if (queue_ && queue_->size() != 0) startReader();
}

void FileFeed::startReader() { workers_.emplace_back([this] { run(); }); }

void FileFeed::stop() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& file : ahead_) file->abandoned = true;
        workers.swap(workers_);
    }
    readerWake_.notify_all();
    loopWake_.notify_all();
    for (std::thread& worker : workers) worker.join();
    std::lock_guard lock(mutex_);
    for (auto& file : ahead_) bytesAhead_ -= file->bytes;
    ahead_.clear();
    queue_.reset();
    next_ = taken_ = 0;
}

// The loop's side: waits until `ready`, telling the readers first what it freed. When it waits
// for them after its first file, reading is the slower side: a second thread joins (once). The
// wait for the first file says nothing: the loop waits there whichever side is slower.
template <class Ready>
void FileFeed::waitForReaders(std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!ready()) {
        if (unfreed_ != 0) {
            unfreed_ = unfreedBytes_ = 0;
            if (readersWaiting_ != 0) readerWake_.notify_all();
        }
        if (!stopping_ && taken_ != 0 && workers_.size() < window_.threads && queue_ && next_ < queue_->size())
            startReader();
        loopWaiting_ = true;
        loopWake_.wait_for(lock, kLongestLoopWait);
        loopWaiting_ = false;
    }
}

// A reader's side: waits until `ready`, telling the loop first what it read.
template <class Ready>
void FileFeed::waitForLoop(std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!ready()) {
        if (unannounced_ != 0) {
            unannounced_ = 0;
            if (loopWaiting_) loopWake_.notify_one();
        }
        ++readersWaiting_;
        readerWake_.wait(lock);
        --readersWaiting_;
    }
}

// A contact or a file's end is there for the loop.
void FileFeed::announce() {
    if (++unannounced_ >= kWakeBatch && loopWaiting_) {
        unannounced_ = 0;
        loopWake_.notify_one();
    }
}

// The loop has let go of a contact (or passed a file). Waiting readers hear of it once a batch
// was let go, or a quarter of a small window.
void FileFeed::freed(std::size_t bytes) {
    bytesAhead_ -= bytes;
    ++unfreed_;
    unfreedBytes_ += bytes;
    const std::size_t batch = std::clamp<std::size_t>(window_.files / 4, 1, kWakeBatch);
    if (readersWaiting_ != 0 && (unfreed_ >= batch || unfreedBytes_ >= window_.bytes / 4)) {
        unfreed_ = unfreedBytes_ = 0;
        readerWake_.notify_all();
    }
}

// A file left part-read: whoever still holds it hears why it ends here.
void FileFeed::stopped(Prepared& file) {
    if (!file.abandoned && !file.ended) {
        file.failure = zentra::Error(zentra::kErrImportFailed,
                                     "reading " + zentra::readablePath(file.file.path) + " was stopped");
        file.ended = true;
        loopWake_.notify_one();
    }
}

bool FileFeed::hasRoom() const { return ahead_.size() < window_.files && bytesAhead_ < window_.bytes; }

// Within the budget; beyond it only the first file still being read, and only once the loop has
// taken everything it read: the loop is then waiting for it, and the other files' bytes are
// freed only after it.
bool FileFeed::mayAdd(const Prepared& file) const {
    if (bytesAhead_ < window_.bytes) return true;
    return file.bytes == 0 && isFirstBeingRead(file);
}

bool FileFeed::isFirstBeingRead(const Prepared& file) const {
    const std::size_t position = file.file.queued - 1;
    return std::none_of(reading_.begin(), reading_.end(), [&](std::size_t other) { return other < position; });
}

void FileFeed::run() {
    yieldToTheLoop();
    detail::ReadingState state;   // this thread's, kept from file to file
    std::unique_lock lock(mutex_);
    while (!stopping_ && next_ < queue_->size()) {
        waitForLoop(lock, [&] { return stopping_ || hasRoom(); });
        if (stopping_ || next_ >= queue_->size()) break;
        auto file = std::make_shared<Prepared>();
        file->file = queue_->file(next_++);
        ahead_.push_back(file);
        reading_.push_back(file->file.queued - 1);
        readInto(file, state, lock);
        reading_.erase(std::find(reading_.begin(), reading_.end(), file->file.queued - 1));
        // The first file still being read may now be another thread's, which may go past the
        // spent budget (mayAdd) or start a large file.
        if (readersWaiting_ != 0 && (bytesAhead_ >= window_.bytes || frontWaiters_ != 0)) readerWake_.notify_all();
    }
    // Nothing more from this thread: the loop hears of the rest now.
    unannounced_ = 0;
    loopWake_.notify_one();
}

// Reads one file card by card, unlocking while it parses; stops early when the file is
// abandoned, and waits while the budget is spent (the loop frees it as it stores contacts).
void FileFeed::readInto(const std::shared_ptr<Prepared>& file, detail::ReadingState& state,
                        std::unique_lock<std::mutex>& lock) {
    const SourceFile source = file->file;
    lock.unlock();
    std::optional<detail::VcardFile> reader;
    std::optional<zentra::Error> failure;
    try {
        reader.emplace(source, options_, &state);
    } catch (const zentra::Error& e) {
        failure = e;
    } catch (const std::bad_alloc&) {
        failure = zentra::Error(zentra::kErrOutOfMemory, "not enough memory to read " + zentra::readablePath(source.path));
    }
    if (reader && reader->streams() && reader->sizeAtOpen() > window_.bytes / 4) {
        // A large file is parsed as it is read, with buffers as large as its longest line: one
        // such file at a time, the first one still being read, so that two threads never hold
        // two of them.
        lock.lock();
        ++frontWaiters_;
        waitForLoop(lock, [&] { return stopping_ || file->abandoned || isFirstBeingRead(*file); });
        --frontWaiters_;
        if (file->abandoned || stopping_) return stopped(*file);
        lock.unlock();
    }
    contact::ContactItem contact;
    while (reader && !failure) {
        bool more = false;
        try {
            more = reader->next(contact);
        } catch (const zentra::Error& e) {
            failure = e;
        } catch (const std::bad_alloc&) {
            failure = zentra::Error(zentra::kErrOutOfMemory, "not enough memory to read " + reader->shownPath());
        }
        if (!more) break;
        const std::size_t bytes = approximateBytes(contact);
        lock.lock();
        // The budget spent: wait until the loop has stored enough.
        waitForLoop(lock, [&] { return stopping_ || file->abandoned || mayAdd(*file); });
        if (file->abandoned || stopping_) return stopped(*file);   // keeps the lock, as run() expects
        file->contacts.push_back(std::move(contact));
        if (!spares_.empty()) {
            contact = std::move(spares_.back());
            spares_.pop_back();
        }
        file->sizes.push_back(bytes);
        file->bytes += bytes;
        bytesAhead_ += bytes;
        ++file->cards;
        announce();
        lock.unlock();
    }
    lock.lock();
    if (reader) file->fileWarnings = reader->fileWarnings();
    file->failure = std::move(failure);
    file->ended = true;
    announce();
}

std::unique_ptr<FileCards> FileFeed::take(const SourceFile& file) {
    std::unique_lock lock(mutex_);
    if (!queue_ || file.queue != queue_.get() || file.queued == 0) return nullptr;
    const std::size_t position = file.queued - 1;
    if (position < taken_) return nullptr;
    // Files before it were skipped by the loop: drop them, read or being read.
    if (taken_ < position) readerWake_.notify_all();   // those being read stop now
    while (taken_ < position) {
        if (!ahead_.empty()) {
            auto& skipped = ahead_.front();
            skipped->abandoned = true;
            skipped->contacts.clear();
            skipped->sizes.clear();
            freed(skipped->bytes);
            skipped->bytes = 0;
            ahead_.pop_front();
        } else {
            ++next_;   // not started yet: the threads go past it
        }
        ++taken_;
    }
    waitForReaders(lock, [&] { return stopping_ || !ahead_.empty() || next_ >= queue_->size(); });
    if (ahead_.empty()) return nullptr;
    std::shared_ptr<Prepared> prepared = ahead_.front();
    ahead_.pop_front();
    ++taken_;
    freed(0);   // room for one more file
    return std::make_unique<FedCards>(*this, std::move(prepared));
}

std::size_t FileFeed::waiting() const {
    std::lock_guard lock(mutex_);
    return ahead_.size();
}

}  // namespace pipeline
