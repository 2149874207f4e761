// A cheap pass over a description before the YAML reader sees it: the size, the encoding and the
// depth of nesting are bounded here, and every refusal names the line and column at fault.
#include <fmt/format.h>

#include <cstdint>
#include <vector>

#include "orvane/loader.hpp"
#include "text_encoding.hpp"

namespace orvane {
namespace {

struct Position {
  int line = 1;
  int column = 1;
};

}  // namespace

std::size_t utf8_sequence_length(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  std::uint8_t lead = byte(i);
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  static constexpr std::uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

namespace {

void check_encoding(std::string_view text, const std::string& source) {
  Position pos;
  std::size_t i = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;  // a byte order mark is allowed
  while (i < text.size()) {
    auto c = static_cast<std::uint8_t>(text[i]);
    std::size_t length = utf8_sequence_length(text, i);
    if (length == 0) {
      throw DescriptionError(
          source, {pos.line, pos.column},
          fmt::format("the file is not UTF-8 text (byte 0x{:02x}); save it as UTF-8", c));
    }
    if (length == 1 && ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)) {
      throw DescriptionError(
          source, {pos.line, pos.column},
          fmt::format("control character 0x{:02x} in the text; a description is plain text", c));
    }
    if (c == '\n') {
      ++pos.line;
      pos.column = 1;
    } else {
      ++pos.column;
    }
    i += length;
  }
}

// Tracks nesting: flow brackets outside quotes and comments, and the indentation stack of block
// collections. It over-counts rather than under-counts for ordinary files, which need a depth of
// about eight against a limit of max_depth.
class DepthScanner {
 public:
  DepthScanner(std::string_view text, const std::string& source, int max_depth)
      : text_(text), source_(source), max_depth_(max_depth) {}

  void run() {
    std::size_t start = 0;
    while (start <= text_.size()) {
      std::size_t end = text_.find('\n', start);
      if (end == std::string_view::npos) end = text_.size();
      scan_line(text_.substr(start, end - start));
      ++line_;
      start = end + 1;
    }
  }

 private:
  void fail(int column, const std::string& what) {
    throw DescriptionError(source_, {line_, column}, what);
  }

  void check_depth(int column) {
    int depth = static_cast<int>(block_.size()) + flow_depth_;
    if (depth > max_depth_) {
      fail(column,
           fmt::format("nesting deeper than {} levels; a description needs far fewer", max_depth_));
    }
  }

  void push_block(int column) {
    if (block_.empty() || block_.back() < column) block_.push_back(column);
  }

  static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

  void scan_line(std::string_view line) {
    std::size_t i = 0;
    if (quote_ == 0 && flow_depth_ == 0) {
      while (i < line.size() && is_space(line[i])) ++i;
      if (i == line.size() || line[i] == '#') return;  // blank or comment line
      int indent = static_cast<int>(i);
      if (block_scalar_indent_ >= 0) {
        if (indent > block_scalar_indent_) return;  // inside a literal or folded text
        block_scalar_indent_ = -1;
      }
      while (!block_.empty() && block_.back() > indent) block_.pop_back();
      push_block(indent);
      line_indent_ = indent;
    }
    bool token_start = true;
    bool after_indicator = false;
    int key_column = static_cast<int>(i);
    for (; i < line.size(); ++i) {
      char c = line[i];
      int column = static_cast<int>(i) + 1;
      if (quote_ != 0) {
        if (quote_ == '"' && c == '\\') {
          ++i;
        } else if (quote_ == '\'' && c == '\'' && i + 1 < line.size() && line[i + 1] == '\'') {
          ++i;
        } else if (c == quote_) {
          quote_ = 0;
          token_start = false;
        }
        continue;
      }
      if (is_space(c)) continue;
      if (c == '#' && (i == 0 || is_space(line[i - 1]))) return;
      bool next_blank = i + 1 >= line.size() || is_space(line[i + 1]);
      if (token_start && (c == '"' || c == '\'')) {
        quote_ = c;
        continue;
      }
      if (token_start && (c == '-' || c == '?') && next_blank && flow_depth_ == 0) {
        // A compact nested block collection starts on the same line: "- - item".
        push_block(static_cast<int>(i) + 2);
        check_depth(column);
        after_indicator = true;
        continue;
      }
      if (c == ':' && next_blank) {
        token_start = true;
        if (flow_depth_ == 0 && after_indicator) {
          push_block(key_column);
          check_depth(column);
          after_indicator = false;
        }
        continue;
      }
      if ((token_start || flow_depth_ > 0) && (c == '[' || c == '{')) {
        ++flow_depth_;
        check_depth(column);
        token_start = true;
        continue;
      }
      if (flow_depth_ > 0 && (c == ']' || c == '}')) {
        --flow_depth_;
        token_start = false;
        continue;
      }
      if (flow_depth_ > 0 && c == ',') {
        token_start = true;
        continue;
      }
      if (token_start && (c == '&' || c == '!')) {
        // An anchor or tag stands before the node it names; the node starts after it.
        while (i + 1 < line.size() && !is_space(line[i + 1])) ++i;
        continue;
      }
      if (token_start && (c == '|' || c == '>') && flow_depth_ == 0) {
        block_scalar_indent_ = line_indent_;
        return;
      }
      if (token_start) key_column = static_cast<int>(i);
      token_start = false;
    }
    check_depth(1);
  }

  std::string_view text_;
  const std::string& source_;
  int line_ = 1;
  int max_depth_;
  int flow_depth_ = 0;
  char quote_ = 0;
  int line_indent_ = 0;
  int block_scalar_indent_ = -1;
  std::vector<int> block_;
};

}  // namespace

void prescan_description(std::string_view text, const std::string& source,
                         const InputLimits& limits) {
  if (text.size() > limits.max_file_bytes) {
    throw DescriptionError(source, {},
                           limit_exceeded(limits.max_file_bytes, "bytes", "--max-input-mb"));
  }
  check_encoding(text, source);
  DepthScanner(text, source, limits.max_depth).run();
}

std::string limit_exceeded(std::uint64_t figure, const std::string& what, const std::string& how) {
  return fmt::format("more than {} {}; {} raises the limit", figure, what, how);
}

}  // namespace orvane
