#include "free_space.hpp"

#include "settings.hpp"

namespace orvane::routing {
namespace {

// Routes that keep off names keep this far off them.
constexpr double NAME_CLEARANCE = 3;

}  // namespace

namespace {

// How long the axis-parallel segment a-b runs inside `box` (which it is known to meet).
double run_inside(const Point& a, const Point& b, const Box& box) {
  return a.x == b.x ? std::max(0.0, overlap_length(a.y, b.y, box.y, box.bottom()))
                    : std::max(0.0, overlap_length(a.x, b.x, box.x, box.right()));
}

}  // namespace

FreeSpace::FreeSpace(const Problem& problem) : shapes_(64), strips_(256), names_(64) {
  std::vector<Box> boxes;
  for (const Node& n : problem.nodes) boxes.push_back(n.box);
  shapes_.add_all(boxes);
  strips_.add_all(problem.strips);
  is_note_.assign(problem.strips.size(), 0);
  for (const int k : problem.note_strips) is_note_[static_cast<std::size_t>(k)] = 1;
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
  std::vector<Border> vertical, horizontal;
  for (const Border& b : problem.borders) (b.horizontal ? horizontal : vertical).push_back(b);
  vertical_borders_.build(std::move(vertical));
  horizontal_borders_.build(std::move(horizontal));
}

void FreeSpace::BorderLines::build(std::vector<Border> borders) {
  for (Border& b : borders)
    b.along = {std::min(b.along.lo, b.along.hi), std::max(b.along.lo, b.along.hi)};
  std::sort(borders.begin(), borders.end(), [](const Border& a, const Border& b) {
    return a.at < b.at || (a.at == b.at && a.along.lo < b.along.lo);
  });
  for (const Border& b : borders) {
    if (at_.empty() || at_.back() != b.at) {
      at_.push_back(b.at);
      first_.push_back(begins_.size());
      furthest_end_.push_back(b.along.hi);
    } else {
      furthest_end_.push_back(std::max(furthest_end_.back(), b.along.hi));
    }
    begins_.push_back(b.along.lo);
  }
  first_.push_back(begins_.size());
}

bool FreeSpace::BorderLines::meets(std::size_t line, double lo, double hi) const {
  // The pieces that begin before the stretch ends; one of them reaches into it when the
  // furthest end among them lies beyond its start.
  const auto begin = begins_.begin() + static_cast<std::ptrdiff_t>(first_[line]);
  const auto end = begins_.begin() + static_cast<std::ptrdiff_t>(first_[line + 1]);
  const auto past = std::lower_bound(begin, end, hi);
  if (past == begin) return false;
  return furthest_end_[static_cast<std::size_t>(past - begins_.begin()) - 1] > lo;
}

void FreeSpace::BorderLines::limit(double at, Interval along, double keep_off,
                                   Interval& room) const {
  const double lo = std::min(along.lo, along.hi);
  const double hi = std::max(along.lo, along.hi);
  const auto above = std::upper_bound(at_.begin(), at_.end(), at);
  auto below = std::lower_bound(at_.begin(), at_.end(), at);
  // Lines on the lower side, nearest first: the nearest one met sets the bound.
  while (below != at_.begin()) {
    --below;
    if (*below < room.lo - keep_off) break;
    if (meets(static_cast<std::size_t>(below - at_.begin()), lo, hi)) {
      room.lo = std::max(room.lo, std::min(at, *below + keep_off));
      break;
    }
  }
  for (auto line = above; line != at_.end() && *line <= room.hi + keep_off; ++line) {
    if (meets(static_cast<std::size_t>(line - at_.begin()), lo, hi)) {
      room.hi = std::min(room.hi, std::max(at, *line - keep_off));
      break;
    }
  }
}

bool FreeSpace::blocked(const Point& p) const {
  // p is inside a box grown by CLEARANCE exactly when the box meets the square of that
  // half-size around p.
  const Box around{p.x - CLEARANCE, p.y - CLEARANCE, 2 * CLEARANCE, 2 * CLEARANCE};
  return shapes_.hits(around) || strips_.hits(around);
}

bool FreeSpace::clear(const Point& a, const Point& b, double clearance, int a_node, int b_node,
                      bool through_notes) const {
  const Box region = segment_box(a, b, clearance);
  const bool shape_in_way =
      shapes_.find(region, [&](int id) { return id != a_node && id != b_node; });
  return !shape_in_way && !strips_.find(region, [&](int id) {
    return !through_notes || is_note_[static_cast<std::size_t>(id)] == 0;
  });
}

double FreeSpace::in_notes(const Point& a, const Point& b) const {
  double inside_length = 0;
  strips_.find(span(a.x, a.y, b.x, b.y), [&](int id) {
    if (is_note_[static_cast<std::size_t>(id)] != 0)
      inside_length += run_inside(a, b, strips_.box(id));
    return false;
  });
  return inside_length;
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
  const BorderLines& borders = vertical ? vertical_borders_ : horizontal_borders_;
  borders.limit(at, along, std::min(clearance, BORDER_KEEP_OFF), room);
  borders.limit(at, along,
                std::min(std::max(tight_clearance, TIGHT_BORDER_KEEP_OFF), BORDER_KEEP_OFF), tight);
  if (room.empty()) room = {at, at};
  if (tight.empty()) tight = {at, at};
  return {room, tight};
}

double FreeSpace::in_names(const Point& a, const Point& b, int a_node, int b_node) const {
  double inside_length = 0;
  names_.find(span(a.x, a.y, b.x, b.y), [&](int id) {
    const int node = name_node_[static_cast<std::size_t>(id)];
    if (node >= 0 && (node == a_node || node == b_node)) return false;
    inside_length += run_inside(a, b, names_.box(id));
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
