#pragma once
// The in-memory image of one of the two B-trees (NBT or BBT), page for page as it is on disk.
//
// Every node knows where its committed copy lives. A change marks the node dirty; commit()
// writes dirty nodes bottom-up to NEW pages (copy-on-write), so only the changed paths are
// rewritten, and hands the pages they replace to retirePage, which must keep them out of
// reuse until the new header is durable. Leaves all sit at the same depth: the tree only
// grows at the root. Splits that follow an append at the right edge keep the left page
// full, so ascending keys (BIDs, new NIDs) pack pages densely.
//
// The nodes of a store of a million contacts hold millions of entries. Leaves beyond a budget
// leave memory after each commit, least recently used first: they are clean then, so their
// committed page holds exactly their entries, and a leaf needed again is read back from it.
// Intermediate nodes stay. Nodes come from a pool of their own, each at its full size once:
// allocated from the general heap between the import's short-lived objects, they left it so
// fragmented that every other allocation got slower as the store grew.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <memory_resource>
#include <string>
#include <vector>

#include "pst/disk/page.h"
#include "zentra/error.h"

namespace pst::ndb {

struct PageSink {
    std::function<uint64_t()> allocatePage;                      // 512-aligned free offset
    std::function<Bid()> nextPageBid;
    std::function<void(uint64_t ib, const disk::PageBytes&)> writePage;
    std::function<void(uint64_t ib)> retirePage;
};

template <class Traits>
class BTree {
public:
    using Entry = typename Traits::Entry;

    BTree() : root_(newNode(0)) {}
    BTree(const BTree&) = delete;
    BTree& operator=(const BTree&) = delete;

    // Leaves dropped from memory are read back through `readPage` (the bytes of a committed
    // page). Without a reader every leaf stays in memory.
    using PageReader = std::function<disk::PageBytes(const disk::BREF&)>;
    void keepLeavesInMemory(size_t count, PageReader readPage) {
        leafBudget_ = std::max<size_t>(count, 1);
        readPage_ = std::move(readPage);
    }

    // The entry, valid until the tree next changes or drops leaves (at commit).
    const Entry* find(uint64_t key) {
        Node* n = root_.get();
        while (n->level > 0) {
            const size_t i = childIndex(*n, key);
            if (i == npos) return nullptr;
            n = n->children()[i].get();
        }
        use(*n);
        auto it = lowerBound(n->entries(), key);
        return (it != n->entries().end() && Traits::key(*it) == key) ? &*it : nullptr;
    }

    // Replaces the entry in place (the key must exist); marks the path dirty.
    bool update(const Entry& e) {
        Node* n = root_.get();
        std::vector<Node*> path;
        while (true) {
            path.push_back(n);
            if (n->level == 0) break;
            const size_t i = childIndex(*n, Traits::key(e));
            if (i == npos) return false;
            n = n->children()[i].get();
        }
        use(*n);
        auto it = lowerBound(n->entries(), Traits::key(e));
        if (it == n->entries().end() || Traits::key(*it) != Traits::key(e)) return false;
        *it = e;
        for (Node* p : path) p->dirty = true;
        return true;
    }

    // Inserts or replaces.
    void insert(const Entry& e) {
        auto split = insertInto(*root_, e);
        if (split) {
            auto newRoot = newNode(static_cast<uint8_t>(root_->level + 1));
            newRoot->keys() = {firstKey(*root_), firstKey(*split)};
            newRoot->children().push_back(std::move(root_));
            newRoot->children().push_back(std::move(split));
            root_ = std::move(newRoot);
        }
        ++count_;   // corrected by insertInto on replacement
    }

    bool erase(uint64_t key) {
        if (!eraseFrom(*root_, key)) return false;
        --count_;
        while (root_->level > 0 && root_->children().size() <= 1) {
            if (root_->children().empty()) {
                retire(*root_);
                root_ = newNode(0);
                break;
            }
            NodePtr child = std::move(root_->children()[0]);
            retire(*root_);
            root_ = std::move(child);
        }
        return true;
    }

    size_t size() const { return count_; }
    unsigned levels() const { return root_->level + 1u; }

    // Writes every dirty page to a new place; returns the root's BREF.
    disk::BREF commit(const PageSink& sink) {
        for (uint64_t ib : retired_) sink.retirePage(ib);
        retired_.clear();
        writeNode(*root_, sink);
        dropLeavesOverBudget();
        return root_->onDisk;
    }

private:
    static constexpr size_t npos = static_cast<size_t>(-1);

    struct Node;
    struct Body;
    struct NodeDeleter {
        std::pmr::memory_resource* pool = nullptr;
        void operator()(Node* n) const {
            std::pmr::polymorphic_allocator<Node> alloc(pool);
            if (n->body) alloc.delete_object(n->body);
            alloc.delete_object(n);
        }
    };
    using NodePtr = std::unique_ptr<Node, NodeDeleter>;

    // What a node holds: entries in a leaf, keys and children in an intermediate node. Kept
    // apart from the node so that a leaf out of memory is only its small node (48 bytes): a
    // store of a million contacts has some 200,000 such leaves.
    struct Body {
        explicit Body(std::pmr::memory_resource* pool) : entries(pool), keys(pool), children(pool) {}
        std::pmr::vector<Entry> entries;             // leaves
        std::pmr::vector<uint64_t> keys;             // intermediate: first key of each child
        std::pmr::vector<NodePtr> children;
    };

    struct Node {
        Body* body = nullptr;                        // null: a leaf whose entries are on disk only
        disk::BREF onDisk{};                         // bid 0: never written
        Node* newer = nullptr;                       // leaves in memory, by last use
        Node* older = nullptr;
        uint8_t level = 0;
        bool dirty = true;
        std::pmr::vector<Entry>& entries() { return body->entries; }
        const std::pmr::vector<Entry>& entries() const { return body->entries; }
        std::pmr::vector<uint64_t>& keys() { return body->keys; }
        const std::pmr::vector<uint64_t>& keys() const { return body->keys; }
        std::pmr::vector<NodePtr>& children() { return body->children; }
        const std::pmr::vector<NodePtr>& children() const { return body->children; }
    };

    static auto lowerBound(std::pmr::vector<Entry>& v, uint64_t key) {
        return std::lower_bound(v.begin(), v.end(), key,
                                [](const Entry& a, uint64_t k) { return Traits::key(a) < k; });
    }
    static auto lowerBound(const std::pmr::vector<Entry>& v, uint64_t key) {
        return std::lower_bound(v.begin(), v.end(), key,
                                [](const Entry& a, uint64_t k) { return Traits::key(a) < k; });
    }

    // The last child whose first key is <= key, or npos if key precedes them all.
    static size_t childIndex(const Node& n, uint64_t key) {
        auto it = std::upper_bound(n.keys().begin(), n.keys().end(), key);
        if (it == n.keys().begin()) return npos;
        return static_cast<size_t>(it - n.keys().begin()) - 1;
    }

    // A node holds as many entries as its page plus the one that makes it split, so it is
    // allocated once at full size and never grows.
    NodePtr newNode(uint8_t level) {
        NodePtr n(std::pmr::polymorphic_allocator<Node>(&pool_).template new_object<Node>(), NodeDeleter{&pool_});
        n->level = level;
        n->body = newBody();
        if (level == 0) {
            n->entries().reserve(Traits::kLeafMax + 1u);
            ++leavesInMemory_;
            makeNewest(*n);
        } else {
            n->keys().reserve(disk::BTPAGE::kIntermediateMax + 1u);
            n->children().reserve(disk::BTPAGE::kIntermediateMax + 1u);
        }
        return n;
    }

    Body* newBody() { return std::pmr::polymorphic_allocator<Body>(&pool_).template new_object<Body>(&pool_); }

    // A leaf about to be read or changed: its entries in memory, and it the most recently used.
    void use(Node& leaf) {
        if (!leaf.body) {
            load(leaf);
        } else {
            unlink(leaf);
        }
        makeNewest(leaf);
    }

    void load(Node& leaf) {
        const disk::PageBytes bytes = readPage_(leaf.onDisk);
        const disk::PAGETRAILER trailer = disk::pageTrailerOf(bytes);
        const disk::BTPAGE page = disk::BTPAGE::parse(bytes);
        if (!disk::pageTrailerValid(bytes, leaf.onDisk.ib) || trailer.ptype != Traits::kPtype ||
            trailer.bid != leaf.onDisk.bid || page.cLevel != 0 || page.cbEnt != Traits::kLeafCbEnt ||
            page.cEnt == 0 || page.cEnt > Traits::kLeafMax)
            throw zentra::Error(zentra::kErrStoreCorrupt, "the index page at offset " + std::to_string(leaf.onDisk.ib) +
                                                              " does not read back as it was written");
        leaf.body = newBody();
        leaf.entries().reserve(Traits::kLeafMax + 1u);
        for (size_t i = 0; i < page.cEnt; ++i) leaf.entries().push_back(Traits::parse(page.entry(i)));
        ++leavesInMemory_;
    }

    void makeNewest(Node& leaf) {
        leaf.older = newest_;
        leaf.newer = nullptr;
        if (newest_) newest_->newer = &leaf;
        newest_ = &leaf;
        if (!oldest_) oldest_ = &leaf;
    }

    void unlink(Node& leaf) {
        (leaf.newer ? leaf.newer->older : newest_) = leaf.older;
        (leaf.older ? leaf.older->newer : oldest_) = leaf.newer;
        leaf.newer = leaf.older = nullptr;
    }

    // Runs right after every dirty page was written, so each leaf it drops is clean.
    void dropLeavesOverBudget() {
        if (!readPage_) return;
        while (leavesInMemory_ > leafBudget_ && oldest_ && oldest_ != root_.get() && !oldest_->dirty) {
            Node& leaf = *oldest_;
            unlink(leaf);
            std::pmr::polymorphic_allocator<Body>(&pool_).delete_object(leaf.body);   // back to the pool
            leaf.body = nullptr;
            --leavesInMemory_;
        }
    }

    static uint64_t firstKey(const Node& n) { return n.level == 0 ? Traits::key(n.entries().front()) : n.keys().front(); }
    static size_t capacity(const Node& n) { return n.level == 0 ? Traits::kLeafMax : disk::BTPAGE::kIntermediateMax; }

    NodePtr insertInto(Node& n, const Entry& e) {
        n.dirty = true;
        size_t pos;
        if (n.level == 0) {
            use(n);
            auto it = lowerBound(n.entries(), Traits::key(e));
            if (it != n.entries().end() && Traits::key(*it) == Traits::key(e)) {
                *it = e;
                --count_;
                return nullptr;
            }
            pos = static_cast<size_t>(it - n.entries().begin());
            n.entries().insert(it, e);
        } else {
            size_t i = childIndex(n, Traits::key(e));
            if (i == npos) i = 0;
            auto split = insertInto(*n.children()[i], e);
            n.keys()[i] = firstKey(*n.children()[i]);
            if (!split) return nullptr;
            pos = i + 1;
            n.keys().insert(n.keys().begin() + pos, firstKey(*split));
            n.children().insert(n.children().begin() + pos, std::move(split));
        }
        const size_t count = n.level == 0 ? n.entries().size() : n.children().size();
        if (count <= capacity(n)) return nullptr;
        // Appending at the right edge: keep the left page full. Otherwise split in half.
        const size_t keepLeft = (pos == count - 1) ? capacity(n) : count / 2;
        auto right = newNode(n.level);
        if (n.level == 0) {
            right->entries().assign(n.entries().begin() + keepLeft, n.entries().end());
            n.entries().resize(keepLeft);
        } else {
            right->keys().assign(n.keys().begin() + keepLeft, n.keys().end());
            n.keys().resize(keepLeft);
            for (size_t k = keepLeft; k < n.children().size(); ++k) right->children().push_back(std::move(n.children()[k]));
            n.children().resize(keepLeft);
        }
        return right;
    }

    bool eraseFrom(Node& n, uint64_t key) {
        if (n.level == 0) {
            use(n);
            auto it = lowerBound(n.entries(), key);
            if (it == n.entries().end() || Traits::key(*it) != key) return false;
            n.entries().erase(it);
            n.dirty = true;
            return true;
        }
        const size_t i = childIndex(n, key);
        if (i == npos) return false;
        Node& child = *n.children()[i];
        if (!eraseFrom(child, key)) return false;
        n.dirty = true;
        const bool empty = child.level == 0 ? child.entries().empty() : child.children().empty();
        if (empty) {
            retire(child);
            if (child.level == 0) {
                unlink(child);
                --leavesInMemory_;
            }
            n.children().erase(n.children().begin() + i);
            n.keys().erase(n.keys().begin() + i);
        } else {
            n.keys()[i] = firstKey(child);
        }
        return true;
    }

    void retire(const Node& n) {
        if (n.onDisk.bid != 0) retired_.push_back(n.onDisk.ib);
    }

    void writeNode(Node& n, const PageSink& sink) {
        if (!n.dirty) return;
        for (auto& c : n.children()) writeNode(*c, sink);
        disk::BTPAGE page;
        page.cLevel = n.level;
        if (n.level == 0) {
            page.cEntMax = Traits::kLeafMax;
            page.cbEnt = Traits::kLeafCbEnt;
            page.cEnt = static_cast<uint8_t>(n.entries().size());
            for (size_t i = 0; i < n.entries().size(); ++i) Traits::serialize(n.entries()[i], page.entry(i));
        } else {
            page.cEntMax = disk::BTPAGE::kIntermediateMax;
            page.cbEnt = disk::BTENTRY::kSize;
            page.cEnt = static_cast<uint8_t>(n.children().size());
            for (size_t i = 0; i < n.children().size(); ++i)
                disk::BTENTRY{n.keys()[i], n.children()[i]->onDisk}.serialize(page.entry(i));
        }
        disk::PageBytes bytes{};
        page.serializeBody(bytes);
        const uint64_t ib = sink.allocatePage();
        const Bid bid = sink.nextPageBid();
        disk::sealPage(bytes, Traits::kPtype, ib, bid);
        sink.writePage(ib, bytes);
        if (n.onDisk.bid != 0) sink.retirePage(n.onDisk.ib);
        n.onDisk = disk::BREF{bid, ib};
        n.dirty = false;
    }

    std::pmr::unsynchronized_pool_resource pool_;   // before root_: the nodes live in it
    size_t leavesInMemory_ = 0;
    size_t leafBudget_ = 0;
    PageReader readPage_;
    Node* newest_ = nullptr;
    Node* oldest_ = nullptr;
    NodePtr root_;
    std::vector<uint64_t> retired_;
    size_t count_ = 0;
};

}  // namespace pst::ndb
