// The warnings of `orvane check`: what validation lets through but a reader of the picture
// would stumble on.
#include "diagram_check.hpp"

#include <algorithm>

#include "orvane/activity.hpp"
#include "orvane/event.hpp"

namespace orvane {
namespace {

// Generic message, signal and conditional events become start, intermediate or end events by
// their connections when drawn; until then they say nothing about their place in the flow.
bool decided_by_connections(ElementType type) {
  return type == ElementType::MESSAGE || type == ElementType::SIGNAL ||
         type == ElementType::CONDITIONAL;
}

// Shapes that may stand with nothing leading into them: start and end events (and the generic
// events), boundary events (their activity triggers them) and data.
bool may_stand_without_input(const Shape& shape) {
  if (shape.kind() == ShapeKind::DATA) return true;
  const auto* event = dynamic_cast<const Event*>(&shape);
  if (event == nullptr) return false;
  return decided_by_connections(shape.element_type()) || event->boundary_of() != nullptr ||
         event->position() != EventPosition::INTERMEDIATE;
}

std::vector<std::string> problems_of(const Shape& shape) {
  std::vector<std::string> problems;
  const bool has_out = !shape.connection_to->empty();
  const bool has_in = !shape.connection_from->empty();
  // An event sub-process starts by its own event, never by a flow.
  const auto* sub = dynamic_cast<const Subprocess*>(&shape);
  const bool by_event = sub != nullptr && sub->form == SubprocessForm::EVENT;
  if (!has_out && !has_in) {
    if (!by_event) problems.push_back("has no connections (orphan)");
  } else if (!has_in && !may_stand_without_input(shape)) {
    problems.push_back("has nothing leading into it (dangling)");
  }
  const auto* event = dynamic_cast<const Event*>(&shape);
  if (event == nullptr || decided_by_connections(shape.element_type()) ||
      event->boundary_of() != nullptr) {
    return problems;
  }
  if (event->position() == EventPosition::END) {
    // A message end event sends its message to another pool: only its sequence flows are wrong.
    const bool sends = event->trigger() == EventTrigger::MESSAGE;
    const bool flows_on =
        std::any_of(shape.connection_to->begin(), shape.connection_to->end(),
                    [&](const Connection& c) { return !sends || c.connection_type == "sequence"; });
    if (flows_on) {
      problems.push_back("is an end event with outgoing flows (nothing may follow an end event)");
    }
  }
  if (event->position() == EventPosition::START) {
    const bool flowed_into = std::any_of(
        shape.connection_from->begin(), shape.connection_from->end(), [&](const Shape* source) {
          return std::any_of(source->connection_to->begin(), source->connection_to->end(),
                             [&](const Connection& c) {
                               return c.target == &shape && c.connection_type == "sequence";
                             });
        });
    if (flowed_into) {
      problems.push_back(
          "is a start event with incoming sequence flows (use an intermediate event there)");
    }
  }
  return problems;
}

}  // namespace

std::vector<ShapeWarning> check_shapes(const DiagramDescription& description,
                                       const LoadedDiagram& diagram) {
  std::vector<ShapeWarning> warnings;
  auto visit = [&](const LaneDescription& lane) {
    for (const ShapeDescription& s : lane.shapes) {
      auto found = diagram.shapes_by_id.find(s.id);
      if (found == diagram.shapes_by_id.end()) continue;
      std::vector<std::string> problems = problems_of(*found->second);
      if (!problems.empty()) warnings.push_back({s.id, s.name, s.mark, std::move(problems)});
    }
  };
  for (const PoolDescription& pool : description.pools) {
    for (const LaneDescription& lane : pool.lanes) visit(lane);
  }
  for (const LaneDescription& lane : description.lanes) visit(lane);
  return warnings;
}

}  // namespace orvane
