#include "crossings.hpp"

#include <algorithm>
#include <map>
#include <tuple>

namespace orvane::routing {

std::vector<int> crossings_per_link(const std::vector<DrawnRoute>& routes, std::size_t links) {
  // A horizontal segment is in the sweep from its left end to its right end; a vertical one is
  // looked at where it stands. At one x, segments ending there leave before the vertical ones
  // are looked at and segments starting there join after: a crossing lies inside both.
  struct Event {
    double x = 0;
    int kind = 0;  // 0: a horizontal segment ends, 1: a vertical one, 2: a horizontal one starts
    double y0 = 0;
    double y1 = 0;  // for a vertical segment its extent; for a horizontal one y0 == y1
    int link = -1;
    std::size_t index = 0;  // the horizontal segment's number
  };
  std::vector<Event> events;
  std::size_t horizontals = 0;
  for (const DrawnRoute& route : routes) {
    const auto& p = route.points;
    for (std::size_t k = 0; k + 1 < p.size(); ++k) {
      const Point& a = p[k];
      const Point& b = p[k + 1];
      if (a.y == b.y && a.x != b.x) {
        const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
        events.push_back({x0, 2, a.y, a.y, route.link, horizontals});
        events.push_back({x1, 0, a.y, a.y, route.link, horizontals});
        ++horizontals;
      } else if (a.x == b.x && a.y != b.y) {
        events.push_back({a.x, 1, std::min(a.y, b.y), std::max(a.y, b.y), route.link, 0});
      }
    }
  }
  std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return std::tie(a.x, a.kind, a.y0, a.y1, a.link, a.index) <
           std::tie(b.x, b.kind, b.y0, b.y1, b.link, b.index);
  });
  std::vector<int> count(links, 0);
  std::multimap<double, int> active;  // y -> link
  std::vector<std::multimap<double, int>::iterator> where(horizontals);
  for (const Event& e : events) {
    if (e.kind == 2) {
      where[e.index] = active.emplace(e.y0, e.link);
    } else if (e.kind == 0) {
      active.erase(where[e.index]);
    } else {
      for (auto it = active.upper_bound(e.y0); it != active.end() && it->first < e.y1; ++it) {
        if (it->second == e.link) continue;
        ++count[static_cast<std::size_t>(e.link)];
        ++count[static_cast<std::size_t>(it->second)];
      }
    }
  }
  return count;
}

}  // namespace orvane::routing
