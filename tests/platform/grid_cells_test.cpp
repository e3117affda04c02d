// The grids' cell store: exact bytes in and out whatever the shape changes, and memory that
// stays small and bounded while cells are rewritten.
#include "platform/grid_cells.h"

#include <gtest/gtest.h>

#include "zentra/error.h"

namespace {

using platform::GridCells;

TEST(GridCells, KeepsExactBytesThroughRowAndColumnChanges) {
    GridCells cells;
    ASSERT_EQ(cells.rows(), 1);
    ASSERT_EQ(cells.cols(), 1);
    EXPECT_TRUE(cells.isEmpty(0, 0));
    const std::string notUtf8 = std::string("/d/caf") + char(0xE9) + ".vcf";
    const std::string withNul("/d/a\0b.vcf", 10);
    cells.setRows(3);
    cells.set(0, 0, notUtf8);
    cells.set(1, 0, withNul);
    cells.set(2, 0, "/d/t.vcf ");
    EXPECT_EQ(cells.get(0, 0), notUtf8);
    EXPECT_EQ(cells.get(1, 0), withNul);

    // A second column: the first keeps its cells, the new one is empty.
    cells.setCols(2);
    cells.set(2, 1, "x");
    EXPECT_EQ(cells.get(2, 0), "/d/t.vcf ");
    EXPECT_TRUE(cells.isEmpty(0, 1));
    // Back to one column, then fewer rows, then more: dropped cells are gone, new rows empty.
    cells.setCols(1);
    cells.setRows(2);
    cells.setRows(4);
    EXPECT_EQ(cells.get(0, 0), notUtf8);
    EXPECT_EQ(cells.get(1, 0), withNul);
    EXPECT_TRUE(cells.isEmpty(2, 0));
    EXPECT_TRUE(cells.isEmpty(3, 0));
    cells.setRows(-5);
    EXPECT_EQ(cells.rows(), 0);
}

TEST(GridCells, SettingReportsChangesAndEmptyBytesEmptyTheCell) {
    GridCells cells;
    EXPECT_FALSE(cells.set(0, 0, ""));
    EXPECT_TRUE(cells.set(0, 0, "/a/b.vcf"));
    EXPECT_FALSE(cells.set(0, 0, "/a/b.vcf"));
    // Same length, same folder, another name: a change.
    EXPECT_TRUE(cells.set(0, 0, "/a/c.vcf"));
    EXPECT_TRUE(cells.set(0, 0, ""));
    EXPECT_TRUE(cells.isEmpty(0, 0));
    EXPECT_EQ(cells.get(0, 0), "");
}

TEST(GridCells, RewritingCellsKeepsMemoryBoundedAndClearReleasesIt) {
    GridCells cells;
    cells.setRows(1000);
    const auto pathOf = [](int round, int r) {
        return "/home/ann/Contacts/round" + std::to_string(round) + "/contact" + std::to_string(r) + ".vcf";
    };
    for (int r = 0; r < 1000; ++r) cells.set(r, 0, pathOf(0, r));
    const std::size_t once = cells.bytesHeld();
    // Every cell rewritten a hundred times: the old bytes are collected, not kept.
    for (int round = 1; round <= 100; ++round)
        for (int r = 0; r < 1000; ++r) cells.set(r, 0, pathOf(round, r));
    EXPECT_LT(cells.bytesHeld(), 4 * once);
    for (int r = 0; r < 1000; r += 37) EXPECT_EQ(cells.get(r, 0), pathOf(100, r));

    cells.clear();
    EXPECT_EQ(cells.rows(), 1000);
    EXPECT_TRUE(cells.isEmpty(999, 0));
    EXPECT_LT(cells.bytesHeld(), 1000 * sizeof(std::uint32_t) + 1024);
}

// A column handed out shares the grid's paths and never changes: the grid copies its list
// before it writes, clears or compacts while the column lives.
TEST(GridCells, AColumnHandedOutStaysAsItWasWhateverTheGridDoesNext) {
    GridCells cells;
    cells.setRows(3);
    cells.set(0, 0, "/a/one.vcf");
    cells.set(2, 0, std::string("/a/b\xff.vcf"));   // row 1 stays empty
    const zentra::PathSequence column = cells.column(0);
    ASSERT_EQ(column.size(), 3u);

    cells.set(0, 0, "/z/replaced.vcf");
    cells.set(1, 0, "/z/new.vcf");
    for (int i = 0; i < 3000; ++i) cells.set(2, 0, "/z/rewrite" + std::to_string(i) + ".vcf");   // compacts
    EXPECT_EQ(column.path(0), "/a/one.vcf");
    EXPECT_EQ(column.path(1), "");
    EXPECT_EQ(column.path(2), std::string("/a/b\xff.vcf"));
    EXPECT_EQ(cells.column(0).path(0), "/z/replaced.vcf");
    EXPECT_EQ(cells.column(0).path(2), "/z/rewrite2999.vcf");

    const zentra::PathSequence before = cells.column(0);
    cells.clear();
    EXPECT_EQ(before.path(1), "/z/new.vcf");
    EXPECT_EQ(cells.column(0).path(1), "");
    EXPECT_THROW(cells.column(1), zentra::Error);
}

}  // namespace
