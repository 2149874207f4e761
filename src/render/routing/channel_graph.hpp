// The orthogonal visibility graph of the free space, kept implicit: vertical lines (x values)
// through every shape's middle and half way between neighbouring middles (the channels between
// columns of shapes), beside pool and lane borders, round the pools, and STUB beyond a shape's
// side where no other line lies near; horizontal lines (y values) likewise. Of lines closer
// than a few pixels only one is kept: the graph's size is the search's cost, and nudging places
// the segments in their channels anyway. A vertex is a crossing of two lines outside every
// obstacle; an edge joins neighbouring vertices on a line. Every obstacle holds a line through
// its middle, so a step between neighbouring free vertices never passes through an obstacle.
// Routes are found on these lines and spread across their channels afterwards (nudging).
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.hpp"
#include "problem.hpp"
#include "settings.hpp"

namespace orvane::routing {

/// A vertex of the graph: the crossing of vertical line `i` and horizontal line `j`.
struct Vertex {
  int i = 0;
  int j = 0;
  bool operator==(const Vertex&) const = default;
};

class ChannelGraph {
 public:
  explicit ChannelGraph(const Problem& problem);

  int columns() const { return static_cast<int>(xs_.size()); }
  int rows() const { return static_cast<int>(ys_.size()); }
  double x(int i) const { return xs_[static_cast<std::size_t>(i)]; }
  double y(int j) const { return ys_[static_cast<std::size_t>(j)]; }
  Point point(Vertex v) const { return {x(v.i), y(v.j)}; }

  /// The line at exactly this coordinate, or -1.
  int column_at(double x) const;
  int row_at(double y) const;
  /// The lines between two coordinates (first at or after `lo`, last at or before `hi`).
  std::pair<int, int> columns_within(double lo, double hi) const;
  std::pair<int, int> rows_within(double lo, double hi) const;

  /// The vertex at the end of the stub out of `side` of `box`: on the middle line of the side,
  /// at the first line at least `reach` beyond it.
  Vertex stub_end(const Box& box, Side side, double reach = STUB) const;

  /// Whether the vertex lies outside every obstacle.
  bool open(Vertex v) const;
  /// Whether the vertex lies inside the name of a shape other than nodes `a_node` and `b_node`.
  bool in_name(Vertex v, int a_node, int b_node) const;

  /// Whether a line (a vertical one, or else a horizontal one) runs clear of every obstacle
  /// between `lo` and `hi` along it (with `names`, also of every shape's name): a corridor a
  /// long route may run along.
  bool line_clear(bool vertical, int line, double lo, double hi, bool names) const;

  /// The vertex one step from `v` in direction `d`, when there is a line there.
  bool step(Vertex v, Dir d, Vertex& next) const;

  static std::uint64_t key(Vertex v) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(v.i)) << 32) |
           static_cast<std::uint32_t>(v.j);
  }

 private:
  // Along each vertical line, the stretches of y inside an obstacle (with its clearance), and
  // inside a name (with the name's node), sorted.
  struct Stretch {
    double lo = 0;
    double hi = 0;
    int node = -1;
  };
  void mark(std::vector<std::vector<Stretch>>& lines, const Box& box, int node);
  void mark_rows(std::vector<std::vector<Stretch>>& lines, const Box& box);
  static bool covered(const std::vector<Stretch>& stretches, double y, int a_node, int b_node);

  std::vector<double> xs_;
  std::vector<double> ys_;
  std::vector<std::vector<Stretch>> blocked_;
  std::vector<std::vector<Stretch>> names_;
  // Along each vertical line, the stretches inside an obstacle or a name, merged; along each
  // horizontal line, the stretches of x inside an obstacle, and inside an obstacle or a name,
  // merged.
  std::vector<std::vector<Stretch>> named_columns_;
  std::vector<std::vector<Stretch>> blocked_rows_;
  std::vector<std::vector<Stretch>> named_rows_;
};

}  // namespace orvane::routing
