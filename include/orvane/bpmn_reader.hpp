#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/bpmn.hpp"
#include "orvane/export.hpp"
#include "orvane/loader.hpp"

namespace orvane {

/// A BPMN 2.0 document read into diagram descriptions: the main diagram (pools from the
/// collaboration's participants or the processes, lanes from the lane sets, shapes, flows and
/// artifacts, each with its id from the file) and one diagram for the contents of each
/// sub-process, which the main diagram draws collapsed.
struct ORVANE_API BpmnReading {
  DiagramDescription diagram;
  /// The contents of a sub-process, laid out as a diagram of their own.
  struct Subdiagram {
    /// The sub-process's id.
    std::string element;
    DiagramDescription diagram;
  };
  /// Every sub-process with contents, nested ones included, in document order.
  std::vector<Subdiagram> subdiagrams;
  /// The document, for writing it back with a new diagram interchange.
  std::shared_ptr<const BpmnSource> source;
  /// What the document holds that the picture cannot draw (it stays in the document written
  /// back): where it is and what it is, for example "message flow 'm' from 'a' to 'b' is not
  /// drawn: both ends are pools shown with their processes".
  struct Omission {
    SourceMark mark;
    std::string what;
  };
  std::vector<Omission> not_drawn;
};

/// Whether `text` is an XML document (and so read as BPMN rather than as a description).
ORVANE_API bool looks_like_xml(std::string_view text);

/// Reads a BPMN 2.0 document; `source` names it in messages. Refuses what cannot be read or
/// drawn (not XML, not BPMN, a reference to nothing, a flow to an element in no process, a
/// document type) with a DescriptionError naming the line and column.
ORVANE_API BpmnReading read_bpmn(std::string_view text, const std::string& source,
                                 const LoadOptions& options = {});
/// Builds the diagram a reading describes, its sub-process diagrams attached to it
/// (Swimboard::subdiagrams) and the document kept for writing it back.
ORVANE_API LoadedDiagram build_bpmn(const BpmnReading& reading, const LoadOptions& options = {});
/// Reads and builds a BPMN document given as text.
ORVANE_API LoadedDiagram load_bpmn_text(std::string_view text, const std::string& source,
                                        const LoadOptions& options = {});

}  // namespace orvane
