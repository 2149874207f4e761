#pragma once

#include <string>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

/// A colour palette with fonts and sizes: everything a painter's defaults are filled from.
/// Colours are "#rrggbb" texts.
struct ORVANE_API Theme {
  std::string name;
  std::string background_colour;
  std::string title_font;
  int title_font_size = 0;
  std::string title_font_colour;
  std::string pool_font;
  int pool_font_size = 0;
  std::string pool_font_colour;
  std::string pool_fill_colour;
  std::string lane_font;
  int lane_font_size = 0;
  std::string lane_font_colour;
  std::string lane_fill_colour;
  std::string lane_text_alignment;
  std::string lane_background_fill_colour;
  std::string footer_font;
  int footer_font_size = 0;
  std::string footer_font_colour;
  std::string element_font;
  int element_font_size = 0;
  std::string element_font_colour;
  std::string element_fill_colour;
  std::string element_outline_colour;
  std::string connection_colour;
};

/// A colour with components in 0..1.
struct ORVANE_API Rgba {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
  bool operator==(const Rgba&) const = default;
};

/// Reads a colour: "#rgb", "#rrggbb", "#rrggbbaa" or a common colour name ("white", "navy",
/// "lightgrey", ...), case-insensitively. Throws std::invalid_argument naming the text.
ORVANE_API Rgba parse_colour(const std::string& text);
/// The colour as "#rrggbb" (its alpha left out).
ORVANE_API std::string hex_colour(const Rgba& colour);
/// The WCAG contrast ratio of two opaque colours, from 1 (equal) to 21 (black on white).
ORVANE_API double contrast_ratio(const Rgba& first, const Rgba& second);

/// The known theme names, "DEFAULT" first.
ORVANE_API std::vector<std::string> theme_names();
/// The theme named `name`; throws std::invalid_argument listing the known ones.
ORVANE_API const Theme& get_theme(const std::string& name);

}  // namespace orvane
