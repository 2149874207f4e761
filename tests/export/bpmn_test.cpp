#include "orvane/bpmn.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export_fixture.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "support/scratch_path.hpp"

// fontconfig, under the real painters, keeps its configuration cache until the process ends;
// that memory is the library's own and not a leak of the diagram.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace orvane {
namespace {

using test::add_lane;
using test::ExportTest;
using test::IdIndex;
using test::parse;

std::string bpmn_of(const Swimboard& board) {
  return BPMN().to_xml(board._pools);
}

pugi::xml_node by_name(const pugi::xml_document& doc, const std::string& name) {
  for (const pugi::xpath_node& found : doc.select_nodes("//*[@name]")) {
    if (found.node().attribute("name").value() == name) return found.node();
  }
  return {};
}

pugi::xml_node di_of(const pugi::xml_document& doc, const std::string& id) {
  return doc
      .select_node(
          ("//*[local-name()='BPMNShape' or local-name()='BPMNEdge'][@bpmnElement='" + id + "']")
              .c_str())
      .node();
}

Box bounds_of(const pugi::xml_node& shape) {
  const pugi::xml_node b = shape.child("dc:Bounds");
  return {b.attribute("x").as_double(), b.attribute("y").as_double(),
          b.attribute("width").as_double(), b.attribute("height").as_double()};
}

class BpmnExport : public ExportTest {};

TEST_F(BpmnExport, NamesWithMarkupQuotesNewlinesAndUnicodeRoundTripExactly) {
  Swimboard board;
  Pool& pool = board.add_pool(test::TRICKY_NAME);
  Lane& lane = add_lane(pool, test::TRICKY_NAME);
  Shape& start = lane.add_element(test::TRICKY_NAME, ElementType::START);
  Shape& end = lane.add_element("End", ElementType::END);
  start.connect(end, test::TRICKY_NAME);
  const pugi::xml_document doc = parse(bpmn_of(board));
  int found = 0;
  for (const pugi::xpath_node& node : doc.select_nodes("//*[@name]")) {
    if (node.node().attribute("name").value() == test::TRICKY_NAME) ++found;
  }
  // participant, process, lane, start event, sequence flow
  EXPECT_EQ(found, 5);
}

TEST_F(BpmnExport, ControlCharactersAndBrokenUtf8NeverMakeTheDocumentUnreadable) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  lane.add_element(std::string("bell\x07 nul") + '\0' + "x \xC3(\xED\xA0\x80 ok",
                   ElementType::TASK);
  const pugi::xml_document doc = parse(bpmn_of(board));
  const std::string name = doc.select_node("//bpmn:task").node().attribute("name").value();
  EXPECT_EQ(name, "bell nulx \xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD ok");
}

TEST_F(BpmnExport, DuplicateAndUnsafeIdentifiersBecomeUniqueAndAllReferencesResolve) {
  Swimboard board;
  Pool& pool = board.add_pool("P");
  Lane& lane = add_lane(pool, "L");
  Shape& a = lane.add_element("A", ElementType::START);
  Shape& b = lane.add_element("B", ElementType::TASK);
  Shape& c = lane.add_element("C", ElementType::END);
  a.bpmn_id = "same";
  b.bpmn_id = "same";
  c.bpmn_id = "1 bad id!";
  lane.id = "same";
  a.connect(b).bpmn_id = "same";
  b.connect(c).bpmn_id = "";
  const pugi::xml_document doc = parse(bpmn_of(board));
  const IdIndex ids(doc);
  EXPECT_TRUE(ids.duplicates.empty());
  for (const auto& [id, node] : ids.by_id) {
    EXPECT_FALSE(id.empty());
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(id[0])) || id[0] == '_') << id;
    EXPECT_EQ(id.find(' '), std::string::npos) << id;
  }
  for (const char* attribute : {"sourceRef", "targetRef", "processRef", "bpmnElement"}) {
    for (const pugi::xpath_node& ref : doc.select_nodes(("//@" + std::string(attribute)).c_str())) {
      EXPECT_TRUE(ids.has(ref.attribute().value())) << attribute << " " << ref.attribute().value();
    }
  }
  for (const char* element : {"flowNodeRef", "incoming", "outgoing"}) {
    for (const pugi::xpath_node& ref :
         doc.select_nodes(("//*[local-name()='" + std::string(element) + "']").c_str())) {
      EXPECT_TRUE(ids.has(ref.node().text().get())) << element << " " << ref.node().text().get();
    }
  }
}

TEST_F(BpmnExport, FlowsBetweenPoolObjectsAreMessageFlowsEvenWhenPoolsShareAName) {
  Swimboard board;
  Lane& first = add_lane(board.add_pool("Shop"), "A");
  Lane& second = add_lane(board.add_pool("Shop"), "B");
  Shape& start = first.add_element("Start", ElementType::START);
  Shape& send = first.add_element("Send", ElementType::TASK);
  Shape& receive = second.add_element("Receive", ElementType::START);
  // Inside one pool a message flow cannot exist: it stays a sequence flow.
  start.connect(send).connection_type = "message";
  Connection& across = send.connect(receive, "order");
  across.connection_type = "sequence";  // what a caller may have set; the pools decide
  const pugi::xml_document doc = parse(bpmn_of(board));
  ASSERT_EQ(doc.select_nodes("//bpmn:messageFlow").size(), 1u);
  EXPECT_EQ(doc.select_nodes("//bpmn:sequenceFlow").size(), 1u);
  const pugi::xml_node message = doc.select_node("//bpmn:messageFlow").node();
  EXPECT_STREQ(message.attribute("name").value(), "order");
  EXPECT_EQ(message.parent().name(), std::string("bpmn:collaboration"));
  // The sending task lists only its sequence flow.
  const pugi::xml_node task = by_name(doc, "Send");
  EXPECT_EQ(task.select_nodes("bpmn:incoming").size(), 1u);
  EXPECT_EQ(task.select_nodes("bpmn:outgoing").size(), 0u);
  EXPECT_EQ(doc.select_nodes("//bpmn:participant").size(), 2u);
  EXPECT_EQ(doc.select_nodes("//bpmn:process").size(), 2u);
}

TEST_F(BpmnExport, EachShapeKindBecomesItsBpmnElementWithItsEventDefinition) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  struct Case {
    ElementType type;
    const char* element;
    const char* definition;
  };
  const std::vector<Case> cases = {
      {ElementType::START, "bpmn:startEvent", nullptr},
      {ElementType::MESSAGE, "bpmn:startEvent", "bpmn:messageEventDefinition"},
      {ElementType::SIGNAL, "bpmn:startEvent", "bpmn:signalEventDefinition"},
      {ElementType::CONDITIONAL, "bpmn:startEvent", "bpmn:conditionalEventDefinition"},
      {ElementType::TIMER, "bpmn:startEvent", "bpmn:timerEventDefinition"},
      {ElementType::MESSAGE_INTERMEDIATE, "bpmn:intermediateCatchEvent",
       "bpmn:messageEventDefinition"},
      {ElementType::SIGNAL_INTERMEDIATE, "bpmn:intermediateCatchEvent",
       "bpmn:signalEventDefinition"},
      {ElementType::INTERMEDIATE, "bpmn:intermediateThrowEvent", nullptr},
      {ElementType::LINK, "bpmn:intermediateThrowEvent", "bpmn:linkEventDefinition"},
      {ElementType::END, "bpmn:endEvent", nullptr},
      {ElementType::MESSAGE_END, "bpmn:endEvent", "bpmn:messageEventDefinition"},
      {ElementType::SIGNAL_END, "bpmn:endEvent", "bpmn:signalEventDefinition"},
      {ElementType::TASK, "bpmn:task", nullptr},
      {ElementType::SUBPROCESS, "bpmn:subProcess", nullptr},
      {ElementType::EXCLUSIVE, "bpmn:exclusiveGateway", nullptr},
      {ElementType::PARALLEL, "bpmn:parallelGateway", nullptr},
      {ElementType::INCLUSIVE, "bpmn:inclusiveGateway", nullptr},
      {ElementType::EVENT_BASED, "bpmn:eventBasedGateway", nullptr},
      {ElementType::TERMINATOR, "bpmn:startEvent", nullptr},
      {ElementType::DATA_OBJECT, "bpmn:dataObjectReference", nullptr},
      {ElementType::DATA_STORE, "bpmn:dataStoreReference", nullptr},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    lane.add_element("shape" + std::to_string(i), cases[i].type);
  }
  const pugi::xml_document doc = parse(bpmn_of(board));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const pugi::xml_node node = by_name(doc, "shape" + std::to_string(i));
    ASSERT_TRUE(node) << i;
    EXPECT_STREQ(node.name(), cases[i].element) << class_name(cases[i].type);
    const bool has_definition = cases[i].definition != nullptr;
    EXPECT_EQ(static_cast<bool>(node.child(has_definition ? cases[i].definition : "x")),
              has_definition)
        << class_name(cases[i].type);
  }
  // A data object reference points at a data object of the same process.
  const pugi::xml_node reference = doc.select_node("//bpmn:dataObjectReference").node();
  const std::string object = reference.attribute("dataObjectRef").value();
  EXPECT_TRUE(doc.select_node(("//bpmn:dataObject[@id='" + object + "']").c_str()));
  // Lanes list flow nodes only.
  EXPECT_EQ(doc.select_nodes("//bpmn:flowNodeRef").size(), cases.size() - 2);
}

TEST_F(BpmnExport, TerminatorsStartOrEndAFlowByTheirConnections) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  Shape& begin = lane.add_element("Begin", ElementType::TERMINATOR);
  Shape& work = lane.add_element("Work", ElementType::TASK);
  Shape& finish = lane.add_element("Finish", ElementType::TERMINATOR);
  begin.connect(work);
  work.connect(finish);
  const pugi::xml_document doc = parse(bpmn_of(board));
  EXPECT_STREQ(by_name(doc, "Begin").name(), "bpmn:startEvent");
  EXPECT_STREQ(by_name(doc, "Finish").name(), "bpmn:endEvent");
}

TEST_F(BpmnExport, DataLinksBecomeDataAssociationsOnActivitiesAndAssociationsElsewhere) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  Shape& start = lane.add_element("Start", ElementType::START);
  Shape& task = lane.add_element("Task", ElementType::TASK);
  Shape& form = lane.add_element("Form", ElementType::DATA_OBJECT);
  Shape& store = lane.add_element("Store", ElementType::DATA_STORE);
  start.connect(task);
  form.connect(task);
  task.connect(store);
  start.connect(form);
  const pugi::xml_document doc = parse(bpmn_of(board));
  const pugi::xml_node activity = by_name(doc, "Task");
  const pugi::xml_node input = activity.child("bpmn:dataInputAssociation");
  ASSERT_TRUE(input);
  const std::string placeholder = input.child("bpmn:targetRef").text().get();
  EXPECT_TRUE(activity.select_node(("bpmn:property[@id='" + placeholder + "']").c_str()));
  EXPECT_TRUE(activity.child("bpmn:dataOutputAssociation"));
  EXPECT_EQ(doc.select_nodes("//bpmn:association").size(), 1u);
  // Data links are no sequence flows.
  EXPECT_EQ(doc.select_nodes("//bpmn:sequenceFlow").size(), 1u);
  // Every association has its own edge.
  for (const char* kind : {"dataInputAssociation", "dataOutputAssociation", "association"}) {
    const pugi::xml_node link =
        doc.select_node(("//*[local-name()='" + std::string(kind) + "']").c_str()).node();
    EXPECT_TRUE(di_of(doc, link.attribute("id").value())) << kind;
  }
}

// Colours a shape, lane or pool has of its own are written with the BPMN in Color extension, as
// "#rrggbb"; the theme's are not, whichever theme draws the diagram.
TEST_F(BpmnExport, ColoursOfTheirOwnAreWrittenAndTheThemesAreNot) {
  for (const char* theme : {"DEFAULT", "OCEAN"}) {
    Swimboard board("Colours", 5000, 5000, true, theme);
    Pool& pool = board.add_pool("Shop");
    Lane& sales = pool.add_lane("Sales", "", 0, "", "", "centre", "#fafafa");
    Lane& store = pool.add_lane("Store");
    Shape& check = sales.add_element("Check", ElementType::TASK);
    Shape& ship = store.add_element("Ship", ElementType::TASK);
    Shape& done = store.add_element("Done", ElementType::END);
    check.fill_colour = "LightBlue";
    check.font_colour = "navy";
    done.outline_colour = "#c00";
    check.connect(ship);
    ship.connect(done);
    test::choose_ids(board);
    board.draw();
    const pugi::xml_document doc = parse(bpmn_of(board));
    const auto colour = [&](const std::string& id, const char* name) {
      return std::string(di_of(doc, id).attribute(name).value());
    };
    EXPECT_EQ(colour(check.bpmn_id, "color:background-color"), "#add8e6") << theme;
    EXPECT_EQ(
        std::string(
            di_of(doc, check.bpmn_id).child("bpmndi:BPMNLabel").attribute("color:color").value()),
        "#000080");
    EXPECT_EQ(colour(check.bpmn_id, "xmlns:color"),
              "http://www.omg.org/spec/BPMN/non-normative/color/1.0");
    EXPECT_EQ(colour(done.bpmn_id, "color:border-color"), "#cc0000");
    EXPECT_EQ(colour(done.bpmn_id, "color:background-color"), "");
    EXPECT_EQ(colour(sales.id, "color:background-color"), "#fafafa");
    // Filled from the theme when drawn: nothing of its own to write.
    EXPECT_FALSE(di_of(doc, ship.bpmn_id).attribute("xmlns:color")) << theme;
    EXPECT_FALSE(di_of(doc, store.id).attribute("xmlns:color")) << theme;
    EXPECT_FALSE(di_of(doc, pool.bpmn_id).attribute("xmlns:color")) << theme;
  }
}

// A font family or size an element's name has of its own goes into a label style, one per
// distinct font, written after the plane; the theme's are not written.
TEST_F(BpmnExport, FontsOfTheirOwnGoIntoLabelStyles) {
  Swimboard board("Fonts");
  Pool& pool = board.add_pool("Shop", "", 18);
  Lane& sales = pool.add_lane("Sales", "DejaVu Serif");
  Lane& store = pool.add_lane("Store");
  Shape& check = sales.add_element("Check", ElementType::TASK);
  Shape& ship = store.add_element("Ship", ElementType::TASK);
  Shape& plain = store.add_element("Done", ElementType::END);
  check.font = ship.font = "DejaVu Serif";
  check.font_size = ship.font_size = 16;
  check.connect(ship);
  ship.connect(plain);
  test::choose_ids(board);
  board.draw();
  plain.font_size = pool.painter()->element_font_size;
  const pugi::xml_document doc = parse(bpmn_of(board));
  const auto font_of = [&](const std::string& id) {
    const std::string style =
        di_of(doc, id).child("bpmndi:BPMNLabel").attribute("labelStyle").value();
    if (style.empty()) return std::string("none");
    const pugi::xml_node s =
        doc.select_node(("//bpmndi:BPMNLabelStyle[@id='" + style + "']").c_str()).node();
    EXPECT_EQ(std::string(s.parent().name()), "bpmndi:BPMNDiagram");
    EXPECT_EQ(std::string(s.parent().first_child().name()), "bpmndi:BPMNPlane");
    std::string font;
    for (pugi::xml_attribute a : s.child("dc:Font").attributes()) {
      font += std::string(a.name()) + "=" + a.value() + " ";
    }
    return font;
  };
  EXPECT_EQ(font_of(check.bpmn_id), "name=DejaVu Serif size=16 ");
  EXPECT_EQ(font_of(pool.bpmn_id), "size=18 ");
  EXPECT_EQ(font_of(sales.id), "name=DejaVu Serif ");
  EXPECT_EQ(font_of(store.id), "none");
  EXPECT_EQ(font_of(plain.bpmn_id), "none");
  // One style for the two tasks set alike.
  EXPECT_EQ(doc.select_nodes("//bpmndi:BPMNLabelStyle").size(), 3U);
}

TEST_F(BpmnExport, DrawnDiagramKeepsTheDrawnBoxesRoutesAndLabels) {
  Swimboard board;
  Pool& pool = board.add_pool("Shop");
  Lane& sales = add_lane(pool, "Sales");
  Lane& store = add_lane(pool, "Store");
  Shape& start = sales.add_element("Start", ElementType::START);
  Shape& check = sales.add_element("Check", ElementType::TASK);
  Shape& ship = store.add_element("Ship", ElementType::END);
  start.connect(check);
  Connection& ok = check.connect(ship, "ok");
  test::choose_ids(board);
  board.draw();
  const pugi::xml_document doc = parse(bpmn_of(board));
  for (const Shape* shape : {&start, &check, &ship}) {
    test::expect_near(bounds_of(di_of(doc, shape->bpmn_id)), shape->box, shape->name);
  }
  EXPECT_EQ(bounds_of(di_of(doc, sales.id)),
            (Box{static_cast<double>(sales.coord.x_pos), static_cast<double>(sales.coord.y_pos),
                 static_cast<double>(sales.width), static_cast<double>(sales.height)}));
  EXPECT_STREQ(di_of(doc, pool.bpmn_id).attribute("isHorizontal").value(), "true");
  const pugi::xml_node edge = di_of(doc, ok.bpmn_id);
  std::vector<Point> route;
  for (pugi::xml_node p : edge.children("di:waypoint")) {
    route.push_back({p.attribute("x").as_double(), p.attribute("y").as_double()});
  }
  test::expect_near(route, ok.waypoints);
  ASSERT_TRUE(ok.label_box);
  test::expect_near(bounds_of(edge.child("bpmndi:BPMNLabel")), *ok.label_box);
  test::expect_near(bounds_of(di_of(doc, start.bpmn_id).child("bpmndi:BPMNLabel")),
                    start.label_box);
}

TEST_F(BpmnExport, UndrawnDiagramGetsAViewableFallbackLayout) {
  Swimboard board;
  Pool& pool = board.add_pool("P");
  Lane& a = add_lane(pool, "A");
  Lane& b = add_lane(pool, "B");
  Shape& start = a.add_element("Start", ElementType::START);
  Shape& task = b.add_element("Task", ElementType::TASK);
  start.connect(task);
  test::choose_ids(board);
  const pugi::xml_document doc = parse(bpmn_of(board));
  for (const Lane* lane : {&a, &b}) {
    const Box lane_box = bounds_of(di_of(doc, lane->id));
    EXPECT_GT(lane_box.width, 0);
    for (const Shape* shape : lane->shapes) {
      const Box box = bounds_of(di_of(doc, shape->bpmn_id));
      EXPECT_GT(box.width, 0);
      EXPECT_GE(box.x, lane_box.x);
      EXPECT_GE(box.y, lane_box.y);
      EXPECT_LE(box.right(), lane_box.right());
      EXPECT_LE(box.bottom(), lane_box.bottom());
    }
  }
  EXPECT_GE(di_of(doc, start.connection_to->front().bpmn_id).select_nodes("di:waypoint").size(),
            2u);
}

TEST_F(BpmnExport, LinksToShapesOutsideEveryLaneAndMissingPoolsLeaveNoDanglingReference) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  Shape& start = lane.add_element("Start", ElementType::START);
  // Owned by the lane but not listed in it, as a replaced shape is.
  Shape& hidden = lane.adopt(create_shape("Task", "Hidden", lane.id, "P"));
  hidden.bpmn_id = "hidden";
  start.connect(hidden);
  board._pools.push_back(nullptr);
  const pugi::xml_document doc = parse(bpmn_of(board));
  const IdIndex ids(doc);
  EXPECT_FALSE(ids.has("hidden"));
  EXPECT_EQ(doc.select_nodes("//bpmn:sequenceFlow").size(), 0u);
  EXPECT_EQ(doc.select_nodes("//bpmn:outgoing").size(), 0u);
  EXPECT_EQ(doc.select_nodes("//bpmn:participant").size(), 1u);
  board._pools.pop_back();
}

TEST_F(BpmnExport, EmptyDiagramStillGivesAValidDocument) {
  const std::vector<std::unique_ptr<Pool>> none;
  const pugi::xml_document doc = parse(BPMN().to_xml(none));
  const std::string process = doc.select_node("//bpmn:process").node().attribute("id").value();
  EXPECT_EQ(doc.select_node("//bpmndi:BPMNPlane").node().attribute("bpmnElement").value(), process);
}

TEST_F(BpmnExport, SameDiagramGivesIdenticalBytes) {
  auto build = [] {
    Helper::reset_uuid();
    auto board = std::make_unique<Swimboard>();
    Lane& lane = add_lane(board->add_pool("P"), "L");
    Shape& s = lane.add_element("S", ElementType::START);
    Shape& t = lane.add_element("T", ElementType::TASK);
    s.connect(t, "go");
    board->draw();
    return board;
  };
  EXPECT_EQ(bpmn_of(*build()), bpmn_of(*build()));
}

TEST_F(BpmnExport, FailedWriteThrowsAndLeavesNoFile) {
  Swimboard board;
  add_lane(board.add_pool("P"), "L").add_element("S", ElementType::START);
  const std::filesystem::path dir = scratch_path("bpmn-missing-dir") / "deeper";
  const std::string target = (dir / "out.bpmn").string();
  EXPECT_THROW(board.export_to_bpmn(target), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(target));

  const std::filesystem::path good = scratch_path("test.bpmn");
  board.export_to_bpmn(good.string());
  std::ifstream in(good);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), bpmn_of(board));
  std::filesystem::remove(good);
}

std::string id_named(const pugi::xml_document& doc, const std::string& name) {
  return by_name(doc, name).attribute("id").value();
}

TEST_F(BpmnExport, ChosenIdsAreKeptAndGeneratedOnesDifferBetweenDiagrams) {
  auto build = [](Swimboard& board, const std::string& pool_name, bool chosen) {
    Pool& pool = board.add_pool(pool_name);
    Lane& lane = add_lane(pool, "L");
    Shape& a = lane.add_element("A", ElementType::START);
    Shape& b = lane.add_element("B", ElementType::END);
    Connection& flow = a.connect(b);
    if (chosen) {
      pool.bpmn_id = "shop";
      a.bpmn_id = "order received";         // made a valid XML name
      b.bpmn_id = "node_0123456789abcdef";  // looks generated; no chosen id may lose to it
      flow.bpmn_id = "f1";
    }
  };
  Swimboard one;
  build(one, "Shop", true);
  const pugi::xml_document first = parse(bpmn_of(one));
  EXPECT_TRUE(first.select_node("//bpmn:participant[@id='shop']"));
  EXPECT_TRUE(first.select_node("//bpmn:process[@id='shop_process']"));
  EXPECT_TRUE(first.select_node("//bpmn:startEvent[@id='order_received']"));
  EXPECT_TRUE(first.select_node("//bpmn:sequenceFlow[@id='f1']"));

  // Two unrelated diagrams share no generated id; one diagram exported twice keeps them all.
  Helper::reset_uuid();
  Swimboard two;
  build(two, "Bank", false);
  Helper::reset_uuid();
  Swimboard three;
  build(three, "Carrier", false);
  const std::string bank = bpmn_of(two);
  const IdIndex bank_ids(parse(bank));
  const IdIndex carrier_ids(parse(bpmn_of(three)));
  for (const auto& [id, node] : bank_ids.by_id) {
    EXPECT_FALSE(carrier_ids.has(id)) << id;
  }
  EXPECT_EQ(bank, bpmn_of(two));
  for (const char* element : {"process", "collaboration", "participant"}) {
    const std::string id = parse(bank)
                               .select_node(("//bpmn:" + std::string(element)).c_str())
                               .node()
                               .attribute("id")
                               .value();
    EXPECT_EQ(id.find("_0"), std::string::npos) << id;  // not the shared uuid sequence
  }
}

TEST_F(BpmnExport, NotationBecomesTheBpmnElementsAndAttributes) {
  Swimboard board;
  Pool& pool = board.add_pool("Claims");
  Lane& lane = add_lane(pool, "Desk");
  auto& start = static_cast<TypedEvent&>(lane.add_element("In", ElementType::TYPED_EVENT));
  start.definition = EventTrigger::PARALLEL_MULTIPLE;
  start.interrupts = false;
  auto& review = static_cast<Task&>(lane.add_element("Review", ElementType::TASK));
  review.task_type = TaskType::BUSINESS_RULE;
  review.loop = LoopType::PARALLEL;
  auto& ok = static_cast<Exclusive&>(lane.add_element("OK?", ElementType::EXCLUSIVE));
  ok.show_marker = false;
  auto& pay = static_cast<Subprocess&>(lane.add_element("Pay", ElementType::SUBPROCESS));
  pay.form = SubprocessForm::TRANSACTION;
  auto& refund = static_cast<Task&>(lane.add_element("Refund", ElementType::TASK));
  auto& stop = static_cast<TypedEvent&>(lane.add_element("Stop", ElementType::TYPED_EVENT));
  stop.stage = EventPosition::END;
  stop.definition = EventTrigger::TERMINATE;
  auto& notify = static_cast<TypedEvent&>(lane.add_element("Notify", ElementType::TYPED_EVENT));
  notify.stage = EventPosition::INTERMEDIATE;
  notify.throws = true;
  notify.definition = EventTrigger::ESCALATION;
  auto& fix = static_cast<Subprocess&>(lane.add_element("Fix", ElementType::SUBPROCESS));
  fix.form = SubprocessForm::EVENT;
  fix.start_trigger = EventTrigger::ERROR;
  auto& files = static_cast<DataObject&>(lane.add_element("Files", ElementType::DATA_OBJECT));
  files.collection = true;
  Shape& complex = lane.add_element("Many", ElementType::COMPLEX);
  start.connect(review);
  review.connect(ok);
  Connection& otherwise = ok.connect(stop, "no");
  otherwise.is_default = true;
  ok.connect(pay, "yes").condition = "amount > 0";
  pay.connect(notify);
  notify.connect(complex);
  complex.connect(stop);
  review.connect(files);
  TypedEvent& late = lane.add_boundary_event(pay, "Late", EventTrigger::TIMER, false);
  late.connect(stop);
  lane.add_boundary_event(pay, "Undo", EventTrigger::COMPENSATION).connect(refund);
  lane.add_boundary_event(pay, "Abort", EventTrigger::CANCEL).connect(stop);
  lane.annotate(review, "Two people");
  lane.add_group("Money", {&pay, &refund});
  Pool& customer = board.add_pool("Customer");
  customer.make_black_box();
  notify.connect(*customer.participant(), "letter");
  board.draw();
  const pugi::xml_document doc = parse(bpmn_of(board));

  const pugi::xml_node in = by_name(doc, "In");
  EXPECT_STREQ(in.name(), "bpmn:startEvent");
  EXPECT_STREQ(in.attribute("isInterrupting").value(), "false");
  EXPECT_STREQ(in.attribute("parallelMultiple").value(), "true");
  EXPECT_EQ(in.select_nodes("bpmn:messageEventDefinition|bpmn:signalEventDefinition").size(), 2u);
  const pugi::xml_node rule = by_name(doc, "Review");
  EXPECT_STREQ(rule.name(), "bpmn:businessRuleTask");
  EXPECT_TRUE(rule.child("bpmn:multiInstanceLoopCharacteristics"));
  EXPECT_FALSE(rule.child("bpmn:multiInstanceLoopCharacteristics").attribute("isSequential"));
  EXPECT_TRUE(rule.child("bpmn:dataOutputAssociation"));
  const pugi::xml_node gateway = by_name(doc, "OK?");
  EXPECT_STREQ(gateway.attribute("default").value(), id_named(doc, "no").c_str());
  EXPECT_STREQ(di_of(doc, gateway.attribute("id").value()).attribute("isMarkerVisible").value(),
               "false");
  const pugi::xml_node yes = by_name(doc, "yes");
  EXPECT_STREQ(yes.child("bpmn:conditionExpression").text().get(), "amount > 0");
  EXPECT_STREQ(yes.child("bpmn:conditionExpression").attribute("xsi:type").value(),
               "bpmn:tFormalExpression");
  EXPECT_FALSE(by_name(doc, "no").child("bpmn:conditionExpression"));
  EXPECT_STREQ(by_name(doc, "Pay").name(), "bpmn:transaction");
  EXPECT_STREQ(by_name(doc, "Refund").attribute("isForCompensation").value(), "true");
  EXPECT_TRUE(by_name(doc, "Stop").child("bpmn:terminateEventDefinition"));
  EXPECT_STREQ(by_name(doc, "Notify").name(), "bpmn:intermediateThrowEvent");
  EXPECT_TRUE(by_name(doc, "Notify").child("bpmn:escalationEventDefinition"));
  EXPECT_STREQ(by_name(doc, "Many").name(), "bpmn:complexGateway");
  const pugi::xml_node fix_node = by_name(doc, "Fix");
  EXPECT_STREQ(fix_node.attribute("triggeredByEvent").value(), "true");
  EXPECT_TRUE(fix_node.select_node("bpmn:startEvent/bpmn:errorEventDefinition"));
  const pugi::xml_node late_node = by_name(doc, "Late");
  EXPECT_STREQ(late_node.name(), "bpmn:boundaryEvent");
  EXPECT_STREQ(late_node.attribute("attachedToRef").value(), id_named(doc, "Pay").c_str());
  EXPECT_STREQ(late_node.attribute("cancelActivity").value(), "false");
  EXPECT_FALSE(by_name(doc, "Abort").attribute("cancelActivity"));
  EXPECT_TRUE(by_name(doc, "Abort").child("bpmn:cancelEventDefinition"));
  // The compensation boundary event leads to its handler by an association.
  const std::string undo = id_named(doc, "Undo");
  EXPECT_TRUE(doc.select_node(("//bpmn:association[@sourceRef='" + undo + "']").c_str()));
  EXPECT_TRUE(doc.select_node("//bpmn:dataObject[@isCollection='true']"));
  EXPECT_STREQ(doc.select_node("//bpmn:textAnnotation/bpmn:text").node().text().get(),
               "Two people");
  const pugi::xml_node group = doc.select_node("//bpmn:process/bpmn:group").node();
  ASSERT_TRUE(group);
  const std::string value = group.attribute("categoryValueRef").value();
  EXPECT_STREQ(doc.select_node(("//bpmn:categoryValue[@id='" + value + "']").c_str())
                   .node()
                   .attribute("value")
                   .value(),
               "Money");
  // A black-box pool is a participant without a process, the end of its message flow.
  const pugi::xml_node band = doc.select_node("//bpmn:participant[@name='Customer']").node();
  EXPECT_FALSE(band.attribute("processRef"));
  EXPECT_STREQ(by_name(doc, "letter").attribute("targetRef").value(), band.attribute("id").value());
  EXPECT_EQ(doc.select_nodes("//bpmn:process").size(), 1u);
  // Every element drawn has its DI; the collapsed sub-processes show their inner flow on a
  // diagram of their own.
  for (const char* name : {"In", "Late", "Two people", "Customer"}) {
    const pugi::xml_node node = std::string(name) == "Two people"
                                    ? doc.select_node("//bpmn:textAnnotation").node()
                                    : by_name(doc, name);
    EXPECT_TRUE(di_of(doc, node.attribute("id").value())) << name;
  }
  EXPECT_EQ(doc.select_nodes("//bpmndi:BPMNDiagram").size(), 3u);
  EXPECT_STREQ(doc.select_node("//bpmndi:BPMNDiagram[2]/bpmndi:BPMNPlane")
                   .node()
                   .attribute("bpmnElement")
                   .value(),
               id_named(doc, "Pay").c_str());
}

TEST_F(BpmnExport, ATerminatorThatLeadsOnAndIsLedIntoIsAnIntermediateThrowEvent) {
  Swimboard board;
  Lane& lane = add_lane(board.add_pool("P"), "L");
  Shape& start = lane.add_element("S", ElementType::START);
  Shape& milestone = lane.add_element("Milestone", ElementType::TERMINATOR);
  Shape& end = lane.add_element("E", ElementType::END);
  start.connect(milestone);
  milestone.connect(end);
  const pugi::xml_document doc = parse(bpmn_of(board));
  EXPECT_STREQ(by_name(doc, "Milestone").name(), "bpmn:intermediateThrowEvent");
}

}  // namespace
}  // namespace orvane
