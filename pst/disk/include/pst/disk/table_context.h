#pragma once
// Table context ([MS-PST] 2.3.4): TCINFO with its TCOLDESCs, and TCROWID, the record of the
// row index (a BTH keyed by dwRowID), with [MS-PST]'s field names.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/heap_on_node.h"

namespace pst::disk {

// Indices into TCINFO.rgib: where the 4-byte (and 8-byte), 2-byte and 1-byte cells of a row
// end, and the end of the cell existence block, which is the row size.
enum TciIndex : size_t { TCI_4b = 0, TCI_2b = 1, TCI_1b = 2, TCI_bm = 3 };

struct TCOLDESC {   // 8 bytes
    static constexpr size_t kSize = 8;
    uint32_t tag = 0;      // property id << 16 | property type
    uint16_t ibData = 0;   // the cell's offset in the row
    uint8_t cbData = 0;    // its width
    uint8_t iBit = 0;      // its bit in the cell existence block

    void serialize(std::span<uint8_t> out) const;
    static TCOLDESC parse(std::span<const uint8_t> in);
};

struct TCINFO {   // 22 bytes, then cCols TCOLDESCs
    static constexpr size_t kHeaderSize = 22;
    uint8_t bType = kClientSigTable;
    uint8_t cCols = 0;   // set from rgTCOLDESC by serialize
    std::array<uint16_t, 4> rgib{};
    Hid hidRowIndex = 0;   // the row index's BTHHEADER
    Hnid hnidRows = 0;     // the row matrix: a heap item, a subnode, or 0 without rows
    Hid hidIndex = 0;      // deprecated; 0 in new files
    std::vector<TCOLDESC> rgTCOLDESC;

    static constexpr size_t sizeFor(size_t cCols) { return kHeaderSize + TCOLDESC::kSize * cCols; }
    void serialize(std::span<uint8_t> out) const;   // out.size() >= sizeFor(rgTCOLDESC.size())
    static TCINFO parse(std::span<const uint8_t> in);
};

struct TCROWID {   // 8 bytes (Unicode), a row index leaf record
    static constexpr size_t kSize = 8;
    static constexpr uint8_t kCbKey = 4;
    static constexpr uint8_t kCbEnt = 4;
    uint32_t dwRowID = 0;
    uint32_t dwRowIndex = 0;   // the row's place in the row matrix

    void serialize(std::span<uint8_t> out) const;
    void appendTo(std::vector<uint8_t>& out) const;   // serialize at the end of out
    static TCROWID parse(std::span<const uint8_t> in);
};

}  // namespace pst::disk
