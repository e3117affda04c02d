#pragma once
// A hash index over byte keys that live elsewhere, usually one after another in a byte arena:
// the index holds only 32-bit ids (open addressing, linear probing), and asks its owner for an
// id's key bytes whenever it compares or rehashes. A million keys cost about eight bytes each
// here, where a node-based map would spend fifty or more, and since no pointer into the arena
// is kept, the owner may grow, copy or move its arena freely.
//
//   auto keyOf = [&](std::uint32_t id) { return keyBytesOf(id); };
//   if (!index.find("K7", keyOf)) index.insert(id, "K7", keyOf);
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace zentra {

class KeyIndex {
public:
    // The id stored under key, if any. keyOf(id) gives the key bytes of an id.
    template <typename KeyOf>
    std::optional<std::uint32_t> find(std::string_view key, const KeyOf& keyOf) const {
        if (slots_.empty()) return std::nullopt;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hashOf(key) & mask;; at = (at + 1) & mask) {
            const std::uint32_t slot = slots_[at];
            if (slot == kFree) return std::nullopt;
            if (keyOf(slot - 1) == key) return slot - 1;
        }
    }

    // Adds id under key, which the caller has found absent. Ids must be below 2^32 - 1.
    template <typename KeyOf>
    void insert(std::uint32_t id, std::string_view key, const KeyOf& keyOf) {
        // At most three quarters full, so a probe meets a free slot after a few steps.
        if ((count_ + 1) * 4 > slots_.size() * 3) grow(keyOf);
        place(id, key);
        ++count_;
    }

    std::size_t size() const { return count_; }
    void clear() {
        slots_.clear();
        slots_.shrink_to_fit();
        count_ = 0;
    }
    std::size_t bytesHeld() const { return slots_.capacity() * sizeof(std::uint32_t); }

private:
    static constexpr std::uint32_t kFree = 0;   // a used slot holds id + 1

    static std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

    void place(std::uint32_t id, std::string_view key) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = hashOf(key) & mask;
        while (slots_[at] != kFree) at = (at + 1) & mask;
        slots_[at] = id + 1;
    }

    template <typename KeyOf>
    void grow(const KeyOf& keyOf) {
        std::vector<std::uint32_t> old(slots_.empty() ? 16 : slots_.size() * 2, kFree);
        old.swap(slots_);
        for (const std::uint32_t slot : old)
            if (slot != kFree) place(slot - 1, keyOf(slot - 1));
    }

    std::vector<std::uint32_t> slots_;   // a power of two in size, or empty
    std::size_t count_ = 0;
};

}  // namespace zentra
