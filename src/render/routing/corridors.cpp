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
// How far in from the edge of a lane or pool its edge lines are looked for: the margin between
// the edge and the shapes.
constexpr double EDGE_REACH = 2 * STUB;
// ...and how far off the ends an edge may lie: the parts to one further off would be searched for
// through much of a tall pool.
constexpr double EDGE_FAR = 8 * SEARCH_MARGIN;

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

template <typename F>
void Corridors::each_corridor(const GraphRoute& route, F&& f) {
  const auto& v = route.vertices;
  for (std::size_t t = 1; t < v.size(); ++t) {
    const Vertex a = v[t - 1], b = v[t];
    if (a.j == b.j && std::abs(a.i - b.i) > 1) {
      f(rows_[static_cast<std::size_t>(a.j)],
        Interval{graph_.x(std::min(a.i, b.i)), graph_.x(std::max(a.i, b.i))});
    } else if (a.i == b.i && std::abs(a.j - b.j) > 1) {
      f(columns_[static_cast<std::size_t>(a.i)],
        Interval{graph_.y(std::min(a.j, b.j)), graph_.y(std::max(a.j, b.j))});
    }
  }
}

void Corridors::note(const GraphRoute& route) {
  each_corridor(route, [](std::vector<Interval>& line, Interval run) { line.push_back(run); });
}

void Corridors::forget(const GraphRoute& route) {
  each_corridor(route, [](std::vector<Interval>& line, Interval run) {
    const auto it = std::find_if(line.begin(), line.end(), [&](const Interval& i) {
      return i.lo == run.lo && i.hi == run.hi;
    });
    if (it != line.end()) line.erase(it);
  });
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
  // Plain variables, not a structured binding: lambdas below capture them.
  const auto lines = vertical ? graph_.rows_within(std::min(start, stop), std::max(start, stop))
                              : graph_.columns_within(std::min(start, stop), std::max(start, stop));
  const int k0 = lines.first, k1 = lines.second;
  if (k1 <= k0) return std::nullopt;
  const double lo = vertical ? graph_.y(k0) : graph_.x(k0);
  const double hi = vertical ? graph_.y(k1) : graph_.x(k1);

  // The lines clear of shapes all the way, by cost: the way to them from both ends (a line
  // near one of them leaves only one part that runs far), the corridors already on them, the
  // routes laid along and across them, the routes the parts from the ends to them cross, the
  // stretches nudging found crowded, the names they pass.
  const LaidRoutes& laid = search.laid();
  const double step = (hi - lo) / (k1 - k0);  // the mean step along the corridor
  // The lines across the corridor (in the other direction) that the part from an end may run
  // to it on: through the end's middle (leaving by the side facing the corridor) or where it
  // joins the corridor. A part's crossings are counted on the quieter of the two.
  auto middle_line = [&](const Box& x) {
    const double at = vertical ? x.centre_y() : x.centre_x();
    const auto [l0, l1] =
        vertical ? graph_.rows_within(at - 4, at + 4) : graph_.columns_within(at - 4, at + 4);
    return l0 <= l1 ? l0 : -1;
  };
  const int a_lines[2] = {forward ? k0 : k1, middle_line(a)};
  const int b_lines[2] = {forward ? k1 : k0, middle_line(b)};
  auto lines_between = [&](double p, double q) {
    return vertical ? graph_.columns_within(std::min(p, q), std::max(p, q))
                    : graph_.rows_within(std::min(p, q), std::max(p, q));
  };
  // The routes a part from an end to the line would cross, on the quieter of its two lines.
  auto leg_crossings = [&](const int(&across)[2], double from, double to_line) {
    const auto [m0, m1] = lines_between(from, to_line);
    std::size_t least = 0;
    for (int k = 0; k < 2; ++k) {
      if (across[k] < 0) continue;
      const std::size_t count = laid.crossings_along(!vertical, across[k], m0, m1);
      least = k == 0 ? count : std::min(least, count);
    }
    return least;
  };
  struct Candidate {
    double cost = 0;
    int line = 0;
  };
  auto cheaper = [](const Candidate& p, const Candidate& q) {
    return p.cost < q.cost || (p.cost == q.cost && p.line < q.line);
  };
  // The routes crossing a line, or either neighbour of it: routes that cross one line but not
  // the next end between the two, at a shape's side, and that last stretch from the end of a
  // route's stub into its shape is not on the graph (nor is the corridor's place in its
  // channel fixed before nudging).
  const int line_count = vertical ? graph_.columns() : graph_.rows();
  // (Neighbouring candidates share lines: each line's count is kept.)
  std::vector<std::pair<int, std::size_t>> counted;
  auto crossings_on = [&](int line) {
    for (const auto& [l, n] : counted) {
      if (l == line) return n;
    }
    counted.emplace_back(line, laid.crossings_along(vertical, line, k0, k1));
    return counted.back().second;
  };
  auto crossed = [&](int line) {
    std::size_t most = 0;
    for (int n = std::max(line - 1, 0); n <= std::min(line + 1, line_count - 1); ++n)
      most = std::max(most, crossings_on(n));
    return most;
  };
  // How far routes already run along a line, and along the lines either side
  // closer than IDEAL_SEPARATION, which nudging could only part as far as the room allows.
  auto alongside = [&](int line) {
    std::size_t steps = laid.steps_taken_along(vertical, line, k0, k1);
    const double at = vertical ? graph_.x(line) : graph_.y(line);
    for (const int n : {line - 1, line + 1}) {
      if (n < 0 || n >= line_count) continue;
      if (std::abs((vertical ? graph_.x(n) : graph_.y(n)) - at) < IDEAL_SEPARATION)
        steps += laid.steps_taken_along(vertical, n, k0, k1);
    }
    return steps;
  };
  // What the routes already there add to a line's cost so far.
  auto full_cost = [&](Candidate c) {
    const double at = vertical ? graph_.x(c.line) : graph_.y(c.line);
    const std::size_t legs =
        leg_crossings(a_lines, mid_across(a), at) + leg_crossings(b_lines, mid_across(b), at);
    c.cost += CORRIDOR_SHARE_COST * sharing(vertical, c.line, lo, hi) +
              CORRIDOR_SHARE_COST * near(vertical, c.line, lo, hi) +
              CROWD_COST * search.crowding().crowded_length(vertical, c.line, k0, k1) +
              SHARE_COST * step * static_cast<double>(alongside(c.line)) +
              search.crossing_cost() * static_cast<double>(crossed(c.line) + legs);
    // A corridor along a row crosses the messages to black-box pools running across it.
    if (!vertical) c.cost += search.crossing_cost() * search.message_crossings_along(at, lo, hi);
    return c;
  };
  // Lines near the ends first: the band across both of them, widened until it holds a clear
  // line or the whole area the route may use.
  const Interval area = vertical ? Interval{link.area.x, link.area.right()}
                                 : Interval{link.area.y, link.area.bottom()};
  const Interval ends{std::min(mid_across(a), mid_across(b)),
                      std::max(mid_across(a), mid_across(b))};
  std::vector<Candidate> fresh;
  auto consider = [&](int line) {
    if (!graph_.line_clear(vertical, line, lo, hi, false)) return;
    const double at = vertical ? graph_.x(line) : graph_.y(line);
    const double to_a = std::abs(at - mid_across(a)), to_b = std::abs(at - mid_across(b));
    double cost = to_a + to_b + std::min(to_a, to_b);
    if (!graph_.line_clear(vertical, line, lo, hi, true)) cost += CORRIDOR_NAME_COST;
    fresh.push_back({cost, line});
  };
  int seen_lo = 0, seen_hi = -1;  // the lines looked at so far
  double reach = 2 * SEARCH_MARGIN;
  for (int widened = 0; widened < 16 && fresh.empty(); ++widened, reach *= 4) {
    const Interval band = intersect({ends.lo - reach, ends.hi + reach}, area);
    const auto [l0, l1] =
        vertical ? graph_.columns_within(band.lo, band.hi) : graph_.rows_within(band.lo, band.hi);
    for (int line = l0; line <= l1; ++line) {
      if (line < seen_lo || line > seen_hi) consider(line);
    }
    seen_lo = l0;
    seen_hi = l1;
    if (band.lo <= area.lo && band.hi >= area.hi) break;
  }
  // Then the lines along the edges of the ends' lanes and of the area, wherever they lie: few
  // routes run there (modellers draw long loops and skips above or below the rows), and the
  // parts from the ends cross only what lies between.
  std::vector<double> edges{area.lo, area.hi};
  if (!vertical) {
    for (int node : {link.source, link.target}) {
      const Box& lane = problem_.nodes[static_cast<std::size_t>(node)].lane;
      if (usable(lane)) edges.insert(edges.end(), {lane.y, lane.bottom()});
    }
  }
  for (std::size_t e = 0; e < edges.size(); ++e) {
    if (edges[e] < ends.lo - EDGE_FAR || edges[e] > ends.hi + EDGE_FAR) continue;
    const double inward = e % 2 == 0 ? EDGE_REACH : -EDGE_REACH;
    const auto [m0, m1] = lines_between(edges[e], edges[e] + inward);
    for (int line = m0; line <= m1; ++line) {
      if (line < seen_lo || line > seen_hi) consider(line);
    }
  }
  // What the routes already there add, worked out for the lines in order of the cost so far
  // until no line left can be among the cheapest (those costs only add).
  std::sort(fresh.begin(), fresh.end(), cheaper);
  fresh.erase(std::unique(fresh.begin(), fresh.end(),
                          [](const Candidate& p, const Candidate& q) { return p.line == q.line; }),
              fresh.end());
  std::vector<Candidate> candidates;  // the cheapest CORRIDOR_TRIES, cheapest first
  for (const Candidate& c : fresh) {
    if (candidates.size() == CORRIDOR_TRIES && c.cost > candidates.back().cost) break;
    const Candidate full = full_cost(c);
    candidates.insert(std::upper_bound(candidates.begin(), candidates.end(), full, cheaper), full);
    if (candidates.size() > CORRIDOR_TRIES) candidates.pop_back();
  }

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
