// Where the shapes without a cell go: boundary events on their activity's lower border, groups
// around their members, text annotations in free space beside the shape they explain.
#include "orvane/attached_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>

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
constexpr int MAX_GROUP_NESTING = 8;
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

// The box round a group's members, their boundary events and all their names.
std::optional<Box> group_content(const Group& group, Painter& painter) {
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
  return content;
}

// Frames `group` round `held` (its members and the frames of groups inside it), GROUP_PADDING
// out, with its name above. Inside `bound` (where its members' pools hold shapes) where that
// leaves the frame round `held`, and off the shapes around (`free` tells whether a box meets
// none): the padding may shrink to make room for the name, and where there is none above
// (nested groups on a pool's top row, a shape right above) the name goes below, or else into
// the frame's top band beside the frames of the groups inside (`inner`). Only where none of
// these fits does the frame reach past the bound, name above, as it would with no bound.
template <typename Free>
void frame_group(Group& group, const Box& held, const std::optional<Box>& bound,
                 const std::vector<Box>& inner, const Free& free, Painter& painter) {
  constexpr double LEAST_PADDING = 2;
  Box frame = inset(held, -GROUP_PADDING);
  if (bound) {
    const double left = std::max(frame.x, std::min(bound->x, held.x - LEAST_PADDING));
    const double right =
        std::min(frame.right(), std::max(bound->right(), held.right() + LEAST_PADDING));
    frame.x = left;
    frame.width = right - left;
  }
  double h = 0, text_width = 0;
  if (!group.name.empty()) {
    const TextStyle style = name_style(group, painter);
    const TextExtent text = painter.measure_text(group.name, style, frame.width - 8);
    h = std::ceil(text.height) + 4;
    text_width = std::ceil(text.width);
  }
  const double least_top = held.y - LEAST_PADDING, least_bottom = held.bottom() + LEAST_PADDING;
  // The frame from `top` to `bottom`, the name in `label` (its box's top band when `label`
  // reaches above `top`, its bottom band when below `bottom`).
  double top = frame.y, bottom = frame.bottom();
  Box label{frame.x + 4, top - h + 2, std::max(0.0, frame.width - 8), h};
  auto band_free = [&](double from, double to) {
    return to <= from || free(Box{frame.x, from, frame.width, to - from});
  };
  if (bound) {
    bottom = std::min(bottom, std::max(bound->bottom(), least_bottom));
    const double above = std::max(top, bound->y + h);
    const double below = std::min(frame.bottom(), bound->bottom() - h);
    if (above <= least_top && band_free(above - h, held.y)) {
      top = above;
      label.y = top - h + 2;
    } else if (h > 0 && below >= least_bottom && band_free(held.bottom(), below + h)) {
      top = std::max(top, std::min(bound->y, least_top));
      bottom = below;
      label.y = bottom - 2;
    } else {
      // In the top band, where the frames inside leave a stretch wide enough.
      const double band_top = std::max(top, std::min(bound->y, least_top));
      std::vector<std::pair<double, double>> taken;
      for (const Box& n : inner) {
        if (n.y < band_top + 2 + h && n.bottom() > band_top + 2)
          taken.emplace_back(n.x - 8, n.right() + 8);
      }
      std::sort(taken.begin(), taken.end());
      double from = frame.x + 4;
      std::optional<Box> beside;
      for (std::size_t k = 0; k <= taken.size() && h > 0; ++k) {
        const double to = k < taken.size() ? taken[k].first : frame.right() - 4;
        const Box place{from, band_top + 2, to - from, h};
        if (to - from >= text_width && free(place)) {
          beside = place;
          break;
        }
        if (k < taken.size()) from = std::max(from, taken[k].second);
      }
      if (beside) {
        top = band_top;
        label = *beside;
      } else {
        top = std::max(top, std::min(bound->y + h, least_top));
        label.y = top - h + 2;
      }
    }
  }
  frame.y = top;
  frame.height = bottom - top;
  group.box = frame;
  group.set_draw_position(painter);
  if (group.name.empty()) {
    group.label_box = {};
    return;
  }
  if (label.y < top) {
    group.box.y -= h;
    group.box.height += h;
  } else if (label.y >= bottom - 2) {
    group.box.height += h;
  }
  group.label_box = label;
}

// The region of the lane where shapes stand (its label band excluded).
Box lane_area(const Lane& lane) {
  return {static_cast<double>(lane.coord.x_pos) + Configs::LANE_TEXT_WIDTH + 2,
          static_cast<double>(lane.coord.y_pos) + 2,
          std::max(0.0, static_cast<double>(lane.width) - Configs::LANE_TEXT_WIDTH - 4),
          std::max(0.0, static_cast<double>(lane.height) - 4)};
}

// Whether the straight line a-b passes through the inside of `box`.
bool line_crosses(const Point& a, const Point& b, const Box& box) {
  double t0 = 0, t1 = 1;
  const double d[2] = {b.x - a.x, b.y - a.y};
  const double lo[2] = {box.x - a.x, box.y - a.y};
  const double hi[2] = {box.right() - a.x, box.bottom() - a.y};
  for (int k = 0; k < 2; ++k) {
    if (d[k] == 0) {
      if (lo[k] >= 0 || hi[k] <= 0) return false;
      continue;
    }
    double near = lo[k] / d[k], far = hi[k] / d[k];
    if (near > far) std::swap(near, far);
    t0 = std::max(t0, near);
    t1 = std::min(t1, far);
    if (t0 >= t1) return false;
  }
  return true;
}

// Boxes listed by the square cells they reach into, so that a look round a place costs what
// lies near it, not all the diagram holds (a diagram may have thousands of notes).
class BoxGrid {
 public:
  void add(const Box& box) {
    const int id = static_cast<int>(boxes_.size());
    boxes_.push_back(box);
    seen_.push_back(0);
    dead_.push_back(0);
    if (!placed(box) || cells(box) > MAX_CELLS) {
      wide_.push_back(id);
      return;
    }
    for_cells(box, [&](std::int64_t key) { cells_[key].push_back(id); });
  }
  // Takes box `id` out of the lists.
  void remove(int id) { dead_[static_cast<std::size_t>(id)] = 1; }
  // Calls f(id, box) once for each box listed where `region` reaches (ids count from 0 in the
  // order the boxes were added).
  template <typename F>
  void visit(const Box& region, F&& f) const {
    ++look_;
    auto once = [&](int id) {
      if (dead_[static_cast<std::size_t>(id)] != 0) return;
      if (seen_[static_cast<std::size_t>(id)] == look_) return;
      seen_[static_cast<std::size_t>(id)] = look_;
      f(id, boxes_[static_cast<std::size_t>(id)]);
    };
    for (const int id : wide_) once(id);
    if (!placed(region) || cells(region) > MAX_CELLS) {
      for (std::size_t id = 0; id < boxes_.size(); ++id) once(static_cast<int>(id));
      return;
    }
    for_cells(region, [&](std::int64_t key) {
      const auto it = cells_.find(key);
      if (it == cells_.end()) return;
      // Boxes taken out leave their cells here, each once.
      std::erase_if(it->second, [&](int id) { return dead_[static_cast<std::size_t>(id)] != 0; });
      for (const int id : it->second) once(id);
    });
  }

 private:
  static constexpr double CELL = 256;
  static constexpr double MAX_CELLS = 256;
  static double cells(const Box& b) {
    return (std::floor(b.right() / CELL) - std::floor(b.x / CELL) + 1) *
           (std::floor(b.bottom() / CELL) - std::floor(b.y / CELL) + 1);
  }
  template <typename F>
  static void for_cells(const Box& b, F&& f) {
    const auto x0 = static_cast<std::int64_t>(std::floor(b.x / CELL));
    const auto x1 = static_cast<std::int64_t>(std::floor(b.right() / CELL));
    const auto y0 = static_cast<std::int64_t>(std::floor(b.y / CELL));
    const auto y1 = static_cast<std::int64_t>(std::floor(b.bottom() / CELL));
    for (auto x = x0; x <= x1; ++x) {
      for (auto y = y0; y <= y1; ++y) f(x * 4'000'000'000LL + y);
    }
  }
  std::vector<Box> boxes_;
  std::vector<int> wide_;
  mutable std::unordered_map<std::int64_t, std::vector<int>> cells_;
  std::vector<char> dead_;
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t look_ = 0;
};

// What a note must keep off: the shapes and names drawn and the notes placed before (`boxes`),
// the straight stretches between shapes that face each other in a row or a column, where their
// flows will most likely run (`flows`), and the notes' lines to their shapes (`lines`, listed
// by their boxes, with their ends).
struct NoteObstacles {
  BoxGrid boxes;
  BoxGrid flows;
  BoxGrid line_boxes;
  std::vector<std::pair<Point, Point>> lines;
  void add_line(const Point& a, const Point& b) {
    line_boxes.add(segment_bounds(a, b));
    lines.emplace_back(a, b);
  }
  static Box segment_bounds(const Point& a, const Point& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(std::fabs(b.x - a.x), 1.0),
            std::max(std::fabs(b.y - a.y), 1.0)};
  }
};

void add_likely_flows(const std::vector<std::unique_ptr<Pool>>& pools, std::vector<Box>& out) {
  constexpr double HALF_WIDTH = 3;
  auto add = [&](const Shape& shape) {
    if (!shape.connection_to || !placed(shape.box)) return;
    for (const Connection& c : *shape.connection_to) {
      if (c.target == nullptr || c.target == &shape || !placed(c.target->box)) continue;
      const Box& a = shape.box;
      const Box& b = c.target->box;
      if (std::fabs(a.centre_y() - b.centre_y()) < 1) {
        const double x0 = std::min(a.right(), b.right()), x1 = std::max(a.x, b.x);
        if (x1 > x0) out.push_back({x0, a.centre_y() - HALF_WIDTH, x1 - x0, 2 * HALF_WIDTH});
      } else if (std::fabs(a.centre_x() - b.centre_x()) < 1) {
        const double y0 = std::min(a.bottom(), b.bottom()), y1 = std::max(a.y, b.y);
        if (y1 > y0) out.push_back({a.centre_x() - HALF_WIDTH, y0, 2 * HALF_WIDTH, y1 - y0});
      }
    }
  };
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) add(*shape);
      for (const Shape* shape : lane->attached) {
        if (shape->kind() == ShapeKind::EVENT) add(*shape);
      }
    }
  }
}

// How much a note at `box`, joined by a line from `from` to `to`, is in the way: over a shape,
// name or note above all, then its line across one (or another note's line across it), then
// over a likely flow, out of its lane, and least, closer to what it keeps off than a route
// needs to pass between, and far from its shape.
double note_cost(const Box& box, const Point& from, const Point& to, const Box& area,
                 const Shape& anchor, const NoteObstacles& obstacles) {
  constexpr double KEEP_OFF = 12;
  const double gap = std::max({anchor.box.x - box.right(), box.x - anchor.box.right(),
                               anchor.box.y - box.bottom(), box.y - anchor.box.bottom(), 0.0});
  double cost = 20 * outside_area(box, area) + 8 * std::max(0.0, gap - ANNOTATION_GAP);
  obstacles.line_boxes.visit(box, [&](int id, const Box&) {
    const auto& [p, q] = obstacles.lines[static_cast<std::size_t>(id)];
    if (line_crosses(p, q, box)) cost += 50000;
  });
  const Box near = inset(box, -KEEP_OFF);
  obstacles.boxes.visit(near, [&](int, const Box& o) {
    if (!overlaps(near, o)) return;
    cost += 1000 * overlap_area(box, o) + overlap_area(near, o);
  });
  obstacles.boxes.visit(NoteObstacles::segment_bounds(from, to), [&](int, const Box& o) {
    if (!(o == anchor.box) && line_crosses(from, to, o)) cost += 50000;
  });
  obstacles.flows.visit(box, [&](int, const Box& f) { cost += 50 * overlap_area(box, f); });
  return cost;
}

void place_annotation(TextAnnotation& note, const Lane& lane, Painter& painter,
                      NoteObstacles& obstacles) {
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
  // Beside the shape, above its middle first, where the flows through it do not run; then
  // further out (sideways, above and below), and along the lane's edges above and below it.
  std::vector<Point> corners{
      {b.right() + g, b.y - h - g / 2},      {b.x - w - g, b.y - h - g / 2},
      {b.right() + g, b.bottom() + g / 2},   {b.x - w - g, b.bottom() + g / 2},
      {b.centre_x() - w / 2, b.y - h - g},   {b.centre_x() - w / 2, b.bottom() + g},
      {b.right() + g, b.centre_y() - h - 6}, {b.x - w - g, b.centre_y() - h - 6},
  };
  for (const double out : {3 * g, 6 * g}) {
    corners.insert(corners.end(), {{b.right() + out, b.y - h - g / 2},
                                   {b.x - w - out, b.y - h - g / 2},
                                   {b.right() + out, b.bottom() + g / 2},
                                   {b.x - w - out, b.bottom() + g / 2},
                                   {b.right() + out, b.centre_y() - h / 2},
                                   {b.x - w - out, b.centre_y() - h / 2},
                                   {b.centre_x() - w / 2, b.y - h - out},
                                   {b.centre_x() - w / 2, b.bottom() + out}});
  }
  // A little way in from the lane's borders, where the lane has room for that.
  Box area = lane_area(lane);
  if (area.width >= w + 8) area = {area.x + 4, area.y, area.width - 8, area.height};
  if (area.height >= h + 8) area = {area.x, area.y + 4, area.width, area.height - 8};
  for (const double x : {b.centre_x() - w / 2, b.right() + g, b.x - w - g}) {
    corners.insert(corners.end(), {{x, area.y}, {x, area.bottom() - h}});
  }
  const Point centre{b.centre_x(), b.centre_y()};
  Box best{};
  double best_cost = std::numeric_limits<double>::infinity();
  // Each place pushed inside the lane where the lane is large enough for it, and, where the
  // lane has no free room, inside its pool: better a little out of the lane than over a shape,
  // but never out of the pool, where it may meet the title or another pool, or leave the page.
  auto inside = [&](const Point& corner, const std::optional<Box>& bound) {
    Box candidate{corner.x, corner.y, w, h};
    if (bound && bound->width >= w)
      candidate.x = std::clamp(candidate.x, bound->x, bound->right() - w);
    if (bound && bound->height >= h)
      candidate.y = std::clamp(candidate.y, bound->y, bound->bottom() - h);
    return candidate;
  };
  std::optional<Box> pool_area;  // none for a lane outside any pool: places stay as they are
  if (const Pool* pool = lane.pool(); pool != nullptr && pool->width > 0 && pool->height > 0) {
    pool_area = Box{static_cast<double>(pool->coord.x_pos), static_cast<double>(pool->coord.y_pos),
                    static_cast<double>(pool->width), static_cast<double>(pool->height)};
  }
  std::vector<Box> candidates;
  for (const Point& corner : corners) candidates.push_back(inside(corner, area));
  for (const Point& corner : corners) candidates.push_back(inside(corner, pool_area));
  for (const Box& candidate : candidates) {
    const Point start = box_exit(candidate, centre);
    const double cost =
        note_cost(candidate, start, outline_point(*anchor, start), area, *anchor, obstacles);
    if (cost < best_cost) {
      best_cost = cost;
      best = candidate;
      if (cost == 0) break;
    }
  }
  note.coord = std::make_shared<Coordinate>();
  note.coord->x_pos = static_cast<int>(std::lround(best.x));
  note.coord->y_pos = static_cast<int>(std::lround(best.y));
  note.box = {static_cast<double>(note.coord->x_pos), static_cast<double>(note.coord->y_pos), w, h};
  note.set_draw_position(painter);
  obstacles.boxes.add(note.box);

  Connection& association = note.connection_to->front();
  const Point start = box_exit(note.box, centre);
  association.waypoints = {start, outline_point(*anchor, start)};
  association.label_box.reset();
  obstacles.add_line(association.waypoints.front(), association.waypoints.back());
}

}  // namespace

void Activity::set_draw_position(Painter& painter) {
  Shape::set_draw_position(painter);
  for (TypedEvent* event : boundary_events) {
    if (event != nullptr) event->set_draw_position(painter);
  }
  // A name of many lines reaches down to the events on the border: it ends above those its
  // text would meet (and shrinks if it must), as it does round the corner icon.
  if (name.empty() || boundary_events.empty()) return;
  const Box set = painter.text_bounds(name, label_box, paint::name_style(*this, painter));
  double end = label_box.bottom();
  for (const TypedEvent* event : boundary_events) {
    if (event != nullptr && placed(event->box) && overlap_area(set, event->box) > 0)
      end = std::min(end, event->box.y - 1);
  }
  label_box.height = std::max(0.0, std::min(label_box.height, end - label_box.y));
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
  // The name's style, and as small as texts shrink: 8 pt, or 70 % of its size.
  const TextStyle style = Shape::name_style(painter);
  TextStyle smallest = style;
  const double size = std::max(1, smallest.font_size);
  smallest.font_size = static_cast<int>(std::ceil(std::min(size, std::max(8.0, 0.7 * size))));
  // The first and last events have room outwards, beyond their share: where their name's
  // longest word would not fit the share even at that size, and so be broken inside, the name
  // widens that way to hold the word at that size.
  if (i == 0 || i + 1 == n) {
    double longest = 0;
    std::istringstream words(name);
    for (std::string word; words >> word;) {
      longest = std::max(longest, painter.measure_text(word, smallest, 10000).width);
    }
    const double wanted = std::min(std::ceil(longest) + 4, step + BOUNDARY_LABEL_WIDTH / 2);
    if (wanted > step) {
      if (i == 0) label_box.x -= wanted - step;
      label_box.width = wanted;
    }
  }
  // Where the lane ends too close below the circles for the name to wrap, so that it would be
  // cut, it goes on one line at the smallest size instead, reaching outwards from the first and
  // last events and both ways from a middle one: a long name beats a cut one.
  if (name.empty() || !painter.layout_text(name, label_box, style).cut) {
    return;
  }
  const TextExtent line = painter.measure_text(name, smallest, 100000);
  // (A name too long even for a line as wide as the activity and a name's width either side is
  // still cut: a line across the row would run into the shapes beside.)
  const double wanted = std::min(std::ceil(line.width) + 4, host.width + 2 * BOUNDARY_LABEL_WIDTH);
  if (wanted <= label_box.width) return;
  if (i == 0) {
    label_box.x = label_box.right() - wanted;
    text_alignment = "right";
  } else if (i + 1 == n) {
    text_alignment = "left";
  } else {
    label_box.x -= (wanted - label_box.width) / 2;
  }
  label_box.width = wanted;
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
  NoteObstacles obstacles;
  std::vector<Box> boxes;
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->shapes) add_obstacles(*shape, painter, boxes);
      for (Shape* shape : lane->attached) {
        if (shape->kind() != ShapeKind::EVENT) continue;
        add_obstacles(*shape, painter, boxes);
        // Round a boundary event, where the router may move its name off its flow.
        const Box& e = shape->box;
        if (placed(e)) {
          boxes.push_back({e.x - BOUNDARY_LABEL_WIDTH / 2, e.y, e.width + BOUNDARY_LABEL_WIDTH,
                           e.height + BOUNDARY_LABEL_HEIGHT});
        }
      }
    }
  }
  for (const Box& b : boxes) obstacles.boxes.add(b);
  boxes.clear();
  add_likely_flows(pools, boxes);
  for (const Box& b : boxes) obstacles.flows.add(b);
  fit_groups(pools, painter);
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->attached) {
        if (auto* group = dynamic_cast<Group*>(shape)) {
          if (!group->name.empty() && placed(group->label_box)) {
            obstacles.boxes.add(name_ink(*group, painter));
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
  struct Framed {
    Group* group;
    Box content;
    std::optional<Box> bound;  // where the pools of its members hold shapes
  };
  std::unordered_map<const Lane*, Box> pool_area;  // by lane: the area of the lane's pool
  for (const auto& pool : pools) {
    std::optional<Box> area;
    for (const auto& lane : pool->lanes) {
      const Box a = lane_area(*lane);
      if (placed(a)) area = area ? unite(*area, a) : a;
    }
    if (!area) continue;
    for (const auto& lane : pool->lanes) pool_area[lane.get()] = *area;
  }
  // The shapes a frame's padding and name keep off where they can.
  BoxGrid shapes;
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) {
        if (shape != nullptr && placed(shape->box)) shapes.add(shape->box);
      }
      for (const Shape* shape : lane->attached) {
        if (shape != nullptr && shape->kind() == ShapeKind::EVENT && placed(shape->box))
          shapes.add(shape->box);
      }
    }
  }
  auto free = [&](const Box& box) {
    bool met = false;
    shapes.visit(box, [&](int, const Box& s) { met = met || overlap_area(box, s) > 0; });
    return !met;
  };
  std::vector<Framed> groups;
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->attached) {
        auto* group = dynamic_cast<Group*>(shape);
        if (group == nullptr) continue;
        const auto content = group_content(*group, painter);
        if (!content) continue;
        std::optional<Box> bound;
        for (const Shape* member : group->members) {
          const auto area =
              member != nullptr ? pool_area.find(member->owner_lane) : pool_area.end();
          if (area != pool_area.end()) bound = bound ? unite(*bound, area->second) : area->second;
        }
        groups.push_back({group, *content, bound});
      }
    }
  }
  // Smaller groups first: a group round the members of another goes round that one's frame and
  // name too, so that nested groups (or two round the same shapes) keep their names apart.
  std::stable_sort(groups.begin(), groups.end(), [](const Framed& a, const Framed& b) {
    return a.content.width * a.content.height < b.content.width * b.content.height;
  });
  BoxGrid framed;          // the contents of the groups framed, but those inside a larger one
  std::vector<int> depth;  // how many frames deep each group's frame holds others
  for (std::size_t k = 0; k < groups.size(); ++k) {
    const Box& content = groups[k].content;
    Box held = content;
    std::vector<Box> inner_frames;
    std::vector<int> inside;
    int deepest = -1;
    framed.visit(content, [&](int id, const Box& inner) {
      if (inner.x >= content.x && inner.y >= content.y && inner.right() <= content.right() &&
          inner.bottom() <= content.bottom()) {
        inside.push_back(id);
        deepest = std::max(deepest, depth[static_cast<std::size_t>(id)]);
      }
    });
    // Frames nested deeper than any model has (a file's thousands of groups round one shape)
    // stay plain: each level adds a name's height all round.
    if (deepest + 1 <= MAX_GROUP_NESTING) {
      for (const int id : inside) {
        const Box& inner = groups[static_cast<std::size_t>(id)].group->box;
        held = unite(held, inner);
        inner_frames.push_back(inner);
      }
      // The frame holds them now: a group round this one goes round them through it.
      for (const int id : inside) framed.remove(id);
      depth.push_back(deepest + 1);
    } else {
      depth.push_back(0);
    }
    frame_group(*groups[k].group, held, groups[k].bound, inner_frames, free, painter);
    framed.add(content);
  }
}

}  // namespace orvane
