#pragma once

#include "orvane/shape.hpp"

namespace orvane {

/// Base of the gateways: a diamond with a marker, its name below.
class ORVANE_API Gateway : public Shape {
 public:
  using Shape::Shape;
  ShapeKind kind() const override { return ShapeKind::GATEWAY; }
};

/// Exclusive gateway (X marker, or an empty diamond when the marker is hidden).
class ORVANE_API Exclusive : public Gateway {
 public:
  using Gateway::Gateway;
  std::string class_name() const override { return "Exclusive"; }
  ElementType element_type() const override { return ElementType::EXCLUSIVE; }
  /// Whether the X is drawn; BPMN allows an exclusive gateway without it.
  bool show_marker = true;
};

/// Parallel gateway (+ marker).
class ORVANE_API Parallel : public Gateway {
 public:
  using Gateway::Gateway;
  std::string class_name() const override { return "Parallel"; }
  ElementType element_type() const override { return ElementType::PARALLEL; }
};

/// Inclusive gateway (circle marker).
class ORVANE_API Inclusive : public Gateway {
 public:
  using Gateway::Gateway;
  std::string class_name() const override { return "Inclusive"; }
  ElementType element_type() const override { return ElementType::INCLUSIVE; }
};

/// Event-based gateway (pentagon in a double circle).
class ORVANE_API EventBased : public Gateway {
 public:
  using Gateway::Gateway;
  std::string class_name() const override { return "EventBased"; }
  ElementType element_type() const override { return ElementType::EVENT_BASED; }
};

/// Complex gateway (asterisk marker): its own rule decides which paths are taken or awaited.
class ORVANE_API Complex : public Gateway {
 public:
  using Gateway::Gateway;
  std::string class_name() const override { return "Complex"; }
  ElementType element_type() const override { return ElementType::COMPLEX; }
};

}  // namespace orvane
