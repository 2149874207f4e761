// The route-quality report: reads the diagram interchange of BPMN files (ours or any modelling
// tool's) and measures how their connections are drawn.
//
//   route_quality [--per-file] [--faults] [--bends] [--crossings] [--name SET] FILE.bpmn|DIR ...
//
// Figures, over all files given:
// - crossings: proper crossings between segments of two different connections, per connection;
// - alongside: pairs of connections with no end in common whose parallel segments run 0.5 to
//   12 px apart for more than 30 px in all, per 100 connections;
// - bands: the same for connections with an end in common, 0.5 to 6 px apart for more than
//   20 px (forks and joins drawn as parallel tracks);
// - outside: sequence-flow segments outside the bounds of their pool (and the number of files
//   with any);
// - bends per connection;
// - label hits: connection labels over a shape, another label or another connection's route;
//   "nearer": labels lying nearer another connection's route than their own, which read as
//   the other's; "heads": shape names and connection labels (their boxes 1 px in from each side)
//   over an arrowhead (the last 10 px of a route, 4.5 px either side of it; a data
//   association's a fifth wider; an association's only where it has a direction).
// Also counted, as faults that should never happen: segments through a shape ("through"),
// unrelated connections on top of each other, or two between the same two shapes drawn as one
// line ("shared"), and shape names that a route, a shape or another label covers ("name hits"),
// and marks at a flow's start (a default flow's slash, the diamond of a conditional flow out of
// an activity, 10 px along its first segment) that stand on another connection's line too, so
// that they do not say which flow they mark ("marks").
// With --bends, each kind of connection's bends against the fewest its ends' places allow
// (a straight line, an L past the other shapes, else two).
// With --crossings, the crossings by the kinds of connection involved, by whether their ends lie
// far apart (more than 3,000 px across or down: "long"), and for long ones by whether the
// crossing falls on a horizontal or a vertical segment; by size of diagram.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Box {
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;
  double right() const { return x + w; }
  double bottom() const { return y + h; }
};

struct Node {
  std::string id;
  Box box;
  std::optional<Box> label;
  std::string kind;  // the element's name: "task", "exclusiveGateway", "startEvent", ...
  std::string lane;  // the innermost lane holding it, if any
};

struct Edge {
  std::string id;
  std::string kind;
  std::string source;
  std::string target;
  std::optional<Box> pool;  // for sequence flows: the bounds of their pool
  std::vector<Point> points;
  std::optional<Box> label;
  bool arrow_at_end = true;
  bool arrow_at_start = false;  // an association both ways
  bool marked = false;          // a default flow, or a conditional flow out of an activity
};

// The kinds of connection the bend breakdown (--bends) tells apart.
enum Kind { SAME_LANE, HANDOVER, BACK, BRANCH, MESSAGE, DATA, KINDS };
constexpr const char* KIND_NAMES[KINDS] = {"same lane",      "lane handover", "back edge",
                                           "gateway branch", "message flow",  "data association"};

// Bends of one kind of connection against the fewest their ends' places allow.
struct BendTally {
  int connections = 0;
  int bends = 0;
  int fewest = 0;
  int excess = 0;
  int over[3] = {};  // connections with 1, 2, and 3 or more bends too many

  void add(const BendTally& t) {
    connections += t.connections;
    bends += t.bends;
    fewest += t.fewest;
    excess += t.excess;
    for (int k = 0; k < 3; ++k) over[k] += t.over[k];
  }
};

// The crossings by what crosses (--crossings). Each crossing counts once for each of its two
// connections in `by_kind`.
struct CrossingTally {
  int by_kind[KINDS][2] = {};  // short, long
  int long_horizontal = 0;     // crossings on a horizontal segment of a long connection
  int long_vertical = 0;
  int pairs[3] = {};  // crossings of two short connections, one long and one short, two long

  void add(const CrossingTally& t) {
    for (int k = 0; k < KINDS; ++k) {
      for (int l = 0; l < 2; ++l) by_kind[k][l] += t.by_kind[k][l];
    }
    long_horizontal += t.long_horizontal;
    long_vertical += t.long_vertical;
    for (int k = 0; k < 3; ++k) pairs[k] += t.pairs[k];
  }
};

struct Figures {
  BendTally by_kind[KINDS];
  CrossingTally crossing_kinds;
  int files = 0;
  int shapes = 0;
  int connections = 0;
  int crossings = 0;
  int alongside = 0;
  int bands = 0;
  int outside = 0;
  int outside_files = 0;
  int bends = 0;
  int label_hits = 0;
  int labels_nearer = 0;
  int on_heads = 0;
  int labels = 0;
  int name_hits = 0;
  int through = 0;
  int shared = 0;
  int marks = 0;

  void add(const Figures& f) {
    for (int k = 0; k < KINDS; ++k) by_kind[k].add(f.by_kind[k]);
    crossing_kinds.add(f.crossing_kinds);
    files += f.files;
    shapes += f.shapes;
    connections += f.connections;
    crossings += f.crossings;
    alongside += f.alongside;
    bands += f.bands;
    outside += f.outside;
    outside_files += f.outside_files;
    bends += f.bends;
    label_hits += f.label_hits;
    labels_nearer += f.labels_nearer;
    on_heads += f.on_heads;
    labels += f.labels;
    name_hits += f.name_hits;
    through += f.through;
    shared += f.shared;
    marks += f.marks;
  }
};

std::string local(const char* name) {
  const std::string s = name;
  const auto colon = s.find(':');
  return colon == std::string::npos ? s : s.substr(colon + 1);
}

std::optional<Box> bounds_of(pugi::xml_node parent) {
  for (pugi::xml_node c : parent.children()) {
    if (local(c.name()) == "Bounds") {
      return Box{c.attribute("x").as_double(), c.attribute("y").as_double(),
                 c.attribute("width").as_double(), c.attribute("height").as_double()};
    }
  }
  return std::nullopt;
}

std::optional<Box> label_of(pugi::xml_node di) {
  for (pugi::xml_node c : di.children()) {
    if (local(c.name()) == "BPMNLabel") return bounds_of(c);
  }
  return std::nullopt;
}

pugi::xml_node child_named(pugi::xml_node node, const std::string& name) {
  for (pugi::xml_node c : node.children()) {
    if (local(c.name()) == name) return c;
  }
  return {};
}

// Waypoints without repeats and without the middle one of three points on a line.
std::vector<Point> simplified(const std::vector<Point>& in) {
  std::vector<Point> out;
  for (const Point& p : in) {
    if (!out.empty() && std::abs(out.back().x - p.x) < 0.01 &&
        std::abs(out.back().y - p.y) < 0.01) {
      continue;
    }
    if (out.size() >= 2) {
      const Point& a = out[out.size() - 2];
      const Point& b = out.back();
      const double cross = (b.x - a.x) * (p.y - b.y) - (b.y - a.y) * (p.x - b.x);
      const double dot = (b.x - a.x) * (p.x - b.x) + (b.y - a.y) * (p.y - b.y);
      if (std::abs(cross) < 0.01 && dot > 0) out.pop_back();
    }
    out.push_back(p);
  }
  return out;
}

struct Diagram {
  std::vector<Node> nodes;
  std::vector<Edge> edges;
};

Diagram read(const fs::path& file) {
  pugi::xml_document doc;
  if (!doc.load_file(file.c_str())) throw std::runtime_error("cannot read " + file.string());
  std::map<std::string, pugi::xml_node> by_id;
  std::map<std::string, std::string> process_to_participant;
  for (pugi::xpath_node x : doc.select_nodes("//*[@id]"))
    by_id[x.node().attribute("id").value()] = x.node();
  for (const auto& [id, node] : by_id) {
    if (local(node.name()) == "participant" && node.attribute("processRef")) {
      process_to_participant[node.attribute("processRef").value()] = id;
    }
  }
  std::map<std::string, Box> pool_bounds;
  // Each flow node's innermost lane: nested lanes come after the lane holding them.
  std::map<std::string, std::string> lane_of;
  for (pugi::xpath_node x : doc.select_nodes("//*[local-name()='lane']")) {
    for (pugi::xml_node c : x.node().children()) {
      if (local(c.name()) == "flowNodeRef")
        lane_of[c.text().get()] = x.node().attribute("id").value();
    }
  }
  Diagram d;
  // The first diagram is the process map; further ones draw the insides of sub-processes, each
  // on its own plane.
  for (pugi::xpath_node x :
       doc.select_nodes("(//*[local-name()='BPMNDiagram'])[1]//*[local-name()='BPMNShape']")) {
    const pugi::xml_node di = x.node();
    const auto it = by_id.find(di.attribute("bpmnElement").value());
    const auto box = bounds_of(di);
    if (it == by_id.end() || !box) continue;
    const std::string kind = local(it->second.name());
    if (kind == "participant") {
      pool_bounds[it->first] = *box;
    } else if (kind != "lane" && kind != "group") {
      // A group is a frame round shapes that routes may cross.
      d.nodes.push_back({it->first, *box, label_of(di), kind, lane_of[it->first]});
    }
  }
  for (pugi::xpath_node x :
       doc.select_nodes("(//*[local-name()='BPMNDiagram'])[1]//*[local-name()='BPMNEdge']")) {
    const pugi::xml_node di = x.node();
    const auto it = by_id.find(di.attribute("bpmnElement").value());
    if (it == by_id.end()) continue;
    const pugi::xml_node sem = it->second;
    Edge e;
    e.id = it->first;
    e.kind = local(sem.name());
    if (e.kind == "association") {
      const std::string direction = sem.attribute("associationDirection").value();
      e.arrow_at_end = direction == "One" || direction == "Both";
      e.arrow_at_start = direction == "Both";
    }
    if (sem.attribute("sourceRef")) {
      e.source = sem.attribute("sourceRef").value();
      e.target = sem.attribute("targetRef").value();
    } else if (e.kind == "dataInputAssociation") {
      e.source = child_named(sem, "sourceRef").text().get();
      e.target = sem.parent().attribute("id").value();
    } else if (e.kind == "dataOutputAssociation") {
      e.source = sem.parent().attribute("id").value();
      e.target = child_named(sem, "targetRef").text().get();
    }
    if (di.attribute("sourceElement")) e.source = di.attribute("sourceElement").value();
    if (di.attribute("targetElement")) e.target = di.attribute("targetElement").value();
    if (e.kind == "sequenceFlow") {
      const auto source = by_id.find(sem.attribute("sourceRef").value());
      if (source != by_id.end()) {
        const std::string kind = local(source->second.name());
        const bool activity = kind.find("ask") != std::string::npos ||
                              kind.find("rocess") != std::string::npos || kind == "callActivity" ||
                              kind == "transaction";
        e.marked = source->second.attribute("default").value() == e.id ||
                   (activity && child_named(sem, "conditionExpression"));
      }
      for (pugi::xml_node p = sem.parent(); p; p = p.parent()) {
        if (local(p.name()) != "process") continue;
        const auto part = process_to_participant.find(p.attribute("id").value());
        if (part != process_to_participant.end() && pool_bounds.count(part->second) != 0) {
          e.pool = pool_bounds[part->second];
        }
        break;
      }
    }
    std::vector<Point> points;
    for (pugi::xml_node c : di.children()) {
      if (local(c.name()) == "waypoint") {
        points.push_back({c.attribute("x").as_double(), c.attribute("y").as_double()});
      }
    }
    e.points = simplified(points);
    e.label = label_of(di);
    d.edges.push_back(std::move(e));
  }
  return d;
}

double orient(const Point& a, const Point& b, const Point& c) {
  const double v = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  return std::abs(v) < 1e-6 ? 0 : v;
}

bool proper_crossing(const Point& a, const Point& b, const Point& c, const Point& d) {
  const double o1 = orient(a, b, c);
  const double o2 = orient(a, b, d);
  const double o3 = orient(c, d, a);
  const double o4 = orient(c, d, b);
  return o1 * o2 < 0 && o3 * o4 < 0;
}

// Whether the segment a-b passes through the inside of `box` (shrunk by half a pixel).
bool through(const Point& a, const Point& b, const Box& box) {
  const double e = 0.5;
  const double x0 = box.x + e, x1 = box.right() - e, y0 = box.y + e, y1 = box.bottom() - e;
  if (x1 <= x0 || y1 <= y0) return false;
  // Liang-Barsky clipping against the open box.
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - x0, x1 - a.x, a.y - y0, y1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] <= 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 >= t1) return false;
  }
  return t1 - t0 > 1e-9;
}

bool overlap(const Box& a, const Box& b) {
  const double e = 0.5;
  return a.x + e < b.right() && b.x + e < a.right() && a.y + e < b.bottom() && b.y + e < a.bottom();
}

bool related(const Edge& a, const Edge& b) {
  return a.source == b.source || a.source == b.target || a.target == b.source ||
         a.target == b.target;
}

// With --faults, each route through a shape and each pair of unrelated routes on top of each
// other is printed; with --bends too, each connection with more bends than it needs.
bool print_faults = false;
bool bend_breakdown = false;
bool crossing_breakdown = false;

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool round_outline(const Node& n) {
  return ends_with(n.kind, "Event") || ends_with(n.kind, "Gateway");
}

// Where along a side (along x for top and bottom) a route may meet a shape: the side but for
// 10 px at each end on a rectangle, the middle half on a round or diamond outline.
std::pair<double, double> port_span(const Node& n, bool along_x) {
  const double lo = along_x ? n.box.x : n.box.y;
  const double length = along_x ? n.box.w : n.box.h;
  if (round_outline(n)) return {lo + length / 4, lo + 3 * length / 4};
  const double margin = std::min(10.0, length / 4);
  return {lo + margin, lo + length - margin};
}

// A few places across a span, its middle first.
std::vector<double> samples(std::pair<double, double> span) {
  std::vector<double> out{(span.first + span.second) / 2};
  for (int k = 0; k <= 4; ++k) out.push_back(span.first + (span.second - span.first) * k / 4);
  return out;
}

// The fewest bends a route between `a` and `b` needs where they stand: 0 where a straight line
// joins two facing sides past every other shape (`others`, grown by the routes' clearance), 1
// where an L does, else 2 (a lower bound: a route may need more round the shapes between).
int fewest_bends(const Node& a, const Node& b, const std::vector<const Node*>& others) {
  auto clear = [&](const std::vector<Point>& path) {
    for (std::size_t s = 0; s + 1 < path.size(); ++s) {
      for (const Node* n : others) {
        if (through(path[s], path[s + 1], n->box)) return false;
      }
    }
    return true;
  };
  // Straight, across or down.
  for (const bool down : {true, false}) {
    const auto pa = port_span(a, down), pb = port_span(b, down);
    const std::pair span{std::max(pa.first, pb.first), std::min(pa.second, pb.second)};
    if (span.first > span.second) continue;
    const double a_lo = down ? a.box.y : a.box.x, a_hi = down ? a.box.bottom() : a.box.right();
    const double b_lo = down ? b.box.y : b.box.x, b_hi = down ? b.box.bottom() : b.box.right();
    if (a_hi > b_lo && b_hi > a_lo) continue;  // they overlap: no facing sides
    const double from = a_hi <= b_lo ? a_hi : a_lo, to = a_hi <= b_lo ? b_lo : b_hi;
    for (const double c : samples(span)) {
      if (down ? clear({{c, from}, {c, to}}) : clear({{from, c}, {to, c}})) return 0;
    }
  }
  // An L: out of one side of `a` across (or down), into `b` down (or across).
  for (const bool across_first : {true, false}) {
    for (const double u : samples(port_span(a, !across_first))) {
      for (const double v : samples(port_span(b, across_first))) {
        // Across first: the route leaves `a` at y = u and turns down at x = v.
        const Point corner = across_first ? Point{v, u} : Point{u, v};
        const Box& ab = a.box;
        const Box& bb = b.box;
        const bool beside_a =
            across_first ? (v > ab.right() || v < ab.x) : (v > ab.bottom() || v < ab.y);
        const bool beside_b =
            across_first ? (u > bb.bottom() || u < bb.y) : (u > bb.right() || u < bb.x);
        if (!beside_a || !beside_b) continue;
        const Point out = across_first ? Point{v > ab.right() ? ab.right() : ab.x, u}
                                       : Point{u, v > ab.bottom() ? ab.bottom() : ab.y};
        const Point in = across_first ? Point{v, u > bb.bottom() ? bb.bottom() : bb.y}
                                      : Point{u > bb.right() ? bb.right() : bb.x, v};
        if (clear({out, corner, in})) return 1;
      }
    }
  }
  return 2;
}

Kind kind_of(const Edge& e, const Node& source, const Node& target) {
  if (e.kind == "messageFlow") return MESSAGE;
  if (e.kind != "sequenceFlow") return DATA;
  if (target.box.x + target.box.w / 2 < source.box.x + source.box.w / 2 - 1) return BACK;
  if (ends_with(source.kind, "Gateway")) return BRANCH;
  return source.lane != target.lane ? HANDOVER : SAME_LANE;
}

// Each connection's bends against the fewest its ends' places allow, by kind.
void measure_bends(const Diagram& d, Figures& f) {
  std::map<std::string, const Node*> by_id;
  for (const Node& n : d.nodes) by_id[n.id] = &n;
  for (const Edge& e : d.edges) {
    const auto s = by_id.find(e.source), t = by_id.find(e.target);
    if (s == by_id.end() || t == by_id.end() || e.points.size() < 2) continue;
    const Node& a = *s->second;
    const Node& b = *t->second;
    // Only the shapes within the hull of the two ends can block a straight line or an L.
    const Box hull{std::min(a.box.x, b.box.x), std::min(a.box.y, b.box.y),
                   std::max(a.box.right(), b.box.right()) - std::min(a.box.x, b.box.x),
                   std::max(a.box.bottom(), b.box.bottom()) - std::min(a.box.y, b.box.y)};
    // Routes keep 10 px off other shapes.
    std::vector<Node> kept_off;
    for (const Node& n : d.nodes) {
      Node grown = n;
      grown.box = {n.box.x - 10, n.box.y - 10, n.box.w + 20, n.box.h + 20};
      if (&n != &a && &n != &b && overlap(grown.box, hull)) kept_off.push_back(grown);
    }
    std::vector<const Node*> others;
    for (const Node& n : kept_off) others.push_back(&n);
    const int bends = static_cast<int>(e.points.size()) - 2;
    const int fewest = &a == &b ? 3 : fewest_bends(a, b, others);
    const int excess = std::max(0, bends - fewest);
    BendTally& tally = f.by_kind[kind_of(e, a, b)];
    ++tally.connections;
    tally.bends += bends;
    tally.fewest += fewest;
    tally.excess += excess;
    if (excess > 0) ++tally.over[std::min(excess, 3) - 1];
    if (print_faults && excess > 0) {
      std::printf("  bends: %s (%s) %d, fewest %d\n", e.id.c_str(), KIND_NAMES[kind_of(e, a, b)],
                  bends, fewest);
    }
  }
}

// How far apart two boxes lie along one axis (negative where they overlap along it).
double gap(const Box& a, const Box& b, bool vertical) {
  return vertical ? std::max(a.y, b.y) - std::min(a.bottom(), b.bottom())
                  : std::max(a.x, b.x) - std::min(a.right(), b.right());
}

// Each connection's kind and whether its ends lie far apart, for the crossing breakdown.
std::vector<std::pair<Kind, bool>> crossing_roles(const Diagram& d) {
  std::map<std::string, const Node*> by_id;
  for (const Node& n : d.nodes) by_id[n.id] = &n;
  std::vector<std::pair<Kind, bool>> roles;
  for (const Edge& e : d.edges) {
    const auto s = by_id.find(e.source), t = by_id.find(e.target);
    if (s == by_id.end() || t == by_id.end()) {
      roles.emplace_back(e.kind == "messageFlow" ? MESSAGE : DATA, false);
      continue;
    }
    const Box& a = s->second->box;
    const Box& b = t->second->box;
    roles.emplace_back(kind_of(e, *s->second, *t->second),
                       gap(a, b, false) > 3000 || gap(a, b, true) > 3000);
  }
  return roles;
}

Figures measure(const Diagram& d) {
  Figures f;
  const std::vector<std::pair<Kind, bool>> roles =
      crossing_breakdown ? crossing_roles(d) : std::vector<std::pair<Kind, bool>>{};
  f.files = 1;
  f.shapes = static_cast<int>(d.nodes.size());
  f.connections = static_cast<int>(d.edges.size());
  for (const Edge& e : d.edges) f.bends += std::max(0, static_cast<int>(e.points.size()) - 2);
  if (bend_breakdown) measure_bends(d, f);
  for (std::size_t i = 0; i < d.edges.size(); ++i) {
    const Edge& a = d.edges[i];
    for (std::size_t j = i + 1; j < d.edges.size(); ++j) {
      const Edge& b = d.edges[j];
      const bool rel = related(a, b);
      double close = 0;
      double nearest = 1e9;  // the closest parallel run, for --faults
      bool on_top = false;
      for (std::size_t s = 0; s + 1 < a.points.size(); ++s) {
        const Point& p = a.points[s];
        const Point& q = a.points[s + 1];
        for (std::size_t t = 0; t + 1 < b.points.size(); ++t) {
          const Point& u = b.points[t];
          const Point& v = b.points[t + 1];
          if (proper_crossing(p, q, u, v)) {
            ++f.crossings;
            if (crossing_breakdown) {
              CrossingTally& t = f.crossing_kinds;
              ++t.pairs[static_cast<int>(roles[i].second) + static_cast<int>(roles[j].second)];
              for (const auto& [role, horizontal] :
                   {std::pair{roles[i], std::abs(p.y - q.y) < 0.01},
                    std::pair{roles[j], std::abs(u.y - v.y) < 0.01}}) {
                ++t.by_kind[role.first][static_cast<int>(role.second)];
                if (role.second) ++(horizontal ? t.long_horizontal : t.long_vertical);
              }
            }
          }
          const bool ah = std::abs(p.y - q.y) < 0.01, bh = std::abs(u.y - v.y) < 0.01;
          const bool av = std::abs(p.x - q.x) < 0.01, bv = std::abs(u.x - v.x) < 0.01;
          if (!((ah && bh) || (av && bv))) continue;
          const double dist = ah ? std::abs(p.y - u.y) : std::abs(p.x - u.x);
          const double lo = ah ? std::max(std::min(p.x, q.x), std::min(u.x, v.x))
                               : std::max(std::min(p.y, q.y), std::min(u.y, v.y));
          const double hi = ah ? std::min(std::max(p.x, q.x), std::max(u.x, v.x))
                               : std::min(std::max(p.y, q.y), std::max(u.y, v.y));
          const double along = hi - lo;
          if (along <= 0) continue;
          if (dist < 0.5) {
            if (!rel && along > 0.5) on_top = true;
          } else if (dist <= (rel ? 6.0 : 12.0)) {
            close += along;
            nearest = std::min(nearest, dist);
          }
        }
      }
      if (rel && close > 20) {
        ++f.bands;
        if (print_faults) {
          std::printf("  band: %s and %s, %g px apart for %g px\n", a.id.c_str(), b.id.c_str(),
                      nearest, close);
        }
      }
      if (!rel && close > 30) {
        ++f.alongside;
        if (print_faults) {
          std::printf("  alongside: %s and %s, %g px apart for %g px\n", a.id.c_str(), b.id.c_str(),
                      nearest, close);
        }
      }
      // Two connections between the same two shapes drawn on one line read as one.
      const bool as_one = !a.source.empty() && a.source == b.source && a.target == b.target &&
                          a.points.size() >= 2 && a.points == b.points;
      if (on_top || as_one) {
        ++f.shared;
        if (print_faults) {
          std::printf("  shared: %s and %s%s\n", a.id.c_str(), b.id.c_str(),
                      as_one ? " (drawn as one)" : "");
        }
      }
    }
  }
  // Every label with what it belongs to, so that a label is not compared with itself.
  std::vector<std::pair<Box, const void*>> labels;
  for (const Edge& e : d.edges) {
    if (e.label && e.label->w > 0 && e.label->h > 0) labels.emplace_back(*e.label, &e);
  }
  for (const Node& n : d.nodes) {
    if (n.label && n.label->w > 0 && n.label->h > 0) labels.emplace_back(*n.label, &n);
  }
  // The marks at flows' starts, and the other lines through them.
  for (const Edge& e : d.edges) {
    if (!e.marked || e.points.size() < 2) continue;
    const Point& a = e.points[0];
    const Point& b = e.points[1];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length <= 0) continue;
    const double along = std::min(10.0, length / 2) / length;
    const Point mark{a.x + (b.x - a.x) * along, a.y + (b.y - a.y) * along};
    for (const Edge& other : d.edges) {
      if (&other == &e) continue;
      bool on = false;
      for (std::size_t k = 1; k < other.points.size() && !on; ++k) {
        const Point& u = other.points[k - 1];
        const Point& v = other.points[k];
        on = std::abs(u.x - v.x) < 0.5
                 ? std::abs(u.x - mark.x) < 3 && mark.y >= std::min(u.y, v.y) - 1 &&
                       mark.y <= std::max(u.y, v.y) + 1
                 : std::abs(u.y - v.y) < 0.5 && std::abs(u.y - mark.y) < 3 &&
                       mark.x >= std::min(u.x, v.x) - 1 && mark.x <= std::max(u.x, v.x) + 1;
      }
      if (!on) continue;
      ++f.marks;
      if (print_faults) {
        std::printf("  mark: the start of %s on %s\n", e.id.c_str(), other.id.c_str());
      }
      break;
    }
  }
  // The arrowheads, and the texts over them.
  std::vector<std::pair<Box, const Edge*>> heads;
  for (const Edge& e : d.edges) {
    if (e.points.size() < 2) continue;
    const double across = e.kind == "sequenceFlow" || e.kind == "messageFlow" ? 4.5 : 5.3;
    auto head = [&](const Point& tip, const Point& from) {
      const double length = std::hypot(tip.x - from.x, tip.y - from.y);
      if (length <= 0) return;
      const double along = std::min(10.0, length);
      const Point base{tip.x + (from.x - tip.x) / length * along,
                       tip.y + (from.y - tip.y) / length * along};
      heads.push_back(
          {Box{std::min(tip.x, base.x) - across, std::min(tip.y, base.y) - across,
               std::abs(tip.x - base.x) + 2 * across, std::abs(tip.y - base.y) + 2 * across},
           &e});
    };
    if (e.arrow_at_end) head(e.points.back(), e.points[e.points.size() - 2]);
    if (e.arrow_at_start) head(e.points.front(), e.points[1]);
  }
  for (const auto& [text, owner] : labels) {
    const Box inner{text.x + 1, text.y + 1, text.w - 2, text.h - 2};
    if (inner.w <= 0 || inner.h <= 0) continue;
    for (const auto& [head, edge] : heads) {
      if (!(inner.x < head.right() && head.x < inner.right() && inner.y < head.bottom() &&
            head.y < inner.bottom())) {
        continue;
      }
      ++f.on_heads;
      if (print_faults) {
        std::printf("  on a head: text at (%g,%g %gx%g) over the arrowhead of %s\n", text.x, text.y,
                    text.w, text.h, edge->id.c_str());
      }
      break;
    }
  }
  for (const Edge& e : d.edges) {
    if (e.pool) {
      const Box& p = *e.pool;
      for (std::size_t s = 0; s + 1 < e.points.size(); ++s) {
        for (const Point& q : {e.points[s], e.points[s + 1]}) {
          if (q.x < p.x - 0.5 || q.x > p.right() + 0.5 || q.y < p.y - 0.5 ||
              q.y > p.bottom() + 0.5) {
            ++f.outside;
            break;
          }
        }
      }
    }
    for (std::size_t s = 0; s + 1 < e.points.size(); ++s) {
      for (const Node& n : d.nodes) {
        // A route's end may lie inside its shape's box, on a round or diamond outline.
        const bool own_end =
            (s == 0 && n.id == e.source) || (s + 2 == e.points.size() && n.id == e.target);
        if (own_end || !through(e.points[s], e.points[s + 1], n.box)) continue;
        ++f.through;
        if (print_faults) {
          std::printf("  through: %s (%g,%g)-(%g,%g) crosses %s\n", e.id.c_str(), e.points[s].x,
                      e.points[s].y, e.points[s + 1].x, e.points[s + 1].y, n.id.c_str());
        }
      }
    }
    if (!e.label || e.label->w <= 0 || e.label->h <= 0) continue;
    ++f.labels;
    const Box& l = *e.label;
    std::string what;  // what the label is over, for --faults
    for (const Node& n : d.nodes) {
      if (overlap(l, n.box)) what += " shape " + n.id;
    }
    for (const auto& [other, owner] : labels) {
      if (owner != &e && overlap(l, other)) what += " a label";
    }
    for (const Edge& other : d.edges) {
      if (&other == &e) continue;
      for (std::size_t s = 0; s + 1 < other.points.size(); ++s) {
        if (through(other.points[s], other.points[s + 1], l)) {
          what += " route " + other.id;
          break;
        }
      }
    }
    if (!what.empty()) {
      ++f.label_hits;
      if (print_faults) {
        std::printf("  label hit: %s (%g,%g %gx%g) over%s\n", e.id.c_str(), l.x, l.y, l.w, l.h,
                    what.c_str());
      }
    }
    // How far the label lies from its own route and from the nearest other one.
    auto distance_to = [&](const Edge& edge) {
      double nearest = std::numeric_limits<double>::infinity();
      for (std::size_t s = 0; s + 1 < edge.points.size(); ++s) {
        const Point& p = edge.points[s];
        const Point& q = edge.points[s + 1];
        const double dx =
            std::max({0.0, std::min(p.x, q.x) - (l.x + l.w), l.x - std::max(p.x, q.x)});
        const double dy =
            std::max({0.0, std::min(p.y, q.y) - (l.y + l.h), l.y - std::max(p.y, q.y)});
        nearest = std::min(nearest, std::hypot(dx, dy));
      }
      return nearest;
    };
    const double own = distance_to(e);
    for (const Edge& other : d.edges) {
      if (&other == &e || distance_to(other) >= own) continue;
      ++f.labels_nearer;
      if (print_faults) {
        std::printf("  label nearer: %s (%g,%g %gx%g) lies nearer %s than its own route\n",
                    e.id.c_str(), l.x, l.y, l.w, l.h, other.id.c_str());
      }
      break;
    }
  }
  if (f.outside > 0) f.outside_files = 1;
  for (const Node& n : d.nodes) {
    if (!n.label || n.label->w <= 0 || n.label->h <= 0) continue;
    std::string what;
    for (const Node& m : d.nodes) {
      if (&m != &n && overlap(*n.label, m.box)) what += " shape " + m.id;
    }
    for (const auto& [other, owner] : labels) {
      if (owner != &n && overlap(*n.label, other)) what += " a label";
    }
    for (const Edge& e : d.edges) {
      for (std::size_t s = 0; s + 1 < e.points.size(); ++s) {
        if (through(e.points[s], e.points[s + 1], *n.label)) {
          what += " route " + e.id;
          break;
        }
      }
    }
    if (!what.empty()) {
      ++f.name_hits;
      if (print_faults) {
        const Box& l = *n.label;
        std::printf("  name hit: %s (%g,%g %gx%g) under%s\n", n.id.c_str(), l.x, l.y, l.w, l.h,
                    what.c_str());
      }
    }
  }
  return f;
}

void print_header() {
  std::printf("%-22s %6s %6s %9s %9s %5s %9s %6s %10s %6s %6s %6s %6s %7s %6s\n", "set", "files",
              "conns", "cross/c", "along/100", "bands", "outside", "bend/c", "label hits", "nearer",
              "heads", "names", "thru", "shared", "marks");
}

void print_row(const std::string& name, const Figures& f) {
  const double c = std::max(1, f.connections);
  std::printf("%-22s %6d %6d %9.3f %9.2f %5d %5d(%d) %6.3f %5d/%-4d %6d %6d %6d %6d %7d %6d\n",
              name.c_str(), f.files, f.connections, f.crossings / c, 100.0 * f.alongside / c,
              f.bands, f.outside, f.outside_files, f.bends / c, f.label_hits, f.labels,
              f.labels_nearer, f.on_heads, f.name_hits, f.through, f.shared, f.marks);
}

void print_bends(const Figures& f) {
  std::printf("\n%-18s %6s %7s %9s %9s %14s\n", "bends by kind", "conns", "bend/c", "fewest/c",
              "excess/c", "over 1/2/3+");
  BendTally all;
  auto row = [](const char* name, const BendTally& t) {
    const double c = std::max(1, t.connections);
    std::printf("%-18s %6d %7.3f %9.3f %9.3f %6d/%d/%d\n", name, t.connections, t.bends / c,
                t.fewest / c, t.excess / c, t.over[0], t.over[1], t.over[2]);
  };
  for (int k = 0; k < KINDS; ++k) {
    row(KIND_NAMES[k], f.by_kind[k]);
    all.add(f.by_kind[k]);
  }
  row("all", all);
}

void print_crossings(const char* set, const Figures& f) {
  const CrossingTally& t = f.crossing_kinds;
  std::printf(
      "\ncrossings, %s: %d (two short connections %d, a long and a short %d, two long %d)\n", set,
      f.crossings, t.pairs[0], t.pairs[1], t.pairs[2]);
  std::printf("  on long connections' horizontal segments %d, vertical segments %d\n",
              t.long_horizontal, t.long_vertical);
  std::printf("  %-18s %7s %7s   (each crossing counts for both connections)\n", "by kind", "short",
              "long");
  for (int k = 0; k < KINDS; ++k)
    std::printf("  %-18s %7d %7d\n", KIND_NAMES[k], t.by_kind[k][0], t.by_kind[k][1]);
}

}  // namespace

int main(int argc, char** argv) {
  bool per_file = false;
  std::string set = "all";
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--per-file") {
      per_file = true;
    } else if (arg == "--faults") {
      print_faults = true;
    } else if (arg == "--bends") {
      bend_breakdown = true;
    } else if (arg == "--crossings") {
      crossing_breakdown = true;
    } else if (arg == "--name" && i + 1 < argc) {
      set = argv[++i];
    } else if (fs::is_directory(arg)) {
      for (const auto& entry : fs::directory_iterator(arg)) {
        if (entry.path().extension() == ".bpmn") files.push_back(entry.path());
      }
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.empty()) {
    std::cerr << "usage: route_quality [--per-file] [--faults] [--bends] [--crossings] "
                 "[--name SET] FILE.bpmn|DIR ...\n";
    return 2;
  }
  std::sort(files.begin(), files.end());
  // Besides the whole set, the figures by size: real models are mostly small or medium.
  Figures total;
  std::map<int, Figures> by_size;
  print_header();
  for (const fs::path& file : files) {
    Figures f;
    if (print_faults) std::printf("%s:\n", file.stem().string().c_str());
    try {
      f = measure(read(file));
    } catch (const std::exception& e) {
      std::cerr << file.string() << ": " << e.what() << "\n";
      return 1;
    }
    if (per_file) print_row(file.stem().string(), f);
    total.add(f);
    by_size[f.shapes <= 50 ? 0 : f.shapes <= 150 ? 1 : 2].add(f);
  }
  static const char* sizes[] = {"  up to 50 shapes", "  51 to 150 shapes", "  over 150 shapes"};
  if (by_size.size() > 1) {
    for (const auto& [bucket, f] : by_size) print_row(sizes[bucket], f);
  }
  print_row(set, total);
  if (bend_breakdown) print_bends(total);
  if (crossing_breakdown) {
    for (const auto& [bucket, f] : by_size) print_crossings(sizes[bucket] + 2, f);
  }
  return 0;
}
