#include "labels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <span>

#include "box_index.hpp"
#include "orvane/painter.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"

namespace orvane::routing {

// What is already placed: solid things (shapes, name strips, names, labels, the marks at flows'
// starts) that nothing may cover, and lines (routes, lane borders) and arrowheads that labels
// prefer to keep off. A route's lines know whose they are, so that a label beside its own route
// is not kept off it.
class Places {
 public:
  Places() : solid_(64), lines_(128) {}

  void add_solid(const Box& b) { solid_.add(b); }
  void add_solids(const std::vector<Box>& boxes) { solid_.add_all(boxes); }
  /// The owner of the lines of pool and lane borders.
  static constexpr int BORDER = -2;

  void add_line(const Point& a, const Point& b, int owner = -1) {
    lines_.add(segment_box(a, b, 1));
    owners_.push_back(owner);
  }
  /// Arrowheads and a message's circle: kept off where there is room, never at the cost of
  /// a place over a route.
  void add_heads(const std::vector<Box>& boxes) { heads_.add_all(boxes); }
  /// Every segment of `routes`, each owned by its route.
  void add_routes(const std::vector<DrawnRoute>& routes) {
    std::vector<Box> boxes;
    for (std::size_t r = 0; r < routes.size(); ++r) {
      const auto& p = routes[r].points;
      for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        boxes.push_back(segment_box(p[i], p[i + 1], 1));
        owners_.push_back(static_cast<int>(r));
      }
    }
    lines_.add_all(boxes);
  }

  bool solid_free(const Box& b) const { return !solid_.hits(b); }
  /// How many lines (route segments, borders) and arrowheads `b` meets.
  int lines_met(const Box& b) const {
    int n = 0;
    const auto count = [&](int) {
      ++n;
      return false;
    };
    lines_.find(b, count);
    heads_.find(b, count);
    return n;
  }
  bool heads_free(const Box& b) const { return !heads_.hits(b); }
  /// Whether a name's box keeps off every route, border and arrowhead.
  bool name_free(const Box& b) const { return lines_free(b) && heads_free(b); }
  /// Whether `b` keeps off every line but those of route `own`.
  bool lines_free(const Box& b, int own = -1) const {
    return !lines_.find(
        b, [&](int id) { return own < 0 || owners_[static_cast<std::size_t>(id)] != own; });
  }
  /// Whether `b` keeps off every route but `own` (borders aside).
  bool routes_free(const Box& b, int own) const {
    return !lines_.find(b, [&](int id) {
      const int owner = owners_[static_cast<std::size_t>(id)];
      return owner != BORDER && owner != own;
    });
  }

 private:
  BoxIndex solid_;
  BoxIndex lines_;
  BoxIndex heads_;
  std::vector<int> owners_;  // by line number: the route, or -1
};

namespace {

constexpr double GAP = 4;  // between a name and its shape, a label and its route
constexpr double PAD = 2;  // around a measured connection label
// How far a label beside its route keeps off borders, and further off other routes, where it
// can: between its own route 4 px away and another 6 px away it read as the other's.
constexpr double LABEL_KEEP_OFF = 4;
constexpr double LABEL_KEEP_OFF_ROUTES = 8;

// Of the candidates that `fits` takes, the first that meets the fewest lines and arrowheads.
template <typename Fits>
std::optional<Box> fewest_lines(std::span<const Box> candidates, const Places& places,
                                const Fits& fits) {
  std::optional<Box> best;
  int best_met = std::numeric_limits<int>::max();
  for (const Box& b : candidates) {
    if (!fits(b)) continue;
    const int met = places.lines_met(b);
    if (met < best_met) {
      best = b;
      best_met = met;
      if (met == 0) break;
    }
  }
  return best;
}

// The first candidate clear of everything, else the one clear of solid things over the fewest
// lines: a name moved off one route should not land under a bundle of others.
std::optional<Box> first_free(std::span<const Box> candidates, const Places& places,
                              const Box& area) {
  return fewest_lines(candidates, places,
                      [&](const Box& b) { return contains(area, b) && places.solid_free(b); });
}

// Whether a segment of `points` passes through the inside of `b`.
bool crosses(const std::vector<Point>& points, const Box& b) {
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    if (overlaps(segment_box(points[i], points[i + 1], 0), b)) return true;
  }
  return false;
}

// Hands `visit` the places of a w x h box on rings round `centre`, 10 px apart, nearest first,
// as far out as `reach`, with the ring's distance, until it returns true.
template <typename Visit>
void visit_rings(const Point& centre, double w, double h, double reach, const Visit& visit) {
  const int rings = static_cast<int>(reach / 10);
  for (int ring = 1; ring <= rings; ++ring) {
    const double d = ring * 10.0;
    const int steps = 16 * std::min(ring, 4);  // denser further out
    for (int k = 0; k < steps; ++k) {
      const double angle = k * 2 * 3.14159265358979 / steps;
      const Box b{centre.x + d * std::cos(angle) - w / 2, centre.y + d * std::sin(angle) - h / 2, w,
                  h};
      if (visit(b, d)) return;
    }
  }
}

// The nearest place that `fits` on rings round `centre`, as far out as `reach`.
template <typename Fits>
std::optional<Box> search_around(const Point& centre, double w, double h, double reach,
                                 const Fits& fits) {
  std::optional<Box> found;
  visit_rings(centre, w, h, reach, [&](const Box& b, double) {
    if (fits(b)) found = b;
    return found.has_value();
  });
  return found;
}

// The name is drawn hanging from the top of its box: a box just round the text keeps it where
// it was measured, and the exports carry where it really is.
Box framed(const Box& ink) {
  return {std::floor(ink.x - 1), std::floor(ink.y), std::ceil(ink.width + 2),
          std::ceil(ink.height + 1)};
}

// The place on rings round `centre` (as search_around) that `fits` takes and that meets the
// fewest lines and arrowheads, each weighed as `per_line` pixels further out; nearest first.
template <typename Fits>
std::optional<Box> least_crossed_around(const Point& centre, double w, double h, double reach,
                                        double per_line, const Places& places, const Fits& fits) {
  std::optional<Box> best;
  double best_cost = std::numeric_limits<double>::infinity();
  visit_rings(centre, w, h, reach, [&](const Box& b, double d) {
    if (d >= best_cost) return true;  // no place further out can cost less
    if (fits(b)) {
      const double cost = d + per_line * places.lines_met(framed(b));
      if (cost < best_cost) {
        best_cost = cost;
        best = b;
      }
    }
    return false;
  });
  return best;
}

// How far from a connection's route, or a shape's centre, a place clear of everything is looked
// for when none beside it is free; with a box's own size, a last search that keeps off solid
// things only reaches as far as 120 px and that size.
constexpr double CLEAR_REACH = 60;
// How much further off a name may go to meet one line fewer, where none keeps off them all.
constexpr double NAME_PER_LINE = 30;
double last_reach(double w, double h) {
  return 120 + std::min(w + h, 400.0);
}

void place_names(Problem& problem, const std::vector<DrawnRoute>& routes, Places& places) {
  // The routes at each shape: a name that no place keeps clear of every route at least keeps
  // clear of its own shape's.
  std::vector<std::vector<const DrawnRoute*>> at_node(problem.nodes.size());
  for (const DrawnRoute& r : routes) {
    const Link& l = problem.links[static_cast<std::size_t>(r.link)];
    at_node[static_cast<std::size_t>(l.source)].push_back(&r);
    if (l.target != l.source) at_node[static_cast<std::size_t>(l.target)].push_back(&r);
  }
  for (std::size_t n = 0; n < problem.nodes.size(); ++n) {
    Node& node = problem.nodes[n];
    if (!node.name) continue;
    const Box ink = *node.name;
    const Box& b = node.box;
    const double w = ink.width;
    const double h = ink.height;
    const double cx = b.centre_x();
    const double above = b.y - GAP - h;
    const double below = b.bottom() + GAP;
    const double cy = b.centre_y();
    // Where it is drawn; at that height beside a route that leaves through it from the middle
    // of the shape; above; beside where a route leaves downwards or upwards; then left or
    // right of the shape.
    const std::array<Box, 14> candidates = {{ink,
                                             {cx - GAP - w, ink.y, w, h},
                                             {cx + GAP, ink.y, w, h},
                                             {ink.x, above, w, h},
                                             {cx - GAP - w, below, w, h},
                                             {cx + GAP, below, w, h},
                                             {cx - GAP - w, above, w, h},
                                             {cx + GAP, above, w, h},
                                             {b.x - GAP - w, b.y - GAP - h, w, h},
                                             {b.right() + GAP, b.y - GAP - h, w, h},
                                             {b.x - GAP - w, b.bottom() + GAP, w, h},
                                             {b.right() + GAP, b.bottom() + GAP, w, h},
                                             {b.x - GAP - w, cy - GAP - h, w, h},
                                             {b.right() + GAP, cy - GAP - h, w, h}}};
    // Each place as the name's box will be (see framed), which is what must keep clear.
    std::array<Box, candidates.size()> frames;
    std::transform(candidates.begin(), candidates.end(), frames.begin(), framed);
    const Box lane = usable(node.lane) ? node.lane : framed(ink);
    std::optional<Box> chosen = first_free(frames, places, lane);
    if (chosen && !places.name_free(*chosen)) {
      // No place beside the shape keeps off every route: the nearest place round it that does.
      const double reach = std::max(b.width, b.height) / 2 + std::max(w, h) / 2 + CLEAR_REACH;
      if (auto near = search_around({cx, cy}, w, h, reach, [&](const Box& c) {
            const Box f = framed(c);
            return contains(lane, f) && places.solid_free(f) && places.name_free(f);
          })) {
        chosen = framed(*near);
      }
    }
    // Else the first place clear of the shape's own routes, else of the routes leaving it (a
    // name read along a flow as it leaves misleads most), among the candidates, then round it;
    // in its lane, else (a lane too full round the shape) anywhere round it in its pool.
    const auto own_route_through = [&](const Box& box, bool leaving_only) {
      for (const DrawnRoute* r : at_node[n]) {
        const bool leaving =
            problem.links[static_cast<std::size_t>(r->link)].source == static_cast<int>(n);
        if ((leaving || !leaving_only) && crosses(r->points, box)) return true;
      }
      return false;
    };
    const Box pool = node.pool >= 0 && usable(problem.pools[static_cast<std::size_t>(node.pool)])
                         ? problem.pools[static_cast<std::size_t>(node.pool)]
                         : problem.bounds;
    bool settled = false;
    for (const Box* area : {&lane, &pool}) {
      for (const bool leaving_only : {false, true}) {
        if (chosen && !own_route_through(*chosen, leaving_only)) {
          settled = true;
          break;
        }
        const auto fits = [&](const Box& c) {
          return contains(*area, c) && places.solid_free(c) && !own_route_through(c, leaving_only);
        };
        if (const auto found = fewest_lines(frames, places, fits)) {
          chosen = *found;
        } else if (auto near =
                       least_crossed_around({cx, cy}, w, h, last_reach(w, h), NAME_PER_LINE, places,
                                            [&](const Box& c) { return fits(framed(c)); })) {
          chosen = framed(*near);
        } else {
          continue;
        }
        settled = true;
        break;
      }
      if (settled) break;
    }
    node.shape->label_box = chosen.value_or(framed(ink));
    places.add_solid(node.shape->label_box);
  }
}

// Places along a route's own part (from `from` to `to` along it), `off` beside each segment,
// handed to `f` until it takes one: first right after the start of the segment in the
// direction of travel, then further on, every 8 px.
template <typename F>
bool beside_route(const std::vector<Point>& points, double from, double to, double w, double h,
                  double off, const F& f) {
  double along = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const Point& a = points[i];
    const Point& b = points[i + 1];
    const bool horizontal_segment = a.y == b.y;
    const double length = std::abs(b.x - a.x) + std::abs(b.y - a.y);
    const double lo = std::max(along, from);
    const double hi = std::min(along + length, to);
    along += length;
    if (hi - lo <= 0) continue;
    const double dir = (horizontal_segment ? b.x - a.x : b.y - a.y) >= 0 ? 1 : -1;
    const int steps = std::clamp(static_cast<int>((hi - lo) / 8), 1, 64);
    for (int k = 0; k <= steps; ++k) {
      const double offset = (lo - (along - length)) + (hi - lo) * k / steps;
      if (horizontal_segment) {
        const double x = a.x + dir * offset;
        for (double left : {dir > 0 ? x + GAP : x - GAP - w, x - w / 2}) {
          if (f(Box{left, a.y - off - h, w, h}) || f(Box{left, a.y + off, w, h})) return true;
        }
      } else {
        const double y = a.y + dir * offset;
        for (double top : {dir > 0 ? y + GAP : y - GAP - h, y - h / 2}) {
          if (f(Box{a.x + off, top, w, h}) || f(Box{a.x - off - w, top, w, h})) return true;
        }
      }
    }
  }
  return false;
}

// How far `b` lies from the nearest segment of `points`.
double distance(const Box& b, const std::vector<Point>& points) {
  double nearest = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const Point& p = points[i];
    const Point& q = points[i + 1];
    const double dx = std::max({0.0, std::min(p.x, q.x) - b.right(), b.x - std::max(p.x, q.x)});
    const double dy = std::max({0.0, std::min(p.y, q.y) - b.bottom(), b.y - std::max(p.y, q.y)});
    nearest = std::min(nearest, std::hypot(dx, dy));
  }
  return nearest;
}

// The marks a connection's painting puts at its ends, as boxes round their ink.
struct EndMarks {
  // A default flow's slash, a conditional flow's diamond, 1 px beyond: nothing may cover them.
  std::vector<Box> marks;
  // Arrowheads and a message flow's circle, to the outside of their stroke: kept off like a
  // route where there is room (by a label's text, not its padding).
  std::vector<Box> heads;
};

EndMarks end_marks(const Connection& c, const std::vector<Point>& points) {
  EndMarks found;
  if (points.size() < 2) return found;
  // An end, the way from it into the route, and how far that goes straight.
  struct Leg {
    Point end;
    double dx = 0, dy = 0, length = 0;
    Point at(double d) const { return {end.x + dx * d, end.y + dy * d}; }
  };
  const auto leg = [](const Point& end, const Point& next) {
    Leg l{end};
    l.length = std::hypot(next.x - end.x, next.y - end.y);
    if (l.length > 0) {
      l.dx = (next.x - end.x) / l.length;
      l.dy = (next.y - end.y) / l.length;
    }
    return l;
  };
  std::size_t before_last = points.size() - 2;
  while (before_last > 0 && points[before_last] == points.back()) --before_last;
  const Leg out = leg(points[0], points[1]);
  const Leg in = leg(points.back(), points[before_last]);
  const bool message = c.connection_type == ConnectionTypes::MESSAGE;
  const bool data = c.connection_type == ConnectionTypes::DATA;
  const bool association = c.connection_type == ConnectionTypes::ASSOCIATION;
  const auto arrow = [&](const Leg& l) {
    if (l.length <= 0) return;
    const double length = std::min(ARROW_LENGTH, l.length);
    const double open = data || association ? 1.2 : 1.0;  // drawn as lines, a fifth wider
    found.heads.push_back(
        segment_box(l.end, l.at(length), ARROW_HALF_WIDTH * length / ARROW_LENGTH * open + 0.5));
  };
  if (!association || c.direction != AssociationDirection::NONE) arrow(in);
  if (association && c.direction == AssociationDirection::BOTH) arrow(out);
  if (out.length <= 0) return found;
  if (message) {
    const double r = std::min(SOURCE_CIRCLE_RADIUS, out.length / 4);
    found.heads.push_back(segment_box(out.at(r), out.at(r), r + 0.5));
  } else if (!data && !association) {
    if (c.is_default) {
      const Point mid = out.at(std::min(DEFAULT_MARK_AT, out.length / 2));
      found.marks.push_back(segment_box(mid, mid, DEFAULT_MARK_HALF * 0.7071 + 1));
    } else if (!c.condition.empty() && c.source != nullptr &&
               c.source->kind() == ShapeKind::ACTIVITY) {
      const double along = std::min(CONDITION_MARK_LENGTH, out.length / 2);
      found.marks.push_back(segment_box(
          out.end, out.at(along), CONDITION_MARK_HALF_WIDTH * along / CONDITION_MARK_LENGTH + 1));
    }
  }
  return found;
}

// The point `distance` along a route.
Point point_along(const std::vector<Point>& points, double distance) {
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const Point& a = points[i];
    const Point& b = points[i + 1];
    const double length = std::abs(b.x - a.x) + std::abs(b.y - a.y);
    if (distance <= length && length > 0) {
      const double t = distance / length;
      return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    }
    distance -= length;
  }
  return points.back();
}

}  // namespace

LabelPlacer::LabelPlacer(Problem& problem, const std::vector<DrawnRoute>& routes)
    : problem_(problem), routes_(routes), places_(std::make_unique<Places>()) {
  std::vector<Box> solids;
  for (const Node& n : problem.nodes) solids.push_back(n.box);
  solids.insert(solids.end(), problem.strips.begin(), problem.strips.end());
  solids.insert(solids.end(), problem.captions.begin(), problem.captions.end());
  std::vector<Box> heads;
  for (const DrawnRoute& route : routes) {
    const Connection* c = problem.links[static_cast<std::size_t>(route.link)].connection;
    if (c == nullptr) continue;
    EndMarks marks = end_marks(*c, route.points);
    solids.insert(solids.end(), marks.marks.begin(), marks.marks.end());
    heads.insert(heads.end(), marks.heads.begin(), marks.heads.end());
  }
  places_->add_solids(solids);
  places_->add_routes(routes);
  places_->add_heads(heads);
  // Names keep as far off the messages to black-box pools as those keep off names they pass.
  for (const auto& [a, b] : problem.message_runs) {
    places_->add_line({a.x - BLACK_BOX_CLEARANCE, a.y}, {b.x + BLACK_BOX_CLEARANCE, b.y});
  }
}

LabelPlacer::~LabelPlacer() = default;

void LabelPlacer::place_names() {
  orvane::routing::place_names(problem_, routes_, *places_);
}

void LabelPlacer::add_drawn(const Connection& connection) {
  const std::vector<Point>& route = connection.waypoints;
  for (std::size_t i = 0; i + 1 < route.size(); ++i) places_->add_line(route[i], route[i + 1]);
  if (connection.label_box) places_->add_solid(*connection.label_box);
  EndMarks marks = end_marks(connection, route);
  places_->add_solids(marks.marks);
  places_->add_heads(marks.heads);
}

void LabelPlacer::place_connection_labels(const Painter& painter) {
  Problem& problem = problem_;
  const std::vector<DrawnRoute>& routes = routes_;
  Places& places = *places_;
  // Connection labels also keep off the lines of pools and lanes where they can.
  for (const Border& b : problem.borders) {
    if (b.horizontal) {
      places.add_line({b.along.lo, b.at}, {b.along.hi, b.at}, Places::BORDER);
    } else {
      places.add_line({b.at, b.along.lo}, {b.at, b.along.hi}, Places::BORDER);
    }
  }

  const TextStyle style = connection_label_style(painter);
  std::map<std::string, TextExtent> extents;  // labels repeat ("yes", "no")
  const std::vector<TrunkLengths> trunks = trunk_lengths(routes, problem);
  for (std::size_t r = 0; r < routes.size(); ++r) {
    const DrawnRoute& route = routes[r];
    const Link& link = problem.links[static_cast<std::size_t>(route.link)];
    Connection& c = *link.connection;
    if (c.label.empty() || route.points.size() < 2) continue;
    auto known = extents.find(c.label);
    if (known == extents.end()) {
      known = extents.emplace(c.label, connection_label_extent(painter, c.label, style)).first;
    }
    const double w = std::ceil(std::max(known->second.width, 1.0) + 2 * PAD);
    const double h = std::ceil(std::max(known->second.height, 1.0) + 2 * PAD);
    double total = 0;
    for (std::size_t i = 0; i + 1 < route.points.size(); ++i) {
      total += std::abs(route.points[i + 1].x - route.points[i].x) +
               std::abs(route.points[i + 1].y - route.points[i].y);
    }
    // A branch's label goes where the branch is its own: past the trunk it shares.
    double from = trunks[r].fork;
    double to = total - trunks[r].join;
    if (to - from < 1) {
      from = 0;
      to = total;
    }
    // Beside its own part of the route, clear of everything; else further off it, beside the
    // routes it runs among; else anywhere near its start that is clear.
    const auto clear = [&](const Box& b) {
      return contains(link.area, b) && places.solid_free(b) &&
             places.lines_free(b, static_cast<int>(r)) && !crosses(route.points, b);
    };
    std::optional<Box> chosen;
    const auto take = [&](const Box& b) {
      if (!clear(b)) return false;
      chosen = b;
      return true;
    };
    // Right beside it, best with the other routes and the borders a few pixels further off than
    // its own, so that it reads as its own route's.
    beside_route(route.points, from, to, w, h, GAP, [&](const Box& b) {
      if (!clear(b) || !places.heads_free(inflate(b, -PAD)) ||
          !places.lines_free(inflate(b, LABEL_KEEP_OFF), static_cast<int>(r)) ||
          !places.routes_free(inflate(b, LABEL_KEEP_OFF_ROUTES), static_cast<int>(r))) {
        return false;
      }
      chosen = b;
      return true;
    });
    // Further off it, or round where its own part starts: first where no other route or
    // border lies nearer than its own, so that the label still reads as this route's (lines
    // are kept 1 px thick on each side, so a route at the same distance, such as a trunk the
    // branch shares, does not count); then anywhere clear.
    const auto reads_as_own = [&](const Box& b) {
      return clear(b) && places.heads_free(inflate(b, -PAD)) &&
             places.lines_free(inflate(b, distance(b, route.points) - 1.01), static_cast<int>(r));
    };
    const auto take_own = [&](const Box& b) {
      if (!reads_as_own(b)) return false;
      chosen = b;
      return true;
    };
    for (double off = GAP; off <= GAP + CLEAR_REACH && !chosen; off += 12)
      beside_route(route.points, from, to, w, h, off, take_own);
    if (!chosen) {
      chosen = search_around(point_along(route.points, from), w, h, CLEAR_REACH, reads_as_own);
    }
    for (double off = GAP; off <= GAP + CLEAR_REACH && !chosen; off += 12)
      beside_route(route.points, from, to, w, h, off, take);
    if (!chosen) chosen = search_around(point_along(route.points, from), w, h, CLEAR_REACH, clear);
    // Where a branch's own part is barely longer than its text, the padding gives first.
    if (!chosen) {
      beside_route(route.points, from, to, std::ceil(std::max(known->second.width, 1.0)),
                   std::ceil(std::max(known->second.height, 1.0)), GAP, take);
    }
    // Nowhere clear of routes: the first place beside it over no solid thing, else the nearest.
    if (!chosen) {
      beside_route(route.points, from, to, w, h, GAP, [&](const Box& b) {
        if (!contains(link.area, b) || !places.solid_free(b)) return false;
        chosen = b;
        return true;
      });
    }
    if (!chosen) {
      chosen = search_around(point_along(route.points, from), w, h, last_reach(w, h),
                             [&](const Box& b) { return places.solid_free(b); });
    }
    if (!chosen) {
      beside_route(route.points, from, to, w, h, GAP, [&](const Box& b) {
        chosen = b;
        return true;
      });
    }
    if (!chosen) continue;
    c.label_box = *chosen;
    places.add_solid(*chosen);
  }
}

}  // namespace orvane::routing
