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

namespace orvane {
namespace {

// Cairo's image surfaces hold at most this many pixels a side.
constexpr int MAX_PNG_SIDE = 32767;
// A raster beyond this many pixels (1 GiB of ARGB) is refused rather than risking the memory.
constexpr long long MAX_PNG_PIXELS = 1LL << 28;

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
    : PangoPainter(std::move(kind), width, height) {}

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
      [c](cairo_t* cr, PangoContext*) {
        set_source(cr, c.rgba);
        cairo_paint(cr);
      },
      -HUGE_VAL, HUGE_VAL);
}

void CairoPainter::draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                                  double corner_radius) {
  if (!finite_box(box)) return;
  Colour f = colour(fill);
  Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  const double r = corner_radius_for(box, corner_radius);
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

void CairoPainter::draw_text(const std::string& text, const Box& box, const TextStyle& style,
                             bool vertical) {
  if (text.empty() || !finite_box(box)) return;
  Colour c = colour(style.colour);
  if (!c.set) c = colour("#000000");
  // Fitted once here; the replay sets the same layout on its own context.
  FittedText fitted = fit_into(text, box, style, vertical);
  record(
      [fit = std::move(fitted.fit), p = fitted.placement, box, style, vertical, c](
          cairo_t* cr, PangoContext* context) {
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
        pango_cairo_update_context(cr, context);
        LayoutPtr layout = fitted_layout(context, fit, style);
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

std::string CairoPainter::render_pdf() const {
  std::string out;
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(string_writer, &out, width_, height_);
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
  replay_onto(surface, "PDF picture");
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
