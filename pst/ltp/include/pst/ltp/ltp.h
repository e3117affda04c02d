#pragma once
// The lists, tables and properties layer ([MS-PST] 2.3): heap-on-node, BTree-on-heap,
// property contexts and table contexts, written through the node database.
//
// Values are carried in their stored form: `bytes` holds exactly what [MS-PST] stores for the
// type (little-endian integers, UTF-16LE strings without terminator, the multi-valued layouts
// of 2.3.3.4). The builders decide where each value goes (inline, heap, subnode) by its size.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/value.h"
#include "pst/core/types.h"
#include "pst/ltp/property_map.h"
#include "pst/ndb/node_database.h"

namespace pst::ltp {

// Property types and values are the MAPI vocabulary's (mapi/value.h), in the stored form this
// layer writes.
using mapi::PropType;
using enum mapi::PropType;
using mapi::Value;
using mapi::binaryValue;
using mapi::boolValue;
using mapi::float64Value;
using mapi::guidValue;
using mapi::int16Value;
using mapi::int32Value;
using mapi::int64Value;
using mapi::multiBinaryValue;
using mapi::multiInt32Value;
using mapi::multiStringValue;
using mapi::stringValue;
using mapi::timeValue;

using PropertyMap = SortedIdMap<Value>;   // property id -> value (tag = id << 16 | type)

// Hands out subnode NIDs (NID_TYPE_LTP) unique within one node.
class SubnodeNids {
public:
    Nid next();
    // How many ids were handed out; an id is never reused while this only grows.
    uint32_t issued() const { return index_; }
private:
    friend class Table;   // a table that shares its previous trees skips the ids they use

    uint32_t index_ = 0;
};

// What building a property or table context produced: the node's data tree (reference owned
// by the holder) and the subnodes its large values went into (to be placed into the node's
// subnode tree, alongside any further subnodes the caller adds).
struct BuiltNode {
    Bid data = 0;
    std::vector<ndb::SubnodeEntry> subnodes;
};

// Writes a property context holding exactly these properties.
BuiltNode writePropertyContext(ndb::NodeDatabase& db, const PropertyMap& props, SubnodeNids& nids);

// A table context: fixed columns, rows keyed by a row id (dwRowID), kept in memory between writes.
// PidTagLtpRowId (0x67F2) and PidTagLtpRowVer (0x67F3) are always columns, with CEB bits 0 and 1
// at row offsets 0 and 4. A row's version is the PidTagLtpRowVer value passed to setRow, or else
// a per-table counter. Copies of a Table are independent (copy on write).
struct Column {
    uint32_t tag = 0;    // id << 16 | type
};

struct TableLayout;

class Table {
public:
    explicit Table(std::vector<Column> columns);   // laid out by layoutTable()
    // A table with exactly this row layout (e.g. the offsets and bits Outlook uses for a table
    // template); throws kErrInvalidArgument unless it is a valid layout (see validateLayout).
    static Table withLayout(const TableLayout& layout);
    const std::vector<Column>& columns() const;   // every column, in tag (TCOLDESC) order

    // Inserts or replaces the row with this id; values for tags that are not columns are ignored,
    // columns without a value read as absent (cell-existence bit clear).
    void setRow(uint32_t rowId, const std::map<uint32_t, Value>& cells);
    void removeRow(uint32_t rowId);
    size_t rowCount() const;
    bool hasRow(uint32_t rowId) const;

    // Writes the table. When nothing changed since the previous write to the same database,
    // and `nids` is in the state it was in then, the previous trees are shared (addRef) instead
    // of written again; that requires the previous result to be still referenced (normally by
    // the node it was put into). Call forgetWrittenTrees() when that node was removed.
    BuiltNode write(ndb::NodeDatabase& db, SubnodeNids& nids) const;
    void forgetWrittenTrees();

private:
    struct Impl;
    explicit Table(std::shared_ptr<Impl> impl);
    static std::shared_ptr<Impl> makeImpl(const TableLayout& layout);
    std::shared_ptr<Impl> impl_;
};

// Readers, used by the engine's tests and by anything that must look at a stored node. They
// throw zentra::Error(kErrStoreCorrupt) for malformed nodes. Empty variable-size values (stored
// as HNID 0) read as empty bytes.
PropertyMap readPropertyContext(ndb::NodeDatabase& db, Bid data, Bid subnodes);
struct TableContents {
    std::vector<Column> columns;
    // Sorted by row id, as the row index holds them; every existing cell, row id and version included.
    std::vector<std::pair<uint32_t, std::map<uint32_t, Value>>> rows;
};
TableContents readTableContext(ndb::NodeDatabase& db, Bid data, Bid subnodes);

}  // namespace pst::ltp
