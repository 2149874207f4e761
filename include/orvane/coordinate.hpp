#pragma once

#include <cstdint>

#include "orvane/export.hpp"

namespace orvane {

/// A writable pixel position; x grows to the right, y downwards.
struct ORVANE_API Coordinate {
  int x_pos = 0;
  int y_pos = 0;
  bool operator==(const Coordinate&) const = default;
};

/// The furthest a position may lie from the drawing's origin, in pixels (2^30).
inline constexpr std::int64_t MAX_POSITION = std::int64_t{1} << 30;

/// `value` as a pixel position; throws std::length_error when it lies beyond MAX_POSITION
/// either way (a grid row or column numbered in the millions, or millions of lanes, would
/// otherwise wrap round an int). `what` names the position in the message.
ORVANE_API int checked_position(std::int64_t value, const char* what);

/// A point of a drawn path, in pixels.
struct ORVANE_API Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

/// An axis-parallel box: top-left corner and size, in pixels.
struct ORVANE_API Box {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double right() const { return x + width; }
  double bottom() const { return y + height; }
  double centre_x() const { return x + width / 2; }
  double centre_y() const { return y + height / 2; }
  bool operator==(const Box&) const = default;
};

}  // namespace orvane
