// Reads a BPMN 2.0 document into diagram descriptions. Pools come from the collaboration's
// participants (a participant without a process is a black box) or from the processes; lanes
// from the lane sets, nested lanes flattened into "Parent / Child"; flow nodes become shapes of
// their kind in their lane, in the order the file's diagram shows them (left to right, then top
// to bottom) or else in document order. A sub-process is drawn collapsed, its contents become a
// diagram of their own. Every id is the file's.
#include "orvane/bpmn_reader.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "../export/xml_names.hpp"
#include "orvane/helper.hpp"
#include "orvane/theme.hpp"
#include "xml_file.hpp"

namespace orvane {
namespace {

constexpr std::string_view MODEL = "http://www.omg.org/spec/BPMN/20100524/MODEL";
constexpr std::string_view BPMNDI = "http://www.omg.org/spec/BPMN/20100524/DI";
constexpr std::string_view DC = "http://www.omg.org/spec/DD/20100524/DC";
// Colours in the diagram interchange: the BPMN in Color extension, and bpmn.io's older one.
constexpr std::string_view COLOR = "http://www.omg.org/spec/BPMN/non-normative/color/1.0";
constexpr std::string_view BIOC = "http://bpmn.io/schema/bpmn/biocolor/1.0";

/// Deepest nesting of sub-processes and of lanes the reader follows.
constexpr int MAX_NESTING = 64;

struct Bounds {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double centre_x() const { return x + width / 2; }
  double centre_y() const { return y + height / 2; }
  bool contains(double px, double py) const {
    return px >= x && px <= x + width && py >= y && py <= y + height;
  }
};

// What the file's diagram interchange says about an element (the first diagram drawing it).
struct Drawn {
  Bounds bounds;
  bool horizontal = true;
  bool marker_hidden = false;
  // The colours it is filled and named in ("" where the file sets none, or none we can draw).
  std::string fill;
  std::string text;
};

// A colour attribute of the diagram interchange, in the first of the two extensions that sets
// one we can draw.
std::string colour_of(pugi::xml_node element, std::string_view color_name,
                      std::string_view bioc_name) {
  for (const auto& [uri, local] : {std::pair{COLOR, color_name}, std::pair{BIOC, bioc_name}}) {
    if (local.empty()) continue;
    const pugi::xml_attribute a = xml_names::attribute_of(element, uri, local);
    if (!a) continue;
    std::string value = a.value();
    value.erase(0, value.find_first_not_of(" \t\r\n"));
    value.erase(value.find_last_not_of(" \t\r\n") + 1);
    try {
      parse_colour(value);
      return value;
    } catch (const std::invalid_argument&) {
      // Not a colour the painters know (an rgb() form, say): the theme's instead.
    }
  }
  return {};
}

std::string quote(std::string_view text) {
  return Helper::quoted(Helper::char_prefix(text, 80));
}

// Names as drawn: line breaks in one form, surrounding blanks dropped.
std::string clean_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  const std::size_t first = out.find_first_not_of(" \t\n");
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of(" \t\n") - first + 1);
}

bool attribute_true(pugi::xml_node element, const char* name, bool fallback) {
  pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) return fallback;
  std::string_view value = attribute.value();
  return value == "true" || value == "1";
}

const std::map<std::string_view, EventTrigger, std::less<>>& trigger_definitions() {
  static const std::map<std::string_view, EventTrigger, std::less<>> definitions = {
      {"messageEventDefinition", EventTrigger::MESSAGE},
      {"timerEventDefinition", EventTrigger::TIMER},
      {"signalEventDefinition", EventTrigger::SIGNAL},
      {"conditionalEventDefinition", EventTrigger::CONDITIONAL},
      {"linkEventDefinition", EventTrigger::LINK},
      {"errorEventDefinition", EventTrigger::ERROR},
      {"escalationEventDefinition", EventTrigger::ESCALATION},
      {"compensateEventDefinition", EventTrigger::COMPENSATION},
      {"cancelEventDefinition", EventTrigger::CANCEL},
      {"terminateEventDefinition", EventTrigger::TERMINATE},
  };
  return definitions;
}

// The type word of each flow node that is not an event, by element name.
const std::map<std::string_view, std::string_view, std::less<>>& node_words() {
  static const std::map<std::string_view, std::string_view, std::less<>> words = {
      {"task", "task"},
      {"userTask", "user_task"},
      {"serviceTask", "service_task"},
      {"sendTask", "send_task"},
      {"receiveTask", "receive_task"},
      {"scriptTask", "script_task"},
      {"manualTask", "manual_task"},
      {"businessRuleTask", "business_rule_task"},
      {"subProcess", "subprocess"},
      {"adHocSubProcess", "subprocess"},
      {"transaction", "transaction"},
      {"callActivity", "call_activity"},
      {"exclusiveGateway", "exclusive"},
      {"parallelGateway", "parallel"},
      {"inclusiveGateway", "inclusive"},
      {"eventBasedGateway", "event_based"},
      {"complexGateway", "complex"},
      {"dataObjectReference", "data_object"},
      {"dataStoreReference", "data_store"},
  };
  return words;
}

// Where each event element stands: the suffix of its type words.
const std::map<std::string_view, std::string_view, std::less<>>& event_suffixes() {
  static const std::map<std::string_view, std::string_view, std::less<>> suffixes = {
      {"startEvent", "start"},
      {"endEvent", "end"},
      {"intermediateCatchEvent", "catch"},
      {"intermediateThrowEvent", "throw"},
      {"implicitThrowEvent", "throw"},
      {"boundaryEvent", "boundary"},
  };
  return suffixes;
}

bool is_subprocess_element(std::string_view name) {
  return name == "subProcess" || name == "adHocSubProcess" || name == "transaction";
}

// One diagram being filled: the main one or a sub-process's.
struct Target {
  DiagramDescription* diagram = nullptr;
  int index = 0;
};

// A shape placed in a diagram.
struct Placed {
  int diagram = 0;
  pugi::xml_node element;
  bool activity = false;
  bool boundary = false;
  /// The collapsed sub-process standing for this element in the main diagram, for elements
  /// inside sub-processes (message flows end there).
  std::string in_main;
};

// A lane as drawn: a leaf of the lane tree.
struct LeafLane {
  std::string id;
  std::string name;
  SourceMark mark;
  std::optional<Bounds> bounds;
  std::vector<std::string> refs;
};

class BpmnReader {
 public:
  BpmnReader(std::string_view text, const std::string& source) : text_(text), xml_(text, source) {}

  BpmnReading run() {
    pugi::xml_node root = xml_.root();
    if (!xml_.is(root, MODEL, "definitions")) {
      const std::string_view uri = xml_.namespace_of(root);
      xml_.fail(root, fmt::format("not a BPMN 2.0 document: the root element is {}{}; expected "
                                  "'definitions' in namespace {}",
                                  quote(XmlFile::local_name(root)),
                                  uri.empty() ? std::string(" (no namespace)")
                                              : fmt::format(" in namespace {}", quote(uri)),
                                  MODEL));
    }
    index(root);

    BpmnReading reading;
    reading.diagram.source = xml_.source();
    pugi::xml_node collaboration = choose_collaboration(root);
    reading.diagram.title = clean_text(root.attribute("name").value());
    if (reading.diagram.title.empty() && collaboration) {
      reading.diagram.title = clean_text(collaboration.attribute("name").value());
    }
    if (reading.diagram.title.empty()) {
      reading.diagram.title = std::filesystem::path(xml_.source()).stem().string();
    }
    reading_ = &reading;
    Target main{&reading.diagram, 0};

    // Each process shown with its contents, and the pool showing it.
    std::unordered_map<std::string, std::string> shown_processes;
    if (collaboration) {
      std::vector<pugi::xml_node> participants = children(collaboration, "participant");
      sort_by_drawing(participants, true);
      for (pugi::xml_node participant : participants) {
        read_participant(participant, main, shown_processes);
      }
    }
    for (pugi::xml_node process : children(root, "process")) {
      const std::string id = process.attribute("id").value();
      if (shown_processes.count(id) != 0 || !has_flow_elements(process)) continue;
      if (first_process_id_.empty()) first_process_id_ = id;
      PoolDescription pool;
      // A process drawn without a pool has no name for one in most tools: its header stays
      // blank, as a participant's without a name does, rather than showing a generated id.
      pool.name = clean_text(process.attribute("name").value());
      pool.id = made_up_id(id + "_pool");
      pool.mark = xml_.mark(process);
      reading.diagram.pools.push_back(std::move(pool));
      read_container(process, main, static_cast<int>(reading.diagram.pools.size()) - 1, 0);
    }
    if (reading.diagram.pools.empty()) {
      xml_.fail(root, "the document holds no process and no participant to draw");
    }
    read_data_associations_across(main);
    if (collaboration) {
      read_message_flows(collaboration, main);
      read_artifacts(collaboration, main);
    }
    read_groups(main);
    // Sub-process diagrams in document order, whatever order their shapes were drawn in. The
    // place of each sub-process is kept as it is read: one without an id has no entry by id.
    std::vector<std::size_t> order(reading.subdiagrams.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return subdiagram_offsets_[a] < subdiagram_offsets_[b];
    });
    std::vector<BpmnReading::Subdiagram> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order) sorted.push_back(std::move(reading.subdiagrams[i]));
    reading.subdiagrams = std::move(sorted);

    reading.diagram.collaboration_id = collaboration ? collaboration.attribute("id").value() : "";
    auto source = std::make_shared<BpmnSource>();
    source->text = std::string(text_);
    source->plane_element =
        collaboration ? collaboration.attribute("id").value() : std::string(first_process_id_);
    reading.source = std::move(source);
    return reading;
  }

 private:
  // ---- the document's elements and diagram interchange ----

  // Every BPMN element by id, and the first diagram shape or edge drawing each. Walks the tree
  // without recursion, so deeply nested extension elements cost no stack.
  void index(pugi::xml_node root) {
    std::vector<pugi::xml_node> stack{root};
    while (!stack.empty()) {
      pugi::xml_node node = stack.back();
      stack.pop_back();
      if (xml_.is(node, BPMNDI, "BPMNDiagram")) {
        index_diagram(node);
        continue;
      }
      if (pugi::xml_attribute id = node.attribute("id")) {
        if (xml_.namespace_of(node) == MODEL) {
          auto [at, added] = elements_.emplace(id.value(), node);
          if (!added) {
            const SourceMark first = xml_.mark(at->second);
            xml_.fail(node, fmt::format("duplicate id {} (first used at line {}, column {})",
                                        quote(id.value()), first.line, first.column));
          }
        }
      }
      // Children in reverse, so that elements are met in document order.
      std::vector<pugi::xml_node> children;
      for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element) children.push_back(child);
      }
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
  }

  void index_diagram(pugi::xml_node diagram) {
    for (pugi::xml_node plane : diagram.children()) {
      if (!xml_.is(plane, BPMNDI, "BPMNPlane")) continue;
      if (plane_element_.empty()) plane_element_ = plane.attribute("bpmnElement").value();
      for (pugi::xml_node shape : plane.children()) {
        if (!xml_.is(shape, BPMNDI, "BPMNShape")) continue;
        const std::string element = shape.attribute("bpmnElement").value();
        if (element.empty() || drawn_.count(element) != 0) continue;
        pugi::xml_node bounds;
        for (pugi::xml_node child : shape.children()) {
          if (xml_.is(child, DC, "Bounds")) bounds = child;
        }
        if (!bounds) continue;
        Drawn drawn;
        drawn.bounds = {bounds.attribute("x").as_double(), bounds.attribute("y").as_double(),
                        bounds.attribute("width").as_double(),
                        bounds.attribute("height").as_double()};
        if (!std::isfinite(drawn.bounds.x) || !std::isfinite(drawn.bounds.y) ||
            !std::isfinite(drawn.bounds.width) || !std::isfinite(drawn.bounds.height)) {
          continue;
        }
        drawn.horizontal = attribute_true(shape, "isHorizontal", true);
        drawn.marker_hidden = !attribute_true(shape, "isMarkerVisible", true);
        // The fill and the name's colour; outlines keep the theme's, since every line leaving
        // a shape is drawn in its outline colour, and modellers' pale outlines (a gateway's
        // yellow) would make those lines hard to see.
        drawn.fill = colour_of(shape, "background-color", "fill");
        for (pugi::xml_node child : shape.children()) {
          if (xml_.is(child, BPMNDI, "BPMNLabel")) drawn.text = colour_of(child, "color", "");
        }
        // Without a label colour, modellers write the name in the outline's colour.
        if (drawn.text.empty()) drawn.text = colour_of(shape, "border-color", "stroke");
        drawn_.emplace(element, drawn);
      }
    }
  }

  const Drawn* drawn(const std::string& id) const {
    auto it = drawn_.find(id);
    return it == drawn_.end() ? nullptr : &it->second;
  }

  // The collaboration the first diagram shows, or else the first one.
  pugi::xml_node choose_collaboration(pugi::xml_node root) const {
    pugi::xml_node first;
    for (pugi::xml_node collaboration : children(root, "collaboration")) {
      if (!first) first = collaboration;
      if (plane_element_ == collaboration.attribute("id").value()) return collaboration;
    }
    return first;
  }

  std::vector<pugi::xml_node> children(pugi::xml_node parent, std::string_view local) const {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : parent.children()) {
      if (xml_.is(child, MODEL, local)) out.push_back(child);
    }
    return out;
  }

  // Elements in the order the diagram draws them: bands top to bottom (left to right when
  // vertical), shapes left to right, then top to bottom. When the diagram leaves one of them
  // out, all keep document order.
  void sort_by_drawing(std::vector<pugi::xml_node>& elements, bool bands) const {
    const bool all_drawn = std::all_of(elements.begin(), elements.end(), [&](pugi::xml_node e) {
      return drawn(e.attribute("id").value()) != nullptr;
    });
    if (!all_drawn) return;
    std::stable_sort(elements.begin(), elements.end(), [&](pugi::xml_node a, pugi::xml_node b) {
      const Drawn* da = drawn(a.attribute("id").value());
      const Drawn* db = drawn(b.attribute("id").value());
      if (bands) {
        if (da->horizontal) return da->bounds.y < db->bounds.y;
        return da->bounds.x < db->bounds.x;
      }
      if (da->bounds.centre_x() != db->bounds.centre_x()) {
        return da->bounds.centre_x() < db->bounds.centre_x();
      }
      return da->bounds.centre_y() < db->bounds.centre_y();
    });
  }

  // The element a reference names, or a refusal at `at` naming the reference.
  pugi::xml_node resolve(pugi::xml_node at, const std::string& what, std::string_view id) const {
    auto it = elements_.find(std::string(id));
    if (it == elements_.end()) {
      xml_.fail(at,
                fmt::format("{} names {}, which the document does not define", what, quote(id)));
    }
    return it->second;
  }

  std::string made_up_id(const std::string& wanted) {
    std::string id = wanted;
    for (int n = 2; elements_.count(id) != 0 || made_up_.count(id) != 0; ++n) {
      id = fmt::format("{}_{}", wanted, n);
    }
    made_up_.insert(id);
    return id;
  }

  std::string what_is(pugi::xml_node element) const {
    return fmt::format("{} {}", XmlFile::local_name(element),
                       quote(element.attribute("id").value()));
  }

  bool has_flow_elements(pugi::xml_node container) const {
    for (pugi::xml_node child : container.children()) {
      if (xml_.namespace_of(child) != MODEL) continue;
      const std::string_view name = XmlFile::local_name(child);
      if (node_words().count(name) != 0 || event_suffixes().count(name) != 0 || name == "laneSet" ||
          name == "sequenceFlow") {
        return true;
      }
    }
    return false;
  }

  // ---- pools ----

  void read_participant(pugi::xml_node participant, Target& main,
                        std::unordered_map<std::string, std::string>& shown_processes) {
    PoolDescription pool;
    pool.id = participant.attribute("id").value();
    pool.name = clean_text(participant.attribute("name").value());
    pool.mark = xml_.mark(participant);
    if (const Drawn* d = drawn(pool.id)) {
      pool.fill_colour = d->fill;
      pool.font_colour = d->text;
    }
    pugi::xml_node process;
    if (pugi::xml_attribute ref = participant.attribute("processRef")) {
      process =
          resolve(participant, "the processRef of participant " + quote(pool.id), ref.value());
      if (!xml_.is(process, MODEL, "process")) {
        xml_.fail(participant,
                  fmt::format("participant {} names {} as its process, which is a {}",
                              quote(pool.id), quote(ref.value()), XmlFile::local_name(process)));
      }
      if (pool.name.empty()) pool.name = clean_text(process.attribute("name").value());
    }
    // A participant whose process is shown elsewhere, or holds nothing, is drawn as a band.
    const std::string process_id = process ? process.attribute("id").value() : "";
    const auto shown = shown_processes.find(process_id);
    if (process && shown != shown_processes.end()) {
      reading_->not_drawn.push_back(
          {pool.mark,
           fmt::format("the process {} of participant {} is not drawn there: pool {} "
                       "shows it; {} is drawn as a band",
                       quote(process_id), quote(pool.id), quote(shown->second), quote(pool.id))});
    }
    if (!process || shown != shown_processes.end() || !has_flow_elements(process)) {
      pool.black_box = true;
      if (pool.name.empty()) pool.name = pool.id;
      black_boxes_.insert(pool.id);
      main.diagram->pools.push_back(std::move(pool));
      return;
    }
    shown_processes.emplace(process_id, pool.id);
    shown_pools_.insert(pool.id);
    if (first_process_id_.empty()) first_process_id_ = process_id;
    main.diagram->pools.push_back(std::move(pool));
    read_container(process, main, static_cast<int>(main.diagram->pools.size()) - 1, 0);
  }

  // ---- lanes ----

  // The leaves of a lane tree, in drawing order, their names joined with their parents'.
  void collect_leaves(pugi::xml_node lane_set, const std::string& prefix,
                      std::vector<LeafLane>& leaves, int depth = 0) {
    if (depth > MAX_NESTING) {
      xml_.fail(lane_set, fmt::format("lanes nested deeper than {} levels", MAX_NESTING));
    }
    std::vector<pugi::xml_node> lanes = children(lane_set, "lane");
    sort_by_drawing(lanes, true);
    for (pugi::xml_node lane : lanes) {
      const std::string name = clean_text(lane.attribute("name").value());
      const std::string full = prefix.empty() ? name : prefix + " / " + name;
      std::vector<std::string> refs;
      for (pugi::xml_node ref : children(lane, "flowNodeRef")) {
        std::string id = clean_text(ref.text().get());
        resolve(ref, "a flowNodeRef of lane " + quote(lane.attribute("id").value()), id);
        refs.push_back(std::move(id));
      }
      const std::size_t before = leaves.size();
      for (pugi::xml_node child_set : children(lane, "childLaneSet")) {
        collect_leaves(child_set, full, leaves, depth + 1);
      }
      if (leaves.size() == before) {
        LeafLane leaf;
        leaf.id = lane.attribute("id").value();
        leaf.name = full;
        leaf.mark = xml_.mark(lane);
        if (const Drawn* d = drawn(leaf.id)) leaf.bounds = d->bounds;
        leaf.refs = std::move(refs);
        leaves.push_back(std::move(leaf));
      } else {
        // A node a parent lane names but none of its children goes to the parent's first leaf.
        std::unordered_set<std::string> named;
        for (std::size_t l = before; l < leaves.size(); ++l) {
          named.insert(leaves[l].refs.begin(), leaves[l].refs.end());
        }
        for (std::string& ref : refs) {
          if (named.count(ref) == 0) leaves[before].refs.push_back(std::move(ref));
        }
      }
    }
  }

  // ---- contents of a process or sub-process ----

  // Fills pool `pool_index` of `target` with the flow elements of `container`.
  void read_container(pugi::xml_node container, Target target, int pool_index, int depth) {
    if (depth > MAX_NESTING) {
      xml_.fail(container, fmt::format("sub-processes nested deeper than {} levels", MAX_NESTING));
    }
    DiagramDescription& diagram = *target.diagram;
    std::vector<LeafLane> leaves;
    for (pugi::xml_node lane_set : children(container, "laneSet")) {
      collect_leaves(lane_set, "", leaves);
    }

    // Flow nodes and drawn data elements, in document order.
    std::vector<pugi::xml_node> nodes;
    for (pugi::xml_node child : container.children()) {
      if (xml_.namespace_of(child) != MODEL) continue;
      const std::string_view name = XmlFile::local_name(child);
      const std::string id = child.attribute("id").value();
      if (node_words().count(name) != 0 || event_suffixes().count(name) != 0) {
        nodes.push_back(child);
      } else if (name == "dataObject" && drawn(id) != nullptr) {
        nodes.push_back(child);
      } else if (name == "ioSpecification") {
        for (pugi::xml_node data : child.children()) {
          const std::string_view data_name = XmlFile::local_name(data);
          if ((data_name == "dataInput" || data_name == "dataOutput") &&
              drawn(data.attribute("id").value()) != nullptr) {
            nodes.push_back(data);
          }
        }
      }
    }

    // Each node's lane: the lane that names it, for data the lane drawn around it.
    std::unordered_map<std::string, std::size_t> lane_of;
    for (std::size_t l = 0; l < leaves.size(); ++l) {
      for (const std::string& ref : leaves[l].refs) lane_of.emplace(ref, l);
    }
    const std::size_t unlaned = leaves.size();
    std::vector<std::vector<pugi::xml_node>> in_lane(leaves.size() + 1);
    std::vector<pugi::xml_node> boundary_events;
    std::vector<pugi::xml_node> data_nodes;
    for (pugi::xml_node node : nodes) {
      const std::string id = node.attribute("id").value();
      const std::string_view name = XmlFile::local_name(node);
      if (name == "boundaryEvent") {
        boundary_events.push_back(node);
      } else if (auto it = lane_of.find(id); it != lane_of.end()) {
        in_lane[it->second].push_back(node);
      } else if (name.substr(0, 4) == "data") {
        data_nodes.push_back(node);
      } else {
        in_lane[unlaned].push_back(node);
      }
    }
    const std::unordered_map<std::string, std::size_t> linked =
        data_lanes_by_link(container, lane_of);
    for (pugi::xml_node data : data_nodes) {
      in_lane[data_lane(data, leaves, linked)].push_back(data);
    }

    PoolDescription& pool = diagram.pools[static_cast<std::size_t>(pool_index)];
    for (std::size_t l = 0; l <= leaves.size(); ++l) {
      if (l == unlaned && (in_lane[l].empty() && !leaves.empty())) continue;
      LaneDescription lane;
      if (l < leaves.size()) {
        lane.id = leaves[l].id;
        lane.name = leaves[l].name;
        lane.mark = leaves[l].mark;
        // A coloured lane is coloured all over, its name strip too.
        if (const Drawn* d = drawn(lane.id)) {
          lane.fill_colour = lane.background_fill_colour = d->fill;
          lane.font_colour = d->text;
        }
      } else {
        // Nodes in no lane: a lane named like the pool.
        lane.id = made_up_id(pool.id + "_lane");
        lane.name = pool.name;
        lane.mark = pool.mark;
      }
      sort_by_drawing(in_lane[l], false);
      for (pugi::xml_node node : in_lane[l]) {
        lane.shapes.push_back(shape(node, target, depth));
      }
      pool.lanes.push_back(std::move(lane));
    }
    // Boundary events join the lane of their activity, in the order the file draws them.
    sort_by_drawing(boundary_events, false);
    for (pugi::xml_node event : boundary_events) {
      ShapeDescription made = shape(event, target, depth);
      const Placed& host = placed_.at(made.attached_to);
      for (LaneDescription& lane : pool.lanes) {
        const bool here = std::any_of(lane.shapes.begin(), lane.shapes.end(), [&](const auto& s) {
          return s.id == host.element.attribute("id").value();
        });
        if (here) {
          lane.shapes.push_back(std::move(made));
          break;
        }
      }
    }

    read_sequence_flows(container, target);
    for (pugi::xml_node node : nodes) read_data_associations(node, target);
    read_artifacts(container, target);
  }

  // The lane a data element stands in: the drawn lane holding its centre (or the nearest), the
  // lane of an activity it is linked with (`linked`, see data_lanes_by_link), or the first.
  std::size_t data_lane(pugi::xml_node data, const std::vector<LeafLane>& leaves,
                        const std::unordered_map<std::string, std::size_t>& linked) const {
    if (leaves.empty()) return 0;
    if (const Drawn* d = drawn(data.attribute("id").value())) {
      std::optional<std::size_t> best;
      double best_distance = 0;
      for (std::size_t l = 0; l < leaves.size(); ++l) {
        if (!leaves[l].bounds) continue;
        const Bounds& b = *leaves[l].bounds;
        const double cy = d->bounds.centre_y();
        const double distance = cy < b.y ? b.y - cy : cy > b.y + b.height ? cy - b.y - b.height : 0;
        if (!best || distance < best_distance) {
          best = l;
          best_distance = distance;
        }
      }
      if (best) return *best;
    }
    const auto it = linked.find(data.attribute("id").value());
    return it != linked.end() ? it->second : 0;
  }

  // For each data element named by a data association of an activity of `container` in a lane
  // (or of one inside a sub-process there, whose association is drawn to the sub-process), the
  // lane of the first such activity; one pass over the container.
  static std::unordered_map<std::string, std::size_t> data_lanes_by_link(
      pugi::xml_node container, const std::unordered_map<std::string, std::size_t>& lane_of) {
    std::unordered_map<std::string, std::size_t> out;
    std::vector<pugi::xml_node> open;
    for (pugi::xml_node node : container.children()) {
      const auto lane = lane_of.find(node.attribute("id").value());
      if (node.type() != pugi::node_element || lane == lane_of.end()) continue;
      open.assign(1, node);
      while (!open.empty()) {
        const pugi::xml_node element = open.back();
        open.pop_back();
        for (pugi::xml_node child : element.children()) {
          if (child.type() != pugi::node_element) continue;
          const std::string_view name = XmlFile::local_name(child);
          if (name == "dataInputAssociation" || name == "dataOutputAssociation") {
            for (pugi::xml_node ref : child.children()) {
              out.emplace(clean_text(ref.text().get()), lane->second);
            }
          } else if (element == node || is_subprocess_element(XmlFile::local_name(element))) {
            open.push_back(child);
          }
        }
      }
    }
    return out;
  }

  // ---- shapes ----

  ShapeDescription shape(pugi::xml_node node, Target target, int depth) {
    ShapeDescription out;
    out.id = node.attribute("id").value();
    out.name = clean_text(node.attribute("name").value());
    out.mark = xml_.mark(node);
    if (const Drawn* d = drawn(out.id)) {
      out.fill_colour = d->fill;
      out.font_colour = d->text;
    }
    const std::string_view name = XmlFile::local_name(node);
    Placed placed;
    placed.diagram = target.index;
    placed.element = node;
    placed.in_main = collapsed_in_main_;

    std::string word;
    if (auto it = event_suffixes().find(name); it != event_suffixes().end()) {
      word = event_word(node, it->second, out);
      placed.boundary = out.word != nullptr && out.word->boundary;
    } else if (auto known = node_words().find(name); known != node_words().end()) {
      word = known->second;
      if (name == "subProcess" && attribute_true(node, "triggeredByEvent", false)) {
        word = "event_subprocess";
      }
    } else if (name == "dataInput") {
      word = "data_input";
    } else if (name == "dataOutput") {
      word = "data_output";
    } else {
      word = "data_object";
    }
    if (out.word == nullptr) out.word = find_type_word(word);
    out.type = out.word->type;
    placed.activity = out.type == ElementType::TASK || out.type == ElementType::SUBPROCESS;

    if (placed.activity) {
      out.compensation = attribute_true(node, "isForCompensation", false);
      out.ad_hoc = name == "adHocSubProcess";
      if (!children(node, "standardLoopCharacteristics").empty()) out.loop = LoopType::STANDARD;
      for (pugi::xml_node multi : children(node, "multiInstanceLoopCharacteristics")) {
        out.loop = attribute_true(multi, "isSequential", false) ? LoopType::SEQUENTIAL
                                                                : LoopType::PARALLEL;
      }
    }
    if (out.type == ElementType::EXCLUSIVE) {
      const Drawn* d = drawn(out.id);
      out.hide_marker = d != nullptr && d->marker_hidden;
    }
    if (out.type == ElementType::DATA_OBJECT) {
      pugi::xml_node object = node;
      if (pugi::xml_attribute ref = node.attribute("dataObjectRef")) {
        object = resolve(node, "the dataObjectRef of " + what_is(node), ref.value());
      }
      out.collection = attribute_true(object, "isCollection", false);
    }
    if (out.word->form == SubprocessForm::EVENT) {
      // An event sub-process shows the trigger of the start event that opens it; without one
      // BPMN allows there, it is drawn as a plain sub-process.
      EventUse use;
      use.in_event_subprocess = true;
      for (pugi::xml_node start : children(node, "startEvent")) {
        const EventTrigger trigger = trigger_of(start);
        if (trigger == EventTrigger::NONE || !trigger_allowed(trigger, use)) continue;
        out.trigger = trigger;
        out.interrupting =
            attribute_true(start, "isInterrupting", true) || !may_be_non_interrupting(trigger, use);
        break;
      }
      if (out.trigger == EventTrigger::NONE) {
        out.word = find_type_word("subprocess");
        out.interrupting = true;
      }
    }
    placed_.emplace(out.id, placed);

    if (placed.activity && is_subprocess_element(name) && has_flow_elements(node)) {
      read_subdiagram(node, out, depth);
    }
    return out;
  }

  // What sets an event off: its one event definition, or "multiple" for several.
  EventTrigger trigger_of(pugi::xml_node event) const {
    std::vector<EventTrigger> triggers;
    for (pugi::xml_node child : event.children()) {
      if (xml_.namespace_of(child) != MODEL) continue;
      std::string_view name = XmlFile::local_name(child);
      pugi::xml_node definition = child;
      if (name == "eventDefinitionRef") {
        definition = resolve(child, "the eventDefinitionRef of " + what_is(event),
                             clean_text(child.text().get()));
        name = XmlFile::local_name(definition);
      }
      if (auto it = trigger_definitions().find(name); it != trigger_definitions().end()) {
        triggers.push_back(it->second);
      }
    }
    if (triggers.empty()) return EventTrigger::NONE;
    if (triggers.size() == 1) return triggers.front();
    return attribute_true(event, "parallelMultiple", false) ? EventTrigger::PARALLEL_MULTIPLE
                                                            : EventTrigger::MULTIPLE;
  }

  // The type word of an event: its trigger at its position, the plain event of that position
  // when BPMN does not allow the trigger there.
  std::string event_word(pugi::xml_node event, std::string_view suffix, ShapeDescription& out) {
    const EventTrigger trigger = trigger_of(event);
    const TypeWord* word = nullptr;
    if (trigger != EventTrigger::NONE) {
      word = find_type_word(fmt::format("{}_{}", trigger_name(trigger), suffix));
    }
    if (suffix == "boundary") {
      const std::string host_id = event.attribute("attachedToRef").value();
      pugi::xml_node host = resolve(event, "the attachedToRef of " + what_is(event), host_id);
      const std::string_view host_name = XmlFile::local_name(host);
      if (node_words().count(host_name) == 0 || host_name.find("Gateway") != std::string::npos ||
          host_name.substr(0, 4) == "data" || host.parent() != event.parent()) {
        xml_.fail(event, fmt::format("{} is attached to {}, which is not an activity beside it",
                                     what_is(event), what_is(host)));
      }
      if (word == nullptr) {
        xml_.fail(event, fmt::format("{} has {} trigger, which BPMN does not allow on an "
                                     "activity's border",
                                     what_is(event),
                                     trigger == EventTrigger::NONE
                                         ? std::string("no")
                                         : "a " + std::string(trigger_name(trigger))));
      }
      if (trigger == EventTrigger::CANCEL && XmlFile::local_name(host) != "transaction") {
        xml_.fail(event, fmt::format("{} is a cancel event on {}; a cancel event sits only on a "
                                     "transaction",
                                     what_is(event), what_is(host)));
      }
      out.attached_to = host_id;
      out.attached_mark = xml_.mark(event);
      EventUse use;
      use.position = EventPosition::INTERMEDIATE;
      use.boundary = true;
      out.interrupting =
          attribute_true(event, "cancelActivity", true) || !may_be_non_interrupting(trigger, use);
    } else if (suffix == "start" && word != nullptr) {
      EventUse use;
      out.interrupting =
          attribute_true(event, "isInterrupting", true) || !may_be_non_interrupting(trigger, use);
    }
    if (word == nullptr) {
      word = find_type_word(suffix == "start" ? "start" : suffix == "end" ? "end" : "intermediate");
    }
    out.word = word;
    return word->word;
  }

  // ---- sub-processes ----

  void read_subdiagram(pugi::xml_node subprocess, const ShapeDescription& shape, int depth) {
    BpmnReading::Subdiagram sub;
    sub.element = shape.id;
    sub.diagram.source = xml_.source();
    sub.diagram.title = shape.name.empty() ? shape.id : shape.name;
    PoolDescription pool;
    pool.name = sub.diagram.title;
    pool.id = made_up_id(shape.id + "_pool");
    pool.mark = shape.mark;
    sub.diagram.pools.push_back(std::move(pool));
    // The sub-diagram is appended once filled: nested ones come after it, in document order.
    const std::size_t slot = reading_->subdiagrams.size();
    reading_->subdiagrams.push_back(std::move(sub));
    subdiagram_offsets_.push_back(subprocess.offset_debug());
    auto holder =
        std::make_unique<DiagramDescription>(std::move(reading_->subdiagrams[slot].diagram));
    const std::string outer = collapsed_in_main_;
    if (collapsed_in_main_.empty()) collapsed_in_main_ = shape.id;
    Target target{holder.get(), static_cast<int>(slot) + 1};
    read_container(subprocess, target, 0, depth + 1);
    read_groups(target);
    collapsed_in_main_ = outer;
    reading_->subdiagrams[slot].diagram = std::move(*holder);
  }

  // ---- connections ----

  // The shape an end of a flow names, or nullptr for an element that is not drawn. A name that
  // leads nowhere is refused, and so is one that leads out of every process, except to a
  // participant (the end of a message flow) or, for associations, to anything at all.
  const Placed* end_of(pugi::xml_node flow, const char* attribute, std::string_view id,
                       bool any_element = false) {
    const std::string what = fmt::format("the {} of {}", attribute, what_is(flow));
    pugi::xml_node element = resolve(flow, what, id);
    auto it = placed_.find(std::string(id));
    if (it != placed_.end()) return &it->second;
    if (any_element || xml_.is(element, MODEL, "participant")) return nullptr;
    for (pugi::xml_node up = element.parent(); up.type() == pugi::node_element; up = up.parent()) {
      if (xml_.is(up, MODEL, "process")) return nullptr;
    }
    xml_.fail(flow, fmt::format("{} names {}, a {}, which is in no process", what, quote(id),
                                XmlFile::local_name(element)));
  }

  ConnectionDescription connection(pugi::xml_node flow, const std::string& from,
                                   const std::string& to) const {
    ConnectionDescription c;
    c.id = flow.attribute("id").value();
    c.from = from;
    c.to = to;
    c.label = clean_text(flow.attribute("name").value());
    c.mark = xml_.mark(flow);
    return c;
  }

  void read_sequence_flows(pugi::xml_node container, Target target) {
    for (pugi::xml_node flow : children(container, "sequenceFlow")) {
      const std::string from = flow.attribute("sourceRef").value();
      const std::string to = flow.attribute("targetRef").value();
      const Placed* source = end_of(flow, "sourceRef", from);
      const Placed* sink = end_of(flow, "targetRef", to);
      for (const auto& [end, id] : {std::pair{source, from}, std::pair{sink, to}}) {
        if (end == nullptr || end->element.parent() != container) {
          xml_.fail(flow, fmt::format("{} joins {}, which is not a flow node of {}; a sequence "
                                      "flow stays inside its process or sub-process",
                                      what_is(flow), quote(id), what_is(container)));
        }
      }
      // A flow into a boundary event is not BPMN; the event only starts flows.
      if (sink->boundary) continue;
      ConnectionDescription c = connection(flow, from, to);
      c.is_default = c.id == source->element.attribute("default").value();
      for (pugi::xml_node condition : children(flow, "conditionExpression")) {
        c.condition = clean_text(condition.text().get());
        if (c.condition.empty()) c.condition = "condition";
      }
      if (c.is_default) c.condition.clear();
      add_connection(target, std::move(c));
    }
  }

  void read_data_associations(pugi::xml_node node, Target target) {
    const std::string id = node.attribute("id").value();
    if (placed_.count(id) == 0) return;
    for (pugi::xml_node association : node.children()) {
      const std::string_view name = XmlFile::local_name(association);
      const bool input = name == "dataInputAssociation";
      if ((!input && name != "dataOutputAssociation") || xml_.namespace_of(association) != MODEL) {
        continue;
      }
      bool drawn = false;
      for (pugi::xml_node ref : children(association, input ? "sourceRef" : "targetRef")) {
        const std::string data = clean_text(ref.text().get());
        const Placed* end = end_of(association, input ? "sourceRef" : "targetRef", data);
        if (end == nullptr || end->diagram != target.index) continue;
        add_connection(
            target, input ? connection(association, data, id) : connection(association, id, data));
        drawn = true;
        break;  // the association's id goes to one drawn connection
      }
      // Data on another plane (a store outside a sub-process, read before or after it): looked
      // at again once every shape is placed.
      if (!drawn) pending_data_.push_back({association, id, input});
    }
  }

  // The data associations whose data lies on another plane than their activity. Data in the
  // main diagram linked with an activity inside a collapsed sub-process is drawn to the
  // sub-process, as message flows are; any other is named as not drawn.
  void read_data_associations_across(Target main) {
    for (const PendingData& p : pending_data_) {
      const Placed& node = placed_.at(p.node);
      const char* role = p.input ? "sourceRef" : "targetRef";
      std::string data;
      bool drawn = false;
      for (pugi::xml_node ref : children(p.association, role)) {
        data = clean_text(ref.text().get());
        const Placed* end = end_of(p.association, role, data);
        if (end == nullptr) continue;
        std::string from = data, to = p.node;
        Target target = main;
        if (end->diagram == node.diagram) {
          if (node.diagram > 0) {
            const auto slot = static_cast<std::size_t>(node.diagram - 1);
            target = {&reading_->subdiagrams[slot].diagram, node.diagram};
          }
        } else if (end->diagram == 0 && node.diagram > 0 && !node.in_main.empty()) {
          to = node.in_main;
        } else {
          continue;
        }
        if (!p.input) std::swap(from, to);
        add_connection(target, connection(p.association, from, to));
        drawn = true;
        break;
      }
      if (drawn) continue;
      const std::string id = p.association.attribute("id").value();
      const std::string why =
          data.empty()
              ? fmt::format("it names no data object or store (no {})", role)
              : fmt::format("its data {} is not drawn on a plane that shows both", quote(data));
      reading_->not_drawn.push_back(
          {xml_.mark(p.association), fmt::format("data association {} of {} is not drawn: {}",
                                                 quote(id), quote(p.node), why)});
    }
    pending_data_.clear();
  }

  void read_message_flows(pugi::xml_node collaboration, Target main) {
    for (pugi::xml_node flow : children(collaboration, "messageFlow")) {
      std::string ends[2] = {flow.attribute("sourceRef").value(),
                             flow.attribute("targetRef").value()};
      // Drawn between two flow nodes, or a flow node and a black-box pool; a shown pool's band,
      // data and boundary events (which only start flows in a diagram) are no ends here.
      int flow_nodes = 0;
      std::string why;  // why it cannot be drawn
      for (int e = 0; e < 2 && why.empty(); ++e) {
        const std::string role = e == 0 ? "source" : "target";
        const Placed* end = end_of(flow, e == 0 ? "sourceRef" : "targetRef", ends[e]);
        if (end != nullptr) {
          if (!end->in_main.empty()) {
            ends[e] = end->in_main;
          } else if (XmlFile::local_name(end->element).substr(0, 4) == "data") {
            why = fmt::format("its {} {} is a data object or store", role, quote(ends[e]));
          } else if (e == 1 && end->boundary) {
            why = fmt::format("its target {} is a boundary event, which only starts flows",
                              quote(ends[e]));
          }
          ++flow_nodes;
        } else if (black_boxes_.count(ends[e]) == 0) {
          why = fmt::format("its {} {} is {}", role, quote(ends[e]),
                            shown_pools_.count(ends[e]) != 0
                                ? "a pool shown with its process (not one of its shapes)"
                                : "not drawn");
        }
      }
      if (why.empty() && flow_nodes == 0) why = "both ends are pools drawn as bands";
      if (why.empty()) {
        add_connection(main, connection(flow, ends[0], ends[1]));
      } else {
        reading_->not_drawn.push_back(
            {xml_.mark(flow), fmt::format("message flow {} from {} to {} is not drawn: {}",
                                          quote(flow.attribute("id").value()),
                                          quote(flow.attribute("sourceRef").value()),
                                          quote(flow.attribute("targetRef").value()), why)});
      }
    }
  }

  // Text annotations, associations and groups; groups wait until every shape of the diagram is
  // known, since they gather the shapes drawn inside them.
  void read_artifacts(pugi::xml_node container, Target target) {
    std::unordered_map<std::string, AnnotationDescription*> notes;
    std::vector<AnnotationDescription> made;
    for (pugi::xml_node note : children(container, "textAnnotation")) {
      AnnotationDescription a;
      a.id = note.attribute("id").value();
      for (pugi::xml_node text : children(note, "text")) a.text = clean_text(text.child_value());
      a.mark = xml_.mark(note);
      made.push_back(std::move(a));
    }
    for (auto& a : made) notes.emplace(a.id, &a);
    for (pugi::xml_node association : children(container, "association")) {
      std::string ends[2] = {association.attribute("sourceRef").value(),
                             association.attribute("targetRef").value()};
      const Placed* placed[2] = {nullptr, nullptr};
      for (int e = 0; e < 2; ++e) {
        if (notes.count(ends[e]) != 0) continue;
        placed[e] = end_of(association, e == 0 ? "sourceRef" : "targetRef", ends[e], true);
        // An annotation of a flow is drawn on the flow's source.
        pugi::xml_node element = resolve(association, "association", ends[e]);
        if (placed[e] == nullptr && element.attribute("sourceRef")) {
          const std::string source = element.attribute("sourceRef").value();
          if (auto it = placed_.find(source); it != placed_.end()) {
            placed[e] = &it->second;
            ends[e] = source;
          }
        }
      }
      for (int e = 0; e < 2; ++e) {
        auto note = notes.find(ends[e]);
        if (note == notes.end()) continue;
        const Placed* other = placed[1 - e];
        if (other == nullptr || other->diagram != target.index) continue;
        if (note->second->on.empty()) {
          note->second->on = ends[1 - e];
          note->second->association_id = association.attribute("id").value();
        } else if (note->second->on != ends[1 - e]) {
          reading_->not_drawn.push_back(
              {xml_.mark(association),
               fmt::format("association {} of text annotation {} is not drawn: the annotation "
                           "is drawn beside one shape, {}",
                           quote(association.attribute("id").value()), quote(ends[e]),
                           quote(note->second->on))});
        }
      }
      if (placed[0] != nullptr && placed[1] != nullptr && placed[0]->diagram == target.index &&
          placed[1]->diagram == target.index) {
        ConnectionDescription c = connection(association, ends[0], ends[1]);
        c.association = true;
        const std::string_view direction = association.attribute("associationDirection").value();
        c.direction = direction == "One"    ? AssociationDirection::ONE
                      : direction == "Both" ? AssociationDirection::BOTH
                                            : AssociationDirection::NONE;
        add_connection(target, std::move(c));
      }
    }
    for (auto& a : made) {
      if (a.on.empty()) {
        reading_->not_drawn.push_back(
            {a.mark, fmt::format("text annotation {} is not drawn: no association joins it to "
                                 "a shape drawn with it",
                                 quote(a.id))});
        continue;
      }
      target.diagram->annotations.push_back(std::move(a));
    }
    for (pugi::xml_node group : children(container, "group")) {
      pending_groups_.emplace_back(target.index, group);
    }
  }

  void read_groups(Target target) {
    for (const auto& [index, group] : pending_groups_) {
      if (index == target.index) read_group(group, target);
    }
  }

  void read_group(pugi::xml_node group, Target target) {
    const Drawn* frame = drawn(group.attribute("id").value());
    if (frame == nullptr) {
      reading_->not_drawn.push_back(
          {xml_.mark(group), fmt::format("group {} is not drawn: the file does not draw it",
                                         quote(group.attribute("id").value()))});
      return;
    }
    GroupDescription g;
    g.id = group.attribute("id").value();
    g.mark = xml_.mark(group);
    if (pugi::xml_attribute ref = group.attribute("categoryValueRef")) {
      pugi::xml_node value =
          resolve(group, "the categoryValueRef of " + what_is(group), ref.value());
      g.name = clean_text(value.attribute("value").value());
    }
    auto gather = [&](const std::vector<LaneDescription>& lanes) {
      for (const LaneDescription& lane : lanes) {
        for (const ShapeDescription& s : lane.shapes) {
          const Drawn* d = drawn(s.id);
          if (d != nullptr && frame->bounds.contains(d->bounds.centre_x(), d->bounds.centre_y())) {
            g.members.push_back(s.id);
          }
        }
      }
    };
    for (const PoolDescription& pool : target.diagram->pools) gather(pool.lanes);
    gather(target.diagram->lanes);
    if (g.members.empty()) {
      reading_->not_drawn.push_back(
          {g.mark, fmt::format("group {} is not drawn: no shape is drawn inside it", quote(g.id))});
      return;
    }
    target.diagram->groups.push_back(std::move(g));
  }

  // A data association not drawn where its activity was read: the association, the activity's
  // id, and whether the data flows into the activity.
  struct PendingData {
    pugi::xml_node association;
    std::string node;
    bool input = false;
  };
  std::vector<PendingData> pending_data_;

  void add_connection(Target target, ConnectionDescription c) {
    target.diagram->connections.push_back(std::move(c));
  }

  std::string_view text_;
  XmlFile xml_;
  BpmnReading* reading_ = nullptr;
  /// Where in the text each sub-process of reading_->subdiagrams starts, by slot.
  std::vector<std::ptrdiff_t> subdiagram_offsets_;
  std::unordered_map<std::string, pugi::xml_node> elements_;
  std::unordered_map<std::string, Drawn> drawn_;
  std::unordered_set<std::string> made_up_;
  std::unordered_set<std::string> black_boxes_;
  std::unordered_set<std::string> shown_pools_;
  std::unordered_map<std::string, Placed> placed_;
  /// Groups by diagram, read once the diagram's shapes are known.
  std::vector<std::pair<int, pugi::xml_node>> pending_groups_;
  std::string plane_element_;
  std::string first_process_id_;
  /// While reading a sub-process's contents: the outermost collapsed sub-process of the main
  /// diagram they belong to.
  std::string collapsed_in_main_;
};

}  // namespace

bool looks_like_xml(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") return true;
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '<';
}

BpmnReading read_bpmn(std::string_view text, const std::string& source,
                      const LoadOptions& options) {
  // The document's tree and the reading grow linearly with the text, so the text's size bounds
  // the memory; the counts of shapes and connections are the ceilings of a description.
  const InputLimits& limits = options.limits;
  if (text.size() > limits.max_file_bytes) {
    throw DescriptionError(source, {},
                           limit_exceeded(limits.max_file_bytes, "bytes", "--max-input-mb"));
  }
  BpmnReading reading = BpmnReader(text, source).run();
  // In the file's order, as a reader goes through the warnings.
  std::stable_sort(reading.not_drawn.begin(), reading.not_drawn.end(),
                   [](const BpmnReading::Omission& a, const BpmnReading::Omission& b) {
                     return std::pair(a.mark.line, a.mark.column) <
                            std::pair(b.mark.line, b.mark.column);
                   });
  std::size_t shapes = 0;
  std::size_t connections = 0;
  auto count = [&](const DiagramDescription& d) {
    auto count_lanes = [&](const std::vector<LaneDescription>& lanes) {
      for (const LaneDescription& lane : lanes) shapes += lane.shapes.size();
    };
    count_lanes(d.lanes);
    for (const PoolDescription& pool : d.pools) count_lanes(pool.lanes);
    connections += d.connections.size();
  };
  count(reading.diagram);
  for (const BpmnReading::Subdiagram& sub : reading.subdiagrams) count(sub.diagram);
  if (shapes > limits.max_shapes) {
    throw DescriptionError(source, {}, limit_exceeded(limits.max_shapes, "shapes", "--max-shapes"));
  }
  if (connections > limits.max_connections) {
    throw DescriptionError(
        source, {}, limit_exceeded(limits.max_connections, "connections", "--max-connections"));
  }
  return reading;
}

}  // namespace orvane
