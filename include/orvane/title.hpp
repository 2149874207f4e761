#pragma once

#include <string>

#include "orvane/coordinate.hpp"
#include "orvane/export.hpp"

namespace orvane {

class Painter;

/// A line of text drawn across the picture: the base of Title and Footer.
class ORVANE_API TextBlock {
 public:
  TextBlock(std::string text, std::string font, int font_size, std::string font_colour);
  virtual ~TextBlock();

  std::string text;
  std::string font;
  int font_size = 0;
  std::string font_colour;
  Coordinate coord;
  int width = 0;
  int height = 0;

  /// Measures the text through the painter and places it at (x, y).
  void set_draw_position(int x, int y, Painter& painter);
  /// Paints the text with the painter given to set_draw_position.
  void draw();

 protected:
  virtual bool bold() const = 0;
  Painter* painter_ = nullptr;
};

/// The diagram's title, above the pools.
class ORVANE_API Title : public TextBlock {
 public:
  using TextBlock::TextBlock;

 protected:
  bool bold() const override { return true; }
};

}  // namespace orvane
