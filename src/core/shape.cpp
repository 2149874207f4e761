#include "orvane/shape.hpp"

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/helper.hpp"
#include "orvane/lane.hpp"

namespace orvane {

Connection::Connection(Shape* source, Shape* target, std::string label, std::string connection_type,
                       std::string source_connection_side, std::string target_connection_side,
                       std::string bpmn_id)
    : source(source),
      target(target),
      label(std::move(label)),
      connection_type(std::move(connection_type)),
      source_connection_side(std::move(source_connection_side)),
      target_connection_side(std::move(target_connection_side)),
      bpmn_id(std::move(bpmn_id)) {}

void Connection::copy_details(const Connection& other) {
  is_default = other.is_default;
  condition = other.condition;
  direction = other.direction;
}

Shape::Shape(std::string name, std::string lane_id, std::string pool_name)
    : name(std::move(name)),
      lane_id(std::move(lane_id)),
      pool_name(std::move(pool_name)),
      connection_to(std::make_shared<ConnectionList>()),
      connection_from(std::make_shared<ShapeList>()),
      coord(std::make_shared<Coordinate>()),
      origin_coord(std::make_shared<Coordinate>()) {}

Shape::~Shape() = default;

namespace {

// The pool object of a shape: its lane's pool, or the black-box pool a participant stands for.
const Pool* pool_of(const Shape& shape) {
  if (shape.owner_lane != nullptr) return shape.owner_lane->pool();
  if (const auto* participant = dynamic_cast<const Participant*>(&shape)) return participant->pool;
  return nullptr;
}

bool compensation_boundary(const Shape& shape) {
  const auto* event = dynamic_cast<const TypedEvent*>(&shape);
  return event != nullptr && event->attached_to != nullptr &&
         event->definition == EventTrigger::COMPENSATION;
}

}  // namespace

bool in_same_pool(const Shape& a, const Shape& b) {
  const Pool* pa = pool_of(a);
  const Pool* pb = pool_of(b);
  if (pa != nullptr && pb != nullptr) return pa == pb;
  return a.pool_name == b.pool_name;
}

Connection& Shape::connect(Shape& target, const std::string& label) {
  const char* type =
      in_same_pool(*this, target) ? ConnectionTypes::SEQUENCE : ConnectionTypes::MESSAGE;
  if (kind() == ShapeKind::DATA || target.kind() == ShapeKind::DATA) {
    type = ConnectionTypes::DATA;
  } else if (compensation_boundary(*this)) {
    type = ConnectionTypes::ASSOCIATION;
    if (auto* activity = dynamic_cast<Activity*>(&target)) activity->compensation = true;
  }
  connection_to->emplace_back(this, &target, label, type, "", "", Helper::get_uuid("flow"));
  Connection& made = connection_to->back();
  if (type == ConnectionTypes::ASSOCIATION) made.direction = AssociationDirection::ONE;
  target.connection_from->push_back(this);
  return made;
}

}  // namespace orvane
