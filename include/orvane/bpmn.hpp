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

/// Writes a diagram as BPMN 2.0 XML with diagram interchange.
class ORVANE_API BPMN {
 public:
  BPMN();
  /// Writes `pools` to `filename` atomically; throws on failure and leaves no file.
  void export_to_xml(const std::vector<std::unique_ptr<Pool>>& pools, const std::string& filename);
  /// The document as text.
  std::string to_xml(const std::vector<std::unique_ptr<Pool>>& pools);
};

}  // namespace orvane
