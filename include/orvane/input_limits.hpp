// The ceilings a reader of input files applies. Everything else a reader does is bounded by the
// file itself (its work and memory grow linearly with its size), so these only keep a file of
// absurd size from exhausting the machine, and each can be raised by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orvane/export.hpp"

namespace orvane {

/// Ceilings for reading one input file. The defaults admit any diagram that fits in memory.
struct InputLimits {
  /// Largest input file, in bytes (256 MiB).
  std::size_t max_file_bytes = std::size_t{256} << 20;
  /// Most shapes in one diagram.
  std::size_t max_shapes = 2'000'000;
  /// Most connections in one diagram.
  std::size_t max_connections = 4'000'000;
  /// Deepest nesting of lists and mappings, a guard for the reader's stack: a description needs
  /// about eight levels.
  int max_depth = 64;
};

/// The refusal for a ceiling that the input passes: "more than FIGURE WHAT; HOW raises the
/// limit", as in "more than 2000000 shapes; --max-shapes raises the limit".
ORVANE_API std::string limit_exceeded(std::uint64_t figure, const std::string& what,
                                      const std::string& how);

}  // namespace orvane
