#pragma once
// A read-only view of a PST file at the node-database level: header, NBT, BBT, blocks, data
// and subnode trees, read straight from the file without any of the writer's state. Tests,
// benchmarks and fuzzers use it to see what actually reached the disk, and verify() checks the
// structure strictly (CRCs, signatures, alignment, B-tree order and levels, reference counts,
// overlaps, AMaps). It shares the on-disk structure definitions and tree walks of pst/disk with
// the writer; the program itself does not contain it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pst/disk/header.h"
#include "pst/ndb/node_database.h"

namespace pst::readback {

using ndb::BlockInfo;
using ndb::NodeInfo;
using ndb::SubnodeEntry;

struct VerifyOptions {
    // A store whose last commit was interrupted may carry fAMapValid = 0 and a file longer than
    // ibFileEof; both are legitimate states of the previous commit.
    bool allowInvalidAMaps = false;
    bool allowLongerFile = false;
    // Outlook's own files may mark unreferenced space as used (a leak); used space marked free
    // is always an error.
    bool allowAMapLeaks = false;
};

class StoreReader {
public:
    // Reads the header and walks both B-trees; throws zentra::Error when the file cannot be
    // opened or the header is unusable. Structural problems found on the way go to verify().
    explicit StoreReader(const std::string& path);
    ~StoreReader();
    StoreReader(const StoreReader&) = delete;
    StoreReader& operator=(const StoreReader&) = delete;

    const disk::HEADER& header() const { return header_; }
    const std::map<Nid, NodeInfo>& nodes() const { return nodes_; }
    const std::map<Bid, BlockInfo>& blocks() const { return blocks_; }
    unsigned nbtLevels() const { return nbtLevels_; }
    unsigned bbtLevels() const { return bbtLevels_; }
    uint64_t fileSize() const { return fileSize_; }

    std::vector<uint8_t> readData(Bid root);
    std::vector<std::vector<uint8_t>> readBlocks(Bid root);
    std::vector<SubnodeEntry> readSubnodeTree(Bid root);

    // Every problem found, one line each; empty for a sound file.
    std::vector<std::string> verify(const VerifyOptions& options = {});

private:
    struct Extent {
        uint64_t offset;
        uint32_t size;
        std::string what;
    };

    void readAt(uint64_t offset, std::span<uint8_t> out);
    std::vector<uint8_t> blockPayload(Bid bid);
    void walkTree(uint64_t ib, Bid bid, uint8_t ptype, int expectedLevel, uint64_t expectedFirstKey, bool isRoot,
                  unsigned& levels, int depth);
    void problem(std::string text) { problems_.push_back(std::move(text)); }

    void verifyHeader(const VerifyOptions& options);
    void verifyBlocksAndReferences();
    void verifyOverlaps();
    void verifyMaps();
    void checkFixedMapPage(uint64_t ib, uint8_t ptype, const std::string& what);

    std::string path_;
    int fd_ = -1;
    uint64_t fileSize_ = 0;
    disk::HEADER header_;
    bool headerCrcOk_ = false;
    std::map<Nid, NodeInfo> nodes_;
    std::map<Bid, BlockInfo> blocks_;
    std::vector<Extent> extents_;   // BT pages and blocks
    unsigned nbtLevels_ = 0;
    unsigned bbtLevels_ = 0;
    std::vector<std::string> problems_;
};

}  // namespace pst::readback
