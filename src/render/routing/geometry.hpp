// The small vocabulary the routing files share: sides of a box, the four directions of travel,
// intervals, and box arithmetic. Everything here is plain value code.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "orvane/coordinate.hpp"

namespace orvane::routing {

/// The side of a box a route leaves or enters by.
enum class Side { RIGHT, LEFT, TOP, BOTTOM };
inline constexpr std::array<Side, 4> ALL_SIDES = {Side::RIGHT, Side::LEFT, Side::TOP, Side::BOTTOM};

/// A direction of travel; the value is the side it points out of.
enum class Dir { EAST, WEST, NORTH, SOUTH };

inline const char* side_name(Side side) {
  switch (side) {
    case Side::RIGHT:
      return "right";
    case Side::LEFT:
      return "left";
    case Side::TOP:
      return "top";
    case Side::BOTTOM:
      return "bottom";
  }
  return "right";
}

/// The side named `name` ("left", "right", "top", "bottom"), or nothing.
inline std::optional<Side> side_from_name(const std::string& name) {
  for (Side s : ALL_SIDES) {
    if (name == side_name(s)) return s;
  }
  return std::nullopt;
}

/// The direction that leaves a box through `side`.
inline Dir outward(Side side) {
  return static_cast<Dir>(static_cast<int>(side));
}
/// The direction that enters a box through `side`.
inline Dir inward(Side side) {
  switch (side) {
    case Side::RIGHT:
      return Dir::WEST;
    case Side::LEFT:
      return Dir::EAST;
    case Side::TOP:
      return Dir::SOUTH;
    case Side::BOTTOM:
      return Dir::NORTH;
  }
  return Dir::EAST;
}

inline bool horizontal(Dir d) {
  return d == Dir::EAST || d == Dir::WEST;
}
inline bool horizontal(Side s) {
  return s == Side::LEFT || s == Side::RIGHT;
}
inline Dir opposite(Dir d) {
  switch (d) {
    case Dir::EAST:
      return Dir::WEST;
    case Dir::WEST:
      return Dir::EAST;
    case Dir::NORTH:
      return Dir::SOUTH;
    case Dir::SOUTH:
      return Dir::NORTH;
  }
  return Dir::EAST;
}
inline double dx(Dir d) {
  return d == Dir::EAST ? 1 : d == Dir::WEST ? -1 : 0;
}
inline double dy(Dir d) {
  return d == Dir::SOUTH ? 1 : d == Dir::NORTH ? -1 : 0;
}

/// A closed interval of coordinates; empty when hi < lo.
struct Interval {
  double lo = 0;
  double hi = -1;
  bool empty() const { return hi < lo; }
  double length() const { return empty() ? 0 : hi - lo; }
  double middle() const { return (lo + hi) / 2; }
  bool contains(double v) const { return v >= lo && v <= hi; }
};

inline Interval intersect(const Interval& a, const Interval& b) {
  return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

/// How far two intervals overlap (negative: the gap between them).
inline double overlap_length(double a0, double a1, double b0, double b1) {
  return std::min(std::max(a0, a1), std::max(b0, b1)) -
         std::max(std::min(a0, a1), std::min(b0, b1));
}

inline Box inflate(const Box& b, double by) {
  return {b.x - by, b.y - by, b.width + 2 * by, b.height + 2 * by};
}

/// Whether the insides of two boxes overlap.
inline bool overlaps(const Box& a, const Box& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

inline bool inside(const Point& p, const Box& b) {
  return p.x > b.x && p.x < b.right() && p.y > b.y && p.y < b.bottom();
}

inline bool contains(const Box& outer, const Box& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
         inner.bottom() <= outer.bottom();
}

/// The part two boxes have in common (empty: width or height not above zero).
inline Box intersect_box(const Box& a, const Box& b) {
  const double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const double x1 = std::min(a.right(), b.right()), y1 = std::min(a.bottom(), b.bottom());
  return {x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0)};
}

/// A box spanning two corners.
inline Box span(double x0, double y0, double x1, double y1) {
  return {std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0)};
}

/// The box around a segment, `pad` wider on every side.
inline Box segment_box(const Point& a, const Point& b, double pad) {
  return inflate(span(a.x, a.y, b.x, b.y), pad);
}

/// Whether the axis-parallel segment a-b passes through the inside of `box`.
inline bool crosses(const Point& a, const Point& b, const Box& box) {
  return std::min(a.x, b.x) < box.right() && std::max(a.x, b.x) > box.x &&
         std::min(a.y, b.y) < box.bottom() && std::max(a.y, b.y) > box.y;
}

/// A box the router can work with: finite, not empty, and within a billion pixels of the
/// origin (further out, coordinate arithmetic loses its precision; no picture is that large).
inline bool usable(const Box& b) {
  constexpr double FAR = 1e9;
  return std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.width) &&
         std::isfinite(b.height) && b.width > 0 && b.height > 0 && std::abs(b.x) < FAR &&
         std::abs(b.y) < FAR && b.width < FAR && b.height < FAR;
}

/// The point of a side's middle.
inline Point side_middle(const Box& b, Side side) {
  switch (side) {
    case Side::RIGHT:
      return {b.right(), b.centre_y()};
    case Side::LEFT:
      return {b.x, b.centre_y()};
    case Side::TOP:
      return {b.centre_x(), b.y};
    case Side::BOTTOM:
      return {b.centre_x(), b.bottom()};
  }
  return {};
}

/// The extent of a side along it (y for left and right, x for top and bottom).
inline Interval side_extent(const Box& b, Side side) {
  return horizontal(side) ? Interval{b.y, b.bottom()} : Interval{b.x, b.right()};
}

}  // namespace orvane::routing
