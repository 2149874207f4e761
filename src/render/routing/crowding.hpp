// Crowded channels: stretches of the channel graph's lines where nudging could not part two
// unrelated routes MIN_SEPARATION apart. The router lays the later of each such pair again,
// and the path search then prices every pixel run along a crowded stretch, so that the route
// takes another channel where one is near.
#pragma once

#include <cmath>
#include <cstdint>

#include "channel_graph.hpp"
#include "geometry.hpp"
#include "settings.hpp"
#include "vertex_map.hpp"

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
  explicit Crowding(const ChannelGraph& graph) : graph_(graph) {}

  /// Marks the vertices of the stretch as crowded along its direction.
  void add(const Crowded& stretch);

  /// The price of the step from `v` to its neighbour `w`: CROWD_COST a pixel when both lie on
  /// one crowded stretch of their line.
  double cost(Vertex v, Vertex w) const {
    if (marks_.size() == 0) return 0;
    const std::uint8_t bit = v.i == w.i ? VERTICAL : HORIZONTAL;
    const std::uint8_t* a = marks_.find(ChannelGraph::key(v));
    if (a == nullptr || (*a & bit) == 0) return 0;
    const std::uint8_t* b = marks_.find(ChannelGraph::key(w));
    if (b == nullptr || (*b & bit) == 0) return 0;
    const Point p = graph_.point(v), q = graph_.point(w);
    return CROWD_COST * (std::abs(p.x - q.x) + std::abs(p.y - q.y));
  }

 private:
  static constexpr std::uint8_t VERTICAL = 1;
  static constexpr std::uint8_t HORIZONTAL = 2;
  const ChannelGraph& graph_;
  VertexMap<std::uint8_t> marks_;
};

}  // namespace orvane::routing
