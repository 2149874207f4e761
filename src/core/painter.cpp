#include "orvane/painter.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "orvane/helper.hpp"

namespace orvane {

Painter::~Painter() = default;

std::string Painter::render_as(const std::string& kind) const {
  throw std::logic_error(fmt::format("the {} painter keeps no drawing to render as {}",
                                     Helper::quoted(this->kind()), Helper::quoted(kind)));
}

void Painter::set_raster_options(const RasterOptions&) {}

std::vector<FontReplacement> Painter::replaced_fonts() const {
  return {};
}

std::vector<char32_t> Painter::missing_characters() const {
  return {};
}

// Without a text engine, estimate: average glyph width 0.6 em, line height 1.3 em.
TextExtent Painter::measure_text(const std::string& text, const TextStyle& style,
                                 double max_width) const {
  const double em = style.font_size > 0 ? style.font_size : 12;
  double line_width = static_cast<double>(Helper::char_length(text)) * em * 0.6;
  int lines = 1;
  if (max_width > 0 && line_width > max_width) {
    lines = static_cast<int>(std::ceil(line_width / max_width));
    line_width = max_width;
  }
  return {line_width, lines * em * 1.3};
}

void Painter::set_description(const std::string&, const std::string&) {}
void Painter::begin_group(const std::string&, const std::string&) {}
void Painter::end_group() {}

void Painter::draw_rectangle(const Box&, const std::string&, const LineStyle&, double) {}
void Painter::draw_ellipse(const Box&, const std::string&, const LineStyle&) {}
void Painter::draw_polygon(const std::vector<Point>&, const std::string&, const LineStyle&) {}
void Painter::draw_polyline(const std::vector<Point>&, const LineStyle&) {}
void Painter::draw_text(const std::string&, const Box&, const TextStyle&, bool) {}

// The estimate of measure_text, centred in the box and cut to it.
Box Painter::text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                         bool vertical) const {
  const double along = vertical ? box.height : box.width;
  const double across = vertical ? box.width : box.height;
  TextExtent extent = measure_text(text, style, style.wrap ? along : 0);
  const double w = std::min(extent.width, along);
  const double h = std::min(extent.height, across);
  if (vertical) return {box.centre_x() - h / 2, box.centre_y() - w / 2, h, w};
  return {box.centre_x() - w / 2, box.centre_y() - h / 2, w, h};
}

// The estimate of text_bounds, on one line at the style's size.
SetText Painter::layout_text(const std::string& text, const Box& box, const TextStyle& style,
                             bool vertical) const {
  SetText set;
  set.font_size = style.font_size > 0 ? style.font_size : 12;
  if (!text.empty()) set.lines.push_back(text);
  set.bounds = text_bounds(text, box, style, vertical);
  return set;
}

}  // namespace orvane
