#include <gtest/gtest.h>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"

namespace orvane {
namespace {

TEST(ElementTypeTable, EveryTypeCreatesTheClassItNames) {
  for (ElementType type : all_element_types()) {
    const std::string name(class_name(type));
    auto shape = create_shape(name, "s", "lane_1", "Pool");
    ASSERT_NE(shape, nullptr) << name;
    EXPECT_EQ(shape->class_name(), name);
    EXPECT_EQ(shape->element_type(), type);
    EXPECT_EQ(element_type_from_class_name(name), type);
    EXPECT_EQ(shape->name, "s");
    EXPECT_EQ(shape->lane_id, "lane_1");
    EXPECT_EQ(shape->pool_name, "Pool");
  }
  EXPECT_EQ(class_name(ElementType::MESSAGE_INTERMEDIATE), "MessageIntermediate");
  EXPECT_EQ(class_name(ElementType::CONDITIONAL_INTERMEDIATE), "ConditionalIntermediate");
  EXPECT_EQ(member_name(ElementType::SIGNAL_END), "SIGNAL_END");
}

TEST(ElementTypeTable, UnknownClassNameThrowsNamingIt) {
  try {
    create_shape("Teleporter", "s", "", "");
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find("Teleporter"), std::string::npos);
  }
  EXPECT_THROW(element_type_from_class_name("message"), std::out_of_range);
  EXPECT_THROW(class_name(static_cast<ElementType>(999)), std::out_of_range);
}

TEST(ElementModel, AddElementPlacesTheShapeInItsLaneAndPool) {
  Pool pool("Shop", "", 0, "", "", "centre", nullptr);
  Lane& lane = pool.add_lane("Sales", "", 0, "", "", "centre", "");
  Shape& task = lane.add_element("Take order", ElementType::TASK);
  EXPECT_EQ(task.class_name(), "Task");
  EXPECT_EQ(task.lane_id, lane.id);
  EXPECT_EQ(task.pool_name, "Shop");
  EXPECT_EQ(task.owner_lane, &lane);
  EXPECT_FALSE(task.bpmn_id.empty());
  EXPECT_FALSE(task.grid_traversed);
  ASSERT_EQ(lane.shapes.size(), 1u);
  EXPECT_EQ(lane.shapes[0], &task);
  // Adopting keeps the shape alive without putting it in the lane's order.
  Shape& adopted = lane.adopt(create_shape("End", "done", lane.id, "Shop"));
  EXPECT_EQ(adopted.owner_lane, &lane);
  EXPECT_EQ(lane.shapes.size(), 1u);
}

TEST(ElementModel, ConnectFillsBothListsAndPicksTheFlowKind) {
  Pool shop("Shop", "", 0, "", "", "centre", nullptr);
  Pool bank("Bank", "", 0, "", "", "centre", nullptr);
  Lane& sales = shop.add_lane("Sales", "", 0, "", "", "centre", "");
  Lane& store = shop.add_lane("Store", "", 0, "", "", "centre", "");
  Lane& clerk = bank.add_lane("Clerk", "", 0, "", "", "centre", "");
  Shape& a = sales.add_element("a", ElementType::START);
  Shape& b = store.add_element("b", ElementType::TASK);
  Shape& c = clerk.add_element("c", ElementType::MESSAGE);

  Connection& ab = a.connect(b, "go");
  EXPECT_EQ(ab.source, &a);
  EXPECT_EQ(ab.target, &b);
  EXPECT_EQ(ab.label, "go");
  EXPECT_EQ(ab.connection_type, "sequence");
  EXPECT_FALSE(ab.bpmn_id.empty());
  Connection& bc = b.connect(c);
  EXPECT_EQ(bc.connection_type, "message");
  EXPECT_NE(ab.bpmn_id, bc.bpmn_id);

  ASSERT_EQ(a.connection_to->size(), 1u);
  ASSERT_EQ(b.connection_from->size(), 1u);
  EXPECT_EQ((*b.connection_from)[0], &a);
  ASSERT_EQ(c.connection_from->size(), 1u);
  EXPECT_EQ((*c.connection_from)[0], &b);
  EXPECT_TRUE(a.connection_from->empty());
}

TEST(ElementModel, ConnectionsToDataAndFromCompensationBoundariesAreAssociations) {
  Pool shop("Shop", "", 0, "", "", "centre", nullptr);
  Lane& lane = shop.add_lane("Sales", "", 0, "", "", "centre", "");
  Shape& pay = lane.add_element("Pay", ElementType::TASK);
  Shape& refund = lane.add_element("Refund", ElementType::TASK);
  Shape& form = lane.add_element("Form", ElementType::DATA_OBJECT);
  EXPECT_EQ(pay.connect(form).connection_type, "data");
  TypedEvent& undo = lane.add_boundary_event(pay, "Undo", EventTrigger::COMPENSATION);
  Connection& link = undo.connect(refund);
  EXPECT_EQ(link.connection_type, "association");
  EXPECT_EQ(link.direction, AssociationDirection::ONE);
  EXPECT_TRUE(static_cast<Activity&>(refund).compensation);
}

TEST(ElementModel, BoundaryEventsAnnotationsAndGroupsHangBesideTheLaneCells) {
  Pool shop("Shop", "", 0, "", "", "centre", nullptr);
  Lane& lane = shop.add_lane("Sales", "", 0, "", "", "centre", "");
  Lane& other = shop.add_lane("Store", "", 0, "", "", "centre", "");
  Shape& review = lane.add_element("Review", ElementType::TASK);
  Shape& start = lane.add_element("Start", ElementType::START);
  TypedEvent& late = lane.add_boundary_event(review, "Late", EventTrigger::TIMER, false);
  EXPECT_EQ(late.attached_to, &review);
  EXPECT_EQ(late.position(), EventPosition::INTERMEDIATE);
  EXPECT_FALSE(late.interrupting());
  EXPECT_FALSE(late.throwing());
  EXPECT_EQ(static_cast<Activity&>(review).boundary_events, std::vector<TypedEvent*>{&late});
  TextAnnotation& note = lane.annotate(review, "Four eyes");
  EXPECT_EQ(note.annotated(), &review);
  // The association does not make the shape a successor of the annotation.
  EXPECT_TRUE(review.connection_from->empty());
  Group& group = lane.add_group("Checks", {&review, &start});
  EXPECT_EQ(group.members.size(), 2u);
  EXPECT_EQ(lane.shapes, (std::vector<Shape*>{&review, &start}));
  EXPECT_EQ(lane.attached, (std::vector<Shape*>{&late, &note, &group}));

  // What BPMN does not allow is refused with the reason.
  EXPECT_THROW(lane.add_boundary_event(start, "x", EventTrigger::TIMER), std::invalid_argument);
  EXPECT_THROW(other.add_boundary_event(review, "x", EventTrigger::TIMER), std::invalid_argument);
  EXPECT_THROW(lane.add_boundary_event(review, "x", EventTrigger::TERMINATE),
               std::invalid_argument);
  EXPECT_THROW(lane.add_boundary_event(review, "x", EventTrigger::ERROR, false),
               std::invalid_argument);
  EXPECT_THROW(lane.add_boundary_event(review, "x", EventTrigger::CANCEL), std::invalid_argument);
  EXPECT_THROW(other.annotate(review, "x"), std::invalid_argument);
  EXPECT_THROW(lane.add_group("g", {&review, nullptr}), std::invalid_argument);
  EXPECT_THROW(lane.add_element("n", ElementType::TEXT_ANNOTATION), std::invalid_argument);
}

TEST(ElementModel, OnlyAPoolWithoutLanesCanBeABlackBox) {
  Pool customer("Customer", "", 0, "", "", "centre", nullptr);
  Participant& band = customer.make_black_box();
  EXPECT_TRUE(customer.black_box());
  EXPECT_EQ(band.pool, &customer);
  EXPECT_EQ(&customer.make_black_box(), &band);
  EXPECT_THROW(customer.add_lane("L", "", 0, "", "", "centre", ""), std::invalid_argument);
  Pool shop("Shop", "", 0, "", "", "centre", nullptr);
  Lane& lane = shop.add_lane("L", "", 0, "", "", "centre", "");
  EXPECT_THROW(shop.make_black_box(), std::invalid_argument);
  EXPECT_FALSE(shop.black_box());
  // A flow to the band is a message, even when the pools share a name.
  Pool same("Customer", "", 0, "", "", "centre", nullptr);
  Lane& inner = same.add_lane("L", "", 0, "", "", "centre", "");
  EXPECT_EQ(inner.add_element("t", ElementType::TASK).connect(band).connection_type, "message");
  EXPECT_EQ(lane.add_element("u", ElementType::TASK).connect(band).connection_type, "message");
}

TEST(EventRules, TriggersFollowWhereBpmnAllowsThem) {
  EventUse start;
  EventUse end;
  end.position = EventPosition::END;
  EventUse catching;
  catching.position = EventPosition::INTERMEDIATE;
  EventUse throwing = catching;
  throwing.throwing = true;
  EventUse boundary = catching;
  boundary.boundary = true;
  EXPECT_TRUE(trigger_allowed(EventTrigger::TERMINATE, end));
  EXPECT_FALSE(trigger_allowed(EventTrigger::TERMINATE, start));
  EXPECT_FALSE(trigger_allowed(EventTrigger::TIMER, throwing));
  EXPECT_TRUE(trigger_allowed(EventTrigger::TIMER, catching));
  EXPECT_FALSE(trigger_allowed(EventTrigger::ERROR, start));
  start.in_event_subprocess = true;
  EXPECT_TRUE(trigger_allowed(EventTrigger::ERROR, start));
  EXPECT_FALSE(trigger_allowed(EventTrigger::NONE, start));
  EXPECT_TRUE(trigger_allowed(EventTrigger::CANCEL, boundary));
  EXPECT_FALSE(may_be_non_interrupting(EventTrigger::ERROR, boundary));
  EXPECT_TRUE(may_be_non_interrupting(EventTrigger::ESCALATION, boundary));
  EXPECT_FALSE(may_be_non_interrupting(EventTrigger::MESSAGE, end));
  EXPECT_EQ(trigger_name(EventTrigger::PARALLEL_MULTIPLE), "parallel_multiple");
}

}  // namespace
}  // namespace orvane
