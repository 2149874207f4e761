#include "tight_path.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <queue>
#include <utility>
#include <vector>

#include "settings.hpp"

namespace orvane::routing {
namespace {

// Lines run this far beside an obstacle's sides: just outside the clearance nudging keeps in a
// tight channel.
constexpr double OFF = TIGHT_CLEARANCE + 2;
// More lines than this across a window means hundreds of shapes round the ends: the search
// would cost more than a plain route is worth.
constexpr std::size_t MAX_LINES = 400;

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

class TightSearch {
 public:
  TightSearch(const Problem& problem, const FreeSpace& space, const Link& link)
      : problem_(problem),
        space_(space),
        link_(link),
        source_(problem.nodes[static_cast<std::size_t>(link.source)].box),
        target_(problem.nodes[static_cast<std::size_t>(link.target)].box) {
    for (const Border& b : problem.borders)
      (b.horizontal ? y_borders_ : x_borders_).push_back(b.at);
    std::sort(x_borders_.begin(), x_borders_.end());
    std::sort(y_borders_.begin(), y_borders_.end());
  }

  std::optional<DrawnRoute> find(const Box& window) {
    if (!lines(window)) return std::nullopt;
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
    return xs_.size() <= MAX_LINES && ys_.size() <= MAX_LINES;
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
    return space_.clear(p, p, TIGHT_CLEARANCE);
  }

  // Whether the step a-b is clear; `from_source` and `to_target` when it leaves or reaches an
  // end's side, whose own box it may touch but never enter.
  bool step_clear(const Point& a, const Point& b, bool from_source, bool to_target) const {
    if (crosses(a, b, source_) || crosses(a, b, target_)) return false;
    return space_.clear(a, b, TIGHT_CLEARANCE, from_source ? link_.source : -1,
                        to_target ? link_.target : -1);
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
    const std::size_t states =
        static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) * 4;
    std::vector<double> cost(states, std::numeric_limits<double>::infinity());
    std::vector<std::int64_t> from(states, -1);
    std::vector<char> open_memo(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                                0);  // 0 unknown, 1 open, 2 blocked
    auto vertex_open = [&](int i, int j) {
      char& m = open_memo[static_cast<std::size_t>(i) * static_cast<std::size_t>(rows) +
                          static_cast<std::size_t>(j)];
      if (m == 0) m = open(point(i, j)) ? 1 : 2;
      return m == 1;
    };
    using Entry = std::pair<double, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    for (const Terminal& t : starts) {
      const std::size_t s = state(t.i, t.j, outward(t.side));
      cost[s] = 0;
      queue.push({0, s});
    }
    auto is_start = [&](int i, int j) {
      return std::any_of(starts.begin(), starts.end(),
                         [&](const Terminal& t) { return t.i == i && t.j == j; });
    };
    double best = std::numeric_limits<double>::infinity();
    std::size_t best_state = 0;
    const Terminal* best_goal = nullptr;
    while (!queue.empty()) {
      const auto [c, s] = queue.top();
      queue.pop();
      if (c > cost[s] || c >= best) continue;
      const Dir arrived = static_cast<Dir>(s % 4);
      const int j = static_cast<int>((s / 4) % static_cast<std::size_t>(rows));
      const int i = static_cast<int>((s / 4) / static_cast<std::size_t>(rows));
      const bool at_start = is_start(i, j) && cost[s] == 0;
      const Point here = point(i, j);
      for (const Dir d : {Dir::EAST, Dir::WEST, Dir::NORTH, Dir::SOUTH}) {
        if (d == opposite(arrived)) continue;
        // A route leaves its side straight out.
        if (at_start && d != arrived) continue;
        const int ni = i + static_cast<int>(dx(d)), nj = j + static_cast<int>(dy(d));
        if (ni < 0 || nj < 0 || ni >= columns || nj >= rows) continue;
        const Point next = point(ni, nj);
        const double step = std::abs(next.x - here.x) + std::abs(next.y - here.y);
        // Through a shape's name at a cost, as the channel graph's routes.
        const double next_cost =
            c + step + (d != arrived ? BEND_COST : 0) +
            NAME_COST_PER_PIXEL * space_.in_names(here, next, link_.source, link_.target);
        for (const Terminal& g : goals) {
          if (g.i == ni && g.j == nj && d == inward(g.side) && next_cost < best &&
              step_clear(here, next, at_start, true)) {
            best = next_cost;
            best_state = s;
            best_goal = &g;
          }
        }
        if (!vertex_open(ni, nj) || !step_clear(here, next, at_start, false)) continue;
        const std::size_t ns = state(ni, nj, d);
        if (next_cost < cost[ns]) {
          cost[ns] = next_cost;
          from[ns] = static_cast<std::int64_t>(s);
          queue.push({next_cost, ns});
        }
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
      if (from[s] < 0) {
        for (const Terminal& t : starts) {
          if (t.i == i && t.j == j && outward(t.side) == static_cast<Dir>(s % 4))
            start_side = t.side;
        }
        break;
      }
      s = static_cast<std::size_t>(from[s]);
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
  std::vector<double> x_borders_, y_borders_;
  std::vector<double> xs_, ys_;
};

}  // namespace

std::optional<DrawnRoute> tight_route(const Problem& problem, const FreeSpace& space, int link) {
  const Link& l = problem.links[static_cast<std::size_t>(link)];
  if (l.source == l.target) return std::nullopt;
  const Box& a = problem.nodes[static_cast<std::size_t>(l.source)].box;
  const Box& b = problem.nodes[static_cast<std::size_t>(l.target)].box;
  const Box ends = span(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.right(), b.right()),
                        std::max(a.bottom(), b.bottom()));
  TightSearch search(problem, space, l);
  const Box window = intersect_box(inflate(ends, SEARCH_MARGIN), l.area);
  std::optional<DrawnRoute> route;
  if (usable(window)) route = search.find(window);
  if (!route && usable(l.area) && !contains(window, l.area)) route = search.find(l.area);
  if (route) route->link = link;
  return route;
}

}  // namespace orvane::routing
