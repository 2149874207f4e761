// Orthogonal connection routing over the channels between the rows and columns of shapes.
//
// The placed shapes (with the visible part of their names) are clustered into columns along x
// and rows along y. The gaps between clusters are channels that run across the whole diagram
// without touching any shape, so a route that leaves its source through a short stub, then
// travels only inside channels and enters its target through a short stub, crosses no other
// shape. Segments that share a channel and overlap get separate tracks inside it.
#include "orvane/routing.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <queue>
#include <tuple>
#include <unordered_map>

#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/helper.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

constexpr double OUTER_CHANNEL = 24;  // channel width beyond the outermost rows and columns
constexpr double MIN_CHANNEL = 6;     // narrower gaps are not used as channels
constexpr double TRACK_SPACING = 10;  // preferred distance between parallel tracks
constexpr double TRACK_GAP = 50;      // segments closer than this along a channel share no track
constexpr double LABEL_GAP = 3;       // distance between a label and its route
constexpr double LABEL_PAD = 2;       // padding around the measured label text

enum Side { RIGHT, LEFT, TOP, BOTTOM };

const char* side_name(Side side) {
  switch (side) {
    case RIGHT:
      return "right";
    case LEFT:
      return "left";
    case TOP:
      return "top";
    case BOTTOM:
      return "bottom";
  }
  return "right";
}

bool finite_box(const Box& b) {
  return std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.width) &&
         std::isfinite(b.height);
}

// A box the router works with: finite, not empty, and within a billion pixels of the origin
// (further out, cell and track arithmetic would overflow; no picture is that large).
bool placed(const Box& b) {
  constexpr double FAR = 1e9;
  return finite_box(b) && b.width > 0 && b.height > 0 && std::abs(b.x) < FAR &&
         std::abs(b.y) < FAR && b.width < FAR && b.height < FAR;
}

bool overlaps(const Box& a, const Box& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

bool inside(const Box& inner, const Box& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
         inner.bottom() <= outer.bottom();
}

// A placed shape as the router sees it.
struct Node {
  Shape* shape = nullptr;
  Box box;
  Box ink;  // the visible name outside the box (equal to box when there is none)
  bool label_below = false;
  bool rectangular = false;  // ends may spread along a side
  bool name_moves = false;   // a flow leaves the bottom, through where the name is drawn
  bool top_taken = false;    // a forked flow leaves the top corner
  bool boundary = false;     // a boundary event on an activity's lower border
  Box name_box;              // the shape's label box as it came in
  int col = 0;
  int row = 0;
};

struct Interval {
  double lo = 0;
  double hi = 0;
};

// Clusters of shape extents along one axis; channel i lies before cluster i.
struct Axis {
  std::vector<Interval> clusters;

  void build(std::vector<Interval> spans) {
    std::sort(spans.begin(), spans.end(),
              [](const Interval& a, const Interval& b) { return a.lo < b.lo; });
    for (const Interval& s : spans) {
      if (!clusters.empty() && s.lo < clusters.back().hi + MIN_CHANNEL) {
        clusters.back().hi = std::max(clusters.back().hi, s.hi);
      } else {
        clusters.push_back(s);
      }
    }
  }

  int cluster_of(double lo) const {
    auto it = std::upper_bound(clusters.begin(), clusters.end(), lo,
                               [](double v, const Interval& c) { return v < c.lo; });
    return std::max(0, static_cast<int>(it - clusters.begin()) - 1);
  }

  Interval channel(int i) const {
    const int n = static_cast<int>(clusters.size());
    const double lo = i == 0 ? clusters[0].lo - OUTER_CHANNEL : clusters[i - 1].hi;
    const double hi = i == n ? clusters[n - 1].hi + OUTER_CHANNEL : clusters[i].lo;
    return {lo, hi};
  }
};

// A coordinate of a waypoint: fixed, or the track of a slot in a channel.
struct Val {
  double v = 0;
  int slot = -1;
};

struct Slot {
  bool vertical = false;  // a vertical segment in a vertical channel (between columns)
  int channel = 0;
  double lo = 0;
  double hi = 0;
  double pos = 0;
};

// CORNER leaves the source's top or bottom straight to the height of the target's end and turns
// once into the target's side; it uses no channel. OUT_HV leaves the top or bottom into the
// horizontal channel h, then runs in the vertical channel v2 to the target's side.
enum class Pattern { ZV, ZH, VH, HV, VHV, HVH, CORNER, OUT_HV };

// Sides and channels of a route. VHV uses v1, h, v2 in that order; HVH uses h, then the
// vertical channel v1, then the horizontal channel held in v2.
struct Plan {
  Side source_side = RIGHT;
  Side target_side = LEFT;
  Pattern pattern = Pattern::ZV;
  int v1 = 0;
  int h = 0;
  int v2 = 0;
};

struct Route {
  Connection* connection = nullptr;
  int source = 0;
  int target = 0;
  Plan plan;
  bool forked = false;  // moved off the right corner of an event or gateway by split_forks
  Point start;
  Point end;
  std::vector<std::pair<Val, Val>> points;
};

// Shapes of one row (or column) sorted by their column (or row), to ask whether a straight run
// between two cells is free.
class LineIndex {
 public:
  explicit LineIndex(int lines) : lines_(static_cast<size_t>(lines)) {}
  void add(int line, int position) { lines_[static_cast<size_t>(line)].push_back(position); }
  void finish() {
    for (auto& l : lines_) std::sort(l.begin(), l.end());
  }
  // Whether no shape of `line` sits strictly between positions a and b.
  bool free_between(int line, int a, int b) const {
    if (a > b) std::swap(a, b);
    const auto& l = lines_[static_cast<size_t>(line)];
    auto it = std::upper_bound(l.begin(), l.end(), a);
    return it == l.end() || *it >= b;
  }

 private:
  std::vector<std::vector<int>> lines_;
};

// Uniform-grid spatial hash of boxes, for label placement.
class BoxIndex {
 public:
  explicit BoxIndex(double cell) : cell_(cell) {}
  void add(const Box& b) {
    if (!finite_box(b)) return;
    const int id = static_cast<int>(boxes_.size());
    boxes_.push_back(b);
    if (cell_count(b) > MAX_CELLS) {
      large_.push_back(id);  // kept out of the grid so it is not written into millions of cells
      return;
    }
    for_cells(b, [&](int64_t key) { cells_[key].push_back(id); });
  }
  bool hits(const Box& b) const {
    for (int id : large_) {
      if (overlaps(boxes_[static_cast<size_t>(id)], b)) return true;
    }
    if (cell_count(b) > MAX_CELLS) {
      for (const Box& other : boxes_) {
        if (overlaps(other, b)) return true;
      }
      return false;
    }
    bool hit = false;
    for_cells(b, [&](int64_t key) {
      if (hit) return;
      auto it = cells_.find(key);
      if (it == cells_.end()) return;
      for (int id : it->second) {
        if (overlaps(boxes_[static_cast<size_t>(id)], b)) {
          hit = true;
          return;
        }
      }
    });
    return hit;
  }

 private:
  static constexpr double MAX_CELLS = 4096;
  double cell_count(const Box& b) const {
    return (std::floor(b.right() / cell_) - std::floor(b.x / cell_) + 1) *
           (std::floor(b.bottom() / cell_) - std::floor(b.y / cell_) + 1);
  }
  template <typename F>
  void for_cells(const Box& b, F&& f) const {
    const auto x0 = static_cast<int64_t>(std::floor(b.x / cell_));
    const auto x1 = static_cast<int64_t>(std::floor(b.right() / cell_));
    const auto y0 = static_cast<int64_t>(std::floor(b.y / cell_));
    const auto y1 = static_cast<int64_t>(std::floor(b.bottom() / cell_));
    for (int64_t y = y0; y <= y1; ++y) {
      for (int64_t x = x0; x <= x1; ++x) f((y << 32) ^ (x & 0xffffffff));
    }
  }
  double cell_;
  std::vector<Box> boxes_;
  std::vector<int> large_;
  std::unordered_map<int64_t, std::vector<int>> cells_;
};

// The visible part of a shape's name when it is drawn outside the shape: the measured text
// inside the shape's label box, aligned as the shape aligns it.
Box label_ink(const Shape& shape, const Painter& painter) {
  const Box& lb = shape.label_box;
  if (shape.name.empty() || !placed(lb) || inside(lb, shape.box)) return shape.box;
  TextStyle style;
  style.font = shape.font.empty() ? painter.element_font : shape.font;
  style.font_size = shape.font_size > 0             ? shape.font_size
                    : painter.element_font_size > 0 ? painter.element_font_size
                                                    : 12;
  const TextExtent extent = painter.measure_text(shape.name, style, lb.width);
  const double w = std::clamp(extent.width + 2 * LABEL_PAD, 0.0, lb.width);
  double x = lb.centre_x() - w / 2;
  if (shape.text_alignment == "left") x = lb.x;
  if (shape.text_alignment == "right") x = lb.right() - w;
  return {x, lb.y, w, lb.height};
}

class Router {
 public:
  Router(const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter)
      : painter_(painter) {
    collect(pools);
  }

  void run() {
    if (nodes_.empty()) return;
    build_channels();
    for (Route& r : routes_) r.plan = plan(r);
    split_forks();
    // Flows leave a boundary event downwards, through the name set below it: the name moves
    // beside them.
    for (const Route& r : routes_) {
      Node& s = nodes_[static_cast<size_t>(r.source)];
      if (s.boundary && s.label_below && !s.shape->name.empty()) s.name_moves = true;
    }
    // A fork whose shape's name finds no place beside the flow leaving the bottom is given up
    // and the routes are laid again.
    for (int attempt = 0;; ++attempt) {
      lay_routes();
      if (attempt == 2 || !move_names()) break;
    }
    place_labels();
  }

 private:
  void lay_routes() {
    // Two flows that cross between the same pair of columns with ends fixed at the same heights
    // cannot both stay apart in the channel; one of them is then led into its target from above
    // and the routes are laid again.
    for (int round = 0;; ++round) {
      slots_.clear();
      assign_ports();
      for (Route& r : routes_) {
        r.points.clear();
        build_points(r);
      }
      assign_tracks();
      for (Route& r : routes_) store(r);
      if (round == 2 || !replan_overlaps()) break;
    }
  }

  void collect(const std::vector<std::unique_ptr<Pool>>& pools) {
    std::unordered_map<const Shape*, int> index;
    std::vector<Shape*> sources;
    for (const auto& pool : pools) {
      if (!pool) continue;
      add_band(pool->coord.x_pos, pool->coord.y_pos, pool->width, pool->height,
               Configs::POOL_TEXT_WIDTH);
      for (const auto& lane : pool->lanes) {
        if (!lane) continue;
        add_band(lane->coord.x_pos, lane->coord.y_pos, lane->width, lane->height,
                 Configs::LANE_TEXT_WIDTH);
        // Boundary events lead on like the shapes of the lane; groups and annotations are not
        // part of any route (an annotation's association is drawn straight when it is placed).
        std::vector<Shape*> members = lane->shapes;
        for (Shape* shape : lane->attached) {
          if (shape != nullptr && shape->kind() == ShapeKind::EVENT) members.push_back(shape);
        }
        for (Shape* shape : members) {
          if (shape == nullptr || index.count(shape) != 0) continue;
          sources.push_back(shape);
          if (!placed(shape->box)) continue;
          Node n;
          n.shape = shape;
          n.box = shape->box;
          n.ink = label_ink(*shape, painter_);
          n.name_box = shape->label_box;
          n.label_below = !(n.ink == n.box) && n.ink.y >= n.box.centre_y();
          n.rectangular =
              shape->kind() == ShapeKind::ACTIVITY || shape->kind() == ShapeKind::TERMINATOR;
          const auto* event = dynamic_cast<const Event*>(shape);
          n.boundary = event != nullptr && event->boundary_of() != nullptr;
          index.emplace(shape, static_cast<int>(nodes_.size()));
          nodes_.push_back(n);
        }
      }
    }
    for (Shape* shape : sources) {
      if (!shape->connection_to) continue;
      const auto s = index.find(shape);
      for (Connection& c : *shape->connection_to) {
        c.waypoints.clear();
        c.label_box.reset();
        const auto t = index.find(c.target);
        if (s == index.end() || t == index.end()) continue;
        Route r;
        r.connection = &c;
        r.source = s->second;
        r.target = t->second;
        routes_.push_back(r);
      }
    }
  }

  // Remembers the border lines of a pool or lane band (and of its name strip), which routes
  // should not run along.
  void add_band(int x, int y, int width, int height, int text_width) {
    band_xs_.insert(band_xs_.end(), {double(x), double(x + text_width), double(x + width)});
    band_ys_.insert(band_ys_.end(), {double(y), double(y + height)});
  }

  // The widest part of a channel that keeps a few pixels off every band border crossing it, so
  // that no track lies on a pool or lane line; the whole channel when that part is too narrow.
  static Interval clear_of_bands(const Interval& c, const std::vector<double>& borders) {
    constexpr double KEEP_OFF = 4;
    Interval best{0, -1};
    double lo = c.lo;
    auto consider = [&](double a, double b) {
      if (b - a > best.hi - best.lo) best = {a, b};
    };
    auto it = std::upper_bound(borders.begin(), borders.end(), c.lo - KEEP_OFF);
    for (; it != borders.end() && *it < c.hi + KEEP_OFF; ++it) {
      consider(lo, std::min(c.hi, *it - KEEP_OFF));
      lo = std::max(lo, *it + KEEP_OFF);
    }
    consider(lo, c.hi);
    return best.hi - best.lo >= 8 ? best : c;
  }

  static Box extent(const Node& n) {
    const double x = std::min(n.box.x, n.ink.x);
    const double y = std::min(n.box.y, n.ink.y);
    return {x, y, std::max(n.box.right(), n.ink.right()) - x,
            std::max(n.box.bottom(), n.ink.bottom()) - y};
  }

  void build_channels() {
    for (auto* borders : {&band_xs_, &band_ys_}) {
      std::sort(borders->begin(), borders->end());
      borders->erase(std::unique(borders->begin(), borders->end()), borders->end());
    }
    std::vector<Interval> xs;
    std::vector<Interval> ys;
    for (const Node& n : nodes_) {
      const Box e = extent(n);
      xs.push_back({e.x, e.right()});
      ys.push_back({e.y, e.bottom()});
    }
    cols_.build(xs);
    rows_.build(ys);
    LineIndex by_row(static_cast<int>(rows_.clusters.size()));
    LineIndex by_col(static_cast<int>(cols_.clusters.size()));
    for (Node& n : nodes_) {
      const Box e = extent(n);
      n.col = cols_.cluster_of(e.x);
      n.row = rows_.cluster_of(e.y);
      by_row.add(n.row, n.col);
      by_col.add(n.col, n.row);
    }
    by_row.finish();
    by_col.finish();
    by_row_ = std::move(by_row);
    by_col_ = std::move(by_col);
  }

  // Chooses the sides and the channels of a route from where its ends sit on the grid.
  Plan plan(const Route& r) const {
    const Node& s = nodes_[static_cast<size_t>(r.source)];
    const Node& t = nodes_[static_cast<size_t>(r.target)];
    const int dc = t.col - s.col;
    const int dr = t.row - s.row;
    Plan p;
    // The horizontal channel next to the target's row, on the source's side.
    const int h_near_target = dr > 0 ? t.row : t.row + 1;
    if (r.source == r.target) {
      return {RIGHT, TOP, Pattern::VH, s.col + 1, s.row, 0};
    }
    if (s.boundary) {
      // A boundary event sits on its activity's lower border: its flows leave downwards, into
      // the channel below the activity's row, and run from there to the target's side.
      if (t.col == s.col && dr > 0) return {BOTTOM, TOP, Pattern::ZH, 0, s.row + 1, 0};
      const bool right = t.col >= s.col;
      return {BOTTOM,    right ? LEFT : RIGHT,     Pattern::OUT_HV, 0,
              s.row + 1, right ? t.col : t.col + 1};
    }
    if (dc > 0 || (dc < 0 && dr != 0 && s.rectangular && t.rectangular)) {
      const bool forward = dc > 0;
      p.source_side = forward ? RIGHT : LEFT;
      p.target_side = forward ? LEFT : RIGHT;
      const int v_source = forward ? s.col + 1 : s.col;
      const int v_target = forward ? t.col : t.col + 1;
      p.pattern = Pattern::ZV;
      // A run along a row passes only empty cells; in another row than the target's it must
      // also stop short of a shape in the target's column, whose stubs use the same channel at
      // the same height (and likewise next to the source).
      const int step = forward ? 1 : -1;
      const int run_end = dr == 0 ? t.col : t.col + step;
      if (v_source == v_target) {
        p.v1 = v_source;
      } else if (by_row_.free_between(s.row, s.col, run_end)) {
        p.v1 = v_target;  // straight along the source's row, turn next to the target
      } else if (dr != 0 && by_row_.free_between(t.row, s.col - step, t.col)) {
        p.v1 = v_source;  // turn next to the source, straight along the target's row
      } else {
        p.pattern = Pattern::VHV;
        p.v1 = v_source;
        p.h = dr == 0 ? s.row + 1 : h_near_target;
        p.v2 = v_target;
      }
      return p;
    }
    if (dc < 0 && dr != 0) {
      // Back to an earlier column in another row. Events and gateways keep their left and right
      // for the forward flow, so loops leave and enter them on top.
      if (s.rectangular) return {LEFT, TOP, Pattern::VH, s.col, t.row, 0};
      if (t.rectangular) return {TOP, RIGHT, Pattern::HV, 0, s.row, t.col + 1};
      return {TOP, TOP, Pattern::HVH, s.col, s.row, t.row};
    }
    if (dc < 0) {  // back to an earlier column of the same row: over the top
      return {TOP, TOP, Pattern::ZH, 0, s.row, 0};
    }
    // Same column.
    const bool between_free = by_col_.free_between(s.col, s.row, t.row);
    if (dr > 0) {
      if (!s.label_below && between_free) return {BOTTOM, TOP, Pattern::ZH, 0, s.row + 1, 0};
      return {RIGHT, TOP, Pattern::VH, s.col + 1, t.row, 0};
    }
    if (dr < 0) {
      if (!t.label_below && between_free) return {TOP, BOTTOM, Pattern::ZH, 0, s.row, 0};
      if (t.rectangular) return {TOP, RIGHT, Pattern::HV, 0, s.row, s.col + 1};
      return {TOP, TOP, Pattern::HVH, s.col + 1, s.row, t.row};
    }
    return {RIGHT, TOP, Pattern::VH, s.col + 1, t.row, 0};  // two shapes in one cell
  }

  // Events and gateways take every end of a side at its corner, so two flows leaving the same
  // corner run on each other until one turns. When several flows leave one such shape on the
  // right, the one continuing along the row keeps the right corner, one whose target lies below
  // leaves the bottom corner and one whose target lies above the top corner, where those corners
  // are otherwise unused and the straight way there passes no shape.
  void split_forks() {
    std::vector<uint8_t> used(nodes_.size() * 4, 0);  // ends on each node side, saturating
    auto bump = [&](int node, Side side) {
      uint8_t& u = used[static_cast<size_t>(node) * 4 + side];
      if (u < 255) ++u;
    };
    auto drop = [&](int node, Side side) {
      uint8_t& u = used[static_cast<size_t>(node) * 4 + side];
      if (u > 0 && u < 255) --u;  // a saturated count stays "used"
    };
    std::vector<std::vector<int>> right_outs(nodes_.size());
    for (size_t i = 0; i < routes_.size(); ++i) {
      const Route& r = routes_[i];
      bump(r.source, r.plan.source_side);
      bump(r.target, r.plan.target_side);
      if (r.source != r.target && r.plan.source_side == RIGHT &&
          !nodes_[static_cast<size_t>(r.source)].rectangular) {
        right_outs[static_cast<size_t>(r.source)].push_back(static_cast<int>(i));
      }
    }
    auto free_side = [&](int node, Side side) {
      return used[static_cast<size_t>(node) * 4 + side] == 0;
    };
    // Whether a side of the target has no end but possibly the route's own.
    auto free_but_own = [&](const Route& r, Side side) {
      const int own = r.plan.target_side == side ? 1 : 0;
      return used[static_cast<size_t>(r.target) * 4 + side] <= own;
    };
    // Forked flows run straight up or down through their source's column at its centre, which
    // shapes of one column may share: the stretches taken so far, per column, in half rows
    // (2 * row is a row's middle, 2 * row + 1 the channel below it).
    std::unordered_map<int, std::vector<std::pair<int, int>>> taken;
    auto stretch_free = [&](int col, std::pair<int, int> span) {
      const auto it = taken.find(col);
      if (it == taken.end()) return true;
      return std::none_of(it->second.begin(), it->second.end(), [&](const auto& other) {
        return span.first < other.second && other.first < span.second;
      });
    };
    auto stretch = [](const Node& s, const Node& t, bool around) {
      if (around)
        return t.row > s.row ? std::pair{2 * s.row + 1, 2 * s.row + 2}
                             : std::pair{2 * s.row - 2, 2 * s.row - 1};
      return t.row > s.row ? std::pair{2 * s.row + 1, 2 * t.row}
                           : std::pair{2 * t.row, 2 * s.row - 1};
    };
    for (size_t n = 0; n < nodes_.size(); ++n) {
      const auto& outs = right_outs[n];
      if (outs.size() < 2) continue;
      const Node& s = nodes_[n];
      // The best target below and the best above: one reached straight before one reached
      // through the channels, then the nearest by rows and columns.
      int down = -1;
      int up = -1;
      bool down_around = false;
      bool up_around = false;
      auto better = [&](int a, bool a_around, int b, bool b_around) {
        if (b < 0) return true;
        if (a_around != b_around) return !a_around;
        const Node& ta = nodes_[static_cast<size_t>(routes_[static_cast<size_t>(a)].target)];
        const Node& tb = nodes_[static_cast<size_t>(routes_[static_cast<size_t>(b)].target)];
        const int ra = std::abs(ta.row - s.row);
        const int rb = std::abs(tb.row - s.row);
        return ra < rb || (ra == rb && ta.col < tb.col);
      };
      for (int i : outs) {
        const Route& r = routes_[static_cast<size_t>(i)];
        const Node& t = nodes_[static_cast<size_t>(r.target)];
        if (t.col < s.col || t.row == s.row) continue;
        // A flow out of the top must not pass through a name drawn above the shape.
        if (t.row < s.row && !(s.ink == s.box) && !s.label_below) continue;
        // Straight down (or up) and across; else, for a target further right, through the
        // channel next to the source's row and the channel before the target's column.
        // The way around needs the cell next to the exit empty: a shape there may take a flow
        // in or out of the same channel at the same x, head on.
        bool around = !corner_way_free(s, t, r, free_but_own);
        const bool next_cell_free = t.row > s.row ? by_col_.free_between(s.col, s.row, s.row + 2)
                                                  : by_col_.free_between(s.col, s.row - 2, s.row);
        if (around && (t.col == s.col || !next_cell_free)) continue;
        if (!stretch_free(s.col, stretch(s, t, around))) {
          if (around || t.col == s.col || !next_cell_free ||
              !stretch_free(s.col, stretch(s, t, true))) {
            continue;
          }
          around = true;
        }
        const bool below = t.row > s.row;
        int& pick = below ? down : up;
        bool& pick_around = below ? down_around : up_around;
        if (better(i, around, pick, pick_around)) {
          pick = i;
          pick_around = around;
        }
      }
      const Side sides[2] = {BOTTOM, TOP};
      const int picks[2] = {down, up};
      const bool arounds[2] = {down_around, up_around};
      for (int k = 0; k < 2; ++k) {
        if (picks[k] < 0 || !free_side(static_cast<int>(n), sides[k])) continue;
        Route& r = routes_[static_cast<size_t>(picks[k])];
        const Node& t = nodes_[static_cast<size_t>(r.target)];
        const bool below = sides[k] == BOTTOM;
        drop(static_cast<int>(n), r.plan.source_side);
        drop(r.target, r.plan.target_side);
        if (t.col == s.col) {
          r.plan = {sides[k], below ? TOP : BOTTOM, Pattern::ZH, 0, below ? s.row + 1 : s.row, 0};
        } else if (arounds[k]) {
          r.plan = {sides[k], LEFT, Pattern::OUT_HV, 0, below ? s.row + 1 : s.row, t.col};
        } else {
          r.plan = {sides[k], LEFT, Pattern::CORNER, 0, 0, 0};
        }
        r.forked = true;
        if (!below) nodes_[n].top_taken = true;
        taken[s.col].push_back(stretch(s, t, arounds[k]));
        bump(static_cast<int>(n), sides[k]);
        bump(r.target, r.plan.target_side);
        if (below && s.label_below && !s.shape->name.empty()) nodes_[n].name_moves = true;
      }
    }
  }

  // Whether a flow from `s` out of its top or bottom can reach `t` (in the same or a later
  // column, in another row) straight: no shape in s's column up to and including t's row, none
  // in t's row between the two columns, and for a target in the same column, none between them.
  template <typename FreeSide>
  bool corner_way_free(const Node& s, const Node& t, const Route& r, FreeSide&& free_side) const {
    const bool below = t.row > s.row;
    if (t.col == s.col) {
      if (!by_col_.free_between(s.col, s.row, t.row)) return false;
      // Coming in from above or below; events and gateways take one end per corner.
      return t.rectangular || free_side(r, below ? TOP : BOTTOM);
    }
    if (below && t.ink.y < t.box.y) return false;  // the target's name is drawn above it
    const int past = below ? t.row + 1 : t.row - 1;
    if (!by_col_.free_between(s.col, s.row, past)) return false;
    if (!by_row_.free_between(t.row, s.col, t.col)) return false;
    return t.rectangular || free_side(r, LEFT);
  }

  // Finds segments of different routes (with no shape in common) that run on each other, and
  // re-plans one route of each such pair to enter its target from above. Returns whether any
  // route changed.
  bool replan_overlaps() {
    struct Seg {
      int64_t line;  // coordinate in quarter pixels * 2 + vertical
      double lo, hi;
      int route;
    };
    std::vector<Seg> segs;
    for (size_t i = 0; i < routes_.size(); ++i) {
      const auto& w = routes_[i].connection->waypoints;
      for (size_t k = 0; k + 1 < w.size(); ++k) {
        const bool vertical = w[k].x == w[k + 1].x;
        const double at = vertical ? w[k].x : w[k].y;
        const double a = vertical ? w[k].y : w[k].x;
        const double b = vertical ? w[k + 1].y : w[k + 1].x;
        if (!std::isfinite(at) || std::abs(at) > 1e15) continue;
        segs.push_back({std::llround(at * 4) * 2 + (vertical ? 1 : 0), std::min(a, b),
                        std::max(a, b), static_cast<int>(i)});
      }
    }
    std::sort(segs.begin(), segs.end(), [](const Seg& a, const Seg& b) {
      return a.line < b.line || (a.line == b.line && a.lo < b.lo);
    });
    bool changed = false;
    for (size_t i = 0; i < segs.size(); ++i) {
      for (size_t j = i + 1;
           j < segs.size() && segs[j].line == segs[i].line && segs[j].lo < segs[i].hi - 1; ++j) {
        if (segs[i].route == segs[j].route) continue;
        Route& a = routes_[static_cast<size_t>(segs[i].route)];
        Route& b = routes_[static_cast<size_t>(segs[j].route)];
        if (a.source == b.source || a.target == b.target || a.source == b.target ||
            a.target == b.source) {
          continue;
        }
        Route& later = segs[i].route > segs[j].route ? a : b;
        Route& earlier = segs[i].route > segs[j].route ? b : a;
        if (enter_from_above(later) || enter_from_above(earlier)) changed = true;
      }
    }
    return changed;
  }

  // Re-plans a route that leaves and enters sideways to come down into its target's top.
  bool enter_from_above(Route& r) {
    Plan& p = r.plan;
    const bool sideways_out = p.source_side == LEFT || p.source_side == RIGHT;
    const bool sideways_in = p.target_side == LEFT || p.target_side == RIGHT;
    if (!sideways_out || !sideways_in || r.source == r.target) return false;
    const Node& s = nodes_[static_cast<size_t>(r.source)];
    const Node& t = nodes_[static_cast<size_t>(r.target)];
    if (t.top_taken && !t.rectangular) return false;  // its top corner is a fork's exit
    p.v1 = p.source_side == RIGHT ? s.col + 1 : s.col;
    p.h = t.row;
    p.target_side = TOP;
    p.pattern = Pattern::VH;
    return true;
  }

  // Places the ends of the routes on the sides of their shapes: the middle of the side, or,
  // for rectangles with several ends on one side, spread along it in the order of the shapes
  // at the other ends so that the routes do not cross next to the shape.
  void assign_ports() {
    struct End {
      int64_t group;  // node * 4 + side
      double key;
      int route;
      bool is_source;
    };
    std::vector<End> ends;
    ends.reserve(routes_.size() * 2);
    for (size_t i = 0; i < routes_.size(); ++i) {
      const Route& r = routes_[i];
      for (int e = 0; e < 2; ++e) {
        const bool is_source = e == 0;
        const int self = is_source ? r.source : r.target;
        const int other = is_source ? r.target : r.source;
        const Side side = is_source ? r.plan.source_side : r.plan.target_side;
        const Box& ob = nodes_[static_cast<size_t>(other)].box;
        const bool vertical_side = side == LEFT || side == RIGHT;
        double key = vertical_side ? ob.centre_y() : ob.centre_x();
        if (self == other) {  // a self-loop leaves high on the right and enters far right on top
          key = vertical_side ? -std::numeric_limits<double>::max()
                              : std::numeric_limits<double>::max();
        }
        ends.push_back(
            {static_cast<int64_t>(self) * 4 + side, key, static_cast<int>(i), is_source});
      }
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) {
      if (a.group != b.group) return a.group < b.group;
      if (a.key != b.key) return a.key < b.key;
      if (a.route != b.route) return a.route < b.route;
      return a.is_source < b.is_source;
    });
    std::vector<double> fractions;
    for (size_t first = 0; first < ends.size();) {
      size_t last = first;
      while (last < ends.size() && ends[last].group == ends[first].group) ++last;
      const Node& n = nodes_[static_cast<size_t>(ends[first].group / 4)];
      const auto side = static_cast<Side>(ends[first].group % 4);
      port_fractions(n, side, ends.begin() + static_cast<std::ptrdiff_t>(first),
                     ends.begin() + static_cast<std::ptrdiff_t>(last), fractions);
      for (size_t i = first; i < last; ++i) {
        const double f = fractions[i - first];
        Point p;
        switch (side) {
          case RIGHT:
            p = {n.box.right(), n.box.y + f * n.box.height};
            break;
          case LEFT:
            p = {n.box.x, n.box.y + f * n.box.height};
            break;
          case TOP:
            p = {n.box.x + f * n.box.width, n.box.y};
            break;
          case BOTTOM:
            p = {n.box.x + f * n.box.width, n.box.bottom()};
            break;
        }
        Route& r = routes_[static_cast<size_t>(ends[i].route)];
        (ends[i].is_source ? r.start : r.end) = p;
      }
      first = last;
    }
  }

  // Whether a route may run straight along its row (its ends then want the same height).
  bool along_row(const Route& r) const {
    return r.plan.pattern == Pattern::ZV &&
           nodes_[static_cast<size_t>(r.source)].row == nodes_[static_cast<size_t>(r.target)].row;
  }

  // Where the ends of one side sit, as fractions of the side from its top or left. Events and
  // gateways take every end at the middle (their corner point). Rectangles spread several ends;
  // an end that runs straight along the row keeps the middle and the others spread around it.
  // A lone end that turns in the channel sits off the middle, flows out above and flows in
  // below, so that a flow leaving one shape never lies on a flow entering the shape across the
  // channel.
  template <typename It>
  void port_fractions(const Node& n, Side side, It first, It last, std::vector<double>& out) const {
    const auto k = static_cast<size_t>(last - first);
    out.assign(k, 0.5);
    if (!n.rectangular) return;
    const bool sideways = side == LEFT || side == RIGHT;
    size_t straight = k;
    for (size_t i = 0; i < k && sideways; ++i) {
      if (along_row(routes_[static_cast<size_t>(first[static_cast<std::ptrdiff_t>(i)].route)])) {
        straight = i;
        break;
      }
    }
    if (k == 1) {
      if (sideways && straight == k) out[0] = first->is_source ? 0.375 : 0.625;
      return;
    }
    if (straight == k) {
      for (size_t i = 0; i < k; ++i) out[i] = static_cast<double>(i + 1) / (k + 1);
      return;
    }
    for (size_t i = 0; i < straight; ++i) out[i] = 0.5 * (i + 1) / (straight + 1);
    for (size_t i = straight + 1; i < k; ++i) {
      out[i] = 0.5 + 0.5 * static_cast<double>(i - straight) / (k - straight);
    }
  }

  Val track(bool vertical, int channel) {
    slots_.push_back({vertical, channel, 0, 0, 0});
    return {0, static_cast<int>(slots_.size()) - 1};
  }

  static Val at(double v) { return {v, -1}; }

  void build_points(Route& r) {
    const Plan& p = r.plan;
    const Point a = r.start;
    const Point b = r.end;
    auto& pts = r.points;
    pts.push_back({at(a.x), at(a.y)});
    switch (p.pattern) {
      case Pattern::ZV:
        if (a.y != b.y) {
          const Val x = track(true, p.v1);
          pts.push_back({x, at(a.y)});
          pts.push_back({x, at(b.y)});
        }
        break;
      case Pattern::ZH:
        if (a.x != b.x || p.source_side == p.target_side) {
          const Val y = track(false, p.h);
          pts.push_back({at(a.x), y});
          pts.push_back({at(b.x), y});
        }
        break;
      case Pattern::VH: {
        const Val x = track(true, p.v1);
        const Val y = track(false, p.h);
        pts.push_back({x, at(a.y)});
        pts.push_back({x, y});
        pts.push_back({at(b.x), y});
        break;
      }
      case Pattern::HV:
      case Pattern::OUT_HV: {
        const Val y = track(false, p.h);
        const Val x = track(true, p.v2);
        pts.push_back({at(a.x), y});
        pts.push_back({x, y});
        pts.push_back({x, at(b.y)});
        break;
      }
      case Pattern::VHV: {
        const Val x1 = track(true, p.v1);
        const Val y = track(false, p.h);
        const Val x2 = track(true, p.v2);
        pts.push_back({x1, at(a.y)});
        pts.push_back({x1, y});
        pts.push_back({x2, y});
        pts.push_back({x2, at(b.y)});
        break;
      }
      case Pattern::CORNER:
        pts.push_back({at(a.x), at(b.y)});
        break;
      case Pattern::HVH: {
        const Val y1 = track(false, p.h);
        const Val x = track(true, p.v1);
        const Val y2 = track(false, p.v2);
        pts.push_back({at(a.x), y1});
        pts.push_back({x, y1});
        pts.push_back({x, y2});
        pts.push_back({at(b.x), y2});
        break;
      }
    }
    pts.push_back({at(b.x), at(b.y)});
  }

  Interval channel_of(const Slot& s) const {
    return s.vertical ? cols_.channel(s.channel) : rows_.channel(s.channel);
  }

  // A coordinate before tracks are known (the channel's middle), and how far off it may be.
  std::pair<double, double> estimate(const Val& v) const {
    if (v.slot < 0) return {v.v, 0};
    const Interval c = channel_of(slots_[static_cast<size_t>(v.slot)]);
    return {(c.lo + c.hi) / 2, (c.hi - c.lo) / 2};
  }

  // Gives every slot a track: slots of one channel whose extents overlap get different tracks
  // (greedy interval colouring). The tracks are then ordered across the channel so that a stub
  // coming in from one side never runs over a stub of another route leaving to the other side
  // at the same height, and spread around the channel's middle.
  void assign_tracks() {
    // Stubs: where a slot meets a fixed coordinate, the side its neighbour segment lies on.
    struct Stub {
      int64_t channel;  // channel * 2 + vertical
      int64_t at;       // the fixed coordinate, in quarter pixels
      int slot;
      bool low_side;
    };
    std::vector<Stub> stubs;
    for (const Route& r : routes_) {
      const auto& pts = r.points;
      for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const auto& p = pts[i];
        const auto& q = pts[i + 1];
        const bool vertical = p.first.slot >= 0 && p.first.slot == q.first.slot;
        const bool horizontal = p.second.slot >= 0 && p.second.slot == q.second.slot;
        if (!vertical && !horizontal) continue;
        const int slot = vertical ? p.first.slot : p.second.slot;
        Slot& s = slots_[static_cast<size_t>(slot)];
        const auto e1 = estimate(vertical ? p.second : p.first);
        const auto e2 = estimate(vertical ? q.second : q.first);
        s.lo = std::min(e1.first - e1.second, e2.first - e2.second);
        s.hi = std::max(e1.first + e1.second, e2.first + e2.second);
        const Interval c = channel_of(s);
        const double middle = (c.lo + c.hi) / 2;
        // The neighbours before p and after q.
        for (int k = 0; k < 2; ++k) {
          const bool before = k == 0;
          if (before ? i == 0 : i + 2 >= pts.size()) continue;
          const auto& joint = before ? p : q;
          const auto& far = before ? pts[i - 1] : pts[i + 2];
          const Val& at_joint = vertical ? joint.second : joint.first;
          if (at_joint.slot >= 0 || std::abs(at_joint.v) > 1e15) continue;
          const double far_pos = estimate(vertical ? far.first : far.second).first;
          stubs.push_back({channel_key(s), std::llround(at_joint.v * 4), slot, far_pos < middle});
        }
      }
    }
    // Slots by channel, then along the channel.
    std::vector<int> ids(slots_.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int>(i);
    std::sort(ids.begin(), ids.end(), [&](int a, int b) {
      const Slot& sa = slots_[static_cast<size_t>(a)];
      const Slot& sb = slots_[static_cast<size_t>(b)];
      const int64_t ka = channel_key(sa);
      const int64_t kb = channel_key(sb);
      if (ka != kb) return ka < kb;
      return sa.lo < sb.lo || (sa.lo == sb.lo && a < b);
    });
    std::vector<int> track_of(slots_.size(), 0);
    struct Channel {
      int64_t key;
      size_t first, last;  // range in ids
      int tracks;
    };
    std::vector<Channel> channels;
    using Active = std::pair<double, int>;  // end of the extent, track
    for (size_t first = 0; first < ids.size();) {
      const int64_t key = channel_key(slots_[static_cast<size_t>(ids[first])]);
      std::priority_queue<Active, std::vector<Active>, std::greater<>> active;
      std::priority_queue<int, std::vector<int>, std::greater<>> free_tracks;
      int tracks = 0;
      size_t last = first;
      for (; last < ids.size() && channel_key(slots_[static_cast<size_t>(ids[last])]) == key;
           ++last) {
        const Slot& s = slots_[static_cast<size_t>(ids[last])];
        while (!active.empty() && active.top().first + TRACK_GAP <= s.lo) {
          free_tracks.push(active.top().second);
          active.pop();
        }
        int t;
        if (free_tracks.empty()) {
          t = tracks++;
        } else {
          t = free_tracks.top();
          free_tracks.pop();
        }
        track_of[static_cast<size_t>(ids[last])] = t;
        active.push({s.hi, t});
      }
      channels.push_back({key, first, last, tracks});
      first = last;
    }
    // Order constraints between tracks. A stub reaches from its side of the channel to its
    // track; any other segment of the channel passing the stub's height should lie beyond that
    // track, or it crosses the stub. Where the passing segment has a stub of its own at that
    // height on the other side, the two stubs would otherwise lie on each other: those pairs
    // are strong and kept when the others cannot all be met.
    std::sort(stubs.begin(), stubs.end(), [](const Stub& a, const Stub& b) {
      if (a.channel != b.channel) return a.channel < b.channel;
      if (a.at != b.at) return a.at < b.at;
      return a.slot < b.slot || (a.slot == b.slot && a.low_side < b.low_side);
    });
    std::vector<std::pair<int, int>> all_pairs;
    std::vector<std::pair<int, int>> strong_pairs;
    std::vector<int> active;
    size_t next_stub = 0;
    for (const Channel& ch : channels) {
      all_pairs.clear();
      strong_pairs.clear();
      active.clear();
      while (next_stub < stubs.size() && stubs[next_stub].channel < ch.key) ++next_stub;
      size_t next_slot = ch.first;
      while (next_stub < stubs.size() && stubs[next_stub].channel == ch.key) {
        size_t group_end = next_stub;
        while (group_end < stubs.size() && stubs[group_end].channel == ch.key &&
               stubs[group_end].at == stubs[next_stub].at) {
          ++group_end;
        }
        const double at = static_cast<double>(stubs[next_stub].at) / 4;
        // Heights are kept in quarter pixels, hence the half-pixel tolerance.
        while (next_slot < ch.last && slots_[static_cast<size_t>(ids[next_slot])].lo <= at + 0.5) {
          active.push_back(ids[next_slot++]);
        }
        std::erase_if(active,
                      [&](int id) { return slots_[static_cast<size_t>(id)].hi < at - 0.5; });
        auto stub_here = [&](int slot, bool low_side) {
          for (size_t k = next_stub; k < group_end; ++k) {
            if (stubs[k].slot == slot && stubs[k].low_side == low_side) return true;
          }
          return false;
        };
        for (size_t k = next_stub; k < group_end; ++k) {
          const Stub& b = stubs[k];
          const int tb = track_of[static_cast<size_t>(b.slot)];
          for (int a : active) {
            const int ta = track_of[static_cast<size_t>(a)];
            if (a == b.slot || ta == tb || stub_here(a, b.low_side)) continue;
            const std::pair<int, int> order = b.low_side ? std::pair{tb, ta} : std::pair{ta, tb};
            all_pairs.push_back(order);
            if (stub_here(a, !b.low_side)) strong_pairs.push_back(order);
          }
        }
        next_stub = group_end;
      }
      bool cyclic = false;
      std::vector<int> rank = order_tracks(ch.tracks, all_pairs, cyclic);
      if (cyclic) rank = order_tracks(ch.tracks, strong_pairs, cyclic);
      const Slot& first_slot = slots_[static_cast<size_t>(ids[ch.first])];
      const Interval c =
          clear_of_bands(channel_of(first_slot), first_slot.vertical ? band_xs_ : band_ys_);
      const double width = std::max(0.0, c.hi - c.lo);
      const double margin = std::min(8.0, width / 4);
      const double spacing =
          ch.tracks > 1 ? std::min(TRACK_SPACING, (width - 2 * margin) / (ch.tracks - 1)) : 0;
      const double middle = (c.lo + c.hi) / 2;
      for (size_t i = ch.first; i < ch.last; ++i) {
        const auto id = static_cast<size_t>(ids[i]);
        const int t = rank[static_cast<size_t>(track_of[id])];
        slots_[id].pos = middle + (t - (ch.tracks - 1) / 2.0) * spacing;
      }
    }
  }

  static int64_t channel_key(const Slot& s) {
    return static_cast<int64_t>(s.channel) * 2 + (s.vertical ? 1 : 0);
  }

  // The position of each track across its channel: a topological order of the "lies before"
  // pairs, lowest track first among the free ones; pairs caught in a cycle are given up.
  static std::vector<int> order_tracks(int tracks, std::vector<std::pair<int, int>>& pairs,
                                       bool& cyclic) {
    cyclic = false;
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    std::vector<std::vector<int>> next(static_cast<size_t>(tracks));
    std::vector<int> incoming(static_cast<size_t>(tracks), 0);
    for (const auto& [a, b] : pairs) {
      next[static_cast<size_t>(a)].push_back(b);
      ++incoming[static_cast<size_t>(b)];
    }
    std::vector<int> rank(static_cast<size_t>(tracks), -1);
    std::priority_queue<int, std::vector<int>, std::greater<>> ready;
    for (int t = 0; t < tracks; ++t) {
      if (incoming[static_cast<size_t>(t)] == 0) ready.push(t);
    }
    int placed_count = 0;
    while (placed_count < tracks) {
      if (ready.empty()) {  // a cycle: take the lowest unplaced track
        cyclic = true;
        for (int t = 0; t < tracks; ++t) {
          if (rank[static_cast<size_t>(t)] < 0) {
            ready.push(t);
            incoming[static_cast<size_t>(t)] = 0;
            break;
          }
        }
      }
      const int t = ready.top();
      ready.pop();
      if (rank[static_cast<size_t>(t)] >= 0) continue;
      rank[static_cast<size_t>(t)] = placed_count++;
      for (int u : next[static_cast<size_t>(t)]) {
        if (rank[static_cast<size_t>(u)] < 0 && --incoming[static_cast<size_t>(u)] == 0) {
          ready.push(u);
        }
      }
    }
    return rank;
  }

  void store(Route& r) {
    std::vector<Point> pts;
    for (const auto& [x, y] : r.points) {
      Point p{x.slot < 0 ? x.v : slots_[static_cast<size_t>(x.slot)].pos,
              y.slot < 0 ? y.v : slots_[static_cast<size_t>(y.slot)].pos};
      if (!pts.empty() && pts.back() == p) continue;
      // Drop the middle of three points on one line.
      if (pts.size() >= 2) {
        const Point& u = pts[pts.size() - 2];
        const Point& v = pts.back();
        if ((u.x == v.x && v.x == p.x) || (u.y == v.y && v.y == p.y)) pts.pop_back();
      }
      pts.push_back(p);
    }
    Connection& c = *r.connection;
    c.waypoints = std::move(pts);
    c.source_connection_side = side_name(r.plan.source_side);
    c.target_connection_side = side_name(r.plan.target_side);
  }

  // Puts each label beside its route where it covers no shape, no shape name and no other
  // label; at first it also keeps off every route, then only off the things that matter most.
  void place_labels() {
    // Route segments are long and thin, so their grid is coarser.
    BoxIndex solid(64);
    BoxIndex lines(512);
    for (const Node& n : nodes_) {
      solid.add(n.box);
      const Box& lb = n.shape->label_box;
      if (!n.shape->name.empty() && placed(lb)) solid.add(lb);
    }
    for (const Route& r : routes_) add_segments(r, lines);
    const TextStyle style = connection_label_style(painter_);
    std::unordered_map<std::string, TextExtent> extents;  // labels repeat ("yes", "no")
    for (const Route& r : routes_) {
      Connection& c = *r.connection;
      if (c.label.empty() || c.waypoints.size() < 2) continue;
      auto known = extents.find(c.label);
      if (known == extents.end()) {
        known =
            extents
                .emplace(c.label, painter_.measure_text(c.label, style, CONNECTION_LABEL_MAX_WIDTH))
                .first;
      }
      const TextExtent e = known->second;
      const double w = std::ceil(std::max(e.width, 1.0) + 2 * LABEL_PAD);
      const double h = std::ceil(std::max(e.height, 1.0) + 2 * LABEL_PAD);
      const std::vector<Box> candidates = label_candidates(c.waypoints, w, h);
      // The first place clear of everything, else the first clear of shapes and labels.
      std::optional<Box> chosen;
      std::optional<Box> on_a_line;
      for (const Box& b : candidates) {
        if (solid.hits(b)) continue;
        if (!lines.hits(b)) {
          chosen = b;
          break;
        }
        if (!on_a_line) on_a_line = b;
      }
      if (!chosen) chosen = on_a_line;
      if (!chosen) chosen = search_around(c.waypoints, w, h, solid);
      if (!chosen) chosen = candidates.front();
      c.label_box = *chosen;
      solid.add(*chosen);
    }
  }

  // The segments of a route, each as a box a pixel wider on every side.
  static void add_segments(const Route& r, BoxIndex& index) {
    const auto& w = r.connection->waypoints;
    for (size_t i = 0; i + 1 < w.size(); ++i) {
      const double x = std::min(w[i].x, w[i + 1].x);
      const double y = std::min(w[i].y, w[i + 1].y);
      index.add(
          {x - 1, y - 1, std::abs(w[i].x - w[i + 1].x) + 2, std::abs(w[i].y - w[i + 1].y) + 2});
    }
  }

  // Moves the names of shapes that a flow leaves at the bottom out of that flow's way. A shape
  // whose name finds no place gets its forked flows planned as before. Returns whether any route
  // was planned again.
  bool move_names() {
    BoxIndex solid(64);
    BoxIndex lines(512);
    std::vector<std::vector<int>> outs(nodes_.size());
    for (size_t i = 0; i < nodes_.size(); ++i) {
      const Node& n = nodes_[i];
      if (n.name_moves) n.shape->label_box = n.name_box;
      solid.add(n.box);
      const Box& lb = n.shape->label_box;
      if (!n.name_moves && !n.shape->name.empty() && placed(lb)) solid.add(lb);
    }
    bool any = false;
    for (size_t i = 0; i < routes_.size(); ++i) {
      add_segments(routes_[i], lines);
      outs[static_cast<size_t>(routes_[i].source)].push_back(static_cast<int>(i));
      any = any || nodes_[static_cast<size_t>(routes_[i].source)].name_moves;
    }
    if (!any) return false;
    bool replanned = false;
    for (size_t i = 0; i < nodes_.size(); ++i) {
      Node& n = nodes_[i];
      if (!n.name_moves) continue;
      BoxIndex own(64);
      for (int id : outs[i]) add_segments(routes_[static_cast<size_t>(id)], own);
      if (!move_name(n, solid, lines, own)) {
        n.name_moves = false;
        for (int id : outs[i]) {
          Route& r = routes_[static_cast<size_t>(id)];
          if (!r.forked) continue;
          r.forked = false;
          r.plan = plan(r);
          replanned = true;
        }
      }
      if (placed(n.shape->label_box)) solid.add(n.shape->label_box);
    }
    return replanned;
  }

  // Moves the name of a shape that a flow leaves at the bottom beside that flow: the box shrinks
  // to the measured text and goes to the lower left of the exit (else the lower right), at the
  // same top, inside the shape's lane and clear of shapes and names, and preferably of routes;
  // the text never lies on the shape's own flows. Returns false, leaving the name, when no such
  // place is free.
  bool move_name(const Node& n, const BoxIndex& solid, const BoxIndex& lines,
                 const BoxIndex& own) const {
    constexpr double EXIT_GAP = 4;  // between the name and the flow leaving the bottom corner
    Box& lb = n.shape->label_box;
    const double w = std::min(lb.width, std::ceil(n.ink.width) + 2);
    const double cx = n.box.centre_x();
    std::optional<Box> lane;
    if (const Lane* l = n.shape->owner_lane; l != nullptr && l->width > 0 && l->height > 0) {
      lane =
          Box{double(l->coord.x_pos), double(l->coord.y_pos), double(l->width), double(l->height)};
    }
    // The box reaches down to the lane's margin; routes only need to keep off the text itself.
    TextStyle style;
    style.font = n.shape->font.empty() ? painter_.element_font : n.shape->font;
    style.font_size = n.shape->font_size > 0           ? n.shape->font_size
                      : painter_.element_font_size > 0 ? painter_.element_font_size
                                                       : 12;
    const double text_h =
        std::min(lb.height, painter_.measure_text(n.shape->name, style, lb.width).height + 2);
    std::optional<Box> off_own;
    for (const double x : {cx - EXIT_GAP - w, cx + EXIT_GAP}) {
      const Box b{x, lb.y, w, lb.height};
      const Box text{x, lb.y, w, text_h};
      if ((lane && !inside(b, *lane)) || solid.hits(b) || own.hits(text)) continue;
      if (!lines.hits(text)) {
        lb = b;
        return true;
      }
      if (!off_own) off_own = b;
    }
    if (!off_own) return false;
    lb = *off_own;
    return true;
  }

  // Label positions along the route from its start: above and below horizontal segments,
  // right and left of vertical ones.
  static std::vector<Box> label_candidates(const std::vector<Point>& w, double lw, double lh) {
    std::vector<Box> out;
    const size_t segments = std::min<size_t>(w.size() - 1, 8);
    for (size_t i = 0; i < segments; ++i) {
      const Point a = w[i];
      const Point b = w[i + 1];
      const bool horizontal = a.y == b.y;
      const double len = horizontal ? std::abs(b.x - a.x) : std::abs(b.y - a.y);
      const double dir = (horizontal ? b.x - a.x : b.y - a.y) >= 0 ? 1 : -1;
      const int steps = std::clamp(static_cast<int>(len / 16), 1, 10);
      for (int k = 0; k <= steps; ++k) {
        const double along = (horizontal ? a.x : a.y) + dir * len * k / steps;
        if (horizontal) {
          // Starting next to the anchor in the direction of travel, then centred on it.
          const double x_start = dir > 0 ? along + LABEL_GAP : along - LABEL_GAP - lw;
          for (double x : {x_start, along - lw / 2}) {
            out.push_back({x, a.y - LABEL_GAP - lh, lw, lh});
            out.push_back({x, a.y + LABEL_GAP, lw, lh});
          }
        } else {
          const double y_start = dir > 0 ? along + LABEL_GAP : along - LABEL_GAP - lh;
          for (double y : {y_start, along - lh / 2}) {
            out.push_back({a.x + LABEL_GAP, y, lw, lh});
            out.push_back({a.x - LABEL_GAP - lw, y, lw, lh});
          }
        }
      }
    }
    return out;
  }

  // When nothing beside the route is free: the nearest free place on rings around the route's
  // first segment.
  static std::optional<Box> search_around(const std::vector<Point>& w, double lw, double lh,
                                          const BoxIndex& solid) {
    const Point m{(w[0].x + w[1].x) / 2, (w[0].y + w[1].y) / 2};
    for (int ring = 1; ring <= 12; ++ring) {
      const double d = ring * 10.0;
      for (int k = 0; k < 16; ++k) {
        const double angle = k * 3.14159265358979 / 8;
        const Box b{m.x + d * std::cos(angle) - lw / 2, m.y + d * std::sin(angle) - lh / 2, lw, lh};
        if (!solid.hits(b)) return b;
      }
    }
    return std::nullopt;
  }

  const Painter& painter_;
  std::vector<Node> nodes_;
  std::vector<Route> routes_;
  std::vector<Slot> slots_;
  Axis cols_;
  Axis rows_;
  std::vector<double> band_xs_;  // sorted border lines of pools and lanes
  std::vector<double> band_ys_;
  LineIndex by_row_{0};
  LineIndex by_col_{0};
};

}  // namespace

void route_connections(const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter) {
  Router router(pools, painter);
  router.run();
  if (!Helper::is_shown("draw_connection")) return;
  PrintOptions options;
  options.show_level = "draw_connection";
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) {
        if (shape == nullptr || !shape->connection_to) continue;
        for (const Connection& c : *shape->connection_to) {
          if (c.waypoints.empty()) continue;
          Helper::printc("Routed " + Helper::escape(Helper::quoted(c.source->name)) + " -> " +
                             Helper::escape(Helper::quoted(c.target->name)) + ": " +
                             c.source_connection_side + " to " + c.target_connection_side + ", " +
                             std::to_string(c.waypoints.size()) + " points",
                         options);
        }
      }
    }
  }
}

}  // namespace orvane
