// A spatial index of boxes: a uniform grid of square cells, each listing the boxes that reach
// into it, so that the boxes near a point or a region are found without looking at all.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.hpp"
#include "vertex_map.hpp"

namespace orvane::routing {

class BoxIndex {
 public:
  explicit BoxIndex(double cell = 64) : cell_(cell) {}

  /// Adds `box` (an unusable box is ignored) and returns its number.
  int add(const Box& box);
  const Box& box(int id) const { return boxes_[static_cast<std::size_t>(id)]; }
  std::size_t size() const { return boxes_.size(); }

  /// Calls `f(id)` once for each box whose inside overlaps the inside of `region` (a region
  /// without width or height: passes through the box's inside), until `f` returns true;
  /// returns whether one did.
  template <typename F>
  bool find(const Box& region, F&& f) const;

  /// Whether the inside of any box overlaps `region` (as find does).
  bool hits(const Box& region) const {
    return find(region, [](int) { return true; });
  }
  /// Whether `p` lies strictly inside a box.
  bool covers(const Point& p) const;

 private:
  // A box reaching into more cells than this is kept in a list of its own.
  static constexpr double MAX_CELLS = 4096;
  std::int64_t cell_of(double v) const { return static_cast<std::int64_t>(std::floor(v / cell_)); }
  static std::int64_t key(std::int64_t cx, std::int64_t cy) {
    // Cells lie within a billion pixels, so both offset halves are positive and the key is
    // never all ones (the map's empty key).
    constexpr std::int64_t OFFSET = std::int64_t{1} << 30;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(cy + OFFSET) << 32) |
                                     static_cast<std::uint64_t>((cx + OFFSET) & 0xffffffff));
  }
  double cells(const Box& b) const {
    return (std::floor(b.right() / cell_) - std::floor(b.x / cell_) + 1) *
           (std::floor(b.bottom() / cell_) - std::floor(b.y / cell_) + 1);
  }
  // Insides overlap; a region without width or height (a segment, a point) counts when it
  // passes through the inside of the box.
  static bool meets(const Box& a, const Box& region) { return overlaps(a, region); }

  double cell_;
  std::vector<Box> boxes_;
  std::vector<int> large_;
  std::vector<char> is_large_;
  // Cell key to its list in cells_.
  VertexMap<int> grid_;
  std::vector<std::vector<int>> cells_;
};

template <typename F>
bool BoxIndex::find(const Box& region, F&& f) const {
  for (int id : large_) {
    if (meets(boxes_[static_cast<std::size_t>(id)], region) && f(id)) return true;
  }
  if (!usable(inflate(region, 1)) || cells(region) > MAX_CELLS) {
    // A region larger than the grid is worth walking: look at every box once.
    for (std::size_t id = 0; id < boxes_.size(); ++id) {
      if (is_large_[id]) continue;
      if (meets(boxes_[id], region) && f(static_cast<int>(id))) return true;
    }
    return false;
  }
  const std::int64_t x0 = cell_of(region.x), x1 = cell_of(region.right());
  const std::int64_t y0 = cell_of(region.y), y1 = cell_of(region.bottom());
  for (std::int64_t cy = y0; cy <= y1; ++cy) {
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
      const int* cell = grid_.find(static_cast<std::uint64_t>(key(cx, cy)));
      if (cell == nullptr) continue;
      for (int id : cells_[static_cast<std::size_t>(*cell)]) {
        const Box& b = boxes_[static_cast<std::size_t>(id)];
        // Report a box only in the first cell where it and the region meet.
        if (std::max(cell_of(b.x), x0) != cx || std::max(cell_of(b.y), y0) != cy) continue;
        if (meets(b, region) && f(id)) return true;
      }
    }
  }
  return false;
}

}  // namespace orvane::routing
