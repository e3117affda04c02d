#pragma once
// The read side of the node database interface over a file read straight from disk (a
// StoreReader), so the LTP readers decode what actually reached the disk rather than the
// writer's memory: a store of ours after it was closed, or an Outlook-written sample. Every
// write operation fails.
#include <optional>
#include <string>
#include <vector>

#include "pst/ndb/node_database.h"
#include "store_reader.h"
#include "zentra/error.h"

namespace pst::readback {

class FileView : public ndb::NodeDatabase {
public:
    explicit FileView(const std::string& path) : reader_(path), path_(path) {}
    StoreReader& reader() { return reader_; }
    const StoreReader& reader() const { return reader_; }

    std::optional<NodeInfo> findNode(Nid nid) const override {
        auto it = reader_.nodes().find(nid);
        if (it == reader_.nodes().end()) return std::nullopt;
        return it->second;
    }
    std::vector<uint8_t> readData(Bid root) override { return reader_.readData(root); }
    std::vector<std::vector<uint8_t>> readBlocks(Bid root) override { return reader_.readBlocks(root); }
    std::vector<SubnodeEntry> readSubnodeTree(Bid root) override { return reader_.readSubnodeTree(root); }
    uint64_t fileSize() const override { return reader_.fileSize(); }
    const std::string& path() const override { return path_; }
    void close() override {}

    Bid writeBlocks(const std::vector<std::vector<uint8_t>>&) override { fail(); }
    Bid writeData(std::span<const uint8_t>) override { fail(); }
    Bid writeSubnodeTree(std::vector<SubnodeEntry>) override { fail(); }
    void addRef(Bid) override { fail(); }
    void release(Bid) override { fail(); }
    void putNode(Nid, Bid, Bid, Nid) override { fail(); }
    void removeNode(Nid) override { fail(); }
    uint64_t treeSize(Bid) override { fail(); }
    Nid allocateNid(NidType) override { fail(); }
    void commit() override { fail(); }

private:
    [[noreturn]] static void fail() { throw zentra::Error(zentra::kErrInvalidCall, "read-only view of a store file"); }
    StoreReader reader_;
    std::string path_;
};

}  // namespace pst::readback
