// Labels, placed once every route is drawn. First the names of events, gateways and data
// shapes: each gets the box its text really takes, below its shape; a name that a route runs
// through moves above the shape, or beside the route where it leaves or enters, whichever place
// is free. Then connection labels: each goes beside its own route near its source (after the
// point where a fork's branch leaves the shared trunk), over no shape, name, label or route.
// A spatial index of what is already placed answers "is this place free?".
#pragma once

#include <vector>

#include "nudging.hpp"
#include "problem.hpp"

namespace orvane {
class Painter;
}

namespace orvane::routing {

/// Moves the names of `problem`'s shapes out of the routes' way (writing the shapes' label
/// boxes) and gives every labelled connection of `routes` its label box.
void place_labels(Problem& problem, const std::vector<DrawnRoute>& routes, const Painter& painter);

}  // namespace orvane::routing
