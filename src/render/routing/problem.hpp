// The routing problem: what the router needs to know about a diagram, and nothing more. Shapes
// are boxes with an outline (and, for events, gateways and data, a name drawn beside them);
// connections join two of them and may ask for the sides they leave and enter by; pools are
// areas that sequence flows never leave; pool and lane name strips are obstacles like shapes;
// pool and lane borders are lines that routes cross but never follow.
#pragma once

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry.hpp"
#include "orvane/coordinate.hpp"

namespace orvane {
class Painter;
class Pool;
class Shape;
struct Connection;
}  // namespace orvane

namespace orvane::routing {

/// The outline a shape draws inside its box; routes end on it.
enum class Outline { RECTANGLE, ELLIPSE, DIAMOND };

/// How a connection is drawn and where it may run: a sequence flow stays inside its pool, a
/// message flow runs between pools, an association links a data shape (inside one pool when
/// both ends are in one, else like a message flow).
enum class LinkKind { SEQUENCE, MESSAGE, ASSOCIATION };

struct Node {
  Shape* shape = nullptr;
  Box box;
  Outline outline = Outline::RECTANGLE;
  /// The visible name outside the box (events, gateways, data), when there is one.
  std::optional<Box> name;
  /// Index of the node's pool in Problem::pools, and the band of its lane.
  int pool = -1;
  Box lane;
  /// The sides (by Side) that a message flow to or from a black-box pool runs through; those
  /// flows are drawn straight to the pool's band after routing, so routes use other sides.
  std::array<bool, 4> taken{};
  /// Of the taken sides, those only passed by messages of other shapes, which turn round this
  /// one before they reach it: the x of each message's line there.
  std::array<std::vector<double>, 4> passed_at{};
  /// Whether `side` is taken by messages that only pass it, each further than `spacing` from
  /// `x`: a route entering or leaving there straight across keeps off their lines.
  bool passed_clear_of(Side side, double x, double spacing) const;
};

struct Link {
  Connection* connection = nullptr;
  int source = 0;
  int target = 0;
  LinkKind kind = LinkKind::SEQUENCE;
  /// Sides the caller asked for; the router keeps to them where they lead out of the shape.
  std::optional<Side> source_side;
  std::optional<Side> target_side;
  /// Where the route may run: the pool's inside for flows within one pool, else everywhere.
  Box area;
  /// Position in the diagram's order of connections; breaks every tie.
  int order = 0;
  /// Whether the route's start carries a mark (a default flow's slash, the diamond of a
  /// conditional flow out of an activity), which must read as this flow's alone.
  bool marked_start = false;
};

/// Whether two sequence flows leave one shape (`fork`) or enter one shape (else) as branches
/// of one fork or join, which may share a trunk: two flows between the same two shapes never
/// do, nor does a flow from a shape to itself, nor a message flow or association (each of
/// those is a connection of its own), nor, out of their source, a flow with a mark at its start
/// (on a shared trunk the mark would stand on its siblings' line as well).
inline bool same_family(const Link& a, const Link& b, bool fork) {
  if (&a == &b || a.kind != LinkKind::SEQUENCE || b.kind != LinkKind::SEQUENCE) return false;
  if (a.source == a.target || b.source == b.target) return false;
  if (a.source == b.source && a.target == b.target) return false;
  if (fork && (a.marked_start || b.marked_start)) return false;
  return fork ? a.source == b.source : a.target == b.target;
}

/// By link: whether another link runs between the same two shapes the same way (a "twin":
/// the two are no branches of one fork or join, and may not share a line).
inline std::vector<char> links_with_twins(const std::vector<Link>& links) {
  std::vector<std::pair<std::pair<int, int>, std::size_t>> ends;
  ends.reserve(links.size());
  for (std::size_t l = 0; l < links.size(); ++l)
    ends.push_back({{links[l].source, links[l].target}, l});
  std::sort(ends.begin(), ends.end());
  std::vector<char> twin(links.size(), 0);
  for (std::size_t k = 0; k + 1 < ends.size(); ++k) {
    if (ends[k].first == ends[k + 1].first) twin[ends[k].second] = twin[ends[k + 1].second] = 1;
  }
  return twin;
}

/// A line of a pool or lane band: routes cross it but never run along it.
struct Border {
  bool horizontal = true;
  double at = 0;   // y of a horizontal border, x of a vertical one
  Interval along;  // its extent along its own direction
};

struct Problem {
  std::vector<Node> nodes;
  std::vector<Link> links;
  /// Each pool's band.
  std::vector<Box> pools;
  /// Obstacles that end no route: the name strips of pools and lanes, and text annotations.
  std::vector<Box> strips;
  /// Which of the strips are text annotations (by number).
  std::vector<int> note_strips;
  /// The captions of groups: names that belong to no route's ends, which routes and labels
  /// keep off as they keep off the names of shapes.
  std::vector<Box> captions;
  /// The straight runs of the messages to and from black-box pools, which are drawn after the
  /// routes (from a shape's side towards the band, up to the first shape in the way): names and
  /// labels keep off them too.
  std::vector<std::pair<Point, Point>> message_runs;
  std::vector<Border> borders;
  /// The whole drawing with room around it for routes that go round everything.
  Box bounds;
};

/// The links between placed shapes (shapes with a usable box) of `pools`, in the diagram's
/// connection order; names are measured through `painter`. Throws std::invalid_argument naming
/// the connection when a side a caller set is not one of "left", "right", "top", "bottom".
Problem build_problem(const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter);

}  // namespace orvane::routing
