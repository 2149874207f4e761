#include "run_deflate.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

struct RunDeflate::Codes {
  std::array<Code, 256> literals;
  // Length 3..258 with its extra bits and the distance code, as one run of bits.
  std::array<Code, 259> matches;
  Code end_of_block;
  Code distance;
};

namespace {

const RunDeflate::Codes& codes_for(std::size_t distance) {
  static const std::array<RunDeflate::Codes, 5> all = [] {
    std::array<RunDeflate::Codes, 5> t{};
    for (unsigned d = 1; d <= 4; ++d) {
      RunDeflate::Codes& table = t[d];
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

// How many bytes from `at` on repeat the bytes `d` before them, up to `end`.
std::size_t repeat_length(const unsigned char* at, const unsigned char* end, std::size_t d) {
  const unsigned char* p = at;
#if defined(__SSE2__)
  // Long runs are the common case: 64 bytes a step while they all repeat, then sixteen bytes a
  // step, where the first differing byte is the lowest clear bit of the mask.
  auto same16 = [d](const unsigned char* q) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(q - d)));
  };
  while (p + 64 <= end) {
    const __m128i all = _mm_and_si128(_mm_and_si128(same16(p), same16(p + 16)),
                                      _mm_and_si128(same16(p + 32), same16(p + 48)));
    if (_mm_movemask_epi8(all) != 0xffff) break;
    p += 64;
  }
  while (p + 16 <= end) {
    const unsigned equal = static_cast<unsigned>(_mm_movemask_epi8(same16(p)));
    if (equal != 0xffff) {
      return static_cast<std::size_t>(p - at) + static_cast<std::size_t>(std::countr_one(equal));
    }
    p += 16;
  }
#endif
  while (p + 8 <= end) {
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p - d, 8);
    if (a != b) break;
    p += 8;
  }
  while (p < end && *p == *(p - d)) ++p;
  return static_cast<std::size_t>(p - at);
}

}  // namespace

RunDeflate::RunDeflate(std::size_t distance) : distance_(distance) {
  if (distance < 1 || distance > 4) throw std::invalid_argument("run distance must be 1 to 4");
  codes_ = &codes_for(distance);
}

void RunDeflate::grow() {
  out_.resize(std::max<std::size_t>(4096, 2 * out_.size()));
}

void RunDeflate::put_bytes(std::string_view bytes) {
  if (size_ + bytes.size() > out_.size()) out_.resize(size_ + bytes.size());
  std::memcpy(out_.data() + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void RunDeflate::literal(unsigned char byte) {
  const Code& code = codes_->literals[byte];
  put(code.bits, code.count);
}

void RunDeflate::matches(std::size_t run) {
  while (run >= 3) {
    unsigned length = run > 258 ? 258 : static_cast<unsigned>(run);
    // Never leave a remainder of one or two bytes that a match cannot take.
    if (run > length && run - length < 3) length -= 3;
    const Code& code = codes_->matches[length];
    put(code.bits, code.count);
    run -= length;
  }
}

std::size_t RunDeflate::repeat_from(const unsigned char* data, std::size_t size,
                                    std::size_t at) const {
  // The first bytes of a call look back into the bytes the piece had before it.
  std::size_t k = at;
  for (; k < distance_ && k < size; ++k) {
    if (data[k] != back_[k]) return k - at;
  }
  if (k >= size) return k - at;
  return k - at + repeat_length(data + k, data + size, distance_);
}

void RunDeflate::settle(std::size_t run) {
  if (run >= 3) {
    matches(run);
  } else {
    for (std::size_t k = 0; k < run; ++k) literal(open_[k]);
  }
}

void RunDeflate::add(const unsigned char* data, std::size_t size) {
  if (!started_) {
    put(0b010, 3);  // not final (fixed up in finish for the last block), fixed Huffman codes
    started_ = true;
  }
  const std::size_t d = distance_;
  std::size_t i = 0;
  // A run still open at the end of the last call goes on while the bytes repeat.
  if (open_run_ > 0 && size > 0) {
    const std::size_t more = repeat_from(data, size, 0);
    for (std::size_t k = 0; k < more && open_run_ + k < 2; ++k) open_[open_run_ + k] = data[k];
    open_run_ += more;
    i = more;
    if (i < size) {
      settle(open_run_);
      open_run_ = 0;
    }
  }
  while (i < size) {
    // Most bytes that start no run differ from the byte `d` before: no need to measure.
    const bool may_repeat =
        piece_size_ + i >= d && (i >= d ? data[i] == data[i - d] : data[i] == back_[i]);
    const std::size_t run = may_repeat ? repeat_from(data, size, i) : 0;
    if (i + run == size) {
      // The run reaches the end of what is known: the next call decides what it becomes.
      open_run_ = run;
      for (std::size_t k = 0; k < run && k < 2; ++k) open_[k] = data[i + k];
      break;
    }
    if (run < 3) {
      literal(data[i]);
      ++i;
      continue;
    }
    matches(run);
    i += run;
  }
  // The last `d` bytes of the piece, for the next call to look back into.
  for (std::size_t k = 0; k < d; ++k) {
    const std::size_t from = size + k;  // index into (back_ then data), counted from back_[0]
    back_[k] = from >= d ? data[from - d] : back_[from];
  }
  piece_size_ += size;
}

void RunDeflate::end_piece() {
  settle(open_run_);
  open_run_ = 0;
  piece_size_ = 0;
}

void RunDeflate::finish(bool last) {
  if (!started_) add(nullptr, 0);
  end_piece();
  const Code& eob = codes_->end_of_block;
  put(eob.bits, eob.count);
  if (!last) put(0b000, 3);  // an empty stored block: the next data starts on a byte boundary
  // Flush the bits; a stored block's header is followed by padding to the byte boundary.
  while (pending_bits_ > 0) {
    const char byte = static_cast<char>(pending_ & 0xff);
    put_bytes({&byte, 1});
    pending_ >>= 8;
    pending_bits_ = pending_bits_ >= 8 ? pending_bits_ - 8 : 0;
  }
  if (!last) put_bytes({"\x00\x00\xff\xff", 4});
  if (last) {
    // The block header was written as not final: set its first bit now.
    out_[0] = static_cast<char>(out_[0] | 1);
  }
}

}  // namespace orvane
