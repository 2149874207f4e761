// Crowded channels: stretches of the channel graph's lines where nudging could not part two
// unrelated routes MIN_SEPARATION apart. The router lays the later of each such pair again,
// and the path search then prices every pixel run along a crowded stretch, so that the route
// takes another channel where one is near.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "channel_graph.hpp"
#include "geometry.hpp"
#include "settings.hpp"

namespace orvane::routing {

/// Two unrelated routes closer than MIN_SEPARATION: on the graph line at `line` (a vertical
/// line at that x, else a horizontal one at that y), over `along`.
struct Crowded {
  bool vertical = true;
  double line = 0;
  Interval along;
  int link_a = -1;
  int link_b = -1;
};

class Crowding {
 public:
  explicit Crowding(const ChannelGraph& graph)
      : graph_(graph),
        columns_(static_cast<std::size_t>(graph.columns())),
        rows_(static_cast<std::size_t>(graph.rows())) {}

  /// Marks the vertices of the stretch as crowded along its direction.
  void add(const Crowded& stretch);

  /// How many pixels of the stretch of a line (a vertical one, else a horizontal one; from
  /// vertex `first` to vertex `last` along it) are crowded.
  double crowded_length(bool vertical, int line, int first, int last) const;

  /// The price of the step from `v` to its neighbour `w`: CROWD_COST a pixel when both lie on
  /// one crowded stretch of their line.
  double cost(Vertex v, Vertex w) const {
    if (empty_) return 0;
    const bool vertical = v.i == w.i;
    const auto& runs =
        vertical ? columns_[static_cast<std::size_t>(v.i)] : rows_[static_cast<std::size_t>(v.j)];
    if (runs.empty() || !covered(runs, vertical ? std::min(v.j, w.j) : std::min(v.i, w.i),
                                 vertical ? std::max(v.j, w.j) : std::max(v.i, w.i))) {
      return 0;
    }
    const Point p = graph_.point(v), q = graph_.point(w);
    return CROWD_COST * (std::abs(p.x - q.x) + std::abs(p.y - q.y));
  }

 private:
  // Runs of crowded vertices on one line, by index along it: sorted, neither overlapping nor
  // touching (touching runs are merged, so two neighbours lie in one run exactly when both are
  // crowded).
  struct Run {
    int first = 0;
    int last = 0;
  };
  static bool covered(const std::vector<Run>& runs, int first, int last);

  const ChannelGraph& graph_;
  std::vector<std::vector<Run>> columns_;
  std::vector<std::vector<Run>> rows_;
  bool empty_ = true;
};

}  // namespace orvane::routing
