#include "cairo_painter.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

#include "orvane/file_io.hpp"
#include "png_writer.hpp"

namespace orvane {
namespace {

// Cairo's image surfaces hold at most this many pixels a side.
constexpr int MAX_PNG_SIDE = 32767;
// A raster beyond this many pixels (1 GiB of ARGB) is refused rather than risking the memory.
constexpr long long MAX_PNG_PIXELS = 1LL << 28;
// Fonts tried after the theme's own, so accented Latin, Greek, Cyrillic and CJK always render.
constexpr const char* FALLBACK_FONTS = "Noto Sans,DejaVu Sans,Noto Sans CJK SC";

struct Colour {
  bool set = false;
  Rgba rgba;
};

Colour colour(const std::string& text) {
  if (text.empty()) return {};
  return {true, parse_colour(text)};
}

void set_source(cairo_t* cr, const Rgba& c) {
  cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

double top_of(const std::vector<Point>& points) {
  double top = HUGE_VAL;
  for (const Point& p : points) top = std::min(top, p.y);
  return top;
}

double bottom_of(const std::vector<Point>& points) {
  double bottom = -HUGE_VAL;
  for (const Point& p : points) bottom = std::max(bottom, p.y);
  return bottom;
}

struct Stroke {
  Colour colour;
  double width = 1;
  std::vector<double> dash;
};

Stroke stroke_of(const LineStyle& line) {
  Stroke s;
  if (line.width > 0 && std::isfinite(line.width)) s.colour = colour(line.colour);
  s.width = line.width;
  for (double d : line.dash) {
    if (d > 0 && std::isfinite(d)) s.dash.push_back(d);
  }
  return s;
}

// Fills and strokes the current path.
void fill_and_stroke(cairo_t* cr, const Colour& fill, const Stroke& stroke) {
  if (fill.set) {
    set_source(cr, fill.rgba);
    if (stroke.colour.set) {
      cairo_fill_preserve(cr);
    } else {
      cairo_fill(cr);
    }
  }
  if (stroke.colour.set) {
    set_source(cr, stroke.colour.rgba);
    cairo_set_line_width(cr, stroke.width);
    cairo_set_dash(cr, stroke.dash.data(), static_cast<int>(stroke.dash.size()), 0);
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
}

bool finite_box(const Box& b) {
  return std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.width) &&
         std::isfinite(b.height) && b.width > 0 && b.height > 0;
}

bool finite_points(const std::vector<Point>& points) {
  return std::all_of(points.begin(), points.end(),
                     [](const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

// One pango setup for measuring and painting: 72 dpi so a font size is in pixels, and no hinting
// of metrics so the layout is the same on every surface kind.
void configure_context(PangoContext* context) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 72);
}

using LayoutPtr = std::unique_ptr<PangoLayout, decltype(&g_object_unref)>;

// Lays `text` out in `style`, `width` wide (0: natural width) and at most `height` high
// (0: unlimited); lines that cannot fit are dropped and the last one ellipsised.
LayoutPtr make_layout(PangoContext* context, const std::string& text, const TextStyle& style,
                      double width, double height) {
  // Pango measures in integer units of 1/1024 px; keep sizes where that cannot overflow.
  auto usable = [](double v) { return std::isfinite(v) && v > 0 ? std::min(v, 1e6) : 0.0; };
  width = usable(width);
  height = usable(height);
  LayoutPtr layout(pango_layout_new(context), &g_object_unref);
  std::string family = style.font.empty() ? FALLBACK_FONTS : style.font + "," + FALLBACK_FONTS;
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, family.c_str());
  pango_font_description_set_size(font, std::clamp(style.font_size, 1, 1000) * PANGO_SCALE);
  pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  if (style.alignment == "left") {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_LEFT);
  } else if (style.alignment == "right") {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
  } else {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
  }
  if (width > 0) {
    pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
    if (style.wrap) {
      pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
      // Pango ellipsises only when the height is limited; otherwise it would cut every
      // paragraph to one line.
      if (height > 0) {
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout.get(), static_cast<int>(height * PANGO_SCALE));
      }
    } else {
      pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    }
  }
  // Invalid UTF-8 would make pango complain and drop the text; show replacement marks instead.
  gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
  pango_layout_set_text(layout.get(), valid, -1);
  g_free(valid);
  if (width > 0 && height > 0 && !style.wrap) {
    // One line per paragraph, unless there are more paragraphs than the height holds.
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    if (logical.height > height * PANGO_SCALE) {
      pango_layout_set_height(layout.get(), static_cast<int>(height * PANGO_SCALE));
    }
  }
  return layout;
}

// Where a laid-out text goes in a box of `width` x `height` (in the text's own direction):
// the offset of the layout's origin and the logical rectangle it covers.
struct Placement {
  double dx = 0;
  double dy = 0;
  Box logical;
};

Placement place(PangoLayout* layout, const TextStyle& style, double width, double height) {
  PangoRectangle ink;
  PangoRectangle logical;
  pango_layout_get_extents(layout, &ink, &logical);
  const double lx = logical.x / static_cast<double>(PANGO_SCALE);
  const double ly = logical.y / static_cast<double>(PANGO_SCALE);
  const double lw = logical.width / static_cast<double>(PANGO_SCALE);
  const double lh = logical.height / static_cast<double>(PANGO_SCALE);
  Placement p;
  if (style.vertical_alignment == "top") {
    p.dy = -ly;
  } else if (style.vertical_alignment == "bottom") {
    p.dy = height - lh - ly;
  } else {
    p.dy = (height - lh) / 2 - ly;
  }
  // With no layout width pango aligns nothing; align the single block ourselves.
  if (pango_layout_get_width(layout) < 0) {
    if (style.alignment == "left") {
      p.dx = -lx;
    } else if (style.alignment == "right") {
      p.dx = width - lw - lx;
    } else {
      p.dx = (width - lw) / 2 - lx;
    }
  }
  p.logical = {p.dx + lx, p.dy + ly, lw, lh};
  return p;
}

void write_to_string(std::string* out, const unsigned char* data, unsigned int length) {
  out->append(reinterpret_cast<const char*>(data), length);
}

cairo_status_t string_writer(void* closure, const unsigned char* data, unsigned int length) {
  write_to_string(static_cast<std::string*>(closure), data, length);
  return CAIRO_STATUS_SUCCESS;
}

void check_surface(cairo_surface_t* surface, const std::string& what) {
  cairo_status_t status = cairo_surface_status(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot render the " + what + ": " + cairo_status_to_string(status));
  }
}

// Cairo numbers its surfaces process-wide, and the SVG writer puts those numbers into ids.
// Renumber them in order of appearance so the same drawing gives the same file.
std::string normalise_svg_ids(const std::string& svg) {
  static const std::string key = "surface";
  std::map<std::string, int> renumbered;
  std::string out;
  out.reserve(svg.size());
  std::size_t last = 0;
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, last)) {
    std::size_t end = at + key.size();
    while (end < svg.size() && svg[end] >= '0' && svg[end] <= '9') ++end;
    out.append(svg, last, end - last);
    if (end > at + key.size()) {
      out.resize(out.size() - (end - at - key.size()));
      auto [entry, added] = renumbered.emplace(svg.substr(at + key.size(), end - at - key.size()),
                                               static_cast<int>(renumbered.size()) + 1);
      out += std::to_string(entry->second);
    }
    last = end;
  }
  out.append(svg, last, std::string::npos);
  return out;
}

void check_size(int width, int height) {
  if (width <= 0 || height <= 0) {
    throw std::invalid_argument("the surface size must be positive, got " + std::to_string(width) +
                                " x " + std::to_string(height));
  }
}

}  // namespace

CairoPainter::CairoPainter(std::string kind, int width, int height)
    : kind_(std::move(kind)), width_(width), height_(height) {
  check_size(width, height);
  measure_surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  measure_cr_ = cairo_create(measure_surface_);
  measure_context_ = pango_cairo_create_context(measure_cr_);
  configure_context(measure_context_);
  set_colour_theme("DEFAULT");
}

CairoPainter::~CairoPainter() {
  g_object_unref(measure_context_);
  cairo_destroy(measure_cr_);
  cairo_surface_destroy(measure_surface_);
}

void CairoPainter::set_colour_theme(const std::string& palette) {
  const Theme& t = get_theme(palette);
  title_font = t.title_font;
  title_font_size = t.title_font_size;
  title_font_colour = t.title_font_colour;
  pool_font = t.pool_font;
  pool_font_size = t.pool_font_size;
  pool_font_colour = t.pool_font_colour;
  pool_fill_colour = t.pool_fill_colour;
  lane_font = t.lane_font;
  lane_font_size = t.lane_font_size;
  lane_font_colour = t.lane_font_colour;
  lane_fill_colour = t.lane_fill_colour;
  lane_text_alignment = t.lane_text_alignment;
  lane_background_fill_colour = t.lane_background_fill_colour;
  footer_font = t.footer_font;
  footer_font_size = t.footer_font_size;
  footer_font_colour = t.footer_font_colour;
  element_font = t.element_font;
  element_font_size = t.element_font_size;
  element_font_colour = t.element_font_colour;
  element_fill_colour = t.element_fill_colour;
  element_outline_colour = t.element_outline_colour;
  connection_colour = t.connection_colour;
  background_colour = t.background_colour;
}

void CairoPainter::set_background_colour() {
  Colour c = colour(background_colour);
  if (!c.set) return;
  if (c.rgba.alpha >= 1) opaque_ = true;
  // Paints the whole target, whatever size the surface has when it is saved.
  record(
      [c](cairo_t* cr, PangoContext*) {
        set_source(cr, c.rgba);
        cairo_paint(cr);
      },
      -HUGE_VAL, HUGE_VAL);
}

void CairoPainter::set_title_font_size(int font_size) {
  if (font_size <= 0) {
    throw std::invalid_argument("the title font size must be positive, got " +
                                std::to_string(font_size));
  }
  title_font_size = font_size;
}

void CairoPainter::set_element_font_size(int font_size) {
  if (font_size <= 0) {
    throw std::invalid_argument("the element font size must be positive, got " +
                                std::to_string(font_size));
  }
  element_font_size = font_size;
}

void CairoPainter::set_surface_size(int width, int height) {
  check_size(width, height);
  width_ = width;
  height_ = height;
}

TextExtent CairoPainter::measure_text(const std::string& text, const TextStyle& style,
                                      double max_width) const {
  if (text.empty()) return {};
  LayoutPtr layout = make_layout(measure_context_, text, style, style.wrap ? max_width : 0, 0);
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  return {logical.width / static_cast<double>(PANGO_SCALE),
          logical.height / static_cast<double>(PANGO_SCALE)};
}

void CairoPainter::draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                                  double corner_radius) {
  if (!finite_box(box)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  double r = std::isfinite(corner_radius)
                 ? std::clamp(corner_radius, 0.0, std::min(box.width, box.height) / 2)
                 : 0;
  record(
      [box, f, s, r](cairo_t* cr, PangoContext*) {
        if (r <= 0) {
          cairo_rectangle(cr, box.x, box.y, box.width, box.height);
        } else {
          const double pi = M_PI;
          cairo_new_sub_path(cr);
          cairo_arc(cr, box.right() - r, box.y + r, r, -pi / 2, 0);
          cairo_arc(cr, box.right() - r, box.bottom() - r, r, 0, pi / 2);
          cairo_arc(cr, box.x + r, box.bottom() - r, r, pi / 2, pi);
          cairo_arc(cr, box.x + r, box.y + r, r, pi, 3 * pi / 2);
          cairo_close_path(cr);
        }
        fill_and_stroke(cr, f, s);
      },
      box.y - s.width - 2, box.bottom() + s.width + 2);
}

void CairoPainter::draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) {
  if (!finite_box(box)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  record(
      [box, f, s](cairo_t* cr, PangoContext*) {
        cairo_save(cr);
        cairo_translate(cr, box.centre_x(), box.centre_y());
        cairo_scale(cr, box.width / 2, box.height / 2);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        fill_and_stroke(cr, f, s);
      },
      box.y - s.width - 2, box.bottom() + s.width + 2);
}

void CairoPainter::draw_polygon(const std::vector<Point>& points, const std::string& fill,
                                const LineStyle& line) {
  if (points.size() < 2 || !finite_points(points)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  record(
      [points, f, s](cairo_t* cr, PangoContext*) {
        cairo_move_to(cr, points[0].x, points[0].y);
        for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
        cairo_close_path(cr);
        fill_and_stroke(cr, f, s);
      },
      top_of(points) - s.width - 2, bottom_of(points) + s.width + 2);
}

void CairoPainter::draw_polyline(const std::vector<Point>& points, const LineStyle& line) {
  if (points.size() < 2 || !finite_points(points)) return;
  Stroke s = stroke_of(line);
  if (!s.colour.set) return;
  record(
      [points, s](cairo_t* cr, PangoContext*) {
        cairo_move_to(cr, points[0].x, points[0].y);
        for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
        fill_and_stroke(cr, Colour{}, s);
      },
      top_of(points) - s.width - 2, bottom_of(points) + s.width + 2);
}

Box CairoPainter::text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                              bool vertical) const {
  if (text.empty() || !finite_box(box)) return {box.x, box.y, 0, 0};
  const double along = vertical ? box.height : box.width;
  const double across = vertical ? box.width : box.height;
  LayoutPtr layout = make_layout(measure_context_, text, style, along, across);
  Placement p = place(layout.get(), style, along, across);
  if (!vertical)
    return {box.x + p.logical.x, box.y + p.logical.y, p.logical.width, p.logical.height};
  // Turned anticlockwise about the box's bottom-left corner: text x runs up, text y right.
  return {box.x + p.logical.y, box.bottom() - p.logical.x - p.logical.width, p.logical.height,
          p.logical.width};
}

void CairoPainter::draw_text(const std::string& text, const Box& box, const TextStyle& style,
                             bool vertical) {
  if (text.empty() || !finite_box(box)) return;
  Colour c = colour(style.colour);
  if (!c.set) c = colour("#000000");
  record(
      [text, box, style, vertical, c](cairo_t* cr, PangoContext* context) {
        const double along = vertical ? box.height : box.width;
        const double across = vertical ? box.width : box.height;
        cairo_save(cr);
        if (vertical) {
          cairo_translate(cr, box.x, box.bottom());
          cairo_rotate(cr, -M_PI / 2);
        } else {
          cairo_translate(cr, box.x, box.y);
        }
        // Nothing is painted outside the box, even a first line taller than the box.
        cairo_rectangle(cr, 0, 0, along, across);
        cairo_clip(cr);
        pango_cairo_update_context(cr, context);
        LayoutPtr layout = make_layout(context, text, style, along, across);
        Placement p = place(layout.get(), style, along, across);
        set_source(cr, c.rgba);
        cairo_move_to(cr, p.dx, p.dy);
        pango_cairo_show_layout(cr, layout.get());
        cairo_restore(cr);
      },
      box.y - 1, box.bottom() + 1);
}

void CairoPainter::record(Command command, double top, double bottom) {
  commands_.push_back({std::move(command), top, bottom});
}

void CairoPainter::replay(cairo_t* cr, double top, double bottom) const {
  PangoContext* context = pango_cairo_create_context(cr);
  configure_context(context);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (const Recorded& step : commands_) {
    if (step.bottom < top || step.top >= bottom) continue;
    cairo_save(cr);
    cairo_new_path(cr);
    step.draw(cr, context);
    cairo_restore(cr);
  }
  g_object_unref(context);
}

std::string CairoPainter::render_png() const {
  if (width_ > MAX_PNG_SIDE || height_ > MAX_PNG_SIDE ||
      static_cast<long long>(width_) * height_ > MAX_PNG_PIXELS) {
    throw std::runtime_error(
        "the picture is " + std::to_string(width_) + " x " + std::to_string(height_) +
        " px, larger than a PNG can be drawn (at most " + std::to_string(MAX_PNG_SIDE) +
        " px a side and " + std::to_string(MAX_PNG_PIXELS) +
        " px in all); use the painter type \"svg\" or \"pdf\" instead");
  }
  return orvane::render_png(width_, height_, opaque_,
                            [this](cairo_t* cr, int top, int bottom) { replay(cr, top, bottom); });
}

// Replays the drawing onto a vector surface and finishes it; takes ownership of the surface.
void CairoPainter::replay_onto(cairo_surface_t* surface, const char* what) const {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> owner(surface,
                                                                           &cairo_surface_destroy);
  check_surface(surface, what);
  cairo_t* cr = cairo_create(surface);
  replay(cr);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(std::string("cannot render the ") + what + ": " +
                             cairo_status_to_string(status));
  }
}

std::string CairoPainter::render_svg() const {
  std::string out;
  cairo_surface_t* surface =
      cairo_svg_surface_create_for_stream(string_writer, &out, width_, height_);
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
  }
  replay_onto(surface, "SVG picture");
  return normalise_svg_ids(out);
}

std::string CairoPainter::render_pdf() const {
  std::string out;
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(string_writer, &out, width_, height_);
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    // Fixed metadata: without it the creation date makes every file different.
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "orvane");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, "2000-01-01T00:00:00Z");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, "2000-01-01T00:00:00Z");
  }
  replay_onto(surface, "PDF picture");
  return out;
}

std::string CairoPainter::render() const {
  if (kind_ == "svg") return render_svg();
  if (kind_ == "pdf") return render_pdf();
  return render_png();
}

void CairoPainter::save_surface(const std::string& filename) {
  // Rendered completely in memory first, so a failure leaves no file behind.
  std::string content;
  try {
    content = render();
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot write '" + filename + "': " + e.what());
  }
  write_file_atomically(filename, content);
}

}  // namespace orvane
