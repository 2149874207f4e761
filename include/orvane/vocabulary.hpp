// The words of the description format's shape `type`: which class each creates and what it
// sets on the shape, and the word that describes a shape already built.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/activity.hpp"
#include "orvane/element_type.hpp"
#include "orvane/event.hpp"
#include "orvane/export.hpp"

namespace orvane {

/// One shape type of the description format.
struct TypeWord {
  std::string word;
  /// The class created.
  ElementType type = ElementType::TASK;
  /// A task's kind of work (tasks only).
  TaskType task_type = TaskType::NONE;
  /// A sub-process's form (sub-processes only).
  SubprocessForm form = SubprocessForm::EMBEDDED;
  /// A data object's role (data objects only).
  DataRole role = DataRole::OBJECT;
  /// A typed event's trigger, position and direction; `boundary` events need `attached_to`.
  EventTrigger trigger = EventTrigger::NONE;
  EventPosition position = EventPosition::START;
  bool throws = false;
  bool boundary = false;
};

/// Every shape type word: the twenty-two original kinds (snake case of their class), then the
/// task types, sub-process forms, data roles, the complex gateway and the typed events
/// ("<trigger>_start", "_catch", "_throw", "_end", "_boundary" for each trigger BPMN allows
/// there).
ORVANE_API const std::vector<TypeWord>& type_words();
/// The word named `word`, or nullptr.
ORVANE_API const TypeWord* find_type_word(std::string_view word);
/// The words alone, in the order of type_words().
ORVANE_API const std::vector<std::string>& type_word_names();
/// Applies what `word` sets beyond its class to a freshly created `shape`.
ORVANE_API void apply_type_word(const TypeWord& word, Shape& shape);
/// The word that describes `shape` as it is now (after replacement a generic "message" may
/// read "message_end"); the snake-case class name for shapes no word creates.
ORVANE_API std::string type_word_of(const Shape& shape);

}  // namespace orvane
