// What the readers share about the text they are given.
#pragma once

#include <cstddef>
#include <string_view>

namespace orvane {

/// Length of the UTF-8 sequence starting at `i` of `text`, or 0 when it is malformed (overlong
/// forms, surrogates and values past U+10FFFF included).
std::size_t utf8_sequence_length(std::string_view text, std::size_t i);

}  // namespace orvane
