#include "diagram_model.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"
#include "orvane/theme.hpp"

namespace orvane::export_detail {

namespace {

bool is_name_start(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool is_name_char(unsigned char c) {
  return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool is_empty(const Box& box) {
  return !(box.width > 0) || !(box.height > 0) || !std::isfinite(box.x) || !std::isfinite(box.y) ||
         !std::isfinite(box.width) || !std::isfinite(box.height);
}

// Sizes used when the diagram has not been drawn, matching the drawn look.
Box fallback_shape_box(const Shape& shape, double cell_x, double cell_y) {
  double w = 36;
  double h = 36;
  switch (shape.kind()) {
    case ShapeKind::EVENT:
      break;
    case ShapeKind::GATEWAY:
      w = h = 50;
      break;
    case ShapeKind::ACTIVITY:
      w = Configs::BOX_WIDTH - 10;
      h = Configs::BOX_HEIGHT;
      break;
    case ShapeKind::TERMINATOR:
      w = Configs::BOX_WIDTH - 10;
      h = 50;
      break;
    case ShapeKind::DATA:
      w = 40;
      h = 50;
      break;
    case ShapeKind::ANNOTATION:
    case ShapeKind::GROUP:
    case ShapeKind::PARTICIPANT:
      w = 100;
      h = 30;
      break;
  }
  return {cell_x + (Configs::BOX_WIDTH - w) / 2, cell_y + (Configs::BOX_HEIGHT - h) / 2, w, h};
}

bool has_outside_label(const Shape& shape) {
  return shape.kind() == ShapeKind::EVENT || shape.kind() == ShapeKind::GATEWAY ||
         shape.kind() == ShapeKind::DATA || shape.kind() == ShapeKind::GROUP;
}

Box outside_label(const Box& box) {
  const double width = Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES - 20;
  return {box.centre_x() - width / 2, box.bottom() + 4, width, 30};
}

// A simple orthogonal route between two boxes: forwards from the right side to the left side,
// otherwise below both shapes between their bottom centres.
std::vector<Point> fallback_route(const Box& from, const Box& to) {
  std::vector<Point> points;
  auto add = [&points](Point p) {
    if (points.empty() || !(points.back() == p)) points.push_back(p);
  };
  if (to.x > from.right()) {
    const double mid = (from.right() + to.x) / 2;
    add({from.right(), from.centre_y()});
    add({mid, from.centre_y()});
    add({mid, to.centre_y()});
    add({to.x, to.centre_y()});
  } else {
    const double below = std::max(from.bottom(), to.bottom()) + 20;
    add({from.centre_x(), from.bottom()});
    add({from.centre_x(), below});
    add({to.centre_x(), below});
    add({to.centre_x(), to.bottom()});
  }
  if (points.size() < 2) points.push_back(points.back());
  return points;
}

bool points_finite(const std::vector<Point>& points) {
  return std::all_of(points.begin(), points.end(),
                     [](const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

}  // namespace

void IdRegistry::reserve(const std::string& id) {
  used_.insert(id);
}

std::string IdRegistry::take(std::string_view wanted, std::string_view fallback) {
  std::string id;
  for (unsigned char c : wanted) {
    id += is_name_char(c) ? static_cast<char>(c) : '_';
  }
  // Nothing but replacement characters left means the wanted id carried no information.
  if (id.empty() || std::all_of(id.begin(), id.end(), [](char c) { return c == '_'; })) {
    id = std::string(fallback);
  }
  if (id.empty() || !is_name_start(static_cast<unsigned char>(id.front()))) id = "_" + id;
  std::string candidate = id;
  for (int n = 2; used_.count(candidate) != 0; ++n) {
    candidate = fmt::format("{}_{}", id, n);
  }
  used_.insert(candidate);
  return candidate;
}

bool is_generated_id(std::string_view id) {
  constexpr std::size_t kHex = 16;
  if (id.size() < kHex + 2 || id[id.size() - kHex - 1] != '_') return false;
  const std::string_view prefix = id.substr(0, id.size() - kHex - 1);
  const std::string_view digits = id.substr(id.size() - kHex);
  return std::all_of(prefix.begin(), prefix.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || c == '_'; }) &&
         std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

namespace {

// The names and kinds of a diagram's pools, lanes and shapes, hashed: two diagrams that differ
// in any of them get different generated ids; the same diagram always the same ones.
std::string diagram_key(const std::vector<std::unique_ptr<Pool>>& pools) {
  std::uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](std::string_view text) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ 0xffu) * 1099511628211ull;
  };
  for (const auto& pool : pools) {
    if (!pool) continue;
    mix(pool->name);
    for (const auto& lane : pool->lanes) {
      if (!lane) continue;
      mix(lane->name);
      for (const Shape* shape : lane->every_shape()) {
        if (shape == nullptr) continue;
        mix(shape->class_name());
        mix(shape->name);
      }
    }
  }
  return fmt::format("{:08x}", static_cast<std::uint32_t>(hash ^ (hash >> 32)));
}

NodeRole role_of(const Shape& shape) {
  switch (shape.kind()) {
    case ShapeKind::DATA:
      return NodeRole::DATA;
    case ShapeKind::ANNOTATION:
      return NodeRole::ANNOTATION;
    case ShapeKind::GROUP:
      return NodeRole::GROUP;
    case ShapeKind::PARTICIPANT:
      return NodeRole::PARTICIPANT;
    case ShapeKind::EVENT:
      if (const auto* event = dynamic_cast<const Event*>(&shape);
          event != nullptr && event->boundary_of() != nullptr) {
        return NodeRole::BOUNDARY;
      }
      return NodeRole::FLOW;
    default:
      return NodeRole::FLOW;
  }
}

// Shapes that BPMN lets name a default flow.
bool may_have_default(const Shape& shape) {
  if (shape.kind() == ShapeKind::ACTIVITY) return true;
  const ElementType type = shape.element_type();
  return type == ElementType::EXCLUSIVE || type == ElementType::INCLUSIVE ||
         type == ElementType::COMPLEX;
}

}  // namespace

DiagramModel::DiagramModel(const std::vector<std::unique_ptr<Pool>>& pools, ModelIds naming)
    : ids(std::move(naming.registry)), key(diagram_key(pools)) {
  collect(pools);
  collect_flows();
  assign_ids(naming.verbatim);
  if (!drawn) apply_fallback_layout();
}

const NodeInfo* DiagramModel::find(const Shape* shape) const {
  auto it = by_shape_.find(shape);
  return it == by_shape_.end() ? nullptr : it->second;
}

std::string DiagramModel::generated(std::string_view prefix) {
  const int n = ++counters_[std::string(prefix)];
  return ids.take(fmt::format("{}_{}_{}", prefix, key, n), prefix);
}

NodeInfo& DiagramModel::add_node(const Shape* shape, NodeRole role, std::size_t pool_index) {
  NodeInfo& node = nodes.emplace_back();
  node.shape = shape;
  node.role = role;
  node.pool_index = pool_index;
  node.box = shape->box;
  drawn = drawn && !is_empty(node.box);
  by_shape_[shape] = &node;
  return node;
}

void DiagramModel::collect(const std::vector<std::unique_ptr<Pool>>& source) {
  drawn = true;
  for (std::size_t p = 0; p < source.size(); ++p) {
    const Pool* pool = source[p].get();
    if (pool == nullptr) continue;
    PoolInfo info;
    info.pool = pool;
    info.box = {static_cast<double>(pool->coord.x_pos), static_cast<double>(pool->coord.y_pos),
                static_cast<double>(pool->width), static_cast<double>(pool->height)};
    drawn = drawn && !is_empty(info.box);
    if (const Shape* band = pool->participant()) {
      info.band = &add_node(band, NodeRole::PARTICIPANT, pools.size());
      info.band->box = info.box;
    }
    for (std::size_t l = 0; l < pool->lanes.size(); ++l) {
      const Lane* lane = pool->lanes[l].get();
      if (lane == nullptr) continue;
      LaneInfo lane_info;
      lane_info.lane = lane;
      lane_info.box = {static_cast<double>(lane->coord.x_pos),
                       static_cast<double>(lane->coord.y_pos), static_cast<double>(lane->width),
                       static_cast<double>(lane->height)};
      drawn = drawn && !is_empty(lane_info.box);
      for (const Shape* shape : lane->every_shape()) {
        // A shape listed twice is still one element.
        if (shape == nullptr || by_shape_.count(shape) != 0) continue;
        NodeInfo& node = add_node(shape, role_of(*shape), pools.size());
        if (has_outside_label(*shape) && !shape->name.empty() && !is_empty(shape->label_box)) {
          node.label_box = shape->label_box;
        }
        lane_info.nodes.push_back(&node);
      }
      info.lanes.push_back(std::move(lane_info));
    }
    pools.push_back(std::move(info));
  }
}

void DiagramModel::collect_flows() {
  std::set<const Connection*> seen;
  for (NodeInfo& node : nodes) {
    const auto& outgoing = node.shape->connection_to;
    if (!outgoing) continue;
    for (const Connection& connection : *outgoing) {
      if (!seen.insert(&connection).second) continue;
      // The list may be shared with a shape that a replacement took out of its lane; the
      // exported shape owning the list is the source either way.
      const NodeInfo* target = find(connection.target);
      if (target == nullptr) continue;
      FlowInfo flow;
      flow.connection = &connection;
      flow.source = &node;
      flow.target = target;
      flow.label = connection.label;
      flow.same_pool = node.pool_index == target->pool_index;
      const auto is = [&](NodeRole role) { return node.role == role || target->role == role; };
      const bool source_data = node.role == NodeRole::DATA;
      const bool target_data = target->role == NodeRole::DATA;
      if (connection.connection_type == ConnectionTypes::ASSOCIATION || is(NodeRole::ANNOTATION) ||
          is(NodeRole::GROUP)) {
        flow.kind = FlowKind::ASSOCIATION;
      } else if (source_data || target_data) {
        if (flow.same_pool && source_data && target->shape->kind() == ShapeKind::ACTIVITY) {
          flow.kind = FlowKind::DATA_INPUT;
        } else if (flow.same_pool && target_data && node.shape->kind() == ShapeKind::ACTIVITY) {
          flow.kind = FlowKind::DATA_OUTPUT;
        } else {
          flow.kind = FlowKind::ASSOCIATION;
        }
      } else {
        // Two pools may share a name: the pool objects decide, not connection_type.
        flow.kind =
            flow.same_pool && !is(NodeRole::PARTICIPANT) ? FlowKind::SEQUENCE : FlowKind::MESSAGE;
      }
      if (connection.waypoints.size() >= 2 && points_finite(connection.waypoints)) {
        flow.waypoints = connection.waypoints;
      } else {
        drawn = false;
      }
      if (!flow.label.empty() && connection.label_box && !is_empty(*connection.label_box)) {
        flow.label_box = connection.label_box;
      }
      flows.push_back(std::move(flow));
    }
  }
}

void DiagramModel::assign_ids(bool verbatim) {
  // The ids a caller or description chose come first, so that none of them loses its name to
  // a generated one; then everything else gets a generated id of this diagram.
  auto chosen = [&](const std::string& id, std::string_view fallback) -> std::string {
    if (id.empty()) return "";
    if (verbatim) {
      ids.reserve(id);
      return id;
    }
    return is_generated_id(id) ? "" : ids.take(id, fallback);
  };
  for (PoolInfo& pool : pools) {
    pool.participant_id = chosen(pool.pool->bpmn_id, "pool");
    for (LaneInfo& lane : pool.lanes) lane.id = chosen(lane.lane->id, "lane");
  }
  for (NodeInfo& node : nodes) {
    if (node.role != NodeRole::PARTICIPANT) node.id = chosen(node.shape->bpmn_id, "node");
  }
  for (FlowInfo& flow : flows) flow.id = chosen(flow.connection->bpmn_id, "flow");
  definitions_id = generated("Definitions");
  collaboration_id = generated("Collaboration");
  for (PoolInfo& pool : pools) {
    if (pool.participant_id.empty()) pool.participant_id = generated("Participant");
    if (pool.band != nullptr) pool.band->id = pool.participant_id;
    if (!pool.pool->black_box()) {
      pool.process_id = !pool.pool->bpmn_id.empty() && !is_generated_id(pool.pool->bpmn_id)
                            ? ids.take(pool.participant_id + "_process", "process")
                            : generated("Process");
    }
    for (LaneInfo& lane : pool.lanes) {
      if (lane.id.empty()) lane.id = generated("Lane");
    }
  }
  for (NodeInfo& node : nodes) {
    if (node.id.empty()) node.id = generated("Node");
  }
  for (FlowInfo& flow : flows) {
    if (flow.id.empty()) flow.id = generated("Flow");
  }
  for (FlowInfo& flow : flows) {
    if (flow.kind != FlowKind::SEQUENCE) continue;
    NodeInfo& source = *by_shape_[flow.source->shape];
    source.outgoing.push_back(flow.id);
    by_shape_[flow.target->shape]->incoming.push_back(flow.id);
    if (flow.connection->is_default && source.default_flow.empty() &&
        may_have_default(*source.shape)) {
      source.default_flow = flow.id;
    }
  }
}

void DiagramModel::apply_fallback_layout() {
  // One row per lane, lane shapes in lane order, every lane as wide as the fullest one; the
  // shapes without a cell next to what they belong to.
  std::size_t columns = 1;
  for (const PoolInfo& pool : pools) {
    for (const LaneInfo& lane : pool.lanes) {
      std::size_t cells = 0;
      for (const NodeInfo* node : lane.nodes) {
        if (node->role == NodeRole::FLOW || node->role == NodeRole::DATA) ++cells;
      }
      columns = std::max(columns, cells);
    }
  }
  const double lane_height = 2 * Configs::LANE_SHAPE_TOP_MARGIN + Configs::BOX_HEIGHT;
  const double lane_width = Configs::LANE_TEXT_WIDTH + 2 * Configs::LANE_SHAPE_LEFT_MARGIN +
                            static_cast<double>(columns) * Configs::BOX_WIDTH +
                            static_cast<double>(columns - 1) * Configs::HSPACE_BETWEEN_SHAPES;
  double y = Configs::SURFACE_TOP_MARGIN;
  const double x = Configs::SURFACE_LEFT_MARGIN;
  for (PoolInfo& pool : pools) {
    const double lanes_height =
        pool.lanes.empty() ? lane_height : lane_height * static_cast<double>(pool.lanes.size());
    pool.box = {x, y, Configs::POOL_TEXT_WIDTH + lane_width, lanes_height};
    if (pool.band != nullptr) pool.band->box = pool.box;
    double lane_y = y;
    for (LaneInfo& lane : pool.lanes) {
      lane.box = {x + Configs::POOL_TEXT_WIDTH, lane_y, lane_width, lane_height};
      double cell_x = lane.box.x + Configs::LANE_TEXT_WIDTH + Configs::LANE_SHAPE_LEFT_MARGIN;
      for (NodeInfo* node : lane.nodes) {
        if (node->role != NodeRole::FLOW && node->role != NodeRole::DATA) continue;
        node->box =
            fallback_shape_box(*node->shape, cell_x, lane_y + Configs::LANE_SHAPE_TOP_MARGIN);
        node->label_box.reset();
        if (has_outside_label(*node->shape) && !node->shape->name.empty()) {
          node->label_box = outside_label(node->box);
        }
        cell_x += Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES;
      }
      lane_y += lane_height;
    }
    y += lanes_height + Configs::VSPACE_BETWEEN_POOLS;
  }
  place_fallback_attached();
  for (FlowInfo& flow : flows) {
    flow.waypoints = fallback_route(flow.source->box, flow.target->box);
    flow.label_box.reset();
    if (!flow.label.empty()) {
      const Point& a = flow.waypoints[flow.waypoints.size() / 2 - (flow.waypoints.size() > 2)];
      const Point& b = flow.waypoints[flow.waypoints.size() / 2];
      const double width = 7.0 * static_cast<double>(std::min<std::size_t>(flow.label.size(), 30));
      flow.label_box = Box{(a.x + b.x) / 2 + 4, (a.y + b.y) / 2 - 18, width, 14};
    }
  }
}

void DiagramModel::place_fallback_attached() {
  for (NodeInfo& node : nodes) {
    switch (node.role) {
      case NodeRole::BOUNDARY: {
        const auto* event = dynamic_cast<const Event*>(node.shape);
        const NodeInfo* host = event != nullptr ? find(event->boundary_of()) : nullptr;
        if (host == nullptr) break;
        node.box = {host->box.right() - 40, host->box.bottom() - 18, 36, 36};
        node.label_box.reset();
        if (!node.shape->name.empty())
          node.label_box = Box{node.box.right(), host->box.bottom() + 2, 100, 28};
        break;
      }
      case NodeRole::ANNOTATION: {
        const auto* note = dynamic_cast<const TextAnnotation*>(node.shape);
        const NodeInfo* anchor = note != nullptr ? find(note->annotated()) : nullptr;
        if (anchor == nullptr) break;
        node.box = {anchor->box.right() + 14, anchor->box.y - 40, 120, 30};
        break;
      }
      case NodeRole::GROUP: {
        const auto* group = dynamic_cast<const Group*>(node.shape);
        std::optional<Box> around;
        for (const Shape* member : group != nullptr ? group->members : std::vector<Shape*>{}) {
          const NodeInfo* m = find(member);
          if (m == nullptr) continue;
          const Box b = m->box;
          around = around ? Box{std::min(around->x, b.x), std::min(around->y, b.y),
                                std::max(around->right(), b.right()) - std::min(around->x, b.x),
                                std::max(around->bottom(), b.bottom()) - std::min(around->y, b.y)}
                          : b;
        }
        if (around)
          node.box = {around->x - 10, around->y - 24, around->width + 20, around->height + 34};
        break;
      }
      default:
        break;
    }
  }
}

std::string xml_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto emit = [&out](char32_t cp) {
    const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
    if (!allowed) return;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (c < 0x80) {
      length = 1;
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2;
      cp = c & 0x1F;
      minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      cp = c & 0x0F;
      minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      cp = c & 0x07;
      minimum = 0x10000;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
      } else {
        cp = (cp << 6) | (next & 0x3F);
      }
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    if (valid && (cp < minimum || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) valid = false;
    if (valid) {
      emit(cp);
      i += length;
    } else {
      emit(0xFFFD);
      i += 1;
    }
  }
  return out;
}

std::string hex_or_empty(const std::string& colour) {
  if (colour.empty()) return {};
  try {
    return hex_colour(parse_colour(colour));
  } catch (const std::invalid_argument&) {
    return {};
  }
}

std::string format_number(double value) {
  if (!std::isfinite(value)) return "0";
  const double rounded = std::round(value * 100) / 100;
  if (rounded == std::floor(rounded) && std::fabs(rounded) < 1e15) {
    return fmt::format("{}", static_cast<long long>(rounded));
  }
  std::string text = fmt::format("{:.2f}", rounded);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

}  // namespace orvane::export_detail
