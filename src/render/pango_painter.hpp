// What every painter of orvane shares: the theme's defaults, the surface size, saving, and text
// measured and fitted with pango, so the layout never depends on the painter kind.
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "orvane/painter.hpp"
#include "text_layout.hpp"

namespace orvane {

/// A painter whose text is measured and fitted by pango. Subclasses draw and render.
class PangoPainter : public Painter {
 public:
  PangoPainter(std::string kind, int width, int height);
  ~PangoPainter() override;
  PangoPainter(const PangoPainter&) = delete;
  PangoPainter& operator=(const PangoPainter&) = delete;

  void set_colour_theme(const std::string& palette) override;
  void set_title_font_size(int font_size) override;
  void set_element_font_size(int font_size) override;
  void set_surface_size(int width, int height) override;
  void save_surface(const std::string& filename) override;
  int surface_width() const override { return width_; }
  int surface_height() const override { return height_; }
  std::string kind() const override { return kind_; }

  std::vector<FontReplacement> replaced_fonts() const override;
  std::vector<char32_t> missing_characters() const override;
  TextExtent measure_text(const std::string& text, const TextStyle& style,
                          double max_width) const override;
  Box text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                  bool vertical = false) const override;
  SetText layout_text(const std::string& text, const Box& box, const TextStyle& style,
                      bool vertical = false) const override;

  /// The file contents for the current drawing and size (what save_surface writes).
  virtual std::string render() const = 0;

 protected:
  /// A text fitted into a box: the fit, where its layout goes in the box (in the text's
  /// direction: `along` x `across`), and the lines as set.
  struct FittedText {
    TextFit fit;
    Placement placement;
    bool cut = false;
    std::vector<SetLine> lines;
    // The layout as set on the measuring context (no turn, no scale), when kept for drawing.
    std::shared_ptr<PangoLayout> layout;
  };
  /// Fitted once per text, style and box size: a diagram fits each name several times (its
  /// bounds for the layout and the router, then drawing it), and shaping is the costly part.
  const FittedText& fit_into(const std::string& text, const Box& box, const TextStyle& style,
                             bool vertical) const;
  /// Keeps the layouts of horizontal texts with their fit (up to a budget), for a painter that
  /// draws them with pango: drawing then need not set them again.
  void keep_layouts() { keep_layouts_ = true; }
  /// The font map the texts are set with: that of the thread that first needed one.
  PangoFontMap* font_map() const;

  const std::string kind_;
  int width_;
  int height_;

 private:
  // A 1 x 1 surface whose pango context (made when first needed) measures text exactly as the
  // painters set it.
  PangoContext* measure_context() const;
  cairo_surface_t* measure_surface_ = nullptr;
  cairo_t* measure_cr_ = nullptr;
  mutable PangoContext* measure_context_ = nullptr;

  // What a text is set by: the text and every field of its style but the colour, and the
  // width (measuring) or the box (fitting).
  struct TextKey {
    std::string text;
    std::string font;
    std::string alignment;
    std::string vertical_alignment;
    int font_size = 0;
    bool wrap = false;
    bool bold = false;
    bool keep_lines = false;
    double along = 0;
    double across = 0;
    bool operator==(const TextKey&) const = default;
  };
  struct TextKeyHash {
    std::size_t operator()(const TextKey& k) const;
  };
  static TextKey key_of(const std::string& text, const TextStyle& style, double along,
                        double across);
  mutable std::unordered_map<TextKey, TextExtent, TextKeyHash> measured_;
  mutable std::unordered_map<TextKey, FittedText, TextKeyHash> fitted_;
  bool keep_layouts_ = false;
  mutable std::size_t kept_layouts_ = 0;
  // The fonts texts asked for, each once with the first style that asked, in the order first
  // asked for.
  void note_font(const TextStyle& style) const;
  mutable std::vector<TextStyle> fonts_asked_;
  // The characters of a set text that no font has.
  void note_missing(PangoLayout* layout) const;
  mutable std::set<char32_t> missing_;
};

/// Throws std::invalid_argument unless both sides are positive.
void check_surface_size(int width, int height);

}  // namespace orvane
