#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

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

// Reads back what the painter writes, for pictures wider than cairo's reader takes: checks the
// signature, every chunk's CRC and the compressed stream, and returns opaque RGB pixels as
// 0xffRRGGBB (rows use no filter).
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x];
  }
};

std::uint32_t be32(const std::string& s, std::size_t at) {
  return (std::uint32_t(std::uint8_t(s[at])) << 24) |
         (std::uint32_t(std::uint8_t(s[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(s[at + 2])) << 8) | std::uint32_t(std::uint8_t(s[at + 3]));
}

Raster decode_rgb(const std::string& png) {
  Raster out;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::string idat;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    const auto* body = reinterpret_cast<const Bytef*>(png.data() + at + 4);
    EXPECT_EQ(crc32(0, body, length + 4), be32(png, at + 8 + length)) << type;
    if (type == "IHDR") {
      out.width = static_cast<int>(be32(png, at + 8));
      out.height = static_cast<int>(be32(png, at + 12));
      EXPECT_EQ(png[at + 17], 2) << "RGB";
    } else if (type == "IDAT") {
      idat += png.substr(at + 8, length);
    }
    at += 12 + length;
  }
  const std::size_t row = 1 + std::size_t(out.width) * 3;
  std::string raw(row * std::size_t(out.height), '\0');
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                       reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
            Z_OK);
  EXPECT_EQ(size, raw.size());
  out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
  for (int y = 0; y < out.height; ++y) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(raw.data() + row * std::size_t(y));
    EXPECT_EQ(p[0], 0) << "filter of row " << y;
    for (int x = 0; x < out.width; ++x) {
      const std::uint8_t* rgb = p + 1 + 3 * x;
      out.pixels[std::size_t(y) * std::size_t(out.width) + x] =
          0xff000000u | (std::uint32_t(rgb[0]) << 16) | (std::uint32_t(rgb[1]) << 8) | rgb[2];
    }
  }
  return out;
}

std::string saved_bytes(Painter& painter, const std::string& name) {
  const fs::path file = fs::temp_directory_path() /
                        ("orvane-png-" + std::to_string(::getpid()) + "-" + name + ".png");
  painter.save_surface(file.string());
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove(file);
  return bytes;
}

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

TEST(PngStrips, TextsInBothHalvesAreDrawnAlikeByTheTwoDrawingThreads) {
  // The upper and lower half are drawn on two threads that share the texts' layouts; every
  // text must show, also one across the border of the halves, and every save must be the same.
  const int width = 400;
  const int height = 1300;
  auto painter = PainterFactory().get_painter("png", width, height);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  TextStyle style;
  style.font_size = 16;
  style.colour = "#000000";
  std::vector<Box> boxes;
  for (int i = 0; i < 42; ++i) {
    const Box across{10, 30.0 * i + 28, 180, 24};
    const Box up{300, 30.0 * i, 24, 60};
    painter->draw_text("Step " + std::to_string(i) + " Hg", across, style);
    painter->draw_text("Up " + std::to_string(i), up, style, true);
    boxes.push_back(across);
    boxes.push_back(up);
  }
  const std::string first = saved_bytes(*painter, "texts-1");
  EXPECT_EQ(saved_bytes(*painter, "texts-2"), first);
  const Raster png = decode_rgb(first);
  ASSERT_EQ(png.height, height);
  auto ink = [&](const Box& box, int from, int to) {
    int dark = 0;
    for (int y = std::max(from, int(box.y)); y < std::min(to, int(box.bottom())); ++y) {
      for (int x = int(box.x); x < int(box.right()); ++x) dark += (png.at(x, y) & 0xff) < 0x80;
    }
    return dark;
  };
  for (const Box& box : boxes) EXPECT_GT(ink(box, 0, height), 0) << "text at y " << box.y;
  // 41 strips of 32 rows: the lower half starts at row 640, amid the text at 628 to 652.
  EXPECT_GT(ink(boxes[40], 0, 640), 0);
  EXPECT_GT(ink(boxes[40], 640, height), 0);
}

TEST(PngStrips, TextsDrawAlikeWithTheirMeasuredLayoutOrOneSetAnew) {
  // The first texts of a picture keep the layout they were measured with and are drawn with it;
  // past a budget, texts are set again when drawn. Both must give the same pixels.
  auto painter = PainterFactory().get_painter("png", 300, 120);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  TextStyle style;
  style.font_size = 15;
  style.colour = "#000000";
  style.alignment = "left";
  style.vertical_alignment = "top";
  // Left and top aligned, the same text sits alike in boxes of other sizes, which are fitted
  // (and kept) each on their own.
  painter->draw_text("Kept or set anew", {10, 10, 200, 30}, style);
  for (int i = 0; i < 3000; ++i) {
    painter->draw_text("Filler " + std::to_string(i), {5000, 0, 100, 30}, style);
  }
  painter->draw_text("Kept or set anew", {10, 60, 201, 30}, style);
  const Raster png = decode_rgb(saved_bytes(*painter, "kept"));
  int ink = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 300; ++x) {
      ASSERT_EQ(png.at(x, 10 + y), png.at(x, 60 + y)) << "at " << x << ", " << y;
      ink += png.at(x, 10 + y) != 0xffffffffu;
    }
  }
  EXPECT_GT(ink, 100);
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

TEST(PngStrips, EveryPixelOfNarrowPicturesKeepsItsColour) {
  // Rows are converted several pixels at a time; the last few of every width go one by one.
  for (int width = 1; width <= 13; ++width) {
    auto painter = PainterFactory().get_painter("png", width, 3);
    painter->background_colour = "#ffffff";
    painter->set_background_colour();
    auto colour_of = [](int x, int y) { return 0x102030u * unsigned(x + 1) + 0x5u * unsigned(y); };
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < width; ++x) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06x", colour_of(x, y) & 0xffffff);
        painter->draw_rectangle({double(x), double(y), 1, 1}, colour, {});
      }
    }
    const Raster png = decode_rgb(saved_bytes(*painter, "narrow"));
    ASSERT_EQ(png.width, width);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < width; ++x) {
        EXPECT_EQ(png.at(x, y), 0xff000000u | (colour_of(x, y) & 0xffffff))
            << "width " << width << " at " << x << ", " << y;
      }
    }
  }
}

TEST(PngTiles, PictureWiderThanCairosSurfacesIsDrawnInSeamlessTiles) {
  // 70,000 px is more than two tiles of 32,767 px; bars and a line cross both tile borders.
  const int width = 70000;
  auto painter = PainterFactory().get_painter("png", width, 90);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  for (int left : {32700, 65500})
    painter->draw_rectangle({double(left), 20, 120, 30}, "#ff0000", {});
  painter->draw_polyline({{5, 70}, {69990, 70}}, {"#0000ff", 4, {}});
  const Raster png = decode_rgb(saved_bytes(*painter, "tiles"));
  ASSERT_EQ(png.width, width);
  ASSERT_EQ(png.height, 90);
  for (int left : {32700, 65500}) {
    for (int x = left + 2; x < left + 118; ++x) ASSERT_EQ(png.at(x, 35), RED) << "x " << x;
    EXPECT_EQ(png.at(left - 3, 35), 0xffffffffu);
  }
  for (int x = 10; x < 69985; x += 13) ASSERT_EQ(png.at(x, 70), 0xff0000ffu) << "x " << x;
  EXPECT_EQ(png.at(width - 1, 0), 0xffffffffu);
}

TEST(PngTiles, ScaleDrawsTheSamePictureAtAnotherSize) {
  auto painter = PainterFactory().get_painter("png", 8001, 100);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  painter->draw_rectangle({7000, 40, 200, 40}, "#ff0000", {});
  painter->set_raster_options({0.5, 4000});
  const Raster half = decode_rgb(saved_bytes(*painter, "half"));
  EXPECT_EQ(half.width, 4001);  // rounded up, so nothing is cut off
  EXPECT_EQ(half.height, 50);
  EXPECT_EQ(half.at(3550, 30), RED);
  EXPECT_EQ(half.at(3550, 17), 0xffffffffu);
  painter->set_raster_options({2, 4000});
  const Raster twice = decode_rgb(saved_bytes(*painter, "twice"));
  EXPECT_EQ(twice.width, 16002);
  EXPECT_EQ(twice.at(14200, 120), RED);
  EXPECT_EQ(twice.at(14200, 76), 0xffffffffu);
}

}  // namespace
}  // namespace orvane
