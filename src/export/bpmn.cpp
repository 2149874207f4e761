// BPMN 2.0 XML with diagram interchange: one collaboration, a participant per pool and a process
// per pool that shows one, lanes in a lane set, every element with its BPMN type, event
// definitions and attributes, and a DI shape or edge for everything drawn. A collapsed
// sub-process gets the least inner flow BPMN checkers expect (a start and an end event) on a
// diagram of its own, as modellers show a collapsed sub-process's content.
#include "orvane/bpmn.hpp"

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <pugixml.hpp>
#include <sstream>

#include "bpmn_di.hpp"
#include "diagram_model.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/file_io.hpp"
#include "orvane/gateway.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"

namespace orvane {

using export_detail::DiagramModel;
using export_detail::FlowInfo;
using export_detail::FlowKind;
using export_detail::format_number;
using export_detail::LabelFont;
using export_detail::LabelFonts;
using export_detail::NodeInfo;
using export_detail::NodeRole;
using export_detail::PoolInfo;
using export_detail::xml_text;

namespace {

constexpr const char* BPMN_MODEL = "http://www.omg.org/spec/BPMN/20100524/MODEL";
constexpr const char* BPMN_DI = "http://www.omg.org/spec/BPMN/20100524/DI";
constexpr const char* DD_DC = "http://www.omg.org/spec/DD/20100524/DC";
constexpr const char* DD_DI = "http://www.omg.org/spec/DD/20100524/DI";
constexpr const char* XSI = "http://www.w3.org/2001/XMLSchema-instance";
constexpr double EVENT_SIZE = 36;

void set_name(pugi::xml_node node, const std::string& name) {
  if (!name.empty()) node.append_attribute("name") = xml_text(name).c_str();
}

void add_bounds(pugi::xml_node parent, const Box& box) {
  pugi::xml_node bounds = parent.append_child("dc:Bounds");
  bounds.append_attribute("x") = format_number(box.x).c_str();
  bounds.append_attribute("y") = format_number(box.y).c_str();
  bounds.append_attribute("width") = format_number(box.width).c_str();
  bounds.append_attribute("height") = format_number(box.height).c_str();
}

void add_label(pugi::xml_node parent, const std::optional<Box>& box) {
  if (box) add_bounds(parent.append_child("bpmndi:BPMNLabel"), *box);
}

// Colours of the BPMN in Color extension, declared on the shape that carries them.
constexpr const char* BPMN_COLOR = "http://www.omg.org/spec/BPMN/non-normative/color/1.0";

// A colour of the element's own: set, readable, and not the theme's; as "#rrggbb".
std::string own_colour(const std::string& colour, const Painter* painter,
                       std::string Painter::*theme) {
  if (painter != nullptr && colour == painter->*theme) return {};
  return export_detail::hex_or_empty(colour);
}

// Writes the colours an element has of its own onto its DI shape: fill and outline on the
// shape, the name's on its label.
void add_colours(pugi::xml_node shape, const std::string& fill, const std::string& stroke,
                 const std::string& text) {
  if (fill.empty() && stroke.empty() && text.empty()) return;
  shape.append_attribute("xmlns:color") = BPMN_COLOR;
  if (!fill.empty()) shape.append_attribute("color:background-color") = fill.c_str();
  if (!stroke.empty()) shape.append_attribute("color:border-color") = stroke.c_str();
  if (!text.empty()) {
    pugi::xml_node label = shape.child("bpmndi:BPMNLabel");
    if (!label) label = shape.append_child("bpmndi:BPMNLabel");
    label.append_attribute("color:color") = text.c_str();
  }
}

// The attributes of a dc:Font, in the schema's order.
constexpr std::array<const char*, 6> FONT_ATTRIBUTES = {
    "name", "size", "isBold", "isItalic", "isUnderline", "isStrikeThrough"};

// The font an element's name has of its own: the family and size the caller set, where they
// are not the theme's.
LabelFont own_font(const std::string& font, int size, const Painter* painter,
                   std::string Painter::*theme_font, int Painter::*theme_size) {
  LabelFont out;
  if (!font.empty() && (painter == nullptr || font != painter->*theme_font)) {
    out.emplace_back("name", font);
  }
  if (size > 0 && (painter == nullptr || size != painter->*theme_size)) {
    out.emplace_back("size", std::to_string(size));
  }
  return out;
}

// The label styles of one diagram: one per distinct font, each element's label naming its own.
class LabelStyles {
 public:
  LabelStyles(DiagramModel& model, const LabelFonts& kept) : model_(model), kept_(kept) {}

  // Gives the DI element of `element_id` the style of its name's font: the one the document
  // it was read from gave it, with the family and size the caller set over it.
  void apply(pugi::xml_node di, const std::string& element_id, const LabelFont& own) {
    const auto it = kept_.find(element_id);
    const LabelFont* kept = it != kept_.end() ? &it->second : nullptr;
    LabelFont font;
    for (const char* attribute : FONT_ATTRIBUTES) {
      const std::string* value = find(own, attribute);
      if (value == nullptr && kept != nullptr) value = find(*kept, attribute);
      if (value != nullptr) font.emplace_back(attribute, *value);
    }
    if (font.empty()) return;
    auto [style, fresh] = ids_.try_emplace(font);
    if (fresh) {
      style->second = model_.ids.take("LabelStyle_" + model_.key, "LabelStyle");
      order_.push_back(&*style);
    }
    pugi::xml_node label = di.child("bpmndi:BPMNLabel");
    if (!label) label = di.append_child("bpmndi:BPMNLabel");
    label.append_attribute("labelStyle") = style->second.c_str();
  }

  // Appends the styles to the diagram, after its plane.
  void write(pugi::xml_node diagram) const {
    for (const auto* style : order_) {
      pugi::xml_node node = diagram.append_child("bpmndi:BPMNLabelStyle");
      node.append_attribute("id") = style->second.c_str();
      pugi::xml_node font = node.append_child("dc:Font");
      for (const auto& [name, value] : style->first) {
        font.append_attribute(name.c_str()) = value.c_str();
      }
    }
  }

 private:
  static const std::string* find(const LabelFont& font, std::string_view attribute) {
    for (const auto& [name, value] : font) {
      if (name == attribute) return &value;
    }
    return nullptr;
  }

  DiagramModel& model_;
  const LabelFonts& kept_;
  std::map<LabelFont, std::string> ids_;
  std::vector<const std::pair<const LabelFont, std::string>*> order_;
};

void add_ref(pugi::xml_node parent, const char* element, const std::string& id) {
  parent.append_child(element).text() = id.c_str();
}

void add_waypoints(pugi::xml_node edge, const std::vector<Point>& points) {
  for (const Point& point : points) {
    pugi::xml_node waypoint = edge.append_child("di:waypoint");
    waypoint.append_attribute("x") = format_number(point.x).c_str();
    waypoint.append_attribute("y") = format_number(point.y).c_str();
  }
}

const char* definition_for(EventTrigger trigger) {
  switch (trigger) {
    case EventTrigger::MESSAGE:
      return "bpmn:messageEventDefinition";
    case EventTrigger::SIGNAL:
      return "bpmn:signalEventDefinition";
    case EventTrigger::TIMER:
      return "bpmn:timerEventDefinition";
    case EventTrigger::CONDITIONAL:
      return "bpmn:conditionalEventDefinition";
    case EventTrigger::LINK:
      return "bpmn:linkEventDefinition";
    case EventTrigger::ERROR:
      return "bpmn:errorEventDefinition";
    case EventTrigger::ESCALATION:
      return "bpmn:escalationEventDefinition";
    case EventTrigger::COMPENSATION:
      return "bpmn:compensateEventDefinition";
    case EventTrigger::CANCEL:
      return "bpmn:cancelEventDefinition";
    case EventTrigger::TERMINATE:
      return "bpmn:terminateEventDefinition";
    case EventTrigger::MULTIPLE:
    case EventTrigger::PARALLEL_MULTIPLE:
    case EventTrigger::NONE:
      break;
  }
  return nullptr;
}

// The BPMN element of a shape and the event definitions it carries.
struct NodeForm {
  const char* element = "bpmn:task";
  EventTrigger trigger = EventTrigger::NONE;
};

const char* task_element(TaskType type) {
  switch (type) {
    case TaskType::USER:
      return "bpmn:userTask";
    case TaskType::SERVICE:
      return "bpmn:serviceTask";
    case TaskType::SEND:
      return "bpmn:sendTask";
    case TaskType::RECEIVE:
      return "bpmn:receiveTask";
    case TaskType::SCRIPT:
      return "bpmn:scriptTask";
    case TaskType::MANUAL:
      return "bpmn:manualTask";
    case TaskType::BUSINESS_RULE:
      return "bpmn:businessRuleTask";
    case TaskType::NONE:
      break;
  }
  return "bpmn:task";
}

const char* subprocess_element(const Subprocess& sub) {
  switch (sub.form) {
    case SubprocessForm::CALL_ACTIVITY:
      return "bpmn:callActivity";
    case SubprocessForm::TRANSACTION:
      return "bpmn:transaction";
    case SubprocessForm::EVENT:
      return "bpmn:subProcess";
    case SubprocessForm::EMBEDDED:
      break;
  }
  return sub.ad_hoc ? "bpmn:adHocSubProcess" : "bpmn:subProcess";
}

const char* gateway_element(const Shape& shape) {
  switch (shape.element_type()) {
    case ElementType::PARALLEL:
      return "bpmn:parallelGateway";
    case ElementType::INCLUSIVE:
      return "bpmn:inclusiveGateway";
    case ElementType::EVENT_BASED:
      return "bpmn:eventBasedGateway";
    case ElementType::COMPLEX:
      return "bpmn:complexGateway";
    default:
      return "bpmn:exclusiveGateway";
  }
}

NodeForm form_of(const NodeInfo& node) {
  const Shape& shape = *node.shape;
  NodeForm form;
  switch (shape.kind()) {
    case ShapeKind::ACTIVITY:
      if (const auto* task = dynamic_cast<const Task*>(&shape)) {
        form.element = task_element(task->task_type);
      } else if (const auto* sub = dynamic_cast<const Subprocess*>(&shape)) {
        form.element = subprocess_element(*sub);
      }
      return form;
    case ShapeKind::GATEWAY:
      form.element = gateway_element(shape);
      return form;
    case ShapeKind::DATA:
      if (shape.element_type() == ElementType::DATA_STORE) {
        form.element = "bpmn:dataStoreReference";
      } else {
        const auto* data = dynamic_cast<const DataObject*>(&shape);
        const DataRole role = data != nullptr ? data->role : DataRole::OBJECT;
        form.element = role == DataRole::INPUT    ? "bpmn:dataInput"
                       : role == DataRole::OUTPUT ? "bpmn:dataOutput"
                                                  : "bpmn:dataObjectReference";
      }
      return form;
    case ShapeKind::TERMINATOR:
      // A terminator opens a flow when nothing leads into it, closes one when it leads
      // nowhere, and is a milestone of the flow otherwise.
      form.element = node.incoming.empty()   ? "bpmn:startEvent"
                     : node.outgoing.empty() ? "bpmn:endEvent"
                                             : "bpmn:intermediateThrowEvent";
      return form;
    case ShapeKind::ANNOTATION:
      form.element = "bpmn:textAnnotation";
      return form;
    case ShapeKind::GROUP:
      form.element = "bpmn:group";
      return form;
    case ShapeKind::PARTICIPANT:
      form.element = "bpmn:participant";
      return form;
    case ShapeKind::EVENT:
      break;
  }
  const auto* event = dynamic_cast<const Event*>(&shape);
  if (event == nullptr) return form;
  EventUse use;
  use.position = event->position();
  use.throwing = use.position == EventPosition::INTERMEDIATE && event->throwing();
  use.boundary = event->boundary_of() != nullptr;
  if (use.boundary) {
    form.element = "bpmn:boundaryEvent";
  } else if (use.position == EventPosition::START) {
    form.element = "bpmn:startEvent";
  } else if (use.position == EventPosition::END) {
    form.element = "bpmn:endEvent";
  } else {
    form.element = use.throwing ? "bpmn:intermediateThrowEvent" : "bpmn:intermediateCatchEvent";
  }
  // An event keeps only a trigger BPMN allows where it stands (a generic event that became an
  // end, say, cannot end with a condition).
  if (trigger_allowed(event->trigger(), use)) form.trigger = event->trigger();
  return form;
}

// A terminator has no BPMN shape of its own: it is written as an event, drawn as an event-sized
// circle in the middle of the stadium the picture shows, with its name below.
bool is_terminator(const NodeInfo& node) {
  return node.shape->kind() == ShapeKind::TERMINATOR;
}

Box event_circle(const Box& box) {
  return {box.centre_x() - EVENT_SIZE / 2, box.centre_y() - EVENT_SIZE / 2, EVENT_SIZE, EVENT_SIZE};
}

// Moves a route end from the stadium's border to the circle's, along the route's last segment.
Point snap_to_circle(Point point, const Box& stadium) {
  const Box circle = event_circle(stadium);
  const double tolerance = 0.5;
  if (point.y <= stadium.y + tolerance) {
    point.y = circle.y;
  } else if (point.y >= stadium.bottom() - tolerance) {
    point.y = circle.bottom();
  } else if (point.x <= stadium.x + tolerance) {
    point.x = circle.x;
  } else if (point.x >= stadium.right() - tolerance) {
    point.x = circle.right();
  }
  return point;
}

pugi::xml_node add_shape(pugi::xml_node plane, DiagramModel& model, const std::string& element_id) {
  pugi::xml_node shape = plane.append_child("bpmndi:BPMNShape");
  shape.append_attribute("id") = model.ids.take(element_id + "_di", "shape").c_str();
  shape.append_attribute("bpmnElement") = element_id.c_str();
  return shape;
}

// Whether a sub-process is collapsed with content BPMN checkers look for: embedded ones,
// transactions and event sub-processes (a call activity calls another process; an ad-hoc one
// needs no start or end).
bool needs_inner_flow(const Shape& shape) {
  const auto* sub = dynamic_cast<const Subprocess*>(&shape);
  return sub != nullptr && sub->form != SubprocessForm::CALL_ACTIVITY &&
         !(sub->form == SubprocessForm::EMBEDDED && sub->ad_hoc);
}

// The least inner flow of a collapsed sub-process, shown on a diagram of its own.
struct InnerFlow {
  std::string subprocess;
  std::string start;
  std::string end;
  std::string flow;
};

class Writer {
 public:
  explicit Writer(const std::vector<std::unique_ptr<Pool>>& pools)
      : model_(pools), pool_flows_(model_.pools.size()) {
    for (const FlowInfo& flow : model_.flows) {
      if (flow.kind == FlowKind::DATA_INPUT) data_links_[flow.target].first.push_back(&flow);
      if (flow.kind == FlowKind::DATA_OUTPUT) data_links_[flow.source].second.push_back(&flow);
      const std::size_t pool = flow.source->pool_index;
      if (pool >= pool_flows_.size()) continue;
      if (flow.kind == FlowKind::SEQUENCE) pool_flows_[pool].sequence.push_back(&flow);
      if (flow.kind == FlowKind::ASSOCIATION && flow.same_pool) {
        pool_flows_[pool].associations.push_back(&flow);
      }
    }
  }

  std::string run() {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node defs = doc.append_child("bpmn:definitions");
    defs.append_attribute("xmlns:bpmn") = BPMN_MODEL;
    defs.append_attribute("xmlns:bpmndi") = BPMN_DI;
    defs.append_attribute("xmlns:dc") = DD_DC;
    defs.append_attribute("xmlns:di") = DD_DI;
    defs.append_attribute("xmlns:xsi") = XSI;
    defs.append_attribute("id") = model_.definitions_id.c_str();
    defs.append_attribute("targetNamespace") = "http://orvane.org/bpmn";
    defs.append_attribute("exporter") = "orvane";
    defs.append_attribute("exporterVersion") = "0.1.0";

    if (model_.pools.empty()) {
      // Nothing to show: an empty process keeps the document valid and openable.
      const std::string process_id = model_.generated("Process");
      pugi::xml_node process = defs.append_child("bpmn:process");
      process.append_attribute("id") = process_id.c_str();
      process.append_attribute("isExecutable") = "false";
      pugi::xml_node plane = add_diagram(defs, model_.generated("Diagram"));
      plane.append_attribute("bpmnElement") = process_id.c_str();
    } else {
      write_categories(defs);
      write_collaboration(defs);
      for (std::size_t p = 0; p < model_.pools.size(); ++p) {
        if (!model_.pools[p].process_id.empty()) write_process(defs, p);
      }
      pugi::xml_node plane = add_diagram(defs, model_.generated("Diagram"));
      plane.append_attribute("bpmnElement") = model_.collaboration_id.c_str();
      write_di(plane);
      for (const InnerFlow& inner : inner_flows_) write_inner_diagram(defs, inner);
    }

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
  }

 private:
  pugi::xml_node add_diagram(pugi::xml_node defs, const std::string& id) {
    pugi::xml_node diagram = defs.append_child("bpmndi:BPMNDiagram");
    diagram.append_attribute("id") = id.c_str();
    pugi::xml_node plane = diagram.append_child("bpmndi:BPMNPlane");
    plane.append_attribute("id") = model_.ids.take(id + "_plane", "plane").c_str();
    return plane;
  }

  // A group names its category value, which lives in a category at the top of the document.
  void write_categories(pugi::xml_node defs) {
    for (const NodeInfo& node : model_.nodes) {
      if (node.role != NodeRole::GROUP || node.shape->name.empty()) continue;
      pugi::xml_node category = defs.append_child("bpmn:category");
      category.append_attribute("id") = model_.ids.take(node.id + "_category", "category").c_str();
      pugi::xml_node value = category.append_child("bpmn:categoryValue");
      const std::string value_id = model_.ids.take(node.id + "_value", "category_value");
      value.append_attribute("id") = value_id.c_str();
      value.append_attribute("value") = xml_text(node.shape->name).c_str();
      category_values_[&node] = value_id;
    }
  }

  // Whether every member of a group stands in pool `index`.
  bool group_in_pool(const NodeInfo& node, std::size_t index) const {
    const auto* group = dynamic_cast<const Group*>(node.shape);
    if (group == nullptr) return false;
    for (const Shape* member : group->members) {
      const NodeInfo* m = model_.find(member);
      if (m == nullptr || m->pool_index != index) return false;
    }
    return true;
  }

  void write_collaboration(pugi::xml_node defs) {
    pugi::xml_node collaboration = defs.append_child("bpmn:collaboration");
    collaboration.append_attribute("id") = model_.collaboration_id.c_str();
    for (const PoolInfo& pool : model_.pools) {
      pugi::xml_node participant = collaboration.append_child("bpmn:participant");
      participant.append_attribute("id") = pool.participant_id.c_str();
      set_name(participant, pool.pool->name);
      if (!pool.process_id.empty()) {
        participant.append_attribute("processRef") = pool.process_id.c_str();
      }
    }
    for (const FlowInfo& flow : model_.flows) {
      if (flow.kind != FlowKind::MESSAGE) continue;
      pugi::xml_node message = collaboration.append_child("bpmn:messageFlow");
      message.append_attribute("id") = flow.id.c_str();
      set_name(message, flow.label);
      message.append_attribute("sourceRef") = flow.source->id.c_str();
      message.append_attribute("targetRef") = flow.target->id.c_str();
    }
    // Groups across pools and links between pools that are no messages belong to no single
    // process.
    for (const NodeInfo& node : model_.nodes) {
      if (node.role == NodeRole::GROUP && !group_in_pool(node, node.pool_index)) {
        write_group(collaboration, node);
      }
    }
    for (const FlowInfo& flow : model_.flows) {
      if (flow.kind == FlowKind::ASSOCIATION && !flow.same_pool) {
        write_association(collaboration, flow);
      }
    }
  }

  static void write_association(pugi::xml_node parent, const FlowInfo& flow) {
    pugi::xml_node association = parent.append_child("bpmn:association");
    association.append_attribute("id") = flow.id.c_str();
    association.append_attribute("sourceRef") = flow.source->id.c_str();
    association.append_attribute("targetRef") = flow.target->id.c_str();
    const char* direction = "One";
    if (flow.connection->connection_type == ConnectionTypes::ASSOCIATION) {
      switch (flow.connection->direction) {
        case AssociationDirection::NONE:
          direction = "None";
          break;
        case AssociationDirection::ONE:
          break;
        case AssociationDirection::BOTH:
          direction = "Both";
          break;
      }
    }
    association.append_attribute("associationDirection") = direction;
  }

  void write_group(pugi::xml_node parent, const NodeInfo& node) {
    pugi::xml_node group = parent.append_child("bpmn:group");
    group.append_attribute("id") = node.id.c_str();
    if (auto it = category_values_.find(&node); it != category_values_.end()) {
      group.append_attribute("categoryValueRef") = it->second.c_str();
    }
  }

  void write_process(pugi::xml_node defs, std::size_t index) {
    const PoolInfo& pool = model_.pools[index];
    pugi::xml_node process = defs.append_child("bpmn:process");
    process.append_attribute("id") = pool.process_id.c_str();
    set_name(process, pool.pool->name);
    process.append_attribute("isExecutable") = "false";

    write_io_specification(process, pool);
    if (!pool.lanes.empty()) {
      pugi::xml_node lane_set = process.append_child("bpmn:laneSet");
      lane_set.append_attribute("id") =
          model_.ids.take(pool.participant_id + "_lanes", "lane_set").c_str();
      for (const auto& lane : pool.lanes) {
        pugi::xml_node lane_node = lane_set.append_child("bpmn:lane");
        lane_node.append_attribute("id") = lane.id.c_str();
        set_name(lane_node, lane.lane->name);
        for (const NodeInfo* node : lane.nodes) {
          // Lanes list flow nodes only: not data, annotations or groups.
          if (node->role == NodeRole::FLOW || node->role == NodeRole::BOUNDARY) {
            add_ref(lane_node, "bpmn:flowNodeRef", node->id);
          }
        }
      }
    }

    for (const auto& lane : pool.lanes) {
      for (const NodeInfo* node : lane.nodes) {
        if (node->role == NodeRole::FLOW || node->role == NodeRole::BOUNDARY ||
            (node->role == NodeRole::DATA && !is_io(*node))) {
          write_node(process, *node);
        }
      }
    }
    for (const FlowInfo* each : pool_flows_[index].sequence) {
      const FlowInfo& flow = *each;
      pugi::xml_node sequence = process.append_child("bpmn:sequenceFlow");
      sequence.append_attribute("id") = flow.id.c_str();
      set_name(sequence, flow.label);
      sequence.append_attribute("sourceRef") = flow.source->id.c_str();
      sequence.append_attribute("targetRef") = flow.target->id.c_str();
      if (!flow.connection->condition.empty() && flow.source->default_flow != flow.id) {
        pugi::xml_node condition = sequence.append_child("bpmn:conditionExpression");
        condition.append_attribute("xsi:type") = "bpmn:tFormalExpression";
        condition.text() = xml_text(flow.connection->condition).c_str();
      }
    }
    // Artifacts: annotations, groups of this pool alone, and the associations inside it.
    for (const auto& lane : pool.lanes) {
      for (const NodeInfo* node : lane.nodes) {
        if (node->role == NodeRole::ANNOTATION) {
          pugi::xml_node note = process.append_child("bpmn:textAnnotation");
          note.append_attribute("id") = node->id.c_str();
          note.append_child("bpmn:text").text() = xml_text(node->shape->name).c_str();
        } else if (node->role == NodeRole::GROUP && group_in_pool(*node, index)) {
          write_group(process, *node);
        }
      }
    }
    for (const FlowInfo* flow : pool_flows_[index].associations) write_association(process, *flow);
  }

  static bool is_io(const NodeInfo& node) {
    const auto* data = dynamic_cast<const DataObject*>(node.shape);
    return data != nullptr && data->role != DataRole::OBJECT;
  }

  // A pool's data inputs and outputs are the inputs and outputs of its process.
  void write_io_specification(pugi::xml_node process, const PoolInfo& pool) {
    std::vector<const NodeInfo*> inputs;
    std::vector<const NodeInfo*> outputs;
    for (const auto& lane : pool.lanes) {
      for (const NodeInfo* node : lane.nodes) {
        if (node->role != NodeRole::DATA || !is_io(*node)) continue;
        const auto& data = dynamic_cast<const DataObject&>(*node->shape);
        (data.role == DataRole::INPUT ? inputs : outputs).push_back(node);
      }
    }
    if (inputs.empty() && outputs.empty()) return;
    pugi::xml_node io = process.append_child("bpmn:ioSpecification");
    io.append_attribute("id") = model_.ids.take(pool.process_id + "_io", "io").c_str();
    auto write = [&](const NodeInfo* node, const char* element) {
      pugi::xml_node item = io.append_child(element);
      item.append_attribute("id") = node->id.c_str();
      set_name(item, node->shape->name);
      if (dynamic_cast<const DataObject&>(*node->shape).collection) {
        item.append_attribute("isCollection") = "true";
      }
    };
    for (const NodeInfo* node : inputs) write(node, "bpmn:dataInput");
    for (const NodeInfo* node : outputs) write(node, "bpmn:dataOutput");
    pugi::xml_node input_set = io.append_child("bpmn:inputSet");
    input_set.append_attribute("id") = model_.ids.take(pool.process_id + "_inputs", "io").c_str();
    for (const NodeInfo* node : inputs) add_ref(input_set, "bpmn:dataInputRefs", node->id);
    pugi::xml_node output_set = io.append_child("bpmn:outputSet");
    output_set.append_attribute("id") = model_.ids.take(pool.process_id + "_outputs", "io").c_str();
    for (const NodeInfo* node : outputs) add_ref(output_set, "bpmn:dataOutputRefs", node->id);
  }

  void write_definitions(pugi::xml_node element, const std::string& owner, EventTrigger trigger,
                         const std::string& link_name) {
    std::vector<EventTrigger> triggers{trigger};
    if (trigger == EventTrigger::MULTIPLE || trigger == EventTrigger::PARALLEL_MULTIPLE) {
      // BPMN knows a multiple event by its several definitions.
      triggers = {EventTrigger::MESSAGE, EventTrigger::SIGNAL};
      if (trigger == EventTrigger::PARALLEL_MULTIPLE) {
        element.append_attribute("parallelMultiple") = "true";
      }
    }
    for (EventTrigger t : triggers) {
      const char* kind = definition_for(t);
      if (kind == nullptr) continue;
      pugi::xml_node definition = element.append_child(kind);
      definition.append_attribute("id") =
          model_.ids.take(owner + "_" + std::string(trigger_name(t)), "definition").c_str();
      if (t == EventTrigger::CONDITIONAL) {
        // The schema requires a condition; the diagram carries none.
        pugi::xml_node condition = definition.append_child("bpmn:condition");
        condition.append_attribute("xsi:type") = "bpmn:tFormalExpression";
      } else if (t == EventTrigger::LINK) {
        // Throw and catch links pair up by name.
        definition.append_attribute("name") = xml_text(link_name).c_str();
      }
    }
  }

  void write_node(pugi::xml_node process, const NodeInfo& node) {
    const NodeForm form = form_of(node);
    const Shape& shape = *node.shape;
    pugi::xml_node element = process.append_child(form.element);
    element.append_attribute("id") = node.id.c_str();
    set_name(element, shape.name);

    if (node.role == NodeRole::DATA) {
      if (shape.element_type() != ElementType::DATA_STORE) {
        // A data object reference points at the data object, written right after it.
        const std::string object_id = model_.ids.take(node.id + "_object", "data_object");
        element.append_attribute("dataObjectRef") = object_id.c_str();
        pugi::xml_node object = process.append_child("bpmn:dataObject");
        object.append_attribute("id") = object_id.c_str();
        if (const auto* data = dynamic_cast<const DataObject*>(&shape);
            data != nullptr && data->collection) {
          object.append_attribute("isCollection") = "true";
        }
      }
      return;
    }

    const auto* activity = dynamic_cast<const Activity*>(&shape);
    const auto* sub = dynamic_cast<const Subprocess*>(&shape);
    const auto* event = dynamic_cast<const Event*>(&shape);
    if (activity != nullptr && activity->compensation) {
      element.append_attribute("isForCompensation") = "true";
    }
    if (sub != nullptr && sub->form == SubprocessForm::EVENT) {
      element.append_attribute("triggeredByEvent") = "true";
    }
    if (!node.default_flow.empty()) {
      element.append_attribute("default") = node.default_flow.c_str();
    }
    if (event != nullptr && event->boundary_of() != nullptr) {
      const NodeInfo* host = model_.find(event->boundary_of());
      if (host != nullptr) element.append_attribute("attachedToRef") = host->id.c_str();
      if (!event->interrupting()) element.append_attribute("cancelActivity") = "false";
    } else if (event != nullptr && event->position() == EventPosition::START &&
               !event->interrupting()) {
      element.append_attribute("isInterrupting") = "false";
    }

    for (const std::string& id : node.incoming) add_ref(element, "bpmn:incoming", id);
    for (const std::string& id : node.outgoing) add_ref(element, "bpmn:outgoing", id);

    if (activity != nullptr) {
      write_data_associations(element, node);
      switch (activity->loop) {
        case LoopType::NONE:
          break;
        case LoopType::STANDARD:
          element.append_child("bpmn:standardLoopCharacteristics").append_attribute("id") =
              model_.ids.take(node.id + "_loop", "loop").c_str();
          break;
        case LoopType::PARALLEL:
        case LoopType::SEQUENTIAL: {
          pugi::xml_node loop = element.append_child("bpmn:multiInstanceLoopCharacteristics");
          loop.append_attribute("id") = model_.ids.take(node.id + "_loop", "loop").c_str();
          if (activity->loop == LoopType::SEQUENTIAL) {
            loop.append_attribute("isSequential") = "true";
          }
          break;
        }
      }
      if (needs_inner_flow(shape)) write_inner_flow(element, node, *sub);
    }
    write_definitions(element, node.id, form.trigger, shape.name);
  }

  void write_inner_flow(pugi::xml_node element, const NodeInfo& node, const Subprocess& sub) {
    InnerFlow inner;
    inner.subprocess = node.id;
    inner.start = model_.ids.take(node.id + "_start", "start");
    inner.end = model_.ids.take(node.id + "_end", "end");
    inner.flow = model_.ids.take(node.id + "_flow", "flow");
    pugi::xml_node start = element.append_child("bpmn:startEvent");
    start.append_attribute("id") = inner.start.c_str();
    start.append_attribute("name") = "Start";
    if (sub.form == SubprocessForm::EVENT && !sub.start_interrupts) {
      start.append_attribute("isInterrupting") = "false";
    }
    add_ref(start, "bpmn:outgoing", inner.flow);
    if (sub.form == SubprocessForm::EVENT) {
      write_definitions(start, inner.start, sub.start_trigger, sub.name);
    }
    pugi::xml_node end = element.append_child("bpmn:endEvent");
    end.append_attribute("id") = inner.end.c_str();
    end.append_attribute("name") = "End";
    add_ref(end, "bpmn:incoming", inner.flow);
    pugi::xml_node flow = element.append_child("bpmn:sequenceFlow");
    flow.append_attribute("id") = inner.flow.c_str();
    flow.append_attribute("sourceRef") = inner.start.c_str();
    flow.append_attribute("targetRef") = inner.end.c_str();
    inner_flows_.push_back(inner);
  }

  void write_data_associations(pugi::xml_node element, const NodeInfo& node) {
    const auto found = data_links_.find(&node);
    if (found == data_links_.end()) return;
    const std::vector<const FlowInfo*>& inputs = found->second.first;
    const std::vector<const FlowInfo*>& outputs = found->second.second;
    std::string property_id;
    if (!inputs.empty()) {
      // An input association needs a target inside the activity: a placeholder property.
      property_id = model_.ids.take(node.id + "_input", "property");
      pugi::xml_node property = element.append_child("bpmn:property");
      property.append_attribute("id") = property_id.c_str();
      property.append_attribute("name") = "__targetRef_placeholder";
    }
    for (const FlowInfo* flow : inputs) {
      pugi::xml_node association = element.append_child("bpmn:dataInputAssociation");
      association.append_attribute("id") = flow->id.c_str();
      add_ref(association, "bpmn:sourceRef", flow->source->id);
      add_ref(association, "bpmn:targetRef", property_id);
    }
    for (const FlowInfo* flow : outputs) {
      pugi::xml_node association = element.append_child("bpmn:dataOutputAssociation");
      association.append_attribute("id") = flow->id.c_str();
      add_ref(association, "bpmn:targetRef", flow->target->id);
    }
  }

  void write_di(pugi::xml_node plane) { export_detail::write_plane_di(plane, model_, {}); }

  void write_inner_diagram(pugi::xml_node defs, const InnerFlow& inner) {
    pugi::xml_node plane =
        add_diagram(defs, model_.ids.take(inner.subprocess + "_diagram", "diagram"));
    plane.append_attribute("bpmnElement") = inner.subprocess.c_str();
    const Box start{180, 160, EVENT_SIZE, EVENT_SIZE};
    const Box end{320, 160, EVENT_SIZE, EVENT_SIZE};
    add_bounds(add_shape(plane, model_, inner.start), start);
    add_bounds(add_shape(plane, model_, inner.end), end);
    pugi::xml_node edge = plane.append_child("bpmndi:BPMNEdge");
    edge.append_attribute("id") = model_.ids.take(inner.flow + "_di", "edge").c_str();
    edge.append_attribute("bpmnElement") = inner.flow.c_str();
    add_waypoints(edge, {{start.right(), start.centre_y()}, {end.x, end.centre_y()}});
  }

  DiagramModel model_;
  /// Each pool's sequence flows and the associations within it, in the diagram's order.
  struct PoolFlows {
    std::vector<const FlowInfo*> sequence;
    std::vector<const FlowInfo*> associations;
  };
  std::vector<PoolFlows> pool_flows_;
  /// Data associations by activity: inputs, outputs.
  std::map<const NodeInfo*, std::pair<std::vector<const FlowInfo*>, std::vector<const FlowInfo*>>>
      data_links_;
  std::map<const NodeInfo*, std::string> category_values_;
  std::vector<InnerFlow> inner_flows_;
};

}  // namespace

namespace export_detail {

LabelFont read_label_font(pugi::xml_node font) {
  LabelFont out;
  for (const char* attribute : FONT_ATTRIBUTES) {
    const pugi::xml_attribute a = font.attribute(attribute);
    if (!a) continue;
    const std::string value = a.value();
    bool usable = false;
    if (std::string_view(attribute) == "name") {
      usable = !value.empty() && value.size() <= 256;
    } else if (std::string_view(attribute) == "size") {
      char* end = nullptr;
      const double size = std::strtod(value.c_str(), &end);
      usable =
          end != value.c_str() && *end == '\0' && std::isfinite(size) && size > 0 && size <= 1000;
    } else {
      usable = value == "true" || value == "false" || value == "1" || value == "0";
    }
    if (usable) out.emplace_back(attribute, value);
  }
  return out;
}

// The DI of a drawn diagram: a shape for every pool, lane and node, an edge for every flow.
// `drawable` (when given) says which element ids get DI; the others are left out.
void write_plane_di(pugi::xml_node plane, DiagramModel& model,
                    const std::function<bool(const std::string&)>& drawable,
                    const LabelFonts& kept) {
  auto drawn = [&](const std::string& id) { return !drawable || drawable(id); };
  LabelStyles styles(model, kept);
  for (const PoolInfo& pool : model.pools) {
    if (!drawn(pool.participant_id)) continue;
    pugi::xml_node shape = add_shape(plane, model, pool.participant_id);
    shape.append_attribute("isHorizontal") = "true";
    add_bounds(shape, pool.box);
    const Painter* p = pool.pool->painter();
    add_colours(shape, own_colour(pool.pool->fill_colour, p, &Painter::pool_fill_colour), {},
                own_colour(pool.pool->font_colour, p, &Painter::pool_font_colour));
    styles.apply(shape, pool.participant_id,
                 own_font(pool.pool->font, pool.pool->font_size, p, &Painter::pool_font,
                          &Painter::pool_font_size));
  }
  for (const PoolInfo& pool : model.pools) {
    for (const auto& lane : pool.lanes) {
      if (!drawn(lane.id)) continue;
      pugi::xml_node shape = add_shape(plane, model, lane.id);
      shape.append_attribute("isHorizontal") = "true";
      add_bounds(shape, lane.box);
      const Painter* p = pool.pool->painter();
      add_colours(
          shape,
          own_colour(lane.lane->background_fill_colour, p, &Painter::lane_background_fill_colour),
          {}, own_colour(lane.lane->font_colour, p, &Painter::lane_font_colour));
      styles.apply(shape, lane.id,
                   own_font(lane.lane->font, lane.lane->font_size, p, &Painter::lane_font,
                            &Painter::lane_font_size));
    }
  }
  for (const NodeInfo& node : model.nodes) {
    if (node.role == NodeRole::PARTICIPANT || !drawn(node.id)) continue;
    pugi::xml_node shape = add_shape(plane, model, node.id);
    if (const auto* exclusive = dynamic_cast<const Exclusive*>(node.shape)) {
      shape.append_attribute("isMarkerVisible") = exclusive->show_marker ? "true" : "false";
    }
    if (node.shape->element_type() == ElementType::SUBPROCESS) {
      shape.append_attribute("isExpanded") = "false";
    }
    if (is_terminator(node)) {
      const Box circle = event_circle(node.box);
      add_bounds(shape, circle);
      if (!node.shape->name.empty()) {
        add_label(shape, Box{circle.centre_x() - node.box.width / 2, circle.bottom() + 4,
                             node.box.width, 30});
      }
    } else {
      add_bounds(shape, node.box);
      add_label(shape, node.label_box);
    }
    const Painter* p = node.pool_index < model.pools.size()
                           ? model.pools[node.pool_index].pool->painter()
                           : nullptr;
    const Shape& s = *node.shape;
    add_colours(shape, own_colour(s.fill_colour, p, &Painter::element_fill_colour),
                own_colour(s.outline_colour, p, &Painter::element_outline_colour),
                own_colour(s.font_colour, p, &Painter::element_font_colour));
    styles.apply(
        shape, node.id,
        own_font(s.font, s.font_size, p, &Painter::element_font, &Painter::element_font_size));
  }
  for (const FlowInfo& flow : model.flows) {
    if (!drawn(flow.id)) continue;
    pugi::xml_node edge = plane.append_child("bpmndi:BPMNEdge");
    edge.append_attribute("id") = model.ids.take(flow.id + "_di", "edge").c_str();
    edge.append_attribute("bpmnElement") = flow.id.c_str();
    std::vector<Point> points = flow.waypoints;
    if (is_terminator(*flow.source)) {
      points.front() = snap_to_circle(points.front(), flow.source->box);
    }
    if (is_terminator(*flow.target)) {
      points.back() = snap_to_circle(points.back(), flow.target->box);
    }
    add_waypoints(edge, points);
    add_label(edge, flow.label_box);
    styles.apply(edge, flow.id, {});
  }
  styles.write(plane.parent());
}

}  // namespace export_detail

BPMN::BPMN() = default;

std::string BPMN::to_xml(const std::vector<std::unique_ptr<Pool>>& pools) {
  return Writer(pools).run();
}

void BPMN::export_to_xml(const std::vector<std::unique_ptr<Pool>>& pools,
                         const std::string& filename) {
  write_file_atomically(filename, to_xml(pools));
}

}  // namespace orvane
