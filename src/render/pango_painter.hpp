// What every painter of orvane shares: the theme's defaults, the surface size, saving, and text
// measured and fitted with pango, so the layout never depends on the painter kind.
#pragma once

#include <pango/pangocairo.h>

#include <string>

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

  TextExtent measure_text(const std::string& text, const TextStyle& style,
                          double max_width) const override;
  Box text_bounds(const std::string& text, const Box& box, const TextStyle& style,
                  bool vertical = false) const override;
  SetText layout_text(const std::string& text, const Box& box, const TextStyle& style,
                      bool vertical = false) const override;

  /// The file contents for the current drawing and size (what save_surface writes).
  virtual std::string render() const = 0;

 protected:
  /// A text fitted into a box: the fit, its layout on the measuring context, and where the
  /// layout goes in the box (in the text's direction: `along` x `across`).
  struct FittedText {
    TextFit fit;
    LayoutPtr layout{nullptr, &g_object_unref};
    Placement placement;
  };
  FittedText fit_into(const std::string& text, const Box& box, const TextStyle& style,
                      bool vertical) const;

  const std::string kind_;
  int width_;
  int height_;

 private:
  // A 1 x 1 surface whose pango context measures text exactly as the painters set it.
  cairo_surface_t* measure_surface_ = nullptr;
  cairo_t* measure_cr_ = nullptr;
  PangoContext* measure_context_ = nullptr;
};

/// Throws std::invalid_argument unless both sides are positive.
void check_surface_size(int width, int height);

}  // namespace orvane
