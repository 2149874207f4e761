#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/element_type.hpp"
#include "orvane/export.hpp"
#include "orvane/shape.hpp"

namespace orvane {

class GridMetrics;
class Painter;
class Pool;

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
  /// The lane's shapes in order; a replacement puts a new shape at the same position.
  std::vector<Shape*> shapes;
  Coordinate coord;
  int width = 0;
  int height = 0;

  /// Adds a new shape of `type` named `name` at the end of `shapes` and returns it.
  Shape& add_element(const std::string& name, ElementType type);
  /// Takes ownership of `shape` without putting it in `shapes` (used by replacement).
  Shape& adopt(std::unique_ptr<Shape> shape);

  /// Places and sizes the lane at (x_pos, y_pos) from the grid: tall enough for every row the
  /// grid holds for it (at least one), as wide as the widest row of the whole grid. Returns
  /// {next x, next y, width, height}.
  std::array<int, 4> set_draw_position(int x_pos, int y_pos, const GridMetrics& grid);
  /// Paints the lane band and its name.
  void draw();
  /// Paints the lane's shapes.
  void draw_shape();
  /// Paints the connections leaving the lane's placed shapes.
  void draw_connection(const std::vector<Shape*>& all_shapes);

  Pool* pool() const { return pool_; }
  /// The painter of the lane's pool.
  Painter* painter() const;

 private:
  Pool* pool_;
  std::vector<std::unique_ptr<Shape>> owned_;
};

}  // namespace orvane
