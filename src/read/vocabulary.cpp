#include "orvane/vocabulary.hpp"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "orvane/artifact.hpp"
#include "orvane/gateway.hpp"

namespace orvane {
namespace {

std::string snake_case(std::string_view member) {
  std::string name(member);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

// Where a typed event stands, by the suffix of its word.
struct EventSuffix {
  const char* suffix;
  EventUse use;
};

const std::vector<EventSuffix>& event_suffixes() {
  static const std::vector<EventSuffix> suffixes = [] {
    EventUse start;
    EventUse catching;
    catching.position = EventPosition::INTERMEDIATE;
    EventUse throwing = catching;
    throwing.throwing = true;
    EventUse end;
    end.position = EventPosition::END;
    EventUse boundary = catching;
    boundary.boundary = true;
    return std::vector<EventSuffix>{{"start", start},
                                    {"catch", catching},
                                    {"throw", throwing},
                                    {"end", end},
                                    {"boundary", boundary}};
  }();
  return suffixes;
}

std::vector<TypeWord> build_words() {
  std::vector<TypeWord> words;
  std::vector<std::string> taken;
  for (ElementType type : all_element_types()) {
    if (type == ElementType::TYPED_EVENT || !stands_in_lane(type)) continue;
    TypeWord w;
    w.word = snake_case(member_name(type));
    w.type = type;
    words.push_back(w);
  }
  for (TaskType task : {TaskType::USER, TaskType::SERVICE, TaskType::SEND, TaskType::RECEIVE,
                        TaskType::SCRIPT, TaskType::MANUAL, TaskType::BUSINESS_RULE}) {
    TypeWord w;
    w.word = std::string(task_type_name(task)) + "_task";
    w.type = ElementType::TASK;
    w.task_type = task;
    words.push_back(w);
  }
  for (SubprocessForm form :
       {SubprocessForm::CALL_ACTIVITY, SubprocessForm::TRANSACTION, SubprocessForm::EVENT}) {
    TypeWord w;
    w.word = form == SubprocessForm::EVENT ? "event_subprocess"
                                           : std::string(subprocess_form_name(form));
    w.type = ElementType::SUBPROCESS;
    w.form = form;
    words.push_back(w);
  }
  for (DataRole role : {DataRole::INPUT, DataRole::OUTPUT}) {
    TypeWord w;
    w.word = role == DataRole::INPUT ? "data_input" : "data_output";
    w.type = ElementType::DATA_OBJECT;
    w.role = role;
    words.push_back(w);
  }
  // Typed events, except the none trigger (start, intermediate and end say it) and the words
  // the original kinds already use (message_end, signal_end).
  for (const EventSuffix& suffix : event_suffixes()) {
    for (EventTrigger trigger : allowed_triggers(suffix.use)) {
      if (trigger == EventTrigger::NONE) continue;
      TypeWord w;
      w.word = std::string(trigger_name(trigger)) + "_" + suffix.suffix;
      if (std::any_of(words.begin(), words.end(),
                      [&](const TypeWord& existing) { return existing.word == w.word; })) {
        continue;
      }
      w.type = ElementType::TYPED_EVENT;
      w.trigger = trigger;
      w.position = suffix.use.position;
      w.throws = suffix.use.throwing;
      w.boundary = suffix.use.boundary;
      words.push_back(w);
    }
  }
  return words;
}

}  // namespace

const std::vector<TypeWord>& type_words() {
  static const std::vector<TypeWord> words = build_words();
  return words;
}

const std::vector<std::string>& type_word_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const TypeWord& w : type_words()) v.push_back(w.word);
    return v;
  }();
  return names;
}

const TypeWord* find_type_word(std::string_view word) {
  static const std::unordered_map<std::string_view, const TypeWord*> index = [] {
    std::unordered_map<std::string_view, const TypeWord*> m;
    for (const TypeWord& w : type_words()) m.emplace(w.word, &w);
    return m;
  }();
  auto it = index.find(word);
  return it == index.end() ? nullptr : it->second;
}

void apply_type_word(const TypeWord& word, Shape& shape) {
  if (auto* task = dynamic_cast<Task*>(&shape)) task->task_type = word.task_type;
  if (auto* sub = dynamic_cast<Subprocess*>(&shape)) sub->form = word.form;
  if (auto* data = dynamic_cast<DataObject*>(&shape)) data->role = word.role;
  if (auto* event = dynamic_cast<TypedEvent*>(&shape)) {
    event->definition = word.trigger;
    event->stage = word.position;
    event->throws = word.throws;
  }
}

std::string type_word_of(const Shape& shape) {
  if (const auto* task = dynamic_cast<const Task*>(&shape)) {
    if (task->task_type != TaskType::NONE) {
      return std::string(task_type_name(task->task_type)) + "_task";
    }
  } else if (const auto* sub = dynamic_cast<const Subprocess*>(&shape)) {
    if (sub->form == SubprocessForm::EVENT) return "event_subprocess";
    if (sub->form != SubprocessForm::EMBEDDED) return std::string(subprocess_form_name(sub->form));
  } else if (const auto* data = dynamic_cast<const DataObject*>(&shape)) {
    if (data->role == DataRole::INPUT) return "data_input";
    if (data->role == DataRole::OUTPUT) return "data_output";
  } else if (const auto* event = dynamic_cast<const TypedEvent*>(&shape)) {
    const EventUse use = event->use();
    const char* suffix = use.boundary                           ? "boundary"
                         : use.position == EventPosition::START ? "start"
                         : use.position == EventPosition::END   ? "end"
                         : use.throwing                         ? "throw"
                                                                : "catch";
    if (event->definition == EventTrigger::NONE) {
      return use.position == EventPosition::START ? "start"
             : use.position == EventPosition::END ? "end"
                                                  : "intermediate";
    }
    return std::string(trigger_name(event->definition)) + "_" + suffix;
  }
  return snake_case(member_name(shape.element_type()));
}

}  // namespace orvane
