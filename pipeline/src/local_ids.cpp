#include "pipeline/local_ids.h"

#include <cstring>

#include "pipeline/stored_contact.h"

namespace pipeline {
namespace {

constexpr unsigned kSlotBits = 9;   // 512 slots: a contact's named keys rarely share one

size_t slotOf(uint64_t fingerprint) {
    return static_cast<size_t>((fingerprint * 0x9E3779B97F4A7C15ULL) >> (64 - kSlotBits));
}

bool sameSet(const mapi::Guid& a, const mapi::Guid& b) {
    uint64_t x[2], y[2];   // two word compares; std::array's == calls memcmp
    std::memcpy(x, a.data(), sizeof x);
    std::memcpy(y, b.data(), sizeof y);
    return x[0] == y[0] && x[1] == y[1];
}

// PropertyKey's own comparison, with the common case (a numeric name) compared in line: it is
// asked for nearly every property of every contact.
bool sameKey(const mapi::PropertyKey& a, const mapi::PropertyKey& b) {
    if (a.fingerprint() != b.fingerprint() || a.kind() != b.kind()) return false;
    if (a.kind() == mapi::PropertyKey::Kind::NamedId) return a.lid() == b.lid() && sameSet(a.propertySet(), b.propertySet());
    return a == b;
}

}  // namespace

uint16_t LocalIds::of(const mapi::PropertyKey& key, pst::messaging::NameToIdMap& names) {
    // Tagged ids need no map: checking them costs less than a probe.
    if (key.kind() == mapi::PropertyKey::Kind::Tagged)
        return key.id() < pst::messaging::kFirstNamedPropId ? key.id() : localIdOf(key, names);   // (which refuses it)
    if (names_ != &names) {
        slots_.assign(size_t{1} << kSlotBits, Slot{});
        names_ = &names;
    }
    Slot& slot = slots_[slotOf(key.fingerprint())];
    if (slot.id != 0 && sameKey(slot.key, key)) return slot.id;
    const uint16_t id = localIdOf(key, names);
    slot.key = key;
    slot.id = id;
    return id;
}

}  // namespace pipeline
