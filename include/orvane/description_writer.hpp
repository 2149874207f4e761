#pragma once

#include <string>

#include "orvane/export.hpp"
#include "orvane/loader.hpp"

namespace orvane {

/// A description as YAML text that reads back into the same description (ids, names, types,
/// markers, connections, annotations and groups, styles that differ from the defaults), so that
/// a diagram read from another format can be kept as a description file.
ORVANE_API std::string description_to_yaml(const DiagramDescription& description);

}  // namespace orvane
