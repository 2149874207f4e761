#include "orvane/lane.hpp"

#include "orvane/helper.hpp"
#include "orvane/pool.hpp"

namespace orvane {

Lane::Lane(std::string name, std::string font, int font_size, std::string font_colour,
           std::string fill_colour, std::string text_alignment, std::string background_fill_colour,
           Pool* pool)
    : id(Helper::get_uuid("lane")),
      name(std::move(name)),
      font(std::move(font)),
      font_size(font_size),
      font_colour(std::move(font_colour)),
      fill_colour(std::move(fill_colour)),
      text_alignment(std::move(text_alignment)),
      background_fill_colour(std::move(background_fill_colour)),
      pool_(pool) {}

Lane::~Lane() = default;

Shape& Lane::add_element(const std::string& name, ElementType type) {
  Shape& shape =
      adopt(create_shape(class_name(type), name, id, pool_ != nullptr ? pool_->name : ""));
  shape.bpmn_id = Helper::get_uuid("node");
  shapes.push_back(&shape);
  return shape;
}

Shape& Lane::adopt(std::unique_ptr<Shape> shape) {
  shape->owner_lane = this;
  owned_.push_back(std::move(shape));
  return *owned_.back();
}

Painter* Lane::painter() const {
  return pool_ != nullptr ? pool_->painter() : nullptr;
}

}  // namespace orvane
