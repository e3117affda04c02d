#pragma once
// The node database behind the NodeDatabase interface. Its parts live in separate files:
// node_database.cpp (life cycle, nodes, NIDs), data_trees.cpp (blocks, data and subnode
// trees, readers), references.cpp (reference counts), file_growth.cpp (allocation and the
// file's size) and commit.cpp (B-tree pages, maps, header).
#include <unordered_map>

#include "btree.h"
#include "index_entries.h"
#include "pst/disk/header.h"
#include "pst/ndb/node_database.h"
#include "space_map.h"
#include "write_behind_file.h"
#include "zentra/error.h"

namespace pst::ndb {

class NodeDatabaseImpl final : public NodeDatabase {
public:
    NodeDatabaseImpl(std::string path, Options options, std::unique_ptr<FileSeam> file);
    ~NodeDatabaseImpl() override;

    Bid writeBlocks(const std::vector<std::vector<uint8_t>>& payloads) override;
    Bid writeBlocksReusing(std::vector<Leaf>& leaves) override;
    Bid writeData(std::span<const uint8_t> bytes) override;
    Bid writeSubnodeTree(std::vector<SubnodeEntry> entries) override;
    void addRef(Bid root) override;
    void release(Bid root) override;
    void putNode(Nid nid, Bid data, Bid subnodes, Nid parent) override;
    void removeNode(Nid nid) override;
    std::optional<NodeInfo> findNode(Nid nid) const override;
    std::vector<uint8_t> readData(Bid root) override;
    std::vector<std::vector<uint8_t>> readBlocks(Bid root) override;
    std::vector<SubnodeEntry> readSubnodeTree(Bid root) override;
    uint64_t treeSize(Bid root) override;
    Nid allocateNid(NidType type) override;
    void commit() override;
    // commit() without setting room aside for a next interval (the last commit of close()).
    void commitFinal();
    // The sync a commit leaves to the next one, for the last commit of close(): its header is
    // durable, and the space it released may be reused.
    void syncFinal();
    void close() override;
    uint64_t fileSize() const override;
    const std::string& path() const override { return path_; }

    std::optional<BlockInfo> findBlock(Bid bid) const override;
    size_t nodeCount() const override { return nbt_.size(); }
    size_t blockCount() const override { return bbt_.size(); }

private:
    // Runs `work` on a usable database; a failure leaves it unusable, because the in-memory
    // state may no longer match anything on disk.
    template <class F>
    auto guarded(const char* what, F&& work) -> decltype(work()) {
        checkUsable();
        try {
            return work();
        } catch (const zentra::Error& e) {
            // Argument errors are detected before anything changes; anything else may have
            // left the in-memory index ahead of the file.
            if (e.number() != zentra::kErrInvalidArgument) broken_ = true;
            throw e.withContext(std::string(what) + " " + path_);
        }
    }
    void checkUsable() const;
    // Gathered writes reach the file before anything reads it back; a failure there is a
    // write failure of the database, reported and remembered as such.
    void writeOutPending();

    // A full XBLOCK of a tree written through writeBlocksReusing, kept so that the next tree
    // over the same leaves shares it whole instead of taking a reference to each leaf.
    struct FullXBlock {
        Bid bid = 0;
        uint32_t lcbTotal = 0;
        std::vector<Bid> leaves;
    };

    Bid writeBlock(std::span<const uint8_t> payload, bool internal);
    // A data tree over these leaves: the leaf itself when there is one, else XBLOCKs of up to
    // 1,021 leaves and an XXBLOCK above more than one. shared[g], when given and set, is an
    // XBLOCK that holds group g already (the caller took its reference); with `remember`, every
    // full XBLOCK written is kept for sharing.
    Bid writeDataTree(const std::vector<Bid>& leaves, const std::vector<uint32_t>& sizes,
                      const std::vector<const FullXBlock*>& shared = {}, bool remember = false);
    // The XBLOCK kept for the full group of leaves starting at `first`, if all of them are
    // existing blocks and an XBLOCK over exactly those is alive.
    const FullXBlock* sharedXBlockFor(const std::vector<Leaf>& leaves, size_t first) const;
    uint64_t allocate(uint32_t bytes, uint32_t align);
    BbtRecord requireBlock(Bid bid, const char* role) const;
    // The block's cRef with the changes not yet applied to the BBT.
    uint32_t refCount(const BbtRecord& r) const;
    // One more reference; kErrInvalidArgument (nothing changed) past cRef's range.
    void takeRef(const BbtRecord& r);
    void requireRoomForRef(const BbtRecord& r) const;
    void applyRefChanges();
    std::vector<uint8_t> readBlockPayload(const BbtRecord& r);
    void freeTree(Bid root);
    void releaseRef(Bid bid);
    uint64_t treeBytes(Bid bid, int depth);

    // A committed index page, for a B-tree leaf that left memory.
    disk::PageBytes readIndexPage(const disk::BREF& page);
    // The maps of the changed and added spans, the file grown from eofOnDisk (its size so far)
    // to cover the added ones, then the header again for the committed B-trees with the maps'
    // figures.
    void writeMapsUnderCommittedHeader(uint64_t eofOnDisk);
    void writeMaps(std::span<const size_t> spans);
    void writeFullMapPage(uint64_t ib, uint8_t ptype);   // a PMap or FPMap: every bit set
    void writeHeader(const disk::BREF& nbt, const disk::BREF& bbt);

    std::string path_;
    Options options_;
    std::vector<uint8_t> blockImage_;   // scratch buffer of writeBlock, kMaxBlockSize bytes once used
    std::unique_ptr<FileSeam> file_;
    WriteBehindFile* writeBehind_ = nullptr;   // file_ itself when writes are gathered
    disk::HEADER header_;           // live counters and the last committed ROOT
    bool dlistOnDisk_ = false;
    bool broken_ = false;
    bool closed_ = false;
    bool committedOnce_ = false;     // a header has been written: the file holds a valid store
    size_t usedSpansAtCommit_ = 1;   // spans holding data at the last commit
    void commitImpl(bool keepRoom);
    // How the file grows (file_growth.cpp).
    size_t roomWanted() const;   // empty spans for an interval like the one since the commit
    void setRoomAside();
    void extendCommittedFile();
    SpaceMap space_;   // after options_, which sizes it
    // Reference-count changes since the last commit, written into the BBT by the next commit.
    // A tree written again over blocks of the one it replaces (a table that grows) takes a
    // reference to each shared block and gives one back when the old tree goes; the two cancel
    // out, so those blocks' BBT pages are not rewritten.
    std::unordered_map<Bid, int32_t> refChanges_;
    std::unordered_map<Bid, FullXBlock> fullXBlocks_;   // by the BID of their first leaf
    // mutable: reading a leaf back into memory changes nothing a caller can see.
    mutable BTree<NbtTraits> nbt_;
    mutable BTree<BbtTraits> bbt_;
};

}  // namespace pst::ndb
