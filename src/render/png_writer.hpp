// PNG encoding of a cairo image surface.
#pragma once

#include <cairo.h>

#include <string>

namespace orvane {

/// Encodes an ARGB32 image surface as PNG bytes: RGB when every pixel is opaque, RGBA
/// otherwise. `known_opaque` skips looking for transparent pixels (an opaque background was
/// painted). Uses a fast zlib setting, as diagrams are mostly flat colour. Throws
/// std::runtime_error when encoding fails.
std::string encode_png(cairo_surface_t* image, bool known_opaque = false);

}  // namespace orvane
