#include "cairo_painter.hpp"

#include <cairo-pdf.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "orvane/helper.hpp"
#include "png_writer.hpp"
#include "primitives.hpp"
#include "region_index.hpp"

namespace orvane {
namespace {

// A PNG holds at most this many pixels a side.
constexpr double MAX_PNG_SIDE = 2147483647;
// The largest scale of a PNG picture: pixels per drawing unit.
constexpr double MAX_SCALE = 100;
// The largest PDF page, in points (200 inches).
constexpr double MAX_PDF_PAGE = 14400;

void set_source(cairo_t* cr, const Rgba& c) {
  cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

// The part of the picture a step can paint: `box` grown by `margin` on every side.
Region around(const Box& box, double margin) {
  return {box.x - margin, box.y - margin, box.right() + margin, box.bottom() + margin};
}

Region around(const std::vector<Point>& points, double margin) {
  Region r{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const Point& p : points) {
    r.left = std::min(r.left, p.x - margin);
    r.top = std::min(r.top, p.y - margin);
    r.right = std::max(r.right, p.x + margin);
    r.bottom = std::max(r.bottom, p.y + margin);
  }
  return r;
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

}  // namespace

CairoPainter::CairoPainter(std::string kind, int width, int height)
    : PangoPainter(std::move(kind), width, height) {
  keep_layouts();
}

void CairoPainter::set_description(const std::string& title, const std::string& description) {
  // Cairo writes the metadata as PDF text strings; it needs valid UTF-8.
  title_ = settable_text(title);
  description_ = settable_text(description);
}

void CairoPainter::set_background_colour() {
  Colour c = colour(background_colour);
  if (!c.set) return;
  if (c.rgba.alpha >= 1) opaque_ = true;
  // Paints the whole target, whatever size the surface has when it is saved.
  record(
      [c](cairo_t* cr, TextSetter&) {
        set_source(cr, c.rgba);
        cairo_paint(cr);
      },
      {-HUGE_VAL, -HUGE_VAL, HUGE_VAL, HUGE_VAL});
}

void CairoPainter::draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                                  double corner_radius) {
  if (!finite_box(box)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  const double r = corner_radius_for(box, corner_radius);
  record(
      [box, f, s, r](cairo_t* cr, TextSetter&) {
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
      around(box, s.width + 2));
}

void CairoPainter::draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) {
  if (!finite_box(box)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  record(
      [box, f, s](cairo_t* cr, TextSetter&) {
        cairo_save(cr);
        cairo_translate(cr, box.centre_x(), box.centre_y());
        cairo_scale(cr, box.width / 2, box.height / 2);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        fill_and_stroke(cr, f, s);
      },
      around(box, s.width + 2));
}

void CairoPainter::draw_polygon(const std::vector<Point>& points, const std::string& fill,
                                const LineStyle& line) {
  if (points.size() < 2 || !finite_points(points)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  record(
      [points, f, s](cairo_t* cr, TextSetter&) {
        cairo_move_to(cr, points[0].x, points[0].y);
        for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
        cairo_close_path(cr);
        fill_and_stroke(cr, f, s);
      },
      around(points, s.width + 2));
}

void CairoPainter::draw_polyline(const std::vector<Point>& points, const LineStyle& line) {
  if (points.size() < 2 || !finite_points(points)) return;
  Stroke s = stroke_of(line);
  if (!s.colour.set) return;
  record(
      [points, s](cairo_t* cr, TextSetter&) {
        cairo_move_to(cr, points[0].x, points[0].y);
        for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
        fill_and_stroke(cr, Colour{}, s);
      },
      around(points, s.width + 2));
}

void CairoPainter::draw_text(const std::string& text, const Box& box, const TextStyle& style,
                             bool vertical) {
  if (text.empty() || !finite_box(box)) return;
  Colour c = colour(style.colour);
  if (!c.set) c = colour("#000000");
  // Fitted once here; the replay sets the same layout on its own context.
  const FittedText& fitted = fit_into(text, box, style, vertical);
  record(
      [fit = fitted.fit, p = fitted.placement, set = fitted.layout, box, style, vertical, c,
       id = texts_++](cairo_t* cr, TextSetter& texts) {
        cairo_save(cr);
        if (vertical) {
          cairo_translate(cr, box.x, box.bottom());
          cairo_rotate(cr, -M_PI / 2);
        } else {
          cairo_translate(cr, box.x, box.y);
        }
        // Nothing is painted outside the box, even a first line taller than the box.
        cairo_rectangle(cr, 0, 0, fit.along, fit.across);
        cairo_clip(cr);
        set_source(cr, c.rgba);
        cairo_move_to(cr, p.dx, p.dy);
        // Pango sets the glyphs once (taking turns with the other thread); cairo shows them.
        const std::vector<GlyphRun>* glyphs = nullptr;
        if (!cairo_surface_has_show_text_glyphs(cairo_get_target(cr))) {
          const auto lock = texts.lock();
          glyphs = texts.glyphs(cr, id, fit, style, set.get());
        }
        if (glyphs != nullptr) {
          show_glyph_runs(cr, *glyphs);
        } else {
          const auto lock = texts.lock();
          pango_cairo_show_layout(cr, texts.layout(cr, id, fit, style, set.get()));
        }
        cairo_restore(cr);
      },
      around(box, 1));
}

CairoPainter::TextSetter::TextSetter(PangoFontMap* font_map)
    : font_map_(PANGO_FONT_MAP(g_object_ref(font_map))) {}

CairoPainter::TextSetter::~TextSetter() {
  glyphs_.clear();
  layouts_.clear();
  for (const Direction& d : directions_) g_object_unref(d.context);
  g_object_unref(font_map_);
}

PangoLayout* CairoPainter::TextSetter::layout(cairo_t* cr, std::size_t id, const TextFit& fit,
                                              const TextStyle& style, PangoLayout* measured) {
  // A context follows the turn and scale of the matrix it was last updated with; a text set
  // on it stays valid as long as those do not change, so each direction keeps its own.
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  // Drawn without turn or scale, a text looks as it was measured: its measured layout serves.
  if (measured != nullptr && m.xx == 1 && m.yx == 0 && m.xy == 0 && m.yy == 1) return measured;
  auto same = [&](const Direction& d) {
    return d.xx == m.xx && d.yx == m.yx && d.xy == m.xy && d.yy == m.yy;
  };
  auto it = std::find_if(directions_.begin(), directions_.end(), same);
  if (it == directions_.end()) {
    PangoContext* context = pango_font_map_create_context(font_map_);
    pango_cairo_update_context(cr, context);
    configure_context(context);
    directions_.push_back({m.xx, m.yx, m.xy, m.yy, context});
    it = directions_.end() - 1;
  }
  auto found = layouts_.find(id);
  if (found == layouts_.end()) {
    found = layouts_.emplace(id, fitted_layout(it->context, fit, style)).first;
  }
  return found->second.get();
}

const std::vector<GlyphRun>* CairoPainter::TextSetter::glyphs(cairo_t* cr, std::size_t id,
                                                              const TextFit& fit,
                                                              const TextStyle& style,
                                                              PangoLayout* measured) {
  auto found = glyphs_.find(id);
  if (found == glyphs_.end()) {
    found = glyphs_.emplace(id, glyph_runs(layout(cr, id, fit, style, measured))).first;
  }
  return found->second ? &*found->second : nullptr;
}

void CairoPainter::record(Command command, const Region& bounds) {
  commands_.push_back(std::move(command));
  bounds_.push_back(bounds);
}

void CairoPainter::set_raster_options(const RasterOptions& options) {
  if (!std::isfinite(options.scale) || options.scale <= 0 || options.scale > MAX_SCALE) {
    throw std::invalid_argument(
        fmt::format("the scale of a PNG picture must be above 0 and at most {}, got {}", MAX_SCALE,
                    options.scale));
  }
  raster_ = options;
}

void CairoPainter::replay(cairo_t* cr, TextSetter& texts,
                          const std::vector<std::size_t>& steps) const {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (std::size_t i : steps) {
    cairo_save(cr);
    cairo_new_path(cr);
    commands_[i](cr, texts);
    cairo_restore(cr);
  }
}

std::string CairoPainter::render_png() const {
  const double scale = raster_.scale;
  const double pixel_width = std::max(1.0, std::ceil(width_ * scale - 1e-9));
  const double pixel_height = std::max(1.0, std::ceil(height_ * scale - 1e-9));
  const double megapixels = pixel_width * pixel_height / 1e6;
  const std::string size = fmt::format("{:.0f} x {:.0f} px", pixel_width, pixel_height);
  if (pixel_width > MAX_PNG_SIDE || pixel_height > MAX_PNG_SIDE) {
    throw std::runtime_error(fmt::format(
        "the picture is {}, more than the {} px a side a PNG can hold; write it as SVG or PDF, "
        "or draw it smaller (--scale)",
        size, MAX_PNG_SIDE));
  }
  if (megapixels > static_cast<double>(raster_.max_megapixels)) {
    throw std::runtime_error(fmt::format(
        "the picture is {} ({:.0f} megapixels), more than the budget of {} megapixels for a PNG; "
        "write it as SVG or PDF, draw it smaller (--scale), or raise the budget "
        "(--max-megapixels)",
        size, std::ceil(megapixels), raster_.max_megapixels));
  }
  const RegionIndex index(bounds_);
  // One set of texts for every strip and tile: the picture is drawn on this thread only.
  TextSetter texts(font_map());
  return orvane::render_png(
      static_cast<int>(pixel_width), static_cast<int>(pixel_height), scale, opaque_,
      [&](cairo_t* cr, const Region& region) { replay(cr, texts, index.query(region)); });
}

// Replays the drawing onto a vector surface, a page of at most `page` units a side at a time,
// and finishes it; takes ownership of the surface.
void CairoPainter::replay_onto(cairo_surface_t* surface, const char* what,
                               const Pages& pages) const {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> owner(surface,
                                                                           &cairo_surface_destroy);
  check_surface(surface, what);
  cairo_t* cr = cairo_create(surface);
  auto texts = std::make_unique<TextSetter>(font_map());
  if (pages.columns * pages.rows == 1) {
    std::vector<std::size_t> all(commands_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    replay(cr, *texts, all);
  } else {
    const RegionIndex index(bounds_);
    for (int row = 0; row < pages.rows; ++row) {
      for (int column = 0; column < pages.columns; ++column) {
        const Region page{column * pages.width, row * pages.height, (column + 1) * pages.width,
                          (row + 1) * pages.height};
        cairo_save(cr);
        cairo_translate(cr, -page.left, -page.top);
        cairo_rectangle(cr, page.left, page.top, pages.width, pages.height);
        cairo_clip(cr);
        replay(cr, *texts, index.query(page));
        cairo_restore(cr);
        cairo_show_page(cr);
      }
    }
  }
  texts.reset();
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(std::string("cannot render the ") + what + ": " +
                             cairo_status_to_string(status));
  }
}

std::string CairoPainter::render_pdf() const {
  // PDF viewers show pages of at most 200 inches (14,400 points) a side; a larger picture is
  // split into equal pages, read left to right and then top to bottom.
  Pages pages;
  pages.columns = static_cast<int>(std::ceil(width_ / MAX_PDF_PAGE));
  pages.rows = static_cast<int>(std::ceil(height_ / MAX_PDF_PAGE));
  pages.width = static_cast<double>(width_) / pages.columns;
  pages.height = static_cast<double>(height_) / pages.rows;
  std::string out;
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(string_writer, &out, pages.width, pages.height);
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    // Fixed metadata: without it the creation date makes every file different.
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "orvane");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, "2000-01-01T00:00:00Z");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, "2000-01-01T00:00:00Z");
    if (!title_.empty()) {
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title_.c_str());
    }
    if (!description_.empty()) {
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_SUBJECT, description_.c_str());
    }
  }
  replay_onto(surface, "PDF picture", pages);
  return out;
}

std::string CairoPainter::render() const {
  return render_as(kind_);
}

std::string CairoPainter::render_as(const std::string& kind) const {
  if (kind == "pdf") return render_pdf();
  if (kind == "png") return render_png();
  throw std::invalid_argument(fmt::format("the {} painter cannot render {}; it renders png and pdf",
                                          Helper::quoted(kind_), Helper::quoted(kind)));
}

}  // namespace orvane
