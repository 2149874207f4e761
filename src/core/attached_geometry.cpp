// Where the shapes without a cell go: boundary events on their activity's lower border, groups
// around their members, text annotations in free space beside the shape they explain.
#include "orvane/attached_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"
#include "orvane/routing.hpp"
#include "paint_support.hpp"

namespace orvane {

using namespace paint;

namespace {

constexpr double BOUNDARY_LABEL_WIDTH = 100;
constexpr double BOUNDARY_LABEL_HEIGHT = 28;
constexpr double GROUP_PADDING = 10;
constexpr double ANNOTATION_MAX_WIDTH = 150;
constexpr double ANNOTATION_GAP = 14;

double overlap_area(const Box& a, const Box& b) {
  const double w = std::min(a.right(), b.right()) - std::max(a.x, b.x);
  const double h = std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

// How far out of `area` a box reaches, as an area.
double outside_area(const Box& box, const Box& area) {
  return box.width * box.height - overlap_area(box, area);
}

// Where the straight line from `from` towards the centre of a shape meets the shape's outline.
Point outline_point(const Shape& shape, const Point& from) {
  const Box& b = shape.box;
  const double cx = b.centre_x();
  const double cy = b.centre_y();
  const double dx = from.x - cx;
  const double dy = from.y - cy;
  if (dx == 0 && dy == 0) return {cx, cy};
  const double hw = b.width / 2;
  const double hh = b.height / 2;
  double t = 1;
  switch (shape.kind()) {
    case ShapeKind::EVENT:
      t = hw / std::hypot(dx, dy);
      break;
    case ShapeKind::GATEWAY:
      t = 1 / (std::fabs(dx) / hw + std::fabs(dy) / hh);
      break;
    default:
      t = std::min(dx != 0 ? hw / std::fabs(dx) : std::numeric_limits<double>::infinity(),
                   dy != 0 ? hh / std::fabs(dy) : std::numeric_limits<double>::infinity());
      break;
  }
  return {cx + dx * t, cy + dy * t};
}

// Where the line from the centre of `box` towards `to` leaves the box.
Point box_exit(const Box& box, const Point& to) {
  const double cx = box.centre_x();
  const double cy = box.centre_y();
  const double dx = to.x - cx;
  const double dy = to.y - cy;
  if (dx == 0 && dy == 0) return {cx, cy};
  const double t =
      std::min(dx != 0 ? box.width / 2 / std::fabs(dx) : std::numeric_limits<double>::infinity(),
               dy != 0 ? box.height / 2 / std::fabs(dy) : std::numeric_limits<double>::infinity());
  return {cx + dx * t, cy + dy * t};
}

// The box a shape marks on the picture: its outline and, for names set outside it, the name.
void add_obstacles(const Shape& shape, const Painter& painter, std::vector<Box>& out) {
  if (!placed(shape.box)) return;
  if (shape.kind() == ShapeKind::GROUP || shape.kind() == ShapeKind::PARTICIPANT) return;
  out.push_back(shape.box);
  const Box ink = name_ink(shape, painter);
  if (placed(ink) && !(ink == shape.box)) out.push_back(ink);
}

void place_group(Group& group, Painter& painter) {
  std::optional<Box> content;
  for (const Shape* member : group.members) {
    if (member == nullptr || !placed(member->box)) continue;
    Box extent = member->box;
    const Box ink = name_ink(*member, painter);
    if (placed(ink)) extent = unite(extent, ink);
    if (const auto* activity = dynamic_cast<const Activity*>(member)) {
      for (const TypedEvent* event : activity->boundary_events) {
        if (event == nullptr || !placed(event->box)) continue;
        extent = unite(extent, event->box);
        const Box name = name_ink(*event, painter);
        if (placed(name)) extent = unite(extent, name);
      }
    }
    content = content ? unite(*content, extent) : extent;
  }
  if (!content) return;
  group.box = inset(*content, -GROUP_PADDING);
  group.set_draw_position(painter);
  if (!group.name.empty()) {
    const TextStyle style = name_style(group, painter);
    const TextExtent text = painter.measure_text(group.name, style, group.box.width - 8);
    const double h = std::ceil(text.height) + 4;
    group.box.y -= h;
    group.box.height += h;
    group.label_box = {group.box.x + 4, group.box.y + 2, std::max(0.0, group.box.width - 8), h};
  } else {
    group.label_box = {};
  }
}

// The region of the lane where shapes stand (its label band excluded).
Box lane_area(const Lane& lane) {
  return {static_cast<double>(lane.coord.x_pos) + Configs::LANE_TEXT_WIDTH + 2,
          static_cast<double>(lane.coord.y_pos) + 2,
          std::max(0.0, static_cast<double>(lane.width) - Configs::LANE_TEXT_WIDTH - 4),
          std::max(0.0, static_cast<double>(lane.height) - 4)};
}

void place_annotation(TextAnnotation& note, const Lane& lane, Painter& painter,
                      std::vector<Box>& obstacles) {
  Shape* anchor = note.annotated();
  if (anchor == nullptr || !placed(anchor->box)) return;
  note.font = note.font.empty() ? painter.element_font : note.font;
  note.font_size = note.font_size > 0 ? note.font_size : painter.element_font_size;
  TextStyle style = name_style(note, painter);
  const TextExtent text = painter.measure_text(note.name, style, ANNOTATION_MAX_WIDTH);
  const double w = std::ceil(std::min(text.width, ANNOTATION_MAX_WIDTH)) + 12;
  const double h = std::max(24.0, std::ceil(text.height) + 6);
  const Box& b = anchor->box;
  const double g = ANNOTATION_GAP;
  // Beside the shape, above its middle first, where the flows through it do not run.
  const std::vector<Point> corners{
      {b.right() + g, b.y - h - g / 2},      {b.x - w - g, b.y - h - g / 2},
      {b.right() + g, b.bottom() + g / 2},   {b.x - w - g, b.bottom() + g / 2},
      {b.centre_x() - w / 2, b.y - h - g},   {b.centre_x() - w / 2, b.bottom() + g},
      {b.right() + g, b.centre_y() - h - 6}, {b.x - w - g, b.centre_y() - h - 6},
  };
  const Box area = lane_area(lane);
  Box best{};
  double best_cost = std::numeric_limits<double>::infinity();
  for (const Point& corner : corners) {
    const Box candidate{corner.x, corner.y, w, h};
    double cost = 4 * outside_area(candidate, area);
    for (const Box& obstacle : obstacles) cost += overlap_area(candidate, obstacle);
    if (cost < best_cost) {
      best_cost = cost;
      best = candidate;
      if (cost == 0) break;
    }
  }
  // Pushed back inside the lane where the lane is large enough for it.
  if (area.width >= w) best.x = std::clamp(best.x, area.x, area.right() - w);
  if (area.height >= h) best.y = std::clamp(best.y, area.y, area.bottom() - h);
  note.coord = std::make_shared<Coordinate>();
  note.coord->x_pos = static_cast<int>(std::lround(best.x));
  note.coord->y_pos = static_cast<int>(std::lround(best.y));
  note.box = {static_cast<double>(note.coord->x_pos), static_cast<double>(note.coord->y_pos), w, h};
  note.set_draw_position(painter);
  obstacles.push_back(note.box);

  Connection& association = note.connection_to->front();
  const Point centre{b.centre_x(), b.centre_y()};
  const Point start = box_exit(note.box, centre);
  association.waypoints = {start, outline_point(*anchor, start)};
  association.label_box.reset();
}

}  // namespace

void Activity::set_draw_position(Painter& painter) {
  Shape::set_draw_position(painter);
  for (TypedEvent* event : boundary_events) {
    if (event != nullptr) event->set_draw_position(painter);
  }
}

void TypedEvent::set_draw_position(Painter& painter) {
  Shape::set_draw_position(painter);
  if (attached_to == nullptr) return;
  const Box host = attached_to->box;
  const auto& events = attached_to->boundary_events;
  const auto found = std::find(events.begin(), events.end(), this);
  const std::size_t n = events.size();
  const std::size_t i =
      found == events.end() ? 0 : static_cast<std::size_t>(found - events.begin());
  const double corner = EVENT_SIZE / 2 + 4;
  double cx = host.right() - corner;
  if (n == 2) {
    cx = i == 0 ? host.x + corner : host.right() - corner;
  } else if (n > 2) {
    const double step = std::max((host.width - 8) / static_cast<double>(n), EVENT_SIZE + 4);
    cx = host.centre_x() + (static_cast<double>(i) - (static_cast<double>(n) - 1) / 2) * step;
  }
  box = square(cx, host.bottom(), EVENT_SIZE);
  // One event's name sits beside it, right of the circle below the activity's border; the
  // names of several sit below their circles, each as wide as its share of the border, down to
  // the next row or the lane's edge.
  if (n == 1) {
    label_box = {box.right() + 1, host.bottom() + 2, BOUNDARY_LABEL_WIDTH, BOUNDARY_LABEL_HEIGHT};
    text_alignment = "left";
    return;
  }
  const double step = std::max((host.width - 8) / static_cast<double>(n), EVENT_SIZE + 4);
  double bottom = box.bottom() + 2 + BOUNDARY_LABEL_HEIGHT;
  if (const Lane* lane = owner_lane; lane != nullptr && lane->height > 0) {
    bottom = std::min(bottom, static_cast<double>(lane->coord.y_pos + lane->height) - 2);
  }
  label_box = {cx - step / 2, box.bottom() + 1, step, std::max(0.0, bottom - box.bottom() - 1)};
  text_alignment = "centre";
}

void position_attached_shapes(const std::vector<std::unique_ptr<Pool>>& pools, Painter& painter) {
  // The obstacles are for placing notes only; without notes, measuring every shape's name for
  // them would cost a large diagram seconds for nothing.
  bool notes = false;
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->attached) notes = notes || dynamic_cast<TextAnnotation*>(shape);
    }
  }
  if (!notes) {
    fit_groups(pools, painter);
    return;
  }
  std::vector<Box> obstacles;
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->shapes) add_obstacles(*shape, painter, obstacles);
      for (Shape* shape : lane->attached) {
        if (shape->kind() == ShapeKind::EVENT) add_obstacles(*shape, painter, obstacles);
      }
    }
  }
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->attached) {
        if (auto* group = dynamic_cast<Group*>(shape)) {
          place_group(*group, painter);
          if (!group->name.empty() && placed(group->label_box)) {
            obstacles.push_back(name_ink(*group, painter));
          }
        }
      }
    }
  }
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->attached) {
        if (auto* note = dynamic_cast<TextAnnotation*>(shape)) {
          place_annotation(*note, *lane, painter, obstacles);
        }
      }
    }
  }
}

void fit_groups(const std::vector<std::unique_ptr<Pool>>& pools, Painter& painter) {
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->attached) {
        if (auto* group = dynamic_cast<Group*>(shape)) place_group(*group, painter);
      }
    }
  }
}

}  // namespace orvane
