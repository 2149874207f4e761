// A fast deflate encoder for pictures of flat colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

/// Writes deflate data (RFC 1951) in one block with the fixed Huffman codes, using only
/// back-references at distance `distance` (one pixel back): runs of equal pixels cost a few
/// bits per 258 bytes, everything else is a literal. Several times faster than zlib's fastest
/// level on diagrams, for files about twice as large. The data of several encoders joins into
/// one stream when every encoder but the last ends with finish(false).
///
/// The data comes in pieces: back-references never reach before the piece they are in. A piece
/// may be added in several calls (a row at a time, say) and encodes exactly as if added in one.
class RunDeflate {
 public:
  struct Codes;

  explicit RunDeflate(std::size_t distance);
  /// Encodes `size` more bytes of the current piece.
  void add(const unsigned char* data, std::size_t size);
  /// Ends the current piece: the bytes added next start a new one.
  void end_piece();
  /// Ends the piece and the block: as the final block of the stream (`last`), or with an empty
  /// stored block so that the next encoder's data starts on a byte boundary.
  void finish(bool last);
  /// The encoded bytes so far (complete after finish).
  std::string_view data() const { return {out_.data(), size_}; }

 private:
  // Appends `count` bits, least significant first; whole 32-bit words go out as they fill.
  void put(std::uint64_t bits, unsigned count) {
    pending_ |= bits << pending_bits_;
    pending_bits_ += count;
    if (pending_bits_ >= 32) {
      if (size_ + 4 > out_.size()) grow();
      char* at = out_.data() + size_;
      at[0] = static_cast<char>(pending_);
      at[1] = static_cast<char>(pending_ >> 8);
      at[2] = static_cast<char>(pending_ >> 16);
      at[3] = static_cast<char>(pending_ >> 24);
      size_ += 4;
      pending_ >>= 32;
      pending_bits_ -= 32;
    }
  }
  // Doubles the room for encoded bytes.
  void grow();
  // Appends whole bytes (after the pending bits are flushed).
  void put_bytes(std::string_view bytes);
  void literal(unsigned char byte);
  // Back-references for a run of `run` bytes, each at most 258 long.
  void matches(std::size_t run);
  // How many bytes of `data` from `at` on repeat the bytes `distance_` before them.
  std::size_t repeat_from(const unsigned char* data, std::size_t size, std::size_t at) const;
  // Encodes the run left open by the last call, now that it ends after `run` bytes.
  void settle(std::size_t run);

  std::size_t distance_;
  const Codes* codes_ = nullptr;
  // The piece so far: its size, its last `distance_` bytes, and a run that reached its end
  // (its length and, while shorter than a back-reference, its bytes).
  std::size_t piece_size_ = 0;
  unsigned char back_[4] = {};
  std::size_t open_run_ = 0;
  unsigned char open_[2] = {};
  std::uint64_t pending_ = 0;
  unsigned pending_bits_ = 0;
  bool started_ = false;
  // The encoded bytes are the first size_ of out_, which grows by doubling.
  std::string out_;
  std::size_t size_ = 0;
};

}  // namespace orvane
