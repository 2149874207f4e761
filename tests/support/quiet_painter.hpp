// A painter for tests that draws nothing: surface operations do nothing, and a test double
// overrides only the primitives it records or measures.
#pragma once

#include <string>

#include "orvane/painter.hpp"

namespace orvane {

class QuietPainter : public Painter {
 public:
  explicit QuietPainter(std::string kind = "quiet", int width = 0, int height = 0)
      : kind_(std::move(kind)), width_(width), height_(height) {}
  void set_colour_theme(const std::string&) override {}
  void set_background_colour() override {}
  void set_title_font_size(int) override {}
  void set_element_font_size(int) override {}
  void set_surface_size(int, int) override {}
  void save_surface(const std::string&) override {}
  int surface_width() const override { return width_; }
  int surface_height() const override { return height_; }
  std::string kind() const override { return kind_; }

 private:
  std::string kind_;
  int width_;
  int height_;
};

}  // namespace orvane
