#include "png_writer.hpp"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace orvane {
namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

void flush_nothing(png_structp) {}

// libpng reports errors by longjmp; keep its message for the exception.
void on_error(png_structp png, png_const_charp message) {
  auto* text = static_cast<std::string*>(png_get_error_ptr(png));
  if (text != nullptr) *text = message != nullptr ? message : "unknown error";
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// Cairo stores premultiplied alpha; PNG wants straight alpha.
std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
  return static_cast<std::uint8_t>((channel * 255 + alpha / 2) / alpha);
}

// The whole encode runs between setjmp and the last libpng call, with every buffer made
// beforehand, so a longjmp skips no destructor.
bool encode(const unsigned char* data, int width, int height, int stride, bool opaque,
            std::vector<png_byte>& row, std::string& out, std::string& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, on_error, on_warning);
  if (png == nullptr) {
    error = "cannot create the PNG writer";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    error = "cannot create the PNG writer";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, append_bytes, flush_nothing);
  // Diagrams are mostly flat colour: the fastest deflate level without row filters is several
  // times faster than libpng's defaults and the file is only about twice as large.
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const auto* pixels =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<long>(y) * stride);
    png_byte* p = row.data();
    for (int x = 0; x < width; ++x) {
      const std::uint32_t argb = pixels[x];
      const std::uint32_t a = argb >> 24;
      std::uint32_t r = (argb >> 16) & 0xff;
      std::uint32_t g = (argb >> 8) & 0xff;
      std::uint32_t b = argb & 0xff;
      if (opaque) {
        *p++ = static_cast<png_byte>(r);
        *p++ = static_cast<png_byte>(g);
        *p++ = static_cast<png_byte>(b);
      } else if (a == 0) {
        *p++ = 0;
        *p++ = 0;
        *p++ = 0;
        *p++ = 0;
      } else {
        *p++ = a == 255 ? static_cast<png_byte>(r) : unpremultiply(r, a);
        *p++ = a == 255 ? static_cast<png_byte>(g) : unpremultiply(g, a);
        *p++ = a == 255 ? static_cast<png_byte>(b) : unpremultiply(b, a);
        *p++ = static_cast<png_byte>(a);
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string encode_png(cairo_surface_t* image, bool known_opaque) {
  cairo_surface_flush(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  const int stride = cairo_image_surface_get_stride(image);
  if (data == nullptr || width <= 0 || height <= 0) {
    throw std::runtime_error("cannot encode an empty picture as PNG");
  }
  bool opaque = true;
  for (int y = 0; y < height && opaque && !known_opaque; ++y) {
    const auto* pixels =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<long>(y) * stride);
    for (int x = 0; x < width; ++x) {
      if ((pixels[x] >> 24) != 0xff) {
        opaque = false;
        break;
      }
    }
  }
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 4);
  std::string out;
  out.reserve(static_cast<std::size_t>(width) * height / 8);
  std::string error;
  if (!encode(data, width, height, stride, opaque, row, out, error)) {
    throw std::runtime_error("cannot encode the picture as PNG: " + error);
  }
  return out;
}

}  // namespace orvane
