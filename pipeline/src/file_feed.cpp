#include "pipeline/file_feed.h"

#include <new>
#include <optional>

#include "vcard_file.h"
#include "zentra/path_list.h"
#include "zentra/error.h"

namespace pipeline {

// One file as the reading thread fills it. Guarded by the feed's mutex.
struct FileFeed::Prepared {
    SourceFile file;
    std::deque<contact::ContactItem> contacts;       // read, not handed out yet
    std::deque<std::size_t> sizes;            // their bytes, for the budget
    std::size_t cards = 0;
    bool ended = false;                       // nothing more will come (failure or end)
    std::optional<zentra::Error> failure;
    std::vector<FileWarning> fileWarnings;
    bool abandoned = false;                   // the loop passed it, or the feed stopped
};

// A taken file: hands out what the thread has read, waiting for more while it reads on.
class FedCards final : public FileCards {
public:
    FedCards(FileFeed& feed, std::shared_ptr<FileFeed::Prepared> file) : feed_(feed), file_(std::move(file)) {}
    ~FedCards() override {
        std::lock_guard lock(feed_.mutex_);
        file_->abandoned = true;   // a file not read to its end stops being read
        while (!file_->sizes.empty()) release();
        feed_.changed_.notify_all();
    }

    bool next(contact::ContactItem& out) override {
        std::unique_lock lock(feed_.mutex_);
        feed_.changed_.wait(lock, [&] { return !file_->contacts.empty() || file_->ended; });
        if (!file_->contacts.empty()) {
            out = std::move(file_->contacts.front());
            file_->contacts.pop_front();
            release();
            feed_.changed_.notify_all();
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
        feed_.bytesAhead_ -= file_->sizes.front();
        file_->sizes.pop_front();
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
    stopping_ = false;
    if (queue_ && queue_->size() != 0) worker_ = std::thread([this] { run(); });
}

void FileFeed::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& file : ahead_) file->abandoned = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
    std::lock_guard lock(mutex_);
    for (auto& file : ahead_)
        for (std::size_t bytes : file->sizes) bytesAhead_ -= bytes;
    ahead_.clear();
    queue_.reset();
    next_ = taken_ = 0;
}

// A file left part-read: whoever still holds it hears why it ends here.
void FileFeed::stopped(Prepared& file) {
    if (!file.abandoned && !file.ended) {
        file.failure = zentra::Error(zentra::kErrImportFailed,
                                     "reading " + zentra::readablePath(file.file.path) + " was stopped");
        file.ended = true;
        changed_.notify_all();
    }
}

bool FileFeed::hasRoom() const { return ahead_.size() < window_.files && bytesAhead_ < window_.bytes; }

void FileFeed::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_ && next_ < queue_->size()) {
        changed_.wait(lock, [&] { return stopping_ || hasRoom(); });
        if (stopping_) break;
        auto file = std::make_shared<Prepared>();
        file->file = queue_->file(next_++);
        ahead_.push_back(file);
        readInto(file, lock);
    }
}

// Reads one file card by card, unlocking while it parses; stops early when the file is
// abandoned, and waits while the budget is spent (the loop frees it as it stores contacts).
void FileFeed::readInto(const std::shared_ptr<Prepared>& file, std::unique_lock<std::mutex>& lock) {
    const SourceFile source = file->file;
    lock.unlock();
    std::optional<detail::VcardFile> reader;
    std::optional<zentra::Error> failure;
    try {
        reader.emplace(source, options_);
    } catch (const zentra::Error& e) {
        failure = e;
    } catch (const std::bad_alloc&) {
        failure = zentra::Error(zentra::kErrOutOfMemory, "not enough memory to read " + zentra::readablePath(source.path));
    }
    while (reader && !failure) {
        contact::ContactItem contact;
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
        if (file->abandoned || stopping_) return stopped(*file);   // keeps the lock, as run() expects
        file->contacts.push_back(std::move(contact));
        file->sizes.push_back(bytes);
        bytesAhead_ += bytes;
        ++file->cards;
        changed_.notify_all();
        // The budget spent: wait until the loop has stored enough. The bytes are held by this
        // file or by files the loop takes before it, so the loop frees them.
        changed_.wait(lock, [&] { return stopping_ || file->abandoned || bytesAhead_ < window_.bytes; });
        if (file->abandoned || stopping_) return stopped(*file);
        lock.unlock();
    }
    lock.lock();
    if (reader) file->fileWarnings = reader->fileWarnings();
    file->failure = std::move(failure);
    file->ended = true;
    changed_.notify_all();
}

std::unique_ptr<FileCards> FileFeed::take(const SourceFile& file) {
    std::unique_lock lock(mutex_);
    if (!queue_ || file.queue != queue_.get() || file.queued == 0) return nullptr;
    const std::size_t position = file.queued - 1;
    if (position < taken_) return nullptr;
    // Files before it were skipped by the loop: drop them, read or being read.
    while (taken_ < position) {
        if (!ahead_.empty()) {
            auto& skipped = ahead_.front();
            skipped->abandoned = true;
            for (std::size_t bytes : skipped->sizes) bytesAhead_ -= bytes;
            skipped->sizes.clear();
            skipped->contacts.clear();
            ahead_.pop_front();
        } else {
            ++next_;   // not started yet: the thread goes past it
        }
        ++taken_;
    }
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopping_ || !ahead_.empty() || next_ >= queue_->size(); });
    if (ahead_.empty()) return nullptr;
    std::shared_ptr<Prepared> prepared = ahead_.front();
    ahead_.pop_front();
    ++taken_;
    changed_.notify_all();
    return std::make_unique<FedCards>(*this, std::move(prepared));
}

std::size_t FileFeed::waiting() const {
    std::lock_guard lock(mutex_);
    return ahead_.size();
}

}  // namespace pipeline
