// Times writing a contents table of 100,000 contact rows (the columns of the contents table
// template, 0x60E), as a folder's table is rewritten at each periodic commit:
//  * the LTP work alone, into a database that only counts bytes;
//  * through a real store file, with a commit after each write;
//  * an unchanged rewrite, which shares the previous trees.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "pst/ltp/ltp.h"

using namespace pst;
using namespace pst::ltp;
using Clock = std::chrono::steady_clock;

namespace {

class CountingDatabase : public ndb::NodeDatabase {
public:
    uint64_t bytes = 0;
    Bid next = 0;
    Bid writeBlocks(const std::vector<std::vector<uint8_t>>& payloads) override {
        for (const auto& p : payloads) bytes += p.size();
        return next += 4;
    }
    Bid writeData(std::span<const uint8_t> data) override {
        bytes += data.size();
        return next += 4;
    }
    Bid writeSubnodeTree(std::vector<ndb::SubnodeEntry>) override { return next += 4; }
    void addRef(Bid) override {}
    void release(Bid) override {}
    void putNode(Nid, Bid, Bid, Nid) override {}
    void removeNode(Nid) override {}
    std::optional<ndb::NodeInfo> findNode(Nid) const override { return std::nullopt; }
    std::vector<uint8_t> readData(Bid) override { return {}; }
    std::vector<std::vector<uint8_t>> readBlocks(Bid) override { return {}; }
    std::vector<ndb::SubnodeEntry> readSubnodeTree(Bid) override { return {}; }
    uint64_t treeSize(Bid) override { return 0; }
    Nid allocateNid(NidType type) override { return makeNid(type, 1); }
    void commit() override {}
    void close() override {}
    uint64_t fileSize() const override { return 0; }
    const std::string& path() const override { return path_; }
    std::string path_;
};

const uint32_t kContentsColumns[] = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B, 0x0058000B,
    0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003,
    0x0E300014, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3C0102, 0x0E3D0102, 0x10970003, 0x30080040,
    0x65C60003, 0x67F20003, 0x67F30003,
};

std::map<uint32_t, Value> contactRow(uint32_t i) {
    std::string name = "Contact number " + std::to_string(i);
    return {
        {0x00170003, int32Value(1)},
        {0x001A001F, stringValue("IPM.Contact")},
        {0x00360003, int32Value(0)},
        {0x0037001F, stringValue(name)},
        {0x0070001F, stringValue(name)},
        {0x0E060040, timeValue(mapi::FileTime{0x01DB000000000000ull + i})},
        {0x0E070003, int32Value(1)},
        {0x0E080003, int32Value(2048 + static_cast<int32_t>(i % 500))},
        {0x0E170003, int32Value(0)},
        {0x30080040, timeValue(mapi::FileTime{0x01DB000000000000ull + i})},
        {0x0057000B, boolValue(false)},
        {0x0058000B, boolValue(false)},
    };
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 100000;
    std::vector<Column> columns;
    for (uint32_t tag : kContentsColumns) columns.push_back({tag});
    Table table(columns);

    auto start = Clock::now();
    for (uint32_t i = 0; i < rows; ++i) table.setRow(makeNid(kNidTypeNormalMessage, 0x400 + i), contactRow(i));
    std::printf("setRow x %u: %.1f ms\n", rows, msSince(start));

    CountingDatabase counting;
    for (int round = 0; round < 3; ++round) {
        table.setRow(makeNid(kNidTypeNormalMessage, 0x400 + round), contactRow(round + 7));   // one change
        SubnodeNids nids;
        start = Clock::now();
        BuiltNode built = table.write(counting, nids);
        std::printf("write %u rows, LTP only (round %d): %.1f ms, %.1f MB handed to the database\n", rows, round,
                    msSince(start), counting.bytes / 1e6);
        counting.bytes = 0;
    }

    namespace fs = std::filesystem;
    fs::path path = fs::temp_directory_path() / ("zentra_ltp_bench_" + std::to_string(::getpid()) + ".pst");
    fs::remove(path);
    {
        auto db = ndb::NodeDatabase::create(path.string());
        const Nid nid = makeNid(kNidTypeContentsTable, 0x401);
        for (int round = 0; round < 3; ++round) {
            table.setRow(makeNid(kNidTypeNormalMessage, 0x400 + round), contactRow(round + 11));
            SubnodeNids nids;
            start = Clock::now();
            BuiltNode built = table.write(*db, nids);
            double writeMs = msSince(start);
            Bid subnodes = db->writeSubnodeTree(built.subnodes);
            db->putNode(nid, built.data, subnodes, 0);
            db->commit();
            std::printf("write %u rows to a file (round %d): %.1f ms, with put and commit %.1f ms, file %.1f MB\n",
                        rows, round, writeMs, msSince(start), db->fileSize() / 1e6);
        }
        SubnodeNids nids;
        start = Clock::now();
        BuiltNode built = table.write(*db, nids);   // unchanged since the last write: shared trees
        double writeMs = msSince(start);
        db->putNode(nid, built.data, db->writeSubnodeTree(built.subnodes), 0);
        db->commit();
        std::printf("unchanged rewrite: %.2f ms, with put and commit %.1f ms\n", writeMs, msSince(start));
        db->close();
    }
    fs::remove(path);
    return 0;
}
