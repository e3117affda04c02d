// A new store takes its name only once it holds a committed store: a kill or a failure before
// that leaves nothing under the name, and never a file that is not a store.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "ndb_test_support.h"
#include "pst/disk/layout.h"

namespace fs = std::filesystem;
using namespace pst::ndb;

namespace {

// Both ways a file is made: unnamed (O_TMPFILE) and under a hidden temporary name.
struct Naming {
    const char* label;
    bool temporaryName;
};

Options optionsFor(const Naming& naming) {
    Options o;
    if (naming.temporaryName) o.openFile = [](const std::string& path) { return createNamedTemporaryFile(path); };
    return o;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

pid_t finishedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

class StoreNaming : public ::testing::TestWithParam<Naming> {};

TEST_P(StoreNaming, TheNameAppearsWithTheFirstCommitAndNotBefore) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("new.pst");
    {
        auto db = NodeDatabase::create(path, optionsFor(GetParam()));
        db->putNode(0x21, db->writeData(ndbtest::pattern(100, 1)), 0, 0);
        EXPECT_FALSE(fs::exists(path)) << "named before it holds a store";
        db->commit();
        EXPECT_TRUE(fs::exists(path));
        EXPECT_STORE_SOUND(path);
        db->close();
    }
    // Only the store is left in the folder: no temporary name.
    EXPECT_EQ(namesIn(dir.file("")), std::vector<std::string>{"new.pst"});
}

TEST_P(StoreNaming, AStoreDroppedBeforeItsFirstCommitLeavesNothing) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("dropped.pst");
    {
        auto db = NodeDatabase::create(path, optionsFor(GetParam()));
        db->putNode(0x21, db->writeData(ndbtest::pattern(100, 1)), 0, 0);
    }
    EXPECT_TRUE(namesIn(dir.file("")).empty());
}

TEST_P(StoreNaming, ANameTakenMeanwhileIsNeverReplaced) {
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("taken.pst");
    auto db = NodeDatabase::create(path, optionsFor(GetParam()));
    std::ofstream(path) << "someone else's file";
    try {
        db->commit();
        ADD_FAILURE() << "the commit took a name that was taken";
    } catch (const zentra::Error& e) {
        EXPECT_EQ(e.number(), zentra::kErrStoreCreate);
        EXPECT_NE(e.description().find("already exists"), std::string::npos) << e.description();
    }
    db.reset();
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "someone else's file");
    EXPECT_EQ(namesIn(dir.file("")), std::vector<std::string>{"taken.pst"});
}

INSTANTIATE_TEST_SUITE_P(Both, StoreNaming,
                         ::testing::Values(Naming{"unnamed", false}, Naming{"temporaryName", true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(StoreNamingLeftOvers, ATemporaryFileOfAProcessThatIsGoneIsRemovedByTheNextStoreInTheFolder) {
    ndbtest::ScratchDir dir;
    const std::string dead = ".old.pst." + std::to_string(finishedProcess()) + ".zentra-partial";
    const std::string alive = ".busy.pst." + std::to_string(getpid()) + ".zentra-partial";
    const std::string notOurs = ".notes.txt.123.partial";
    for (const std::string& name : {dead, alive, notOurs}) std::ofstream(dir.file(name)) << "x";
    auto db = NodeDatabase::create(dir.file("next.pst"), optionsFor(Naming{"temporaryName", true}));
    db->commit();
    db->close();
    const auto names = namesIn(dir.file(""));
    EXPECT_EQ(std::count(names.begin(), names.end(), dead), 0) << "the dead process's file stayed";
    EXPECT_EQ(std::count(names.begin(), names.end(), alive), 1) << "a running process's file was removed";
    EXPECT_EQ(std::count(names.begin(), names.end(), notOurs), 1);
}

// What lies past `from` holds nothing but empty pages and map pages (AMap, PMap, FMap, FPMap):
// the file has grown by empty spans whose header has not landed yet. A block or B-tree page
// there would mean data written outside the committed file.
bool onlyEmptySpansPast(const std::string& path, uint64_t from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::array<unsigned char, pst::disk::kPageSize> page{};
    while (in.read(reinterpret_cast<char*>(page.data()), page.size())) {
        if (std::all_of(page.begin(), page.end(), [](unsigned char b) { return b == 0; })) continue;
        const unsigned char ptype = page[pst::disk::kPageDataSize], repeat = page[pst::disk::kPageDataSize + 1];
        const bool mapPage = ptype == repeat && (ptype == pst::disk::kPtypeAMap || ptype == pst::disk::kPtypePMap ||
                                                 ptype == pst::disk::kPtypeFMap || ptype == pst::disk::kPtypeFPMap);
        if (!mapPage) return false;
    }
    return in.gcount() == 0;   // the file ends on a page boundary
}

TEST(StoreNamingKills, AKillAtAnyMomentLeavesNoFileOrAStoreThatReadsBack) {
    // A child makes a store and is killed at 25 points of its first moments; under the store's
    // name there is then nothing, or a store whose last commit reads back whole, as long as its
    // header says. Growing the file and writing the header that counts the growth are two system
    // calls, so a kill between them may find the file longer by the new empty spans -- but never
    // by anything written outside the committed file.
    int withFile = 0, longer = 0;
    for (int attempt = 0; attempt < 25; ++attempt) {
        ndbtest::ScratchDir dir;
        const std::string path = dir.file("killed.pst");
        const pid_t child = fork();
        if (child == 0) {
            auto db = NodeDatabase::create(path);
            for (uint32_t i = 0; i < 400; ++i) {
                db->putNode(0x400 + i * 32, db->writeData(ndbtest::pattern(3000, i)), 0, 0);
                if (i % 50 == 49) db->commit();
            }
            db->close();
            _exit(0);
        }
        usleep(static_cast<useconds_t>(attempt * 400));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        if (!fs::exists(path)) continue;
        ++withFile;
        pst::readback::VerifyOptions options = ndbtest::leaksAllowed();
        const uint64_t eof = pst::readback::StoreReader(path).header().root.ibFileEof;
        if (eof < fs::file_size(path)) {
            ++longer;
            EXPECT_TRUE(onlyEmptySpansPast(path, eof)) << "data written past the header's end of file, " << eof;
            options.allowLongerFile = true;
        }
        EXPECT_STORE_SOUND(path, options);
    }
    std::printf("%d of 25 kills left a store, the others no file; %d caught the file growing\n", withFile, longer);
}
