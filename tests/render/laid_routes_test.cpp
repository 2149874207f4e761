#include "render/routing/laid_routes.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "render/routing/crossings.hpp"

namespace orvane::routing {
namespace {

GraphRoute route(int link, Side from, Side to, std::vector<Vertex> vertices) {
  GraphRoute r;
  r.link = link;
  r.source_side = from;
  r.target_side = to;
  r.vertices = std::move(vertices);
  return r;
}

// Everything a path search reads from the record, over a small graph.
std::string reading(const LaidRoutes& laid, int columns, int rows, int nodes) {
  std::string out;
  for (int i = 0; i < columns; ++i) {
    for (int j = 0; j < rows; ++j) {
      const Vertex v{i, j};
      if (!laid.passes_any(v)) continue;
      out += "v" + std::to_string(i) + "," + std::to_string(j) + ":";
      if (const LaidRoutes::Tally* t = laid.tally(v)) {
        for (const auto& row : t->count) {
          for (const auto c : row) out += std::to_string(c);
        }
      }
      laid.passes(v, [&](const LaidRoutes::Pass& p) { out += " " + std::to_string(p.link); });
      out += "\n";
    }
  }
  for (int i = 0; i < columns; ++i) {
    out += "col" + std::to_string(i) + " " +
           std::to_string(laid.steps_taken_along(true, i, 0, rows - 1)) + " " +
           std::to_string(laid.crossings_along(true, i, 0, rows - 1)) + "\n";
  }
  for (int j = 0; j < rows; ++j) {
    out += "row" + std::to_string(j) + " " +
           std::to_string(laid.steps_taken_along(false, j, 0, columns - 1)) + " " +
           std::to_string(laid.crossings_along(false, j, 0, columns - 1)) + "\n";
  }
  for (int n = 0; n < nodes; ++n) {
    for (Side s : {Side::LEFT, Side::RIGHT, Side::TOP, Side::BOTTOM}) {
      for (int l : laid.leaving(n, s)) out += "out" + std::to_string(n) + ":" + std::to_string(l);
      for (int l : laid.entering(n, s)) out += "in" + std::to_string(n) + ":" + std::to_string(l);
    }
  }
  return out;
}

// A route taken back leaves the record as if only the others had been laid: no pass, bit,
// crossing or side of it is left behind, and the others' are all still there.
TEST(LaidRoutes, RemovingARouteLeavesTheRecordOfTheOthers) {
  const int columns = 6, rows = 5, nodes = 4;
  // Across row 2, down column 3 (crossing it), and along row 2 then down (sharing its line).
  const GraphRoute across =
      route(0, Side::RIGHT, Side::LEFT, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}});
  const GraphRoute down = route(1, Side::BOTTOM, Side::TOP, {{3, 0}, {3, 1}, {3, 2}, {3, 3}});
  const GraphRoute bend = route(2, Side::RIGHT, Side::TOP, {{1, 2}, {2, 2}, {3, 2}, {3, 3}});
  LaidRoutes only_others(3, nodes, columns, rows);
  only_others.add(across, 0, 1);
  only_others.add(bend, 0, 3);
  LaidRoutes taken_back(3, nodes, columns, rows);
  taken_back.add(across, 0, 1);
  taken_back.add(down, 2, 3);
  taken_back.add(bend, 0, 3);
  taken_back.remove(down, 2, 3);
  EXPECT_EQ(taken_back.route(1), nullptr);
  EXPECT_EQ(reading(taken_back, columns, rows, nodes), reading(only_others, columns, rows, nodes));
  // Laid again, it reads as it did before it was taken back.
  LaidRoutes all(3, nodes, columns, rows);
  all.add(across, 0, 1);
  all.add(down, 2, 3);
  all.add(bend, 0, 3);
  taken_back.add(down, 2, 3);
  EXPECT_EQ(taken_back.route(1), &down);
  const std::string again = reading(taken_back, columns, rows, nodes);
  EXPECT_NE(again, reading(only_others, columns, rows, nodes));
  EXPECT_EQ(again.size(), reading(all, columns, rows, nodes).size());
}

// Each vertex tells whether every route passing it is a branch of one fork (a sequence flow
// leaving one shape), and of one join: a message, a flow from another shape or a flow from a
// shape to itself passing there spoils it, and a vertex no route passes any more starts afresh.
TEST(LaidRoutes, AVertexTellsWhenOnlyOneForksBranchesPassIt) {
  const int columns = 4, rows = 4, nodes = 6;
  LaidRoutes laid(5, nodes, columns, rows);
  const auto fork_at = [&](Vertex v) { return laid.tally(v)->fork_node; };
  const auto join_at = [&](Vertex v) { return laid.tally(v)->join_node; };
  // Two branches from shape 0 down column 1, to shapes 1 and 2.
  const GraphRoute first = route(0, Side::BOTTOM, Side::LEFT, {{1, 0}, {1, 1}, {2, 1}});
  const GraphRoute second = route(1, Side::BOTTOM, Side::LEFT, {{1, 0}, {1, 1}, {1, 2}, {2, 2}});
  laid.add(first, 0, 1, true);
  laid.add(second, 0, 2, true);
  EXPECT_EQ(fork_at({1, 0}), 0);
  EXPECT_EQ(fork_at({1, 1}), 0);
  EXPECT_EQ(join_at({1, 1}), LaidRoutes::MIXED);  // they enter two shapes
  EXPECT_EQ(join_at({2, 2}), 2);
  // A message from shape 3 across (1, 1): no longer only the fork's branches there.
  const GraphRoute message = route(2, Side::RIGHT, Side::LEFT, {{0, 1}, {1, 1}, {2, 1}, {3, 1}});
  laid.add(message, 3, 4, false);
  EXPECT_EQ(fork_at({1, 1}), LaidRoutes::MIXED);
  EXPECT_EQ(fork_at({1, 0}), 0);
  // A flow from shape 5 to itself is no branch either.
  const GraphRoute loop = route(3, Side::TOP, Side::BOTTOM, {{1, 2}, {1, 3}});
  laid.add(loop, 5, 5, true);
  EXPECT_EQ(fork_at({1, 2}), LaidRoutes::MIXED);
  // Taken back, the last route to pass a vertex leaves it free for any fork.
  laid.remove(loop, 5, 5);
  laid.remove(second, 0, 2);
  EXPECT_EQ(laid.tally({1, 3}), nullptr);
  const GraphRoute other = route(4, Side::BOTTOM, Side::TOP, {{1, 2}, {1, 3}});
  laid.add(other, 4, 5, true);
  EXPECT_EQ(fork_at({1, 3}), 4);
  EXPECT_EQ(join_at({1, 3}), 5);
  // The passes left read in the order they were laid, newest first.
  std::vector<int> at;
  laid.passes({1, 1}, [&](const LaidRoutes::Pass& p) { at.push_back(p.link); });
  EXPECT_EQ(at, (std::vector<int>{2, 0}));
}

DrawnRoute drawn(int link, std::vector<Point> points) {
  DrawnRoute r;
  r.link = link;
  r.points = std::move(points);
  return r;
}

// Only proper crossings count, once for each of the two routes: not ends touching a route, not
// routes running on one line, not a route crossing itself.
TEST(RouteCrossings, CountsProperCrossingsForBothRoutes) {
  const std::vector<DrawnRoute> routes = {
      drawn(0, {{0, 50}, {200, 50}}),
      // Down across route 0, then back across it: two crossings.
      drawn(1, {{50, 0}, {50, 100}, {80, 100}, {80, 0}}),
      // Ends on route 0; runs on route 0's line: no crossing.
      drawn(2, {{120, 0}, {120, 50}}),
      drawn(3, {{100, 50}, {150, 50}}),
      // Crosses route 0 once, and itself.
      drawn(4, {{170, 20}, {170, 80}, {160, 80}, {160, 60}, {180, 60}}),
  };
  const std::vector<int> count = crossings_per_link(routes, 6);
  EXPECT_EQ(count, (std::vector<int>{3, 2, 0, 0, 1, 0}));
}

}  // namespace
}  // namespace orvane::routing
