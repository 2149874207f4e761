#pragma once

#include <string>
#include <string_view>

#include "orvane/export.hpp"

namespace orvane {

/// Writes `content` to `filename` atomically: a temporary file in the same folder, then a
/// rename. Throws std::runtime_error naming the file and the reason; leaves no partial file.
ORVANE_API void write_file_atomically(const std::string& filename, std::string_view content);

}  // namespace orvane
