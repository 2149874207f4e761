// How connections paint themselves from the routes stored on them: sequence flows as solid
// lines with a filled arrowhead, message flows dashed with an open circle at the source and an
// open arrowhead at the target.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>

#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

constexpr double ARROW_LENGTH = 10;
constexpr double ARROW_HALF_WIDTH = 4;
constexpr double SOURCE_CIRCLE_RADIUS = 4;

struct Direction {
  double x = 0;
  double y = 0;
  double length = 0;
};

Direction direction(const Point& from, const Point& to) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double len = std::hypot(dx, dy);
  if (len <= 0 || !std::isfinite(len)) return {};
  return {dx / len, dy / len, len};
}

// The last point that is not on top of the end point, so that the arrow has a direction.
size_t previous_distinct(const std::vector<Point>& points) {
  size_t i = points.size() - 1;
  while (i > 0 && points[i - 1] == points.back()) --i;
  return i > 0 ? i - 1 : 0;
}

}  // namespace

void Shape::draw_connections() {
  if (painter_ == nullptr || !connection_to) return;
  Painter& p = *painter_;
  for (const Connection& c : *connection_to) {
    if (c.waypoints.size() < 2) continue;
    const bool message = c.connection_type == "message";
    const std::string colour = outline_colour.empty() ? p.connection_colour : outline_colour;
    const std::string open_fill = p.background_colour.empty() ? "white" : p.background_colour;
    std::vector<Point> line = c.waypoints;

    // Arrowhead: its tip on the target's border, the line stopping at its base.
    const Direction in = direction(line[previous_distinct(line)], line.back());
    const Point tip = line.back();
    if (in.length > 0) {
      const double len = std::min(ARROW_LENGTH, in.length);
      const double half = ARROW_HALF_WIDTH * len / ARROW_LENGTH;
      const Point base{tip.x - in.x * len, tip.y - in.y * len};
      line.back() = base;
      p.draw_polygon({tip,
                      {base.x - in.y * half, base.y + in.x * half},
                      {base.x + in.y * half, base.y - in.x * half}},
                     message ? open_fill : colour, LineStyle{colour, 1.0, {}});
    }

    if (message) {
      // The circle sits outside the source, touching its border; the line starts behind it.
      const Direction out = direction(line[0], line[1]);
      if (out.length > 0) {
        const double r = std::min(SOURCE_CIRCLE_RADIUS, out.length / 4);
        const Point centre{line[0].x + out.x * r, line[0].y + out.y * r};
        p.draw_ellipse({centre.x - r, centre.y - r, 2 * r, 2 * r}, open_fill,
                       LineStyle{colour, 1.0, {}});
        line[0] = {line[0].x + out.x * 2 * r, line[0].y + out.y * 2 * r};
      }
      p.draw_polyline(line, LineStyle{colour, 1.2, {5, 3}});
    } else {
      p.draw_polyline(line, LineStyle{colour, 1.5, {}});
    }

    if (c.label_box && !c.label.empty()) {
      TextStyle style = connection_label_style(p);
      if (style.colour.empty()) style.colour = colour;
      p.draw_text(c.label, *c.label_box, style);
    }
  }
}

void Lane::draw_connection(const std::vector<Shape*>& all_shapes) {
  // The same list of all placed shapes is handed to every lane of a draw; its set is built once
  // and kept while the list is unchanged (same storage, size and contents digest).
  thread_local const Shape* const* cached_data = nullptr;
  thread_local size_t cached_size = 0;
  thread_local std::uint64_t cached_digest = 0;
  thread_local std::unordered_set<const Shape*> placed;
  std::uint64_t digest = 1469598103934665603ull;
  for (const Shape* s : all_shapes) {
    digest = (digest ^ reinterpret_cast<std::uintptr_t>(s)) * 1099511628211ull;
  }
  if (cached_data != all_shapes.data() || cached_size != all_shapes.size() ||
      cached_digest != digest) {
    placed.clear();
    placed.insert(all_shapes.begin(), all_shapes.end());
    cached_data = all_shapes.data();
    cached_size = all_shapes.size();
    cached_digest = digest;
  }
  for (Shape* shape : shapes) {
    if (shape != nullptr && placed.count(shape) != 0) shape->draw_connections();
  }
}

}  // namespace orvane
