#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "orvane/constants.hpp"
#include "orvane/export.hpp"
#include "orvane/painter.hpp"

namespace orvane {

class Pool;

/// Computes the route (orthogonal waypoints, sides) and label box of every connection of the
/// diagram from the shapes' drawn boxes, and stores them on the connections; the messages to
/// and from black-box pools included (route_black_box_messages). Labels are measured through
/// `painter`. Connections whose source or target is not placed (empty box) get no route.
ORVANE_API void route_connections(const std::vector<std::unique_ptr<Pool>>& pools,
                                  const Painter& painter);

/// The text style of connection labels: the theme's element font, two points smaller than
/// shape names. Routing measures with it and painting draws with it.
inline TextStyle connection_label_style(const Painter& painter) {
  TextStyle style;
  style.font = painter.element_font;
  const int size = painter.element_font_size > 0 ? painter.element_font_size : 12;
  style.font_size = size > 10 ? size - 2 : size;
  style.colour = painter.element_font_colour;
  style.alignment = "centre";
  style.vertical_alignment = "middle";
  style.wrap = true;
  return style;
}

/// The arrowhead at a connection's end: ARROW_LENGTH long (at most the last segment's length),
/// ARROW_HALF_WIDTH wide either side of the line (an open arrow of a data association a fifth
/// wider). A message flow starts with a circle of SOURCE_CIRCLE_RADIUS (at most a quarter of
/// its first segment) just outside its source. Names and labels keep clear of them.
inline constexpr double ARROW_LENGTH = 10;
inline constexpr double ARROW_HALF_WIDTH = 4;
inline constexpr double SOURCE_CIRCLE_RADIUS = 4;

/// The marks a sequence flow carries at its start, which names and labels keep clear of. A
/// default flow's slash crosses the line at 45 degrees, DEFAULT_MARK_AT along it (at most half
/// the first segment), DEFAULT_MARK_HALF long either side of the crossing; a conditional flow
/// from an activity starts with a diamond CONDITION_MARK_LENGTH long (at most half the first
/// segment) and CONDITION_MARK_HALF_WIDTH wide either side of the line.
inline constexpr double DEFAULT_MARK_AT = 10;
inline constexpr double DEFAULT_MARK_HALF = 6;
inline constexpr double CONDITION_MARK_LENGTH = 16;
inline constexpr double CONDITION_MARK_HALF_WIDTH = 5;

/// Widest a connection label grows before it wraps, in pixels.
inline constexpr double CONNECTION_LABEL_MAX_WIDTH = 100;
/// Most lines a connection label's box holds: a longer text is set smaller or cut to fit, as
/// shape names are, rather than running down the whole picture.
inline constexpr int CONNECTION_LABEL_MAX_LINES = 4;

/// The size of a connection label's text in `style`: at most CONNECTION_LABEL_MAX_WIDTH wide
/// and CONNECTION_LABEL_MAX_LINES lines high.
inline TextExtent connection_label_extent(const Painter& painter, const std::string& label,
                                          const TextStyle& style) {
  TextExtent text = painter.measure_text(label, style, CONNECTION_LABEL_MAX_WIDTH);
  const TextExtent line = painter.measure_text("Hg", style, CONNECTION_LABEL_MAX_WIDTH);
  if (line.height > 0 && text.height > CONNECTION_LABEL_MAX_LINES * line.height) {
    text.height = CONNECTION_LABEL_MAX_LINES * line.height;
  }
  return text;
}

/// How far a message to or from a black-box pool runs at least beside a shape or name it
/// passes.
inline constexpr double BLACK_BOX_CLEARANCE = 6;

/// How far apart two messages to or from black-box pools run at least side by side.
inline constexpr double BLACK_BOX_RUN_SPACING = 12;

/// Where message number `i` of the `n` between a shape (box `shape`) and black-box pools meets
/// the shape's top or bottom: side by side 12 px apart (closer on a narrow shape) about its
/// middle, and within the band `band` of the pool it runs to, clear of the band's name strip.
inline double black_box_message_x(const Box& shape, const Box& band, std::size_t i, std::size_t n) {
  const double spread = std::min(12.0, shape.width / static_cast<double>(n + 1));
  const double x =
      shape.centre_x() + (static_cast<double>(i) - (static_cast<double>(n) - 1) / 2.0) * spread;
  const double lo = band.x + Configs::POOL_TEXT_WIDTH + 4;
  const double hi = band.right() - 4;
  return x < lo ? lo : (hi < x ? hi : x);
}

/// Where along a shape's side (from `lo` to `hi`) a message to or from a black-box pool looks
/// for a way straight to the band when the way from `x` is blocked: steps of 12 px either side of
/// `x`, nearest first, 10 px inside the side's ends, at most 40 steps each way.
inline std::vector<double> black_box_straight_xs(double x, double lo, double hi) {
  std::vector<double> out;
  if (!(lo <= x && x <= hi)) return out;
  for (int step = 1; step <= 40; ++step) {
    const double off = 12.0 * step;
    if (x + off > hi - 10 && x - off < lo + 10) break;
    if (x + off <= hi - 10) out.push_back(x + off);
    if (x - off >= lo + 10) out.push_back(x - off);
  }
  return out;
}

/// An SVG picture of the routing instance (shape boxes, shape label boxes, routes and
/// connection labels) for looking at a routing problem.
ORVANE_API std::string routing_debug_svg(const std::vector<std::unique_ptr<Pool>>& pools);

}  // namespace orvane
