#pragma once

#include "orvane/shape.hpp"

namespace orvane {

/// What sets an event off, shown as its marker.
enum class EventTrigger { NONE, MESSAGE, SIGNAL, TIMER, CONDITIONAL, LINK };
/// Where an event stands in the flow: thin circle, double circle or thick circle.
enum class EventPosition { START, INTERMEDIATE, END };

/// Base of the BPMN events.
class ORVANE_API Event : public Shape {
 public:
  using Shape::Shape;
  ShapeKind kind() const override { return ShapeKind::EVENT; }
  virtual EventTrigger trigger() const = 0;
  /// The position this event takes; timers and links decide by their connections.
  virtual EventPosition position() const = 0;
  /// Whether the event throws (filled marker): end events, plain intermediate events and link
  /// events that lead nowhere.
  virtual bool throwing() const;
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

}  // namespace orvane
