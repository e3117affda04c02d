#pragma once
// The flexible grid on a QTableView: the FlexGrid members over a GridModel, whose cells are
// exact bytes shown in their readable form (a tooltip shows the same). The current cell
// (Row, Col) is marked with a focus rectangle, and a click makes a cell current; a range the
// user selects is drawn in the highlight colours. Rows have
// one fixed height so that adding a row never measures the others; widths are kept in twips
// and shown at 15 twips per pixel.
#include <QTableView>
#include <vector>

#include "platform/controls.h"
#include "platform/grid_model.h"

namespace platform {

class FlexGridWidget : public QTableView, public FlexGrid {
    Q_OBJECT
public:
    static constexpr int kDefaultColWidthTwips = 960;
    static constexpr int kRowHeightTwips = 240;

    explicit FlexGridWidget(QWidget* parent = nullptr);

    int rows() const override { return model_.rows(); }
    void setRows(int n) override;
    int cols() const override { return model_.cols(); }
    void setCols(int n) override;
    int fixedRows() const override { return model_.fixedRows(); }
    void setFixedRows(int n) override { model_.setFixedRows(n); }
    int colWidth(int col) const override;
    void setColWidth(int col, int twips) override;
    int row() const override { return row_; }
    void setRow(int r) override;
    int col() const override { return col_; }
    void setCol(int c) override;
    std::string path() const override;
    void setPath(std::string_view bytes) override;
    void clear() override { model_.clearCells(); }
    zentra::PathSequence pathColumn(int col) const override { return model_.pathColumn(col); }

    GridModel& gridModel() { return model_; }
    const GridModel& gridModel() const { return model_; }
    void setGridLineColor(const QColor& colour);
    QColor gridLineColor() const { return gridLineColor_; }

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;

private:
    void checkRow(int r) const;
    void checkCol(int c) const;
    void showCurrentCell();
    void followUserClick(const QModelIndex& current);
    void clampCurrent();

    GridModel model_;
    QColor gridLineColor_;
    std::vector<int> widthsTwips_{kDefaultColWidthTwips};
    int row_ = 0;
    int col_ = 0;
};

}  // namespace platform
