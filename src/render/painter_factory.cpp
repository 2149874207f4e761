#include "orvane/painter_factory.hpp"

#include <pango/pangocairo.h>

#include <stdexcept>

#include "cairo_painter.hpp"
#include "font_configuration.hpp"
#include "svg_painter.hpp"
#include "text_layout.hpp"

namespace orvane {
namespace {

PainterFactory::Maker& override_maker() {
  static PainterFactory::Maker maker;
  return maker;
}

}  // namespace

std::vector<std::string> PainterFactory::kinds() {
  return {"png", "svg", "pdf"};
}

std::unique_ptr<Painter> PainterFactory::get_painter(const std::string& painter_type, int width,
                                                     int height) const {
  if (override_maker()) return override_maker()(painter_type, width, height);
  if (painter_type == "svg") return std::make_unique<SvgPainter>(width, height);
  if (painter_type == "png" || painter_type == "pdf") {
    return std::make_unique<CairoPainter>(painter_type, width, height);
  }
  std::string known;
  for (const std::string& kind : kinds()) known += (known.empty() ? "'" : ", '") + kind + "'";
  throw std::invalid_argument("unknown painter type '" + painter_type +
                              "'; known painter types: " + known);
}

void PainterFactory::prepare_fonts() {
  // The thread's font map, which every painter made on this thread measures with, loads the
  // configuration in the background from the moment it exists.
  thread_font_map();
}

void PainterFactory::prepare_fonts_at_start() {
  start_loading_font_configuration();
}

void PainterFactory::set_override(Maker maker) {
  override_maker() = std::move(maker);
}

}  // namespace orvane
