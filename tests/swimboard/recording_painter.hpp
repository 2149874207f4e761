#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvane/helper.hpp"
#include "orvane/painter.hpp"
#include "orvane/painter_factory.hpp"

namespace orvane::testing {

// Every call a diagram makes on its painter, as short texts in call order.
inline std::vector<std::string>& calls() {
  static std::vector<std::string> log;
  return log;
}

// A painter that records its calls, has a default per theme that names itself, measures text
// with fixed numbers and keeps its surface size.
class RecordingPainter : public Painter {
 public:
  RecordingPainter(int width, int height) : width_(width), height_(height) {}

  void set_colour_theme(const std::string& palette) override {
    calls().push_back("set_colour_theme " + palette);
    title_font = "title-font-" + palette;
    title_font_size = 21;
    title_font_colour = "title-colour-" + palette;
    pool_font = "pool-font";
    pool_font_size = 13;
    pool_font_colour = "pool-font-colour";
    pool_fill_colour = "pool-fill";
    lane_font = "lane-font";
    lane_font_size = 11;
    lane_font_colour = "lane-font-colour";
    lane_fill_colour = "lane-fill";
    lane_text_alignment = "lane-alignment";
    lane_background_fill_colour = "lane-background";
    footer_font = "footer-font";
    footer_font_size = 9;
    footer_font_colour = "footer-font-colour";
    element_fill_colour = "element-fill";
  }
  void set_background_colour() override { calls().push_back("set_background_colour"); }
  void set_title_font_size(int size) override {
    calls().push_back("set_title_font_size " + std::to_string(size));
  }
  void set_element_font_size(int size) override {
    calls().push_back("set_element_font_size " + std::to_string(size));
  }
  void set_surface_size(int width, int height) override {
    calls().push_back("set_surface_size " + std::to_string(width) + " " + std::to_string(height));
    width_ = width;
    height_ = height;
  }
  void save_surface(const std::string& filename) override {
    if (filename.find("/missing-folder/") != std::string::npos) {
      throw std::runtime_error("cannot write '" + filename + "'");
    }
    calls().push_back("save_surface " + filename);
  }
  int surface_width() const override { return width_; }
  int surface_height() const override { return height_; }
  std::string kind() const override { return "recording"; }
  TextExtent measure_text(const std::string& text, const TextStyle&, double) const override {
    return {8.0 * static_cast<double>(text.size()), text.empty() ? 0.0 : 24.0};
  }
  void draw_rectangle(const Box&, const std::string& fill, const LineStyle&, double) override {
    calls().push_back("rectangle " + fill);
  }
  void draw_ellipse(const Box&, const std::string& fill, const LineStyle&) override {
    calls().push_back("ellipse " + fill);
  }
  void draw_polygon(const std::vector<Point>&, const std::string& fill, const LineStyle&) override {
    calls().push_back("polygon " + fill);
  }
  void draw_polyline(const std::vector<Point>&, const LineStyle&) override {
    calls().push_back("polyline");
  }
  void draw_text(const std::string& text, const Box&, const TextStyle&, bool) override {
    calls().push_back("text " + text);
  }
  void set_description(const std::string& title, const std::string& description) override {
    calls().push_back("describe " + title + " | " + description);
  }
  void begin_group(const std::string& id, const std::string& title) override {
    calls().push_back("group " + id + " " + title);
  }
  void end_group() override { calls().push_back("end group"); }

 private:
  int width_;
  int height_;
};

// Installs the recording painter for every factory and quiet, readable console streams.
class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls().clear();
    PainterFactory::set_override([](const std::string& type, int width, int height) {
      calls().push_back("get_painter " + type + " " + std::to_string(width) + " " +
                        std::to_string(height));
      return std::make_unique<RecordingPainter>(width, height);
    });
    Helper::set_output(out);
    Helper::set_log_output(log);
    Helper::set_ansi(false);
    Helper::set_show_levels({});
  }
  void TearDown() override {
    PainterFactory::set_override({});
    Helper::set_output(std::cout);
    Helper::set_log_output(std::cerr);
    Helper::set_ansi(std::nullopt);
    Helper::set_show_levels({});
    Helper::show_x_position = false;
  }
  std::ostringstream out;
  std::ostringstream log;
};

}  // namespace orvane::testing
