#include "box_index.hpp"

namespace orvane::routing {

int BoxIndex::add(const Box& box) {
  const int id = static_cast<int>(boxes_.size());
  boxes_.push_back(box);
  const bool large = !usable(box) || cells(box) > MAX_CELLS;
  is_large_.push_back(large ? 1 : 0);
  if (!usable(box)) return id;  // kept for its number, found by no query
  if (large) {
    large_.push_back(id);
    return id;
  }
  for (std::int64_t cy = cell_of(box.y); cy <= cell_of(box.bottom()); ++cy) {
    for (std::int64_t cx = cell_of(box.x); cx <= cell_of(box.right()); ++cx) {
      bool inserted = false;
      int& cell = grid_.insert(static_cast<std::uint64_t>(key(cx, cy)), 0, inserted);
      if (inserted) {
        cell = static_cast<int>(cells_.size());
        cells_.emplace_back();
      }
      cells_[static_cast<std::size_t>(cell)].push_back(id);
    }
  }
  return id;
}

bool BoxIndex::covers(const Point& p) const {
  return hits({p.x, p.y, 0, 0});
}

}  // namespace orvane::routing
