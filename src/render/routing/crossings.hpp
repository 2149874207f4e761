// Crossings of drawn routes: how many times other routes cross each route. The router's rounds
// lay the routes crossed most again, with every other route known, and keep a route laid again
// only where its own count (with its bends and crowding) got better.
#pragma once

#include <vector>

#include "nudging.hpp"

namespace orvane::routing {

/// For each link number below `links`, how many times a segment of another route crosses one
/// of its segments properly (inside both, not at an end). A sweep across the diagram: about
/// n log n in the segments plus the crossings found.
std::vector<int> crossings_per_link(const std::vector<DrawnRoute>& routes, std::size_t links);

}  // namespace orvane::routing
