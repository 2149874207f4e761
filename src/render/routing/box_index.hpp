// A spatial index of boxes. Small boxes are listed in a uniform grid of square cells, each
// listing the boxes that reach into it. Every box that is not small in both directions is
// listed by bands instead: a flat one in the horizontal bands of BAND pixels it reaches into,
// sorted by left edge; a narrow one in vertical bands, sorted by top edge. Small boxes are in
// both kinds of bands as well, which answer long regions (a long route's channel) without
// walking the grid cell by cell. The few boxes large both ways are looked at on every query.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry.hpp"
#include "vertex_map.hpp"

namespace orvane::routing {

/// Boxes listed by the bands they reach into, across one axis, sorted along the other. A box
/// longer than CHUNK along the bands is listed in pieces CHUNK long, apart from the others, so
/// that a query need look back only that far for boxes that began before it (a route's
/// segment may run the whole diagram's width).
class BoxBands {
 public:
  static constexpr double BAND = 256;
  static constexpr double CHUNK = 16384;

  /// `columns`: bands are vertical (by x), their boxes sorted by top edge; else horizontal.
  explicit BoxBands(bool columns) : columns_(columns) {}

  static std::int64_t band_of(double v) { return static_cast<std::int64_t>(std::floor(v / BAND)); }
  /// How many bands a box reaches into.
  std::int64_t reach(const Box& b) const {
    return columns_ ? band_of(b.right()) - band_of(b.x) + 1
                    : band_of(b.bottom()) - band_of(b.y) + 1;
  }

  /// Lists box `id` in its bands, in order; with `later`, at their ends, to be put in order by
  /// settle() (many boxes at once are cheaper sorted than each inserted in its place).
  void add(const std::vector<Box>& boxes, int id, bool later = false);
  /// Puts in order the bands boxes were added to `later`.
  void settle(const std::vector<Box>& boxes);

  /// Calls `f(id)` for the boxes meeting `region` (each once), until one returns true.
  template <typename F>
  bool find(const std::vector<Box>& boxes, const Box& region, F&& f) const;

 private:
  // One piece of a box longer than CHUNK: where it begins along the band, the box, and which
  // piece it is.
  struct Piece {
    double from = 0;
    int id = 0;
    int piece = 0;
  };
  struct Band {
    std::vector<int> ids;  // boxes up to CHUNK long, by where they begin, ties by number
    double longest = 0;
    std::vector<Piece> pieces;  // the longer ones, by where the pieces begin, ties by number
    bool unsettled = false;
  };
  // How many pieces a box is listed in, and the piece where `v` along it lies.
  int pieces(const Box& b) const {
    return std::max(1, static_cast<int>(std::ceil((end(b) - begin(b)) / CHUNK)));
  }
  int piece_at(const Box& b, double v) const {
    return std::clamp(static_cast<int>(std::floor((v - begin(b)) / CHUNK)), 0, pieces(b) - 1);
  }
  double begin(const Box& b) const { return columns_ ? b.y : b.x; }
  double end(const Box& b) const { return columns_ ? b.bottom() : b.right(); }
  double first_band(const Box& b) const { return columns_ ? b.x : b.y; }
  double last_band(const Box& b) const { return columns_ ? b.right() : b.bottom(); }
  static std::uint64_t key(std::int64_t band) {
    return static_cast<std::uint64_t>(band + (std::int64_t{1} << 40));
  }

  bool columns_;
  VertexMap<int> index_;  // band number to its place in bands_
  std::vector<Band> bands_;
  std::vector<int> unsettled_;  // bands with boxes added to be put in order
};

template <typename F>
bool BoxBands::find(const std::vector<Box>& boxes, const Box& region, F&& f) const {
  if (bands_.empty()) return false;
  const std::int64_t b0 = band_of(first_band(region)), b1 = band_of(last_band(region));
  for (std::int64_t band = b0; band <= b1; ++band) {
    const int* at = index_.find(key(band));
    if (at == nullptr) continue;
    const Band& list = bands_[static_cast<std::size_t>(*at)];
    auto it = std::lower_bound(
        list.ids.begin(), list.ids.end(), begin(region) - list.longest,
        [&](int id, double v) { return begin(boxes[static_cast<std::size_t>(id)]) < v; });
    for (; it != list.ids.end(); ++it) {
      const Box& b = boxes[static_cast<std::size_t>(*it)];
      if (begin(b) >= end(region)) break;
      // Report a box only in the first band where it and the region meet.
      if (std::max(band_of(first_band(b)), b0) != band) continue;
      if (overlaps(b, region) && f(*it)) return true;
    }
    auto piece = std::lower_bound(list.pieces.begin(), list.pieces.end(), begin(region) - CHUNK,
                                  [](const Piece& p, double v) { return p.from < v; });
    for (; piece != list.pieces.end(); ++piece) {
      if (piece->from >= end(region)) break;
      const Box& b = boxes[static_cast<std::size_t>(piece->id)];
      // ...and there in the piece where they begin to meet.
      if (std::max(band_of(first_band(b)), b0) != band ||
          piece->piece != piece_at(b, std::max(begin(region), begin(b))))
        continue;
      if (overlaps(b, region) && f(piece->id)) return true;
    }
  }
  return false;
}

class BoxIndex {
 public:
  explicit BoxIndex(double cell = 64) : cell_(cell) {}

  /// Adds `box` (an unusable box is ignored) and returns its number.
  int add(const Box& box) { return add(box, false); }
  /// Adds many boxes at once, numbered in order.
  void add_all(const std::vector<Box>& boxes);
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
  // A box reaching into more cells than this is not kept in the grid; a region reaching into
  // more is answered from the bands.
  static constexpr double GRID_CELLS = 64;
  static constexpr double MAX_CELLS = 256;
  // A box or region reaching into at most this many bands across is flat (or narrow).
  static constexpr std::int64_t FEW_BANDS = 64;

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

  int add(const Box& box, bool later);

  // Where a box is kept.
  enum Tier : char { UNUSABLE, GRID, ROWS, COLUMNS, OTHER };

  double cell_;
  std::vector<Box> boxes_;
  std::vector<Tier> tier_;
  std::vector<int> others_;
  // Cell key to its list in cells_.
  VertexMap<int> grid_;
  std::vector<std::vector<int>> cells_;
  // The grid's boxes by bands too, and the boxes too long for the grid (only there).
  BoxBands small_rows_{false};
  BoxBands small_columns_{true};
  BoxBands long_rows_{false};
  BoxBands long_columns_{true};
};

template <typename F>
bool BoxIndex::find(const Box& region, F&& f) const {
  for (int id : others_) {
    if (meets(boxes_[static_cast<std::size_t>(id)], region) && f(id)) return true;
  }
  const bool flat = small_rows_.reach(region) <= FEW_BANDS;
  const bool narrow = small_columns_.reach(region) <= FEW_BANDS;
  if (!usable(inflate(region, 1)) || (!flat && !narrow)) {
    // A region large both ways is worth walking: look at every box once.
    for (std::size_t id = 0; id < boxes_.size(); ++id) {
      if (tier_[id] == UNUSABLE || tier_[id] == OTHER) continue;
      if (meets(boxes_[id], region) && f(static_cast<int>(id))) return true;
    }
    return false;
  }
  if (long_rows_.find(boxes_, region, f) || long_columns_.find(boxes_, region, f)) return true;
  if (cells(region) > MAX_CELLS) {
    return flat ? small_rows_.find(boxes_, region, f) : small_columns_.find(boxes_, region, f);
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
