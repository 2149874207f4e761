// How elements paint themselves through the painter, in BPMN notation: events as circles whose
// line tells start, intermediate and end apart, with a marker for their trigger; activities as
// rounded boxes; gateways as diamonds with their marker; pools and lanes as bands with their
// names written upwards in a label band.
#include <algorithm>
#include <cmath>

#include "orvane/activity.hpp"
#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"
#include "orvane/title.hpp"

namespace orvane {
namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double EVENT_SIZE = 36;
constexpr double GATEWAY_SIZE = 50;
constexpr double ACTIVITY_WIDTH = Configs::BOX_WIDTH - 10;
constexpr double ACTIVITY_HEIGHT = Configs::BOX_HEIGHT;
constexpr double TERMINATOR_HEIGHT = 50;
constexpr double ACTIVITY_RADIUS = 10;
constexpr double TEXT_PADDING = 5;
constexpr double SUBPROCESS_MARKER = 14;
constexpr double LABEL_GAP = 4;

std::string or_default(const std::string& value, const std::string& fallback) {
  return value.empty() ? fallback : value;
}

TextStyle text_style(const std::string& font, int size, const std::string& colour,
                     const std::string& alignment = "centre") {
  TextStyle style;
  style.font = font;
  style.font_size = size > 0 ? size : 12;
  style.colour = colour;
  style.alignment = alignment.empty() ? "centre" : alignment;
  return style;
}

Box inset(const Box& box, double by) {
  return {box.x + by, box.y + by, std::max(0.0, box.width - 2 * by),
          std::max(0.0, box.height - 2 * by)};
}

Box square(double cx, double cy, double size) {
  return {cx - size / 2, cy - size / 2, size, size};
}

// The box of a shape kind, centred in its grid cell.
Box shape_box(const Shape& shape, const Coordinate& cell) {
  double w = EVENT_SIZE;
  double h = EVENT_SIZE;
  switch (shape.kind()) {
    case ShapeKind::EVENT:
      break;
    case ShapeKind::GATEWAY:
      w = h = GATEWAY_SIZE;
      break;
    case ShapeKind::ACTIVITY:
      w = ACTIVITY_WIDTH;
      h = ACTIVITY_HEIGHT;
      break;
    case ShapeKind::TERMINATOR:
      w = ACTIVITY_WIDTH;
      h = TERMINATOR_HEIGHT;
      break;
    case ShapeKind::DATA:
      if (shape.element_type() == ElementType::DATA_STORE) {
        w = 50;
        h = 44;
      } else {
        w = 40;
        h = 50;
      }
      break;
  }
  return {cell.x_pos + (Configs::BOX_WIDTH - w) / 2, cell.y_pos + (Configs::BOX_HEIGHT - h) / 2, w,
          h};
}

// ---- event markers, drawn inside a circle `box` ------------------------------------------

void draw_envelope(Painter& p, const Box& e, bool filled, const std::string& ink,
                   const std::string& fill) {
  const double w = e.width * 0.5;
  const double h = e.height * 0.34;
  Box env{e.centre_x() - w / 2, e.centre_y() - h / 2, w, h};
  p.draw_rectangle(env, filled ? ink : fill, LineStyle{ink, 1.2, {}});
  p.draw_polyline({{env.x, env.y}, {env.centre_x(), env.y + h * 0.55}, {env.right(), env.y}},
                  LineStyle{filled ? fill : ink, 1.2, {}});
}

void draw_signal(Painter& p, const Box& e, bool filled, const std::string& ink,
                 const std::string& fill) {
  const double s = e.width * 0.5;
  const double cx = e.centre_x();
  const double top = e.centre_y() - s * 0.55;
  const double bottom = e.centre_y() + s * 0.38;
  p.draw_polygon({{cx, top}, {cx + s / 2, bottom}, {cx - s / 2, bottom}}, filled ? ink : fill,
                 LineStyle{ink, 1.2, {}});
}

void draw_clock(Painter& p, const Box& e, const std::string& ink, const std::string& fill) {
  const double r = e.width * 0.3;
  const double cx = e.centre_x();
  const double cy = e.centre_y();
  p.draw_ellipse(square(cx, cy, 2 * r), fill, LineStyle{ink, 1.5, {}});
  for (int i = 0; i < 12; ++i) {
    const double a = i * PI / 6;
    p.draw_polyline({{cx + std::cos(a) * r * 0.72, cy + std::sin(a) * r * 0.72},
                     {cx + std::cos(a) * r * 0.9, cy + std::sin(a) * r * 0.9}},
                    LineStyle{ink, 0.8, {}});
  }
  p.draw_polyline({{cx + r * 0.15, cy - r * 0.6}, {cx, cy}, {cx + r * 0.5, cy + r * 0.05}},
                  LineStyle{ink, 1.2, {}});
}

void draw_conditional(Painter& p, const Box& e, const std::string& ink, const std::string& fill) {
  const double w = e.width * 0.38;
  const double h = e.height * 0.48;
  Box sheet{e.centre_x() - w / 2, e.centre_y() - h / 2, w, h};
  p.draw_rectangle(sheet, fill, LineStyle{ink, 1.2, {}});
  for (int i = 1; i <= 4; ++i) {
    const double y = sheet.y + h * i / 5;
    p.draw_polyline({{sheet.x + w * 0.18, y}, {sheet.right() - w * 0.18, y}},
                    LineStyle{ink, 1, {}});
  }
}

void draw_link(Painter& p, const Box& e, bool filled, const std::string& ink,
               const std::string& fill) {
  const double w = e.width * 0.5;
  const double h = e.height * 0.36;
  const double x = e.centre_x() - w / 2;
  const double cy = e.centre_y();
  const double shaft = h * 0.3;
  const double head = x + w * 0.55;
  p.draw_polygon({{x, cy - shaft},
                  {head, cy - shaft},
                  {head, cy - h / 2},
                  {x + w, cy},
                  {head, cy + h / 2},
                  {head, cy + shaft},
                  {x, cy + shaft}},
                 filled ? ink : fill, LineStyle{ink, 1.2, {}});
}

void draw_event(Painter& p, const Event& event, const Box& box, const std::string& fill,
                const std::string& ink, double width) {
  const EventPosition position = event.position();
  const double base = width > 0 ? width : 1.5;
  if (position == EventPosition::END) {
    // The thick ring stays inside the shape's box.
    const double thick = width > 0 ? width : 3.5;
    p.draw_ellipse(inset(box, thick / 2), fill, LineStyle{ink, thick, {}});
  } else {
    p.draw_ellipse(inset(box, base / 2), fill, LineStyle{ink, base, {}});
    if (position == EventPosition::INTERMEDIATE) {
      p.draw_ellipse(inset(box, base / 2 + 3), "", LineStyle{ink, base, {}});
    }
  }
  const bool filled = event.throwing();
  switch (event.trigger()) {
    case EventTrigger::NONE:
      break;
    case EventTrigger::MESSAGE:
      draw_envelope(p, box, filled, ink, fill);
      break;
    case EventTrigger::SIGNAL:
      draw_signal(p, box, filled, ink, fill);
      break;
    case EventTrigger::TIMER:
      draw_clock(p, box, ink, fill);
      break;
    case EventTrigger::CONDITIONAL:
      draw_conditional(p, box, ink, fill);
      break;
    case EventTrigger::LINK:
      draw_link(p, box, filled, ink, fill);
      break;
  }
}

// ---- gateways -------------------------------------------------------------------------------

void draw_gateway(Painter& p, const Shape& shape, const Box& box, const std::string& fill,
                  const std::string& ink, double width) {
  const double cx = box.centre_x();
  const double cy = box.centre_y();
  p.draw_polygon({{cx, box.y}, {box.right(), cy}, {cx, box.bottom()}, {box.x, cy}}, fill,
                 LineStyle{ink, width > 0 ? width : 1.8, {}});
  const double m = box.width * 0.2;
  const LineStyle bold{ink, box.width * 0.08, {}};
  switch (shape.element_type()) {
    case ElementType::EXCLUSIVE:
      p.draw_polyline({{cx - m * 0.8, cy - m}, {cx + m * 0.8, cy + m}}, bold);
      p.draw_polyline({{cx + m * 0.8, cy - m}, {cx - m * 0.8, cy + m}}, bold);
      break;
    case ElementType::PARALLEL:
      p.draw_polyline({{cx, cy - m * 1.1}, {cx, cy + m * 1.1}}, bold);
      p.draw_polyline({{cx - m * 1.1, cy}, {cx + m * 1.1, cy}}, bold);
      break;
    case ElementType::INCLUSIVE:
      p.draw_ellipse(square(cx, cy, box.width * 0.42), "", LineStyle{ink, box.width * 0.06, {}});
      break;
    case ElementType::EVENT_BASED: {
      p.draw_ellipse(square(cx, cy, box.width * 0.52), "", LineStyle{ink, 1, {}});
      p.draw_ellipse(square(cx, cy, box.width * 0.43), "", LineStyle{ink, 1, {}});
      std::vector<Point> pentagon;
      const double r = box.width * 0.13;
      for (int i = 0; i < 5; ++i) {
        const double a = -PI / 2 + i * 2 * PI / 5;
        pentagon.push_back({cx + r * std::cos(a), cy + r * std::sin(a) + r * 0.1});
      }
      p.draw_polygon(pentagon, "", LineStyle{ink, 1.2, {}});
      break;
    }
    default:
      break;
  }
}

// ---- data ---------------------------------------------------------------------------------

void draw_data_object(Painter& p, const Box& b, const std::string& fill, const std::string& ink,
                      double width) {
  const double fold = b.width * 0.3;
  const LineStyle line{ink, width > 0 ? width : 1.5, {}};
  p.draw_polygon({{b.x, b.y},
                  {b.right() - fold, b.y},
                  {b.right(), b.y + fold},
                  {b.right(), b.bottom()},
                  {b.x, b.bottom()}},
                 fill, line);
  p.draw_polyline(
      {{b.right() - fold, b.y}, {b.right() - fold, b.y + fold}, {b.right(), b.y + fold}}, line);
}

void draw_data_store(Painter& p, const Box& b, const std::string& fill, const std::string& ink,
                     double width) {
  const double rim = b.height * 0.22;
  const LineStyle line{ink, width > 0 ? width : 1.5, {}};
  // Bottom rim, then the body over its upper half, then the sides and the open top.
  p.draw_ellipse({b.x, b.bottom() - rim, b.width, rim}, fill, line);
  p.draw_rectangle({b.x, b.y + rim / 2, b.width, b.height - rim}, fill, LineStyle{});
  p.draw_polyline({{b.x, b.y + rim / 2}, {b.x, b.bottom() - rim / 2}}, line);
  p.draw_polyline({{b.right(), b.y + rim / 2}, {b.right(), b.bottom() - rim / 2}}, line);
  p.draw_ellipse({b.x, b.y, b.width, rim}, fill, line);
  p.draw_ellipse({b.x, b.y + rim * 0.45, b.width, rim}, "", line);
  // The second ellipse's upper half would cross the top; cover it with the top rim again.
  p.draw_ellipse({b.x, b.y, b.width, rim}, fill, line);
}

bool label_inside(const Shape& shape) {
  return shape.kind() == ShapeKind::ACTIVITY || shape.kind() == ShapeKind::TERMINATOR;
}

// How the shape's name is set: its own style, the painter's theme where it has none; names
// outside the shape hang from the top of their box.
TextStyle name_style(const Shape& shape, const Painter& p) {
  TextStyle style =
      text_style(or_default(shape.font, p.element_font),
                 shape.font_size > 0 ? shape.font_size : p.element_font_size,
                 or_default(shape.font_colour, p.element_font_colour), shape.text_alignment);
  if (!label_inside(shape)) style.vertical_alignment = "top";
  return style;
}

// The free space for a name below its shape: as wide as the cell and the gap beside it, down to
// the next row's cell, or to the lane's bottom margin in the last row.
Box free_space_below(const Shape& shape) {
  const double width = Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES - 10;
  const double cell_bottom = (shape.coord ? shape.coord->y_pos : 0) + Configs::BOX_HEIGHT;
  const double top = shape.box.bottom() + LABEL_GAP;
  double bottom = cell_bottom + Configs::LANE_SHAPE_TOP_MARGIN - 2;
  if (const Lane* lane = shape.owner_lane; lane != nullptr && lane->height > 0) {
    const double lane_bottom = lane->coord.y_pos + lane->height;
    bottom = std::max(bottom,
                      std::min(cell_bottom + Configs::VSPACE_BETWEEN_SHAPES - 2, lane_bottom - 2));
  }
  return {shape.box.centre_x() - width / 2, top, width, std::max(0.0, bottom - top)};
}

}  // namespace

void Shape::set_draw_position(Painter& painter) {
  painter_ = &painter;
  // An empty style takes the painter's theme.
  if (font.empty()) font = painter.element_font;
  if (font_size <= 0) font_size = painter.element_font_size;
  if (font_colour.empty()) font_colour = painter.element_font_colour;
  if (fill_colour.empty()) fill_colour = painter.element_fill_colour;
  if (outline_colour.empty()) outline_colour = painter.element_outline_colour;

  static const Coordinate origin;
  box = shape_box(*this, coord ? *coord : origin);
  if (label_inside(*this)) {
    label_box = inset(box, TEXT_PADDING);
    if (element_type() == ElementType::SUBPROCESS) {
      label_box.height = std::max(0.0, label_box.height - SUBPROCESS_MARKER);
    }
  } else {
    label_box = free_space_below(*this);
    // Only as high as the name set in that space needs, so routes may pass below it.
    if (!name.empty() && label_box.height > 0) {
      const Box set = painter.text_bounds(name, label_box, name_style(*this, painter));
      if (set.height > 0) {
        label_box.height = std::min(label_box.height, std::ceil(set.bottom() - label_box.y) + 1);
      }
    }
  }
}

void Shape::draw() {
  if (painter_ == nullptr) return;
  Painter& p = *painter_;
  const std::string fill = or_default(fill_colour, p.element_fill_colour);
  const std::string ink = or_default(outline_colour, p.element_outline_colour);
  switch (kind()) {
    case ShapeKind::EVENT:
      if (const auto* event = dynamic_cast<const Event*>(this)) {
        draw_event(p, *event, box, fill, ink, outline_width);
      } else {
        p.draw_ellipse(box, fill, LineStyle{ink, outline_width > 0 ? outline_width : 1.5, {}});
      }
      break;
    case ShapeKind::GATEWAY:
      draw_gateway(p, *this, box, fill, ink, outline_width);
      break;
    case ShapeKind::ACTIVITY:
      p.draw_rectangle(box, fill, LineStyle{ink, outline_width > 0 ? outline_width : 2, {}},
                       ACTIVITY_RADIUS);
      if (element_type() == ElementType::SUBPROCESS) {
        Box marker =
            square(box.centre_x(), box.bottom() - SUBPROCESS_MARKER / 2 - 3, SUBPROCESS_MARKER);
        p.draw_rectangle(marker, fill, LineStyle{ink, 1.2, {}});
        p.draw_polyline(
            {{marker.centre_x(), marker.y + 3}, {marker.centre_x(), marker.bottom() - 3}},
            LineStyle{ink, 1.5, {}});
        p.draw_polyline(
            {{marker.x + 3, marker.centre_y()}, {marker.right() - 3, marker.centre_y()}},
            LineStyle{ink, 1.5, {}});
      }
      break;
    case ShapeKind::TERMINATOR:
      p.draw_rectangle(box, fill, LineStyle{ink, outline_width > 0 ? outline_width : 2, {}},
                       box.height / 2);
      break;
    case ShapeKind::DATA:
      if (element_type() == ElementType::DATA_STORE) {
        draw_data_store(p, box, fill, ink, outline_width);
      } else {
        draw_data_object(p, box, fill, ink, outline_width);
      }
      break;
  }
  const TextStyle style = name_style(*this, p);
  if (kind() == ShapeKind::TERMINATOR) {
    // The rounded ends leave less room for text than the box suggests.
    Box text = inset(box, TEXT_PADDING);
    text.x += box.height / 4;
    text.width = std::max(0.0, text.width - box.height / 2);
    p.draw_text(name, text, style);
  } else {
    p.draw_text(name, label_box, style);
  }
}

void Lane::draw() {
  Painter* p = painter();
  if (p == nullptr) return;
  const LineStyle border{p->element_outline_colour, 1.5, {}};
  Box band{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
           static_cast<double>(width), static_cast<double>(height)};
  p->draw_rectangle(band, or_default(background_fill_colour, p->lane_background_fill_colour),
                    border);
  Box label{band.x, band.y, Configs::LANE_TEXT_WIDTH, band.height};
  p->draw_rectangle(label, or_default(fill_colour, p->lane_fill_colour), border);
  TextStyle style =
      text_style(or_default(font, p->lane_font), font_size > 0 ? font_size : p->lane_font_size,
                 or_default(font_colour, p->lane_font_colour), text_alignment);
  style.keep_lines = true;
  p->draw_text(name, inset(label, 2), style, true);
}

void Lane::draw_shape() {
  // A shape that was never positioned has no painter and draws nothing.
  for (Shape* shape : shapes) shape->draw();
}

void Pool::draw() {
  if (painter_ == nullptr) return;
  const LineStyle border{painter_->element_outline_colour, 1.5, {}};
  Box band{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
           static_cast<double>(width), static_cast<double>(height)};
  painter_->draw_rectangle(band, or_default(fill_colour, painter_->pool_fill_colour), border);
  Box label{band.x, band.y, Configs::POOL_TEXT_WIDTH, band.height};
  painter_->draw_rectangle(label, or_default(fill_colour, painter_->pool_fill_colour), border);
  TextStyle style = text_style(or_default(font, painter_->pool_font),
                               font_size > 0 ? font_size : painter_->pool_font_size,
                               or_default(font_colour, painter_->pool_font_colour), text_alignment);
  style.bold = true;
  style.keep_lines = true;
  painter_->draw_text(name, inset(label, 2), style, true);
}

void TextBlock::draw() {
  if (painter_ == nullptr || text.empty()) return;
  TextStyle style = text_style(font, font_size, font_colour);
  style.alignment = "left";
  style.wrap = false;
  style.bold = bold();
  painter_->draw_text(
      text,
      Box{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
          static_cast<double>(std::max(width, 1)), static_cast<double>(std::max(height, 1))},
      style);
}

}  // namespace orvane
