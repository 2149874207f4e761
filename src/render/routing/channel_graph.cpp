#include "channel_graph.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "settings.hpp"

namespace orvane::routing {
namespace {

// Lines through the middles of shapes and strips come first; then lines half way between
// neighbouring middle lines (the channels between shapes); then lines round the pools and
// beside borders; last, lines just beyond a shape's side where no other line lies near.
enum Rank { MIDDLE, GAP, POOL, BESIDE };

struct Line {
  double at = 0;
  Rank rank = BESIDE;
};

// Lines closer than this to a line of a better (or the same) rank are left out.
constexpr double THIN = 12;
// Beyond a shape's side, a line this far from the stub's end is near enough.
constexpr double NEAR_ENOUGH = 50;
// Lines beside pool and lane borders lie this far from them.
constexpr double BESIDE_BORDER = 15;

// Adds `lines` of one rank to the sorted `kept`, leaving out those too close to a kept line or
// to each other, and (but for middle lines) those that would run along a border.
void keep(std::vector<double>& kept, std::vector<double> lines, Rank rank,
          const std::vector<double>& borders) {
  std::sort(lines.begin(), lines.end());
  const double gap = rank == MIDDLE ? 0.5 : THIN;
  std::vector<double> accepted;
  for (const double at : lines) {
    if (!std::isfinite(at)) continue;
    if (!accepted.empty() && at < accepted.back() + gap) continue;
    const auto near = std::lower_bound(kept.begin(), kept.end(), at - gap);
    if (near != kept.end() && *near < at + gap) continue;
    if (rank != MIDDLE) {
      const auto border = std::lower_bound(borders.begin(), borders.end(), at - BORDER_KEEP_OFF);
      if (border != borders.end() && *border <= at + BORDER_KEEP_OFF) continue;
    }
    accepted.push_back(at);
  }
  std::vector<double> merged;
  merged.reserve(kept.size() + accepted.size());
  std::merge(kept.begin(), kept.end(), accepted.begin(), accepted.end(),
             std::back_inserter(merged));
  kept = std::move(merged);
}

// The lines of one axis. `sides` holds each shape's two sides across it: the side's
// coordinate and the way out of it (-1 or +1).
std::vector<double> lines_of(std::vector<double> middles, const std::vector<double>& pools,
                             const std::vector<std::pair<double, int>>& sides,
                             std::vector<double> borders) {
  std::sort(borders.begin(), borders.end());
  std::vector<double> kept;
  keep(kept, middles, MIDDLE, borders);
  std::vector<double> gaps;
  for (std::size_t k = 0; k + 1 < kept.size(); ++k) {
    if (kept[k + 1] - kept[k] > 2 * THIN) gaps.push_back((kept[k] + kept[k + 1]) / 2);
  }
  keep(kept, gaps, GAP, borders);
  std::vector<double> round = pools;
  for (const double b : borders) {
    round.push_back(b - BESIDE_BORDER);
    round.push_back(b + BESIDE_BORDER);
  }
  keep(kept, round, POOL, borders);
  std::vector<double> beside;
  for (const auto& [at, way] : sides) {
    const double stub = at + way * STUB;
    // A line a little beyond the stub serves as its end.
    const auto first =
        std::lower_bound(kept.begin(), kept.end(), std::min(stub, stub + way * NEAR_ENOUGH));
    if (first != kept.end() && *first <= std::max(stub, stub + way * NEAR_ENOUGH)) continue;
    beside.push_back(stub);
  }
  keep(kept, beside, BESIDE, borders);
  return kept;
}

// The line through the middle of an obstacle from `lo` to `hi` across it, moved BESIDE_BORDER
// off a border it would run along, to the side that stays inside the obstacle (a pool's name
// strip has its middle on the border between its lanes when they split it in equal halves).
// `borders` is sorted: a diagram has a strip and a border for each lane.
double middle_off_borders(double lo, double hi, const std::vector<double>& borders) {
  const double middle = (lo + hi) / 2;
  for (auto b = std::lower_bound(borders.begin(), borders.end(), middle - BORDER_KEEP_OFF);
       b != borders.end() && *b <= middle + BORDER_KEEP_OFF; ++b) {
    for (const double moved : {*b + BESIDE_BORDER, *b - BESIDE_BORDER}) {
      if (moved > lo && moved < hi) return moved;
    }
  }
  return middle;
}

}  // namespace

ChannelGraph::ChannelGraph(const Problem& problem) {
  std::vector<double> x_middles, y_middles, x_pools, y_pools, x_borders, y_borders;
  std::vector<std::pair<double, int>> x_sides, y_sides;
  for (const Node& n : problem.nodes) {
    x_middles.push_back(n.box.centre_x());
    y_middles.push_back(n.box.centre_y());
    x_sides.insert(x_sides.end(), {{n.box.x, -1}, {n.box.right(), 1}});
    y_sides.insert(y_sides.end(), {{n.box.y, -1}, {n.box.bottom(), 1}});
  }
  for (const Border& b : problem.borders) (b.horizontal ? y_borders : x_borders).push_back(b.at);
  std::sort(x_borders.begin(), x_borders.end());
  std::sort(y_borders.begin(), y_borders.end());
  // Through the name strips, which are obstacles like shapes; routes run along no border.
  for (const Box& s : problem.strips) {
    x_middles.push_back(middle_off_borders(s.x, s.right(), x_borders));
    y_middles.push_back(middle_off_borders(s.y, s.bottom(), y_borders));
  }
  // Through the captions of groups, so that a route across one meets a point inside it and
  // pays for it as for entering a shape's name.
  for (const Box& c : problem.captions) {
    x_middles.push_back(c.centre_x());
    y_middles.push_back(c.centre_y());
  }
  // Round and between the pools, for routes that leave them.
  std::vector<Box> pools;
  for (const Box& p : problem.pools) {
    if (usable(p)) pools.push_back(p);
  }
  std::sort(pools.begin(), pools.end(), [](const Box& a, const Box& b) { return a.y < b.y; });
  for (std::size_t k = 0; k < pools.size(); ++k) {
    const Box& p = pools[k];
    x_pools.insert(x_pools.end(), {p.right() + STUB, p.right() - STUB});
    y_pools.insert(y_pools.end(), {p.y - STUB, p.y + STUB, p.bottom() - STUB, p.bottom() + STUB});
    if (k + 1 < pools.size() && pools[k + 1].y > p.bottom()) {
      y_pools.push_back((p.bottom() + pools[k + 1].y) / 2);
    }
  }
  xs_ = lines_of(std::move(x_middles), x_pools, x_sides, std::move(x_borders));
  ys_ = lines_of(std::move(y_middles), y_pools, y_sides, std::move(y_borders));

  blocked_.resize(xs_.size());
  names_.resize(xs_.size());
  for (const Node& n : problem.nodes) mark(blocked_, inflate(n.box, CLEARANCE), -1);
  for (const Box& s : problem.strips) mark(blocked_, inflate(s, CLEARANCE), -1);
  for (std::size_t k = 0; k < problem.nodes.size(); ++k) {
    if (problem.nodes[k].name) mark(names_, *problem.nodes[k].name, static_cast<int>(k));
  }
  for (const Box& c : problem.captions) mark(names_, c, -1);
  for (auto* lines : {&blocked_, &names_}) {
    for (auto& l : *lines) {
      std::sort(l.begin(), l.end(), [](const Stretch& a, const Stretch& b) { return a.lo < b.lo; });
    }
  }
  named_columns_ = blocked_;
  for (const Node& n : problem.nodes) {
    if (n.name) mark(named_columns_, *n.name, -1);
  }
  for (const Box& c : problem.captions) mark(named_columns_, c, -1);
  blocked_rows_.resize(ys_.size());
  for (const Node& n : problem.nodes) mark_rows(blocked_rows_, inflate(n.box, CLEARANCE));
  for (const Box& s : problem.strips) mark_rows(blocked_rows_, inflate(s, CLEARANCE));
  named_rows_ = blocked_rows_;
  for (const Node& n : problem.nodes) {
    if (n.name) mark_rows(named_rows_, *n.name);
  }
  for (const Box& c : problem.captions) mark_rows(named_rows_, c);
  for (auto* lines : {&named_columns_, &blocked_rows_, &named_rows_}) {
    for (auto& l : *lines) {
      std::sort(l.begin(), l.end(), [](const Stretch& a, const Stretch& b) { return a.lo < b.lo; });
    }
  }
  // Obstacles that overlap on a line become one stretch.
  for (auto* lines : {&blocked_, &named_columns_, &blocked_rows_, &named_rows_}) {
    for (auto& l : *lines) {
      std::vector<Stretch> merged;
      for (const Stretch& s : l) {
        if (!merged.empty() && s.lo < merged.back().hi) {
          merged.back().hi = std::max(merged.back().hi, s.hi);
        } else {
          merged.push_back(s);
        }
      }
      l = std::move(merged);
    }
  }
}

void ChannelGraph::mark_rows(std::vector<std::vector<Stretch>>& lines, const Box& box) {
  if (!usable(box)) return;
  const auto first = std::upper_bound(ys_.begin(), ys_.end(), box.y);
  const auto last = std::lower_bound(ys_.begin(), ys_.end(), box.bottom());
  for (auto it = first; it < last; ++it) {
    lines[static_cast<std::size_t>(it - ys_.begin())].push_back({box.x, box.right(), -1});
  }
}

bool ChannelGraph::line_clear(bool vertical, int line, double lo, double hi, bool names) const {
  const auto& lines =
      vertical ? (names ? named_columns_ : blocked_) : (names ? named_rows_ : blocked_rows_);
  const auto& stretches = lines[static_cast<std::size_t>(line)];
  // The first stretch ending after lo must begin at or after hi.
  const auto it = std::upper_bound(stretches.begin(), stretches.end(), lo,
                                   [](double v, const Stretch& s) { return v < s.hi; });
  return it == stretches.end() || it->lo >= hi;
}

void ChannelGraph::mark(std::vector<std::vector<Stretch>>& lines, const Box& box, int node) {
  if (!usable(box)) return;
  // The lines strictly inside the box.
  const auto first = std::upper_bound(xs_.begin(), xs_.end(), box.x);
  const auto last = std::lower_bound(xs_.begin(), xs_.end(), box.right());
  for (auto it = first; it < last; ++it) {
    lines[static_cast<std::size_t>(it - xs_.begin())].push_back({box.y, box.bottom(), node});
  }
}

bool ChannelGraph::covered(const std::vector<Stretch>& stretches, double y, int a_node,
                           int b_node) {
  auto it = std::lower_bound(stretches.begin(), stretches.end(), y,
                             [](const Stretch& s, double v) { return s.lo < v; });
  // The stretches starting below y; names seldom overlap, so a few suffice.
  for (int k = 0; k < 4 && it != stretches.begin(); ++k) {
    --it;
    if (y < it->hi && (it->node < 0 || (it->node != a_node && it->node != b_node))) return true;
  }
  return false;
}

bool ChannelGraph::open(Vertex v) const {
  return !covered(blocked_[static_cast<std::size_t>(v.i)], y(v.j), -1, -1);
}

bool ChannelGraph::in_name(Vertex v, int a_node, int b_node) const {
  return covered(names_[static_cast<std::size_t>(v.i)], y(v.j), a_node, b_node);
}

namespace {

int exact(const std::vector<double>& lines, double v) {
  // Lines closer than half a pixel were merged into the first of them.
  auto it = std::lower_bound(lines.begin(), lines.end(), v - 0.5);
  if (it != lines.end() && std::abs(*it - v) < 0.5) return static_cast<int>(it - lines.begin());
  return -1;
}

std::pair<int, int> within(const std::vector<double>& lines, double lo, double hi) {
  const auto first = std::lower_bound(lines.begin(), lines.end(), lo);
  const auto last = std::upper_bound(lines.begin(), lines.end(), hi);
  return {static_cast<int>(first - lines.begin()), static_cast<int>(last - lines.begin()) - 1};
}

}  // namespace

int ChannelGraph::column_at(double x) const {
  return exact(xs_, x);
}
int ChannelGraph::row_at(double y) const {
  return exact(ys_, y);
}
std::pair<int, int> ChannelGraph::columns_within(double lo, double hi) const {
  return within(xs_, lo, hi);
}
std::pair<int, int> ChannelGraph::rows_within(double lo, double hi) const {
  return within(ys_, lo, hi);
}

Vertex ChannelGraph::stub_end(const Box& box, Side side, double length) const {
  const Point middle = side_middle(box, side);
  const Dir out = outward(side);
  const Point reach{middle.x + dx(out) * length, middle.y + dy(out) * length};
  auto beyond = [](const std::vector<double>& lines, double v, double way) {
    if (way > 0) {
      const auto it = std::lower_bound(lines.begin(), lines.end(), v - 0.5);
      return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
    }
    const auto it = std::upper_bound(lines.begin(), lines.end(), v + 0.5);
    return it == lines.begin() ? -1 : static_cast<int>(it - lines.begin()) - 1;
  };
  if (horizontal(side)) return {beyond(xs_, reach.x, dx(out)), row_at(middle.y)};
  return {column_at(middle.x), beyond(ys_, reach.y, dy(out))};
}

bool ChannelGraph::step(Vertex v, Dir d, Vertex& next) const {
  next = v;
  switch (d) {
    case Dir::EAST:
      ++next.i;
      break;
    case Dir::WEST:
      --next.i;
      break;
    case Dir::SOUTH:
      ++next.j;
      break;
    case Dir::NORTH:
      --next.j;
      break;
  }
  return next.i >= 0 && next.j >= 0 && next.i < columns() && next.j < rows();
}

}  // namespace orvane::routing
