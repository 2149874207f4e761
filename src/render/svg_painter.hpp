// The "svg" painter: SVG elements written directly, with real text.
#pragma once

#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "pango_painter.hpp"

namespace orvane {

/// Paints into an SVG document: shapes as SVG primitives, text as <text> set with the line
/// breaks and positions pango computed (so it can be selected, searched and read aloud), each
/// element of the diagram in a group carrying its id and a <title> with its full name. The
/// surface size is applied when the picture is rendered, so it can change after painting.
class SvgPainter final : public PangoPainter {
 public:
  SvgPainter(int width, int height);

  void set_background_colour() override;
  void set_description(const std::string& title, const std::string& description) override;
  void begin_group(const std::string& id, const std::string& title) override;
  void end_group() override;

  void draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                      double corner_radius = 0) override;
  void draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) override;
  void draw_polygon(const std::vector<Point>& points, const std::string& fill,
                    const LineStyle& line) override;
  void draw_polyline(const std::vector<Point>& points, const LineStyle& line) override;
  void draw_text(const std::string& text, const Box& box, const TextStyle& style,
                 bool vertical = false) override;

  std::string render() const override;
  std::string render_as(const std::string& kind) const override;

 private:
  // A new element at the end of the innermost open group, on a line of its own.
  pugi::xml_node add(const char* name);
  // `wanted` made a valid XML id that no element of the picture has yet ("" when nothing of it
  // is usable).
  std::string unique_id(const std::string& wanted);

  pugi::xml_document body_;
  std::vector<pugi::xml_node> groups_;
  std::string title_;
  std::string description_;
  std::set<std::string> ids_;
  int clips_ = 0;
};

}  // namespace orvane
