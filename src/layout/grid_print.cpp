// The console dump of the grid: one table per lane, fixed-width cells.
#include "grid_impl.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

constexpr std::size_t kCellWidth = 20;

const PrintOptions kTrace = trace_options();

// Left-aligns `text` in a cell, filled with spaces or, with `repeat`, with the text itself. The
// text "None" stands for an empty cell. Cuts by characters, never inside a UTF-8 sequence.
std::string format_text(std::string_view text, bool repeat) {
  const std::string t = Helper::char_prefix(text, kCellWidth);
  std::string filler;
  if (repeat) {
    for (std::size_t i = 0; i < kCellWidth; ++i) filler += t;
  } else {
    filler.assign(kCellWidth, ' ');
  }
  if (t == "None") return filler;
  return t + Helper::char_prefix(filler, kCellWidth - Helper::char_length(t));
}

}  // namespace

std::string Grid::format_item(const std::optional<std::string>& item, bool repeat) const {
  return format_text(item ? std::string_view(*item) : std::string_view("None"), repeat);
}

std::string Grid::format_item(int item, bool repeat) const {
  return format_text(std::to_string(item), repeat);
}

std::string Grid::format_itemX(const std::optional<std::string>& item, bool repeat) const {
  return format_item(item, repeat) + "|";
}

void Grid::print_header(ConsoleTable& table) const {
  const int w = get_max_column_count();
  if (impl_->lanes.empty()) return;
  table.add_column("ROW \\ COL");
  for (int i = 1; i <= w; ++i) table.add_column(format_item(i));
}

void Grid::print_headerX() const {
  const int w = get_max_column_count();
  if (impl_->lanes.empty()) return;
  PrintOptions inline_trace = trace_options();
  inline_trace.end = "";
  Helper::printc(format_item(std::string("ROW \\ COL")), 33, inline_trace);
  for (int i = 1; i <= w; ++i) Helper::printc(format_item(i), 33, inline_trace);
  Helper::printc("", kTrace);
  for (int i = 0; i <= w; ++i)
    Helper::printc(format_item(std::string("-"), true), 33, inline_trace);
  Helper::printc("", kTrace);
}

void Grid::print_grid() const {
  if (!Helper::show_layout_grid) return;
  for (std::size_t l = 0; l < impl_->lanes.size(); ++l) {
    const auto& lane = impl_->lanes[l];
    Helper::printc("lane_id=" + Helper::escape(Helper::quoted(lane.id)), 33, kTrace);
    Console console;
    ConsoleTable::Options options;
    options.header_style = "bold magenta";
    options.show_header = true;
    options.show_lines = true;
    ConsoleTable table(options);
    print_header(table);
    for (std::size_t r = 0; r < lane.rows.size(); ++r) {
      std::vector<std::string> texts{format_item(lane.rows[r].key)};
      for (Shape* shape : GridRowView(this, l, r).cells()) {
        texts.push_back(shape != nullptr ? format_item(shape->name) : format_item(std::nullopt));
      }
      table.add_row(std::move(texts));
    }
    console.print(table);
  }
}

}  // namespace orvane
