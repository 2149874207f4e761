// The checked form of what a painter is asked to draw, shared by every painter: colours read
// once, strokes that draw nothing dropped, and geometry that cannot be drawn recognised.
#pragma once

#include <string>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/painter.hpp"
#include "orvane/theme.hpp"

namespace orvane {

/// A colour that may be unset (an empty text: nothing is drawn).
struct Colour {
  bool set = false;
  Rgba rgba;
};

/// Reads `text`; throws std::invalid_argument for a colour that cannot be read.
Colour colour(const std::string& text);

/// A line style with its colour read; unset when the line draws nothing (no colour, or no
/// usable width). Dashes keep only usable lengths.
struct Stroke {
  Colour colour;
  double width = 1;
  std::vector<double> dash;
};

Stroke stroke_of(const LineStyle& line);

/// Finite and of positive size.
bool finite_box(const Box& box);
bool finite_points(const std::vector<Point>& points);
/// The corner radius a box of this size can take.
double corner_radius_for(const Box& box, double radius);

}  // namespace orvane
