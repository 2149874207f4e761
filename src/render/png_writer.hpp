// PNG encoding of the pictures the cairo painter draws.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>

namespace orvane {

/// A part of the picture, in the drawing's own units.
struct Region {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

/// Draws the part `region` of the picture on `cr` (a context set up so that drawing units
/// apply); drawing outside the region may be skipped. It is called from two threads at once,
/// each with its own `cr`.
using RegionDrawer = std::function<void(cairo_t* cr, const Region& region)>;

/// Draws a picture of width x height pixels, at `scale` pixels per drawing unit, and encodes it
/// as PNG bytes: RGB with `known_opaque` (an opaque background is painted first), RGBA
/// otherwise. Two threads draw and compress the upper and the lower half, each in strips of
/// rows drawn into one reused buffer, each strip in tiles no wider than cairo's surfaces allow:
/// memory follows the width of the picture, never its area, and a picture of any width PNG
/// allows can be drawn. Throws std::runtime_error when drawing or encoding fails.
std::string render_png(int width, int height, double scale, bool known_opaque,
                       const RegionDrawer& draw);

}  // namespace orvane
