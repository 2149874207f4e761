#include "orvane/shape.hpp"

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

// Two shapes are in one pool when their lanes share a pool object; shapes outside any lane
// fall back to the pool name.
bool same_pool(const Shape& a, const Shape& b) {
  if (a.owner_lane != nullptr && b.owner_lane != nullptr) {
    return a.owner_lane->pool() == b.owner_lane->pool();
  }
  return a.pool_name == b.pool_name;
}

}  // namespace

Connection& Shape::connect(Shape& target, const std::string& label) {
  const char* type = same_pool(*this, target) ? "sequence" : "message";
  connection_to->emplace_back(this, &target, label, type, "", "", Helper::get_uuid("flow"));
  target.connection_from->push_back(this);
  return connection_to->back();
}

bool Event::throwing() const {
  switch (position()) {
    case EventPosition::END:
      return true;
    case EventPosition::START:
      return false;
    case EventPosition::INTERMEDIATE:
      break;
  }
  switch (trigger()) {
    case EventTrigger::NONE:
      return true;
    case EventTrigger::LINK:
      return connection_to->empty();
    default:
      return false;
  }
}

EventPosition Timer::position() const {
  return connection_from->empty() ? EventPosition::START : EventPosition::INTERMEDIATE;
}

}  // namespace orvane
