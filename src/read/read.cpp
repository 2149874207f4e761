// Builds what the readers read, and picks the reader for a file.
#include "orvane/read.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "orvane/helper.hpp"

namespace orvane {
namespace {

const char* const EMPTY_FIRST_LANE = "The process map must contain at least one shape";

// Builds one diagram; a pool whose first lane is empty is refused by the diagram's validation,
// and the message then names the pool and the lane where the file defines them.
LoadedDiagram build_checked(const DiagramDescription& description, const LoadOptions& options) {
  try {
    return build_diagram(description, options);
  } catch (const DescriptionError& e) {
    if (e.message() != EMPTY_FIRST_LANE) throw;
    for (const PoolDescription& pool : description.pools) {
      if (pool.black_box || pool.lanes.empty()) continue;
      const LaneDescription& lane = pool.lanes.front();
      const bool empty = std::all_of(lane.shapes.begin(), lane.shapes.end(),
                                     [](const ShapeDescription& s) { return s.word->boundary; });
      if (empty) {
        throw DescriptionError(
            description.source, lane.mark,
            fmt::format("{} (the first lane {} of pool {} has none)", EMPTY_FIRST_LANE,
                        Helper::quoted(lane.name), Helper::quoted(pool.name)));
      }
    }
    throw;
  } catch (const std::invalid_argument& e) {
    // What the model itself refuses, named with the file it came from.
    throw DescriptionError(description.source, {}, e.what());
  }
}

}  // namespace

LoadedDiagram build_bpmn(const BpmnReading& reading, const LoadOptions& options) {
  LoadedDiagram out = build_checked(reading.diagram, options);
  for (const BpmnReading::Subdiagram& sub : reading.subdiagrams) {
    LoadedDiagram built = build_checked(sub.diagram, options);
    out.board->subdiagrams.push_back({sub.element, std::move(built.board)});
  }
  out.board->bpmn_source = reading.source;
  return out;
}

LoadedDiagram load_bpmn_text(std::string_view text, const std::string& source,
                             const LoadOptions& options) {
  return build_bpmn(read_bpmn(text, source, options), options);
}

InputFormat input_format(const std::string& path, std::string_view text) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (looks_like_xml(text) || extension == ".bpmn" || extension == ".xml") {
    return InputFormat::BPMN;
  }
  return InputFormat::DESCRIPTION;
}

LoadedDiagram load_file(const std::string& path, const LoadOptions& options) {
  const std::string text = read_description_file(path, options.limits);
  if (input_format(path, text) == InputFormat::BPMN) return load_bpmn_text(text, path, options);
  return load_diagram_text(text, path, options);
}

std::unique_ptr<Swimboard> load(const std::string& path, const LoadOptions& options) {
  return std::move(load_file(path, options).board);
}

}  // namespace orvane
