// Column layout and TCINFO of a table context ([MS-PST] 2.3.4.1, 2.3.4.2, 2.3.4.4).
#include "pst/ltp/table_layout.h"

#include <algorithm>
#include <map>
#include <string>

#include "hex.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/values.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

[[noreturn]] void corrupt(const std::string& what) {
    throw zentra::Error(zentra::kErrStoreCorrupt, "table context: " + what);
}

}  // namespace

uint32_t tableCellSize(uint16_t type) {
    if (tableCellIsHnid(type)) return 4;
    return fixedValueSize(type);
}

bool tableCellIsHnid(uint16_t type) {
    uint32_t size = fixedValueSize(type);
    return size == 0 || size > 8;   // variable-size types and Guid
}

TableLayout layoutTable(const std::vector<Column>& columns) {
    std::map<uint16_t, uint32_t> byId;   // property id -> tag, without the row id and version
    for (const Column& column : columns) {
        uint16_t id = static_cast<uint16_t>(column.tag >> 16);
        if (id == (kTagLtpRowId >> 16) || id == (kTagLtpRowVer >> 16)) continue;
        auto [it, inserted] = byId.emplace(id, column.tag);
        if (!inserted && it->second != column.tag)
            throw zentra::Error(zentra::kErrInvalidArgument, "table column id " + hexString(id) + " has two types");
    }
    if (byId.size() + 2 > 255) throw zentra::Error(zentra::kErrInvalidArgument, "a table holds at most 255 columns");

    TableLayout layout;
    layout.columns.push_back({kTagLtpRowId, 0, 4, 0});
    layout.columns.push_back({kTagLtpRowVer, 4, 4, 1});
    uint32_t offset = 8;
    uint8_t bit = 2;
    // Widest cells first keeps every 8-byte cell 8-aligned after the two fixed 4-byte cells.
    for (uint32_t width : {8u, 4u, 2u, 1u}) {
        for (const auto& [id, tag] : byId) {
            if (tableCellSize(static_cast<uint16_t>(tag)) != width) continue;
            layout.columns.push_back({tag, static_cast<uint16_t>(offset), static_cast<uint8_t>(width), bit++});
            offset += width;
        }
        if (width == 4) layout.rgib[0] = static_cast<uint16_t>(offset);
        if (width == 2) layout.rgib[1] = static_cast<uint16_t>(offset);
        if (width == 1) layout.rgib[2] = static_cast<uint16_t>(offset);
    }
    layout.rgib[3] = static_cast<uint16_t>(offset + (layout.columns.size() + 7) / 8);
    std::sort(layout.columns.begin(), layout.columns.end(),
              [](const ColumnDesc& a, const ColumnDesc& b) { return a.tag < b.tag; });
    return layout;
}

void validateLayout(const TableLayout& layout) {
    auto invalid = [](const std::string& what) {
        throw zentra::Error(zentra::kErrInvalidArgument, "table layout: " + what);
    };
    const auto& cols = layout.columns;
    const auto& rgib = layout.rgib;
    if (cols.size() > 255) invalid("more than 255 columns");
    if (!(rgib[0] <= rgib[1] && rgib[1] <= rgib[2] && rgib[2] <= rgib[3]))
        invalid("group offsets out of order");
    if (static_cast<size_t>(rgib[3] - rgib[2]) < (cols.size() + 7) / 8) invalid("CEB too small for the columns");
    std::vector<bool> usedBytes(rgib[2], false), usedBits(8u * (rgib[3] - rgib[2]), false);
    bool rowId = false, rowVer = false;
    for (size_t i = 0; i < cols.size(); ++i) {
        const ColumnDesc& c = cols[i];
        const std::string name = "column " + hexString(c.tag);
        if (i > 0 && cols[i - 1].tag >= c.tag) invalid("columns not sorted by tag");
        if (c.cbData != tableCellSize(static_cast<uint16_t>(c.tag))) invalid(name + " has the wrong width");
        uint32_t groupStart = c.cbData >= 4 ? 0 : c.cbData == 2 ? rgib[0] : rgib[1];
        uint32_t groupEnd = c.cbData >= 4 ? rgib[0] : c.cbData == 2 ? rgib[1] : rgib[2];
        if (c.ibData < groupStart || c.ibData + c.cbData > groupEnd) invalid(name + " lies outside its group");
        for (uint32_t b = c.ibData; b < c.ibData + c.cbData; ++b) {
            if (usedBytes[b]) invalid(name + " overlaps another column");
            usedBytes[b] = true;
        }
        if (c.iBit >= usedBits.size() || usedBits[c.iBit]) invalid(name + " has a CEB bit out of range or taken");
        usedBits[c.iBit] = true;
        if (c.tag == kTagLtpRowId) rowId = c.ibData == 0 && c.iBit == 0;
        if (c.tag == kTagLtpRowVer) rowVer = c.ibData == 4 && c.iBit == 1;
    }
    if (!rowId || !rowVer) invalid("PidTagLtpRowId and PidTagLtpRowVer must sit at offsets 0 and 4, bits 0 and 1");
}

std::vector<uint8_t> encodeTcInfo(const TcInfo& info) {
    disk::TCINFO t;
    t.rgib = info.layout.rgib;
    t.hidRowIndex = info.hidRowIndex;
    t.hnidRows = info.hnidRows;
    t.rgTCOLDESC = info.layout.columns;
    std::vector<uint8_t> out(disk::TCINFO::sizeFor(t.rgTCOLDESC.size()));
    t.serialize(out);
    return out;
}

TcInfo decodeTcInfo(std::span<const uint8_t> bytes) {
    disk::TCINFO t;
    try {
        t = disk::TCINFO::parse(bytes);
    } catch (const zentra::Error& e) {
        throw e.withContext("table context: TCINFO");
    }
    if (t.bType != disk::kClientSigTable) corrupt("TCINFO type is not 0x7C");
    TcInfo info;
    info.layout.rgib = t.rgib;
    info.hidRowIndex = t.hidRowIndex;
    info.hnidRows = t.hnidRows;
    const auto& rgib = t.rgib;
    if (!(rgib[0] <= rgib[1] && rgib[1] <= rgib[2] && rgib[2] <= rgib[3]) || rgib[3] < rgib[2] + (t.cCols + 7) / 8)
        corrupt("TCINFO group offsets out of order");
    for (const ColumnDesc& c : t.rgTCOLDESC) {
        if (c.ibData + c.cbData > rgib[2] || c.iBit >= 8u * (rgib[3] - rgib[2])) corrupt("column outside the row");
        if (!info.layout.columns.empty() && info.layout.columns.back().tag >= c.tag) corrupt("columns not sorted by tag");
        info.layout.columns.push_back(c);
    }
    return info;
}

}  // namespace pst::ltp
