// Decoded PNG pictures and ways to compare them, for tests that check what a picture shows.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace orvane::test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // ARGB32 words, row by row
  std::uint32_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

/// The pixels of a PNG file; an empty image when it does not decode.
inline Image decode(const std::filesystem::path& path) {
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy);
  Image image;
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_flush(surface.get());
  image.width = cairo_image_surface_get_width(surface.get());
  image.height = cairo_image_surface_get_height(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const bool opaque = cairo_image_surface_get_format(surface.get()) == CAIRO_FORMAT_RGB24;
  for (int y = 0; y < image.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = 0; x < image.width; ++x) {
      image.pixels.push_back(opaque ? (row[x] | 0xFF000000u) : row[x]);
    }
  }
  return image;
}

/// The largest difference of one channel between two pixels.
inline int channel_difference(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    worst = std::max(worst, std::abs(ca - cb));
  }
  return worst;
}

/// Share of the pixels of either image (of equal size) that differ by more than `tolerance`
/// from every pixel within `reach` of the same place in the other: different renderers may set
/// a glyph a pixel apart, but what one shows the other shows.
inline double unmatched_share(const Image& a, const Image& b, int reach, int tolerance) {
  std::size_t unmatched = 0;
  for (const auto& [one, other] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
    for (int y = 0; y < one->height; ++y) {
      for (int x = 0; x < one->width; ++x) {
        bool matched = false;
        for (int dy = -reach; dy <= reach && !matched; ++dy) {
          for (int dx = -reach; dx <= reach && !matched; ++dx) {
            const int ox = x + dx;
            const int oy = y + dy;
            if (ox < 0 || oy < 0 || ox >= other->width || oy >= other->height) continue;
            matched = channel_difference(one->at(x, y), other->at(ox, oy)) <= tolerance;
          }
        }
        unmatched += matched ? 0 : 1;
      }
    }
  }
  return static_cast<double>(unmatched) / (2.0 * static_cast<double>(a.pixels.size()));
}

}  // namespace orvane::test
