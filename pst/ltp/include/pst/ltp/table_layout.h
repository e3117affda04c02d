#pragma once
// The row layout of a table context ([MS-PST] 2.3.4): where each column's cell lies in a row
// (its TCOLDESC) and the TCINFO header built from it. Pure functions, shared by the table
// writer and reader; the stored records are defined in pst/disk/table_context.h.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pst/core/types.h"
#include "pst/disk/table_context.h"

namespace pst::ltp {

struct Column;

constexpr uint32_t kTagLtpRowId = 0x67F20003;    // PidTagLtpRowId, PtypInteger32
constexpr uint32_t kTagLtpRowVer = 0x67F30003;   // PidTagLtpRowVer, PtypInteger32
using ColumnDesc = disk::TCOLDESC;

struct TableLayout {
    std::vector<ColumnDesc> columns;   // sorted by tag, as TCOLDESCs are stored
    std::array<uint16_t, 4> rgib{};    // TCI_4b, TCI_2b, TCI_1b, TCI_bm (= row size)
    uint32_t rowSize() const { return rgib[disk::TCI_bm]; }
    uint32_t cebOffset() const { return rgib[disk::TCI_1b]; }
};

// Width of a cell of this type in a row: 8 (Integer64, Time, Floating64, Currency), 4 (Integer32,
// Floating32, ErrorCode, and the HNID of every variable-size type, Guid included), 2 (Integer16)
// or 1 (Boolean).
uint32_t tableCellSize(uint16_t type);
// Whether the cell holds an HNID to the value rather than the value itself.
bool tableCellIsHnid(uint16_t type);

// Lays out the columns: PidTagLtpRowId at offset 0 / bit 0, PidTagLtpRowVer at offset 4 / bit 1
// (both added when missing), then the 8-byte, 4-byte, 2-byte and 1-byte cells, then the CEB.
// Throws kErrInvalidArgument for more than 255 columns or one property id with two types.
TableLayout layoutTable(const std::vector<Column>& columns);

// Checks a layout given from outside: row id and version in their fixed places, tags sorted,
// widths matching types, every cell inside its group without overlap, distinct CEB bits that
// fit the CEB. Throws zentra::Error(kErrInvalidArgument) naming the first problem.
void validateLayout(const TableLayout& layout);

struct TcInfo {
    TableLayout layout;
    Hid hidRowIndex = 0;
    Hnid hnidRows = 0;
};
// The stored TCINFO, disk::TCINFO::sizeFor(columns) bytes.
std::vector<uint8_t> encodeTcInfo(const TcInfo& info);
// Throws kErrStoreCorrupt when the header is malformed or its columns do not fit the row.
TcInfo decodeTcInfo(std::span<const uint8_t> bytes);

// The CEB bit for iBit, most significant bit first.
inline bool cellExists(const uint8_t* ceb, uint32_t iBit) { return ceb[iBit / 8] & (0x80 >> (iBit % 8)); }
inline void setCellExists(uint8_t* ceb, uint32_t iBit) { ceb[iBit / 8] |= static_cast<uint8_t>(0x80 >> (iBit % 8)); }

}  // namespace pst::ltp
