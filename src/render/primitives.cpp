#include "primitives.hpp"

#include <algorithm>
#include <cmath>

namespace orvane {

Colour colour(const std::string& text) {
  if (text.empty()) return {};
  return {true, parse_colour(text)};
}

Stroke stroke_of(const LineStyle& line) {
  Stroke s;
  if (line.width > 0 && std::isfinite(line.width)) s.colour = colour(line.colour);
  s.width = line.width;
  for (double d : line.dash) {
    if (d > 0 && std::isfinite(d)) s.dash.push_back(d);
  }
  return s;
}

bool finite_box(const Box& b) {
  return std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.width) &&
         std::isfinite(b.height) && b.width > 0 && b.height > 0;
}

bool finite_points(const std::vector<Point>& points) {
  return std::all_of(points.begin(), points.end(),
                     [](const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

double corner_radius_for(const Box& box, double radius) {
  return std::isfinite(radius) ? std::clamp(radius, 0.0, std::min(box.width, box.height) / 2) : 0;
}

}  // namespace orvane
