#pragma once
// An ordered list of values (path bytes or 32-bit integers) with a unique key per entry and
// 1-based positions, enumerated in insertion order. Lists are handed out by shared pointer,
// so whoever holds one keeps it alive after the object that filled it has let go.
//
// A folder scan fills such lists with a million entries, so nothing is kept per entry but a
// few integers: texts go into a zentra::PathList (folder parts shared), keys one after another
// into a byte arena, found again through an open-addressing index of 32-bit ids. An entry of
// the scan costs about forty bytes plus its file name, where a string per value and key and a
// node-based hash map took over 250.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "zentra/key_index.h"
#include "zentra/path_list.h"

namespace sources {

// Raised when an entry is added under a key the list already holds.
constexpr long kErrDuplicateKey = 457;

class KeyedList {
public:
    using Value = std::variant<std::string, std::int32_t>;
    // An entry as enumeration yields it; the key views the list, valid until the next add.
    struct Entry {
        std::string_view key;
        Value value;
    };

    // Appends a value under key. A key already present raises error 457 and adds nothing.
    void add(std::string_view text, std::string_view key);
    void add(std::int32_t number, std::string_view key);

    int count() const { return static_cast<int>(kinds_.size()); }
    bool empty() const { return kinds_.empty(); }
    bool contains(std::string_view key) const { return positionOf(key) != 0; }

    // By 1-based position; a position outside 1..count() raises error 9.
    Value item(int position) const;
    std::string_view key(int position) const;
    // By key; an absent key raises error 5.
    Value item(std::string_view key) const;

    // Typed reads; the wrong kind of value raises error 13.
    std::string text(int position) const;
    std::int32_t number(int position) const;

    class const_iterator {
    public:
        const_iterator(const KeyedList* list, int position) : list_(list), position_(position) {}
        Entry operator*() const { return Entry{list_->key(position_), list_->item(position_)}; }
        const_iterator& operator++() {
            ++position_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return position_ == other.position_; }

    private:
        const KeyedList* list_;
        int position_;
    };
    const_iterator begin() const { return const_iterator(this, 1); }
    const_iterator end() const { return const_iterator(this, count() + 1); }

    void reserve(int n);
    // Heap bytes held, for benchmarks and the memory tests.
    std::size_t bytesHeld() const;

private:
    enum class Kind : std::uint8_t { Text, Number };

    std::size_t at(int position) const;           // 0-based index, or raises error 9
    int positionOf(std::string_view key) const;   // 0 when absent
    std::string_view keyAt(std::size_t index) const;
    void checkNewKey(std::string_view key) const;   // error 457 (or an overflow) before any change
    void append(Kind kind, std::uint32_t value, std::string_view key);

    std::vector<Kind> kinds_;
    std::vector<std::uint32_t> values_;   // the number itself, or the text's index in texts_
    zentra::PathList texts_;
    std::string keys_;                    // every key, one after another
    std::vector<std::uint32_t> keyEnds_;
    zentra::KeyIndex keyIndex_;           // key -> 0-based index
};

using KeyedListPtr = std::shared_ptr<KeyedList>;

}  // namespace sources
