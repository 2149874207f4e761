// Turning generic message, signal and conditional events into the start, intermediate or end
// kind their connections call for, with every connection carried over to the new shape.
#include <algorithm>
#include <stdexcept>

#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/swimboard.hpp"

namespace orvane {
namespace {

// A missing shape is refused: there is nothing to test the class of.
void require_shape(const Lane& lane, std::size_t index, const Shape* shape) {
  if (shape == nullptr) {
    throw std::invalid_argument("no shape given for position " + std::to_string(index) +
                                " of lane '" + lane.name + "'");
  }
}

// Checked only once a member has a shape it replaces: the new shape goes at this position.
void require_position(const Lane& lane, std::size_t index) {
  if (index >= lane.shapes.size()) {
    throw std::out_of_range("position " + std::to_string(index) + " is past the " +
                            std::to_string(lane.shapes.size()) + " shapes of lane '" + lane.name +
                            "'");
  }
}

// Only connections within the shape's pool say where it stands in its flow: a message flow
// from another pool neither makes an event intermediate nor keeps it from being an end.
bool leads_on_in_pool(const Shape& shape) {
  if (!shape.connection_to) return false;  // a caller's broken shape: see check_connection_lists_
  for (const Connection& c : *shape.connection_to) {
    if (c.target != nullptr && in_same_pool(shape, *c.target)) return true;
  }
  return false;
}

bool led_into_in_pool(const Shape& shape) {
  if (!shape.connection_from) return false;
  for (const Shape* source : *shape.connection_from) {
    if (source != nullptr && in_same_pool(shape, *source)) return true;
  }
  return false;
}

}  // namespace

void Swimboard::_replace_elements() {
  check_connection_lists_();
  for (const auto& pool : _pools) {
    for (const auto& lane : pool->lanes) {
      // The list only ever changes at the visited position, so walking by index is safe.
      for (std::size_t index = 0; index < lane->shapes.size(); ++index) {
        Shape* shape = lane->shapes[index];
        _replace_signal_element(*pool, *lane, index, shape);
        _replace_conditional_element(*pool, *lane, index, shape);
        _replace_message_element(*pool, *lane, index, shape);
      }
    }
  }
}

namespace {

// Swaps in the new shape at `index` once its type is chosen: same identifier and coordinate
// objects, connections rebuilt to start or end at the new shape.
// Annotations and groups name the shapes they belong to; they follow a shape to its new kind.
void retarget_attached(const Swimboard& board, const Shape* old_shape, Shape* new_shape) {
  for (const auto& pool : board._pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* attached : lane->attached) {
        if (auto* group = dynamic_cast<Group*>(attached)) {
          std::replace(group->members.begin(), group->members.end(), const_cast<Shape*>(old_shape),
                       new_shape);
        } else if (attached->kind() == ShapeKind::ANNOTATION) {
          for (Connection& c : *attached->connection_to) {
            if (c.target == old_shape) c.target = new_shape;
          }
        }
      }
    }
  }
}

void substitute(Swimboard& board, Pool& pool, Lane& lane, std::size_t index, Shape* shape,
                ElementType type) {
  Shape* new_shape = board._replace_element_type(pool, lane, shape, type);
  new_shape->bpmn_id = shape->bpmn_id;
  new_shape->coord = shape->coord;
  new_shape->origin_coord = shape->origin_coord;
  lane.shapes[index] = board._replace_connections(shape, new_shape);
  retarget_attached(board, shape, new_shape);
}

}  // namespace

void Swimboard::_replace_message_element(Pool& pool, Lane& lane, std::size_t index, Shape* shape) {
  require_shape(lane, index, shape);
  if (dynamic_cast<Message*>(shape) == nullptr) return;
  require_position(lane, index);
  const bool out = leads_on_in_pool(*shape);
  const bool in = led_into_in_pool(*shape);
  const ElementType type = !out ? ElementType::MESSAGE_END
                           : in ? ElementType::MESSAGE_INTERMEDIATE
                                : ElementType::MESSAGE;
  substitute(*this, pool, lane, index, shape, type);
}

void Swimboard::_replace_signal_element(Pool& pool, Lane& lane, std::size_t index, Shape* shape) {
  require_shape(lane, index, shape);
  if (shape->class_name() != "Signal") return;
  require_position(lane, index);
  const bool out = leads_on_in_pool(*shape);
  const bool in = led_into_in_pool(*shape);
  const ElementType type = !out ? ElementType::SIGNAL_END
                           : in ? ElementType::SIGNAL_INTERMEDIATE
                                : ElementType::SIGNAL;
  substitute(*this, pool, lane, index, shape, type);
}

void Swimboard::_replace_conditional_element(Pool& pool, Lane& lane, std::size_t index,
                                             Shape* shape) {
  require_shape(lane, index, shape);
  if (shape->class_name() != "Conditional") return;
  // A conditional event has no end kind: one that leads nowhere stays as it is.
  if (!leads_on_in_pool(*shape)) return;
  require_position(lane, index);
  const ElementType type =
      !led_into_in_pool(*shape) ? ElementType::CONDITIONAL : ElementType::CONDITIONAL_INTERMEDIATE;
  substitute(*this, pool, lane, index, shape, type);
}

Shape* Swimboard::_replace_element_type(Pool& pool, Lane& lane, Shape* shape,
                                        ElementType new_shape_type) {
  if (shape == nullptr) throw std::invalid_argument("no shape given to replace");
  // The lane owns the new shape; the old one stays owned too, as other shapes still name it.
  return &lane.adopt(create_shape(class_name(new_shape_type), shape->name, lane.id, pool.name));
}

Shape* Swimboard::_replace_connections(Shape* current_shape, Shape* new_shape) {
  if (current_shape == nullptr || new_shape == nullptr) {
    throw std::invalid_argument("connections can only be carried over between two shapes");
  }
  new_shape->lane_id = current_shape->lane_id;
  new_shape->pool_name = current_shape->pool_name;
  new_shape->font = current_shape->font;
  new_shape->font_size = current_shape->font_size;
  new_shape->font_colour = current_shape->font_colour;
  new_shape->fill_colour = current_shape->fill_colour;
  new_shape->outline_colour = current_shape->outline_colour;
  new_shape->outline_width = current_shape->outline_width;
  new_shape->text_alignment = current_shape->text_alignment;

  // The two shapes share their lists from here on: successors that still name the old shape
  // reach the new shape's connections through it.
  new_shape->connection_to = current_shape->connection_to;
  new_shape->connection_from = current_shape->connection_from;
  ConnectionList& outgoing = *new_shape->connection_to;
  for (std::size_t i = 0; i < outgoing.size(); ++i) {
    const Connection& c = outgoing[i];
    Connection rebuilt(new_shape, c.target, c.label, c.connection_type, c.source_connection_side,
                       c.target_connection_side, c.bpmn_id);
    rebuilt.copy_details(c);
    outgoing[i] = std::move(rebuilt);
  }
  _replace_connection_from(current_shape, new_shape);
  new_shape->connection_from = current_shape->connection_from;
  return new_shape;
}

void Swimboard::_replace_connection_from(Shape* current_shape, Shape* new_shape) {
  if (current_shape == nullptr || new_shape == nullptr) {
    throw std::invalid_argument("connections can only be redirected between two shapes");
  }
  for (Shape* source : *current_shape->connection_from) {
    if (source == nullptr) continue;
    ConnectionList& outgoing = *source->connection_to;
    for (std::size_t j = 0; j < outgoing.size(); ++j) {
      const Connection& c = outgoing[j];
      if (c.target != current_shape) continue;
      Connection rebuilt(c.source, new_shape, c.label, c.connection_type, c.source_connection_side,
                         c.target_connection_side, c.bpmn_id);
      rebuilt.copy_details(c);
      outgoing[j] = std::move(rebuilt);
    }
  }
}

}  // namespace orvane
