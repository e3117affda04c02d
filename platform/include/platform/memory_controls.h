#pragma once
// Controls that hold their state in memory: the command-line importer's stand-ins for the
// window's widgets, and the tests' fixtures. MemoryGrid behaves as the window's grid does.
#include <QString>
#include <vector>

#include "platform/controls.h"
#include "zentra/error.h"

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

// One column of text cells per row; starts as one row, one column, one empty cell.
class MemoryGrid : public FlexGrid {
public:
    int rows() const override { return static_cast<int>(cells_.size()); }
    void setRows(int n) override { cells_.resize(n > 0 ? n : 0, std::vector<QString>(cols_)); clampCurrent(); }
    int cols() const override { return cols_; }
    void setCols(int n) override {
        cols_ = n;
        for (auto& r : cells_) r.resize(n);
        widths_.resize(n, kDefaultWidth);
        clampCurrent();
    }
    int fixedRows() const override { return fixedRows_; }
    void setFixedRows(int n) override { fixedRows_ = n; }
    int colWidth(int c) const override { return widths_.at(c); }
    void setColWidth(int c, int twips) override { widths_.at(c) = twips; }
    int row() const override { return row_; }
    void setRow(int r) override { checkRow(r); row_ = r; }
    int col() const override { return col_; }
    void setCol(int c) override { checkCol(c); col_ = c; }
    QString text() const override { return cells_.at(row_).at(col_); }
    void setText(const QString& t) override { cells_.at(row_).at(col_) = t; }
    void clear() override {
        for (auto& r : cells_)
            for (auto& c : r) c.clear();
    }

private:
    static constexpr int kDefaultWidth = 960;
    void checkRow(int r) const {
        if (r < 0 || r >= rows()) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    }
    void checkCol(int c) const {
        if (c < 0 || c >= cols_) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
    }
    void clampCurrent() {
        if (row_ >= rows()) row_ = rows() > 0 ? rows() - 1 : 0;
        if (col_ >= cols_) col_ = cols_ > 0 ? cols_ - 1 : 0;
    }

    int cols_ = 1;
    int fixedRows_ = 0;
    int row_ = 0, col_ = 0;
    std::vector<std::vector<QString>> cells_{std::vector<QString>(1)};
    std::vector<int> widths_{kDefaultWidth};
};

}  // namespace platform
