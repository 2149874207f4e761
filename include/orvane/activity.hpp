#pragma once

#include <string_view>
#include <vector>

#include "orvane/event.hpp"
#include "orvane/shape.hpp"

namespace orvane {

/// What kind of work a task is, shown as a small marker in its top-left corner.
enum class TaskType { NONE, USER, SERVICE, SEND, RECEIVE, SCRIPT, MANUAL, BUSINESS_RULE };
/// How an activity repeats, shown as a marker at the bottom centre: a standard loop (circular
/// arrow) or multiple instances run in parallel (three bars upright) or in sequence (lying).
enum class LoopType { NONE, STANDARD, PARALLEL, SEQUENTIAL };
/// The forms of a (collapsed) sub-process: an embedded one, a call activity (thick border), a
/// transaction (double border) or an event sub-process (dotted border, started by an event).
enum class SubprocessForm { EMBEDDED, CALL_ACTIVITY, TRANSACTION, EVENT };

/// The lower-case words of the enumerations ("business_rule", "sequential", "call_activity").
ORVANE_API std::string_view task_type_name(TaskType type);
ORVANE_API std::string_view loop_type_name(LoopType type);
ORVANE_API std::string_view subprocess_form_name(SubprocessForm form);

/// Base of tasks and sub-processes: a rounded box with its name inside, its markers at the
/// bottom and its boundary events on its lower border.
class ORVANE_API Activity : public Shape {
 public:
  using Shape::Shape;
  ShapeKind kind() const override { return ShapeKind::ACTIVITY; }
  /// Places the activity in its cell and its boundary events on its lower border.
  void set_draw_position(Painter& painter) override;

  /// How the activity repeats.
  LoopType loop = LoopType::NONE;
  /// An activity that compensates another (rewind marker); a compensation boundary event's
  /// association leads to it.
  bool compensation = false;
  /// The events on the activity's border, left to right (created by Lane::add_boundary_event;
  /// the lane owns them).
  std::vector<TypedEvent*> boundary_events;
};

/// A task: a rounded rectangle with its name inside.
class ORVANE_API Task : public Activity {
 public:
  using Activity::Activity;
  std::string class_name() const override { return "Task"; }
  ElementType element_type() const override { return ElementType::TASK; }
  /// The kind of work (user, service, send, ...); NONE for an abstract task.
  TaskType task_type = TaskType::NONE;
};

/// A collapsed sub-process: a task outline with the [+] marker. Its form makes it a call
/// activity, a transaction or an event sub-process.
class ORVANE_API Subprocess : public Activity {
 public:
  using Activity::Activity;
  std::string class_name() const override { return "Subprocess"; }
  ElementType element_type() const override { return ElementType::SUBPROCESS; }
  SubprocessForm form = SubprocessForm::EMBEDDED;
  /// An ad-hoc sub-process (tilde marker): its inner activities run in no set order.
  bool ad_hoc = false;
  /// For an event sub-process: the trigger of the start event that opens it (drawn in the
  /// top-left corner) and whether it interrupts the enclosing process.
  EventTrigger start_trigger = EventTrigger::NONE;
  bool start_interrupts = true;
};

/// A terminator: a stadium marking where a flow begins or ends. The layout places one that
/// leads into a flow beside its target.
class ORVANE_API Terminator : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "Terminator"; }
  ElementType element_type() const override { return ElementType::TERMINATOR; }
  ShapeKind kind() const override { return ShapeKind::TERMINATOR; }
};

/// What a data object stands for: data of the process, or its input or output (an arrow in
/// the corner, open for an input, filled for an output).
enum class DataRole { OBJECT, INPUT, OUTPUT };

/// A data object: a page with a folded corner.
class ORVANE_API DataObject : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "DataObject"; }
  ElementType element_type() const override { return ElementType::DATA_OBJECT; }
  ShapeKind kind() const override { return ShapeKind::DATA; }
  DataRole role = DataRole::OBJECT;
  /// A collection of data (three bars at the bottom).
  bool collection = false;
};

/// A data store: a cylinder.
class ORVANE_API DataStore : public Shape {
 public:
  using Shape::Shape;
  std::string class_name() const override { return "DataStore"; }
  ElementType element_type() const override { return ElementType::DATA_STORE; }
  ShapeKind kind() const override { return ShapeKind::DATA; }
};

}  // namespace orvane
