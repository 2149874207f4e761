#include "render/routing/nudging.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "render/routing/free_space.hpp"

namespace orvane::routing {
namespace {

// A row of shapes above a channel and another below it, 100 px apart, with a shape standing up
// into the channel at x 1400-1600 so that it is 25 px high there. Routes leave a shape of one
// row, run along the channel and go back into another shape of that row; all are laid on one
// line, as the search lays them, for nudging to part.
struct Channel {
  Problem problem;
  std::vector<DrawnRoute> routes;

  Channel() {
    problem.bounds = {-100, -100, 3300, 500};
    problem.nodes.push_back(node({1400, 125, 200, 75}));
  }
  static Node node(const Box& box) {
    Node n;
    n.box = box;
    return n;
  }
  // A route from a shape of the upper (or lower) row at x `from` to another's at `to`, along y.
  const DrawnRoute& add(double from, double to, double y, bool upper = true) {
    const int source = static_cast<int>(problem.nodes.size());
    const double top = upper ? 0 : 200;
    const double side = upper ? 100 : 200;
    problem.nodes.push_back(node({from - 40, top, 80, 100}));
    problem.nodes.push_back(node({to - 40, top, 80, 100}));
    Link link;
    link.source = source;
    link.target = source + 1;
    link.area = problem.bounds;
    link.order = static_cast<int>(problem.links.size());
    problem.links.push_back(link);
    DrawnRoute r;
    r.link = link.order;
    r.source_side = upper ? Side::BOTTOM : Side::TOP;
    r.target_side = r.source_side;
    r.points = {{from, side}, {from, y}, {to, y}, {to, side}};
    routes.push_back(r);
    return routes.back();
  }
  std::vector<Crowded> nudge_all() {
    const FreeSpace space(problem);
    RoomMemo rooms(problem.links.size());
    return nudge(routes, problem, space, rooms);
  }
  double line(std::size_t route) const { return routes[route].points[1].y; }
};

// Three routes pass the narrow place and must lie close there; two others, between shapes of
// the lower row, overlap only one of them, far from it, where the channel is wide: those two
// lie at least 12 px apart and from it (all five took the narrow place's gap when a group had
// one gap for all).
TEST(Nudging, ACrowdedPlaceSqueezesOnlyTheRoutesThatPassIt) {
  Channel c;
  c.add(1300, 1700, 112);         // 0: past the narrow place
  c.add(1150, 1850, 112);         // 1: past it too
  c.add(1040, 2950, 112);         // 2: past it, and on along the wide part
  c.add(2040, 2740, 112, false);  // 3: the wide part only
  c.add(2140, 2640, 112, false);  // 4: the wide part only, beside 3
  c.nudge_all();
  for (std::size_t r = 0; r < 3; ++r) {
    EXPECT_LE(c.line(r), 125) << "route " << r << " does not pass above the shape in the channel";
  }
  EXPECT_GE(std::fabs(c.line(3) - c.line(4)), 12);
  EXPECT_GE(std::fabs(c.line(2) - c.line(3)), 12);
  EXPECT_GE(std::fabs(c.line(2) - c.line(4)), 12);
  // The routes along the wide part stay inside the channel, off the shapes.
  for (std::size_t r = 3; r < 5; ++r) {
    EXPECT_GE(c.line(r), 100);
    EXPECT_LE(c.line(r), 200);
  }
}

// A route from the lower row passes over the shape standing up into the channel, so it may only
// lie near the channel's top; eight routes of the upper row overlap its start, where the channel
// is wide. Kept below them, as their turns ask, it pressed all nine into a few pixels, where
// they read as one line: it goes above them instead, crossing them, and all lie apart.
TEST(Nudging, RoutesPressedIntoOneLineTakeTheOrderOfTheirRooms) {
  Channel c;
  c.add(1300, 1700, 112, false);  // 0: over the narrow place
  for (int k = 0; k < 8; ++k) c.add(880.0 - 10 * k, 1380.0 - 10 * k, 112);
  c.nudge_all();
  EXPECT_LE(c.line(0), 125);
  for (std::size_t a = 0; a < 9; ++a) {
    for (std::size_t b = a + 1; b < 9; ++b) {
      EXPECT_GE(std::fabs(c.line(a) - c.line(b)), 2) << "routes " << a << " and " << b;
    }
  }
}

// Two flows from A to T laid on the same lines as each other, where every line is the trunk of
// another branch: A's flow to C runs along the first two, and a flow from D into T along the
// last two. Merged with those trunks piece by piece, the two came out as one line (one arrow,
// two labels); one of them keeps its middle segment on a line of its own.
TEST(Nudging, TwoFlowsBetweenTheSameShapesOnOtherBranchesTrunksStayTwo) {
  Channel c;
  c.problem.nodes.clear();
  for (const double x : {500.0, 1500.0, 2500.0, 200.0})  // A, T, C, D
    c.problem.nodes.push_back(Channel::node({x - 40, 0, 80, 100}));
  auto add = [&](int source, int target, std::vector<Point> points) {
    Link link;
    link.source = source;
    link.target = target;
    link.area = c.problem.bounds;
    link.order = static_cast<int>(c.problem.links.size());
    c.problem.links.push_back(link);
    DrawnRoute r;
    r.link = link.order;
    r.source_side = Side::BOTTOM;
    r.target_side = Side::BOTTOM;
    r.points = std::move(points);
    r.fork = source == 0 ? 0 : -1;
    r.join = target == 1 ? 1 : -1;
    c.routes.push_back(r);
  };
  const std::vector<Point> a_to_t = {{500, 100}, {500, 150}, {1500, 150}, {1500, 100}};
  add(0, 2, {{500, 100}, {500, 150}, {2500, 150}, {2500, 100}});  // A to C
  add(3, 1, {{200, 100}, {200, 150}, {1500, 150}, {1500, 100}});  // D to T
  add(0, 1, a_to_t);
  add(0, 1, a_to_t);
  c.nudge_all();
  EXPECT_NE(c.routes[2].points, c.routes[3].points);
  // Apart along their middle, where each has room to read as a line of its own.
  EXPECT_GE(std::fabs(c.line(2) - c.line(3)), 12);
  EXPECT_EQ(c.routes[2].points.front(), c.routes[3].points.front());
}

// How far each route runs on a trunk, measured pair by pair: what trunk_lengths must find
// however many branches a fork has.
std::vector<TrunkLengths> trunks_pair_by_pair(const std::vector<DrawnRoute>& routes,
                                              const Problem& problem) {
  std::vector<TrunkLengths> lengths(routes.size());
  for (std::size_t a = 0; a < routes.size(); ++a) {
    for (std::size_t b = 0; b < routes.size(); ++b) {
      const Link& la = problem.links[static_cast<std::size_t>(routes[a].link)];
      const Link& lb = problem.links[static_cast<std::size_t>(routes[b].link)];
      for (const bool join : {false, true}) {
        const int fa = join ? routes[a].join : routes[a].fork;
        const int fb = join ? routes[b].join : routes[b].fork;
        if (fa < 0 || fa != fb || !same_family(la, lb, !join)) continue;
        // Walked a pixel at a time: where the two first part.
        auto at = [&](const std::vector<Point>& p, double d) {
          std::vector<Point> q = p;
          if (join) std::reverse(q.begin(), q.end());
          for (std::size_t k = 0; k + 1 < q.size(); ++k) {
            const double len = std::abs(q[k + 1].x - q[k].x) + std::abs(q[k + 1].y - q[k].y);
            if (d <= len) {
              const double t = len > 0 ? d / len : 0;
              return std::optional<Point>{
                  Point{q[k].x + (q[k + 1].x - q[k].x) * t, q[k].y + (q[k + 1].y - q[k].y) * t}};
            }
            d -= len;
          }
          return std::optional<Point>{};
        };
        double d = 0;
        while (true) {
          const auto pa = at(routes[a].points, d + 1), pb = at(routes[b].points, d + 1);
          if (!pa || !pb || std::abs(pa->x - pb->x) + std::abs(pa->y - pb->y) > 1e-9) break;
          d += 1;
        }
        double& l = join ? lengths[a].join : lengths[a].fork;
        l = std::max(l, d);
      }
    }
  }
  return lengths;
}

// Forks and joins of many branches, in random order, with flows twice between the same shapes
// (no branches of one fork), a flow from a shape to itself and messages among them: each
// route's trunk is as long as its longest run with another branch, as pair by pair.
TEST(Nudging, TrunkLengthsOfWideForksAreTheLongestRunWithAnotherBranch) {
  std::uint32_t seed = 7;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(n));
  };
  for (int round = 0; round < 20; ++round) {
    Problem problem;
    std::vector<DrawnRoute> routes;
    const int branches = 2 + next(40);
    // Node 0 forks to nodes 1.., which join into node 1000; the trunks run down x 0 (and up
    // x 500 to the join), each branch turning off at its own row or at a neighbour's.
    for (int b = 0; b < branches; ++b) {
      const int target = 1 + next(branches);
      const int copies = next(4) == 0 ? 2 : 1;
      for (int c = 0; c < copies; ++c) {
        Link link;
        link.kind = next(10) == 0 ? LinkKind::MESSAGE : LinkKind::SEQUENCE;
        link.source = 0;
        link.target = next(15) == 0 ? 0 : target;
        const double y = 20.0 * target;
        const double turn = 20.0 * (next(3) + 1);
        DrawnRoute r;
        r.link = static_cast<int>(problem.links.size());
        r.fork = 0;
        r.points = next(2) == 0 ? std::vector<Point>{{0, 0}, {0, y}, {200, y}}
                                : std::vector<Point>{
                                      {0, 0}, {0, y}, {turn, y}, {turn, y + 10}, {200, y + 10}};
        problem.links.push_back(link);
        routes.push_back(r);
        // ...and on to the join, as a route of its own.
        Link on;
        on.kind = LinkKind::SEQUENCE;
        on.source = target;
        on.target = 1000;
        DrawnRoute j;
        j.link = static_cast<int>(problem.links.size());
        j.join = 1;
        j.points = {{200, y}, {500 - turn, y}, {500 - turn, 0}, {500, 0}};
        problem.links.push_back(on);
        routes.push_back(j);
      }
    }
    const std::vector<TrunkLengths> fast = trunk_lengths(routes, problem);
    const std::vector<TrunkLengths> slow = trunks_pair_by_pair(routes, problem);
    ASSERT_EQ(fast.size(), slow.size());
    for (std::size_t r = 0; r < fast.size(); ++r) {
      EXPECT_DOUBLE_EQ(fast[r].fork, slow[r].fork) << "round " << round << " route " << r;
      EXPECT_DOUBLE_EQ(fast[r].join, slow[r].join) << "round " << round << " route " << r;
    }
  }
}

}  // namespace
}  // namespace orvane::routing
