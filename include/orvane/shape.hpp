#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/element_type.hpp"
#include "orvane/export.hpp"
#include "orvane/painter.hpp"

namespace orvane {

class Lane;
class Painter;
class Shape;

/// The values of Connection::connection_type.
struct ConnectionTypes {
  /// A sequence flow: between flow elements of one pool.
  static constexpr const char* SEQUENCE = "sequence";
  /// A message flow: between two pools.
  static constexpr const char* MESSAGE = "message";
  /// A data association: between an activity or event and a data object or store.
  static constexpr const char* DATA = "data";
  /// An association: a text annotation to its shape, a compensation boundary event to the
  /// activity that compensates, or any link the author marks as one.
  static constexpr const char* ASSOCIATION = "association";
};

/// Which ends of an association carry an arrowhead.
enum class AssociationDirection { NONE, ONE, BOTH };

/// A directed connection between two shapes; `connection_type` is one of ConnectionTypes. The
/// sides are the caller's wish (empty: the router chooses); the route is computed by the
/// connection router at draw time, so pictures and exports show the same geometry.
struct ORVANE_API Connection {
  Connection(Shape* source, Shape* target, std::string label = "",
             std::string connection_type = "sequence", std::string source_connection_side = "",
             std::string target_connection_side = "", std::string bpmn_id = "");

  Shape* source;
  Shape* target;
  std::string label;
  std::string connection_type;
  std::string source_connection_side;
  std::string target_connection_side;
  std::string bpmn_id;

  /// A default flow (slash at the source): the one taken when no other condition holds.
  bool is_default = false;
  /// The condition of a conditional flow (a small diamond at the source when it leaves an
  /// activity); empty for a flow without one.
  std::string condition;
  /// The arrowheads of an association.
  AssociationDirection direction = AssociationDirection::NONE;

  /// Copies the BPMN details (default, condition, direction) of `other`; replacement rebuilds
  /// connections from their seven values and keeps these with it.
  void copy_details(const Connection& other);

  /// The drawn route, first point on the source's outline, last on the target's.
  std::vector<Point> waypoints;
  /// Where the label is drawn, when there is a label and a route.
  std::optional<Box> label_box;
  /// The sides the drawn route leaves and enters by ("left", "right", "top", "bottom"). The
  /// router keeps to the sides the caller set above, and never changes them.
  std::string drawn_source_side;
  std::string drawn_target_side;
  /// Why the drawn route does not keep to a side the caller set, when it cannot.
  std::string route_note;
};

using ConnectionList = std::vector<Connection>;
using ShapeList = std::vector<Shape*>;

/// The broad kind of a shape, which decides its size and how it is drawn and exported. The
/// first five stand in lane cells; annotations and groups hang on other shapes, and a
/// participant stands for a black-box pool as the end of message flows.
enum class ShapeKind { EVENT, ACTIVITY, GATEWAY, TERMINATOR, DATA, ANNOTATION, GROUP, PARTICIPANT };

/// Base of all flow elements. Shapes are compared by identity (Shape*).
class ORVANE_API Shape {
 public:
  Shape(std::string name, std::string lane_id = "", std::string pool_name = "");
  virtual ~Shape();
  Shape(const Shape&) = delete;
  Shape& operator=(const Shape&) = delete;

  /// The exact class name ("Start", "Task", "Terminator", ...).
  virtual std::string class_name() const = 0;
  virtual ElementType element_type() const = 0;
  virtual ShapeKind kind() const = 0;

  std::string name;
  std::string lane_id;
  std::string pool_name;
  /// Outgoing connections in the order they are followed. Shared with a replacement shape.
  std::shared_ptr<ConnectionList> connection_to;
  /// The shapes that have a connection into this one. Shared with a replacement shape.
  std::shared_ptr<ShapeList> connection_from;
  std::string bpmn_id;
  std::shared_ptr<Coordinate> coord;
  std::shared_ptr<Coordinate> origin_coord;
  std::string font;
  int font_size = 0;
  std::string font_colour;
  std::string fill_colour;
  std::string outline_colour;
  double outline_width = 0;
  std::string text_alignment = "centre";
  /// Set by the layout once the shape has a grid cell.
  bool grid_traversed = false;
  /// The lane that owns the shape (set by Lane::add_element and Lane::adopt).
  Lane* owner_lane = nullptr;

  /// The drawn outline of the shape (valid after set_draw_position).
  Box box;
  /// Where the name is drawn: inside activities, below events and gateways.
  Box label_box;

  /// Connects this shape to `target`: appends a Connection to connection_to and this shape to
  /// target's connection_from; its bpmn_id comes from Helper::get_uuid("flow"). The type
  /// follows from the ends: a data association when one end is a data object or store, an
  /// association from a compensation boundary event (whose target is then marked as the
  /// compensating activity), otherwise a message flow between two pools and a sequence flow
  /// inside one. The reference is valid until the next connection from this shape is added
  /// (the list may move as it grows); keep the index into connection_to to find it later.
  Connection& connect(Shape& target, const std::string& label = "");

  /// Completes the drawn box from `coord` (the top-left of the shape's grid cell), centred in
  /// the cell, and fills an empty style from the painter's theme.
  virtual void set_draw_position(Painter& painter);
  /// How the name is set: the shape's font, size, colour and alignment, the painter's theme
  /// where they are empty; a name drawn outside the shape hangs from the top of its box.
  TextStyle name_style(const Painter& painter) const;
  /// Paints the shape with the painter given to set_draw_position.
  virtual void draw();
  /// Paints the shape's connections from their stored routes.
  virtual void draw_connections();

 protected:
  Painter* painter_ = nullptr;
};

/// Whether two shapes belong to one pool: the pool objects decide (two pools may share a name);
/// shapes outside any pool fall back to their pool names.
ORVANE_API bool in_same_pool(const Shape& a, const Shape& b);

}  // namespace orvane
