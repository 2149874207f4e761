#include "orvane/pool.hpp"

namespace orvane {

Pool::Pool(std::string name, std::string font, int font_size, std::string font_colour,
           std::string fill_colour, std::string text_alignment, Painter* painter)
    : name(std::move(name)),
      font(std::move(font)),
      font_size(font_size),
      font_colour(std::move(font_colour)),
      fill_colour(std::move(fill_colour)),
      text_alignment(std::move(text_alignment)),
      painter_(painter) {}

Pool::~Pool() = default;

Lane& Pool::add_lane(const std::string& lane_name, const std::string& font, int font_size,
                     const std::string& font_colour, const std::string& fill_colour,
                     const std::string& text_alignment, const std::string& background_fill_colour) {
  lanes.push_back(std::make_unique<Lane>(lane_name, font, font_size, font_colour, fill_colour,
                                         text_alignment, background_fill_colour, this));
  return *lanes.back();
}

}  // namespace orvane
