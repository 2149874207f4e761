// A route for a connection the channel graph has no path for, because the shapes round one of
// its ends stand closer than the routes' clearance: boundary events side by side on a lane's
// edge, an event hemmed in by its neighbours and a border. It runs as close past the shapes as
// nudging may bring routes in a tight channel, never through one.
#pragma once

#include <cstddef>
#include <optional>

#include "free_space.hpp"
#include "nudging.hpp"
#include "problem.hpp"
#include "settings.hpp"

namespace orvane::routing {

/// What is left of the states all tight searches of one drawing may look at: a hostile diagram with
/// many hemmed-in links leading far away costs a bounded time, its last such links drawn straight.
struct TightBudget {
  std::size_t left = TIGHT_SEARCH_BUDGET;
};

/// The shortest path with fewest bends (least run through names) between two sides of the link's
/// ends that passes through no shape, name strip or annotation but its ends, TIGHT_CLEARANCE off
/// them, inside the link's area and off its borders: first in a window round the two ends, then in
/// the whole area. Where there is no such path, the same through text annotations, at a cost per
/// pixel inside them. Sides the caller asked for are kept where a path leaves by them. None when
/// there is no path even so, or finding it would cost more than the link's share or what is left
/// of the budget (a hostile diagram).
std::optional<DrawnRoute> tight_route(const Problem& problem, const FreeSpace& space, int link,
                                      TightBudget& budget);

}  // namespace orvane::routing
