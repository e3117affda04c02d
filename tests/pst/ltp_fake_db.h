#pragma once
// An in-memory node database for the LTP tests: trees in maps, exact reference counts, and the
// payload limits the real database enforces, so a test sees every leaked or missing reference.
#include <map>
#include <stdexcept>
#include <string>

#include "pst/core/types.h"
#include "pst/ndb/node_database.h"

namespace pst::ltp::test {

class FakeNodeDatabase : public ndb::NodeDatabase {
public:
    struct Tree {
        bool subnodeTree = false;
        std::vector<std::vector<uint8_t>> blocks;      // data trees: leaf payloads
        std::vector<ndb::SubnodeEntry> entries;        // subnode trees
        int refs = 1;
    };

    Bid writeBlocks(const std::vector<std::vector<uint8_t>>& payloads) override {
        if (payloads.empty()) throw std::invalid_argument("writeBlocks without payloads");
        for (const auto& p : payloads) {
            if (p.empty() || p.size() > kMaxBlockData)
                throw std::invalid_argument("block payload of " + std::to_string(p.size()) + " bytes");
        }
        ++writeBlocksCalls;
        bytesWritten += totalSize(payloads);
        return add(Tree{false, payloads, {}, 1});
    }
    Bid writeData(std::span<const uint8_t> bytes) override {
        if (bytes.empty()) return 0;
        Tree tree;
        for (size_t off = 0; off < bytes.size(); off += kMaxBlockData) {
            size_t n = std::min<size_t>(kMaxBlockData, bytes.size() - off);
            tree.blocks.emplace_back(bytes.begin() + off, bytes.begin() + off + n);
        }
        ++writeDataCalls;
        bytesWritten += bytes.size();
        return add(std::move(tree));
    }
    Bid writeSubnodeTree(std::vector<ndb::SubnodeEntry> entries) override {
        if (entries.empty()) return 0;
        return add(Tree{true, {}, std::move(entries), 1});
    }
    void addRef(Bid root) override { tree(root).refs++; }
    void release(Bid root) override {
        Tree& t = tree(root);
        if (--t.refs == 0) {
            for (const auto& e : t.entries) {
                if (e.data) release(e.data);
                if (e.subnodes) release(e.subnodes);
            }
            trees_.erase(root);
        }
    }
    void putNode(Nid nid, Bid data, Bid subnodes, Nid parent) override {
        removeNode(nid);
        nodes_[nid] = {nid, data, subnodes, parent};
    }
    void removeNode(Nid nid) override {
        auto it = nodes_.find(nid);
        if (it == nodes_.end()) return;
        if (it->second.data) release(it->second.data);
        if (it->second.subnodes) release(it->second.subnodes);
        nodes_.erase(it);
    }
    std::optional<ndb::NodeInfo> findNode(Nid nid) const override {
        auto it = nodes_.find(nid);
        if (it == nodes_.end()) return std::nullopt;
        return it->second;
    }
    std::vector<uint8_t> readData(Bid root) override {
        std::vector<uint8_t> out;
        for (const auto& b : dataTree(root).blocks) out.insert(out.end(), b.begin(), b.end());
        return out;
    }
    std::vector<std::vector<uint8_t>> readBlocks(Bid root) override { return dataTree(root).blocks; }
    std::vector<ndb::SubnodeEntry> readSubnodeTree(Bid root) override {
        Tree& t = tree(root);
        if (!t.subnodeTree) throw std::invalid_argument("not a subnode tree");
        return t.entries;
    }
    uint64_t treeSize(Bid root) override { return root ? totalSize(tree(root).blocks) : 0; }
    Nid allocateNid(NidType type) override { return makeNid(type, ++nidCounter_); }
    void commit() override {}
    void close() override {}
    uint64_t fileSize() const override { return 0; }
    const std::string& path() const override { return path_; }

    // Test inspection.
    int refs(Bid root) const {
        auto it = trees_.find(root);
        return it == trees_.end() ? 0 : it->second.refs;
    }
    size_t liveTrees() const { return trees_.size(); }
    const Tree& treeAt(Bid root) { return tree(root); }

    int writeBlocksCalls = 0;
    int writeDataCalls = 0;
    uint64_t bytesWritten = 0;

private:
    static uint64_t totalSize(const std::vector<std::vector<uint8_t>>& blocks) {
        uint64_t n = 0;
        for (const auto& b : blocks) n += b.size();
        return n;
    }
    Bid add(Tree tree) {
        nextBid_ += 4;
        trees_.emplace(nextBid_, std::move(tree));
        return nextBid_;
    }
    Tree& tree(Bid root) {
        auto it = trees_.find(root);
        if (it == trees_.end()) throw std::invalid_argument("no tree " + std::to_string(root));
        return it->second;
    }
    Tree& dataTree(Bid root) {
        Tree& t = tree(root);
        if (t.subnodeTree) throw std::invalid_argument("not a data tree");
        return t;
    }

    std::map<Bid, Tree> trees_;
    std::map<Nid, ndb::NodeInfo> nodes_;
    Bid nextBid_ = 0;
    uint32_t nidCounter_ = 0x400;
    std::string path_ = ":memory:";
};

}  // namespace pst::ltp::test
