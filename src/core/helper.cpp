#include "orvane/helper.hpp"

#include <fmt/format.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <unordered_map>

namespace orvane {
namespace {

struct State {
  std::set<std::string> levels;
  std::ostream* out = &std::cout;
  std::ostream* log = &std::cerr;
  std::optional<bool> forced_ansi;
  bool log_configured = false;
  std::unordered_map<std::string, std::uint64_t> uuid_counters;
};

State& state() {
  static State s;
  return s;
}

// Named colours of the markup, as 256-colour indices.
const std::map<std::string, std::string, std::less<>>& style_codes() {
  static const std::map<std::string, std::string, std::less<>> codes{
      {"bold", "1"},
      {"dim", "2"},
      {"italic", "3"},
      {"underline", "4"},
      {"reverse", "7"},
      {"red", "31"},
      {"green", "32"},
      {"yellow", "33"},
      {"blue", "34"},
      {"magenta", "35"},
      {"cyan", "36"},
      {"white", "37"},
      {"orange4", "38;5;94"},
      {"dodger_blue1", "38;5;33"},
      {"cadet_blue", "38;5;72"},
  };
  return codes;
}

const std::map<std::string, std::string, std::less<>>& emoji_codes() {
  static const std::map<std::string, std::string, std::less<>> codes{
      {"thumbsup", "\xF0\x9F\x91\x8D"}, {"warning", "\xE2\x9A\xA0"}, {"x", "\xE2\x9D\x8C"}};
  return codes;
}

std::string ansi_for(std::string_view tag) {
  std::string codes;
  std::size_t start = 0;
  while (start <= tag.size()) {
    std::size_t end = tag.find(' ', start);
    if (end == std::string_view::npos) end = tag.size();
    std::string_view word = tag.substr(start, end - start);
    auto it = style_codes().find(word);
    if (it == style_codes().end()) return {};
    if (!codes.empty()) codes += ';';
    codes += it->second;
    start = end + 1;
  }
  return "\x1b[" + codes + "m";
}

// Appends `text` with every control character (C0, DEL and the C1 range U+0080..U+009F, which
// some terminals read as escape sequences) written as a visible escape. `keep_newline` leaves
// line breaks and tabs as they are.
void append_printable(std::string& out, std::string_view text, bool keep_newline) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (keep_newline && (c == '\n' || c == '\t')) {
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      out += fmt::format("\\x{:02x}", c);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += fmt::format("\\x{:02x}", static_cast<unsigned char>(text[i + 1]));
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
}

bool is_tag(std::string_view tag) {
  if (tag == "/" || tag.empty()) return !tag.empty();
  std::size_t start = 0;
  while (start <= tag.size()) {
    std::size_t end = tag.find(' ', start);
    if (end == std::string_view::npos) end = tag.size();
    if (style_codes().find(tag.substr(start, end - start)) == style_codes().end()) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

bool Helper::show_layout_grid = false;
bool Helper::show_x_position = false;

std::string Helper::ansi_style(std::string_view style) {
  return is_tag(style) && style != "/" ? ansi_for(style) : std::string();
}

std::string Helper::render_markup(std::string_view message, bool ansi) {
  std::string out;
  std::vector<std::string> open;
  for (std::size_t i = 0; i < message.size(); ++i) {
    char c = message[i];
    if (c == '\\' && i + 1 < message.size() && message[i + 1] == '[') {
      out += '[';
      ++i;
      continue;
    }
    if (c == '[') {
      std::size_t close = message.find(']', i);
      if (close != std::string_view::npos) {
        std::string_view tag = message.substr(i + 1, close - i - 1);
        if (is_tag(tag)) {
          if (ansi) {
            if (tag == "/") {
              if (!open.empty()) open.pop_back();
              out += "\x1b[0m";
              for (const auto& code : open) out += code;
            } else {
              open.push_back(ansi_for(tag));
              out += open.back();
            }
          }
          i = close;
          continue;
        }
      }
    }
    if (c == ':') {
      std::size_t close = message.find(':', i + 1);
      if (close != std::string_view::npos) {
        auto it = emoji_codes().find(message.substr(i + 1, close - i - 1));
        if (it != emoji_codes().end()) {
          out += it->second;
          i = close;
          continue;
        }
      }
    }
    // Raw control characters never reach the terminal; the C1 range is two bytes in UTF-8.
    if (static_cast<unsigned char>(c) == 0xC2 && i + 1 < message.size()) {
      append_printable(out, message.substr(i, 2), true);
      ++i;
    } else {
      append_printable(out, message.substr(i, 1), true);
    }
  }
  if (ansi && !open.empty()) out += "\x1b[0m";
  return out;
}

void Helper::printc(std::string_view message, const PrintOptions& options) {
  if (!is_shown(options.show_level)) return;
  std::ostream& out = output();
  const bool ansi = use_ansi(out);
  std::string text = render_markup(message, ansi);
  if (ansi && (options.color || options.reverse)) {
    std::string codes;
    if (options.color) codes = std::to_string(*options.color);
    if (options.reverse) codes += codes.empty() ? "7" : ";7";
    text = "\x1b[" + codes + "m" + text + "\x1b[0m";
  }
  out << text << options.end;
  out.flush();
}

void Helper::printc(std::string_view message, int color, PrintOptions options) {
  options.color = color;
  printc(message, options);
}

void Helper::printc(const std::vector<std::string>& messages, const PrintOptions& options) {
  std::string joined;
  for (const auto& m : messages) joined += m;
  printc(joined, options);
}

void Helper::print_plain(std::string_view message) {
  output() << render_markup(message, false) << '\n';
  output().flush();
}

void Helper::configure_log() {
  state().log_configured = true;
}

bool Helper::log_configured() {
  return state().log_configured;
}

void Helper::info_log(std::string_view message) {
  configure_log();
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  // The log is not markup: only control characters are neutralised, brackets stay.
  std::string line;
  append_printable(line, message, false);
  log_output() << stamp << " [INFO] : " << line << '\n';
  log_output().flush();
}

std::string Helper::get_uuid(std::string_view prefix) {
  // A splitmix64 step over a per-prefix counter: unique, id-like and reproducible.
  std::uint64_t n = ++state().uuid_counters[std::string(prefix)];
  std::uint64_t z = n * 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return fmt::format("{}_{:016x}", prefix, z);
}

void Helper::reset_uuid() {
  state().uuid_counters.clear();
}

std::string Helper::quoted(std::string_view text) {
  const bool has_single = text.find('\'') != std::string_view::npos;
  const bool has_double = text.find('"') != std::string_view::npos;
  const char quote = has_single && !has_double ? '"' : '\'';
  std::string body;
  for (char c : text) {
    if (c == '\\' || c == quote) body += '\\';
    body += c;
  }
  std::string out(1, quote);
  append_printable(out, body, false);
  out += quote;
  return out;
}

std::string Helper::escape(std::string_view text) {
  std::string body;
  for (char c : text) {
    if (c == '[') body += '\\';
    body += c;
  }
  std::string out;
  append_printable(out, body, false);
  return out;
}

std::size_t Helper::char_length(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::string Helper::char_prefix(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == count) return std::string(text.substr(0, i));
      ++seen;
    }
  }
  return std::string(text);
}

void Helper::set_show_levels(std::set<std::string> levels) {
  state().levels = std::move(levels);
}

const std::set<std::string>& Helper::show_levels() {
  return state().levels;
}

bool Helper::is_shown(std::string_view show_level) {
  const auto& levels = state().levels;
  return levels.count("all") > 0 || levels.count(std::string(show_level)) > 0;
}

void Helper::set_output(std::ostream& out) {
  state().out = &out;
}
void Helper::set_log_output(std::ostream& out) {
  state().log = &out;
}
std::ostream& Helper::output() {
  return *state().out;
}
std::ostream& Helper::log_output() {
  return *state().log;
}
void Helper::set_ansi(std::optional<bool> forced) {
  state().forced_ansi = forced;
}

bool Helper::use_ansi(std::ostream& out) {
  if (state().forced_ansi) return *state().forced_ansi;
  if (&out == &std::cout) return ::isatty(STDOUT_FILENO) != 0;
  if (&out == &std::cerr) return ::isatty(STDERR_FILENO) != 0;
  return false;
}

}  // namespace orvane
