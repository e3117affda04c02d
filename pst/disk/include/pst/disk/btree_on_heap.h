#pragma once
// BTree-on-heap ([MS-PST] 2.3.2): BTHHEADER and the intermediate (index) records, with
// [MS-PST]'s field names; and the records the property context keeps in a BTH (PC BTH record,
// 2.3.3.3). Leaf records are cbKey + cbEnt bytes whose layout belongs to the BTH's user.
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/heap_on_node.h"

namespace pst::disk {

struct BTHHEADER {   // 8 bytes
    static constexpr size_t kSize = 8;
    uint8_t bType = kClientSigBth;
    uint8_t cbKey = 0;        // 2, 4, 8 or 16
    uint8_t cbEnt = 0;        // 1..32
    uint8_t bIdxLevels = 0;   // intermediate levels above the leaves
    Hid hidRoot = 0;          // 0 for an empty tree

    void serialize(std::span<uint8_t> out) const;
    static BTHHEADER parse(std::span<const uint8_t> in);
};

// Intermediate BTH (index) record: the first key of an item one level down, and its HID.
struct BthIndexRecord {   // cbKey + 4 bytes
    std::span<const uint8_t> key;   // cbKey bytes
    Hid hidNextLevel = 0;

    static constexpr size_t sizeFor(size_t cbKey) { return cbKey + 4; }
    void serialize(std::span<uint8_t> out) const;
    void appendTo(std::vector<uint8_t>& out) const;   // serialize at the end of out
    static BthIndexRecord parse(std::span<const uint8_t> in, size_t cbKey);   // key views `in`
};

// PC BTH record: the key wPropId, then the 6 bytes of data.
struct PcBthRecord {   // 8 bytes
    static constexpr size_t kSize = 8;
    static constexpr uint8_t kCbKey = 2;
    static constexpr uint8_t kCbEnt = 6;
    uint16_t wPropId = 0;
    uint16_t wPropType = 0;
    uint32_t dwValueHnid = 0;   // the value itself when it fits 4 bytes, else the HNID holding it

    void serialize(std::span<uint8_t> out) const;
    static PcBthRecord parse(std::span<const uint8_t> in);
};

}  // namespace pst::disk
