// The fonts and characters a diagram's texts ask for, checked without drawing.
#include <algorithm>
#include <set>
#include <string>

#include "orvane/routing.hpp"
#include "orvane/swimboard.hpp"

namespace orvane {

namespace {

// Calls f(text, style) for every text of the diagram: title, footer, pool and lane names, shape
// names and connection labels, each in the style it is set in.
template <typename F>
void each_text(const Swimboard& board, const Painter& p, F&& f) {
  auto in_font = [](const std::string& font, const std::string& fallback) {
    TextStyle style;
    style.font = font.empty() ? fallback : font;
    return style;
  };
  if (board._title) f(board._title->text, in_font(board._title->font, p.title_font));
  if (board._footer) f(board._footer->text, in_font(board._footer->font, p.footer_font));
  const TextStyle label = connection_label_style(p);
  for (const auto& pool : board._pools) {
    f(pool->name, in_font(pool->font, p.pool_font));
    for (const auto& lane : pool->lanes) {
      f(lane->name, in_font(lane->font, p.lane_font));
      for (const Shape* shape : lane->every_shape()) {
        f(shape->name, shape->name_style(p));
        for (const Connection& c : *shape->connection_to) f(c.label, label);
      }
    }
  }
}

}  // namespace

std::vector<FontReplacement> Swimboard::missing_fonts() const {
  Painter& p = painter();
  // The painter notes each font it measures in; one letter per family is enough, as the
  // replacement depends on the family alone.
  std::set<std::string> asked;
  each_text(*this, p, [&](const std::string& text, TextStyle style) {
    if (text.empty() || !asked.insert(style.font).second) return;
    style.wrap = false;
    (void)p.measure_text("A", style, 0);
  });
  return p.replaced_fonts();
}

std::vector<char32_t> Swimboard::missing_characters() const {
  Painter& p = painter();
  // Every font falls back to the installed ones for what it lacks, and those have all of ASCII:
  // only texts with other characters are set.
  each_text(*this, p, [&](const std::string& text, TextStyle style) {
    if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; })) return;
    style.wrap = false;
    (void)p.measure_text(text, style, 0);
  });
  return p.missing_characters();
}

}  // namespace orvane
