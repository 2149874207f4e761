// An uncompressed drawio document: pools and lanes as swimlane containers, shapes inside their
// lane with drawio's BPMN styles, connections as edges following the drawn route.
#include "orvane/drawio.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "diagram_model.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/constants.hpp"
#include "orvane/event.hpp"
#include "orvane/file_io.hpp"
#include "orvane/gateway.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/routing.hpp"

namespace orvane {

using export_detail::DiagramModel;
using export_detail::FlowInfo;
using export_detail::FlowKind;
using export_detail::format_number;
using export_detail::hex_or_empty;
using export_detail::LaneInfo;
using export_detail::NodeInfo;
using export_detail::NodeRole;
using export_detail::PoolInfo;
using export_detail::xml_text;

namespace {

// How much wider than drawn drawio may wrap a name beside a shape (see write_pool).
constexpr double LABEL_SLACK = 1.3;
constexpr const char* LABEL_BELOW =
    "verticalLabelPosition=bottom;verticalAlign=top;align=center;labelPosition=center;";

// Labels use drawio's HTML mode (for wrapping), so the text is escaped as HTML, line breaks
// become <br> and spaces that HTML would collapse (leading, trailing, repeated) become &nbsp;:
// a name shows exactly as written and can never inject markup.
std::string html_label(const std::string& text) {
  const std::string clean = xml_text(text);
  std::string out;
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const char c = clean[i];
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\r':
        break;
      case '\n':
        out += "<br>";
        break;
      case ' ': {
        const bool edge = i == 0 || i + 1 == clean.size() || clean[i + 1] == '\n' ||
                          clean[i - 1] == ' ' || clean[i - 1] == '\n';
        out += edge ? "&nbsp;" : " ";
        break;
      }
      default:
        out += c;
    }
  }
  return out;
}

// A shape's name as the picture sets it, for drawio: its HTML with a break opportunity (<wbr>)
// where the picture broke a word, and the smaller size it shrank to. drawio wraps only at
// spaces, in its own font: without these a long word ran out of its activity over the shapes
// beside it, and a long address under an event out of its pool.
struct SetName {
  std::string html;
  std::string font_size;  // a style entry, or empty
};
std::optional<SetName> set_name(const Shape& shape, const Painter* p) {
  const ShapeKind kind = shape.kind();
  // A terminator sets its name in a narrower box than its label box; a group's name has a
  // place of its own.
  if (p == nullptr || kind == ShapeKind::TERMINATOR || kind == ShapeKind::GROUP ||
      kind == ShapeKind::PARTICIPANT || shape.name.empty() || !(shape.label_box.width > 0) ||
      !(shape.label_box.height > 0)) {
    return std::nullopt;
  }
  const TextStyle style = shape.name_style(*p);
  const SetText set = p->layout_text(shape.name, shape.label_box, style);
  SetName out;
  if (set.font_size > 0 && set.font_size < style.font_size - 0.05) {
    out.font_size = "fontSize=" + format_number(std::round(set.font_size * 10) / 10) + ";";
  }
  // The lines read as the name, its line breaks as spaces; where they do not (a cut name),
  // drawio wraps it as it can.
  std::string read = shape.name;
  std::replace(read.begin(), read.end(), '\n', ' ');
  std::string joined;
  for (const std::string& line : set.lines) joined += line;
  std::size_t from = 0;
  if (!set.cut && joined == read) {
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < set.lines.size(); ++i) {
      at += set.lines[i].size();
      if (at == from || at >= read.size()) continue;
      const char before = read[at - 1];
      const char after = read[at];
      if (before == ' ' || before == '-' || after == ' ') continue;
      out.html += html_label(shape.name.substr(from, at - from)) + "<wbr>";
      from = at;
    }
  }
  if (from == 0 && out.font_size.empty()) return std::nullopt;
  out.html += html_label(shape.name.substr(from));
  return out;
}

constexpr const char* EVENT_BASE =
    "points=[[0.145,0.145,0],[0.5,0,0],[0.855,0.145,0],[1,0.5,0],[0.855,0.855,0],[0.5,1,0],"
    "[0.145,0.855,0],[0,0.5,0]];shape=mxgraph.bpmn.event;html=1;perimeter=ellipsePerimeter;"
    "outlineConnect=0;aspect=fixed;";
constexpr const char* GATEWAY_BASE =
    "points=[[0.25,0.25,0],[0.5,0,0],[0.75,0.25,0],[1,0.5,0],[0.75,0.75,0],[0.5,1,0],"
    "[0.25,0.75,0],[0,0.5,0]];shape=mxgraph.bpmn.gateway2;html=1;perimeter=rhombusPerimeter;"
    "outlineConnect=0;";

// draw.io's name of an event marker.
const char* drawio_symbol(EventTrigger trigger, bool end) {
  switch (trigger) {
    case EventTrigger::NONE:
      // No marker: "general" would draw nothing at a start, but an end needs a name draw.io
      // draws nothing for.
      return end ? "terminate2" : "general";
    case EventTrigger::MESSAGE:
      return "message";
    case EventTrigger::SIGNAL:
      return "signal";
    case EventTrigger::TIMER:
      return "timer";
    case EventTrigger::CONDITIONAL:
      return "conditional";
    case EventTrigger::LINK:
      return "link";
    case EventTrigger::ERROR:
      return "error";
    case EventTrigger::ESCALATION:
      return "escalation";
    case EventTrigger::COMPENSATION:
      return "compensation";
    case EventTrigger::CANCEL:
      return "cancel";
    case EventTrigger::TERMINATE:
      return "terminate";
    case EventTrigger::MULTIPLE:
      return "multiple";
    case EventTrigger::PARALLEL_MULTIPLE:
      return "parallelMultiple";
  }
  return "general";
}

std::string event_style(const NodeInfo& node) {
  const Shape& shape = *node.shape;
  std::string outline = "standard";
  std::string symbol = "general";
  const auto* event = dynamic_cast<const Event*>(&shape);
  if (event != nullptr) {
    const bool interrupting = event->interrupting();
    switch (event->position()) {
      case EventPosition::START:
        outline = interrupting ? "standard" : "eventNonint";
        break;
      case EventPosition::INTERMEDIATE:
        if (event->boundary_of() != nullptr) {
          outline = interrupting ? "boundInt" : "boundNonint";
        } else {
          outline = event->throwing() ? "throwing" : "catching";
        }
        break;
      case EventPosition::END:
        outline = "end";
        break;
    }
    symbol = drawio_symbol(event->trigger(), event->position() == EventPosition::END);
  }
  return std::string(EVENT_BASE) + LABEL_BELOW + "outline=" + outline + ";symbol=" + symbol + ";";
}

std::string gateway_style(const Shape& shape) {
  std::string marker = "outline=none;symbol=none;gwType=exclusive;";
  switch (shape.element_type()) {
    case ElementType::PARALLEL:
      marker = "outline=none;symbol=none;gwType=parallel;";
      break;
    case ElementType::INCLUSIVE:
      marker = "outline=end;symbol=general;";
      break;
    case ElementType::EVENT_BASED:
      marker = "outline=catching;symbol=multiple;";
      break;
    case ElementType::COMPLEX:
      marker = "outline=none;symbol=none;gwType=complex;";
      break;
    default:
      if (const auto* exclusive = dynamic_cast<const Exclusive*>(&shape);
          exclusive != nullptr && !exclusive->show_marker) {
        // An event gateway without an outline draws the diamond alone.
        marker = "outline=none;symbol=none;gwType=event;";
      }
      break;
  }
  return std::string(GATEWAY_BASE) + LABEL_BELOW + marker;
}

const char* task_marker(TaskType type) {
  switch (type) {
    case TaskType::USER:
      return "user";
    case TaskType::SERVICE:
      return "service";
    case TaskType::SEND:
      return "send";
    case TaskType::RECEIVE:
      return "receive";
    case TaskType::SCRIPT:
      return "script";
    case TaskType::MANUAL:
      return "manual";
    case TaskType::BUSINESS_RULE:
      return "businessRule";
    case TaskType::NONE:
      break;
  }
  return "abstract";
}

std::string activity_style(const Shape& shape) {
  std::string style = "shape=mxgraph.bpmn.task;whiteSpace=wrap;html=1;rectStyle=rounded;size=10;";
  const auto* task = dynamic_cast<const Task*>(&shape);
  style +=
      "taskMarker=" + std::string(task_marker(task != nullptr ? task->task_type : TaskType::NONE)) +
      ";";
  if (const auto* sub = dynamic_cast<const Subprocess*>(&shape)) {
    style += "isLoopSub=1;";
    switch (sub->form) {
      case SubprocessForm::CALL_ACTIVITY:
        style += "bpmnShapeType=call;";
        break;
      case SubprocessForm::TRANSACTION:
        style += "bpmnShapeType=transaction;";
        break;
      case SubprocessForm::EVENT:
        style += "bpmnShapeType=subprocess;";
        break;
      case SubprocessForm::EMBEDDED:
        break;
    }
    if (sub->ad_hoc) style += "isAdHoc=1;";
  }
  if (const auto* activity = dynamic_cast<const Activity*>(&shape)) {
    switch (activity->loop) {
      case LoopType::STANDARD:
        style += "isLoopStandard=1;";
        break;
      case LoopType::PARALLEL:
        style += "isLoopMultiParallel=1;";
        break;
      case LoopType::SEQUENTIAL:
        style += "isLoopMultiSeq=1;";
        break;
      case LoopType::NONE:
        break;
    }
    if (activity->compensation) style += "isLoopComp=1;";
  }
  return style;
}

// A group's name where the picture has it: above its content, below it (nested groups with no
// room above) or in a stretch of the top band beside the groups inside.
std::string group_style(const NodeInfo& node) {
  const std::string style =
      "rounded=1;arcSize=10;dashed=1;dashPattern=8 3 1 3;fillColor=none;html=1;whiteSpace=wrap;";
  const std::optional<Box>& label = node.label_box;
  if (label && label->y > node.box.centre_y()) return style + "verticalAlign=bottom;align=center;";
  std::string top = style + "verticalAlign=top;align=center;";
  if (label) {
    // drawio centres the name within the group less these insets (4 each, as drawn, is its own).
    const long left = std::lround(label->x - node.box.x);
    const long right = std::lround(node.box.right() - label->right());
    if (std::abs(left - right) > 2) {
      top += "spacingLeft=" + std::to_string(left) + ";spacingRight=" + std::to_string(right) + ";";
    }
  }
  return top;
}

// Where the picture draws the name of an event, gateway or data shape (beside the shape, moved
// off the routes and their labels), for the shapes drawio names below themselves; none where it
// is drawn there already, or the diagram was not drawn.
std::optional<Box> drawn_name(const NodeInfo& node) {
  const ShapeKind kind = node.shape->kind();
  if (kind != ShapeKind::EVENT && kind != ShapeKind::GATEWAY && kind != ShapeKind::DATA) {
    return std::nullopt;
  }
  const std::optional<Box>& label = node.label_box;
  if (node.shape->name.empty() || !label || !(label->width > 0) || !(label->height > 0) ||
      !std::isfinite(label->x) || !std::isfinite(label->y)) {
    return std::nullopt;
  }
  return label;
}

// A colour of the picture as a drawio style entry, as "#rrggbb"; one the painters cannot read
// (which would have stopped the drawing) is left out.
std::string colour_entry(const char* key, const std::string& colour) {
  const std::string hex = hex_or_empty(colour);
  return hex.empty() ? hex : std::string(key) + "=" + hex + ";";
}

// A style value as the picture takes it: the element's own, else the painter's default.
std::string own_or(const std::string& own, const Painter* painter, std::string Painter::*fallback) {
  return !own.empty() || painter == nullptr ? own : painter->*fallback;
}

// drawio's own sizes for the names of shapes and containers, and for edge labels.
constexpr int DRAWIO_VERTEX_FONT_SIZE = 12;
constexpr int DRAWIO_EDGE_FONT_SIZE = 11;

// The family of a name where the caller set one that is not the theme's, and the size the
// picture sets it in (`size`) wherever that is not drawio's: a diagram set in 9 px would
// otherwise show in drawio's 12 and run out of its shapes. A family that would break the style
// string (a ';' or '=' in it) is left out.
std::string name_font(const std::string& font, double size, const Painter* p,
                      std::string Painter::*theme_font) {
  std::string style;
  if (!font.empty() && (p == nullptr || font != p->*theme_font) &&
      font.find_first_of(";=") == std::string::npos) {
    style += "fontFamily=" + font + ";";
  }
  if (size > 0 && std::abs(size - DRAWIO_VERTEX_FONT_SIZE) > 0.05) {
    style += "fontSize=" + format_number(std::round(size * 10) / 10) + ";";
  }
  return style;
}

// The size a pool's or lane's name is set in: its style's, or smaller where it shrank to keep
// every line in its strip.
template <class Band>
double strip_name_size(const Band& band, const Painter* p) {
  if (p == nullptr) return band.font_size;
  const TextStyle style = band.name_style(*p);
  const Box box = band.name_box();
  if (band.name.empty() || !(box.width > 0) || !(box.height > 0)) return style.font_size;
  return std::min<double>(style.font_size, p->layout_text(band.name, box, style, true).font_size);
}

// A pool's band and name strip in its fill, its borders in the theme's outline colour, its
// name's font.
std::string pool_look(const Pool& pool) {
  const Painter* p = pool.painter();
  const std::string fill = own_or(pool.fill_colour, p, &Painter::pool_fill_colour);
  return colour_entry("fillColor", fill) + colour_entry("swimlaneFillColor", fill) +
         colour_entry("strokeColor", own_or("", p, &Painter::element_outline_colour)) +
         colour_entry("fontColor", own_or(pool.font_colour, p, &Painter::pool_font_colour)) +
         name_font(pool.font, strip_name_size(pool, p), p, &Painter::pool_font);
}

// A lane's name strip, band, borders and name.
std::string lane_look(const Lane& lane, const Painter* p) {
  return colour_entry("fillColor", own_or(lane.fill_colour, p, &Painter::lane_fill_colour)) +
         colour_entry("swimlaneFillColor", own_or(lane.background_fill_colour, p,
                                                  &Painter::lane_background_fill_colour)) +
         colour_entry("strokeColor", own_or("", p, &Painter::element_outline_colour)) +
         colour_entry("fontColor", own_or(lane.font_colour, p, &Painter::lane_font_colour)) +
         name_font(lane.font, strip_name_size(lane, p), p, &Painter::lane_font);
}

// The colours the picture gives a shape (its own, or the theme's once drawn): fill and outline
// where drawio's style draws them, and the name's ink and font.
std::string shape_look(const Shape& shape, const Painter* p) {
  const ShapeKind kind = shape.kind();
  std::string style;
  if (kind != ShapeKind::ANNOTATION && kind != ShapeKind::GROUP) {
    style += colour_entry("fillColor", own_or(shape.fill_colour, p, &Painter::element_fill_colour));
  }
  style += colour_entry("strokeColor",
                        own_or(shape.outline_colour, p, &Painter::element_outline_colour));
  style += colour_entry("fontColor", own_or(shape.font_colour, p, &Painter::element_font_colour));
  const int size = shape.font_size > 0 ? shape.font_size : p != nullptr ? p->element_font_size : 0;
  return style + name_font(shape.font, size, p, &Painter::element_font);
}

std::string shape_style(const NodeInfo& node) {
  const Shape& shape = *node.shape;
  switch (shape.kind()) {
    case ShapeKind::EVENT:
      return event_style(node);
    case ShapeKind::GATEWAY:
      return gateway_style(shape);
    case ShapeKind::ACTIVITY:
      return activity_style(shape);
    case ShapeKind::TERMINATOR:
      return "rounded=1;whiteSpace=wrap;html=1;arcSize=50;";
    case ShapeKind::DATA:
      if (shape.class_name() == "DataStore") {
        return "shape=datastore;whiteSpace=wrap;html=1;" + std::string(LABEL_BELOW);
      } else {
        std::string style = "shape=mxgraph.bpmn.data;whiteSpace=wrap;html=1;size=15;";
        if (const auto* data = dynamic_cast<const DataObject*>(&shape)) {
          if (data->role == DataRole::INPUT) style += "bpmnTransferType=input;";
          if (data->role == DataRole::OUTPUT) style += "bpmnTransferType=output;";
          if (data->collection) style += "isCollection=1;";
        }
        return style + LABEL_BELOW;
      }
    case ShapeKind::ANNOTATION:
      return "shape=mxgraph.flowchart.annotation_1;html=1;whiteSpace=wrap;align=left;"
             "spacingLeft=6;fillColor=none;";
    case ShapeKind::GROUP:
      return group_style(node);
    case ShapeKind::PARTICIPANT:
      break;
  }
  return "rounded=1;whiteSpace=wrap;html=1;";
}

std::string edge_style(const FlowInfo& flow) {
  constexpr const char* dotted = "html=1;rounded=0;dashed=1;dashPattern=1 4;endFill=0;startFill=0;";
  switch (flow.kind) {
    case FlowKind::SEQUENCE: {
      std::string style = "html=1;rounded=0;endArrow=block;endFill=1;";
      if (flow.connection->is_default) {
        style += "startArrow=dash;startFill=0;startSize=6;";
      } else if (!flow.connection->condition.empty() &&
                 flow.source->shape->kind() == ShapeKind::ACTIVITY) {
        style += "startArrow=diamondThin;startFill=0;startSize=10;";
      }
      return style;
    }
    case FlowKind::MESSAGE:
      return "html=1;rounded=0;dashed=1;dashPattern=8 4;startArrow=oval;startFill=0;"
             "endArrow=block;endFill=0;";
    case FlowKind::DATA_INPUT:
    case FlowKind::DATA_OUTPUT:
      return std::string(dotted) + "endArrow=openThin;startArrow=none;";
    case FlowKind::ASSOCIATION: {
      AssociationDirection direction = AssociationDirection::ONE;
      if (flow.connection->connection_type == ConnectionTypes::ASSOCIATION) {
        direction = flow.connection->direction;
      }
      switch (direction) {
        case AssociationDirection::NONE:
          return std::string(dotted) + "endArrow=none;startArrow=none;";
        case AssociationDirection::ONE:
          break;
        case AssociationDirection::BOTH:
          return std::string(dotted) + "endArrow=openThin;startArrow=openThin;";
      }
      return std::string(dotted) + "endArrow=openThin;startArrow=none;";
    }
  }
  return "html=1;";
}

// Where a route meets a box, as drawio's relative connection constraint.
std::string constraint(const char* prefix, const Point& point, const Box& box) {
  const double rx = box.width > 0 ? std::clamp((point.x - box.x) / box.width, 0.0, 1.0) : 0.5;
  const double ry = box.height > 0 ? std::clamp((point.y - box.y) / box.height, 0.0, 1.0) : 0.5;
  return std::string(prefix) + "X=" + format_number(rx) + ";" + prefix + "Y=" + format_number(ry) +
         ";" + prefix + "Dx=0;" + prefix + "Dy=0;" + prefix + "Perimeter=0;";
}

void add_geometry(pugi::xml_node cell, const Box& box, double origin_x, double origin_y) {
  pugi::xml_node geometry = cell.append_child("mxGeometry");
  geometry.append_attribute("x") = format_number(box.x - origin_x).c_str();
  geometry.append_attribute("y") = format_number(box.y - origin_y).c_str();
  geometry.append_attribute("width") = format_number(box.width).c_str();
  geometry.append_attribute("height") = format_number(box.height).c_str();
  geometry.append_attribute("as") = "geometry";
}

pugi::xml_node add_point(pugi::xml_node parent, const Point& point, const char* as) {
  pugi::xml_node node = parent.append_child("mxPoint");
  node.append_attribute("x") = format_number(point.x).c_str();
  node.append_attribute("y") = format_number(point.y).c_str();
  if (as != nullptr) node.append_attribute("as") = as;
  return node;
}

// The point halfway along a route, where drawio anchors an edge label.
Point route_middle(const std::vector<Point>& points) {
  double length = 0;
  for (std::size_t i = 1; i < points.size(); ++i) {
    length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
  }
  double remaining = length / 2;
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double step = std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    if (step > 0 && remaining <= step) {
      const double t = remaining / step;
      return {points[i - 1].x + t * (points[i].x - points[i - 1].x),
              points[i - 1].y + t * (points[i].y - points[i - 1].y)};
    }
    remaining -= step;
  }
  return points.empty() ? Point{} : points.front();
}

// draw.io looks cell ids up in a JavaScript array while it reads a document, so an id that names
// a property of arrays or objects ("reverse", "map", "constructor") would find that property
// instead of the cell. Such ids get a suffix in the drawio document only.
bool shadows_script_property(const std::string& id) {
  static const std::set<std::string> names = {"__defineGetter__",
                                              "__defineSetter__",
                                              "__lookupGetter__",
                                              "__lookupSetter__",
                                              "__proto__",
                                              "at",
                                              "concat",
                                              "constructor",
                                              "copyWithin",
                                              "entries",
                                              "every",
                                              "fill",
                                              "filter",
                                              "find",
                                              "findIndex",
                                              "findLast",
                                              "findLastIndex",
                                              "flat",
                                              "flatMap",
                                              "forEach",
                                              "hasOwnProperty",
                                              "includes",
                                              "indexOf",
                                              "isPrototypeOf",
                                              "join",
                                              "keys",
                                              "lastIndexOf",
                                              "length",
                                              "map",
                                              "pop",
                                              "propertyIsEnumerable",
                                              "push",
                                              "reduce",
                                              "reduceRight",
                                              "reverse",
                                              "shift",
                                              "slice",
                                              "some",
                                              "sort",
                                              "splice",
                                              "toLocaleString",
                                              "toReversed",
                                              "toSorted",
                                              "toSpliced",
                                              "toString",
                                              "unshift",
                                              "valueOf",
                                              "values",
                                              "with"};
  return names.count(id) != 0;
}

class Writer {
 public:
  explicit Writer(const std::vector<std::unique_ptr<Pool>>& pools) : model_(pools) {}

  std::string run() {
    pugi::xml_document doc;
    pugi::xml_node file = doc.append_child("mxfile");
    file.append_attribute("host") = "orvane";
    file.append_attribute("agent") = "orvane 0.1.0";
    file.append_attribute("version") = "14.6.12";
    file.append_attribute("type") = "device";
    pugi::xml_node diagram = file.append_child("diagram");
    diagram.append_attribute("id") = "page-1";
    const std::string page_name = model_.pools.empty() || model_.pools.front().pool->name.empty()
                                      ? std::string("Page-1")
                                      : xml_text(model_.pools.front().pool->name);
    diagram.append_attribute("name") = page_name.c_str();

    double right = 0;
    double bottom = 0;
    for (const PoolInfo& pool : model_.pools) {
      right = std::max(right, pool.box.right());
      bottom = std::max(bottom, pool.box.bottom());
    }
    pugi::xml_node graph = diagram.append_child("mxGraphModel");
    graph.append_attribute("dx") = "0";
    graph.append_attribute("dy") = "0";
    graph.append_attribute("grid") = "1";
    graph.append_attribute("gridSize") = "10";
    graph.append_attribute("guides") = "1";
    graph.append_attribute("tooltips") = "1";
    graph.append_attribute("connect") = "1";
    graph.append_attribute("arrows") = "1";
    graph.append_attribute("fold") = "1";
    graph.append_attribute("page") = "1";
    graph.append_attribute("pageScale") = "1";
    graph.append_attribute("pageWidth") = format_number(std::max(850.0, right + 20)).c_str();
    graph.append_attribute("pageHeight") = format_number(std::max(1100.0, bottom + 20)).c_str();
    graph.append_attribute("math") = "0";
    graph.append_attribute("shadow") = "0";
    // The page in the picture's background colour.
    if (!model_.pools.empty() && model_.pools.front().pool->painter() != nullptr) {
      const std::string background =
          hex_or_empty(model_.pools.front().pool->painter()->background_colour);
      if (!background.empty()) graph.append_attribute("background") = background.c_str();
    }

    pugi::xml_node root = graph.append_child("root");
    root.append_child("mxCell").append_attribute("id") = "0";
    pugi::xml_node layer = root.append_child("mxCell");
    layer.append_attribute("id") = "1";
    layer.append_attribute("parent") = "0";

    for (const PoolInfo& pool : model_.pools) write_pool(root, pool);
    for (const NodeInfo& node : model_.nodes) {
      if (node.role == NodeRole::GROUP) write_group(root, node);
    }
    for (const FlowInfo& flow : model_.flows) write_edge(root, flow);

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
  }

 private:
  pugi::xml_node add_vertex(pugi::xml_node root, const std::string& id, const std::string& value,
                            const std::string& style, const std::string& parent) {
    return add_markup_vertex(root, id, html_label(value), style, parent);
  }
  // The same with a label already in HTML.
  pugi::xml_node add_markup_vertex(pugi::xml_node root, const std::string& id,
                                   const std::string& html, const std::string& style,
                                   const std::string& parent) {
    pugi::xml_node cell = root.append_child("mxCell");
    cell.append_attribute("id") = cell_id(id).c_str();
    cell.append_attribute("value") = html.c_str();
    cell.append_attribute("style") = style.c_str();
    cell.append_attribute("vertex") = "1";
    cell.append_attribute("parent") = cell_id(parent).c_str();
    return cell;
  }

  void write_pool(pugi::xml_node root, const PoolInfo& pool) {
    const std::string swimlane =
        "swimlane;html=1;horizontal=0;startSize=" + std::to_string(Configs::POOL_TEXT_WIDTH) +
        ";collapsible=0;";
    add_geometry(add_vertex(root, pool.participant_id, pool.pool->name,
                            swimlane + pool_look(*pool.pool), "1"),
                 pool.box, 0, 0);
    for (const auto& lane : pool.lanes) {
      const std::string lane_style =
          "swimlane;html=1;horizontal=0;startSize=" + std::to_string(Configs::LANE_TEXT_WIDTH) +
          ";collapsible=0;fontStyle=0;" + lane_look(*lane.lane, pool.pool->painter());
      add_geometry(add_vertex(root, lane.id, lane.lane->name, lane_style, pool.participant_id),
                   lane.box, pool.box.x, pool.box.y);
      for (const NodeInfo* node : lane.nodes) {
        if (node->role == NodeRole::GROUP) continue;
        // In its lane; an annotation or a boundary event reaching past the lane's edge in its
        // pool, or on the page.
        std::string parent = lane.id;
        Box origin = lane.box;
        if (!contains(lane.box, node->box)) {
          parent = contains(pool.box, node->box) ? pool.participant_id : "1";
          origin = contains(pool.box, node->box) ? pool.box : Box{};
        }
        const std::optional<Box> name = drawn_name(*node);
        std::string style = shape_style(*node) + shape_look(*node->shape, pool.pool->painter());
        if (node->shape->kind() == ShapeKind::ANNOTATION) {
          // The text's right is open, so it may run past the box: wrapped no narrower than the
          // picture wraps it, with drawio's font, as names are (a tight box broke "Two of three
          // experts" in two, its second line below the bracket).
          style += "spacingRight=-" +
                   format_number(std::ceil(node->box.width * (LABEL_SLACK - 1))) + ";";
        }
        if (name) {
          // Wrapped about as wide as drawn, so that it keeps its lines: drawio's font (its own,
          // or the viewer's stand-in for it) may run wider than the picture's.
          if (style.find("whiteSpace=wrap;") == std::string::npos) style += "whiteSpace=wrap;";
          style += "labelWidth=" + format_number(std::ceil(name->width * LABEL_SLACK) + 4) + ";";
        }
        const std::optional<SetName> inside = set_name(*node->shape, pool.pool->painter());
        if (inside && !inside->font_size.empty()) {
          // The size it shrank to, in place of one of its own.
          const std::size_t own = style.find("fontSize=");
          if (own != std::string::npos) style.erase(own, style.find(';', own) + 1 - own);
          style += inside->font_size;
        }
        pugi::xml_node cell = inside
                                  ? add_markup_vertex(root, node->id, inside->html, style, parent)
                                  : add_vertex(root, node->id, node->shape->name, style, parent);
        add_geometry(cell, node->box, origin.x, origin.y);
        if (name) {
          // drawio sets the name centred below the shape: moved from there to where it is drawn.
          add_point(cell.child("mxGeometry"),
                    Point{name->centre_x() - node->box.centre_x(), name->y - node->box.bottom()},
                    "offset");
        }
      }
    }
  }

  // A group lies in its members' lane, in their pool when they span lanes, or on the page.
  void write_group(pugi::xml_node root, const NodeInfo& node) {
    const auto* group = dynamic_cast<const Group*>(node.shape);
    const LaneInfo* lane = nullptr;
    const PoolInfo* pool = nullptr;
    bool first = true;
    for (const Shape* member : group != nullptr ? group->members : std::vector<Shape*>{}) {
      const LaneInfo* member_lane = nullptr;
      const PoolInfo* member_pool = nullptr;
      for (const PoolInfo& p : model_.pools) {
        for (const LaneInfo& l : p.lanes) {
          for (const NodeInfo* n : l.nodes) {
            if (n->shape == member) {
              member_lane = &l;
              member_pool = &p;
            }
          }
        }
      }
      if (first) {
        lane = member_lane;
        pool = member_pool;
        first = false;
      } else {
        if (member_lane != lane) lane = nullptr;
        if (member_pool != pool) pool = nullptr;
      }
    }
    std::string parent = "1";
    Box origin{};
    if (lane != nullptr && contains(lane->box, node.box)) {
      parent = lane->id;
      origin = lane->box;
    } else if (pool != nullptr && contains(pool->box, node.box)) {
      parent = pool->participant_id;
      origin = pool->box;
    }
    pugi::xml_node cell =
        add_vertex(root, node.id, node.shape->name,
                   shape_style(node) + shape_look(*node.shape, painter_of(&node)), parent);
    add_geometry(cell, node.box, origin.x, origin.y);
  }

  // The line's colour as the picture draws it (its source's outline, else the theme's line
  // colour), its label's ink, and behind the label the page's colour.
  std::string edge_colours(const FlowInfo& flow) const {
    const Painter* painter = painter_of(flow.source);
    std::string style = colour_entry("strokeColor", own_or(flow.source->shape->outline_colour,
                                                           painter, &Painter::connection_colour));
    if (painter != nullptr) {
      style += colour_entry("fontColor", painter->element_font_colour);
      style += colour_entry("labelBackgroundColor", painter->background_colour);
      const TextStyle label = connection_label_style(*painter);
      if (!flow.label.empty() && label.font_size != DRAWIO_EDGE_FONT_SIZE) {
        style += "fontSize=" + std::to_string(label.font_size) + ";";
      }
    }
    return style;
  }

  // The painter that drew the shape's pool, if any.
  const Painter* painter_of(const NodeInfo* node) const {
    if (node == nullptr || node->pool_index >= model_.pools.size()) return nullptr;
    return model_.pools[node->pool_index].pool->painter();
  }

  static bool contains(const Box& outer, const Box& inner) {
    return inner.x >= outer.x - 0.5 && inner.y >= outer.y - 0.5 &&
           inner.right() <= outer.right() + 0.5 && inner.bottom() <= outer.bottom() + 0.5;
  }

  void write_edge(pugi::xml_node root, const FlowInfo& flow) {
    const std::vector<Point>& points = flow.waypoints;
    std::string style = edge_style(flow) + edge_colours(flow);
    if (points.size() >= 2) {
      style += constraint("exit", points.front(), flow.source->box);
      style += constraint("entry", points.back(), flow.target->box);
    }
    // The route's bends are the edge's own points, so drawio draws the same path.
    pugi::xml_node cell = root.append_child("mxCell");
    cell.append_attribute("id") = cell_id(flow.id).c_str();
    cell.append_attribute("value") = html_label(flow.label).c_str();
    cell.append_attribute("style") = style.c_str();
    cell.append_attribute("edge") = "1";
    cell.append_attribute("parent") = "1";
    cell.append_attribute("source") = cell_id(flow.source->id).c_str();
    cell.append_attribute("target") = cell_id(flow.target->id).c_str();
    pugi::xml_node geometry = cell.append_child("mxGeometry");
    geometry.append_attribute("relative") = "1";
    geometry.append_attribute("as") = "geometry";
    if (points.size() >= 2) {
      add_point(geometry, points.front(), "sourcePoint");
      add_point(geometry, points.back(), "targetPoint");
      if (flow.label_box) {
        // Labels sit where the picture draws them, as an offset from the edge's middle.
        const Point middle = route_middle(points);
        add_point(
            geometry,
            Point{flow.label_box->centre_x() - middle.x, flow.label_box->centre_y() - middle.y},
            "offset");
      }
      if (points.size() > 2) {
        pugi::xml_node array = geometry.append_child("Array");
        array.append_attribute("as") = "points";
        for (std::size_t i = 1; i + 1 < points.size(); ++i) add_point(array, points[i], nullptr);
      }
    }
  }

  // The id a cell has in the drawio document: the shared id, unless draw.io would mistake it.
  const std::string& cell_id(const std::string& id) {
    auto it = cell_ids_.find(id);
    if (it != cell_ids_.end()) return it->second;
    const std::string cell =
        shadows_script_property(id) ? model_.ids.take(id + "_cell", "cell") : id;
    return cell_ids_.emplace(id, cell).first->second;
  }

  DiagramModel model_;
  std::map<std::string, std::string> cell_ids_;
};

}  // namespace

DrawIO::DrawIO() = default;

std::string DrawIO::to_xml(const std::vector<std::unique_ptr<Pool>>& pools) {
  return Writer(pools).run();
}

void DrawIO::export_to_xml(const std::vector<std::unique_ptr<Pool>>& pools,
                           const std::string& filename) {
  write_file_atomically(filename, to_xml(pools));
}

}  // namespace orvane
