// Table context writer ([MS-PST] 2.3.4). Rows are encoded when they are set, so a write only
// copies finished row bytes into blocks and places the variable-size cells: O(rows) with small
// constants. A table written again unchanged shares its previous trees instead.
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>

#include "hex.h"
#include "pst/core/le_codec.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"
#include "value_store.h"
#include "zentra/error.h"

namespace pst::ltp {

struct Table::Impl {
    struct Row {
        uint32_t id = 0;
        std::vector<uint8_t> fixed;   // the whole row; HNID cells are filled in at write time
        std::vector<std::pair<uint16_t, std::vector<uint8_t>>> variable;   // ibData -> stored value
    };
    struct Written {
        // The database is recognised by address and file path together, so a later database
        // that happens to reuse the address of a closed one is not mistaken for it.
        const ndb::NodeDatabase* db = nullptr;
        std::string path;
        uint64_t version = 0;
        uint32_t nidsBefore = 0, nidsAfter = 0;
        BuiltNode built;
    };

    TableLayout layout;
    std::vector<Column> columns;                       // in TCOLDESC order
    std::unordered_map<uint32_t, size_t> columnByTag;  // tag -> index in layout.columns
    std::vector<Row> rows;                             // in row-matrix order
    std::unordered_map<uint32_t, size_t> slotById;
    uint32_t nextRowVersion = 1;
    uint64_t version = 0;                              // bumped by every change
    std::optional<Written> written;
};

std::shared_ptr<Table::Impl> Table::makeImpl(const TableLayout& layout) {
    validateLayout(layout);
    auto impl = std::make_shared<Table::Impl>();
    impl->layout = layout;
    for (size_t i = 0; i < layout.columns.size(); ++i) {
        impl->columns.push_back({layout.columns[i].tag});
        impl->columnByTag.emplace(layout.columns[i].tag, i);
    }
    return impl;
}

Table::Table(std::vector<Column> columns) : impl_(makeImpl(layoutTable(columns))) {}
Table::Table(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
Table Table::withLayout(const TableLayout& layout) { return Table(makeImpl(layout)); }

const std::vector<Column>& Table::columns() const { return impl_->columns; }
size_t Table::rowCount() const { return impl_->rows.size(); }
bool Table::hasRow(uint32_t rowId) const { return impl_->slotById.count(rowId) != 0; }

void Table::setRow(uint32_t rowId, const std::map<uint32_t, Value>& cells) {
    if (impl_.use_count() > 1) impl_ = std::make_shared<Impl>(*impl_);   // copies do not share rows
    Impl& t = *impl_;
    Impl::Row row;
    row.id = rowId;
    row.fixed.assign(t.layout.rowSize(), 0);
    uint8_t* ceb = row.fixed.data() + t.layout.cebOffset();
    uint32_t rowVersion = t.nextRowVersion++;
    for (const auto& [tag, value] : cells) {
        auto it = t.columnByTag.find(tag);
        if (it == t.columnByTag.end() || tag == kTagLtpRowId) continue;
        const ColumnDesc& column = t.layout.columns[it->second];
        if (tag == kTagLtpRowVer) {
            if (value.bytes.size() == 4) rowVersion = core::readLe32(value.bytes, 0);
            continue;
        }
        if (tableCellIsHnid(static_cast<uint16_t>(tag))) {
            row.variable.emplace_back(column.ibData, value.bytes);
        } else if (value.bytes.size() == column.cbData) {
            std::copy(value.bytes.begin(), value.bytes.end(), row.fixed.begin() + column.ibData);
        } else {
            throw zentra::Error(zentra::kErrInvalidArgument,
                                "table cell " + hexString(tag) + " needs " + std::to_string(column.cbData) +
                                    " bytes, got " + std::to_string(value.bytes.size()));
        }
        setCellExists(ceb, column.iBit);
    }
    // Every row starts with dwRowID and the row version, the cells of PidTagLtpRowId and PidTagLtpRowVer.
    core::writeLe32(row.fixed, 0, rowId);
    core::writeLe32(row.fixed, 4, rowVersion);
    setCellExists(ceb, 0);
    setCellExists(ceb, 1);

    auto [it, inserted] = t.slotById.emplace(rowId, t.rows.size());
    if (inserted) t.rows.push_back(std::move(row));
    else t.rows[it->second] = std::move(row);
    ++t.version;
}

void Table::removeRow(uint32_t rowId) {
    if (!hasRow(rowId)) return;
    if (impl_.use_count() > 1) impl_ = std::make_shared<Impl>(*impl_);
    Impl& t = *impl_;
    auto it = t.slotById.find(rowId);
    size_t slot = it->second;
    t.slotById.erase(it);
    // The row matrix is unordered; the last row moves into the gap.
    if (slot + 1 != t.rows.size()) {
        t.rows[slot] = std::move(t.rows.back());
        t.slotById[t.rows[slot].id] = slot;
    }
    t.rows.pop_back();
    ++t.version;
}

void Table::forgetWrittenTrees() {
    if (impl_.use_count() > 1) impl_ = std::make_shared<Impl>(*impl_);
    impl_->written.reset();
}

namespace {

// Shares a previous result: one more reference to each of its trees.
BuiltNode share(ndb::NodeDatabase& db, const BuiltNode& built) {
    std::vector<Bid> taken;
    try {
        db.addRef(built.data);
        taken.push_back(built.data);
        for (const ndb::SubnodeEntry& e : built.subnodes) {
            for (Bid b : {e.data, e.subnodes}) {
                if (!b) continue;
                db.addRef(b);
                taken.push_back(b);
            }
        }
    } catch (...) {
        // A refusal by a database that already failed must not hide the original error.
        try {
            for (Bid b : taken) db.release(b);
        } catch (...) {
        }
        throw;
    }
    return built;
}

}  // namespace

BuiltNode Table::write(ndb::NodeDatabase& db, SubnodeNids& nids) const {
    Impl& t = *impl_;
    if (t.written && t.written->db == &db && t.written->path == db.path() && t.written->version == t.version &&
        t.written->nidsBefore == nids.index_) {
        BuiltNode shared = share(db, t.written->built);
        nids.index_ = t.written->nidsAfter;
        return shared;
    }
    const uint32_t nidsBefore = nids.index_;
    const TableLayout& layout = t.layout;
    const uint32_t rowSize = layout.rowSize();
    const size_t rowCount = t.rows.size();

    HeapBuilder heap(disk::kClientSigTable);
    TcInfo info;
    info.layout = layout;
    // Outlook puts the row index's BTH header first (HID 0x20) and the TCINFO after it;
    // pst-extractor reads the header at 0x20 and loops forever on any other layout.
    Hid rowIndexHid = heap.reserve(disk::BTHHEADER::kSize);
    Hid tcInfoHid = heap.reserve(static_cast<uint32_t>(disk::TCINFO::sizeFor(layout.columns.size())));
    ValuePlacer placer(db, heap, nids);

    // Rows go to the heap while they fit one item, otherwise to a subnode whose blocks are all
    // 8,176 bytes but the last, each holding whole rows only.
    const bool rowsInHeap = rowCount * rowSize <= kMaxHeapItem;
    const size_t rowsPerBlock = rowsInHeap ? std::max<size_t>(rowCount, 1) : kMaxBlockData / rowSize;
    std::vector<std::vector<uint8_t>> blocks;
    Hid heapRows = 0;
    if (rowCount && rowsInHeap) heapRows = heap.reserve(static_cast<uint32_t>(rowCount * rowSize));
    if (!rowsInHeap) {
        blocks.resize((rowCount + rowsPerBlock - 1) / rowsPerBlock);
        for (size_t b = 0; b < blocks.size(); ++b) {
            size_t rowsHere = std::min(rowsPerBlock, rowCount - b * rowsPerBlock);
            blocks[b].assign(b + 1 < blocks.size() ? kMaxBlockData : rowsHere * rowSize, 0);
        }
    }
    auto rowAt = [&](size_t i) {
        return rowsInHeap ? heap.item(heapRows).subspan(i * rowSize, rowSize)
                          : std::span<uint8_t>(blocks[i / rowsPerBlock]).subspan((i % rowsPerBlock) * rowSize, rowSize);
    };
    for (size_t i = 0; i < rowCount; ++i) {
        const Impl::Row& row = t.rows[i];
        std::span<uint8_t> dest = rowAt(i);
        std::copy(row.fixed.begin(), row.fixed.end(), dest.begin());
        for (const auto& [ibData, bytes] : row.variable) {
            Hnid hnid = placer.place(bytes);
            // The heap may have grown; re-resolve a heap row before writing into it.
            if (rowsInHeap) dest = rowAt(i);
            core::writeLe32(dest, ibData, hnid);
        }
    }
    if (rowCount) info.hnidRows = rowsInHeap ? heapRows : placer.adoptSubnode(db.writeBlocks(blocks));

    std::vector<std::pair<uint32_t, uint32_t>> index;
    index.reserve(rowCount);
    for (size_t i = 0; i < rowCount; ++i) index.emplace_back(t.rows[i].id, static_cast<uint32_t>(i));
    std::sort(index.begin(), index.end());
    using disk::TCROWID;
    std::vector<uint8_t> records(index.size() * TCROWID::kSize);
    for (size_t i = 0; i < index.size(); ++i)
        TCROWID{index[i].first, index[i].second}.serialize(std::span(records).subspan(TCROWID::kSize * i));
    info.hidRowIndex = writeBth(heap, TCROWID::kCbKey, TCROWID::kCbEnt, records, rowIndexHid);

    std::vector<uint8_t> tcInfo = encodeTcInfo(info);
    std::copy(tcInfo.begin(), tcInfo.end(), heap.item(tcInfoHid).begin());
    heap.setUserRoot(tcInfoHid);

    BuiltNode built;
    built.data = db.writeBlocks(heap.finish());
    built.subnodes = placer.take();
    t.written = Impl::Written{&db, db.path(), t.version, nidsBefore, nids.index_, built};
    return built;
}

}  // namespace pst::ltp
