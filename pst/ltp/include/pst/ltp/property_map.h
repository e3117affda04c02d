#pragma once
// Property id -> value, sorted by id: what a property context holds. A sorted vector rather
// than a tree: a message has a few dozen properties, written once and read in id order, and a
// tree spent a heap allocation per property and more again to free it. The interface is the
// part of std::map's that the engine and its callers use; unlike std::map, inserting may move
// the other entries, so references into the map last only until the next insertion.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

namespace pst::ltp {

template <class V>
class SortedIdMap {
public:
    using key_type = uint16_t;
    using mapped_type = V;
    using value_type = std::pair<uint16_t, V>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    SortedIdMap() = default;
    SortedIdMap(std::initializer_list<value_type> items) {
        for (const value_type& item : items) insert_or_assign(item.first, item.second);
    }

    iterator begin() { return items_.begin(); }
    iterator end() { return items_.end(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    void clear() { items_.clear(); }
    void reserve(size_t n) { items_.reserve(n); }

    iterator find(uint16_t id) {
        auto it = lowerBound(id);
        return it != items_.end() && it->first == id ? it : items_.end();
    }
    const_iterator find(uint16_t id) const {
        auto it = const_cast<SortedIdMap*>(this)->lowerBound(id);
        return it != items_.end() && it->first == id ? const_iterator(it) : items_.cend();
    }
    size_t count(uint16_t id) const { return find(id) != end() ? 1 : 0; }
    bool contains(uint16_t id) const { return find(id) != end(); }

    V& at(uint16_t id) {
        auto it = find(id);
        if (it == end()) throw std::out_of_range("no property with this id");
        return it->second;
    }
    const V& at(uint16_t id) const { return const_cast<SortedIdMap*>(this)->at(id); }
    V& operator[](uint16_t id) { return try_emplace(id).first->second; }

    template <class... Args>
    std::pair<iterator, bool> try_emplace(uint16_t id, Args&&... args) {
        auto it = lowerBound(id);
        if (it != items_.end() && it->first == id) return {it, false};
        return {items_.emplace(it, std::piecewise_construct, std::forward_as_tuple(id),
                               std::forward_as_tuple(std::forward<Args>(args)...)),
                true};
    }
    template <class M>
    std::pair<iterator, bool> insert_or_assign(uint16_t id, M&& value) {
        auto [it, inserted] = try_emplace(id, std::forward<M>(value));
        if (!inserted) it->second = std::forward<M>(value);
        return {it, inserted};
    }
    template <class M>
    std::pair<iterator, bool> emplace(uint16_t id, M&& value) {
        return try_emplace(id, std::forward<M>(value));
    }
    std::pair<iterator, bool> insert(value_type item) { return try_emplace(item.first, std::move(item.second)); }

    // Replaces the contents with these entries in any order; of entries with the same id the
    // last one counts, as if each had been insert_or_assign'ed in turn. O(n log n) instead of
    // the O(n^2) of inserting out of order one by one.
    void assign(std::vector<value_type>&& entries) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const value_type& a, const value_type& b) { return a.first < b.first; });
        items_.clear();
        items_.reserve(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i + 1 < entries.size() && entries[i + 1].first == entries[i].first) continue;
            items_.push_back(std::move(entries[i]));
        }
    }

    // Inserts the entries whose ids the map does not hold yet (entries sorted by id, each id
    // once) in one pass from the back, instead of shifting the tail once per entry; the
    // inserted values are moved out of `entries`, the others are left as they are.
    void insertAbsent(std::span<value_type> entries) {
        size_t absent = 0;
        for (const value_type& e : entries) absent += find(e.first) == end() ? 1 : 0;
        if (absent == 0) return;
        size_t old = items_.size(), in = entries.size(), out = old + absent;
        items_.resize(out);
        while (in > 0) {
            value_type& e = entries[in - 1];
            if (old > 0 && items_[old - 1].first > e.first) {
                items_[--out] = std::move(items_[--old]);
            } else {
                if (old == 0 || items_[old - 1].first != e.first) items_[--out] = std::move(e);
                --in;
            }
        }
    }

    size_t erase(uint16_t id) {
        auto it = find(id);
        if (it == end()) return 0;
        items_.erase(it);
        return 1;
    }
    iterator erase(const_iterator it) { return items_.erase(it); }

    bool operator==(const SortedIdMap& other) const { return items_ == other.items_; }

private:
    iterator lowerBound(uint16_t id) {
        // Properties usually arrive in ascending order: the end is checked first.
        if (items_.empty() || items_.back().first < id) return items_.end();
        return std::lower_bound(items_.begin(), items_.end(), id,
                                [](const value_type& item, uint16_t key) { return item.first < key; });
    }
    std::vector<value_type> items_;
};

}  // namespace pst::ltp
