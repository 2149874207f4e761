#include "orvane/routing.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "orvane/artifact.hpp"
#include "orvane/attached_geometry.hpp"
#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/helper.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"
#include "orvane/swimboard.hpp"
#include "support/quiet_painter.hpp"

namespace orvane {
namespace {

// The random-diagram tests draw hundreds of diagrams; under AddressSanitizer each takes about
// twenty times as long. The sanitizer build checks memory on the first quarter of each sequence
// of diagrams, the release build checks every routing rule on all of them.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kDiagramShare = 4;
#else
constexpr int kDiagramShare = 1;
#endif

// A painter without a surface: text is measured by the base estimate; draws are recorded.
class RecordingPainter : public QuietPainter {
 public:
  struct Call {
    std::string what;
    std::vector<Point> points;
    std::string fill;
    LineStyle line;
  };
  std::vector<Call> calls;

  RecordingPainter() : QuietPainter("recording", 0, 0) {
    element_font_size = 11;
    connection_colour = "#123456";
    background_colour = "#ffffff";
  }
  void draw_polyline(const std::vector<Point>& points, const LineStyle& line) override {
    calls.push_back({"polyline", points, "", line});
  }
  void draw_polygon(const std::vector<Point>& points, const std::string& fill,
                    const LineStyle& line) override {
    calls.push_back({"polygon", points, fill, line});
  }
  void draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) override {
    calls.push_back({"ellipse", {{box.x, box.y}, {box.right(), box.bottom()}}, fill, line});
  }
  void draw_text(const std::string& text, const Box& box, const TextStyle&, bool) override {
    calls.push_back({"text:" + text, {{box.x, box.y}}, "", {}});
  }
};

std::vector<Shape*> shapes_of(const std::vector<std::unique_ptr<Pool>>& pools);

constexpr int PITCH_X = Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES;
constexpr int PITCH_Y = Configs::BOX_HEIGHT + Configs::VSPACE_BETWEEN_SHAPES;
constexpr int SHAPE_X0 = Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH +
                         Configs::LANE_TEXT_WIDTH + Configs::LANE_SHAPE_LEFT_MARGIN;

// Builds pools and lanes by hand and puts shapes into grid cells the way the layout does.
class Diagram {
 public:
  RecordingPainter painter;
  std::vector<std::unique_ptr<Pool>> pools;

  Pool& pool(const std::string& name) {
    pools.push_back(std::make_unique<Pool>(name, "", 0, "", "", "", &painter));
    return *pools.back();
  }
  Lane& lane(Pool& p, const std::string& name, int rows, int columns = 10) {
    Lane& l = p.add_lane(name, "", 0, "", "", "", "");
    l.coord.x_pos = Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH;
    l.coord.y_pos = next_y_;
    l.width = SHAPE_X0 - l.coord.x_pos + columns * PITCH_X;
    l.height = 2 * Configs::LANE_SHAPE_TOP_MARGIN + rows * Configs::BOX_HEIGHT +
               (rows - 1) * Configs::VSPACE_BETWEEN_SHAPES;
    next_y_ += l.height;
    return l;
  }
  void end_pool() { next_y_ += Configs::VSPACE_BETWEEN_POOLS; }
  // Two pools of one one-row lane each (named by the pool's initial), one above the other.
  std::pair<Lane*, Lane*> two_pools(const std::string& upper, const std::string& lower) {
    Lane& a = lane(pool(upper), upper.substr(0, 1), 1);
    end_pool();
    Lane& b = lane(pool(lower), lower.substr(0, 1), 1);
    return {&a, &b};
  }
  Shape& shape(Lane& l, const std::string& name, ElementType type, int row, int col) {
    Shape& s = l.add_element(name, type);
    s.coord->x_pos = SHAPE_X0 + col * PITCH_X;
    s.coord->y_pos = l.coord.y_pos + Configs::LANE_SHAPE_TOP_MARGIN + row * PITCH_Y;
    s.set_draw_position(painter);
    return s;
  }
  void route() { route_connections(pools, painter); }

  std::vector<Shape*> shapes() const { return shapes_of(pools); }

 private:
  int next_y_ = 60;
};

// Whether a route's end `p` lies on the shape's outline (inside its box, on the half of `side`)
// and the route runs from it straight out through `side` to `next`. Ends lie on whole pixels:
// half a pixel off the middle of a box narrower than a pixel is still on its side.
bool leaves_by(const Point& p, const Point& next, const Box& b, const std::string& side) {
  const double e = 1;
  const double h = 0.5;
  if (p.x < b.x - e || p.x > b.right() + e || p.y < b.y - e || p.y > b.bottom() + e) return false;
  if (side == "left") return p.x <= b.centre_x() + h && next.x < b.x && next.y == p.y;
  if (side == "right") return p.x >= b.centre_x() - h && next.x > b.right() && next.y == p.y;
  if (side == "top") return p.y <= b.centre_y() + h && next.y < b.y && next.x == p.x;
  if (side == "bottom") return p.y >= b.centre_y() - h && next.y > b.bottom() && next.x == p.x;
  return false;
}

// Whether the axis-parallel segment a-b passes through the inside of `b`.
bool crosses(const Point& a, const Point& c, const Box& b) {
  const double x0 = std::min(a.x, c.x), x1 = std::max(a.x, c.x);
  const double y0 = std::min(a.y, c.y), y1 = std::max(a.y, c.y);
  const double e = 1e-6;
  return x0 < b.right() - e && x1 > b.x + e && y0 < b.bottom() - e && y1 > b.y + e;
}

bool overlap(const Box& a, const Box& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

std::vector<Shape*> shapes_of(const std::vector<std::unique_ptr<Pool>>& pools) {
  std::vector<Shape*> out;
  for (const auto& p : pools)
    for (const auto& l : p->lanes)
      for (Shape* s : l->shapes) out.push_back(s);
  return out;
}

bool has_box(const Shape& s) {
  return s.box.width > 0 && s.box.height > 0;
}

bool has_box_band(const Box& b) {
  return b.width > 0 && b.height > 0;
}

// Checks every route and label of the diagram; returns the faults found, one per line.
// How long parallel segments of two routes run 0.5 to 6 px apart, where they read as one thick
// line or a band of tracks rather than as one trunk or two routes.
double band_length(const Connection& a, const Connection& b) {
  double length = 0;
  for (size_t i = 0; i + 1 < a.waypoints.size(); ++i) {
    const Point& p = a.waypoints[i];
    const Point& q = a.waypoints[i + 1];
    for (size_t j = 0; j + 1 < b.waypoints.size(); ++j) {
      const Point& u = b.waypoints[j];
      const Point& v = b.waypoints[j + 1];
      const bool across = p.y == q.y && u.y == v.y;
      if (!across && !(p.x == q.x && u.x == v.x)) continue;
      const double gap = across ? std::abs(p.y - u.y) : std::abs(p.x - u.x);
      const double lo = across ? std::max(std::min(p.x, q.x), std::min(u.x, v.x))
                               : std::max(std::min(p.y, q.y), std::min(u.y, v.y));
      const double hi = across ? std::min(std::max(p.x, q.x), std::max(u.x, v.x))
                               : std::min(std::max(p.y, q.y), std::max(u.y, v.y));
      if (gap >= 0.5 && gap <= 6 && hi > lo) length += hi - lo;
    }
  }
  return length;
}

// Pairs of routes with an end in common that run as a band (see band_length) rather than
// sharing a trunk or running apart.
int bands(const std::vector<std::unique_ptr<Pool>>& pools) {
  int count = 0;
  std::vector<const Connection*> routed;
  for (Shape* s : shapes_of(pools)) {
    for (const Connection& c : *s->connection_to) {
      if (c.waypoints.size() >= 2) routed.push_back(&c);
    }
  }
  for (size_t i = 0; i < routed.size(); ++i) {
    for (size_t j = i + 1; j < routed.size(); ++j) {
      const Connection& a = *routed[i];
      const Connection& b = *routed[j];
      const bool related = a.source == b.source || a.source == b.target || a.target == b.source ||
                           a.target == b.target;
      if (related && band_length(a, b) > 20) ++count;
    }
  }
  return count;
}

// Whether a horizontal segment p-q and a vertical one u-v meet inside both.
bool cross(const Point& p, const Point& q, const Point& u, const Point& v) {
  if (p.y != q.y || u.x != v.x) return false;
  return std::min(p.x, q.x) < u.x && u.x < std::max(p.x, q.x) && std::min(u.y, v.y) < p.y &&
         p.y < std::max(u.y, v.y);
}

// Proper crossings between the routes of two connections.
int crossings(const Connection& a, const Connection& b) {
  const auto& w = a.waypoints;
  const auto& z = b.waypoints;
  int count = 0;
  for (size_t s = 0; s + 1 < w.size(); ++s) {
    for (size_t t = 0; t + 1 < z.size(); ++t) {
      if (cross(w[s], w[s + 1], z[t], z[t + 1]) || cross(z[t], z[t + 1], w[s], w[s + 1])) ++count;
    }
  }
  return count;
}

// Proper crossings between the routes of two different connections.
int crossings(const std::vector<std::unique_ptr<Pool>>& pools) {
  std::vector<const Connection*> routed;
  for (Shape* s : shapes_of(pools)) {
    for (const Connection& c : *s->connection_to) {
      if (c.waypoints.size() >= 2) routed.push_back(&c);
    }
  }
  int count = 0;
  for (size_t i = 0; i < routed.size(); ++i) {
    for (size_t j = i + 1; j < routed.size(); ++j) count += crossings(*routed[i], *routed[j]);
  }
  return count;
}

std::string route_faults(const std::vector<std::unique_ptr<Pool>>& pools) {
  std::string faults;
  std::map<const Shape*, Box> pool_of;
  for (const auto& p : pools) {
    const Box band{static_cast<double>(p->coord.x_pos), static_cast<double>(p->coord.y_pos),
                   static_cast<double>(p->width), static_cast<double>(p->height)};
    if (!has_box_band(band)) continue;
    for (const auto& l : p->lanes)
      for (Shape* s : l->shapes) pool_of[s] = band;
  }
  std::vector<Shape*> shapes;
  for (Shape* s : shapes_of(pools)) {
    if (has_box(*s)) shapes.push_back(s);
  }
  std::vector<Box> labels;
  struct Segment {
    Point a, b;
    const Connection* c;
  };
  std::vector<Segment> segments;
  for (Shape* s : shapes) {
    for (const Connection& c : *s->connection_to) {
      if (!has_box(*c.target)) continue;
      const std::string name = c.source->name + "->" + c.target->name;
      const auto& w = c.waypoints;
      if (w.size() < 2) {
        faults += name + ": no route\n";
        continue;
      }
      if (!leaves_by(w[0], w[1], c.source->box, c.drawn_source_side))
        faults += name + ": does not start on the source's " + c.drawn_source_side + "\n";
      if (!leaves_by(w.back(), w[w.size() - 2], c.target->box, c.drawn_target_side))
        faults += name + ": does not end on the target's " + c.drawn_target_side + "\n";
      const auto pool = pool_of.find(c.source);
      if (c.connection_type == ConnectionTypes::SEQUENCE && pool != pool_of.end()) {
        for (const Point& q : w) {
          if (q.x < pool->second.x || q.x > pool->second.right() || q.y < pool->second.y ||
              q.y > pool->second.bottom())
            faults += name + ": leaves its pool\n";
        }
      }
      for (size_t i = 0; i + 1 < w.size(); ++i) {
        if (w[i].x != w[i + 1].x && w[i].y != w[i + 1].y) faults += name + ": diagonal\n";
        if (w[i] == w[i + 1]) faults += name + ": empty segment\n";
        segments.push_back({w[i], w[i + 1], &c});
        for (Shape* other : shapes) {
          // A round or diamond end lies inside its own box.
          if ((i == 0 && other == c.source) || (i + 2 == w.size() && other == c.target)) continue;
          if (crosses(w[i], w[i + 1], other->box))
            faults += name + ": crosses " + other->name + "\n";
        }
      }
      if (!c.label.empty()) {
        if (!c.label_box) {
          faults += name + ": label without a place\n";
          continue;
        }
        for (Shape* other : shapes) {
          if (overlap(*c.label_box, other->box))
            faults += name + ": label on " + other->name + "\n";
          if (!other->name.empty() && overlap(*c.label_box, other->label_box))
            faults += name + ": label on the name of " + other->name + "\n";
        }
        for (const Box& l : labels) {
          if (overlap(*c.label_box, l)) faults += name + ": label on another label\n";
        }
        labels.push_back(*c.label_box);
      }
    }
  }
  // A name moved aside for a flow leaving the bottom keeps off that flow, other shapes and names.
  for (Shape* s : shapes) {
    const bool bottom_exit =
        std::any_of(s->connection_to->begin(), s->connection_to->end(), [](const Connection& c) {
          return c.drawn_source_side == "bottom" && !c.waypoints.empty();
        });
    const bool outside = s->kind() == ShapeKind::EVENT || s->kind() == ShapeKind::GATEWAY;
    if (!bottom_exit || !outside || s->name.empty()) continue;
    const Box text{s->label_box.x, s->label_box.y, s->label_box.width,
                   std::min(s->label_box.height, 12.0)};
    for (const Segment& seg : segments) {
      if (seg.c->source == s && crosses(seg.a, seg.b, text))
        faults += s->name + ": name under its own flow\n";
    }
    for (Shape* other : shapes) {
      if (other == s) continue;
      if (overlap(s->label_box, other->box)) faults += s->name + ": name on " + other->name + "\n";
      if (!other->name.empty() && overlap(s->label_box, other->label_box))
        faults += s->name + ": name on the name of " + other->name + "\n";
    }
  }
  // A default flow's slash and a conditional flow's diamond (10 px along the first segment) stand
  // on no line of another flow from the same shape running their way (a trunk they would share).
  for (Shape* s : shapes) {
    for (const Connection& c : *s->connection_to) {
      const bool marked =
          c.is_default || (!c.condition.empty() && s->kind() == ShapeKind::ACTIVITY);
      if (!marked || c.waypoints.size() < 2) continue;
      const Point& a = c.waypoints[0];
      const Point& b = c.waypoints[1];
      const double length = std::abs(b.x - a.x) + std::abs(b.y - a.y);
      const double at = std::min(DEFAULT_MARK_AT, length / 2) / length;
      const Point mark{a.x + (b.x - a.x) * at, a.y + (b.y - a.y) * at};
      for (const Connection& other : *s->connection_to) {
        if (&other == &c) continue;
        for (std::size_t k = 1; k < other.waypoints.size(); ++k) {
          const Point& u = other.waypoints[k - 1];
          const Point& v = other.waypoints[k];
          const bool vertical = std::abs(u.x - v.x) < 0.5;
          if (vertical != (std::abs(a.x - b.x) < 0.5)) continue;
          const double off = vertical ? std::abs(u.x - mark.x) : std::abs(u.y - mark.y);
          const double along = vertical ? mark.y : mark.x;
          const double lo = vertical ? std::min(u.y, v.y) : std::min(u.x, v.x);
          const double hi = vertical ? std::max(u.y, v.y) : std::max(u.x, v.x);
          if (off < 3 && along >= lo - 1 && along <= hi + 1) {
            faults += s->name + "->" + c.target->name + ": its mark lies on " + s->name + "->" +
                      other.target->name + "\n";
            break;
          }
        }
      }
    }
  }
  // Two flows between the same two shapes are drawn as two.
  for (Shape* s : shapes) {
    const auto& out = *s->connection_to;
    for (auto a = out.begin(); a != out.end(); ++a) {
      for (auto b = std::next(a); b != out.end(); ++b) {
        if (a->target == b->target && a->waypoints.size() >= 2 && a->waypoints == b->waypoints)
          faults += s->name + "->" + a->target->name + ": two flows drawn as one\n";
      }
    }
  }
  // Parallel segments of different connections lie apart unless they share an end shape.
  std::map<std::pair<bool, long>, std::vector<const Segment*>> lines;
  for (const Segment& s : segments) {
    const bool vertical = s.a.x == s.b.x;
    lines[{vertical, std::lround((vertical ? s.a.x : s.a.y) * 100)}].push_back(&s);
  }
  for (const auto& [key, list] : lines) {
    for (size_t i = 0; i < list.size(); ++i) {
      for (size_t j = i + 1; j < list.size(); ++j) {
        const Segment& p = *list[i];
        const Segment& q = *list[j];
        if (p.c == q.c) continue;
        if (p.c->source == q.c->source || p.c->target == q.c->target ||
            p.c->source == q.c->target || p.c->target == q.c->source)
          continue;
        const double lo = std::max(std::min(key.first ? p.a.y : p.a.x, key.first ? p.b.y : p.b.x),
                                   std::min(key.first ? q.a.y : q.a.x, key.first ? q.b.y : q.b.x));
        const double hi = std::min(std::max(key.first ? p.a.y : p.a.x, key.first ? p.b.y : p.b.x),
                                   std::max(key.first ? q.a.y : q.a.x, key.first ? q.b.y : q.b.x));
        if (hi - lo > 1)
          faults += p.c->source->name + "->" + p.c->target->name + " runs on " + q.c->source->name +
                    "->" + q.c->target->name +
                    fmt::format(" at {} {} from {} to {}\n", key.first ? "x" : "y",
                                key.second / 100.0, lo, hi);
      }
    }
  }
  return faults;
}

TEST(ConnectionRouting, SameRowFlowIsOneStraightLine) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 1);
  Shape& a = d.shape(l, "a", ElementType::START, 0, 0);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 1);
  Connection& c = a.connect(b);
  d.route();
  ASSERT_EQ(c.waypoints.size(), 2u);
  EXPECT_EQ(c.waypoints.front(), (Point{a.box.right(), a.box.centre_y()}));
  EXPECT_EQ(c.waypoints.back(), (Point{b.box.x, b.box.centre_y()}));
  EXPECT_EQ(c.drawn_source_side, "right");
  EXPECT_EQ(c.drawn_target_side, "left");
  EXPECT_EQ(route_faults(d.pools), "");
}

TEST(ConnectionRouting, RoutesAreTracedUnderTheConnectionCategory) {
  Diagram d;
  Lane& l = d.lane(d.pool("P"), "L", 1);
  Shape& a = d.shape(l, "[red]a", ElementType::START, 0, 0);
  a.connect(d.shape(l, "b", ElementType::TASK, 0, 1));
  d.route();
  std::ostringstream out;
  Helper::set_output(out);
  Helper::set_show_levels({"draw_connection"});
  l.draw_connection(d.shapes());
  Helper::set_show_levels({});
  Helper::set_output(std::cout);
  EXPECT_NE(out.str().find("Routed '[red]a' -> 'b': right to left, 2 points"), std::string::npos)
      << out.str();
}

TEST(ConnectionRouting, FlowsAroundShapesInBetween) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 2);
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  d.shape(l, "middle", ElementType::TASK, 0, 1);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 2);
  Shape& below = d.shape(l, "below", ElementType::TASK, 1, 1);
  Shape& c = d.shape(l, "c", ElementType::TASK, 1, 3);
  a.connect(b);  // same row, blocked
  a.connect(c);  // other row, both rows blocked
  below.connect(a, "back");
  d.route();
  EXPECT_EQ(route_faults(d.pools), "");
  EXPECT_GT(a.connection_to->at(0).waypoints.size(), 2u);
}

// Notes fill the lane above and below the shape between a flow's ends, so that the flow has no
// way round it: it passes through a note rather than straight through the shape.
TEST(ConnectionRouting, AFlowWithNoWayButThroughANoteTakesItNotAShape) {
  Diagram d;
  Pool& pool = d.pool("P");
  Lane& l = d.lane(pool, "L", 1);
  pool.coord.x_pos = l.coord.x_pos - Configs::POOL_TEXT_WIDTH;
  pool.coord.y_pos = l.coord.y_pos;
  pool.width = l.width + Configs::POOL_TEXT_WIDTH;
  pool.height = l.height;
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  Shape& middle = d.shape(l, "middle", ElementType::TASK, 0, 1);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 2);
  const double top = l.coord.y_pos, bottom = l.coord.y_pos + l.height;
  const Box& m = middle.box;
  for (const Box& place : {Box{m.x - 30, top, m.width + 60, m.y - top},
                           Box{m.x - 30, m.bottom(), m.width + 60, bottom - m.bottom()}}) {
    TextAnnotation& note = l.annotate(middle, "Checked twice");
    note.box = place;
  }
  Connection& c = a.connect(b);
  d.route();
  ASSERT_GE(c.waypoints.size(), 2u);
  EXPECT_EQ(c.route_note.find("no free path"), std::string::npos) << c.route_note;
  for (std::size_t i = 1; i < c.waypoints.size(); ++i) {
    const Point& p = c.waypoints[i - 1];
    const Point& q = c.waypoints[i];
    EXPECT_FALSE(std::min(p.x, q.x) < m.right() && std::max(p.x, q.x) > m.x &&
                 std::min(p.y, q.y) < m.bottom() && std::max(p.y, q.y) > m.y)
        << "through the shape between the ends";
  }
}

TEST(ConnectionRouting, FlowToAnotherLaneTurnsOnceOrInTheChannelBetweenColumns) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l1 = d.lane(p, "L1", 1);
  Lane& l2 = d.lane(p, "L2", 1);
  Shape& a = d.shape(l1, "a", ElementType::TASK, 0, 0);
  Shape& b = d.shape(l2, "b", ElementType::TASK, 0, 1);
  Connection& c = a.connect(b, "to the other lane");
  d.route();
  ASSERT_GE(c.waypoints.size(), 3u);
  ASSERT_LE(c.waypoints.size(), 4u);
  if (c.waypoints.size() == 4) {
    EXPECT_GT(c.waypoints[1].x, a.box.right());
    EXPECT_LT(c.waypoints[1].x, b.box.x);
  }
  EXPECT_EQ(route_faults(d.pools), "");
}

// A handover from an event down two lanes to a gateway in the next column: one bend (out of
// the event's bottom into the gateway's left corner, or out of its right into the top), not a
// step right, down and right again. (Stubs reach different distances out of the sides; the
// route's length counts them.)
TEST(ConnectionRouting, HandoverDownToTheNextColumnTurnsOnce) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l1 = d.lane(p, "L1", 1);
  d.lane(p, "L2", 1);
  Lane& l3 = d.lane(p, "L3", 1);
  Shape& e = d.shape(l1, "Alarm raised", ElementType::SIGNAL_INTERMEDIATE, 0, 0);
  Shape& g = d.shape(l3, "", ElementType::PARALLEL, 0, 1);
  Connection& c = e.connect(g);
  d.route();
  EXPECT_EQ(c.waypoints.size(), 3u);
  EXPECT_EQ(c.drawn_source_side == "bottom" ? "left" : "top", c.drawn_target_side);
  EXPECT_EQ(route_faults(d.pools), "");
}

TEST(ConnectionRouting, LoopBackToAnEarlierColumnGoesOverTheRow) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 1);
  Shape& a = d.shape(l, "a", ElementType::EXCLUSIVE, 0, 0);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 1);
  Shape& g = d.shape(l, "check", ElementType::EXCLUSIVE, 0, 2);
  a.connect(b);
  b.connect(g);
  Connection& back = g.connect(a, "rework");
  d.route();
  EXPECT_EQ(back.drawn_source_side, "top");
  EXPECT_EQ(back.drawn_target_side, "top");
  ASSERT_EQ(back.waypoints.size(), 4u);
  EXPECT_LT(back.waypoints[1].y, b.box.y);  // the run over the row stays above it
  EXPECT_EQ(route_faults(d.pools), "");
}

// In a pool of two lanes of one height, the border between them halves the pool: routes keep
// as far off it as off shapes (a loop back ran a few pixels beside it, as if on it).
TEST(ConnectionRouting, RoutesRunInsideLanesNotAlongTheirBorders) {
  Swimboard board("Loop", 100, 100, false, "DEFAULT", "png");
  Pool& pool = board.add_pool("Support");
  Lane& upper = pool.add_lane("First level", "", 0, "", "", "", "");
  Lane& lower = pool.add_lane("Second level", "", 0, "", "", "", "");
  Shape& start = upper.add_element("Incident reported", ElementType::START);
  Shape& analyse = lower.add_element("Analyse root cause", ElementType::TASK);
  Shape& fix = lower.add_element("Develop fix", ElementType::TASK);
  Shape& test = lower.add_element("Test fix", ElementType::TASK);
  Shape& end = upper.add_element("Incident resolved", ElementType::END);
  start.connect(analyse);
  analyse.connect(fix);
  fix.connect(test);
  test.connect(analyse, "failed");
  test.connect(end, "passed");
  board.draw();
  const double border = lower.coord.y_pos;
  ASSERT_EQ(border, upper.coord.y_pos + upper.height);
  int checked = 0;
  for (Shape* s : {&start, &analyse, &fix, &test, &end}) {
    for (const Connection& c : *s->connection_to) {
      for (std::size_t k = 0; k + 1 < c.waypoints.size(); ++k) {
        const Point& a = c.waypoints[k];
        const Point& b = c.waypoints[k + 1];
        if (a.y != b.y || std::fabs(a.x - b.x) <= 30) continue;
        ++checked;
        EXPECT_GE(std::fabs(a.y - border), 10)
            << c.label << ": segment " << k << " runs along the border at y " << a.y;
      }
    }
  }
  EXPECT_GT(checked, 0);
  EXPECT_EQ(route_faults(board._pools), "");
}

// A diagram of one lane in a pool beside a black-box pool, above it or below it.
struct BlackBoxBoard {
  Swimboard board{"Messages", 100, 100, false, "DEFAULT", "png"};
  Participant* band = nullptr;
  Lane* lane = nullptr;

  explicit BlackBoxBoard(bool band_above) {
    if (band_above) band = &board.add_pool("Partner").make_black_box();
    lane = &board.add_pool("Shop").add_lane("Sales", "", 0, "", "", "", "");
    if (!band_above) band = &board.add_pool("Partner").make_black_box();
  }
};

// A split whose two branches, "Pick goods" and "Order goods", stand stacked in one column.
struct StackedBranches {
  Shape& start;
  Shape& split;
  Shape& pick;
  Shape& order;
  explicit StackedBranches(Lane& lane)
      : start(lane.add_element("Order received", ElementType::START)),
        split(lane.add_element("In stock?", ElementType::EXCLUSIVE)),
        pick(lane.add_element("Pick goods", ElementType::TASK)),
        order(lane.add_element("Order goods", ElementType::TASK)) {
    start.connect(split);
    split.connect(pick, "yes");
    split.connect(order, "no");
  }
};

// Three branches stacked in one column each send a message to a black-box pool above: the lower
// two go round the shapes above them, each on a line of its own (they shared one), and every
// label keeps off the routes.
TEST(ConnectionRouting, MessagesToABlackBoxPoolRunOnLinesOfTheirOwn) {
  BlackBoxBoard d(true);
  Swimboard& board = d.board;
  Participant& band = *d.band;
  Lane& lane = *d.lane;
  Shape& start = lane.add_element("Order received", ElementType::START);
  Shape& split = lane.add_element("Which answer?", ElementType::EXCLUSIVE);
  std::vector<Connection*> messages;
  for (const char* name : {"Send rejection", "Send confirmation", "Send quote"}) {
    Shape& task = lane.add_element(name, ElementType::TASK);
    split.connect(task, name);
    messages.push_back(&task.connect(band, "answer"));
  }
  start.connect(split);
  board.draw();

  std::vector<std::pair<const Connection*, Box>> verticals;
  std::vector<std::pair<const Connection*, Box>> segments;
  for (Shape* s : lane.shapes) {
    for (const Connection& c : *s->connection_to) {
      ASSERT_GE(c.waypoints.size(), 2u) << c.label;
      for (std::size_t k = 0; k + 1 < c.waypoints.size(); ++k) {
        const Point& a = c.waypoints[k];
        const Point& b = c.waypoints[k + 1];
        const Box box{std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(a.x - b.x),
                      std::fabs(a.y - b.y)};
        segments.emplace_back(&c, box);
        if (a.x == b.x && c.target == &band) verticals.emplace_back(&c, box);
      }
    }
  }
  int detours = 0;
  for (const Connection* m : messages) detours += m->waypoints.size() > 2 ? 1 : 0;
  EXPECT_EQ(detours, 2);
  for (std::size_t i = 0; i < verticals.size(); ++i) {
    for (std::size_t j = i + 1; j < verticals.size(); ++j) {
      const auto& [ci, a] = verticals[i];
      const auto& [cj, b] = verticals[j];
      if (ci == cj || a.y >= b.bottom() || b.y >= a.bottom()) continue;
      EXPECT_GE(std::fabs(a.x - b.x), 12) << "two messages run side by side at x " << a.x;
    }
  }
  for (const Connection* m : messages) {
    ASSERT_TRUE(m->label_box.has_value());
    const Box& l = *m->label_box;
    for (const auto& [c, seg] : segments) {
      if (c == m) continue;
      const bool hit =
          seg.x < l.right() && l.x < seg.right() && seg.y < l.bottom() && l.y < seg.bottom();
      EXPECT_FALSE(hit) << "the label of a message lies on the route of " << c->label;
    }
    // Nor on the lane's borders or the black-box pool's band.
    for (const double y :
         {static_cast<double>(lane.coord.y_pos),
          static_cast<double>(lane.coord.y_pos + lane.height), band.box.bottom()}) {
      EXPECT_FALSE(l.y < y && y < l.bottom()) << "a message's label lies on the border at y " << y;
    }
  }
}

TEST(ConnectionRouting, MessageFlowBetweenPoolsIsRouted) {
  Diagram d;
  const auto [l1, l2] = d.two_pools("Customer", "Shop");
  Shape& a = d.shape(*l1, "order", ElementType::TASK, 0, 0);
  Shape& b = d.shape(*l2, "receive", ElementType::TASK, 0, 0);
  Shape& e = d.shape(*l2, "ship", ElementType::TASK, 0, 1);
  Connection& m = a.connect(b, "order");
  Connection& back = e.connect(a, "parcel");
  d.route();
  EXPECT_EQ(m.connection_type, "message");
  ASSERT_EQ(m.waypoints.size(), 2u);  // straight down
  EXPECT_EQ(m.drawn_source_side, "bottom");
  EXPECT_EQ(back.connection_type, "message");
  EXPECT_EQ(route_faults(d.pools), "");
}

bool route_crosses(const Connection& c, const Box& b) {
  for (size_t i = 0; i + 1 < c.waypoints.size(); ++i) {
    if (crosses(c.waypoints[i], c.waypoints[i + 1], b)) return true;
  }
  return false;
}

// How far a box lies from a polyline.
double distance_to(const Box& b, const std::vector<Point>& points) {
  double best = 1e9;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const Point& p = points[i];
    const Point& q = points[i + 1];
    const double dx = std::max({0.0, std::min(p.x, q.x) - b.right(), b.x - std::max(p.x, q.x)});
    const double dy = std::max({0.0, std::min(p.y, q.y) - b.bottom(), b.y - std::max(p.y, q.y)});
    best = std::min(best, std::hypot(dx, dy));
  }
  return best;
}

// The part of a branch's route after it leaves the trunk it shares with `other`.
std::vector<Point> own_part(const Connection& c, const Connection& other) {
  const auto on_other = [&](const Point& p) {
    for (size_t i = 0; i + 1 < other.waypoints.size(); ++i) {
      const Point& a = other.waypoints[i];
      const Point& b = other.waypoints[i + 1];
      if (p.x >= std::min(a.x, b.x) && p.x <= std::max(a.x, b.x) && p.y >= std::min(a.y, b.y) &&
          p.y <= std::max(a.y, b.y))
        return true;
    }
    return false;
  };
  size_t k = 0;
  while (k + 2 < c.waypoints.size() && on_other(c.waypoints[k + 1])) ++k;
  return {c.waypoints.begin() + static_cast<std::ptrdiff_t>(k), c.waypoints.end()};
}

// A gateway (or event) forking into its own row and into the next lane, the lower target either
// in the same column or further right: the branches part (sharing at most a trunk from the
// gateway), each label sits beside its own branch, and the gateway's name is crossed by neither.
TEST(ConnectionRouting, ForkBranchesPartAndKeepTheirLabelsBesideThem) {
  for (const ElementType type : {ElementType::EXCLUSIVE, ElementType::START}) {
    for (const int lower_col : {1, 2}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(type)) + " to column " +
                   std::to_string(lower_col));
      Diagram d;
      Pool& p = d.pool("P");
      Lane& sales = d.lane(p, "Sales", 1);
      Lane& warehouse = d.lane(p, "Warehouse", 1);
      d.shape(sales, "Check order", ElementType::TASK, 0, 0)
          .connect(d.shape(sales, "Order OK?", type, 0, 1));
      Shape& g = *sales.shapes.back();
      Shape& rejected = d.shape(sales, "Order rejected", ElementType::END, 0, 3);
      Shape& ship = d.shape(warehouse, "Ship order", ElementType::TASK, 0, lower_col);
      g.connect(rejected, "no");
      g.connect(ship, "yes");
      const Connection& no = g.connection_to->at(0);
      const Connection& yes = g.connection_to->at(1);
      d.route();

      EXPECT_EQ(no.drawn_source_side, "right");
      EXPECT_NE(no.waypoints.back(), yes.waypoints.back());
      EXPECT_FALSE(route_crosses(yes, g.label_box));
      EXPECT_FALSE(route_crosses(no, g.label_box));
      ASSERT_TRUE(yes.label_box && no.label_box);
      EXPECT_FALSE(overlap(*yes.label_box, *no.label_box));
      EXPECT_LE(distance_to(*yes.label_box, own_part(yes, no)), 6);
      EXPECT_LE(distance_to(*no.label_box, own_part(no, yes)), 6);
      EXPECT_EQ(route_faults(d.pools), "");
    }
  }
}

// A fork of three branches to rows below: the branches share one trunk out of the gateway
// instead of running as parallel tracks beside each other.
TEST(ConnectionRouting, ForkBranchesShareOneTrunkInsteadOfParallelTracks) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 4);
  Shape& g = d.shape(l, "split", ElementType::PARALLEL, 0, 0);
  for (int r = 1; r < 4; ++r)
    g.connect(d.shape(l, "t" + std::to_string(r), ElementType::TASK, r, 1));
  d.route();
  // Every vertical piece of the branches lies on one line or at least 12 px from another.
  std::vector<double> xs;
  ASSERT_EQ(g.connection_to->size(), 3u);
  for (const Connection& c : *g.connection_to) {
    for (size_t i = 0; i + 1 < c.waypoints.size(); ++i) {
      if (c.waypoints[i].x == c.waypoints[i + 1].x) xs.push_back(c.waypoints[i].x);
    }
  }
  std::sort(xs.begin(), xs.end());
  for (size_t i = 1; i < xs.size(); ++i) {
    EXPECT_TRUE(xs[i] == xs[i - 1] || xs[i] - xs[i - 1] >= 12) << xs[i - 1] << " " << xs[i];
  }
  EXPECT_EQ(route_faults(d.pools), "");
}

// A fork of a hundred branches stacked in one column: each branch, however far down, leaves by
// the one trunk; those further than a long route's reach once took corridors of their own
// beside it.
TEST(ConnectionRouting, AForkOfAHundredBranchesSharesOneTrunk) {
  Diagram d;
  Pool& p = d.pool("P");
  const int branches = 100;
  Lane& l = d.lane(p, "L", branches + 1);
  Shape& g = d.shape(l, "split", ElementType::EXCLUSIVE, 0, 0);
  for (int r = 1; r <= branches; ++r)
    g.connect(d.shape(l, "t" + std::to_string(r), ElementType::TASK, r, 1));
  d.route();
  ASSERT_EQ(g.connection_to->size(), static_cast<std::size_t>(branches));
  // All leave the gateway by one point down one line, and turn off it towards their tasks: no
  // route runs down a line of its own to the left of the trunk or beyond the tasks.
  const Point start = g.connection_to->front().waypoints.front();
  for (const Connection& c : *g.connection_to) {
    ASSERT_GE(c.waypoints.size(), 3u);
    EXPECT_EQ(c.waypoints[0], start);
    EXPECT_EQ(c.waypoints[1].x, start.x);
    const double task = c.waypoints.back().x;
    for (const Point& w : c.waypoints) {
      EXPECT_TRUE(w.x >= start.x && w.x <= task) << w.x << " outside " << start.x << "-" << task;
    }
  }
  EXPECT_EQ(route_faults(d.pools), "");
}

// A parallel split into four tasks whose many empty branches all run to the join as well:
// branches that cannot share one trunk (they join the same two gateways) get tracks of their
// own, never a band of lines a few pixels apart, even where the channel is crowded.
TEST(ConnectionRouting, BranchesBetweenTheSameGatewaysRunApartNotAsABand) {
  Swimboard board("Split", 100, 100, false, "DEFAULT", "png");
  Lane& lane = board.add_pool("Company").add_lane("Warehouse", "", 0, "", "", "", "");
  Shape& start = lane.add_element("Request received", ElementType::START);
  Shape& split = lane.add_element("", ElementType::PARALLEL);
  std::vector<Shape*> tasks;
  for (const char* name : {"Confirm application", "Send claim", "Confirm offer", "Update stock"})
    tasks.push_back(&lane.add_element(name, ElementType::TASK));
  Shape& join = lane.add_element("", ElementType::PARALLEL);
  Shape& next = lane.add_element("Create shipment", ElementType::TASK);
  start.connect(split);
  for (Shape* t : tasks) split.connect(*t);
  for (Shape* t : tasks) {
    split.connect(join);
    t->connect(join);
    split.connect(join);
  }
  join.connect(next);
  board.draw();
  EXPECT_EQ(bands(board._pools), 0);
}

// Flows drawn more than once between the same split and join run round the tasks between them
// side by side, out of one side of the split and into the same side of the join: each pair
// nests, the one leaving further out entering further out, instead of crossing where they
// part (ties on a shared line kept one order at both ends, right for a Z, wrong for a U).
TEST(ConnectionRouting, FlowsBetweenTheSameTwoShapesNestInsteadOfCrossing) {
  int pairs = 0;
  std::string faults;
  for (int tasks = 1; tasks <= 4; ++tasks) {
    for (int copies = 2; copies <= 4; ++copies) {
      Swimboard board("Split", 100, 100, false, "DEFAULT", "png");
      Pool& pool = board.add_pool("Company");
      Lane& lane = pool.add_lane("Warehouse", "", 0, "", "", "", "");
      Lane& below = pool.add_lane("Finance", "", 0, "", "", "", "");
      Shape& start = lane.add_element("Order received", ElementType::START);
      Shape& split = lane.add_element("", ElementType::INCLUSIVE);
      std::vector<Shape*> between;
      for (int t = 0; t < tasks; ++t)
        between.push_back(&lane.add_element(fmt::format("Review order {}", t), ElementType::TASK));
      Shape& join = lane.add_element("", ElementType::INCLUSIVE);
      Shape& check = below.add_element("Check credit", ElementType::TASK);
      start.connect(split);
      split.connect(*between.front(), "by e-mail");
      for (std::size_t t = 0; t + 1 < between.size(); ++t) between[t]->connect(*between[t + 1]);
      between.back()->connect(join);
      for (int c = 0; c < copies; ++c) split.connect(join, fmt::format("option {}", c));
      split.connect(check, "amount >= 1,000");
      check.connect(join);
      board.draw();
      std::vector<const Connection*> copied;
      for (const Connection& c : *split.connection_to) {
        if (c.target == &join) copied.push_back(&c);
      }
      for (std::size_t i = 0; i < copied.size(); ++i) {
        for (std::size_t j = i + 1; j < copied.size(); ++j) {
          ++pairs;
          if (crossings(*copied[i], *copied[j]) > 0) {
            faults += fmt::format("{} tasks, {} copies: \"{}\" crosses \"{}\"\n", tasks, copies,
                                  copied[i]->label, copied[j]->label);
          }
        }
      }
      faults += route_faults(board._pools);
    }
  }
  EXPECT_EQ(pairs, 4 * (1 + 3 + 6));
  EXPECT_EQ(faults, "");
}

// A decision sends "yes" and "no" to the same event and a third branch elsewhere: the two flows
// to the event may share the third's trunk, but leave it on lines of their own, each with its
// label beside it; drawn on one line they read as a single flow with two labels.
TEST(ConnectionRouting, TwoFlowsBetweenTheSameShapesAreDrawnApart) {
  Swimboard board("Leave request", 100, 100, false, "DEFAULT", "png");
  Pool& pool = board.add_pool("Company");
  Lane& employee = pool.add_lane("Employee", "", 0, "", "", "", "");
  Lane& manager = pool.add_lane("Manager", "", 0, "", "", "", "");
  Shape& start = employee.add_element("Need leave", ElementType::START);
  Shape& request = employee.add_element("Submit request", ElementType::TASK);
  Shape& approve = manager.add_element("Approve?", ElementType::EXCLUSIVE);
  start.connect(request);
  request.connect(approve);
  approve.connect(request, "no");
  approve.connect(start, "yes");
  approve.connect(start, "maybe");
  board.draw();
  const Connection& yes = (*approve.connection_to)[1];
  const Connection& maybe = (*approve.connection_to)[2];
  ASSERT_EQ(yes.label + maybe.label, "yesmaybe");
  EXPECT_EQ(route_faults(board._pools), "");
  // Not even a stretch of one line in common: neither route runs on the other's.
  double shared = 0;
  for (std::size_t i = 0; i + 1 < yes.waypoints.size(); ++i) {
    for (std::size_t j = 0; j + 1 < maybe.waypoints.size(); ++j) {
      const Point& p = yes.waypoints[i];
      const Point& q = yes.waypoints[i + 1];
      const Point& u = maybe.waypoints[j];
      const Point& v = maybe.waypoints[j + 1];
      if (p.x == q.x && u.x == v.x && p.x == u.x) {
        shared += std::max(0.0, std::min(std::max(p.y, q.y), std::max(u.y, v.y)) -
                                    std::max(std::min(p.y, q.y), std::min(u.y, v.y)));
      } else if (p.y == q.y && u.y == v.y && p.y == u.y) {
        shared += std::max(0.0, std::min(std::max(p.x, q.x), std::max(u.x, v.x)) -
                                    std::max(std::min(p.x, q.x), std::min(u.x, v.x)));
      }
    }
  }
  EXPECT_EQ(shared, 0);
  ASSERT_TRUE(yes.label_box && maybe.label_box);
  EXPECT_FALSE(overlap(*yes.label_box, *maybe.label_box));
}

// A gateway at the end of a row sends "yes" back under the row to a join and "rework" back to a
// task of the row above that: the rework goes round the row's end and over the top, crossing
// nothing, instead of riding the "yes" branch's trunk under the row and climbing across the
// flow into the gateway (the trunk's pixels cost a fifth of a route's, so a long way along it
// and a crossing came cheaper than a way of its own).
TEST(ConnectionRouting, ABranchTakesAWayOfItsOwnRatherThanALongTrunkAndACrossing) {
  Swimboard board("Claims", 100, 100, false, "DEFAULT", "png");
  Lane& lane = board.add_pool("Company").add_lane("Quality assurance", "", 0, "", "", "", "");
  Shape& received = lane.add_element("Request received", ElementType::START);
  Shape& publish = lane.add_element("Publish application", ElementType::SUBPROCESS);
  Shape& pack = lane.add_element("Pack customer data", ElementType::TASK);
  Shape& complete = lane.add_element("Complete?", ElementType::EXCLUSIVE);
  Shape& schedule = lane.add_element("Schedule stock", ElementType::TASK);
  Shape& database = lane.add_element("Customer database", ElementType::DATA_STORE);
  Shape& update = lane.add_element("Update documents", ElementType::TASK);
  Shape& urgent = lane.add_element("Urgent?", ElementType::EXCLUSIVE);
  Shape& join = lane.add_element("", ElementType::EXCLUSIVE);
  Shape& confirm = lane.add_element("Confirm customer data", ElementType::TASK);
  Shape& done = lane.add_element("claim done", ElementType::END);
  received.connect(publish);
  publish.connect(pack);
  pack.connect(complete);
  complete.connect(schedule, "yes");
  schedule.connect(database);
  complete.connect(update, "no");
  update.connect(urgent);
  urgent.connect(schedule, "rework");
  schedule.connect(join);
  urgent.connect(join, "yes");
  join.connect(confirm);
  confirm.connect(done);
  board.draw();
  ASSERT_GT(urgent.box.y, schedule.box.bottom()) << "the gateway no longer stands a row lower";
  ASSERT_GT(urgent.box.x, confirm.box.right()) << "the gateway no longer ends the row";
  const Connection* rework = nullptr;
  for (const Connection& c : *urgent.connection_to) {
    if (c.label == "rework") rework = &c;
  }
  ASSERT_NE(rework, nullptr);
  for (Shape* s : lane.shapes) {
    for (const Connection& c : *s->connection_to) {
      if (&c == rework) continue;
      EXPECT_EQ(crossings(*rework, c), 0) << "the rework crosses " << s->name;
    }
  }
  EXPECT_EQ(route_faults(board._pools), "");
}

// One row with two loops back along it, the second starting under the first; returns the
// shapes in the row's order.
std::vector<Shape*> two_loops_along_a_row(Lane& lane) {
  const std::vector<std::pair<const char*, ElementType>> kinds = {
      {"Request received", ElementType::START},
      {"Notify offer", ElementType::TASK},
      {"Check report", ElementType::TASK},
      {"Collect complaint", ElementType::TASK},
      {"Wait two days", ElementType::TIMER},
      {"Assess claim", ElementType::TASK},
      {"Send stock", ElementType::TASK},
      {"Approved?", ElementType::EXCLUSIVE},
      {"Schedule customer data", ElementType::SUBPROCESS},
      {"Amount above limit?", ElementType::EXCLUSIVE},
      {"invoice done", ElementType::END}};
  std::vector<Shape*> s;
  for (const auto& [name, type] : kinds) s.push_back(&lane.add_element(name, type));
  for (std::size_t k = 0; k + 1 < 8; ++k) s[k]->connect(*s[k + 1]);
  s[7]->connect(*s[2], "no");
  s[7]->connect(*s[8], "yes");
  s[8]->connect(*s[9]);
  s[9]->connect(*s[6], "no");
  s[9]->connect(*s[10], "yes");
  return s;
}

// The loop laid first is laid again knowing the other, so that the two do not cross.
TEST(ConnectionRouting, RouteLaidAgainAroundOneLaidAfterIt) {
  Swimboard board("Loops", 100, 100, true, "DEFAULT", "png");
  two_loops_along_a_row(board.add_pool("Company").add_lane("Finance 1", "", 0, "", "", "", ""));
  board.draw();
  EXPECT_EQ(crossings(board._pools), 0);
  EXPECT_EQ(route_faults(board._pools), "");
}

// A side the caller set is kept, and the caller's fields are left as they were; a side that
// leads straight into another shape is given up, and the connection says why.
TEST(ConnectionRouting, SidesTheCallerSetAreKeptOrTheRouteSaysWhyNot) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 2);
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 1);
  Shape& under = d.shape(l, "under", ElementType::TASK, 1, 1);
  a.connect(b);
  a.connect(under);
  Connection& kept = a.connection_to->at(0);
  Connection& blocked = a.connection_to->at(1);
  kept.source_connection_side = "bottom";
  kept.target_connection_side = "top";
  blocked.source_connection_side = "right";
  blocked.target_connection_side = "top";  // straight into b, which sits above it
  d.route();
  EXPECT_EQ(kept.drawn_source_side, "bottom");
  EXPECT_EQ(kept.drawn_target_side, "top");
  EXPECT_EQ(kept.source_connection_side, "bottom");
  EXPECT_EQ(kept.target_connection_side, "top");
  EXPECT_TRUE(kept.route_note.empty());
  EXPECT_EQ(blocked.drawn_source_side, "right");
  EXPECT_EQ(blocked.target_connection_side, "top");
  if (blocked.drawn_target_side != "top") {
    EXPECT_NE(blocked.route_note.find("target side 'top'"), std::string::npos)
        << blocked.route_note;
  }
  EXPECT_EQ(route_faults(d.pools), "");

  a.connection_to->at(0).source_connection_side = "up";
  EXPECT_THROW(d.route(), std::invalid_argument);
}

TEST(ConnectionRouting, SelfLoopGoesAroundItsShape) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 1);
  Shape& a = d.shape(l, "retry", ElementType::TASK, 0, 0);
  Connection& c = a.connect(a, "again");
  d.route();
  ASSERT_GE(c.waypoints.size(), 4u);
  EXPECT_NE(c.drawn_source_side, c.drawn_target_side);
  EXPECT_EQ(route_faults(d.pools), "");
}

// Flows each two rows down to the next column, side by side: their vertical pieces share the
// channel between the columns over a row's height (and need not cross there).
TEST(ConnectionRouting, FlowsSharingAChannelGetSeparateTracks) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 6);
  std::vector<Connection*> flows;
  for (int r = 0; r < 4; ++r) {
    Shape& a = d.shape(l, "a" + std::to_string(r), ElementType::TASK, r, 0);
    Shape& b = d.shape(l, "b" + std::to_string(r), ElementType::TASK, r + 2, 1);
    flows.push_back(&a.connect(b));
  }
  d.route();
  // The vertical pieces in the channel between the columns lie at least 12 px apart.
  const double lo = flows[0]->source->box.right();
  const double hi = flows[0]->target->box.x;
  std::vector<double> xs;
  for (Connection* c : flows) {
    for (size_t i = 0; i + 1 < c->waypoints.size(); ++i) {
      const double x = c->waypoints[i].x;
      if (x == c->waypoints[i + 1].x && x > lo && x < hi) xs.push_back(x);
    }
  }
  ASSERT_GE(xs.size(), 2u);
  std::sort(xs.begin(), xs.end());
  for (size_t i = 1; i < xs.size(); ++i) EXPECT_GE(xs[i] - xs[i - 1], 12) << i;
  EXPECT_EQ(crossings(d.pools), 0);
  EXPECT_EQ(route_faults(d.pools), "");
}

// The routes that run through a box, other than `own`'s.
std::string routes_through(const std::vector<std::unique_ptr<Pool>>& pools, const Box& b,
                           const Connection* own) {
  const Box inside{b.x + 0.5, b.y + 0.5, b.width - 1, b.height - 1};
  std::string found;
  for (Shape* s : shapes_of(pools)) {
    for (const Connection& c : *s->connection_to) {
      if (&c != own && route_crosses(c, inside))
        found += " " + c.source->name + "->" + c.target->name;
    }
  }
  return found;
}

// Message flows between two shapes one above the other run 20 px apart, too close for a label
// beside each: every label still finds a place over no other route (further along its own, or
// beside the bundle), and a name that flows pass under moves out of their way.
TEST(ConnectionRouting, LabelsInATightBundleKeepOffTheOtherRoutes) {
  for (const int flows : {3, 4}) {
    SCOPED_TRACE(std::to_string(flows) + " flows");
    Diagram d;
    const auto [l1, l2] = d.two_pools("Buyer", "Seller");
    Shape& a = d.shape(*l1, "Book offer", ElementType::TASK, 0, 1);
    Shape& b = d.shape(*l2, "Reject payment", ElementType::TASK, 0, 1);
    Shape& start = d.shape(*l2, "Payment due", ElementType::START, 0, 0);
    start.connect(b);
    const std::vector<std::string> names = {"claim", "invoice", "payment", "reminder"};
    for (int k = 0; k < flows; ++k) {
      if (k % 2 == 0) {
        a.connect(b, names[static_cast<size_t>(k)]);
      } else {
        b.connect(a, names[static_cast<size_t>(k)]);
      }
    }
    d.route();
    for (Shape* s : {&a, &b}) {
      for (const Connection& c : *s->connection_to) {
        if (c.label.empty()) continue;
        ASSERT_TRUE(c.label_box) << c.label;
        EXPECT_EQ(routes_through(d.pools, *c.label_box, &c), "") << c.label;
      }
    }
    EXPECT_EQ(routes_through(d.pools, start.label_box, nullptr), "");
    EXPECT_EQ(route_faults(d.pools), "");
  }
}

// Whether every label of `connections` lies at least as near its own route as any other.
std::string labels_nearer_others(const std::vector<const Connection*>& connections) {
  std::string faults;
  for (const Connection* c : connections) {
    if (c->label.empty()) continue;
    if (!c->label_box) {
      faults += c->label + ": no place\n";
      continue;
    }
    const double own = distance_to(*c->label_box, c->waypoints);
    for (const Connection* other : connections) {
      if (other != c && distance_to(*c->label_box, other->waypoints) < own) {
        faults += c->label + " lies nearer the route to " + other->target->name + "\n";
      }
    }
  }
  return faults;
}

// A gateway whose two branches run over the shapes of its row on one trunk, the first leaving
// it soon: there is little of its route that is its own, yet its label lies nearer its own
// route than the other branch's, not past its turn beside the trunk that goes on.
TEST(ConnectionRouting, ALabelWithLittleRouteOfItsOwnStillReadsAsItsOwn) {
  for (const int near_col : {2, 3}) {
    SCOPED_TRACE("first target in column " + std::to_string(near_col));
    Diagram d;
    Pool& p = d.pool("P");
    Lane& l = d.lane(p, "Clerk", 1);
    Shape& gateway = d.shape(l, "How?", ElementType::EXCLUSIVE, 0, 0);
    for (int col = 1; col < 6; ++col) {
      if (col != near_col) d.shape(l, "Step " + std::to_string(col), ElementType::TASK, 0, col);
    }
    Shape& near = d.shape(l, "Try again", ElementType::TASK, 0, near_col);
    Shape& far = d.shape(l, "Send by e-mail", ElementType::TASK, 0, 6);
    gateway.connect(near, "retry");
    gateway.connect(far, "by e-mail");
    d.route();
    std::vector<const Connection*> all;
    for (const Connection& c : *gateway.connection_to) all.push_back(&c);
    EXPECT_EQ(labels_nearer_others(all), "");
    EXPECT_EQ(route_faults(d.pools), "");
  }
}

// Messages running straight and side by side between two tasks, only some of them named: a
// label has room beside an outer line only, so the named messages take the outer lines,
// whichever order they were drawn in, and each label lies nearest its own route.
TEST(ConnectionRouting, NamedMessagesBetweenTwoTasksTakeTheOuterLines) {
  const std::vector<std::vector<std::string>> cases = {
      {"", "offer", ""}, {"delivery", "offer", ""}, {"", "", "quote", "order"}};
  for (const auto& labels : cases) {
    SCOPED_TRACE(::testing::PrintToString(labels));
    Diagram d;
    const auto [l1, l2] = d.two_pools("Buyer", "Seller");
    Shape& a = d.shape(*l1, "Notify offer", ElementType::TASK, 0, 1);
    Shape& b = d.shape(*l2, "Ship order", ElementType::TASK, 0, 1);
    for (const std::string& label : labels) a.connect(b, label);
    d.route();
    std::vector<const Connection*> all;
    std::vector<double> named, unnamed;
    for (const Connection& c : *a.connection_to) {
      all.push_back(&c);
      ASSERT_EQ(c.waypoints.size(), 2U) << c.label;
      (c.label.empty() ? unnamed : named).push_back(c.waypoints.front().x);
    }
    // No unnamed message lies outside a named one on both sides of it.
    for (const double x : named) {
      const bool left_of_all =
          std::all_of(unnamed.begin(), unnamed.end(), [&](double u) { return x < u; });
      const bool right_of_all =
          std::all_of(unnamed.begin(), unnamed.end(), [&](double u) { return x > u; });
      EXPECT_TRUE(left_of_all || right_of_all) << "a named message at x " << x;
    }
    EXPECT_EQ(labels_nearer_others(all), "");
    EXPECT_EQ(route_faults(d.pools), "");
  }
}

// A gateway whose default branch leaves downwards, through where its name would stand, and a
// task whose conditional flow leaves it: the default flow's slash and the condition's diamond
// stay clear of every name and label, the flows' own included.
TEST(ConnectionRouting, NamesAndLabelsKeepOffTheMarksAtAFlowsStart) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "Clerk", 2);
  Shape& check = d.shape(l, "Inspect damage", ElementType::TASK, 0, 0);
  Shape& gateway = d.shape(l, "Experts agree?", ElementType::EXCLUSIVE, 0, 1);
  Shape& pay = d.shape(l, "Pay out", ElementType::TASK, 0, 2);
  Shape& reject = d.shape(l, "Reject claim", ElementType::TASK, 1, 1);
  Connection& agree = check.connect(gateway, "assessed");
  agree.condition = "report complete";
  gateway.connect(pay, "approve");
  gateway.connect(reject, "deny").is_default = true;
  d.route();

  std::vector<Box> marks;
  for (const Connection* c : {&agree, &gateway.connection_to->at(1)}) {
    ASSERT_GE(c->waypoints.size(), 2u);
    const Point& a = c->waypoints[0];
    const Point& b = c->waypoints[1];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const double dx = (b.x - a.x) / length;
    const double dy = (b.y - a.y) / length;
    if (c->is_default) {
      const double at = std::min(DEFAULT_MARK_AT, length / 2);
      const double r = DEFAULT_MARK_HALF * 0.7071;
      marks.push_back({a.x + dx * at - r, a.y + dy * at - r, 2 * r, 2 * r});
    } else {
      const double along = std::min(CONDITION_MARK_LENGTH, length / 2);
      const Point e{a.x + dx * along, a.y + dy * along};
      marks.push_back({std::min(a.x, e.x) - CONDITION_MARK_HALF_WIDTH,
                       std::min(a.y, e.y) - CONDITION_MARK_HALF_WIDTH,
                       std::abs(e.x - a.x) + 2 * CONDITION_MARK_HALF_WIDTH,
                       std::abs(e.y - a.y) + 2 * CONDITION_MARK_HALF_WIDTH});
    }
  }
  for (const Box& mark : marks) {
    for (Shape* s : {&check, &gateway, &pay, &reject}) {
      EXPECT_FALSE(overlap(s->label_box, mark)) << "the name of " << s->name;
      for (const Connection& c : *s->connection_to) {
        ASSERT_TRUE(c.label_box) << c.label;
        EXPECT_FALSE(overlap(*c.label_box, mark)) << "the label " << c.label;
      }
    }
  }
  EXPECT_EQ(route_faults(d.pools), "");
}

// A default flow's slash and a conditional flow's diamond stand on their own flow's line only:
// such a flow shares no trunk with the other flows leaving its shape, whichever way they run
// (a decision whose branches all go down a column, a task with a default and a conditional
// flow to tasks above and below).
TEST(ConnectionRouting, AFlowMarkedAtItsStartLeavesOnALineOfItsOwn) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "Clerk", 4);
  Shape& gateway = d.shape(l, "Which?", ElementType::EXCLUSIVE, 0, 0);
  Shape& task = d.shape(l, "Check", ElementType::TASK, 1, 2);
  for (int row = 1; row < 4; ++row) {
    Shape& branch = d.shape(l, "Branch " + std::to_string(row), ElementType::TASK, row, 1);
    gateway.connect(branch, "b" + std::to_string(row)).is_default = row == 2;
  }
  Shape& up = d.shape(l, "Up", ElementType::TASK, 0, 3);
  Shape& down = d.shape(l, "Down", ElementType::TASK, 2, 3);
  task.connect(up, "otherwise").is_default = true;
  task.connect(down, "when late").condition = "late";
  d.route();
  EXPECT_EQ(route_faults(d.pools), "");
  for (const Connection& c : *gateway.connection_to) EXPECT_GE(c.waypoints.size(), 2u);
  for (const Connection& c : *task.connection_to) EXPECT_GE(c.waypoints.size(), 2u);
}

// A flow across a wide lane, from one row to the other, past flows running up between the rows:
// its long stretch runs along the lane's edge, where it crosses none of them, rather than down
// the channel between the rows, nearer its ends but crossed by every one.
TEST(ConnectionRouting, LongFlowTakesACorridorThatCrossesNoOtherRoute) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 2, 40);
  Shape& from = d.shape(l, "from", ElementType::TASK, 0, 0);
  Shape& to = d.shape(l, "to", ElementType::TASK, 1, 39);
  for (int c = 10; c < 30; c += 2)
    d.shape(l, "b" + std::to_string(c), ElementType::TASK, 1, c)
        .connect(d.shape(l, "a" + std::to_string(c), ElementType::TASK, 0, c));
  from.connect(to);
  d.route();
  const Connection& long_flow = from.connection_to->at(0);
  int crossed = 0;
  for (Shape* s : d.shapes()) {
    for (const Connection& c : *s->connection_to) {
      if (&c != &long_flow) crossed += crossings(long_flow, c);
    }
  }
  EXPECT_EQ(crossed, 0);
  EXPECT_EQ(route_faults(d.pools), "");
}

// How many times `flow` crosses the other routes of the diagram.
int crossings_of(const Diagram& d, const Connection& flow) {
  int crossed = 0;
  for (Shape* s : d.shapes()) {
    for (const Connection& c : *s->connection_to) {
      if (&c != &flow) crossed += crossings(flow, c);
    }
  }
  return crossed;
}

// A flow across a tall lane, between two shapes of its middle row, past columns of flows
// running down the lane: every channel between rows near its ends is crossed by all of them,
// while the lane's top and bottom edges, further off, are crossed by none. The long stretch
// runs along an edge.
TEST(ConnectionRouting, LongFlowLooksForAQuietCorridorBeyondTheRowsNearItsEnds) {
  Diagram d;
  Pool& p = d.pool("P");
  constexpr int ROWS = 10;
  Lane& l = d.lane(p, "L", ROWS, 40);
  Shape& from = d.shape(l, "from", ElementType::TASK, 4, 0);
  Shape& to = d.shape(l, "to", ElementType::TASK, 4, 39);
  for (int c = 5; c <= 35; ++c) {
    Shape* above = &d.shape(l, fmt::format("r0c{}", c), ElementType::TASK, 0, c);
    for (int r = 1; r < ROWS; ++r) {
      Shape& below = d.shape(l, fmt::format("r{}c{}", r, c), ElementType::TASK, r, c);
      above->connect(below);
      above = &below;
    }
  }
  from.connect(to);
  d.route();
  EXPECT_EQ(crossings_of(d, from.connection_to->at(0)), 0);
  EXPECT_EQ(route_faults(d.pools), "");
}

TEST(ConnectionRouting, UnplacedShapesGetNoRouteAndStaleRoutesAreCleared) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 1);
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  Shape& loose = l.add_element("loose", ElementType::TASK);  // never positioned
  Connection& c = a.connect(loose, "x");
  c.waypoints = {{1, 2}, {3, 4}};
  c.label_box = Box{1, 1, 1, 1};
  d.route();
  EXPECT_TRUE(c.waypoints.empty());
  EXPECT_FALSE(c.label_box.has_value());
}

TEST(ConnectionRouting, OddBoxesDoNotCrashTheRouter) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 1);
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 0);  // same cell
  Shape& n = d.shape(l, "n", ElementType::TASK, 0, 1);
  n.box = {std::nan(""), 0, 10, 10};
  Shape& huge = d.shape(l, "huge", ElementType::TASK, 0, 2);
  huge.box = {-1e300, -1e300, 2e300, 2e300};
  a.connect(b, "same cell");
  b.connect(a);
  a.connect(n);
  n.connect(huge);
  huge.connect(a, "from everywhere");
  EXPECT_NO_THROW(d.route());
  EXPECT_TRUE(a.connection_to->at(1).waypoints.empty());  // to the shape without a real box
  EXPECT_TRUE(huge.connection_to->at(0).waypoints.empty());
  EXPECT_GE(b.connection_to->at(0).waypoints.size(), 2u);
}

// A message from a black-box pool below comes up into an event's bottom, where its name sits:
// the name moves off the message's way, and no label lies on it.
TEST(ConnectionRouting, NamesAndLabelsKeepOffMessagesToABlackBoxPool) {
  BlackBoxBoard d(false);
  Swimboard& board = d.board;
  Participant& vendor = *d.band;
  Lane& lane = *d.lane;
  Shape& request = lane.add_element("Request vendor fix", ElementType::TASK);
  Shape& received = lane.add_element("Vendor fix received", ElementType::MESSAGE_INTERMEDIATE);
  Shape& test = lane.add_element("Test fix", ElementType::TASK);
  request.connect(received);
  received.connect(test, "patched");
  Connection& patch = vendor.connect(received, "patch");
  board.draw();
  ASSERT_GE(patch.waypoints.size(), 2u);
  const auto& patched = received.connection_to->at(0).label_box;
  ASSERT_TRUE(patched.has_value());
  for (std::size_t k = 0; k + 1 < patch.waypoints.size(); ++k) {
    const Point& a = patch.waypoints[k];
    const Point& b = patch.waypoints[k + 1];
    for (const Box& box : {received.label_box, *patched}) {
      const bool through = std::max(a.x, b.x) > box.x && std::min(a.x, b.x) < box.right() &&
                           std::max(a.y, b.y) > box.y && std::min(a.y, b.y) < box.bottom();
      EXPECT_FALSE(through) << "the message runs through a name or label at " << box.x << ","
                            << box.y;
    }
  }
}

// Several messages meet their shape side by side: the names keep off where each of them runs,
// not only off the side's middle, and the messages keep off the shapes they pass. Two messages
// into an event with a long name (which stood under the event, across one of them), and four
// between a task and the band below with an event in their way (two ran along its outline).
TEST(ConnectionRouting, MessagesSideBySideKeepOffNamesAndTheShapesTheyPass) {
  {
    BlackBoxBoard d(false);
    Lane& lane = *d.lane;
    Shape& start = lane.add_element("Payment needed", ElementType::START);
    Shape& answer = lane.add_element("Answer received", ElementType::MESSAGE_INTERMEDIATE);
    Shape& done = lane.add_element("Report done", ElementType::END);
    start.connect(answer);
    answer.connect(done);
    d.band->connect(answer, "contract");
    d.band->connect(answer);
    d.board.draw();
    ASSERT_EQ(d.band->connection_to->size(), 2u);
    for (const Connection& c : *d.band->connection_to) {
      ASSERT_GE(c.waypoints.size(), 2u);
      EXPECT_FALSE(route_crosses(c, answer.label_box))
          << "a message runs through the name of its own event";
    }
  }
  Swimboard board{"Messages", 100, 100, false, "DEFAULT", "png"};
  Lane& company = board.add_pool("Company").add_lane("IT", "", 0, "", "", "", "");
  Lane& customer = board.add_pool("Customer").add_lane("Sales", "", 0, "", "", "", "");
  Participant& tax = board.add_pool("Tax office").make_black_box();
  Shape& received = company.add_element("Request received", ElementType::START);
  Shape& prepare = company.add_element("Prepare complaint", ElementType::TASK);
  Shape& done = company.add_element("Offer done", ElementType::END);
  received.connect(prepare);
  prepare.connect(done);
  Shape& needed = customer.add_element("Shipment needed", ElementType::START);
  Shape& wait = customer.add_element("Wait two days", ElementType::TIMER);
  Shape& closed = customer.add_element("Offer closed", ElementType::END);
  needed.connect(wait);
  wait.connect(closed);
  prepare.connect(tax);
  tax.connect(prepare);
  tax.connect(prepare);
  tax.connect(prepare, "quote");
  board.draw();
  ASSERT_EQ(prepare.box.centre_x(), wait.box.centre_x()) << "the event no longer stands below";
  std::vector<const Connection*> messages{&prepare.connection_to->back()};
  for (const Connection& c : *tax.connection_to) messages.push_back(&c);
  for (const Connection* c : messages) {
    ASSERT_GE(c->waypoints.size(), 2u);
    EXPECT_GE(distance_to(wait.box, c->waypoints), BLACK_BOX_CLEARANCE)
        << "a message runs along the event it passes";
    EXPECT_FALSE(route_crosses(*c, wait.label_box)) << "a message runs through a name";
  }
}

// A message to a black-box pool above goes round the shape stacked above its own: that shape's
// bottom is the message's, but its top stays free for a loop coming back over the row.
TEST(ConnectionRouting, AMessageGoingRoundAShapeLeavesItsFarSideFree) {
  BlackBoxBoard d(true);
  Swimboard& board = d.board;
  Participant& customer = *d.band;
  Lane& lane = *d.lane;
  StackedBranches branches(lane);
  Shape& pick = branches.pick;
  Shape& order = branches.order;
  Shape& join = lane.add_element("", ElementType::EXCLUSIVE);
  Shape& check = lane.add_element("Complete?", ElementType::EXCLUSIVE);
  pick.connect(join);
  order.connect(join);
  join.connect(check);
  Connection& rework = check.connect(pick, "rework");
  Connection& message = order.connect(customer, "order");
  board.draw();
  ASSERT_EQ(pick.box.centre_x(), order.box.centre_x()) << "the branches are no longer stacked";
  ASSERT_LT(pick.box.y, order.box.y);
  EXPECT_GT(message.waypoints.size(), 2u);  // round Pick goods
  EXPECT_EQ(rework.drawn_target_side, "top");
}

// A boundary event's flow drops straight into the task right below it, though a message from
// the event's task to a black-box pool further down passes that task: the message turns round
// it off the drop and off the lanes' border (the task's top was the message's, and the flow went
// round by the left).
TEST(ConnectionRouting, ABoundaryFlowDropsPastAMessageGoingRoundItsTarget) {
  Swimboard board{"Drop", 100, 100, false, "DEFAULT", "png"};
  Pool& company = board.add_pool("Company");
  Lane& clerk = company.add_lane("Clerk", "", 0, "", "", "", "");
  Lane& accounting = company.add_lane("Accounting", "", 0, "", "", "", "");
  Participant& customer = board.add_pool("Customer").make_black_box();
  Shape& start = clerk.add_element("Request received", ElementType::START);
  Shape& update = clerk.add_element("Update payment", ElementType::TASK);
  Shape& done = clerk.add_element("Payment done", ElementType::END);
  TypedEvent& escalated = clerk.add_boundary_event(update, "Escalated", EventTrigger::ESCALATION);
  Shape& handle = accounting.add_element("Handle escalation", ElementType::TASK);
  Shape& closed = accounting.add_element("Escalation closed", ElementType::END);
  start.connect(update);
  update.connect(done);
  Connection& drop = escalated.connect(handle);
  handle.connect(closed);
  Connection& message = update.connect(customer, "payment");
  board.draw();
  ASSERT_EQ(handle.box.centre_x(), update.box.centre_x()) << "the task no longer stands below";
  ASSERT_EQ(drop.waypoints.size(), 2u) << "the escalation goes round";
  EXPECT_EQ(drop.waypoints.front().x, drop.waypoints.back().x);
  EXPECT_EQ(crossings(drop, message), 0);
  EXPECT_GE(distance_to(handle.box, message.waypoints), BLACK_BOX_CLEARANCE);
  // Its turn halfway between the tasks is no place on the lanes' border, where it vanished.
  const double border = clerk.coord.y_pos + clerk.height;
  for (std::size_t k = 0; k + 1 < message.waypoints.size(); ++k) {
    const Point& a = message.waypoints[k];
    const Point& b = message.waypoints[k + 1];
    if (a.y == b.y && a.x != b.x) {
      EXPECT_GE(std::fabs(a.y - border), 6) << "a turn on the border";
    }
  }
}

// A flow into a gateway from up and to the left is laid before the gateway's branch to a task
// straight above it (three lanes up, so further away): it comes in by the left, leaving the top
// to the branch, rather than taking the top so that the branch leaves where it comes in.
TEST(ConnectionRouting, AFlowLaidFirstLeavesTheSideALaterBranchFacesFree) {
  Swimboard board{"Sides", 100, 100, false, "DEFAULT", "png"};
  Pool& pool = board.add_pool("Shop");
  Lane& top = pool.add_lane("Sales", "", 0, "", "", "", "");
  Lane& between = pool.add_lane("Legal", "", 0, "", "", "", "");
  Lane& middle = pool.add_lane("Billing", "", 0, "", "", "", "");
  Lane& bottom = pool.add_lane("Shipping", "", 0, "", "", "", "");
  Shape& report = top.add_element("Report", ElementType::TASK);
  Shape& start = middle.add_element("Order received", ElementType::START);
  Shape& bill = middle.add_element("Bill order", ElementType::TASK);
  Shape& urgent = bottom.add_element("Urgent?", ElementType::EXCLUSIVE);
  Shape& ship = bottom.add_element("Ship", ElementType::TASK);
  Shape& file = between.add_element("File", ElementType::TASK);
  start.connect(bill);
  ship.connect(file);
  Connection& in = bill.connect(urgent);
  urgent.connect(ship, "no");
  urgent.connect(report, "yes");
  board.draw();
  const Connection& up = (*urgent.connection_to)[1];
  ASSERT_EQ(up.target, &report);
  ASSERT_EQ(report.box.centre_x(), urgent.box.centre_x()) << "the task is no longer above";
  ASSERT_LT(bill.box.right(), urgent.box.x);
  EXPECT_EQ(up.drawn_source_side, "top");
  EXPECT_NE(in.drawn_target_side, "top");
  EXPECT_EQ(route_faults(board._pools), "");
}

// A message from a task with a small event right above its middle leaves the task's top beside
// the event and runs straight to the band, instead of going round the event.
TEST(ConnectionRouting, AMessageMovesAlongItsSideToRunStraight) {
  BlackBoxBoard d(true);
  Swimboard& board = d.board;
  Lane& lane = *d.lane;
  Shape& start = lane.add_element("Request received", ElementType::START);
  Shape& check = lane.add_element("Check request", ElementType::TASK);
  Shape& split = lane.add_element("Valid?", ElementType::EXCLUSIVE);
  Shape& end = lane.add_element("", ElementType::END);
  Shape& answer = lane.add_element("Send answer", ElementType::TASK);
  start.connect(check);
  check.connect(split);
  split.connect(end, "no");
  split.connect(answer, "yes");
  Connection& message = answer.connect(*d.band, "answer");
  board.draw();
  ASSERT_EQ(end.box.centre_x(), answer.box.centre_x()) << "the event is no longer above the task";
  ASSERT_LT(end.box.bottom(), answer.box.y);
  ASSERT_EQ(message.waypoints.size(), 2u) << "the message goes round the event";
  const Point& a = message.waypoints.front();
  EXPECT_GT(a.x, answer.box.x);
  EXPECT_LT(a.x, answer.box.right());
  EXPECT_TRUE(a.x <= end.box.x - 4 || a.x >= end.box.right() + 4);
  for (const Shape* s : lane.shapes) {
    if (s == &answer) continue;
    EXPECT_FALSE(s->box.x < a.x && a.x < s->box.right() && s->box.y < a.y)
        << "the message runs through " << s->name;
  }
}

// A task sends three messages to a black-box pool above and gets one from it, with a task of
// another pool right above it: the messages go round that task, some to the left and some to
// the right, and cross none of one another (they left from places along the top in the order
// they were found, so the left ones crossed the right ones' turns).
TEST(ConnectionRouting, MessagesGoingRoundAShapeFromOneSideCrossNoneOfOneAnother) {
  Swimboard board{"Claims", 100, 100, false, "DEFAULT", "png"};
  Participant& customer = board.add_pool("Customer (external)").make_black_box();
  Lane& company = board.add_pool("Company").add_lane("Quality", "", 0, "", "", "", "");
  Lane& clerk = board.add_pool("Customer").add_lane("Clerk", "", 0, "", "", "", "");
  Shape& received = company.add_element("Request received", ElementType::START);
  Shape& confirm = company.add_element("Confirm claim", ElementType::TASK);
  received.connect(confirm);
  confirm.connect(company.add_element("Claim confirmed", ElementType::END));
  Shape& needed = clerk.add_element("Report needed", ElementType::START);
  Shape& book = clerk.add_element("Book shipment", ElementType::TASK);
  needed.connect(book);
  book.connect(clerk.add_element("Shipment booked", ElementType::END));
  customer.connect(book, "request");
  for (const char* label : {"customer data", "documents", ""}) book.connect(customer, label);
  board.draw();
  std::vector<const Connection*> messages;
  for (const Connection& c : *customer.connection_to) messages.push_back(&c);
  for (const Connection& c : *book.connection_to) {
    if (c.target == &customer) messages.push_back(&c);
  }
  ASSERT_EQ(messages.size(), 4u);
  ASSERT_EQ(confirm.box.centre_x(), book.box.centre_x()) << "the tasks no longer stand stacked";
  int round = 0;
  for (const Connection* m : messages) round += m->waypoints.size() == 4 ? 1 : 0;
  ASSERT_EQ(round, 4) << "the messages no longer all go round the task above";
  for (std::size_t i = 0; i < messages.size(); ++i) {
    for (std::size_t j = i + 1; j < messages.size(); ++j) {
      EXPECT_EQ(crossings(*messages[i], *messages[j]), 0)
          << "\"" << messages[i]->label << "\" crosses \"" << messages[j]->label << "\"";
    }
  }
}

// A gateway stands right above the task its "yes" branch leads to, and the task sends a message
// to a black-box pool above both: the message leaves from further along the task's top, past
// the gateway, and the branch runs straight down into the middle of that top (it went round).
// The gateway's name, under it at first, is no reason to turn the message round the gateway.
TEST(ConnectionRouting, AMessageMovedAlongItsSideLeavesTheMiddleToAFlow) {
  Swimboard board{"Offers", 100, 100, false, "DEFAULT", "png"};
  Participant& applicant = board.add_pool("Applicant").make_black_box();
  Pool& company = board.add_pool("Company");
  Lane& manager = company.add_lane("Hiring manager", "", 0, "", "", "", "");
  Lane& hr = company.add_lane("HR", "", 0, "", "", "", "");
  Shape& interview = manager.add_element("Interview candidates", ElementType::TASK);
  Shape& found = manager.add_element("Candidate found?", ElementType::EXCLUSIVE);
  Shape& closed = manager.add_element("Position closed", ElementType::END);
  Shape& offer = hr.add_element("Send offer", ElementType::TASK);
  interview.connect(found);
  found.connect(closed, "no");
  Connection& yes = found.connect(offer, "yes");
  Connection& message = offer.connect(applicant, "offer");
  board.draw();
  ASSERT_EQ(found.box.centre_x(), offer.box.centre_x()) << "the gateway is no longer above";
  EXPECT_EQ(yes.waypoints.size(), 2u);
  EXPECT_EQ(yes.drawn_target_side, "top");
  ASSERT_EQ(message.waypoints.size(), 2u) << "the message goes round the gateway";
  const double x = message.waypoints.front().x;
  EXPECT_TRUE(x < found.box.x || x > found.box.right());
  EXPECT_GE(std::fabs(x - yes.waypoints.back().x), 12);
}

// The two loops back along a row, and a message from a black-box pool above down into a task
// the later loop would pass over: that loop goes under the row, where it crosses nothing, rather
// than over it across the message and the other loop.
TEST(ConnectionRouting, ALoopGoesRoundAMessageToABlackBoxPoolRatherThanAcrossIt) {
  BlackBoxBoard d(true);
  const std::vector<Shape*> s = two_loops_along_a_row(*d.lane);
  Connection& contract = d.band->connect(*s[8], "contract");
  d.board.draw();
  ASSERT_GE(contract.waypoints.size(), 2u);
  EXPECT_EQ(crossings(d.board._pools), 0);
  EXPECT_EQ(crossings(s[9]->connection_to->at(0), contract), 0);
}

// Where the gap before the shape in a message's way holds routes every 12 px, so no turn keeps
// clear of them all, the message turns between two of them, never on top of one.
TEST(ConnectionRouting, AMessageTurnsBetweenRoutesFillingItsGap) {
  BlackBoxBoard d(true);
  Swimboard& board = d.board;
  Participant& band = *d.band;
  Lane& lane = *d.lane;
  StackedBranches branches(lane);
  Shape& start = branches.start;
  Shape& pick = branches.pick;
  Shape& order = branches.order;
  for (int k = 0; k < 12; ++k) start.connect(pick);
  Connection& message = order.connect(band, "order");
  board.draw();
  std::vector<Connection*> fillers;
  for (Connection& c : *start.connection_to) {
    if (c.target == &pick) fillers.push_back(&c);
  }
  ASSERT_EQ(pick.box.centre_x(), order.box.centre_x()) << "the branches are no longer stacked";
  ASSERT_LT(pick.box.bottom(), order.box.y);
  // Routes across the whole gap between the two tasks, 12 px apart through its middle.
  const double middle = (pick.box.bottom() + order.box.y) / 2;
  const double x0 = pick.box.x - 200, x1 = pick.box.right() + 200;
  for (std::size_t k = 0; k < fillers.size(); ++k) {
    const double y = middle + 12 * (static_cast<double>(k) - 6);
    fillers[k]->waypoints = {{x0, y}, {x1, y}};
    fillers[k]->label_box.reset();
  }
  route_black_box_messages(board._pools, board.painter());
  ASSERT_GT(message.waypoints.size(), 2u);  // round Pick goods
  for (std::size_t k = 0; k + 1 < message.waypoints.size(); ++k) {
    const Point& a = message.waypoints[k];
    const Point& b = message.waypoints[k + 1];
    if (a.y != b.y) continue;
    for (const Connection* f : fillers) {
      EXPECT_NE(a.y, f->waypoints.front().y) << "the message's turn runs on top of a route";
    }
  }
}

// A label of thousands of characters, on a flow and on a message to a black-box pool, takes a
// box of a few lines beside its route (it ran down the whole picture).
TEST(ConnectionRouting, AVeryLongLabelTakesAFewLines) {
  BlackBoxBoard d(true);
  Swimboard& board = d.board;
  Lane& lane = *d.lane;
  Shape& a = lane.add_element("Receive", ElementType::TASK);
  Shape& b = lane.add_element("Answer", ElementType::TASK);
  const std::string text(2000, 'x');
  a.connect(b, text);
  b.connect(*d.band, text);
  board.draw();
  const TextStyle style = connection_label_style(board.painter());
  const double line = board.painter().measure_text("Hg", style, 100).height;
  int labels = 0;
  for (Shape* s : {&a, &b}) {
    for (const Connection& c : *s->connection_to) {
      ASSERT_TRUE(c.label_box.has_value());
      ++labels;
      EXPECT_LE(c.label_box->height, 4 * line + 8);
      EXPECT_LE(c.label_box->bottom(), board.height);
    }
  }
  EXPECT_EQ(labels, 2);
}

// Messages to a black-box pool from shapes a caller gave a huge or a broken box end, and those
// from the other shapes are still drawn.
TEST(ConnectionRouting, MessagesToABlackBoxPoolSurviveOddBoxes) {
  BlackBoxBoard d(true);
  Swimboard& board = d.board;
  Participant& band = *d.band;
  Lane& lane = *d.lane;
  Shape& a = lane.add_element("a", ElementType::TASK);
  Shape& huge = lane.add_element("huge", ElementType::TASK);
  Shape& broken = lane.add_element("broken", ElementType::TASK);
  a.connect(huge);
  huge.connect(broken);
  Connection& from_a = a.connect(band, "note");
  huge.connect(band, "wide");
  Connection& reply = band.connect(broken, "reply");
  board.draw();
  huge.box = {-1e8, -1e8, 2e8, 2e8};
  broken.box = {std::nan(""), 0, 10, 10};
  EXPECT_NO_THROW(route_black_box_messages(board._pools, board.painter()));
  EXPECT_GE(from_a.waypoints.size(), 2u);
  EXPECT_TRUE(reply.waypoints.empty());  // no place to start from
}

// A task "a" in a lane below a black-box pool, with a message to it, and three more tasks
// ("walls") a test moves about the message's way once the diagram is drawn.
struct WalledMessage {
  BlackBoxBoard d{true};
  Swimboard& board = d.board;
  Shape& a = d.lane->add_element("a", ElementType::TASK);
  std::vector<Shape*> walls;
  Connection* message = nullptr;

  WalledMessage() {
    for (const char* name : {"w1", "w2", "w3"})
      walls.push_back(&d.lane->add_element(name, ElementType::TASK));
    a.connect(*walls[0]);
    walls[0]->connect(*walls[1]);
    walls[1]->connect(*walls[2]);
    message = &a.connect(*d.band, "note");
    board.draw();
  }
};

// A message from a shape a caller moved 10^8 px below the band, walled in on every side of its
// way, looks for a turn near the middle of the gap only (it looked across the whole gap, which
// took minutes), and is still drawn from its shape to the band.
TEST(ConnectionRouting, AMessageWalledInAcrossAHugeGapIsDrawnQuickly) {
  WalledMessage w;
  Swimboard& board = w.board;
  Shape& a = w.a;
  const std::vector<Shape*>& walls = w.walls;
  Connection& message = *w.message;
  const double x = a.box.centre_x();
  a.box = {x - 50, 1e8, 100, 80};
  // One across the way, and one beside it either side, from the band down past the shape.
  walls[0]->box = {x - 100, 1000, 200, 1000};
  walls[1]->box = {x + 110, 0, 300, 2e8};
  walls[2]->box = {x - 410, 0, 300, 2e8};
  route_black_box_messages(board._pools, board.painter());
  ASSERT_GE(message.waypoints.size(), 2u);
  EXPECT_EQ(message.waypoints.front().y, a.box.y);
}

// A message whose way to the band is walled in beside it for a long stretch goes out past the
// walls to the gap beyond them rather than straight through the shape in its way (no way within
// a few steps of that shape was clear, and it was drawn straight through it).
TEST(ConnectionRouting, AMessageWalledInNearItsWayGoesToTheGapBeyond) {
  WalledMessage w;
  BlackBoxBoard& d = w.d;
  Swimboard& board = w.board;
  Shape& a = w.a;
  const std::vector<Shape*>& walls = w.walls;
  Connection& message = *w.message;
  const double x = a.box.centre_x();
  const double top = d.band->box.bottom() + 50;
  a.box = {x - 50, top + 2000, 100, 80};
  // One in the way, and one either side of the way from above it nearly to the band.
  walls[0]->box = {x - 50, top + 1000, 100, 80};
  walls[1]->box = {x + 60, top, 100, 1300};
  walls[2]->box = {x - 160, top, 100, 1300};
  route_black_box_messages(board._pools, board.painter());
  ASSERT_GE(message.waypoints.size(), 2u);
  EXPECT_EQ(message.waypoints.front().y, a.box.y);
  EXPECT_EQ(message.waypoints.back().y, d.band->box.bottom());
  for (const Shape* wall : walls) {
    EXPECT_GE(distance_to(wall->box, message.waypoints), BLACK_BOX_CLEARANCE) << wall->name;
  }
}

// A message turning round a gateway below its task does not run down on the branch that leaves
// the gateway upwards: it turns before reaching it (it ran on top of the branch to a turn below
// the branch's own). The gateway's box is as wide as the task, so no way past it is straight.
TEST(ConnectionRouting, AMessageTurnsBeforeAFlowComingUpFromTheShapeInItsWay) {
  BlackBoxBoard d(false);
  Swimboard& board = d.board;
  Lane& lane = *d.lane;
  Shape& task = lane.add_element("Record request", ElementType::TASK);
  Shape& gateway = lane.add_element("", ElementType::EXCLUSIVE);
  Shape& next = lane.add_element("Assess", ElementType::TASK);
  Connection& branch = gateway.connect(next, "no");
  Connection& message = task.connect(*d.band, "payment");
  board.draw();
  const double x = task.box.centre_x();
  const double top = 300;
  task.box = {x - 50, top, 100, 80};
  gateway.box = {x - 50, top + 155, 100, 50};
  next.box = {x + 400, top, 100, 80};
  d.band->box.y = top + 600;
  // The branch leaves the gateway's top and turns 30 px below the task.
  branch.waypoints = {{x, top + 155}, {x, top + 110}, {x + 400, top + 110}, {x + 400, top + 80}};
  route_black_box_messages(board._pools, board.painter());
  ASSERT_GE(message.waypoints.size(), 2u);
  for (std::size_t i = 0; i + 1 < message.waypoints.size(); ++i) {
    const Point& a = message.waypoints[i];
    const Point& b = message.waypoints[i + 1];
    if (a.x != x || b.x != x) continue;
    const double lo = std::max(std::min(a.y, b.y), top + 110);
    const double hi = std::min(std::max(a.y, b.y), top + 155);
    EXPECT_LE(hi - lo, 0) << "the message runs on the branch from " << lo << " to " << hi;
  }
}

// Two messages leave a subprocess for a black-box pool below, where end events of the pools in
// between stand under its middle and a name beside them: the second message has no straight
// way of its own (the first took the one left of the events), so it turns round them from the
// side's middle, and the data association into the subprocess keeps off that side rather than
// running up 6 px beside it.
TEST(ConnectionRouting, AFlowKeepsOffASideWhoseMessagesCannotAllMoveOffItsMiddle) {
  Swimboard board{"Payments", 100, 100, false, "DEFAULT", "png"};
  Lane& accounting = board.add_pool("Company").add_lane("Accounting", "", 0, "", "", "", "");
  Lane& clerk = board.add_pool("Customer").add_lane("Clerk", "", 0, "", "", "", "");
  Lane& it = board.add_pool("Supplier").add_lane("IT", "", 0, "", "", "", "");
  Participant& office = board.add_pool("Tax office").make_black_box();
  Shape& received = accounting.add_element("Request received", ElementType::START);
  Shape& update = accounting.add_element("Update report", ElementType::TASK);
  Shape& receive = accounting.add_element("Receive payment", ElementType::SUBPROCESS);
  Shape& quote = accounting.add_element("quote record", ElementType::DATA_OBJECT);
  Shape& delivered = accounting.add_element("delivery done", ElementType::END);
  Shape& claim = clerk.add_element("claim needed", ElementType::START);
  Shape& confirm = clerk.add_element("Confirm report", ElementType::TASK);
  Shape& contract = clerk.add_element("contract done", ElementType::END);
  Shape& budget = it.add_element("budget needed", ElementType::START);
  Shape& escalate = it.add_element("Escalate contract", ElementType::TASK);
  Shape& invoice = it.add_element("invoice done", ElementType::END);
  received.connect(update);
  update.connect(receive);
  Connection& data = quote.connect(receive);
  receive.connect(delivered);
  claim.connect(confirm);
  confirm.connect(contract);
  budget.connect(escalate);
  escalate.connect(invoice);
  update.connect(confirm, "documents");
  confirm.connect(escalate);
  confirm.connect(escalate);
  confirm.connect(escalate, "payment");
  update.connect(office);
  receive.connect(office, "request");
  receive.connect(office);
  office.connect(confirm);
  board.draw();
  ASSERT_GE(data.waypoints.size(), 2u);
  EXPECT_EQ(bands(board._pools), 0);
}

// Reports the faults of random diagram `i`, drawing it for a look; counts the failures.
void report_faults(const std::string& faults, const std::string& kind, int i,
                   const std::vector<std::unique_ptr<Pool>>& pools, int& failures) {
  if (faults.empty()) return;
  ++failures;
  const std::string svg =
      std::string(ORVANE_BINARY_DIR) + "/routing-" + kind + "failure-" + std::to_string(i) + ".svg";
  std::ofstream(svg) << routing_debug_svg(pools);
  ADD_FAILURE() << "diagram " << i << " (drawn in " << svg << "):\n" << faults;
}

// How large random diagrams are drawn: the ranges the counts are picked from, and the share of
// grid cells left empty.
struct RandomSize {
  int min_columns = 2;
  int max_columns = 8;
  int max_pools = 3;
  int max_lanes = 3;
  int max_rows = 3;
  int empty_percent = 45;
};

// Random diagrams: pools of lanes of rows, shapes of every kind in random cells, random flows
// with and without labels.
std::vector<Shape*> build_random(Diagram& d, std::mt19937& rng, const RandomSize& size = {}) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::vector<ElementType> types = {
      ElementType::START,      ElementType::END,        ElementType::TASK,
      ElementType::SUBPROCESS, ElementType::EXCLUSIVE,  ElementType::PARALLEL,
      ElementType::TIMER,      ElementType::TERMINATOR, ElementType::DATA_OBJECT};
  const std::vector<std::string> names = {"", "Go", "Check order",
                                          "Ship the parcel to the customer",
                                          "A rather long name that wraps over lines"};
  const std::vector<std::string> labels = {"", "", "yes", "no", "approved", "after two days"};
  const int columns = pick(size.min_columns, size.max_columns);
  std::vector<Shape*> all;
  const int pool_count = pick(1, size.max_pools);
  for (int pi = 0; pi < pool_count; ++pi) {
    Pool& p = d.pool("pool" + std::to_string(pi));
    const int lane_count = pick(1, size.max_lanes);
    for (int li = 0; li < lane_count; ++li) {
      const int rows = pick(1, size.max_rows);
      Lane& l = d.lane(p, "lane", rows, std::max(columns, 10));
      for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
          if (pick(0, 99) < size.empty_percent) continue;
          const std::string name =
              names[static_cast<size_t>(pick(0, 4))] + "#" + std::to_string(all.size());
          all.push_back(&d.shape(l, name, types[static_cast<size_t>(pick(0, 8))], r, c));
        }
      }
    }
    d.end_pool();
  }
  if (all.empty()) return all;
  const int n = static_cast<int>(all.size());
  for (Shape* s : all) {
    const int outs = pick(0, 3);
    for (int k = 0; k < outs; ++k) {
      Shape* t = pick(0, 30) == 0 ? s : all[static_cast<size_t>(pick(0, n - 1))];
      s->connect(*t, labels[static_cast<size_t>(pick(0, 5))]);
    }
    // Marks at the start: a decision's last flow is its default, a task's first is conditional.
    if (s->connection_to->size() >= 2) {
      if (s->kind() == ShapeKind::GATEWAY) s->connection_to->back().is_default = true;
      if (s->kind() == ShapeKind::ACTIVITY) s->connection_to->front().condition = "late";
    }
  }
  return all;
}

TEST(ConnectionRouting, RandomDiagramsKeepEveryRoutingRule) {
  std::mt19937 rng(20261208);
  int failures = 0;
  for (int i = 0; i < 500 / kDiagramShare && failures < 3; ++i) {
    Diagram d;
    build_random(d, rng);
    d.route();
    report_faults(route_faults(d.pools), "", i, d.pools, failures);
  }
}

// Wide and tall lanes with few shapes: most flows join shapes thousands of pixels apart, across,
// down or both, and run along corridors between the regions round their ends.
TEST(ConnectionRouting, FlowsBetweenFarApartShapesKeepEveryRoutingRule) {
  std::mt19937 rng(3000);
  int failures = 0;
  int far = 0;
  for (int i = 0; i < 40 / kDiagramShare && failures < 3; ++i) {
    Diagram d;
    const std::vector<Shape*> all = build_random(d, rng, {20, 70, 2, 2, 30, 95});
    for (Shape* s : all) {
      for (const Connection& c : *s->connection_to) {
        const Box& a = c.source->box;
        const Box& b = c.target->box;
        if (std::max(a.x, b.x) - std::min(a.right(), b.right()) > 3000 ||
            std::max(a.y, b.y) - std::min(a.bottom(), b.bottom()) > 3000)
          ++far;
      }
    }
    d.route();
    std::string faults = route_faults(d.pools);
    for (Shape* s : all) {
      for (const Connection& c : *s->connection_to) {
        // Out of one end's region, along a corridor across and one down (three parts of a
        // few bends each), into the other's: no zigzag.
        if (c.waypoints.size() > 16)
          faults += fmt::format("{}->{}: {} points\n", c.source->name, c.target->name,
                                c.waypoints.size());
      }
    }
    report_faults(faults, "far-", i, d.pools, failures);
  }
  EXPECT_GT(far, 500 / kDiagramShare);
}

// Hundreds of long flows through one lane of one row: far more than its channels hold
// MIN_SEPARATION apart. They are stacked in the order they were laid in over the room there is,
// and still keep out of every shape and inside their pool, the same on every run.
TEST(ConnectionRouting, ChannelsFarTooNarrowForTheirFlowsStillKeepFlowsOutOfShapes) {
  constexpr int COLUMNS = 1600;
  constexpr int LONG_FLOWS = COLUMNS / 2;
  Diagram d;
  Pool& p = d.pool("pool");
  Lane& l = d.lane(p, "lane", 1, COLUMNS);
  std::vector<Shape*> row;
  for (int c = 0; c < COLUMNS; ++c)
    row.push_back(&d.shape(l, "s" + std::to_string(c), ElementType::TASK, 0, c));
  d.end_pool();
  for (int c = 0; c + 1 < COLUMNS; ++c)
    row[static_cast<size_t>(c)]->connect(*row[static_cast<size_t>(c) + 1], "");
  for (int c = 0; c < LONG_FLOWS; ++c)
    row[static_cast<size_t>(c)]->connect(*row[static_cast<size_t>(c + LONG_FLOWS)], "");
  d.route();

  // Every rule but parting holds (the lane has no room for that).
  std::string faults;
  std::istringstream lines(route_faults(d.pools));
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" runs on ") == std::string::npos) faults += line + "\n";
  }
  EXPECT_EQ(faults, "");
  // The long runs are spread over the channels, not piled on a few lines.
  auto long_runs = [&] {
    std::vector<std::vector<Point>> routes;
    std::set<double> heights;
    for (int c = 0; c < LONG_FLOWS; ++c) {
      const auto& w = row[static_cast<size_t>(c)]->connection_to->back().waypoints;
      routes.push_back(w);
      for (size_t i = 0; i + 1 < w.size(); ++i) {
        if (w[i].y == w[i + 1].y && std::abs(w[i].x - w[i + 1].x) > 3000) heights.insert(w[i].y);
      }
    }
    return std::pair{routes, heights.size()};
  };
  const auto [first, heights] = long_runs();
  EXPECT_GT(heights, 20u);
  d.route();
  EXPECT_EQ(long_runs().first, first);
}

TEST(ConnectionRouting, ShapesOffTheGridStillGetOrthogonalRoutes) {
  std::mt19937 rng(7);
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng); };
  for (int i = 0; i < 200 / kDiagramShare; ++i) {
    Diagram d;
    Lane& l = d.lane(d.pool("P"), "L", 1);
    std::vector<Shape*> shapes;
    for (int k = 0; k < 12; ++k) {
      Shape& s = d.shape(l, fmt::format("s{}", k), ElementType::TASK, 0, 0);
      s.box = {real(-300, 900), real(-300, 900), real(-5, 200), real(-5, 200)};
      s.label_box = {s.box.x, s.box.bottom(), real(0, 300), real(0, 40)};
      shapes.push_back(&s);
    }
    for (int k = 0; k < 20; ++k) {
      shapes[rng() % shapes.size()]->connect(*shapes[rng() % shapes.size()], k % 2 ? "x" : "");
    }
    d.route();
    for (Shape* s : shapes) {
      for (const Connection& c : *s->connection_to) {
        if (c.source->box.width <= 0 || c.source->box.height <= 0 || c.target->box.width <= 0 ||
            c.target->box.height <= 0) {
          EXPECT_TRUE(c.waypoints.empty());
          continue;
        }
        ASSERT_GE(c.waypoints.size(), 2u);
        std::string route = fmt::format("diagram {} {}->{}:", i, c.source->name, c.target->name);
        for (const Point& q : c.waypoints) route += fmt::format(" {},{}", q.x, q.y);
        for (size_t k = 0; k + 1 < c.waypoints.size(); ++k) {
          EXPECT_TRUE(c.waypoints[k].x == c.waypoints[k + 1].x ||
                      c.waypoints[k].y == c.waypoints[k + 1].y)
              << route;
        }
        const auto& w = c.waypoints;
        EXPECT_TRUE(leaves_by(w.back(), w[w.size() - 2], c.target->box, c.drawn_target_side) ||
                    c.source == c.target || !c.route_note.empty())
            << route << " into the " << c.drawn_target_side << " of " << c.target->box.x << ","
            << c.target->box.y << " " << c.target->box.width << "x" << c.target->box.height;
      }
    }
  }
}

// Whole diagrams through the layout and the draw pipeline: flows grown from a start event
// across pools and lanes, with loops back and message flows.
TEST(ConnectionRouting, RandomSwimboardDiagramsKeepEveryRoutingRule) {
  std::mt19937 rng(8122026);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::vector<ElementType> types = {
      ElementType::TASK,      ElementType::TASK,     ElementType::SUBPROCESS,
      ElementType::EXCLUSIVE, ElementType::PARALLEL, ElementType::INTERMEDIATE,
      ElementType::END,       ElementType::TIMER,    ElementType::DATA_OBJECT};
  const std::vector<std::string> labels = {"", "", "yes", "no", "approved", "after two days"};
  int failures = 0;
  int drawn = 0;
  int routed = 0;
  for (int i = 0; i < 500 / kDiagramShare && failures < 3; ++i) {
    Swimboard board("Random", 100, 100, false, "DEFAULT", "png");
    std::vector<Lane*> lanes;
    const int pool_count = pick(1, 2);
    for (int p = 0; p < pool_count; ++p) {
      Pool& pool = board.add_pool("pool " + std::to_string(p));
      const int lane_count = pick(1, 3);
      for (int l = 0; l < lane_count; ++l) {
        lanes.push_back(&pool.add_lane("lane " + std::to_string(l), "", 0, "", "", "", ""));
      }
    }
    std::vector<Shape*> shapes;
    const int n = pick(4, 24);
    for (int k = 0; k < n; ++k) {
      // Every lane gets a shape first, so no pool starts with an empty lane.
      Lane* lane = k < static_cast<int>(lanes.size())
                       ? lanes[static_cast<size_t>(k)]
                       : lanes[static_cast<size_t>(pick(0, static_cast<int>(lanes.size()) - 1))];
      const ElementType type = k == 0 ? ElementType::START : types[static_cast<size_t>(pick(0, 8))];
      shapes.push_back(&lane->add_element(fmt::format("s{}", k), type));
      if (k > 0) {
        shapes[static_cast<size_t>(pick(0, k - 1))]->connect(
            *shapes.back(), labels[static_cast<size_t>(pick(0, 5))]);
      }
    }
    for (int k = 0; k < n / 3; ++k) {
      shapes[static_cast<size_t>(pick(0, n - 1))]->connect(
          *shapes[static_cast<size_t>(pick(0, n - 1))], labels[static_cast<size_t>(pick(0, 5))]);
    }
    try {
      board.draw();
    } catch (const std::exception&) {
      continue;  // diagrams the layout refuses are not the router's concern
    }
    ++drawn;
    for (Shape* s : shapes)
      routed += static_cast<int>(
          std::count_if(s->connection_to->begin(), s->connection_to->end(),
                        [](const Connection& c) { return c.waypoints.size() >= 2; }));
    report_faults(route_faults(board._pools), "board-", i, board._pools, failures);
  }
  EXPECT_GT(drawn, 400 / kDiagramShare);
  EXPECT_GT(routed, 10 * drawn);
}

// Random collaborations with a black-box pool that exchanges labelled messages with the
// process: no label, of a flow or of a message, lies over another connection's route. (Messages
// run straight to their band: labels are placed once they are laid.)
TEST(ConnectionRouting, RandomCollaborationsKeepLabelsOffEveryRoute) {
  std::mt19937 rng(9122026);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::vector<ElementType> types = {
      ElementType::TASK,      ElementType::TASK,     ElementType::SUBPROCESS,
      ElementType::EXCLUSIVE, ElementType::PARALLEL, ElementType::MESSAGE_INTERMEDIATE,
      ElementType::END,       ElementType::TIMER};
  const std::vector<std::string> labels = {"", "yes", "no", "approved", "after two days"};
  int labelled = 0;
  std::string hits;
  for (int i = 0; i < 150; ++i) {
    Swimboard board("Random", 100, 100, false, "DEFAULT", "png");
    const bool above = pick(0, 1) == 0;
    Participant* band = above ? &board.add_pool("Partner").make_black_box() : nullptr;
    Pool& pool = board.add_pool("Company");
    std::vector<Lane*> lanes;
    for (int l = pick(1, 3); l > 0; --l) {
      lanes.push_back(&pool.add_lane("lane " + std::to_string(l), "", 0, "", "", "", ""));
    }
    if (!above) band = &board.add_pool("Partner").make_black_box();
    std::vector<Shape*> shapes;
    const int n = pick(6, 22);
    for (int k = 0; k < n; ++k) {
      Lane* lane = k < static_cast<int>(lanes.size())
                       ? lanes[static_cast<size_t>(k)]
                       : lanes[static_cast<size_t>(pick(0, static_cast<int>(lanes.size()) - 1))];
      const ElementType type =
          k == 0 ? ElementType::START
                 : types[static_cast<size_t>(pick(0, static_cast<int>(types.size()) - 1))];
      shapes.push_back(&lane->add_element(fmt::format("s{}", k), type));
      if (k > 0) {
        shapes[static_cast<size_t>(pick(std::max(0, k - 3), k - 1))]->connect(
            *shapes.back(), labels[static_cast<size_t>(pick(0, 4))]);
      }
    }
    for (int m = pick(2, 5); m > 0; --m) {
      Shape& s = *shapes[static_cast<size_t>(pick(1, n - 1))];
      if (s.kind() != ShapeKind::ACTIVITY && s.kind() != ShapeKind::EVENT) continue;
      if (pick(0, 1) == 0) {
        s.connect(*band, "order");
      } else {
        band->connect(s, "answer");
      }
    }
    try {
      board.draw();
    } catch (const std::exception&) {
      continue;  // diagrams the layout refuses are not the router's concern
    }
    std::vector<const Connection*> all;
    for (const Connection& c : *band->connection_to) all.push_back(&c);
    for (Shape* s : shapes_of(board._pools)) {
      for (const Connection& c : *s->connection_to) all.push_back(&c);
    }
    for (const Connection* c : all) {
      if (c->label.empty() || !c->label_box) continue;
      ++labelled;
      for (const Connection* other : all) {
        if (other == c) continue;
        const auto& w = other->waypoints;
        for (size_t k = 0; k + 1 < w.size(); ++k) {
          if (crosses(w[k], w[k + 1], *c->label_box)) {
            hits += fmt::format("diagram {}: \"{}\" of {}->{} lies on {}->{}\n", i, c->label,
                                c->source->name, c->target->name, other->source->name,
                                other->target->name);
            break;
          }
        }
      }
    }
  }
  EXPECT_GT(labelled, 1000);
  EXPECT_EQ(hits, "");
}

TEST(ConnectionPainting, SequenceFlowIsSolidWithAFilledArrowAtTheTarget) {
  Diagram d;
  Pool& p = d.pool("P");
  Lane& l = d.lane(p, "L", 1);
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 1);
  a.connect(b, "yes");
  d.route();
  d.painter.calls.clear();
  l.draw_connection({&a, &b});
  ASSERT_EQ(d.painter.calls.size(), 3u);
  const auto& arrow = d.painter.calls[0];
  const auto& line = d.painter.calls[1];
  EXPECT_EQ(arrow.what, "polygon");
  EXPECT_EQ(arrow.fill, "#123456");
  EXPECT_EQ(arrow.points[0], (Point{b.box.x, b.box.centre_y()}));  // tip on the target
  EXPECT_EQ(line.what, "polyline");
  EXPECT_TRUE(line.line.dash.empty());
  EXPECT_EQ(line.line.colour, "#123456");
  EXPECT_LT(line.points.back().x, b.box.x);  // the line stops at the arrow's base
  EXPECT_EQ(d.painter.calls[2].what, "text:yes");
}

TEST(ConnectionPainting, MessageFlowIsDashedWithOpenCircleAndOpenArrow) {
  Diagram d;
  Lane& l1 = d.lane(d.pool("A"), "L", 1);
  d.end_pool();
  Lane& l2 = d.lane(d.pool("B"), "L", 1);
  Shape& a = d.shape(l1, "a", ElementType::TASK, 0, 0);
  Shape& b = d.shape(l2, "b", ElementType::TASK, 0, 0);
  a.outline_colour = "#aa0000";
  a.connect(b);
  d.route();
  d.painter.calls.clear();
  l1.draw_connection({&a, &b});
  ASSERT_EQ(d.painter.calls.size(), 3u);
  EXPECT_EQ(d.painter.calls[0].what, "polygon");
  EXPECT_EQ(d.painter.calls[0].fill, "#ffffff");
  EXPECT_EQ(d.painter.calls[1].what, "ellipse");
  EXPECT_EQ(d.painter.calls[1].fill, "#ffffff");
  EXPECT_EQ(d.painter.calls[2].what, "polyline");
  EXPECT_FALSE(d.painter.calls[2].line.dash.empty());
  EXPECT_EQ(d.painter.calls[2].line.colour, "#aa0000");
}

TEST(ConnectionPainting, OnlyShapesInTheGivenListPaintTheirConnections) {
  Diagram d;
  Lane& l = d.lane(d.pool("P"), "L", 1);
  Shape& a = d.shape(l, "a", ElementType::TASK, 0, 0);
  Shape& b = d.shape(l, "b", ElementType::TASK, 0, 1);
  a.connect(b);
  b.connect(a);
  d.route();
  d.painter.calls.clear();
  l.draw_connection({&b});
  const auto lines = std::count_if(d.painter.calls.begin(), d.painter.calls.end(),
                                   [](const auto& c) { return c.what == "polyline"; });
  EXPECT_EQ(lines, 1);
  d.painter.calls.clear();
  l.draw_connection({&a, &b});
  EXPECT_EQ(std::count_if(d.painter.calls.begin(), d.painter.calls.end(),
                          [](const auto& c) { return c.what == "polyline"; }),
            2);
}

}  // namespace
}  // namespace orvane
