#pragma once
// The neutral property model a mapped contact is handed over in: MAPI property types, values,
// keys (a tagged property id, or a named property given by property-set GUID and numeric LID or
// string name), ordered property lists with unique keys, attachments and mapping warnings.
// Nothing here knows a file format; the store writer turns named keys into ids through its
// name-to-id map and converts the UTF-8 strings to UTF-16.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace contact {

// [MS-OXCDATA] 2.11.1 property type codes used by contacts.
enum class PropertyType : uint16_t {
    Integer16 = 0x0002,
    Integer32 = 0x0003,
    Boolean = 0x000B,
    String = 0x001F,            // PtypString (Unicode; UTF-8 in this model)
    Time = 0x0040,              // PtypTime, FILETIME in UTC
    Binary = 0x0102,
    MultipleInteger32 = 0x1003,
    MultipleString = 0x101F,
};

// A GUID in its stored byte order ([MS-OXCDATA] 2.5.1: Data1, Data2, Data3 little-endian,
// then Data4 as written).
using Guid = std::array<uint8_t, 16>;

extern const Guid kPsetidAddress;     // {00062004-0000-0000-C000-000000000046}
extern const Guid kPsetidCommon;      // {00062008-0000-0000-C000-000000000046}
extern const Guid kPsPublicStrings;   // {00020329-0000-0000-C000-000000000046}

// "{00062004-0000-0000-C000-000000000046}" for messages and tests.
std::string guidText(const Guid& guid);

struct FileTime {                     // 100-ns intervals since 1601-01-01 00:00 UTC
    uint64_t ticks = 0;
    bool operator==(const FileTime&) const = default;
};

struct Binary {
    std::string bytes;
    bool operator==(const Binary&) const = default;
};

using Value = std::variant<std::string, int16_t, int32_t, bool, FileTime, Binary, std::vector<int32_t>,
                           std::vector<std::string>>;

PropertyType typeOf(const Value& value);

class PropertyKey {
public:
    enum class Kind { Tagged, NamedId, NamedString };

    // Keys are made for every property a contact gets: the common kinds are built inline.
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
    uint16_t id() const { return id_; }            // Tagged only
    const Guid& propertySet() const { return set_; }
    uint32_t lid() const { return lid_; }          // NamedId only
    const std::string& name() const { return name_; }   // NamedString only

    // String names compare without regard to ASCII case, as the store's name-to-id map does.
    bool operator==(const PropertyKey& other) const;
    std::string describe() const;                  // "0x3001", "{00062004-...}/0x8005", ".../Keywords"
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

    // Kind, id or LID, and a hash of the set and the case-folded name: unequal fingerprints mean
    // unequal keys, so a property list's index rarely compares more than this.
    uint64_t fingerprint_ = 0;
    Kind kind_ = Kind::Tagged;
    uint16_t id_ = 0;
    Guid set_{};
    uint32_t lid_ = 0;
    std::string name_;
};

struct Property {
    PropertyKey key;
    Value value;
    PropertyType type() const { return typeOf(value); }
};

// Properties in the order they were first set; setting an existing key replaces its value in place.
// Look-ups go through a hash index on the keys' fingerprints, so filling a contact's 60-90
// properties costs a few probes per key instead of a scan of the list.
class PropertyList {
public:
    void set(const PropertyKey& key, Value&& value);
    void set(const PropertyKey& key, const Value& value) { set(key, Value(value)); }
    void set(const PropertyKey& key, std::string&& text);   // the common case, without a Value in between
    void reserve(std::size_t count);
    bool remove(const PropertyKey& key);
    const Property* find(const PropertyKey& key) const;
    bool contains(const PropertyKey& key) const { return find(key) != nullptr; }

    // Typed look-up: nullptr when the key is absent or holds another type.
    template <class T>
    const T* get(const PropertyKey& key) const {
        const Property* p = find(key);
        return p ? std::get_if<T>(&p->value) : nullptr;
    }

    const std::vector<Property>& items() const { return items_; }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::size_t indexOf(const PropertyKey& key) const;
    template <class V>
    void setValue(const PropertyKey& key, V&& value);
    // The slot holding `key`, or the free slot where it would go.
    std::size_t slotFor(const PropertyKey& key) const;
    void rebuildIndex(std::size_t slotCount);

    std::vector<Property> items_;
    // The open-addressing index: a power of two of slots, at most half of them used (see
    // properties.cpp for the slot layout).
    std::vector<uint64_t> index_;
};

struct Attachment {
    PropertyList properties;
};

struct Warning {
    enum class Source { Parser, Mapping };
    Source source = Source::Mapping;
    std::size_t line = 0;        // line in the vCard file, 0 when not tied to one
    std::string property;        // vCard property name, empty when not tied to one
    std::string message;
};

// One Outlook contact as the mapping produces it.
struct ContactItem {
    PropertyList properties;
    std::vector<Attachment> attachments;   // the contact photo, when there is one
    std::vector<Warning> warnings;         // the card's parser warnings, then the mapping notes
};

}  // namespace contact
