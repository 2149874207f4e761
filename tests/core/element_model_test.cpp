#include <gtest/gtest.h>

#include "orvane/activity.hpp"
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

}  // namespace
}  // namespace orvane
