// Event triggers, where BPMN allows each of them, and how events tell their position and
// direction.
#include "orvane/event.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "orvane/activity.hpp"

namespace orvane {
namespace {

constexpr std::array<std::string_view, 13> kTriggerNames{
    "none",      "message",  "signal",           "timer",        "conditional",
    "link",      "error",    "escalation",       "compensation", "cancel",
    "terminate", "multiple", "parallel_multiple"};

using T = EventTrigger;

bool one_of(EventTrigger trigger, std::initializer_list<EventTrigger> list) {
  return std::find(list.begin(), list.end(), trigger) != list.end();
}

}  // namespace

std::string_view trigger_name(EventTrigger trigger) {
  const auto index = static_cast<std::size_t>(trigger);
  if (index >= kTriggerNames.size()) {
    throw std::out_of_range("unknown event trigger " + std::to_string(index));
  }
  return kTriggerNames[index];
}

const std::vector<EventTrigger>& all_event_triggers() {
  static const std::vector<EventTrigger> all = [] {
    std::vector<EventTrigger> v;
    for (std::size_t i = 0; i < kTriggerNames.size(); ++i) v.push_back(static_cast<T>(i));
    return v;
  }();
  return all;
}

bool trigger_allowed(EventTrigger trigger, const EventUse& use) {
  if (use.boundary) {
    return one_of(trigger,
                  {T::MESSAGE, T::TIMER, T::ERROR, T::ESCALATION, T::CANCEL, T::COMPENSATION,
                   T::CONDITIONAL, T::SIGNAL, T::MULTIPLE, T::PARALLEL_MULTIPLE});
  }
  switch (use.position) {
    case EventPosition::START:
      if (one_of(trigger, {T::MESSAGE, T::TIMER, T::CONDITIONAL, T::SIGNAL, T::MULTIPLE,
                           T::PARALLEL_MULTIPLE})) {
        return true;
      }
      return use.in_event_subprocess ? one_of(trigger, {T::ERROR, T::ESCALATION, T::COMPENSATION})
                                     : trigger == T::NONE;
    case EventPosition::INTERMEDIATE:
      if (use.throwing) {
        return one_of(trigger, {T::NONE, T::MESSAGE, T::ESCALATION, T::COMPENSATION, T::LINK,
                                T::SIGNAL, T::MULTIPLE});
      }
      return one_of(trigger, {T::MESSAGE, T::TIMER, T::CONDITIONAL, T::LINK, T::SIGNAL, T::MULTIPLE,
                              T::PARALLEL_MULTIPLE});
    case EventPosition::END:
      return one_of(trigger, {T::NONE, T::MESSAGE, T::ERROR, T::ESCALATION, T::CANCEL,
                              T::COMPENSATION, T::SIGNAL, T::TERMINATE, T::MULTIPLE});
  }
  return false;
}

std::vector<EventTrigger> allowed_triggers(const EventUse& use) {
  std::vector<EventTrigger> out;
  for (EventTrigger trigger : all_event_triggers()) {
    if (trigger_allowed(trigger, use)) out.push_back(trigger);
  }
  return out;
}

bool may_be_non_interrupting(EventTrigger trigger, const EventUse& use) {
  if (!use.boundary && use.position != EventPosition::START) return false;
  return one_of(trigger, {T::MESSAGE, T::TIMER, T::CONDITIONAL, T::SIGNAL, T::MULTIPLE,
                          T::PARALLEL_MULTIPLE, T::ESCALATION});
}

bool Event::throwing() const {
  switch (position()) {
    case EventPosition::END:
      return true;
    case EventPosition::START:
      return false;
    case EventPosition::INTERMEDIATE:
      break;
  }
  return throws_in_between();
}

bool Event::throws_in_between() const {
  switch (trigger()) {
    case EventTrigger::NONE:
      return true;
    case EventTrigger::LINK:
      return connection_to->empty();
    default:
      return false;
  }
}

EventPosition Timer::position() const {
  return connection_from->empty() ? EventPosition::START : EventPosition::INTERMEDIATE;
}

EventPosition TypedEvent::position() const {
  return attached_to != nullptr ? EventPosition::INTERMEDIATE : stage;
}

EventUse TypedEvent::use() const {
  EventUse u;
  u.position = position();
  u.throwing = throwing() && u.position == EventPosition::INTERMEDIATE;
  u.boundary = attached_to != nullptr;
  return u;
}

}  // namespace orvane
