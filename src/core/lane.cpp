#include "orvane/lane.hpp"

#include <algorithm>
#include <stdexcept>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/helper.hpp"
#include "orvane/pool.hpp"

namespace orvane {

Lane::Lane(std::string name, std::string font, int font_size, std::string font_colour,
           std::string fill_colour, std::string text_alignment, std::string background_fill_colour,
           Pool* pool)
    : id(Helper::get_uuid("lane")),
      name(std::move(name)),
      font(std::move(font)),
      font_size(font_size),
      font_colour(std::move(font_colour)),
      fill_colour(std::move(fill_colour)),
      text_alignment(std::move(text_alignment)),
      background_fill_colour(std::move(background_fill_colour)),
      pool_(pool) {}

Lane::~Lane() = default;

Shape& Lane::add_element(const std::string& name, ElementType type) {
  if (!stands_in_lane(type)) {
    throw std::invalid_argument(std::string("a ") + std::string(class_name(type)) +
                                " stands in no lane cell; add it with its own call "
                                "(Lane::annotate, Lane::add_group, Pool::make_black_box)");
  }
  Shape& shape =
      adopt(create_shape(class_name(type), name, id, pool_ != nullptr ? pool_->name : ""));
  shape.bpmn_id = Helper::get_uuid("node");
  shapes.push_back(&shape);
  return shape;
}

namespace {

template <class T>
T& attach(Lane& lane, std::unique_ptr<T> shape) {
  T& made = *shape;
  made.bpmn_id = Helper::get_uuid("node");
  lane.adopt(std::move(shape));
  lane.attached.push_back(&made);
  return made;
}

bool holds(const std::vector<Shape*>& list, const Shape* shape) {
  return std::find(list.begin(), list.end(), shape) != list.end();
}

}  // namespace

TypedEvent& Lane::add_boundary_event(Shape& activity, const std::string& name, EventTrigger trigger,
                                     bool interrupting) {
  auto* host = dynamic_cast<Activity*>(&activity);
  if (host == nullptr || !holds(shapes, &activity)) {
    throw std::invalid_argument("boundary event " + Helper::quoted(name) +
                                " must sit on an activity of lane " + Helper::quoted(this->name) +
                                ", not on " + Helper::quoted(activity.name));
  }
  EventUse use;
  use.position = EventPosition::INTERMEDIATE;
  use.boundary = true;
  if (!trigger_allowed(trigger, use)) {
    throw std::invalid_argument("a " + std::string(trigger_name(trigger)) +
                                " event cannot sit on an activity's border");
  }
  if (!interrupting && !may_be_non_interrupting(trigger, use)) {
    throw std::invalid_argument("a " + std::string(trigger_name(trigger)) +
                                " boundary event always interrupts its activity");
  }
  const auto* sub = dynamic_cast<const Subprocess*>(host);
  if (trigger == EventTrigger::CANCEL &&
      (sub == nullptr || sub->form != SubprocessForm::TRANSACTION)) {
    throw std::invalid_argument("a cancel boundary event sits only on a transaction, not on " +
                                Helper::quoted(activity.name));
  }
  auto event = std::make_unique<TypedEvent>(name, id, pool_ != nullptr ? pool_->name : "");
  event->definition = trigger;
  event->stage = EventPosition::INTERMEDIATE;
  event->interrupts = interrupting;
  event->attached_to = host;
  TypedEvent& made = attach(*this, std::move(event));
  host->boundary_events.push_back(&made);
  return made;
}

TextAnnotation& Lane::annotate(Shape& shape, const std::string& text) {
  if (shape.owner_lane != this || !(holds(shapes, &shape) || holds(attached, &shape))) {
    throw std::invalid_argument("an annotation of " + Helper::quoted(shape.name) +
                                " belongs to the shape's own lane, not to lane " +
                                Helper::quoted(name));
  }
  auto note = std::make_unique<TextAnnotation>(text, id, pool_ != nullptr ? pool_->name : "");
  TextAnnotation& made = attach(*this, std::move(note));
  // The association is the annotation's only connection; the shape's connection_from does not
  // name it, so annotating never changes the layout.
  made.connection_to->emplace_back(&made, &shape, "", ConnectionTypes::ASSOCIATION, "", "",
                                   Helper::get_uuid("flow"));
  return made;
}

Group& Lane::add_group(const std::string& name, const std::vector<Shape*>& members) {
  if (std::find(members.begin(), members.end(), nullptr) != members.end()) {
    throw std::invalid_argument("group " + Helper::quoted(name) + " lists a missing member");
  }
  auto group = std::make_unique<Group>(name, id, pool_ != nullptr ? pool_->name : "");
  group->members = members;
  return attach(*this, std::move(group));
}

std::vector<Shape*> Lane::every_shape() const {
  std::vector<Shape*> out = shapes;
  out.insert(out.end(), attached.begin(), attached.end());
  return out;
}

Shape& Lane::adopt(std::unique_ptr<Shape> shape) {
  shape->owner_lane = this;
  owned_.push_back(std::move(shape));
  return *owned_.back();
}

Painter* Lane::painter() const {
  return pool_ != nullptr ? pool_->painter() : nullptr;
}

Shape* TextAnnotation::annotated() const {
  return connection_to && !connection_to->empty() ? connection_to->front().target : nullptr;
}

}  // namespace orvane
