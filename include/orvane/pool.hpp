#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/export.hpp"
#include "orvane/lane.hpp"

namespace orvane {

class Painter;
class Participant;

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

  /// Makes this pool a black-box pool: a participant whose process is not shown, drawn as an
  /// empty band one lane high. Its participant() is the end of message flows to and from it.
  /// Throws std::invalid_argument when the pool already has lanes.
  Participant& make_black_box();
  /// Whether make_black_box was called. Only a black-box pool may be drawn without lanes.
  bool black_box() const { return participant_ != nullptr; }
  /// The band of a black-box pool as a shape to connect to; nullptr for other pools.
  Participant* participant() const { return participant_.get(); }
  /// How many message flows start at the band of a black-box pool (no shape of a lane holds
  /// them); 0 for other pools.
  std::size_t band_messages() const;

  /// Creates a lane, appends it to `lanes` and returns it. The defaults are those of
  /// Swimboard::add_lane; an empty style is drawn with the painter's lane default. Throws
  /// std::invalid_argument on a black-box pool.
  Lane& add_lane(const std::string& lane_name, const std::string& font = "", int font_size = 0,
                 const std::string& font_colour = "", const std::string& fill_colour = "",
                 const std::string& text_alignment = "centre",
                 const std::string& background_fill_colour = "");
  /// Places the pool at (x, y) around its already positioned lanes.
  void set_draw_position(int x, int y, Painter& painter);
  /// Places a black-box pool at (x, y) as a band `lane_width` wide (besides its label band)
  /// and one lane high; its participant takes the band's box.
  void set_black_box_position(int x, int y, int lane_width, Painter& painter);
  /// Paints the pool band and its name.
  void draw();
  /// Where and how draw() sets the name, turned and bold (see Lane::name_box).
  Box name_box() const;
  TextStyle name_style(const Painter& painter) const;

  Painter* painter() const { return painter_; }

 private:
  Painter* painter_;
  std::unique_ptr<Participant> participant_;
};

}  // namespace orvane
