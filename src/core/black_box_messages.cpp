// Message flows to and from black-box pools: a vertical run between the shape and the pool's
// band, round the shapes in the way, on a line of its own, with its label where it hides
// nothing.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "orvane/artifact.hpp"
#include "orvane/attached_geometry.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"
#include "orvane/routing.hpp"
#include "paint_support.hpp"

namespace orvane {

using namespace paint;

namespace {

// A run round a shape in the way lies this far beside it, and further out in steps of
// RUN_SPACING while an earlier run or route's vertical stretch lies closer than that.
constexpr double DETOUR_OFFSET = 15;
constexpr double RUN_SPACING = BLACK_BOX_RUN_SPACING;
constexpr int DETOUR_STEPS = 6;
// ...and, only where no way that near is clear of shapes and names (a long way past several
// rows of shapes), this many steps out, to the gap between two columns.
constexpr int FAR_DETOUR_STEPS = 40;
// The stretch from the shape to that turn keeps at least this far off a route running along it
// (a flow leaving the shape in the way towards the message's own, say), so as not to lie on it.
constexpr double STUB_CLEARANCE = 2;
// A message's turn round the shapes in its way keeps this far inside the gap before them.
constexpr double TURN_CLEARANCE = 8;
// A turn keeps this far off the borders of pools and lanes it runs along.
constexpr double BORDER_SPACING = RUN_SPACING / 2;
// A turn is looked for at most this far either side of the gap's middle.
constexpr double MAX_TURN_REACH = 600;
// A label keeps this far off what it must not cover, so that it reads as its own route's...
constexpr double LABEL_MARGIN = 3;
// ...and, where it can, this far off everything but the route it labels: a label between its
// own line 4 px away and another 6 px away reads as the other's...
constexpr double LABEL_KEEP_OFF = 8;
// ...best this far: a label beside a message and 12 px above a flow crossing it reads as the
// flow's.
constexpr double LABEL_KEEP_WELL_OFF = 20;

// The point of a shape's top or bottom outline at `x` (events are circles, gateways diamonds).
Point outline_at(const Shape& shape, double x, bool top) {
  const Box& b = shape.box;
  const double dx = std::clamp(x - b.centre_x(), -b.width / 2, b.width / 2);
  double dy = b.height / 2;
  if (shape.kind() == ShapeKind::EVENT) {
    const double r = b.width / 2;
    dy = std::sqrt(std::max(0.0, r * r - dx * dx));
  } else if (shape.kind() == ShapeKind::GATEWAY) {
    dy = b.height / 2 * (1 - std::fabs(dx) / (b.width / 2));
  }
  return {b.centre_x() + dx, top ? b.centre_y() - dy : b.centre_y() + dy};
}

// A segment's box, at least a pixel thick.
Box segment_box(const Point& a, const Point& b) {
  return {std::min(a.x, b.x) - 0.5, std::min(a.y, b.y) - 0.5, std::fabs(a.x - b.x) + 1,
          std::fabs(a.y - b.y) + 1};
}

// What is drawn already: the shapes and their names, the routes, their labels and the pools'
// and lanes' borders, listed by the square cells they reach into, so that a look round a place
// costs what lies near it, not what the whole diagram holds.
class Drawn {
 public:
  // The boxes of shapes and names a vertical run at x between y0 and y1 passes through or
  // closer than BLACK_BOX_CLEARANCE beside, other than `own`'s.
  std::vector<Box> blocking(const Shape* own, double x, double y0, double y1) const {
    std::vector<Box> out;
    const double lo = std::min(y0, y1), hi = std::max(y0, y1);
    const double c = BLACK_BOX_CLEARANCE;
    visit({x - c, lo, 2 * c, hi - lo}, [&](const Item& item) {
      const Box& b = item.box;
      if (item.kind == BLOCKER && item.owner != own && b.x - c < x && x < b.right() + c &&
          b.y < hi && lo < b.bottom()) {
        out.push_back(b);
      }
      return false;
    });
    return out;
  }
  // Whether a horizontal run at y between x0 and x1 passes through or closer than
  // BLACK_BOX_CLEARANCE beside a shape or name other than `own`'s.
  bool blocked_across(const Shape* own, double y, double x0, double x1) const {
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    const double c = BLACK_BOX_CLEARANCE;
    return visit({lo, y - c, hi - lo, 2 * c}, [&](const Item& item) {
      const Box& b = item.box;
      return item.kind == BLOCKER && item.owner != own && b.x < hi && lo < b.right() &&
             b.y - c < y && y < b.bottom() + c;
    });
  }
  // Whether a vertical run at x between y0 and y1 would lie closer than RUN_SPACING beside a
  // drawn vertical stretch, or pass through a label.
  bool crowded(double x, double y0, double y1) const {
    const double lo = std::min(y0, y1), hi = std::max(y0, y1);
    return visit({x - RUN_SPACING, lo, 2 * RUN_SPACING, hi - lo}, [&](const Item& item) {
      const Box& b = item.box;
      if (!(b.y < hi && lo < b.bottom())) return false;
      if (item.kind == LABEL) return b.x < x && x < b.right();
      return item.kind == VERTICAL && std::fabs(b.centre_x() - x) < RUN_SPACING;
    });
  }
  // How far a vertical run at x between y0 and y1 lies from the nearest drawn vertical stretch
  // beside it, up to RUN_SPACING.
  double clearance(double x, double y0, double y1) const {
    const double lo = std::min(y0, y1), hi = std::max(y0, y1);
    double nearest = RUN_SPACING;
    visit({x - RUN_SPACING, lo, 2 * RUN_SPACING, hi - lo}, [&](const Item& item) {
      const Box& b = item.box;
      if (item.kind == VERTICAL && b.y < hi && lo < b.bottom()) {
        nearest = std::min(nearest, std::fabs(b.centre_x() - x));
      }
      return false;
    });
    return nearest;
  }
  // How far a horizontal run at y between x0 and x1 lies from the nearest drawn horizontal
  // stretch beside it, up to RUN_SPACING; 0 through a label.
  double clearance_across(double y, double x0, double x1) const {
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    double nearest = RUN_SPACING;
    visit({lo, y - RUN_SPACING, hi - lo, 2 * RUN_SPACING}, [&](const Item& item) {
      const Box& b = item.box;
      if (!(b.x < hi && lo < b.right())) return false;
      if (item.kind == LABEL && b.y < y && y < b.bottom()) nearest = 0;
      if (item.kind == HORIZONTAL) nearest = std::min(nearest, std::fabs(b.centre_y() - y));
      return nearest == 0;
    });
    return nearest;
  }
  // Whether a horizontal run at y between x0 and x1 would lie closer than RUN_SPACING beside a
  // drawn horizontal stretch, or pass through a label.
  bool crowded_across(double y, double x0, double x1) const {
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    return visit({lo, y - RUN_SPACING, hi - lo, 2 * RUN_SPACING}, [&](const Item& item) {
      const Box& b = item.box;
      if (!(b.x < hi && lo < b.right())) return false;
      if (item.kind == LABEL) return b.y < y && y < b.bottom();
      return item.kind == HORIZONTAL && std::fabs(b.centre_y() - y) < RUN_SPACING;
    });
  }
  // Whether a horizontal run at y between x0 and x1 lies on, or closer than BORDER_SPACING
  // beside, a pool's or lane's border along it: a dashed line on a border does not read.
  bool along_border(double y, double x0, double x1) const {
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    const double c = BORDER_SPACING;
    return visit({lo, y - c, hi - lo, 2 * c}, [&](const Item& item) {
      const Box& b = item.box;
      return item.kind == LINE && b.width > b.height && b.x < hi && lo < b.right() &&
             std::fabs(b.centre_y() - y) < c;
    });
  }
  // How many drawn routes' stretches the stretches of `points` cross.
  int crossings(const std::vector<Point>& points) const {
    int count = 0;
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
      const Point& a = points[k];
      const Point& b = points[k + 1];
      const bool vertical = a.x == b.x;
      const double lo = vertical ? std::min(a.y, b.y) : std::min(a.x, b.x);
      const double hi = vertical ? std::max(a.y, b.y) : std::max(a.x, b.x);
      visit(segment_box(a, b), [&](const Item& item) {
        if (item.kind != (vertical ? HORIZONTAL : VERTICAL)) return false;
        // The drawn stretch's line and its extent along it (its box is half a pixel wider).
        const double at = vertical ? item.box.centre_y() : item.box.centre_x();
        const double from = (vertical ? item.box.x : item.box.y) + 0.5;
        const double to = (vertical ? item.box.right() : item.box.bottom()) - 0.5;
        const double mine = vertical ? a.x : a.y;
        if (lo < at && at < hi && from < mine && mine < to) ++count;
        return false;
      });
    }
    return count;
  }
  // Whether `label` would cover (or come within LABEL_MARGIN of) a shape, a name, a route, a
  // pool or lane border or another label.
  bool covers(const Box& label, double margin = LABEL_MARGIN) const {
    const Box near{label.x - margin, label.y - margin, label.width + 2 * margin,
                   label.height + 2 * margin};
    return visit(near, [&](const Item& item) { return overlaps(near, item.box); });
  }

  void add_blocker(const Shape* shape, const Box& b) { add({b, shape, BLOCKER}); }
  void add_route(const std::vector<Point>& points) {
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
      const bool vertical = points[k].x == points[k + 1].x;
      add({segment_box(points[k], points[k + 1]), nullptr, vertical ? VERTICAL : HORIZONTAL});
    }
  }
  void add_label(const Box& b) { add({b, nullptr, LABEL}); }
  // How many items are drawn; `truncate` takes back everything added after that count.
  std::size_t size() const { return items_.size(); }
  void truncate(std::size_t n) {
    while (items_.size() > n) {
      const int id = static_cast<int>(items_.size() - 1);
      const Box& b = items_.back().box;
      // Ids go up as items are added, so the newest stands last in each of its cells.
      if (!large_.empty() && large_.back() == id) {
        large_.pop_back();
      } else {
        for (std::int64_t cy = cell_of(b.y); cy <= cell_of(b.bottom()); ++cy) {
          for (std::int64_t cx = cell_of(b.x); cx <= cell_of(b.right()); ++cx) {
            auto cell = cells_.find(key(cx, cy));
            if (cell != cells_.end() && !cell->second.empty() && cell->second.back() == id) {
              cell->second.pop_back();
            }
          }
        }
      }
      items_.pop_back();
      seen_.pop_back();
    }
  }
  // The four edges of a pool's or lane's band.
  void add_band(const Box& b) {
    for (const Point& p : {Point{b.x, b.y}, Point{b.x, b.bottom()}}) {
      add({segment_box(p, {b.right(), p.y}), nullptr, LINE});
    }
    for (const Point& p : {Point{b.x, b.y}, Point{b.right(), b.y}}) {
      add({segment_box(p, {p.x, b.bottom()}), nullptr, LINE});
    }
  }

 private:
  // BLOCKER: a shape or its name; VERTICAL, HORIZONTAL: a route's stretch; LABEL: a
  // connection's label; LINE: a border, which labels keep off.
  enum Kind : char { BLOCKER, VERTICAL, HORIZONTAL, LABEL, LINE };
  struct Item {
    Box box;
    const Shape* owner = nullptr;
    Kind kind = LINE;
  };
  static constexpr double CELL = 256;
  // An item reaching into more cells than this is looked at by every look instead (a pool's
  // border, a shape a caller made huge); a look reaching into more looks at every item.
  static constexpr double MAX_CELLS = 4096;

  static std::int64_t cell_of(double v) { return static_cast<std::int64_t>(std::floor(v / CELL)); }
  static std::uint64_t key(std::int64_t cx, std::int64_t cy) {
    constexpr std::int64_t OFFSET = std::int64_t{1} << 30;
    return (static_cast<std::uint64_t>(cy + OFFSET) << 32) |
           (static_cast<std::uint64_t>(cx + OFFSET) & 0xffffffffU);
  }
  // Whether the box lies where cells can be numbered (a finite place within a billion pixels).
  static bool indexable(const Box& b) {
    return std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.right()) &&
           std::isfinite(b.bottom()) && std::fabs(b.x) < 1e9 && std::fabs(b.y) < 1e9 &&
           std::fabs(b.right()) < 1e9 && std::fabs(b.bottom()) < 1e9;
  }

  static double cells(const Box& b) {
    return static_cast<double>(cell_of(b.right()) - cell_of(b.x) + 1) *
           static_cast<double>(cell_of(b.bottom()) - cell_of(b.y) + 1);
  }

  void add(const Item& item) {
    if (!indexable(item.box)) return;
    const int id = static_cast<int>(items_.size());
    items_.push_back(item);
    seen_.push_back(0);
    if (cells(item.box) > MAX_CELLS) {
      large_.push_back(id);
      return;
    }
    for (std::int64_t cy = cell_of(item.box.y); cy <= cell_of(item.box.bottom()); ++cy) {
      for (std::int64_t cx = cell_of(item.box.x); cx <= cell_of(item.box.right()); ++cx) {
        cells_[key(cx, cy)].push_back(id);
      }
    }
  }
  // Calls `f(item)` once for each item listed in a cell that `region` reaches into, until one
  // call returns true; returns whether one did.
  template <typename F>
  bool visit(const Box& region, F&& f) const {
    if (!indexable(region)) return false;
    if (cells(region) > MAX_CELLS) {
      return std::any_of(items_.begin(), items_.end(), [&](const Item& item) { return f(item); });
    }
    for (const int id : large_) {
      if (f(items_[static_cast<std::size_t>(id)])) return true;
    }
    ++stamp_;
    for (std::int64_t cy = cell_of(region.y); cy <= cell_of(region.bottom()); ++cy) {
      for (std::int64_t cx = cell_of(region.x); cx <= cell_of(region.right()); ++cx) {
        const auto cell = cells_.find(key(cx, cy));
        if (cell == cells_.end()) continue;
        for (const int id : cell->second) {
          auto& seen = seen_[static_cast<std::size_t>(id)];
          if (seen == stamp_) continue;
          seen = stamp_;
          if (f(items_[static_cast<std::size_t>(id)])) return true;
        }
      }
    }
    return false;
  }

  std::vector<Item> items_;
  std::vector<int> large_;
  std::unordered_map<std::uint64_t, std::vector<int>> cells_;
  // Which look last met each item, so that one met in several cells counts once.
  mutable std::vector<std::uint64_t> seen_;
  mutable std::uint64_t stamp_ = 0;
};

// Everything on the picture before the messages to black-box pools are laid.
Drawn drawn_before(const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter) {
  Drawn drawn;
  auto band = [](const Coordinate& at, int width, int height) {
    return Box{static_cast<double>(at.x_pos), static_cast<double>(at.y_pos),
               static_cast<double>(width), static_cast<double>(height)};
  };
  for (const auto& pool : pools) {
    if (!pool) continue;
    drawn.add_band(band(pool->coord, pool->width, pool->height));
    for (const auto& lane : pool->lanes) {
      drawn.add_band(band(lane->coord, lane->width, lane->height));
      for (const Shape* shape : lane->every_shape()) {
        if (!placed(shape->box) || shape->kind() == ShapeKind::GROUP) continue;
        drawn.add_blocker(shape, shape->box);
        const Box ink = name_ink(*shape, painter);
        if (placed(ink) && !(ink == shape->box)) drawn.add_blocker(shape, ink);
        for (const Connection& c : *shape->connection_to) {
          if (c.target != nullptr && c.target->kind() == ShapeKind::PARTICIPANT) continue;
          drawn.add_route(c.waypoints);
          if (c.label_box) drawn.add_label(*c.label_box);
        }
      }
    }
  }
  return drawn;
}

// Whether `way` (from its shape's outline to the band: straight, or out to a turn, across and
// on to the band) is as clear as message_route makes a way: no shape or name on it, its turn's
// stretch and run uncrowded, its stub off the routes along it.
bool clear_way(const Shape& shape, const std::vector<Point>& way, const Drawn& drawn) {
  const Point& at_shape = way.front();
  const Point& end = way.back();
  if (way.size() == 2) return drawn.blocking(&shape, at_shape.x, at_shape.y, end.y).empty();
  const double turn_y = way[1].y;
  const double side_x = end.x;
  return drawn.blocking(&shape, side_x, turn_y, end.y).empty() &&
         drawn.clearance(at_shape.x, at_shape.y, turn_y) >= STUB_CLEARANCE &&
         !drawn.blocked_across(&shape, turn_y, at_shape.x, side_x) &&
         !drawn.crowded_across(turn_y, at_shape.x, side_x) &&
         !drawn.along_border(turn_y, at_shape.x, side_x) && !drawn.crowded(side_x, turn_y, end.y) &&
         drawn.blocking(&shape, at_shape.x, at_shape.y, turn_y).empty();
}

// Where no way leaves the side facing the band (an activity's boundary events stand along it,
// or a shape sits right against it): out of the shape's right or left side, at a height along
// it, over to a line clear down (or up) to the band. Of the first such way on each side at
// each distance out, the one crossing the fewest routes; best off the routes along its way,
// else beside them.
std::optional<std::vector<Point>> side_way(const Shape& shape, double band_y, const Drawn& drawn) {
  const Box& b = shape.box;
  std::vector<double> heights{b.centre_y()};
  // (A few dozen at most: a caller's huge box must not make the looks countless.)
  for (double off = RUN_SPACING; off <= b.height / 2 - RUN_SPACING / 2 && heights.size() < 48;
       off += RUN_SPACING) {
    heights.push_back(b.centre_y() - off);
    heights.push_back(b.centre_y() + off);
  }
  for (const bool uncrowded : {true, false}) {
    std::optional<std::vector<Point>> chosen;
    int fewest = 0;
    for (int step = 0; step < FAR_DETOUR_STEPS; ++step) {
      if (step >= DETOUR_STEPS && chosen) break;
      const double out = DETOUR_OFFSET + step * RUN_SPACING;
      for (const bool right : {true, false}) {
        const double from_x = right ? b.right() : b.x;
        const double side_x = right ? b.right() + out : b.x - out;
        for (const double y : heights) {
          if (drawn.blocked_across(&shape, y, from_x, side_x) ||
              !drawn.blocking(&shape, side_x, y, band_y).empty() ||
              (uncrowded &&
               (drawn.crowded_across(y, from_x, side_x) || drawn.crowded(side_x, y, band_y)))) {
            continue;
          }
          std::vector<Point> way{{from_x, y}, {side_x, y}, {side_x, band_y}};
          const int crossed = drawn.crossings(way);
          if (!chosen || crossed < fewest) {
            chosen = std::move(way);
            fewest = crossed;
          }
          break;
        }
      }
      if (chosen && fewest == 0) break;
    }
    if (chosen) return chosen;
  }
  return std::nullopt;
}

// The route from `at_shape` to the band at `band_y`: straight, or, with a shape in the way, out
// into the gap before it, round it through the gap beside it on a line no other run or route
// lies close beside, then straight on to the band.
std::vector<Point> message_route(const Shape& shape, const Point& at_shape, double band_y,
                                 const Drawn& drawn) {
  const std::vector<Box> in_way = drawn.blocking(&shape, at_shape.x, at_shape.y, band_y);
  if (in_way.empty()) return {at_shape, {at_shape.x, band_y}};
  Box around = in_way.front();
  for (const Box& b : in_way) around = unite(around, b);
  const bool band_above = band_y < at_shape.y;
  const double near_edge = band_above ? around.bottom() : around.y;
  // What is in the way stands right against the shape (its own boundary events): no room to
  // turn before it.
  if ((band_above ? at_shape.y - near_edge : near_edge - at_shape.y) < 2 * TURN_CLEARANCE) {
    if (auto way = side_way(shape, band_y, drawn)) return *way;
  }
  // The turn half way across the gap before the shapes in the way, or else RUN_SPACING steps
  // either side of that while they stay TURN_CLEARANCE inside the gap, off the routes running
  // along it.
  const double middle = (at_shape.y + near_edge) / 2;
  // (Within MAX_TURN_REACH of the middle: a wider gap has room for a turn near its middle, and a
  // caller's huge box must not make the looks countless.)
  const double half_gap =
      std::min(std::fabs(near_edge - at_shape.y) / 2 - TURN_CLEARANCE, MAX_TURN_REACH);
  std::vector<double> turns{middle};
  for (double off = RUN_SPACING; off <= half_gap; off += RUN_SPACING) {
    turns.push_back(middle - off);
    turns.push_back(middle + off);
  }
  // On each side, at each distance out, the first such way; of those, the one crossing the
  // fewest routes, the nearest first.
  std::vector<Point> chosen;
  std::vector<Point> way(4);  // the way looked at, its storage kept from one look to the next
  int fewest = 0;
  for (int step = 0; step < FAR_DETOUR_STEPS; ++step) {
    if (step >= DETOUR_STEPS && !chosen.empty()) break;
    const double out = DETOUR_OFFSET + step * RUN_SPACING;
    for (const double side_x : {around.right() + out, around.x - out}) {
      for (const double turn_y : turns) {
        way = {at_shape, {at_shape.x, turn_y}, {side_x, turn_y}, {side_x, band_y}};
        if (clear_way(shape, way, drawn)) {
          const int crossed = drawn.crossings(way);
          if (chosen.empty() || crossed < fewest) {
            chosen = way;
            fewest = crossed;
          }
          break;
        }
      }
      if (!chosen.empty() && fewest == 0) return chosen;
    }
  }
  if (!chosen.empty()) return chosen;
  // No way round crowds nothing: the way whose turn and run lie farthest from what is drawn
  // beside them, trying every few pixels across the gap, so that a message runs beside a route
  // where it must, never on top of it.
  const double edge_room =
      std::clamp(std::fabs(near_edge - at_shape.y) / 2 - 2, 0.0, MAX_TURN_REACH);
  std::optional<std::pair<double, double>> best;  // turn and side
  double best_clearance = -1;
  for (int step = 0; step < FAR_DETOUR_STEPS; ++step) {
    if (step >= DETOUR_STEPS && best) break;
    const double out = DETOUR_OFFSET + step * RUN_SPACING;
    for (const double side_x : {around.right() + out, around.x - out}) {
      for (double off = 0; off <= edge_room; off += 2) {
        for (const double turn_y : {middle - off, middle + off}) {
          if (!drawn.blocking(&shape, side_x, turn_y, band_y).empty() ||
              drawn.blocked_across(&shape, turn_y, at_shape.x, side_x)) {
            continue;
          }
          const double clear = std::min({drawn.clearance_across(turn_y, at_shape.x, side_x),
                                         drawn.clearance(side_x, turn_y, band_y),
                                         drawn.clearance(at_shape.x, at_shape.y, turn_y)});
          if (clear > best_clearance) {
            best_clearance = clear;
            best = {turn_y, side_x};
          }
          if (off == 0) break;
        }
      }
    }
  }
  if (best) {
    const auto [turn_y, side_x] = *best;
    return {at_shape, {at_shape.x, turn_y}, {side_x, turn_y}, {side_x, band_y}};
  }
  if (auto way = side_way(shape, band_y, drawn)) return *way;
  return {at_shape, {at_shape.x, band_y}};
}

// Messages side by side at one shape are laid one by one, each on its own best way, so two can
// cross: one turning left from a place right of one turning right, or two turning the same way,
// the outer one from the inner place. Dealt out again, the places along the side in the order of
// the runs to the band, and the turns so that of two turning the same way the outer turns nearer
// the shape, the ways nest and cross none of their own. `ways` (from the shape to the band, laid
// in `drawn` after its first `mark` items) are replaced by the ways dealt out where each of
// those is as clear as message_route would have it and they cross fewer routes in all than the
// `crossed` of the ways found; `drawn` holds whichever are kept.
void untangle(const Shape& shape, std::vector<std::vector<Point>>& ways, int crossed,
              std::size_t mark, Drawn& drawn) {
  if (crossed == 0) return;
  for (const auto& way : ways) {
    if (way.size() != 2 && way.size() != 4) return;
  }
  std::vector<std::vector<Point>> dealt = ways;
  // The ways to a band above and those to a band below leave by different sides.
  for (const bool above : {true, false}) {
    std::vector<std::size_t> own;
    for (std::size_t k = 0; k < ways.size(); ++k) {
      if ((ways[k].back().y < ways[k].front().y) == above) own.push_back(k);
    }
    if (own.size() < 2) continue;
    std::vector<Point> places;
    for (const std::size_t k : own) places.push_back(ways[k].front());
    std::sort(places.begin(), places.end(),
              [](const Point& a, const Point& b) { return a.x < b.x; });
    std::vector<std::size_t> by_run = own;
    std::stable_sort(by_run.begin(), by_run.end(), [&](std::size_t a, std::size_t b) {
      return ways[a].back().x < ways[b].back().x;
    });
    for (std::size_t r = 0; r < by_run.size(); ++r) {
      std::vector<Point>& way = dealt[by_run[r]];
      const Point place = places[r];
      const double run_x = way.back().x;
      if (place.x == run_x) {
        way = {place, way.back()};
      } else if (way.size() == 4) {
        way[0] = place;
        way[1].x = place.x;
      } else {
        return;  // a straight way would need a turn it has none of
      }
    }
    // The turns of those turning left, dealt from the leftmost place, and of those turning
    // right, from the rightmost: the nearest to the shape first.
    for (const bool left : {true, false}) {
      std::vector<std::size_t> turning;
      for (const std::size_t k : own) {
        const auto& way = dealt[k];
        if (way.size() == 4 && (way.back().x < way.front().x) == left) turning.push_back(k);
      }
      std::sort(turning.begin(), turning.end(), [&](std::size_t a, std::size_t b) {
        return left ? dealt[a].front().x < dealt[b].front().x
                    : dealt[a].front().x > dealt[b].front().x;
      });
      std::vector<double> turns;
      for (const std::size_t k : turning) turns.push_back(dealt[k][1].y);
      std::sort(turns.begin(), turns.end(),
                [&](double a, double b) { return above ? a > b : a < b; });
      for (std::size_t r = 0; r < turning.size(); ++r) {
        auto& way = dealt[turning[r]];
        way[1].y = way[2].y = turns[r];
      }
    }
  }
  if (dealt == ways) return;
  drawn.truncate(mark);
  int dealt_crossed = 0;
  bool clear = true;
  for (const auto& way : dealt) {
    if (!clear_way(shape, way, drawn)) {
      clear = false;
      break;
    }
    dealt_crossed += drawn.crossings(way);
    drawn.add_route(way);
  }
  if (clear && dealt_crossed < crossed) {
    ways = std::move(dealt);
    return;
  }
  drawn.truncate(mark);
  for (const auto& way : ways) drawn.add_route(way);
}

// The label beside the stretch from `a` to `b` (the one reaching the band), on the side
// `first` (right, or left for the left ones of messages side by side) before the other: the
// place nearest half way along that keeps everything else well off, else one that keeps it a
// little off; else inside the band (a black-box pool is empty) beside the stretch's end there,
// where that keeps the rest a little off, rather than squeezed between its line and another;
// else beside the stretch or in the band with the usual margin; on a crowded stretch, places
// further along and further off it, then places that merely touch nothing.
Box message_label(const Point& a, const Point& b, const Box& band, double w, double h,
                  const Drawn& drawn, bool right_first) {
  const Box usual{a.x + 4, (a.y + b.y) / 2 - h / 2, w, h};
  auto at = [&](double t, double off, bool right) {
    const double y = a.y + (b.y - a.y) * t - h / 2;
    return Box{right ? a.x + off : a.x - off - w, y, w, h};
  };
  const std::array<bool, 2> sides{right_first, !right_first};
  // Everything but the stretch itself (4 px to one side) at least `keep` off.
  const auto clear_by = [&](const Box& box, bool right, double keep) {
    const double before = right ? LABEL_MARGIN : keep;  // towards smaller x
    const double after = right ? keep : LABEL_MARGIN;
    const Box near{box.x - before, box.y - keep, box.width + before + after, box.height + 2 * keep};
    return !drawn.covers(near, 0);
  };
  // Beside the stretch, from its middle out both ways.
  const auto beside = [&](double keep) -> std::optional<Box> {
    for (int k = 0; k <= 16; ++k) {
      const double t = 0.5 + (k % 2 == 0 ? 1 : -1) * ((k + 1) / 2) / 20.0;
      for (const bool right : sides) {
        const Box box = at(t, 4, right);
        if (keep > 0 ? clear_by(box, right, keep) : !drawn.covers(box)) return box;
      }
    }
    return std::nullopt;
  };
  for (const double keep : {LABEL_KEEP_WELL_OFF, LABEL_KEEP_OFF}) {
    if (auto box = beside(keep)) return *box;
  }
  const bool band_above = band.bottom() <= std::min(a.y, b.y) + 0.5;
  const double end_y = band_above ? band.bottom() : band.y;
  const Box room{band.x + Configs::POOL_TEXT_WIDTH + 2, band.y + 2,
                 band.width - Configs::POOL_TEXT_WIDTH - 4, band.height - 4};
  const auto in_band = [&](double keep) -> std::optional<Box> {
    for (const bool right : sides) {
      const Box box{right ? a.x + 4 : a.x - 4 - w, band_above ? end_y - 4 - h : end_y + 4, w, h};
      const bool inside = room.x <= box.x && box.right() <= room.right() && room.y <= box.y &&
                          box.bottom() <= room.bottom();
      if (inside && (keep > 0 ? clear_by(box, right, keep) : !drawn.covers(box))) return box;
    }
    return std::nullopt;
  };
  if (auto box = in_band(LABEL_KEEP_OFF)) return *box;
  if (auto box = beside(0)) return *box;
  if (auto box = in_band(0)) return *box;
  for (const double margin : {LABEL_MARGIN, 0.0}) {
    for (const double off : {4.0, 10.0, 16.0}) {
      for (int k = 0; k <= 20; ++k) {
        for (const bool right : sides) {
          const Box box = at(k / 20.0, off, right);
          if (!drawn.covers(box, margin)) return box;
        }
      }
    }
  }
  return usual;
}

}  // namespace

std::vector<std::pair<Shape*, std::vector<Connection*>>> black_box_messages_by_shape(
    const std::vector<std::unique_ptr<Pool>>& pools) {
  std::vector<std::pair<Shape*, Connection*>> flows;
  for (const auto& pool : pools) {
    Shape* band = pool ? pool->participant() : nullptr;
    if (band == nullptr) continue;
    for (Connection& c : *band->connection_to) {
      if (c.target != nullptr) flows.emplace_back(c.target, &c);
    }
  }
  for (const auto& pool : pools) {
    if (!pool) continue;
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->every_shape()) {
        for (Connection& c : *shape->connection_to) {
          if (c.target != nullptr && c.target->kind() == ShapeKind::PARTICIPANT) {
            flows.emplace_back(shape, &c);
          }
        }
      }
    }
  }
  // Grouped in the order the flows were found: each route depends on those laid before it, so
  // the order must not depend on where the shapes lie in memory.
  std::vector<std::pair<Shape*, std::vector<Connection*>>> by_shape;
  std::unordered_map<const Shape*, std::size_t> group_of;
  for (auto& [shape, c] : flows) {
    const auto [it, added] = group_of.emplace(shape, by_shape.size());
    if (added) by_shape.emplace_back(shape, std::vector<Connection*>{});
    by_shape[it->second].second.push_back(c);
  }
  return by_shape;
}

std::vector<const Connection*> route_black_box_messages(
    const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter) {
  const std::vector<std::pair<Shape*, std::vector<Connection*>>> by_shape =
      black_box_messages_by_shape(pools);
  // Without such flows there is nothing to route, and measuring every name for the blockers
  // would cost a large diagram seconds.
  if (by_shape.empty()) return {};
  Drawn drawn = drawn_before(pools, painter);
  const TextStyle style = connection_label_style(painter);
  // The labelled messages, whether each comes from the band, and whether its label goes right
  // of it first: the left ones of messages side by side at a shape label to the left, away from
  // their neighbours.
  struct Labelled {
    Connection* connection;
    bool from_band;
    bool right_first;
  };
  std::vector<Labelled> labelled;
  for (auto& [shape, connections] : by_shape) {
    const std::size_t n = connections.size();
    const std::size_t mark = drawn.size();
    // The messages laid, with their ways from the shape to the band, and how many routes those
    // cross (for untangle).
    std::vector<Connection*> laid_here;
    std::vector<std::vector<Point>> ways;
    int crossed = 0;
    for (std::size_t i = 0; i < n; ++i) {
      Connection& c = *connections[i];
      c.waypoints.clear();
      c.label_box.reset();
      const bool from_band = c.source != shape;
      const Shape* band = from_band ? c.source : c.target;
      if (!placed(shape->box) || band == nullptr || !placed(band->box)) continue;
      double x = black_box_message_x(shape->box, band->box, i, n);
      const bool band_above = band->box.bottom() <= shape->box.y;
      const double band_y = band_above ? band->box.bottom() : band->box.y;
      Point at_shape = outline_at(*shape, x, band_above);
      // A shape or name in the way: a place along an activity's side whose way straight to the
      // band is clear and uncrowded, if there is one, rather than a turn round what is in the way.
      if (shape->kind() == ShapeKind::ACTIVITY &&
          !drawn.blocking(shape, x, at_shape.y, band_y).empty()) {
        for (const double moved : black_box_straight_xs(x, shape->box.x, shape->box.right())) {
          const Point at = outline_at(*shape, moved, band_above);
          if (drawn.blocking(shape, moved, at.y, band_y).empty() &&
              !drawn.crowded(moved, at.y, band_y)) {
            x = moved;
            at_shape = at;
            break;
          }
        }
      }
      // A route running close along the straight way to the band: a place a step or two along
      // the side whose straight way is clear, if there is one.
      if (drawn.blocking(shape, x, at_shape.y, band_y).empty() &&
          drawn.crowded(x, at_shape.y, band_y)) {
        double farthest = drawn.clearance(x, at_shape.y, band_y);
        for (const double off : {RUN_SPACING, -RUN_SPACING, 2 * RUN_SPACING, -2 * RUN_SPACING,
                                 RUN_SPACING / 2, -RUN_SPACING / 2}) {
          const double moved = x + off;
          if (moved < shape->box.x + 4 || moved > shape->box.right() - 4) continue;
          const Point at = outline_at(*shape, moved, band_above);
          if (!drawn.blocking(shape, moved, at.y, band_y).empty()) continue;
          const double clear = drawn.clearance(moved, at.y, band_y);
          if (clear > farthest) {
            farthest = clear;
            at_shape = at;
          }
        }
      }
      std::vector<Point> route = message_route(*shape, at_shape, band_y, drawn);
      if (n > 1) crossed += drawn.crossings(route);
      drawn.add_route(route);
      laid_here.push_back(&c);
      ways.push_back(std::move(route));
    }
    if (ways.size() > 1) untangle(*shape, ways, crossed, mark, drawn);
    for (std::size_t k = 0; k < ways.size(); ++k) {
      Connection& c = *laid_here[k];
      const bool from_band = c.source != shape;
      c.waypoints = ways[k];
      if (from_band) std::reverse(c.waypoints.begin(), c.waypoints.end());
      if (c.label.empty()) continue;
      // Its place's rank along the side among the messages here, the leftmost 0.
      std::size_t rank = 0;
      for (std::size_t j = 0; j < ways.size(); ++j) {
        const double xj = ways[j].front().x, xk = ways[k].front().x;
        if (xj < xk || (xj == xk && j < k)) ++rank;
      }
      labelled.push_back(
          {&c, from_band, 2 * static_cast<double>(rank) + 1 >= static_cast<double>(ways.size())});
    }
  }
  // The labels once every message is laid, so that none lies on a message laid after it.
  for (const auto& [c, from_band, right_first] : labelled) {
    const TextExtent text = connection_label_extent(painter, c->label, style);
    // A little room to spare: modellers set labels in their own fonts within these bounds.
    const double w = std::ceil(std::min(text.width, CONNECTION_LABEL_MAX_WIDTH)) + 12;
    const double h = std::ceil(text.height) + 2;
    const std::vector<Point>& route = c->waypoints;
    const Point& a = from_band ? route[0] : route[route.size() - 2];
    const Point& b = from_band ? route[1] : route.back();
    c->label_box =
        message_label(a, b, (from_band ? c->source : c->target)->box, w, h, drawn, right_first);
    drawn.add_label(*c->label_box);
  }
  std::vector<const Connection*> laid;
  for (const auto& [shape, connections] : by_shape) {
    for (const Connection* c : connections) {
      if (!c->waypoints.empty()) laid.push_back(c);
    }
  }
  return laid;
}

}  // namespace orvane
