// Reading vCard files ahead of the import loop: a file taken from the reading thread is what
// reading it at Import gives, files the loop skips are dropped, paths that are not coming up
// are left to the caller, failures travel with their file, and the thread stays within its
// window and stops promptly.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "mapi/property_catalogue.h"
#include "read_ahead.h"
#include "zentra/error.h"

namespace zentra::mailstore::detail {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zentra_read_ahead_" + std::to_string(::getpid()) + "_" +
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
    static std::string displayName(const contact::ContactItem& item) {
        const contact::Property* p = item.properties.find(mapi::PidTagDisplayName);
        return p ? mapi::stringOf(p->value).value_or("") : std::string();
    }
    static void waitFor(ReadAhead& ahead, size_t waiting) {
        for (int i = 0; i < 500 && ahead.waiting() < waiting; ++i) std::this_thread::sleep_for(10ms);
    }

    fs::path dir_;
};

TEST_F(ReadAheadTest, FilesComeInOrderAsReadingThemThenWouldGive) {
    const std::vector<std::string> paths = {file("ann", 1), file("bob", 3), file("cid", 2)};
    ReadAhead ahead;
    const ContactItemLimits limits;
    ahead.start(paths, limits);
    for (const std::string& path : paths) {
        std::optional<PreparedImport> got = ahead.take(path, limits);
        ASSERT_TRUE(got.has_value()) << path;
        const PreparedImport direct = prepareImport(path, limits);
        EXPECT_EQ(got->path, path);
        EXPECT_FALSE(got->error);
        EXPECT_EQ(got->count, direct.count);
        EXPECT_EQ(displayName(got->first), displayName(direct.first));
        ASSERT_EQ(got->held.size(), direct.held.size());
        for (size_t i = 0; i < direct.held.size(); ++i) EXPECT_EQ(displayName(got->held[i]), displayName(direct.held[i]));
        EXPECT_EQ(got->warnings, direct.warnings);
    }
    EXPECT_FALSE(ahead.take(paths[0], limits).has_value()) << "a file is handed over once";
}

TEST_F(ReadAheadTest, SkippedFilesAreDroppedAndUnlistedPathsLeftToTheCaller) {
    const std::vector<std::string> paths = {file("a"), file("b"), file("c"), file("d")};
    const std::string other = file("other");
    ReadAhead ahead;
    const ContactItemLimits limits;
    ahead.start(paths, limits);
    EXPECT_FALSE(ahead.take(other, limits).has_value());
    std::optional<PreparedImport> c = ahead.take(paths[2], limits);   // the loop skipped a and b
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(displayName(c->first), "c-1");
    EXPECT_FALSE(ahead.take(paths[0], limits).has_value());           // behind the loop now
    ContactItemLimits otherLimits;
    otherLimits.warnings = 3;
    EXPECT_FALSE(ahead.take(paths[3], otherLimits).has_value()) << "prepared under other limits";
    std::optional<PreparedImport> d = ahead.take(paths[3], limits);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(displayName(d->first), "d-1");
}

TEST_F(ReadAheadTest, FailuresTravelWithTheirFile) {
    const std::string missing = (dir_ / "gone.vcf").string();
    const std::string folder = (dir_ / "folder.vcf").string();
    fs::create_directories(folder);
    const std::string empty = (dir_ / "empty.vcf").string();
    std::ofstream(empty) << "no card here\r\n";
    const std::vector<std::string> paths = {missing, folder, empty, file("fine")};
    ReadAhead ahead;
    const ContactItemLimits limits;
    ahead.start(paths, limits);
    for (const std::string& path : {missing, folder, empty}) {
        std::optional<PreparedImport> got = ahead.take(path, limits);
        ASSERT_TRUE(got.has_value()) << path;
        ASSERT_TRUE(got->error) << path;
        const PreparedImport direct = prepareImport(path, limits);
        ASSERT_TRUE(direct.error);
        auto messageOf = [](const std::exception_ptr& e) -> std::pair<long, std::string> {
            try {
                std::rethrow_exception(e);
            } catch (const zentra::Error& error) {
                return {error.number(), error.description()};
            } catch (...) {
                return {0, "not a zentra::Error"};
            }
        };
        EXPECT_EQ(messageOf(got->error), messageOf(direct.error)) << path;
    }
    std::optional<PreparedImport> fine = ahead.take(paths[3], limits);
    ASSERT_TRUE(fine.has_value());
    EXPECT_FALSE(fine->error);
}

TEST_F(ReadAheadTest, StaysWithinItsWindowAndStopsPromptly) {
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back(file("f" + std::to_string(i), 5));
    ReadAhead ahead;
    const ContactItemLimits limits;
    ahead.start(paths, limits, ReadAhead::Window{3, 1u << 30});
    waitFor(ahead, 3);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ahead.waiting(), 3u);
    ASSERT_TRUE(ahead.take(paths[0], limits).has_value());
    waitFor(ahead, 3);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ahead.waiting(), 3u);
    // A byte window: held cards count, so one file with further cards is all it reads ahead.
    ahead.start(paths, limits, ReadAhead::Window{100, 1});
    waitFor(ahead, 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ahead.waiting(), 1u);
    const auto before = std::chrono::steady_clock::now();
    ahead.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_EQ(ahead.waiting(), 0u);
    EXPECT_FALSE(ahead.take(paths[1], limits).has_value());
}

}  // namespace
}  // namespace zentra::mailstore::detail
