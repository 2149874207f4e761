#include "glyph_runs.hpp"

namespace orvane {

std::optional<std::vector<GlyphRun>> glyph_runs(PangoLayout* layout) {
  // Lines from the top, each from the left end of its extents at its baseline; a line's runs in
  // visual order, one after another.
  std::vector<GlyphRun> runs;
  bool plain = true;
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  do {
    PangoRectangle line_extents;
    pango_layout_iter_get_line_extents(iter, nullptr, &line_extents);
    const int baseline = pango_layout_iter_get_baseline(iter);
    int x = line_extents.x;
    for (GSList* l = pango_layout_iter_get_line_readonly(iter)->runs; l != nullptr && plain;
         l = l->next) {
      const auto* run = static_cast<const PangoGlyphItem*>(l->data);
      PangoFont* font = run->item->analysis.font;
      cairo_scaled_font_t* scaled = PANGO_IS_CAIRO_FONT(font)
                                        ? pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(font))
                                        : nullptr;
      plain = scaled != nullptr && cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS &&
              run->y_offset == 0 && run->start_x_offset == 0 && run->end_x_offset == 0 &&
              (run->item->analysis.flags & PANGO_ANALYSIS_FLAG_CENTERED_BASELINE) == 0;
      if (!plain) break;
      GlyphRun out;
      out.font = std::shared_ptr<cairo_scaled_font_t>(cairo_scaled_font_reference(scaled),
                                                      &cairo_scaled_font_destroy);
      out.x = x;
      out.y = baseline;
      int along = 0;
      for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
        const PangoGlyphInfo& g = run->glyphs->glyphs[i];
        if ((g.glyph & PANGO_GLYPH_UNKNOWN_FLAG) != 0) {
          plain = false;
          break;
        }
        if (g.glyph != PANGO_GLYPH_EMPTY) {
          out.glyphs.push_back({g.glyph, along + g.geometry.x_offset, g.geometry.y_offset});
        }
        along += g.geometry.width;
      }
      x += along;
      runs.push_back(std::move(out));
    }
  } while (plain && pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
  if (!plain) return std::nullopt;
  return runs;
}

void show_glyph_runs(cairo_t* cr, const std::vector<GlyphRun>& runs) {
  double origin_x = 0;
  double origin_y = 0;
  cairo_get_current_point(cr, &origin_x, &origin_y);
  std::vector<cairo_glyph_t> glyphs;
  for (const GlyphRun& run : runs) {
    const double base_x = origin_x + static_cast<double>(run.x) / PANGO_SCALE;
    const double base_y = origin_y + static_cast<double>(run.y) / PANGO_SCALE;
    glyphs.clear();
    for (const GlyphRun::Glyph& g : run.glyphs) {
      glyphs.push_back(
          {g.index, base_x + static_cast<double>(g.along) / PANGO_SCALE,
           g.shift == 0 ? base_y : base_y + static_cast<double>(g.shift) / PANGO_SCALE});
    }
    cairo_save(cr);
    cairo_set_scaled_font(cr, run.font.get());
    cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
    cairo_restore(cr);
  }
}

}  // namespace orvane
