#pragma once

#include <memory>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

class Painter;
class Pool;

/// Places the shapes that stand in no lane cell once every lane shape has its box: each group
/// around its members (with room for its name above them), then each text annotation in free
/// space beside the shape it explains (clear of shapes, names and other annotations, inside
/// that shape's lane where it can), joined to it by a straight association. Boundary events are
/// placed with their activity (Activity::set_draw_position).
ORVANE_API void position_attached_shapes(const std::vector<std::unique_ptr<Pool>>& pools,
                                         Painter& painter);

}  // namespace orvane
