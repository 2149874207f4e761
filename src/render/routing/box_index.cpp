#include "box_index.hpp"

namespace orvane::routing {

void BoxBands::add(const std::vector<Box>& boxes, int id) {
  const Box& box = boxes[static_cast<std::size_t>(id)];
  for (std::int64_t band = band_of(first_band(box)); band <= band_of(last_band(box)); ++band) {
    bool inserted = false;
    int& at = index_.insert(key(band), 0, inserted);
    if (inserted) {
      at = static_cast<int>(bands_.size());
      bands_.emplace_back();
    }
    Band& list = bands_[static_cast<std::size_t>(at)];
    // Boxes mostly come in order, so the place is mostly at the end.
    const auto it = std::upper_bound(
        list.ids.begin(), list.ids.end(), begin(box),
        [&](double v, int other) { return v < begin(boxes[static_cast<std::size_t>(other)]); });
    list.ids.insert(it, id);
    list.longest = std::max(list.longest, end(box) - begin(box));
  }
}

int BoxIndex::add(const Box& box) {
  const int id = static_cast<int>(boxes_.size());
  boxes_.push_back(box);
  if (!usable(box)) {
    tier_.push_back(UNUSABLE);  // kept for its number, found by no query
    return id;
  }
  const bool flat = small_rows_.reach(box) <= FEW_BANDS;
  const bool narrow = small_columns_.reach(box) <= FEW_BANDS;
  if (cells(box) > GRID_CELLS) {
    if (flat) {
      tier_.push_back(ROWS);
      long_rows_.add(boxes_, id);
    } else if (narrow) {
      tier_.push_back(COLUMNS);
      long_columns_.add(boxes_, id);
    } else {
      tier_.push_back(OTHER);
      others_.push_back(id);
    }
    return id;
  }
  tier_.push_back(GRID);
  small_rows_.add(boxes_, id);
  small_columns_.add(boxes_, id);
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
