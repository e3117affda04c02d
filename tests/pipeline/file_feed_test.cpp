// Reading vCard files ahead of the import loop: a file taken from the reading thread gives what
// reading it on its own gives, files the loop skips are dropped, files of other queues are left
// to the caller, failures travel with their file, a file larger than the budget streams (also
// while a second thread reads the files after it, or shares it), and the thread stays within its
// window and stops promptly.
#include "pipeline/file_feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "mapi/property_catalogue.h"
#include "zentra/error.h"

namespace pipeline {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class FileFeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zentra_file_feed_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A file of `cards` cards named <stem>-1, <stem>-2, ...
    std::string file(const std::string& stem, int cards = 1) {
        const std::string path = (dir_ / (stem + ".vcf")).string();
        std::ofstream out(path, std::ios::binary);
        for (int i = 1; i <= cards; ++i)
            out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << stem << "-" << i << "\r\nN:" << stem << ";" << i
                << ";;;\r\nEND:VCARD\r\n";
        return path;
    }
    static SharedFileQueue queueOf(const std::vector<std::string>& paths) {
        zentra::PathList list;
        for (const std::string& p : paths) list.add(p);
        return std::make_shared<const FileQueue>(std::move(list));
    }
    static std::string displayName(const contact::ContactItem& item) {
    const contact::Property* p = item.properties.find(mapi::PidTagDisplayName);
    return p ? mapi::stringOf(p->value).value_or("") : std::string();
    }
    // Every display name the cards give, and the error that ends them (0 when none).
    static std::pair<std::vector<std::string>, long> drain(FileCards& cards) {
        std::vector<std::string> names;
        try {
            contact::ContactItem c;
            while (cards.next(c)) names.push_back(displayName(c));
        } catch (const zentra::Error& e) {
            return {names, e.number()};
        }
        return {names, 0};
    }
    // Every file of the queue taken in order and read to its end: the display names of each.
    static std::vector<std::vector<std::string>> takeAll(FileFeed& feed, const SharedFileQueue& queue) {
        std::vector<std::vector<std::string>> all;
        for (size_t i = 0; i < queue->size(); ++i) {
            auto cards = feed.take(queue->file(i));
            EXPECT_NE(cards, nullptr) << "file " << i;
            if (!cards) break;
            auto [names, error] = drain(*cards);
            EXPECT_EQ(error, 0) << "file " << i;
            all.push_back(std::move(names));
        }
        return all;
    }
    static void waitFor(FileFeed& feed, size_t waiting) {
        for (int i = 0; i < 500 && feed.waiting() < waiting; ++i) std::this_thread::sleep_for(10ms);
    }

    contact::MapOptions options_;
    fs::path dir_;
};

TEST_F(FileFeedTest, FilesComeInOrderAsReadingThemOnTheirOwnGives) {
    // Text outside the cards is the file's own warning, told after its last contact.
    const std::string stray = (dir_ / "stray.vcf").string();
    std::ofstream(stray, std::ios::binary) << "a note before the card\r\n"
                                           << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dee\r\nEND:VCARD\r\n";
    const std::vector<std::string> paths = {file("ann", 1), file("bob", 3), stray, file("cid", 2)};
    FileFeed feed(options_);
    auto queue = queueOf(paths);
    feed.start(queue);
    const auto described = [](const std::vector<FileWarning>& warnings) {
        std::vector<std::string> texts;
        for (const FileWarning& w : warnings) texts.push_back(describe(w));
        return texts;
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        std::unique_ptr<FileCards> got = feed.take(queue->file(i));
        ASSERT_NE(got, nullptr) << paths[i];
        auto direct = readHere(SourceFile{paths[i]}, options_);
        EXPECT_EQ(drain(*got), drain(*direct));
        contact::ContactItem none;
        EXPECT_FALSE(got->next(none)) << "an ended file stays ended";
        EXPECT_EQ(got->cardsRead(), direct->cardsRead());
        EXPECT_TRUE(got->allRead());
        EXPECT_EQ(described(got->fileWarnings()), described(direct->fileWarnings())) << paths[i];
        EXPECT_EQ(got->fileWarnings().empty(), paths[i] != stray) << paths[i];
    }
    EXPECT_EQ(feed.take(queue->file(0)), nullptr) << "a file is handed over once";
}

TEST_F(FileFeedTest, SkippedFilesAreDroppedAndFilesOfOtherQueuesLeftToTheCaller) {
    const std::vector<std::string> paths = {file("a"), file("b"), file("c"), file("d")};
    FileFeed feed(options_);
    auto queue = queueOf(paths);
    feed.start(queue);
    EXPECT_EQ(feed.take(SourceFile{file("other")}), nullptr);
    auto sameNames = queueOf(paths);   // the same paths in another queue are other files
    EXPECT_EQ(feed.take(sameNames->file(2)), nullptr);
    auto c = feed.take(queue->file(2));   // the loop skipped a and b
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(drain(*c).first, std::vector<std::string>{"c-1"});
    EXPECT_EQ(feed.take(queue->file(0)), nullptr);   // behind the loop now
    auto d = feed.take(queue->file(3));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(drain(*d).first, std::vector<std::string>{"d-1"});
}

TEST_F(FileFeedTest, FailuresTravelWithTheirFile) {
    const std::string missing = (dir_ / "gone.vcf").string();
    const std::string folder = (dir_ / "folder.vcf").string();
    fs::create_directories(folder);
    const std::string empty = (dir_ / "empty.vcf").string();
    std::ofstream(empty) << "no card here\r\n";
    const std::vector<std::string> paths = {missing, folder, empty, file("fine")};
    FileFeed feed(options_);
    auto queue = queueOf(paths);
    feed.start(queue);
    for (size_t i = 0; i < 3; ++i) {
        auto got = feed.take(queue->file(i));
        ASSERT_NE(got, nullptr) << paths[i];
        std::pair<long, std::string> fed, direct;
        try {
            contact::ContactItem c;
            got->next(c);
        } catch (const zentra::Error& e) {
            fed = {e.number(), e.description()};
        }
        try {
            contact::ContactItem c;
            readHere(SourceFile{paths[i]}, options_)->next(c);
        } catch (const zentra::Error& e) {
            direct = {e.number(), e.description()};
        }
        EXPECT_NE(fed.first, 0) << paths[i];
        EXPECT_EQ(fed, direct) << paths[i];
    }
    auto fine = feed.take(queue->file(3));
    ASSERT_NE(fine, nullptr);
    EXPECT_EQ(drain(*fine), (std::pair<std::vector<std::string>, long>{{"fine-1"}, 0}));
}

// One file bigger than the whole budget: the thread reads on as the loop takes its contacts, so
// the file comes through whole and in order while never more than the budget waits.
TEST_F(FileFeedTest, AFileLargerThanTheBudgetStreamsThroughIt) {
    const std::string big = file("big", 500);
    FileFeed feed(options_, FeedWindow{64, 8192});
    auto queue = queueOf({big, file("after")});
    feed.start(queue);
    auto cards = feed.take(queue->file(0));
    ASSERT_NE(cards, nullptr);
    auto [names, error] = drain(*cards);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(names.size(), 500u);
    for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(names[i], "big-" + std::to_string(i + 1));
    auto after = feed.take(queue->file(1));
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(drain(*after).first, std::vector<std::string>{"after-1"});
}

// Two threads: while one reads a file larger than the budget, the other reads the small files
// after it; those may not fill the budget while the loop still waits for the large file, so
// every file comes through whole and in order.
TEST_F(FileFeedTest, TwoThreadsStreamAFileLargerThanTheBudgetAndTheFilesAfterItInOrder) {
    std::vector<std::pair<std::string, int>> files = {{"big0", 300}};
    for (int i = 0; i < 30; ++i) files.push_back({"small" + std::to_string(i), 1});
    files.push_back({"big1", 300});
    std::vector<std::string> paths;
    for (const auto& [stem, cards] : files) paths.push_back(file(stem, cards));
    std::vector<std::vector<std::string>> expected;
    for (const auto& [stem, cards] : files) {
        expected.emplace_back();
        for (int k = 1; k <= cards; ++k) expected.back().push_back(stem + "-" + std::to_string(k));
    }
    FileFeed feed(options_, FeedWindow{64, 8192, 2});
    auto queue = queueOf(paths);
    feed.start(queue);
    EXPECT_EQ(takeAll(feed, queue), expected);
}

// A card with no name is named after its own file, whichever thread maps it: the small files
// between the large ones (which both threads share) are read meanwhile, each with its own name.
TEST_F(FileFeedTest, UnnamedCardsAreNamedAfterTheirOwnFileWhicheverThreadMapsThem) {
    contact::MapOptions streaming = options_;
    streaming.reader.chunkBytes = 4096;   // the large files are read as they are parsed
    std::string unnamedCards;
    for (int i = 0; i < 400; ++i) unnamedCards += "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:n\r\nEND:VCARD\r\n";
    std::vector<std::pair<std::string, std::size_t>> files;
    for (int i = 0; i < 12; ++i) {
        files.push_back({"large" + std::to_string(i), 400});
        for (int k = 0; k < 2; ++k) files.push_back({"small" + std::to_string(i) + "-" + std::to_string(k), 1});
    }
    std::vector<std::string> paths;
    for (const auto& [stem, cards] : files) {
        paths.push_back((dir_ / (stem + ".vcf")).string());
        std::ofstream(paths.back(), std::ios::binary)
            << (cards == 1 ? std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:n\r\nEND:VCARD\r\n") : unnamedCards);
    }
    std::vector<std::vector<std::string>> expected;
    for (const auto& [stem, cards] : files) expected.emplace_back(cards, stem);
    for (int round = 0; round < 5; ++round) {
        FileFeed feed(streaming, FeedWindow{64, 1 << 20, 2});
        auto queue = queueOf(paths);
        feed.start(queue);
        ASSERT_EQ(takeAll(feed, queue), expected) << "round " << round;
    }
}

// A file read as it is parsed is shared by both threads (one parses while the other maps): its
// contacts still come whole and in file order, within a budget that keeps both waiting for the
// loop, and a file left half-read does not hold up the next one.
TEST_F(FileFeedTest, ALargeFileSharedByTwoThreadsComesThroughWholeAndInOrder) {
    contact::MapOptions streaming = options_;
    streaming.reader.chunkBytes = 512;   // every file here is read as it is parsed
    const std::string big = file("big", 3000);
    const std::string after = file("after", 2);
    for (int round = 0; round < 10; ++round) {
        FileFeed feed(streaming, FeedWindow{64, 16384, 2});
        auto queue = queueOf({big, after, big});
        feed.start(queue);
        auto whole = feed.take(queue->file(0));
        ASSERT_NE(whole, nullptr);
        auto [names, error] = drain(*whole);
        EXPECT_EQ(error, 0);
        ASSERT_EQ(names.size(), 3000u);
        for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(names[i], "big-" + std::to_string(i + 1)) << "round " << round;
        EXPECT_TRUE(whole->allRead());
        EXPECT_EQ(whole->cardsRead(), 3000u);
        auto second = feed.take(queue->file(1));
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(drain(*second).first, (std::vector<std::string>{"after-1", "after-2"}));
        auto again = feed.take(queue->file(2));
        ASSERT_NE(again, nullptr);
        contact::ContactItem item;
        for (int i = 1; i <= 100; ++i) {
            ASSERT_TRUE(again->next(item));
            ASSERT_EQ(displayName(item), "big-" + std::to_string(i));
        }
        again.reset();   // left half-read while both threads may be in it
    }
}

// A shared file's failure comes after every contact read before it, in order, whichever thread
// met it: here the file grows while both threads read it, which its end check reports.
TEST_F(FileFeedTest, ASharedFileThatChangesWhileReadGivesItsContactsThenTheReason) {
    contact::MapOptions streaming = options_;
    streaming.reader.chunkBytes = 512;
    const std::string big = file("big", 3000);
    FileFeed feed(streaming, FeedWindow{64, 16384, 2});
    auto queue = queueOf({big});
    feed.start(queue);
    auto cards = feed.take(queue->file(0));
    ASSERT_NE(cards, nullptr);
    contact::ContactItem item;
    for (int i = 1; i <= 10; ++i) ASSERT_TRUE(cards->next(item));   // the budget holds the rest back
    std::ofstream(big, std::ios::binary | std::ios::app) << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:late\r\nEND:VCARD\r\n";
    auto [names, error] = drain(*cards);
    EXPECT_EQ(error, zentra::kErrImportFailed);
    ASSERT_GE(names.size(), 2990u);
    for (size_t i = 0; i < 2990; ++i) ASSERT_EQ(names[i], "big-" + std::to_string(i + 11));
    EXPECT_FALSE(cards->allRead());
}

TEST_F(FileFeedTest, StaysWithinItsWindowAndStopsPromptly) {
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back(file("f" + std::to_string(i), 5));
    auto queue = queueOf(paths);
    {
        FileFeed feed(options_, FeedWindow{3, 1u << 30});
        feed.start(queue);
        waitFor(feed, 3);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(feed.waiting(), 3u);
        ASSERT_NE(feed.take(queue->file(0)), nullptr);
        waitFor(feed, 3);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(feed.waiting(), 3u);
    }
    // A byte window: one contact fills it, so the thread stops inside the first file.
    FileFeed feed(options_, FeedWindow{100, 1});
    feed.start(queue);
    waitFor(feed, 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(feed.waiting(), 1u);
    const auto before = std::chrono::steady_clock::now();
    feed.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_EQ(feed.waiting(), 0u);
    EXPECT_EQ(feed.take(queue->file(1)), nullptr);
}

}  // namespace
}  // namespace pipeline
