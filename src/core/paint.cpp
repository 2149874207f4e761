// How elements paint themselves through the painter, in BPMN notation: events as circles whose
// line tells start, intermediate and end apart, with a marker for their trigger; activities as
// rounded boxes; gateways as diamonds with their marker; pools and lanes as bands with their
// names written upwards in a label band.
#include <algorithm>
#include <cmath>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"
#include "orvane/title.hpp"
#include "paint_support.hpp"

namespace orvane {

using namespace paint;

namespace {

TextStyle text_style(const std::string& font, int size, const std::string& colour,
                     const std::string& alignment = "centre") {
  TextStyle style;
  style.font = font;
  style.font_size = size > 0 ? size : 12;
  style.colour = colour;
  style.alignment = alignment.empty() ? "centre" : alignment;
  return style;
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
    case ShapeKind::ANNOTATION:
    case ShapeKind::GROUP:
    case ShapeKind::PARTICIPANT:
      // These are sized by their own placement, never by a cell.
      return shape.box;
  }
  return {cell.x_pos + (Configs::BOX_WIDTH - w) / 2, cell.y_pos + (Configs::BOX_HEIGHT - h) / 2, w,
          h};
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
      if (const auto* exclusive = dynamic_cast<const Exclusive*>(&shape);
          exclusive != nullptr && !exclusive->show_marker) {
        break;
      }
      p.draw_polyline({{cx - m * 0.8, cy - m}, {cx + m * 0.8, cy + m}}, bold);
      p.draw_polyline({{cx + m * 0.8, cy - m}, {cx - m * 0.8, cy + m}}, bold);
      break;
    case ElementType::COMPLEX:
      // An asterisk: the X and the + together.
      p.draw_polyline({{cx - m * 0.8, cy - m * 0.8}, {cx + m * 0.8, cy + m * 0.8}}, bold);
      p.draw_polyline({{cx + m * 0.8, cy - m * 0.8}, {cx - m * 0.8, cy + m * 0.8}}, bold);
      p.draw_polyline({{cx, cy - m * 1.1}, {cx, cy + m * 1.1}}, bold);
      p.draw_polyline({{cx - m * 1.1, cy}, {cx + m * 1.1, cy}}, bold);
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

// The arrow of a data input (open) or output (filled) in the top-left corner, and the bars of a
// collection at the bottom centre.
void draw_data_markers(Painter& p, const DataObject& data, const Box& b, const std::string& fill,
                       const std::string& ink) {
  if (data.role != DataRole::OBJECT) {
    const double x = b.x + 4;
    const double y = b.y + 5;
    const double w = 14;
    const double h = 10;
    p.draw_polygon({{x, y + h * 0.3},
                    {x + w * 0.55, y + h * 0.3},
                    {x + w * 0.55, y},
                    {x + w, y + h / 2},
                    {x + w * 0.55, y + h},
                    {x + w * 0.55, y + h * 0.7},
                    {x, y + h * 0.7}},
                   data.role == DataRole::OUTPUT ? ink : fill, LineStyle{ink, 1, {}});
  }
  if (data.collection) {
    for (double dx : {-4.0, 0.0, 4.0}) {
      p.draw_polyline({{b.centre_x() + dx, b.bottom() - 12}, {b.centre_x() + dx, b.bottom() - 3}},
                      LineStyle{ink, 1.5, {}});
    }
  }
}

// A text annotation: an open bracket on its left, its text beside it.
void draw_annotation(Painter& p, const Box& b, const std::string& ink) {
  const double arm = std::min(10.0, b.width / 2);
  p.draw_polyline({{b.x + arm, b.y}, {b.x, b.y}, {b.x, b.bottom()}, {b.x + arm, b.bottom()}},
                  LineStyle{ink, 1.2, {}});
}

void draw_group(Painter& p, const Box& b, const std::string& ink) {
  p.draw_rectangle(b, "", LineStyle{ink, 1.2, {8, 3, 1.5, 3}}, ACTIVITY_RADIUS);
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
  return shape.kind() == ShapeKind::ACTIVITY || shape.kind() == ShapeKind::TERMINATOR ||
         shape.kind() == ShapeKind::ANNOTATION;
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

namespace paint {

TextStyle name_style(const Shape& shape, const Painter& p) {
  TextStyle style =
      text_style(or_default(shape.font, p.element_font),
                 shape.font_size > 0 ? shape.font_size : p.element_font_size,
                 or_default(shape.font_colour, p.element_font_colour), shape.text_alignment);
  if (!label_inside(shape)) style.vertical_alignment = "top";
  if (shape.kind() == ShapeKind::ANNOTATION) style.alignment = "left";
  return style;
}

Box name_ink(const Shape& shape, const Painter& p) {
  if (shape.name.empty() || !(shape.label_box.width > 0) || !(shape.label_box.height > 0)) {
    return shape.box;
  }
  return p.text_bounds(shape.name, shape.label_box, name_style(shape, p));
}

}  // namespace paint

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
  if (kind() == ShapeKind::GROUP || kind() == ShapeKind::PARTICIPANT) {
    // Placed with their box by their own step.
    return;
  }
  if (label_inside(*this)) {
    label_box = inset(box, TEXT_PADDING);
    if (const auto* activity = dynamic_cast<const Activity*>(this)) {
      // Keep the name clear of the corner icon, the markers and the boundary events. Short
      // lines, set in the middle, pass beside the icon; a name of more lines than that leaves
      // room for goes wholly below it.
      const std::optional<Box> icon = paint::corner_icon(*activity, box);
      double bottom = marker_strip(*activity);
      if (bottom == 0 && !activity->boundary_events.empty()) bottom = 10;
      const Box inner = label_box;
      const auto below = [&](double top) {
        return Box{inner.x, inner.y + top, inner.width, std::max(0.0, inner.height - top - bottom)};
      };
      label_box = below(icon ? 12 : 0);
      if (icon && !name.empty() &&
          overlaps(painter.text_bounds(name, label_box, paint::name_style(*this, painter)),
                   *icon)) {
        label_box = below(icon->bottom() + 1 - inner.y);
      }
    }
    if (kind() == ShapeKind::ANNOTATION) {
      label_box = {box.x + 6, box.y + 2, std::max(0.0, box.width - 8),
                   std::max(0.0, box.height - 4)};
    }
  } else {
    label_box = free_space_below(*this);
    // Only as high as the name set in that space needs, so routes may pass below it.
    if (!name.empty() && label_box.height > 0) {
      const Box set = painter.text_bounds(name, label_box, paint::name_style(*this, painter));
      if (set.height > 0) {
        label_box.height = std::min(label_box.height, std::ceil(set.bottom() - label_box.y) + 1);
      }
    }
  }
}

TextStyle Shape::name_style(const Painter& p) const {
  return paint::name_style(*this, p);
}

void Shape::draw() {
  if (painter_ == nullptr) return;
  Painter& p = *painter_;
  const PaintGroup group(p, bpmn_id, name);
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
      if (const auto* activity = dynamic_cast<const Activity*>(this)) {
        draw_activity(p, *activity, box, fill, ink, outline_width);
      } else {
        p.draw_rectangle(box, fill, LineStyle{ink, outline_width > 0 ? outline_width : 2, {}},
                         ACTIVITY_RADIUS);
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
        if (const auto* data = dynamic_cast<const DataObject*>(this)) {
          draw_data_markers(p, *data, box, fill, ink);
        }
      }
      break;
    case ShapeKind::ANNOTATION:
      draw_annotation(p, box, ink);
      break;
    case ShapeKind::GROUP:
      draw_group(p, box, ink);
      break;
    case ShapeKind::PARTICIPANT:
      // The black-box pool paints the band itself.
      return;
  }
  const TextStyle style = paint::name_style(*this, p);
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
  const PaintGroup group(*p, id, name);
  const LineStyle border{p->element_outline_colour, 1.5, {}};
  Box band{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
           static_cast<double>(width), static_cast<double>(height)};
  p->draw_rectangle(band, or_default(background_fill_colour, p->lane_background_fill_colour),
                    border);
  Box label{band.x, band.y, Configs::LANE_TEXT_WIDTH, band.height};
  p->draw_rectangle(label, or_default(fill_colour, p->lane_fill_colour), border);
  p->draw_text(name, name_box(), name_style(*p), true);
}

Box Lane::name_box() const {
  return inset(Box{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
                   Configs::LANE_TEXT_WIDTH, static_cast<double>(height)},
               2);
}

TextStyle Lane::name_style(const Painter& p) const {
  TextStyle style =
      text_style(or_default(font, p.lane_font), font_size > 0 ? font_size : p.lane_font_size,
                 or_default(font_colour, p.lane_font_colour), text_alignment);
  style.keep_lines = true;
  return style;
}

void Lane::draw_shape() {
  // A shape that was never positioned has no painter and draws nothing. Groups lie under the
  // shapes they surround; boundary events and annotations lie on top.
  for (Shape* shape : attached) {
    if (shape->kind() == ShapeKind::GROUP) shape->draw();
  }
  for (Shape* shape : shapes) shape->draw();
  for (Shape* shape : attached) {
    if (shape->kind() != ShapeKind::GROUP) shape->draw();
  }
}

void Pool::draw() {
  if (painter_ == nullptr) return;
  const PaintGroup group(*painter_, bpmn_id, name);
  const LineStyle border{painter_->element_outline_colour, 1.5, {}};
  Box band{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
           static_cast<double>(width), static_cast<double>(height)};
  painter_->draw_rectangle(band, or_default(fill_colour, painter_->pool_fill_colour), border);
  Box label{band.x, band.y, Configs::POOL_TEXT_WIDTH, band.height};
  painter_->draw_rectangle(label, or_default(fill_colour, painter_->pool_fill_colour), border);
  painter_->draw_text(name, name_box(), name_style(*painter_), true);
}

Box Pool::name_box() const {
  return inset(Box{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
                   Configs::POOL_TEXT_WIDTH, static_cast<double>(height)},
               2);
}

TextStyle Pool::name_style(const Painter& p) const {
  TextStyle style =
      text_style(or_default(font, p.pool_font), font_size > 0 ? font_size : p.pool_font_size,
                 or_default(font_colour, p.pool_font_colour), text_alignment);
  style.bold = true;
  style.keep_lines = true;
  return style;
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
