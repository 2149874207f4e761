// The cairo + pango painter behind "png" and "pdf".
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "pango_painter.hpp"

namespace orvane {

/// Paints into a display list that is replayed onto the target surface when the picture is
/// saved. The surface can therefore be resized after painting at no cost, and both file kinds
/// show exactly the same drawing.
class CairoPainter final : public PangoPainter {
 public:
  CairoPainter(std::string kind, int width, int height);

  void set_background_colour() override;
  void set_description(const std::string& title, const std::string& description) override;
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
  using Command = std::function<void(cairo_t*, PangoContext*)>;
  // A drawing step and the rows it can touch (all rows for a paint of the whole surface).
  struct Recorded {
    Command draw;
    double top;
    double bottom;
  };

  // Records `command`, which paints nothing outside the rows [top, bottom].
  void record(Command command, double top, double bottom);
  // Replays the steps that touch the rows [top, bottom) (by default all of them).
  void replay(cairo_t* cr, double top = -HUGE_VAL, double bottom = HUGE_VAL) const;
  std::string render_png() const;
  void replay_onto(cairo_surface_t* surface, const char* what) const;
  std::string render_pdf() const;

  std::vector<Recorded> commands_;
  // An opaque background was painted, so every pixel of the picture is opaque.
  bool opaque_ = false;
  // The PDF's metadata.
  std::string title_;
  std::string description_;
};

}  // namespace orvane
