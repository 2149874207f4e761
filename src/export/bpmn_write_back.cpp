// Writes a BPMN document back as it was read, with the drawn layout as its diagram
// interchange. The text of the document is kept byte for byte; only the BPMNDiagram elements
// are cut out and the new ones spliced in where the first of them stood (or before the end of
// the definitions). Each plane's DI names the document's own ids, for the elements the document
// has; pools and lanes the reader made up get none, and a parent lane is drawn around its drawn
// children.
#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "bpmn_di.hpp"
#include "diagram_model.hpp"
#include "orvane/bpmn.hpp"
#include "orvane/constants.hpp"
#include "orvane/file_io.hpp"
#include "xml_names.hpp"

namespace orvane {

using export_detail::DiagramModel;
using export_detail::format_number;
using export_detail::IdRegistry;
using export_detail::ModelIds;
using xml_names::local_name;
using xml_names::namespace_of;

namespace {

constexpr std::string_view BPMN_MODEL = "http://www.omg.org/spec/BPMN/20100524/MODEL";
constexpr std::string_view BPMN_DI = "http://www.omg.org/spec/BPMN/20100524/DI";
constexpr std::string_view DD_DC = "http://www.omg.org/spec/DD/20100524/DC";
constexpr std::string_view DD_DI = "http://www.omg.org/spec/DD/20100524/DI";

bool starts_at(std::string_view text, std::size_t at, std::string_view with) {
  return text.compare(at, with.size(), with) == 0;
}

std::size_t after(std::string_view text, std::size_t from, std::string_view end) {
  const std::size_t found = text.find(end, from);
  if (found == std::string_view::npos) throw std::invalid_argument("unterminated XML markup");
  return found + end.size();
}

// The end of a tag that starts at `at` (its '<'), and whether it closes itself.
std::pair<std::size_t, bool> tag_end(std::string_view text, std::size_t at) {
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      i = after(text, i + 1, std::string_view(&c, 1)) - 1;
    } else if (c == '>') {
      return {i + 1, text[i - 1] == '/'};
    }
  }
  throw std::invalid_argument("unterminated XML tag");
}

// The end of the element whose start tag begins at `at`, past its end tag.
std::size_t element_end(std::string_view text, std::size_t at) {
  auto [i, closed] = tag_end(text, at);
  for (int depth = closed ? 0 : 1; depth > 0;) {
    const std::size_t lt = text.find('<', i);
    if (lt == std::string_view::npos) throw std::invalid_argument("unterminated XML element");
    if (starts_at(text, lt, "<!--")) {
      i = after(text, lt, "-->");
    } else if (starts_at(text, lt, "<![CDATA[")) {
      i = after(text, lt, "]]>");
    } else if (starts_at(text, lt, "<?")) {
      i = after(text, lt, "?>");
    } else if (starts_at(text, lt, "</")) {
      i = after(text, lt, ">");
      --depth;
    } else if (starts_at(text, lt, "<!")) {
      i = after(text, lt, ">");
    } else {
      auto [end, self] = tag_end(text, lt);
      i = end;
      if (!self) ++depth;
    }
  }
  return i;
}

// Where an element's start tag begins.
std::size_t element_start(pugi::xml_node element) {
  return static_cast<std::size_t>(element.offset_debug()) - 1;
}

// Back from `at` over blanks to the end of what precedes them.
std::size_t blanks_before(std::string_view text, std::size_t at) {
  while (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t' || text[at - 1] == '\n' ||
                    text[at - 1] == '\r')) {
    --at;
  }
  return at;
}

// The prefixes the new DI is written with: the document's own where its root declares the
// namespace, otherwise a free name declared on each diagram.
struct Prefixes {
  std::unordered_map<std::string, std::string> by_default;
  std::vector<std::pair<std::string, std::string>> declarations;
};

Prefixes choose_prefixes(pugi::xml_node root) {
  std::unordered_map<std::string, std::string> bound;  // prefix -> uri
  for (pugi::xml_attribute a : root.attributes()) {
    const std::string_view name = a.name();
    if (name.substr(0, 6) == "xmlns:") bound.emplace(std::string(name.substr(6)), a.value());
  }
  Prefixes out;
  for (const auto& [wanted, uri] : {std::pair<std::string, std::string_view>{"bpmndi", BPMN_DI},
                                    {"dc", DD_DC},
                                    {"di", DD_DI}}) {
    std::string chosen;
    for (const auto& [prefix, bound_uri] : bound) {
      if (bound_uri == uri && (chosen.empty() || prefix < chosen)) chosen = prefix;
    }
    if (chosen.empty()) {
      chosen = wanted;
      for (int n = 2; bound.count(chosen) != 0; ++n) chosen = fmt::format("{}{}", wanted, n);
      out.declarations.emplace_back("xmlns:" + chosen, std::string(uri));
    }
    out.by_default[wanted] = chosen;
  }
  return out;
}

void rename_prefixes(pugi::xml_node node, const Prefixes& prefixes) {
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  if (colon != std::string_view::npos) {
    auto it = prefixes.by_default.find(std::string(name.substr(0, colon)));
    if (it != prefixes.by_default.end()) {
      node.set_name((it->second + std::string(name.substr(colon))).c_str());
    }
  }
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element) rename_prefixes(child, prefixes);
  }
}

// What the write-back needs to know of the document.
class Document {
 public:
  explicit Document(std::string_view text) : text_(text) {
    const pugi::xml_parse_result result =
        doc_.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
      throw std::invalid_argument(fmt::format(
          "the BPMN document to write back is not well-formed XML: {}", result.description()));
    }
    root_ = doc_.document_element();
    for (pugi::xml_node child : root_.children()) {
      if (child.type() == pugi::node_element && namespace_of(child) == BPMN_DI &&
          local_name(child) == "BPMNDiagram") {
        diagrams_.push_back(child);
      }
    }
    index();
    collect_fonts();
  }

  pugi::xml_node root() const { return root_; }
  const std::vector<pugi::xml_node>& diagrams() const { return diagrams_; }
  /// Every id of the document outside its diagrams.
  const std::unordered_set<std::string>& ids() const { return ids_; }
  /// Whether the document's semantic part has a BPMN element with this id.
  bool has_element(const std::string& id) const { return elements_.count(id) != 0; }
  /// The BPMN lanes, each with the lanes of its child lane sets.
  const std::vector<std::pair<std::string, std::vector<std::string>>>& lane_children() const {
    return lane_children_;
  }
  /// The fonts the document's diagrams give its elements' names, by element id (the first
  /// diagram's where several draw an element).
  const export_detail::LabelFonts& fonts() const { return fonts_; }

 private:
  // The label styles of the diagrams, and which element's label names which: the fonts stay
  // with their elements in the new diagrams.
  void collect_fonts() {
    std::unordered_map<std::string, export_detail::LabelFont> styles;
    for (pugi::xml_node diagram : diagrams_) {
      for (pugi::xml_node style : diagram.children()) {
        if (namespace_of(style) != BPMN_DI || local_name(style) != "BPMNLabelStyle") continue;
        for (pugi::xml_node font : style.children()) {
          if (namespace_of(font) == DD_DC && local_name(font) == "Font") {
            export_detail::LabelFont read = export_detail::read_label_font(font);
            if (!read.empty()) styles.emplace(style.attribute("id").value(), std::move(read));
          }
        }
      }
    }
    if (styles.empty()) return;
    std::vector<pugi::xml_node> stack(diagrams_.rbegin(), diagrams_.rend());
    while (!stack.empty()) {
      pugi::xml_node node = stack.back();
      stack.pop_back();
      const std::string_view kind = local_name(node);
      if ((kind == "BPMNShape" || kind == "BPMNEdge") && namespace_of(node) == BPMN_DI) {
        for (pugi::xml_node label : node.children()) {
          if (namespace_of(label) != BPMN_DI || local_name(label) != "BPMNLabel") continue;
          const auto style = styles.find(label.attribute("labelStyle").value());
          if (style != styles.end())
            fonts_.emplace(node.attribute("bpmnElement").value(), style->second);
        }
        continue;
      }
      for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling()) {
        if (child.type() == pugi::node_element) stack.push_back(child);
      }
    }
  }

  void index() {
    std::vector<pugi::xml_node> stack{root_};
    while (!stack.empty()) {
      pugi::xml_node node = stack.back();
      stack.pop_back();
      if (std::find(diagrams_.begin(), diagrams_.end(), node) != diagrams_.end()) continue;
      const bool model = namespace_of(node) == BPMN_MODEL;
      if (pugi::xml_attribute id = node.attribute("id")) {
        ids_.insert(id.value());
        if (model) elements_.insert(id.value());
      }
      if (model && local_name(node) == "lane") {
        std::vector<std::string> children;
        for (pugi::xml_node set : node.children()) {
          if (local_name(set) != "childLaneSet") continue;
          for (pugi::xml_node lane : set.children()) {
            if (local_name(lane) == "lane") children.push_back(lane.attribute("id").value());
          }
        }
        if (!children.empty()) {
          lane_children_.emplace_back(node.attribute("id").value(), std::move(children));
        }
      }
      for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling()) {
        if (child.type() == pugi::node_element) stack.push_back(child);
      }
    }
  }

  std::string_view text_;
  pugi::xml_document doc_;
  pugi::xml_node root_;
  std::vector<pugi::xml_node> diagrams_;
  std::unordered_set<std::string> ids_;
  std::unordered_set<std::string> elements_;
  std::vector<std::pair<std::string, std::vector<std::string>>> lane_children_;
  export_detail::LabelFonts fonts_;
};

// Shapes for the lanes that hold drawn lanes, around them, inserted before the first lane shape
// so that a modeller stacks them beneath their children; parents before children.
void add_parent_lanes(pugi::xml_node plane, const DiagramModel& model, const Document& document,
                      IdRegistry& ids) {
  std::unordered_map<std::string, Box> boxes;
  for (const auto& pool : model.pools) {
    for (const auto& lane : pool.lanes) {
      if (document.has_element(lane.id)) boxes.emplace(lane.id, lane.box);
    }
  }
  if (boxes.empty()) return;
  std::unordered_map<std::string, const std::vector<std::string>*> children_of;
  for (const auto& [parent, children] : document.lane_children()) {
    children_of.emplace(parent, &children);
  }
  std::unordered_set<std::string> made;
  std::function<std::optional<Box>(const std::string&, int)> box_of =
      [&](const std::string& id, int depth) -> std::optional<Box> {
    if (auto it = boxes.find(id); it != boxes.end()) return it->second;
    auto children = children_of.find(id);
    if (children == children_of.end()) return std::nullopt;
    if (depth > 64) throw std::invalid_argument("lanes nested deeper than 64 levels");
    std::optional<Box> around;
    for (const std::string& child : *children->second) {
      const std::optional<Box> box = box_of(child, depth + 1);
      if (!box) continue;
      if (!around) {
        around = box;
        continue;
      }
      const double x = std::min(around->x, box->x);
      const double y = std::min(around->y, box->y);
      around = Box{x, y, std::max(around->right(), box->right()) - x,
                   std::max(around->bottom(), box->bottom()) - y};
    }
    if (around) {
      boxes.emplace(id, *around);
      made.insert(id);
    }
    return around;
  };
  pugi::xml_node first_lane;
  for (pugi::xml_node shape : plane.children()) {
    if (boxes.count(shape.attribute("bpmnElement").value()) != 0) {
      first_lane = shape;
      break;
    }
  }
  for (const auto& [parent, children] : document.lane_children()) box_of(parent, 0);
  // Each nested lane moves in by a label band per level, so that modellers show its parents'
  // names beside it.
  std::unordered_map<std::string, int> depth;
  for (const auto& [parent, children] : document.lane_children()) {
    for (const std::string& child : children) depth[child] = depth[parent] + 1;
  }
  auto inset = [&](Box box, const std::string& id) {
    const double by = Configs::LANE_TEXT_WIDTH * depth[id];
    return Box{box.x + by, box.y, std::max(0.0, box.width - by), box.height};
  };
  for (pugi::xml_node shape : plane.children()) {
    const std::string id = shape.attribute("bpmnElement").value();
    if (boxes.count(id) == 0 || depth[id] == 0) continue;
    const Box box = inset(boxes.at(id), id);
    pugi::xml_node bounds = shape.child("dc:Bounds");
    bounds.attribute("x") = format_number(box.x).c_str();
    bounds.attribute("width") = format_number(box.width).c_str();
  }
  for (const auto& [parent, children] : document.lane_children()) {
    if (made.count(parent) == 0) continue;
    const Box box = inset(boxes.at(parent), parent);
    pugi::xml_node shape = plane.insert_child_before("bpmndi:BPMNShape", first_lane);
    shape.append_attribute("id") = ids.take(parent + "_di", "shape").c_str();
    shape.append_attribute("bpmnElement") = parent.c_str();
    shape.append_attribute("isHorizontal") = "true";
    pugi::xml_node bounds = shape.append_child("dc:Bounds");
    bounds.append_attribute("x") = format_number(box.x).c_str();
    bounds.append_attribute("y") = format_number(box.y).c_str();
    bounds.append_attribute("width") = format_number(box.width).c_str();
    bounds.append_attribute("height") = format_number(box.height).c_str();
  }
}

}  // namespace

std::string BPMN::write_back_xml(const BpmnSource& source, const std::vector<BpmnPlane>& planes) {
  const std::string_view text = source.text;
  const Document document(text);
  pugi::xml_node root = document.root();

  // How the document lays out its text: the indent of the root's children, its line ends.
  std::string indent = "  ";
  std::string newline = "\n";
  for (pugi::xml_node child : root.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::size_t at = element_start(child);
    const std::size_t line = text.rfind('\n', at);
    if (line != std::string_view::npos && line < at) {
      const std::string_view lead = text.substr(line + 1, at - line - 1);
      if (!lead.empty() && lead.find_first_not_of(" \t") == std::string_view::npos) {
        indent = std::string(lead);
      }
      if (line > 0 && text[line - 1] == '\r') newline = "\r\n";
    }
    break;
  }

  // The new diagrams, their ids clear of every id the document keeps.
  const Prefixes prefixes = choose_prefixes(root);
  ModelIds naming;
  naming.verbatim = true;
  for (const std::string& id : document.ids()) naming.registry.reserve(id);
  pugi::xml_document scratch;
  for (const BpmnPlane& plane : planes) {
    if (plane.pools == nullptr) continue;
    DiagramModel model(*plane.pools, std::move(naming));
    pugi::xml_node diagram = scratch.append_child("bpmndi:BPMNDiagram");
    for (const auto& [attribute, uri] : prefixes.declarations) {
      diagram.append_attribute(attribute.c_str()) = uri.c_str();
    }
    diagram.append_attribute("id") = model.ids.take(plane.element + "_diagram", "diagram").c_str();
    pugi::xml_node plane_node = diagram.append_child("bpmndi:BPMNPlane");
    plane_node.append_attribute("id") = model.ids.take(plane.element + "_plane", "plane").c_str();
    // An element without an id cannot be named; BPMN lets the plane name none.
    if (!plane.element.empty()) plane_node.append_attribute("bpmnElement") = plane.element.c_str();
    export_detail::write_plane_di(
        plane_node, model, [&](const std::string& id) { return document.has_element(id); },
        document.fonts());
    add_parent_lanes(plane_node, model, document, model.ids);
    naming.registry = std::move(model.ids);
  }
  std::string fresh;
  for (pugi::xml_node diagram : scratch.children()) {
    rename_prefixes(diagram, prefixes);
    std::ostringstream out;
    diagram.print(out, indent.c_str(), pugi::format_indent, pugi::encoding_utf8, 1);
    std::string printed = out.str();
    while (!printed.empty() && printed.back() == '\n') printed.pop_back();
    fresh += "\n" + printed;
  }
  if (newline != "\n") {
    std::string converted;
    for (char c : fresh) converted += c == '\n' ? newline : std::string(1, c);
    fresh = std::move(converted);
  }

  // Cut the old diagrams out with the blanks before them; the new ones go where the first was.
  std::vector<std::pair<std::size_t, std::size_t>> cuts;
  for (pugi::xml_node diagram : document.diagrams()) {
    const std::size_t start = element_start(diagram);
    cuts.emplace_back(blanks_before(text, start), element_end(text, start));
  }
  if (cuts.empty()) {
    const std::size_t end = element_end(text, element_start(root));
    const std::size_t closing = blanks_before(text, text.rfind("</", end));
    cuts.emplace_back(closing, closing);
  }
  std::string out;
  out.reserve(text.size() + fresh.size());
  std::size_t at = 0;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    out.append(text.substr(at, cuts[i].first - at));
    if (i == 0) out += fresh;
    at = cuts[i].second;
  }
  out.append(text.substr(at));
  return out;
}

void BPMN::write_back(const BpmnSource& source, const std::vector<BpmnPlane>& planes,
                      const std::string& filename) {
  write_file_atomically(filename, write_back_xml(source, planes));
}

}  // namespace orvane
