#include "render/routing/box_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace orvane::routing {
namespace {

// Boxes of every kind the index keeps apart: small ones in the grid, long flat and tall
// narrow ones in bands (the longest in pieces), large ones looked at on every query, and
// unusable ones.
std::vector<Box> random_boxes(std::mt19937& rng, std::size_t count) {
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng); };
  std::vector<Box> boxes;
  for (std::size_t k = 0; k < count; ++k) {
    const double x = std::round(real(-2000, 20000)), y = std::round(real(-500, 3000));
    switch (k % 7) {
      case 0:
        // A horizontal line, at times long enough to be listed in pieces.
        boxes.push_back({x, y, std::round(real(1, k % 2 == 0 ? 6000 : 60000)), 1});
        break;
      case 1:
        boxes.push_back({x, y, 1, std::round(real(1, k % 2 == 0 ? 3000 : 40000))});
        break;
      case 2:
        boxes.push_back({x, y, real(2000, 9000), real(2000, 9000)});
        break;
      case 3:
        boxes.push_back({x, y, 0, real(0, 10)});  // no width: unusable
        break;
      default:
        boxes.push_back({x, y, real(1, 120), real(1, 80)});
    }
  }
  return boxes;
}

std::vector<int> found(const BoxIndex& index, const Box& region) {
  std::vector<int> ids;
  index.find(region, [&](int id) {
    ids.push_back(id);
    return false;
  });
  return ids;
}

// An index filled all at once (partly, between single additions) reports the same boxes in the
// same order as one filled box by box, and those are exactly the boxes meeting the region.
TEST(BoxIndex, AddingAllAtOnceAnswersAsAddingOneByOne) {
  std::mt19937 rng(5);
  const std::vector<Box> boxes = random_boxes(rng, 3000);
  BoxIndex one_by_one, at_once;
  for (const Box& b : boxes) one_by_one.add(b);
  // In three batches with single boxes between: batches land in bands that already hold boxes.
  const std::vector<Box> first(boxes.begin(), boxes.begin() + 1000);
  const std::vector<Box> third(boxes.begin() + 1010, boxes.end());
  at_once.add_all(first);
  for (std::size_t k = 1000; k < 1010; ++k) at_once.add(boxes[k]);
  at_once.add_all(third);
  ASSERT_EQ(at_once.size(), boxes.size());

  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng); };
  for (int q = 0; q < 400; ++q) {
    const double x = real(-2500, 21000), y = real(-800, 3500);
    // Points, segments, small regions and regions long one way or both.
    const std::vector<Box> regions = {{x, y, 0, 0},
                                      {x, y, real(0, 70000), 0},
                                      {x, y, 0, real(0, 4000)},
                                      {x, y, real(1, 300), real(1, 300)},
                                      {x, y, real(1, 25000), real(1, 600)},
                                      {x, y, real(1, 25000), real(1, 4000)}};
    for (const Box& region : regions) {
      const std::vector<int> expected = found(one_by_one, region);
      ASSERT_EQ(found(at_once, region), expected);
      std::vector<int> plain;
      for (std::size_t id = 0; id < boxes.size(); ++id) {
        if (usable(boxes[id]) && overlaps(boxes[id], region)) plain.push_back(static_cast<int>(id));
      }
      std::vector<int> sorted = expected;
      std::sort(sorted.begin(), sorted.end());
      ASSERT_EQ(sorted, plain) << "region " << region.x << "," << region.y << " " << region.width
                               << "x" << region.height;
    }
  }
}

}  // namespace
}  // namespace orvane::routing
