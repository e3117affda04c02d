#pragma once
// The cells of a flexible grid, kept as exact bytes in little memory: a row-major table of
// 32-bit references into one zentra::PathList. A listed file costs four bytes here plus its
// entry there (its name and eight bytes; the folder part is shared), an empty cell only its
// four bytes, so a million-row file list takes a few dozen megabytes. Both grids (the window's
// model and the memory grid) keep their cells here, so they hold them alike.
//
// The path list is append-only: a cell that is overwritten or dropped leaves its old bytes
// behind. Once they outweigh the cells still in use, the live cells are copied into a fresh
// list, so a grid that is rewritten many times does not grow without bound.
//
// A column can be handed out (to the import's queue, read on another thread) sharing the list:
// while it is shared, the grid copies the list before changing it, so the column never changes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zentra/path_list.h"

namespace platform {

class GridCells {
public:
    // One row, one column, one empty cell: the grid as it is laid out.
    GridCells() = default;

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    // A count below 0 counts as 0. Rows added are empty; rows dropped lose their cells.
    void setRows(int n);
    // Each row keeps its first min(old, new) cells; added columns are empty.
    void setCols(int n);

    // Cells outside the grid raise kErrSubscriptOutOfRange.
    std::string get(int r, int c) const;
    bool isEmpty(int r, int c) const;
    // False when the cell already held exactly these bytes (nothing was stored).
    bool set(int r, int c, std::string_view bytes);
    // Every cell empty; the rows and columns stay.
    void clear();
    // The paths of column c row by row, sharing this grid's list (kErrSubscriptOutOfRange
    // outside the columns).
    zentra::PathSequence column(int c) const;

    // Heap bytes held, for benchmarks and the memory tests.
    std::size_t bytesHeld() const;

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    std::size_t slot(int r, int c) const;
    void forget(std::size_t from, std::size_t to);   // cells [from, to) stop being in use
    void collectIfMostlyGarbage();
    zentra::PathList& writableList();   // the list, copied first if a column shares it

    int rows_ = 1;
    int cols_ = 1;
    std::vector<std::uint32_t> cells_ = std::vector<std::uint32_t>(1, kEmpty);
    std::shared_ptr<zentra::PathList> paths_ = std::make_shared<zentra::PathList>();
    std::size_t live_ = 0;   // cells that are not empty
};

}  // namespace platform
