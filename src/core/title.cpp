#include "orvane/title.hpp"

namespace orvane {

TextBlock::TextBlock(std::string text, std::string font, int font_size, std::string font_colour)
    : text(std::move(text)),
      font(std::move(font)),
      font_size(font_size),
      font_colour(std::move(font_colour)) {}

TextBlock::~TextBlock() = default;

}  // namespace orvane
