#include "path_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <queue>

#include "ports.hpp"
#include "settings.hpp"

namespace orvane::routing {
namespace {

enum Skip { SKIP_NONE, SKIP_FORK, SKIP_JOIN };

std::uint64_t state_key(Vertex v, Dir d) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(v.i)) << 32) |
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(v.j)) << 2) |
         static_cast<std::uint64_t>(d);
}

Vertex vertex_of(std::uint64_t key) {
  return {static_cast<int>(key >> 32), static_cast<int>((key & 0xffffffffu) >> 2)};
}

Dir dir_of(std::uint64_t key) {
  return static_cast<Dir>(key & 3u);
}

double distance(const Point& a, const Point& b) {
  return std::abs(a.x - b.x) + std::abs(a.y - b.y);
}

bool within(const Box& area, const Point& p) {
  return p.x >= area.x && p.x <= area.right() && p.y >= area.y && p.y <= area.bottom();
}

// Using a side of `node` that a route already laid uses the same way, not as part of one fork
// or join: a rectangle's side has room for several, apart; a round or diamond shape's has not.
double side_share_cost(const Node& node) {
  return node.outline == Outline::RECTANGLE ? RECTANGLE_SIDE_SHARE_COST : SIDE_CONFLICT_COST;
}

constexpr std::array<Dir, 4> DIRS = {Dir::EAST, Dir::WEST, Dir::NORTH, Dir::SOUTH};

// The side of `node` that faces `far` squarely (the two overlap across that side's direction),
// if one does.
std::optional<Side> facing_side(const Box& node, const Box& far) {
  const bool rows = far.y < node.bottom() && node.y < far.bottom();
  const bool columns = far.x < node.right() && node.x < far.right();
  if (rows && far.right() <= node.x) return Side::LEFT;
  if (rows && far.x >= node.right()) return Side::RIGHT;
  if (columns && far.bottom() <= node.y) return Side::TOP;
  if (columns && far.y >= node.bottom()) return Side::BOTTOM;
  return std::nullopt;
}

}  // namespace

PathSearch::PathSearch(const Problem& problem, const FreeSpace& space, const ChannelGraph& graph,
                       const LaidRoutes& laid, const Crowding& crowding)
    : problem_(problem),
      space_(space),
      graph_(graph),
      laid_(laid),
      crowding_(crowding),
      stubs_(problem.nodes.size() * 4),
      twin_(links_with_twins(problem.links)) {
  leaving_links_.build(problem, true);
  entering_links_.build(problem, false);
  for (const auto& [a, b] : problem.message_runs) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.y)) continue;
    message_runs_.push_back({a.x, {std::min(a.y, b.y), std::max(a.y, b.y)}});
  }
  std::sort(message_runs_.begin(), message_runs_.end(),
            [](const MessageRun& p, const MessageRun& q) { return p.x < q.x; });
}

int PathSearch::message_crossings_along(double y, double x0, double x1) const {
  // Each run counts on the side of it where its x is: a route through a vertex on the run's
  // line crosses it once.
  auto first = std::lower_bound(message_runs_.begin(), message_runs_.end(), std::min(x0, x1),
                                [](const MessageRun& run, double x) { return run.x < x; });
  int count = 0;
  for (auto it = first; it != message_runs_.end() && it->x < std::max(x0, x1); ++it) {
    if (it->heights.lo < y && y < it->heights.hi) ++count;
  }
  return count;
}

int PathSearch::message_crossings(Vertex v, Vertex w) const {
  if (message_runs_.empty() || v.j != w.j) return 0;
  return message_crossings_along(graph_.y(v.j), graph_.x(v.i), graph_.x(w.i));
}

void PathSearch::NodeLinks::build(const Problem& problem, bool leaving) {
  first.assign(problem.nodes.size() + 1, 0);
  auto node_of = [&](const Link& link) {
    return static_cast<std::size_t>(leaving ? link.source : link.target);
  };
  for (const Link& link : problem.links) {
    if (link.source != link.target) ++first[node_of(link) + 1];
  }
  for (std::size_t n = 0; n + 1 < first.size(); ++n) first[n + 1] += first[n];
  links.assign(static_cast<std::size_t>(first.back()), 0);
  std::vector<int> next(first.begin(), first.end() - 1);
  for (std::size_t l = 0; l < problem.links.size(); ++l) {
    const Link& link = problem.links[l];
    if (link.source == link.target) continue;
    links[static_cast<std::size_t>(next[node_of(link)]++)] = static_cast<int>(l);
  }
}

bool PathSearch::family(const Link& a, const Link& b, bool fork) const {
  return same_family(a, b, fork);
}

std::optional<Vertex> PathSearch::stub(const Link& link, int node, Side side) const {
  SideStubs& known = stubs_[static_cast<std::size_t>(node) * 4 + static_cast<std::size_t>(side)];
  if (!known.known) {
    const Box& box = problem_.nodes[static_cast<std::size_t>(node)].box;
    const std::array<double, 2> reaches{STUB, SHORT_STUB};
    for (std::size_t k = 0; k < reaches.size(); ++k) {
      const Vertex v = graph_.stub_end(box, side, reaches[k]);
      if (v.i < 0 || v.j < 0) continue;
      const Point end = graph_.point(v);
      known.ends[k] = {v,
                       !space_.blocked(end) && space_.clear(side_middle(box, side), end, 0, node)};
    }
    known.known = true;
  }
  // A stub ends in its shape's lane where it can: the full stub's nearest line may lie across
  // the lane's border, and a route reaching it would come round through the next lane.
  const Box& lane = problem_.nodes[static_cast<std::size_t>(node)].lane;
  for (const bool in_lane : {true, false}) {
    for (const StubEnd& e : known.ends) {
      if (e.end.i < 0 || e.end.j < 0) continue;
      const Point end = graph_.point(e.end);
      if (within(lane, end) == in_lane && within(link.area, end) && e.free) return e.end;
    }
  }
  return std::nullopt;
}

double PathSearch::stub_length(const Box& box, Side side, Vertex end) const {
  const Point from = side_middle(box, side), to = graph_.point(end);
  return horizontal(side) ? std::abs(to.x - from.x) : std::abs(to.y - from.y);
}

std::optional<Vertex> PathSearch::facing_stub(const Link& link, int node, Side side, Vertex middle,
                                              int other) const {
  const Node& n = problem_.nodes[static_cast<std::size_t>(node)];
  const Box& far = problem_.nodes[static_cast<std::size_t>(other)].box;
  // The other shape lies wholly beyond this side (its middle across from the side, below).
  if (facing_side(n.box, far) != side) return std::nullopt;
  const bool across_x = horizontal(side);  // the side runs along y
  const double along = across_x ? far.centre_y() : far.centre_x();
  const Interval range = port_range(n, side);
  if (along <= range.lo || along >= range.hi) return std::nullopt;
  const int line = across_x ? graph_.row_at(along) : graph_.column_at(along);
  if (line < 0) return std::nullopt;
  const Vertex v = across_x ? Vertex{middle.i, line} : Vertex{line, middle.j};
  if (v == middle || v.i < i0_ || v.i > i1_ || v.j < j0_ || v.j > j1_) return std::nullopt;
  const Point end = graph_.point(v);
  if (!within(link.area, end) || within(n.lane, end) != within(n.lane, graph_.point(middle)) ||
      space_.blocked(end))
    return std::nullopt;
  Point from = side_middle(n.box, side);
  (across_x ? from.y : from.x) = along;
  if (!space_.clear(from, end, 0, node)) return std::nullopt;
  return v;
}

bool PathSearch::passed_clear(const Node& node, Side side, Vertex v) const {
  // Messages passing a side run down or up it: their lines are vertical.
  return node.passed_clear_of(side, graph_.point(v).x, PASSED_SIDE_SPACING);
}

bool PathSearch::stub_usable(const Link& link, int node, Side side) const {
  return stub(link, node, side).has_value();
}

bool PathSearch::source_side_usable(const Link& link, Side side) const {
  return stub_usable(link, link.source, side);
}

bool PathSearch::target_side_usable(const Link& link, Side side) const {
  return stub_usable(link, link.target, side);
}

double PathSearch::other_way_cost(const Link& link, const Node& node,
                                  const LaidRoutes::SideLinks& others) const {
  if (others.empty()) return 0;
  if (node.outline != Outline::RECTANGLE) return SIDE_CONFLICT_COST;
  if (link.kind == LinkKind::SEQUENCE) {
    for (int other : others) {
      if (problem_.links[static_cast<std::size_t>(other)].kind == LinkKind::SEQUENCE)
        return SIDE_CONFLICT_COST;
    }
  }
  return RECTANGLE_SIDE_SHARE_COST;
}

double PathSearch::expected_way_cost(const Link& link, int node, Side side, bool leaving) const {
  const Node& n = problem_.nodes[static_cast<std::size_t>(node)];
  const NodeLinks& others = leaving ? entering_links_ : leaving_links_;
  const auto n_index = static_cast<std::size_t>(node);
  for (int k = others.first[n_index]; k < others.first[n_index + 1]; ++k) {
    const int o = others.links[static_cast<std::size_t>(k)];
    const Link& other = problem_.links[static_cast<std::size_t>(o)];
    if (&other == &link || laid_.route(o) != nullptr) continue;
    if (n.outline == Outline::RECTANGLE &&
        (link.kind != LinkKind::SEQUENCE || other.kind != LinkKind::SEQUENCE)) {
      continue;
    }
    std::optional<Side> expected = leaving ? other.target_side : other.source_side;
    if (!expected) {
      const Box& far =
          problem_.nodes[static_cast<std::size_t>(leaving ? other.source : other.target)].box;
      expected = facing_side(n.box, far);
    }
    if (expected == side) return SIDE_CONFLICT_COST;
  }
  return 0;
}

bool PathSearch::vertex_open(Vertex v, const Link& link) const {
  if (v.i < i0_ || v.i > i1_ || v.j < j0_ || v.j > j1_) return false;
  return within(link.area, graph_.point(v)) && graph_.open(v);
}

int PathSearch::vertex_state(Vertex v, const Link& link) {
  if (v.i < i0_ || v.i > i1_ || v.j < j0_ || v.j > j1_) return 0;
  const Point p = graph_.point(v);
  if (!within(link.area, p)) return 0;
  return !graph_.open(v) ? 0 : graph_.in_name(v, link.source, link.target) ? 2 : 1;
}

// The fewest bends a path from `v`, heading `d`, needs to arrive at `g` heading `gd`: it has to
// travel in every direction towards the goal and in the final one, and in a third when it must
// come back the way it went.
static int fewest_bends(const Point& v, Dir d, const Point& g, Dir gd) {
  std::array<bool, 4> need{};
  if (g.x > v.x) need[static_cast<std::size_t>(Dir::EAST)] = true;
  if (g.x < v.x) need[static_cast<std::size_t>(Dir::WEST)] = true;
  if (g.y > v.y) need[static_cast<std::size_t>(Dir::SOUTH)] = true;
  if (g.y < v.y) need[static_cast<std::size_t>(Dir::NORTH)] = true;
  need[static_cast<std::size_t>(gd)] = true;
  const bool across =
      need[static_cast<std::size_t>(Dir::EAST)] || need[static_cast<std::size_t>(Dir::WEST)];
  const bool down =
      need[static_cast<std::size_t>(Dir::NORTH)] || need[static_cast<std::size_t>(Dir::SOUTH)];
  int count = static_cast<int>(std::count(need.begin(), need.end(), true));
  if ((need[static_cast<std::size_t>(Dir::EAST)] && need[static_cast<std::size_t>(Dir::WEST)] &&
       !down) ||
      (need[static_cast<std::size_t>(Dir::NORTH)] && need[static_cast<std::size_t>(Dir::SOUTH)] &&
       !across)) {
    ++count;
  }
  return std::max(0, need[static_cast<std::size_t>(d)] ? count - 1 : count);
}

double PathSearch::estimate(Vertex v, Dir d) const {
  const Point p = graph_.point(v);
  double best = std::numeric_limits<double>::infinity();
  // A run's cheapest goal from p: the one nearest p along the axes, as each step towards its
  // cheap end saves TRUNK_COST_PER_PIXEL and costs at least a pixel of route (the goal costs
  // more the further it lies from that end).
  for (const TrunkRun& r : trunk_runs_) {
    const Point nearest{std::clamp(p.x, r.run.x, r.run.right()),
                        std::clamp(p.y, r.run.y, r.run.bottom())};
    best = std::min(
        best, distance(p, nearest) + r.cost + TRUNK_COST_PER_PIXEL * distance(nearest, r.cheap));
  }
  for (const PortGoal& g : port_goals_) {
    best = std::min(best, distance(p, g.at) + BEND_COST * fewest_bends(p, d, g.at, g.dir) + g.cost);
  }
  return best;
}

void PathSearch::collect_starts(const Link& link, const std::optional<Via>& from,
                                std::vector<Start>& starts) const {
  if (from) {
    starts.push_back({from->vertex, from->dir, 0});
    return;
  }
  const Node& source = problem_.nodes[static_cast<std::size_t>(link.source)];
  for (Side side : allowed_sides(link, true)) {
    const std::optional<Vertex> out = stub(link, link.source, side);
    if (!out) continue;
    // A side a black-box message runs through is left to it, unless the caller asked for it;
    // one that messages only pass keeps a straight way across to the other end, off their lines.
    const bool taken = source.taken[static_cast<std::size_t>(side)] && !link.source_side;
    if (taken && source.passed_at[static_cast<std::size_t>(side)].empty()) continue;
    double base = side_cost(link, side, true) + stub_length(source.box, side, *out);
    base += std::max(other_way_cost(link, source, laid_.entering(link.source, side)),
                     expected_way_cost(link, link.source, side, true));
    std::vector<int> trunks;
    for (int other : laid_.leaving(link.source, side)) {
      if (family(link, problem_.links[static_cast<std::size_t>(other)], true)) {
        trunks.push_back(other);
      } else {
        base += side_share_cost(source);
      }
    }
    if (trunks.empty()) {
      if (!taken) starts.push_back({*out, outward(side), base, side});
      if (const auto v = facing_stub(link, link.source, side, *out, link.target);
          v && (!taken || passed_clear(source, side, *v))) {
        starts.push_back({*v, outward(side), base + OFF_MIDDLE_PORT_COST, side});
      }
      continue;
    }
    if (taken) continue;
    if (trunks.size() > MAX_TRUNKS) {
      trunks.erase(trunks.begin(), trunks.end() - static_cast<std::ptrdiff_t>(MAX_TRUNKS));
    }
    // Where the starts of each trunk walked for this side end, by link (stamped with the walk).
    ++walk_;
    if (walked_.size() < problem_.links.size()) walked_.resize(problem_.links.size());
    auto repeated_starts = [&](const GraphRoute& r, std::size_t end) -> std::size_t {
      if (r.fork_of < 0 || r.fork_shared <= 0) return 0;
      const Walked& w = walked_[static_cast<std::size_t>(r.fork_of)];
      const GraphRoute* trunk = laid_.route(r.fork_of);
      if (w.walk != walk_ || trunk == nullptr) return 0;
      const std::size_t k =
          std::min({static_cast<std::size_t>(r.fork_shared), end, w.end, trunk->vertices.size()});
      // A branch laid again since this one copied its trunk may run elsewhere now.
      if (!std::equal(r.vertices.begin(), r.vertices.begin() + static_cast<std::ptrdiff_t>(k),
                      trunk->vertices.begin())) {
        return 0;
      }
      return k;
    };
    for (int other : trunks) {
      const GraphRoute* r = laid_.route(other);
      if (r == nullptr) continue;
      const auto& v = r->vertices;
      // Not on the other route's own join trunk, nor at its end. (A route kept from an earlier
      // round of laying may claim a longer trunk than the other route, laid again, now has.)
      const auto shared = static_cast<std::size_t>(std::max(laid_.shared_suffix(other), 1));
      const std::size_t end = v.size() > shared ? v.size() - shared : 0;
      walked_[static_cast<std::size_t>(other)] = {walk_, end};
      // The vertices this route shares with the earlier branch whose trunk it started on, when
      // that one was walked already, gave their starts then (the same vertex, direction and
      // cost): on a wide fork every branch runs on one trunk, and walking it once per branch
      // made the search grow with the square of the branches.
      const std::size_t skip = repeated_starts(*r, end);
      double along = 0;
      for (std::size_t t = 1; t < skip; ++t)
        along += distance(graph_.point(v[t - 1]), graph_.point(v[t]));
      for (std::size_t t = skip; t < end; ++t) {
        if (t > 0) along += distance(graph_.point(v[t - 1]), graph_.point(v[t]));
        if (v[t].i < i0_ || v[t].i > i1_ || v[t].j < j0_ || v[t].j > j1_) continue;
        const Dir d = t == 0 ? outward(side) : direction(v[t - 1], v[t]);
        starts.push_back({v[t], d, base + TRUNK_REUSE_COST + TRUNK_COST_PER_PIXEL * along, side,
                          other, static_cast<int>(t) + 1});
      }
    }
  }
}

void PathSearch::collect_goals(const Link& link, const std::optional<Via>& to) {
  const Node& target = problem_.nodes[static_cast<std::size_t>(link.target)];
  auto add = [&](Vertex v, const Goal& goal) {
    bool inserted = false;
    int& head = goal_heads_.insert(ChannelGraph::key(v), -1, inserted);
    goals_.push_back({goal, head});
    head = static_cast<int>(goals_.size()) - 1;
  };
  if (to) {
    Goal goal;
    goal.dir = to->dir;
    add(to->vertex, goal);
    goal_lines_.push_back(to->vertex);
    port_goals_.push_back({graph_.point(to->vertex), to->dir, 0});
    return;
  }
  for (Side side : allowed_sides(link, false)) {
    const std::optional<Vertex> in = stub(link, link.target, side);
    if (!in) continue;
    const bool taken = target.taken[static_cast<std::size_t>(side)] && !link.target_side;
    if (taken && target.passed_at[static_cast<std::size_t>(side)].empty()) continue;
    double base = side_cost(link, side, false) + stub_length(target.box, side, *in);
    base += std::max(other_way_cost(link, target, laid_.leaving(link.target, side)),
                     expected_way_cost(link, link.target, side, false));
    std::vector<int> trunks;
    for (int other : laid_.entering(link.target, side)) {
      if (family(link, problem_.links[static_cast<std::size_t>(other)], false)) {
        trunks.push_back(other);
      } else {
        base += side_share_cost(target);
      }
    }
    if (trunks.empty()) {
      const Vertex end = *in;
      if (!taken) {
        add(end, {side, -1, 0, base, inward(side)});
        goal_lines_.push_back(end);
        port_goals_.push_back({graph_.point(end), inward(side), base});
      }
      if (const auto v = facing_stub(link, link.target, side, end, link.source);
          v && (!taken || passed_clear(target, side, *v))) {
        const double cost = base + OFF_MIDDLE_PORT_COST;
        add(*v, {side, -1, 0, cost, inward(side)});
        goal_lines_.push_back(*v);
        port_goals_.push_back({graph_.point(*v), inward(side), cost});
      }
      continue;
    }
    if (taken) continue;
    if (trunks.size() > MAX_TRUNKS) {
      trunks.erase(trunks.begin(), trunks.end() - static_cast<std::ptrdiff_t>(MAX_TRUNKS));
    }
    for (int other : trunks) {
      const GraphRoute* r = laid_.route(other);
      if (r == nullptr || r->vertices.empty()) continue;
      const auto& v = r->vertices;
      // Not on the other route's own fork trunk, nor at its start.
      const auto first = static_cast<std::size_t>(std::max(laid_.shared_prefix(other), 1));
      double along = 0;
      Dir run_dir = Dir::EAST;
      for (std::size_t t = v.size() - 1; t >= first; --t) {
        if (t + 1 < v.size()) along += distance(graph_.point(v[t]), graph_.point(v[t + 1]));
        if (v[t].i < i0_ || v[t].i > i1_ || v[t].j < j0_ || v[t].j > j1_) continue;
        const Dir d = t + 1 == v.size() ? inward(side) : direction(v[t], v[t + 1]);
        const double cost = base + TRUNK_REUSE_COST + TRUNK_COST_PER_PIXEL * along;
        add(v[t], {side, other, static_cast<int>(t), cost, d});
        // Goals further on are cheaper: a run's cost is that of its last goal.
        const Point at = graph_.point(v[t]);
        goal_lines_.push_back(v[t]);
        if (t + 1 < v.size() && !trunk_runs_.empty() && direction(v[t], v[t + 1]) == run_dir) {
          TrunkRun& run = trunk_runs_.back();
          run.run = span(std::min(run.run.x, at.x), std::min(run.run.y, at.y),
                         std::max(run.run.right(), at.x), std::max(run.run.bottom(), at.y));
        } else {
          trunk_runs_.push_back({{at.x, at.y, 0, 0}, cost, at});
          if (t + 1 < v.size()) run_dir = direction(v[t], v[t + 1]);
        }
      }
    }
  }
}

double PathSearch::pass_cost(Vertex v, Dir in, Dir out, const Link& link, int skip) const {
  if (here_ == nullptr) return 0;
  const bool straight = in == out;
  if (skip != SKIP_NONE) {
    // On a trunk's split or join, the routes of the fork or join do not count: none here but
    // those when all passing are branches of the link's own fork (or join), and it has no twin
    // (a flow between the same two shapes, which is not of the fork); else one by one.
    const bool fork = skip == SKIP_FORK;
    const std::size_t index = static_cast<std::size_t>(&link - problem_.links.data());
    if ((fork ? here_->fork_node == link.source : here_->join_node == link.target) &&
        link.kind == LinkKind::SEQUENCE && link.source != link.target && index < twin_.size() &&
        twin_[index] == 0 && laid_.route(static_cast<int>(index)) == nullptr) {
      return 0;
    }
    double cost = 0;
    laid_.passes(v, [&](const LaidRoutes::Pass& p) {
      const Link& other = problem_.links[static_cast<std::size_t>(p.link)];
      if (family(link, other, skip == SKIP_FORK)) return;
      if (straight && p.in == p.out) {
        if (horizontal(in) != horizontal(p.in)) cost += crossing_cost_;
      } else if (!(p.in == in && p.out == out)) {
        cost += TOUCH_COST;
      }
    });
    return cost;
  }
  const auto& c = here_->count;
  int total = 0;
  int crossing = 0;
  int along = 0;  // straight through on our line
  for (int a = 0; a < 4; ++a) {
    for (int b = 0; b < 4; ++b) total += c[a][b];
    if (horizontal(static_cast<Dir>(a)) == horizontal(in)) {
      along += c[a][a];
    } else {
      crossing += c[a][a];
    }
  }
  // Running through on the same line is priced on the lines, and so is turning together; going
  // across a route is a crossing; any other meeting is a touch.
  if (straight) return crossing_cost_ * crossing + TOUCH_COST * (total - crossing - along);
  return TOUCH_COST * (total - c[static_cast<int>(in)][static_cast<int>(out)]);
}

double PathSearch::share_cost(Dir dir, double length) const {
  if (here_ == nullptr) return 0;
  // Routes leaving here the same way, or that arrived here from there, run on this step.
  const auto& c = here_->count;
  const int d = static_cast<int>(dir);
  const int back = static_cast<int>(opposite(dir));
  int sharing = -c[back][d];
  for (int k = 0; k < 4; ++k) sharing += c[k][d] + c[back][k];
  return SHARE_COST * length * sharing;
}

double PathSearch::path_cost(const std::vector<Vertex>& path, const Ends& ends, const Link& link) {
  double cost = 0;
  Dir d = ends.from;
  int here = vertex_state(path.front(), link);
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    const Vertex v = path[k], w = path[k + 1];
    const Dir m = direction(v, w);
    const int there = vertex_state(w, link);
    const double length = distance(graph_.point(v), graph_.point(w));
    here_ = laid_.tally(v);
    cost += length + (m != d ? BEND_COST : 0) +
            NAME_COST_PER_PIXEL * length * ((here == 2) + (there == 2)) / 2 + crowding_.cost(v, w) +
            crossing_cost_ * message_crossings(v, w) +
            pass_cost(v, d, m, link, k == 0 && ends.on_fork ? SKIP_FORK : SKIP_NONE) +
            share_cost(m, length);
    d = m;
    here = there;
  }
  here_ = laid_.tally(path.back());
  return cost + (d != ends.to ? BEND_COST : 0) +
         pass_cost(path.back(), d, ends.to, link, ends.on_join ? SKIP_JOIN : SKIP_NONE);
}

std::optional<std::vector<Vertex>> PathSearch::trace(const std::vector<Vertex>& corners,
                                                     const Ends& ends, const Link& link) {
  std::vector<Vertex> path{corners.front()};
  Dir d = ends.from;
  for (std::size_t k = 1; k < corners.size(); ++k) {
    if (corners[k] == path.back()) continue;
    const Dir m = direction(path.back(), corners[k]);
    if (m == opposite(d)) return std::nullopt;
    for (Vertex v = path.back(); !(v == corners[k]);) {
      graph_.step(v, m, v);
      if (vertex_state(v, link) == 0) return std::nullopt;
      path.push_back(v);
    }
    d = m;
  }
  if (d == opposite(ends.to)) return std::nullopt;
  return path;
}

void PathSearch::straighten(std::vector<Vertex>& path, const Ends& ends, const Link& link) {
  double cost = path_cost(path, ends, link);
  for (bool changed = true; changed;) {
    changed = false;
    // The first vertex, every turn, the last.
    std::vector<Vertex> c{path.front()};
    for (std::size_t k = 1; k + 1 < path.size(); ++k) {
      if (direction(path[k - 1], path[k]) != direction(path[k], path[k + 1])) c.push_back(path[k]);
    }
    if (path.size() > 1) c.push_back(path.back());
    // A jog: segments k and k + 2 run the same way, k + 1 steps across between their lines.
    // Either of them may move onto the other's line, the segment before or after it growing
    // or shrinking to match.
    for (std::size_t k = 0; k + 3 < c.size() && !changed; ++k) {
      if (direction(c[k], c[k + 1]) != direction(c[k + 2], c[k + 3])) continue;
      const int di = c[k + 2].i - c[k + 1].i, dj = c[k + 2].j - c[k + 1].j;
      for (const Vertex moved :
           {Vertex{c[k].i + di, c[k].j + dj}, Vertex{c[k + 3].i - di, c[k + 3].j - dj}}) {
        std::vector<Vertex> corners(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(k) + 1);
        corners.push_back(moved);
        corners.insert(corners.end(), c.begin() + static_cast<std::ptrdiff_t>(k) + 3, c.end());
        auto candidate = trace(corners, ends, link);
        if (!candidate) continue;
        const double candidate_cost = path_cost(*candidate, ends, link);
        if (candidate_cost < cost - 1e-6) {
          path = std::move(*candidate);
          cost = candidate_cost;
          changed = true;
          break;
        }
      }
    }
  }
}

bool PathSearch::plain(Vertex w, Dir m, const Link& link) const {
  if (laid_.passes_any(w) || goal_heads_.find(ChannelGraph::key(w)) != nullptr) return false;
  const auto& lines = horizontal(m) ? goal_columns_ : goal_rows_;
  if (std::binary_search(lines.begin(), lines.end(), horizontal(m) ? w.i : w.j)) return false;
  // Where an obstacle begins or ends beside the line, a turn may matter.
  for (const Dir p :
       {horizontal(m) ? Dir::NORTH : Dir::EAST, horizontal(m) ? Dir::SOUTH : Dir::WEST}) {
    Vertex side, back, back_side;
    const bool open_here = graph_.step(w, p, side) && vertex_open(side, link);
    const bool open_before = graph_.step(w, opposite(m), back) && graph_.step(back, p, back_side) &&
                             vertex_open(back_side, link);
    if (open_here != open_before) return false;
  }
  return true;
}

std::optional<GraphRoute> PathSearch::find(int link_index, const Box& window,
                                           const std::optional<Via>& from,
                                           const std::optional<Via>& to) {
  const Link& link = problem_.links[static_cast<std::size_t>(link_index)];
  states_.clear();
  goal_heads_.clear();
  goals_.clear();
  port_goals_.clear();
  trunk_runs_.clear();
  goal_lines_.clear();
  std::tie(i0_, i1_) = graph_.columns_within(window.x, window.right());
  std::tie(j0_, j1_) = graph_.rows_within(window.y, window.bottom());
  {
    const Box& a = problem_.nodes[static_cast<std::size_t>(link.source)].box;
    const Box& b = problem_.nodes[static_cast<std::size_t>(link.target)].box;
    const Point p = from ? graph_.point(from->vertex) : Point{a.centre_x(), a.centre_y()};
    const Point q = to ? graph_.point(to->vertex) : Point{b.centre_x(), b.centre_y()};
    weight_ =
        SEARCH_WEIGHT + std::max(0.0, distance(p, q) - SEARCH_WEIGHT_FROM) / SEARCH_WEIGHT_PER;
  }

  collect_goals(link, to);
  goal_columns_.clear();
  goal_rows_.clear();
  for (const Vertex& g : goal_lines_) {
    goal_columns_.push_back(g.i);
    goal_rows_.push_back(g.j);
  }
  for (auto* lines : {&goal_columns_, &goal_rows_}) {
    std::sort(lines->begin(), lines->end());
    lines->erase(std::unique(lines->begin(), lines->end()), lines->end());
  }
  std::vector<Start> starts;
  collect_starts(link, from, starts);
  if (goals_.empty() || starts.empty()) return std::nullopt;

  struct Item {
    double f;
    std::uint64_t order;
    std::uint64_t key;
    bool operator>(const Item& o) const { return f > o.f || (f == o.f && order > o.order); }
  };
  std::priority_queue<Item, std::vector<Item>, std::greater<>> open;
  std::uint64_t pushed = 0;
  auto offer = [&](Vertex v, Dir d, double g, std::uint64_t parent, int start) {
    bool inserted = false;
    State& s = states_.insert(state_key(v, d), State{g, parent, start, false}, inserted);
    if (!inserted) {
      if (s.closed || s.g <= g) return;
      s = State{g, parent, start, false};
    }
    open.push({g + weight_ * estimate(v, d), pushed++, state_key(v, d)});
  };
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const Start& s = starts[k];
    if (vertex_state(s.vertex, link) == 0) continue;
    offer(s.vertex, s.dir, s.cost, NONE, static_cast<int>(k));
  }

  double goal_g = std::numeric_limits<double>::infinity();
  std::uint64_t goal_parent = NONE;
  int goal_index = -1;
  while (!open.empty()) {
    const Item item = open.top();
    open.pop();
    if (item.key == GOAL) break;
    State* state = states_.find(item.key);
    if (state == nullptr || state->closed) continue;
    state->closed = true;
    const double g = state->g;
    const bool trunk_start =
        state->parent == NONE && starts[static_cast<std::size_t>(state->start)].fork_of >= 0;
    const Vertex v = vertex_of(item.key);
    const Dir d = dir_of(item.key);
    const int here = vertex_state(v, link);
    here_ = laid_.tally(v);

    if (const int* head = goal_heads_.find(ChannelGraph::key(v))) {
      for (int e = *head; e >= 0; e = goals_[static_cast<std::size_t>(e)].second) {
        const Goal& goal = goals_[static_cast<std::size_t>(e)].first;
        if (d == opposite(goal.dir)) continue;
        const double total =
            g + goal.cost + (d != goal.dir ? BEND_COST : 0) +
            pass_cost(v, d, goal.dir, link, goal.join_of >= 0 ? SKIP_JOIN : SKIP_NONE);
        if (total < goal_g) {
          goal_g = total;
          goal_parent = item.key;
          goal_index = e;
          open.push({total, pushed++, GOAL});
        }
      }
    }
    for (Dir m : DIRS) {
      if (m == opposite(d)) continue;
      Vertex w;
      if (!graph_.step(v, m, w)) continue;
      int there = vertex_state(w, link);
      if (there == 0) continue;
      const double first = distance(graph_.point(v), graph_.point(w));
      double length = first;
      // Through a name: counted by the ends of each step inside names.
      double names = NAME_COST_PER_PIXEL * first * ((here == 2) + (there == 2)) / 2;
      // Crowded stretches, and messages to black-box pools crossed.
      double crowded = crowding_.cost(v, w) + crossing_cost_ * message_crossings(v, w);
      if (m == d) {
        // Straight on, the run goes past the vertices where nothing can happen (see plain()).
        Vertex next;
        while (plain(w, m, link) && graph_.step(w, m, next)) {
          const int beyond = vertex_state(next, link);
          if (beyond == 0) break;
          const double step = distance(graph_.point(w), graph_.point(next));
          length += step;
          names += NAME_COST_PER_PIXEL * step * ((there == 2) + (beyond == 2)) / 2;
          crowded += crowding_.cost(w, next) + crossing_cost_ * message_crossings(w, next);
          w = next;
          there = beyond;
        }
      }
      const double cost = g + length + (m != d ? BEND_COST : 0) + names + crowded +
                          pass_cost(v, d, m, link, trunk_start ? SKIP_FORK : SKIP_NONE) +
                          share_cost(m, first);
      if (cost >= goal_g) continue;
      offer(w, m, cost, item.key, -1);
    }
  }
  if (goal_index < 0) return std::nullopt;

  std::vector<Vertex> path;
  int start = -1;
  for (std::uint64_t k = goal_parent; k != NONE;) {
    const Vertex v = vertex_of(k);
    // A run straight on was one step of the search: its vertices go back in.
    if (!path.empty()) {
      const Dir d = direction(v, path.back());
      for (Vertex u = path.back(); !(u == v);) {
        graph_.step(u, opposite(d), u);
        if (!(u == v)) path.push_back(u);
      }
    }
    path.push_back(v);
    const State* s = states_.find(k);
    start = s->start;
    k = s->parent;
  }
  std::reverse(path.begin(), path.end());
  const Start& begin = starts[static_cast<std::size_t>(start)];
  const Goal& end = goals_[static_cast<std::size_t>(goal_index)].first;

  straighten(path, {begin.dir, end.dir, begin.fork_of >= 0, end.join_of >= 0}, link);

  GraphRoute route;
  route.link = link_index;
  route.source_side = begin.side;
  route.target_side = end.side;
  if (begin.fork_of >= 0) {
    const auto& trunk = laid_.route(begin.fork_of)->vertices;
    route.vertices.assign(trunk.begin(), trunk.begin() + begin.fork_shared);
    route.vertices.insert(route.vertices.end(), path.begin() + 1, path.end());
    route.fork_of = begin.fork_of;
    route.fork_shared = begin.fork_shared;
  } else {
    route.vertices = std::move(path);
  }
  if (end.join_of >= 0) {
    const auto& trunk = laid_.route(end.join_of)->vertices;
    route.vertices.insert(route.vertices.end(), trunk.begin() + end.index + 1, trunk.end());
    route.join_of = end.join_of;
    route.join_shared = static_cast<int>(trunk.size()) - end.index;
  }
  return route;
}

}  // namespace orvane::routing
