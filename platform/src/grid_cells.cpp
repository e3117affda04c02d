#include "platform/grid_cells.h"

#include <algorithm>
#include <limits>

#include "zentra/error.h"

namespace platform {
namespace {

// A grid holds fewer than 2^32 cells; a larger shape is an overflow, not a wrap.
std::size_t cellCount(int rows, int cols) {
    const std::size_t size = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (size > std::numeric_limits<std::uint32_t>::max()) throw zentra::Error(zentra::kErrOverflow, "Overflow");
    return size;
}

}  // namespace

std::size_t GridCells::slot(int r, int c) const {
    if (r < 0 || r >= rows_ || c < 0 || c >= cols_)
        throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(c);
}

std::string GridCells::get(int r, int c) const {
    const std::uint32_t at = cells_[slot(r, c)];
    return at == kEmpty ? std::string() : paths_->path(at);
}

bool GridCells::isEmpty(int r, int c) const { return cells_[slot(r, c)] == kEmpty; }

bool GridCells::set(int r, int c, std::string_view bytes) {
    std::uint32_t& at = cells_[slot(r, c)];
    if (at == kEmpty) {
        if (bytes.empty()) return false;
    } else {
        // Compared piecewise, as the list keeps them, so an unchanged cell costs no copy.
        const std::string_view folder = paths_->folder(at), name = paths_->name(at);
        if (bytes.size() == folder.size() + name.size() && bytes.starts_with(folder) && bytes.ends_with(name))
            return false;
        --live_;
        at = kEmpty;
    }
    if (!bytes.empty()) {
        at = writableList().add(bytes);
        ++live_;
    }
    collectIfMostlyGarbage();
    return true;
}

void GridCells::forget(std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (cells_[i] != kEmpty) --live_;
}

void GridCells::setRows(int n) {
    n = std::max(n, 0);
    if (n == rows_) return;
    const std::size_t size = cellCount(n, cols_);
    forget(std::min(size, cells_.size()), cells_.size());
    cells_.resize(size, kEmpty);
    if (cells_.capacity() > 4 * cells_.size() + 64) cells_.shrink_to_fit();
    rows_ = n;
    collectIfMostlyGarbage();
}

void GridCells::setCols(int n) {
    n = std::max(n, 0);
    if (n == cols_) return;
    std::vector<std::uint32_t> reshaped(cellCount(rows_, n), kEmpty);
    const int keep = std::min(n, cols_);
    for (int r = 0; r < rows_; ++r) {
        const auto from = cells_.begin() + static_cast<std::ptrdiff_t>(r) * cols_;
        std::copy(from, from + keep, reshaped.begin() + static_cast<std::ptrdiff_t>(r) * n);
        forget(static_cast<std::size_t>(r) * cols_ + keep, static_cast<std::size_t>(r + 1) * cols_);
    }
    cells_ = std::move(reshaped);
    cols_ = n;
    collectIfMostlyGarbage();
}

void GridCells::clear() {
    std::fill(cells_.begin(), cells_.end(), kEmpty);
    live_ = 0;
    paths_ = std::make_shared<zentra::PathList>();
}

zentra::PathList& GridCells::writableList() {
    if (paths_.use_count() > 1) paths_ = std::make_shared<zentra::PathList>(*paths_);
    return *paths_;
}

zentra::PathSequence GridCells::column(int c) const {
    if (c < 0 || c >= cols_) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    std::vector<zentra::PathList::Index> order(static_cast<std::size_t>(rows_));
    for (int r = 0; r < rows_; ++r) {
        const std::uint32_t at = cells_[slot(r, c)];
        order[static_cast<std::size_t>(r)] = at == kEmpty ? zentra::PathSequence::kNone : at;
    }
    return zentra::PathSequence(paths_, std::move(order));
}

void GridCells::collectIfMostlyGarbage() {
    if (live_ == 0) {
        if (!paths_->empty()) paths_ = std::make_shared<zentra::PathList>();
        return;
    }
    // Half the entries dead (and enough of them to be worth a pass): keep only the live ones.
    if (paths_->size() < 2 * live_ + 1024) return;
    auto fresh = std::make_shared<zentra::PathList>();
    for (std::uint32_t& at : cells_)
        if (at != kEmpty) at = fresh->add(paths_->path(at));
    paths_ = std::move(fresh);
}

std::size_t GridCells::bytesHeld() const {
    return cells_.capacity() * sizeof(std::uint32_t) + paths_->bytesHeld();
}

}  // namespace platform
