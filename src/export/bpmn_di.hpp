// The diagram interchange of one drawn diagram, shared by the export and the write-back of a
// document read from BPMN.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "diagram_model.hpp"

namespace orvane::export_detail {

/// The font of an element's name in the DI (a dc:Font): its attributes and their values, in
/// the order the schema lists them.
using LabelFont = std::vector<std::pair<std::string, std::string>>;
/// The fonts a BPMN document gives its elements' names, by element id.
using LabelFonts = std::unordered_map<std::string, LabelFont>;

/// The dc:Font attributes of `font` that mean what BPMN says: a name, a size that is a positive
/// number, the four flags as booleans; others are left out.
LabelFont read_label_font(pugi::xml_node font);

/// Appends to `plane` a BPMNShape for every pool, lane and node of `model` and a BPMNEdge for
/// every flow, named with the prefixes bpmndi, dc and di. `drawable`, when given, says which
/// element ids get DI. DI ids are taken from model.ids. An element whose name has a font of its
/// own (one the caller set, or one `kept` names for its id) gets a label style, appended to the
/// plane's diagram.
void write_plane_di(pugi::xml_node plane, DiagramModel& model,
                    const std::function<bool(const std::string&)>& drawable,
                    const LabelFonts& kept = {});

}  // namespace orvane::export_detail
