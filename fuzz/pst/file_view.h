#pragma once
// The read side of the node database interface over a file read straight from disk (the node
// database's own StoreReader), so the LTP readers decode what actually reached the disk rather
// than the writer's memory. Every write operation fails.
#include "pst/ndb/node_database.h"
#include "pst/ndb/store_reader.h"
#include "zentra/error.h"

namespace pst_fuzz {

class FileView final : public pst::ndb::NodeDatabase {
public:
    explicit FileView(const std::string& path) : reader_(path), path_(path) {}
    pst::ndb::StoreReader& reader() { return reader_; }

    std::optional<pst::ndb::NodeInfo> findNode(pst::Nid nid) const override {
        auto it = reader_.nodes().find(nid);
        if (it == reader_.nodes().end()) return std::nullopt;
        return it->second;
    }
    std::vector<uint8_t> readData(pst::Bid root) override { return reader_.readData(root); }
    std::vector<std::vector<uint8_t>> readBlocks(pst::Bid root) override { return reader_.readBlocks(root); }
    std::vector<pst::ndb::SubnodeEntry> readSubnodeTree(pst::Bid root) override {
        return reader_.readSubnodeTree(root);
    }
    uint64_t fileSize() const override { return reader_.fileSize(); }
    const std::string& path() const override { return path_; }

    pst::Bid writeBlocks(const std::vector<std::vector<uint8_t>>&) override { fail(); }
    pst::Bid writeData(std::span<const uint8_t>) override { fail(); }
    pst::Bid writeSubnodeTree(std::vector<pst::ndb::SubnodeEntry>) override { fail(); }
    void addRef(pst::Bid) override { fail(); }
    void release(pst::Bid) override { fail(); }
    void putNode(pst::Nid, pst::Bid, pst::Bid, pst::Nid) override { fail(); }
    void removeNode(pst::Nid) override { fail(); }
    uint64_t treeSize(pst::Bid) override { fail(); }
    pst::Nid allocateNid(pst::NidType) override { fail(); }
    void commit() override { fail(); }
    void close() override {}

private:
    [[noreturn]] static void fail() { throw zentra::Error(zentra::kErrInvalidCall, "read-only view of a store file"); }
    pst::ndb::StoreReader reader_;
    std::string path_;
};

}  // namespace pst_fuzz
