// Which recorded drawing steps meet a part of the picture, so that a strip, a tile or a page of
// a large picture replays only its own steps.
#pragma once

#include <cstddef>
#include <vector>

#include "png_writer.hpp"

namespace orvane {

/// A grid of buckets over the bounds of the drawing steps. Steps that cover many cells (and
/// those without finite bounds, such as a paint of the whole surface) are kept in one list that
/// every query checks.
class RegionIndex {
 public:
  explicit RegionIndex(const std::vector<Region>& steps);
  /// The steps whose bounds meet `region`, in the order they were recorded.
  std::vector<std::size_t> query(const Region& region) const;

 private:
  // Cell range of a region, clamped to the grid.
  struct Cells {
    long long left, top, right, bottom;
  };
  Cells cells_of(const Region& region) const;

  const std::vector<Region>& steps_;
  double cell_ = 512;
  double origin_x_ = 0;
  double origin_y_ = 0;
  long long columns_ = 0;
  long long rows_ = 0;
  std::vector<std::vector<std::size_t>> buckets_;
  std::vector<std::size_t> wide_;
};

/// Whether two regions share any point.
bool meets(const Region& a, const Region& b);

}  // namespace orvane
