#include <iostream>
#include <stdexcept>

#include "orvane/helper.hpp"

namespace orvane {
namespace {

std::string pad(const std::string& text, std::size_t width) {
  std::size_t length = Helper::char_length(text);
  return text + std::string(width > length ? width - length : 0, ' ');
}

std::string repeat(const char* piece, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

}  // namespace

ConsoleTable::ConsoleTable() = default;

ConsoleTable::ConsoleTable(Options options) : options_(std::move(options)) {}

void ConsoleTable::add_column(std::string header) {
  columns_.push_back(std::move(header));
  // Rows added before the column get a blank cell in it.
  for (auto& row : rows_) row.resize(columns_.size());
}

void ConsoleTable::add_row(std::vector<std::string> cells) {
  if (cells.size() > columns_.size()) {
    throw std::invalid_argument("a table row has " + std::to_string(cells.size()) +
                                " cells but the table has " + std::to_string(columns_.size()) +
                                " columns");
  }
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

std::string ConsoleTable::render(bool ansi) const {
  std::vector<std::size_t> widths(columns_.size(), 0);
  std::vector<std::string> header;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    header.push_back(Helper::render_markup(Helper::escape(columns_[c]), false));
    widths[c] = Helper::char_length(header[c]);
  }
  std::vector<std::vector<std::string>> body;
  for (const auto& row : rows_) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < row.size(); ++c) {
      cells.push_back(Helper::render_markup(Helper::escape(row[c]), false));
      widths[c] = std::max(widths[c], Helper::char_length(cells[c]));
    }
    body.push_back(std::move(cells));
  }
  auto style = [&](const std::string& text, const std::string& markup) {
    if (!ansi || markup.empty()) return text;
    const std::string code = Helper::ansi_style(markup);
    return code.empty() ? text : code + text + "\x1b[0m";
  };
  const bool edge = options_.show_edge;
  auto rule = [&](const char* left, const char* mid, const char* right) {
    std::string line = edge ? left : "";
    for (std::size_t c = 0; c < widths.size(); ++c) {
      line += repeat("\u2500", widths[c] + 2);
      if (c + 1 < widths.size()) line += mid;
    }
    if (edge) line += right;
    return line + "\n";
  };
  auto line = [&](const std::vector<std::string>& cells, const std::string& markup) {
    std::string out = edge ? "\u2502" : "";
    for (std::size_t c = 0; c < widths.size(); ++c) {
      out += ' ';
      out += style(pad(cells[c], widths[c]), markup);
      out += ' ';
      if (c + 1 < widths.size()) out += "\u2502";
    }
    if (edge) out += "\u2502";
    return out + "\n";
  };
  std::string out;
  if (options_.title) {
    out +=
        style(Helper::render_markup(Helper::escape(*options_.title), false), options_.title_style) +
        "\n";
  }
  if (edge) out += rule("\u250c", "\u252c", "\u2510");
  if (options_.show_header) {
    out += line(header, options_.header_style);
    if (!body.empty() || edge) out += rule("\u251c", "\u253c", "\u2524");
  }
  for (std::size_t r = 0; r < body.size(); ++r) {
    out += line(body[r], "");
    if (options_.show_lines && r + 1 < body.size()) out += rule("\u251c", "\u253c", "\u2524");
  }
  if (edge) out += rule("\u2514", "\u2534", "\u2518");
  return out;
}

Console::Console() : out_(&Helper::output()) {}

Console::Console(std::ostream& out) : out_(&out) {}

void Console::print(const ConsoleTable& table) {
  *out_ << table.render(Helper::use_ansi(*out_));
  out_->flush();
}

}  // namespace orvane
