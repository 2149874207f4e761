// Reading BPMN files: what each element becomes, the order pools, lanes and shapes take, the
// sub-process diagrams, the real files under samples/ and the refusals of bad/.
#include "orvane/bpmn_reader.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/description_writer.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "orvane/read.hpp"
#include "orvane/vocabulary.hpp"
#include "support/file_text.hpp"
#include "support/scratch_path.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const fs::path kHere = fs::path(ORVANE_SOURCE_DIR) / "tests/read";

LoadedDiagram fixture(const std::string& name) {
  const fs::path path = kHere / "fixtures" / name;
  return load_bpmn_text(file_text(path), path.filename().string());
}

std::vector<std::string> lane_names(const Pool& pool) {
  std::vector<std::string> names;
  for (const auto& lane : pool.lanes) names.push_back(lane->name);
  return names;
}

std::vector<std::string> shape_ids(const Lane& lane) {
  std::vector<std::string> ids;
  for (const Shape* shape : lane.shapes) ids.push_back(shape->bpmn_id);
  return ids;
}

const Connection* connection(const LoadedDiagram& d, const std::string& id) {
  for (const auto& pool : d.board->_pools) {
    std::vector<Shape*> ends;
    for (const auto& lane : pool->lanes) {
      const auto every = lane->every_shape();
      ends.insert(ends.end(), every.begin(), every.end());
    }
    if (pool->participant() != nullptr) ends.push_back(pool->participant());
    for (Shape* shape : ends) {
      for (const Connection& c : *shape->connection_to) {
        if (c.bpmn_id == id) return &c;
      }
    }
  }
  return nullptr;
}

TEST(BpmnElements, EveryFlowNodeBecomesAShapeOfItsKind) {
  LoadedDiagram d = fixture("elements.bpmn");
  const std::map<std::string, std::string> expected = {
      {"start_none", "start"},
      {"start_message", "message_start"},
      {"start_timer", "timer_start"},
      {"start_signal", "signal_start"},
      {"start_conditional", "conditional_start"},
      {"start_multiple", "multiple_start"},
      {"start_parallel_multiple", "parallel_multiple_start"},
      {"catch_message", "message_catch"},
      {"catch_timer_by_ref", "timer_catch"},
      {"catch_link", "link_catch"},
      {"throw_none", "intermediate"},
      {"throw_signal", "signal_throw"},
      {"throw_escalation", "escalation_throw"},
      {"throw_compensation", "compensation_throw"},
      {"throw_link", "link_throw"},
      {"end_none", "end"},
      {"end_message", "message_end"},
      {"end_error", "error_end"},
      {"end_terminate", "terminate_end"},
      // BPMN has no timer end event: the plain end event it stands at.
      {"end_timer_not_allowed", "end"},
      {"task_plain", "task"},
      {"task_user", "user_task"},
      {"task_service", "service_task"},
      {"task_send", "send_task"},
      {"task_receive", "receive_task"},
      {"task_script", "script_task"},
      {"task_manual", "manual_task"},
      {"task_rule", "business_rule_task"},
      {"task_loop", "task"},
      {"task_parallel", "task"},
      {"task_sequential", "task"},
      {"task_compensating", "task"},
      {"call", "call_activity"},
      {"adhoc", "subprocess"},
      {"booking", "transaction"},
      {"on_alarm", "event_subprocess"},
      {"boundary_timer", "timer_boundary"},
      {"boundary_error", "error_boundary"},
      {"boundary_compensation", "compensation_boundary"},
      {"boundary_cancel", "cancel_boundary"},
      {"gateway_exclusive", "exclusive"},
      {"gateway_parallel", "parallel"},
      {"gateway_inclusive", "inclusive"},
      {"gateway_event", "event_based"},
      {"gateway_complex", "complex"},
      {"orders_ref", "data_object"},
      {"archive_ref", "data_store"},
  };
  for (const auto& [id, word] : expected) {
    ASSERT_EQ(d.shapes_by_id.count(id), 1u) << id;
    EXPECT_EQ(type_word_of(*d.shapes_by_id.at(id)), word) << id;
  }
  EXPECT_EQ(d.shapes_by_id.size(), expected.size());
  EXPECT_EQ(d.shapes_by_id.at("task_user")->name, "User task");
}

TEST(BpmnElements, MarkersTriggersAndAttachmentsAreKept) {
  LoadedDiagram d = fixture("elements.bpmn");
  auto activity = [&](const std::string& id) {
    return dynamic_cast<const Activity*>(d.shapes_by_id.at(id));
  };
  EXPECT_EQ(activity("task_loop")->loop, LoopType::STANDARD);
  EXPECT_EQ(activity("task_parallel")->loop, LoopType::PARALLEL);
  EXPECT_EQ(activity("task_sequential")->loop, LoopType::SEQUENTIAL);
  EXPECT_TRUE(activity("task_compensating")->compensation);
  EXPECT_TRUE(dynamic_cast<const Subprocess*>(d.shapes_by_id.at("adhoc"))->ad_hoc);
  const auto* alarm = dynamic_cast<const Subprocess*>(d.shapes_by_id.at("on_alarm"));
  EXPECT_EQ(alarm->start_trigger, EventTrigger::SIGNAL);
  EXPECT_FALSE(alarm->start_interrupts);
  EXPECT_TRUE(dynamic_cast<const DataObject*>(d.shapes_by_id.at("orders_ref"))->collection);

  auto event = [&](const std::string& id) {
    return dynamic_cast<const TypedEvent*>(d.shapes_by_id.at(id));
  };
  EXPECT_EQ(event("boundary_timer")->attached_to, d.shapes_by_id.at("task_user"));
  EXPECT_FALSE(event("boundary_timer")->interrupting());
  // An error boundary event always interrupts, whatever the file says.
  EXPECT_TRUE(event("boundary_error")->interrupting());
  EXPECT_EQ(event("boundary_cancel")->attached_to, d.shapes_by_id.at("booking"));

  const Connection* fallback = connection(d, "flow_default");
  const Connection* big = connection(d, "flow_conditional");
  ASSERT_NE(fallback, nullptr);
  ASSERT_NE(big, nullptr);
  EXPECT_TRUE(fallback->is_default);
  EXPECT_EQ(fallback->label, "otherwise");
  EXPECT_EQ(big->condition, "amount > 1000");
  EXPECT_EQ(connection(d, "orders_in")->connection_type, ConnectionTypes::DATA);
  EXPECT_EQ(connection(d, "orders_in")->target, d.shapes_by_id.at("task_send"));
  EXPECT_EQ(connection(d, "archive_out")->source, d.shapes_by_id.at("task_receive"));
  EXPECT_EQ(connection(d, "compensation_link")->connection_type, ConnectionTypes::ASSOCIATION);
}

TEST(BpmnPools, AProcessWithoutCollaborationIsOnePoolNamedAfterIt) {
  LoadedDiagram d = fixture("elements.bpmn");
  ASSERT_EQ(d.board->_pools.size(), 1u);
  EXPECT_EQ(d.board->_pools[0]->name, "Elements");
  EXPECT_EQ(d.board->title, "Every element kind");
  EXPECT_EQ(lane_names(*d.board->_pools[0]),
            (std::vector<std::string>{"Events", "Activities", "Gateways"}));

  const std::string nameless =
      R"(<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d">
           <process id="claims"><task id="t" name="Check"/></process>
         </definitions>)";
  LoadedDiagram plain = load_bpmn_text(nameless, "claims.bpmn");
  ASSERT_EQ(plain.board->_pools.size(), 1u);
  // A process without a name draws no made-up one (modelling tools give bare processes
  // generated ids like "Process_05abo3f"), as a participant without a name does not. Nodes in
  // no lane stand in a lane named like the pool; the title falls back to the file.
  EXPECT_EQ(plain.board->_pools[0]->name, "");
  EXPECT_EQ(lane_names(*plain.board->_pools[0]), std::vector<std::string>{""});
  EXPECT_EQ(plain.board->title, "claims");
}

TEST(BpmnPools, PoolsLanesAndShapesFollowTheDrawingOrder) {
  LoadedDiagram d = fixture("collaboration.bpmn");
  const auto& pools = d.board->_pools;
  ASSERT_EQ(pools.size(), 3u);
  EXPECT_EQ(pools[0]->name, "Shop");
  EXPECT_EQ(pools[1]->name, "Warehouse");
  EXPECT_EQ(pools[2]->name, "Customer");
  EXPECT_TRUE(pools[2]->black_box());
  EXPECT_EQ(pools[0]->bpmn_id, "shop");
  EXPECT_EQ(pools[2]->bpmn_id, "customer");

  // Nested lanes flattened in drawing order; the node in no lane gets a lane named like the pool.
  EXPECT_EQ(
      lane_names(*pools[0]),
      (std::vector<std::string>{"Sales / Back office", "Sales / Front desk", "Finance", "Shop"}));
  EXPECT_EQ(pools[0]->lanes[0]->id, "back_office");
  EXPECT_EQ(pools[0]->lanes[1]->id, "front_desk");
  // Left to right as drawn, although the document lists Confirm before Check.
  EXPECT_EQ(shape_ids(*pools[0]->lanes[1]),
            (std::vector<std::string>{"start_order", "check_order", "confirm_order"}));
  EXPECT_EQ(shape_ids(*pools[0]->lanes[3]), std::vector<std::string>{"note_taken"});
  // A pool without lanes: one lane named like it, the data store in it.
  EXPECT_EQ(lane_names(*pools[1]), std::vector<std::string>{"Warehouse"});
  EXPECT_EQ(shape_ids(*pools[1]->lanes[0]),
            (std::vector<std::string>{"warehouse_start", "ship", "shipped", "stock"}));
}

TEST(BpmnPools, MessageFlowsAnnotationsAndGroupsJoinTheirShapes) {
  LoadedDiagram d = fixture("collaboration.bpmn");
  const Participant* customer = d.board->_pools[2]->participant();
  ASSERT_NE(customer, nullptr);
  const Connection* order = connection(d, "order_sent");
  ASSERT_NE(order, nullptr);
  EXPECT_EQ(order->source, customer);
  EXPECT_EQ(order->target, d.shapes_by_id.at("start_order"));
  EXPECT_EQ(order->connection_type, ConnectionTypes::MESSAGE);
  EXPECT_EQ(connection(d, "invoice_sent")->target, customer);
  EXPECT_EQ(connection(d, "pick_list")->connection_type, ConnectionTypes::MESSAGE);

  const auto* note = dynamic_cast<const TextAnnotation*>(d.shapes_by_id.at("check_note"));
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->name, "Within one hour");
  EXPECT_EQ(note->annotated(), d.shapes_by_id.at("check_order"));
  EXPECT_EQ(note->connection_to->front().bpmn_id, "check_note_link");

  // The group gathers the shapes its frame encloses in the file's diagram.
  const auto* group = dynamic_cast<const Group*>(d.shapes_by_id.at("front_office"));
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->name, "Front office work");
  EXPECT_EQ(group->members, (std::vector<Shape*>{d.shapes_by_id.at("check_order"),
                                                 d.shapes_by_id.at("confirm_order")}));
}

TEST(BpmnSubprocesses, ContentsBecomeDiagramsOfTheirOwnAndTheParentDrawsThemCollapsed) {
  LoadedDiagram d = fixture("subprocesses.bpmn");
  EXPECT_EQ(d.shapes_by_id.at("plan_trip")->class_name(), "Subprocess");
  EXPECT_EQ(d.shapes_by_id.count("book_hotel"), 0u);
  EXPECT_EQ(d.shapes_by_id.count("request_seat"), 0u);

  std::map<std::string, std::vector<std::string>> contents;
  for (const Subdiagram& sub : d.board->subdiagrams) {
    for (const auto& pool : sub.board->_pools) {
      for (const auto& lane : pool->lanes) {
        for (const std::string& id : shape_ids(*lane)) contents[sub.element].push_back(id);
      }
    }
  }
  EXPECT_EQ(contents, (std::map<std::string, std::vector<std::string>>{
                          {"plan_trip", {"plan_start", "book_flights", "book_hotel", "plan_end"}},
                          {"book_flights", {"flights_start", "request_seat", "flights_end"}},
                          {"on_cancel", {"cancel_received", "refund"}}}));
  ASSERT_EQ(d.board->subdiagrams.size(), 3u);
  EXPECT_EQ(d.board->subdiagrams[0].element, "plan_trip");
  EXPECT_EQ(d.board->subdiagrams[0].board->title, "Plan the trip");

  // A message flow from inside a sub-process leaves its collapsed shape in the main diagram.
  const Connection* request = connection(d, "seat_request");
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(request->source, d.shapes_by_id.at("plan_trip"));
  EXPECT_EQ(request->target, d.board->_pools[1]->participant());
  EXPECT_EQ(dynamic_cast<const TypedEvent*>(d.shapes_by_id.at("too_long"))->attached_to,
            d.shapes_by_id.at("plan_trip"));
  EXPECT_EQ(dynamic_cast<const Subprocess*>(d.shapes_by_id.at("on_cancel"))->start_trigger,
            EventTrigger::MESSAGE);

  // Drawing the diagram draws the sub-process diagrams as well.
  d.board->draw();
  for (const Subdiagram& sub : d.board->subdiagrams) EXPECT_GT(sub.board->width, 0) << sub.element;
}

TEST(BpmnSamples, EveryRealFileIsReadAndDrawnWithItsIds) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kHere / "samples")) {
    if (entry.path().extension() != ".bpmn") continue;
    ++files;
    const std::string name = entry.path().filename().string();
    const std::string text = file_text(entry.path());
    LoadedDiagram d;
    ASSERT_NO_THROW(d = load_bpmn_text(text, name)) << name;
    ASSERT_NO_THROW(d.board->draw()) << name;
    EXPECT_FALSE(d.shapes_by_id.empty()) << name;
    for (const auto& [id, shape] : d.shapes_by_id) {
      EXPECT_NE(text.find("\"" + id + "\""), std::string::npos) << name << ": " << id;
      EXPECT_EQ(shape->bpmn_id, id) << name;
    }
  }
  EXPECT_EQ(files, 21);
}

// Message flows the picture cannot draw stay in the document, and the reading says which and
// why, at their place in the file; the drawable one is drawn.
TEST(BpmnReader, MessageFlowsThatCannotBeDrawnAreListedWithTheirReason) {
  const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d">
  <collaboration id="c">
    <participant id="shop" name="Shop" processRef="p1"/>
    <participant id="bank" name="Bank" processRef="p2"/>
    <participant id="courier" name="Courier"/>
    <messageFlow id="pay" sourceRef="order" targetRef="settle"/>
    <messageFlow id="pools" sourceRef="shop" targetRef="bank"/>
    <messageFlow id="to_data" sourceRef="order" targetRef="receipt"/>
    <messageFlow id="bands" sourceRef="courier" targetRef="courier"/>
  </collaboration>
  <process id="p1">
    <task id="order" name="Order"/>
    <dataObjectReference id="receipt" name="Receipt"/>
  </process>
  <process id="p2"><task id="settle" name="Settle"/></process>
</definitions>
)";
  const BpmnReading reading = read_bpmn(text, "m.bpmn");
  std::vector<std::string> ids;
  for (const ConnectionDescription& c : reading.diagram.connections) ids.push_back(c.id);
  EXPECT_EQ(ids, std::vector<std::string>{"pay"});
  ASSERT_EQ(reading.not_drawn.size(), 3u);
  EXPECT_EQ(reading.not_drawn[0].what,
            "message flow 'pools' from 'shop' to 'bank' is not drawn: its source 'shop' is a pool "
            "shown with its process (not one of its shapes)");
  EXPECT_EQ(reading.not_drawn[0].mark.line, 8);
  EXPECT_EQ(reading.not_drawn[1].what,
            "message flow 'to_data' from 'order' to 'receipt' is not drawn: its target 'receipt' "
            "is a data object or store");
  EXPECT_EQ(reading.not_drawn[2].what,
            "message flow 'bands' from 'courier' to 'courier' is not drawn: both ends are pools "
            "drawn as bands");
  EXPECT_TRUE(load_bpmn_text(text, "m.bpmn").board != nullptr);
}

// Notes and groups the picture has no place for are listed, in the file's order, with the
// message flows: a note joined to nothing, or only to a pool; a note's second association; a
// group the file does not draw. The note joined to a shape is drawn beside it.
TEST(BpmnReader, NotesAndGroupsThatCannotBeDrawnAreListedInTheFilesOrder) {
  const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d">
  <collaboration id="c">
    <participant id="firm" name="Firm" processRef="p"/>
    <textAnnotation id="on_pool"><text>About the firm</text></textAnnotation>
    <association id="a_pool" sourceRef="firm" targetRef="on_pool"/>
  </collaboration>
  <process id="p">
    <startEvent id="s"/>
    <task id="t" name="Do"/>
    <sequenceFlow id="f" sourceRef="s" targetRef="t"/>
    <textAnnotation id="loose"><text>Nobody reads this</text></textAnnotation>
    <textAnnotation id="two"><text>Twice</text></textAnnotation>
    <association id="a_first" sourceRef="two" targetRef="t"/>
    <association id="a_second" sourceRef="two" targetRef="s"/>
    <group id="g"/>
  </process>
</definitions>
)";
  const BpmnReading reading = read_bpmn(text, "m.bpmn");
  ASSERT_EQ(reading.diagram.annotations.size(), 1u);
  EXPECT_EQ(reading.diagram.annotations[0].on, "t");
  std::vector<std::pair<int, std::string>> listed;
  for (const auto& o : reading.not_drawn) listed.emplace_back(o.mark.line, o.what);
  EXPECT_EQ(listed,
            (std::vector<std::pair<int, std::string>>{
                {5,
                 "text annotation 'on_pool' is not drawn: no association joins it to a shape "
                 "drawn with it"},
                {12,
                 "text annotation 'loose' is not drawn: no association joins it to a shape "
                 "drawn with it"},
                {15,
                 "association 'a_second' of text annotation 'two' is not drawn: the "
                 "annotation is drawn beside one shape, 't'"},
                {16, "group 'g' is not drawn: the file does not draw it"}}));
}

// Data outside a sub-process linked with a task inside it is drawn to the collapsed
// sub-process (the store may come before or after it in the file); data inside one linked with
// a task outside has no plane showing both, and is listed as not drawn, as is one naming no data.
TEST(BpmnSubprocesses, DataOutsideASubprocessIsLinkedToItsCollapsedShape) {
  const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d">
  <process id="p">
    <dataStoreReference id="before" name="Policies"/>
    <task id="outer" name="Archive">
      <dataInputAssociation id="in_out"><sourceRef>notes</sourceRef></dataInputAssociation>
      <dataOutputAssociation id="nowhere"><transformation>x</transformation></dataOutputAssociation>
    </task>
    <subProcess id="check" name="Check claim">
      <task id="verify" name="Verify policy">
        <dataInputAssociation id="read"><sourceRef>before</sourceRef></dataInputAssociation>
        <dataOutputAssociation id="write"><targetRef>after</targetRef></dataOutputAssociation>
      </task>
      <dataObjectReference id="notes" name="Notes" dataObjectRef="n"/>
      <dataObject id="n"/>
      <sequenceFlow id="s" sourceRef="verify" targetRef="verify"/>
    </subProcess>
    <dataStoreReference id="after" name="Claims"/>
    <sequenceFlow id="f" sourceRef="outer" targetRef="check"/>
  </process>
</definitions>
)";
  const BpmnReading reading = read_bpmn(text, "m.bpmn");
  std::map<std::string, std::pair<std::string, std::string>> ends;
  for (const ConnectionDescription& c : reading.diagram.connections) ends[c.id] = {c.from, c.to};
  EXPECT_EQ(ends, (std::map<std::string, std::pair<std::string, std::string>>{
                      {"f", {"outer", "check"}},
                      {"read", {"before", "check"}},
                      {"write", {"check", "after"}}}));
  ASSERT_EQ(reading.not_drawn.size(), 2u);
  EXPECT_EQ(reading.not_drawn[0].what,
            "data association 'in_out' of 'outer' is not drawn: its data 'notes' is not drawn on "
            "a plane that shows both");
  // One that names no data at all (a transformation only) says so.
  EXPECT_EQ(reading.not_drawn[1].what,
            "data association 'nowhere' of 'outer' is not drawn: it names no data object or "
            "store (no targetRef)");
  LoadedDiagram d = load_bpmn_text(text, "m.bpmn");
  EXPECT_NO_THROW(d.board->draw());
}

// Data without diagram interchange stands in the lane of the activity it is linked with, also
// when that activity is inside a sub-process (the lane of the sub-process).
TEST(BpmnSubprocesses, DataStandsInTheLaneOfTheSubprocessItsActivityIsIn) {
  const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d">
  <process id="p">
    <laneSet>
      <lane id="front" name="Front"><flowNodeRef>archive</flowNodeRef></lane>
      <lane id="back" name="Back"><flowNodeRef>check</flowNodeRef></lane>
    </laneSet>
    <dataStoreReference id="policies" name="Policies"/>
    <task id="archive" name="Archive"/>
    <subProcess id="check" name="Check claim">
      <subProcess id="inner" name="Verify">
        <task id="verify" name="Verify policy">
          <dataInputAssociation id="read"><sourceRef>policies</sourceRef></dataInputAssociation>
        </task>
      </subProcess>
    </subProcess>
    <sequenceFlow id="f" sourceRef="archive" targetRef="check"/>
  </process>
</definitions>
)";
  LoadedDiagram d = load_bpmn_text(text, "m.bpmn");
  ASSERT_EQ(lane_names(*d.board->_pools[0]), (std::vector<std::string>{"Front", "Back"}));
  EXPECT_EQ(shape_ids(*d.board->_pools[0]->lanes[1]),
            (std::vector<std::string>{"check", "policies"}));
  const Connection* read = connection(d, "read");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->target, d.shapes_by_id.at("check"));
}

// A process is drawn once: a second participant showing it is drawn as a band, and says so.
TEST(BpmnReader, ASecondParticipantOfAShownProcessIsABandAndListed) {
  const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d">
  <collaboration id="c">
    <participant id="shop" name="Shop" processRef="p1"/>
    <participant id="branch" name="Branch" processRef="p1"/>
  </collaboration>
  <process id="p1"><task id="order" name="Order"/></process>
</definitions>
)";
  const BpmnReading reading = read_bpmn(text, "m.bpmn");
  ASSERT_EQ(reading.diagram.pools.size(), 2u);
  EXPECT_FALSE(reading.diagram.pools[0].black_box);
  EXPECT_TRUE(reading.diagram.pools[1].black_box);
  EXPECT_EQ(reading.diagram.pools[1].name, "Branch");
  ASSERT_EQ(reading.not_drawn.size(), 1u);
  EXPECT_EQ(reading.not_drawn[0].what,
            "the process 'p1' of participant 'branch' is not drawn there: pool 'shop' shows it; "
            "'branch' is drawn as a band");
  EXPECT_EQ(reading.not_drawn[0].mark.line, 5);
}

// Modellers colour shapes and lanes in the diagram interchange, with the BPMN in Color extension
// or bpmn.io's: the picture keeps their fills and name colours, and so does a description
// converted from the file.
TEST(BpmnReader, ColoursOfTheDiagramInterchangeAreKept) {
  const std::string text = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL"
    xmlns:bpmndi="http://www.omg.org/spec/BPMN/20100524/DI"
    xmlns:dc="http://www.omg.org/spec/DD/20100524/DC"
    xmlns:color="http://www.omg.org/spec/BPMN/non-normative/color/1.0"
    xmlns:bioc="http://bpmn.io/schema/bpmn/biocolor/1.0"
    xmlns:other="urn:other" id="d">
  <collaboration id="c"><participant id="shop" name="Shop" processRef="p"/></collaboration>
  <process id="p">
    <laneSet id="ls"><lane id="sales" name="Sales">
      <flowNodeRef>start</flowNodeRef><flowNodeRef>check</flowNodeRef>
      <flowNodeRef>ship</flowNodeRef><flowNodeRef>done</flowNodeRef></lane></laneSet>
    <startEvent id="start" name="Order"/>
    <task id="check" name="Check"/>
    <task id="ship" name="Ship"/>
    <endEvent id="done" name="Done"/>
    <sequenceFlow id="f1" sourceRef="start" targetRef="check"/>
    <sequenceFlow id="f2" sourceRef="check" targetRef="ship"/>
    <sequenceFlow id="f3" sourceRef="ship" targetRef="done"/>
  </process>
  <bpmndi:BPMNDiagram id="dia"><bpmndi:BPMNPlane id="pl" bpmnElement="c">
    <bpmndi:BPMNShape id="shop_di" bpmnElement="shop" color:background-color="#eeeeee">
      <dc:Bounds x="0" y="0" width="600" height="200"/></bpmndi:BPMNShape>
    <bpmndi:BPMNShape id="sales_di" bpmnElement="sales" bioc:fill="#ffeedd">
      <dc:Bounds x="30" y="0" width="570" height="200"/></bpmndi:BPMNShape>
    <bpmndi:BPMNShape id="start_di" bpmnElement="start" bioc:fill=" #CCFFCC " bioc:stroke="#00cc00">
      <dc:Bounds x="60" y="80" width="36" height="36"/></bpmndi:BPMNShape>
    <bpmndi:BPMNShape id="check_di" bpmnElement="check" color:background-color="lightblue"
        bioc:fill="#ff0000">
      <dc:Bounds x="140" y="60" width="100" height="80"/>
      <bpmndi:BPMNLabel color:color="navy"/></bpmndi:BPMNShape>
    <bpmndi:BPMNShape id="ship_di" bpmnElement="ship" color:background-color="rgb(1,2,3)"
        other:fill="#123456">
      <dc:Bounds x="280" y="60" width="100" height="80"/></bpmndi:BPMNShape>
    <bpmndi:BPMNShape id="done_di" bpmnElement="done" color:background-color="#fff;x=1">
      <dc:Bounds x="420" y="80" width="36" height="36"/></bpmndi:BPMNShape>
  </bpmndi:BPMNPlane></bpmndi:BPMNDiagram>
</definitions>
)xml";
  const BpmnReading reading = read_bpmn(text, "colours.bpmn");
  ASSERT_EQ(reading.diagram.pools.size(), 1u);
  const PoolDescription& pool = reading.diagram.pools[0];
  EXPECT_EQ(pool.fill_colour, "#eeeeee");
  ASSERT_EQ(pool.lanes.size(), 1u);
  EXPECT_EQ(pool.lanes[0].fill_colour, "#ffeedd");
  EXPECT_EQ(pool.lanes[0].background_fill_colour, "#ffeedd");
  std::map<std::string, const ShapeDescription*> by_id;
  for (const ShapeDescription& s : pool.lanes[0].shapes) by_id[s.id] = &s;
  ASSERT_EQ(by_id.size(), 4u);
  // Blanks round a value go; the outline stays the theme's (lines leave in that colour).
  EXPECT_EQ(by_id["start"]->fill_colour, "#CCFFCC");
  EXPECT_EQ(by_id["start"]->outline_colour, "");
  // With no label colour, the name takes the outline's, as modellers show it.
  EXPECT_EQ(by_id["start"]->font_colour, "#00cc00");
  // The standard extension first; the name's colour from the label.
  EXPECT_EQ(by_id["check"]->fill_colour, "lightblue");
  EXPECT_EQ(by_id["check"]->font_colour, "navy");
  // Forms the painters do not know, and attributes of other namespaces, are passed over.
  EXPECT_EQ(by_id["ship"]->fill_colour, "");
  EXPECT_EQ(by_id["done"]->fill_colour, "");

  // Drawn in those colours, from the file and from its description alike.
  LoadedDiagram from_bpmn = load_bpmn_text(text, "colours.bpmn");
  EXPECT_EQ(from_bpmn.shapes_by_id.at("check")->fill_colour, "lightblue");
  const std::string yaml = description_to_yaml(reading.diagram);
  EXPECT_NE(yaml.find("fill_colour: lightblue"), std::string::npos) << yaml;
  LoadedDiagram from_yaml = load_diagram_text(yaml, "colours.yaml");
  from_bpmn.board->draw();
  from_yaml.board->draw();
  const fs::path dir = scratch_path("colour-test");
  fs::create_directories(dir);
  from_bpmn.board->save((dir / "a.png").string());
  from_yaml.board->save((dir / "b.png").string());
  EXPECT_EQ(file_text(dir / "a.png"), file_text(dir / "b.png"));
  EXPECT_EQ(from_yaml.shapes_by_id.at("check")->fill_colour, "lightblue");
  fs::remove_all(dir);
}

TEST(BpmnInput, TheFormatIsKnownFromTheContent) {
  EXPECT_EQ(input_format("model.yaml", "\xEF\xBB\xBF  <?xml version=\"1.0\"?><a/>"),
            InputFormat::BPMN);
  EXPECT_EQ(input_format("model.txt", "title: x\npools: []\n"), InputFormat::DESCRIPTION);
  // A broken BPMN file is reported as such, not as a YAML error.
  EXPECT_EQ(input_format("model.BPMN", "garbage"), InputFormat::BPMN);
}

// The message a file is refused with, or "" when it loads.
std::string refusal(const std::string& text, const std::string& name) {
  try {
    load_bpmn_text(text, name);
  } catch (const DescriptionError& e) {
    return e.what();
  }
  return "";
}

TEST(BadBpmn, EachFileIsRefusedWithItsExpectedMessage) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kHere / "bad")) {
    if (entry.path().extension() != ".bpmn") continue;
    ++files;
    fs::path expected = entry.path();
    expected.replace_extension(".expected");
    ASSERT_TRUE(fs::exists(expected)) << "no expected message for " << entry.path();
    std::string message = file_text(expected);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(refusal(file_text(entry.path()), name), message) << name;
  }
  EXPECT_GE(files, 18);
}

// Generated files often hold everything on one line: the column of a fault far along it counts
// characters, not bytes, across many thousands of them (and quickly: each place once cost a
// count from the start of its line).
TEST(BadBpmn, AFaultFarAlongOneLineIsPlacedByCharacters) {
  for (const char* name : {"Caf\xC3\xA9 \xE2\x82\xAC", "plain"}) {
    std::string text =
        "<definitions xmlns=\"http://www.omg.org/spec/BPMN/20100524/MODEL\" id=\"d\">"
        "<process id=\"p\"><startEvent id=\"s\"/>";
    for (int i = 0; i < 2000; ++i) {
      text += "<task id=\"t" + std::to_string(i) + "\" name=\"" + name + "\"/>";
    }
    const std::size_t at = text.size();
    text +=
        "<sequenceFlow id=\"f\" sourceRef=\"s\" targetRef=\"nowhere\"/></process></definitions>";
    std::size_t characters = 0;
    for (std::size_t i = 0; i < at; ++i) {
      if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++characters;
    }
    EXPECT_EQ(refusal(text, "long.bpmn"),
              "long.bpmn:1:" + std::to_string(characters + 1) +
                  ": error: the targetRef of sequenceFlow 'f' names 'nowhere', which the "
                  "document does not define");
  }
}

TEST(BadBpmn, AHugeFileIsRefusedBeforeItIsRead) {
  const fs::path path = scratch_path("huge.bpmn");
  { std::ofstream(path) << "<definitions/>"; }
  fs::resize_file(path, std::uintmax_t{2} << 30);  // sparse: takes no disk
  try {
    load_file(path.string());
    ADD_FAILURE() << "a 2 GiB file was read";
  } catch (const DescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("larger than"), std::string::npos) << e.what();
  }
  fs::remove(path);
}

TEST(BadBpmn, SubprocessesNestedWithoutEndAreRefused) {
  std::string text =
      R"(<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d"><process id="p">)";
  for (int i = 0; i < 200; ++i) text += fmt::format(R"(<subProcess id="s{}">)", i);
  text += R"(<task id="t"/>)";
  for (int i = 0; i < 200; ++i) text += "</subProcess>";
  text += "</process></definitions>";
  EXPECT_NE(refusal(text, "deep.bpmn").find("nested deeper than"), std::string::npos);
}

// The ceilings a description has hold for BPMN too, through the library's readers: shapes in
// sub-process diagrams count, and a file given as text is bounded by its size.
TEST(BadBpmn, CeilingsRefuseWithTheFigureAndHowToRaiseThem) {
  std::string text =
      R"(<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL" id="d"><process id="p">)"
      R"(<task id="a"/><task id="b"/><subProcess id="s"><task id="c"/></subProcess>)"
      R"(<sequenceFlow id="f1" sourceRef="a" targetRef="b"/>)"
      R"(<sequenceFlow id="f2" sourceRef="b" targetRef="s"/></process></definitions>)";
  auto refused = [&](const InputLimits& limits) {
    LoadOptions options;
    options.limits = limits;
    try {
      load_bpmn_text(text, "m.bpmn", options);
    } catch (const DescriptionError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  InputLimits limits;
  EXPECT_EQ(refused(limits), "");
  limits.max_shapes = 3;
  EXPECT_EQ(refused(limits), "m.bpmn: error: more than 3 shapes; --max-shapes raises the limit");
  limits.max_shapes = 4;
  limits.max_connections = 1;
  EXPECT_EQ(refused(limits),
            "m.bpmn: error: more than 1 connections; --max-connections raises the limit");
  limits.max_connections = 2;
  EXPECT_EQ(refused(limits), "");
  limits.max_file_bytes = text.size() - 1;
  EXPECT_EQ(refused(limits), fmt::format("m.bpmn: error: more than {} bytes; --max-input-mb "
                                         "raises the limit",
                                         text.size() - 1));

  // load_file reads a description with the caller's ceilings as well.
  const fs::path path = scratch_path("limits.yaml");
  {
    std::ofstream(path) << "title: t\nlanes:\n  - name: L\n    shapes:\n"
                           "      - {id: a, type: start}\n      - {id: b, type: end}\n"
                           "connections:\n  - {from: a, to: b}\n";
  }
  LoadOptions options;
  options.limits.max_shapes = 1;
  try {
    load_file(path.string(), options);
    ADD_FAILURE() << "two shapes read with a ceiling of one";
  } catch (const DescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("more than 1 shapes; --max-shapes"), std::string::npos)
        << e.what();
  }
  options.limits.max_shapes = 2;
  EXPECT_NO_THROW(load_file(path.string(), options));
  fs::remove(path);
}

}  // namespace
}  // namespace orvane
