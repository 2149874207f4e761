#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/swimboard.hpp"
#include "recording_painter.hpp"

// fontconfig, under the real painters, keeps its configuration cache until the process ends;
// that memory is the library's own and not a leak of the diagram.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace orvane {
namespace {

using testing::calls;

constexpr int kFirstColumnX = Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH +
                              Configs::HSPACE_BETWEEN_POOL_AND_LANE + Configs::LANE_TEXT_WIDTH +
                              Configs::LANE_SHAPE_LEFT_MARGIN;
constexpr int kColumnPitch = Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES;
constexpr int kRowPitch = Configs::BOX_HEIGHT + Configs::VSPACE_BETWEEN_SHAPES;

class DrawPipeline : public testing::RecordingTest {
 protected:
  // Start -> Check (Sales) -> Pack -> Ship (Store), with one pool of two lanes.
  void build_order_flow(Swimboard& board) {
    Pool& pool = board.add_pool("Shop");
    sales = &pool.add_lane("Sales", "", 0, "", "", "centre", "");
    store = &pool.add_lane("Store", "", 0, "", "", "centre", "");
    Shape& start = sales->add_element("Start", ElementType::START);
    Shape& check = sales->add_element("Check", ElementType::TASK);
    Shape& pack = store->add_element("Pack", ElementType::TASK);
    Shape& ship = store->add_element("Ship", ElementType::END);
    start.connect(check);
    check.connect(pack, "ok");
    pack.connect(ship);
  }

  // Every placed shape sits where its grid cell and its lane say.
  void expect_shapes_on_their_cells(const Swimboard& board) {
    for (Shape* shape : board._layout_grid.get_all_shapes()) {
      SCOPED_TRACE(shape->name);
      const ShapeCell cell = board._layout_grid.get_shape_lane_rowcolumn(shape);
      ASSERT_TRUE(cell.lane_id && cell.row_number && cell.col_number);
      const Lane* lane = board._get_lane_by_id(*cell.lane_id);
      ASSERT_NE(lane, nullptr);
      EXPECT_EQ(shape->coord->x_pos, kFirstColumnX + (*cell.col_number - 1) * kColumnPitch);
      EXPECT_EQ(shape->coord->y_pos, lane->coord.y_pos + Configs::LANE_SHAPE_TOP_MARGIN +
                                         (*cell.row_number - 1) * kRowPitch);
    }
  }

  Lane* sales = nullptr;
  Lane* store = nullptr;
};

TEST_F(DrawPipeline, PositionsAndSizeFollowTheLayoutFormulas) {
  Swimboard board("Orders");
  build_order_flow(board);
  board.draw();

  EXPECT_EQ(board._title->coord.y_pos, Configs::SURFACE_TOP_MARGIN);
  EXPECT_EQ(board._title->height, 24);
  const int first_lane_y =
      Configs::SURFACE_TOP_MARGIN + 24 + Configs::VSPACE_BETWEEN_TITLE_AND_POOL;
  EXPECT_EQ(sales->coord.y_pos, first_lane_y);
  EXPECT_EQ(store->coord.y_pos, first_lane_y + sales->height);
  const Pool& pool = *board._pools.front();
  EXPECT_EQ(pool.coord.x_pos, Configs::SURFACE_LEFT_MARGIN);
  EXPECT_EQ(pool.coord.y_pos, first_lane_y);

  ASSERT_EQ(board._layout_grid.get_all_shapes().size(), 4u);
  expect_shapes_on_their_cells(board);
  EXPECT_EQ(sales->shapes[0]->coord->x_pos, kFirstColumnX);
  EXPECT_EQ(sales->shapes[0]->coord->y_pos, first_lane_y + Configs::LANE_SHAPE_TOP_MARGIN);

  EXPECT_EQ(board.lane_max_width, std::max(sales->width, store->width));
  EXPECT_EQ(board.width,
            2 * Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH + board.lane_max_width);
  const int last_y = store->coord.y_pos + store->height + Configs::VSPACE_BETWEEN_POOLS;
  EXPECT_EQ(board.height,
            last_y + Configs::VSPACE_BETWEEN_POOL_AND_FOOTER + Configs::SURFACE_BOTTOM_MARGIN);
  // Every shape lies inside the picture.
  for (Shape* shape : board._layout_grid.get_all_shapes()) {
    EXPECT_LE(shape->box.right(), board.width);
    EXPECT_LE(shape->box.bottom(), board.height);
  }
}

TEST_F(DrawPipeline, FooterSetsTheHeightFromItsOwnPlace) {
  Swimboard board("Orders");
  build_order_flow(board);
  board.set_footer("Confidential");
  board.draw();
  const int last_y = store->coord.y_pos + store->height + Configs::VSPACE_BETWEEN_POOLS;
  EXPECT_EQ(board._footer->coord.y_pos, last_y + Configs::VSPACE_BETWEEN_POOL_AND_FOOTER);
  EXPECT_EQ(board._footer->coord.x_pos, Configs::SURFACE_LEFT_MARGIN);
  EXPECT_EQ(board.height, board._footer->coord.y_pos + 24 + Configs::SURFACE_BOTTOM_MARGIN);
  EXPECT_NE(std::find(calls().begin(), calls().end(), "text Confidential"), calls().end());
}

TEST_F(DrawPipeline, SecondPoolStartsBelowTheFirstWithTheGap) {
  Swimboard board;
  build_order_flow(board);
  Lane& bank = board.add_lane("Bank");
  Shape& pay = bank.add_element("Pay", ElementType::START);
  pay.connect(*store->shapes[0]);
  board.draw();
  EXPECT_EQ(bank.coord.y_pos, store->coord.y_pos + store->height + Configs::VSPACE_BETWEEN_POOLS);
  EXPECT_EQ(board._pools[1]->coord.y_pos, bank.coord.y_pos);
  expect_shapes_on_their_cells(board);
}

TEST_F(DrawPipeline, AutoSizeOffChangesTheFieldsButNotTheSurface) {
  Swimboard board("Orders", 900, 700, false);
  build_order_flow(board);
  board.draw();
  EXPECT_NE(board.width, 900);
  EXPECT_NE(board.height, 700);
  EXPECT_EQ(board.painter().surface_width(), 900);
  EXPECT_EQ(board.painter().surface_height(), 700);
  for (const auto& call : calls()) EXPECT_EQ(call.rfind("set_surface_size", 0), std::string::npos);

  Swimboard sized("Orders", 900, 700, true);
  build_order_flow(sized);
  sized.draw();
  EXPECT_EQ(calls().back(),
            "set_surface_size " + std::to_string(sized.width) + " " + std::to_string(sized.height));
  EXPECT_EQ(sized.painter().surface_width(), sized.width);
}

TEST_F(DrawPipeline, BackgroundsThenShapesThenConnections) {
  Swimboard board("Orders");
  build_order_flow(board);
  Lane& bank = board.add_lane("Bank");
  bank.add_element("Pay", ElementType::START).connect(*sales->shapes[1]);
  calls().clear();
  board.draw();
  auto last_of = [](const std::string& prefix) {
    std::ptrdiff_t at = -1;
    for (std::size_t i = 0; i < calls().size(); ++i) {
      if (calls()[i].rfind(prefix, 0) == 0) at = static_cast<std::ptrdiff_t>(i);
    }
    return at;
  };
  auto first_of = [](const std::string& prefix) {
    for (std::size_t i = 0; i < calls().size(); ++i) {
      if (calls()[i].rfind(prefix, 0) == 0) return static_cast<std::ptrdiff_t>(i);
    }
    return static_cast<std::ptrdiff_t>(-1);
  };
  const auto last_background =
      std::max({last_of("rectangle pool-fill"), last_of("rectangle lane-background")});
  const auto first_shape =
      std::min(first_of("ellipse element-fill"), first_of("rectangle element-fill"));
  const auto last_shape =
      std::max(last_of("ellipse element-fill"), last_of("rectangle element-fill"));
  ASSERT_GE(last_background, 0);
  ASSERT_GE(first_shape, 0);
  EXPECT_LT(last_background, first_shape);
  const auto first_line = first_of("polyline");
  ASSERT_GE(first_line, 0) << "connections were not painted";
  EXPECT_LT(last_shape, first_line);
  EXPECT_EQ(first_of("text Orders"), first_of("text"));  // the title comes first
}

TEST_F(DrawPipeline, DrawingTwiceGivesTheSamePositions) {
  Swimboard board("Orders");
  build_order_flow(board);
  board.add_lane("Bank").add_element("Message", ElementType::MESSAGE).connect(*sales->shapes[1]);
  board.draw();
  auto snapshot = [&] {
    std::vector<int> values{board.width, board.height, board.lane_max_width};
    for (const auto& pool : board._pools) {
      values.push_back(pool->coord.y_pos);
      for (const auto& lane : pool->lanes) {
        values.push_back(lane->coord.y_pos);
        values.push_back(lane->height);
        for (Shape* shape : lane->shapes) {
          values.push_back(shape->coord->x_pos);
          values.push_back(shape->coord->y_pos);
        }
      }
    }
    return values;
  };
  const auto first = snapshot();
  board.draw();
  EXPECT_EQ(snapshot(), first);
  EXPECT_EQ(board._layout_grid.get_all_shapes().size(), 5u);
}

TEST_F(DrawPipeline, RowsArePlacedByTheirNumberNotTheirOrder) {
  Swimboard board;
  Lane& lane = board.add_lane("L");
  Shape& a = lane.add_element("a", ElementType::TASK);
  Shape& b = lane.add_element("b", ElementType::TASK);
  Shape& c = lane.add_element("c", ElementType::TASK);
  Shape& d = lane.add_element("d", ElementType::TASK);
  Grid& grid = board._layout_grid;
  grid.add_shape_to_lane_rowcolumn(lane.id, 2, 1, &a);  // row 2 made first
  grid.add_shape_to_lane_rowcolumn(lane.id, 1, 1, &d);  // then row 1
  grid.add_shape_to_lane_rowcolumn(lane.id, 1, 3, &b);  // third column, the second left empty
  grid.add_shape_to_lane_rowcolumn(lane.id, 4, 1, &c);  // row 3 missing
  auto old_coord = a.coord;
  lane.set_draw_position(0, 100, grid);
  board._set_shape_x_position();
  board._set_shape_y_position();

  const int top = 100 + Configs::LANE_SHAPE_TOP_MARGIN;
  EXPECT_EQ(d.coord->y_pos, top);
  EXPECT_EQ(b.coord->y_pos, top);
  EXPECT_EQ(a.coord->y_pos, top + kRowPitch);
  EXPECT_EQ(c.coord->y_pos, top + 3 * kRowPitch);
  EXPECT_EQ(d.coord->x_pos, kFirstColumnX);
  EXPECT_EQ(b.coord->x_pos, kFirstColumnX + 2 * kColumnPitch);
  EXPECT_NE(a.coord, old_coord);  // a fresh coordinate object
  EXPECT_GE(lane.height, c.coord->y_pos + Configs::BOX_HEIGHT - 100);
  EXPECT_EQ(board.lane_max_width, lane.width);

  // The widest lane is only ever raised.
  lane.width = 10;
  board._set_shape_y_position();
  EXPECT_GT(board.lane_max_width, 10);
}

TEST_F(DrawPipeline, PositionTablesAndLaneLinesGoThroughTheConsole) {
  Swimboard board;
  Lane& lane = board.add_lane("Sales [red]");
  lane.add_element("a", ElementType::START).connect(lane.add_element("b", ElementType::END));
  Helper::set_show_levels({"x_position"});
  board.draw();
  const std::string quiet = out.str();
  EXPECT_NE(quiet.find("lane_id='" + lane.id + "', this_lane.name='Sales [red]', " +
                       "this_lane.coord.x_pos=" + std::to_string(lane.coord.x_pos) +
                       ", this_lane.coord.y_pos=" + std::to_string(lane.coord.y_pos)),
            std::string::npos)
      << quiet;
  EXPECT_EQ(quiet.find("row1"), std::string::npos);

  out.str("");
  Helper::show_x_position = true;
  board.draw();
  const std::string tables = out.str();
  EXPECT_NE(tables.find("row1"), std::string::npos);
  EXPECT_NE(tables.find(std::to_string(kFirstColumnX + kColumnPitch)), std::string::npos);
}

TEST_F(DrawPipeline, PoolWithoutLanesFailsBeforeAnythingIsPainted) {
  Swimboard board;
  board.add_lane("L").add_element("a", ElementType::START);
  board.add_pool("Empty partner");
  calls().clear();
  try {
    board.draw();
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find("'Empty partner'"), std::string::npos);
  }
  for (const auto& call : calls()) {
    EXPECT_TRUE(call.rfind("text", 0) != 0 && call.rfind("rectangle", 0) != 0) << call;
  }
}

TEST_F(DrawPipeline, GridLaneThatNoLaneHasIsReported) {
  Swimboard board;
  Shape& a = board.add_lane("L").add_element("a", ElementType::START);
  board._layout_grid.add_shape_to_lane_rowcolumn("lane_ghost", 1, 1, &a);
  EXPECT_THROW(board._set_shape_x_position(), std::out_of_range);
}

TEST_F(DrawPipeline, DroppedTitleElementDrawsAsAnEmptyTitle) {
  Swimboard board("Orders");
  build_order_flow(board);
  board._title.reset();
  board.set_title_font_size(30);
  board.draw();
  EXPECT_EQ(sales->coord.y_pos,
            Configs::SURFACE_TOP_MARGIN + Configs::VSPACE_BETWEEN_TITLE_AND_POOL);
  EXPECT_EQ(std::find(calls().begin(), calls().end(), "text Orders"), calls().end());
}

TEST_F(DrawPipeline, ValidationFailureStopsTheDrawAtOnce) {
  Swimboard board;
  calls().clear();
  EXPECT_THROW(board.draw(), EmptySwimboardException);
  EXPECT_TRUE(calls().empty());
}

// The real painters and exporters: no recording override.
class DrawnFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() / ("orvane-draw-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    Helper::set_log_output(log);
  }
  void TearDown() override {
    Helper::set_log_output(std::cerr);
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  std::ostringstream log;
};

TEST_F(DrawnFiles, SavedPngHasTheComputedSizeAndExportsAreWritten) {
  Swimboard board("Orders");
  Lane& lane = board.add_lane("Sales");
  Shape& start = lane.add_element("Start", ElementType::START);
  Shape& task = lane.add_element("Check order", ElementType::TASK);
  start.connect(task);
  task.connect(lane.add_element("Done", ElementType::END));
  board.draw();
  const std::string png = (folder / "out.png").string();
  board.save(png);

  std::ifstream in(png, std::ios::binary);
  ASSERT_TRUE(in);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  ASSERT_EQ(in.gcount(), 24);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header) + 12, 4), "IHDR");
  auto be32 = [&](int at) {
    return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3];
  };
  EXPECT_EQ(be32(16), board.width);
  EXPECT_EQ(be32(20), board.height);
  EXPECT_NE(log.str().find("to generate '" + png + "' diagram"), std::string::npos);

  board.export_to_bpmn((folder / "out.bpmn").string());
  board.export_to_drawio((folder / "out.drawio").string());
  EXPECT_GT(std::filesystem::file_size(folder / "out.bpmn"), 0u);
  EXPECT_GT(std::filesystem::file_size(folder / "out.drawio"), 0u);
}

TEST_F(DrawnFiles, SaveToAnUnwritablePlaceThrowsLeavesNoFileAndLogsNothing) {
  Swimboard board("Orders");
  board.add_lane("Sales").add_element("Start", ElementType::START);
  board.draw();
  const auto target = folder / "no-such-folder" / "out.png";
  EXPECT_ANY_THROW(board.save(target.string()));
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(log.str(), "");
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace orvane
