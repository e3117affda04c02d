// The widget grid against the memory grid the command tests use, and the view's own duties.
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

#include "platform/flex_grid_widget.h"
#include "platform/memory_controls.h"
#include "zentra/error.h"

namespace {

using platform::FlexGridWidget;
using platform::MemoryGrid;

// Runs one operation on a grid; returns the error number it raised (0: none).
template <typename F>
long errorOf(F&& op) {
    try {
        op();
        return 0;
    } catch (const zentra::Error& e) {
        return e.number();
    }
}

TEST(FlexGridWidget, StartsAsOneEmptyCellWithoutHeaders) {
    FlexGridWidget grid;
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.cols(), 1);
    EXPECT_EQ(grid.fixedRows(), 0);
    EXPECT_EQ(grid.row(), 0);
    EXPECT_EQ(grid.col(), 0);
    EXPECT_EQ(grid.text(), "");
    EXPECT_FALSE(grid.horizontalHeader()->isVisible() && grid.isVisible());
    EXPECT_TRUE(grid.horizontalHeader()->isHidden());
    EXPECT_TRUE(grid.verticalHeader()->isHidden());
}

TEST(FlexGridWidget, BehavesAsTheMemoryGridUnderRandomOperations) {
    FlexGridWidget widget;
    MemoryGrid memory;
    std::mt19937 random(12345);   // fixed random start: the same run every time
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int step = 0; step < 3000; ++step) {
        const int op = pick(0, 8);
        long we = 0, me = 0;
        switch (op) {
        case 0: { int n = pick(1, 12); we = errorOf([&] { widget.setRows(n); }); me = errorOf([&] { memory.setRows(n); }); break; }
        case 1: { int n = pick(1, 3); we = errorOf([&] { widget.setCols(n); }); me = errorOf([&] { memory.setCols(n); }); break; }
        case 2: { int r = pick(-1, 13); we = errorOf([&] { widget.setRow(r); }); me = errorOf([&] { memory.setRow(r); }); break; }
        case 3: { int c = pick(-1, 3); we = errorOf([&] { widget.setCol(c); }); me = errorOf([&] { memory.setCol(c); }); break; }
        case 4: case 5: {
            QString t = QString("t%1").arg(step);
            we = errorOf([&] { widget.setText(t); });
            me = errorOf([&] { memory.setText(t); });
            break;
        }
        case 6: widget.clear(); memory.clear(); break;
        case 7: { int n = pick(0, 2); widget.setFixedRows(n); memory.setFixedRows(n); break; }
        case 8: {
            // Bytes that are not UTF-8, or none at all.
            std::string bytes = "/f/" + std::to_string(step);
            if (pick(0, 1)) bytes += char(0x80 + pick(0, 0x7F));
            if (pick(0, 4) == 0) bytes.clear();
            we = errorOf([&] { widget.setPath(bytes); });
            me = errorOf([&] { memory.setPath(bytes); });
            break;
        }
        }
        ASSERT_EQ(we, me) << "step " << step << " op " << op;
        ASSERT_EQ(widget.rows(), memory.rows()) << "step " << step;
        ASSERT_EQ(widget.cols(), memory.cols()) << "step " << step;
        if (widget.rows() > 0) {
            ASSERT_EQ(widget.row(), memory.row()) << "step " << step;
            ASSERT_EQ(widget.col(), memory.col()) << "step " << step;
            ASSERT_EQ(widget.text(), memory.text()) << "step " << step;
            ASSERT_EQ(widget.path(), memory.path()) << "step " << step;
        }
    }
    // Every cell, not only the current one.
    for (int r = 0; r < widget.rows(); ++r)
        for (int c = 0; c < widget.cols(); ++c)
            EXPECT_EQ(widget.gridModel().cell(r, c), (memory.setRow(r), memory.setCol(c), memory.text()));
}

// A cell holds bytes; its text is their readable form, so names that are not UTF-8 stay apart
// on screen, and text set by the program is held as its UTF-8.
template <typename Grid>
void checkBytesAndReadableText(Grid& grid) {
    grid.setRows(3);
    const std::string e9 = std::string("/d/caf") + char(0xE9) + ".vcf";
    const std::string e8 = std::string("/d/caf") + char(0xE8) + ".vcf";
    grid.setRow(0);
    grid.setPath(e9);
    grid.setRow(1);
    grid.setPath(e8);
    grid.setRow(2);
    grid.setText(QString::fromUtf8("/d/Zo\u00eb\tb.vcf"));
    grid.setRow(0);
    EXPECT_EQ(grid.path(), e9);
    EXPECT_EQ(grid.text(), "/d/caf\\xE9.vcf");
    grid.setRow(1);
    EXPECT_EQ(grid.text(), "/d/caf\\xE8.vcf");
    grid.setRow(2);
    EXPECT_EQ(grid.path(), "/d/Zo\xC3\xAB\tb.vcf");
    EXPECT_EQ(grid.text(), QString::fromUtf8("/d/Zo\u00eb\\x09b.vcf"));   // a tab is a control character
}

TEST(FlexGridWidget, CellsHoldBytesAndShowTheirReadableForm) {
    FlexGridWidget widget;
    checkBytesAndReadableText(widget);
    EXPECT_EQ(widget.gridModel().data(widget.gridModel().index(0, 0), Qt::DisplayRole).toString(), "/d/caf\\xE9.vcf");
    EXPECT_EQ(widget.gridModel().data(widget.gridModel().index(0, 0), Qt::ToolTipRole).toString(), "/d/caf\\xE9.vcf");
    MemoryGrid memory;
    checkBytesAndReadableText(memory);
}

// Printable ASCII is shown as it is; the bytes just outside that range are still escaped.
TEST(FlexGridWidget, PlainAsciiReadsAsItIsAndTheBytesAroundItAreEscaped) {
    EXPECT_EQ(platform::readableText(" /home/ann/a~b {1}.vcf"), " /home/ann/a~b {1}.vcf");
    EXPECT_EQ(platform::readableText("/d/a\x7F\x1F.vcf"), "/d/a\\x7F\\x1F.vcf");
    EXPECT_EQ(platform::readableText("/d/\xC3\xA9\x80.vcf"), QString::fromUtf8("/d/\u00e9\\x80.vcf"));
    EXPECT_EQ(platform::readableText(""), "");
}

TEST(FlexGridWidget, OutOfRangeCellsRaiseSubscriptOutOfRange) {
    FlexGridWidget grid;
    EXPECT_EQ(errorOf([&] { grid.setRow(1); }), 9);
    EXPECT_EQ(errorOf([&] { grid.setCol(-1); }), 9);
    EXPECT_EQ(errorOf([&] { grid.setColWidth(1, 100); }), 9);
}

TEST(FlexGridWidget, ColumnWidthIsKeptInTwipsAndShownAtFifteenPerPixel) {
    FlexGridWidget grid;
    grid.setColWidth(0, 50000);
    EXPECT_EQ(grid.colWidth(0), 50000);
    EXPECT_EQ(grid.columnWidth(0), 3333);
    grid.setColWidth(0, 10000);
    EXPECT_EQ(grid.colWidth(0), 10000);
    EXPECT_EQ(grid.columnWidth(0), 666);
}

TEST(FlexGridWidget, AppendingARowInsertsExactlyOneRowAndMeasuresNothing) {
    FlexGridWidget grid;
    grid.resize(300, 200);
    grid.show();
    QSignalSpy inserted(&grid.gridModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&grid.gridModel(), &QAbstractItemModel::modelReset);
    for (int i = 1; i <= 50; ++i) {
        grid.setRows(grid.rows() + 1);
        grid.setRow(grid.rows() - 1);
        grid.setText(QString("row %1 with a rather long text that would widen a measured row").arg(i));
    }
    ASSERT_EQ(inserted.size(), 50);
    for (const auto& args : inserted) EXPECT_EQ(args.at(1).toInt(), args.at(2).toInt());   // first == last
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(grid.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(grid.rowHeight(37), 16);
    // The current cell follows the writes but the view is not scrolled to it.
    EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
    EXPECT_EQ(grid.gridModel().currentRow(), 50);
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
}

TEST(FlexGridWidget, ClickingACellMakesItTheCurrentCell) {
    FlexGridWidget grid;
    grid.setRows(5);
    grid.selectionModel()->setCurrentIndex(grid.gridModel().index(3, 0), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(grid.row(), 3);
    EXPECT_EQ(grid.gridModel().currentRow(), 3);
}

TEST(FlexGridWidget, ClearEmptiesCellsButKeepsRowsColumnsAndWidths) {
    FlexGridWidget grid;
    grid.setCols(2);
    grid.setRows(3);
    grid.setColWidth(1, 1500);
    grid.setRow(2);
    grid.setCol(1);
    grid.setText("x");
    grid.clear();
    EXPECT_EQ(grid.rows(), 3);
    EXPECT_EQ(grid.cols(), 2);
    EXPECT_EQ(grid.colWidth(1), 1500);
    EXPECT_EQ(grid.text(), "");
}

TEST(FlexGridWidget, CellsAreDrawnInTheirBackgroundWithGridLinesAndWhiteBeyond) {
    FlexGridWidget grid;
    QPalette palette = grid.palette();
    palette.setColor(QPalette::Base, Qt::white);
    grid.setPalette(palette);
    grid.setGridLineColor(QColor(192, 192, 192));
    grid.setFrameShape(QFrame::NoFrame);
    grid.setColWidth(0, 1500);   // 100 px
    grid.setRows(2);
    grid.setRow(1);              // keep the highlight off row 0
    grid.resize(200, 100);
    grid.show();
    const QImage image = grid.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(50, 8)), QColor(255, 255, 191));     // inside cell (0, 0)
    EXPECT_EQ(QColor(image.pixel(150, 8)), QColor(Qt::white));         // right of the column
    EXPECT_EQ(QColor(image.pixel(150, 80)), QColor(Qt::white));        // below the last row
    EXPECT_EQ(QColor(image.pixel(99, 8)), QColor(192, 192, 192));      // the column's grid line
}

TEST(FlexGridWidget, ARangeTheUserSelectsIsHighlightedAndAProgramMoveEndsIt) {
    FlexGridWidget grid;
    QPalette palette = grid.palette();
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    grid.setPalette(palette);
    grid.setFrameShape(QFrame::NoFrame);
    grid.setColWidth(0, 1500);
    grid.setRows(4);
    grid.resize(200, 100);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    // The current cell alone is not highlighted; with the focus it is marked, without it not.
    const QImage focused = grid.grab().toImage();
    grid.clearFocus();
    const QImage unfocused = grid.grab().toImage();
    EXPECT_EQ(QColor(unfocused.pixel(50, 8)), QColor(255, 255, 191));
    EXPECT_NE(focused.copy(0, 0, 100, 16), unfocused.copy(0, 0, 100, 16));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(50, 8));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 40));
    EXPECT_EQ(grid.row(), 2);
    const QImage selected = grid.grab().toImage();
    EXPECT_EQ(QColor(selected.pixel(50, 8)), QColor(0, 0, 128));
    EXPECT_EQ(QColor(selected.pixel(50, 24)), QColor(0, 0, 128));
    EXPECT_EQ(QColor(selected.pixel(50, 56)), QColor(255, 255, 191));   // row 3, outside the range
    grid.setRow(3);
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
    grid.clearFocus();
    EXPECT_EQ(QColor(grid.grab().toImage().pixel(50, 8)), QColor(255, 255, 191));
}

}  // namespace
