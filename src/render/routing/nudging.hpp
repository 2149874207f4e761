// Nudging: the routes found on the channel graph lie on its lines, several often on one line.
// This step moves every segment across itself, first the vertical ones, then the horizontal
// ones, so that segments sharing a channel are ordered to avoid crossings and spread over the
// channel (IDEAL_SEPARATION apart where it has room), a lone segment runs down the middle of its
// channel, and ends slide along their shape's side when a side holds several. Overlapping
// segments always get lines of their own where the free space allows any: closer than
// MIN_SEPARATION, and into the shapes' clearance (never into a shape), before on one line. The
// trunk of a fork or join (the part that its routes share from or to one side of a shape) moves as
// one piece and stays drawn as one line.
#pragma once

#include <vector>

#include "crowding.hpp"
#include "free_space.hpp"
#include "geometry.hpp"
#include "problem.hpp"

namespace orvane::routing {

/// A route as drawn: from a point on its source's side to a point on its target's side.
struct DrawnRoute {
  int link = -1;
  Side source_side = Side::RIGHT;
  Side target_side = Side::LEFT;
  std::vector<Point> points;
  /// The fork (routes of one kind leaving one side of a shape) and the join (entering one side)
  /// the route belongs to, -1 for none. Routes of a fork that run on together from their
  /// start share a trunk; so do those of a join that run together to their end.
  int fork = -1;
  int join = -1;
};

/// The rooms of the segments nudging has measured, kept from one round of laying to the next:
/// most routes are not laid again, and measuring their segments' rooms is the costliest part of
/// nudging a large diagram. A room depends only on the segment, its link and its ends' sides.
class RoomMemo {
 public:
  explicit RoomMemo(std::size_t links) : by_link_(links) {}

  struct Segment {
    bool vertical = false;
    bool first = false;  // it starts at the link's source
    bool last = false;   // it ends at the link's target
    Side source_side = Side::RIGHT;
    Side target_side = Side::LEFT;
    double at = 0;  // where it runs across, and its two ends along
    double a = 0;
    double b = 0;
    bool operator==(const Segment&) const = default;
  };
  struct Rooms {
    Interval usual;
    Interval tight;
  };

  /// The rooms kept for `segment` of link number `link`, or null.
  const Rooms* find(int link, const Segment& segment) const;
  void keep(int link, const Segment& segment, const Rooms& rooms);

 private:
  std::vector<std::vector<std::pair<Segment, Rooms>>> by_link_;
};

/// Moves the segments of `routes` apart as described above, and tells where two unrelated
/// routes could not be parted MIN_SEPARATION apart.
std::vector<Crowded> nudge(std::vector<DrawnRoute>& routes, const Problem& problem,
                           const FreeSpace& space, RoomMemo& rooms);

/// How far each route runs on the trunk of its fork from its start, and of its join to its end.
struct TrunkLengths {
  double fork = 0;
  double join = 0;
};
std::vector<TrunkLengths> trunk_lengths(const std::vector<DrawnRoute>& routes,
                                        const Problem& problem);

/// The points without repeats and without the middle one of three on a line.
std::vector<Point> simplified(const std::vector<Point>& points);
/// The same, in place.
void simplify(std::vector<Point>& points);

}  // namespace orvane::routing
