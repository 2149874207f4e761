#include "pango_painter.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "orvane/file_io.hpp"
#include "orvane/theme.hpp"
#include "primitives.hpp"

namespace orvane {

void check_surface_size(int width, int height) {
  if (width <= 0 || height <= 0) {
    throw std::invalid_argument("the surface size must be positive, got " + std::to_string(width) +
                                " x " + std::to_string(height));
  }
}

PangoPainter::PangoPainter(std::string kind, int width, int height)
    : kind_(std::move(kind)), width_(width), height_(height) {
  check_surface_size(width, height);
  measure_surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  measure_cr_ = cairo_create(measure_surface_);
  // The theme's defaults are filled here; a subclass's own set_colour_theme is not called from
  // this constructor, so it must not need to do more.
  PangoPainter::set_colour_theme("DEFAULT");
}

PangoPainter::~PangoPainter() {
  if (measure_context_ != nullptr) g_object_unref(measure_context_);
  cairo_destroy(measure_cr_);
  cairo_surface_destroy(measure_surface_);
}

PangoContext* PangoPainter::measure_context() const {
  // Made when first needed, so that fonts whose loading the program started early
  // (prepare_fonts) go on loading while the diagram is built.
  if (measure_context_ == nullptr) {
    measure_context_ = pango_font_map_create_context(loaded_font_map());
    pango_cairo_update_context(measure_cr_, measure_context_);
    configure_context(measure_context_);
  }
  return measure_context_;
}

PangoFontMap* PangoPainter::font_map() const {
  return pango_context_get_font_map(measure_context());
}

void PangoPainter::set_colour_theme(const std::string& palette) {
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

void PangoPainter::set_title_font_size(int font_size) {
  if (font_size <= 0) {
    throw std::invalid_argument("the title font size must be positive, got " +
                                std::to_string(font_size));
  }
  title_font_size = font_size;
}

void PangoPainter::set_element_font_size(int font_size) {
  if (font_size <= 0) {
    throw std::invalid_argument("the element font size must be positive, got " +
                                std::to_string(font_size));
  }
  element_font_size = font_size;
}

void PangoPainter::set_surface_size(int width, int height) {
  check_surface_size(width, height);
  width_ = width;
  height_ = height;
}

void PangoPainter::save_surface(const std::string& filename) {
  // Rendered completely in memory first, so a failure leaves no file behind.
  std::string content;
  try {
    content = render();
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot write '" + filename + "': " + e.what());
  }
  write_file_atomically(filename, content);
}

PangoPainter::TextKey PangoPainter::key_of(const std::string& text, const TextStyle& style,
                                           double along, double across) {
  // Every width pango cannot use sets the text alike (unwrapped), and NaN never equals itself.
  if (!std::isfinite(along)) along = 0;
  if (!std::isfinite(across)) across = 0;
  return {text,
          style.font,
          style.alignment,
          style.vertical_alignment,
          style.font_size,
          style.wrap,
          style.bold,
          style.keep_lines,
          along,
          across};
}

std::size_t PangoPainter::TextKeyHash::operator()(const TextKey& k) const {
  std::size_t h = std::hash<std::string>{}(k.text);
  auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  mix(std::hash<std::string>{}(k.font));
  mix(std::hash<std::string>{}(k.alignment));
  mix(std::hash<std::string>{}(k.vertical_alignment));
  mix(std::hash<int>{}(k.font_size));
  mix(static_cast<std::size_t>(k.wrap) | static_cast<std::size_t>(k.bold) << 1 |
      static_cast<std::size_t>(k.keep_lines) << 2);
  mix(std::hash<double>{}(k.along));
  mix(std::hash<double>{}(k.across));
  return h;
}

TextExtent PangoPainter::measure_text(const std::string& text, const TextStyle& style,
                                      double max_width) const {
  if (text.empty()) return {};
  TextKey key = key_of(text, style, max_width, 0);
  if (auto it = measured_.find(key); it != measured_.end()) return it->second;
  note_font(style);
  LayoutPtr layout = measure_layout(measure_context(), text, style, max_width);
  note_missing(layout.get());
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  const TextExtent extent{logical.width / static_cast<double>(PANGO_SCALE),
                          logical.height / static_cast<double>(PANGO_SCALE)};
  measured_.emplace(std::move(key), extent);
  return extent;
}

const PangoPainter::FittedText& PangoPainter::fit_into(const std::string& text, const Box& box,
                                                       const TextStyle& style,
                                                       bool vertical) const {
  const double along = vertical ? box.height : box.width;
  const double across = vertical ? box.width : box.height;
  TextKey key = key_of(text, style, along, across);
  if (auto it = fitted_.find(key); it != fitted_.end()) return it->second;
  note_font(style);
  FittedText f;
  LayoutPtr layout{nullptr, &g_object_unref};
  f.fit = fit_text(measure_context(), text, style, along, across, &layout);
  note_missing(layout.get());
  f.placement = place(layout.get(), style, along, across);
  f.cut = pango_layout_is_ellipsized(layout.get());
  f.lines = set_lines(layout.get());
  // A few KiB each: a budget bounds what very large diagrams keep; the others are set again
  // when drawn.
  constexpr std::size_t MAX_KEPT_LAYOUTS = 2048;
  if (keep_layouts_ && !vertical && kept_layouts_ < MAX_KEPT_LAYOUTS) {
    f.layout = std::shared_ptr<PangoLayout>(layout.release(), &g_object_unref);
    ++kept_layouts_;
  }
  return fitted_.emplace(std::move(key), std::move(f)).first->second;
}

void PangoPainter::note_font(const TextStyle& style) const {
  const auto same_font = [&](const TextStyle& s) { return s.font == style.font; };
  if (std::none_of(fonts_asked_.begin(), fonts_asked_.end(), same_font)) {
    fonts_asked_.push_back(style);
  }
}

void PangoPainter::note_missing(PangoLayout* layout) const {
  // A few dozen are enough to name; a text of nothing but unknown characters adds no more.
  constexpr std::size_t MAX_NOTED = 64;
  if (layout == nullptr || missing_.size() >= MAX_NOTED ||
      pango_layout_get_unknown_glyphs_count(layout) == 0) {
    return;
  }
  // Pango sets a character no font has as an "unknown glyph" carrying the code point.
  for (GSList* l = pango_layout_get_lines_readonly(layout); l != nullptr; l = l->next) {
    for (GSList* r = static_cast<PangoLayoutLine*>(l->data)->runs; r != nullptr; r = r->next) {
      const PangoGlyphString* glyphs = static_cast<PangoGlyphItem*>(r->data)->glyphs;
      for (int g = 0; g < glyphs->num_glyphs; ++g) {
        const PangoGlyph glyph = glyphs->glyphs[g].glyph;
        if ((glyph & PANGO_GLYPH_UNKNOWN_FLAG) == 0 || glyph == PANGO_GLYPH_INVALID_INPUT) continue;
        const char32_t c = glyph & ~PANGO_GLYPH_UNKNOWN_FLAG;
        // Line breaks and other controls are never drawn, boxes or not.
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) continue;
        if (missing_.insert(c).second && missing_.size() >= MAX_NOTED) return;
      }
    }
  }
}

std::vector<char32_t> PangoPainter::missing_characters() const {
  return {missing_.begin(), missing_.end()};
}

std::vector<FontReplacement> PangoPainter::replaced_fonts() const {
  std::vector<FontReplacement> replaced;
  for (const TextStyle& style : fonts_asked_) {
    std::string used = font_instead_of(measure_context(), style);
    if (!used.empty()) {
      replaced.push_back({style.font.empty() ? DEFAULT_FONT : style.font, std::move(used)});
    }
  }
  return replaced;
}

namespace {

// A box in the text's own frame of `box` (turned anticlockwise about the box's bottom-left
// corner when vertical: text x runs up, text y right), in surface pixels.
Box on_surface(const Box& l, const Box& box, bool vertical) {
  if (!vertical) return {box.x + l.x, box.y + l.y, l.width, l.height};
  return {box.x + l.y, box.bottom() - l.x - l.width, l.height, l.width};
}

}  // namespace

Box PangoPainter::text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                              bool vertical) const {
  if (text.empty() || !finite_box(box)) return {box.x, box.y, 0, 0};
  return on_surface(fit_into(text, box, style, vertical).placement.logical, box, vertical);
}

SetText PangoPainter::layout_text(const std::string& text, const Box& box, const TextStyle& style,
                                  bool vertical) const {
  SetText set;
  if (text.empty() || !finite_box(box)) {
    set.font_size = style.font_size;
    set.bounds = {box.x, box.y, 0, 0};
    return set;
  }
  const FittedText& f = fit_into(text, box, style, vertical);
  set.font_size = f.fit.font_size;
  set.cut = f.cut;
  for (const SetLine& line : f.lines) set.lines.push_back(line.text);
  set.bounds = on_surface(f.placement.logical, box, vertical);
  return set;
}

}  // namespace orvane
