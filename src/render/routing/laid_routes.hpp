// The routes laid so far, on the channel graph: which route passes each vertex and in which
// directions, and which routes leave and enter each side of each shape. Path search reads it
// to price crossing, touching and sharing the lines of earlier routes.
#pragma once

#include <cstdint>
#include <vector>

#include "channel_graph.hpp"
#include "geometry.hpp"
#include "vertex_map.hpp"

namespace orvane::routing {

/// A route on the channel graph, from the stub end at its source to the one at its target.
struct GraphRoute {
  int link = -1;
  Side source_side = Side::RIGHT;
  Side target_side = Side::LEFT;
  std::vector<Vertex> vertices;
  /// An earlier route of the same fork whose trunk this one starts on, and how many leading
  /// vertices the two share.
  int fork_of = -1;
  int fork_shared = 0;
  /// The same for a join: an earlier route this one ends on, and the trailing vertices shared.
  int join_of = -1;
  int join_shared = 0;
};

/// The direction from one vertex to its neighbour.
Dir direction(Vertex from, Vertex to);

/// How large a record of laid routes grew: vertices passed and passes.
struct LaidSize {
  std::size_t vertices = 0;
  std::size_t passes = 0;
};

class LaidRoutes {
 public:
  /// Room for `links` routes between `nodes` shapes on a graph of `columns` by `rows` lines;
  /// `expected` tells how large an earlier record of about the same routes grew.
  LaidRoutes(std::size_t links, std::size_t nodes, int columns, int rows, LaidSize expected = {});
  /// How large this record has grown.
  LaidSize size() const { return {tally_list_.size(), entries_.size()}; }

  /// Records `route`, which must outlive this record (the laying keeps every route it found);
  /// `sequence` tells whether its link is a sequence flow (which may be a fork's branch).
  void add(const GraphRoute& route, int source_node, int target_node, bool sequence = false);
  /// Takes back a route recorded with add() (to lay it again knowing every other route): the
  /// record reads as if it had never been added, but for the trunk lengths shared with it.
  void remove(const GraphRoute& route, int source_node, int target_node);
  /// The route of `link`, when it has been laid.
  const GraphRoute* route(int link) const;

  /// A route passing a vertex: the direction it arrives in and the one it leaves in.
  struct Pass {
    int link = -1;
    Dir in = Dir::EAST;
    Dir out = Dir::EAST;
  };
  /// How many routes pass a vertex, by the directions they arrive and leave in.
  struct Tally {
    std::uint16_t count[4][4] = {};
    int head = -1;  // the passes one by one, newest first
    /// The shape every route passing here leaves, when all are branches of one fork (sequence
    /// flows between two shapes, leaving that one); NO_ROUTE or MIXED else. The same for the
    /// shape they all enter. A fork's trunk is passed by every branch: these tell at once that
    /// a branch starting on it passes none but its own fork's routes there.
    int fork_node = NO_ROUTE;
    int join_node = NO_ROUTE;
  };
  static constexpr int NO_ROUTE = -1;
  static constexpr int MIXED = -2;
  /// The tally of `v`, or nullptr when no route passes it.
  const Tally* tally(Vertex v) const {
    if (!passes_any(v)) return nullptr;
    const int* t = tallies_.find(ChannelGraph::key(v));
    return t == nullptr ? nullptr : &tally_list_[static_cast<std::size_t>(*t)];
  }
  /// Calls f(pass) for every route passing `v`.
  template <typename F>
  void passes(Vertex v, F&& f) const {
    const Tally* t = tally(v);
    for (int e = t != nullptr ? t->head : -1; e >= 0;
         e = entries_[static_cast<std::size_t>(e)].next) {
      f(entries_[static_cast<std::size_t>(e)].pass);
    }
  }

  /// How many leading vertices of a route other routes of its fork share (or it shares with
  /// them), and how many trailing ones the routes of its join share.
  int shared_prefix(int link) const { return prefix_[static_cast<std::size_t>(link)]; }
  int shared_suffix(int link) const { return suffix_[static_cast<std::size_t>(link)]; }

  /// Whether any route passes `v`.
  bool passes_any(Vertex v) const {
    if (used_.empty()) return tallies_.find(ChannelGraph::key(v)) != nullptr;
    const std::size_t bit = static_cast<std::size_t>(v.i) * rows_ + static_cast<std::size_t>(v.j);
    return (used_[bit / 64] >> (bit % 64)) & 1u;
  }

  /// How many steps of a stretch of a line (a vertical one, else a horizontal one; from vertex
  /// `first` to vertex `last` along it) join two vertices that routes pass: roughly, how far
  /// routes already run along it (a route only crossing it passes a lone vertex). For graphs
  /// too large for the bitmaps, 0.
  std::size_t steps_taken_along(bool vertical, int line, int first, int last) const;
  /// At how many vertices of that stretch a route goes straight across it: roughly, how many
  /// routes cross it. For graphs too large for the bitmaps, 0.
  std::size_t crossings_along(bool vertical, int line, int first, int last) const;

  /// The links at one side of a shape, in the order they were laid.
  class SideLinks {
   public:
    class iterator {
     public:
      iterator(const LaidRoutes* laid, int at) : laid_(laid), at_(at) {}
      int operator*() const { return laid_->side_entries_[static_cast<std::size_t>(at_)].link; }
      iterator& operator++() {
        at_ = laid_->side_entries_[static_cast<std::size_t>(at_)].next;
        return *this;
      }
      bool operator!=(const iterator& other) const { return at_ != other.at_; }

     private:
      const LaidRoutes* laid_;
      int at_;
    };
    SideLinks(const LaidRoutes* laid, int first) : laid_(laid), first_(first) {}
    iterator begin() const { return {laid_, first_}; }
    iterator end() const { return {laid_, -1}; }
    bool empty() const { return first_ < 0; }

   private:
    const LaidRoutes* laid_;
    int first_;
  };
  /// The links laid so far that leave `node` by `side`, or enter it.
  SideLinks leaving(int node, Side side) const { return side_links(leaving_, node, side); }
  SideLinks entering(int node, Side side) const { return side_links(entering_, node, side); }

 private:
  // A vertex's passes, newest first, linked both ways so that a route is taken out of a vertex
  // many routes pass (a fork's trunk) at once.
  struct Entry {
    Pass pass;
    int next = -1;
    int previous = -1;
  };
  std::vector<const GraphRoute*> routes_;  // by link, null when not laid
  // By link: where its route's passes begin in `entries_` (one per vertex, in order).
  std::vector<int> first_entry_;
  std::vector<int> prefix_;
  std::vector<int> suffix_;
  VertexMap<int> tallies_;
  std::vector<Tally> tally_list_;
  // One bit per vertex: whether any route passes it (most do not, and most questions are
  // answered here); empty for graphs too large for it.
  std::vector<std::uint64_t> used_;
  // The same by rows (one row's vertices in a run of bits), for counting along a row.
  std::vector<std::uint64_t> used_by_rows_;
  // The vertices a route goes straight across a column at (by columns, as `used_`), and
  // straight across a row at (by rows): for counting the routes crossing a line.
  std::vector<std::uint64_t> across_columns_;
  std::vector<std::uint64_t> across_rows_;
  std::size_t rows_ = 0;
  std::size_t columns_ = 0;
  std::vector<Entry> entries_;
  // The links at each side of each shape (four to a shape): lists threaded through one array,
  // each from its first entry to its last (which is where the next one is appended).
  struct SideEntry {
    int link = -1;
    int next = -1;
  };
  struct SideList {
    int first = -1;
    int last = -1;
  };
  std::vector<SideList> leaving_;
  std::vector<SideList> entering_;
  std::vector<SideEntry> side_entries_;
  void append(std::vector<SideList>& lists, int node, Side side, int link);
  void unlink(std::vector<SideList>& lists, int node, Side side, int link);
  SideLinks side_links(const std::vector<SideList>& lists, int node, Side side) const;
};

}  // namespace orvane::routing
