#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

class Shape;

/// One member per shape class; its text value (class_name) is the class name.
enum class ElementType {
  START,
  END,
  TIMER,
  INTERMEDIATE,
  LINK,
  MESSAGE,
  MESSAGE_INTERMEDIATE,
  MESSAGE_END,
  SIGNAL,
  SIGNAL_INTERMEDIATE,
  SIGNAL_END,
  CONDITIONAL,
  CONDITIONAL_INTERMEDIATE,
  TASK,
  SUBPROCESS,
  EXCLUSIVE,
  PARALLEL,
  INCLUSIVE,
  EVENT_BASED,
  TERMINATOR,
  DATA_OBJECT,
  DATA_STORE,
  // Kinds added beside the first twenty-two, which keep their values.
  TYPED_EVENT,
  COMPLEX,
  TEXT_ANNOTATION,
  GROUP,
  PARTICIPANT,
};

/// The class name an element type selects ("Start", "MessageIntermediate", "DataStore", ...).
ORVANE_API std::string_view class_name(ElementType type);
/// The member name of an element type ("START", "MESSAGE_INTERMEDIATE", ...).
ORVANE_API std::string_view member_name(ElementType type);
/// Every element type, in declaration order.
ORVANE_API const std::vector<ElementType>& all_element_types();
/// The element type whose class is named `name`; throws std::out_of_range naming it.
ORVANE_API ElementType element_type_from_class_name(std::string_view name);
/// Whether shapes of `type` stand in lane cells (everything but text annotations, groups and
/// participants, which hang on other shapes and are added through their own calls).
ORVANE_API bool stands_in_lane(ElementType type);
/// Creates a shape of the class named `name` (the class table); throws std::out_of_range naming
/// an unknown class.
ORVANE_API std::unique_ptr<Shape> create_shape(std::string_view name, std::string shape_name,
                                               std::string lane_id, std::string pool_name);

}  // namespace orvane
