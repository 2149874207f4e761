// Collects the routing problem from the element model.
#include "problem.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "box_index.hpp"
#include "orvane/artifact.hpp"
#include "orvane/attached_geometry.hpp"
#include "orvane/constants.hpp"
#include "orvane/helper.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"
#include "settings.hpp"

namespace orvane::routing {

bool Node::passed_clear_of(Side side, double x, double spacing) const {
  const auto& at = passed_at[static_cast<std::size_t>(side)];
  return taken[static_cast<std::size_t>(side)] && !at.empty() &&
         std::all_of(at.begin(), at.end(), [&](double m) { return std::fabs(m - x) > spacing; });
}

namespace {

Outline outline_of(const Shape& shape) {
  switch (shape.kind()) {
    case ShapeKind::EVENT:
      return Outline::ELLIPSE;
    case ShapeKind::GATEWAY:
      return Outline::DIAMOND;
    default:
      return Outline::RECTANGLE;
  }
}

bool name_outside(const Shape& shape) {
  return shape.kind() == ShapeKind::EVENT || shape.kind() == ShapeKind::GATEWAY ||
         shape.kind() == ShapeKind::DATA;
}

// A vertical line a message to or from a black-box pool runs along, between two heights, and
// whether it leaves its shape upwards (from y1 towards y0) or downwards (from y0 towards y1).
// The line may move along the shape's side, from `x_lo` to `x_hi`, to find a way clear to the
// band (see black_box_straight_xs).
struct Passing {
  double x = 0;
  double x_lo = 0;
  double x_hi = 0;
  double y0 = 0;
  double y1 = 0;
  bool up = false;
  int node = -1;
};

// How far from its side's middle a message must have moved for the middle to stay free.
constexpr double MIDDLE_LEFT_FREE = 24;

// What the messages to and from black-box pools take before the routes are laid. A message runs
// straight from its shape towards the band, where it can along its shape's side, else until a
// shape stands in its way, then turns round it (see route_black_box_messages): the side of that
// first shape facing the message is the message's, and names and labels keep off the straight
// run up to there.
void take_passed_sides(Problem& problem, const std::vector<Passing>& lines) {
  if (lines.empty()) return;
  // The shapes, and apart from them the names beside them, in spatial indexes (numbered as the
  // nodes; a node without a name outside has its box in the names' index too).
  BoxIndex shapes, names;
  for (const Node& node : problem.nodes) {
    shapes.add(node.box);
    names.add(node.name.value_or(node.box));
  }
  // The shape in the way of a vertical line at x nearest the message's own shape, if any;
  // `blocked` tells whether anything (a shape or a name) stands in the way at all.
  auto first_in_way = [&](const Passing& line, double x, bool& blocked) {
    Node* first = nullptr;
    const double c = BLACK_BOX_CLEARANCE;
    const Box along{x - c, line.y0, 2 * c, line.y1 - line.y0};
    auto in_way = [&](const Box& b) {
      return b.x - c < x && x < b.right() + c && b.y < line.y1 && line.y0 < b.bottom();
    };
    shapes.find(along, [&](int id) {
      Node& node = problem.nodes[static_cast<std::size_t>(id)];
      if (id == line.node || !in_way(node.box)) return false;
      if (first == nullptr ||
          (line.up ? node.box.bottom() > first->box.bottom() : node.box.y < first->box.y)) {
        first = &node;
      }
      return false;
    });
    blocked = first != nullptr ||
              names.find(along, [&](int id) { return id != line.node && in_way(names.box(id)); });
    return first;
  };
  // A shape's own side stays taken unless each of its messages moved well away from a shape
  // standing in the way of the side's middle, which is then free for a flow (shapes do not
  // move, so the messages keep off the middle when they are drawn). Sides taken by passing
  // messages stay taken.
  const std::size_t n_nodes = problem.nodes.size();
  std::vector<std::array<char, 4>> moved_off(n_nodes, {0, 0, 0, 0});
  std::vector<std::array<char, 4>> kept(n_nodes, {0, 0, 0, 0});
  // A place no closer than BLACK_BOX_RUN_SPACING beside a message run already foreseen: the
  // messages are drawn in this order, and one does not move onto another's line. The runs so
  // far by their x, so that a look costs only the runs near it.
  std::multimap<double, Interval> runs_by_x;
  auto crowded = [&](const Passing& line, double x) {
    const double lo = std::min(line.y0, line.y1), hi = std::max(line.y0, line.y1);
    const auto last = runs_by_x.upper_bound(x + BLACK_BOX_RUN_SPACING);
    for (auto it = runs_by_x.upper_bound(x - BLACK_BOX_RUN_SPACING); it != last; ++it) {
      if (std::fabs(it->first - x) < BLACK_BOX_RUN_SPACING && it->second.lo < hi &&
          lo < it->second.hi) {
        return true;
      }
    }
    return false;
  };
  for (const Passing& line : lines) {
    bool blocked = false;
    double x = line.x;
    Node* first = first_in_way(line, x, blocked);
    const bool shape_at_middle = first != nullptr;
    if (blocked) {
      // A place along the side clear of shapes and names; else, rather than turning round a
      // shape, the first place clear of shapes (the names move off the message).
      std::optional<double> clear, clear_of_shapes;
      for (const double moved : black_box_straight_xs(line.x, line.x_lo, line.x_hi)) {
        if (crowded(line, moved)) continue;
        bool moved_blocked = false;
        const bool no_shape = first_in_way(line, moved, moved_blocked) == nullptr;
        if (!moved_blocked) {
          clear = moved;
          break;
        }
        if (no_shape && !clear_of_shapes) clear_of_shapes = moved;
      }
      if (clear || (first != nullptr && clear_of_shapes)) {
        x = clear ? *clear : *clear_of_shapes;
        first = nullptr;
      }
    }
    double y0 = line.y0, y1 = line.y1;
    if (first != nullptr) {
      const auto passed = static_cast<std::size_t>(line.up ? Side::BOTTOM : Side::TOP);
      first->taken[passed] = true;
      first->passed_at[passed].push_back(x);
      kept[static_cast<std::size_t>(first - problem.nodes.data())][passed] = 1;
      (line.up ? y0 : y1) = line.up ? first->box.bottom() : first->box.y;
    }
    const auto own = static_cast<std::size_t>(line.up ? Side::TOP : Side::BOTTOM);
    auto& mark = shape_at_middle && std::fabs(x - line.x) >= MIDDLE_LEFT_FREE
                     ? moved_off[static_cast<std::size_t>(line.node)]
                     : kept[static_cast<std::size_t>(line.node)];
    mark[own] = 1;
    problem.message_runs.push_back({{x, y0}, {x, y1}});
    runs_by_x.insert({x, {std::min(y0, y1), std::max(y0, y1)}});
  }
  for (std::size_t n = 0; n < n_nodes; ++n) {
    for (std::size_t side = 0; side < 4; ++side) {
      if (moved_off[n][side] != 0 && kept[n][side] == 0) problem.nodes[n].taken[side] = false;
    }
  }
}

Box band_box(const Coordinate& at, int width, int height) {
  return {static_cast<double>(at.x_pos), static_cast<double>(at.y_pos), static_cast<double>(width),
          static_cast<double>(height)};
}

void add_band(Problem& problem, const Box& band, double strip_width, bool pool) {
  problem.strips.push_back({band.x, band.y, std::min(strip_width, band.width), band.height});
  const Interval across_x{band.x, band.right()};
  const Interval across_y{band.y, band.bottom()};
  problem.borders.push_back({true, band.y, across_x});
  problem.borders.push_back({true, band.bottom(), across_x});
  problem.borders.push_back({false, band.right(), across_y});
  problem.borders.push_back({false, band.x + std::min(strip_width, band.width), across_y});
  if (pool) problem.borders.push_back({false, band.x, across_y});
}

std::optional<Side> asked_side(const Shape& from, const Shape& to, const std::string& side,
                               const char* which) {
  if (side.empty()) return std::nullopt;
  if (auto s = side_from_name(side)) return s;
  throw std::invalid_argument("connection " + Helper::quoted(from.name) + " -> " +
                              Helper::quoted(to.name) + ": " + which + " " + Helper::quoted(side) +
                              " is not a side; use \"left\", \"right\", \"top\" or \"bottom\"");
}

}  // namespace

Problem build_problem(const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter) {
  Problem problem;
  std::unordered_map<const Shape*, int> node_of;
  std::unordered_set<const Shape*> seen;
  std::vector<Shape*> sources;  // every listed shape once, in lane order
  double left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  auto grow = [&](const Box& b) {
    if (!usable(b)) return;
    left = any ? std::min(left, b.x) : b.x;
    top = any ? std::min(top, b.y) : b.y;
    right = any ? std::max(right, b.right()) : b.right();
    bottom = any ? std::max(bottom, b.bottom()) : b.bottom();
    any = true;
  };

  for (const auto& pool : pools) {
    const int pool_index = static_cast<int>(problem.pools.size());
    problem.pools.push_back(pool ? band_box(pool->coord, pool->width, pool->height) : Box{});
    if (!pool) continue;
    if (usable(problem.pools.back())) {
      add_band(problem, problem.pools.back(), Configs::POOL_TEXT_WIDTH, true);
      grow(problem.pools.back());
    }
    for (const auto& lane : pool->lanes) {
      if (!lane) continue;
      const Box band = band_box(lane->coord, lane->width, lane->height);
      if (usable(band)) add_band(problem, band, Configs::LANE_TEXT_WIDTH, false);
      // Boundary events lead on like the shapes of the lane; groups and annotations are no part
      // of any route (an annotation's association is drawn straight when it is placed).
      std::vector<Shape*> members = lane->shapes;
      for (Shape* shape : lane->attached) {
        if (shape == nullptr) continue;
        if (shape->kind() == ShapeKind::EVENT) members.push_back(shape);
        // An annotation stands where routes and labels must not go.
        if (shape->kind() == ShapeKind::ANNOTATION && usable(shape->box)) {
          problem.note_strips.push_back(static_cast<int>(problem.strips.size()));
          problem.strips.push_back(shape->box);
        }
        if (shape->kind() == ShapeKind::GROUP && !shape->name.empty() && usable(shape->label_box)) {
          const Box ink =
              painter.text_bounds(shape->name, shape->label_box, shape->name_style(painter));
          if (usable(ink)) problem.captions.push_back(ink);
        }
      }
      for (Shape* shape : members) {
        if (shape == nullptr || !seen.insert(shape).second) continue;
        sources.push_back(shape);
        if (!usable(shape->box)) continue;
        Node node;
        node.shape = shape;
        node.box = shape->box;
        node.outline = outline_of(*shape);
        node.pool = pool_index;
        node.lane = band;
        if (name_outside(*shape) && !shape->name.empty() && usable(shape->label_box)) {
          const Box ink =
              painter.text_bounds(shape->name, shape->label_box, shape->name_style(painter));
          if (usable(ink)) node.name = ink;
        }
        node_of.emplace(shape, static_cast<int>(problem.nodes.size()));
        problem.nodes.push_back(node);
        grow(node.box);
      }
    }
  }
  problem.bounds = inflate({left, top, right - left, bottom - top}, OUTER_MARGIN);

  std::unordered_set<const Connection*> links_seen;
  int order = 0;
  for (Shape* shape : sources) {
    if (!shape->connection_to) continue;
    for (Connection& c : *shape->connection_to) {
      ++order;
      if (!links_seen.insert(&c).second) continue;
      c.waypoints.clear();
      c.label_box.reset();
      c.drawn_source_side.clear();
      c.drawn_target_side.clear();
      c.route_note.clear();
      const auto s = node_of.find(shape);
      const auto t = node_of.find(c.target);
      if (s == node_of.end() || t == node_of.end()) continue;
      Link link;
      link.connection = &c;
      link.source = s->second;
      link.target = t->second;
      link.order = order;
      const Node& from = problem.nodes[static_cast<std::size_t>(link.source)];
      const Node& to = problem.nodes[static_cast<std::size_t>(link.target)];
      link.source_side =
          asked_side(*shape, *c.target, c.source_connection_side, "source_connection_side");
      link.target_side =
          asked_side(*shape, *c.target, c.target_connection_side, "target_connection_side");
      const bool one_pool = from.pool == to.pool;
      // The kind the connection says it is; a flow between pools runs like a message flow.
      const bool data = c.connection_type == ConnectionTypes::DATA ||
                        c.connection_type == ConnectionTypes::ASSOCIATION ||
                        from.shape->kind() == ShapeKind::DATA ||
                        to.shape->kind() == ShapeKind::DATA;
      const bool message = c.connection_type == ConnectionTypes::MESSAGE || !one_pool;
      link.kind = data ? LinkKind::ASSOCIATION : message ? LinkKind::MESSAGE : LinkKind::SEQUENCE;
      link.marked_start =
          c.is_default || (!c.condition.empty() && shape->kind() == ShapeKind::ACTIVITY);
      const Box& pool = problem.pools[static_cast<std::size_t>(from.pool)];
      // Inside one pool, a route keeps off the pool's own border.
      link.area = one_pool && usable(pool) ? inflate(pool, -BORDER_KEEP_OFF) : problem.bounds;
      problem.links.push_back(link);
    }
  }
  // The sides that messages to and from black-box pools take: the one facing the pool's band,
  // at the place along it where each message will meet it.
  std::vector<Passing> passing;
  std::vector<std::array<char, 4>> own(problem.nodes.size(), {0, 0, 0, 0});
  for (const auto& [shape, messages] : black_box_messages_by_shape(pools)) {
    const auto n = node_of.find(shape);
    if (n == node_of.end()) continue;
    Node& node = problem.nodes[static_cast<std::size_t>(n->second)];
    for (std::size_t i = 0; i < messages.size(); ++i) {
      const Shape* band = messages[i]->source == shape ? messages[i]->target : messages[i]->source;
      if (band == nullptr || !usable(band->box)) continue;
      const Box& across = band->box;
      const Side side = across.centre_y() < node.box.centre_y() ? Side::TOP : Side::BOTTOM;
      node.taken[static_cast<std::size_t>(side)] = true;
      own[static_cast<std::size_t>(n->second)][static_cast<std::size_t>(side)] = 1;
      // The message runs straight between the side and the band, or round the first shape in
      // its way (see take_passed_sides).
      const double x = black_box_message_x(node.box, across, i, messages.size());
      const double y0 = side == Side::TOP ? across.bottom() : node.box.bottom();
      const double y1 = side == Side::TOP ? node.box.y : across.y;
      const bool along = node.shape->kind() == ShapeKind::ACTIVITY;
      passing.push_back({x, along ? node.box.x : x, along ? node.box.right() : x, y0, y1,
                         side == Side::TOP, n->second});
    }
  }
  take_passed_sides(problem, passing);
  // A side with messages of its own is theirs, whatever passes it too.
  for (std::size_t n = 0; n < problem.nodes.size(); ++n) {
    for (std::size_t side = 0; side < 4; ++side) {
      if (own[n][side] != 0) problem.nodes[n].passed_at[side].clear();
    }
  }
  return problem;
}

}  // namespace orvane::routing
