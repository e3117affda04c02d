// The store reader is the oracle of the other node-database tests, so it must pass what
// Outlook writes and catch targeted damage (each damage keeps the other CRCs consistent so
// that one check at a time is exercised).
#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>

#include "ndb_test_support.h"
#include "pst/core/le_codec.h"
#include "pst/disk/header.h"
#include "pst/disk/page.h"

using namespace pst;
using namespace pst::ndb;
using namespace pst::readback;
namespace fs = std::filesystem;

namespace {

std::string samplePath(const char* name) { return std::string(ZENTRA_SHARED_DIR) + "/reference/pst-samples/" + name; }

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void resealPage(std::vector<uint8_t>& file, uint64_t ib) {
    disk::PageBytes page{};
    std::copy_n(file.begin() + static_cast<long>(ib), 512, page.begin());
    const disk::PAGETRAILER t = disk::pageTrailerOf(page);
    disk::sealPage(page, t.ptype, ib, t.bid);
    std::copy(page.begin(), page.end(), file.begin() + static_cast<long>(ib));
}

void resealHeader(std::vector<uint8_t>& file) { disk::sealHeader(std::span<uint8_t>(file).first(disk::kHeaderSize)); }

bool mentions(const std::vector<std::string>& problems, const std::string& text) {
    return std::any_of(problems.begin(), problems.end(), [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

// A small store: 40 nodes with data, a subnode tree, an XBLOCK.
struct Fixture {
    ndbtest::ScratchDir dir;
    std::string path = dir.file("good.pst");
    Bid someBlock = 0;
    Fixture() {
        auto db = NodeDatabase::create(path);
        for (uint32_t i = 0; i < 40; ++i)
            db->putNode(makeNid(kNidTypeNormalMessage, 0x10001 + i), db->writeData(ndbtest::pattern(200, i)), 0, 0x8022);
        someBlock = db->writeData(ndbtest::pattern(20000, 1));
        const Bid sub = db->writeSubnodeTree({{0x692, db->writeData(ndbtest::pattern(30, 2)), 0}});
        db->putNode(0x21, someBlock, sub, 0);
        db->close();
    }
    std::vector<std::string> damaged(const std::function<void(std::vector<uint8_t>&, StoreReader&)>& damage,
                                     const VerifyOptions& options = {}) {
        std::vector<uint8_t> bytes = readFile(path);
        {
            StoreReader reader(path);
            damage(bytes, reader);
        }
        const std::string copy = dir.file("damaged.pst");
        writeFile(copy, bytes);
        StoreReader reader(copy);
        return reader.verify(options);
    }
};

}  // namespace

TEST(StoreReader, OutlookWrittenSamplesPass) {
    if (!fs::exists(samplePath("Empty.pst"))) GTEST_SKIP() << "Outlook sample files are not available";
    for (const char* name : {"Empty.pst", "sample1.pst", "submessage.pst"}) {
        StoreReader reader(samplePath(name));
        const auto problems = reader.verify();
        EXPECT_TRUE(problems.empty()) << name << "\n" << ndbtest::joinProblems(problems);
    }
    StoreReader empty(samplePath("Empty.pst"));
    EXPECT_EQ(empty.nodes().size(), 47u);
    EXPECT_EQ(empty.blocks().size(), 31u);
    EXPECT_TRUE(empty.nodes().count(0x21));
    EXPECT_EQ(empty.nodes().at(0x122).parent, 0x122u);   // the root folder is its own parent
    // dist-list.pst marks a few unreferenced units as used: a leak, tolerated when asked to.
    StoreReader distList(samplePath("dist-list.pst"));
    const auto problems = distList.verify(ndbtest::leaksAllowed());
    EXPECT_TRUE(problems.empty()) << ndbtest::joinProblems(problems);
    EXPECT_TRUE(mentions(distList.verify(), "(leak)"));
}

TEST(StoreReader, OurFixtureIsSound) {
    Fixture f;
    EXPECT_STORE_SOUND(f.path);
}

TEST(StoreReader, CatchesTargetedDamage) {
    Fixture f;
    // A data byte: the block CRC.
    EXPECT_TRUE(mentions(f.damaged([&](auto& b, StoreReader& r) { b[r.blocks().begin()->second.ib + 5] ^= 1; }),
                         "fails its trailer check"));
    // A header byte inside the CRC range.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader&) { b[0x30] ^= 1; }), "header: dwCRC"));
    // An NBT page byte without resealing.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader& r) { b[r.header().root.BREFNBT.ib + 3] ^= 1; }), "trailer CRC"));
    // ibFileEof off the grid, header resealed.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader&) {
                             core::writeLe64(b, 0xB8, core::readLe64(b, 0xB8) + 512);
                             resealHeader(b);
                         }),
                         "ibFileEof"));
    // fAMapValid = 0.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader&) {
                             b[0xF8] = 0;
                             resealHeader(b);
                         }),
                         "fAMapValid"));
    // bidNextB below the BIDs in use.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader&) {
                             core::writeLe64(b, 0x204, 4);
                             resealHeader(b);
                         }),
                         "not below bidNextB"));
    // The AMap bit of a live block cleared, AMap resealed: in use but marked free.
    EXPECT_TRUE(mentions(f.damaged([&](auto& b, StoreReader& r) {
                             const uint64_t ib = r.blocks().at(f.someBlock).ib;
                             const uint64_t unit = (ib - 0x4400) / 64;
                             b[0x4400 + unit / 8] &= static_cast<uint8_t>(~(0x80 >> (unit % 8)));
                             resealPage(b, 0x4400);
                         }),
                         "in use but marked free"));
    // A cRef raised in the BBT leaf (page resealed).
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader& r) {
                             uint64_t leaf = r.header().root.BREFBBT.ib;
                             while (b[leaf + 491] > 0) leaf = core::readLe64(b, leaf + 16);   // first child
                             b[leaf + 18] += 1;                                             // cRef of entry 0
                             resealPage(b, leaf);
                         }),
                         "cRef"));
    // Two NBT leaf entries swapped (page resealed): order.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader& r) {
                             uint64_t leaf = r.header().root.BREFNBT.ib;
                             while (b[leaf + 491] > 0) leaf = core::readLe64(b, leaf + 16);
                             std::swap_ranges(b.begin() + static_cast<long>(leaf), b.begin() + static_cast<long>(leaf) + 32,
                                              b.begin() + static_cast<long>(leaf) + 32);
                             resealPage(b, leaf);
                         }),
                         "not ascending"));
    // The file truncated by one span.
    EXPECT_TRUE(mentions(f.damaged([](auto& b, StoreReader&) { b.resize(b.size() - 253952 / 2); }), "ibFileEof"));
}
