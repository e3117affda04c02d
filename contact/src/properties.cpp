// Property keys, values and the ordered property list.
#include "contact/properties.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace contact {

namespace {

// {xxxxxxxx-0000-0000-C000-000000000046} with the given Data1, in stored byte order.
constexpr Guid mapiGuid(uint32_t data1) {
    return Guid{static_cast<uint8_t>(data1), static_cast<uint8_t>(data1 >> 8), static_cast<uint8_t>(data1 >> 16),
                static_cast<uint8_t>(data1 >> 24), 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x46};
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace

const Guid kPsetidAddress = mapiGuid(0x00062004);
const Guid kPsetidCommon = mapiGuid(0x00062008);
const Guid kPsPublicStrings = mapiGuid(0x00020329);

std::string guidText(const Guid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3],
                  g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return text;
}

PropertyType typeOf(const Value& value) {
    static constexpr PropertyType kTypes[] = {PropertyType::String,   PropertyType::Integer16,
                                              PropertyType::Integer32, PropertyType::Boolean,
                                              PropertyType::Time,     PropertyType::Binary,
                                              PropertyType::MultipleInteger32, PropertyType::MultipleString};
    static_assert(std::variant_size_v<Value> == std::size(kTypes));
    return kTypes[value.index()];
}

PropertyKey PropertyKey::named(const Guid& set, std::string name) {
    PropertyKey k;
    k.kind_ = Kind::NamedString;
    k.set_ = set;
    k.name_ = std::move(name);
    // FNV-1a over the lower-cased name, started from the set's hash: names differing in case
    // only are the same key.
    uint32_t hash = setHash(set);
    for (char c : k.name_) hash = (hash ^ static_cast<uint8_t>(asciiLower(c))) * 16777619u;
    k.fingerprint_ = fingerprintOf(Kind::NamedString, hash, 0);
    return k;
}

bool PropertyKey::operator==(const PropertyKey& o) const {
    if (fingerprint_ != o.fingerprint_ || kind_ != o.kind_) return false;
    switch (kind_) {
        // Cheap integer comparisons before the GUID.
        case Kind::Tagged: return id_ == o.id_;
        case Kind::NamedId: return lid_ == o.lid_ && std::memcmp(set_.data(), o.set_.data(), 16) == 0;
        case Kind::NamedString:
            return name_.size() == o.name_.size() && std::memcmp(set_.data(), o.set_.data(), 16) == 0 &&
                   equalsIgnoringCase(name_, o.name_);
    }
    return false;
}

std::string PropertyKey::describe() const {
    char number[16];
    switch (kind_) {
        case Kind::Tagged:
            std::snprintf(number, sizeof number, "0x%04X", id_);
            return number;
        case Kind::NamedId:
            std::snprintf(number, sizeof number, "0x%04X", lid_);
            return guidText(set_) + "/" + number;
        case Kind::NamedString: return guidText(set_) + "/" + name_;
    }
    return std::string();
}

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

// Both forms of set: replace in place, or add at the end (growing the index first when it would
// be more than half full).
template <class V>
void PropertyList::setValue(const PropertyKey& key, V&& value) {
    if (index_.empty()) rebuildIndex(kMinimumSlots);
    std::size_t s = slotFor(key);
    if (const uint32_t position = positionPlusOne(index_[s]); position != 0) {
        items_[position - 1].value = std::forward<V>(value);
        return;
    }
    if (2 * (items_.size() + 1) > index_.size()) {
        rebuildIndex(2 * index_.size());
        s = slotFor(key);
    }
    index_[s] = slotValue(key.fingerprint(), items_.size());
    items_.push_back(Property{key, std::forward<V>(value)});
}

void PropertyList::set(const PropertyKey& key, Value&& value) { setValue(key, std::move(value)); }

void PropertyList::set(const PropertyKey& key, std::string&& text) { setValue(key, std::move(text)); }

bool PropertyList::remove(const PropertyKey& key) {
    const std::size_t i = indexOf(key);
    if (i == items_.size()) return false;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    rebuildIndex(index_.size());   // positions after `i` moved; removal is rare
    return true;
}

const Property* PropertyList::find(const PropertyKey& key) const {
    const std::size_t i = indexOf(key);
    return i < items_.size() ? &items_[i] : nullptr;
}

}  // namespace contact
