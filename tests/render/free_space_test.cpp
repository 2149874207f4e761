#include "render/routing/free_space.hpp"

#include <gtest/gtest.h>

#include "render/routing/channel_graph.hpp"

namespace orvane::routing {
namespace {

// Two shapes, the second with its name below it, and a group caption between them: the
// caption is a name of no shape, which routes pay to cross whatever their ends.
Problem problem_with_caption() {
  Problem p;
  Node a;
  a.box = {100, 100, 100, 60};
  Node b;
  b.box = {100, 400, 36, 36};
  b.name = Box{90, 440, 56, 14};
  p.nodes = {a, b};
  p.captions = {{120, 250, 70, 14}};
  p.bounds = {0, 0, 600, 600};
  return p;
}

TEST(FreeSpace, GroupCaptionsAreNamesOfNoShape) {
  const Problem p = problem_with_caption();
  const FreeSpace space(p);
  const Point in_caption{150, 257};
  // Also for a segment or point whose ends are no shapes (-1, the defaults).
  EXPECT_TRUE(space.in_name(in_caption));
  EXPECT_TRUE(space.in_name(in_caption, 0, 1));
  EXPECT_GT(space.in_names({150, 200}, {150, 300}), 0);
  EXPECT_GT(space.in_names({150, 200}, {150, 300}, 0, 1), 0);
  // A shape's own name is not in the way of its routes; the caption is in everyone's.
  EXPECT_FALSE(space.in_name({110, 447}, 1, -1));
  EXPECT_TRUE(space.in_name({110, 447}, 0, -1));
  // A segment beside the caption may come no closer to it than a name allows.
  const auto [room, tight] = space.rooms(true, 110, {240, 280}, p.bounds, true, 100, 10, 4);
  EXPECT_LE(room.hi, 120);
  EXPECT_GT(tight.hi, 120);  // the tight room ignores names
}

// A horizontal segment in a tight channel between a lane's border and a row of shapes: the
// tight room lets it come nearer the shapes than the usual clearance, but never within a few
// pixels of the border, where it would read as the border itself.
TEST(FreeSpace, TheTightRoomKeepsOffBorders) {
  Problem p;
  Node task;
  task.box = {100, 130, 100, 80};
  p.nodes = {task};
  p.borders = {{true, 100, {0, 600}}};
  p.bounds = {0, 0, 600, 600};
  const FreeSpace space(p);
  const auto [room, tight] = space.rooms(false, 115, {50, 250}, p.bounds, false, 100, 10, 2);
  EXPECT_GE(room.lo, 106);
  EXPECT_LE(room.hi, 120);
  EXPECT_GE(tight.lo, 104);  // was 102: a route on the border
  EXPECT_GT(tight.hi, room.hi);
}

TEST(ChannelGraph, GroupCaptionsHoldALineAndCostAsNames) {
  const Problem p = problem_with_caption();
  const ChannelGraph graph(p);
  const int row = graph.row_at(257);
  ASSERT_GE(row, 0) << "no line through the caption's middle";
  const auto [first, last] = graph.columns_within(121, 189);
  ASSERT_LE(first, last);
  const Vertex v{first, row};
  EXPECT_TRUE(graph.open(v));
  EXPECT_TRUE(graph.in_name(v, 0, 1));
  EXPECT_FALSE(graph.line_clear(false, row, 0, 600, true));
  EXPECT_TRUE(graph.line_clear(false, row, 0, 600, false));
}

}  // namespace
}  // namespace orvane::routing
