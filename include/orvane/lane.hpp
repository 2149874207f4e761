#pragma once

#include <array>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/element_type.hpp"
#include "orvane/export.hpp"
#include "orvane/shape.hpp"

namespace orvane {

class GridMetrics;
class Group;
class Painter;
class Pool;
class TextAnnotation;
class TypedEvent;
enum class EventTrigger;

/// A set of shapes, such as the shapes placed by the layout.
using ShapeSet = std::unordered_set<const Shape*>;

/// A lane of a pool: a horizontal band holding shapes. Owns its shapes, including shapes that a
/// replacement took out of `shapes` but that other shapes still name.
class ORVANE_API Lane {
 public:
  Lane(std::string name, std::string font, int font_size, std::string font_colour,
       std::string fill_colour, std::string text_alignment, std::string background_fill_colour,
       Pool* pool);
  ~Lane();
  Lane(const Lane&) = delete;
  Lane& operator=(const Lane&) = delete;

  /// The lane's identifier, unique in the diagram; every shape of the lane carries it as
  /// lane_id.
  std::string id;
  std::string name;
  std::string font;
  int font_size = 0;
  std::string font_colour;
  std::string fill_colour;
  std::string text_alignment;
  std::string background_fill_colour;
  /// The lane's shapes in order; a replacement puts a new shape at the same position. These are
  /// the shapes the layout gives a cell.
  std::vector<Shape*> shapes;
  /// The shapes the lane holds beside its cells, in the order they were added: boundary events
  /// on its activities, text annotations on its shapes and groups created here. They take their
  /// place from the shapes they belong to when drawn, and the layout never sees them.
  std::vector<Shape*> attached;
  Coordinate coord;
  int width = 0;
  int height = 0;

  /// Adds a new shape of `type` named `name` at the end of `shapes` and returns it. Throws
  /// std::invalid_argument for the types that stand in no cell (annotations, groups and
  /// participants have calls of their own).
  Shape& add_element(const std::string& name, ElementType type);
  /// Puts a boundary event named `name` on the lower border of `activity` (an activity of this
  /// lane), after the events already there. Its outgoing connections are laid out as if they
  /// left the activity. Throws std::invalid_argument for a shape that is not an activity of
  /// this lane or a trigger BPMN does not allow on a boundary (or not as non-interrupting).
  TypedEvent& add_boundary_event(Shape& activity, const std::string& name, EventTrigger trigger,
                                 bool interrupting = true);
  /// Adds a text annotation explaining `shape` (a shape of this lane, or one of its attached
  /// shapes) and the association that joins them. Throws std::invalid_argument for a shape of
  /// another lane.
  TextAnnotation& annotate(Shape& shape, const std::string& text);
  /// Adds a group named `name` around `members` (shapes anywhere in the diagram). Throws
  /// std::invalid_argument when a member is missing.
  Group& add_group(const std::string& name, const std::vector<Shape*>& members);
  /// The lane's shapes followed by its attached ones: everything the lane paints.
  std::vector<Shape*> every_shape() const;
  /// Takes ownership of `shape` without putting it in `shapes` (used by replacement).
  Shape& adopt(std::unique_ptr<Shape> shape);

  /// Places and sizes the lane at (x_pos, y_pos) from the grid: tall enough for every row the
  /// grid holds for it (at least one), as wide as the widest row of the whole grid. Returns
  /// {next x, next y, width, height}.
  std::array<int, 4> set_draw_position(int x_pos, int y_pos, const GridMetrics& grid);
  /// The width every lane takes: its label band, margins and the grid's widest row.
  static int band_width(const GridMetrics& grid);
  /// Paints the lane band and its name.
  void draw();
  /// Where and how draw() sets the name, turned: the label strip inside its border, and the
  /// lane's font, size and colour (the painter's theme where empty), keeping every line.
  Box name_box() const;
  TextStyle name_style(const Painter& painter) const;
  /// Paints the lane's shapes.
  void draw_shape();
  /// Paints the connections leaving the lane's shapes that are in `all_shapes` (the placed ones).
  void draw_connection(const std::vector<Shape*>& all_shapes);
  /// The same with the placed shapes as a set, which the draw pipeline builds once for all lanes.
  void draw_placed_connections(const ShapeSet& placed);

  Pool* pool() const { return pool_; }
  /// The painter of the lane's pool.
  Painter* painter() const;

 private:
  Pool* pool_;
  std::vector<std::unique_ptr<Shape>> owned_;
};

}  // namespace orvane
