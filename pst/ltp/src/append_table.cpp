// Append-only table context writer. Layout of what it writes:
//  * heap page 0 starts with the row index's BTHHEADER (HID 0x20, where pst-extractor looks for
//    it) and the TCINFO; both are rewritten by every write;
//  * persistent heap items, in append order: the variable-size cells of each row and every full
//    leaf of the row index (447 records);
//  * draft items, rewritten by every write: the last, partial leaf, the index levels above the
//    leaves, and the row matrix while it fits one heap item (3,580 bytes);
//  * a larger row matrix is subnode 1, in blocks of whole rows; every block but the last is
//    full (padded to 8,176 bytes) and shared once written. Cells too large for a heap item are
//    subnodes of their own, written once.
#include "pst/ltp/append_table.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_map>

#include "growing_heap.h"
#include "hex.h"
#include "pst/core/le_codec.h"
#include "pst/ltp/bth.h"
#include "zentra/error.h"

namespace pst::ltp {

using disk::BTHHEADER;
using disk::BthIndexRecord;
using disk::TCROWID;

namespace {

constexpr size_t kIndexRecordSize = BthIndexRecord::sizeFor(TCROWID::kCbKey);   // row id, HID
// As writeBth splits them: 447 records in a leaf item, 447 index records in an index item.
constexpr size_t kLeafItemBytes = kMaxHeapItem / TCROWID::kSize * TCROWID::kSize;
constexpr size_t kIndexItemBytes = kMaxHeapItem / kIndexRecordSize * kIndexRecordSize;

// The index record of an item of row index records (leaves or index records alike): its first key.
void appendIndexRecord(std::vector<uint8_t>& out, std::span<const uint8_t> item, Hid hid) {
    BthIndexRecord{item.first(TCROWID::kCbKey), hid}.appendTo(out);
}

}  // namespace

struct AppendTable::Impl {
    explicit Impl(const TableLayout& l) : layout(l), heap(disk::kClientSigTable) {}

    struct Cell {
        uint16_t id = 0;
        uint16_t type = 0;
        const ColumnDesc* desc = nullptr;
        bool hnid = false;
    };

    TableLayout layout;
    std::vector<Column> columns;
    std::vector<Cell> cells;   // every column but the row id and version
    std::vector<uint32_t> cellsById;   // indexes into cells in property id order
    GrowingHeap heap;
    Hid bthHeader = 0, tcInfo = 0;
    uint32_t rowsPerBlock = 0;

    size_t rowCount = 0;
    uint32_t lastRowId = 0;
    std::vector<uint8_t> openRows;                     // the rows of the last row-matrix block
    std::vector<std::vector<uint8_t>> fullRowBlocks;   // full blocks not stored yet
    std::vector<Bid> storedRowBlocks;
    std::vector<uint8_t> openLeaf;                     // row index records after the last full leaf
    std::vector<uint8_t> leafIndex;                    // {first row id, HID} of every full leaf

    uint32_t subnodesIssued = 1;                       // subnode 1 is the row matrix
    std::vector<std::pair<Nid, std::vector<uint8_t>>> pendingLarge;
    std::vector<ndb::SubnodeEntry> storedLarge;
    size_t largeHandedOver = 0;                        // stored values whose first reference went out
    const ndb::NodeDatabase* db = nullptr;
    std::vector<uint8_t> row;                          // scratch for appendRow
    std::vector<const Value*> found;                   // scratch for appendRow: each cell's value

    Hnid placeCell(std::span<const uint8_t> bytes);
    Hid writeIndex(GrowingHeap::Draft& draft, uint8_t& levels);
};

AppendTable::AppendTable(const TableLayout& layout) : impl_(std::make_unique<Impl>(layout)) {
    validateLayout(layout);
    Impl& t = *impl_;
    for (const ColumnDesc& c : t.layout.columns) {
        t.columns.push_back({c.tag});
        if (c.tag == kTagLtpRowId || c.tag == kTagLtpRowVer) continue;
        const auto type = static_cast<uint16_t>(c.tag & 0xFFFF);
        t.cells.push_back({static_cast<uint16_t>(c.tag >> 16), type, &c, tableCellIsHnid(type)});
    }
    t.cellsById.resize(t.cells.size());
    std::iota(t.cellsById.begin(), t.cellsById.end(), 0u);
    std::stable_sort(t.cellsById.begin(), t.cellsById.end(),
                     [&t](uint32_t a, uint32_t b) { return t.cells[a].id < t.cells[b].id; });
    t.rowsPerBlock = kMaxBlockData / t.layout.rowSize();
    const std::vector<uint8_t> bthHeader(BTHHEADER::kSize, 0);
    const std::vector<uint8_t> tcInfo(disk::TCINFO::sizeFor(t.layout.columns.size()), 0);
    t.bthHeader = t.heap.allocate(bthHeader);
    t.tcInfo = t.heap.allocate(tcInfo);
}

AppendTable::~AppendTable() = default;

const std::vector<Column>& AppendTable::columns() const { return impl_->columns; }
size_t AppendTable::rowCount() const { return impl_->rowCount; }
size_t AppendTable::heapPagesInMemory() const { return impl_->heap.pagesInMemory(); }

Hnid AppendTable::Impl::placeCell(std::span<const uint8_t> bytes) {
    // Outlook stores an empty string or binary as HNID 0 rather than as an empty heap item.
    if (bytes.empty()) return 0;
    if (bytes.size() <= kMaxHeapItem) return heap.allocate(bytes);
    const Nid nid = makeNid(kNidTypeLtp, ++subnodesIssued);
    pendingLarge.emplace_back(nid, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return nid;
}

void AppendTable::appendRow(uint32_t rowId, uint32_t rowVersion, const PropertyMap& properties) {
    Impl& t = *impl_;
    if (t.rowCount != 0 && rowId <= t.lastRowId)
        throw zentra::Error(zentra::kErrInvalidArgument, "row " + hexString(rowId) + " does not come after row " +
                                                             hexString(t.lastRowId));
    // Each cell's value (of the cell's type), found in one walk along both id-ordered lists
    // rather than a search of the properties per cell.
    std::vector<const Value*>& found = t.found;
    found.assign(t.cells.size(), nullptr);
    auto property = properties.begin();
    for (const uint32_t i : t.cellsById) {
        const Impl::Cell& c = t.cells[i];
        while (property != properties.end() && property->first < c.id) ++property;
        if (property != properties.end() && property->first == c.id && property->second.type == c.type)
            found[i] = &property->second;
    }
    // Checked before anything changes, so a refused row leaves no trace.
    for (size_t i = 0; i < t.cells.size(); ++i) {
        const Impl::Cell& c = t.cells[i];
        if (!c.hnid && found[i] && found[i]->bytes.size() != c.desc->cbData)
            throw zentra::Error(zentra::kErrInvalidArgument, "table cell " + hexString(c.desc->tag) + " needs " +
                                                                 std::to_string(c.desc->cbData) + " bytes, got " +
                                                                 std::to_string(found[i]->bytes.size()));
    }
    std::vector<uint8_t>& row = t.row;
    row.assign(t.layout.rowSize(), 0);
    uint8_t* ceb = row.data() + t.layout.cebOffset();
    // In column order: the variable-size cells take their heap items in that order.
    for (size_t i = 0; i < t.cells.size(); ++i) {
        const Impl::Cell& c = t.cells[i];
        if (!found[i]) continue;
        if (c.hnid) core::writeLe32(row, c.desc->ibData, t.placeCell(found[i]->bytes));
        else std::copy(found[i]->bytes.begin(), found[i]->bytes.end(), row.begin() + c.desc->ibData);
        setCellExists(ceb, c.desc->iBit);
    }
    // Every row starts with dwRowID and the row version, the cells of PidTagLtpRowId and PidTagLtpRowVer.
    core::writeLe32(row, 0, rowId);
    core::writeLe32(row, 4, rowVersion);
    setCellExists(ceb, 0);
    setCellExists(ceb, 1);

    // A block is closed only when a row no longer fits, so the last block is never padded.
    if (t.openRows.size() == size_t{t.rowsPerBlock} * row.size()) {
        t.openRows.resize(kMaxBlockData, 0);
        t.fullRowBlocks.push_back(std::move(t.openRows));
        t.openRows = {};
    }
    t.openRows.insert(t.openRows.end(), row.begin(), row.end());

    TCROWID{rowId, static_cast<uint32_t>(t.rowCount)}.appendTo(t.openLeaf);
    if (t.openLeaf.size() == kLeafItemBytes) {
        appendIndexRecord(t.leafIndex, t.openLeaf, t.heap.allocate(t.openLeaf));
        t.openLeaf.clear();
    }
    ++t.rowCount;
    t.lastRowId = rowId;
}

// The row index above the full leaves: the open leaf and every index level, as draft items.
// Returns the root (0 for no rows) and sets the number of index levels.
Hid AppendTable::Impl::writeIndex(GrowingHeap::Draft& draft, uint8_t& levels) {
    levels = 0;
    std::vector<uint8_t> upper = leafIndex;
    if (!openLeaf.empty()) appendIndexRecord(upper, openLeaf, draft.allocate(openLeaf));
    if (upper.empty()) return 0;
    // Each pass adds one intermediate level until a single item holds the top of the tree.
    while (upper.size() > kIndexRecordSize) {
        std::vector<uint8_t> next;
        for (size_t first = 0; first < upper.size(); first += kIndexItemBytes) {
            const size_t n = std::min(kIndexItemBytes, upper.size() - first);
            const auto item = std::span<const uint8_t>(upper).subspan(first, n);
            appendIndexRecord(next, item, draft.allocate(item));
        }
        upper = std::move(next);
        ++levels;
    }
    return BthIndexRecord::parse(upper, TCROWID::kCbKey).hidNextLevel;
}

BuiltNode AppendTable::write(ndb::NodeDatabase& db) {
    Impl& t = *impl_;
    if (t.db && t.db != &db)
        throw zentra::Error(zentra::kErrInvalidArgument, "an append-only table is written to one database only");
    t.db = &db;

    BuiltNode built;
    // Values too large for the heap: written once, then shared (one more reference each time).
    for (auto& [nid, bytes] : t.pendingLarge) t.storedLarge.push_back({nid, db.writeData(bytes), 0});
    t.pendingLarge.clear();
    for (size_t i = 0; i < t.largeHandedOver; ++i) db.addRef(t.storedLarge[i].data);
    t.largeHandedOver = t.storedLarge.size();

    GrowingHeap::Draft draft = t.heap.draft();
    Hnid rows = 0;
    const size_t matrixBytes = t.rowCount * t.layout.rowSize();
    if (t.rowCount != 0 && matrixBytes <= kMaxHeapItem) {
        rows = draft.allocate(t.openRows);
    } else if (t.rowCount != 0) {
        std::vector<ndb::NodeDatabase::Leaf> leaves;
        leaves.reserve(t.storedRowBlocks.size() + t.fullRowBlocks.size() + 1);
        for (Bid bid : t.storedRowBlocks) leaves.push_back({bid, {}});
        for (const auto& block : t.fullRowBlocks) leaves.push_back({0, block});
        if (!t.openRows.empty()) leaves.push_back({0, t.openRows});
        const Bid matrix = db.writeBlocksReusing(leaves);
        const size_t firstNew = t.storedRowBlocks.size();
        for (size_t i = 0; i < t.fullRowBlocks.size(); ++i) t.storedRowBlocks.push_back(leaves[firstNew + i].existing);
        t.fullRowBlocks.clear();
        rows = makeNid(kNidTypeLtp, 1);
        built.subnodes.push_back({rows, matrix, 0});
    }

    uint8_t levels = 0;
    const Hid root = t.writeIndex(draft, levels);
    BTHHEADER header;
    header.cbKey = TCROWID::kCbKey;
    header.cbEnt = TCROWID::kCbEnt;
    header.bIdxLevels = levels;
    header.hidRoot = root;
    header.serialize(draft.item(t.bthHeader));

    TcInfo info;
    info.layout = t.layout;
    info.hidRowIndex = t.bthHeader;
    info.hnidRows = rows;
    const std::vector<uint8_t> tcInfo = encodeTcInfo(info);
    std::span<uint8_t> tcInfoItem = draft.item(t.tcInfo);
    std::copy(tcInfo.begin(), tcInfo.end(), tcInfoItem.begin());

    built.data = t.heap.write(db, draft, t.tcInfo);
    built.subnodes.insert(built.subnodes.end(), t.storedLarge.begin(), t.storedLarge.end());
    return built;
}

}  // namespace pst::ltp
