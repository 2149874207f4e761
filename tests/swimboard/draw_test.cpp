#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
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

TEST_F(DrawPipeline, SurfaceIsResizedOnceAfterEveryPaintFooterIncluded) {
  Swimboard board("Orders");
  build_order_flow(board);
  board.set_footer("Confidential");
  calls().clear();
  board.draw();
  const auto footer = std::find(calls().begin(), calls().end(), "text Confidential");
  ASSERT_NE(footer, calls().end());
  EXPECT_LT(std::find(calls().begin(), calls().end(), "polyline"), footer);
  const std::string resize =
      "set_surface_size " + std::to_string(board.width) + " " + std::to_string(board.height);
  EXPECT_EQ(std::count(calls().begin(), calls().end(), resize), 1);
  EXPECT_EQ(calls().back(), resize);
}

TEST_F(DrawPipeline, PicturesHaveTheSameMarginLeftAndRightOfThePools) {
  Swimboard board("Orders");
  build_order_flow(board);
  // A second pool whose flow reaches further right widens every lane.
  Lane& bank = board.add_lane("Bank");
  Shape& pay = bank.add_element("Pay", ElementType::START);
  Shape& book = bank.add_element("Book", ElementType::TASK);
  Shape& file = bank.add_element("File", ElementType::TASK);
  pay.connect(book);
  book.connect(file);
  file.connect(bank.add_element("Done", ElementType::END));
  board.draw();

  int right = 0;
  for (const auto& pool : board._pools) {
    SCOPED_TRACE(pool->name);
    EXPECT_EQ(pool->coord.x_pos, Configs::SURFACE_LEFT_MARGIN);
    right = std::max(right, pool->coord.x_pos + pool->width);
    for (const auto& lane : pool->lanes) {
      EXPECT_LE(lane->coord.x_pos + lane->width, pool->coord.x_pos + pool->width);
    }
  }
  EXPECT_EQ(board.width - right, Configs::SURFACE_LEFT_MARGIN);
  EXPECT_EQ(board.painter().surface_width(), board.width);
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

TEST_F(DrawPipeline, EachElementIsAGroupWithItsIdAndNameAndTheDiagramIsDescribed) {
  Swimboard board("Orders");
  build_order_flow(board);
  Shape& check = *sales->shapes[1];
  calls().clear();
  board.draw();
  const auto at = [](const std::string& call) {
    return std::find(calls().begin(), calls().end(), call) - calls().begin();
  };
  ASSERT_LT(at("describe Orders | Process diagram: pool \u201CShop\u201D with lanes "
               "\u201CSales\u201D and \u201CStore\u201D; 4 shapes and 3 connections."),
            at("text Orders"));
  // A shape's drawing lies inside its group.
  const auto group = at("group " + check.bpmn_id + " Check");
  ASSERT_LT(group, static_cast<std::ptrdiff_t>(calls().size()));
  EXPECT_EQ(calls()[static_cast<std::size_t>(group) + 1], "rectangle element-fill");
  EXPECT_EQ(calls()[static_cast<std::size_t>(group) + 2], "text Check");
  EXPECT_EQ(calls()[static_cast<std::size_t>(group) + 3], "end group");
  EXPECT_LT(at("group " + sales->id + " Sales"), group);
  // A connection is named by its label, or by the shapes it joins.
  const Shape& pack = *store->shapes[0];
  EXPECT_LT(at("group " + check.connection_to->front().bpmn_id + " ok"),
            static_cast<std::ptrdiff_t>(calls().size()));
  EXPECT_LT(at("group " + pack.connection_to->front().bpmn_id + " Pack \u2192 Ship"),
            static_cast<std::ptrdiff_t>(calls().size()));
  EXPECT_EQ(std::count(calls().begin(), calls().end(), "end group"),
            std::count_if(calls().begin(), calls().end(),
                          [](const std::string& c) { return c.rfind("group ", 0) == 0; }));
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

// Row and column numbers the grid takes but no pixel position can hold (they would wrap round
// an int): each pass refuses them by name.
TEST_F(DrawPipeline, PositionsPastTheLargestPixelAreRefusedNotWrapped) {
  for (const bool far_row : {false, true}) {
    Swimboard board;
    Lane& lane = board.add_lane("L");
    Shape& a = lane.add_element("a", ElementType::TASK);
    board._layout_grid.add_shape_to_lane_rowcolumn(lane.id, far_row ? 1 << 30 : 1,
                                                   far_row ? 1 : 1 << 30, &a);
    const std::string what = far_row ? "a lane's bottom edge" : "the lanes' right edge";
    try {
      lane.set_draw_position(0, 100, board._layout_grid);
      ADD_FAILURE() << "no exception for " << what;
    } catch (const std::length_error& e) {
      EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
    }
    const std::string shape_what = far_row ? "a shape's y" : "a shape's x";
    lane.coord.y_pos = 100;
    try {
      board._set_shape_x_position();
      board._set_shape_y_position();
      ADD_FAILURE() << "no exception for " << shape_what;
    } catch (const std::length_error& e) {
      EXPECT_NE(std::string(e.what()).find(shape_what), std::string::npos) << e.what();
    }
  }
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

TEST_F(DrawPipeline, GridLaneThatNoLaneHasIsReportedByBothPositionPasses) {
  Swimboard board;
  Shape& a = board.add_lane("L").add_element("a", ElementType::START);
  board._layout_grid.add_shape_to_lane_rowcolumn("lane_ghost", 1, 1, &a);
  for (auto pass : {&Swimboard::_set_shape_x_position, &Swimboard::_set_shape_y_position}) {
    try {
      (board.*pass)();
      ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {
      EXPECT_NE(std::string(e.what()).find("'lane_ghost'"), std::string::npos) << e.what();
    }
  }
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

// What draw() prints in each trace category, as a terminal receives it.
class DrawTrace : public testing::RecordingTest {
 protected:
  static constexpr const char* kHeading = "\x1b[7m\x1b[38;5;72m\x1b[1m";  // reverse cadet blue
  static constexpr const char* kEnd = "\x1b[0m\x1b[0m";

  // Shop: Sales (Start -> Check), "Bob's [red]" (-> Ship), Idle (no shapes); Bank: Pay -> Paid.
  void SetUp() override {
    RecordingTest::SetUp();
    board = std::make_unique<Swimboard>("Orders");
    Pool& shop = board->add_pool("Shop");
    sales = &shop.add_lane("Sales", "", 0, "", "", "centre", "");
    bobs = &shop.add_lane("Bob's [red]", "", 0, "", "", "centre", "");
    shop.add_lane("Idle", "", 0, "", "", "centre", "");
    bank = &board->add_lane("Bank");
    Shape& start = sales->add_element("Start", ElementType::START);
    Shape& check = sales->add_element("Check", ElementType::TASK);
    start.connect(check);
    check.connect(bobs->add_element("Ship", ElementType::END));
    bank->add_element("Pay", ElementType::START)
        .connect(bank->add_element("Paid", ElementType::END));
    Helper::set_ansi(true);
  }

  // Everything one draw() prints with only `show_level` shown.
  std::string trace(const std::string& show_level) {
    Helper::set_show_levels({show_level});
    out.str("");
    board->draw();
    return out.str();
  }

  static std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The position pass's line for each lane that holds shapes, each followed by an empty line.
  std::string position_lines() const {
    std::string text;
    for (const Lane* lane : {sales, bobs, bank}) {
      const std::string name = lane == bobs ? "\"Bob's [red]\"" : "'" + lane->name + "'";
      text += "lane_id='" + lane->id + "', this_lane.name=" + name +
              ", this_lane.coord.x_pos=" + std::to_string(lane->coord.x_pos) +
              ", this_lane.coord.y_pos=" + std::to_string(lane->coord.y_pos) + "\n\n";
    }
    return text;
  }

  std::unique_ptr<Swimboard> board;
  Lane* sales = nullptr;
  Lane* bobs = nullptr;
  Lane* bank = nullptr;
};

TEST_F(DrawTrace, LayoutGridOpensWithItsHeadingThenTracesThePlacement) {
  const std::string text = trace("layout_grid");
  const std::string heading =
      std::string(kHeading) + "[  Putting shapes into grid  ]" + kEnd + "\n";
  EXPECT_EQ(text.rfind(heading, 0), 0u) << text;
  EXPECT_EQ(text.find(heading, 1), std::string::npos);
  for (const char* name : {"Start", "Check", "Ship", "Pay", "Paid"}) {
    EXPECT_NE(text.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(text.find("Calculating"), std::string::npos);
  EXPECT_EQ(text.find("Drawing"), std::string::npos);
  EXPECT_EQ(text.find("this_lane"), std::string::npos);
}

TEST_F(DrawTrace, PoolLaneHasExactlyThePositioningHeadings) {
  EXPECT_EQ(trace("pool_lane"),
            std::string(kHeading) + "[  Calculating pool and lane width and height   ]" + kEnd +
                "\n" + kHeading + "[  Setting shapes X positions   ]" + kEnd + "\n" + kHeading +
                "[  Setting shapes Y positions   ]" + kEnd + "\n");
}

TEST_F(DrawTrace, DrawNamesEveryLaneInPoolOrderWithQuotedNames) {
  // The lane name's brackets are text, not markup: no colour starts inside it.
  EXPECT_EQ(trace("draw"),
            "Drawing shape for (pool.name='Shop', lane.name='Sales')\n"
            "Drawing shape for (pool.name='Shop', lane.name=\"Bob's [red]\")\n"
            "Drawing shape for (pool.name='Shop', lane.name='Idle')\n"
            "Drawing shape for (pool.name='Default Pool', lane.name='Bank')\n");
}

TEST_F(DrawTrace, DrawConnectionNamesEveryLaneBesideTheRoutes) {
  // The router's own lines share the category; only the lane lines are this pipeline's.
  std::vector<std::string> lane_lines;
  for (const std::string& line : lines_of(trace("draw_connection"))) {
    if (line.rfind("Drawing ", 0) == 0) lane_lines.push_back(line);
  }
  EXPECT_EQ(lane_lines, (std::vector<std::string>{
                            "Drawing connection for (pool.name='Shop', lane.name='Sales')",
                            "Drawing connection for (pool.name='Shop', lane.name=\"Bob's [red]\")",
                            "Drawing connection for (pool.name='Shop', lane.name='Idle')",
                            "Drawing connection for (pool.name='Default Pool', lane.name='Bank')",
                        }));
}

TEST_F(DrawTrace, EachPositionPassNamesTheLanesOfTheGridUnderItsOwnCategory) {
  // Idle holds no shape, so the grid and both passes leave it out.
  const std::string x_trace = trace("x_position");
  EXPECT_EQ(x_trace, position_lines());
  const std::string y_trace = trace("y_position");
  EXPECT_EQ(y_trace, position_lines());
}

// A console table as printed: title, header cells and row cells, blanks trimmed.
struct PrintedTable {
  std::string title;
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  bool operator==(const PrintedTable&) const = default;
};

std::vector<PrintedTable> printed_tables(const std::string& text) {
  auto cells_of = [](const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
      const std::size_t bar = line.find("\u2502", start);
      std::string cell = line.substr(start, bar == std::string::npos ? bar : bar - start);
      cell.erase(0, cell.find_first_not_of(' '));
      cell.erase(cell.find_last_not_of(' ') + 1);
      cells.push_back(cell);
      if (bar == std::string::npos) return cells;
      start = bar + std::string("\u2502").size();
    }
  };
  std::vector<PrintedTable> tables;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("row", 0) == 0) {
      tables.push_back({line, {}, {}});
    } else if (!tables.empty() && line.find("\u2502") != std::string::npos) {
      if (tables.back().header.empty()) {
        tables.back().header = cells_of(line);
      } else {
        tables.back().rows.push_back(cells_of(line));
      }
    }
  }
  return tables;
}

TEST_F(DrawTrace, PositionTablesOfBothPassesFollowTheirSwitch) {
  Helper::set_ansi(false);
  Helper::set_show_levels({"all"});
  board->draw();
  EXPECT_TRUE(printed_tables(out.str()).empty()) << out.str();

  // The tables follow their switch alone, whatever categories are shown.
  Helper::show_x_position = true;
  Helper::set_show_levels({});
  out.str("");
  board->draw();
  const std::vector<PrintedTable> tables = printed_tables(out.str());
  auto x_of = [](int column) { return std::to_string(kFirstColumnX + column * kColumnPitch); };
  auto y_of = [](const Lane* lane) {
    return std::to_string(lane->coord.y_pos + Configs::LANE_SHAPE_TOP_MARGIN);
  };
  const std::vector<std::string> x_header{"#", "item", "x"};
  const std::vector<std::string> y_header{"#", "item", "x", "y"};
  EXPECT_EQ(tables,
            (std::vector<PrintedTable>{
                {"row1", x_header, {{"1", "Start", x_of(0)}, {"2", "Check", x_of(1)}}},
                {"row1", x_header, {{"3", "Ship", x_of(2)}}},
                {"row1", x_header, {{"1", "Pay", x_of(0)}, {"2", "Paid", x_of(1)}}},
                {"row1",
                 y_header,
                 {{"1", "Start", x_of(0), y_of(sales)}, {"2", "Check", x_of(1), y_of(sales)}}},
                {"row1", y_header, {{"3", "Ship", x_of(2), y_of(bobs)}}},
                {"row1",
                 y_header,
                 {{"1", "Pay", x_of(0), y_of(bank)}, {"2", "Paid", x_of(1), y_of(bank)}}},
            }));
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

TEST_F(DrawPipeline, BlackBoxPoolsAreOneLaneHighAndTheirMessagesRunStraight) {
  Swimboard board("t");
  Pool& customer = board.add_pool("Customer");
  Participant& band = customer.make_black_box();
  build_order_flow(board);
  Pool& bank = board.add_pool("Bank");
  bank.make_black_box();
  Shape& check = *sales->shapes[1];
  Shape& start = *sales->shapes[0];
  band.connect(start, "order");
  Connection& pay = check.connect(*bank.participant(), "pay");
  calls().clear();
  board.draw();

  // The description names the black boxes without lanes and counts the message from one.
  EXPECT_NE(std::find(calls().begin(), calls().end(),
                      "describe t | Process diagram: pool \u201CCustomer\u201D; pool "
                      "\u201CShop\u201D with lanes \u201CSales\u201D and \u201CStore\u201D; "
                      "pool \u201CBank\u201D; 4 shapes and 5 connections."),
            calls().end());
  // The band spans the lanes' width, one lane high, above the shop; the bank's below it.
  EXPECT_EQ(customer.height, 2 * Configs::LANE_SHAPE_TOP_MARGIN + Configs::BOX_HEIGHT);
  EXPECT_EQ(customer.width, board._pools[1]->width);
  EXPECT_LT(customer.coord.y_pos, board._pools[1]->coord.y_pos);
  EXPECT_GT(bank.coord.y_pos, board._pools[1]->coord.y_pos + board._pools[1]->height);
  // Straight down from the band's lower edge onto the start event's top...
  const Connection& order = band.connection_to->front();
  ASSERT_EQ(order.waypoints.size(), 2u);
  EXPECT_EQ(order.waypoints[0].x, order.waypoints[1].x);
  EXPECT_DOUBLE_EQ(order.waypoints[0].y, customer.coord.y_pos + customer.height);
  EXPECT_NEAR(order.waypoints[1].y, start.box.y, 0.5);
  ASSERT_TRUE(order.label_box);
  // ...and from the task's bottom down onto the bank's upper edge.
  ASSERT_EQ(pay.waypoints.size(), 2u);
  EXPECT_DOUBLE_EQ(pay.waypoints[0].y, check.box.bottom());
  EXPECT_DOUBLE_EQ(pay.waypoints[1].y, bank.coord.y_pos);
  // The black boxes take no cell: the shop lays out as it does alone.
  EXPECT_EQ(board._layout_grid.get_all_shapes().size(), 4u);
}

TEST_F(DrawPipeline, AMessageToABlackBoxGoesRoundAShapeInItsWay) {
  Swimboard board("t");
  Pool& customer = board.add_pool("Customer");
  Participant& band = customer.make_black_box();
  Pool& shop = board.add_pool("Shop");
  Lane& upper = shop.add_lane("Upper", "", 0, "", "", "centre", "");
  Lane& lower = shop.add_lane("Lower", "", 0, "", "", "centre", "");
  Shape& start = upper.add_element("Start", ElementType::START);
  Shape& work = upper.add_element("Work", ElementType::TASK);
  Shape& end = upper.add_element("End", ElementType::END);
  Shape& tell = lower.add_element("Tell", ElementType::TASK);
  start.connect(work);
  work.connect(end);
  work.connect(tell);  // the second flow: below Work, in the same column
  Connection& message = tell.connect(band, "news");
  board.draw();
  ASSERT_EQ(tell.box.centre_x(), work.box.centre_x());
  ASSERT_GE(message.waypoints.size(), 2u);
  EXPECT_DOUBLE_EQ(message.waypoints.back().y, customer.coord.y_pos + customer.height);
  for (std::size_t i = 1; i < message.waypoints.size(); ++i) {
    const Point& a = message.waypoints[i - 1];
    const Point& b = message.waypoints[i];
    const bool crosses = std::min(a.x, b.x) < work.box.right() &&
                         work.box.x < std::max(a.x, b.x) + 0.01 &&
                         std::min(a.y, b.y) < work.box.bottom() && work.box.y < std::max(a.y, b.y);
    EXPECT_FALSE(crosses) << "segment " << i;
  }
}

// A message from a black-box pool comes straight down onto a task's top, past the event standing
// above the task's middle: the task's flow up to that event runs straight up the middle of the
// top, never on top of the message.
TEST_F(DrawPipeline, FlowsKeepOffTheSideABlackBoxMessageArrivesBy) {
  Swimboard board("t");
  Pool& customer = board.add_pool("Customer");
  Participant& band = customer.make_black_box();
  Pool& shop = board.add_pool("Shop");
  Lane& upper = shop.add_lane("Upper", "", 0, "", "", "centre", "");
  Lane& lower = shop.add_lane("Lower", "", 0, "", "", "centre", "");
  Shape& start = upper.add_element("Start", ElementType::START);
  Shape& wait = lower.add_element("Await feedback", ElementType::TASK);
  Shape& closed = lower.add_element("Closed", ElementType::END);
  Shape& settled = upper.add_element("Settled", ElementType::END);
  start.connect(wait);
  wait.connect(closed, "thanked");
  Connection& up = wait.connect(settled);  // to the lane above, one column on
  Connection& feedback = band.connect(wait, "feedback");
  board.draw();
  ASSERT_GE(feedback.waypoints.size(), 2u);
  ASSERT_GE(up.waypoints.size(), 2u);
  ASSERT_EQ(settled.box.centre_x(), wait.box.centre_x()) << "the event is no longer above";
  EXPECT_EQ(up.waypoints.size(), 2u);
  const double x = feedback.waypoints.back().x;
  for (std::size_t i = 1; i < up.waypoints.size(); ++i) {
    const Point& a = up.waypoints[i - 1];
    const Point& b = up.waypoints[i];
    const bool on_the_message = a.x == b.x && std::abs(a.x - x) < 6 &&
                                std::min(a.y, b.y) < wait.box.y &&
                                std::max(a.y, b.y) > feedback.waypoints.front().y;
    EXPECT_FALSE(on_the_message) << "segment " << i;
  }
}

TEST_F(DrawPipeline, AttachedShapesTakeTheirPlaceFromTheShapesTheyBelongTo) {
  Swimboard board("t");
  build_order_flow(board);
  Shape& check = *sales->shapes[1];
  Shape& pack = *store->shapes[0];
  TypedEvent& late = sales->add_boundary_event(check, "Late", EventTrigger::TIMER);
  TypedEvent& error = sales->add_boundary_event(check, "Broken", EventTrigger::ERROR);
  late.connect(pack);
  TextAnnotation& note = sales->annotate(check, "Four eyes");
  Group& group = sales->add_group("Work", {&check, &pack});
  board.draw();

  // On the lower border, spread apart, their flows leaving downwards.
  for (const TypedEvent* event : {&late, &error}) {
    EXPECT_DOUBLE_EQ(event->box.centre_y(), check.box.bottom());
    EXPECT_GE(event->box.centre_x(), check.box.x);
    EXPECT_LE(event->box.centre_x(), check.box.right());
  }
  EXPECT_LE(late.box.right(), error.box.x);
  const auto& route = late.connection_to->front().waypoints;
  ASSERT_GE(route.size(), 2u);
  EXPECT_DOUBLE_EQ(route.front().y, late.box.bottom());
  // Its name moves beside the flow, off the run down from the circle, still below the border.
  const Box& name = late.label_box;
  EXPECT_GE(name.y, check.box.bottom());
  EXPECT_TRUE(name.right() <= route[0].x || name.x >= route[0].x) << name.x << " " << route[0].x;
  // The annotation lies in its lane clear of every shape, joined by a straight line.
  const Box lane{static_cast<double>(sales->coord.x_pos), static_cast<double>(sales->coord.y_pos),
                 static_cast<double>(sales->width), static_cast<double>(sales->height)};
  EXPECT_GE(note.box.x, lane.x);
  EXPECT_LE(note.box.bottom(), lane.bottom());
  for (Shape* shape : {sales->shapes[0], &check, &pack}) {
    const bool apart = note.box.right() <= shape->box.x || shape->box.right() <= note.box.x ||
                       note.box.bottom() <= shape->box.y || shape->box.bottom() <= note.box.y;
    EXPECT_TRUE(apart) << shape->name;
  }
  EXPECT_EQ(note.connection_to->front().waypoints.size(), 2u);
  // The group frames its members and their boundary events.
  for (const Shape* member : {static_cast<Shape*>(&check), &pack, static_cast<Shape*>(&late)}) {
    EXPECT_LE(group.box.x, member->box.x) << member->name;
    EXPECT_GE(group.box.right(), member->box.right()) << member->name;
    EXPECT_LE(group.box.y, member->box.y) << member->name;
    EXPECT_GE(group.box.bottom(), member->box.bottom()) << member->name;
  }
  // And the boundary event's name where the router left it.
  EXPECT_LE(group.box.x, name.x);
  EXPECT_GE(group.box.bottom(), name.y + 8);
  EXPECT_LE(group.box.y, group.label_box.y);
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// Whether the route passes through the inside of `box` (shrunk by half a pixel).
bool route_enters(const Connection& c, const Box& box) {
  for (std::size_t i = 1; i < c.waypoints.size(); ++i) {
    const Point& a = c.waypoints[i - 1];
    const Point& b = c.waypoints[i];
    if (std::min(a.x, b.x) < box.right() - 0.5 && std::max(a.x, b.x) > box.x + 0.5 &&
        std::min(a.y, b.y) < box.bottom() - 0.5 && std::max(a.y, b.y) > box.y + 0.5) {
      return true;
    }
  }
  return false;
}

bool boxes_meet(const Box& a, const Box& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

// Adds the shapes to the lane in order, each joined to the one before.
std::vector<Shape*> chain(Lane& lane,
                          const std::vector<std::pair<std::string, ElementType>>& shapes) {
  std::vector<Shape*> out;
  for (const auto& [name, type] : shapes) {
    out.push_back(&lane.add_element(name, type));
    if (out.size() > 1) out[out.size() - 2]->connect(*out.back());
  }
  return out;
}

// Three boundary events side by side on a task in a one-row lane leave the middle one no room
// at the routes' usual distance from its neighbours and the lane's edge. Its flows still go
// round every shape, close past them, and so does a message from the task to a black-box pool
// below, whose way down the events block; none is drawn straight through a shape.
TEST_F(DrawPipeline, AHemmedInBoundaryEventAndAMessageBelowItsEventsGoRoundTheShapes) {
  Swimboard board("t");
  Pool& pool = board.add_pool("Shop");
  Lane& lane = pool.add_lane("Sales", "", 0, "", "", "centre", "");
  Participant& bank = board.add_pool("Bank").make_black_box();
  const auto row = chain(lane, {{"Start", ElementType::START},
                                {"Check", ElementType::TASK},
                                {"Pack", ElementType::TASK},
                                {"Done", ElementType::END}});
  Shape& start = *row[0];
  Shape& check = *row[1];
  Shape& pack = *row[2];
  Shape& done = *row[3];
  TypedEvent& late = lane.add_boundary_event(check, "Late", EventTrigger::TIMER);
  TypedEvent& broken = lane.add_boundary_event(check, "Broken", EventTrigger::ERROR);
  TypedEvent& asked = lane.add_boundary_event(check, "Asked", EventTrigger::MESSAGE);
  broken.connect(pack);
  broken.connect(start);
  check.connect(bank, "pay");
  board.draw();
  const Connection& forward = broken.connection_to->at(0);
  const Connection& back = broken.connection_to->at(1);
  const Connection& pay = check.connection_to->back();

  ASSERT_LT(late.box.right(), broken.box.x + 8) << "the events no longer stand close together";
  for (const Connection* c : {&forward, &back, &pay}) {
    SCOPED_TRACE(c->source->name + " -> " + c->target->name);
    ASSERT_GE(c->waypoints.size(), 2u);
    EXPECT_EQ(c->route_note.find("no free path"), std::string::npos);
    const std::vector<const Shape*> shapes{&start, &check, &pack, &done, &late, &broken, &asked};
    for (const Shape* s : shapes) {
      if (s == c->source || s == c->target) continue;
      EXPECT_FALSE(route_enters(*c, s->box)) << "through " << s->name;
    }
  }
  EXPECT_FALSE(route_enters(forward, check.box));
  EXPECT_FALSE(route_enters(back, check.box));
}

// The same hemmed-in events along a long row, each middle one leading twenty tasks on: the close
// way out runs past hundreds of shapes, and is still found rather than drawn straight across.
TEST_F(DrawPipeline, HemmedInEventsLeadingFarAlongARowGoRoundTheShapes) {
  Swimboard board("t");
  Lane& lane = board.add_pool("P").add_lane("L", "", 0, "", "", "centre", "");
  std::vector<std::pair<std::string, ElementType>> names;
  for (int i = 0; i < 40; ++i) names.emplace_back("Task " + std::to_string(i), ElementType::TASK);
  const auto row = chain(lane, names);
  std::vector<const Shape*> shapes(row.begin(), row.end());
  std::vector<TypedEvent*> middles;
  for (Shape* task : row) {
    shapes.push_back(&lane.add_boundary_event(*task, "E0", EventTrigger::TIMER));
    middles.push_back(&lane.add_boundary_event(*task, "E1", EventTrigger::TIMER));
    shapes.push_back(middles.back());
    shapes.push_back(&lane.add_boundary_event(*task, "E2", EventTrigger::TIMER));
  }
  for (std::size_t i = 0; i < middles.size(); ++i) middles[i]->connect(*row[(i + 20) % row.size()]);
  board.draw();
  for (const TypedEvent* event : middles) {
    const Connection& c = event->connection_to->at(0);
    SCOPED_TRACE(c.source->name + " -> " + c.target->name);
    ASSERT_GE(c.waypoints.size(), 2u);
    EXPECT_EQ(c.route_note.find("no free path"), std::string::npos);
    for (const Shape* s : shapes) {
      if (s == c.source || s == c.target) continue;
      ASSERT_FALSE(route_enters(c, s->box)) << s->name;
    }
  }
}

// Two messages from a task to a black-box pool below, where the task's boundary event stands
// in the way of the second one's place along its foot and its turn: the message leaves by the
// task's side rather than turning inside the task.
TEST_F(DrawPipeline, AMessageBlockedByItsTasksBoundaryEventLeavesByTheSide) {
  Swimboard board("t");
  Pool& pool = board.add_pool("P");
  Lane& upper = pool.add_lane("A", "", 0, "", "", "centre", "");
  Lane& lower = pool.add_lane("B", "", 0, "", "", "centre", "");
  Participant& band = board.add_pool("Bank").make_black_box();
  Shape& archive = upper.add_element("Archive", ElementType::TASK);
  Shape& notify = upper.add_element("Notify update customer", ElementType::START);
  Shape& approve = lower.add_element("Approve order", ElementType::TASK);
  TypedEvent& update = upper.add_boundary_event(archive, "Update", EventTrigger::CONDITIONAL);
  notify.connect(approve);
  update.connect(approve);
  archive.connect(band);
  archive.connect(band, "Customer claim");
  board.draw();
  for (const Connection& c : *archive.connection_to) {
    SCOPED_TRACE(c.label);
    ASSERT_GE(c.waypoints.size(), 2u);
    for (std::size_t i = 1; i < c.waypoints.size(); ++i) {
      const Point& a = c.waypoints[i - 1];
      const Point& b = c.waypoints[i];
      const Box& box = archive.box;
      const bool inside =
          std::min(a.x, b.x) < box.right() - 0.5 && std::max(a.x, b.x) > box.x + 0.5 &&
          std::min(a.y, b.y) < box.bottom() - 0.5 && std::max(a.y, b.y) > box.y + 0.5;
      EXPECT_FALSE(inside) << "segment " << i << " runs inside the task";
    }
    EXPECT_FALSE(route_enters(c, update.box));
  }
}

// A note on a task with boundary events keeps off the room round the events, where their names
// go once their flows are laid: placed below the task, it pushed the gateway's branch to the
// task below into a detour round it.
TEST_F(DrawPipeline, ANoteKeepsOffTheRoomRoundItsTasksBoundaryEvents) {
  Swimboard board("t");
  Lane& lane = board.add_pool("Company").add_lane("Purchasing", "", 0, "", "", "centre", "");
  const auto row = chain(lane, {{"Request received", ElementType::START},
                                {"", ElementType::INCLUSIVE},
                                {"Compute customer data", ElementType::TASK},
                                {"Verify customer data", ElementType::TASK}});
  Shape& split = *row[1];
  Shape& compute = *row[2];
  Shape& escalate = lane.add_element("Escalate order", ElementType::TASK);
  TypedEvent& late = lane.add_boundary_event(compute, "Two days passed", EventTrigger::TIMER);
  TypedEvent& limit = lane.add_boundary_event(compute, "Limit exceeded", EventTrigger::CONDITIONAL);
  Shape& done = lane.add_element("Done", ElementType::END);
  late.connect(lane.add_element("Handle Two days passed", ElementType::TASK));
  limit.connect(lane.add_element("Handle Limit exceeded", ElementType::TASK));
  split.connect(escalate, "large order");
  row[3]->connect(done);
  escalate.connect(done);
  TextAnnotation& note = lane.annotate(compute, "Only for orders above 10,000 EUR");
  board.draw();
  for (const TypedEvent* event : {&late, &limit}) {
    EXPECT_FALSE(boxes_meet(note.box, event->label_box)) << event->name;
  }
  const Connection& branch = split.connection_to->back();
  ASSERT_EQ(branch.target, &escalate);
  EXPECT_LE(branch.waypoints.size(), 3u) << "the branch goes round the note";
}

// A note on a decision whose "yes" leaves by the side the note stands at: the branch labels
// keep off the note's line as they keep off routes (they were placed over it).
TEST_F(DrawPipeline, BranchLabelsKeepOffANotesLine) {
  Swimboard board("t");
  Lane& lane = board.add_pool("Company").add_lane("Accounting", "", 0, "", "", "centre", "");
  const auto row = chain(lane, {{"Request received", ElementType::START},
                                {"Collect offer", ElementType::TASK},
                                {"Archive stock", ElementType::TASK},
                                {"Urgent?", ElementType::EXCLUSIVE}});
  Shape& collect = *row[1];
  Shape& urgent = *row[3];
  urgent.connect(lane.add_element("account done", ElementType::END), "yes");
  urgent.connect(collect, "rework");
  TextAnnotation& note = lane.annotate(urgent, "Only for orders above 10,000 EUR");
  board.draw();
  const Connection& line = note.connection_to->front();
  ASSERT_EQ(line.waypoints.size(), 2u);
  for (const Connection& c : *urgent.connection_to) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(c.label_box);
    const Box& b = *c.label_box;
    // The note's line sampled along its length.
    for (int k = 0; k <= 100; ++k) {
      const Point& p = line.waypoints[0];
      const Point& q = line.waypoints[1];
      const double x = p.x + (q.x - p.x) * k / 100.0;
      const double y = p.y + (q.y - p.y) * k / 100.0;
      EXPECT_FALSE(x > b.x && x < b.right() && y > b.y && y < b.bottom()) << x << "," << y;
    }
  }
}

// Two groups round the same shapes, and one round a part of them: each group round the members
// of another goes round that one's frame and name, so that no two names lie on one another.
TEST_F(DrawPipeline, NestedGroupsGoRoundOneAnotherWithTheirNamesApart) {
  Swimboard board("t");
  Lane& lane = board.add_pool("Shop").add_lane("Sales", "", 0, "", "", "centre", "");
  const auto row = chain(lane, {{"Start", ElementType::START},
                                {"Check", ElementType::TASK},
                                {"Pack", ElementType::TASK},
                                {"Done", ElementType::END}});
  Shape& check = *row[1];
  Shape& pack = *row[2];
  Group& both = lane.add_group("Work", {&check, &pack});
  Group& again = lane.add_group("Also work", {&pack, &check});
  Group& one = lane.add_group("Packing", {&pack});
  board.draw();
  const std::vector<const Group*> groups{&both, &again, &one};
  auto within = [](const Box& inner, const Box& outer) {
    return inner.x > outer.x && inner.y > outer.y && inner.right() < outer.right() &&
           inner.bottom() < outer.bottom();
  };
  EXPECT_TRUE(within(one.box, both.box));
  EXPECT_TRUE(within(one.box, again.box));
  EXPECT_TRUE(within(both.box, again.box) || within(again.box, both.box));
  for (std::size_t i = 0; i < groups.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const Box& a = groups[i]->label_box;
      const Box& b = groups[j]->label_box;
      const bool apart =
          a.right() <= b.x || b.right() <= a.x || a.bottom() <= b.y || b.bottom() <= a.y;
      EXPECT_TRUE(apart) << groups[i]->name << " over " << groups[j]->name;
    }
  }
}

// Two boundary events on a task share its border: the first one's name is a word longer than its
// share even at the smallest size names shrink to, so it widens outwards rather than break the
// word, clear of the other's name.
TEST_F(DrawPipeline, AnOuterBoundaryEventsNameWidensOutwardsToHoldItsLongestWord) {
  Swimboard board("t");
  Lane& lane = board.add_pool("Shop").add_lane("Sales", "", 0, "", "", "centre", "");
  const auto row = chain(lane, {{"Start", ElementType::START}, {"Update", ElementType::TASK}});
  TypedEvent& cancelled =
      lane.add_boundary_event(*row[1], "Cancellation received", EventTrigger::MESSAGE);
  TypedEvent& late = lane.add_boundary_event(*row[1], "Late", EventTrigger::TIMER);
  board.draw();
  Painter& painter = *lane.painter();
  TextStyle smallest = cancelled.name_style(painter);
  smallest.font_size = static_cast<int>(
      std::ceil(std::min(smallest.font_size * 1.0, std::max(8.0, smallest.font_size * 0.7))));
  const double word = painter.measure_text("Cancellation", smallest, 10000).width;
  const double share = late.box.centre_x() - cancelled.box.centre_x();
  ASSERT_GT(word, share) << "the word fits the share: the case no longer arises";
  EXPECT_GE(cancelled.label_box.width, word);
  EXPECT_FALSE(boxes_meet(cancelled.label_box, late.label_box));
}

// A task name of four lines (as the real fonts set it) reaches down to the border: it ends above
// the boundary event on the border rather than run under its circle.
TEST_F(DrawPipeline, ATasksNameEndsAboveItsBoundaryEvents) {
  PainterFactory::set_override({});  // text set as it is drawn, not estimated
  Swimboard board("t");
  Lane& lane = board.add_pool("Shop").add_lane("Sales", "", 0, "", "", "centre", "");
  const auto row = chain(
      lane, {{"Start", ElementType::START},
             {"Notify invoice against the external rating agency's records", ElementType::TASK}});
  TypedEvent& late = lane.add_boundary_event(*row[1], "Late", EventTrigger::TIMER);
  board.draw();
  Painter& painter = *lane.painter();
  const Box set = painter.text_bounds(row[1]->name, row[1]->label_box, row[1]->name_style(painter));
  ASSERT_GT(set.height, 0);
  EXPECT_FALSE(boxes_meet(set, late.box));
}

// A task with two boundary events on the last row of its lane, its handlers in the lane below:
// the lane's edge leaves no room below the circles for a name to wrap. The names keep every
// word (they were cut, "Limit exce…"), in the lane, off the task.
TEST_F(DrawPipeline, BoundaryEventNamesAboveALanesEdgeAreNotCut) {
  PainterFactory::set_override({});  // text set as it is drawn, not estimated
  Swimboard board("t");
  Pool& pool = board.add_pool("Company");
  Lane& clerk = pool.add_lane("Clerk", "", 0, "", "", "centre", "");
  Lane& manager = pool.add_lane("Manager", "", 0, "", "", "centre", "");
  const auto row = chain(clerk, {{"Start", ElementType::START},
                                 {"Close budget", ElementType::TASK},
                                 {"Done", ElementType::END}});
  TypedEvent& limit =
      clerk.add_boundary_event(*row[1], "Limit exceeded", EventTrigger::CONDITIONAL);
  TypedEvent& late = clerk.add_boundary_event(*row[1], "Two days passed", EventTrigger::TIMER);
  limit.connect(manager.add_element("Handle limit", ElementType::TASK));
  late.connect(manager.add_element("Handle delay", ElementType::TASK));
  board.draw();
  Painter& painter = *clerk.painter();
  const Box lane{static_cast<double>(clerk.coord.x_pos), static_cast<double>(clerk.coord.y_pos),
                 static_cast<double>(clerk.width), static_cast<double>(clerk.height)};
  for (const TypedEvent* e : {&limit, &late}) {
    const SetText set = painter.layout_text(e->name, e->label_box, e->name_style(painter));
    EXPECT_FALSE(set.cut) << e->name;
    EXPECT_FALSE(boxes_meet(set.bounds, row[1]->box)) << e->name;
    EXPECT_GE(set.bounds.y, lane.y) << e->name;
    EXPECT_LE(set.bounds.bottom(), lane.bottom() + 1) << e->name;
  }
  EXPECT_FALSE(boxes_meet(limit.label_box, late.label_box));
}

// Nested groups on the top row of a pool below another: the outer frame stays in its pool
// (it reached up over the other pool's task), its name beside the inner frame where there is no
// room above it, and a group round a single task nested in the first takes no room outside it.
TEST_F(DrawPipeline, NestedGroupsOnAPoolsTopRowStayInsideThePool) {
  Swimboard board("t");
  Lane& buyer = board.add_pool("Customer").add_lane("Buyer", "", 0, "", "", "centre", "");
  Pool& shop = board.add_pool("Shop");
  Lane& sales = shop.add_lane("Sales", "", 0, "", "", "centre", "");
  const auto top = chain(buyer, {{"Place order", ElementType::TASK}, {"Pay", ElementType::TASK}});
  const auto row = chain(sales, {{"Order received", ElementType::START},
                                 {"Check order", ElementType::TASK},
                                 {"Ship goods", ElementType::TASK},
                                 {"Done", ElementType::END}});
  Group& inner = sales.add_group("Fulfilment", {row[1]});
  Group& outer = sales.add_group("Core work", {row[1], row[2]});
  board.draw();
  const Box pool{static_cast<double>(shop.coord.x_pos), static_cast<double>(shop.coord.y_pos),
                 static_cast<double>(shop.width), static_cast<double>(shop.height)};
  for (const Group* g : {&inner, &outer}) {
    SCOPED_TRACE(g->name);
    // Up to the least padding past the edge, where a name taller than the room above (as this
    // test painter measures them) puts the inner frame right at the pool's edge.
    EXPECT_GE(g->box.y, pool.y - 4);
    EXPECT_LE(g->box.bottom(), pool.bottom());
    for (const Shape* s : top) EXPECT_FALSE(boxes_meet(g->box, s->box)) << s->name;
  }
  EXPECT_FALSE(boxes_meet(inner.label_box, outer.label_box));
  EXPECT_FALSE(boxes_meet(outer.label_box, inner.box)) << "the outer name over the inner frame";
}

// Three groups round one task with another task right below it: where the lower band has no
// room for a name clear of that task, the name goes elsewhere, never onto the task.
TEST_F(DrawPipeline, AGroupsNameNeverLandsOnAShapeBelowIt) {
  Swimboard board("t");
  board.add_pool("Customer")
      .add_lane("Buyer", "", 0, "", "", "centre", "")
      .add_element("Place order", ElementType::TASK);
  Lane& sales = board.add_pool("Shop").add_lane("Sales", "", 0, "", "", "centre", "");
  const auto row = chain(sales, {{"Order received", ElementType::START},
                                 {"In stock?", ElementType::EXCLUSIVE},
                                 {"Check order", ElementType::TASK},
                                 {"Done", ElementType::END}});
  Shape& back = sales.add_element("Back order", ElementType::TASK);
  row[1]->connect(back, "no");
  back.connect(*row[3]);
  std::vector<const Group*> groups;
  for (const char* name : {"Fulfilment", "Core work", "Outer"})
    groups.push_back(&sales.add_group(name, {row[2]}));
  board.draw();
  ASSERT_GT(back.box.y, row[2]->box.bottom()) << "the layout no longer puts it below";
  ASSERT_LT(back.box.x, row[2]->box.right());
  for (const Group* g : groups) {
    SCOPED_TRACE(g->name);
    for (const Shape* s : sales.shapes) {
      if (s == row[2]) continue;
      EXPECT_FALSE(boxes_meet(g->label_box, s->box)) << "name on " << s->name;
    }
  }
}

// Three long notes on one gateway in a low lane at the top of the picture: where the lane has no
// free room they may reach out of it, but stay inside their pool, never above it into the title
// or off the page.
TEST_F(DrawPipeline, NotesWithNoRoomInTheirLaneStayInsideTheirPool) {
  Swimboard board("t");
  Pool& pool = board.add_pool("Shop");
  Lane& lane = pool.add_lane("Sales", "", 0, "", "", "centre", "");
  const auto row = chain(lane, {{"Receive", ElementType::START},
                                {"Verify assess", ElementType::PARALLEL},
                                {"Send schedule", ElementType::TASK}});
  std::vector<const TextAnnotation*> notes;
  for (const char* text :
       {"Stock review review escalate send archive",
        "Schedule verify schedule refund escalate pack schedule", "Send assess order ship refund"})
    notes.push_back(&lane.annotate(*row[1], text));
  board.draw();
  const Box band{static_cast<double>(pool.coord.x_pos), static_cast<double>(pool.coord.y_pos),
                 static_cast<double>(pool.width), static_cast<double>(pool.height)};
  for (const TextAnnotation* note : notes) {
    SCOPED_TRACE(note->name);
    EXPECT_GE(note->box.x, band.x);
    EXPECT_GE(note->box.y, band.y);
    EXPECT_LE(note->box.right(), band.right());
    EXPECT_LE(note->box.bottom(), band.bottom());
  }
}

// A note on a shape in a low lane, two on another, and a loop back over them: each note stands
// clear of every shape, name and other note, and off the straight flows between neighbours in
// the row, so that those stay straight. (A note pushed back into its lane after it was chosen
// could land on a gateway; one whose place was weighed before that push lost to one over a
// shape.)
TEST_F(DrawPipeline, NotesStandClearOfShapesOtherNotesAndTheFlowsOfTheirRow) {
  Swimboard board("t");
  Lane& lane = board.add_pool("Shop").add_lane("Sales", "", 0, "", "", "centre", "");
  const auto row = chain(lane, {{"Order received", ElementType::START},
                                {"Check order", ElementType::TASK},
                                {"Fix order", ElementType::TASK},
                                {"OK?", ElementType::EXCLUSIVE}});
  Shape& check = *row[1];
  Shape& fix = *row[2];
  Shape& ok = *row[3];
  const Connection& to_ok = fix.connection_to->front();
  ok.connect(lane.add_element("Done", ElementType::END), "yes");
  ok.connect(check, "no");
  std::vector<TextAnnotation*> notes{&lane.annotate(fix, "Done by the clerk on duty"),
                                     &lane.annotate(check, "Four eyes"),
                                     &lane.annotate(check, "Within two working days")};
  board.draw();

  ASSERT_EQ(to_ok.waypoints.size(), 2u) << "the flow beside the note no longer runs straight";
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const TextAnnotation& note = *notes[i];
    SCOPED_TRACE(note.name);
    for (const Shape* s : lane.shapes) {
      EXPECT_FALSE(boxes_meet(note.box, s->box)) << "over " << s->name;
      const Box name = s->label_box;
      if (name.width > 0 && !(name == s->box)) {
        EXPECT_FALSE(boxes_meet(note.box, name)) << "over the name of " << s->name;
      }
    }
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(boxes_meet(note.box, notes[j]->box));
    EXPECT_FALSE(route_enters(to_ok, note.box));
  }
}

}  // namespace
}  // namespace orvane
