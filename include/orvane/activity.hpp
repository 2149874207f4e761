#pragma once

#include "orvane/shape.hpp"

namespace orvane {

/// A task: a rounded rectangle with its name inside.
class ORVANE_API Task : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "Task"; }
  ElementType element_type() const override { return ElementType::TASK; }
  ShapeKind kind() const override { return ShapeKind::ACTIVITY; }
};

/// A collapsed sub-process: a task outline with the [+] marker.
class ORVANE_API Subprocess : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "Subprocess"; }
  ElementType element_type() const override { return ElementType::SUBPROCESS; }
  ShapeKind kind() const override { return ShapeKind::ACTIVITY; }
};

/// A terminator: a stadium marking where a flow begins or ends. The layout places one that
/// leads into a flow beside its target.
class ORVANE_API Terminator : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "Terminator"; }
  ElementType element_type() const override { return ElementType::TERMINATOR; }
  ShapeKind kind() const override { return ShapeKind::TERMINATOR; }
};

/// A data object: a page with a folded corner.
class ORVANE_API DataObject : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "DataObject"; }
  ElementType element_type() const override { return ElementType::DATA_OBJECT; }
  ShapeKind kind() const override { return ShapeKind::DATA; }
};

/// A data store: a cylinder.
class ORVANE_API DataStore : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "DataStore"; }
  ElementType element_type() const override { return ElementType::DATA_STORE; }
  ShapeKind kind() const override { return ShapeKind::DATA; }
};

}  // namespace orvane
