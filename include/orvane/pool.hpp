#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/export.hpp"
#include "orvane/lane.hpp"

namespace orvane {

class Painter;

/// A pool: a participant of the process, drawn as a band around its lanes with its name
/// written vertically in its label band. Owns its lanes.
class ORVANE_API Pool {
 public:
  Pool(std::string name, std::string font, int font_size, std::string font_colour,
       std::string fill_colour, std::string text_alignment, Painter* painter);
  ~Pool();
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  std::string name;
  std::string font;
  int font_size = 0;
  std::string font_colour;
  std::string fill_colour;
  std::string text_alignment;
  std::string bpmn_id;
  std::string bpmn_collaboration_id;
  /// The pool's lanes, in the order of add_lane calls.
  std::vector<std::unique_ptr<Lane>> lanes;
  Coordinate coord;
  int width = 0;
  int height = 0;

  /// Creates a lane, appends it to `lanes` and returns it. The defaults are those of
  /// Swimboard::add_lane; an empty style is drawn with the painter's lane default.
  Lane& add_lane(const std::string& lane_name, const std::string& font = "", int font_size = 0,
                 const std::string& font_colour = "", const std::string& fill_colour = "",
                 const std::string& text_alignment = "centre",
                 const std::string& background_fill_colour = "");
  /// Places the pool at (x, y) around its already positioned lanes.
  void set_draw_position(int x, int y, Painter& painter);
  /// Paints the pool band and its name.
  void draw();

  Painter* painter() const { return painter_; }

 private:
  Painter* painter_;
};

}  // namespace orvane
