#include <algorithm>

#include "platform/memory_controls.h"
#include "zentra/error.h"

namespace platform {

void MemoryGrid::setRows(int n) {
    cells_.setRows(n);
    clampCurrent();
}

void MemoryGrid::setCols(int n) {
    cells_.setCols(n);
    widths_.resize(static_cast<std::size_t>(cols()), kDefaultWidth);
    clampCurrent();
}

void MemoryGrid::setRow(int r) {
    if (r < 0 || r >= rows()) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    row_ = r;
}

void MemoryGrid::setCol(int c) {
    if (c < 0 || c >= cols()) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    col_ = c;
}

void MemoryGrid::clampCurrent() {
    row_ = std::clamp(row_, 0, std::max(rows() - 1, 0));
    col_ = std::clamp(col_, 0, std::max(cols() - 1, 0));
}

}  // namespace platform
