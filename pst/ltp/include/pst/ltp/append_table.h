#pragma once
// A table context ([MS-PST] 2.3.4) that only grows: rows are appended in ascending row-id order
// and never change. Made for the contents table of a folder that receives many thousands of
// messages and is written at every commit: a write shares every block an earlier write stored
// that is still exact (full heap pages, full row-matrix blocks, large values) and writes only
// the rest, so a commit costs time in proportion to the rows added since the last one, and the
// table holds in memory only its open pages plus a few bytes per stored block.
//
// The blocks are shared by reference from the tree the previous write returned, so that tree
// must still be referenced when the next write runs (as it is while it stays the table's node:
// the caller puts the new tree in its place only afterwards). All writes go to one database.
#include <cstdint>
#include <memory>
#include <vector>

#include "pst/ltp/ltp.h"
#include "pst/ltp/table_layout.h"

namespace pst::ltp {

class AppendTable {
public:
    // Throws kErrInvalidArgument unless the layout is valid (see validateLayout).
    explicit AppendTable(const TableLayout& layout);
    ~AppendTable();
    AppendTable(const AppendTable&) = delete;
    AppendTable& operator=(const AppendTable&) = delete;

    const std::vector<Column>& columns() const;   // every column, in tag (TCOLDESC) order
    size_t rowCount() const;

    // Appends a row whose cells are the object's properties that match a column in id and
    // type; the other properties are ignored, columns without one read as absent. rowId must
    // be greater than every row id before it. Throws kErrInvalidArgument (and appends nothing)
    // for a smaller row id or a fixed-size value of the wrong width.
    void appendRow(uint32_t rowId, uint32_t rowVersion, const PropertyMap& properties);

    // Writes the table; the caller owns one reference to the data tree and to each subnode.
    BuiltNode write(ndb::NodeDatabase& db);

    // What the table keeps in memory, for tests and benchmarks: heap pages not yet shared.
    size_t heapPagesInMemory() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pst::ltp
