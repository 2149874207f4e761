#include "orvane/drawio.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "export_fixture.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/bpmn.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "support/scratch_path.hpp"

namespace orvane {
namespace {

using test::add_lane;
using test::ExportTest;
using test::IdIndex;
using test::parse;

std::string drawio_of(const Swimboard& board) {
  return DrawIO().to_xml(board._pools);
}

pugi::xml_node cell(const pugi::xml_document& doc, const std::string& id) {
  return doc.select_node(("//mxCell[@id='" + id + "']").c_str()).node();
}

Box geometry_of(const pugi::xml_node& cell) {
  const pugi::xml_node g = cell.child("mxGeometry");
  return {g.attribute("x").as_double(), g.attribute("y").as_double(),
          g.attribute("width").as_double(), g.attribute("height").as_double()};
}

// What drawio shows for an HTML label.
std::string html_to_text(std::string value) {
  const std::vector<std::pair<std::string, std::string>> entities = {
      {"<br>", "\n"},   {"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"},
      {"&quot;", "\""}, {"&#39;", "'"},  {"&amp;", "&"}};
  for (const auto& [from, to] : entities) {
    for (std::size_t at = value.find(from); at != std::string::npos;
         at = value.find(from, at + to.size())) {
      value.replace(at, from.size(), to);
    }
  }
  return value;
}

class DrawioExport : public ExportTest {
 protected:
  // Two pools; the second shares a lane name; a message flow between them.
  void build(Swimboard& board) {
    Pool& shop = board.add_pool("Shop");
    sales = &add_lane(shop, "Sales");
    store = &add_lane(shop, "Store");
    Pool& carrier = board.add_pool("Carrier");
    driver = &add_lane(carrier, "Sales");
    Shape& start = sales->add_element("Start", ElementType::START);
    Shape& pack = store->add_element("Pack", ElementType::TASK);
    Shape& pickup = driver->add_element("Pick up", ElementType::MESSAGE);
    start.connect(pack, "go");
    message = &pack.connect(pickup, "booking");
    test::choose_ids(board);
  }
  Lane* sales = nullptr;
  Lane* store = nullptr;
  Lane* driver = nullptr;
  Connection* message = nullptr;
};

TEST_F(DrawioExport, PoolsLanesAndShapesNestAsContainersWithRelativeGeometry) {
  Swimboard board;
  build(board);
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));
  ASSERT_TRUE(doc.select_node("/mxfile/diagram/mxGraphModel/root"));
  for (const auto& pool : board._pools) {
    const pugi::xml_node pool_cell = cell(doc, pool->bpmn_id);
    EXPECT_STREQ(pool_cell.attribute("parent").value(), "1");
    EXPECT_EQ(geometry_of(pool_cell).x, pool->coord.x_pos);
    for (const auto& lane : pool->lanes) {
      const pugi::xml_node lane_cell = cell(doc, lane->id);
      EXPECT_EQ(lane_cell.attribute("parent").value(), pool->bpmn_id);
      const Box lane_box = geometry_of(lane_cell);
      EXPECT_EQ(lane_box.x, lane->coord.x_pos - pool->coord.x_pos);
      EXPECT_EQ(lane_box.y, lane->coord.y_pos - pool->coord.y_pos);
      for (const Shape* shape : lane->shapes) {
        const pugi::xml_node shape_cell = cell(doc, shape->bpmn_id);
        EXPECT_EQ(shape_cell.attribute("parent").value(), lane->id);
        const Box box = geometry_of(shape_cell);
        test::expect_near(box,
                          Box{shape->box.x - lane->coord.x_pos, shape->box.y - lane->coord.y_pos,
                              shape->box.width, shape->box.height});
        // Inside its lane.
        EXPECT_GE(box.x, 0);
        EXPECT_GE(box.y, 0);
        EXPECT_LE(box.right(), lane_box.width);
        EXPECT_LE(box.bottom(), lane_box.height);
      }
    }
  }
}

TEST_F(DrawioExport, EdgesFollowTheDrawnRouteAndMessageFlowsAreDashed) {
  Swimboard board;
  build(board);
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));
  const IdIndex ids(doc);
  EXPECT_TRUE(ids.duplicates.empty());
  const pugi::xpath_node_set edges = doc.select_nodes("//mxCell[@edge='1']");
  ASSERT_EQ(edges.size(), 2u);
  for (const pugi::xpath_node& edge : edges) {
    EXPECT_TRUE(ids.has(edge.node().attribute("source").value()));
    EXPECT_TRUE(ids.has(edge.node().attribute("target").value()));
  }
  const pugi::xml_node flow = cell(doc, message->bpmn_id);
  const std::string style = flow.attribute("style").value();
  EXPECT_NE(style.find("dashed=1"), std::string::npos);
  std::vector<Point> route;
  const pugi::xml_node geometry = flow.child("mxGeometry");
  const auto point = [](pugi::xml_node p) {
    return Point{p.attribute("x").as_double(), p.attribute("y").as_double()};
  };
  route.push_back(point(geometry.find_child_by_attribute("mxPoint", "as", "sourcePoint")));
  for (pugi::xml_node p : geometry.find_child_by_attribute("Array", "as", "points").children()) {
    route.push_back(point(p));
  }
  route.push_back(point(geometry.find_child_by_attribute("mxPoint", "as", "targetPoint")));
  test::expect_near(route, message->waypoints);
  const pugi::xml_node sequence = cell(doc, sales->shapes.front()->connection_to->front().bpmn_id);
  EXPECT_EQ(std::string(sequence.attribute("style").value()).find("dashed=1"), std::string::npos);
}

TEST_F(DrawioExport, LabelsShowExactlyTheNameAndCannotInjectMarkup) {
  Swimboard board;
  Pool& pool = board.add_pool(test::TRICKY_NAME);
  Lane& lane = add_lane(pool, "<b>lane</b>");
  Shape& start = lane.add_element(test::TRICKY_NAME, ElementType::START);
  Shape& spaced = lane.add_element("  two  spaces ", ElementType::TASK);
  Shape& end = lane.add_element("<img src=x onerror=alert(1)>", ElementType::END);
  start.connect(end, "a & b");
  test::choose_ids(board);
  const pugi::xml_document doc = parse(drawio_of(board));
  const std::string value = cell(doc, start.bpmn_id).attribute("value").value();
  // The only markup in a label is the line break drawio shows for a newline.
  for (std::size_t at = value.find('<'); at != std::string::npos; at = value.find('<', at + 1)) {
    EXPECT_EQ(value.compare(at, 4, "<br>"), 0) << value;
  }
  EXPECT_EQ(html_to_text(value), test::TRICKY_NAME);
  // Spaces that HTML would collapse are kept.
  EXPECT_EQ(std::string(cell(doc, spaced.bpmn_id).attribute("value").value()),
            "&nbsp;&nbsp;two &nbsp;spaces&nbsp;");
  EXPECT_EQ(html_to_text(cell(doc, end.bpmn_id).attribute("value").value()),
            "<img src=x onerror=alert(1)>");
  EXPECT_EQ(std::string(cell(doc, end.bpmn_id).attribute("value").value()).find("<img"),
            std::string::npos);
  EXPECT_EQ(html_to_text(cell(doc, lane.id).attribute("value").value()), "<b>lane</b>");
  EXPECT_EQ(
      html_to_text(cell(doc, start.connection_to->front().bpmn_id).attribute("value").value()),
      "a & b");
}

TEST_F(DrawioExport, UndrawnDiagramStillPlacesEveryShapeInsideItsLane) {
  Swimboard board;
  build(board);
  const pugi::xml_document doc = parse(drawio_of(board));
  for (const Lane* lane : {sales, store, driver}) {
    const Box lane_box = geometry_of(cell(doc, lane->id));
    EXPECT_GT(lane_box.width, 0);
    for (const Shape* shape : lane->shapes) {
      const Box box = geometry_of(cell(doc, shape->bpmn_id));
      EXPECT_GT(box.width, 0);
      EXPECT_GE(box.x, 0);
      EXPECT_LE(box.right(), lane_box.width);
      EXPECT_LE(box.bottom(), lane_box.height);
    }
  }
}

TEST_F(DrawioExport, SameDiagramGivesIdenticalBytesAndFailedWritesThrow) {
  auto text = [this] {
    Helper::reset_uuid();
    Swimboard board;
    build(board);
    board.draw();
    return drawio_of(board);
  };
  EXPECT_EQ(text(), text());

  Swimboard board;
  build(board);
  const std::string target =
      (scratch_path("drawio-missing-dir") / "nested" / "out.drawio").string();
  EXPECT_THROW(board.export_to_drawio(target), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(target));
}

std::string style_of(const pugi::xml_document& doc, const std::string& id) {
  return cell(doc, id).attribute("style").value();
}

void expect_in(const std::string& style, std::initializer_list<const char*> parts) {
  for (const char* part : parts)
    EXPECT_NE(style.find(part), std::string::npos) << part << " in " << style;
}

TEST_F(DrawioExport, NotationUsesDrawiosOwnBpmnShapesAndMarkers) {
  Swimboard board;
  Pool& pool = board.add_pool("Claims");
  Lane& lane = add_lane(pool, "Desk");
  auto& review = static_cast<Task&>(lane.add_element("Review", ElementType::TASK));
  review.task_type = TaskType::BUSINESS_RULE;
  review.loop = LoopType::SEQUENTIAL;
  review.compensation = true;
  auto& pay = static_cast<Subprocess&>(lane.add_element("Pay", ElementType::SUBPROCESS));
  pay.form = SubprocessForm::TRANSACTION;
  pay.ad_hoc = true;
  auto& ok = static_cast<Exclusive&>(lane.add_element("OK?", ElementType::EXCLUSIVE));
  ok.show_marker = false;
  Shape& many = lane.add_element("Many", ElementType::COMPLEX);
  auto& stop = static_cast<TypedEvent&>(lane.add_element("Stop", ElementType::TYPED_EVENT));
  stop.stage = EventPosition::END;
  stop.definition = EventTrigger::TERMINATE;
  auto& files = static_cast<DataObject&>(lane.add_element("Files", ElementType::DATA_OBJECT));
  files.role = DataRole::OUTPUT;
  files.collection = true;
  Connection& yes = review.connect(ok, "go");
  yes.condition = "ready";
  ok.connect(pay).is_default = true;
  pay.connect(many);
  many.connect(stop);
  TypedEvent& late = lane.add_boundary_event(pay, "Late", EventTrigger::TIMER, false);
  late.connect(stop);
  TextAnnotation& note = lane.annotate(review, "Check twice");
  Group& money = lane.add_group("Money", {&pay});
  Pool& customer = board.add_pool("Customer");
  customer.make_black_box();
  Connection& letter = stop.connect(*customer.participant(), "letter");
  (void)letter;
  test::choose_ids(board);
  customer.participant()->bpmn_id = customer.bpmn_id;
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));

  expect_in(style_of(doc, review.bpmn_id), {"shape=mxgraph.bpmn.task", "taskMarker=businessRule",
                                            "isLoopMultiSeq=1", "isLoopComp=1"});
  expect_in(style_of(doc, pay.bpmn_id), {"bpmnShapeType=transaction", "isLoopSub=1", "isAdHoc=1"});
  expect_in(style_of(doc, ok.bpmn_id),
            {"shape=mxgraph.bpmn.gateway2", "gwType=event", "outline=none"});
  expect_in(style_of(doc, many.bpmn_id), {"gwType=complex"});
  expect_in(style_of(doc, stop.bpmn_id),
            {"shape=mxgraph.bpmn.event", "outline=end", "symbol=terminate"});
  expect_in(style_of(doc, late.bpmn_id), {"outline=boundNonint", "symbol=timer"});
  expect_in(style_of(doc, files.bpmn_id), {"bpmnTransferType=output", "isCollection=1"});
  expect_in(style_of(doc, note.bpmn_id), {"annotation_1"});
  expect_in(style_of(doc, money.bpmn_id), {"dashPattern=8 3 1 3"});
  expect_in(style_of(doc, yes.bpmn_id), {"startArrow=diamondThin"});
  expect_in(style_of(doc, ok.connection_to->front().bpmn_id), {"startArrow=dash"});
  // The association of an annotation is dotted and has no arrowhead.
  expect_in(style_of(doc, note.connection_to->front().bpmn_id), {"dashed=1", "endArrow=none"});
  // A black-box pool is an empty swimlane at the end of its message flow.
  const pugi::xml_node message =
      doc.select_node("//mxCell[@edge='1'][contains(@style,'startArrow=oval')]").node();
  EXPECT_STREQ(message.attribute("target").value(), customer.bpmn_id.c_str());
  EXPECT_TRUE(doc.select_nodes(("//mxCell[@parent='" + customer.bpmn_id + "']").c_str()).empty());
}

// A group's name stands where the picture has it: the outer of two nested groups on a pool's top
// row has its name beside the inner frame, so drawio centres it in that stretch only.
TEST_F(DrawioExport, AGroupsNameBesideTheGroupsInsideStaysBesideThem) {
  Swimboard board;
  Lane& buyer = board.add_pool("Customer").add_lane("Buyer");
  buyer.add_element("Pay", ElementType::TASK);
  Lane& sales = board.add_pool("Shop").add_lane("Sales");
  Shape& check = sales.add_element("Check order", ElementType::TASK);
  Shape& ship = sales.add_element("Ship goods", ElementType::TASK);
  check.connect(ship);
  Group& inner = sales.add_group("Fulfilment", {&check});
  Group& outer = sales.add_group("Core work", {&check, &ship});
  test::choose_ids(board);
  board.draw();
  ASSERT_GT(outer.label_box.x, inner.box.right()) << "the layout no longer sets the name beside";
  const pugi::xml_document doc = parse(drawio_of(board));
  const std::string style = style_of(doc, outer.bpmn_id);
  const auto at = style.find("spacingLeft=");
  ASSERT_NE(at, std::string::npos) << style;
  EXPECT_NEAR(std::stod(style.substr(at + 12)), outer.label_box.x - outer.box.x, 1);
  EXPECT_EQ(style_of(doc, inner.bpmn_id).find("spacingLeft="), std::string::npos);
}

// drawio sets an event's or gateway's name centred below it, where the picture may have put a
// branch's label ("Enough candidates?" and "no" ran into each other): each name goes where the
// picture draws it, as an offset from there, wrapped as wide as drawn.
TEST_F(DrawioExport, GatewayAndEventNamesSitWhereThePictureHasThem) {
  Swimboard board;
  Lane& hr = board.add_pool("Company").add_lane("HR");
  Shape& screen = hr.add_element("Screen applications", ElementType::TASK);
  Shape& enough = hr.add_element("Enough candidates?", ElementType::EXCLUSIVE);
  Shape& shortlist = hr.add_element("Review shortlist", ElementType::TASK);
  Shape& done = hr.add_element("Position filled", ElementType::END);
  screen.connect(enough);
  enough.connect(shortlist, "yes");
  enough.connect(screen, "no");
  shortlist.connect(done);
  test::choose_ids(board);
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));
  for (const Shape* shape : {&enough, &done}) {
    const pugi::xml_node c = cell(doc, shape->bpmn_id);
    const pugi::xml_node offset = c.child("mxGeometry").find_child_by_attribute("as", "offset");
    ASSERT_TRUE(offset) << shape->name;
    EXPECT_NEAR(offset.attribute("x").as_double(),
                shape->label_box.centre_x() - shape->box.centre_x(), 0.01);
    EXPECT_NEAR(offset.attribute("y").as_double(), shape->label_box.y - shape->box.bottom(), 0.01);
    const std::string style = c.attribute("style").as_string();
    const auto at = style.find("labelWidth=");
    ASSERT_NE(at, std::string::npos) << style;
    // As wide as drawn, with room for a font a little wider.
    const double width = std::stod(style.substr(at + 11));
    EXPECT_GE(width, shape->label_box.width);
    EXPECT_LE(width, shape->label_box.width * 1.5 + 8);
    EXPECT_NE(style.find("whiteSpace=wrap;"), std::string::npos);
  }
  // Not drawn, the name stays where drawio sets it, centred just below.
  Swimboard undrawn;
  Lane& lane = undrawn.add_pool("Company").add_lane("HR");
  Shape& gateway = lane.add_element("Enough candidates?", ElementType::EXCLUSIVE);
  test::choose_ids(undrawn);
  const pugi::xml_document plain = parse(drawio_of(undrawn));
  const pugi::xml_node below =
      cell(plain, gateway.bpmn_id).child("mxGeometry").find_child_by_attribute("as", "offset");
  if (below) {
    EXPECT_EQ(below.attribute("x").as_double(), 0);
    EXPECT_GE(below.attribute("y").as_double(), 0);
    EXPECT_LE(below.attribute("y").as_double(), 8);
  }
}

// The style entry `key` of a cell, or "" when it has none.
std::string style_value(const pugi::xml_node& c, const std::string& key) {
  const std::string style = std::string(";") + c.attribute("style").as_string();
  const auto at = style.find(";" + key + "=");
  if (at == std::string::npos) return {};
  const auto from = at + key.size() + 2;
  return style.substr(from, style.find(';', from) - from);
}

// A style value that would break the style string is left out rather than written, and the
// style stays whole.
void expect_left_out(const Swimboard& board, const Shape& shape, const std::string& key) {
  const pugi::xml_document doc = parse(drawio_of(board));
  EXPECT_EQ(style_value(cell(doc, shape.bpmn_id), key), "");
  EXPECT_EQ(style_value(cell(doc, shape.bpmn_id), "shape"), "mxgraph.bpmn.task");
}

TEST_F(DrawioExport, ColoursAreThePicturesOwnAndTheThemesForWhatIsNotSet) {
  Swimboard board("Dark", 5000, 5000, true, "DARK");
  Pool& pool = board.add_pool("Company");
  Lane& plain = pool.add_lane("Plain");
  Lane& marked = pool.add_lane("Marked", "", 0, "navy", "#ffee00", "centre", "lightgrey");
  Shape& task = plain.add_element("Check", ElementType::TASK);
  Shape& end = marked.add_element("Done", ElementType::END);
  task.fill_colour = "#123456";
  task.connect(end, "ok");
  test::choose_ids(board);
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));
  const Painter& theme = *pool.painter();

  // Set values as given; the rest as the theme draws them, whether set by the caller or not.
  const pugi::xml_node t = cell(doc, task.bpmn_id);
  EXPECT_EQ(style_value(t, "fillColor"), "#123456");
  EXPECT_EQ(style_value(t, "strokeColor"), theme.element_outline_colour);
  EXPECT_EQ(style_value(t, "fontColor"), theme.element_font_colour);
  EXPECT_EQ(style_value(cell(doc, end.bpmn_id), "fillColor"), theme.element_fill_colour);
  const auto named = [&](const char* name) {
    return doc.select_node(("//mxCell[@value='" + std::string(name) + "']").c_str()).node();
  };
  const pugi::xml_node m = named("Marked");
  EXPECT_EQ(style_value(m, "fillColor"), "#ffee00");
  EXPECT_EQ(style_value(m, "swimlaneFillColor"), "#d3d3d3");
  EXPECT_EQ(style_value(m, "fontColor"), "#000080");
  EXPECT_EQ(style_value(named("Plain"), "swimlaneFillColor"), theme.lane_background_fill_colour);
  EXPECT_EQ(style_value(named("Plain"), "strokeColor"), theme.element_outline_colour);

  // The line in its source's outline colour, its label on the page's colour.
  const pugi::xml_node edge = doc.select_node("//mxCell[@edge='1']").node();
  ASSERT_TRUE(edge);
  EXPECT_EQ(style_value(edge, "strokeColor"), task.outline_colour);
  EXPECT_EQ(style_value(edge, "labelBackgroundColor"), theme.background_colour);
  EXPECT_EQ(std::string(doc.select_node("//mxGraphModel").node().attribute("background").value()),
            theme.background_colour);

  task.fill_colour = "red;shape=ellipse";
  expect_left_out(board, task, "fillColor");
}

// Families set on a pool, lane or shape are the cells' own, the theme's are draw.io's to choose;
// sizes are the picture's wherever they are not draw.io's.
TEST_F(DrawioExport, FontsSetByTheCallerAreWritten) {
  Swimboard board("Fonts");
  Pool& pool = board.add_pool("Company", "", 18);
  Lane& lane = pool.add_lane("Sales", "DejaVu Serif");
  Shape& task = lane.add_element("Check", ElementType::TASK);
  Shape& end = lane.add_element("Done", ElementType::END);
  task.font_size = 15;
  task.connect(end);
  test::choose_ids(board);
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));
  const auto named = [&](const char* name) {
    return doc.select_node(("//mxCell[@value='" + std::string(name) + "']").c_str()).node();
  };
  EXPECT_EQ(style_value(named("Company"), "fontSize"), "18");
  EXPECT_EQ(style_value(named("Sales"), "fontFamily"), "DejaVu Serif");
  // Sizes are written wherever the picture's is not drawio's own (12 for names): the theme
  // sets lane names in 13 and shape names in drawio's 12.
  EXPECT_EQ(style_value(named("Sales"), "fontSize"), "13");
  EXPECT_EQ(style_value(cell(doc, task.bpmn_id), "fontSize"), "15");
  EXPECT_EQ(style_value(cell(doc, end.bpmn_id), "fontSize"), "");
  EXPECT_EQ(style_value(cell(doc, end.bpmn_id), "fontFamily"), "");

  // A diagram set in 9 px shows in 9 px in drawio too, its edge labels as well.
  Swimboard small("Small");
  small.set_element_font_size(9);
  Lane& desk = add_lane(small.add_pool("Office"), "Desk");
  Shape& file = desk.add_element("File", ElementType::TASK);
  Shape& filed = desk.add_element("Filed", ElementType::END);
  Connection& done = file.connect(filed, "done");
  test::choose_ids(small);
  small.draw();
  const pugi::xml_document small_doc = parse(drawio_of(small));
  EXPECT_EQ(style_value(cell(small_doc, file.bpmn_id), "fontSize"), "9");
  EXPECT_EQ(style_value(cell(small_doc, filed.bpmn_id), "fontSize"), "9");
  EXPECT_EQ(style_value(cell(small_doc, done.bpmn_id), "fontSize"), "9");

  task.font = "Serif;shape=ellipse";
  expect_left_out(board, task, "fontFamily");
}

// drawio wraps only at spaces and in its own font: names keep the picture's breaks inside long
// words and the size they shrank to, and an annotation may run past its open side.
TEST_F(DrawioExport, LongNamesKeepThePicturesBreaksAndSize) {
  Swimboard board("Long names");
  Lane& lane =
      add_lane(board.add_pool("Office"),
               "Sachbearbeitung der Personalabteilung und Fachabteilung Auswahlkommission");
  const std::string word = "Donaudampfschifffahrtsgesellschaftskapitaensentscheidung";
  const std::string address = "https://intranet.example.org/personal/bewerbungen/protokoll";
  Shape& decide = lane.add_element(word, ElementType::TASK);
  Shape& check = lane.add_element("Check", ElementType::TASK);
  Shape& own = lane.add_element("Aufbewahrungsfrist_pruefen", ElementType::TASK);
  Shape& end = lane.add_element(address, ElementType::END);
  own.font_size = 15;
  decide.connect(check);
  check.connect(own);
  own.connect(end);
  TextAnnotation& note = lane.annotate(check, "Two of three experts");
  test::choose_ids(board);
  board.draw();
  const pugi::xml_document doc = parse(drawio_of(board));
  const auto shown = [](std::string value) {
    for (std::size_t at = value.find("<wbr>"); at != std::string::npos; at = value.find("<wbr>"))
      value.erase(at, 5);
    return html_to_text(value);
  };
  const auto size_of = [&](const Shape& shape) {
    const std::string style = cell(doc, shape.bpmn_id).attribute("style").value();
    EXPECT_EQ(style.find("fontSize="), style.rfind("fontSize=")) << style;
    return style_value(cell(doc, shape.bpmn_id), "fontSize");
  };
  const int theme = board.painter().element_font_size;
  for (const Shape* shape : {&decide, &own, &end}) {
    const std::string value = cell(doc, shape->bpmn_id).attribute("value").value();
    EXPECT_NE(value.find("<wbr>"), std::string::npos) << value;
    EXPECT_EQ(shown(value), shape->name);
  }
  ASSERT_FALSE(size_of(decide).empty());
  EXPECT_LT(std::stod(size_of(decide)), theme);
  ASSERT_FALSE(size_of(own).empty());
  EXPECT_LT(std::stod(size_of(own)), 15);
  EXPECT_EQ(std::string(cell(doc, check.bpmn_id).attribute("value").value()), "Check");
  EXPECT_EQ(size_of(check), "");
  // A lane's name shrinks to keep its lines in the strip; so it does in drawio.
  const std::string lane_size = style_value(cell(doc, lane.id), "fontSize");
  ASSERT_FALSE(lane_size.empty());
  EXPECT_LT(std::stod(lane_size), board.painter().lane_font_size);
  const std::string spacing = style_value(cell(doc, note.bpmn_id), "spacingRight");
  ASSERT_FALSE(spacing.empty());
  EXPECT_LT(std::stod(spacing), 0);
}

TEST_F(DrawioExport, IdsThatNameScriptPropertiesAreSuffixedOnlyInTheDrawioDocument) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  Shape& a = lane.add_element("A", ElementType::START);
  Shape& b = lane.add_element("B", ElementType::END);
  a.bpmn_id = "reverse";
  b.bpmn_id = "constructor";
  a.connect(b).bpmn_id = "map";
  const pugi::xml_document doc = parse(drawio_of(board));
  EXPECT_FALSE(cell(doc, "reverse"));
  const pugi::xml_node edge = cell(doc, "map_cell");
  ASSERT_TRUE(edge);
  EXPECT_STREQ(edge.attribute("source").value(), "reverse_cell");
  EXPECT_STREQ(edge.attribute("target").value(), "constructor_cell");
  EXPECT_TRUE(parse(BPMN().to_xml(board._pools)).select_node("//*[@id='reverse']"));
}

}  // namespace
}  // namespace orvane
