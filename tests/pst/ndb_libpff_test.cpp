// An independent reader of the allocation maps: libpff's `pffinfo -a` checks the header and
// AMap CRCs and lists the unallocated ranges. Those ranges must add up to cbAMapFree and
// never touch a live block or page. (Folder-level reading needs the messaging layer's store
// objects and is tested there.)
#include <cstdio>
#include <regex>
#include <sstream>

#include "ndb_test_support.h"
#include "pst/disk/layout.h"

using namespace pst;
using namespace pst::ndb;
using namespace pst::readback;

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    ::pclose(pipe);
    return out;
}

bool pffinfoAvailable() { return run("command -v pffinfo").find("pffinfo") != std::string::npos; }

}  // namespace

TEST(Libpff, AllocationMapsReadByPffinfoMatchOurIndex) {
    if (!pffinfoAvailable()) GTEST_SKIP() << "pffinfo (Debian pff-tools) is not installed";
    ndbtest::ScratchDir dir;
    const std::string path = dir.file("amaps.pst");
    {
        auto db = NodeDatabase::create(path);
        for (uint32_t i = 0; i < 3000; ++i)
            db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + i), db->writeData(ndbtest::pattern(300 + i % 5000, i)), 0, 0x8022);
        db->commit();
        for (uint32_t i = 0; i < 3000; i += 2) db->removeNode(makeNid(kNidTypeNormalMessage, 0x10001 + i));
        db->close();
    }
    const std::string out = run("pffinfo -a '" + path + "' 2>&1");
    ASSERT_NE(out.find("Unallocated data blocks"), std::string::npos) << out.substr(0, 2000);
    EXPECT_EQ(out.find("mismatch"), std::string::npos) << out.substr(0, 2000);
    EXPECT_EQ(out.find("Unable"), std::string::npos) << out.substr(0, 2000);

    StoreReader reader(path);
    std::vector<std::pair<uint64_t, uint64_t>> used;   // [start, end) of blocks and BT pages
    for (const auto& [bid, b] : reader.blocks()) used.emplace_back(b.ib, b.ib + disk::blockSizeOnDisk(b.cb));
    std::sort(used.begin(), used.end());

    const std::string dataSection = out.substr(out.find("Unallocated data blocks"));
    const std::regex range(R"((\d+) \(0x[0-9a-f]+\) - (\d+) \(0x[0-9a-f]+\) size: (\d+))");
    uint64_t freeBytes = 0;
    size_t ranges = 0;
    for (auto it = std::sregex_iterator(dataSection.begin(), dataSection.end(), range); it != std::sregex_iterator(); ++it) {
        const uint64_t start = std::stoull((*it)[1]);
        const uint64_t end = std::stoull((*it)[2]);
        freeBytes += std::stoull((*it)[3]);
        ++ranges;
        auto after = std::lower_bound(used.begin(), used.end(), std::make_pair(end, uint64_t{0}));
        if (after != used.begin()) {
            EXPECT_LE(std::prev(after)->second, start) << "free range at " << start << " overlaps a block";
        }
    }
    EXPECT_GT(ranges, 100u);   // the removed nodes' blocks show up as holes
    EXPECT_EQ(freeBytes, reader.header().root.cbAMapFree);
}
