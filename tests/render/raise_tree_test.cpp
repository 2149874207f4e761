#include "render/routing/raise_tree.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace orvane::routing {
namespace {

// Random raises and queries against a plain array of heights, including ranges of one slot,
// the whole row, and empty ranges.
TEST(RaiseTree, AnswersAsAPlainRowOfHeights) {
  std::mt19937 rng(11);
  for (const std::size_t slots : {1u, 2u, 7u, 64u, 1000u}) {
    RaiseTree tree(slots);
    std::vector<int> plain(slots, -1);
    auto pick = [&](std::size_t hi) {
      return std::uniform_int_distribution<std::size_t>(0, hi)(rng);
    };
    for (int step = 0; step < 3000; ++step) {
      std::size_t lo = pick(slots), hi = pick(slots);
      if (lo > hi) std::swap(lo, hi);
      const int expected = lo == hi ? -1
                                    : *std::max_element(plain.begin() + static_cast<long>(lo),
                                                        plain.begin() + static_cast<long>(hi));
      ASSERT_EQ(tree.highest(lo, hi), expected) << slots << " slots, [" << lo << ", " << hi << ")";
      // Stacking: the new height is one above the highest in the range.
      if (lo < hi && pick(1) == 0) {
        tree.raise(lo, hi, expected + 1);
        std::fill(plain.begin() + static_cast<long>(lo), plain.begin() + static_cast<long>(hi),
                  expected + 1);
      }
    }
  }
}

}  // namespace
}  // namespace orvane::routing
