#include "laid_routes.hpp"

#include <algorithm>
#include <cstdint>

namespace orvane::routing {

namespace {

// The set bits of a word. Inline, without the processor's instruction (which the baseline
// x86-64 target lacks, so std::popcount calls a library routine, a measurable cost when
// corridors count the routes along lines thousands of vertices long).
std::size_t bit_count(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ULL;
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<std::size_t>((x * 0x0101010101010101ULL) >> 56);
}

// Where a side of a node is listed.
std::size_t side_index(int node, Side side) {
  return static_cast<std::size_t>(node) * 4 + static_cast<std::size_t>(side);
}

// How many bits are set in positions [from, to) of the words `word(i)`, read a word at a time.
template <typename Word>
std::size_t count_bits(std::size_t from, std::size_t to, const Word& word) {
  if (from >= to) return 0;
  std::size_t count = 0;
  const std::size_t first = from / 64, last = (to - 1) / 64;
  for (std::size_t i = first; i <= last; ++i) {
    std::uint64_t w = word(i);
    if (i == first) w &= ~std::uint64_t{0} << (from % 64);
    if (i == last && to % 64 != 0) w &= (std::uint64_t{1} << (to % 64)) - 1;
    count += bit_count(w);
  }
  return count;
}

}  // namespace

Dir direction(Vertex from, Vertex to) {
  if (to.i > from.i) return Dir::EAST;
  if (to.i < from.i) return Dir::WEST;
  return to.j > from.j ? Dir::SOUTH : Dir::NORTH;
}

LaidRoutes::LaidRoutes(std::size_t links, std::size_t nodes, int columns, int rows,
                       LaidSize expected)
    : routes_(links, nullptr),
      first_entry_(links, -1),
      prefix_(links, 0),
      suffix_(links, 0),
      leaving_(nodes * 4),
      entering_(nodes * 4) {
  side_entries_.reserve(2 * links);
  tallies_.reserve(expected.vertices);
  tally_list_.reserve(expected.vertices);
  entries_.reserve(expected.passes);
  const double bits = static_cast<double>(columns) * static_cast<double>(rows);
  if (bits <= 1 << 30) {
    rows_ = static_cast<std::size_t>(rows);
    columns_ = static_cast<std::size_t>(columns);
    used_.assign(static_cast<std::size_t>(bits) / 64 + 1, 0);
    used_by_rows_.assign(static_cast<std::size_t>(bits) / 64 + 1, 0);
    across_rows_.assign(static_cast<std::size_t>(bits) / 64 + 1, 0);
    across_columns_.assign(static_cast<std::size_t>(bits) / 64 + 1, 0);
  }
}

void LaidRoutes::add(const GraphRoute& route, int source_node, int target_node, bool sequence) {
  const bool branch = sequence && source_node != target_node;
  const auto note = [branch](int& marker, int node) {
    if (!branch || (marker != NO_ROUTE && marker != node)) {
      marker = MIXED;
    } else {
      marker = node;
    }
  };
  const auto index = static_cast<std::size_t>(route.link);
  routes_[index] = &route;
  prefix_[index] = std::max(prefix_[index], route.fork_shared);
  suffix_[index] = std::max(suffix_[index], route.join_shared);
  if (route.fork_of >= 0) {
    int& p = prefix_[static_cast<std::size_t>(route.fork_of)];
    p = std::max(p, route.fork_shared);
  }
  if (route.join_of >= 0) {
    int& s = suffix_[static_cast<std::size_t>(route.join_of)];
    s = std::max(s, route.join_shared);
  }
  const auto& v = route.vertices;
  first_entry_[index] = static_cast<int>(entries_.size());
  for (std::size_t t = 0; t < v.size(); ++t) {
    Pass pass;
    pass.link = route.link;
    pass.in = t == 0 ? outward(route.source_side) : direction(v[t - 1], v[t]);
    pass.out = t + 1 == v.size() ? inward(route.target_side) : direction(v[t], v[t + 1]);
    bool inserted = false;
    int& index = tallies_.insert(ChannelGraph::key(v[t]), 0, inserted);
    if (inserted) {
      index = static_cast<int>(tally_list_.size());
      tally_list_.emplace_back();
    }
    Tally& tally = tally_list_[static_cast<std::size_t>(index)];
    std::uint16_t& count = tally.count[static_cast<int>(pass.in)][static_cast<int>(pass.out)];
    if (count < UINT16_MAX) ++count;
    const int entry = static_cast<int>(entries_.size());
    entries_.push_back({pass, tally.head, -1});
    if (tally.head >= 0) entries_[static_cast<std::size_t>(tally.head)].previous = entry;
    tally.head = entry;
    note(tally.fork_node, source_node);
    note(tally.join_node, target_node);
    if (!used_.empty()) {
      const std::size_t bit =
          static_cast<std::size_t>(v[t].i) * rows_ + static_cast<std::size_t>(v[t].j);
      used_[bit / 64] |= std::uint64_t{1} << (bit % 64);
      const std::size_t by_row =
          static_cast<std::size_t>(v[t].j) * columns_ + static_cast<std::size_t>(v[t].i);
      used_by_rows_[by_row / 64] |= std::uint64_t{1} << (by_row % 64);
      // Straight across: down or up through a row, along or back through a column.
      if (pass.in == pass.out) {
        if (horizontal(pass.in)) {
          across_columns_[bit / 64] |= std::uint64_t{1} << (bit % 64);
        } else {
          across_rows_[by_row / 64] |= std::uint64_t{1} << (by_row % 64);
        }
      }
    }
  }
  append(leaving_, source_node, route.source_side, route.link);
  append(entering_, target_node, route.target_side, route.link);
}

void LaidRoutes::remove(const GraphRoute& route, int source_node, int target_node) {
  routes_[static_cast<std::size_t>(route.link)] = nullptr;
  const auto& v = route.vertices;
  for (std::size_t t = 0; t < v.size(); ++t) {
    const Dir in = t == 0 ? outward(route.source_side) : direction(v[t - 1], v[t]);
    const Dir out = t + 1 == v.size() ? inward(route.target_side) : direction(v[t], v[t + 1]);
    const int* index = tallies_.find(ChannelGraph::key(v[t]));
    if (index == nullptr) continue;
    Tally& tally = tally_list_[static_cast<std::size_t>(*index)];
    // The pass out of the vertex's list: the one add() made for this vertex of the route.
    const int first = first_entry_[static_cast<std::size_t>(route.link)];
    const auto e = static_cast<std::size_t>(first) + t;
    if (first >= 0 && e < entries_.size() && entries_[e].pass.link == route.link &&
        entries_[e].pass.in == in && entries_[e].pass.out == out) {
      Entry& entry = entries_[e];
      if (entry.previous >= 0) {
        entries_[static_cast<std::size_t>(entry.previous)].next = entry.next;
      } else {
        tally.head = entry.next;
      }
      if (entry.next >= 0) entries_[static_cast<std::size_t>(entry.next)].previous = entry.previous;
      entry.next = entry.previous = -1;
      entry.pass.link = -1;
      std::uint16_t& count = tally.count[static_cast<int>(in)][static_cast<int>(out)];
      if (count > 0 && count < UINT16_MAX) --count;
    }
    if (tally.head < 0) tally.fork_node = tally.join_node = NO_ROUTE;
    if (used_.empty()) continue;
    // The bitmaps say again what the vertex's remaining passes say.
    int total = 0, across_column = 0, across_row = 0;
    for (int a = 0; a < 4; ++a) {
      for (int b = 0; b < 4; ++b) total += tally.count[a][b];
      (horizontal(static_cast<Dir>(a)) ? across_column : across_row) += tally.count[a][a];
    }
    const std::size_t bit =
        static_cast<std::size_t>(v[t].i) * rows_ + static_cast<std::size_t>(v[t].j);
    const std::size_t by_row =
        static_cast<std::size_t>(v[t].j) * columns_ + static_cast<std::size_t>(v[t].i);
    const auto set = [](std::vector<std::uint64_t>& bits, std::size_t at, bool on) {
      const std::uint64_t mask = std::uint64_t{1} << (at % 64);
      bits[at / 64] = on ? bits[at / 64] | mask : bits[at / 64] & ~mask;
    };
    set(used_, bit, total > 0);
    set(used_by_rows_, by_row, total > 0);
    set(across_columns_, bit, across_column > 0);
    set(across_rows_, by_row, across_row > 0);
  }
  unlink(leaving_, source_node, route.source_side, route.link);
  unlink(entering_, target_node, route.target_side, route.link);
}

void LaidRoutes::unlink(std::vector<SideList>& lists, int node, Side side, int link) {
  SideList& list = lists[side_index(node, side)];
  for (int e = list.first, previous = -1; e >= 0;
       previous = e, e = side_entries_[static_cast<std::size_t>(e)].next) {
    if (side_entries_[static_cast<std::size_t>(e)].link != link) continue;
    const int next = side_entries_[static_cast<std::size_t>(e)].next;
    if (previous < 0) {
      list.first = next;
    } else {
      side_entries_[static_cast<std::size_t>(previous)].next = next;
    }
    if (list.last == e) list.last = previous;
    return;
  }
}

void LaidRoutes::append(std::vector<SideList>& lists, int node, Side side, int link) {
  SideList& list = lists[side_index(node, side)];
  const int entry = static_cast<int>(side_entries_.size());
  side_entries_.push_back({link, -1});
  if (list.last >= 0) {
    side_entries_[static_cast<std::size_t>(list.last)].next = entry;
  } else {
    list.first = entry;
  }
  list.last = entry;
}

LaidRoutes::SideLinks LaidRoutes::side_links(const std::vector<SideList>& lists, int node,
                                             Side side) const {
  const std::size_t at = side_index(node, side);
  return {this, node < 0 || at >= lists.size() ? -1 : lists[at].first};
}

std::size_t LaidRoutes::steps_taken_along(bool vertical, int line, int first, int last) const {
  if (used_.empty() || first >= last) return 0;
  const std::vector<std::uint64_t>& bits = vertical ? used_ : used_by_rows_;
  const std::size_t base = static_cast<std::size_t>(line) * (vertical ? rows_ : columns_);
  // Step k joins vertices k and k + 1: both passed (bit k of a word and of the word shifted
  // down by one, which takes the next word's lowest bit as its highest).
  return count_bits(base + static_cast<std::size_t>(first), base + static_cast<std::size_t>(last),
                    [&](std::size_t i) {
                      if (i >= bits.size()) return std::uint64_t{0};
                      const std::uint64_t next = i + 1 < bits.size() ? bits[i + 1] << 63 : 0;
                      return bits[i] & ((bits[i] >> 1) | next);
                    });
}

std::size_t LaidRoutes::crossings_along(bool vertical, int line, int first, int last) const {
  if (used_.empty() || first > last) return 0;
  const std::vector<std::uint64_t>& bits = vertical ? across_columns_ : across_rows_;
  const std::size_t base = static_cast<std::size_t>(line) * (vertical ? rows_ : columns_);
  return count_bits(base + static_cast<std::size_t>(first),
                    base + static_cast<std::size_t>(last) + 1,
                    [&](std::size_t i) { return i < bits.size() ? bits[i] : std::uint64_t{0}; });
}

const GraphRoute* LaidRoutes::route(int link) const {
  const auto index = static_cast<std::size_t>(link);
  return link < 0 || index >= routes_.size() ? nullptr : routes_[index];
}

}  // namespace orvane::routing
