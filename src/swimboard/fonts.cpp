// The fonts a diagram's texts ask for, checked without drawing.
#include <set>
#include <string>

#include "orvane/routing.hpp"
#include "orvane/swimboard.hpp"

namespace orvane {

std::vector<FontReplacement> Swimboard::missing_fonts() const {
  Painter& p = painter();
  // The painter notes each font it measures in; one letter per family is enough, as the
  // replacement depends on the family alone.
  std::set<std::string> asked;
  auto ask = [&](TextStyle style) {
    if (!asked.insert(style.font).second) return;
    style.wrap = false;
    (void)p.measure_text("A", style, 0);
  };
  auto in_font = [](const std::string& font, const std::string& fallback) {
    TextStyle style;
    style.font = font.empty() ? fallback : font;
    return style;
  };
  if (_title && !_title->text.empty()) ask(in_font(_title->font, p.title_font));
  if (_footer && !_footer->text.empty()) ask(in_font(_footer->font, p.footer_font));
  bool labels = false;
  for (const auto& pool : _pools) {
    ask(in_font(pool->font, p.pool_font));
    for (const auto& lane : pool->lanes) {
      ask(in_font(lane->font, p.lane_font));
      for (const Shape* shape : lane->every_shape()) {
        ask(shape->name_style(p));
        for (const Connection& c : *shape->connection_to) labels = labels || !c.label.empty();
      }
    }
  }
  if (labels) ask(connection_label_style(p));
  return p.replaced_fonts();
}

}  // namespace orvane
