#pragma once
// The Name-to-ID map ([MS-PST] 2.4.7): named properties, (property set GUID, numeric LID) or
// (GUID, string name), mapped to property ids 0x8000 + index. Ids are handed out in order and
// never taken back. String names match without regard to case (Outlook reports a store with two
// ids for names that differ only in case as damaged); the first spelling is kept.
//
// The map lives in memory and becomes the PC of node 0x61 through toProperties():
// bucket count 251, the GUID stream (GUIDs other than PS_MAPI and PS_PUBLIC_STRINGS), the entry
// stream (one NAMEID per id, in id order), the string stream, and one bucket property per
// non-empty hash bucket.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mapi/guid.h"
#include "pst/ltp/ltp.h"

namespace pst::messaging {

using mapi::Guid;   // PS_MAPI is wGuid 1, PS_PUBLIC_STRINGS wGuid 2, others from the GUID stream

constexpr uint32_t kNameidBucketCount = 251;
constexpr uint16_t kFirstNamedPropId = 0x8000;

// One 8-byte NAMEID record ([MS-PST] 2.4.7.1).
struct NameId {
    uint32_t propertyId = 0;   // LID, string-stream offset, or (in a bucket) the name's CRC
    uint16_t guidAndKind = 0;  // bit 0 = string name, bits 1..15 = wGuid
    uint16_t propIndex = 0;    // NPID - 0x8000
};

// The bucket a record goes into: (dwPropertyID XOR (wGuid << 1 | N)) mod 251, where a string
// name's dwPropertyID is the [MS-PST] CRC of its UTF-16LE bytes.
uint32_t nameidBucket(uint32_t hashedId, uint16_t guidAndKind);
uint32_t nameidStringCrc(std::string_view utf8);

class NameToIdMap {
public:
    NameToIdMap() = default;

    // The property id for the name, allocated when new. Throws kErrStoreCorrupt when all
    // 0x7FFF ids are used.
    uint16_t idFor(const Guid& guid, uint32_t lid);
    uint16_t idFor(const Guid& guid, std::string_view name);

    std::optional<uint16_t> find(const Guid& guid, uint32_t lid) const;
    std::optional<uint16_t> find(const Guid& guid, std::string_view name) const;

    size_t size() const { return entries_.size(); }
    bool dirty() const { return dirty_; }
    void markClean() { dirty_ = false; }

    ltp::PropertyMap toProperties() const;
    // Reads a stored map back (tests, and a store reopened later). Throws kErrStoreCorrupt.
    static NameToIdMap fromProperties(const ltp::PropertyMap& props);

private:
    struct Entry {
        uint16_t guidIndex;       // wGuid
        bool isString;
        uint32_t lid;             // numeric names
        std::string name;         // string names, as first given (UTF-8)
    };
    uint16_t guidIndexFor(const Guid& guid, bool create);
    std::optional<uint16_t> guidIndexOf(const Guid& guid) const;
    uint16_t append(Entry entry);

    std::vector<Guid> guids_;                                    // wGuid 3 + k
    std::vector<Entry> entries_;                                 // index = NPID - 0x8000
    // Numeric names by wGuid << 32 | LID: an import looks some thirty up for every contact.
    static uint64_t numericKey(uint16_t guidIndex, uint32_t lid) { return uint64_t{guidIndex} << 32 | lid; }
    std::unordered_map<uint64_t, uint16_t> numeric_;
    std::map<std::pair<uint16_t, std::string>, uint16_t> strings_;   // key: folded name
    bool dirty_ = true;
};

}  // namespace pst::messaging
