// The colour themes and the colour arithmetic the painters and their tests share.
#include "orvane/theme.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <stdexcept>

namespace orvane {
namespace {

// Every palette keeps its text colours readable (contrast of at least 4.5) on the fill they are
// written on: title and footer on the background, pool and lane names on their label bands,
// shape names on the shape fill and on the lane body below events and gateways.
std::vector<Theme> make_themes() {
  std::vector<Theme> themes;
  auto add = [&](Theme t) { themes.push_back(std::move(t)); };
  // name, background; title font/size/colour; pool font/size/colour/fill; lane
  // font/size/colour/fill/alignment/background; footer font/size/colour; element
  // font/size/colour/fill/outline; connection colour.
  add({"DEFAULT",   "#ffffff", "Noto Sans", 20,          "#1a1a1a", "Noto Sans",
       14,          "#1a1a1a", "#ffffff",   "Noto Sans", 13,        "#1a1a1a",
       "#ffffff",   "centre",  "#ffffff",   "Noto Sans", 11,        "#4d4d4d",
       "Noto Sans", 12,        "#1a1a1a",   "#ffffff",   "#22242a", "#22242a"});
  add({"OCEAN",     "#f4f8fb", "Noto Sans", 20,          "#0b3954", "Noto Sans",
       14,          "#ffffff", "#0b3954",   "Noto Sans", 13,        "#0b3954",
       "#cfe3f1",   "centre",  "#eef5fa",   "Noto Sans", 11,        "#35586e",
       "Noto Sans", 12,        "#0b3954",   "#ffffff",   "#1d6fa3", "#1d4e6e"});
  add({"FOREST",
       "#f6f8f3",
       "DejaVu Sans",
       20,
       "#1f3d1c",
       "DejaVu Sans",
       14,
       "#ffffff",
       "#2e5b2a",
       "DejaVu Sans",
       13,
       "#1f3d1c",
       "#d9e8d2",
       "centre",
       "#f0f5ec",
       "DejaVu Sans",
       11,
       "#44603f",
       "DejaVu Sans",
       12,
       "#1f3d1c",
       "#ffffff",
       "#3b7a34",
       "#2f4a2c"});
  add({"SUNSET",    "#fffaf4", "Noto Sans", 20,          "#6b2407", "Noto Sans",
       14,          "#ffffff", "#a8400f",   "Noto Sans", 13,        "#5c2206",
       "#fbe0c8",   "centre",  "#fff3e6",   "Noto Sans", 11,        "#7a4a2d",
       "Noto Sans", 12,        "#4a1d06",   "#fffdf9",   "#c2571a", "#7c3410"});
  add({"MONOCHROME",
       "#ffffff",
       "DejaVu Sans",
       20,
       "#000000",
       "DejaVu Sans",
       14,
       "#ffffff",
       "#333333",
       "DejaVu Sans",
       13,
       "#111111",
       "#e6e6e6",
       "centre",
       "#fafafa",
       "DejaVu Sans",
       11,
       "#555555",
       "DejaVu Sans",
       12,
       "#111111",
       "#ffffff",
       "#333333",
       "#333333"});
  add({"DARK",      "#1e2229", "Noto Sans", 20,          "#f0f3f6", "Noto Sans",
       14,          "#f0f3f6", "#2b3a4d",   "Noto Sans", 13,        "#e3e8ee",
       "#2a313b",   "centre",  "#242a32",   "Noto Sans", 11,        "#b5bfca",
       "Noto Sans", 12,        "#eef2f6",   "#2f3846",   "#8fb3d9", "#a9c1da"});
  add({"PASTEL",    "#fdfcff", "Noto Sans", 20,          "#3d2b56", "Noto Sans",
       14,          "#3d2b56", "#e4d9f5",   "Noto Sans", 13,        "#3d2b56",
       "#f1e9fb",   "centre",  "#fbf8ff",   "Noto Sans", 11,        "#5d4c73",
       "Noto Sans", 12,        "#2f2340",   "#fff8e8",   "#8a6fb5", "#5e4a7c"});
  return themes;
}

const std::vector<Theme>& themes() {
  static const std::vector<Theme> all = make_themes();
  return all;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const std::map<std::string, std::string>& colour_names() {
  static const std::map<std::string, std::string> names = {
      {"black", "#000000"},      {"white", "#ffffff"},       {"red", "#ff0000"},
      {"green", "#008000"},      {"lime", "#00ff00"},        {"blue", "#0000ff"},
      {"yellow", "#ffff00"},     {"cyan", "#00ffff"},        {"aqua", "#00ffff"},
      {"magenta", "#ff00ff"},    {"fuchsia", "#ff00ff"},     {"grey", "#808080"},
      {"gray", "#808080"},       {"silver", "#c0c0c0"},      {"maroon", "#800000"},
      {"olive", "#808000"},      {"navy", "#000080"},        {"purple", "#800080"},
      {"teal", "#008080"},       {"orange", "#ffa500"},      {"pink", "#ffc0cb"},
      {"brown", "#a52a2a"},      {"gold", "#ffd700"},        {"beige", "#f5f5dc"},
      {"ivory", "#fffff0"},      {"khaki", "#f0e68c"},       {"lavender", "#e6e6fa"},
      {"salmon", "#fa8072"},     {"coral", "#ff7f50"},       {"tomato", "#ff6347"},
      {"crimson", "#dc143c"},    {"indigo", "#4b0082"},      {"violet", "#ee82ee"},
      {"orchid", "#da70d6"},     {"plum", "#dda0dd"},        {"tan", "#d2b48c"},
      {"chocolate", "#d2691e"},  {"turquoise", "#40e0d0"},   {"skyblue", "#87ceeb"},
      {"steelblue", "#4682b4"},  {"royalblue", "#4169e1"},   {"darkblue", "#00008b"},
      {"darkgreen", "#006400"},  {"darkred", "#8b0000"},     {"darkgrey", "#a9a9a9"},
      {"darkgray", "#a9a9a9"},   {"dimgrey", "#696969"},     {"dimgray", "#696969"},
      {"lightgrey", "#d3d3d3"},  {"lightgray", "#d3d3d3"},   {"lightblue", "#add8e6"},
      {"lightgreen", "#90ee90"}, {"lightyellow", "#ffffe0"}, {"lightpink", "#ffb6c1"},
      {"whitesmoke", "#f5f5f5"}, {"gainsboro", "#dcdcdc"},   {"aliceblue", "#f0f8ff"},
      {"honeydew", "#f0fff0"},   {"mintcream", "#f5fffa"},   {"seashell", "#fff5ee"},
      {"linen", "#faf0e6"},      {"snow", "#fffafa"},        {"transparent", "#00000000"},
  };
  return names;
}

double linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const Rgba& c) {
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

std::string join_names(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "'" : ", '") + n + "'";
  return out;
}

}  // namespace

Rgba parse_colour(const std::string& text) {
  std::string lower;
  for (char c : text) {
    if (c != ' ' && c != '_')
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (auto it = colour_names().find(lower); it != colour_names().end()) lower = it->second;
  auto bad = [&]() {
    return std::invalid_argument("unknown colour '" + text +
                                 "': use #rgb, #rrggbb, #rrggbbaa or a colour name such as "
                                 "'white' or 'navy'");
  };
  if (lower.size() < 2 || lower[0] != '#') throw bad();
  std::vector<int> digits;
  for (std::size_t i = 1; i < lower.size(); ++i) {
    int d = hex_digit(lower[i]);
    if (d < 0) throw bad();
    digits.push_back(d);
  }
  if (digits.size() == 3) {
    return {digits[0] * 17 / 255.0, digits[1] * 17 / 255.0, digits[2] * 17 / 255.0, 1.0};
  }
  if (digits.size() == 6 || digits.size() == 8) {
    auto byte = [&](int i) { return (digits[2 * i] * 16 + digits[2 * i + 1]) / 255.0; };
    return {byte(0), byte(1), byte(2), digits.size() == 8 ? byte(3) : 1.0};
  }
  throw bad();
}

double contrast_ratio(const Rgba& first, const Rgba& second) {
  double a = luminance(first);
  double b = luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::vector<std::string> theme_names() {
  std::vector<std::string> names;
  for (const auto& t : themes()) names.push_back(t.name);
  return names;
}

const Theme& get_theme(const std::string& name) {
  // Theme names are matched without regard to case, so "ocean" finds "OCEAN".
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& t : themes()) {
    if (t.name == upper(name)) return t;
  }
  throw std::invalid_argument("unknown colour theme '" + name +
                              "'; known themes: " + join_names(theme_names()));
}

}  // namespace orvane
