#include "platform/grid_model.h"

#include <algorithm>

namespace platform {

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= cols_) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cell(index.row(), index.column());
    case Qt::BackgroundRole:
        return index.row() < fixedRows_ ? fixedBackground : cellBackground;
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;   // read-only for the user, as the grid is
}

void GridModel::setRows(int n) {
    n = std::max(n, 0);
    if (n == rows_) return;
    if (n > rows_) {
        beginInsertRows({}, rows_, n - 1);
        cells_.resize(static_cast<size_t>(n) * cols_);
        rows_ = n;
        endInsertRows();
    } else {
        beginRemoveRows({}, n, rows_ - 1);
        cells_.resize(static_cast<size_t>(n) * cols_);
        if (cells_.capacity() > 4 * cells_.size() + 64) cells_.shrink_to_fit();
        rows_ = n;
        endRemoveRows();
    }
    fixedRows_ = std::min(fixedRows_, rows_);
}

void GridModel::setCols(int n) {
    n = std::max(n, 0);
    if (n == cols_) return;
    beginResetModel();
    std::vector<QString> reshaped(static_cast<size_t>(rows_) * n);
    const int keep = std::min(n, cols_);
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < keep; ++c) reshaped[static_cast<size_t>(r) * n + c] = std::move(cells_[static_cast<size_t>(r) * cols_ + c]);
    cells_ = std::move(reshaped);
    cols_ = n;
    endResetModel();
}

void GridModel::setFixedRows(int n) {
    n = std::clamp(n, 0, rows_);
    if (n == fixedRows_) return;
    const int changedTo = std::max(n, fixedRows_) - 1;
    fixedRows_ = n;
    if (cols_ > 0) emit dataChanged(index(0, 0), index(changedTo, cols_ - 1), {Qt::BackgroundRole});
}

void GridModel::setCell(int r, int c, const QString& text) {
    QString& slot = cells_[static_cast<size_t>(r) * cols_ + c];
    if (slot == text) return;
    slot = text;
    const QModelIndex at = index(r, c);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
}

void GridModel::setCurrentCell(int r, int c) {
    if (r == currentRow_ && c == currentCol_) return;
    const int oldRow = currentRow_, oldCol = currentCol_;
    currentRow_ = r;
    currentCol_ = c;
    const QList<int> roles{Qt::DisplayRole};
    if (oldRow < rows_ && oldCol < cols_) emit dataChanged(index(oldRow, oldCol), index(oldRow, oldCol), roles);
    if (r < rows_ && c < cols_) emit dataChanged(index(r, c), index(r, c), roles);
}

void GridModel::clearCells() {
    for (QString& s : cells_) s.clear();
    if (rows_ > 0 && cols_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), {Qt::DisplayRole, Qt::ToolTipRole});
}

}  // namespace platform
