#pragma once

#include "orvane/export.hpp"

namespace orvane {

/// A writable pixel position; x grows to the right, y downwards.
struct ORVANE_API Coordinate {
  int x_pos = 0;
  int y_pos = 0;
  bool operator==(const Coordinate&) const = default;
};

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
