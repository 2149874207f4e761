// The cairo + pango painter behind "png", "svg" and "pdf".
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "orvane/painter.hpp"
#include "orvane/theme.hpp"

namespace orvane {

/// Paints into a display list that is replayed onto the target surface when the picture is
/// saved. The surface can therefore be resized after painting at no cost, and the three file
/// kinds show exactly the same drawing.
class CairoPainter final : public Painter {
 public:
  CairoPainter(std::string kind, int width, int height);
  ~CairoPainter() override;
  CairoPainter(const CairoPainter&) = delete;
  CairoPainter& operator=(const CairoPainter&) = delete;

  void set_colour_theme(const std::string& palette) override;
  void set_background_colour() override;
  void set_title_font_size(int font_size) override;
  void set_element_font_size(int font_size) override;
  void set_surface_size(int width, int height) override;
  void save_surface(const std::string& filename) override;
  int surface_width() const override { return width_; }
  int surface_height() const override { return height_; }
  std::string kind() const override { return kind_; }

  TextExtent measure_text(const std::string& text, const TextStyle& style,
                          double max_width) const override;
  void draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                      double corner_radius = 0) override;
  void draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) override;
  void draw_polygon(const std::vector<Point>& points, const std::string& fill,
                    const LineStyle& line) override;
  void draw_polyline(const std::vector<Point>& points, const LineStyle& line) override;
  void draw_text(const std::string& text, const Box& box, const TextStyle& style,
                 bool vertical = false) override;
  Box text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                  bool vertical = false) const override;

  /// The rendered file contents for the current kind and size (what save_surface writes).
  std::string render() const;

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
  std::string render_svg() const;
  std::string render_pdf() const;

  std::string kind_;
  int width_;
  int height_;
  std::vector<Recorded> commands_;
  // An opaque background was painted, so every pixel of the picture is opaque.
  bool opaque_ = false;
  // A 1 x 1 surface whose pango context measures text exactly as the replay will set it.
  cairo_surface_t* measure_surface_ = nullptr;
  cairo_t* measure_cr_ = nullptr;
  PangoContext* measure_context_ = nullptr;
};

}  // namespace orvane
