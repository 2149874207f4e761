#pragma once

#include <iosfwd>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

/// How one console line is printed. `color` is an ANSI colour code (33, 34, 36, ...); `end` is
/// written after the message instead of a line break; `reverse` prints a reversed heading;
/// `show_level` names the trace category ("layout_grid", "pool_lane", "draw", ...).
struct PrintOptions {
  std::optional<int> color;
  std::string end = "\n";
  bool reverse = false;
  std::string show_level;
};

/// A console table: columns with titles, rows of texts, optional title, header and row rules.
class ORVANE_API ConsoleTable {
 public:
  struct Options {
    std::optional<std::string> title;
    std::string header_style = "bold magenta";
    std::string title_style;
    bool show_header = true;
    bool show_edge = true;
    bool show_lines = false;
  };

  ConsoleTable();
  explicit ConsoleTable(Options options);

  /// Adds a column titled `header`.
  void add_column(std::string header);
  /// Adds one row; missing trailing cells are filled with blanks, extra cells are refused.
  void add_row(std::vector<std::string> cells);

  const Options& options() const { return options_; }
  const std::vector<std::string>& columns() const { return columns_; }
  const std::vector<std::vector<std::string>>& rows() const { return rows_; }

  /// The table as text: box-drawing borders, cells padded by display width; ANSI styles when
  /// `ansi` is true.
  std::string render(bool ansi) const;

 private:
  Options options_;
  std::vector<std::string> columns_;
  std::vector<std::vector<std::string>> rows_;
};

/// A console output that tables are printed on (the helper's output stream unless given).
class ORVANE_API Console {
 public:
  Console();
  explicit Console(std::ostream& out);
  /// Prints the table, with ANSI styles when the stream is a terminal.
  void print(const ConsoleTable& table);

 private:
  std::ostream* out_;
};

/// Console tracing, the process log and identifiers. All members are process-wide.
class ORVANE_API Helper {
 public:
  /// Prints one trace line when its `show_level` is shown (see set_show_levels). Markup tags
  /// ("[red]", "[/]", "[cadet_blue][bold]", ":thumbsup:") become ANSI styles on a terminal and
  /// are stripped otherwise; "\[" stands for a literal "[".
  static void printc(std::string_view message, const PrintOptions& options = {});
  /// The form with a positional colour code.
  static void printc(std::string_view message, int color, PrintOptions options = {});
  /// Several texts printed in order on one line.
  static void printc(const std::vector<std::string>& messages, const PrintOptions& options = {});
  /// Writes one line straight to the trace output, whatever levels are shown.
  static void print_plain(std::string_view message);

  /// Writes "YYYY-mm-dd HH:MM:SS [INFO] : message" to the process log.
  static void info_log(std::string_view message);
  /// Configures the process log (level debug, the line format above) unless already done.
  static void configure_log();
  static bool log_configured();

  /// A new identifier "<prefix>_<hex>", a valid XML id. The sequence is deterministic: it
  /// restarts at every reset_uuid(), which each new diagram calls.
  static std::string get_uuid(std::string_view prefix);
  static void reset_uuid();

  /// The quoted form of a text: between single quotes, or double quotes when it holds a single
  /// quote and no double quote; backslash escapes for quotes, backslashes and control
  /// characters.
  static std::string quoted(std::string_view text);
  /// User text made safe inside a markup message: "[" escaped, control characters shown as
  /// escapes so that nothing reaches the terminal raw.
  static std::string escape(std::string_view text);
  /// The ANSI sequence of a style such as "bold magenta reverse"; empty for an unknown style.
  static std::string ansi_style(std::string_view style);
  /// Renders or strips the markup of `message`.
  static std::string render_markup(std::string_view message, bool ansi);

  /// Number of characters (code points) of a UTF-8 text.
  static std::size_t char_length(std::string_view text);
  /// The first `count` characters of a UTF-8 text, never cutting inside a sequence.
  static std::string char_prefix(std::string_view text, std::size_t count);

  /// Trace categories printed by printc; empty by default, so a library stays quiet. "all"
  /// shows every category.
  static void set_show_levels(std::set<std::string> levels);
  static const std::set<std::string>& show_levels();
  static bool is_shown(std::string_view show_level);

  /// Grid dump switch (on only when exactly true) and position tables switch.
  static bool show_layout_grid;
  static bool show_x_position;

  /// Where traces and tables go (default std::cout) and where the log goes (default std::cerr).
  static void set_output(std::ostream& out);
  static void set_log_output(std::ostream& out);
  static std::ostream& output();
  static std::ostream& log_output();
  /// Whether ANSI styles are written: auto-detected per stream, or forced for tests.
  static void set_ansi(std::optional<bool> forced);
  static bool use_ansi(std::ostream& out);
};

}  // namespace orvane
