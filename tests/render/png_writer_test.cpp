#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "orvane/painter_factory.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

struct Decoded {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface{
      nullptr, &cairo_surface_destroy};
  int width() const { return cairo_image_surface_get_width(surface.get()); }
  int height() const { return cairo_image_surface_get_height(surface.get()); }
  std::uint32_t at(int x, int y) const {
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride)[x];
  }
};

// Saves the painter's picture and reads it back with cairo's own PNG reader, which checks
// every chunk and the compressed stream.
Decoded save_and_decode(Painter& painter, const std::string& name) {
  const fs::path file = fs::temp_directory_path() /
                        ("orvane-png-" + std::to_string(::getpid()) + "-" + name + ".png");
  painter.save_surface(file.string());
  Decoded decoded;
  decoded.surface.reset(cairo_image_surface_create_from_png(file.c_str()));
  fs::remove(file);
  EXPECT_EQ(cairo_surface_status(decoded.surface.get()), CAIRO_STATUS_SUCCESS);
  return decoded;
}

constexpr std::uint32_t RED = 0xffff0000;

TEST(PngStrips, TallPictureDecodesWithEveryStripInPlace) {
  auto painter = PainterFactory().get_painter("png", 300, 1000);
  painter->set_colour_theme("DEFAULT");
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  // Bars across the first strip border, the border of the two halves and the last rows.
  const int bars[] = {30, 508, 990};
  for (int top : bars) painter->draw_rectangle({50, double(top), 200, 4}, "#ff0000", {});
  painter->draw_polyline({{10, 0}, {10, 1000}}, {"#0000ff", 2, {}});
  Decoded png = save_and_decode(*painter, "tall");
  ASSERT_EQ(png.width(), 300);
  ASSERT_EQ(png.height(), 1000);
  for (int top : bars) {
    EXPECT_EQ(png.at(150, top + 2), RED) << "bar at " << top;
    EXPECT_EQ(png.at(150, top - 3), 0xffffffffu) << "above the bar at " << top;
    EXPECT_EQ(png.at(150, top + 6), 0xffffffffu) << "below the bar at " << top;
  }
  // The vertical line is unbroken through every strip.
  for (int y = 1; y < 999; y += 7) ASSERT_EQ(png.at(10, y) & 0xff, 0xffu) << "row " << y;
  EXPECT_EQ(png.at(299, 999), 0xffffffffu);
}

TEST(PngStrips, PictureWithoutBackgroundKeepsItsTransparency) {
  auto painter = PainterFactory().get_painter("png", 200, 150);
  painter->draw_rectangle({20, 20, 40, 40}, "#ff0000", {});
  Decoded png = save_and_decode(*painter, "transparent");
  ASSERT_EQ(png.width(), 200);
  EXPECT_EQ(png.at(40, 40), RED);
  EXPECT_EQ(png.at(150, 100) >> 24, 0u);
}

TEST(PngStrips, WidePictureOfManyMegapixelsRoundTrips) {
  auto painter = PainterFactory().get_painter("png", 9000, 700);
  painter->background_colour = "#fafafa";
  painter->set_background_colour();
  for (int x = 0; x < 9000; x += 170) {
    painter->draw_rectangle({double(x) + 10, 300, 100, 80}, "#ff0000", {"#000000", 2, {}});
  }
  Decoded png = save_and_decode(*painter, "wide");
  ASSERT_EQ(png.width(), 9000);
  ASSERT_EQ(png.height(), 700);
  EXPECT_EQ(png.at(8850 + 60, 340), RED);
  EXPECT_EQ(png.at(5, 5), 0xfffafafau);
}

TEST(PngStrips, RunsOfEveryLengthDecodeToTheDrawnPixels) {
  // Pixel-aligned rectangles of random colours and widths make runs of every length around the
  // encoder's limits; the decoded PNG must equal cairo's own raster of the same rectangles.
  const int width = 1200;
  const int height = 700;
  auto painter = PainterFactory().get_painter("png", width, height);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  cairo_surface_t* expected = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(expected);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  std::mt19937 random(11);
  for (int i = 0; i < 400; ++i) {
    const int x = static_cast<int>(random() % width);
    const int y = static_cast<int>(random() % height);
    const int w = 1 + static_cast<int>(random() % 300);
    const int h = 1 + static_cast<int>(random() % 40);
    // Few distinct colours, so neighbouring rectangles often continue each other's runs.
    const unsigned rgb = (random() % 4) * 0x3f3f3fu + (random() % 2) * 0x400000u;
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06x", rgb);
    painter->draw_rectangle({double(x), double(y), double(w), double(h)}, colour, {});
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                         (rgb & 0xff) / 255.0);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(expected);
  Decoded png = save_and_decode(*painter, "runs");
  ASSERT_EQ(png.width(), width);
  const unsigned char* data = cairo_image_surface_get_data(expected);
  const int stride = cairo_image_surface_get_stride(expected);
  int differences = 0;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
    for (int x = 0; x < width; ++x) {
      if ((row[x] & 0xffffff) != (png.at(x, y) & 0xffffff)) ++differences;
    }
  }
  cairo_surface_destroy(expected);
  EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace orvane
