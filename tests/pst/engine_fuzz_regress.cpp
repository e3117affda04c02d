// Every input the PST engine fuzzer ever failed on (data/fuzz_regress) and its initial corpus
// must now run clean: the store written passes pstcheck and the verifier and reads back as
// written. Also checks that the driver itself notices a damaged store, so a clean replay means
// something.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine_driver.h"
#include "pst/messaging/property_tags.h"
#include "pst/messaging/store.h"
#include "store_model.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> inputsIn(const fs::path& dir) {
    std::vector<fs::path> out;
    if (!fs::is_directory(dir)) return out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() != ".md") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

fs::path scratch(const std::string& name) {
    fs::path dir = fs::path(ZENTRA_BINARY_DIR) / "test-scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void replayAll(const fs::path& dir, const std::string& scratchName) {
    fs::path work = scratch(scratchName);
    for (const fs::path& input : inputsIn(dir)) {
        std::vector<uint8_t> bytes = readAll(input);
        pst_fuzz::DriverResult r = pst_fuzz::runEngineInput(bytes, work.string());
        EXPECT_EQ(r.problem, "") << input.filename() << " (store kept at " << r.path << ")";
    }
}

TEST(EngineFuzzRegress, KeptCrashInputsRunClean) {
    replayAll(ENGINE_FUZZ_REGRESS_DIR, "engine_fuzz_regress");
    // ENGINE_FUZZ_REPLAY_DIR replays a whole fuzzing corpus as well (e.g. for a coverage build).
    if (const char* extra = std::getenv("ENGINE_FUZZ_REPLAY_DIR")) replayAll(extra, "engine_fuzz_replay");
}

TEST(EngineFuzzRegress, InitialCorpusRunsCleanAndWritesSomething) {
    std::vector<fs::path> corpus = inputsIn(ENGINE_FUZZ_CORPUS_DIR);
    ASSERT_GE(corpus.size(), 3u) << "the initial corpus is missing";
    fs::path work = scratch("engine_fuzz_corpus");
    size_t folders = 0, messages = 0, commits = 0;
    for (const fs::path& input : corpus) {
        pst_fuzz::DriverResult r = pst_fuzz::runEngineInput(readAll(input), work.string());
        EXPECT_EQ(r.problem, "") << input.filename() << " (store kept at " << r.path << ")";
        folders += r.folders;
        messages += r.messages;
        commits += r.commits;
    }
    std::printf("initial corpus: %zu inputs, %zu folders, %zu messages, %zu commits\n", corpus.size(), folders,
                messages, commits);
    // The corpus is meant to reach folders, messages and commits; a decoder change that made
    // it do nothing would turn this replay into a no-op.
    EXPECT_GT(folders, 0u);
    EXPECT_GT(messages, 0u);
    EXPECT_GT(commits, 0u);
}

TEST(EngineFuzzRegress, TheChecksNoticeADamagedStore) {
    // A store the driver accepted, with a byte flipped every 4 KB after the header: some
    // block's or page's check must fail, so the clean replays above are not vacuous.
    std::vector<fs::path> corpus = inputsIn(ENGINE_FUZZ_CORPUS_DIR);
    ASSERT_FALSE(corpus.empty());
    fs::path work = scratch("engine_fuzz_damage");
    pst_fuzz::DriverResult r = pst_fuzz::runEngineInput(readAll(corpus.back()), work.string(), true);
    ASSERT_EQ(r.problem, "");
    ASSERT_EQ(pst_fuzz::checkStructure(r.path), "");
    {
        std::fstream f(r.path, std::ios::in | std::ios::out | std::ios::binary);
        const auto size = static_cast<std::streamoff>(fs::file_size(r.path));
        for (std::streamoff at = 0x4400 + 100; at < size; at += 4096) {
            char b = 0;
            f.seekg(at);
            f.read(&b, 1);
            b = static_cast<char>(b ^ 0x5A);
            f.seekp(at);
            f.write(&b, 1);
        }
    }
    EXPECT_NE(pst_fuzz::checkStructure(r.path), "");
}

TEST(EngineFuzzRegress, TheReadBackNoticesEveryKindOfWrongValue) {
    // A store written by hand with its model: the comparison passes, and fails as soon as the
    // model differs in one value's bytes, one value's type, a folder name or a message count.
    fs::path work = scratch("engine_fuzz_oracle");
    const std::string path = (work / "oracle.pst").string();
    pst_fuzz::ExpectedStore model;
    {
        auto store = pst::messaging::Store::create(path, "Oracle");
        pst::Nid ipm = store->ipmSubtree(), deleted = store->deletedItems();
        pst::Nid folder = store->createFolder(ipm, "Σίσυφος", "IPF.Contact");
        pst::ltp::PropertyMap props;
        props[mapi::PidTagMessageClass.id] = pst::ltp::stringValue("IPM.Contact");
        props[0x3A06] = pst::ltp::stringValue("Ann");
        props[0x3A4E] = pst::ltp::binaryValue(std::vector<uint8_t>(20000, 7));
        pst::Nid message = store->addMessage(folder, props);
        store->close();
        model.folders[ipm] = {ipm, store->rootFolder(), "Top of Personal Folders", "", {deleted, folder}, {}, 0};
        model.folders[deleted] = {deleted, ipm, "Deleted Items", "", {}, {}, 0};
        model.folders[folder] = {folder, ipm, "Σίσυφος", "IPF.Contact", {}, {{message, props, {}, 0x01}}, 0};
        model.createdFolders = 1;
        model.messageCount = 1;
    }
    ASSERT_EQ(pst_fuzz::checkStructure(path), "");
    ASSERT_EQ(pst_fuzz::checkStoreAgainstModel(path, model), "");

    pst::Nid folder = std::prev(model.folders.end())->first;
    auto altered = [&](auto change) {
        pst_fuzz::ExpectedStore m = model;
        change(m.folders.at(folder));
        return pst_fuzz::checkStoreAgainstModel(path, m);
    };
    EXPECT_NE(altered([](auto& f) { f.messages[0].properties[0x3A4E].bytes[19999] = 8; }), "");
    EXPECT_NE(altered([](auto& f) { f.messages[0].properties[0x3A06].type = pst::ltp::kPtypBinary; }), "");
    EXPECT_NE(altered([](auto& f) { f.messages[0].properties[0x3A07] = pst::ltp::int32Value(1); }), "");
    EXPECT_NE(altered([](auto& f) { f.name = "σίσυφος"; }), "");
    EXPECT_NE(altered([](auto& f) { f.unread = 1; }), "");
    EXPECT_NE(altered([](auto& f) { f.messages.clear(); }), "");
}

}  // namespace
