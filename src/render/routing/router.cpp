// The routing pipeline, in named steps:
//   1. the problem: shapes, connections, pools and lanes as the router sees them;
//   2. the free space and its channel graph;
//   3. laying: each connection in turn (shorter ones and sequence flows first, ties by the
//      diagram's order) gets its cheapest path, looked for first in a window round its ends
//      and, only when that window holds none, in all of the space it may use; a connection
//      whose ends lie far apart runs along a corridor, searched for only near its ends; one
//      the graph has no path for (an end hemmed in closer than the clearance) is drawn close
//      past the shapes (tight_path.hpp);
//   4. nudging: segments sharing channels are ordered and spread, trunks kept together; where
//      a channel cannot hold its routes MIN_SEPARATION apart, the stretch costs more and the
//      later laid routes on it are laid again (steps 3 and 4, at most CROWDING_ROUNDS times,
//      while that leaves fewer crowded stretches, keeping only the routes that got better when
//      the round as a whole did not); then the routes other routes cross are taken up and laid
//      again one by one, each knowing every other route (at most RELAYING_ROUNDS times, on
//      diagrams of at most RELAY_MAX_LINKS links), and
//      each kept only where its own crossings, bends and crowding did not get worse;
//   5. ends onto the shapes' outlines, coordinates to whole pixels; labelled connections take
//      the outer lines of straight twins (twin_tracks.hpp);
//   6. the routes stored on the connections, where painting and the exports read them, and
//      the names moved out of their way and off the lines joining notes to their shapes;
//   7. the messages to black-box pools laid (route_black_box_messages), then the connection
//      labels beside their routes, clear of every route, messages included.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "channel_graph.hpp"
#include "corridors.hpp"
#include "crossings.hpp"
#include "crowding.hpp"
#include "free_space.hpp"
#include "labels.hpp"
#include "laid_routes.hpp"
#include "nudging.hpp"
#include "orvane/attached_geometry.hpp"
#include "orvane/pool.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"
#include "path_search.hpp"
#include "ports.hpp"
#include "problem.hpp"
#include "settings.hpp"
#include "tight_path.hpp"
#include "twin_tracks.hpp"

namespace orvane {
namespace routing {
namespace {

constexpr std::string_view NO_PATH =
    "no free path between the shapes: drawn straight from side to side";
constexpr std::string_view TIGHT_PATH = "too little room round the shapes: drawn close past them";

// Adds `text` to the connection's note on its route, once.
void add_note(const Link& link, std::string_view text) {
  std::string& note = link.connection->route_note;
  if (note.find(text) != std::string::npos) return;
  if (!note.empty()) note += "; ";
  note += text;
}

int kind_rank(LinkKind kind) {
  switch (kind) {
    case LinkKind::SEQUENCE:
      return 0;
    case LinkKind::MESSAGE:
      return 1;
    case LinkKind::ASSOCIATION:
      return 2;
  }
  return 0;
}

// Sequence flows first (they carry the process), then message flows, then associations; within
// each, short before long, so that neighbours get the straight lines; ties by diagram order.
std::vector<int> laying_order(const Problem& problem) {
  std::vector<int> order(problem.links.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  auto key = [&](int i) {
    const Link& l = problem.links[static_cast<std::size_t>(i)];
    const Box& a = problem.nodes[static_cast<std::size_t>(l.source)].box;
    const Box& b = problem.nodes[static_cast<std::size_t>(l.target)].box;
    const double distance =
        std::abs(a.centre_x() - b.centre_x()) + std::abs(a.centre_y() - b.centre_y());
    return std::make_tuple(kind_rank(l.kind), distance, l.order);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
  return order;
}

// The window a search starts in: the box of both ends with SEARCH_MARGIN round it.
Box search_window(const Problem& problem, const Link& link) {
  const Box& a = problem.nodes[static_cast<std::size_t>(link.source)].box;
  const Box& b = problem.nodes[static_cast<std::size_t>(link.target)].box;
  const double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const double x1 = std::max(a.right(), b.right()), y1 = std::max(a.bottom(), b.bottom());
  return inflate(span(x0, y0, x1, y1), SEARCH_MARGIN);
}

// When the free space offers no path (shapes on top of each other): a plain route from the
// middle of one side to the middle of another, turning half way; the connection says so.
void direct_sides(const Problem& problem, const Link& link, DrawnRoute& drawn) {
  add_note(link, NO_PATH);
  const Box& a = problem.nodes[static_cast<std::size_t>(link.source)].box;
  const Box& b = problem.nodes[static_cast<std::size_t>(link.target)].box;
  const bool across =
      std::abs(b.centre_x() - a.centre_x()) >= std::abs(b.centre_y() - a.centre_y());
  Side from = across ? (b.centre_x() >= a.centre_x() ? Side::RIGHT : Side::LEFT)
                     : (b.centre_y() >= a.centre_y() ? Side::BOTTOM : Side::TOP);
  Side to = horizontal(from) ? (from == Side::RIGHT ? Side::LEFT : Side::RIGHT)
                             : (from == Side::BOTTOM ? Side::TOP : Side::BOTTOM);
  if (link.source_side) from = *link.source_side;
  if (link.target_side) to = *link.target_side;
  const Point p = side_middle(a, from);
  const Point q = side_middle(b, to);
  std::vector<Point> points{p};
  if (horizontal(from) == horizontal(to)) {
    if (horizontal(from)) {
      const double mid = (p.x + q.x) / 2;
      points.insert(points.end(), {{mid, p.y}, {mid, q.y}});
    } else {
      const double mid = (p.y + q.y) / 2;
      points.insert(points.end(), {{p.x, mid}, {q.x, mid}});
    }
  } else {
    points.push_back(horizontal(from) ? Point{q.x, p.y} : Point{p.x, q.y});
  }
  points.push_back(q);
  drawn.source_side = from;
  drawn.target_side = to;
  drawn.points = simplified(points);
}

// A side the caller asked for that leads nowhere is given up, and the connection says why.
void check_asked_sides(const PathSearch& search, Link& link) {
  std::string note;
  if (link.source_side && !search.source_side_usable(link, *link.source_side)) {
    note = std::string("source side '") + side_name(*link.source_side) +
           "' leads into another shape or out of the pool";
    link.source_side.reset();
  }
  if (link.target_side && !search.target_side_usable(link, *link.target_side)) {
    if (!note.empty()) note += "; ";
    note += std::string("target side '") + side_name(*link.target_side) +
            "' leads into another shape or out of the pool";
    link.target_side.reset();
  }
  link.connection->route_note = note;
}

// Where a route leaves or enters `box` by `side` on its way from or to vertex point `v`: on
// the side where the vertex's line meets it (the graph's line through the side's middle may
// have been merged with one a few pixels off), else at the side's middle with a corner on the
// way out, so that every segment stays horizontal or vertical.
void add_port(std::vector<Point>& points, const Box& box, Side side, const Point& v, bool first) {
  const Interval extent = side_extent(box, side);
  const double along = horizontal(side) ? v.y : v.x;
  Point port = side_middle(box, side);
  if (along > extent.lo && along < extent.hi) (horizontal(side) ? port.y : port.x) = along;
  const Point corner = horizontal(side) ? Point{v.x, port.y} : Point{port.x, v.y};
  if (first) {
    points.insert(points.end(), {port, corner});
  } else {
    points.insert(points.end(), {corner, port});
  }
}

DrawnRoute drawn_from(const Problem& problem, const ChannelGraph& graph, const GraphRoute& route) {
  const Link& link = problem.links[static_cast<std::size_t>(route.link)];
  DrawnRoute drawn;
  drawn.link = route.link;
  drawn.source_side = route.source_side;
  drawn.target_side = route.target_side;
  const Box& source = problem.nodes[static_cast<std::size_t>(link.source)].box;
  const Box& target = problem.nodes[static_cast<std::size_t>(link.target)].box;
  add_port(drawn.points, source, route.source_side, graph.point(route.vertices.front()), true);
  for (const Vertex& v : route.vertices) drawn.points.push_back(graph.point(v));
  add_port(drawn.points, target, route.target_side, graph.point(route.vertices.back()), false);
  simplify(drawn.points);
  return drawn;
}

// Sequence flows leaving one side of a shape form a fork; entering one side, a join. Members
// that may not share a trunk (same_family) are told apart by the family ids anyway: nudging only
// keeps together what runs on together, and search never lays such a pair on one trunk.
void mark_families(const Problem& problem, std::vector<DrawnRoute>& routes) {
  // (shape, side, route) for every end of a sequence flow, sorted by shape and side: a run of
  // two or more is a family. Ids count every shape and side with an end, forks first.
  std::vector<std::tuple<int, Side, std::size_t>> forks, joins;
  for (std::size_t r = 0; r < routes.size(); ++r) {
    const Link& l = problem.links[static_cast<std::size_t>(routes[r].link)];
    if (l.kind != LinkKind::SEQUENCE || l.source == l.target) continue;
    // A flow with a mark at its start runs from its source on a line of its own.
    if (!l.marked_start) forks.emplace_back(l.source, routes[r].source_side, r);
    joins.emplace_back(l.target, routes[r].target_side, r);
  }
  int id = 0;
  for (auto* ends : {&forks, &joins}) {
    std::sort(ends->begin(), ends->end());
    for (std::size_t from = 0, to = 0; from < ends->size(); from = to) {
      const auto same_side = [&](std::size_t k) {
        return std::get<0>((*ends)[k]) == std::get<0>((*ends)[from]) &&
               std::get<1>((*ends)[k]) == std::get<1>((*ends)[from]);
      };
      while (to < ends->size() && same_side(to)) ++to;
      if (to - from >= 2) {
        for (std::size_t k = from; k < to; ++k) {
          DrawnRoute& route = routes[std::get<2>((*ends)[k])];
          (ends == &forks ? route.fork : route.join) = id;
        }
      }
      ++id;
    }
  }
}

// Step 5: the ends onto the outlines, every coordinate to a whole pixel.
void finish(const Problem& problem, DrawnRoute& route) {
  const Link& link = problem.links[static_cast<std::size_t>(route.link)];
  auto& p = route.points;
  if (p.size() >= 2) {
    const Node& source = problem.nodes[static_cast<std::size_t>(link.source)];
    const Node& target = problem.nodes[static_cast<std::size_t>(link.target)];
    p.front() = on_outline(source, route.source_side,
                           horizontal(route.source_side) ? p.front().y : p.front().x);
    p.back() = on_outline(target, route.target_side,
                          horizontal(route.target_side) ? p.back().y : p.back().x);
  }
  for (Point& q : p) q = {std::round(q.x), std::round(q.y)};
  simplify(p);
  if (p.size() == 1) p.push_back(p.front());
}

// What a route's drawing came to after nudging: the stretches where it could not be parted from
// another route, the crossings of other routes, its bends and its length.
struct RouteFigures {
  int crowded = 0;
  int crossings = 0;
  int bends = 0;
  double length = 0;
  // How far it runs through names of shapes and captions of groups other than its ends' (worked
  // out only for the routes laid again, see Drawing::weigh_names).
  double in_names = 0;

  double cost() const {
    return length + BEND_COST * bends + RELAID_CROSSING_COST * crossings + CROWDED_COST * crowded;
  }
  // How many crossings and crowded stretches fewer than `old` (negative: more).
  int fewer_faults(const RouteFigures& old) const {
    return old.crossings - crossings + old.crowded - crowded;
  }
  // The bends a route may add for `fewer` crossings and crowded stretches fewer: one, for two or
  // more (a route winding round others reads worse than one crossing them).
  static int bends_for(int fewer) { return fewer >= 2 ? 1 : 0; }
  // Better: fewer crossings, crowded stretches or bends, neither more crossings nor more
  // crowding, not too many more bends, and cheaper.
  bool better_than(const RouteFigures& old) const {
    const int fewer = fewer_faults(old);
    return (fewer > 0 || bends < old.bends) && crowded <= old.crowded &&
           crossings <= old.crossings && bends <= old.bends + bends_for(fewer) &&
           cost() < old.cost() - 0.5;
  }
  // Worse: more crowding or crossings, too many more bends, further through names, or dearer.
  bool worse_than(const RouteFigures& old) const {
    return crowded > old.crowded || crossings > old.crossings ||
           bends > old.bends + bends_for(fewer_faults(old)) || in_names > old.in_names + 0.5 ||
           cost() > old.cost() + 0.5;
  }
};

// The routes as drawn after nudging, the crowded stretches nudging left, and each link's figures.
struct Drawing {
  std::vector<DrawnRoute> routes;
  std::vector<Crowded> crowded;
  std::vector<RouteFigures> figures;  // by link
  std::vector<std::size_t> where;     // by link, its route's place in `routes`

  void measure(std::size_t links) {
    figures.assign(links, {});
    where.assign(links, 0);
    for (std::size_t k = 0; k < routes.size(); ++k)
      where[static_cast<std::size_t>(routes[k].link)] = k;
    for (const Crowded& c : crowded) {
      ++figures[static_cast<std::size_t>(c.link_a)].crowded;
      ++figures[static_cast<std::size_t>(c.link_b)].crowded;
    }
    const std::vector<int> crossings = crossings_per_link(routes, links);
    for (const DrawnRoute& r : routes) {
      RouteFigures& f = figures[static_cast<std::size_t>(r.link)];
      f.crossings = crossings[static_cast<std::size_t>(r.link)];
      f.bends = r.points.size() > 2 ? static_cast<int>(r.points.size()) - 2 : 0;
      for (std::size_t k = 0; k + 1 < r.points.size(); ++k) {
        f.length += std::abs(r.points[k].x - r.points[k + 1].x) +
                    std::abs(r.points[k].y - r.points[k + 1].y);
      }
    }
  }
  // Works out how far the route of `link` runs through names (RouteFigures::in_names).
  void weigh_names(std::size_t link, const Problem& problem, const FreeSpace& space) {
    const DrawnRoute& r = routes[where[link]];
    const Link& l = problem.links[link];
    double length = 0;
    for (std::size_t k = 0; k + 1 < r.points.size(); ++k)
      length += space.in_names(r.points[k], r.points[k + 1], l.source, l.target);
    figures[link].in_names = length;
  }
  // The whole drawing's cost (a crossing or crowded stretch counts for both its routes).
  double total() const {
    double sum = 0;
    for (const RouteFigures& f : figures) sum += f.cost();
    return sum;
  }
  // Better as a whole: fewer crowded stretches, crossings or bends, cheaper, with no more crowded
  // stretches, and at most one more bend for every two crossings fewer.
  bool better_than(const Drawing& old) const {
    int bends = 0, crossings = 0;
    for (const RouteFigures& f : figures) {
      bends += f.bends;
      crossings += f.crossings;
    }
    for (const RouteFigures& f : old.figures) {
      bends -= f.bends;
      crossings -= f.crossings;
    }
    // Each crossing counts for both its routes: -crossings / 2 is how many fewer there are.
    const bool fewer = crowded.size() < old.crowded.size() || crossings < 0 || bends < 0;
    return fewer && crowded.size() <= old.crowded.size() && 4 * bends <= -crossings &&
           total() < old.total() - 0.5;
  }
};

}  // namespace
}  // namespace routing

void route_connections(const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter) {
  using namespace routing;
  // 1. The problem.
  Problem problem = build_problem(pools, painter);
  // 2. The free space and its graph.
  const FreeSpace space(problem);
  const ChannelGraph graph(problem);
  Crowding crowding(graph);
  const Crowding uncrowded(graph);
  Corridors corridors(problem, graph);
  const std::vector<int> order = laying_order(problem);
  std::vector<std::optional<GraphRoute>> found(problem.links.size());
  std::vector<int> rank(problem.links.size());
  for (std::size_t k = 0; k < order.size(); ++k)
    rank[static_cast<std::size_t>(order[k])] = static_cast<int>(k);

  RoomMemo rooms(problem.links.size());
  LaidSize laid_size;
  // 3. Laying. The first round lays every route in turn, each knowing the routes laid before it;
  // a crowding round lays the routes marked in `relay` again the same way; a rip-up round lays
  // them again one by one, each taken out of the record of every route and laid again knowing
  // all the others (a route that finds no path keeps its old one).
  bool first_round = true;
  // Whether a branch of the link's fork (or join) already laid passes near the link's other
  // end, which lies far above or below its own: a long branch then goes along that trunk, as
  // the short ones do, rather than down a corridor of its own beside it (on a gateway's
  // branches stacked in a column, corridors drew a line beside the trunk for each branch
  // further than LONG_REACH, with labels that read as their neighbours'). A fork of more than
  // MAX_TRUNKS branches keeps the corridors.
  const auto trunk_nears = [&](const LaidRoutes& laid, const Link& link) {
    const Box& a = problem.nodes[static_cast<std::size_t>(link.source)].box;
    const Box& b = problem.nodes[static_cast<std::size_t>(link.target)].box;
    if (!(a.bottom() + LONG_REACH < b.y || b.bottom() + LONG_REACH < a.y)) return false;
    std::vector<int> siblings;
    for (const bool fork : {true, false}) {
      const int node = fork ? link.source : link.target;
      const Box near =
          inflate(problem.nodes[static_cast<std::size_t>(fork ? link.target : link.source)].box,
                  SEARCH_MARGIN);
      for (Side side : ALL_SIDES) {
        siblings.clear();
        for (int other : fork ? laid.leaving(node, side) : laid.entering(node, side)) {
          if (siblings.size() == MAX_TRUNKS) break;
          if (same_family(link, problem.links[static_cast<std::size_t>(other)], fork))
            siblings.push_back(other);
        }
        // Past that many, a search along the trunks costs more than the corridor is worth.
        if (siblings.size() == MAX_TRUNKS) continue;
        for (std::size_t k = 0; k < siblings.size(); ++k) {
          const GraphRoute* r = laid.route(siblings[k]);
          if (r == nullptr) continue;
          for (const Vertex& v : r->vertices) {
            if (inside(graph.point(v), near)) return true;
          }
        }
      }
    }
    return false;
  };
  auto lay_routes = [&](const std::vector<char>& relay, bool rip_up) {
    LaidRoutes laid(problem.links.size(), problem.nodes.size(), graph.columns(), graph.rows(),
                    laid_size);
    PathSearch search(problem, space, graph, laid, rip_up ? uncrowded : crowding);
    if (rip_up) search.set_crossing_cost(RELAID_CROSSING_COST);
    corridors.clear();
    auto add = [&](int l) {
      const Link& link = problem.links[static_cast<std::size_t>(l)];
      if (const auto& route = found[static_cast<std::size_t>(l)]) {
        laid.add(*route, link.source, link.target, link.kind == LinkKind::SEQUENCE);
        corridors.note(*route);
      }
    };
    if (rip_up) {
      for (int l : order) add(l);
    }
    for (int l : order) {
      if (relay[static_cast<std::size_t>(l)] == 0) {
        if (!rip_up) add(l);
        continue;
      }
      Link& link = problem.links[static_cast<std::size_t>(l)];
      auto& route = found[static_cast<std::size_t>(l)];
      if (first_round) check_asked_sides(search, link);
      std::optional<GraphRoute> old;
      if (rip_up && route) {
        laid.remove(*route, link.source, link.target);
        corridors.forget(*route);
        old = std::move(route);
      }
      route.reset();
      if (is_long(problem, link) && !trunk_nears(laid, link)) route = corridors.route(l, search);
      if (!route) route = search.find(l, intersect_box(search_window(problem, link), link.area));
      if (!route) route = search.find(l, link.area);
      if (!route) route = std::move(old);
      add(l);
    }
    laid_size = laid.size();
    first_round = false;
  };
  // Whether routes are judged one by one after drawing: laying crossed routes again, keeping
  // part of a crowding round. The largest diagrams skip it (see RELAY_MAX_LINKS).
  const bool judge_routes = problem.links.size() <= RELAY_MAX_LINKS;
  // 4. Nudging, and what each route's drawing came to.
  // The close routes of links the graph has no path for, by link: they depend on the shapes
  // alone, so each is looked for once however many rounds draw it.
  std::map<int, std::optional<DrawnRoute>> tight_routes;
  TightBudget tight_budget;
  auto tight_for = [&](int l) -> const std::optional<DrawnRoute>& {
    auto known = tight_routes.find(l);
    if (known == tight_routes.end()) {
      known = tight_routes.emplace(l, tight_route(problem, space, l, tight_budget)).first;
    }
    return known->second;
  };
  auto draw = [&]() {
    Drawing drawing;
    for (int l : order) {
      const Link& link = problem.links[static_cast<std::size_t>(l)];
      DrawnRoute drawn;
      if (const auto& route = found[static_cast<std::size_t>(l)]) {
        drawn = drawn_from(problem, graph, *route);
      } else if (const auto& tight = tight_for(l)) {
        add_note(link, TIGHT_PATH);
        drawn = *tight;
      } else {
        drawn.link = l;
        direct_sides(problem, link, drawn);
      }
      drawing.routes.push_back(std::move(drawn));
    }
    // Labels and the stored result follow the diagram's order.
    std::sort(drawing.routes.begin(), drawing.routes.end(),
              [&](const DrawnRoute& a, const DrawnRoute& b) {
                return problem.links[static_cast<std::size_t>(a.link)].order <
                       problem.links[static_cast<std::size_t>(b.link)].order;
              });
    mark_families(problem, drawing.routes);
    drawing.crowded = nudge(drawing.routes, problem, space, rooms);
    if (judge_routes) drawing.measure(problem.links.size());
    return drawing;
  };

  std::vector<char> relay(problem.links.size(), 1);
  lay_routes(relay, false);
  Drawing best = draw();
  // Lays the routes marked in `relay` again and draws the result; `before` keeps what they were.
  std::vector<std::pair<std::size_t, std::optional<GraphRoute>>> before;
  auto relay_round = [&](bool all_known) {
    before.clear();
    for (std::size_t l = 0; l < relay.size(); ++l) {
      if (relay[l] != 0) before.emplace_back(l, found[l]);
    }
    lay_routes(relay, all_known);
    return draw();
  };
  auto restore = [&]() {
    for (auto& entry : before) found[entry.first] = std::move(entry.second);
  };
  // Keeps the routes laid again whose own figures got better in `next`, and puts the others back
  // as they were; whether any was kept.
  auto keep_better = [&](Drawing& next) {
    bool kept = false;
    for (const auto& [l, route] : before) {
      best.weigh_names(l, problem, space);
      next.weigh_names(l, problem, space);
      if (next.figures[l].better_than(best.figures[l])) {
        kept = true;
      } else {
        found[l] = route;
      }
    }
    return kept;
  };
  // Crowding rounds: the later laid route of each crowded pair laid again, its stretch now
  // priced, while that leaves fewer crowded stretches.
  for (int round = 1; round <= CROWDING_ROUNDS && !best.crowded.empty(); ++round) {
    std::fill(relay.begin(), relay.end(), 0);
    for (const Crowded& c : best.crowded) {
      crowding.add(c);
      const int later =
          rank[static_cast<std::size_t>(c.link_a)] > rank[static_cast<std::size_t>(c.link_b)]
              ? c.link_a
              : c.link_b;
      relay[static_cast<std::size_t>(later)] = 1;
    }
    Drawing next = relay_round(false);
    if (next.crowded.size() >= best.crowded.size()) {
      // Not better as a whole: keep the routes that got better, the others as they were (not
      // on the largest diagrams, where drawing them again costs as much as laying them did).
      if (!judge_routes || !keep_better(next)) {
        restore();
        break;
      }
      next = draw();
      if (next.crowded.size() >= best.crowded.size()) {
        restore();
        break;
      }
    }
    best = std::move(next);
  }
  // Crossing rounds: every route that others cross is taken up and laid again knowing every
  // other route, crossings priced above the usual and crowded stretches not at all (their price
  // would drive a route across many others: crowding is judged on the drawing instead). A route
  // that came out worse goes back as it was; the round stands when the whole drawing got better.
  // Each route is laid again at most RELAY_TRIES times, and once more only when put back.
  std::vector<char> tried(problem.links.size(), 0);
  for (int round = 1; judge_routes && round <= RELAYING_ROUNDS; ++round) {
    std::fill(relay.begin(), relay.end(), 0);
    bool any = false;
    for (std::size_t l = 0; l < relay.size(); ++l) {
      if (tried[l] < RELAY_TRIES && best.figures[l].crossings >= RELAY_CROSSINGS) {
        relay[l] = 1;
        any = true;
      }
    }
    if (!any) break;
    Drawing next = relay_round(true);
    for (const auto& entry : before) ++tried[entry.first];
    // The routes laid again that came out worse go back as they were, twice at most (putting
    // some back moves others).
    std::vector<char> back(before.size(), 0);
    for (int pass = 0; pass < 2; ++pass) {
      bool reverted = false;
      for (std::size_t k = 0; k < before.size(); ++k) {
        const std::size_t l = before[k].first;
        if (back[k] != 0) continue;
        best.weigh_names(l, problem, space);
        next.weigh_names(l, problem, space);
        if (!next.figures[l].worse_than(best.figures[l])) continue;
        found[l] = before[k].second;
        back[k] = 1;
        reverted = true;
      }
      if (!reverted) break;
      next = draw();
    }
    if (!next.better_than(best)) {
      restore();
      break;
    }
    for (std::size_t k = 0; k < before.size(); ++k) {
      if (back[k] == 0) tried[before[k].first] = RELAY_TRIES;
    }
    best = std::move(next);
  }
  std::vector<DrawnRoute> routes = std::move(best.routes);
  // 5. Ends and pixels.
  for (DrawnRoute& r : routes) finish(problem, r);
  give_labels_outer_tracks(problem, routes);
  // 6. The routes on their connections, and the names moved out of their way.
  for (const DrawnRoute& r : routes) {
    Connection& c = *problem.links[static_cast<std::size_t>(r.link)].connection;
    c.waypoints = r.points;
    c.drawn_source_side = side_name(r.source_side);
    c.drawn_target_side = side_name(r.target_side);
  }
  LabelPlacer labels(problem, routes);
  // The straight lines joining notes to their shapes, drawn when the notes were placed: names
  // and labels keep off them too.
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->attached) {
        if (shape->kind() == ShapeKind::ANNOTATION && !shape->connection_to->empty()) {
          labels.add_drawn(shape->connection_to->front());
        }
      }
    }
  }
  labels.place_names();
  // 7. The messages to black-box pools, which run straight to their band clear of every route
  // and name; then the connections' labels, clear of every route and label.
  for (const Connection* c : route_black_box_messages(pools, painter)) {
    labels.add_drawn(*c);
  }
  labels.place_connection_labels(painter);
}

}  // namespace orvane
