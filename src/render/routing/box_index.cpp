#include "box_index.hpp"

namespace orvane::routing {

void BoxBands::add(const std::vector<Box>& boxes, int id, bool later) {
  const Box& box = boxes[static_cast<std::size_t>(id)];
  const int count = pieces(box);
  for (std::int64_t band = band_of(first_band(box)); band <= band_of(last_band(box)); ++band) {
    bool inserted = false;
    int& at = index_.insert(key(band), 0, inserted);
    if (inserted) {
      at = static_cast<int>(bands_.size());
      bands_.emplace_back();
    }
    Band& list = bands_[static_cast<std::size_t>(at)];
    if (later && !list.unsettled) {
      unsettled_.push_back(at);
      list.unsettled = true;
    }
    if (count > 1) {
      // The pieces come in order: appended, then merged in after the pieces beginning no later.
      const auto mid = static_cast<std::ptrdiff_t>(list.pieces.size());
      for (int piece = 0; piece < count; ++piece)
        list.pieces.push_back({begin(box) + piece * CHUNK, id, piece});
      if (!later) {
        std::inplace_merge(list.pieces.begin(), list.pieces.begin() + mid, list.pieces.end(),
                           [](const Piece& a, const Piece& b) { return a.from < b.from; });
      }
      continue;
    }
    list.longest = std::max(list.longest, end(box) - begin(box));
    if (later) {
      list.ids.push_back(id);
      continue;
    }
    // Boxes mostly come in order, so the place is mostly at the end.
    const auto it = std::upper_bound(
        list.ids.begin(), list.ids.end(), begin(box),
        [&](double v, int other) { return v < begin(boxes[static_cast<std::size_t>(other)]); });
    list.ids.insert(it, id);
  }
}

void BoxBands::settle(const std::vector<Box>& boxes) {
  for (int at : unsettled_) {
    Band& list = bands_[static_cast<std::size_t>(at)];
    // Stable: boxes beginning at the same place stay in the order they were added.
    std::stable_sort(list.ids.begin(), list.ids.end(), [&](int a, int b) {
      return begin(boxes[static_cast<std::size_t>(a)]) < begin(boxes[static_cast<std::size_t>(b)]);
    });
    std::stable_sort(list.pieces.begin(), list.pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.from < b.from; });
    list.unsettled = false;
  }
  unsettled_.clear();
}

void BoxIndex::add_all(const std::vector<Box>& boxes) {
  boxes_.reserve(boxes_.size() + boxes.size());
  tier_.reserve(tier_.size() + boxes.size());
  for (const Box& b : boxes) add(b, true);
  for (BoxBands* bands : {&small_rows_, &small_columns_, &long_rows_, &long_columns_})
    bands->settle(boxes_);
}

int BoxIndex::add(const Box& box, bool later) {
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
      long_rows_.add(boxes_, id, later);
    } else if (narrow) {
      tier_.push_back(COLUMNS);
      long_columns_.add(boxes_, id, later);
    } else {
      tier_.push_back(OTHER);
      others_.push_back(id);
    }
    return id;
  }
  tier_.push_back(GRID);
  small_rows_.add(boxes_, id, later);
  small_columns_.add(boxes_, id, later);
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
