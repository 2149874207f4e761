// A text's glyphs taken out of its pango layout, to be shown by cairo alone: cairo may draw on
// several threads at once, while pango, which sets the text, may not.
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <optional>
#include <vector>

namespace orvane {

/// A run of glyphs in one font, at (x, y) from the layout's origin: each glyph's place along the
/// run and its shift off the baseline. In pango units, as pango's cairo renderer has them.
struct GlyphRun {
  std::shared_ptr<cairo_scaled_font_t> font;
  int x = 0;
  int y = 0;
  struct Glyph {
    unsigned long index;
    int along;
    int shift;
  };
  std::vector<Glyph> glyphs;
};

/// The glyphs of `layout` in the order and at the places pango's cairo renderer shows them on a
/// surface without text clusters (an image); nothing when pango must draw the text itself
/// (boxes with the codes of characters no font has, runs shifted off their line).
std::optional<std::vector<GlyphRun>> glyph_runs(PangoLayout* layout);

/// Shows glyph runs from the current point with the cairo calls, and the arithmetic for the
/// glyphs' places, of pango's cairo renderer, so the pixels are those pango_cairo_show_layout
/// gives on an image surface.
void show_glyph_runs(cairo_t* cr, const std::vector<GlyphRun>& runs);

}  // namespace orvane
