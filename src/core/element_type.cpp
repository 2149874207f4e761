#include "orvane/element_type.hpp"

#include <array>
#include <stdexcept>
#include <string>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"

namespace orvane {
namespace {

using Maker = std::unique_ptr<Shape> (*)(std::string, std::string, std::string);

template <class T>
std::unique_ptr<Shape> make(std::string name, std::string lane_id, std::string pool_name) {
  return std::make_unique<T>(std::move(name), std::move(lane_id), std::move(pool_name));
}

struct Entry {
  ElementType type;
  std::string_view member;
  std::string_view class_name;
  Maker maker;
};

// The class table: one row per element type, in declaration order.
constexpr std::array<Entry, 27> kTable{{
    {ElementType::START, "START", "Start", &make<Start>},
    {ElementType::END, "END", "End", &make<End>},
    {ElementType::TIMER, "TIMER", "Timer", &make<Timer>},
    {ElementType::INTERMEDIATE, "INTERMEDIATE", "Intermediate", &make<Intermediate>},
    {ElementType::LINK, "LINK", "Link", &make<Link>},
    {ElementType::MESSAGE, "MESSAGE", "Message", &make<Message>},
    {ElementType::MESSAGE_INTERMEDIATE, "MESSAGE_INTERMEDIATE", "MessageIntermediate",
     &make<MessageIntermediate>},
    {ElementType::MESSAGE_END, "MESSAGE_END", "MessageEnd", &make<MessageEnd>},
    {ElementType::SIGNAL, "SIGNAL", "Signal", &make<Signal>},
    {ElementType::SIGNAL_INTERMEDIATE, "SIGNAL_INTERMEDIATE", "SignalIntermediate",
     &make<SignalIntermediate>},
    {ElementType::SIGNAL_END, "SIGNAL_END", "SignalEnd", &make<SignalEnd>},
    {ElementType::CONDITIONAL, "CONDITIONAL", "Conditional", &make<Conditional>},
    {ElementType::CONDITIONAL_INTERMEDIATE, "CONDITIONAL_INTERMEDIATE", "ConditionalIntermediate",
     &make<ConditionalIntermediate>},
    {ElementType::TASK, "TASK", "Task", &make<Task>},
    {ElementType::SUBPROCESS, "SUBPROCESS", "Subprocess", &make<Subprocess>},
    {ElementType::EXCLUSIVE, "EXCLUSIVE", "Exclusive", &make<Exclusive>},
    {ElementType::PARALLEL, "PARALLEL", "Parallel", &make<Parallel>},
    {ElementType::INCLUSIVE, "INCLUSIVE", "Inclusive", &make<Inclusive>},
    {ElementType::EVENT_BASED, "EVENT_BASED", "EventBased", &make<EventBased>},
    {ElementType::TERMINATOR, "TERMINATOR", "Terminator", &make<Terminator>},
    {ElementType::DATA_OBJECT, "DATA_OBJECT", "DataObject", &make<DataObject>},
    {ElementType::DATA_STORE, "DATA_STORE", "DataStore", &make<DataStore>},
    {ElementType::TYPED_EVENT, "TYPED_EVENT", "TypedEvent", &make<TypedEvent>},
    {ElementType::COMPLEX, "COMPLEX", "Complex", &make<Complex>},
    {ElementType::TEXT_ANNOTATION, "TEXT_ANNOTATION", "TextAnnotation", &make<TextAnnotation>},
    {ElementType::GROUP, "GROUP", "Group", &make<Group>},
    {ElementType::PARTICIPANT, "PARTICIPANT", "Participant", &make<Participant>},
}};

// entry() indexes the table by the enum value, so the rows must follow the declaration order.
constexpr bool table_in_declaration_order() {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<std::size_t>(kTable[i].type) != i) return false;
  }
  return true;
}
static_assert(table_in_declaration_order(), "the class table must follow ElementType's order");

const Entry& entry(ElementType type) {
  auto index = static_cast<std::size_t>(type);
  if (index >= kTable.size()) {
    throw std::out_of_range("unknown element type " + std::to_string(index));
  }
  return kTable[index];
}

const Entry& entry_by_class(std::string_view name) {
  for (const auto& e : kTable) {
    if (e.class_name == name) return e;
  }
  throw std::out_of_range("unknown element class '" + std::string(name) + "'");
}

}  // namespace

std::string_view class_name(ElementType type) {
  return entry(type).class_name;
}

std::string_view member_name(ElementType type) {
  return entry(type).member;
}

const std::vector<ElementType>& all_element_types() {
  static const std::vector<ElementType> all = [] {
    std::vector<ElementType> v;
    for (const auto& e : kTable) v.push_back(e.type);
    return v;
  }();
  return all;
}

ElementType element_type_from_class_name(std::string_view name) {
  return entry_by_class(name).type;
}

bool stands_in_lane(ElementType type) {
  return type != ElementType::TEXT_ANNOTATION && type != ElementType::GROUP &&
         type != ElementType::PARTICIPANT;
}

std::unique_ptr<Shape> create_shape(std::string_view name, std::string shape_name,
                                    std::string lane_id, std::string pool_name) {
  return entry_by_class(name).maker(std::move(shape_name), std::move(lane_id),
                                    std::move(pool_name));
}

}  // namespace orvane
