// The cell layer: writers, padding, finders, measures and the live views.
#include <gtest/gtest.h>

#include <climits>

#include "layout_support.hpp"

namespace orvane::testing {
namespace {

class GridCells : public ::testing::Test {
 protected:
  Shape* shape(const std::string& name, const std::string& lane = "L") {
    owned_.push_back(create_shape("Task", name, lane, "P"));
    return owned_.back().get();
  }
  Grid grid;

 private:
  std::vector<std::unique_ptr<Shape>> owned_;
};

TEST_F(GridCells, EmptyGridAnswersWithNeutralValuesAndCreatesNothing) {
  Shape* a = shape("A");
  EXPECT_EQ(grid.get_max_column_count(), 0);
  EXPECT_EQ(grid.get_next_column("L", 1), 1);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(a), ShapeCell{});
  EXPECT_EQ(grid.find_shape_rowcolumn_in_lane("L", a),
            std::make_pair(std::optional<std::string>{}, std::optional<int>{}));
  EXPECT_FALSE(grid._is_row_column_occupied("L", 1, 1));
  EXPECT_EQ(grid.get_lane_max_row_number("L"), 0);
  EXPECT_EQ(grid._get_next_available_row("L"), 1);
  EXPECT_EQ(grid.get_grid_items().size(), 0u);
  EXPECT_TRUE(grid.get_all_shapes().empty());
}

TEST_F(GridCells, PlacingBeyondTheRowEndPadsTheRowAndThenEveryRowToTheGridWidth) {
  Shape* a = shape("A");
  Shape* b = shape("B", "M");
  grid.add_shape_to_lane_rowcolumn("L", 1, 3, a);
  EXPECT_EQ(dump(grid), "L/row1: . . A\n");
  EXPECT_EQ(grid.get_max_column_count(), 3);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(a), (ShapeCell{"L", 1, 3}));
  EXPECT_EQ(grid.find_shape_rowcolumn_in_lane("L", a),
            std::make_pair(std::optional<std::string>("row1"), std::optional<int>(3)));

  grid.add_shape_to_lane_rowcolumn("M", 2, 1, b);
  EXPECT_EQ(dump(grid), "L/row1: . . A\nM/row2: B . .\n");
  EXPECT_EQ(grid.get_lane_max_row_number("M"), 2);
  EXPECT_EQ(grid._get_next_available_row("M"), 3);
}

TEST_F(GridCells, ColumnOneAndOccupiedCellsAppendWhileEmptyCellsAreFilledInPlace) {
  Shape* a = shape("A");
  Shape* b = shape("B");
  Shape* d = shape("D");
  Shape* e = shape("E");
  Shape* x = shape("X", "M");
  grid.add_shape_to_lane_rowcolumn("L", 1, 3, a);
  grid.add_shape_to_lane_rowcolumn("M", 1, 1, x);
  // Column 1 appends even though the first cell is empty; other lanes follow the new width.
  grid.add_shape_to_lane_rowcolumn("L", 1, 1, e);
  EXPECT_EQ(dump(grid), "L/row1: . . A E\nM/row1: X . . .\n");
  // An empty cell takes the shape and the row keeps its length.
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, b);
  EXPECT_EQ(dump(grid), "L/row1: . B A E\nM/row1: X . . .\n");
  // An occupied cell keeps its shape; the new one goes to the end.
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, d);
  EXPECT_EQ(dump(grid), "L/row1: . B A E D\nM/row1: X . . . .\n");
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(d), (ShapeCell{"L", 1, 5}));
}

TEST_F(GridCells, AppendingByRowDoesNotPadUntilTheNextPlacementByColumn) {
  Shape* a = shape("A");
  Shape* b = shape("B");
  Shape* c = shape("C", "M");
  Shape* d = shape("D", "M");
  Shape* e = shape("E");
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, a);
  grid.add_shape_to_lane_row("L", 1, b);
  grid.add_shape_to_lane_row("M", 1, c);
  EXPECT_EQ(dump(grid), "L/row1: . A B\nM/row1: C\n");
  EXPECT_EQ(grid.get_max_column_count(), 3);
  // A row created after the last padding keeps its own length, also when appended to again.
  grid.add_shape_to_lane_row("M", 1, d);
  EXPECT_EQ(dump(grid), "L/row1: . A B\nM/row1: C D\n");
  grid.add_shape_to_lane_rowcolumn("L", 2, 1, e);
  EXPECT_EQ(dump(grid), "L/row1: . A B\nL/row2: E . .\nM/row1: C D .\n");
  // Appending to a padded row appends after the padding.
  grid.add_shape_to_lane_row("L", 2, shape("F"));
  EXPECT_EQ(dump(grid), "L/row1: . A B\nL/row2: E . . F\nM/row1: C D .\n");
  EXPECT_EQ(grid.get_max_column_count(), 4);
}

TEST_F(GridCells, NextColumnFollowsTheRightmostShapeOfTheRow) {
  grid.add_shape_to_lane_rowcolumn("L", 1, 1, shape("A"));
  grid.add_shape_to_lane_rowcolumn("L", 1, 3, shape("B"));
  grid.add_shape_to_lane_rowcolumn("M", 1, 4, shape("C", "M"));
  grid.add_shape_to_lane_rowcolumn("M", 2, 2, shape("D", "M"));
  EXPECT_EQ(dump(grid), "L/row1: A . B .\nM/row1: . . . C\nM/row2: . D . .\n");
  EXPECT_EQ(grid.get_next_column("L", 1), 4);
  EXPECT_EQ(grid.get_next_column("L", 2), 1);
  EXPECT_EQ(grid.get_next_column("N", 1), 1);

  // add_shape_to_lane puts the shape after B, not into the gap at column 2.
  CaptureOutput capture;
  Helper::set_ansi(true);
  Shape* e = shape("E");
  grid.add_shape_to_lane(std::string("L"), 1, e);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(e), (ShapeCell{"L", 1, 4}));
  EXPECT_NE(capture.text().find("\x1b[33m            ### lane_id='L', row_number=1, col_number=4"),
            std::string::npos)
      << capture.text();
}

TEST_F(GridCells, RowsKeepCreationOrderAndFindersReportTheFirstMatchInThatOrder) {
  Shape* a = shape("A");
  grid.add_shape_to_lane_rowcolumn("L", 3, 1, a);
  grid.add_shape_to_lane_rowcolumn("L", 1, 1, a);
  EXPECT_EQ(dump(grid), "L/row3: A\nL/row1: A\n");
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(a), (ShapeCell{"L", 3, 1}));
  EXPECT_EQ(grid.get_column_index("L", a), 1);
  EXPECT_EQ(grid.get_lane_max_row_number("L"), 3);
  EXPECT_EQ(grid.get_lane_row_count("L"), 2);
  // Listed once, at its first cell.
  EXPECT_EQ(grid.get_all_shapes(), std::vector<Shape*>{a});

  // A later, earlier-ordered cell of the same shape becomes its first cell.
  Shape* b = shape("B");
  grid.add_shape_to_lane_rowcolumn("L", 3, 4, b);
  grid.add_shape_to_lane_rowcolumn("L", 3, 3, b);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(b), (ShapeCell{"L", 3, 3}));
  EXPECT_EQ(grid.get_all_shapes(), (std::vector<Shape*>{a, b}));
  Shape* c = shape("C", "M");
  grid.add_shape_to_lane_rowcolumn("M", 1, 1, c);
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, c);
  EXPECT_EQ(grid.find_shape_rowcolumn_in_lane("M", c),
            std::make_pair(std::optional<std::string>("row1"), std::optional<int>(1)));
  EXPECT_EQ(grid.get_column_index("M", b), std::nullopt);
}

TEST_F(GridCells, SameLaneNextRowSearchesDownwardsForAFreeCell) {
  Shape* p = shape("P");
  Shape* x = shape("X");
  Shape* y = shape("Y");
  grid.add_shape_to_lane_rowcolumn("L", 1, 1, p);
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, shape("Q"));
  grid.add_shape_to_lane_rowcolumn("L", 2, 1, x);
  // P's row ends at column 2, so the next-row search uses column 3.
  grid.add_shape_to_same_lane_next_row(p, y);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(y), (ShapeCell{"L", 2, 3}));
  Shape* z = shape("Z");
  grid.add_shape_to_same_lane_next_row(p, z);
  EXPECT_EQ(dump(grid), "L/row1: P Q .\nL/row2: X . Y\nL/row3: . . Z\n");
  Shape* w = shape("W");
  grid.add_shape_to_same_lane(x, w);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(w), (ShapeCell{"L", 2, 4}));
  // Without a cell for the previous shape nothing happens.
  Shape* lost = shape("Lost");
  grid.add_shape_to_same_lane(lost, shape("N1"));
  grid.add_shape_to_same_lane_next_row(lost, shape("N2"));
  EXPECT_EQ(grid.get_all_shapes().size(), 6u);
}

TEST_F(GridCells, ColumnTestPrintsTheOccupantOnlyWhenTheCellIsTaken) {
  grid.add_shape_to_lane_rowcolumn("L", 1, 1, shape("A[red]"));
  CaptureOutput capture;
  EXPECT_TRUE(grid.is_column_empty("L", 1, 2));
  EXPECT_TRUE(grid.is_column_empty("L", 7, 1));
  EXPECT_EQ(capture.text(), "");
  EXPECT_FALSE(grid.is_column_empty("L", 1, 1));
  EXPECT_EQ(capture.text(), "            ### A[red]\n");
}

TEST_F(GridCells, BadArgumentsAreRefusedAndLeaveTheGridUnchanged) {
  Shape* a = shape("A");
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, a);
  const std::string before = dump(grid);

  try {
    grid.add_shape_to_lane(std::nullopt, 1, shape("B"));
    FAIL() << "expected invalid_argument";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "lane_id must be provided");
  }
  EXPECT_THROW(grid.add_shape_to_lane_row("L", 0, shape("C")), std::invalid_argument);
  EXPECT_THROW(grid.add_shape_to_lane_rowcolumn("L", 1, 0, shape("C")), std::invalid_argument);
  EXPECT_THROW(grid.add_shape_to_lane_rowcolumn("N", -3, 1, shape("C")), std::invalid_argument);
  EXPECT_THROW(grid.add_shape_to_lane(std::string("L"), 0, shape("C")), std::invalid_argument);
  EXPECT_THROW(grid.add_shape_to_lane_rowcolumn("L", 1, 1, nullptr), std::invalid_argument);
  EXPECT_THROW(grid.is_column_empty("L", 1, 0), std::invalid_argument);
  EXPECT_THROW(grid._is_row_column_occupied("L", 0, 1), std::invalid_argument);
  EXPECT_THROW(grid.get_next_column("L", -1), std::invalid_argument);
  // Numbers so large that adding a neighbour's offset would overflow are refused too.
  EXPECT_THROW(grid.add_shape_to_lane_rowcolumn("L", 1, INT_MAX, shape("C")),
               std::invalid_argument);
  EXPECT_THROW(grid.add_shape_to_lane_row("L", INT_MAX, shape("C")), std::invalid_argument);

  for (auto call : {+[](Grid& g) { g.get_lane_row_count("nowhere"); },
                    +[](Grid& g) { g.get_column_index("nowhere", nullptr); },
                    +[](Grid& g) { g.is_column_empty("nowhere", 1, 1); }}) {
    try {
      call(grid);
      FAIL() << "expected out_of_range";
    } catch (const std::out_of_range& e) {
      EXPECT_NE(std::string(e.what()).find("'nowhere'"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(dump(grid), before);
  EXPECT_EQ(grid.get_grid_items().size(), 1u);
}

TEST_F(GridCells, ItemsAreALiveViewThatRefusesStaleIndices) {
  GridItems items = grid.get_grid_items();
  EXPECT_EQ(items.size(), 0u);
  Shape* a = shape("A");
  grid.add_shape_to_lane_rowcolumn("L", 2, 3, a);
  ASSERT_EQ(items.size(), 1u);
  GridRowView row = items[0].row(0);
  EXPECT_EQ(items[0].lane_id(), "L");
  EXPECT_EQ(row.key(), "row2");
  EXPECT_EQ(row.number(), 2);
  EXPECT_EQ(row.size(), 3u);
  EXPECT_EQ(row.at(2), a);
  EXPECT_EQ(row.at(0), nullptr);
  EXPECT_EQ(row.occupied(), (std::vector<std::pair<std::size_t, Shape*>>{{2, a}}));
  EXPECT_THROW(row.at(3), std::out_of_range);
  grid.add_shape_to_lane_rowcolumn("M", 1, 5, shape("B", "M"));
  EXPECT_EQ(row.size(), 5u);

  grid.set_grid({});
  EXPECT_EQ(items.size(), 0u);
  EXPECT_THROW(row.size(), std::out_of_range);
  EXPECT_THROW(items[0], std::out_of_range);
}

}  // namespace
}  // namespace orvane::testing
