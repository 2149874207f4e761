#include "nudging.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <queue>
#include <set>
#include <tuple>

#include "ports.hpp"
#include "raise_tree.hpp"
#include "settings.hpp"
#include "vertex_map.hpp"

namespace orvane::routing {
namespace {

// How far a segment is looked at being moved.
constexpr double REACH = 200;
// A channel wider than this is open space: a lone segment stays near where it was found
// instead of running down the middle.
constexpr double WIDE = 150;
// Segments closer than this along their lines count as overlapping: unrelated ones never
// meet end to end.
constexpr double END_GAP = 2;
// Grouping looks for units that may meet across their lines in bands this wide.
constexpr double GROUP_BAND = 64;
// A group that cannot be parted (more of its units overlap at one point than its room holds
// MIN_SEPARATION apart) is packed when its units times that depth exceed this: weighing each
// overlapping pair (their turns, the widest gap) would cost far more than it can give there.
constexpr double PACKED_WORK = 100'000;
// Pairs that can be parted further than the group's narrowest take wider gaps in at most this
// many rounds, each widening the pairs not yet held by a narrower chain.
constexpr int GAP_ROUNDS = 4;

class DisjointSets {
 public:
  explicit DisjointSets(std::size_t n) : parent_(n) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }
  int find(int a) {
    while (parent_[static_cast<std::size_t>(a)] != a) {
      parent_[static_cast<std::size_t>(a)] =
          parent_[static_cast<std::size_t>(parent_[static_cast<std::size_t>(a)])];
      a = parent_[static_cast<std::size_t>(a)];
    }
    return a;
  }
  void join(int a, int b) {
    a = find(a);
    b = find(b);
    if (a != b) parent_[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
  }

 private:
  std::vector<int> parent_;
};

// Where a route turns at an end of a segment: the position along the segment's line and the
// way the route goes on across it (-1 towards lower coordinates, +1 towards higher).
struct Turn {
  double at = 0;
  int way = 0;
  // The segment it turns onto: route and index, and the route's fork and join.
  int route = -1;
  int segment = -1;
  int fork = -1;
  int join = -1;
};

// The turns at a segment's two ends (none, one or two), kept in place.
class EndTurns {
 public:
  void push_back(const Turn& t) { turns_[static_cast<std::size_t>(count_++)] = t; }
  const Turn* begin() const { return turns_.data(); }
  const Turn* end() const { return turns_.data() + count_; }

 private:
  std::array<Turn, 2> turns_{};
  int count_ = 0;
};

// One segment of one route.
struct Piece {
  int route = 0;
  int k = 0;  // from points[k] to points[k + 1]
  double at = 0;
  Interval along;
  Interval room;
  Interval tight;     // the room with TIGHT_CLEARANCE only, for channels too tight otherwise
  Interval area;      // where its link may run, across the segment
  bool port = false;  // it starts or ends at a shape
  int fork = -1;      // the fork or join family whose trunk it is part of
  int join = -1;
  EndTurns turns;
};

struct Unit {
  double at = 0;
  double line = 0;  // where the search laid it
  Interval along;
  Interval room;
  Interval tight;
  Interval area;
  bool port = false;
  int order = 0;  // the first link's order, for ties
  // For ties between units on one line: the first link's order, negated where that link runs
  // down or left along the unit. The link of lower order then lies on the left of the other as
  // each runs from source to target, at every turn alike, so two routes laid on the same lines
  // (between the same two sides, say) nest instead of crossing where they part.
  int tie = 0;
  std::vector<int> pieces;
  std::vector<Turn> turns;
};

double coordinate(const Point& p, bool vertical) {
  return vertical ? p.x : p.y;
}
double position(const Point& p, bool vertical) {
  return vertical ? p.y : p.x;
}

int sign(double v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

// A segment stays where the search laid it when its room does not hold that place (it lies
// in the clearance of shapes on both sides, say).
void settle(Interval& room, double at) {
  if (room.empty() || !room.contains(at)) room = {at, at};
}

Interval hull(const Interval& a, const Interval& b) {
  return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

// How long two routes run together from their starts (or, with `from_end`, to their ends).
double shared_length(const std::vector<Point>& a, const std::vector<Point>& b, bool from_end) {
  const std::size_t na = a.size(), nb = b.size();
  auto at = [&](const std::vector<Point>& v, std::size_t n, std::size_t i) -> const Point& {
    return from_end ? v[n - 1 - i] : v[i];
  };
  if (na < 2 || nb < 2 || !(at(a, na, 0) == at(b, nb, 0))) return 0;
  double length = 0;
  Point here = at(a, na, 0);
  std::size_t i = 1, j = 1;
  while (i < na && j < nb) {
    const Point& ta = at(a, na, i);
    const Point& tb = at(b, nb, j);
    const int ax = sign(ta.x - here.x), ay = sign(ta.y - here.y);
    if (ax != sign(tb.x - here.x) || ay != sign(tb.y - here.y)) break;
    const double step = std::min(std::abs(ta.x - here.x) + std::abs(ta.y - here.y),
                                 std::abs(tb.x - here.x) + std::abs(tb.y - here.y));
    here = {here.x + ax * step, here.y + ay * step};
    length += step;
    auto reached = [&](const Point& t) {
      if (std::abs(t.x - here.x) + std::abs(t.y - here.y) > 1e-6) return false;
      here = t;
      return true;
    };
    const bool next_a = reached(ta);
    const bool next_b = reached(tb);
    i += next_a ? 1 : 0;
    j += next_b ? 1 : 0;
    if (!next_a && !next_b) break;
  }
  return length;
}

// Two flows between the same two shapes laid on the same lines end to end come out of nudging
// as one line wherever each of their segments lies on the trunk of another branch of their
// fork or join. The later of two such routes keeps one segment off the other's line: its
// longest between its first and last (else its longest), so that it leaves the shared lines
// and comes back like a branch. The pass across vertical segments takes that segment when it is
// vertical; the pass across horizontal ones, run when nothing parted the two, takes the longest
// horizontal one. Returns (route, segment) pairs.
std::vector<std::pair<int, int>> segments_kept_apart(const std::vector<DrawnRoute>& routes,
                                                     const Problem& problem, bool vertical) {
  std::vector<std::pair<std::pair<int, int>, int>> by_ends;
  for (std::size_t r = 0; r < routes.size(); ++r) {
    const Link& link = problem.links[static_cast<std::size_t>(routes[r].link)];
    if (link.source != link.target && routes[r].points.size() >= 2)
      by_ends.push_back({{link.source, link.target}, static_cast<int>(r)});
  }
  std::sort(by_ends.begin(), by_ends.end());
  std::vector<std::pair<int, int>> kept;
  for (std::size_t from = 0, to = 0; from < by_ends.size(); from = to) {
    while (to < by_ends.size() && by_ends[to].first == by_ends[from].first) ++to;
    for (std::size_t b = from + 1; b < to; ++b) {
      const auto& points = routes[static_cast<std::size_t>(by_ends[b].second)].points;
      bool hidden = false;
      for (std::size_t a = from; a < b && !hidden; ++a)
        hidden = routes[static_cast<std::size_t>(by_ends[a].second)].points == points;
      if (!hidden) continue;
      const auto n = static_cast<int>(points.size()) - 1;  // segments
      int best = -1;
      double best_length = -1;
      bool best_inside = false;
      for (int k = 0; k < n; ++k) {
        const Point& p = points[static_cast<std::size_t>(k)];
        const Point& q = points[static_cast<std::size_t>(k) + 1];
        const bool is_vertical = p.x == q.x;
        if (!vertical && is_vertical) continue;  // too late to move a vertical one
        const bool inside = k > 0 && k < n - 1;
        const double length = std::abs(q.x - p.x) + std::abs(q.y - p.y);
        if (inside != best_inside ? inside : length > best_length) {
          best = k;
          best_length = length;
          best_inside = inside;
        }
      }
      if (best < 0) continue;
      const Point& p = points[static_cast<std::size_t>(best)];
      const Point& q = points[static_cast<std::size_t>(best) + 1];
      if ((p.x == q.x) == vertical) kept.push_back({by_ends[b].second, best});
    }
  }
  std::sort(kept.begin(), kept.end());
  return kept;
}

class Pass {
 public:
  Pass(std::vector<DrawnRoute>& routes, const Problem& problem, const FreeSpace& space,
       bool vertical, std::vector<Crowded>& crowded, RoomMemo& rooms)
      : routes_(routes),
        problem_(problem),
        space_(space),
        vertical_(vertical),
        crowded_(crowded),
        rooms_(rooms) {}

  void run() {
    if (!vertical_) index_cross_segments();
    apart_ = segments_kept_apart(routes_, problem_, vertical_);
    collect_pieces();
    build_units();
    std::vector<std::vector<int>> groups = build_groups();
    for (const auto& group : groups) place(group);
    apply();
  }

 private:
  void measure_trunks() {
    const std::vector<TrunkLengths> lengths = trunk_lengths(routes_, problem_);
    fork_length_.clear();
    join_length_.clear();
    for (const TrunkLengths& l : lengths) {
      fork_length_.push_back(l.fork);
      join_length_.push_back(l.join);
    }
  }

  void collect_pieces() {
    measure_trunks();
    for (std::size_t r = 0; r < routes_.size(); ++r) {
      const DrawnRoute& route = routes_[r];
      const auto& p = route.points;
      const std::size_t n = p.size();
      double total = 0;
      for (std::size_t k = 0; k + 1 < n; ++k)
        total += std::abs(p[k].x - p[k + 1].x) + std::abs(p[k].y - p[k + 1].y);
      double from_start = 0;
      for (std::size_t k = 0; k + 1 < n; ++k) {
        const double length = std::abs(p[k].x - p[k + 1].x) + std::abs(p[k].y - p[k + 1].y);
        const bool runs_vertically = p[k].x == p[k + 1].x;
        if (runs_vertically == vertical_ && length > 0) {
          pieces_.push_back(piece(static_cast<int>(r), static_cast<int>(k), from_start,
                                  total - from_start - length));
        }
        from_start += length;
      }
    }
  }

  Piece piece(int r, int k, double from_start, double to_end) const {
    const DrawnRoute& route = routes_[static_cast<std::size_t>(r)];
    const Link& link = problem_.links[static_cast<std::size_t>(route.link)];
    const auto& p = route.points;
    const auto n = static_cast<int>(p.size());
    Piece piece;
    piece.route = r;
    piece.k = k;
    piece.at = coordinate(p[static_cast<std::size_t>(k)], vertical_);
    const double a = position(p[static_cast<std::size_t>(k)], vertical_);
    const double b = position(p[static_cast<std::size_t>(k) + 1], vertical_);
    piece.along = {std::min(a, b), std::max(a, b)};
    const bool first = k == 0;
    const bool last = k == n - 2;
    piece.port = first || last;
    piece.area = vertical_ ? Interval{link.area.x, link.area.right()}
                           : Interval{link.area.y, link.area.bottom()};
    if (from_start < fork_length_[static_cast<std::size_t>(r)] - 0.5) piece.fork = route.fork;
    if (to_end < join_length_[static_cast<std::size_t>(r)] - 0.5) piece.join = route.join;

    // The room with the usual clearance (keeping off names too) and with the tight one, both
    // found by one look at the obstacles, or kept from an earlier round.
    const RoomMemo::Segment segment{vertical_,         first,    last, route.source_side,
                                    route.target_side, piece.at, a,    b};
    if (const RoomMemo::Rooms* kept = rooms_.find(route.link, segment)) {
      piece.room = kept->usual;
      piece.tight = kept->tight;
    } else {
      piece.room = piece.tight = {-1e18, 1e18};
      auto narrow = [&](Interval along, bool names) {
        const auto [usual, tight] = space_.rooms(vertical_, piece.at, along, link.area, names,
                                                 REACH, CLEARANCE, TIGHT_CLEARANCE);
        piece.room = intersect(piece.room, usual);
        piece.tight = intersect(piece.tight, tight);
      };
      if (piece.port) {
        if (first) {
          piece.room = intersect(
              piece.room,
              port_range(problem_.nodes[static_cast<std::size_t>(link.source)], route.source_side));
        }
        if (last) {
          piece.room = intersect(
              piece.room,
              port_range(problem_.nodes[static_cast<std::size_t>(link.target)], route.target_side));
        }
        piece.tight = piece.room;
        narrow(piece.along, false);
      } else {
        narrow(piece.along, true);
        // The lines through its ends, along which its neighbours grow or shrink.
        narrow({a, a}, false);
        narrow({b, b}, false);
      }
      rooms_.keep(route.link, segment, {piece.room, piece.tight});
    }
    if (!vertical_) keep_cross_ends_apart(piece, route, k);
    // The neighbouring segments keep their direction: a stub at least STUB long, any other at
    // most half way towards the segment beyond it (which moves in this pass too).
    auto keep = [&](int other_end, bool neighbour_is_port) {
      const double q = coordinate(p[static_cast<std::size_t>(other_end)], vertical_);
      const double bound = neighbour_is_port ? STUB : std::abs(piece.at - q) / 2;
      for (Interval* room : {&piece.room, &piece.tight}) {
        if (piece.at > q) {
          room->lo = std::max(room->lo, std::min(piece.at, q + bound));
        } else {
          room->hi = std::min(room->hi, std::max(piece.at, q - bound));
        }
      }
    };
    if (!first) {
      keep(k - 1, k - 1 == 0);
      piece.turns.push_back(
          {a, sign(coordinate(p[static_cast<std::size_t>(k) - 1], vertical_) - piece.at), r, k - 1,
           route.fork, route.join});
    }
    if (!last) {
      keep(k + 2, k + 1 == n - 2);
      piece.turns.push_back(
          {b, sign(coordinate(p[static_cast<std::size_t>(k) + 2], vertical_) - piece.at), r, k + 1,
           route.fork, route.join});
    }
    settle(piece.room, piece.at);
    settle(piece.tight, piece.at);
    piece.tight = hull(piece.tight, piece.room);
    return piece;
  }

  // Whether two pieces belong to links with an end in common, which may share a line.
  bool related(const Piece& a, const Piece& b) const {
    const Link& la =
        problem_.links[static_cast<std::size_t>(routes_[static_cast<std::size_t>(a.route)].link)];
    const Link& lb =
        problem_.links[static_cast<std::size_t>(routes_[static_cast<std::size_t>(b.route)].link)];
    return la.source == lb.source || la.source == lb.target || la.target == lb.source ||
           la.target == lb.target;
  }

  // Whether two pieces belong to different links between the same two shapes the same way:
  // drawn on one line, two such flows would read as one.
  bool twins(const Piece& a, const Piece& b) const {
    if (a.route == b.route) return false;
    const Link& la =
        problem_.links[static_cast<std::size_t>(routes_[static_cast<std::size_t>(a.route)].link)];
    const Link& lb =
        problem_.links[static_cast<std::size_t>(routes_[static_cast<std::size_t>(b.route)].link)];
    return la.source == lb.source && la.target == lb.target;
  }

  // Whether a piece is the segment a route keeps off its twin's line (see segments_kept_apart).
  bool kept_apart(const Piece& p) const {
    return !apart_.empty() &&
           std::binary_search(apart_.begin(), apart_.end(), std::pair{p.route, p.k});
  }

  // Pieces of one trunk (same fork or join, same line, overlapping) become one unit. A fork's
  // trunk and a join's trunk that meet on one line become one unit only where that puts no
  // two unrelated overlapping pieces, nor two flows between the same two shapes, on one line:
  // those run on lines of their own.
  void build_units() {
    DisjointSets sets(pieces_.size());
    // The pieces of each set, kept only for sets that have been merged (a lone piece is its own
    // set's only member).
    std::vector<std::vector<int>> members(pieces_.size());
    auto members_of = [&](int root) -> std::vector<int>& {
      auto& list = members[static_cast<std::size_t>(root)];
      if (list.empty()) list.push_back(root);
      return list;
    };
    // Per set (at its root): the shapes every piece's link starts or ends at (at most two),
    // and whether any of its links has a twin. Two sets whose links all touch one shape and
    // have no twin pass every check below pair by pair, so they join at once: the thousands of
    // pieces on the trunk of a wide fork would else be checked each against all before it.
    const auto link_of = [&](int piece) -> const Link& {
      const DrawnRoute& r =
          routes_[static_cast<std::size_t>(pieces_[static_cast<std::size_t>(piece)].route)];
      return problem_.links[static_cast<std::size_t>(r.link)];
    };
    const std::vector<char> has_twin = links_with_twins(problem_.links);
    std::vector<std::array<int, 2>> touch(pieces_.size());
    std::vector<char> any_twin(pieces_.size());
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      const Link& link = link_of(static_cast<int>(i));
      touch[i] = {link.source, link.target};
      any_twin[i] = has_twin[static_cast<std::size_t>(
          routes_[static_cast<std::size_t>(pieces_[i].route)].link)];
    }
    const auto common = [](const std::array<int, 2>& x, const std::array<int, 2>& y) {
      std::array<int, 2> both{-1, -1};
      std::size_t n = 0;
      for (int node : x) {
        if (node >= 0 && (node == y[0] || node == y[1]) && (n == 0 || both[0] != node))
          both[n++] = node;
      }
      return both;
    };
    auto merge = [&](int a, int b, const std::vector<int>& trunk) {
      a = sets.find(a);
      b = sets.find(b);
      if (a == b) return;
      const auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
      const std::array<int, 2> shared_node = common(touch[ua], touch[ub]);
      const bool quick = shared_node[0] >= 0 && any_twin[ua] == 0 && any_twin[ub] == 0;
      // Two flows between the same two shapes may run on one line only along the trunk of
      // another branch of their fork or join (on `trunk`), which they leave on lines of their
      // own.
      const auto on_a_trunk = [&](const Piece& px, const Piece& py) {
        const double lo = std::max(px.along.lo, py.along.lo);
        const double hi = std::min(px.along.hi, py.along.hi);
        for (int z : trunk) {
          const Piece& pz = pieces_[static_cast<std::size_t>(z)];
          if (pz.route != px.route && pz.route != py.route && !twins(pz, px) &&
              pz.along.lo <= lo + 0.5 && hi <= pz.along.hi + 0.5)
            return true;
        }
        return false;
      };
      // Whether two overlapping pieces of the sets must keep lines of their own.
      const auto kept_off = [&] {
        for (int x : members_of(a)) {
          for (int y : members_of(b)) {
            const Piece& px = pieces_[static_cast<std::size_t>(x)];
            const Piece& py = pieces_[static_cast<std::size_t>(y)];
            if (overlap_length(px.along.lo, px.along.hi, py.along.lo, py.along.hi) <= -END_GAP)
              continue;
            if (!related(px, py) ||
                (twins(px, py) && (kept_apart(px) || kept_apart(py) || !on_a_trunk(px, py))))
              return true;
          }
        }
        return false;
      };
      if (!quick && kept_off()) return;
      sets.join(a, b);
      const int root = sets.find(a);
      const int other = root == a ? b : a;
      touch[static_cast<std::size_t>(root)] = common(touch[ua], touch[ub]);
      any_twin[static_cast<std::size_t>(root)] = any_twin[ua] != 0 || any_twin[ub] != 0;
      auto& into = members_of(root);
      auto& from = members_of(other);
      if (into.size() < from.size()) into.swap(from);
      into.insert(into.end(), from.begin(), from.end());
      from.clear();
      from.shrink_to_fit();
    };
    // The pieces of each trunk line (fork or join, its number, the line), in order of those
    // keys and, within one, of the pieces.
    using TrunkKey = std::tuple<int, int, long long>;
    std::vector<std::pair<TrunkKey, int>> on_trunks;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      const Piece& p = pieces_[i];
      const long long line = std::llround(p.at * 2);
      if (p.fork >= 0) on_trunks.push_back({{0, p.fork, line}, static_cast<int>(i)});
      if (p.join >= 0) on_trunks.push_back({{1, p.join, line}, static_cast<int>(i)});
    }
    std::stable_sort(on_trunks.begin(), on_trunks.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> list;
    for (std::size_t from = 0; from < on_trunks.size();) {
      std::size_t to = from;
      list.clear();
      while (to < on_trunks.size() && on_trunks[to].first == on_trunks[from].first)
        list.push_back(on_trunks[to++].second);
      from = to;
      std::sort(list.begin(), list.end(), [&](int a, int b) {
        return pieces_[static_cast<std::size_t>(a)].along.lo <
               pieces_[static_cast<std::size_t>(b)].along.lo;
      });
      double reach = -1e18;
      int last = -1;
      for (int id : list) {
        const Piece& p = pieces_[static_cast<std::size_t>(id)];
        if (last >= 0 && p.along.lo <= reach + 0.5) merge(last, id, list);
        if (p.along.hi > reach || last < 0) {
          reach = std::max(reach, p.along.hi);
        }
        last = id;
      }
    }
    std::vector<int> unit_of_root(pieces_.size(), -1);
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      const int root = sets.find(static_cast<int>(i));
      int& unit = unit_of_root[static_cast<std::size_t>(root)];
      const bool fresh = unit < 0;
      if (fresh) unit = static_cast<int>(units_.size());
      const Piece& p = pieces_[i];
      const DrawnRoute& route = routes_[static_cast<std::size_t>(p.route)];
      const int order = problem_.links[static_cast<std::size_t>(route.link)].order;
      const Point& from = route.points[static_cast<std::size_t>(p.k)];
      const Point& to = route.points[static_cast<std::size_t>(p.k) + 1];
      const bool left_is_lower = from.x == to.x ? to.y < from.y : to.x > from.x;
      const int tie = left_is_lower ? order : -order;
      if (fresh) {
        Unit u;
        u.at = p.at;
        u.line = p.at;
        u.along = p.along;
        u.room = p.room;
        u.tight = p.tight;
        u.area = p.area;
        u.order = order;
        u.tie = tie;
        units_.push_back(u);
      }
      Unit& u = units_[static_cast<std::size_t>(unit)];
      u.along = {std::min(u.along.lo, p.along.lo), std::max(u.along.hi, p.along.hi)};
      u.room = intersect(u.room, p.room);
      u.tight = intersect(u.tight, p.tight);
      u.area = intersect(u.area, p.area);
      u.port = u.port || p.port;
      if (order < u.order) {
        u.order = order;
        u.tie = tie;
      }
      u.pieces.push_back(static_cast<int>(i));
      u.turns.insert(u.turns.end(), p.turns.begin(), p.turns.end());
    }
    for (Unit& u : units_) {
      settle(u.room, u.at);
      settle(u.tight, u.at);
      u.tight = hull(u.tight, u.room);
    }
  }

  static bool overlapping(const Unit& a, const Unit& b) {
    return overlap_length(a.along.lo, a.along.hi, b.along.lo, b.along.hi) > -END_GAP;
  }

  // Units that overlap along their lines and could meet across them form a group.
  std::vector<std::vector<int>> build_groups() {
    auto rect = [&](const Unit& u) {
      const Interval across{std::min(u.tight.lo, u.at), std::max(u.tight.hi, u.at)};
      return vertical_ ? span(across.lo - 0.5, u.along.lo - END_GAP, across.hi + 0.5,
                              u.along.hi + END_GAP)
                       : span(u.along.lo - END_GAP, across.lo - 0.5, u.along.hi + END_GAP,
                              across.hi + 0.5);
    };
    std::vector<Box> rects;
    rects.reserve(units_.size());
    for (const Unit& u : units_) rects.push_back(rect(u));
    // A sweep along the lines: units in order of where their boxes begin, each met with the
    // earlier ones whose boxes still reach it, looked up by bands across the lines (a grid
    // would hold a long unit in as many cells as it is long).
    auto begins = [&](const Box& b) { return vertical_ ? b.y : b.x; };
    auto ends = [&](const Box& b) { return vertical_ ? b.bottom() : b.right(); };
    auto band_of = [](double v) { return static_cast<std::int64_t>(std::floor(v / GROUP_BAND)); };
    std::vector<int> by_begin(units_.size());
    std::iota(by_begin.begin(), by_begin.end(), 0);
    std::stable_sort(by_begin.begin(), by_begin.end(), [&](int a, int b) {
      return begins(rects[static_cast<std::size_t>(a)]) <
             begins(rects[static_cast<std::size_t>(b)]);
    });
    // The units still reaching the sweep, by band: each with its box and extent along, so
    // that the scan reads them in a row instead of looking each up.
    struct Active {
      Box rect;
      Interval along;
      int unit;
    };
    VertexMap<int> band_index;  // band number to its list in `active`
    std::vector<std::vector<Active>> active;
    DisjointSets sets(units_.size());
    for (const int i : by_begin) {
      const Box& r = rects[static_cast<std::size_t>(i)];
      if (!usable(r)) continue;
      const Unit& unit = units_[static_cast<std::size_t>(i)];
      const double lo = vertical_ ? r.x : r.y, hi = vertical_ ? r.right() : r.bottom();
      for (std::int64_t band = band_of(lo); band <= band_of(hi); ++band) {
        bool inserted = false;
        int& at = band_index.insert(static_cast<std::uint64_t>(band + (std::int64_t{1} << 40)), 0,
                                    inserted);
        if (inserted) {
          at = static_cast<int>(active.size());
          active.emplace_back();
        }
        std::vector<Active>& list = active[static_cast<std::size_t>(at)];
        for (std::size_t k = 0; k < list.size();) {
          const Active& q = list[k];
          if (ends(q.rect) <= begins(r)) {
            list[k] = list.back();
            list.pop_back();
            continue;
          }
          if (overlaps(r, q.rect) &&
              overlap_length(unit.along.lo, unit.along.hi, q.along.lo, q.along.hi) > -END_GAP) {
            sets.join(i, q.unit);
          }
          ++k;
        }
        list.push_back({r, unit.along, i});
      }
    }
    // The groups in order of their roots.
    std::vector<std::vector<int>> by_root(units_.size());
    for (std::size_t i = 0; i < units_.size(); ++i)
      by_root[static_cast<std::size_t>(sets.find(static_cast<int>(i)))].push_back(
          static_cast<int>(i));
    std::vector<std::vector<int>> groups;
    for (auto& list : by_root) {
      if (!list.empty()) groups.push_back(std::move(list));
    }
    return groups;
  }

  double ideal(const Unit& u) const {
    if (u.port) return std::clamp(port_middle(u), u.room.lo, u.room.hi);
    if (u.room.length() <= WIDE) return u.room.middle();
    return std::clamp(u.at, u.room.lo + IDEAL_SEPARATION, u.room.hi - IDEAL_SEPARATION);
  }

  // The middle of the side a port unit meets.
  double port_middle(const Unit& u) const {
    const Piece& p = pieces_[static_cast<std::size_t>(u.pieces.front())];
    for (int id : u.pieces) {
      const Piece& q = pieces_[static_cast<std::size_t>(id)];
      if (!q.port) continue;
      const DrawnRoute& route = routes_[static_cast<std::size_t>(q.route)];
      const Link& link = problem_.links[static_cast<std::size_t>(route.link)];
      const bool first = q.k == 0;
      const Node& node =
          problem_.nodes[static_cast<std::size_t>(first ? link.source : link.target)];
      return side_extent(node.box, first ? route.source_side : route.target_side).middle();
    }
    return p.at;
  }

  // Whether `a` should lie before (at lower coordinates than) `b`, by the turns each makes
  // beside the other: +1 yes, -1 no, 0 no preference.
  static int preference(const Unit& a, const Unit& b) {
    int votes = 0;
    auto count = [&](const Unit& u, const Unit& v, int weight) {
      for (const Turn& t : u.turns) {
        if (t.at > v.along.lo + 0.5 && t.at < v.along.hi - 0.5) {
          // u heads towards lower coordinates there: v must not lie on that side.
          votes += t.way < 0 ? weight : -weight;
          continue;
        }
        // Both turn onto one line. When it is one segment joining them, each heads towards the
        // other; else, heading opposite ways, the one heading towards lower coordinates goes
        // first, or the two would run on top of each other (unless the two segments are of one
        // fork or join, whose trunk they may be). Either counts more than a crossing.
        for (const Turn& w : v.turns) {
          if (std::abs(w.at - t.at) >= 0.5) continue;
          const bool kin = (w.fork >= 0 && w.fork == t.fork) || (w.join >= 0 && w.join == t.join);
          if (w.route == t.route && w.segment == t.segment) {
            votes += t.way > 0 ? 2 * weight : -2 * weight;
          } else if (w.way == -t.way && !kin) {
            votes += t.way < 0 ? 2 * weight : -2 * weight;
          }
        }
      }
    };
    count(a, b, 1);
    count(b, a, -1);
    return sign(votes);
  }

  // Units whose rooms do not meet keep the order of their rooms, whatever their turns ask.
  static int room_order(const Unit& a, const Unit& b) {
    if (a.room.hi < b.room.lo) return 1;
    if (b.room.hi < a.room.lo) return -1;
    return 0;
  }

  // A unit's extent along its line, grown by half of END_GAP at each end: two units overlap
  // (see overlapping) exactly when their reaches do.
  Interval reach(int id) const {
    const Interval& along = units_[static_cast<std::size_t>(id)].along;
    return {along.lo - END_GAP / 2, along.hi + END_GAP / 2};
  }

  // The most units that overlap at one point along their lines.
  std::size_t depth(const std::vector<int>& group) const {
    std::vector<std::pair<double, int>> events;
    events.reserve(group.size() * 2);
    for (const int id : group) {
      events.emplace_back(reach(id).lo, 1);
      events.emplace_back(reach(id).hi, -1);
    }
    // At one place, ends come before starts: units that only touch there do not overlap.
    std::sort(events.begin(), events.end());
    std::size_t deepest = 0, now = 0;
    for (const auto& [at, change] : events) {
      now = change > 0 ? now + 1 : now - 1;
      deepest = std::max(deepest, now);
    }
    return deepest;
  }

  // Whether a group cannot be parted and is large enough to be packed (see PACKED_WORK).
  bool packed(const std::vector<int>& group) const {
    // The depth is at most the group's size: most groups are too small to need measuring.
    const auto n = static_cast<double>(group.size());
    if (n * n <= PACKED_WORK) return false;
    Interval hull{1e18, -1e18};
    for (const int id : group) {
      const Interval& t = units_[static_cast<std::size_t>(id)].tight;
      hull = {std::min(hull.lo, t.lo), std::max(hull.hi, t.hi)};
    }
    const auto deepest = static_cast<double>(depth(group));
    return (deepest - 1) * MIN_SEPARATION > hull.length() && n * deepest > PACKED_WORK;
  }

  // A packed group: its units keep the order of the lines the search laid them on, each a
  // track above the overlapping units before it, and the tracks share each unit's tight room
  // evenly. Crowding is told only between units shorter than LONG_REACH: the longer ones run
  // along corridors, chosen already as the lines least shared, so laying again cannot part them.
  void place_packed(const std::vector<int>& group) {
    std::vector<int> by_line(group);
    std::sort(by_line.begin(), by_line.end(), [&](int a, int b) {
      const Unit& ua = units_[static_cast<std::size_t>(a)];
      const Unit& ub = units_[static_cast<std::size_t>(b)];
      if (ua.at != ub.at) return ua.at < ub.at;
      if (ua.tie != ub.tie) return ua.tie < ub.tie;
      return a < b;
    });
    auto begins = [&](int id) { return reach(id).lo; };
    auto ends = [&](int id) { return reach(id).hi; };
    std::vector<double> marks;
    marks.reserve(group.size() * 2);
    for (const int id : group) {
      marks.push_back(begins(id));
      marks.push_back(ends(id));
    }
    std::sort(marks.begin(), marks.end());
    marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
    auto slot = [&](double v) {
      return static_cast<std::size_t>(std::lower_bound(marks.begin(), marks.end(), v) -
                                      marks.begin());
    };
    RaiseTree heights(marks.size());
    std::vector<int> track(group.size());
    int tracks = 0;
    for (std::size_t k = 0; k < by_line.size(); ++k) {
      const std::size_t lo = slot(begins(by_line[k])), hi = slot(ends(by_line[k]));
      track[k] = heights.highest(lo, hi) + 1;
      heights.raise(lo, hi, track[k]);
      tracks = std::max(tracks, track[k] + 1);
    }
    for (std::size_t k = 0; k < by_line.size(); ++k) {
      Unit& u = units_[static_cast<std::size_t>(by_line[k])];
      u.at = u.tight.lo + (track[k] + 0.5) / tracks * u.tight.length();
    }
    std::vector<int> short_units;
    for (const int id : group) {
      if (units_[static_cast<std::size_t>(id)].along.length() <= LONG_REACH)
        short_units.push_back(id);
    }
    std::sort(short_units.begin(), short_units.end(),
              [&](int a, int b) { return begins(a) < begins(b); });
    std::vector<int> active;
    for (const int id : short_units) {
      std::erase_if(active, [&](int other) { return ends(other) <= begins(id); });
      const Unit& u = units_[static_cast<std::size_t>(id)];
      for (const int other : active) {
        const Unit& v = units_[static_cast<std::size_t>(other)];
        if (std::abs(u.at - v.at) < MIN_SEPARATION - 0.01) report_crowding(v, u);
      }
      active.push_back(id);
    }
  }

  void place(const std::vector<int>& group) {
    if (group.size() == 1) {
      Unit& u = units_[static_cast<std::size_t>(group.front())];
      u.at = ideal(u);
      return;
    }
    if (packed(group)) {
      place_packed(group);
      return;
    }
    const std::size_t n = group.size();
    auto unit = [&](std::size_t i) -> Unit& { return units_[static_cast<std::size_t>(group[i])]; };
    // The units each one overlaps along its line, found by a sweep along the lines.
    std::vector<std::vector<int>> near(n);
    {
      std::vector<int> by_start(n);
      std::iota(by_start.begin(), by_start.end(), 0);
      std::stable_sort(by_start.begin(), by_start.end(), [&](int a, int b) {
        return unit(static_cast<std::size_t>(a)).along.lo <
               unit(static_cast<std::size_t>(b)).along.lo;
      });
      std::vector<int> active;
      for (int j : by_start) {
        const Unit& uj = unit(static_cast<std::size_t>(j));
        std::erase_if(active, [&](int i) {
          return unit(static_cast<std::size_t>(i)).along.hi + END_GAP <= uj.along.lo;
        });
        for (int i : active) {
          if (!overlapping(unit(static_cast<std::size_t>(i)), uj)) continue;
          near[static_cast<std::size_t>(i)].push_back(j);
          near[static_cast<std::size_t>(j)].push_back(i);
        }
        active.push_back(j);
      }
      for (auto& list : near) std::sort(list.begin(), list.end());
    }
    // Order: a topological order of the preferences, ties by position, then by link order.
    std::vector<std::vector<int>> after(n);
    std::vector<int> incoming(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      for (int jj : near[i]) {
        const auto j = static_cast<std::size_t>(jj);
        if (j <= i) continue;
        const int p = room_order(unit(i), unit(j)) != 0 ? room_order(unit(i), unit(j))
                                                        : preference(unit(i), unit(j));
        if (p > 0) {
          after[i].push_back(static_cast<int>(j));
          ++incoming[j];
        } else if (p < 0) {
          after[j].push_back(static_cast<int>(i));
          ++incoming[i];
        }
      }
    }
    auto earlier = [&](int a, int b) {
      const Unit& ua = unit(static_cast<std::size_t>(a));
      const Unit& ub = unit(static_cast<std::size_t>(b));
      if (ua.at != ub.at) return ua.at < ub.at;
      if (ua.tie != ub.tie) return ua.tie < ub.tie;
      return a < b;
    };
    std::vector<int> order;
    {
      std::set<int, decltype(earlier)> ready(earlier);
      std::set<int, decltype(earlier)> remaining(earlier);
      for (std::size_t i = 0; i < n; ++i) {
        remaining.insert(static_cast<int>(i));
        if (incoming[i] == 0) ready.insert(static_cast<int>(i));
      }
      while (!remaining.empty()) {
        // In a cycle crossings cannot all be avoided: the earliest goes next.
        const int pick = ready.empty() ? *remaining.begin() : *ready.begin();
        ready.erase(pick);
        remaining.erase(pick);
        order.push_back(pick);
        for (int next : after[static_cast<std::size_t>(pick)]) {
          if (--incoming[static_cast<std::size_t>(next)] == 0 && remaining.count(next) != 0)
            ready.insert(next);
        }
      }
    }
    // Tracks: each unit takes the lowest track beyond the units it must follow that no
    // overlapping unit holds.
    auto assign = [&](const std::vector<int>& sequence, const std::vector<std::vector<int>>& next) {
      std::vector<int> track(n, -1);
      std::vector<std::vector<int>> must_follow(n);
      for (std::size_t i = 0; i < n; ++i) {
        for (int j : next[i])
          must_follow[static_cast<std::size_t>(j)].push_back(static_cast<int>(i));
      }
      std::vector<int> taken;
      for (int i : sequence) {
        int lowest = 0;
        for (int j : must_follow[static_cast<std::size_t>(i)]) {
          if (track[static_cast<std::size_t>(j)] >= 0)
            lowest = std::max(lowest, track[static_cast<std::size_t>(j)] + 1);
        }
        taken.clear();
        for (int j : near[static_cast<std::size_t>(i)]) {
          if (track[static_cast<std::size_t>(j)] >= lowest)
            taken.push_back(track[static_cast<std::size_t>(j)]);
        }
        std::sort(taken.begin(), taken.end());
        int t = lowest;
        for (int k : taken) {
          if (k == t)
            ++t;
          else if (k > t)
            break;
        }
        track[static_cast<std::size_t>(i)] = t;
      }
      return track;
    };
    // Each overlapping pair keeps the order of its tracks, `gap` apart: the largest gap up to
    // IDEAL_SEPARATION that the rooms allow, with the usual clearance where that gives at least
    // MIN_SEPARATION, else with the tight one (as far as needed for a pixel more than
    // MIN_SEPARATION, so that routes pressed together still read as apart, not just at it).
    auto own = [&](std::size_t i, bool tight) -> const Interval& {
      return tight ? unit(i).tight : unit(i).room;
    };
    auto sorted_by_track = [&](const std::vector<int>& track) {
      std::vector<std::size_t> by_track(n);
      std::iota(by_track.begin(), by_track.end(), std::size_t{0});
      std::stable_sort(by_track.begin(), by_track.end(),
                       [&](std::size_t a, std::size_t b) { return track[a] < track[b]; });
      return by_track;
    };
    struct Spacing {
      double gap = -1;
      bool tight = false;
    };
    // The units each one must clear, on lower tracks: those of unit i are
    // below.list[below.first[i]] to below.list[below.first[i + 1] - 1], one pair each.
    struct Below {
      std::vector<std::size_t> first;
      std::vector<std::size_t> list;
    };
    auto below_of = [&](const std::vector<int>& track) {
      Below below{std::vector<std::size_t>(n + 1, 0), {}};
      for (std::size_t i = 0; i < n; ++i) {
        for (int jj : near[i]) {
          const auto j = static_cast<std::size_t>(jj);
          if (track[j] < track[i]) below.list.push_back(j);
        }
        below.first[i + 1] = below.list.size();
      }
      return below;
    };
    // The lowest place of each unit in its room with each pair `gap` apart (or the pair's own
    // gap in `fixed`, where that is set); false where a unit finds none.
    std::vector<double> lowest(n);
    auto fits = [&](const std::vector<std::size_t>& by_track, const Below& below, double gap,
                    bool tight, const std::vector<double>& fixed) {
      for (std::size_t i : by_track) {
        double low = own(i, tight).lo;
        for (std::size_t k = below.first[i]; k < below.first[i + 1]; ++k)
          low = std::max(low, lowest[below.list[k]] + (fixed[k] >= 0 ? fixed[k] : gap));
        lowest[i] = low;
        if (low > own(i, tight).hi + 1e-9) return false;
      }
      return true;
    };
    // The widest gap from `from` up to `upto` at which every unit fits, -1 if none.
    auto widest = [&](const std::vector<std::size_t>& by_track, const Below& below, bool tight,
                      const std::vector<double>& fixed, double from, double upto) {
      if (fits(by_track, below, upto, tight, fixed)) return upto;
      if (!fits(by_track, below, from, tight, fixed)) return -1.0;
      double lo = from, hi = upto;
      for (int step = 0; step < 24; ++step) {
        const double mid = (lo + hi) / 2;
        (fits(by_track, below, mid, tight, fixed) ? lo : hi) = mid;
      }
      return lo;
    };
    auto spacing = [&](const std::vector<int>& track) {
      const std::vector<std::size_t> by_track = sorted_by_track(track);
      const Below below = below_of(track);
      const std::vector<double> none(below.list.size(), -1);
      Spacing best{widest(by_track, below, false, none, 0, IDEAL_SEPARATION), false};
      if (best.gap < MIN_SEPARATION) {
        const double tight_gap = widest(by_track, below, true, none, 0, IDEAL_SEPARATION);
        if (tight_gap > best.gap) best = {std::min(tight_gap, MIN_SEPARATION + 1), true};
      }
      return best;
    };
    // The gap of each pair: the group's widest common gap holds only along the chains of units
    // that cannot be parted further (a long channel may be crowded at one place only); every
    // other pair takes the widest gap that still fits, in rounds, up to IDEAL_SEPARATION.
    auto pair_gaps = [&](const std::vector<int>& track, const Below& below, double gap,
                         bool tight) {
      const std::vector<std::size_t> by_track = sorted_by_track(track);
      std::vector<double> fixed(below.list.size(), -1);
      std::vector<double> highest(n);
      // With the tight rooms, as with one gap for all, no pair takes more of the shapes'
      // clearance than it needs to lie a pixel more than MIN_SEPARATION from the others.
      const double upto = tight ? std::max(gap, MIN_SEPARATION + 1) : IDEAL_SEPARATION;
      for (int round = 0; round < GAP_ROUNDS && gap < upto; ++round) {
        if (!fits(by_track, below, gap, tight, fixed)) break;
        for (std::size_t i = 0; i < n; ++i) highest[i] = own(i, tight).hi;
        for (std::size_t k = n; k-- > 0;) {
          const std::size_t i = by_track[k];
          for (std::size_t b = below.first[i]; b < below.first[i + 1]; ++b) {
            const std::size_t j = below.list[b];
            highest[j] = std::min(highest[j], highest[i] - (fixed[b] >= 0 ? fixed[b] : gap));
          }
        }
        // A pair whose upper unit at its highest lies only `gap` above the lower one at its
        // lowest cannot be parted further.
        bool open = false;
        for (std::size_t i = 0; i < n; ++i) {
          for (std::size_t b = below.first[i]; b < below.first[i + 1]; ++b) {
            if (fixed[b] >= 0) continue;
            if (highest[i] - lowest[below.list[b]] <= gap + 0.01) {
              fixed[b] = gap;
            } else {
              open = true;
            }
          }
        }
        if (!open) break;
        const double wider = widest(by_track, below, tight, fixed, gap, upto);
        if (wider <= gap + 0.01) break;
        gap = wider;
      }
      for (double& g : fixed) {
        if (g < 0) g = gap;
      }
      return fixed;
    };
    std::vector<int> track = assign(order, after);
    Spacing chosen = spacing(track);
    // The tracks of the units in the order `before` sets, taken where they leave a wider gap.
    auto take_if_wider = [&](const auto& before) {
      std::vector<int> sequence(order);
      std::sort(sequence.begin(), sequence.end(), before);
      std::vector<std::vector<int>> next(n);
      for (std::size_t i = 0; i < n; ++i) {
        for (int j : near[i]) {
          if (before(static_cast<int>(i), j)) next[i].push_back(j);
        }
      }
      std::vector<int> other = assign(sequence, next);
      const Spacing other_spacing = spacing(other);
      if (other_spacing.gap > chosen.gap) {
        track = std::move(other);
        chosen = other_spacing;
      }
    };
    if (chosen.gap < MIN_SEPARATION) {
      // The order the turns ask for leaves too little room: the order the segments have now
      // (ties by the turns' order) always fits, at the cost of a crossing.
      std::vector<int> rank(n);
      for (std::size_t k = 0; k < n; ++k)
        rank[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
      auto before = [&](int a, int b) {
        const double pa = unit(static_cast<std::size_t>(a)).at;
        const double pb = unit(static_cast<std::size_t>(b)).at;
        return pa != pb ? pa < pb
                        : rank[static_cast<std::size_t>(a)] < rank[static_cast<std::size_t>(b)];
      };
      take_if_wider(before);
    }
    if (chosen.gap < MERGED_SEPARATION) {
      // Still pressed into one line: the units in the order of their rooms, lowest first, so
      // that one with little room is not lifted over others into a sliver. This may cross
      // them, which reads better than routes merged.
      auto by_room = [&](int a, int b) {
        const Interval& ra = own(static_cast<std::size_t>(a), chosen.tight);
        const Interval& rb = own(static_cast<std::size_t>(b), chosen.tight);
        if (ra.hi != rb.hi) return ra.hi < rb.hi;
        if (ra.lo != rb.lo) return ra.lo < rb.lo;
        return track[static_cast<std::size_t>(a)] < track[static_cast<std::size_t>(b)];
      };
      take_if_wider(by_room);
    }
    const int tracks = *std::max_element(track.begin(), track.end()) + 1;
    const std::vector<std::size_t> by_track = sorted_by_track(track);
    double gap = chosen.gap;
    const bool tight = chosen.tight;
    gap = std::max(gap, 0.0);

    // Where each track would go: spread apart round the middle of their common room (or round
    // the track with the least room, which keeps its ideal place), each unit by its own gap.
    std::vector<double> ideals(static_cast<std::size_t>(tracks), 0);
    std::vector<int> counts(static_cast<std::size_t>(tracks), 0);
    std::vector<Interval> room(static_cast<std::size_t>(tracks), Interval{1e18, -1e18});
    for (std::size_t i = 0; i < n; ++i) {
      const auto t = static_cast<std::size_t>(track[i]);
      ideals[t] += ideal(unit(i));
      ++counts[t];
      const Interval& r = own(i, tight);
      room[t] = {std::min(room[t].lo, r.lo), std::max(room[t].hi, r.hi)};
    }
    Interval common{-1e18, 1e18};
    for (const Interval& r : room) common = intersect(common, r);
    double centre = 0;
    for (std::size_t t = 0; t < room.size(); ++t) centre += ideals[t] / counts[t];
    centre /= static_cast<double>(tracks);
    if (!common.empty()) {
      centre = common.length() <= WIDE ? common.middle() : std::clamp(centre, common.lo, common.hi);
    }
    std::optional<std::pair<std::size_t, double>> anchor;
    for (std::size_t t = 0; t < room.size(); ++t) {
      bool narrowest = true;
      for (std::size_t u = 0; u < room.size() && narrowest; ++u) {
        narrowest = u == t || room[t].length() < room[u].length() - 1;
      }
      if (narrowest)
        anchor = std::pair{t, std::clamp(ideals[t] / counts[t], room[t].lo, room[t].hi)};
    }
    // Each pair's gap, and each unit's: the narrowest of its pairs'.
    const Below below = below_of(track);
    const std::vector<double> gaps = pair_gaps(track, below, gap, tight);
    std::vector<double> unit_gap(n, IDEAL_SEPARATION);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t b = below.first[i]; b < below.first[i + 1]; ++b) {
        unit_gap[i] = std::min(unit_gap[i], gaps[b]);
        unit_gap[below.list[b]] = std::min(unit_gap[below.list[b]], gaps[b]);
      }
    }
    auto wanted = [&](std::size_t i) {
      const auto t = static_cast<double>(track[i]);
      const double from =
          anchor ? t - static_cast<double>(anchor->first) : t - static_cast<double>(tracks - 1) / 2;
      return (anchor ? anchor->second : centre) + from * unit_gap[i];
    };
    // Each unit as near its track's place as the units before it (at their pairs' gaps) and the
    // room left for the units after it allow: the highest place each may take comes first, from
    // the top.
    std::vector<double> highest(n);
    for (std::size_t i = 0; i < n; ++i) highest[i] = own(i, tight).hi;
    for (std::size_t k = n; k-- > 0;) {
      const std::size_t i = by_track[k];
      for (std::size_t b = below.first[i]; b < below.first[i + 1]; ++b) {
        const std::size_t j = below.list[b];
        highest[j] = std::min(highest[j], highest[i] - gaps[b]);
      }
    }
    std::vector<double> p(n);
    for (std::size_t i : by_track) {
      double low = own(i, tight).lo;
      for (std::size_t b = below.first[i]; b < below.first[i + 1]; ++b)
        low = std::max(low, p[below.list[b]] + gaps[b]);
      // low <= highest[i] wherever the gaps fit; the guard only keeps rounding errors out.
      p[i] = std::clamp(wanted(i), std::min(low, highest[i]), highest[i]);
    }
    for (std::size_t i = 0; i < n; ++i) unit(i).at = p[i];
    if (gap < MIN_SEPARATION) {
      for (std::size_t i = 0; i < n; ++i) {
        for (int jj : near[i]) {
          const auto j = static_cast<std::size_t>(jj);
          if (j > i && std::abs(p[i] - p[j]) < MIN_SEPARATION - 0.01)
            report_crowding(unit(i), unit(j));
        }
      }
    }
  }

  // The pieces of two units placed too close, as crowded stretches of the lines the search
  // laid them on. Pieces of one trunk are meant to meet (but for two flows between the same two
  // shapes, in units of their own off the trunk); any other two, even of routes with an end in
  // common, would read as a band of parallel tracks.
  void report_crowding(const Unit& a, const Unit& b) {
    for (int x : a.pieces) {
      for (int y : b.pieces) {
        const Piece& px = pieces_[static_cast<std::size_t>(x)];
        const Piece& py = pieces_[static_cast<std::size_t>(y)];
        if (((px.fork >= 0 && px.fork == py.fork) || (px.join >= 0 && px.join == py.join)) &&
            !twins(px, py))
          continue;
        const Interval along = intersect(px.along, py.along);
        if (along.length() <= 0) continue;
        const int lx = routes_[static_cast<std::size_t>(px.route)].link;
        const int ly = routes_[static_cast<std::size_t>(py.route)].link;
        crowded_.push_back({vertical_, a.line, along, lx, ly});
        if (b.line != a.line) crowded_.push_back({vertical_, b.line, along, lx, ly});
      }
    }
  }

  void apply() {
    for (const Unit& u : units_) {
      for (int id : u.pieces) {
        const Piece& piece = pieces_[static_cast<std::size_t>(id)];
        auto& p = routes_[static_cast<std::size_t>(piece.route)].points;
        for (std::size_t k :
             {static_cast<std::size_t>(piece.k), static_cast<std::size_t>(piece.k) + 1}) {
          (vertical_ ? p[k].x : p[k].y) = u.at;
        }
      }
    }
  }

  // The segments across this pass's (laid in the pass before, which is over): moving a segment
  // stretches or shortens the two beside it along their lines, and a stretched one must not
  // reach an unrelated segment on its line, which nothing would part again.
  struct Cross {
    long long line = 0;  // in half pixels
    Interval along;
    int route = 0;
  };

  static long long line_key(double at) { return std::llround(at * 2); }

  void index_cross_segments() {
    for (std::size_t r = 0; r < routes_.size(); ++r) {
      const auto& p = routes_[r].points;
      for (std::size_t k = 0; k + 1 < p.size(); ++k) {
        const double a = position(p[k], !vertical_), b = position(p[k + 1], !vertical_);
        if (coordinate(p[k], !vertical_) != coordinate(p[k + 1], !vertical_) || a == b) continue;
        cross_by_lo_.push_back({line_key(coordinate(p[k], !vertical_)),
                                {std::min(a, b), std::max(a, b)},
                                static_cast<int>(r)});
      }
    }
    std::sort(cross_by_lo_.begin(), cross_by_lo_.end(), [](const Cross& x, const Cross& y) {
      return std::tie(x.line, x.along.lo, x.route) < std::tie(y.line, y.along.lo, y.route);
    });
    cross_by_hi_ = cross_by_lo_;
    std::sort(cross_by_hi_.begin(), cross_by_hi_.end(), [](const Cross& x, const Cross& y) {
      return std::tie(x.line, x.along.hi, x.route) < std::tie(y.line, y.along.hi, y.route);
    });
  }

  bool unrelated(int route_a, int route_b) const {
    const Link& la =
        problem_.links[static_cast<std::size_t>(routes_[static_cast<std::size_t>(route_a)].link)];
    const Link& lb =
        problem_.links[static_cast<std::size_t>(routes_[static_cast<std::size_t>(route_b)].link)];
    return la.source != lb.source && la.source != lb.target && la.target != lb.source &&
           la.target != lb.target;
  }

  // Narrows the piece's rooms so that neither segment beside it grows onto an unrelated one
  // that it does not meet yet (within REACH of its end): at most half way towards it, since
  // the other one may grow in this pass as well.
  void keep_cross_ends_apart(Piece& piece, const DrawnRoute& route, int k) const {
    const auto& p = route.points;
    const auto n = static_cast<int>(p.size());
    const int r = piece.route;
    auto limit_on = [&](long long line, double fixed) {
      const Interval extent{std::min(fixed, piece.at), std::max(fixed, piece.at)};
      // Beyond its far end: the nearest unrelated segment that starts past it.
      const Cross past{line, {extent.hi + END_GAP, extent.hi + END_GAP}, INT_MAX};
      for (auto s = std::upper_bound(cross_by_lo_.begin(), cross_by_lo_.end(), past,
                                     [](const Cross&v, const Cross&c) {
                                       return std::tie(v.line, v.along.lo) <
                                              std::tie(c.line, c.along.lo);
                                     });
           s != cross_by_lo_.end() && s->line == line && s->along.lo <= extent.hi + REACH; ++s) {
        if (s->route == r || !unrelated(r, s->route)) continue;
        for (Interval* room : {&piece.room, &piece.tight})
          room->hi = std::min(room->hi, (extent.hi + s->along.lo) / 2 - END_GAP);
        break;
      }
      // Before its near end: the nearest unrelated segment that ends before it.
      const Cross before{line, {extent.lo - END_GAP, extent.lo - END_GAP}, INT_MIN};
      auto s = std::lower_bound(
          cross_by_hi_.begin(), cross_by_hi_.end(), before, [](const Cross& c, const Cross& v) {
            return std::tie(c.line, c.along.hi) < std::tie(v.line, v.along.hi);
          });
      while (s != cross_by_hi_.begin()) {
        --s;
        if (s->line != line || s->along.hi < extent.lo - REACH) break;
        if (s->route == r || !unrelated(r, s->route)) continue;
        for (Interval* room : {&piece.room, &piece.tight})
          room->lo = std::max(room->lo, (extent.lo + s->along.hi) / 2 + END_GAP);
        break;
      }
    };
    // Lines less than a pixel apart count as one: ends are rounded to whole pixels at last.
    auto limit = [&](double line, double fixed) {
      for (long long key = line_key(line) - 2; key <= line_key(line) + 2; ++key)
        limit_on(key, fixed);
    };
    if (k > 0)
      limit(coordinate(p[static_cast<std::size_t>(k)], !vertical_),
            position(p[static_cast<std::size_t>(k) - 1], !vertical_));
    if (k + 2 < n)
      limit(coordinate(p[static_cast<std::size_t>(k) + 1], !vertical_),
            position(p[static_cast<std::size_t>(k) + 2], !vertical_));
  }

  std::vector<DrawnRoute>& routes_;
  const Problem& problem_;
  const FreeSpace& space_;
  const bool vertical_;
  std::vector<Cross> cross_by_lo_;  // by line, then along.lo
  std::vector<Cross> cross_by_hi_;  // by line, then along.hi
  std::vector<double> fork_length_;
  std::vector<double> join_length_;
  std::vector<Piece> pieces_;
  std::vector<Unit> units_;
  std::vector<Crowded>& crowded_;
  RoomMemo& rooms_;
  std::vector<std::pair<int, int>> apart_;  // (route, segment) kept off a twin's line
};

}  // namespace

namespace {

// A route's course from its start (or back from its end): where it begins, then each straight
// run as a direction and a length, repeats and points on a line left out. Two routes run
// together as far as their courses agree, and on along the first run where only the lengths
// differ, to the shorter's end.
struct Course {
  Point start;
  std::vector<std::pair<int, double>> runs;  // (direction, length)
};

Course course(const std::vector<Point>& points, bool from_end) {
  Course c;
  const std::size_t n = points.size();
  if (n == 0) return c;
  auto at = [&](std::size_t i) -> const Point& { return from_end ? points[n - 1 - i] : points[i]; };
  c.start = at(0);
  for (std::size_t i = 1; i < n; ++i) {
    const double dx = at(i).x - at(i - 1).x, dy = at(i).y - at(i - 1).y;
    const int dir = (sign(dx) + 1) * 3 + sign(dy) + 1;
    const double length = std::abs(dx) + std::abs(dy);
    if (length == 0) continue;
    if (!c.runs.empty() && c.runs.back().first == dir) {
      c.runs.back().second += length;
    } else {
      c.runs.push_back({dir, length});
    }
  }
  return c;
}

bool course_before(const Course& a, const Course& b) {
  if (a.start.x != b.start.x) return a.start.x < b.start.x;
  if (a.start.y != b.start.y) return a.start.y < b.start.y;
  return a.runs < b.runs;
}

}  // namespace

std::vector<TrunkLengths> trunk_lengths(const std::vector<DrawnRoute>& routes,
                                        const Problem& problem) {
  std::vector<TrunkLengths> lengths(routes.size());
  for (const bool join : {false, true}) {
    // The branches of each fork (or join) that may share its trunk, in the order of their
    // courses. In that order two routes run together no further than each does with every
    // route between them, so a route's longest run with another of its fork is with the
    // nearest one before or after it that goes to another shape: a fork of thousands of
    // branches is measured in one sort, not pair by pair.
    struct Member {
      int family;
      int node;   // the shape all leave (or enter)
      int other;  // the shape this one enters (or leaves)
      std::size_t route;
      Course course;
    };
    std::vector<Member> members;
    for (std::size_t r = 0; r < routes.size(); ++r) {
      const int family = join ? routes[r].join : routes[r].fork;
      if (family < 0) continue;
      const Link& link = problem.links[static_cast<std::size_t>(routes[r].link)];
      if (link.kind != LinkKind::SEQUENCE || link.source == link.target) continue;
      members.push_back({family, join ? link.target : link.source, join ? link.source : link.target,
                         r, course(routes[r].points, join)});
    }
    std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
      if (a.family != b.family) return a.family < b.family;
      if (a.node != b.node) return a.node < b.node;
      if (course_before(a.course, b.course)) return true;
      if (course_before(b.course, a.course)) return false;
      return a.route < b.route;
    });
    // The nearest member before each of the same fork and shape going to another shape (two
    // flows between the same shapes are no branches of one fork), and after.
    const std::size_t n = members.size();
    constexpr std::size_t NONE = static_cast<std::size_t>(-1);
    auto kin = [&](std::size_t a, std::size_t b) {
      return members[a].family == members[b].family && members[a].node == members[b].node;
    };
    std::vector<std::size_t> before(n, NONE), after(n, NONE);
    for (std::size_t k = 1; k < n; ++k) {
      if (!kin(k - 1, k)) continue;
      before[k] = members[k - 1].other != members[k].other ? k - 1 : before[k - 1];
    }
    for (std::size_t k = n; k-- > 0;) {
      if (k + 1 == n || !kin(k, k + 1)) continue;
      after[k] = members[k + 1].other != members[k].other ? k + 1 : after[k + 1];
    }
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t r = members[k].route;
      double& length = join ? lengths[r].join : lengths[r].fork;
      for (const std::size_t m : {before[k], after[k]}) {
        if (m == NONE) continue;
        length = std::max(length,
                          shared_length(routes[r].points, routes[members[m].route].points, join));
      }
    }
  }
  return lengths;
}

void simplify(std::vector<Point>& points) {
  // Written over in place: the points kept never outrun the points read.
  std::size_t n = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point p = points[i];
    if (n > 0 && points[n - 1] == p) continue;
    if (n >= 2) {
      const Point& a = points[n - 2];
      const Point& b = points[n - 1];
      if ((a.x == b.x && b.x == p.x) || (a.y == b.y && b.y == p.y)) --n;
    }
    points[n++] = p;
  }
  points.resize(n);
}

std::vector<Point> simplified(const std::vector<Point>& points) {
  std::vector<Point> out = points;
  simplify(out);
  return out;
}

const RoomMemo::Rooms* RoomMemo::find(int link, const Segment& segment) const {
  for (const auto& [kept, rooms] : by_link_[static_cast<std::size_t>(link)]) {
    if (kept == segment) return &rooms;
  }
  return nullptr;
}

void RoomMemo::keep(int link, const Segment& segment, const Rooms& rooms) {
  by_link_[static_cast<std::size_t>(link)].emplace_back(segment, rooms);
}

std::vector<Crowded> nudge(std::vector<DrawnRoute>& routes, const Problem& problem,
                           const FreeSpace& space, RoomMemo& rooms) {
  std::vector<Crowded> crowded;
  for (const bool vertical : {true, false}) {
    Pass(routes, problem, space, vertical, crowded, rooms).run();
    for (DrawnRoute& r : routes) simplify(r.points);
  }
  return crowded;
}

}  // namespace orvane::routing
