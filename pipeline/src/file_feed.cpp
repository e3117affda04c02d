#include "pipeline/file_feed.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <new>
#include <optional>
#include <utility>

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
// A thread sharing a file parses this many cards in one turn, or fewer when they hold this many
// bytes (a card that large is also mapped before the file is let go).
constexpr std::size_t kTurnCards = 16;
constexpr std::size_t kTurnBytes = 1u << 20;
// The loop looks again after this long whatever came, so that it never waits long for a batch
// that a slow disk fills slowly.
constexpr auto kLongestLoopWait = std::chrono::milliseconds(20);

// Runs a step of reading a file (opening, parsing or mapping): its failure, if any, as the file's
// error; running out of memory is one too, so that it ends the file, not the thread. The file's
// readable path is only made for that message.
template <class Step, class ShownPath>
std::optional<zentra::Error> failureOf(Step&& step, ShownPath&& shownPath) {
    try {
        step();
    } catch (const zentra::Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return zentra::Error(zentra::kErrOutOfMemory, "not enough memory to read " + shownPath());
    }
    return std::nullopt;
}

// The bytes a parsed card holds, near enough to tell a large card from the common small one.
std::size_t cardBytes(const vcard::Card& card) {
    std::size_t bytes = 0;
    for (const vcard::Property& p : card.properties) bytes += p.rawValue.size() + p.value.size() + p.bytes.size();
    return bytes;
}

}  // namespace

// One contact of a file, in file order. Its place is taken when its card is parsed, so that
// cards mapped on two threads still come out in order; it is ready once mapped.
struct FedContact {
    contact::ContactItem contact;
    std::size_t bytes = 0;   // counted in the budget once ready
    bool ready = false;
    std::optional<zentra::Error> failure;   // mapping it failed: the file ends here
};

// One file as the reading threads fill it. Guarded by the feed's mutex, except `parsing` and what
// it guards.
struct FileFeed::Prepared {
    SourceFile file;
    std::deque<FedContact> contacts;          // parsed, not handed out yet (std::deque: places stay put)
    std::size_t bytes = 0;                    // of the ready contacts
    std::size_t cards = 0;
    bool ended = false;                       // nothing more will come (failure or end)
    std::optional<zentra::Error> failure;
    std::vector<FileWarning> fileWarnings;
    bool abandoned = false;                   // the loop passed it, or the feed stopped

    // A file read as it is parsed may be shared: one thread at a time parses its next card (under
    // `parsing`), and each maps its own card. Set while the file is being read this way.
    std::unique_ptr<detail::VcardFile> shared;
    std::mutex parsing;
    bool parseEnded = false;                  // the last card was parsed, or parsing failed
    std::size_t readers = 0;                  // threads in the file
};

// A taken file: hands out what the threads have read, waiting for more while they read on. Once
// the file has ended and its last contact is handed out, what is left to tell about it is kept
// here, so that the loop's last questions about a file do not each take the feed's lock from the
// reading threads.
class FedCards final : public FileCards {
public:
    FedCards(FileFeed& feed, std::shared_ptr<FileFeed::Prepared> file) : feed_(feed), file_(std::move(file)) {}
    ~FedCards() override {
        if (finished_) return;   // the threads are done with it, and nothing of it is left in the budget
        std::lock_guard lock(feed_.mutex_);
        file_->abandoned = true;   // a file not read to its end stops being read
        if (!file_->ended) feed_.readerWake_.notify_all();
        // Contacts still being mapped are dropped by their threads, which see the file abandoned.
        file_->contacts.clear();
        feed_.freed(std::exchange(file_->bytes, 0));
    }

    bool next(contact::ContactItem& out) override {
        if (finished_) return false;
        std::unique_lock lock(feed_.mutex_);
        auto& contacts = file_->contacts;
        feed_.waitForReaders(lock, [&] { return contacts.empty() ? file_->ended : contacts.front().ready; });
        if (!contacts.empty()) {
            if (contacts.front().failure) throw *contacts.front().failure;
            std::swap(out, contacts.front().contact);   // what `out` held goes back to the readers
            if (feed_.spares_.size() < kSpareContacts) feed_.spares_.push_back(std::move(contacts.front().contact));
            release();
            finishIfDone();
            return true;
        }
        if (file_->failure) throw *file_->failure;
        finishIfDone();
        return false;
    }
    std::size_t cardsRead() const override {
        if (finished_) return finished_->cards;
        std::lock_guard lock(feed_.mutex_);
        return file_->cards;
    }
    bool allRead() const override {
        if (finished_) return true;
        std::lock_guard lock(feed_.mutex_);
        return file_->ended && !file_->failure;
    }
    std::vector<FileWarning> fileWarnings() const override {
        if (finished_) return finished_->warnings;
        std::lock_guard lock(feed_.mutex_);
        return file_->fileWarnings;
    }

private:
    struct Finished {
        std::size_t cards = 0;
        std::vector<FileWarning> warnings;
    };

    void release() {
        const std::size_t bytes = file_->contacts.front().bytes;
        file_->contacts.pop_front();
        file_->bytes -= bytes;
        feed_.freed(bytes);
    }
    // Under the feed's lock. An ended file has no reading thread left in it; one that failed
    // still has its failure to throw.
    void finishIfDone() {
        if (!file_->ended || file_->failure || !file_->contacts.empty()) return;
        finished_ = Finished{file_->cards, std::move(file_->fileWarnings)};
    }

    FileFeed& feed_;
    std::shared_ptr<FileFeed::Prepared> file_;
    std::optional<Finished> finished_;
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
    shared_.clear();
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
        if (!stopping_ && taken_ != 0 && workers_.size() < window_.threads && queue_ &&
            (next_ < queue_->size() || sharedFile()))
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
    while (!stopping_) {
        if (next_ < queue_->size()) {
            waitForLoop(lock, [&] { return stopping_ || hasRoom(); });
            if (stopping_ || next_ >= queue_->size()) continue;
            auto file = std::make_shared<Prepared>();
            file->file = queue_->file(next_++);
            ahead_.push_back(file);
            readInto(file, state, lock);
        } else if (auto shared = sharedFile(); shared) {
            readShared(shared, state, lock);   // nothing left to start: help with the file being read
        } else if (!reading_.empty()) {
            // A file another thread is opening may turn out to be one to share.
            waitForLoop(lock, [&] { return stopping_ || sharedFile() || reading_.empty(); });
        } else {
            break;
        }
        // The first file still being read may now be another thread's, which may go past the
        // spent budget (mayAdd) or start a large file; or no file is being read any more.
        if (readersWaiting_ != 0 && (bytesAhead_ >= window_.bytes || frontWaiters_ != 0 || reading_.empty()))
            readerWake_.notify_all();
    }
    // Nothing more from this thread: the loop hears of the rest now.
    unannounced_ = 0;
    loopWake_.notify_one();
}

void FileFeed::takeSpare(contact::ContactItem& contact) {
    if (spares_.empty()) return;
    contact = std::move(spares_.back());
    spares_.pop_back();
}

// A file being read as it is parsed that another thread could help with.
std::shared_ptr<FileFeed::Prepared> FileFeed::sharedFile() const {
    for (const auto& file : shared_)
        if (!file->parseEnded && !file->abandoned) return file;
    return nullptr;
}

// Reads one file: a small one card by card on this thread; one read as it is parsed is shared
// (readShared), so that a second thread can map half of its cards.
void FileFeed::readInto(const std::shared_ptr<Prepared>& file, detail::ReadingState& state,
                        std::unique_lock<std::mutex>& lock) {
    const std::size_t position = file->file.queued - 1;
    reading_.push_back(position);
    const SourceFile source = file->file;
    lock.unlock();
    std::unique_ptr<detail::VcardFile> reader;
    std::optional<zentra::Error> failure = failureOf(
        [&] { reader = std::make_unique<detail::VcardFile>(source, options_, &state); },
        [&] { return zentra::readablePath(source.path); });
    lock.lock();
    if (reader && reader->streams()) {
        // A large file is parsed as it is read, with buffers as large as its longest line: one
        // such file at a time, the first one still being read, so that two threads never hold
        // two of them.
        if (reader->sizeAtOpen() > window_.bytes / 4) {
            ++frontWaiters_;
            waitForLoop(lock, [&] { return stopping_ || file->abandoned || isFirstBeingRead(*file); });
            --frontWaiters_;
        }
        file->shared = std::move(reader);
        shared_.push_back(file);
        if (readersWaiting_ != 0) readerWake_.notify_all();   // a thread with nothing to do may help
        reading_.erase(std::find(reading_.begin(), reading_.end(), position));
        readShared(file, state, lock);
        return;
    }
    contact::ContactItem contact;
    takeSpare(contact);   // a stored contact's memory, so that even a file's first card reuses it
    while (reader && !failure) {
        if (stopping_ || file->abandoned) break;
        lock.unlock();
        bool more = false;
        failure = failureOf([&] { more = reader->next(contact); }, [&] { return reader->shownPath(); });
        lock.lock();
        if (!more) break;
        const std::size_t bytes = approximateBytes(contact);
        // The budget spent: wait until the loop has stored enough.
        waitForLoop(lock, [&] { return stopping_ || file->abandoned || mayAdd(*file); });
        if (file->abandoned || stopping_) break;
        FedContact& fed = file->contacts.emplace_back();
        fed.contact = std::move(contact);
        fed.bytes = bytes;
        fed.ready = true;
        file->bytes += bytes;
        bytesAhead_ += bytes;
        ++file->cards;
        takeSpare(contact);
        announce();
    }
    reading_.erase(std::find(reading_.begin(), reading_.end(), position));
    if (file->abandoned || stopping_) return stopped(*file);
    if (reader) file->fileWarnings = reader->fileWarnings();
    file->failure = std::move(failure);
    file->ended = true;
    announce();
}

// One of the threads reading a shared file: parses a turn of cards while it holds the file, takes
// their places in the file's order, and maps them after letting go of the file, so that the other
// thread parses the next turn meanwhile. A turn is a batch, since handing the file from thread to
// thread for every card costs more than it gains. A large card is mapped before the file is let
// go: two threads never hold two of them. The last thread out ends the file.
void FileFeed::readShared(const std::shared_ptr<Prepared>& file, detail::ReadingState& state,
                          std::unique_lock<std::mutex>& lock) {
    const std::size_t position = file->file.queued - 1;
    reading_.push_back(position);
    ++file->readers;
    contact::ContactItem contact;
    std::array<FedContact*, kTurnCards> places{};
    bool leaving = false;
    while (!leaving) {
        // The budget spent: wait until the loop has stored enough.
        waitForLoop(lock, [&] { return stopping_ || file->abandoned || file->parseEnded || mayAdd(*file); });
        if (stopping_ || file->abandoned || file->parseEnded) break;
        lock.unlock();
        std::unique_lock parsing(file->parsing);
        lock.lock();
        bool more = !file->parseEnded;   // another thread may have parsed the last card
        lock.unlock();
        const auto shownPath = [&] { return file->shared->shownPath(); };
        std::size_t parsed = 0, bytes = 0;
        std::optional<zentra::Error> failure;
        while (more && parsed < kTurnCards && bytes < kTurnBytes) {
            if (state.turn.size() == parsed) state.turn.emplace_back();
            failure = failureOf([&] { more = file->shared->nextCard(state.turn[parsed]); }, shownPath);
            if (failure) more = false;
            if (more) bytes += cardBytes(state.turn[parsed++]);
        }
        lock.lock();
        if (!more && !file->parseEnded) {
            file->parseEnded = true;
            if (failure) file->failure = std::move(failure);
        }
        if (stopping_ || file->abandoned) break;
        for (std::size_t i = 0; i < parsed; ++i) places[i] = &file->contacts.emplace_back();   // in the order parsed
        file->cards += parsed;
        if (bytes < kTurnBytes) parsing.unlock();
        for (std::size_t i = 0; i < parsed && !leaving; ++i) {
            takeSpare(contact);
            lock.unlock();
            std::optional<zentra::Error> mapFailure =
                failureOf([&] { file->shared->map(state.turn[i], contact); }, shownPath);
            const std::size_t contactBytes = mapFailure ? 0 : approximateBytes(contact);
            if (bytes >= kTurnBytes) state.turn[i] = vcard::Card();   // a large card's memory is not kept
            lock.lock();
            if (stopping_ || file->abandoned) {   // the places went with the file's contacts
                leaving = true;
            } else if (mapFailure) {
                // The contacts before this one still come; the file ends here, with this failure.
                places[i]->failure = mapFailure;
                places[i]->ready = true;
                file->parseEnded = true;
                file->failure = std::move(mapFailure);
                announce();
                leaving = true;
            } else {
                places[i]->contact = std::move(contact);
                places[i]->bytes = contactBytes;
                places[i]->ready = true;
                file->bytes += contactBytes;
                bytesAhead_ += contactBytes;
                announce();
            }
        }
    }
    reading_.erase(std::find(reading_.begin(), reading_.end(), position));
    if (--file->readers != 0) return;
    shared_.erase(std::find(shared_.begin(), shared_.end(), file));
    if (file->abandoned || stopping_) return stopped(*file);
    file->fileWarnings = file->shared->fileWarnings();
    file->shared.reset();
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
