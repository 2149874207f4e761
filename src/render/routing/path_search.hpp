// Path search: the cheapest route of one connection through the channel graph (A*), given the
// routes laid before it. A route starts at the stub end of a side of its source, or on the
// trunk of an earlier branch of the same fork; it ends at the stub end of a side of its target,
// or on the trunk of an earlier route of the same join. Its cost is its length plus a price for
// each bend, each crossing of a laid route, each touch of one, every pixel run on a laid
// route's line, along a crowded stretch or through a shape's name, and for its sides
// (settings.hpp). The search stays inside a window around the connection's ends; the jogs it
// settles for where one straight line would have cost less are taken out afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "channel_graph.hpp"
#include "crowding.hpp"
#include "free_space.hpp"
#include "laid_routes.hpp"
#include "problem.hpp"
#include "settings.hpp"
#include "vertex_map.hpp"

namespace orvane::routing {

class PathSearch {
 public:
  PathSearch(const Problem& problem, const FreeSpace& space, const ChannelGraph& graph,
             const LaidRoutes& laid, const Crowding& crowding);

  /// A vertex where part of a route starts or ends instead of at a side of the link's shape:
  /// where a long route joins or leaves its corridor, and the direction it runs there.
  struct Via {
    Vertex vertex;
    Dir dir = Dir::EAST;
  };

  /// The cheapest route of link number `link` inside `window`, or nothing when none exists;
  /// with `from` (or `to`), the part of it from (or to) that vertex instead of the source (or
  /// target).
  std::optional<GraphRoute> find(int link, const Box& window, const std::optional<Via>& from = {},
                                 const std::optional<Via>& to = {});

  /// What a crossing of a laid route costs (CROSSING_COST unless set).
  double crossing_cost() const { return crossing_cost_; }
  void set_crossing_cost(double cost) { crossing_cost_ = cost; }

  /// How many messages to black-box pools a horizontal line at `y` crosses between `x0` and
  /// `x1` (a route crossing one pays a crossing).
  int message_crossings_along(double y, double x0, double x1) const;

  /// The routes laid so far, which the search prices.
  const LaidRoutes& laid() const { return laid_; }
  const Crowding& crowding() const { return crowding_; }

  /// Whether the sides the caller asked for lead out of the shapes (a stub into another shape,
  /// or outside the connection's pool, cannot be used).
  bool source_side_usable(const Link& link, Side side) const;
  bool target_side_usable(const Link& link, Side side) const;

 private:
  struct Start {
    Vertex vertex;
    Dir dir = Dir::EAST;
    double cost = 0;
    Side side = Side::RIGHT;
    int fork_of = -1;
    int fork_shared = 0;
  };
  struct Goal {
    Side side = Side::RIGHT;
    int join_of = -1;
    int index = 0;  // where on the joined route
    double cost = 0;
    Dir dir = Dir::EAST;  // the direction the route goes on in from here
  };
  struct State {
    double g = 0;
    std::uint64_t parent = NONE;
    int start = -1;
    bool closed = false;
  };
  static constexpr std::uint64_t NONE = ~std::uint64_t{0};
  static constexpr std::uint64_t GOAL = NONE - 1;

  bool family(const Link& a, const Link& b, bool fork) const;
  // The end of the stub out of `side` of node `node`: STUB long where that end is free and in
  // the link's area, else SHORT_STUB long where that is; nothing when neither is.
  std::optional<Vertex> stub(const Link& link, int node, Side side) const;
  bool stub_usable(const Link& link, int node, Side side) const;
  // Where a stub out of `side` of `node` ends on the line through the middle of the shape
  // `other` (the link's other end) when that shape lies wholly beyond the side and the line
  // crosses the side where routes' ends may lie (port_range): as far out as the middle stub's
  // end `middle`, inside the search's window, the stub clear. A route between two shapes
  // facing each other off centre may then run straight from one to the other instead of
  // jogging to the side's middle.
  std::optional<Vertex> facing_stub(const Link& link, int node, Side side, Vertex middle,
                                    int other) const;
  // Whether a port at `v` on `node`'s `side`, which messages only pass, keeps off their lines.
  bool passed_clear(const Node& node, Side side, Vertex v) const;
  // How long the stub from `side` of `box` to its end `end` is: it is part of the route's
  // length, and stubs differ (to the first line of the graph beyond STUB).
  double stub_length(const Box& box, Side side, Vertex end) const;
  void collect_starts(const Link& link, const std::optional<Via>& from,
                      std::vector<Start>& starts) const;
  void collect_goals(const Link& link, const std::optional<Via>& to);
  // 0: not usable; 1: free; 2: free but inside a shape's name.
  int vertex_state(Vertex v, const Link& link);
  bool vertex_open(Vertex v, const Link& link) const;
  // Using a side of `node` that `others` use the other way round: a round or diamond shape's
  // side has no room for both; a rectangle's has, but a sequence flow in and another out by one
  // side read as one flow passing by, so only messages and associations share it cheaply.
  double other_way_cost(const Link& link, const Node& node,
                        const LaidRoutes::SideLinks& others) const;
  // The same for the routes not laid yet that will likely use `side` of `node` the other way
  // round (leaving: those entering the node; else those leaving it): the side their caller asked
  // for, else the side facing their other end squarely, so that the first route laid at a shape
  // does not take the side a later one comes in by.
  double expected_way_cost(const Link& link, int node, Side side, bool leaving) const;
  // Whether a run straight on (heading `m`) may go past `w` without stopping: no laid route
  // passes it, no goal is on it or on its line across, and the obstacles beside the line
  // neither begin nor end there.
  bool plain(Vertex w, Dir m, const Link& link) const;
  double estimate(Vertex v, Dir d) const;
  double pass_cost(Vertex v, Dir in, Dir out, const Link& link, int skip_family) const;
  double share_cost(Dir dir, double length) const;
  // Where a route starts on a fork's trunk or ends on a join's, and so passes the other routes of
  // the fork or join there at no cost.
  struct Ends {
    Dir from = Dir::EAST;  // the direction the route leaves its first vertex
    Dir to = Dir::EAST;    // and goes on in from its last
    bool on_fork = false;
    bool on_join = false;
  };
  // The cost of a route along `path` (every vertex on it), counted as the search counts it.
  double path_cost(const std::vector<Vertex>& path, const Ends& ends, const Link& link);
  // The vertices along `corners`, or nothing when that path turns back on itself (or against
  // its ends' directions) or runs through a vertex the link may not use.
  std::optional<std::vector<Vertex>> trace(const std::vector<Vertex>& corners, const Ends& ends,
                                           const Link& link);
  // Takes out the jogs of `path` that cost more than they save: the search weighs its estimate
  // above the cost so far, so on a long route it may settle for a step from one line to the next
  // and back to its direction where one line the whole way was cheaper.
  void straighten(std::vector<Vertex>& path, const Ends& ends, const Link& link);

  const Problem& problem_;
  const FreeSpace& space_;
  const ChannelGraph& graph_;
  const LaidRoutes& laid_;
  const Crowding& crowding_;
  // The stub ends of each side of each node at both lengths, with whether each is free of
  // obstacles, worked out on first use: they depend on the shapes alone, not on the link
  // (whose area is checked each time).
  struct StubEnd {
    Vertex end{-1, -1};
    bool free = false;
  };
  struct SideStubs {
    bool known = false;
    std::array<StubEnd, 2> ends;  // STUB long, SHORT_STUB long
  };
  mutable std::vector<SideStubs> stubs_;
  // Which fork trunks collect_starts has walked for the side it is at (those stamped with the
  // current walk), and how far along each it gave starts.
  struct Walked {
    std::uint64_t walk = 0;
    std::size_t end = 0;
  };
  mutable std::vector<Walked> walked_;
  // By link: whether another link runs between the same two shapes (see links_with_twins).
  std::vector<char> twin_;
  mutable std::uint64_t walk_ = 0;
  // Per node, the links leaving it and the links entering it: node n's are
  // links_[first_[n] .. first_[n + 1]) of each.
  struct NodeLinks {
    std::vector<int> first;
    std::vector<int> links;
    void build(const Problem& problem, bool leaving);
  };
  NodeLinks leaving_links_;
  NodeLinks entering_links_;
  // The messages to black-box pools (problem.message_runs), vertical lines laid before any
  // route, by x.
  struct MessageRun {
    double x = 0;
    Interval heights;
  };
  std::vector<MessageRun> message_runs_;
  // How many of them the step from `v` to its neighbour `w` crosses.
  int message_crossings(Vertex v, Vertex w) const;
  // The working state of one search, kept to reuse its memory.
  VertexMap<State> states_;
  VertexMap<int> goal_heads_;
  std::vector<std::pair<Goal, int>> goals_;  // goal and the next goal at the same vertex
  // The laid routes passing the vertex being expanded.
  const LaidRoutes::Tally* here_ = nullptr;
  // The goals at the stub ends of the target's sides, for the estimate; with goals on a join's
  // trunk the estimate falls back to a weaker one.
  struct PortGoal {
    Point at;
    Dir dir = Dir::EAST;
    double cost = 0;
  };
  std::vector<PortGoal> port_goals_;
  // The goals on joins' trunks for the estimate: straight runs of them, each with the least
  // cost of its goals, at one end, and dearer by TRUNK_COST_PER_PIXEL towards the other.
  struct TrunkRun {
    Box run;
    double cost = 0;
    Point cheap;  // the end of the run whose goal costs `cost`; the others cost more by length
  };
  std::vector<TrunkRun> trunk_runs_;
  // Vertices whose lines hold a goal, and their columns and rows (sorted, for plain()).
  std::vector<Vertex> goal_lines_;
  std::vector<int> goal_columns_;
  std::vector<int> goal_rows_;
  int i0_ = 0, i1_ = 0, j0_ = 0, j1_ = 0;
  // How much the estimate counts against the cost so far: above 1, the search looks at fewer
  // alternatives, at most that factor off the cheapest (more so the longer the connection).
  double weight_ = 1;
  double crossing_cost_ = CROSSING_COST;
};

}  // namespace orvane::routing
