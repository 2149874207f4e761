// BPMN 2.0 XML with diagram interchange: one collaboration, a participant and a process per
// pool, lanes in a lane set, and a DI shape or edge for every element with the drawn geometry.
#include "orvane/bpmn.hpp"

#include <map>
#include <pugixml.hpp>
#include <sstream>

#include "diagram_model.hpp"
#include "orvane/event.hpp"
#include "orvane/file_io.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"

namespace orvane {

using export_detail::DiagramModel;
using export_detail::FlowInfo;
using export_detail::FlowKind;
using export_detail::format_number;
using export_detail::NodeInfo;
using export_detail::PoolInfo;
using export_detail::xml_text;

namespace {

constexpr const char* BPMN_MODEL = "http://www.omg.org/spec/BPMN/20100524/MODEL";
constexpr const char* BPMN_DI = "http://www.omg.org/spec/BPMN/20100524/DI";
constexpr const char* DD_DC = "http://www.omg.org/spec/DD/20100524/DC";
constexpr const char* DD_DI = "http://www.omg.org/spec/DD/20100524/DI";
constexpr const char* XSI = "http://www.w3.org/2001/XMLSchema-instance";

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

void add_ref(pugi::xml_node parent, const char* element, const std::string& id) {
  parent.append_child(element).text() = id.c_str();
}

// The BPMN element of a shape and the event definition it carries, if any.
struct NodeForm {
  const char* element = "bpmn:task";
  const char* definition = nullptr;
  bool catching = false;
  bool throwing = false;
};

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

NodeForm form_of(const NodeInfo& node) {
  const Shape& shape = *node.shape;
  NodeForm form;
  switch (shape.kind()) {
    case ShapeKind::ACTIVITY:
      form.element = shape.class_name() == "Subprocess" ? "bpmn:subProcess" : "bpmn:task";
      return form;
    case ShapeKind::GATEWAY: {
      const std::string name = shape.class_name();
      form.element = name == "Parallel"     ? "bpmn:parallelGateway"
                     : name == "Inclusive"  ? "bpmn:inclusiveGateway"
                     : name == "EventBased" ? "bpmn:eventBasedGateway"
                                            : "bpmn:exclusiveGateway";
      return form;
    }
    case ShapeKind::DATA:
      form.element = shape.class_name() == "DataStore" ? "bpmn:dataStoreReference"
                                                       : "bpmn:dataObjectReference";
      return form;
    case ShapeKind::TERMINATOR:
      // A terminator opens a flow when nothing leads into it and closes one otherwise.
      if (node.incoming.empty()) {
        form.element = "bpmn:startEvent";
        form.catching = true;
      } else if (node.outgoing.empty()) {
        form.element = "bpmn:endEvent";
        form.throwing = true;
      } else {
        form.element = "bpmn:intermediateThrowEvent";
        form.throwing = true;
      }
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
  const EventTrigger trigger = event->trigger();
  switch (event->position()) {
    case EventPosition::START:
      form.element = "bpmn:startEvent";
      form.catching = true;
      // Start events cannot be links.
      if (trigger != EventTrigger::LINK) form.definition = definition_for(trigger);
      break;
    case EventPosition::INTERMEDIATE:
      if (event->throwing()) {
        form.element = "bpmn:intermediateThrowEvent";
        form.throwing = true;
        // Only these triggers can be thrown.
        if (trigger == EventTrigger::MESSAGE || trigger == EventTrigger::SIGNAL ||
            trigger == EventTrigger::LINK) {
          form.definition = definition_for(trigger);
        }
      } else {
        form.element = "bpmn:intermediateCatchEvent";
        form.catching = true;
        form.definition = definition_for(trigger);
      }
      break;
    case EventPosition::END:
      form.element = "bpmn:endEvent";
      form.throwing = true;
      if (trigger == EventTrigger::MESSAGE || trigger == EventTrigger::SIGNAL) {
        form.definition = definition_for(trigger);
      }
      break;
  }
  return form;
}

// A terminator has no BPMN shape of its own: it is written as an event, drawn as an event-sized
// circle in the middle of the stadium the picture shows, with its name below.
bool is_terminator(const NodeInfo& node) {
  return node.shape->kind() == ShapeKind::TERMINATOR;
}

Box event_circle(const Box& box) {
  const double size = 36;
  return {box.centre_x() - size / 2, box.centre_y() - size / 2, size, size};
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

class Writer {
 public:
  explicit Writer(const std::vector<std::unique_ptr<Pool>>& pools) : model_(pools) {}

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
      const std::string process_id = model_.ids.take("process", "process");
      pugi::xml_node process = defs.append_child("bpmn:process");
      process.append_attribute("id") = process_id.c_str();
      process.append_attribute("isExecutable") = "false";
      pugi::xml_node plane = add_diagram(defs);
      plane.append_attribute("bpmnElement") = process_id.c_str();
    } else {
      write_collaboration(defs);
      for (std::size_t p = 0; p < model_.pools.size(); ++p) write_process(defs, p);
      pugi::xml_node plane = add_diagram(defs);
      plane.append_attribute("bpmnElement") = model_.collaboration_id.c_str();
      write_di(plane);
    }

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
  }

 private:
  pugi::xml_node add_diagram(pugi::xml_node defs) {
    pugi::xml_node diagram = defs.append_child("bpmndi:BPMNDiagram");
    diagram.append_attribute("id") = model_.ids.take("diagram", "diagram").c_str();
    pugi::xml_node plane = diagram.append_child("bpmndi:BPMNPlane");
    plane.append_attribute("id") = model_.ids.take("plane", "plane").c_str();
    return plane;
  }

  void write_collaboration(pugi::xml_node defs) {
    pugi::xml_node collaboration = defs.append_child("bpmn:collaboration");
    collaboration.append_attribute("id") = model_.collaboration_id.c_str();
    for (const PoolInfo& pool : model_.pools) {
      pugi::xml_node participant = collaboration.append_child("bpmn:participant");
      participant.append_attribute("id") = pool.participant_id.c_str();
      set_name(participant, pool.pool->name);
      participant.append_attribute("processRef") = pool.process_id.c_str();
    }
    for (const FlowInfo& flow : model_.flows) {
      if (flow.kind != FlowKind::MESSAGE) continue;
      pugi::xml_node message = collaboration.append_child("bpmn:messageFlow");
      message.append_attribute("id") = flow.id.c_str();
      set_name(message, flow.label);
      message.append_attribute("sourceRef") = flow.source->id.c_str();
      message.append_attribute("targetRef") = flow.target->id.c_str();
    }
    // Links between a data shape and another pool belong to no single process.
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
    association.append_attribute("associationDirection") = "One";
  }

  void write_process(pugi::xml_node defs, std::size_t index) {
    const PoolInfo& pool = model_.pools[index];
    pugi::xml_node process = defs.append_child("bpmn:process");
    process.append_attribute("id") = pool.process_id.c_str();
    set_name(process, pool.pool->name);
    process.append_attribute("isExecutable") = "false";

    if (!pool.lanes.empty()) {
      pugi::xml_node lane_set = process.append_child("bpmn:laneSet");
      lane_set.append_attribute("id") =
          model_.ids.take(pool.participant_id + "_lanes", "lane_set").c_str();
      for (const auto& lane : pool.lanes) {
        pugi::xml_node lane_node = lane_set.append_child("bpmn:lane");
        lane_node.append_attribute("id") = lane.id.c_str();
        set_name(lane_node, lane.lane->name);
        for (const NodeInfo* node : lane.nodes) {
          // Data references are flow elements but not flow nodes: lanes do not list them.
          if (node->shape->kind() != ShapeKind::DATA) {
            add_ref(lane_node, "bpmn:flowNodeRef", node->id);
          }
        }
      }
    }

    for (const auto& lane : pool.lanes) {
      for (const NodeInfo* node : lane.nodes) write_node(process, *node);
    }
    for (const FlowInfo& flow : model_.flows) {
      if (flow.kind != FlowKind::SEQUENCE || flow.source->pool_index != index) continue;
      pugi::xml_node sequence = process.append_child("bpmn:sequenceFlow");
      sequence.append_attribute("id") = flow.id.c_str();
      set_name(sequence, flow.label);
      sequence.append_attribute("sourceRef") = flow.source->id.c_str();
      sequence.append_attribute("targetRef") = flow.target->id.c_str();
    }
    for (const FlowInfo& flow : model_.flows) {
      if (flow.kind == FlowKind::ASSOCIATION && flow.same_pool &&
          flow.source->pool_index == index) {
        write_association(process, flow);
      }
    }
  }

  void write_node(pugi::xml_node process, const NodeInfo& node) {
    const NodeForm form = form_of(node);
    pugi::xml_node element = process.append_child(form.element);
    element.append_attribute("id") = node.id.c_str();
    set_name(element, node.shape->name);

    if (node.shape->kind() == ShapeKind::DATA) {
      if (node.shape->class_name() != "DataStore") {
        // A data object reference points at the data object, written right after it.
        const std::string object_id = model_.ids.take(node.id + "_object", "data_object");
        element.append_attribute("dataObjectRef") = object_id.c_str();
        pugi::xml_node object = process.append_child("bpmn:dataObject");
        object.append_attribute("id") = object_id.c_str();
      }
      return;
    }

    for (const std::string& id : node.incoming) add_ref(element, "bpmn:incoming", id);
    for (const std::string& id : node.outgoing) add_ref(element, "bpmn:outgoing", id);

    if (node.shape->kind() == ShapeKind::ACTIVITY) write_data_associations(element, node);
    if (form.definition != nullptr) {
      pugi::xml_node definition = element.append_child(form.definition);
      definition.append_attribute("id") = model_.ids.take(node.id + "_definition", "def").c_str();
      const std::string kind = form.definition;
      if (kind == "bpmn:conditionalEventDefinition") {
        // The schema requires a condition; the diagram carries none.
        pugi::xml_node condition = definition.append_child("bpmn:condition");
        condition.append_attribute("xsi:type") = "bpmn:tFormalExpression";
      } else if (kind == "bpmn:linkEventDefinition") {
        // Throw and catch links pair up by name.
        definition.append_attribute("name") = xml_text(node.shape->name).c_str();
      }
    }
  }

  void write_data_associations(pugi::xml_node element, const NodeInfo& node) {
    if (data_links_.empty()) {
      for (const FlowInfo& flow : model_.flows) {
        if (flow.kind == FlowKind::DATA_INPUT) data_links_[flow.target].first.push_back(&flow);
        if (flow.kind == FlowKind::DATA_OUTPUT) data_links_[flow.source].second.push_back(&flow);
      }
      data_links_[nullptr];  // marks the index as built
    }
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

  void write_di(pugi::xml_node plane) {
    for (const PoolInfo& pool : model_.pools) {
      pugi::xml_node shape = add_shape(plane, pool.participant_id);
      shape.append_attribute("isHorizontal") = "true";
      add_bounds(shape, pool.box);
    }
    for (const PoolInfo& pool : model_.pools) {
      for (const auto& lane : pool.lanes) {
        pugi::xml_node shape = add_shape(plane, lane.id);
        shape.append_attribute("isHorizontal") = "true";
        add_bounds(shape, lane.box);
      }
    }
    for (const NodeInfo& node : model_.nodes) {
      pugi::xml_node shape = add_shape(plane, node.id);
      const std::string name = node.shape->class_name();
      if (name == "Exclusive") shape.append_attribute("isMarkerVisible") = "true";
      if (name == "Subprocess") shape.append_attribute("isExpanded") = "false";
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
    }
    for (const FlowInfo& flow : model_.flows) {
      pugi::xml_node edge = plane.append_child("bpmndi:BPMNEdge");
      edge.append_attribute("id") = model_.ids.take(flow.id + "_di", "edge").c_str();
      edge.append_attribute("bpmnElement") = flow.id.c_str();
      std::vector<Point> points = flow.waypoints;
      if (is_terminator(*flow.source))
        points.front() = snap_to_circle(points.front(), flow.source->box);
      if (is_terminator(*flow.target))
        points.back() = snap_to_circle(points.back(), flow.target->box);
      for (const Point& point : points) {
        pugi::xml_node waypoint = edge.append_child("di:waypoint");
        waypoint.append_attribute("x") = format_number(point.x).c_str();
        waypoint.append_attribute("y") = format_number(point.y).c_str();
      }
      add_label(edge, flow.label_box);
    }
  }

  pugi::xml_node add_shape(pugi::xml_node plane, const std::string& element_id) {
    pugi::xml_node shape = plane.append_child("bpmndi:BPMNShape");
    shape.append_attribute("id") = model_.ids.take(element_id + "_di", "shape").c_str();
    shape.append_attribute("bpmnElement") = element_id.c_str();
    return shape;
  }

  DiagramModel model_;
  /// Data associations by activity: inputs, outputs.
  std::map<const NodeInfo*, std::pair<std::vector<const FlowInfo*>, std::vector<const FlowInfo*>>>
      data_links_;
};

}  // namespace

BPMN::BPMN() = default;

std::string BPMN::to_xml(const std::vector<std::unique_ptr<Pool>>& pools) {
  return Writer(pools).run();
}

void BPMN::export_to_xml(const std::vector<std::unique_ptr<Pool>>& pools,
                         const std::string& filename) {
  write_file_atomically(filename, to_xml(pools));
}

}  // namespace orvane
