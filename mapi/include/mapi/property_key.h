#pragma once
// How a property is named: by a tagged property id ([MS-OXCDATA] 2.9 PropertyTag: id and
// type), or as a named property ([MS-OXCDATA] 2.6.1 PropertyName: property set plus numeric LID
// or string name) that a store maps to a local id of its own. The catalogue entries
// (property_catalogue.h) carry the type [MS-OXPROPS] gives each property; a PropertyKey says
// only which property is meant.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "mapi/guid.h"

namespace mapi {

struct PropertyTag {
    uint16_t id;
    uint16_t type;
    constexpr uint32_t tag() const { return static_cast<uint32_t>(id) << 16 | type; }
};

struct NamedProperty {   // numeric name (MNID_ID)
    Guid set;
    uint32_t lid;
    uint16_t type;
};

struct StringNamedProperty {   // string name (MNID_STRING)
    Guid set;
    std::string_view name;
    uint16_t type;
};

class PropertyKey {
public:
    enum class Kind { Tagged, NamedId, NamedString };

    PropertyKey() = default;
    // Keys are made for every property a contact gets: the common kinds are built inline.
    PropertyKey(const PropertyTag& p) : PropertyKey(tagged(p.id)) {}
    PropertyKey(const NamedProperty& p) : PropertyKey(named(p.set, p.lid)) {}
    PropertyKey(const StringNamedProperty& p) : PropertyKey(named(p.set, std::string(p.name))) {}

    static PropertyKey tagged(uint16_t id) {
        PropertyKey k;
        k.id_ = id;
        k.fingerprint_ = fingerprintOf(Kind::Tagged, kNoSetHash, id);
        return k;
    }
    static PropertyKey named(const Guid& set, uint32_t lid) {
        PropertyKey k;
        k.kind_ = Kind::NamedId;
        k.set_ = set;
        k.lid_ = lid;
        k.fingerprint_ = fingerprintOf(Kind::NamedId, setHash(set), lid);
        return k;
    }
    static PropertyKey named(const Guid& set, std::string name);

    Kind kind() const { return kind_; }
    uint16_t id() const { return id_; }                 // Tagged only
    const Guid& propertySet() const { return set_; }
    uint32_t lid() const { return lid_; }               // NamedId only
    const std::string& name() const { return name_; }   // NamedString only

    // String names compare without regard to ASCII case, as a store's name-to-id map does.
    bool operator==(const PropertyKey& other) const;
    std::string describe() const;   // "0x3001", "{00062004-...}/0x8005", ".../Keywords"
    // Equal keys have equal fingerprints (kind, id or LID, hash of set and case-folded name).
    uint64_t fingerprint() const { return fingerprint_; }

private:
    static constexpr uint32_t kNoSetHash = 2166136261u;   // FNV-1a's start value
    // The set as two words, mixed: cheaper than hashing it byte by byte.
    static uint32_t setHash(const Guid& set) {
        uint64_t low = 0, high = 0;
        std::memcpy(&low, set.data(), 8);
        std::memcpy(&high, set.data() + 8, 8);
        const uint64_t mixed = low * 0x9E3779B97F4A7C15ULL ^ (high + 0x632BE59BD9B4E019ULL) * 0xC2B2AE3D27D4EB4FULL;
        return static_cast<uint32_t>(mixed ^ (mixed >> 32));
    }
    static uint64_t fingerprintOf(Kind kind, uint32_t hash, uint32_t number) {
        return (static_cast<uint64_t>(kind) << 62) ^ (static_cast<uint64_t>(hash) << 24) ^ number;
    }

    // Unequal fingerprints mean unequal keys, so a look-up rarely compares more than this.
    uint64_t fingerprint_ = fingerprintOf(Kind::Tagged, kNoSetHash, 0);
    Kind kind_ = Kind::Tagged;
    uint16_t id_ = 0;
    Guid set_{};
    uint32_t lid_ = 0;
    std::string name_;
};

}  // namespace mapi
