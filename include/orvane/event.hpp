#pragma once

#include <string_view>
#include <vector>

#include "orvane/shape.hpp"

namespace orvane {

class Activity;

/// What sets an event off or what it sends (its BPMN event definition), shown as its marker.
enum class EventTrigger {
  NONE,
  MESSAGE,
  SIGNAL,
  TIMER,
  CONDITIONAL,
  LINK,
  ERROR,
  ESCALATION,
  COMPENSATION,
  CANCEL,
  TERMINATE,
  MULTIPLE,
  PARALLEL_MULTIPLE,
};
/// The kinds of event by what sets them off, under the name callers may know them by
/// beside ElementType (the diagram itself works with EventTrigger).
using EventType = EventTrigger;
/// Where an event stands in the flow: thin circle, double circle or thick circle.
enum class EventPosition { START, INTERMEDIATE, END };

/// The lower-case word of a trigger ("none", "message", "parallel_multiple", ...).
ORVANE_API std::string_view trigger_name(EventTrigger trigger);
/// Every trigger, in declaration order.
ORVANE_API const std::vector<EventTrigger>& all_event_triggers();

/// Where an event with a trigger can stand, as BPMN allows it.
struct EventUse {
  EventPosition position = EventPosition::START;
  /// An intermediate event that throws (otherwise it catches).
  bool throwing = false;
  /// A boundary event (an intermediate catch event on an activity's border).
  bool boundary = false;
  /// A start event of an event sub-process, which may also catch errors, escalations and
  /// compensations.
  bool in_event_subprocess = false;
};
/// The triggers BPMN allows for `use`, in declaration order.
ORVANE_API std::vector<EventTrigger> allowed_triggers(const EventUse& use);
/// Whether BPMN allows `trigger` for `use`.
ORVANE_API bool trigger_allowed(EventTrigger trigger, const EventUse& use);
/// Whether `trigger` may be non-interrupting for `use` (starts of event sub-processes and
/// boundary events only; errors, cancels and compensations always interrupt).
ORVANE_API bool may_be_non_interrupting(EventTrigger trigger, const EventUse& use);

/// Base of the BPMN events.
class ORVANE_API Event : public Shape {
 public:
  using Shape::Shape;
  ShapeKind kind() const override { return ShapeKind::EVENT; }
  virtual EventTrigger trigger() const = 0;
  /// The position this event takes; timers and links decide by their connections.
  virtual EventPosition position() const = 0;
  /// Whether the event throws (filled marker): end events always, start events never, an
  /// intermediate event as `throws_in_between` says.
  bool throwing() const;
  /// Whether the event interrupts what it starts or sits on (drawn solid; dashed otherwise).
  virtual bool interrupting() const { return true; }
  /// The activity whose border a boundary event sits on; nullptr for every other event.
  virtual Activity* boundary_of() const { return nullptr; }

 protected:
  /// Whether the event throws where it is intermediate: plain intermediate events and link
  /// events that lead nowhere.
  virtual bool throws_in_between() const;
};

#define ORVANE_EVENT_CLASS(Name, Member, Trigger, Position)                     \
  class ORVANE_API Name : public Event {                                        \
   public:                                                                      \
    using Event::Event;                                                         \
    std::string class_name() const override { return #Name; }                   \
    ElementType element_type() const override { return ElementType::Member; }   \
    EventTrigger trigger() const override { return EventTrigger::Trigger; }     \
    EventPosition position() const override { return EventPosition::Position; } \
  }

ORVANE_EVENT_CLASS(Start, START, NONE, START);
ORVANE_EVENT_CLASS(End, END, NONE, END);
ORVANE_EVENT_CLASS(Intermediate, INTERMEDIATE, NONE, INTERMEDIATE);
ORVANE_EVENT_CLASS(Message, MESSAGE, MESSAGE, START);
ORVANE_EVENT_CLASS(MessageIntermediate, MESSAGE_INTERMEDIATE, MESSAGE, INTERMEDIATE);
ORVANE_EVENT_CLASS(MessageEnd, MESSAGE_END, MESSAGE, END);
ORVANE_EVENT_CLASS(Signal, SIGNAL, SIGNAL, START);
ORVANE_EVENT_CLASS(SignalIntermediate, SIGNAL_INTERMEDIATE, SIGNAL, INTERMEDIATE);
ORVANE_EVENT_CLASS(SignalEnd, SIGNAL_END, SIGNAL, END);
ORVANE_EVENT_CLASS(Conditional, CONDITIONAL, CONDITIONAL, START);
ORVANE_EVENT_CLASS(ConditionalIntermediate, CONDITIONAL_INTERMEDIATE, CONDITIONAL, INTERMEDIATE);

#undef ORVANE_EVENT_CLASS

/// A timer: a start event when nothing leads into it, an intermediate catch event otherwise.
class ORVANE_API Timer : public Event {
 public:
  using Event::Event;
  std::string class_name() const override { return "Timer"; }
  ElementType element_type() const override { return ElementType::TIMER; }
  EventTrigger trigger() const override { return EventTrigger::TIMER; }
  EventPosition position() const override;
};

/// A link event: an intermediate event that throws when it leads nowhere, catches otherwise.
class ORVANE_API Link : public Event {
 public:
  using Event::Event;
  std::string class_name() const override { return "Link"; }
  ElementType element_type() const override { return ElementType::LINK; }
  EventTrigger trigger() const override { return EventTrigger::LINK; }
  EventPosition position() const override { return EventPosition::INTERMEDIATE; }
};

/// An event given entirely by data: any trigger at any position, catching or throwing,
/// interrupting or not, standing in a lane or sitting on an activity's border. Unlike the
/// generic message, signal and conditional events it is never replaced: it is what it says.
class ORVANE_API TypedEvent : public Event {
 public:
  using Event::Event;
  std::string class_name() const override { return "TypedEvent"; }
  ElementType element_type() const override { return ElementType::TYPED_EVENT; }
  EventTrigger trigger() const override { return definition; }
  /// Boundary events are intermediate whatever `stage` says.
  EventPosition position() const override;
  bool interrupting() const override { return interrupts; }
  Activity* boundary_of() const override { return attached_to; }
  /// How BPMN sees this event's use (position, direction, boundary).
  EventUse use() const;
  /// A boundary event sits on its activity's lower border, spread with the others there, its
  /// name beside it; any other event takes its cell.
  void set_draw_position(Painter& painter) override;

  /// What sets the event off or what it sends.
  EventTrigger definition = EventTrigger::NONE;
  /// Start, intermediate or end.
  EventPosition stage = EventPosition::START;
  /// An intermediate event that throws (filled marker) rather than catches.
  bool throws = false;
  /// False for a non-interrupting start or boundary event, drawn dashed.
  bool interrupts = true;
  /// The activity whose lower border the event sits on (set by Lane::add_boundary_event), or
  /// nullptr for an event that stands in its lane.
  Activity* attached_to = nullptr;

 protected:
  /// A boundary event catches; any other throws as `throws` says.
  bool throws_in_between() const override { return attached_to == nullptr && throws; }
};

}  // namespace orvane
