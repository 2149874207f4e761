#include "twin_tracks.hpp"

#include <algorithm>
#include <cstddef>
#include <map>
#include <tuple>

#include "orvane/shape.hpp"

namespace orvane::routing {
namespace {

// A straight route: two points on one vertical or horizontal line.
bool straight(const DrawnRoute& r) {
  return r.points.size() == 2 &&
         (r.points[0].x == r.points[1].x || r.points[0].y == r.points[1].y) &&
         !(r.points[0].x == r.points[1].x && r.points[0].y == r.points[1].y);
}

bool labelled(const Problem& problem, const DrawnRoute& r) {
  return !problem.links[static_cast<std::size_t>(r.link)].connection->label.empty();
}

}  // namespace

void give_labels_outer_tracks(const Problem& problem, std::vector<DrawnRoute>& routes) {
  // Straight routes gathered by their two shapes and the sides they meet, lower shape first.
  using Key = std::tuple<int, int, int, int>;
  std::map<Key, std::vector<std::size_t>> sets;
  for (std::size_t i = 0; i < routes.size(); ++i) {
    const DrawnRoute& r = routes[i];
    if (!straight(r)) continue;
    const Link& link = problem.links[static_cast<std::size_t>(r.link)];
    if (link.source == link.target) continue;
    const bool forward = link.source < link.target;
    const Key key = forward ? Key{link.source, link.target, static_cast<int>(r.source_side),
                                  static_cast<int>(r.target_side)}
                            : Key{link.target, link.source, static_cast<int>(r.target_side),
                                  static_cast<int>(r.source_side)};
    sets[key].push_back(i);
  }
  for (auto& [key, members] : sets) {
    const std::size_t k = members.size();
    if (k < 3) continue;  // two lines are both outer ones
    const bool vertical = routes[members[0]].points[0].x == routes[members[0]].points[1].x;
    auto across = [&](std::size_t i) {
      return vertical ? routes[i].points[0].x : routes[i].points[0].y;
    };
    std::sort(members.begin(), members.end(),
              [&](std::size_t a, std::size_t b) { return across(a) < across(b); });
    bool distinct = true;
    for (std::size_t s = 1; s < k; ++s)
      distinct = distinct && across(members[s - 1]) < across(members[s]);
    if (!distinct) continue;  // routes on one line are a trunk, not twins

    std::vector<std::size_t> marked;
    std::vector<std::size_t> plain;
    std::size_t left = 0;
    std::size_t right = 0;
    for (std::size_t s = 0; s < k; ++s) {
      if (labelled(problem, routes[members[s]])) {
        marked.push_back(members[s]);
        if (2 * s + 1 < k) ++left;
        if (2 * s + 1 > k) ++right;
      } else {
        plain.push_back(members[s]);
      }
    }
    if (marked.empty() || plain.empty()) continue;
    // The labelled take the outer lines, as many on each side as balance allows (an odd one
    // on the side where more of them lie now, on the far side when even).
    const std::size_t on_left = (marked.size() + (left > right ? 1 : 0)) / 2;
    std::vector<std::size_t> owner;  // owner[s]: the route that takes line s
    owner.insert(owner.end(), marked.begin(),
                 marked.begin() + static_cast<std::ptrdiff_t>(on_left));
    owner.insert(owner.end(), plain.begin(), plain.end());
    owner.insert(owner.end(), marked.begin() + static_cast<std::ptrdiff_t>(on_left), marked.end());

    std::vector<DrawnRoute> lines;
    lines.reserve(k);
    for (const std::size_t m : members) lines.push_back(routes[m]);
    for (std::size_t s = 0; s < k; ++s) {
      DrawnRoute& r = routes[owner[s]];
      const DrawnRoute& line = lines[s];
      const Link& mine = problem.links[static_cast<std::size_t>(r.link)];
      const Link& theirs = problem.links[static_cast<std::size_t>(line.link)];
      if (mine.source == theirs.source) {
        r.points = line.points;
      } else {
        r.points = {line.points[1], line.points[0]};
      }
    }
  }
}

}  // namespace orvane::routing
