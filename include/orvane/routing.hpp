#pragma once

#include <memory>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

class Painter;
class Pool;

/// Computes the route (orthogonal waypoints, sides) and label box of every connection of the
/// diagram from the shapes' drawn boxes, and stores them on the connections. Labels are
/// measured through `painter`.
ORVANE_API void route_connections(const std::vector<std::unique_ptr<Pool>>& pools,
                                  const Painter& painter);

}  // namespace orvane
