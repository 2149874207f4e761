#include "free_space.hpp"

#include "settings.hpp"

namespace orvane::routing {
namespace {

// Routes that keep off names keep this far off them.
constexpr double NAME_CLEARANCE = 3;

}  // namespace

FreeSpace::FreeSpace(const Problem& problem) : shapes_(64), strips_(256), names_(64) {
  std::vector<Box> boxes;
  for (const Node& n : problem.nodes) boxes.push_back(n.box);
  shapes_.add_all(boxes);
  strips_.add_all(problem.strips);
  boxes.clear();
  for (std::size_t i = 0; i < problem.nodes.size(); ++i) {
    if (!problem.nodes[i].name) continue;
    boxes.push_back(*problem.nodes[i].name);
    name_node_.push_back(static_cast<int>(i));
  }
  for (const Box& c : problem.captions) {
    boxes.push_back(c);
    name_node_.push_back(-1);
  }
  names_.add_all(boxes);
  for (const Border& b : problem.borders) {
    (b.horizontal ? horizontal_borders_ : vertical_borders_).push_back(b);
  }
  for (auto* list : {&vertical_borders_, &horizontal_borders_}) {
    std::sort(list->begin(), list->end(), [](const Border& a, const Border& b) {
      return a.at < b.at || (a.at == b.at && a.along.lo < b.along.lo);
    });
  }
}

bool FreeSpace::blocked(const Point& p) const {
  // p is inside a box grown by CLEARANCE exactly when the box meets the square of that
  // half-size around p.
  const Box around{p.x - CLEARANCE, p.y - CLEARANCE, 2 * CLEARANCE, 2 * CLEARANCE};
  return shapes_.hits(around) || strips_.hits(around);
}

bool FreeSpace::clear(const Point& a, const Point& b, double clearance, int a_node,
                      int b_node) const {
  const Box region = segment_box(a, b, clearance);
  const bool shape_in_way =
      shapes_.find(region, [&](int id) { return id != a_node && id != b_node; });
  return !shape_in_way && !strips_.hits(region);
}

std::pair<Interval, Interval> FreeSpace::rooms(bool vertical, double at, Interval along,
                                               const Box& area, bool names, double reach,
                                               double clearance, double tight_clearance) const {
  Interval start{at - reach, at + reach};
  if (vertical) {
    start = intersect(start, {area.x, area.right()});
  } else {
    start = intersect(start, {area.y, area.bottom()});
  }
  Interval room = start, tight = start;
  auto limit = [&](const Box& raw, double clearance, Interval& room) {
    const Box b = inflate(raw, clearance);
    const double lo = vertical ? b.x : b.y;
    const double hi = vertical ? b.right() : b.bottom();
    if (hi <= at) {
      room.lo = std::max(room.lo, hi);
    } else if (lo >= at) {
      room.hi = std::min(room.hi, lo);
    } else {
      // Already within the clearance of this box: it may not come any closer.
      const double raw_lo = vertical ? raw.x : raw.y;
      if (raw_lo >= at) {
        room.hi = std::min(room.hi, at);
      } else {
        room.lo = std::max(room.lo, at);
      }
    }
    return false;
  };
  // The band the segment can sweep, across its whole extent (open at its ends, so that the
  // shapes it starts or ends beside do not count), grown by the larger clearance: a box beyond
  // it lies further than `reach` off even with the smaller one, so it limits neither room.
  const double widest = std::max(clearance, tight_clearance);
  const Box grown = vertical
                        ? Box{at - reach - widest, along.lo, 2 * (reach + widest), along.length()}
                        : Box{along.lo, at - reach - widest, along.length(), 2 * (reach + widest)};
  auto limit_both = [&](const Box& raw) {
    limit(raw, clearance, room);
    limit(raw, tight_clearance, tight);
    return false;
  };
  shapes_.find(grown, [&](int id) { return limit_both(shapes_.box(id)); });
  strips_.find(grown, [&](int id) { return limit_both(strips_.box(id)); });
  if (names) {
    // Names are kept off only by a segment that is clear of them now.
    const Interval hard = room;
    bool through = false;
    names_.find(grown, [&](int id) {
      const Box& n = names_.box(id);
      const double lo = vertical ? n.x : n.y;
      const double hi = vertical ? n.right() : n.bottom();
      if (at > lo - NAME_CLEARANCE && at < hi + NAME_CLEARANCE) {
        through = true;
        return true;
      }
      return limit(n, NAME_CLEARANCE, room);
    });
    if (through) room = hard;
  }
  limit_by_borders(vertical, at, along, std::min(clearance, BORDER_KEEP_OFF), room);
  limit_by_borders(vertical, at, along, std::min(tight_clearance, BORDER_KEEP_OFF), tight);
  if (room.empty()) room = {at, at};
  if (tight.empty()) tight = {at, at};
  return {room, tight};
}

void FreeSpace::limit_by_borders(bool vertical, double at, Interval along, double keep_off,
                                 Interval& room) const {
  const auto& borders = vertical ? vertical_borders_ : horizontal_borders_;
  auto it = std::lower_bound(borders.begin(), borders.end(), room.lo - keep_off,
                             [](const Border& b, double v) { return b.at < v; });
  for (; it != borders.end() && it->at <= room.hi + keep_off; ++it) {
    if (overlap_length(it->along.lo, it->along.hi, along.lo, along.hi) <= 0) continue;
    if (it->at < at) {
      room.lo = std::max(room.lo, std::min(at, it->at + keep_off));
    } else if (it->at > at) {
      room.hi = std::min(room.hi, std::max(at, it->at - keep_off));
    }
  }
}

double FreeSpace::in_names(const Point& a, const Point& b, int a_node, int b_node) const {
  double inside_length = 0;
  names_.find(span(a.x, a.y, b.x, b.y), [&](int id) {
    const int node = name_node_[static_cast<std::size_t>(id)];
    if (node >= 0 && (node == a_node || node == b_node)) return false;
    const Box& n = names_.box(id);
    inside_length += a.x == b.x ? std::max(0.0, overlap_length(a.y, b.y, n.y, n.bottom()))
                                : std::max(0.0, overlap_length(a.x, b.x, n.x, n.right()));
    return false;
  });
  return inside_length;
}

}  // namespace orvane::routing

namespace orvane::routing {

bool FreeSpace::in_name(const Point& p, int a_node, int b_node) const {
  return names_.find({p.x, p.y, 0, 0}, [&](int id) {
    const int node = name_node_[static_cast<std::size_t>(id)];
    return node < 0 || (node != a_node && node != b_node);
  });
}

}  // namespace orvane::routing
