// The cairo + pango painter behind "png" and "pdf".
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "glyph_runs.hpp"
#include "pango_painter.hpp"
#include "png_writer.hpp"

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
  void set_raster_options(const RasterOptions& options) override;

 private:
  // The texts of one replay: a pango context per text direction, and each text's layout set on
  // first use and drawn again in every later strip, tile or page it touches. Pango is not
  // thread-safe: the strips drawn on two threads take turns at it through lock(). On pixel
  // surfaces a text's glyphs are taken from pango once, and shown by cairo (which is
  // thread-safe) without taking turns.
  class TextSetter {
   public:
    // Sets the texts with the fonts of `font_map`, where they were measured.
    explicit TextSetter(PangoFontMap* font_map);
    TextSetter(const TextSetter&) = delete;
    TextSetter& operator=(const TextSetter&) = delete;
    ~TextSetter();
    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex_); }
    // The layout of text `id` for drawing on `cr`, whose current matrix sets its direction:
    // `measured` (the text's layout from measuring it, if kept) or one set for that direction.
    // Call with the lock held.
    PangoLayout* layout(cairo_t* cr, std::size_t id, const TextFit& fit, const TextStyle& style,
                        PangoLayout* measured);

    // The glyphs of text `id` for a surface without text clusters (PNG), or null when pango
    // must draw the text itself. Call with the lock held; the glyphs stay until the setter goes.
    const std::vector<GlyphRun>* glyphs(cairo_t* cr, std::size_t id, const TextFit& fit,
                                        const TextStyle& style, PangoLayout* measured);

   private:
    struct Direction {
      double xx;
      double yx;
      double xy;
      double yy;
      PangoContext* context;
    };
    std::mutex mutex_;
    PangoFontMap* font_map_;
    std::vector<Direction> directions_;
    std::unordered_map<std::size_t, LayoutPtr> layouts_;
    std::unordered_map<std::size_t, std::optional<std::vector<GlyphRun>>> glyphs_;
  };
  using Command = std::function<void(cairo_t*, TextSetter&)>;
  // How a vector picture is cut into pages of width x height units.
  struct Pages {
    int columns = 1;
    int rows = 1;
    double width = 0;
    double height = 0;
  };

  // Records `command`, which paints nothing outside `bounds` (infinite for a paint of the whole
  // surface).
  void record(Command command, const Region& bounds);
  // Replays the recorded steps numbered `steps`, in that order.
  void replay(cairo_t* cr, TextSetter& texts, const std::vector<std::size_t>& steps) const;
  std::string render_png() const;
  void replay_onto(cairo_surface_t* surface, const char* what, const Pages& pages) const;
  std::string render_pdf() const;

  std::vector<Command> commands_;
  // Texts drawn so far: each text command's id in its TextSetter.
  std::size_t texts_ = 0;
  std::vector<Region> bounds_;
  RasterOptions raster_;
  // An opaque background was painted, so every pixel of the picture is opaque.
  bool opaque_ = false;
  // The PDF's metadata.
  std::string title_;
  std::string description_;
};

}  // namespace orvane
