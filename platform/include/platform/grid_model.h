#pragma once
// The cells of the flexible grid: rows of text, appended one at a time in constant time.
// Cells are kept in one row-major vector, so a new row costs one resize of it.
#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <vector>

namespace platform {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    void setRows(int n);
    void setCols(int n);
    int fixedRows() const { return fixedRows_; }
    void setFixedRows(int n);
    const QString& cell(int r, int c) const { return cells_[static_cast<size_t>(r) * cols_ + c]; }
    void setCell(int r, int c, const QString& text);
    void clearCells();
    // The current cell, which the view marks with a focus rectangle.
    void setCurrentCell(int r, int c);
    int currentRow() const { return currentRow_; }
    int currentCol() const { return currentCol_; }

    QColor cellBackground = QColor(255, 255, 191);   // light yellow
    QColor fixedBackground = QColor(192, 192, 192);

private:
    int rows_ = 1;
    int cols_ = 1;
    int fixedRows_ = 0;
    int currentRow_ = 0;
    int currentCol_ = 0;
    std::vector<QString> cells_ = std::vector<QString>(1);
};

}  // namespace platform
