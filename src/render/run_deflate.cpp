#include "run_deflate.hpp"

#include <array>
#include <cstring>
#include <stdexcept>

namespace orvane {
namespace {

// A Huffman code as deflate writes it: bits reversed, least significant bit first.
struct Code {
  std::uint32_t bits = 0;
  unsigned count = 0;
};

std::uint32_t reversed(std::uint32_t code, unsigned count) {
  std::uint32_t out = 0;
  for (unsigned i = 0; i < count; ++i) out |= ((code >> i) & 1u) << (count - 1 - i);
  return out;
}

// The fixed literal/length code of RFC 1951 section 3.2.6.
Code fixed_code(unsigned symbol) {
  if (symbol < 144) return {reversed(0x30 + symbol, 8), 8};
  if (symbol < 256) return {reversed(0x190 + symbol - 144, 9), 9};
  if (symbol < 280) return {reversed(symbol - 256, 7), 7};
  return {reversed(0xC0 + symbol - 280, 8), 8};
}

struct Tables {
  std::array<Code, 256> literals;
  // Length 3..258 with its extra bits and the distance code, as one run of bits.
  std::array<Code, 259> matches;
  Code end_of_block;
  Code distance;
};

Code length_code(unsigned length, Code distance) {
  static constexpr unsigned base[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr unsigned extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  unsigned index = 28;
  while (base[index] > length) --index;
  Code symbol = fixed_code(257 + index);
  Code out = symbol;
  out.bits |= (length - base[index]) << out.count;
  out.count += extra[index];
  out.bits |= distance.bits << out.count;
  out.count += distance.count;
  return out;
}

}  // namespace

RunDeflate::RunDeflate(std::size_t distance) : distance_(distance) {
  if (distance < 1 || distance > 4) throw std::invalid_argument("run distance must be 1 to 4");
}

namespace {

const Tables& tables(std::size_t distance) {
  static const std::array<Tables, 5> all = [] {
    std::array<Tables, 5> t{};
    for (unsigned d = 1; d <= 4; ++d) {
      Tables& table = t[d];
      for (unsigned b = 0; b < 256; ++b) table.literals[b] = fixed_code(b);
      table.end_of_block = fixed_code(256);
      // Distances 1 to 4 are the codes 0 to 3: five bits, no extra bits.
      table.distance = {reversed(d - 1, 5), 5};
      for (unsigned length = 3; length <= 258; ++length) {
        table.matches[length] = length_code(length, table.distance);
      }
    }
    return t;
  }();
  return all[distance];
}

}  // namespace

void RunDeflate::put(std::uint64_t bits, unsigned count) {
  pending_ |= bits << pending_bits_;
  pending_bits_ += count;
  if (pending_bits_ >= 32) {
    const char bytes[4] = {static_cast<char>(pending_), static_cast<char>(pending_ >> 8),
                           static_cast<char>(pending_ >> 16), static_cast<char>(pending_ >> 24)};
    out_.append(bytes, 4);
    pending_ >>= 32;
    pending_bits_ -= 32;
  }
}

void RunDeflate::literal(unsigned char byte) {
  const Code& code = tables(distance_).literals[byte];
  put(code.bits, code.count);
}

void RunDeflate::match(unsigned length) {
  const Code& code = tables(distance_).matches[length];
  put(code.bits, code.count);
}

void RunDeflate::add(const unsigned char* data, std::size_t size) {
  if (!started_) {
    put(0b010, 3);  // not final (fixed up in finish for the last block), fixed Huffman codes
    started_ = true;
  }
  const std::size_t d = distance_;
  std::size_t i = 0;
  while (i < size) {
    // How far the bytes from i on repeat the bytes `d` before them.
    std::size_t run = 0;
    if (i >= d) {
      while (i + run + 8 <= size) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, data + i + run, 8);
        std::memcpy(&b, data + i + run - d, 8);
        if (a != b) break;
        run += 8;
      }
      while (i + run < size && data[i + run] == data[i + run - d]) ++run;
    }
    if (run < 3) {
      literal(data[i]);
      ++i;
      continue;
    }
    while (run >= 3) {
      unsigned length = run > 258 ? 258 : static_cast<unsigned>(run);
      // Never leave a remainder of one or two bytes that a match cannot take.
      if (run > length && run - length < 3) length -= 3;
      match(length);
      i += length;
      run -= length;
    }
  }
}

void RunDeflate::finish(bool last) {
  if (!started_) add(nullptr, 0);
  const Code& eob = tables(distance_).end_of_block;
  put(eob.bits, eob.count);
  if (!last) put(0b000, 3);  // an empty stored block: the next data starts on a byte boundary
  // Flush the bits; a stored block's header is followed by padding to the byte boundary.
  while (pending_bits_ > 0) {
    out_ += static_cast<char>(pending_ & 0xff);
    pending_ >>= 8;
    pending_bits_ = pending_bits_ >= 8 ? pending_bits_ - 8 : 0;
  }
  if (!last) out_.append("\x00\x00\xff\xff", 4);
  if (last) {
    // The block header was written as not final: set its first bit now.
    out_[0] = static_cast<char>(out_[0] | 1);
  }
}

}  // namespace orvane
