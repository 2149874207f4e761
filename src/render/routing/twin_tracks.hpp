// Twin tracks: connections drawn as straight parallel lines between the same two sides of the
// same two shapes (a request and its reply, several messages between two tasks) are
// interchangeable: any of them may take any of the lines. A label fits beside an outer line
// only, the inner ones being a nudge apart, so the labelled connections take the outer lines.
#pragma once

#include <vector>

#include "nudging.hpp"
#include "problem.hpp"

namespace orvane::routing {

/// Hands the outer lines of each set of straight twins in `routes` (ends on the outlines
/// already) to its labelled connections: the labelled ones keep their order among themselves and
/// so do the others; the drawing's lines stay where they are, so crossings and spacing do not
/// change. A route taking a twin's line the other way round takes it reversed.
void give_labels_outer_tracks(const Problem& problem, std::vector<DrawnRoute>& routes);

}  // namespace orvane::routing
