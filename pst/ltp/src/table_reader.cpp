// Table context reader ([MS-PST] 2.3.4): TCINFO, the row index and the row matrix, with every
// existing cell resolved to its stored value.
#include <string>

#include "hex.h"
#include "pst/core/le_codec.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"
#include "value_store.h"
#include "zentra/error.h"

namespace pst::ltp {
namespace {

[[noreturn]] void corrupt(const std::string& what) {
    throw zentra::Error(zentra::kErrStoreCorrupt, "table context: " + what);
}

}  // namespace

TableContents readTableContext(ndb::NodeDatabase& db, Bid data, Bid subnodes) {
    HeapReader heap(db.readBlocks(data));
    if (heap.clientSig() != disk::kClientSigTable)
        corrupt("client signature " + hexString(heap.clientSig()) + " is not 0x7C");
    ValueSource source(db, heap, subnodes);
    TcInfo info = decodeTcInfo(heap.item(heap.userRoot()));
    const uint32_t rowSize = info.layout.rowSize();
    if (rowSize == 0) corrupt("row size 0");

    TableContents contents;
    for (const ColumnDesc& c : info.layout.columns) contents.columns.push_back({c.tag});

    using disk::TCROWID;
    std::vector<uint8_t> index = readBthRecords(heap, info.hidRowIndex, TCROWID::kCbKey, TCROWID::kCbEnt);
    if (index.empty()) return contents;
    if (info.hnidRows == 0) corrupt("row index without rows");

    // The row matrix: one heap item, or the blocks of a subnode (whole rows per block).
    std::vector<std::vector<uint8_t>> blocks;
    size_t rowsPerBlock;
    if (disk::hnidIsHid(info.hnidRows)) {
        std::span<const uint8_t> item = heap.item(info.hnidRows);
        blocks.emplace_back(item.begin(), item.end());
        rowsPerBlock = item.size() / rowSize;
    } else {
        blocks = source.readSubnodeBlocks(info.hnidRows);
        rowsPerBlock = kMaxBlockData / rowSize;
    }

    for (size_t off = 0; off < index.size(); off += TCROWID::kSize) {
        const TCROWID rowId = TCROWID::parse(std::span(index).subspan(off, TCROWID::kSize));
        const uint32_t rowIndex = rowId.dwRowIndex;
        size_t block = rowsPerBlock ? rowIndex / rowsPerBlock : blocks.size();
        size_t start = rowsPerBlock ? (rowIndex % rowsPerBlock) * rowSize : 0;
        if (block >= blocks.size() || start + rowSize > blocks[block].size())
            corrupt("row " + std::to_string(rowIndex) + " lies outside the row matrix");
        const std::span<const uint8_t> row = std::span<const uint8_t>(blocks[block]).subspan(start, rowSize);
        const uint8_t* ceb = row.data() + info.layout.cebOffset();

        std::map<uint32_t, Value> cells;
        for (const ColumnDesc& c : info.layout.columns) {
            if (!cellExists(ceb, c.iBit)) continue;
            Value value;
            value.type = static_cast<uint16_t>(c.tag);
            if (tableCellIsHnid(value.type)) {
                if (c.cbData != 4) corrupt("HNID cell of width " + std::to_string(c.cbData));
                value.bytes = source.read(core::readLe32(row, c.ibData));
            } else {
                const auto cell = row.subspan(c.ibData, c.cbData);
                value.bytes.assign(cell.begin(), cell.end());
            }
            cells.emplace(c.tag, std::move(value));
        }
        contents.rows.emplace_back(rowId.dwRowID, std::move(cells));
    }
    return contents;
}

}  // namespace pst::ltp
