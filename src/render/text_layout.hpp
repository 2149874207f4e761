// Setting text with pango, shared by every painter: measuring, the one rule that fits a name
// into its box, where the fitted lines go, and the lines themselves for painters that write
// text out (SVG).
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvane/coordinate.hpp"
#include "orvane/painter.hpp"

namespace orvane {

using LayoutPtr = std::unique_ptr<PangoLayout, decltype(&g_object_unref)>;

/// Fonts tried after the style's own, so accented Latin, Greek, Cyrillic and CJK always render.
inline constexpr const char* FALLBACK_FONTS = "Noto Sans,DejaVu Sans,Noto Sans CJK SC";
/// The font of a style that names none: the first fallback.
inline constexpr const char* DEFAULT_FONT = "Noto Sans";

/// Pango's generic family names, each with the CSS generic family it stands for.
inline constexpr std::pair<std::string_view, std::string_view> GENERIC_FAMILIES[] = {
    {"sans", "sans-serif"},     {"sans-serif", "sans-serif"}, {"serif", "serif"},
    {"monospace", "monospace"}, {"mono", "monospace"},        {"cursive", "cursive"},
    {"fantasy", "fantasy"},     {"system-ui", "system-ui"}};

/// `text` as every painter sets it: invalid UTF-8 replaced by U+FFFD, control characters other
/// than tabs and line breaks dropped (they would show as boxes, and XML cannot hold them).
std::string settable_text(const std::string& text);

/// Most characters and line breaks of one text that a picture sets: no name can be read at
/// that length, and pango's time to set a text grows with its lines times its length.
inline constexpr std::size_t MAX_SET_CHARACTERS = 5000;
inline constexpr std::size_t MAX_SET_LINE_BREAKS = 200;

/// `text` as settable_text makes it, bounded for setting: the line breaks after the
/// MAX_SET_LINE_BREAKS-th become spaces, and a text longer than MAX_SET_CHARACTERS ends
/// there with an ellipsis. (The exports keep the whole text.)
std::string text_for_layout(const std::string& text);

/// Orvane's font map for the calling thread, made when first asked for; pango starts loading
/// the font configuration then, on a thread of its own.
PangoFontMap* thread_font_map();

/// The calling thread's font map (thread_font_map), with the font configuration loaded. Pango loads
/// it on a thread of its own, which reads the process's environment; waiting for that thread here
/// means it never runs on after the painter's call returns, when the program may change its
/// environment (reading the environment on one thread while another changes it can crash).
PangoFontMap* loaded_font_map();

/// The family pango sets a text of `style` in on `context`, when it is none of those the style
/// names (a comma-separated list; the default font when empty): empty when one of them is
/// installed, or the list names a generic family (sans-serif, serif, monospace, ...), which any
/// font answers.
std::string font_instead_of(PangoContext* context, const TextStyle& style);

/// One pango setup for measuring and painting: 72 dpi so a font size is in pixels, and no
/// hinting of metrics so the layout is the same on every surface kind.
void configure_context(PangoContext* context);

/// `text` in `style` at its natural size, wrapped at `width` when it is positive and the style
/// wraps; nothing is cut. What measure_text reports.
LayoutPtr measure_layout(PangoContext* context, const std::string& text, const TextStyle& style,
                         double width);

/// How a text is fitted into a box `along` x `across` (in the text's own direction).
/// Within the box the text wraps at word boundaries; when it does not fit, the font shrinks
/// step by step down to a floor (8 px, or 70 % of the style's size when that is larger). A word
/// too wide for the box even at the floor is broken between characters (at the size that
/// breaks the fewest words), and only a text that still does not fit is cut, with an ellipsis
/// at the end of the last line that fits. A style with `keep_lines` never loses a line of its
/// own: when its lines cannot all be kept at the floor, each is set once, shrunk further and
/// ellipsised along if need be.
struct TextFit {
  /// The text to set: valid UTF-8; when cut, the lines from the last shown one on are joined so
  /// that pango ellipsises that line.
  std::string text;
  double font_size = 12;
  /// Wrapped to `along` (otherwise one line per line of the text).
  bool wrap = true;
  /// Lines beyond the box height are dropped and the last one ellipsised.
  bool cut = false;
  /// Every line of the text is set once, ellipsised when too long.
  bool one_line_each = false;
  double along = 0;
  double across = 0;
};

/// Finds how `text` fits into `along` x `across` in `style` (see TextFit). With `layout_out`,
/// also gives the fit's layout (what fitted_layout makes of it), already set.
TextFit fit_text(PangoContext* context, const std::string& text, const TextStyle& style,
                 double along, double across, LayoutPtr* layout_out = nullptr);

/// The layout of a fitted text.
LayoutPtr fitted_layout(PangoContext* context, const TextFit& fit, const TextStyle& style);

/// Where a laid-out text goes in a box of `width` x `height` (in the text's own direction): the
/// offset of the layout's origin and the logical rectangle it covers, relative to the box.
struct Placement {
  double dx = 0;
  double dy = 0;
  Box logical;
};

Placement place(PangoLayout* layout, const TextStyle& style, double width, double height);

/// One set line: its characters in reading order (an ellipsis where pango put one, and the
/// whitespace the line was broken at), its left end and baseline relative to the layout's
/// origin. A line that ends a paragraph before another line ends in a space, so that the lines
/// joined read as the text (a word broken between characters joins without one).
struct SetLine {
  std::string text;
  double x = 0;
  double baseline = 0;
};

/// The lines of a layout as pango set them.
std::vector<SetLine> set_lines(PangoLayout* layout);

}  // namespace orvane
