// The property list and its index.
#include "contact/properties.h"

#include <algorithm>

namespace contact {

namespace {

// Spreads a fingerprint over the table: its low bits alone are mostly the property id.
std::size_t slotHash(uint64_t fingerprint) {
    fingerprint ^= fingerprint >> 31;
    fingerprint *= 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(fingerprint ^ (fingerprint >> 29));
}

constexpr std::size_t kMinimumSlots = 16;

std::size_t slotCountFor(std::size_t count) {
    std::size_t slots = kMinimumSlots;
    while (slots < 2 * count) slots *= 2;
    return slots;
}

// A slot holds 1 + the position in the list in its low half (0: free) and a check value from
// the fingerprint in its high half, so most keys that only share a slot are told apart without
// looking at the list.
uint64_t slotValue(uint64_t fingerprint, std::size_t position) {
    const auto check = static_cast<uint32_t>(fingerprint ^ (fingerprint >> 32));
    return static_cast<uint64_t>(check) << 32 | static_cast<uint32_t>(position + 1);
}

uint32_t positionPlusOne(uint64_t slot) { return static_cast<uint32_t>(slot); }

}  // namespace

void PropertyList::reserve(std::size_t count) {
    items_.reserve(count);
    if (slotCountFor(count) > index_.size()) rebuildIndex(slotCountFor(count));
}

void PropertyList::rebuildIndex(std::size_t slotCount) {
    index_.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const uint64_t fingerprint = items_[i].key.fingerprint();
        std::size_t s = slotHash(fingerprint) & mask;
        while (index_[s] != 0) s = (s + 1) & mask;
        index_[s] = slotValue(fingerprint, i);
    }
}

std::size_t PropertyList::slotFor(const PropertyKey& key) const {
    const uint64_t wanted = key.fingerprint();
    const uint64_t check = slotValue(wanted, 0) >> 32;
    const std::size_t mask = index_.size() - 1;
    for (std::size_t s = slotHash(wanted) & mask;; s = (s + 1) & mask) {
        const uint64_t slot = index_[s];
        if (slot == 0) return s;
        if ((slot >> 32) == check && items_[positionPlusOne(slot) - 1].key == key) return s;
    }
}

std::size_t PropertyList::indexOf(const PropertyKey& key) const {
    if (index_.empty()) return items_.size();
    const uint32_t position = positionPlusOne(index_[slotFor(key)]);
    return position == 0 ? items_.size() : position - 1;
}

// Replaces in place, or adds at the end (growing the index first when it would be more than half
// full).
void PropertyList::set(const PropertyKey& key, mapi::Value&& value) {
    if (index_.empty()) rebuildIndex(kMinimumSlots);
    std::size_t s = slotFor(key);
    if (const uint32_t position = positionPlusOne(index_[s]); position != 0) {
        items_[position - 1].value = std::move(value);
        return;
    }
    if (2 * (items_.size() + 1) > index_.size()) {
        rebuildIndex(2 * index_.size());
        s = slotFor(key);
    }
    index_[s] = slotValue(key.fingerprint(), items_.size());
    items_.emplace_back(key, std::move(value));   // built in place: the value is moved once
}

bool PropertyList::remove(const PropertyKey& key) {
    const std::size_t i = indexOf(key);
    if (i == items_.size()) return false;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    rebuildIndex(index_.size());   // positions after `i` moved; removal is rare
    return true;
}

std::vector<Property> PropertyList::release() {
    index_.clear();
    std::vector<Property> out = std::move(items_);
    items_.clear();
    return out;
}

void ContactItem::reset() {
    properties.clear();
    attachments.clear();
    warnings.clear();
    uid.clear();
    isGroup = false;
    groupMembers.clear();
}

void PropertyList::adopt(std::vector<Property>&& released) {
    if (!items_.empty() || released.capacity() <= items_.capacity()) return;
    released.clear();
    items_ = std::move(released);
}

void PropertyList::clear() {
    items_.clear();
    std::fill(index_.begin(), index_.end(), uint64_t{0});
}

const Property* PropertyList::find(const PropertyKey& key) const {
    const std::size_t i = indexOf(key);
    return i < items_.size() ? &items_[i] : nullptr;
}

}  // namespace contact
