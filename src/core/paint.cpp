// How elements paint themselves through the painter. First version: outlines, names and
// straight connection routes; the notation details live with the cairo painters' work.
#include <algorithm>

#include "orvane/constants.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"
#include "orvane/title.hpp"

namespace orvane {
namespace {

std::string or_default(const std::string& value, const std::string& fallback) {
  return value.empty() ? fallback : value;
}

TextStyle text_style(const std::string& font, int size, const std::string& colour) {
  TextStyle style;
  style.font = font;
  style.font_size = size > 0 ? size : 12;
  style.colour = colour;
  return style;
}

}  // namespace

void Shape::set_draw_position(Painter& painter) {
  painter_ = &painter;
  double w = 36;
  double h = 36;
  switch (kind()) {
    case ShapeKind::EVENT:
      break;
    case ShapeKind::GATEWAY:
      w = h = 50;
      break;
    case ShapeKind::ACTIVITY:
      w = Configs::BOX_WIDTH - 10;
      h = Configs::BOX_HEIGHT;
      break;
    case ShapeKind::TERMINATOR:
      w = Configs::BOX_WIDTH - 10;
      h = 50;
      break;
    case ShapeKind::DATA:
      w = 40;
      h = 50;
      break;
  }
  box = {coord->x_pos + (Configs::BOX_WIDTH - w) / 2, coord->y_pos + (Configs::BOX_HEIGHT - h) / 2,
         w, h};
  if (kind() == ShapeKind::ACTIVITY || kind() == ShapeKind::TERMINATOR) {
    label_box = {box.x + 4, box.y + 4, box.width - 8, box.height - 8};
  } else {
    const double label_width = Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES - 20;
    label_box = {box.centre_x() - label_width / 2, box.bottom() + 4, label_width, 30};
  }
}

void Shape::draw() {
  if (painter_ == nullptr) return;
  Painter& p = *painter_;
  const std::string fill = or_default(fill_colour, p.element_fill_colour);
  LineStyle line{or_default(outline_colour, p.element_outline_colour),
                 outline_width > 0 ? outline_width : 1.5,
                 {}};
  switch (kind()) {
    case ShapeKind::EVENT:
      p.draw_ellipse(box, fill, line);
      break;
    case ShapeKind::GATEWAY:
      p.draw_polygon({{box.centre_x(), box.y},
                      {box.right(), box.centre_y()},
                      {box.centre_x(), box.bottom()},
                      {box.x, box.centre_y()}},
                     fill, line);
      break;
    default:
      p.draw_rectangle(box, fill, line, 10);
      break;
  }
  p.draw_text(
      name, label_box,
      text_style(or_default(font, p.element_font), font_size > 0 ? font_size : p.element_font_size,
                 or_default(font_colour, p.element_font_colour)));
}

void Lane::draw() {
  Painter* p = painter();
  if (p == nullptr) return;
  Box band{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
           static_cast<double>(width), static_cast<double>(height)};
  p->draw_rectangle(band, background_fill_colour, LineStyle{p->element_outline_colour, 1, {}});
  Box label{band.x, band.y, Configs::LANE_TEXT_WIDTH, band.height};
  p->draw_rectangle(label, fill_colour, LineStyle{p->element_outline_colour, 1, {}});
  p->draw_text(name, label, text_style(font, font_size, font_colour), true);
}

void Lane::draw_shape() {
  for (Shape* shape : shapes) shape->draw();
}

void Pool::draw() {
  if (painter_ == nullptr) return;
  Box band{static_cast<double>(coord.x_pos), static_cast<double>(coord.y_pos),
           static_cast<double>(width), static_cast<double>(height)};
  painter_->draw_rectangle(band, fill_colour, LineStyle{painter_->element_outline_colour, 1, {}});
  Box label{band.x, band.y, Configs::POOL_TEXT_WIDTH, band.height};
  painter_->draw_text(name, label, text_style(font, font_size, font_colour), true);
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
