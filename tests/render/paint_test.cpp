#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "orvane/activity.hpp"
#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/painter_factory.hpp"
#include "orvane/pool.hpp"
#include "support/quiet_painter.hpp"

namespace orvane {
namespace {

// Records what elements paint, so the notation can be checked without reading pixels.
class RecordingPainter : public QuietPainter {
 public:
  struct Shape {
    std::string what;
    Box box;
    std::vector<Point> points;
    std::string fill;
    LineStyle line;
  };
  struct Text {
    std::string text;
    Box box;
    TextStyle style;
    bool vertical;
  };
  std::vector<Shape> shapes;
  std::vector<Text> texts;

  RecordingPainter() : QuietPainter("recording", 1000, 1000) {
    element_font = "Noto Sans";
    element_font_size = 12;
    element_font_colour = "#101010";
    element_fill_colour = "#fefefe";
    element_outline_colour = "#202020";
  }
  void draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                      double) override {
    shapes.push_back({"rectangle", box, {}, fill, line});
  }
  void draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) override {
    shapes.push_back({"ellipse", box, {}, fill, line});
  }
  void draw_polygon(const std::vector<Point>& points, const std::string& fill,
                    const LineStyle& line) override {
    shapes.push_back({"polygon", {}, points, fill, line});
  }
  void draw_polyline(const std::vector<Point>& points, const LineStyle& line) override {
    shapes.push_back({"polyline", {}, points, "", line});
  }
  void draw_text(const std::string& text, const Box& box, const TextStyle& style,
                 bool vertical) override {
    texts.push_back({text, box, style, vertical});
  }
  std::size_t count(const std::string& what) const {
    std::size_t n = 0;
    for (const auto& s : shapes) n += s.what == what ? 1 : 0;
    return n;
  }
};

struct Board {
  explicit Board(Painter& painter)
      : pool("Pool", "", 0, "", "#ffffff", "centre", &painter),
        lane(pool.add_lane("Lane", "", 0, "", "#eeeeee", "centre", "#ffffff")) {}
  Shape& place(ElementType type, const std::string& name, int x = 100, int y = 100) {
    Shape& shape = lane.add_element(name, type);
    shape.coord->x_pos = x;
    shape.coord->y_pos = y;
    return shape;
  }
  Pool pool;
  Lane& lane;
};

const std::vector<ElementType> ALL_TYPES = {
    ElementType::START,       ElementType::END,         ElementType::INTERMEDIATE,
    ElementType::TIMER,       ElementType::LINK,        ElementType::MESSAGE,
    ElementType::MESSAGE_END, ElementType::SIGNAL,      ElementType::CONDITIONAL_INTERMEDIATE,
    ElementType::TASK,        ElementType::SUBPROCESS,  ElementType::TERMINATOR,
    ElementType::EXCLUSIVE,   ElementType::PARALLEL,    ElementType::INCLUSIVE,
    ElementType::EVENT_BASED, ElementType::DATA_OBJECT, ElementType::DATA_STORE};

bool inside(const Box& inner, const Box& outer) {
  return inner.x >= outer.x - 1e-9 && inner.y >= outer.y - 1e-9 &&
         inner.right() <= outer.right() + 1e-9 && inner.bottom() <= outer.bottom() + 1e-9;
}

TEST(ShapePosition, EveryShapeIsCentredInItsCellWithItsNameWhereItBelongs) {
  RecordingPainter painter;
  Board board(painter);
  const Box cell{100, 100, Configs::BOX_WIDTH, Configs::BOX_HEIGHT};
  for (ElementType type : ALL_TYPES) {
    Shape& shape = board.place(type, "name");
    shape.set_draw_position(painter);
    const std::string name = shape.class_name();
    EXPECT_NEAR(shape.box.centre_x(), cell.centre_x(), 1e-9) << name;
    EXPECT_NEAR(shape.box.centre_y(), cell.centre_y(), 1e-9) << name;
    EXPECT_TRUE(inside(shape.box, cell)) << name;
    if (shape.kind() == ShapeKind::ACTIVITY || shape.kind() == ShapeKind::TERMINATOR) {
      EXPECT_TRUE(inside(shape.label_box, shape.box)) << name;
    } else {
      // Below the shape, and above the next row and the lane's lower edge.
      EXPECT_GE(shape.label_box.y, shape.box.bottom()) << name;
      EXPECT_GT(shape.label_box.height, 25) << name;
      EXPECT_LE(shape.label_box.bottom(), cell.bottom() + Configs::LANE_SHAPE_TOP_MARGIN) << name;
      EXPECT_LE(shape.label_box.bottom(), cell.bottom() + Configs::VSPACE_BETWEEN_SHAPES) << name;
      EXPECT_NEAR(shape.label_box.centre_x(), cell.centre_x(), 1e-9) << name;
      EXPECT_LE(shape.label_box.width, Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES) << name;
    }
  }
}

TEST(ShapeStyle, EmptyStyleTakesTheThemeAndAGivenStyleIsKept) {
  RecordingPainter painter;
  Board board(painter);
  Shape& plain = board.place(ElementType::TASK, "plain");
  Shape& styled = board.place(ElementType::TASK, "styled");
  styled.font = "DejaVu Sans";
  styled.font_size = 15;
  styled.fill_colour = "#ffeecc";
  plain.set_draw_position(painter);
  styled.set_draw_position(painter);
  EXPECT_EQ(plain.font, "Noto Sans");
  EXPECT_EQ(plain.font_size, 12);
  EXPECT_EQ(plain.fill_colour, "#fefefe");
  EXPECT_EQ(plain.outline_colour, "#202020");
  EXPECT_EQ(styled.font, "DejaVu Sans");
  EXPECT_EQ(styled.font_size, 15);
  styled.draw();
  ASSERT_FALSE(painter.shapes.empty());
  EXPECT_EQ(painter.shapes[0].fill, "#ffeecc");
  ASSERT_EQ(painter.texts.size(), 1u);
  EXPECT_EQ(painter.texts[0].style.font_size, 15);
  EXPECT_EQ(painter.texts[0].text, "styled");
}

// What one shape of `type` paints.
RecordingPainter paint(ElementType type, const std::string& name = "x") {
  RecordingPainter painter;
  Board board(painter);
  Shape& shape = board.place(type, name);
  shape.set_draw_position(painter);
  shape.draw();
  return painter;
}

TEST(EventNotation, LineTellsStartIntermediateAndEndApart) {
  RecordingPainter start = paint(ElementType::START);
  RecordingPainter intermediate = paint(ElementType::INTERMEDIATE);
  RecordingPainter end = paint(ElementType::END);
  ASSERT_EQ(start.count("ellipse"), 1u);
  ASSERT_EQ(intermediate.count("ellipse"), 2u);
  ASSERT_EQ(end.count("ellipse"), 1u);
  EXPECT_GT(end.shapes[0].line.width, 2 * start.shapes[0].line.width);
  EXPECT_EQ(intermediate.shapes[0].line.width, start.shapes[0].line.width);
}

TEST(EventNotation, ThrowingEventsHaveFilledMarkers) {
  // The envelope of a catching message is hollow, of a throwing one filled with the ink.
  RecordingPainter catching = paint(ElementType::MESSAGE);
  RecordingPainter throwing = paint(ElementType::MESSAGE_END);
  ASSERT_EQ(catching.count("rectangle"), 1u);
  ASSERT_EQ(throwing.count("rectangle"), 1u);
  EXPECT_EQ(catching.shapes[1].fill, "#fefefe");
  EXPECT_EQ(throwing.shapes[1].fill, "#202020");

  RecordingPainter signal = paint(ElementType::SIGNAL);
  RecordingPainter signal_end = paint(ElementType::SIGNAL_END);
  ASSERT_EQ(signal.count("polygon"), 1u);
  EXPECT_EQ(signal.shapes.back().points.size(), 3u);
  EXPECT_EQ(signal.shapes.back().fill, "#fefefe");
  EXPECT_EQ(signal_end.shapes.back().fill, "#202020");

  EXPECT_GE(paint(ElementType::TIMER).count("polyline"), 12u);       // clock ticks
  EXPECT_EQ(paint(ElementType::CONDITIONAL).count("polyline"), 4u);  // ruled sheet
  EXPECT_EQ(paint(ElementType::LINK).count("polygon"), 1u);          // arrow
}

TEST(GatewayNotation, EachGatewayHasItsMarker) {
  RecordingPainter exclusive = paint(ElementType::EXCLUSIVE);
  ASSERT_EQ(exclusive.count("polygon"), 1u);
  EXPECT_EQ(exclusive.shapes[0].points.size(), 4u);  // the diamond
  EXPECT_EQ(exclusive.count("polyline"), 2u);
  // The X has diagonal strokes, the + upright ones.
  const auto& x_stroke = exclusive.shapes[1].points;
  EXPECT_NE(x_stroke[0].x, x_stroke[1].x);
  EXPECT_NE(x_stroke[0].y, x_stroke[1].y);
  RecordingPainter parallel = paint(ElementType::PARALLEL);
  ASSERT_EQ(parallel.count("polyline"), 2u);
  EXPECT_EQ(parallel.shapes[1].points[0].x, parallel.shapes[1].points[1].x);
  EXPECT_EQ(paint(ElementType::INCLUSIVE).count("ellipse"), 1u);
  RecordingPainter event_based = paint(ElementType::EVENT_BASED);
  EXPECT_EQ(event_based.count("ellipse"), 2u);
  ASSERT_EQ(event_based.count("polygon"), 2u);
  EXPECT_EQ(event_based.shapes.back().points.size(), 5u);
}

TEST(ActivityNotation, SubprocessCarriesTheCollapsedMarkerBelowItsName) {
  RecordingPainter task = paint(ElementType::TASK);
  RecordingPainter sub = paint(ElementType::SUBPROCESS);
  EXPECT_EQ(task.count("rectangle"), 1u);
  ASSERT_EQ(sub.count("rectangle"), 2u);
  EXPECT_EQ(sub.count("polyline"), 2u);
  ASSERT_EQ(sub.texts.size(), 1u);
  EXPECT_LE(sub.texts[0].box.bottom(), sub.shapes[1].box.y);
}

TEST(PoolAndLane, NamesAreWrittenUpwardsInTheirLabelBands) {
  RecordingPainter painter;
  Board board(painter);
  board.lane.coord = {50, 20};
  board.lane.width = 400;
  board.lane.height = 150;
  board.pool.set_draw_position(20, 20, painter);
  board.pool.draw();
  board.lane.draw();
  ASSERT_EQ(painter.texts.size(), 2u);
  for (const auto& text : painter.texts) EXPECT_TRUE(text.vertical) << text.text;
  EXPECT_LE(painter.texts[0].box.right(), 20 + Configs::POOL_TEXT_WIDTH);
  EXPECT_GE(painter.texts[1].box.x, 50);
  EXPECT_LE(painter.texts[1].box.right(), 50 + Configs::LANE_TEXT_WIDTH);
  EXPECT_EQ(painter.texts[1].box.height, 150 - 4);
}

TEST(ShapeText, LongAndForeignNamesStayInsideTheirLabelBox) {
  auto painter = PainterFactory().get_painter("png", 1000, 1000);
  Board board(*painter);
  const std::vector<std::string> names = {
      "Approve the purchase order and notify the supplier about the delivery date",
      "Überprüfung der Bestellung durch die Buchhaltungsabteilung",
      "Έλεγχος παραγγελίας και ενημέρωση προμηθευτή",
      "Проверка заказа и уведомление поставщика о сроках",
      "購買発注を承認してサプライヤーに納期を通知する"};
  for (ElementType type : ALL_TYPES) {
    for (const auto& name : names) {
      Shape& shape = board.place(type, name);
      shape.set_draw_position(*painter);
      TextStyle style;
      style.font = shape.font;
      style.font_size = shape.font_size;
      const Box bounds = painter->text_bounds(name, shape.label_box, style);
      EXPECT_TRUE(inside(bounds, shape.label_box)) << shape.class_name() << ": " << name;
      EXPECT_GT(bounds.height, 0);
    }
  }
}

// A task's name keeps clear of the icon of its type: short lines pass beside it, and a name of
// more lines than the room beside it holds goes below it (four lines ran over the icon).
TEST(ShapeText, ATasksNameKeepsClearOfItsTypeIcon) {
  auto painter = PainterFactory().get_painter("png", 1000, 1000);
  Board board(*painter);
  const Box icon{100 + 5, 100 + 5, 18, 18};  // the task is placed at 100, 100
  const std::vector<std::string> names = {
      "Pay", "Check the invoice", "Schedule change in forward schedule of change",
      "Add missing details and resubmit the request for change to the change manager"};
  for (const auto& name : names) {
    Shape& shape = board.place(ElementType::TASK, name);
    auto* task = dynamic_cast<Task*>(&shape);
    ASSERT_NE(task, nullptr);
    task->task_type = TaskType::USER;
    shape.set_draw_position(*painter);
    const Box set = painter->text_bounds(name, shape.label_box, shape.name_style(*painter));
    const bool over = set.x < icon.right() && icon.x < set.right() && set.y < icon.bottom() &&
                      icon.y < set.bottom();
    EXPECT_FALSE(over) << name;
    if (name == "Pay") {
      EXPECT_LT(shape.label_box.y, icon.bottom()) << "a short name is set beside the icon";
    }
  }
}

TEST(ShapeText, NamesBelowShapesUseTheFreeSpaceDownToTheNextRowAndNoMore) {
  auto painter = PainterFactory().get_painter("png", 1000, 1000);
  Board board(*painter);
  // Two rows: the first row's names may reach down to the second row's cells.
  board.lane.coord = {50, 100 - Configs::LANE_SHAPE_TOP_MARGIN};
  board.lane.height =
      2 * Configs::LANE_SHAPE_TOP_MARGIN + 2 * Configs::BOX_HEIGHT + Configs::VSPACE_BETWEEN_SHAPES;
  const int second_row = 100 + Configs::BOX_HEIGHT + Configs::VSPACE_BETWEEN_SHAPES;
  const std::string name =
      "Application received through the online portal or by post from the applicant";
  Shape& upper = board.place(ElementType::START, name, 100, 100);
  Shape& lower = board.place(ElementType::END, name, 100, second_row);
  Shape& short_name = board.place(ElementType::END, "Done", 300, 100);
  for (Shape* shape : {&upper, &lower, &short_name}) shape->set_draw_position(*painter);

  EXPECT_LE(upper.label_box.bottom(), second_row);
  EXPECT_GT(upper.label_box.bottom(), 100 + Configs::BOX_HEIGHT + Configs::LANE_SHAPE_TOP_MARGIN);
  EXPECT_LE(lower.label_box.bottom(), board.lane.coord.y_pos + board.lane.height);
  TextStyle style;
  style.font = upper.font;
  style.font_size = upper.font_size;
  style.vertical_alignment = "top";
  const SetText roomy = painter->layout_text(name, upper.label_box, style);
  const SetText tight = painter->layout_text(name, lower.label_box, style);
  EXPECT_FALSE(roomy.cut);
  EXPECT_FALSE(tight.cut);
  EXPECT_GT(roomy.font_size, tight.font_size) << "more room, less shrinking";
  // The box is only as tall as the set name, so routes may pass below a short one.
  const Box set = painter->text_bounds("Done", short_name.label_box, style);
  EXPECT_LE(short_name.label_box.bottom() - set.bottom(), 2);
  EXPECT_TRUE(inside(set, short_name.label_box));
}

}  // namespace
}  // namespace orvane
