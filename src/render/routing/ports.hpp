// Ports: where on a shape a route leaves or enters. A route meets a side at its middle and
// runs straight out of it for at least STUB (to the channel graph's first line beyond that);
// nudging may later slide it along the side (the whole side of a rectangle, the middle half of
// a round or diamond shape) to part it from other routes, and its end then lies on the shape's
// outline.
#pragma once

#include <vector>

#include "geometry.hpp"
#include "problem.hpp"

namespace orvane::routing {

/// The sides a link may leave its source by (or enter its target by): the side the caller
/// asked for, else every side; a connection from a shape to itself leaves on the right and
/// comes back from the top. (A boundary event's other sides lead into its activity, so its
/// flows leave from its bottom.)
std::vector<Side> allowed_sides(const Link& link, bool source);

/// How much a link dislikes a side: flows within a pool go left to right (leaving on the
/// right, entering on the left is free, turning up or down costs a little, going back costs
/// more); message flows run between pools, up or down.
double side_cost(const Link& link, Side side, bool source);

/// The coordinates along `side` (y for left and right, x for top and bottom) that a route's
/// end may slide to.
Interval port_range(const Node& node, Side side);

/// Where a route running across `side` at coordinate `along` meets the node's outline.
Point on_outline(const Node& node, Side side, double along);

}  // namespace orvane::routing
