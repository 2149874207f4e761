#pragma once

#include <vector>

#include "orvane/shape.hpp"

namespace orvane {

class Pool;

/// A text annotation: its text beside an open bracket, joined to the shape it explains by a
/// dotted association. It stands in no lane cell: drawing places it in free space next to its
/// shape. Created by Lane::annotate, which also creates the association (in connection_to;
/// the annotated shape's connection_from does not name the annotation, so an annotation never
/// changes the layout).
class ORVANE_API TextAnnotation : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "TextAnnotation"; }
  ElementType element_type() const override { return ElementType::TEXT_ANNOTATION; }
  ShapeKind kind() const override { return ShapeKind::ANNOTATION; }
  /// The shape the annotation explains (the target of its association), or nullptr.
  Shape* annotated() const;
};

/// A group: a dashed rounded rectangle drawn around its members, with its name at the top.
/// It stands in no lane cell; drawing sizes it around its members. Created by Lane::add_group.
class ORVANE_API Group : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "Group"; }
  ElementType element_type() const override { return ElementType::GROUP; }
  ShapeKind kind() const override { return ShapeKind::GROUP; }
  /// The grouped shapes, in any lanes and pools.
  std::vector<Shape*> members;
};

/// The band of a black-box pool, as the end of message flows: connect a shape to it (or it to a
/// shape) to send a message to (or receive one from) a participant whose process is not
/// shown. It takes the pool's box when drawn. Created by Pool::make_black_box.
class ORVANE_API Participant : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "Participant"; }
  ElementType element_type() const override { return ElementType::PARTICIPANT; }
  ShapeKind kind() const override { return ShapeKind::PARTICIPANT; }
  /// The black-box pool the participant stands for.
  Pool* pool = nullptr;
};

}  // namespace orvane
