// Sizes and small helpers shared by the files that place and paint shapes.
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "orvane/constants.hpp"
#include "orvane/coordinate.hpp"
#include "orvane/painter.hpp"

namespace orvane {

class Shape;

namespace paint {

inline constexpr double PI = 3.14159265358979323846;
inline constexpr double EVENT_SIZE = 36;
inline constexpr double GATEWAY_SIZE = 50;
inline constexpr double ACTIVITY_WIDTH = Configs::BOX_WIDTH - 10;
inline constexpr double ACTIVITY_HEIGHT = Configs::BOX_HEIGHT;
inline constexpr double TERMINATOR_HEIGHT = 50;
inline constexpr double ACTIVITY_RADIUS = 10;
inline constexpr double TEXT_PADDING = 5;
/// Height of the marker strip at the bottom of an activity ([+], loop, compensation, ...).
inline constexpr double MARKER_SIZE = 14;
inline constexpr double LABEL_GAP = 4;

inline std::string or_default(const std::string& value, const std::string& fallback) {
  return value.empty() ? fallback : value;
}

inline Box inset(const Box& box, double by) {
  return {box.x + by, box.y + by, std::max(0.0, box.width - 2 * by),
          std::max(0.0, box.height - 2 * by)};
}

inline Box square(double cx, double cy, double size) {
  return {cx - size / 2, cy - size / 2, size, size};
}

inline bool overlaps(const Box& a, const Box& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

/// Whether a box has been given a place: a size and a finite position.
inline bool placed(const Box& box) {
  return box.width > 0 && box.height > 0 && std::isfinite(box.x) && std::isfinite(box.y);
}

/// The smallest box holding both.
inline Box unite(const Box& a, const Box& b) {
  const double x = std::min(a.x, b.x);
  const double y = std::min(a.y, b.y);
  return {x, y, std::max(a.right(), b.right()) - x, std::max(a.bottom(), b.bottom()) - y};
}

/// The text style of a shape's name: its own font, else the painter's element font.
TextStyle name_style(const Shape& shape, const Painter& painter);

/// Where a shape's name is inked: the bounds of its laid-out text (the shape's box when the name
/// is drawn inside it or is empty).
Box name_ink(const Shape& shape, const Painter& painter);

}  // namespace paint
}  // namespace orvane

namespace orvane {
class Activity;
class Event;
enum class EventTrigger;

namespace paint {

/// The circle of an event (thin, double or thick; dashed when not interrupting) and its marker.
void draw_event(Painter& p, const Event& event, const Box& box, const std::string& fill,
                const std::string& ink, double width);
/// The marker of `trigger` inside the event circle `box`: filled for a throwing event.
void draw_trigger(Painter& p, EventTrigger trigger, const Box& box, bool filled,
                  const std::string& ink, const std::string& fill);
/// An activity's outline for its form, its task-type icon, its markers and its start trigger
/// (event sub-processes).
void draw_activity(Painter& p, const Activity& activity, const Box& box, const std::string& fill,
                   const std::string& ink, double width);
/// How much of an activity's bottom its markers take (0 without markers).
double marker_strip(const Activity& activity);

}  // namespace paint
}  // namespace orvane

namespace orvane::paint {
/// Where an activity drawn in `box` shows an icon in its top-left corner (task types, event
/// sub-processes), if it does.
std::optional<Box> corner_icon(const Activity& activity, const Box& box);
}  // namespace orvane::paint
