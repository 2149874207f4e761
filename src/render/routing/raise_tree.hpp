// Heights over a row of slots, for stacking intervals: the highest height over a range of slots,
// and raising a range to a height at least as high as any in it. Both take logarithmic time, so
// stacking n intervals costs n log n however deeply they overlap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace orvane::routing {

class RaiseTree {
 public:
  /// `slots` slots, all at height -1.
  explicit RaiseTree(std::size_t slots)
      : slots_(std::max<std::size_t>(slots, 1)), max_(4 * slots_, -1), floor_(4 * slots_, -1) {}

  /// The highest height over slots [lo, hi).
  int highest(std::size_t lo, std::size_t hi) const {
    return lo < hi ? highest(1, 0, slots_, lo, hi) : -1;
  }

  /// Raises slots [lo, hi) to `height`.
  void raise(std::size_t lo, std::size_t hi, int height) {
    if (lo < hi) raise(1, 0, slots_, lo, hi, height);
  }

 private:
  // max_: the highest height in a node's slots; floor_: a height all of them have at least
  // (raised as a whole), which also holds for any part of them. Both walks reach only nodes
  // that share slots with the range.
  int highest(std::size_t node, std::size_t l, std::size_t r, std::size_t lo,
              std::size_t hi) const {
    if (hi <= l || r <= lo) return -1;
    if (lo <= l && r <= hi) return max_[node];
    const std::size_t m = (l + r) / 2;
    return std::max(
        {floor_[node], highest(2 * node, l, m, lo, hi), highest(2 * node + 1, m, r, lo, hi)});
  }
  void raise(std::size_t node, std::size_t l, std::size_t r, std::size_t lo, std::size_t hi,
             int height) {
    if (hi <= l || r <= lo) return;
    max_[node] = std::max(max_[node], height);
    if (lo <= l && r <= hi) {
      floor_[node] = std::max(floor_[node], height);
      return;
    }
    const std::size_t m = (l + r) / 2;
    raise(2 * node, l, m, lo, hi, height);
    raise(2 * node + 1, m, r, lo, hi, height);
  }

  std::size_t slots_;
  std::vector<int> max_;
  std::vector<int> floor_;
};

}  // namespace orvane::routing
