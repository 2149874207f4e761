// The colour themes the painters fill their defaults from (colours themselves: core/colour.cpp).
#include "orvane/theme.hpp"

#include <algorithm>
#include <cctype>
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

std::string join_names(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "'" : ", '") + n + "'";
  return out;
}

}  // namespace

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
