// Generated process diagrams that look like the ones people model: one or more pools with
// lanes, a flow from a start event through tasks, gateways whose branches join again, loops
// back, intermediate events, data objects and stores, message flows between pools and to
// black-box pools, short and long names. The same seed always gives the same diagram.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/swimboard.hpp"

namespace orvane::bench {

struct CorpusShape {
  std::string id;
  std::string name;
  std::string type;  // the description format's type word ("task", "exclusive", ...)
  int pool = 0;
  int lane = 0;
  /// For a boundary event ("timer_boundary", ...): the activity it sits on.
  std::string attached_to;
  bool interrupting = true;
};

/// A text annotation on a shape, and a group around shapes.
struct CorpusNote {
  std::string id;
  std::string text;
  std::string on;
};
struct CorpusGroup {
  std::string id;
  std::string name;
  std::vector<std::string> members;
};

struct CorpusConnection {
  std::string from;
  std::string to;
  std::string label;
  bool is_default = false;
};

struct CorpusLane {
  std::string name;
};

struct CorpusPool {
  std::string name;
  std::vector<CorpusLane> lanes;
  /// A black-box pool (a party whose process is not shown) has no lanes and is known by `id`,
  /// which message flows name as their end.
  bool black_box = false;
  std::string id;
};

struct CorpusDiagram {
  std::string title;
  std::vector<CorpusPool> pools;
  std::vector<CorpusShape> shapes;
  std::vector<CorpusConnection> connections;
  std::vector<CorpusNote> notes;
  std::vector<CorpusGroup> groups;
};

/// What a generated diagram may hold; the defaults are the corpus of the route-quality report.
struct CorpusOptions {
  int min_shapes = 5;
  int max_shapes = 300;
  int max_pools = 6;
  int max_lanes = 5;
  /// Also the notation real models carry round the flow: boundary events with their handling
  /// tasks, text annotations, groups and default flows out of decisions. Drawn from a stream of their own, so each seed's
  /// diagram is the one without them, with them added.
  bool notation = false;
};

/// The diagram of `seed`: its size drawn between the options' bounds (towards small ones, as
/// real models are), or exactly about `shapes` shapes when that is positive.
CorpusDiagram generate_diagram(std::uint32_t seed, const CorpusOptions& options = {},
                               int shapes = 0);

/// The diagram as a description file for the `orvane` command.
std::string to_description(const CorpusDiagram& diagram);

/// Adds the diagram's pools, lanes, shapes and connections to `board`.
void build_board(const CorpusDiagram& diagram, Swimboard& board);

}  // namespace orvane::bench
