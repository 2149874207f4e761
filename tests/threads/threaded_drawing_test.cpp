// PNG pictures are drawn by two threads, which share the texts' layouts; every picture must come
// out the same, whichever thread sets a text first.
#include <gtest/gtest.h>

#include <string>

#include "orvane/painter_factory.hpp"

namespace orvane {
namespace {

// A picture of many texts, level and turned, in several sizes, over boxes that cross the line
// between the two threads' halves.
std::string draw(double scale) {
  auto painter = PainterFactory().get_painter("png", 640, 960);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  TextStyle style;
  for (int i = 0; i < 48; ++i) {
    const double x = 10 + (i % 6) * 105;
    const double y = 10 + (i / 6) * 118;
    style.font_size = 9 + i % 7;
    style.bold = i % 3 == 0;
    const std::string name = "Step " + std::to_string(i) + " checks the order \u4e2d\u6587";
    painter->draw_rectangle({x, y, 95, 108}, "#eef4ff", {"#335577", 1.5, {}}, 6);
    painter->draw_text(name, {x + 4, y + 4, 70, 100}, style);
    painter->draw_text("Lane " + std::to_string(i), {x + 76, y + 4, 16, 100}, style, true);
  }
  RasterOptions raster;
  raster.scale = scale;
  painter->set_raster_options(raster);
  const std::string first = painter->render_as("png");
  EXPECT_EQ(painter->render_as("png"), first) << "drawn twice by one painter, scale " << scale;
  return first;
}

TEST(ThreadedDrawing, EveryPictureOfTheSameDrawingIsTheSame) {
  // At scale 1 the texts' layouts from measuring are drawn; at 1.5 each thread may set them.
  for (double scale : {1.0, 1.5}) {
    const std::string picture = draw(scale);
    ASSERT_GT(picture.size(), 1000u);
    EXPECT_EQ(draw(scale), picture) << "drawn by two painters, scale " << scale;
  }
}

}  // namespace
}  // namespace orvane
