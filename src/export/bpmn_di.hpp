// The diagram interchange of one drawn diagram, shared by the export and the write-back of a
// document read from BPMN.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "diagram_model.hpp"

namespace orvane::export_detail {

/// Appends to `plane` a BPMNShape for every pool, lane and node of `model` and a BPMNEdge for
/// every flow, named with the prefixes bpmndi, dc and di. `drawable`, when given, says which
/// element ids get DI. DI ids are taken from model.ids.
void write_plane_di(pugi::xml_node plane, DiagramModel& model,
                    const std::function<bool(const std::string&)>& drawable);

}  // namespace orvane::export_detail
