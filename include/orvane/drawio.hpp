#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

class Pool;

/// Writes a diagram as an uncompressed drawio file.
class ORVANE_API DrawIO {
 public:
  DrawIO();
  /// Writes `pools` to `filename` atomically; throws on failure and leaves no file.
  void export_to_xml(const std::vector<std::unique_ptr<Pool>>& pools, const std::string& filename);
  /// The document as text.
  std::string to_xml(const std::vector<std::unique_ptr<Pool>>& pools);
};

}  // namespace orvane
