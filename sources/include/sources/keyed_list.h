#pragma once
// An ordered list of values (text or 32-bit integers) with a unique text key per entry and
// 1-based positions, enumerated in insertion order. Lists are handed out by shared pointer,
// so whoever holds one keeps it alive after the object that filled it has let go.
#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace sources {

// Raised when an entry is added under a key the list already holds.
constexpr long kErrDuplicateKey = 457;

class KeyedList {
public:
    using Value = std::variant<QString, std::int32_t>;
    struct Entry {
        QString key;
        Value value;
    };
    using const_iterator = std::vector<Entry>::const_iterator;

    // Appends value under key. A key already present raises error 457 and adds nothing.
    void add(Value value, const QString& key);

    int count() const { return static_cast<int>(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    bool contains(const QString& key) const { return positions_.contains(key); }

    // By 1-based position; a position outside 1..count() raises error 9.
    const Value& item(int position) const;
    const QString& key(int position) const;
    // By key; an absent key raises error 5.
    const Value& item(const QString& key) const;

    // Typed reads; the wrong kind of value raises error 13.
    const QString& text(int position) const;
    std::int32_t number(int position) const;

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    void reserve(int n);

private:
    const Entry& at(int position) const;

    std::vector<Entry> entries_;
    QHash<QString, int> positions_;   // key -> 0-based index into entries_
};

using KeyedListPtr = std::shared_ptr<KeyedList>;

}  // namespace sources
