#pragma once

#include <memory>
#include <string>

#include "orvane/bpmn_reader.hpp"
#include "orvane/export.hpp"
#include "orvane/loader.hpp"
#include "orvane/swimboard.hpp"

namespace orvane {

/// The formats orvane reads.
enum class InputFormat { DESCRIPTION, BPMN };

/// The format of a file from its content (XML is BPMN, anything else a YAML description); a
/// name ending in ".bpmn" or ".xml" is read as BPMN whatever it holds, so that a broken BPMN
/// file is reported as such.
ORVANE_API InputFormat input_format(const std::string& path, std::string_view text);

/// Reads a diagram file of either format and builds it, with the file ids of its shapes.
ORVANE_API LoadedDiagram load_file(const std::string& path, const LoadOptions& options = {});

/// Reads a diagram file of either format: the diagram alone.
ORVANE_API std::unique_ptr<Swimboard> load(const std::string& path,
                                           const LoadOptions& options = {});

}  // namespace orvane
