#pragma once
// Controls that hold their state in memory: the command-line importer's stand-ins for the
// window's widgets, and the tests' fixtures. MemoryGrid behaves as the window's grid does.
#include <QString>
#include <vector>

#include "platform/controls.h"
#include "platform/grid_cells.h"

namespace platform {

class MemoryText : public TextControl {
public:
    explicit MemoryText(QString initial = {}) : text_(std::move(initial)) {}
    QString caption() const override { return text_; }
    void setCaption(const QString& text) override { text_ = text; }

private:
    QString text_;
};

class MemoryEnabled : public EnabledControl {
public:
    explicit MemoryEnabled(bool initial = true) : on_(initial) {}
    bool enabled() const override { return on_; }
    void setEnabled(bool on) override { on_ = on; }

private:
    bool on_;
};

class MemoryProgress : public ProgressControl {
public:
    float min() const override { return min_; }
    void setMin(float v) override { min_ = v; }
    float max() const override { return max_; }
    void setMax(float v) override { max_ = v; }
    float value() const override { return value_; }
    void setValue(float v) override { value_ = v; }

private:
    float min_ = 0, max_ = 100, value_ = 0;
};

// Starts as one row, one column, one empty cell; cells kept as exact bytes, as the window's
// grid keeps them.
class MemoryGrid : public FlexGrid {
public:
    int rows() const override { return cells_.rows(); }
    void setRows(int n) override;
    int cols() const override { return cells_.cols(); }
    void setCols(int n) override;
    int fixedRows() const override { return fixedRows_; }
    void setFixedRows(int n) override { fixedRows_ = n; }
    int colWidth(int c) const override { return widths_.at(c); }
    void setColWidth(int c, int twips) override { widths_.at(c) = twips; }
    int row() const override { return row_; }
    void setRow(int r) override;
    int col() const override { return col_; }
    void setCol(int c) override;
    std::string path() const override { return cells_.get(row_, col_); }
    void setPath(std::string_view bytes) override { cells_.set(row_, col_, bytes); }
    void clear() override { cells_.clear(); }
    zentra::PathSequence pathColumn(int col) const override { return cells_.column(col); }

    const GridCells& cells() const { return cells_; }

private:
    static constexpr int kDefaultWidth = 960;
    void clampCurrent();

    GridCells cells_;
    int fixedRows_ = 0;
    int row_ = 0, col_ = 0;
    std::vector<int> widths_{kDefaultWidth};
};

}  // namespace platform
