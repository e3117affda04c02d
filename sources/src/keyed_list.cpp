#include "sources/keyed_list.h"

#include <limits>

#include "zentra/error.h"

namespace sources {

namespace {
constexpr long kErrTypeMismatch = 13;
}

std::string_view KeyedList::keyAt(std::size_t index) const {
    const std::uint32_t begin = index == 0 ? 0 : keyEnds_[index - 1];
    return std::string_view(keys_).substr(begin, keyEnds_[index] - begin);
}

int KeyedList::positionOf(std::string_view key) const {
    const auto found = keyIndex_.find(key, [this](std::uint32_t index) { return keyAt(index); });
    return found ? static_cast<int>(*found) + 1 : 0;
}

void KeyedList::checkNewKey(std::string_view key) const {
    // Every check comes before any change, so a refused add leaves no trace.
    if (contains(key))
        throw zentra::Error(kErrDuplicateKey, "This key is already associated with an element of this collection");
    if (kinds_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        keys_.size() + key.size() > std::numeric_limits<std::uint32_t>::max())
        throw zentra::Error(zentra::kErrOverflow, "Overflow");
}

void KeyedList::append(Kind kind, std::uint32_t value, std::string_view key) {
    values_.push_back(value);
    kinds_.push_back(kind);
    keys_.append(key);
    keyEnds_.push_back(static_cast<std::uint32_t>(keys_.size()));
    keyIndex_.insert(static_cast<std::uint32_t>(kinds_.size() - 1), key, [this](std::uint32_t i) { return keyAt(i); });
}

void KeyedList::add(std::string_view text, std::string_view key) {
    checkNewKey(key);
    append(Kind::Text, texts_.add(text), key);
}

void KeyedList::add(std::int32_t number, std::string_view key) {
    checkNewKey(key);
    append(Kind::Number, static_cast<std::uint32_t>(number), key);
}

std::size_t KeyedList::at(int position) const {
    if (position < 1 || position > count())
        throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    return static_cast<std::size_t>(position - 1);
}

KeyedList::Value KeyedList::item(int position) const {
    const std::size_t i = at(position);
    if (kinds_[i] == Kind::Number) return static_cast<std::int32_t>(values_[i]);
    return texts_.path(values_[i]);
}

std::string_view KeyedList::key(int position) const { return keyAt(at(position)); }

KeyedList::Value KeyedList::item(std::string_view key) const {
    const int position = positionOf(key);
    if (position == 0) throw zentra::Error(zentra::kErrInvalidCall, "Invalid procedure call or argument");
    return item(position);
}

std::string KeyedList::text(int position) const {
    const std::size_t i = at(position);
    if (kinds_[i] != Kind::Text) throw zentra::Error(kErrTypeMismatch, "Type mismatch");
    return texts_.path(values_[i]);
}

std::int32_t KeyedList::number(int position) const {
    const std::size_t i = at(position);
    if (kinds_[i] != Kind::Number) throw zentra::Error(kErrTypeMismatch, "Type mismatch");
    return static_cast<std::int32_t>(values_[i]);
}

void KeyedList::reserve(int n) {
    if (n <= 0) return;
    const auto size = static_cast<std::size_t>(n);
    kinds_.reserve(size);
    values_.reserve(size);
    keyEnds_.reserve(size);
}

std::size_t KeyedList::bytesHeld() const {
    return kinds_.capacity() * sizeof(Kind) + values_.capacity() * sizeof(std::uint32_t) + texts_.bytesHeld() +
           keys_.capacity() + keyEnds_.capacity() * sizeof(std::uint32_t) + keyIndex_.bytesHeld();
}

}  // namespace sources
