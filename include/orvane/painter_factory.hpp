#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvane/export.hpp"
#include "orvane/painter.hpp"

namespace orvane {

/// Makes the painter for a painter kind: "png" or "pdf" (drawn with cairo) or "svg" (written as
/// SVG elements); all of them set text with pango, so the layout is the same in each.
class ORVANE_API PainterFactory {
 public:
  using Maker = std::function<std::unique_ptr<Painter>(const std::string& painter_type, int width,
                                                       int height)>;

  /// A painter of `painter_type` with a surface of width x height pixels. Throws
  /// std::invalid_argument listing the known kinds for an unknown kind.
  std::unique_ptr<Painter> get_painter(const std::string& painter_type, int width,
                                       int height) const;
  /// The known painter kinds.
  static std::vector<std::string> kinds();
  /// Starts reading the system's font configuration on a thread of its own, so that the first
  /// text measured on this thread waits less for it: for programs that read their input before
  /// they draw. Painters work the same without it, and pick the same fonts. The thread reads the
  /// process's environment until it is done, so the program must not change its environment
  /// (setenv, putenv) until a painter has set text or drawn a picture, which waits for it.
  static void prepare_fonts();
  /// Like prepare_fonts, for the start of a program, before anything in the process has used
  /// fontconfig (a library, another painter): reads the font configuration itself, as fontconfig
  /// would but without the descriptions it also reads for its listing tools, and makes it the
  /// process's configuration. Painters pick the same fonts, and the same rule on the environment
  /// holds. The configuration also names orvane's fallback fonts (Noto Sans, DejaVu Sans, Noto
  /// Sans CJK SC) after every family asked for, so that pango looks each font up once: other
  /// users of fontconfig in the process get these fallbacks ahead of the system's defaults.
  /// Later calls, and calls after prepare_fonts, do nothing.
  static void prepare_fonts_at_start();
  /// Replaces the painters made by every factory of the process (a test seam that records the
  /// calls); an empty maker restores the cairo painters.
  static void set_override(Maker maker);
};

}  // namespace orvane
