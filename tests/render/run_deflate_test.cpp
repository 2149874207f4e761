#include "render/run_deflate.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace orvane {
namespace {

// The encoding the PNG files have always had, written plainly: at each byte, the longest run
// repeating the bytes `d` before it (never reaching before the piece) becomes back-references
// of at most 258 bytes, any shorter run a literal; fixed Huffman codes, one final block.
std::string reference(const std::vector<std::vector<unsigned char>>& pieces, unsigned d) {
  std::string out;
  std::uint64_t bits = 0;
  unsigned count = 0;
  auto put = [&](std::uint32_t code, unsigned n) {
    bits |= std::uint64_t(code) << count;
    count += n;
    while (count >= 8) {
      out += static_cast<char>(bits & 0xff);
      bits >>= 8;
      count -= 8;
    }
  };
  auto reversed = [](std::uint32_t code, unsigned n) {
    std::uint32_t r = 0;
    for (unsigned i = 0; i < n; ++i) r |= ((code >> i) & 1u) << (n - 1 - i);
    return r;
  };
  auto symbol = [&](unsigned s) {
    if (s < 144) return put(reversed(0x30 + s, 8), 8);
    if (s < 256) return put(reversed(0x190 + s - 144, 9), 9);
    if (s < 280) return put(reversed(s - 256, 7), 7);
    put(reversed(0xC0 + s - 280, 8), 8);
  };
  const unsigned base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  const unsigned extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  put(0b011, 3);  // final block, fixed codes
  for (const auto& data : pieces) {
    std::size_t i = 0;
    while (i < data.size()) {
      std::size_t run = 0;
      if (i >= d) {
        while (i + run < data.size() && data[i + run] == data[i + run - d]) ++run;
      }
      if (run < 3) {
        symbol(data[i++]);
        continue;
      }
      while (run >= 3) {
        unsigned length = run > 258 ? 258 : static_cast<unsigned>(run);
        if (run > length && run - length < 3) length -= 3;
        unsigned index = 28;
        while (base[index] > length) --index;
        symbol(257 + index);
        put(length - base[index], extra[index]);
        put(reversed(d - 1, 5), 5);
        i += length;
        run -= length;
      }
    }
  }
  symbol(256);
  if (count > 0) out += static_cast<char>(bits & 0xff);
  return out;
}

// Bytes in runs of random lengths (long ones included), as rows of flat colour give, with
// stretches of noise; noise of `values` values only makes many runs of one to three bytes.
std::vector<unsigned char> runs_of(std::mt19937& random, std::size_t size, unsigned d,
                                   unsigned values = 256) {
  std::vector<unsigned char> data;
  while (data.size() < size) {
    const std::size_t length = random() % 4 == 0 ? random() % 700 : random() % 8;
    if (random() % 3 == 0 || data.size() < d) {
      for (std::size_t k = 0; k < length; ++k) {
        data.push_back(static_cast<unsigned char>(random() % values));
      }
    } else {
      for (std::size_t k = 0; k < length; ++k) data.push_back(data[data.size() - d]);
    }
  }
  data.resize(size);
  return data;
}

TEST(RunDeflate, PiecesAddedInAnySplitEncodeAsTheReference) {
  std::mt19937 random(5);
  for (unsigned d = 1; d <= 4; ++d) {
    for (int round = 0; round < 60; ++round) {
      std::vector<std::vector<unsigned char>> pieces;
      const int count = 1 + static_cast<int>(random() % 4);
      const unsigned values = round % 2 == 0 ? 256 : 2;
      for (int p = 0; p < count; ++p) pieces.push_back(runs_of(random, random() % 3000, d, values));
      RunDeflate encoder(d);
      for (const auto& piece : pieces) {
        // Calls of every small size, a run often open across them.
        for (std::size_t at = 0; at < piece.size();) {
          const std::size_t most = round % 3 == 0 ? 4 : random() % 5 == 0 ? 4 : 400;
          const std::size_t step = std::min<std::size_t>(piece.size() - at, random() % most);
          encoder.add(piece.data() + at, step);
          at += step;
        }
        encoder.end_piece();
      }
      encoder.finish(true);
      ASSERT_EQ(std::string(encoder.data()), reference(pieces, d))
          << "distance " << d << ", round " << round;
    }
  }
}

TEST(RunDeflate, EncodersJoinIntoOneStreamThatInflates) {
  std::mt19937 random(8);
  const std::vector<unsigned char> first = runs_of(random, 100000, 3);
  const std::vector<unsigned char> second = runs_of(random, 5000, 3);
  RunDeflate upper(3);
  upper.add(first.data(), first.size());
  upper.finish(false);
  RunDeflate lower(3);
  lower.add(second.data(), second.size());
  lower.finish(true);
  std::string stream = std::string(upper.data()) + std::string(lower.data());
  std::string inflated(first.size() + second.size() + 1, '\0');
  z_stream zs{};
  ASSERT_EQ(inflateInit2(&zs, -15), Z_OK);
  zs.next_in = reinterpret_cast<Bytef*>(stream.data());
  zs.avail_in = static_cast<uInt>(stream.size());
  zs.next_out = reinterpret_cast<Bytef*>(inflated.data());
  zs.avail_out = static_cast<uInt>(inflated.size());
  EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
  inflated.resize(zs.total_out);
  inflateEnd(&zs);
  EXPECT_EQ(inflated,
            std::string(first.begin(), first.end()) + std::string(second.begin(), second.end()));
}

}  // namespace
}  // namespace orvane
