#pragma once
// The node database: the lowest layer of a PST file that knows about nodes ([MS-PST] 2.2).
// It owns the file, the allocation maps, the BBT and NBT, blocks, data trees and subnode trees,
// and the commit that makes a new state of the file durable.
//
// Contract with the layers above:
//  * Data written through writeBlocks/writeData/writeSubnodeTree goes to disk at once, into
//    space no committed structure uses. The caller receives the root BID and owns ONE reference
//    to that tree; it hands the reference on to putNode (or to another subnode tree), or gives it
//    back with release().
//  * putNode inserts or replaces a top-level node. A replaced node's old data and subnode trees
//    are released; their space becomes reusable only after the next commit is on disk.
//  * commit() writes B-tree pages, maps and finally the header. After it returns, the file
//    holds a valid store with exactly the nodes put so far; until it returns, the file holds
//    the previous commit, whole. A commit syncs once, before its header: the header becomes
//    durable with the next commit's sync or with close(), so a machine that stops in between
//    comes back with the previous commit (a killed process loses nothing that commit wrote).
//    Between commits the file never grows past what the header on disk counts: writes that
//    outgrow the room a commit set aside first extend the committed state's file (one sync).
//    Space released since the previous commit still shows as used in the AMaps a commit writes
//    (the previous state used it until this header landed); a later commit clears it, and
//    close() ends with such a commit, so a closed file's AMaps are exact. Between commits they
//    may only over-state what is used, which readers accept.
//  * Every failure throws zentra::Error (kErrStoreCreate, kErrStoreWrite, kErrDiskFull, ...).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pst/core/types.h"

namespace pst::ndb {

// The seam through which every byte reaches the disk; tests inject failures here.
class FileSeam {
public:
    virtual ~FileSeam() = default;
    virtual void writeAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
    virtual void readAt(uint64_t offset, std::span<uint8_t> bytes) = 0;
    virtual void truncate(uint64_t size) = 0;   // grow or shrink
    virtual void sync() = 0;                    // make all earlier writes durable
    virtual uint64_t size() = 0;
    // A new file may be built without a name and get it only once it holds a valid store, so a
    // kill never leaves a half-made file under the store's name. publish() gives it its name,
    // never replacing a file that took the name meanwhile (kErrStoreCreate). Seams whose file
    // has its name from the start do nothing.
    virtual void publish() {}
    // The store could not be made: takes the name away again if this seam gave it (a file that
    // was there before is never touched). A seam dropped before publish() does the same.
    virtual void abandon() {}
};

// Opens a new file for writing; throws kErrStoreCreate if the path exists or cannot be created.
// Where the file system allows, the file is made in the path's folder without a name (Linux
// O_TMPFILE) and linked to its name by publish(); elsewhere it is made under a hidden temporary
// name beside it and linked or renamed (without replacing) at publish(); a temporary file left by
// a process that was killed is removed the next time a store is created in that folder.
std::unique_ptr<FileSeam> createPosixFile(const std::string& path);
// The way createPosixFile takes on file systems without unnamed files; tests use it directly.
std::unique_ptr<FileSeam> createNamedTemporaryFile(const std::string& path);

struct SubnodeEntry {   // one SLENTRY
    Nid nid = 0;
    Bid data = 0;       // root of the subnode's data tree (reference handed over)
    Bid subnodes = 0;   // root of the subnode's own subnode tree, or 0 (reference handed over)
};

// One BBT entry as the database holds it (tests and diagnostics).
struct BlockInfo {
    Bid bid = 0;
    uint64_t ib = 0;     // file offset
    uint16_t cb = 0;     // stored payload bytes
    uint16_t cRef = 0;   // 1 + references from nodes, subnode entries and data trees
};

struct NodeInfo {
    Nid nid = 0;
    Bid data = 0;
    Bid subnodes = 0;
    Nid parent = 0;
};

enum class Encoding { None, Permute };

struct Options {
    Encoding encoding = Encoding::Permute;
    // Consecutive writes are gathered up to this many bytes and reach the file in one call;
    // a sync, a read or shrinking the file writes them out first. 0 writes each block at once
    // (tests that count the file's individual writes).
    size_t writeBehindBytes = 4u << 20;
    // The file never grows past this size; a write that would need more space fails with
    // kErrStoreWrite. The default is the limit Outlook sets for Unicode stores (50 GB).
    uint64_t maxFileSize = uint64_t{50} << 30;
    // Leaf pages of each B-tree (NBT, BBT) kept in memory after a commit, the most recently used;
    // the others are read back from the file when needed. A million contacts make about 150,000.
    size_t indexLeavesInMemory = 4096;
    // Test hook: when set, used instead of createPosixFile(path); also to make files through the
    // named temporary files of file systems without unnamed ones (createNamedTemporaryFile).
    std::function<std::unique_ptr<FileSeam>(const std::string& path)> openFile;
};

class NodeDatabase {
public:
    // Creates a new, empty file (no nodes) and keeps it open. Nothing is durable before commit().
    static std::unique_ptr<NodeDatabase> create(const std::string& path, const Options& options = {});

    virtual ~NodeDatabase() = default;

    // A data tree whose leaf blocks hold exactly these payloads, in order (each 1..8176 bytes).
    // One payload gives a plain data block; more give an XBLOCK (or XXBLOCK) over them.
    // Heap-on-node data uses this, because each heap page must be its own block.
    virtual Bid writeBlocks(const std::vector<std::vector<uint8_t>>& payloads) = 0;

    // A data tree over a mix of blocks already written and new payloads, in this order. Leaves
    // with `existing` set are shared: the new tree takes one more reference to each (they must
    // be plain data blocks, e.g. leaves of a tree written earlier that is still referenced).
    // Leaves with a payload are written, and their new BIDs are stored into `existing`, so a
    // caller that grows a node can share them with the next tree it writes. A full XBLOCK's worth
    // of leaves (1,021) that an XBLOCK of such an earlier tree still holds unchanged shares that
    // XBLOCK, so a tree written again and again costs in proportion to what changed. The caller
    // owns one reference to the returned root. The default implementation copies instead of sharing.
    struct Leaf {
        Bid existing = 0;
        std::span<const uint8_t> payload;
    };
    virtual Bid writeBlocksReusing(std::vector<Leaf>& leaves);

    // A data tree holding these bytes, split into full 8176-byte blocks (the last one shorter).
    // Empty input returns 0 (no tree).
    virtual Bid writeData(std::span<const uint8_t> bytes) = 0;

    // A subnode tree (SLBLOCK, or SIBLOCK over SLBLOCKs) over these entries, in any order.
    // Empty input returns 0. The tree takes over the entries' references.
    virtual Bid writeSubnodeTree(std::vector<SubnodeEntry> entries) = 0;

    // One more reference to an existing tree, so two owners can share it (e.g. a table template).
    virtual void addRef(Bid root) = 0;
    // Gives back one reference; a tree whose last reference goes is freed at the next commit.
    virtual void release(Bid root) = 0;

    // Inserts or replaces a top-level node, taking over the references of data and subnodes.
    virtual void putNode(Nid nid, Bid data, Bid subnodes, Nid parent) = 0;
    virtual void removeNode(Nid nid) = 0;
    virtual std::optional<NodeInfo> findNode(Nid nid) const = 0;

    // Reads a whole data tree back (leaf payloads concatenated); leafBlocks gives them one by one.
    virtual std::vector<uint8_t> readData(Bid root) = 0;
    virtual std::vector<std::vector<uint8_t>> readBlocks(Bid root) = 0;
    virtual std::vector<SubnodeEntry> readSubnodeTree(Bid root) = 0;

    // Bytes a data or subnode tree occupies as stored: the sum of the cb of every block in it,
    // internal blocks included. 0 for 0. For a subnode tree this counts the SLBLOCK/SIBLOCK
    // blocks and, below them, every subnode's data tree and nested subnode tree.
    virtual uint64_t treeSize(Bid root) = 0;
    // What treeSize will give for the tree writeBlocks makes of payloads of these sizes, known
    // before anything is written (a node that records its own size is written only once).
    static uint64_t dataTreeSize(std::span<const uint32_t> payloadSizes);
    // The bytes of the SLBLOCK / SIBLOCK blocks writeSubnodeTree makes for this many entries
    // (the entries' own trees not included).
    static uint64_t subnodeBlocksSize(size_t entryCount);

    // The nidIndex counters of the header (rgnid): the next free index for a NID type, raised.
    // rgnid holds the last index handed out (Outlook's blank file: 0x400 for folders, so the
    // first folder NID is 0x8022). putNode also raises the counter of a NID's type to its
    // index, so fixed NIDs and NIDs derived from another type's index are never handed out.
    virtual Nid allocateNid(NidType type) = 0;

    // Writes a new state holding everything put so far, header last (durable at the next
    // commit's sync or at close). Safe to call any number of times. The first commit also
    // gives a new file its name (FileSeam::publish); a database dropped before any commit
    // takes its file with it (FileSeam::abandon).
    virtual void commit() = 0;
    // commit(), sync, and close the file: everything put is durable. The object is unusable
    // afterwards.
    virtual void close() = 0;


    virtual uint64_t fileSize() const = 0;
    virtual const std::string& path() const = 0;

    // Diagnostics over the current (pending) state, for tests and tools.
    virtual std::optional<BlockInfo> findBlock(Bid) const { return std::nullopt; }
    virtual size_t nodeCount() const { return 0; }
    virtual size_t blockCount() const { return 0; }
};

}  // namespace pst::ndb
