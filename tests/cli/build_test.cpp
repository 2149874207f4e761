// Building the Swimboard from a description: order, styles, connections and the id maps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader/loader.hpp"
#include "orvane/painter.hpp"

// Fontconfig keeps its font caches until the process ends; LeakSanitizer builds are told so
// (the hook is read only when the sanitizer is linked in).
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace orvane {
namespace {

const char* kTwoPools = R"(
title: Two pools
painter: svg
title_font_size: 30
element_font_size: 15
footer: {text: Foot, font_size: 8}
pools:
  - name: Shop
    fill_colour: "#ffeedd"
    lanes:
      - name: Sales
        shapes:
          - {id: s, name: Start, type: start}
          - {id: m, name: Ping, type: message}
      - name: Stock
        font_size: 17
        text_alignment: left
        shapes:
          - {id: t, name: Pick, type: task}
  - name: Bank
    lanes:
      - name: Desk
        shapes:
          - {id: e, name: Done, type: end}
lanes:
  - name: Loose
    shapes:
      - {id: x, name: Archive, type: data_store}
connections:
  - {from: s, to: m, label: first}
  - {from: m, to: t}
  - {from: s, to: e, label: second}
)";

TEST(BuildDiagram, PoolsLanesAndShapesKeepTheDescriptionOrder) {
  LoadedDiagram loaded = load_diagram_text(kTwoPools, "two.yaml");
  Swimboard& board = *loaded.board;
  EXPECT_EQ(board.title, "Two pools");
  EXPECT_EQ(board.painter_type, "svg");
  ASSERT_EQ(board._pools.size(), 3u);
  EXPECT_EQ(board._pools[0]->name, "Shop");
  EXPECT_EQ(board._pools[1]->name, "Bank");
  EXPECT_EQ(board._pools[2]->name, "Default Pool");
  ASSERT_EQ(board._pools[0]->lanes.size(), 2u);
  EXPECT_EQ(board._pools[0]->lanes[1]->name, "Stock");
  const auto& sales = board._pools[0]->lanes[0]->shapes;
  ASSERT_EQ(sales.size(), 2u);
  EXPECT_EQ(sales[0]->name, "Start");
  EXPECT_EQ(sales[1]->class_name(), "Message");
  EXPECT_EQ(board._pools[2]->lanes[0]->shapes[0]->class_name(), "DataStore");
}

TEST(BuildDiagram, StylesGivenAreKeptAndEmptyOnesComeFromTheTheme) {
  LoadedDiagram loaded = load_diagram_text(kTwoPools, "two.yaml");
  Swimboard& board = *loaded.board;
  Painter& painter = board.painter();
  EXPECT_EQ(board._pools[0]->fill_colour, "#ffeedd");
  EXPECT_EQ(board._pools[1]->fill_colour, painter.pool_fill_colour);
  const Lane& sales = *board._pools[0]->lanes[0];
  const Lane& stock = *board._pools[0]->lanes[1];
  EXPECT_EQ(sales.font, painter.lane_font);
  EXPECT_EQ(sales.font_size, painter.lane_font_size);
  EXPECT_EQ(sales.background_fill_colour, painter.lane_background_fill_colour);
  EXPECT_EQ(sales.text_alignment, "centre");
  EXPECT_EQ(stock.font_size, 17);
  EXPECT_EQ(stock.text_alignment, "left");
  // A pool lane looks like a lane added to the board directly.
  EXPECT_EQ(board._pools[2]->lanes[0]->fill_colour, sales.fill_colour);
  EXPECT_EQ(board._title->font_size, 30);
  for (const auto& [id, shape] : loaded.shapes_by_id) EXPECT_EQ(shape->font_size, 15) << id;
  ASSERT_NE(board._footer, nullptr);
}

TEST(BuildDiagram, ConnectionsFollowTheDescriptionWithTheirLabels) {
  LoadedDiagram loaded = load_diagram_text(kTwoPools, "two.yaml");
  Shape* s = loaded.shapes_by_id.at("s");
  ASSERT_EQ(s->connection_to->size(), 2u);
  EXPECT_EQ((*s->connection_to)[0].target, loaded.shapes_by_id.at("m"));
  EXPECT_EQ((*s->connection_to)[0].label, "first");
  EXPECT_EQ((*s->connection_to)[1].target, loaded.shapes_by_id.at("e"));
  EXPECT_EQ((*s->connection_to)[1].connection_type, "message");  // between two pools
  EXPECT_EQ(loaded.shapes_by_id.at("t")->connection_from->size(), 1u);
}

TEST(BuildDiagram, FileIdsSurviveEventReplacementDuringDraw) {
  LoadedDiagram loaded = load_diagram_text(kTwoPools, "two.yaml");
  loaded.board->draw();
  std::size_t seen = 0;
  for (Shape* shape : loaded.board->_layout_grid.get_all_shapes()) {
    auto id = loaded.file_id(*shape);
    ASSERT_TRUE(id.has_value()) << shape->name;
    if (*id == "m") {
      EXPECT_EQ(shape->class_name(), "MessageIntermediate");
      EXPECT_NE(shape, loaded.shapes_by_id.at("m"));  // a new object, the same id
    }
    ++seen;
  }
  EXPECT_EQ(seen, 5u);
}

TEST(BuildDiagram, UnusualButValidGraphsDraw) {
  // Cycles without a start, self loops, cycles of terminators and generic events, unconnected
  // shapes and empty later lanes are all valid descriptions that must lay out and draw.
  const char* lane = "lanes:\n- name: L\n  shapes: ";
  const std::vector<std::string> graphs = {
      std::string(lane) +
          "[{id: a, type: task}, {id: b, type: task}]\n"
          "connections: [{from: a, to: b}, {from: b, to: a}]\n",
      std::string(lane) + "[{id: a, type: task}]\nconnections: [{from: a, to: a}]\n",
      std::string(lane) + "[{id: a, type: task}, {id: b, type: end}, {id: c, type: data_store}]\n",
      std::string(lane) +
          "[{id: a, type: terminator}, {id: b, type: terminator}]\n"
          "connections: [{from: a, to: b}, {from: b, to: a}, {from: a, to: a}]\n",
      std::string(lane) +
          "[{id: a, type: message}, {id: b, type: signal}, {id: c, type: conditional}]\n"
          "connections: [{from: a, to: b}, {from: b, to: c}, {from: c, to: a}]\n",
      "pools:\n- name: P\n  lanes:\n  - {name: A, shapes: [{id: a, type: start}]}\n  - {name: B}\n"
      "  - {name: C, shapes: [{id: c, type: task}]}\nconnections: [{from: a, to: c}]\n",
  };
  for (const auto& text : graphs) {
    LoadedDiagram loaded = load_diagram_text(text, "g.yaml");
    EXPECT_NO_THROW(loaded.board->draw()) << text;
    EXPECT_EQ(loaded.board->_layout_grid.get_all_shapes().size(), loaded.shapes_by_id.size())
        << text;
  }
}

}  // namespace
}  // namespace orvane
