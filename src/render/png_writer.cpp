#include "png_writer.hpp"

#include <fmt/format.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "run_deflate.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace orvane {
namespace {

// Strips are up to 32 rows and about 4 MiB of pixels; very wide pictures get fewer rows.
constexpr int MAX_STRIP_ROWS = 32;
constexpr std::size_t STRIP_BYTES = std::size_t{4} << 20;
// Cairo's image surfaces hold at most this many pixels a side; wider strips are drawn in tiles.
constexpr int MAX_TILE = 32767;

// Cairo stores premultiplied alpha; PNG wants straight alpha.
std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
  return static_cast<std::uint8_t>((channel * 255 + alpha / 2) / alpha);
}

#if defined(__x86_64__) || defined(__i386__)
// Opaque pixels as RGB, four at a time with one byte shuffle (for processors with SSSE3).
__attribute__((target("ssse3"))) void opaque_rgb_ssse3(const std::uint32_t* pixels, int width,
                                                       unsigned char* out) {
  // Each pixel is one word, its bytes B G R A in memory.
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  int x = 0;
  // A store writes 16 bytes of which 12 are kept: it stays inside the row while six more pixels
  // follow the four it converts.
  for (; x + 6 <= width; x += 4) {
    const __m128i argb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * static_cast<std::size_t>(x)),
                     _mm_shuffle_epi8(argb, order));
  }
  for (; x < width; ++x) {
    const std::uint32_t argb = pixels[x];
    unsigned char* rgb = out + 3 * static_cast<std::size_t>(x);
    rgb[0] = static_cast<unsigned char>(argb >> 16);
    rgb[1] = static_cast<unsigned char>(argb >> 8);
    rgb[2] = static_cast<unsigned char>(argb);
  }
}

bool has_ssse3() {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  return ssse3;
}
#endif

// One PNG scanline: the filter byte (none) and the pixels as RGB or RGBA.
void convert_row(const std::uint32_t* pixels, int width, bool opaque, unsigned char* out) {
  *out++ = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (opaque && has_ssse3()) {
    opaque_rgb_ssse3(pixels, width, out);
    return;
  }
#endif
  if (opaque && std::endian::native == std::endian::little && width > 1) {
    // Each pixel is stored as one word, its bytes B G R A in memory: byte-swapped and shifted it
    // is R G B 0, and the next pixel's word overwrites that 0. The last pixel goes bytewise,
    // so nothing is written past the row.
    for (int x = 0; x + 1 < width; ++x, out += 3) {
      const std::uint32_t rgb = __builtin_bswap32(pixels[x]) >> 8;
      std::memcpy(out, &rgb, 4);
    }
    const std::uint32_t argb = pixels[width - 1];
    out[0] = static_cast<unsigned char>(argb >> 16);
    out[1] = static_cast<unsigned char>(argb >> 8);
    out[2] = static_cast<unsigned char>(argb);
    return;
  }
  if (opaque) {
    for (int x = 0; x < width; ++x, out += 3) {
      const std::uint32_t argb = pixels[x];
      out[0] = static_cast<unsigned char>(argb >> 16);
      out[1] = static_cast<unsigned char>(argb >> 8);
      out[2] = static_cast<unsigned char>(argb);
    }
    return;
  }
  for (int x = 0; x < width; ++x) {
    const std::uint32_t argb = pixels[x];
    const std::uint32_t a = argb >> 24;
    const std::uint32_t r = (argb >> 16) & 0xff;
    const std::uint32_t g = (argb >> 8) & 0xff;
    const std::uint32_t b = argb & 0xff;
    if (a == 0) {
      std::memset(out, 0, 4);
      out += 4;
    } else {
      out[0] = a == 255 ? static_cast<unsigned char>(r) : unpremultiply(r, a);
      out[1] = a == 255 ? static_cast<unsigned char>(g) : unpremultiply(g, a);
      out[2] = a == 255 ? static_cast<unsigned char>(b) : unpremultiply(b, a);
      out[3] = static_cast<unsigned char>(a);
      out += 4;
    }
  }
}

// Compresses one band of consecutive rows as raw deflate data. A band that is not the last
// ends with a sync flush, so the bands' data joined in order is one deflate stream.
class BandCompressor {
 public:
  BandCompressor(int width, int strip_rows, bool opaque, bool last)
      : width_(width), strip_rows_(strip_rows), opaque_(opaque), last_(last), runs_(3) {
    row_size_ = 1 + static_cast<std::size_t>(width) * (opaque ? 3 : 4);
    // The run encoder takes a row at a time, while it is in the cache; zlib a strip at a time.
    rows_.resize(row_size_ * static_cast<std::size_t>(opaque ? 1 : strip_rows));
    if (opaque) return;
    // Pictures with transparency go through zlib's fastest level without row filters.
    if (deflateInit2(&zs_, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::runtime_error("cannot start the compressor");
    }
    zlib_started_ = true;
    out_.resize(deflateBound(&zs_, rows_.size()) + 64);
  }
  ~BandCompressor() {
    if (zlib_started_) deflateEnd(&zs_);
  }
  BandCompressor(const BandCompressor&) = delete;
  BandCompressor& operator=(const BandCompressor&) = delete;

  // Adds `count` rows of ARGB pixels; `final` ends the band.
  void add(const unsigned char* pixels, std::size_t stride, int count, bool final) {
    auto row = [&](int i) {
      return reinterpret_cast<const std::uint32_t*>(pixels + static_cast<std::size_t>(i) * stride);
    };
    if (opaque_) {
      // Opaque pictures are flat colour with runs of equal pixels: the run encoder is several
      // times faster than zlib, for a file about twice as large. Its runs never reach back
      // across pieces of a strip's rows, so that the file does not depend on how the rows come.
      for (int done = 0; done < count;) {
        const int step = std::min(strip_rows_, count - done);
        for (int i = done; i < done + step; ++i) {
          convert_row(row(i), width_, true, rows_.data());
          adler_ = libdeflate_adler32(static_cast<std::uint32_t>(adler_), rows_.data(), row_size_);
          runs_.add(rows_.data(), row_size_);
        }
        runs_.end_piece();
        raw_size_ += row_size_ * static_cast<std::size_t>(step);
        done += step;
      }
      if (final) runs_.finish(last_);
      return;
    }
    for (int done = 0; done < count;) {
      const int step = std::min(strip_rows_, count - done);
      for (int i = 0; i < step; ++i) {
        convert_row(row(done + i), width_, false, rows_.data() + row_size_ * i);
      }
      done += step;
      const std::size_t size = row_size_ * step;
      // libdeflate's Adler-32 is several times faster than zlib's on these sizes.
      adler_ = libdeflate_adler32(static_cast<std::uint32_t>(adler_), rows_.data(), size);
      raw_size_ += size;
      const bool end = final && done >= count;
      deflate_all(rows_.data(), size, end ? (last_ ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH);
      if (end) break;
    }
  }

  // The band's compressed data (complete once its last rows are added).
  std::string_view deflated() const { return opaque_ ? runs_.data() : std::string_view(zlib_out_); }
  uLong adler() const { return adler_; }
  std::size_t raw_size() const { return raw_size_; }

 private:
  void deflate_all(unsigned char* data, std::size_t size, int flush) {
    zs_.next_in = data;
    zs_.avail_in = static_cast<uInt>(size);
    int status = Z_OK;
    do {
      zs_.next_out = out_.data();
      zs_.avail_out = static_cast<uInt>(out_.size());
      status = deflate(&zs_, flush);
      if (status == Z_STREAM_ERROR) throw std::runtime_error("the compressor failed");
      zlib_out_.append(reinterpret_cast<const char*>(out_.data()), out_.size() - zs_.avail_out);
    } while (zs_.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  }

  z_stream zs_{};
  bool zlib_started_ = false;
  int width_;
  int strip_rows_;
  bool opaque_;
  bool last_;
  RunDeflate runs_;
  std::string zlib_out_;
  std::size_t row_size_ = 0;
  std::vector<unsigned char> rows_;
  std::vector<unsigned char> out_;
  uLong adler_ = 1;
  std::size_t raw_size_ = 0;
};

// Draws rows [top, top + count) of the picture into `pixels` (count rows of `stride` bytes),
// tile by tile: each tile is a cairo surface over its columns of the same buffer. A picture
// that may be transparent starts from transparent pixels.
void draw_rows(unsigned char* pixels, int width, std::size_t stride, int top, int count,
               double scale, bool opaque, const RegionDrawer& draw) {
  if (!opaque) std::memset(pixels, 0, stride * static_cast<std::size_t>(count));
  for (int left = 0; left < width; left += MAX_TILE) {
    const int tile = std::min(MAX_TILE, width - left);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        pixels + static_cast<std::size_t>(left) * 4, CAIRO_FORMAT_ARGB32, tile, count,
        static_cast<int>(stride));
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, -left, -top);
    cairo_scale(cr, scale, scale);
    draw(cr, {left / scale, top / scale, (left + tile) / scale, (top + count) / scale});
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
      throw std::runtime_error(std::string("cannot draw the PNG picture: ") +
                               cairo_status_to_string(status));
    }
  }
}

void put_u32(std::string& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

void put_chunk(std::string& out, const char* type, std::string_view body) {
  put_u32(out, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = out.size();
  out.append(type, 4);
  out.append(body);
  const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
  put_u32(out, libdeflate_crc32(0, bytes, out.size() - start));
}

std::string assemble(int width, int height, bool opaque,
                     const std::vector<std::unique_ptr<BandCompressor>>& bands) {
  // The zlib stream: its header, the bands' deflate data in order, and the Adler-32 of the rows.
  std::string head;
  head += static_cast<char>(0x78);  // deflate, 32 KiB window
  head += static_cast<char>(0x01);  // fastest level; header check bits make it a multiple of 31
  uLong adler = 1;
  std::vector<std::string_view> parts{head};
  for (const auto& band : bands) {
    parts.push_back(band->deflated());
    adler = adler32_combine(adler, band->adler(), static_cast<z_off_t>(band->raw_size()));
  }
  std::string tail;
  put_u32(tail, static_cast<std::uint32_t>(adler));
  parts.push_back(tail);
  std::size_t stream_size = 0;
  for (std::string_view part : parts) stream_size += part.size();

  std::string header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  header += static_cast<char>(8);               // bits per channel
  header += static_cast<char>(opaque ? 2 : 6);  // RGB or RGBA
  header += std::string(3, '\0');               // deflate, adaptive filters, no interlace

  // IDAT chunks of at most 1 MiB each, as readers expect of large pictures, taken straight from
  // the parts of the stream.
  constexpr std::size_t IDAT_CHUNK = 1u << 20;
  std::string out("\x89PNG\r\n\x1a\n", 8);
  out.reserve(8 + 25 + stream_size + 12 * (stream_size / IDAT_CHUNK + 1) + 12);
  put_chunk(out, "IHDR", header);
  std::size_t part = 0;
  std::size_t offset = 0;
  for (std::size_t at = 0; at < stream_size; at += IDAT_CHUNK) {
    const std::size_t length = std::min(IDAT_CHUNK, stream_size - at);
    put_u32(out, static_cast<std::uint32_t>(length));
    const std::size_t start = out.size();
    out.append("IDAT", 4);
    for (std::size_t left = length; left > 0;) {
      const std::string_view piece = parts[part].substr(offset, left);
      out.append(piece);
      left -= piece.size();
      offset += piece.size();
      if (offset == parts[part].size()) {
        ++part;
        offset = 0;
      }
    }
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    put_u32(out, libdeflate_crc32(0, bytes, out.size() - start));
  }
  put_chunk(out, "IEND", "");
  return out;
}

}  // namespace

std::string render_png(int width, int height, double scale, bool known_opaque,
                       const RegionDrawer& draw) {
  if (width <= 0 || height <= 0) throw std::runtime_error("cannot encode an empty picture as PNG");
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  if (stride > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::runtime_error(fmt::format("a PNG picture can be drawn at most {} px wide",
                                         std::numeric_limits<int>::max() / 4));
  }
  const int strip_rows =
      static_cast<int>(std::clamp<std::size_t>(STRIP_BYTES / stride, 1, MAX_STRIP_ROWS));
  const int strips = (height + strip_rows - 1) / strip_rows;
  const int band_count = strips >= 2 ? 2 : 1;
  const int split_strip = band_count == 2 ? strips / 2 : strips;
  std::vector<std::unique_ptr<BandCompressor>> bands;
  for (int b = 0; b < band_count; ++b) {
    bands.push_back(
        std::make_unique<BandCompressor>(width, strip_rows, known_opaque, b + 1 == band_count));
  }

  // Each band's strips are drawn into one reused buffer and compressed in turn: the upper band
  // on this thread, the lower on another. A failure in either stops both.
  std::atomic<bool> failed{false};
  std::vector<std::string> errors(static_cast<std::size_t>(band_count));
  auto run_band = [&](int b) {
    try {
      const int first = b == 0 ? 0 : split_strip;
      const int last = b == 0 ? split_strip : strips;
      // Every byte is drawn before it is read: cairo paints the opaque background over it, or
      // draw_rows clears it first.
      std::unique_ptr<unsigned char[]> pixels(
          new unsigned char[stride * static_cast<std::size_t>(strip_rows)]);
      for (int index = first; index < last && !failed; ++index) {
        const int top = index * strip_rows;
        const int rows = std::min(strip_rows, height - top);
        draw_rows(pixels.get(), width, stride, top, rows, scale, known_opaque, draw);
        bands[b]->add(pixels.get(), stride, rows, index + 1 == last);
      }
    } catch (const std::exception& e) {
      errors[static_cast<std::size_t>(b)] = e.what();
      failed = true;
    }
  };
  std::thread lower;
  if (band_count == 2) {
    try {
      lower = std::thread(run_band, 1);
    } catch (const std::system_error&) {
      // Without a second thread, this one draws both bands.
    }
  }
  run_band(0);
  if (lower.joinable()) {
    lower.join();
  } else if (band_count == 2) {
    run_band(1);
  }
  for (const std::string& error : errors) {
    if (!error.empty()) throw std::runtime_error("cannot encode the picture as PNG: " + error);
  }
  return assemble(width, height, known_opaque, bands);
}

}  // namespace orvane
