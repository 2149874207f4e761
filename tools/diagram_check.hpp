#pragma once

#include <string>
#include <vector>

#include "orvane/loader.hpp"

namespace orvane {

/// One shape's problems, in the words `orvane check` prints.
struct ShapeWarning {
  std::string id;
  std::string name;
  SourceMark mark;
  /// Each a phrase completing "shape 'X' ...", such as "has no connections (orphan)".
  std::vector<std::string> problems;
};

/// The shapes of a loaded (not yet drawn) diagram that are drawn but probably not meant as they
/// are: unconnected, nothing leading in, an end event that flows on, a start event that is
/// flowed into. One entry per shape with problems, in description order.
std::vector<ShapeWarning> check_shapes(const DiagramDescription& description,
                                       const LoadedDiagram& diagram);

}  // namespace orvane
