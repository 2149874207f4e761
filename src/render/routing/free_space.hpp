// The free space of a diagram: where routes may run. Shapes and the name strips of pools and
// lanes are obstacles that routes keep CLEARANCE off; shape names are soft obstacles that cost
// to cross; pool and lane borders are lines routes cross but keep off when running beside.
#pragma once

#include <utility>
#include <vector>

#include "box_index.hpp"
#include "geometry.hpp"
#include "problem.hpp"
#include "settings.hpp"

namespace orvane::routing {

class FreeSpace {
 public:
  explicit FreeSpace(const Problem& problem);

  /// Whether `p` lies inside an obstacle grown by CLEARANCE.
  bool blocked(const Point& p) const;

  /// Whether the axis-parallel segment a-b passes through no obstacle grown by `clearance`,
  /// leaving out the shapes (node numbers) `a_node` and `b_node`, and with `through_notes` the
  /// text annotations (see `in_notes`).
  bool clear(const Point& a, const Point& b, double clearance, int a_node = -1, int b_node = -1,
             bool through_notes = false) const;
  /// How long the axis-parallel segment a-b runs inside text annotations.
  double in_notes(const Point& a, const Point& b) const;

  /// How far an axis-parallel segment may be moved across itself and stay `clearance` off every
  /// obstacle beside its extent (and off the names of shapes, with `names`), off the borders
  /// running beside it and inside `area`: the coordinates it may take, never further than
  /// `reach` from where it is. `vertical`: the segment runs at x = `at` over `along` of y (else
  /// at y over x). A segment of no length finds the room of the line through its point.
  /// `clearance` (at most CLEARANCE) is kept from shapes and strips and caps the keep-off from
  /// borders. Returned with it, found by the same look at the obstacles: the room with
  /// `tight_clearance` instead (never kept off names), for a channel too tight for the usual
  /// margins.
  std::pair<Interval, Interval> rooms(bool vertical, double at, Interval along, const Box& area,
                                      bool names, double reach, double clearance,
                                      double tight_clearance) const;

  /// How long the axis-parallel segment a-b runs inside the names of shapes, leaving out the
  /// names of nodes `a_node` and `b_node`.
  double in_names(const Point& a, const Point& b, int a_node = -1, int b_node = -1) const;

  /// Whether `p` lies inside the name of a shape other than nodes `a_node` and `b_node`.
  bool in_name(const Point& p, int a_node = -1, int b_node = -1) const;

  /// The shapes' boxes (numbered as the problem's nodes) and the strips' boxes.
  const BoxIndex& shapes() const { return shapes_; }
  const BoxIndex& strips() const { return strips_; }
  /// The shapes' names (soft obstacles).
  const BoxIndex& names() const { return names_; }

 private:
  BoxIndex shapes_;
  BoxIndex strips_;
  BoxIndex names_;
  std::vector<char> is_note_;   // by strip
  std::vector<int> name_node_;  // the node of each name; -1 for a group's caption
  // The borders of one direction, gathered by the line they lie on: each line's pieces sorted
  // by where they begin, with the furthest end so far, so that whether a line meets a stretch
  // takes one search however many pools and lanes share it (their sides all lie on two lines).
  class BorderLines {
   public:
    void build(std::vector<Border> borders);
    /// Narrows `room` to keep `keep_off` from the nearest line on each side of `at` that has a
    /// piece overlapping `along`.
    void limit(double at, Interval along, double keep_off, Interval& room) const;

   private:
    /// Whether a piece of the line overlaps lo..hi (lo <= hi).
    bool meets(std::size_t line, double lo, double hi) const;
    std::vector<double> at_;            // each line's coordinate, ascending
    std::vector<std::size_t> first_;    // where each line's pieces begin in the lists below
    std::vector<double> begins_;        // each piece's lower end
    std::vector<double> furthest_end_;  // the highest upper end of the line's pieces so far
  };
  BorderLines vertical_borders_;
  BorderLines horizontal_borders_;
};

}  // namespace orvane::routing
