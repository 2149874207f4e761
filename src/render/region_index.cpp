#include "region_index.hpp"

#include <algorithm>
#include <cmath>

namespace orvane {
namespace {

// A step covering more cells than this goes to the list every query checks.
constexpr long long MAX_CELLS_PER_STEP = 64;
// The grid never has more cells than this; larger drawings get larger cells.
constexpr long long MAX_CELLS = 1 << 22;

bool finite(const Region& r) {
  return std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) &&
         std::isfinite(r.bottom);
}

}  // namespace

bool meets(const Region& a, const Region& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

RegionIndex::RegionIndex(const std::vector<Region>& steps) : steps_(steps) {
  double left = HUGE_VAL;
  double top = HUGE_VAL;
  double right = -HUGE_VAL;
  double bottom = -HUGE_VAL;
  for (const Region& r : steps) {
    if (!finite(r)) continue;
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.right);
    bottom = std::max(bottom, r.bottom);
  }
  if (left <= right) {
    origin_x_ = left;
    origin_y_ = top;
    auto count = [&](double extent) { return static_cast<long long>(extent / cell_) + 1; };
    while (count(right - left) * count(bottom - top) > MAX_CELLS) cell_ *= 2;
    columns_ = count(right - left);
    rows_ = count(bottom - top);
    buckets_.resize(static_cast<std::size_t>(columns_ * rows_));
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Region& r = steps[i];
    if (!finite(r) || buckets_.empty()) {
      wide_.push_back(i);
      continue;
    }
    const Cells c = cells_of(r);
    if ((c.right - c.left + 1) * (c.bottom - c.top + 1) > MAX_CELLS_PER_STEP) {
      wide_.push_back(i);
      continue;
    }
    for (long long y = c.top; y <= c.bottom; ++y) {
      for (long long x = c.left; x <= c.right; ++x) {
        buckets_[static_cast<std::size_t>(y * columns_ + x)].push_back(i);
      }
    }
  }
}

RegionIndex::Cells RegionIndex::cells_of(const Region& r) const {
  auto cell = [&](double v, double origin, long long count) {
    const double c = std::floor((v - origin) / cell_);
    return static_cast<long long>(std::clamp(c, 0.0, static_cast<double>(count - 1)));
  };
  return {cell(r.left, origin_x_, columns_), cell(r.top, origin_y_, rows_),
          cell(r.right, origin_x_, columns_), cell(r.bottom, origin_y_, rows_)};
}

std::vector<std::size_t> RegionIndex::query(const Region& region) const {
  std::vector<std::size_t> out;
  for (std::size_t i : wide_) {
    if (meets(steps_[i], region)) out.push_back(i);
  }
  if (!buckets_.empty()) {
    const Cells c = cells_of(region);
    for (long long y = c.top; y <= c.bottom; ++y) {
      for (long long x = c.left; x <= c.right; ++x) {
        for (std::size_t i : buckets_[static_cast<std::size_t>(y * columns_ + x)]) {
          if (meets(steps_[i], region)) out.push_back(i);
        }
      }
    }
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace orvane
