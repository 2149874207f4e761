#include "corridors.hpp"

#include <algorithm>
#include <cmath>

#include "settings.hpp"

namespace orvane::routing {
namespace {

// How many corridors a part tries, cheapest first, before it is given up.
constexpr int CORRIDOR_TRIES = 3;
// Corridors within corridors: a part far apart across, then down, needs two.
constexpr int CORRIDOR_DEPTH = 2;

// How far apart two boxes lie along one axis (negative when they overlap along it).
double gap(const Box& a, const Box& b, bool vertical) {
  return vertical ? std::max(a.y, b.y) - std::min(a.bottom(), b.bottom())
                  : std::max(a.x, b.x) - std::min(a.right(), b.right());
}

Box around(const Box& a, const Box& b) {
  return span(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.right(), b.right()),
              std::max(a.bottom(), b.bottom()));
}

}  // namespace

bool is_long(const Problem& problem, const Link& link) {
  const Box& a = problem.nodes[static_cast<std::size_t>(link.source)].box;
  const Box& b = problem.nodes[static_cast<std::size_t>(link.target)].box;
  return gap(a, b, false) > LONG_REACH || gap(a, b, true) > LONG_REACH;
}

Corridors::Corridors(const Problem& problem, const ChannelGraph& graph)
    : problem_(problem),
      graph_(graph),
      columns_(static_cast<std::size_t>(graph.columns())),
      rows_(static_cast<std::size_t>(graph.rows())) {}

void Corridors::clear() {
  for (auto* lines : {&columns_, &rows_}) {
    for (auto& line : *lines) line.clear();
  }
}

void Corridors::note(const GraphRoute& route) {
  const auto& v = route.vertices;
  for (std::size_t t = 1; t < v.size(); ++t) {
    const Vertex a = v[t - 1], b = v[t];
    if (a.j == b.j && std::abs(a.i - b.i) > 1) {
      rows_[static_cast<std::size_t>(a.j)].push_back(
          {graph_.x(std::min(a.i, b.i)), graph_.x(std::max(a.i, b.i))});
    } else if (a.i == b.i && std::abs(a.j - b.j) > 1) {
      columns_[static_cast<std::size_t>(a.i)].push_back(
          {graph_.y(std::min(a.j, b.j)), graph_.y(std::max(a.j, b.j))});
    }
  }
}

int Corridors::sharing(bool vertical, int line, double lo, double hi) const {
  int count = 0;
  for (const Interval& c : (vertical ? columns_ : rows_)[static_cast<std::size_t>(line)]) {
    if (c.lo < hi && c.hi > lo) ++count;
  }
  return count;
}

int Corridors::near(bool vertical, int line, double lo, double hi) const {
  const auto& lines = vertical ? columns_ : rows_;
  const auto at = [&](int l) { return vertical ? graph_.x(l) : graph_.y(l); };
  int count = 0;
  for (int l = line - 1; l >= 0 && at(line) - at(l) < IDEAL_SEPARATION; --l)
    count += sharing(vertical, l, lo, hi);
  for (int l = line + 1; l < static_cast<int>(lines.size()) && at(l) - at(line) < IDEAL_SEPARATION;
       ++l)
    count += sharing(vertical, l, lo, hi);
  return count;
}

std::optional<GraphRoute> Corridors::route(int link_index, PathSearch& search) {
  const Link& link = problem_.links[static_cast<std::size_t>(link_index)];
  const End from{problem_.nodes[static_cast<std::size_t>(link.source)].box, std::nullopt};
  const End to{problem_.nodes[static_cast<std::size_t>(link.target)].box, std::nullopt};
  return connect(link_index, from, to, search, 0);
}

std::optional<GraphRoute> Corridors::connect(int link_index, const End& from, const End& to,
                                             PathSearch& search, int depth) {
  if (depth < CORRIDOR_DEPTH) {
    const double across = gap(from.box, to.box, false);
    const double down = gap(from.box, to.box, true);
    if (std::max(across, down) > LONG_REACH) {
      return along_corridor(link_index, from, to, down > across, search, depth);
    }
  }
  const Link& link = problem_.links[static_cast<std::size_t>(link_index)];
  const Box window = intersect_box(inflate(around(from.box, to.box), SEARCH_MARGIN), link.area);
  return search.find(link_index, window, from.via, to.via);
}

std::optional<GraphRoute> Corridors::along_corridor(int link_index, const End& from, const End& to,
                                                    bool vertical, PathSearch& search, int depth) {
  const Link& link = problem_.links[static_cast<std::size_t>(link_index)];
  const Box& a = from.box;
  const Box& b = to.box;
  // Coordinates along the corridor and across it.
  auto lo_of = [&](const Box& x) { return vertical ? x.y : x.x; };
  auto hi_of = [&](const Box& x) { return vertical ? x.bottom() : x.right(); };
  auto mid_across = [&](const Box& x) { return vertical ? x.centre_x() : x.centre_y(); };
  const bool forward = lo_of(b) + hi_of(b) > lo_of(a) + hi_of(a);
  const Dir way =
      vertical ? (forward ? Dir::SOUTH : Dir::NORTH) : (forward ? Dir::EAST : Dir::WEST);
  // The corridor runs between the windows round the two ends.
  const double start = forward ? hi_of(a) + SEARCH_MARGIN : lo_of(a) - SEARCH_MARGIN;
  const double stop = forward ? lo_of(b) - SEARCH_MARGIN : hi_of(b) + SEARCH_MARGIN;
  const auto [k0, k1] = vertical
                            ? graph_.rows_within(std::min(start, stop), std::max(start, stop))
                            : graph_.columns_within(std::min(start, stop), std::max(start, stop));
  if (k1 <= k0) return std::nullopt;
  const double lo = vertical ? graph_.y(k0) : graph_.x(k0);
  const double hi = vertical ? graph_.y(k1) : graph_.x(k1);

  // The lines clear of shapes all the way, by cost: the way to them from both ends (a line
  // near one of them leaves only one part that runs far), the corridors already on them, the
  // routes laid along and across them, the stretches nudging found crowded, the names they
  // pass.
  const LaidRoutes& laid = search.laid();
  const double step = (hi - lo) / (k1 - k0);  // the mean step along the corridor
  struct Candidate {
    double cost = 0;
    int line = 0;
  };
  std::vector<Candidate> candidates;
  // Lines near the ends first: the band across both of them, widened until it holds a clear
  // line or the whole area the route may use.
  const Interval area = vertical ? Interval{link.area.x, link.area.right()}
                                 : Interval{link.area.y, link.area.bottom()};
  const Interval ends{std::min(mid_across(a), mid_across(b)),
                      std::max(mid_across(a), mid_across(b))};
  int seen_lo = 0, seen_hi = -1;  // the lines looked at so far
  double reach = 2 * SEARCH_MARGIN;
  for (int widened = 0; widened < 16 && candidates.empty(); ++widened, reach *= 4) {
    const Interval band = intersect({ends.lo - reach, ends.hi + reach}, area);
    const auto [l0, l1] =
        vertical ? graph_.columns_within(band.lo, band.hi) : graph_.rows_within(band.lo, band.hi);
    for (int line = l0; line <= l1; ++line) {
      if (line >= seen_lo && line <= seen_hi) continue;
      if (!graph_.line_clear(vertical, line, lo, hi, false)) continue;
      const double at = vertical ? graph_.x(line) : graph_.y(line);
      const double to_a = std::abs(at - mid_across(a)), to_b = std::abs(at - mid_across(b));
      double cost = to_a + to_b + std::min(to_a, to_b);
      if (!graph_.line_clear(vertical, line, lo, hi, true)) cost += CORRIDOR_NAME_COST;
      candidates.push_back({cost, line});
    }
    seen_lo = l0;
    seen_hi = l1;
    if (band.lo <= area.lo && band.hi >= area.hi) break;
  }
  // Then what the routes already there add, worked out for the lines in order of the cost so
  // far until no line left can be among the cheapest (those costs only add).
  auto cheaper = [](const Candidate& p, const Candidate& q) {
    return p.cost < q.cost || (p.cost == q.cost && p.line < q.line);
  };
  std::sort(candidates.begin(), candidates.end(), cheaper);
  std::vector<Candidate> cheapest;
  for (const Candidate& c : candidates) {
    if (cheapest.size() == CORRIDOR_TRIES && c.cost > cheapest.back().cost) break;
    Candidate full = c;
    full.cost +=
        CORRIDOR_SHARE_COST * sharing(vertical, c.line, lo, hi) +
        CORRIDOR_SHARE_COST * near(vertical, c.line, lo, hi) +
        CROWD_COST * search.crowding().crowded_length(vertical, c.line, k0, k1) +
        SHARE_COST * step * static_cast<double>(laid.steps_taken_along(vertical, c.line, k0, k1)) +
        CROSSING_COST * static_cast<double>(laid.crossings_along(vertical, c.line, k0, k1));
    cheapest.insert(std::upper_bound(cheapest.begin(), cheapest.end(), full, cheaper), full);
    if (cheapest.size() > CORRIDOR_TRIES) cheapest.pop_back();
  }
  candidates = std::move(cheapest);

  for (const Candidate& c : candidates) {
    auto vertex = [&](int k) { return vertical ? Vertex{c.line, k} : Vertex{k, c.line}; };
    const PathSearch::Via enter{vertex(forward ? k0 : k1), way};
    const PathSearch::Via leave{vertex(forward ? k1 : k0), way};
    const Point p = graph_.point(enter.vertex), q = graph_.point(leave.vertex);
    std::optional<GraphRoute> first =
        connect(link_index, from, {{p.x, p.y, 0, 0}, enter}, search, depth + 1);
    if (!first) continue;
    std::optional<GraphRoute> second =
        connect(link_index, {{q.x, q.y, 0, 0}, leave}, to, search, depth + 1);
    if (!second) continue;
    GraphRoute route = std::move(*first);
    route.target_side = second->target_side;
    route.vertices.insert(route.vertices.end(), second->vertices.begin(), second->vertices.end());
    route.join_of = second->join_of;
    route.join_shared = second->join_shared;
    return route;
  }
  return std::nullopt;
}

}  // namespace orvane::routing
