#pragma once
// The cells of the flexible grid as a Qt model: rows appended one at a time in constant time,
// cells kept as exact bytes in GridCells and shown in their readable form.
#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <string>
#include <string_view>

#include "platform/grid_cells.h"

namespace platform {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int rows() const { return cells_.rows(); }
    int cols() const { return cells_.cols(); }
    void setRows(int n);
    void setCols(int n);
    int fixedRows() const { return fixedRows_; }
    void setFixedRows(int n);
    QString cell(int r, int c) const;   // as shown: the readable form of its bytes
    std::string cellPath(int r, int c) const { return cells_.get(r, c); }
    zentra::PathSequence pathColumn(int c) const { return cells_.column(c); }
    void setCell(int r, int c, std::string_view bytes);
    void clearCells();
    // The current cell, which the view marks with a focus rectangle.
    void setCurrentCell(int r, int c);
    int currentRow() const { return currentRow_; }
    int currentCol() const { return currentCol_; }

    QColor cellBackground = QColor(255, 255, 191);   // light yellow
    QColor fixedBackground = QColor(192, 192, 192);

private:
    GridCells cells_;
    int fixedRows_ = 0;
    int currentRow_ = 0;
    int currentCol_ = 0;
};

}  // namespace platform
