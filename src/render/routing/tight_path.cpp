#include "tight_path.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <queue>
#include <unordered_map>
#include <utility>
#include <vector>

#include "settings.hpp"

namespace orvane::routing {
namespace {

// Lines run this far beside an obstacle's sides: just outside the clearance nudging keeps in a
// tight channel.
constexpr double OFF = TIGHT_CLEARANCE + 2;
// More lines than this across a window means thousands of shapes round the ends: even listing
// them would cost more than a plain route is worth.
constexpr std::size_t MAX_LINES = 20000;
// The search looks at no more states than this for one link, whatever the window.
constexpr std::size_t MAX_STATES = 100000;

// The sorted lines of one axis within lo..hi: the given ones, and half way between neighbours,
// leaving out those on a border (within `keep` of one), bar the `kept` lines.
std::vector<double> lines_of(std::vector<double> at, const std::vector<double>& kept, double lo,
                             double hi, const std::vector<double>& borders) {
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end(), [](double a, double b) { return b - a < 0.5; }),
           at.end());
  std::vector<double> out;
  for (std::size_t k = 0; k < at.size(); ++k) {
    out.push_back(at[k]);
    if (k + 1 < at.size() && at[k + 1] - at[k] > 2 * OFF) out.push_back((at[k] + at[k + 1]) / 2);
  }
  const double keep = BORDER_KEEP_OFF / 2;
  std::erase_if(out, [&](double v) {
    if (v < lo || v > hi) return true;
    if (std::find(kept.begin(), kept.end(), v) != kept.end()) return false;
    const auto b = std::lower_bound(borders.begin(), borders.end(), v - keep);
    return b != borders.end() && *b <= v + keep;
  });
  out.insert(out.end(), kept.begin(), kept.end());
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// What the search knows per vertex and direction: as a state (the vertex, reached going that
// way) its cost so far and the state it came from; as a step (out of the vertex that way) whether
// it is clear and what its run through names (and notes) costs. Steps are judged once however often
// they are met. A small grid's entries are kept in an array, a large one's as they are met, so
// memory follows what the search looks at rather than the window's size.
struct Known {
  double cost = std::numeric_limits<double>::infinity();
  std::int64_t from = -1;
  float toll = 0;        // what the step costs beyond its length: its run through names and notes
  signed char step = 0;  // 0 not judged yet, 1 clear, -1 blocked
};

class StateTable {
 public:
  explicit StateTable(std::size_t states) {
    if (states <= MAX_DENSE_STATES) dense_.resize(states);
  }

  const Known& at(std::size_t s) const {
    if (!dense_.empty()) return dense_[s];
    const auto it = sparse_.find(s);
    return it == sparse_.end() ? UNKNOWN : it->second;
  }

  Known& operator[](std::size_t s) { return dense_.empty() ? sparse_[s] : dense_[s]; }

 private:
  static constexpr std::size_t MAX_DENSE_STATES = std::size_t{1} << 19;
  inline static const Known UNKNOWN{};
  std::vector<Known> dense_;
  std::unordered_map<std::size_t, Known> sparse_;
};

// Where each line of the grid comes near an obstacle (a shape, strip or name), found when the
// search first steps along the line: a step that keeps off all of them is clear and runs through
// no name, with no further look at the shapes. Most steps of a long route are such steps.
class LineObstacles {
 public:
  LineObstacles(const FreeSpace& space, const Box& window, bool vertical,
                const std::vector<double>& lines)
      : space_(space), window_(window), vertical_(vertical), lines_(lines), near_(lines.size()) {}

  // Whether the stretch lo..hi of line k surely keeps off every obstacle by more than
  // TIGHT_CLEARANCE.
  bool free(std::size_t k, double lo, double hi) {
    if (known_.empty()) known_.assign(lines_.size(), 0);
    if (known_[k] == 0) {
      gather(k);
      known_[k] = 1;
    }
    const std::vector<Interval>& near = near_[k];
    // The first stretch ending at or after lo must begin after hi.
    const auto it = std::lower_bound(near.begin(), near.end(), lo,
                                     [](const Interval& n, double v) { return n.hi < v; });
    return it == near.end() || it->lo > hi;
  }

 private:
  // The stretches of line k within a margin of an obstacle, merged and in order.
  void gather(std::size_t k) {
    const double at = lines_[k];
    const Box band = vertical_ ? Box{at - MARGIN, window_.y, 2 * MARGIN, window_.height}
                               : Box{window_.x, at - MARGIN, window_.width, 2 * MARGIN};
    std::vector<Interval>& near = near_[k];
    auto add = [&](const Box& b) {
      near.push_back(vertical_ ? Interval{b.y - MARGIN, b.bottom() + MARGIN}
                               : Interval{b.x - MARGIN, b.right() + MARGIN});
      return false;
    };
    for (const BoxIndex* index : {&space_.shapes(), &space_.strips(), &space_.names()}) {
      index->find(band, [&](int id) { return add(index->box(id)); });
    }
    std::sort(near.begin(), near.end(),
              [](const Interval& a, const Interval& b) { return a.lo < b.lo; });
    std::vector<Interval> merged;
    for (const Interval& n : near) {
      if (!merged.empty() && n.lo <= merged.back().hi) {
        merged.back().hi = std::max(merged.back().hi, n.hi);
      } else {
        merged.push_back(n);
      }
    }
    near = std::move(merged);
  }

  // A pixel beyond the clearance, so that what the exact look would find is always caught.
  static constexpr double MARGIN = TIGHT_CLEARANCE + 1;
  const FreeSpace& space_;
  const Box window_;
  const bool vertical_;
  const std::vector<double>& lines_;
  std::vector<std::vector<Interval>> near_;
  std::vector<char> known_;
};

class TightSearch {
 public:
  TightSearch(const Problem& problem, const FreeSpace& space, const Link& link, TightBudget& budget)
      : problem_(problem),
        space_(space),
        link_(link),
        source_(problem.nodes[static_cast<std::size_t>(link.source)].box),
        target_(problem.nodes[static_cast<std::size_t>(link.target)].box),
        budget_(budget) {
    for (const Border& b : problem.borders)
      (b.horizontal ? y_borders_ : x_borders_).push_back(b.at);
    std::sort(x_borders_.begin(), x_borders_.end());
    std::sort(y_borders_.begin(), y_borders_.end());
  }

  // The route in `window`; with `through_notes`, text annotations are no obstacle but cost
  // NOTE_COST_PER_PIXEL.
  std::optional<DrawnRoute> find(const Box& window, bool through_notes) {
    through_notes_ = through_notes;
    if (budget_.left == 0 || !lines(window)) return std::nullopt;
    for (const bool asked : {true, false}) {
      const bool source_asked = asked && link_.source_side.has_value();
      const bool target_asked = asked && link_.target_side.has_value();
      if (asked && !source_asked && !target_asked) continue;
      if (auto route = search(source_asked ? link_.source_side : std::nullopt,
                              target_asked ? link_.target_side : std::nullopt)) {
        return route;
      }
    }
    return std::nullopt;
  }

 private:
  struct Terminal {
    Side side;
    int i;
    int j;
  };

  // The lines round the obstacles in the window; false when there are too many.
  bool lines(const Box& window) {
    std::vector<double> xs{window.x, window.right()}, ys{window.y, window.bottom()};
    auto add = [&](const Box& b) {
      xs.insert(xs.end(), {b.x - OFF, b.right() + OFF, b.centre_x()});
      ys.insert(ys.end(), {b.y - OFF, b.bottom() + OFF, b.centre_y()});
    };
    space_.shapes().find(window, [&](int id) {
      add(problem_.nodes[static_cast<std::size_t>(id)].box);
      return xs.size() > 4 * MAX_LINES;
    });
    space_.strips().find(window, [&](int id) {
      add(problem_.strips[static_cast<std::size_t>(id)]);
      return xs.size() > 4 * MAX_LINES;
    });
    if (xs.size() > 4 * MAX_LINES) return false;
    // The ends' sides and middles, where routes start and end.
    const std::vector<double> kept_x{source_.x, source_.right(), source_.centre_x(),
                                     target_.x, target_.right(), target_.centre_x()};
    const std::vector<double> kept_y{source_.y, source_.bottom(), source_.centre_y(),
                                     target_.y, target_.bottom(), target_.centre_y()};
    xs_ = lines_of(std::move(xs), kept_x, window.x, window.right(), x_borders_);
    ys_ = lines_of(std::move(ys), kept_y, window.y, window.bottom(), y_borders_);
    if (xs_.size() > MAX_LINES || ys_.size() > MAX_LINES) return false;
    columns_.emplace(space_, window, true, xs_);
    rows_.emplace(space_, window, false, ys_);
    return true;
  }

  int index(const std::vector<double>& lines, double at) const {
    const auto it = std::lower_bound(lines.begin(), lines.end(), at);
    return it != lines.end() && *it == at ? static_cast<int>(it - lines.begin()) : -1;
  }

  std::vector<Terminal> terminals(const Box& box, std::optional<Side> asked) const {
    std::vector<Terminal> out;
    for (const Side side : ALL_SIDES) {
      if (asked && side != *asked) continue;
      const Point p = side_middle(box, side);
      const int i = index(xs_, p.x), j = index(ys_, p.y);
      if (i >= 0 && j >= 0) out.push_back({side, i, j});
    }
    return out;
  }

  Point point(int i, int j) const {
    return {xs_[static_cast<std::size_t>(i)], ys_[static_cast<std::size_t>(j)]};
  }

  // Whether a route may pass the point: inside the area, off every obstacle.
  bool open(const Point& p) const {
    const Box& a = link_.area;
    if (p.x < a.x || p.x > a.right() || p.y < a.y || p.y > a.bottom()) return false;
    return space_.clear(p, p, TIGHT_CLEARANCE, -1, -1, through_notes_);
  }

  // Whether the step a-b is clear; `from_source` and `to_target` when it leaves or reaches an
  // end's side, whose own box it may touch but never enter.
  bool step_clear(const Point& a, const Point& b, bool from_source, bool to_target) const {
    if (crosses(a, b, source_) || crosses(a, b, target_)) return false;
    const int source = from_source ? link_.source : -1, target = to_target ? link_.target : -1;
    return space_.clear(a, b, TIGHT_CLEARANCE, source, target, through_notes_);
  }

  std::optional<DrawnRoute> search(std::optional<Side> source_side,
                                   std::optional<Side> target_side) const {
    const auto starts = terminals(source_, source_side);
    const auto goals = terminals(target_, target_side);
    if (starts.empty() || goals.empty()) return std::nullopt;
    const int columns = static_cast<int>(xs_.size()), rows = static_cast<int>(ys_.size());
    // A state is a vertex and the way the route arrived there.
    auto state = [&](int i, int j, Dir d) {
      return (static_cast<std::size_t>(i) * static_cast<std::size_t>(rows) +
              static_cast<std::size_t>(j)) *
                 4 +
             static_cast<std::size_t>(d);
    };
    StateTable grid(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) * 4);
    // No route is shorter than the straight run to the nearest goal: the search goes towards
    // the goals first (A*), and stops when nothing left can beat the best route found.
    auto estimate = [&](int i, int j) {
      const Point p = point(i, j);
      double least = std::numeric_limits<double>::infinity();
      for (const Terminal& g : goals) {
        const Point q = point(g.i, g.j);
        least = std::min(least, std::abs(q.x - p.x) + std::abs(q.y - p.y));
      }
      return least;
    };
    using Entry = std::pair<double, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    for (const Terminal& t : starts) {
      const std::size_t s = state(t.i, t.j, outward(t.side));
      grid[s].cost = 0;
      queue.push({estimate(t.i, t.j), s});
    }
    auto is_start = [&](int i, int j) {
      return std::any_of(starts.begin(), starts.end(),
                         [&](const Terminal& t) { return t.i == i && t.j == j; });
    };
    double best = std::numeric_limits<double>::infinity();
    std::size_t expanded = 0;
    std::size_t best_state = 0;
    const Terminal* best_goal = nullptr;
    while (!queue.empty()) {
      const auto [f, s] = queue.top();
      queue.pop();
      if (f >= best) break;
      const int j = static_cast<int>((s / 4) % static_cast<std::size_t>(rows));
      const int i = static_cast<int>((s / 4) / static_cast<std::size_t>(rows));
      const double c = grid.at(s).cost;
      if (f > c + estimate(i, j) + 1e-9) continue;  // met again more cheaply since
      if (++expanded > MAX_STATES || budget_.left == 0) return std::nullopt;
      --budget_.left;
      const Dir arrived = static_cast<Dir>(s % 4);
      const bool at_start = is_start(i, j) && c == 0;
      const Point here = point(i, j);
      for (const Dir d : {Dir::EAST, Dir::WEST, Dir::NORTH, Dir::SOUTH}) {
        if (d == opposite(arrived)) continue;
        // A route leaves its side straight out.
        if (at_start && d != arrived) continue;
        const int ni = i + static_cast<int>(dx(d)), nj = j + static_cast<int>(dy(d));
        if (ni < 0 || nj < 0 || ni >= columns || nj >= rows) continue;
        const Point next = point(ni, nj);
        const double step = std::abs(next.x - here.x) + std::abs(next.y - here.y);
        // The step's judgement: a start's first step may touch its own shape, so it is not kept.
        Known scratch;
        Known& way = at_start ? scratch : grid[state(i, j, d)];
        if (way.step == 0 && !at_start &&
            (here.x == next.x ? columns_->free(static_cast<std::size_t>(i),
                                               std::min(here.y, next.y), std::max(here.y, next.y))
                              : rows_->free(static_cast<std::size_t>(j), std::min(here.x, next.x),
                                            std::max(here.x, next.x)))) {
          way.step = 1;  // inside the window, which lies in the link's area
        }
        if (way.step == 0) {
          way.toll = static_cast<float>(
              NAME_COST_PER_PIXEL * space_.in_names(here, next, link_.source, link_.target) +
              (through_notes_ ? NOTE_COST_PER_PIXEL * space_.in_notes(here, next) : 0));
          way.step = open(next) && step_clear(here, next, at_start, false) ? 1 : -1;
        }
        // Through a shape's name at a cost, as the channel graph's routes.
        const double next_cost = c + step + (d != arrived ? BEND_COST : 0) + way.toll;
        for (const Terminal& g : goals) {
          if (g.i == ni && g.j == nj && d == inward(g.side) && next_cost < best &&
              step_clear(here, next, at_start, true)) {
            best = next_cost;
            best_state = s;
            best_goal = &g;
          }
        }
        if (way.step < 0) continue;
        const std::size_t ns = state(ni, nj, d);
        Known& there = grid[ns];
        if (there.cost <= next_cost) continue;
        there.cost = next_cost;
        there.from = static_cast<std::int64_t>(s);
        queue.push({next_cost + estimate(ni, nj), ns});
      }
    }
    if (best_goal == nullptr) return std::nullopt;
    std::vector<Point> points{point(best_goal->i, best_goal->j)};
    std::size_t s = best_state;
    Side start_side = Side::RIGHT;
    for (;;) {
      const int j = static_cast<int>((s / 4) % static_cast<std::size_t>(rows));
      const int i = static_cast<int>((s / 4) / static_cast<std::size_t>(rows));
      points.push_back(point(i, j));
      const std::int64_t before = grid.at(s).from;
      if (before < 0) {
        for (const Terminal& t : starts) {
          if (t.i == i && t.j == j && outward(t.side) == static_cast<Dir>(s % 4))
            start_side = t.side;
        }
        break;
      }
      s = static_cast<std::size_t>(before);
    }
    std::reverse(points.begin(), points.end());
    DrawnRoute drawn;
    drawn.source_side = start_side;
    drawn.target_side = best_goal->side;
    drawn.points = simplified(points);
    return drawn;
  }

  const Problem& problem_;
  const FreeSpace& space_;
  const Link& link_;
  const Box source_;
  const Box target_;
  TightBudget& budget_;
  bool through_notes_ = false;
  std::vector<double> x_borders_, y_borders_;
  std::vector<double> xs_, ys_;
  // Filled in as the search goes: a cache, so the search itself stays const.
  mutable std::optional<LineObstacles> columns_, rows_;
};

}  // namespace

std::optional<DrawnRoute> tight_route(const Problem& problem, const FreeSpace& space, int link,
                                      TightBudget& budget) {
  const Link& l = problem.links[static_cast<std::size_t>(link)];
  if (l.source == l.target) return std::nullopt;
  const Box& a = problem.nodes[static_cast<std::size_t>(l.source)].box;
  const Box& b = problem.nodes[static_cast<std::size_t>(l.target)].box;
  const Box ends = span(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.right(), b.right()),
                        std::max(a.bottom(), b.bottom()));
  TightSearch search(problem, space, l, budget);
  const Box window = intersect_box(inflate(ends, SEARCH_MARGIN), l.area);
  std::optional<DrawnRoute> route;
  // Off every obstacle first; only where that fails, through the notes in the way (a note on a
  // cramped row may fill the only room a flow has) rather than straight through shapes.
  for (const bool through_notes : {false, true}) {
    if (!route && usable(window)) route = search.find(window, through_notes);
    if (!route && usable(l.area) && !contains(window, l.area))
      route = search.find(l.area, through_notes);
  }
  if (route) route->link = link;
  return route;
}

}  // namespace orvane::routing
