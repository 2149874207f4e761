// PNG encoding of the pictures the cairo painter draws.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>

namespace orvane {

/// Draws the rows [top, bottom) of the picture on `cr` (a context translated so that picture
/// coordinates apply); drawing outside those rows may be skipped.
using RowsDrawer = std::function<void(cairo_t* cr, int top, int bottom)>;

/// Draws a width x height picture and encodes it as PNG bytes: RGB when every pixel is opaque,
/// RGBA otherwise. With `known_opaque` (an opaque background is painted first) the picture is
/// drawn in strips of rows into a small reused buffer while two threads compress the upper and
/// lower half, so a picture of many megapixels needs neither a raster of its full size nor
/// more than a fraction of a second. Throws std::runtime_error when drawing or encoding fails.
std::string render_png(int width, int height, bool known_opaque, const RowsDrawer& draw);

}  // namespace orvane
