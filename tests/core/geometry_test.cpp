#include <gtest/gtest.h>

#include <map>

#include "orvane/constants.hpp"
#include "orvane/footer.hpp"
#include "orvane/grid_metrics.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/title.hpp"
#include "support/quiet_painter.hpp"

namespace orvane {
namespace {

// A grid reduced to what lanes read of it.
class FakeGrid : public GridMetrics {
 public:
  int columns = 0;
  std::map<std::string, int> max_row;
  int get_max_column_count() const override { return columns; }
  int get_lane_max_row_number(const std::string& lane_id) const override {
    auto it = max_row.find(lane_id);
    return it == max_row.end() ? 0 : it->second;
  }
};

// Measures every text as 7 pixels per character and 16 pixels high.
class MeasuringPainter : public QuietPainter {
 public:
  MeasuringPainter() : QuietPainter("measuring", 0, 0) {}
  TextExtent measure_text(const std::string& text, const TextStyle&, double) const override {
    return {7.0 * static_cast<double>(text.size()), 16.5};
  }
};

constexpr int row_height(int rows) {
  return 2 * Configs::LANE_SHAPE_TOP_MARGIN + rows * Configs::BOX_HEIGHT +
         (rows - 1) * Configs::VSPACE_BETWEEN_SHAPES;
}

TEST(LaneGeometry, HeightReachesTheHighestRowNumberAndWidthTheWidestGridRow) {
  Pool pool("P", "", 0, "", "", "centre", nullptr);
  Lane& a = pool.add_lane("A", "", 0, "", "", "centre", "");
  Lane& b = pool.add_lane("B", "", 0, "", "", "centre", "");
  FakeGrid grid;
  grid.columns = 4;
  grid.max_row[a.id] = 3;  // rows 1 and 3 only: still three rows tall

  const auto next = a.set_draw_position(0, 100, grid);
  EXPECT_EQ(a.coord.y_pos, 100);
  EXPECT_EQ(a.coord.x_pos, Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH +
                               Configs::HSPACE_BETWEEN_POOL_AND_LANE);
  EXPECT_EQ(a.height, row_height(3));
  EXPECT_EQ(next[1], 100 + a.height);
  EXPECT_EQ(next[2], a.width);
  EXPECT_EQ(next[3], a.height);
  // The last column's box ends one left margin before the lane's right edge.
  const int last_box_right = Configs::LANE_TEXT_WIDTH + Configs::LANE_SHAPE_LEFT_MARGIN +
                             3 * (Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES) +
                             Configs::BOX_WIDTH;
  EXPECT_EQ(a.width, last_box_right + Configs::LANE_SHAPE_LEFT_MARGIN);

  // A lane the grid holds nothing for is one row tall but as wide as the others.
  b.set_draw_position(next[0], next[1], grid);
  EXPECT_EQ(b.height, row_height(1));
  EXPECT_EQ(b.width, a.width);
  EXPECT_EQ(b.coord.y_pos, next[1]);

  MeasuringPainter painter;
  pool.set_draw_position(Configs::SURFACE_LEFT_MARGIN, a.coord.y_pos, painter);
  EXPECT_EQ(pool.coord.x_pos, Configs::SURFACE_LEFT_MARGIN);
  EXPECT_EQ(pool.coord.y_pos, 100);
  EXPECT_EQ(pool.height, a.height + b.height);
  EXPECT_EQ(pool.width, Configs::POOL_TEXT_WIDTH + Configs::HSPACE_BETWEEN_POOL_AND_LANE + a.width);
}

TEST(TextBlockGeometry, TitleAndFooterAreMeasuredThroughThePainter) {
  MeasuringPainter painter;
  Title title("Orders", "Sans", 20, "#000000");
  title.set_draw_position(20, 30, painter);
  EXPECT_EQ(title.coord.x_pos, 20);
  EXPECT_EQ(title.coord.y_pos, 30);
  EXPECT_EQ(title.width, 42);
  EXPECT_EQ(title.height, 17);  // rounded up, never cut
  Footer empty("", "Sans", 10, "#000000");
  empty.set_draw_position(20, 500, painter);
  EXPECT_EQ(empty.height, 0);
  EXPECT_EQ(empty.coord.y_pos, 500);
}

}  // namespace
}  // namespace orvane
