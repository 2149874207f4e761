// Labels, placed once every route is drawn. First the names of events, gateways and data
// shapes, before the messages to black-box pools are laid (they run clear of names): each gets the
// box its text really takes, below its shape; a name that a route runs through moves above the
// shape, or beside the route where it leaves or enters, whichever place is free. Then connection
// labels: each goes beside its own route near its source (after the point where a fork's branch
// leaves the shared trunk), over no shape, name, label or route, the messages laid after the names
// included. A spatial index of what is already placed answers "is this place free?".
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "nudging.hpp"
#include "problem.hpp"

namespace orvane {
class Painter;
}

namespace orvane::routing {

class Places;

/// Places the names of `problem`'s shapes and the labels of `routes`, in that order, among
/// everything drawn.
class LabelPlacer {
 public:
  LabelPlacer(Problem& problem, const std::vector<DrawnRoute>& routes);
  ~LabelPlacer();
  LabelPlacer(const LabelPlacer&) = delete;
  LabelPlacer& operator=(const LabelPlacer&) = delete;

  /// Moves the names of the shapes out of the routes' way (writing the shapes' label boxes).
  void place_names();
  /// A connection routed after the names: connection labels keep off its route, its label and
  /// the marks at its ends.
  void add_drawn(const Connection& connection);
  /// Gives every labelled connection of the routes its label box.
  void place_connection_labels(const Painter& painter);

 private:
  Problem& problem_;
  const std::vector<DrawnRoute>& routes_;
  std::unique_ptr<Places> places_;
};

}  // namespace orvane::routing
