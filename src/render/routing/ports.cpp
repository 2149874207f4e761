#include "ports.hpp"

#include <cmath>

#include "settings.hpp"

namespace orvane::routing {

std::vector<Side> allowed_sides(const Link& link, bool source) {
  const auto& asked = source ? link.source_side : link.target_side;
  if (asked) return {*asked};
  if (link.source == link.target) {
    // Leaving and coming back by one side would draw the route on top of itself.
    const auto& other = source ? link.target_side : link.source_side;
    const Side first = source ? Side::RIGHT : Side::TOP;
    if (other == first) return {source ? Side::TOP : Side::RIGHT};
    return {first};
  }
  return {ALL_SIDES.begin(), ALL_SIDES.end()};
}

double side_cost(const Link& link, Side side, bool source) {
  if (source ? link.source_side : link.target_side) return 0;
  if (link.kind == LinkKind::MESSAGE) return horizontal(side) ? 30 : 0;
  const Side forward = source ? Side::RIGHT : Side::LEFT;
  const Side backward = source ? Side::LEFT : Side::RIGHT;
  if (side == forward) return 0;
  if (side == backward) return 60;
  return 15;
}

Interval port_range(const Node& node, Side side) {
  const Interval extent = side_extent(node.box, side);
  if (node.outline == Outline::RECTANGLE) {
    const double margin = std::min(10.0, extent.length() / 4);
    return {extent.lo + margin, extent.hi - margin};
  }
  const double quarter = extent.length() / 4;
  return {extent.middle() - quarter, extent.middle() + quarter};
}

Point on_outline(const Node& node, Side side, double along) {
  const Box& b = node.box;
  const bool across_x = horizontal(side);  // the route runs along x into a left or right side
  const double c_along = across_x ? b.centre_y() : b.centre_x();
  const double r_along = (across_x ? b.height : b.width) / 2;
  const double r_across = (across_x ? b.width : b.height) / 2;
  const double t = r_along > 0 ? std::clamp(std::abs(along - c_along) / r_along, 0.0, 1.0) : 0;
  double depth = 0;  // how far inside the box's side the outline lies at `along`
  switch (node.outline) {
    case Outline::RECTANGLE:
      break;
    case Outline::ELLIPSE:
      depth = r_across * (1 - std::sqrt(1 - t * t));
      break;
    case Outline::DIAMOND:
      depth = r_across * t;
      break;
  }
  switch (side) {
    case Side::RIGHT:
      return {b.right() - depth, along};
    case Side::LEFT:
      return {b.x + depth, along};
    case Side::TOP:
      return {along, b.y + depth};
    case Side::BOTTOM:
      return {along, b.bottom() - depth};
  }
  return {};
}

}  // namespace orvane::routing
