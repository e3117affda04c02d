#include "platform/grid_model.h"

#include <algorithm>

#include "platform/controls.h"

namespace platform {

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows(); }
int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols(); }

QString GridModel::cell(int r, int c) const { return readableText(cells_.get(r, c)); }

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows() || index.column() >= cols()) return {};
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
    const int was = rows();
    if (n == was) return;
    if (n > was) {
        beginInsertRows({}, was, n - 1);
        cells_.setRows(n);
        endInsertRows();
    } else {
        beginRemoveRows({}, n, was - 1);
        cells_.setRows(n);
        endRemoveRows();
    }
    fixedRows_ = std::min(fixedRows_, rows());
}

void GridModel::setCols(int n) {
    n = std::max(n, 0);
    if (n == cols()) return;
    beginResetModel();
    cells_.setCols(n);
    endResetModel();
}

void GridModel::setFixedRows(int n) {
    n = std::clamp(n, 0, rows());
    if (n == fixedRows_) return;
    const int changedTo = std::max(n, fixedRows_) - 1;
    fixedRows_ = n;
    if (cols() > 0) emit dataChanged(index(0, 0), index(changedTo, cols() - 1), {Qt::BackgroundRole});
}

void GridModel::setCell(int r, int c, std::string_view bytes) {
    if (!cells_.set(r, c, bytes)) return;
    const QModelIndex at = index(r, c);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
}

void GridModel::setCurrentCell(int r, int c) {
    if (r == currentRow_ && c == currentCol_) return;
    const int oldRow = currentRow_, oldCol = currentCol_;
    currentRow_ = r;
    currentCol_ = c;
    const QList<int> roles{Qt::DisplayRole};
    if (oldRow < rows() && oldCol < cols()) emit dataChanged(index(oldRow, oldCol), index(oldRow, oldCol), roles);
    if (r < rows() && c < cols()) emit dataChanged(index(r, c), index(r, c), roles);
}

void GridModel::clearCells() {
    cells_.clear();
    if (rows() > 0 && cols() > 0) emit dataChanged(index(0, 0), index(rows() - 1, cols() - 1), {Qt::DisplayRole, Qt::ToolTipRole});
}

}  // namespace platform
