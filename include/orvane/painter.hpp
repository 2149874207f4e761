#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/export.hpp"

namespace orvane {

/// How a line is stroked. An empty colour draws nothing; `dash` lists on/off lengths.
struct LineStyle {
  std::string colour;
  double width = 1.0;
  std::vector<double> dash;
};

/// How a text is set: font family, size in points, colour, horizontal alignment ("left",
/// "centre", "right"), vertical alignment ("top", "middle", "bottom"), and whether it wraps to
/// the box width (otherwise one line per paragraph). A text that does not fit its box shrinks
/// down to a floor (8 pt, or 70 % of its size) before it is cut with an ellipsis;
/// `keep_lines` keeps every line of the text visible instead, shrinking further if it must
/// (pool and lane names).
struct TextStyle {
  std::string font;
  int font_size = 12;
  std::string colour;
  std::string alignment = "centre";
  std::string vertical_alignment = "middle";
  bool wrap = true;
  bool bold = false;
  bool keep_lines = false;
};

/// Size of a measured text, in pixels.
struct TextExtent {
  double width = 0;
  double height = 0;
};

/// A font that texts asked for and the system does not have, and the font they are set in.
struct FontReplacement {
  std::string asked;
  std::string used;
  bool operator==(const FontReplacement&) const = default;
};

/// A text as draw_text sets it in its box.
struct SetText {
  /// The size the text is set at: the style's, or smaller when it shrank to fit.
  double font_size = 0;
  /// The lines as drawn, in reading order. Joined they read as the text (a line break of the
  /// text becomes a space at the end of its line), unless it is cut.
  std::vector<std::string> lines;
  /// Part of the text is not shown; an ellipsis marks where.
  bool cut = false;
  /// Around the laid-out lines, in surface pixels (what text_bounds returns).
  Box bounds;
};

/// How a raster picture (PNG) is drawn.
struct RasterOptions {
  /// Pixels per drawing unit: 0.5 draws at half size, 2 at double density.
  double scale = 1.0;
  /// The most pixels a picture may have, in millions. Beyond practice by far: it only keeps a
  /// picture that would take minutes to draw and few viewers could open from being attempted.
  std::uint64_t max_megapixels = 4000;
};

/// The drawing surface and the look of a diagram. The theme fills the readable defaults below;
/// elements paint themselves through the primitives. Implementations: cairo painters for
/// "png" and "pdf", an SVG writer for "svg" (see painter_factory.hpp).
class ORVANE_API Painter {
 public:
  virtual ~Painter();

  // Readable defaults, set by set_colour_theme. A default may be empty (no value).
  std::string title_font;
  int title_font_size = 0;
  std::string title_font_colour;
  std::string pool_font;
  int pool_font_size = 0;
  std::string pool_font_colour;
  std::string pool_fill_colour;
  std::string lane_font;
  int lane_font_size = 0;
  std::string lane_font_colour;
  std::string lane_fill_colour;
  std::string lane_text_alignment;
  std::string lane_background_fill_colour;
  std::string footer_font;
  int footer_font_size = 0;
  std::string footer_font_colour;
  // Further theme values that shapes and connections use when their own style is empty.
  std::string element_font;
  int element_font_size = 0;
  std::string element_font_colour;
  std::string element_fill_colour;
  std::string element_outline_colour;
  std::string connection_colour;
  std::string background_colour;

  /// Selects the palette named `palette`; all defaults follow it.
  virtual void set_colour_theme(const std::string& palette) = 0;
  /// Paints the whole surface in the theme's background colour.
  virtual void set_background_colour() = 0;
  virtual void set_title_font_size(int font_size) = 0;
  virtual void set_element_font_size(int font_size) = 0;
  /// The surface takes this size (the drawing is kept).
  virtual void set_surface_size(int width, int height) = 0;
  /// Writes the picture to `filename` atomically; throws on failure and leaves no file.
  virtual void save_surface(const std::string& filename) = 0;
  /// The picture as the contents of a `kind` file, from the drawing kept so far: the cairo
  /// painters render "png" and "pdf", the SVG painter "svg"; another kind throws
  /// std::invalid_argument. The base version throws std::logic_error (it keeps no drawing).
  virtual std::string render_as(const std::string& kind) const;
  virtual int surface_width() const = 0;
  virtual int surface_height() const = 0;
  /// The painter kind: "png", "svg", "pdf" (or a test double's own name).
  virtual std::string kind() const = 0;
  /// How a raster picture is drawn; painters of vector pictures ignore it. Throws
  /// std::invalid_argument for a scale that is not a positive number.
  virtual void set_raster_options(const RasterOptions& options);

  /// Names the picture as a whole: its title and a short description, for the formats that
  /// carry them (the SVG's title and desc, the PDF's metadata). Nothing by default.
  virtual void set_description(const std::string& title, const std::string& description);
  /// Starts a group of drawing that shows one element of the diagram: `id` identifies it (may
  /// be empty) and `title` is its full name, shown as a tooltip where the format has them.
  /// Groups nest; end_group closes the innermost. Nothing by default.
  virtual void begin_group(const std::string& id, const std::string& title);
  virtual void end_group();

  /// The fonts the texts measured or set so far asked for that the system does not have, each
  /// with the font set instead, in the order first asked for. None by default.
  virtual std::vector<FontReplacement> replaced_fonts() const;
  /// The characters of the texts measured or set so far that no installed font has (drawn as
  /// boxes), in code point order. None by default.
  virtual std::vector<char32_t> missing_characters() const;

  /// Size of `text` set in `style`; wrapped at `max_width` when it is positive.
  virtual TextExtent measure_text(const std::string& text, const TextStyle& style,
                                  double max_width) const;

  // Drawing primitives. The base versions draw nothing, so a test double overrides only what it
  // records; the cairo painters implement them all.
  virtual void draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                              double corner_radius = 0);
  virtual void draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line);
  virtual void draw_polygon(const std::vector<Point>& points, const std::string& fill,
                            const LineStyle& line);
  virtual void draw_polyline(const std::vector<Point>& points, const LineStyle& line);
  /// Sets `text` inside `box` (wrapped, aligned, ellipsised when it cannot fit). `vertical`
  /// turns the text 90 degrees anticlockwise, as pool and lane names are written.
  virtual void draw_text(const std::string& text, const Box& box, const TextStyle& style,
                         bool vertical = false);
  /// Where draw_text would set `text` inside `box`: the box around the laid-out lines (after
  /// wrapping, ellipsising and aligning), in surface pixels. Useful to place labels and to check
  /// that no text leaves its box.
  virtual Box text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                          bool vertical = false) const;
  /// How draw_text sets `text` inside `box`: its size, lines and bounds.
  virtual SetText layout_text(const std::string& text, const Box& box, const TextStyle& style,
                              bool vertical = false) const;
};

/// Paints inside a group of `painter` (see Painter::begin_group) while it lives.
class PaintGroup {
 public:
  PaintGroup(Painter& painter, const std::string& id, const std::string& title)
      : painter_(painter) {
    painter_.begin_group(id, title);
  }
  ~PaintGroup() { painter_.end_group(); }
  PaintGroup(const PaintGroup&) = delete;
  PaintGroup& operator=(const PaintGroup&) = delete;

 private:
  Painter& painter_;
};

}  // namespace orvane
