// What both exporters need from a diagram, worked out once: unique XML ids (the description's
// own where it gave one), the geometry of every pool, lane, shape and connection (drawn or a
// fallback), and how each connection is written (sequence flow, message flow, data association
// or association).
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orvane/coordinate.hpp"

namespace orvane {

class Lane;
class Pool;
class Shape;
struct Connection;

namespace export_detail {

/// Hands out ids that are valid XML ids (NCName) and unique within one document.
class IdRegistry {
 public:
  /// `wanted` made id-safe, or `fallback` when nothing usable is left; a taken id gets a
  /// numeric suffix.
  std::string take(std::string_view wanted, std::string_view fallback);
  /// Marks `id` as taken, as it is.
  void reserve(const std::string& id);

 private:
  std::set<std::string> used_;
};

/// Whether `id` is one the library generated (Helper::get_uuid's "prefix_<16 hex digits>")
/// rather than one a caller or a description chose.
bool is_generated_id(std::string_view id);

/// What a node is in BPMN terms, beyond its shape's kind.
enum class NodeRole {
  FLOW,         ///< a flow node in a lane (events, activities, gateways, terminators)
  BOUNDARY,     ///< a boundary event on an activity
  DATA,         ///< a data object, input, output or store
  ANNOTATION,   ///< a text annotation
  GROUP,        ///< a group
  PARTICIPANT,  ///< the band of a black-box pool
};

struct NodeInfo {
  const Shape* shape = nullptr;
  NodeRole role = NodeRole::FLOW;
  std::size_t pool_index = 0;
  std::string id;
  Box box;
  /// Where the name is written outside the shape (events, gateways, data), when it has one.
  std::optional<Box> label_box;
  /// Sequence flows in and out, in document order (ids filled once flows are known).
  std::vector<std::string> incoming;
  std::vector<std::string> outgoing;
  /// The id of the shape's default flow, when it has one.
  std::string default_flow;
};

enum class FlowKind {
  SEQUENCE,     ///< inside one pool, between flow nodes
  MESSAGE,      ///< between two pools
  DATA_INPUT,   ///< data shape into an activity of the same pool
  DATA_OUTPUT,  ///< activity into a data shape of the same pool
  ASSOCIATION,  ///< any other link involving a data shape, an annotation, or marked as one
};

struct FlowInfo {
  const Connection* connection = nullptr;
  const NodeInfo* source = nullptr;
  const NodeInfo* target = nullptr;
  FlowKind kind = FlowKind::SEQUENCE;
  std::string id;
  std::string label;
  std::vector<Point> waypoints;
  std::optional<Box> label_box;
  /// Whether both ends lie in the same pool (associations are kept in that pool's process).
  bool same_pool = true;
};

struct LaneInfo {
  const Lane* lane = nullptr;
  std::string id;
  Box box;
  std::vector<NodeInfo*> nodes;
};

struct PoolInfo {
  const Pool* pool = nullptr;
  std::string participant_id;
  /// Empty for a black-box pool, which has no process.
  std::string process_id;
  Box box;
  std::vector<LaneInfo> lanes;
  /// The band of a black-box pool.
  NodeInfo* band = nullptr;
};

/// How a model names what it exports.
struct ModelIds {
  /// Ids already taken in the document.
  IdRegistry registry;
  /// Keeps every id the diagram gives exactly as it is, generated-looking or not: the ids of a
  /// document written back are the document's own.
  bool verbatim = false;
};

/// The exported view of a diagram.
class DiagramModel {
 public:
  explicit DiagramModel(const std::vector<std::unique_ptr<Pool>>& pools, ModelIds naming = {});

  /// Whether the geometry is the drawn one (false: the fallback layout).
  bool drawn = false;
  std::string definitions_id;
  std::string collaboration_id;
  std::vector<PoolInfo> pools;
  std::deque<NodeInfo> nodes;
  std::vector<FlowInfo> flows;
  /// Reserves further unique ids for derived elements (DI, definitions, properties).
  IdRegistry ids;
  /// Eight hex digits that tell this diagram apart in every id generated for it.
  std::string key;

  const NodeInfo* find(const Shape* shape) const;
  /// A new id for something the diagram does not name: "<prefix>_<key>_<n>".
  std::string generated(std::string_view prefix);

 private:
  void collect(const std::vector<std::unique_ptr<Pool>>& pools);
  NodeInfo& add_node(const Shape* shape, NodeRole role, std::size_t pool_index);
  void collect_flows();
  void assign_ids(bool verbatim);
  void apply_fallback_layout();
  void place_fallback_attached();
  std::unordered_map<const Shape*, NodeInfo*> by_shape_;
  std::unordered_map<std::string, int> counters_;
};

/// Text made storable in XML 1.0: invalid UTF-8 becomes U+FFFD, characters XML cannot hold
/// (most control characters) are dropped. Everything else is kept as it is.
std::string xml_text(std::string_view text);

/// A coordinate as written in documents: integral values without a fraction, otherwise at most
/// two decimals.
std::string format_number(double value);
/// A style colour as "#rrggbb", or "" when it is empty or no colour the painters can read.
std::string hex_or_empty(const std::string& colour);

}  // namespace export_detail
}  // namespace orvane
