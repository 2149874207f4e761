// A fast deflate encoder for pictures of flat colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

/// Writes deflate data (RFC 1951) in one block with the fixed Huffman codes, using only
/// back-references at distance `distance` (one pixel back): runs of equal pixels cost a few
/// bits per 258 bytes, everything else is a literal. Several times faster than zlib's fastest
/// level on diagrams, for files about twice as large. The data of several encoders joins into
/// one stream when every encoder but the last ends with finish(false).
class RunDeflate {
 public:
  explicit RunDeflate(std::size_t distance);
  /// Encodes `size` more bytes; back-references never reach before this call's data.
  void add(const unsigned char* data, std::size_t size);
  /// Ends the block: as the final block of the stream (`last`), or with an empty stored block
  /// so that the next encoder's data starts on a byte boundary.
  void finish(bool last);
  /// The encoded bytes so far (complete after finish).
  const std::string& data() const { return out_; }

 private:
  void put(std::uint64_t bits, unsigned count);
  void literal(unsigned char byte);
  void match(unsigned length);

  std::size_t distance_;
  std::uint64_t pending_ = 0;
  unsigned pending_bits_ = 0;
  bool started_ = false;
  std::string out_;
};

}  // namespace orvane
