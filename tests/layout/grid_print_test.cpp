// The console dump of the grid and its fixed-width cell formatter.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "layout_support.hpp"

namespace orvane::testing {
namespace {

class GridPrint : public ::testing::Test {
 protected:
  Shape* shape(const std::string& name, const std::string& lane = "L") {
    owned_.push_back(create_shape("Task", name, lane, "P"));
    return owned_.back().get();
  }
  void TearDown() override { Helper::show_layout_grid = false; }
  Grid grid;

 private:
  std::vector<std::unique_ptr<Shape>> owned_;
};

TEST_F(GridPrint, CellsAreTwentyCharactersCutOrFilled) {
  EXPECT_EQ(grid.format_item(std::string("Start")), "Start" + std::string(15, ' '));
  EXPECT_EQ(grid.format_item(3), "3" + std::string(19, ' '));
  EXPECT_EQ(grid.format_item(std::string("abcdefghijklmnopqrstuvwxy")), "abcdefghijklmnopqrst");
  EXPECT_EQ(grid.format_item(std::nullopt), std::string(20, ' '));
  EXPECT_EQ(grid.format_item(std::string("None")), std::string(20, ' '));
  EXPECT_EQ(grid.format_item(std::string("-"), true), std::string(20, '-'));
  EXPECT_EQ(grid.format_item(std::string("ab"), true), "abababababababababab");
  EXPECT_EQ(grid.format_item(std::string("abc"), true), "abcabcabcabcabcabcab");
  EXPECT_EQ(grid.format_itemX(std::string("Start")), "Start" + std::string(15, ' ') + "|");
  EXPECT_EQ(grid.format_itemX(std::nullopt), std::string(20, ' ') + "|");
}

TEST_F(GridPrint, CellsCountCharactersNotBytes) {
  // 25 two-byte characters are cut to 20 characters, never inside a sequence.
  std::string omegas;
  for (int i = 0; i < 25; ++i) omegas += "\xCE\xA9";
  const std::string cut = grid.format_item(omegas);
  EXPECT_EQ(cut, omegas.substr(0, 40));
  EXPECT_EQ(grid.format_item(std::string("\xCE\xA9x")), "\xCE\xA9x" + std::string(18, ' '));
  EXPECT_EQ(Helper::char_length(grid.format_item(std::string("\xCE\xA9"), true)), 20u);
}

TEST_F(GridPrint, NothingIsPrintedWhenSwitchedOffOrEmpty) {
  CaptureOutput capture;
  Helper::show_layout_grid = true;
  grid.print_grid();
  grid.print_headerX();
  ConsoleTable table;
  grid.print_header(table);
  EXPECT_TRUE(table.columns().empty());
  EXPECT_EQ(capture.text(), "");

  grid.add_shape_to_lane_rowcolumn("L", 1, 1, shape("A"));
  capture.clear();
  Helper::show_layout_grid = false;
  grid.print_grid();
  EXPECT_EQ(capture.text(), "");
}

TEST_F(GridPrint, EachLaneGetsItsLineAndATableOfItsRows) {
  grid.add_shape_to_lane_rowcolumn("L", 2, 3, shape("A"));
  grid.add_shape_to_lane_rowcolumn("L", 1, 1, shape("B"));
  grid.add_shape_to_lane_rowcolumn("M", 1, 2, shape("C", "M"));
  ConsoleTable header;
  grid.print_header(header);
  EXPECT_EQ(header.columns(), (std::vector<std::string>{"ROW \\ COL", grid.format_item(1),
                                                        grid.format_item(2), grid.format_item(3)}));

  CaptureOutput capture;
  Helper::show_layout_grid = true;
  grid.print_grid();
  const std::string out = capture.text();
  const auto lane_l = out.find("lane_id='L'\n");
  const auto lane_m = out.find("lane_id='M'\n");
  ASSERT_NE(lane_l, std::string::npos) << out;
  ASSERT_NE(lane_m, std::string::npos) << out;
  EXPECT_LT(lane_l, lane_m);
  // Rows in creation order, each cell its occupant's name filled to 20 characters.
  const auto row2 = out.find(fmt::format("{:<20}", "row2"));
  const auto row1 = out.find(fmt::format("{:<20}", "row1"));
  EXPECT_LT(lane_l, row2);
  EXPECT_LT(row2, row1);
  EXPECT_LT(row1, lane_m);
  EXPECT_NE(out.find(fmt::format("{:<20}", "A")), std::string::npos);
  EXPECT_NE(out.find("ROW \\ COL"), std::string::npos);
}

TEST_F(GridPrint, TextHeaderHasOneCellPerColumnAndADashLine) {
  grid.add_shape_to_lane_rowcolumn("L", 1, 2, shape("A"));
  CaptureOutput capture;
  grid.print_headerX();
  EXPECT_EQ(capture.text(), grid.format_item(std::string("ROW \\ COL")) + grid.format_item(1) +
                                grid.format_item(2) + "\n" + std::string(60, '-') + "\n");
}

}  // namespace
}  // namespace orvane::testing
