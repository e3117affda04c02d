#include "platform/flex_grid_widget.h"

#include <QHeaderView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>

#include "zentra/error.h"

namespace platform {
namespace {

// Marks the model's current cell with a focus rectangle while the grid has the focus, and,
// as the classic grid does, draws a selection of one single cell as not highlighted.
class CurrentCellDelegate : public QStyledItemDelegate {
public:
    explicit CurrentCellDelegate(FlexGridWidget* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        const GridModel& model = grid_->gridModel();
        const bool current = index.row() == model.currentRow() && index.column() == model.currentCol();
        if (current && grid_->hasFocus())
            cell.state |= QStyle::State_HasFocus;
        else
            cell.state &= ~QStyle::State_HasFocus;
        const QItemSelection selection = grid_->selectionModel()->selection();
        if (selection.size() == 1 && selection.front().topLeft() == selection.front().bottomRight())
            cell.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(painter, cell, index);
    }

private:
    FlexGridWidget* grid_;
};

}  // namespace

FlexGridWidget::FlexGridWidget(QWidget* parent) : QTableView(parent) {
    setModel(&model_);
    // No header row or column: row 0 is an ordinary data row.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Fixed row heights and column widths: an added row is placed without measuring any text.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kRowHeightTwips / kTwipsPerPixel);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(kDefaultColWidthTwips / kTwipsPerPixel);
    setColumnWidth(0, kDefaultColWidthTwips / kTwipsPerPixel);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The user may select a range of cells, drawn in the highlight colours. The current cell
    // is kept by the model and marked by the delegate, not through the selection model, whose
    // updates locate the cell by walking every row above it.
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setItemDelegate(new CurrentCellDelegate(this));
    setShowGrid(true);
    setTabKeyNavigation(false);   // Tab moves to the next control, not the next cell
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { followUserClick(current); });
    showCurrentCell();
}

void FlexGridWidget::setGridLineColor(const QColor& colour) {
    // The line colour is a style hint that styles take from different palette roles; a style
    // sheet naming only this colour sets it under every style.
    gridLineColor_ = colour;
    setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }").arg(colour.name()));
}

void FlexGridWidget::checkRow(int r) const {
    if (r < 0 || r >= rows()) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
}

void FlexGridWidget::checkCol(int c) const {
    if (c < 0 || c >= cols()) throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
}

void FlexGridWidget::clampCurrent() {
    if (row_ >= rows()) row_ = rows() > 0 ? rows() - 1 : 0;
    if (col_ >= cols()) col_ = cols() > 0 ? cols() - 1 : 0;
}

void FlexGridWidget::setRows(int n) {
    model_.setRows(n);
    clampCurrent();
    showCurrentCell();
}

void FlexGridWidget::setCols(int n) {
    model_.setCols(n);
    widthsTwips_.resize(static_cast<size_t>(std::max(n, 0)), kDefaultColWidthTwips);
    for (int c = 0; c < cols(); ++c) setColumnWidth(c, widthsTwips_[c] / kTwipsPerPixel);
    clampCurrent();
    showCurrentCell();
}

int FlexGridWidget::colWidth(int col) const {
    checkCol(col);
    return widthsTwips_[col];
}

void FlexGridWidget::setColWidth(int col, int twips) {
    checkCol(col);
    widthsTwips_[col] = twips;
    setColumnWidth(col, twips / kTwipsPerPixel);
}

void FlexGridWidget::setRow(int r) {
    checkRow(r);
    row_ = r;
    showCurrentCell();
}

void FlexGridWidget::setCol(int c) {
    checkCol(c);
    col_ = c;
    showCurrentCell();
}

std::string FlexGridWidget::path() const {
    checkRow(row_);
    checkCol(col_);
    return model_.cellPath(row_, col_);
}

void FlexGridWidget::setPath(std::string_view bytes) {
    checkRow(row_);
    checkCol(col_);
    model_.setCell(row_, col_, bytes);
}

void FlexGridWidget::showCurrentCell() {
    // Moving the current cell does not scroll the view: the grid keeps its top row as the
    // user left it, as the classic grid does.
    model_.setCurrentCell(row_, col_);
    // Moving the current cell by program ends a range the user selected.
    if (selectionModel()->hasSelection()) selectionModel()->clearSelection();
}

void FlexGridWidget::followUserClick(const QModelIndex& current) {
    if (!current.isValid()) return;
    row_ = current.row();
    col_ = current.column();
    model_.setCurrentCell(row_, col_);
}

void FlexGridWidget::dataChanged(const QModelIndex&, const QModelIndex&, const QList<int>&) {
    // Repaint the visible cells. The base class first computes the changed cell's rectangle,
    // which after rows were appended walks every row's height: on a long list that made each
    // add cost time in proportion to the list. Repaints are coalesced by the window anyway.
    viewport()->update();
}

}  // namespace platform
