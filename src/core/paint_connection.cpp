// How connections paint themselves from the routes stored on them: sequence flows as solid
// lines with a filled arrowhead (a slash at the source of a default flow, a small diamond at the
// source of a conditional flow leaving an activity), message flows dashed with an open circle at
// the source and an open arrowhead at the target, data associations dotted with a line
// arrowhead, associations dotted with arrowheads as their direction says. Each painted route is
// traced under the draw_connection category, after the line that names its lane.
#include <algorithm>
#include <cmath>

#include "orvane/helper.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

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

// An arrowhead of two lines meeting at `tip`, coming along `in`.
void line_arrow(Painter& p, const Point& tip, const Direction& in, const std::string& colour) {
  const double len = std::min(ARROW_LENGTH, in.length);
  const double half = ARROW_HALF_WIDTH * len / ARROW_LENGTH * 1.2;
  const Point base{tip.x - in.x * len, tip.y - in.y * len};
  p.draw_polyline({{base.x - in.y * half, base.y + in.x * half},
                   tip,
                   {base.x + in.y * half, base.y - in.x * half}},
                  LineStyle{colour, 1.2, {}});
}

// The default slash or the conditional diamond at the start of a sequence flow; moves the
// line's start behind a diamond.
void source_marker(Painter& p, const Connection& c, std::vector<Point>& line,
                   const std::string& colour, const std::string& fill) {
  const Direction out = direction(line[0], line[1]);
  if (out.length <= 0) return;
  if (c.is_default) {
    const double at = std::min(DEFAULT_MARK_AT, out.length / 2);
    const Point mid{line[0].x + out.x * at, line[0].y + out.y * at};
    // Across the line at 45 degrees.
    const double ax = (out.x - out.y) * 0.7071 * DEFAULT_MARK_HALF;
    const double ay = (out.y + out.x) * 0.7071 * DEFAULT_MARK_HALF;
    p.draw_polyline({{mid.x - ay, mid.y + ax}, {mid.x + ay, mid.y - ax}},
                    LineStyle{colour, 1.5, {}});
  } else if (!c.condition.empty() && c.source != nullptr &&
             c.source->kind() == ShapeKind::ACTIVITY) {
    const double len = std::min(CONDITION_MARK_LENGTH, out.length / 2);
    const double half = CONDITION_MARK_HALF_WIDTH * len / CONDITION_MARK_LENGTH;
    const Point a = line[0];
    const Point m{a.x + out.x * len / 2, a.y + out.y * len / 2};
    const Point b{a.x + out.x * len, a.y + out.y * len};
    p.draw_polygon(
        {a, {m.x - out.y * half, m.y + out.x * half}, b, {m.x + out.y * half, m.y - out.x * half}},
        fill, LineStyle{colour, 1.0, {}});
    line[0] = b;
  }
}

// One line per painted route: its ends, the sides it uses and, where it could not keep to a side
// the caller set, why.
void trace(const Connection& c) {
  if (!Helper::is_shown("draw_connection")) return;
  PrintOptions options;
  options.show_level = "draw_connection";
  std::string line = "Routed " + Helper::escape(Helper::quoted(c.source->name)) + " -> " +
                     Helper::escape(Helper::quoted(c.target->name)) + ": " + c.drawn_source_side +
                     " to " + c.drawn_target_side + ", " + std::to_string(c.waypoints.size()) +
                     " points";
  if (!c.route_note.empty()) line += " (" + Helper::escape(c.route_note) + ")";
  Helper::printc(line, options);
}

}  // namespace

void Shape::draw_connections() {
  if (painter_ == nullptr || !connection_to) return;
  Painter& p = *painter_;
  for (const Connection& c : *connection_to) {
    if (c.waypoints.size() < 2) continue;
    trace(c);
    // Named by its label, or by the shapes it joins.
    const PaintGroup group(
        p, c.bpmn_id,
        !c.label.empty() ? c.label : name + " \u2192 " + (c.target ? c.target->name : ""));
    const bool message = c.connection_type == ConnectionTypes::MESSAGE;
    const bool data = c.connection_type == ConnectionTypes::DATA;
    const bool association = c.connection_type == ConnectionTypes::ASSOCIATION;
    const std::string colour = outline_colour.empty() ? p.connection_colour : outline_colour;
    const std::string open_fill = p.background_colour.empty() ? "white" : p.background_colour;
    std::vector<Point> line = c.waypoints;

    // Arrowhead: its tip on the target's border, the line stopping at its base.
    const Direction in = direction(line[previous_distinct(line)], line.back());
    const Point tip = line.back();
    if (association) {
      const LineStyle dotted{colour, 1.2, {1.5, 3}};
      p.draw_polyline(line, dotted);
      if (c.direction != AssociationDirection::NONE && in.length > 0) {
        line_arrow(p, tip, in, colour);
      }
      if (c.direction == AssociationDirection::BOTH) {
        const Direction back = direction(line[1], line[0]);
        if (back.length > 0) line_arrow(p, line[0], back, colour);
      }
    } else if (data) {
      p.draw_polyline(line, LineStyle{colour, 1.2, {1.5, 3}});
      if (in.length > 0) line_arrow(p, tip, in, colour);
    } else if (in.length > 0) {
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
    } else if (!association && !data) {
      source_marker(p, c, line, colour, open_fill);
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
  draw_placed_connections(ShapeSet(all_shapes.begin(), all_shapes.end()));
}

void Lane::draw_placed_connections(const ShapeSet& placed) {
  for (Shape* shape : shapes) {
    if (shape != nullptr && placed.count(shape) != 0) shape->draw_connections();
  }
  // Boundary events and annotations draw theirs once they have a place.
  for (Shape* shape : attached) {
    if (shape != nullptr) shape->draw_connections();
  }
}

}  // namespace orvane
