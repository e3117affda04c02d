#pragma once
// Exposes a StoreReader (a PST file read straight from disk) through the read side of the node
// database interface, so the LTP readers can decode nodes of any file: ours after a commit, or
// an Outlook-written sample. Every write operation fails.
#include <stdexcept>

#include "pst/ndb/node_database.h"
#include "pst/ndb/store_reader.h"

namespace pst::ltp::test {

class FileReaderDatabase : public ndb::NodeDatabase {
public:
    explicit FileReaderDatabase(const std::string& path) : reader_(path), path_(path) {}
    ndb::StoreReader& reader() { return reader_; }

    std::vector<uint8_t> readData(Bid root) override { return reader_.readData(root); }
    std::vector<std::vector<uint8_t>> readBlocks(Bid root) override { return reader_.readBlocks(root); }
    std::vector<ndb::SubnodeEntry> readSubnodeTree(Bid root) override {
        auto entries = reader_.readSubnodeTree(root);
        for (auto& e : entries) e.nid &= 0xFFFFFFFFu;   // Outlook leaves junk in the upper half
        return entries;
    }
    std::optional<ndb::NodeInfo> findNode(Nid nid) const override {
        auto it = reader_.nodes().find(nid);
        if (it == reader_.nodes().end()) return std::nullopt;
        return it->second;
    }

    Bid writeBlocks(const std::vector<std::vector<uint8_t>>&) override { fail(); }
    Bid writeData(std::span<const uint8_t>) override { fail(); }
    Bid writeSubnodeTree(std::vector<ndb::SubnodeEntry>) override { fail(); }
    void addRef(Bid) override { fail(); }
    void release(Bid) override { fail(); }
    void putNode(Nid, Bid, Bid, Nid) override { fail(); }
    void removeNode(Nid) override { fail(); }
    uint64_t treeSize(Bid) override { fail(); }
    Nid allocateNid(NidType) override { fail(); }
    void commit() override { fail(); }
    void close() override {}
    uint64_t fileSize() const override { return reader_.fileSize(); }
    const std::string& path() const override { return path_; }

private:
    [[noreturn]] static void fail() { throw std::logic_error("read-only database"); }
    ndb::StoreReader reader_;
    std::string path_;
};

}  // namespace pst::ltp::test
