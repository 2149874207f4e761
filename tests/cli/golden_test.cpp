// Golden images: every example drawn to PNG matches the picture kept in tests/cli/golden/ up to
// a small pixel tolerance (font rasterising may move a few edge pixels). Decoded pixels are
// compared, not file bytes. ORVANE_UPDATE_GOLDENS=1 rewrites the goldens from the current look.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "orvane/loader.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(ORVANE_SOURCE_DIR) / "tests/cli/golden";

// Pixels whose strongest channel differs by more than this count as different.
constexpr int kChannelTolerance = 48;
// Share of pixels that may differ.
constexpr double kPixelTolerance = 0.0002;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // ARGB32 or RGB24 words, row by row
};

Image decode(const fs::path& path) {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy);
  Image image;
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_flush(surface.get());
  image.width = cairo_image_surface_get_width(surface.get());
  image.height = cairo_image_surface_get_height(surface.get());
  int stride = cairo_image_surface_get_stride(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  bool opaque = cairo_image_surface_get_format(surface.get()) == CAIRO_FORMAT_RGB24;
  for (int y = 0; y < image.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = 0; x < image.width; ++x) {
      image.pixels.push_back(opaque ? (row[x] | 0xFF000000u) : row[x]);
    }
  }
  return image;
}

int channel_difference(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int ca = static_cast<int>((a >> shift) & 0xFF);
    int cb = static_cast<int>((b >> shift) & 0xFF);
    worst = std::max(worst, std::abs(ca - cb));
  }
  return worst;
}

std::vector<std::string> example_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(ORVANE_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() == ".yaml") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class GoldenImage : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenImage, ExampleLooksAsBefore) {
  const std::string& name = GetParam();
  fs::path actual_dir = fs::path(ORVANE_BINARY_DIR) / "golden-actual";
  fs::create_directories(actual_dir);
  fs::path actual = actual_dir / (name + ".png");
  LoadOptions options;
  options.painter_type = "png";
  LoadedDiagram diagram =
      load_diagram(std::string(ORVANE_SOURCE_DIR) + "/examples/" + name + ".yaml", options);
  diagram.board->draw();
  diagram.board->save(actual.string());

  fs::path golden = kGoldenDir / (name + ".png");
  const char* update = std::getenv("ORVANE_UPDATE_GOLDENS");
  if (update != nullptr && std::string(update) == "1") {
    fs::create_directories(kGoldenDir);
    fs::copy_file(actual, golden, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "golden rewritten: " << golden;
  }
  ASSERT_TRUE(fs::exists(golden)) << "no golden " << golden
                                  << "; run with ORVANE_UPDATE_GOLDENS=1 to create it";
  Image want = decode(golden);
  Image got = decode(actual);
  ASSERT_GT(want.width, 0) << "golden does not decode: " << golden;
  ASSERT_EQ(got.width, want.width) << "see " << actual;
  ASSERT_EQ(got.height, want.height) << "see " << actual;
  std::size_t different = 0;
  std::size_t first = want.pixels.size();
  for (std::size_t i = 0; i < want.pixels.size(); ++i) {
    if (channel_difference(want.pixels[i], got.pixels[i]) > kChannelTolerance) {
      if (different++ == 0) first = i;
    }
  }
  double share = static_cast<double>(different) / static_cast<double>(want.pixels.size());
  EXPECT_LE(share, kPixelTolerance) << different << " pixels differ, the first at ("
                                    << first % want.width << ", " << first / want.width << "); see "
                                    << actual << " (ORVANE_UPDATE_GOLDENS=1 accepts the new look)";
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenImage, ::testing::ValuesIn(example_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string id = info.param;
                           std::replace(id.begin(), id.end(), '-', '_');
                           return id;
                         });

}  // namespace
}  // namespace orvane
