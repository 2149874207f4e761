// Colours as styles write them: "#rgb", "#rrggbb", "#rrggbbaa" or a common name, and how
// readable one is on another. The painters draw with them; readers and exporters check them.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

#include "orvane/theme.hpp"

namespace orvane {
namespace {

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

std::string hex_colour(const Rgba& colour) {
  const auto byte = [](double v) {
    return static_cast<unsigned>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  static const char* digits = "0123456789abcdef";
  std::string out = "#";
  for (double v : {colour.red, colour.green, colour.blue}) {
    out += digits[byte(v) / 16];
    out += digits[byte(v) % 16];
  }
  return out;
}

double contrast_ratio(const Rgba& first, const Rgba& second) {
  double a = luminance(first);
  double b = luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

}  // namespace orvane
