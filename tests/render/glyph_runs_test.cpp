#include "render/glyph_runs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

namespace orvane {
namespace {

// A white picture to draw a text on in dark blue, with a turn or scale set up by `transform`.
class Picture {
 public:
  explicit Picture(const std::function<void(cairo_t*)>& transform)
      : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 420, 300)),
        cr_(cairo_create(surface_)) {
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    cairo_set_source_rgb(cr_, 0.1, 0.2, 0.5);
    transform(cr_);
  }
  ~Picture() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  cairo_t* cr() const { return cr_; }
  std::string pixels() const {
    cairo_surface_flush(surface_);
    const auto* data = reinterpret_cast<const char*>(cairo_image_surface_get_data(surface_));
    return std::string(data, static_cast<std::size_t>(cairo_image_surface_get_stride(surface_)) *
                                 cairo_image_surface_get_height(surface_));
  }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// A layout of `text` set for `cr`'s turn and scale; `setup` sets its width, height and more.
PangoLayout* layout_for(cairo_t* cr, const std::string& text, const char* font,
                        const std::function<void(PangoLayout*)>& setup) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* description = pango_font_description_from_string(font);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  pango_layout_set_text(layout, text.c_str(), -1);
  setup(layout);
  return layout;
}

struct Case {
  const char* what;
  std::string text;
  const char* font;
  std::function<void(PangoLayout*)> setup;
  std::function<void(cairo_t*)> transform;
};

const auto as_set = [](PangoLayout*) {};
const auto level = [](cairo_t*) {};

TEST(GlyphRuns, ShowTheGlyphsPangoShowsPixelForPixel) {
  const auto wrapped = [](PangoLayout* l) {
    pango_layout_set_width(l, 90 * PANGO_SCALE);
    pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(l, PANGO_ALIGN_CENTER);
  };
  const auto cut = [](PangoLayout* l) {
    pango_layout_set_width(l, 70 * PANGO_SCALE);
    pango_layout_set_height(l, 30 * PANGO_SCALE);
    pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_ellipsize(l, PANGO_ELLIPSIZE_END);
  };
  const Case cases[] = {
      {"one line", "Check the order", "Noto Sans 13px", as_set, level},
      {"bold, wrapped and centred", "Ship the goods and bill the customer", "Noto Sans Bold 12px",
       wrapped, level},
      {"cut with an ellipsis", "Ship the goods and bill the customer at once", "Noto Sans 12px",
       cut, level},
      {"fallback fonts and right to left", "Order \u4e2d\u6587 \u0645\u0631\u062d\u0628\u0627 ok",
       "Noto Sans,DejaVu Sans,Noto Sans CJK SC 14px", as_set, level},
      {"turned", "Lane of the warehouse", "Noto Sans 12px", wrapped,
       [](cairo_t* cr) {
         cairo_translate(cr, 40, 280);
         cairo_rotate(cr, -M_PI / 2);
       }},
      {"scaled, away from whole pixels", "Scaled \u00e9t\u00e9 text", "DejaVu Sans 11px", wrapped,
       [](cairo_t* cr) {
         cairo_translate(cr, -0.3, 7.45);
         cairo_scale(cr, 1.5, 1.5);
       }},
  };
  for (const Case& c : cases) {
    Picture by_pango(c.transform);
    Picture by_runs(c.transform);
    PangoLayout* layout = layout_for(by_pango.cr(), c.text, c.font, c.setup);
    cairo_move_to(by_pango.cr(), 12.3, 20.6);
    pango_cairo_show_layout(by_pango.cr(), layout);
    const std::optional<std::vector<GlyphRun>> runs = glyph_runs(layout);
    ASSERT_TRUE(runs.has_value()) << c.what;
    cairo_move_to(by_runs.cr(), 12.3, 20.6);
    show_glyph_runs(by_runs.cr(), *runs);
    const std::string pixels = by_pango.pixels();
    EXPECT_NE(pixels, Picture(level).pixels()) << c.what << ": nothing drawn";
    EXPECT_TRUE(pixels == by_runs.pixels()) << c.what;
    g_object_unref(layout);
  }
}

TEST(GlyphRuns, LeaveToPangoTheTextsItDrawsBoxesFor) {
  // No font has U+0378: pango draws a box with its code, which glyph runs cannot show.
  Picture picture(level);
  PangoLayout* layout = layout_for(picture.cr(), "Step \u0378", "Noto Sans 13px", as_set);
  EXPECT_FALSE(glyph_runs(layout).has_value());
  g_object_unref(layout);
}

}  // namespace
}  // namespace orvane
