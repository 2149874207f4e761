#include "crowding.hpp"

#include <algorithm>

namespace orvane::routing {

void Crowding::add(const Crowded& stretch) {
  // The search's lines lie on whole or half pixels; the stretch's line is one of them.
  const int line = stretch.vertical ? graph_.column_at(stretch.line) : graph_.row_at(stretch.line);
  if (line < 0) return;
  const auto [first, last] = stretch.vertical
                                 ? graph_.rows_within(stretch.along.lo, stretch.along.hi)
                                 : graph_.columns_within(stretch.along.lo, stretch.along.hi);
  if (first > last) return;
  auto& runs = (stretch.vertical ? columns_ : rows_)[static_cast<std::size_t>(line)];
  // The runs that overlap or touch the new one merge with it.
  auto lo = std::lower_bound(runs.begin(), runs.end(), first - 1,
                             [](const Run& r, int at) { return r.last < at; });
  auto hi = lo;
  Run merged{first, last};
  for (; hi != runs.end() && hi->first <= last + 1; ++hi) {
    merged.first = std::min(merged.first, hi->first);
    merged.last = std::max(merged.last, hi->last);
  }
  runs.insert(runs.erase(lo, hi), merged);
  empty_ = false;
}

double Crowding::crowded_length(bool vertical, int line, int first, int last) const {
  if (empty_) return 0;
  const auto& runs = (vertical ? columns_ : rows_)[static_cast<std::size_t>(line)];
  const auto at = [&](int k) { return vertical ? graph_.y(k) : graph_.x(k); };
  double length = 0;
  for (auto it = std::lower_bound(runs.begin(), runs.end(), first,
                                  [](const Run&r, int k) { return r.last < k; });
       it != runs.end() && it->first <= last; ++it) {
    const int lo = std::max(it->first, first), hi = std::min(it->last, last);
    if (hi > lo) length += at(hi) - at(lo);
  }
  return length;
}

bool Crowding::covered(const std::vector<Run>& runs, int first, int last) {
  const auto it = std::lower_bound(runs.begin(), runs.end(), first,
                                   [](const Run& r, int at) { return r.last < at; });
  return it != runs.end() && it->first <= first && last <= it->last;
}

}  // namespace orvane::routing
