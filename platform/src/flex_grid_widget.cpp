#include "platform/flex_grid_widget.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include "zentra/error.h"

namespace platform {

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
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
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

QString FlexGridWidget::text() const {
    checkRow(row_);
    checkCol(col_);
    return model_.cell(row_, col_);
}

void FlexGridWidget::setText(const QString& t) {
    checkRow(row_);
    checkCol(col_);
    model_.setCell(row_, col_, t);
}

void FlexGridWidget::showCurrentCell() {
    // The current cell is drawn selected. Moving it does not scroll the view: the grid keeps
    // its top row as the user left it, as the classic grid does.
    if (rows() == 0 || cols() == 0) return;
    const QModelIndex at = model_.index(row_, col_);
    if (selectionModel()->currentIndex() == at) return;
    syncing_ = true;
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    setAutoScroll(scrolls);
    syncing_ = false;
}

void FlexGridWidget::followUserClick(const QModelIndex& current) {
    if (syncing_ || !current.isValid()) return;
    row_ = current.row();
    col_ = current.column();
}

}  // namespace platform
