// pstcheck on the Outlook-written sample stores, and the command line's output and exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "pst_patch.h"
#include "pstcheck/checker.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(ZENTRA_SHARED_DIR) / "reference" / "pst-samples";
const fs::path kTool = fs::path(ZENTRA_BINARY_DIR) / "bin" / "pstcheck";

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

ToolRun runTool(const std::string& args) {
    ToolRun r;
    FILE* p = popen((kTool.string() + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

class SampleTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleTest, OutlookWrittenStoreIsClean) {
    const fs::path file = kSamples / GetParam();
    if (!fs::exists(file)) GTEST_SKIP() << "sample missing: " << file;
    auto report = pstcheck::checkFile(file.string());
    EXPECT_TRUE(report.clean()) << report.toText();
    // Only the untidiness Outlook is known for may show up, and only as warnings.
    for (const auto& f : report.findings) {
        EXPECT_EQ(f.severity, pstcheck::Severity::Warning) << f.code << ": " << f.message;
        EXPECT_TRUE(f.code == "amap.leak" || f.code == "header.pmap_free" || f.code == "block.orphan" ||
                    f.code == "hn.client_sig" || f.code == "folder.contents_row" || f.code == "message.required" ||
                    f.code == "message.recipients")
            << "unexpected warning " << f.code << ": " << f.message;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTest,
                         ::testing::Values("Empty.pst", "dist-list.pst", "sample1.pst", "submessage.pst", "test_unicode.pst"));

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSamples / "Empty.pst")) GTEST_SKIP() << "no sample stores in " << kSamples;
        tmp = fs::temp_directory_path() / ("pstcheck_cli_" + std::to_string(::getpid()));
        fs::create_directories(tmp);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(tmp, ec);
    }
    fs::path tmp;
};

TEST_F(CommandLineTest, CleanFileExitsZeroSilently) {
    ToolRun r = runTool(quoted(kSamples / "Empty.pst"));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
}

TEST_F(CommandLineTest, DamagedFileExitsOneWithOneLinePerFinding) {
    pstpatch::PstFile pst((kSamples / "Empty.pst").string());
    pst.bytes[4] ^= 1;
    pst.bytes[0x4400 + 500] ^= 1;
    const fs::path bad = tmp / "bad.pst";
    pst.save(bad.string());

    ToolRun r = runTool(quoted(bad));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("error: header.crc_partial @0x4: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("error: page.crc @0x4400: AMap page"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;

    ToolRun j = runTool(quoted(bad) + " --json");
    EXPECT_EQ(j.exitCode, 1);
    EXPECT_EQ(j.out.rfind("{\"clean\":false,\"errors\":2,", 0), 0u) << j.out;
    EXPECT_NE(j.out.find("\"code\":\"page.crc\",\"offset\":17408"), std::string::npos) << j.out;
}

TEST_F(CommandLineTest, QuietLeavesOutWarnings) {
    const fs::path file = kSamples / "test_unicode.pst";  // carries leaked AMap space
    ToolRun loud = runTool(quoted(file));
    ToolRun quiet = runTool(quoted(file) + " --quiet");
    EXPECT_EQ(loud.exitCode, 0);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_NE(loud.out.find("warning: amap.leak"), std::string::npos) << loud.out;
    EXPECT_EQ(quiet.out, "");
}

TEST_F(CommandLineTest, UsageAndUnreadableFileExitTwo) {
    EXPECT_EQ(runTool("").exitCode, 2);
    EXPECT_EQ(runTool("--bogus " + quoted(kSamples / "Empty.pst")).exitCode, 2);
    ToolRun missing = runTool(quoted(tmp / "absent.pst"));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.out.find("cannot open"), std::string::npos) << missing.out;
    std::ofstream(tmp / "tiny.pst") << "!BDN";
    ToolRun tiny = runTool(quoted(tmp / "tiny.pst"));
    EXPECT_EQ(tiny.exitCode, 1);
    EXPECT_NE(tiny.out.find("header.size"), std::string::npos) << tiny.out;
}

}  // namespace
