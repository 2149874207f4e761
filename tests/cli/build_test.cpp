// Building the Swimboard from a description: order, styles, connections and the id maps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/gateway.hpp"
#include "orvane/loader.hpp"
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

TEST(BuildDiagram, ThemeNamesIgnoreCaseAndTheDiagramGetsTheCanonicalName) {
  for (const char* written : {"ocean", "Ocean", "OCEAN"}) {
    LoadedDiagram loaded =
        load_diagram_text(std::string("theme: ") + written +
                              "\nlanes: [{name: L, shapes: [{name: S, type: start}]}]\n",
                          "t.yaml");
    EXPECT_EQ(loaded.board->colour_theme, "OCEAN") << written;
  }
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

const char* kNotation = R"(
pools:
  - name: Shop
    id: shop
    lanes:
      - name: Sales
        id: sales
        shapes:
          - {id: order, name: Order in, type: message_start}
          - {id: review, name: Review, type: user_task, marker: [sequential, compensation]}
          - {id: late, name: 2 days, type: timer_boundary, attached_to: review, interrupting: false}
          - {id: ok, name: "OK?", type: exclusive, marker: none}
          - {id: fix, name: Fix, type: event_subprocess, trigger: escalation, interrupting: false}
          - {id: files, name: Files, type: data_input, collection: true}
          - {id: stop, name: Stop, type: terminate_end}
          - {id: bill, name: Bill, type: call_activity}
          - {id: tell, name: Tell, type: message_throw}
  - name: Customer
    black_box: true
connections:
  - {id: f1, from: Customer, to: order}
  - {from: order, to: review}
  - {from: review, to: ok}
  - {from: ok, to: stop, default: true, label: no}
  - {from: ok, to: bill, condition: amount > 0}
  - {from: bill, to: tell, type: association, direction: both}
  - {from: late, to: tell}
  - {from: tell, to: Customer}
annotations:
  - {id: note, text: Four eyes, on: review}
groups:
  - {id: money, name: Money, members: [bill, tell]}
)";

TEST(BuildDiagram, NotationKeysSetTheModel) {
  LoadedDiagram loaded = load_diagram_text(kNotation, "notation.yaml");
  Swimboard& board = *loaded.board;
  auto& shapes = loaded.shapes_by_id;
  auto* review = dynamic_cast<Task*>(shapes.at("review"));
  ASSERT_NE(review, nullptr);
  EXPECT_EQ(review->task_type, TaskType::USER);
  EXPECT_EQ(review->loop, LoopType::SEQUENTIAL);
  EXPECT_TRUE(review->compensation);
  auto* late = dynamic_cast<TypedEvent*>(shapes.at("late"));
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late->attached_to, review);
  EXPECT_EQ(late->definition, EventTrigger::TIMER);
  EXPECT_FALSE(late->interrupting());
  EXPECT_EQ(review->boundary_events.size(), 1u);
  EXPECT_FALSE(dynamic_cast<Exclusive&>(*shapes.at("ok")).show_marker);
  auto& fix = dynamic_cast<Subprocess&>(*shapes.at("fix"));
  EXPECT_EQ(fix.form, SubprocessForm::EVENT);
  EXPECT_EQ(fix.start_trigger, EventTrigger::ESCALATION);
  EXPECT_FALSE(fix.start_interrupts);
  auto& files = dynamic_cast<DataObject&>(*shapes.at("files"));
  EXPECT_EQ(files.role, DataRole::INPUT);
  EXPECT_TRUE(files.collection);
  auto& stop = dynamic_cast<TypedEvent&>(*shapes.at("stop"));
  EXPECT_EQ(stop.position(), EventPosition::END);
  EXPECT_EQ(stop.trigger(), EventTrigger::TERMINATE);
  EXPECT_EQ(dynamic_cast<Subprocess&>(*shapes.at("bill")).form, SubprocessForm::CALL_ACTIVITY);
  EXPECT_TRUE(dynamic_cast<Event&>(*shapes.at("tell")).throwing());

  // Ids are the description's; a black-box pool is known by its name.
  EXPECT_EQ(shapes.at("review")->bpmn_id, "review");
  EXPECT_EQ(board._pools[0]->bpmn_id, "shop");
  EXPECT_EQ(board._pools[0]->lanes[0]->id, "sales");
  EXPECT_EQ(shapes.at("order")->lane_id, "sales");
  ASSERT_TRUE(board._pools[1]->black_box());
  Participant& customer = *board._pools[1]->participant();
  ASSERT_EQ(customer.connection_to->size(), 1u);
  EXPECT_EQ((*customer.connection_to)[0].bpmn_id, "f1");
  EXPECT_EQ((*customer.connection_to)[0].connection_type, "message");

  const ConnectionList& from_ok = *shapes.at("ok")->connection_to;
  EXPECT_TRUE(from_ok[0].is_default);
  EXPECT_EQ(from_ok[1].condition, "amount > 0");
  const Connection& association = (*shapes.at("bill")->connection_to)[0];
  EXPECT_EQ(association.connection_type, "association");
  EXPECT_EQ(association.direction, AssociationDirection::BOTH);

  auto& note = dynamic_cast<TextAnnotation&>(*shapes.at("note"));
  EXPECT_EQ(note.annotated(), review);
  EXPECT_EQ(note.name, "Four eyes");
  auto& money = dynamic_cast<Group&>(*shapes.at("money"));
  EXPECT_EQ(money.members, (std::vector<Shape*>{shapes.at("bill"), shapes.at("tell")}));
  // Only the lane shapes stand in cells.
  EXPECT_EQ(board._pools[0]->lanes[0]->shapes.size(), 8u);
  EXPECT_NO_THROW(board.draw());
  EXPECT_EQ(board._layout_grid.get_all_shapes().size(), 8u);
}

}  // namespace
}  // namespace orvane
