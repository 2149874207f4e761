// Long connections. A connection whose ends lie far apart (across a wide diagram or down a tall
// pool) is not searched for through all the space between them: that is most of the diagram,
// and such searches, and the record of every vertex such a route passes, would make routing
// grow with the square of the diagram's size. Its route runs along a corridor instead: a line
// clear of every shape between the regions round its two ends, horizontal for ends far apart
// across, vertical for ends far apart down. Only the parts from an end to the corridor are
// searched for, each in a window round its end; a part whose ends are still far apart (down,
// after a corridor across) takes a corridor of its own. Corridors are chosen close to both
// ends and apart from the corridors of other long routes.
#pragma once

#include <optional>
#include <vector>

#include "channel_graph.hpp"
#include "laid_routes.hpp"
#include "path_search.hpp"
#include "problem.hpp"

namespace orvane::routing {

/// Whether the ends of `link` lie more than LONG_REACH apart, across or down.
bool is_long(const Problem& problem, const Link& link);

class Corridors {
 public:
  Corridors(const Problem& problem, const ChannelGraph& graph);

  /// The route of long link number `link` along corridors that its parts reach, or nothing
  /// when none does.
  std::optional<GraphRoute> route(int link, PathSearch& search);

  /// Notes the corridors a laid route runs along (the straight runs between two vertices of
  /// its that are not neighbours), so that later long routes take other lines.
  void note(const GraphRoute& route);
  /// Forgets the corridors of a route noted before (it is laid again).
  void forget(const GraphRoute& route);
  /// Forgets every corridor noted (a new round of laying).
  void clear();

 private:
  // One end of a part: a shape's box (the link's source or target), or a vertex on a corridor.
  struct End {
    Box box;
    std::optional<PathSearch::Via> via;
  };
  std::optional<GraphRoute> connect(int link, const End& from, const End& to, PathSearch& search,
                                    int depth);
  std::optional<GraphRoute> along_corridor(int link, const End& from, const End& to, bool vertical,
                                           PathSearch& search, int depth);
  int sharing(bool vertical, int line, double lo, double hi) const;
  // Calls f(line's corridors, run) for each corridor of `route`.
  template <typename F>
  void each_corridor(const GraphRoute& route, F&& f);
  // The same on the lines either side closer than IDEAL_SEPARATION, which nudging could only
  // part as far as the room between them allows.
  int near(bool vertical, int line, double lo, double hi) const;

  const Problem& problem_;
  const ChannelGraph& graph_;
  // Per vertical and per horizontal line, the extents of the corridors laid on it.
  std::vector<std::vector<Interval>> columns_;
  std::vector<std::vector<Interval>> rows_;
};

}  // namespace orvane::routing
