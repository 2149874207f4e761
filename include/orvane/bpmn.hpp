#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

class Pool;

/// A BPMN document a diagram was read from. Writing that diagram as BPMN writes the document
/// back: its semantic part as it was, only its diagram interchange new.
struct ORVANE_API BpmnSource {
  /// The document as read.
  std::string text;
  /// The element the main diagram's plane shows: the collaboration, or else the process.
  std::string plane_element;
};

/// One plane of a document written back: a drawn diagram and the element its plane shows.
struct BpmnPlane {
  std::string element;
  const std::vector<std::unique_ptr<Pool>>* pools = nullptr;
};

/// Writes a diagram as BPMN 2.0 XML with diagram interchange.
class ORVANE_API BPMN {
 public:
  BPMN();
  /// Writes `pools` to `filename` atomically; throws on failure and leaves no file.
  void export_to_xml(const std::vector<std::unique_ptr<Pool>>& pools, const std::string& filename);
  /// The document as text.
  std::string to_xml(const std::vector<std::unique_ptr<Pool>>& pools);
  /// The document `source` holds, byte for byte but for its diagram interchange, which becomes
  /// `planes`: the main diagram first, then the contents of sub-processes. Throws
  /// std::invalid_argument when the source is not a well-formed document.
  std::string write_back_xml(const BpmnSource& source, const std::vector<BpmnPlane>& planes);
  /// Writes write_back_xml to `filename` atomically; throws on failure and leaves no file.
  void write_back(const BpmnSource& source, const std::vector<BpmnPlane>& planes,
                  const std::string& filename);
};

}  // namespace orvane
