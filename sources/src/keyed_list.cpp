#include "sources/keyed_list.h"

#include "zentra/error.h"

namespace sources {

namespace {
constexpr long kErrTypeMismatch = 13;
}

void KeyedList::add(Value value, const QString& key) {
    // Look the key up before touching either container, so a refused add leaves no trace.
    if (positions_.contains(key))
        throw zentra::Error(kErrDuplicateKey, "This key is already associated with an element of this collection");
    entries_.push_back(Entry{key, std::move(value)});
    positions_.insert(key, static_cast<int>(entries_.size()) - 1);
}

const KeyedList::Entry& KeyedList::at(int position) const {
    if (position < 1 || position > count())
        throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    return entries_[static_cast<std::size_t>(position - 1)];
}

const KeyedList::Value& KeyedList::item(int position) const { return at(position).value; }

const QString& KeyedList::key(int position) const { return at(position).key; }

const KeyedList::Value& KeyedList::item(const QString& key) const {
    auto found = positions_.constFind(key);
    if (found == positions_.constEnd())
        throw zentra::Error(zentra::kErrInvalidCall, "Invalid procedure call or argument");
    return entries_[static_cast<std::size_t>(*found)].value;
}

const QString& KeyedList::text(int position) const {
    const auto* value = std::get_if<QString>(&item(position));
    if (!value) throw zentra::Error(kErrTypeMismatch, "Type mismatch");
    return *value;
}

std::int32_t KeyedList::number(int position) const {
    const auto* value = std::get_if<std::int32_t>(&item(position));
    if (!value) throw zentra::Error(kErrTypeMismatch, "Type mismatch");
    return *value;
}

void KeyedList::reserve(int n) {
    if (n <= 0) return;
    entries_.reserve(static_cast<std::size_t>(n));
    positions_.reserve(n);
}

}  // namespace sources
