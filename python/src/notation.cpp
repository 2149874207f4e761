// The BPMN notation beyond the plain kinds: the enumerations of triggers, task types, loops,
// sub-process forms, data roles and association directions; the attributes of events,
// activities, data objects, gateways and artifacts (on Shape, for the shapes that have them);
// boundary events, annotations, groups and black-box pools.
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "common.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/gateway.hpp"
#include "orvane/helper.hpp"
#include "refs.hpp"

namespace orvane::python {
namespace {

// One Python enumeration per C++ one: members named by the library's lower-case words in
// capitals, valued by the words ("message", "business_rule").
template <class E>
struct EnumTable {
  static inline const char* name = nullptr;
  static inline PyObject* cls = nullptr;
  static inline std::vector<std::pair<E, std::string>> values;
};

template <class E>
void add_enum(py::module_& m, const char* name, const std::vector<E>& values,
              std::string_view (*word)(E), const char* docstring) {
  py::list members;
  EnumTable<E>::values.clear();
  for (E value : values) {
    std::string text(word(value));
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    members.append(py::make_tuple(upper, text));
    EnumTable<E>::values.emplace_back(value, text);
  }
  py::object enumeration = py::module_::import("enum").attr("Enum")(
      name, members, py::arg("module") = "orvane", py::arg("qualname") = name);
  enumeration.attr("__doc__") = docstring;
  EnumTable<E>::name = name;
  EnumTable<E>::cls = enumeration.inc_ref().ptr();
  m.attr(name) = enumeration;
}

template <class E>
py::object enum_object(E value) {
  for (const auto& [v, word] : EnumTable<E>::values) {
    if (v == value) return py::reinterpret_borrow<py::object>(EnumTable<E>::cls)(word);
  }
  throw std::logic_error("a value outside its enumeration");
}

template <class E>
E enum_arg(py::handle value, const char* function, const char* name) {
  if (!value || PyObject_IsInstance(value.ptr(), EnumTable<E>::cls) != 1) {
    PyErr_Clear();
    wrong_kind(value, function, name, EnumTable<E>::name);
  }
  const std::string word = py::str(value.attr("value"));
  for (const auto& [v, w] : EnumTable<E>::values) {
    if (w == word) return v;
  }
  throw py::value_error(std::string("unknown ") + EnumTable<E>::name + " " + word);
}

std::string_view position_word(EventPosition position) {
  switch (position) {
    case EventPosition::START:
      return "start";
    case EventPosition::INTERMEDIATE:
      return "intermediate";
    case EventPosition::END:
      return "end";
  }
  return "start";
}

std::string_view role_word(DataRole role) {
  switch (role) {
    case DataRole::OBJECT:
      return "object";
    case DataRole::INPUT:
      return "input";
    case DataRole::OUTPUT:
      return "output";
  }
  return "object";
}

std::string_view direction_word(AssociationDirection direction) {
  switch (direction) {
    case AssociationDirection::NONE:
      return "none";
    case AssociationDirection::ONE:
      return "one";
    case AssociationDirection::BOTH:
      return "both";
  }
  return "none";
}

// The shape as the subclass that has the attribute; AttributeError for other shapes, so that
// hasattr() answers for them.
template <class Sub>
Sub& as(Shape& shape, const char* attribute) {
  if (auto* sub = dynamic_cast<Sub*>(&shape)) return *sub;
  throw py::attribute_error(Helper::quoted(shape.class_name()) + " shape " +
                            Helper::quoted(shape.name) + " has no attribute " +
                            Helper::quoted(attribute));
}

// A read-write property of the shapes of class Sub.
template <class Sub, class V, class Read, class Write>
void sub_property(ShapeClass& cls, const char* name, V Sub::*field, Read read, Write write,
                  const char* docstring) {
  cls.def_property(
      name, [field, name, read](Shape& s) { return read(as<Sub>(s, name).*field); },
      [field, name, write](Shape& s, py::handle value) {
        Sub& sub = as<Sub>(s, name);
        sub.*field = write(value, (std::string("Shape.") + name).c_str());
      },
      docstring);
}

template <class Sub>
void sub_bool(ShapeClass& cls, const char* name, bool Sub::*field, const char* docstring) {
  sub_property(
      cls, name, field, [](bool v) { return v; },
      [](py::handle v, const char* where) { return bool_arg(v, where, nullptr); }, docstring);
}

template <class Sub, class E>
void sub_enum(ShapeClass& cls, const char* name, E Sub::*field, const char* docstring) {
  sub_property(
      cls, name, field, [](E v) { return enum_object(v); },
      [](py::handle v, const char* where) { return enum_arg<E>(v, where, nullptr); }, docstring);
}

py::list shape_list(const std::vector<Shape*>& shapes) {
  py::list out;
  for (Shape* shape : shapes) out.append(wrap(shape));
  return out;
}

struct TriggerTag {
  static constexpr auto name = py::detail::const_name("EventTrigger");
};
struct ShapeListTag {
  static constexpr auto name = py::detail::const_name("list[Shape]");
};

void bind_enums(py::module_& m) {
  add_enum(m, "EventTrigger", all_event_triggers(), &trigger_name,
           "What sets an event off or what it sends (its BPMN event definition).");
  add_enum(m, "EventPosition",
           {EventPosition::START, EventPosition::INTERMEDIATE, EventPosition::END}, &position_word,
           "Where an event stands in the flow: start, intermediate or end.");
  add_enum(m, "TaskType",
           {TaskType::NONE, TaskType::USER, TaskType::SERVICE, TaskType::SEND, TaskType::RECEIVE,
            TaskType::SCRIPT, TaskType::MANUAL, TaskType::BUSINESS_RULE},
           &task_type_name, "What kind of work a task is, shown as a marker in its corner.");
  add_enum(m, "LoopType",
           {LoopType::NONE, LoopType::STANDARD, LoopType::PARALLEL, LoopType::SEQUENTIAL},
           &loop_type_name, "How an activity repeats: a loop or multiple instances.");
  add_enum(m, "SubprocessForm",
           {SubprocessForm::EMBEDDED, SubprocessForm::CALL_ACTIVITY, SubprocessForm::TRANSACTION,
            SubprocessForm::EVENT},
           &subprocess_form_name,
           "The form of a sub-process: embedded, call activity, transaction or event.");
  add_enum(m, "DataRole", {DataRole::OBJECT, DataRole::INPUT, DataRole::OUTPUT}, &role_word,
           "What a data object stands for: data of the process, or its input or output.");
  add_enum(m, "AssociationDirection",
           {AssociationDirection::NONE, AssociationDirection::ONE, AssociationDirection::BOTH},
           &direction_word, "Which ends of an association carry an arrowhead.");
}

void bind_shape_notation(ShapeClass& cls) {
  cls.def_property_readonly(
      "trigger", [](Shape& s) { return enum_object(as<Event>(s, "trigger").trigger()); },
      "An event's trigger (its event definition).");
  cls.def_property_readonly(
      "position", [](Shape& s) { return enum_object(as<Event>(s, "position").position()); },
      "Where an event stands: start, intermediate or end.");
  cls.def_property_readonly(
      "throwing", [](Shape& s) { return as<Event>(s, "throwing").throwing(); },
      "Whether an event throws (filled marker) rather than catches.");
  cls.def_property_readonly(
      "interrupting", [](Shape& s) { return as<Event>(s, "interrupting").interrupting(); },
      "Whether an event interrupts what it starts or sits on.");
  cls.def_property_readonly(
      "boundary_of",
      [](Shape& s) -> Ref<Shape> { return {as<Event>(s, "boundary_of").boundary_of()}; },
      "The activity whose border a boundary event sits on, or None.");
  sub_enum(cls, "definition", &TypedEvent::definition,
           "A typed event's trigger: what sets it off or what it sends.");
  sub_enum(cls, "stage", &TypedEvent::stage,
           "A typed event's position: start, intermediate or end.");
  sub_bool(cls, "throws", &TypedEvent::throws,
           "Whether a typed intermediate event throws rather than catches.");
  sub_bool(cls, "interrupts", &TypedEvent::interrupts,
           "False for a non-interrupting typed start or boundary event, drawn dashed.");
  sub_enum(cls, "loop", &Activity::loop, "How an activity repeats.");
  sub_bool(cls, "compensation", &Activity::compensation,
           "Whether an activity compensates another (rewind marker).");
  cls.def_property_readonly(
      "boundary_events",
      [](Shape& s) {
        py::list out;
        for (TypedEvent* event : as<Activity>(s, "boundary_events").boundary_events) {
          out.append(wrap(static_cast<Shape*>(event)));
        }
        return out;
      },
      "The events on an activity's border, left to right.");
  sub_enum(cls, "task_type", &Task::task_type, "The kind of work of a task.");
  sub_enum(cls, "form", &Subprocess::form, "A sub-process's form.");
  sub_bool(cls, "ad_hoc", &Subprocess::ad_hoc, "Whether a sub-process is ad hoc (tilde marker).");
  sub_enum(cls, "start_trigger", &Subprocess::start_trigger,
           "The trigger of the start event that opens an event sub-process.");
  sub_bool(cls, "start_interrupts", &Subprocess::start_interrupts,
           "Whether an event sub-process interrupts the enclosing process.");
  sub_enum(cls, "role", &DataObject::role, "What a data object stands for.");
  sub_bool(cls, "collection", &DataObject::collection,
           "Whether a data object is a collection (three bars).");
  sub_bool(cls, "show_marker", &Exclusive::show_marker,
           "Whether an exclusive gateway draws its X.");
  cls.def_property_readonly(
      "members", [](Shape& s) { return shape_list(as<Group>(s, "members").members); },
      "The shapes a group is drawn around.");
  cls.def_property_readonly(
      "annotated",
      [](Shape& s) -> Ref<Shape> { return {as<TextAnnotation>(s, "annotated").annotated()}; },
      "The shape a text annotation explains.");
  cls.def_property_readonly(
      "participant_pool",
      [](Shape& s) -> Ref<Pool> { return {as<Participant>(s, "participant_pool").pool}; },
      "The black-box pool a participant stands for.");
}

void bind_connection_notation(py::class_<ConnectionRef>& cls) {
  cls.def_property(
      "is_default", [](const ConnectionRef& c) { return c.get().is_default; },
      [](const ConnectionRef& c, py::handle value) {
        const bool v = bool_arg(value, "Connection.is_default", nullptr);
        c.get().is_default = v;
      },
      doc("Connection.is_default"));
  cls.def_property(
      "condition", [](const ConnectionRef& c) { return c.get().condition; },
      [](const ConnectionRef& c, py::handle value) {
        std::string v = text_arg(value, "Connection.condition", nullptr);
        c.get().condition = std::move(v);
      },
      doc("Connection.condition"));
  cls.def_property(
      "direction", [](const ConnectionRef& c) { return enum_object(c.get().direction); },
      [](const ConnectionRef& c, py::handle value) {
        const auto v = enum_arg<AssociationDirection>(value, "Connection.direction", nullptr);
        c.get().direction = v;
      },
      doc("Connection.direction"));
}

void bind_lane_notation(LaneClass& cls) {
  cls.def_property_readonly(
      "attached", [](const Lane& l) { return shape_list(l.attached); }, doc("Lane.attached"));
  cls.def(
      "every_shape", [](const Lane& l) { return shape_list(l.every_shape()); },
      doc("Lane.every_shape"));
  cls.def(
      "add_boundary_event",
      [](Lane& lane, ShapeArg activity, Text name, Arg<TriggerTag> trigger, Bool interrupting) {
        const char* f = "add_boundary_event";
        Shape* shape = shape_arg(activity, f, "activity");
        std::string text = text_arg(name, f, "name");
        const auto kind = enum_arg<EventTrigger>(trigger.value, f, "trigger");
        const bool interrupts = bool_arg(interrupting, f, "interrupting");
        return Ref<Shape>{&lane.add_boundary_event(*shape, text, kind, interrupts)};
      },
      py::arg("activity"), py::arg("name"), py::arg("trigger"), py::arg("interrupting") = true,
      doc("Lane.add_boundary_event"));
  cls.def(
      "annotate",
      [](Lane& lane, ShapeArg shape, Text text) {
        Shape* annotated = shape_arg(shape, "annotate", "shape");
        std::string words = text_arg(text, "annotate", "text");
        return Ref<Shape>{&lane.annotate(*annotated, words)};
      },
      py::arg("shape"), py::arg("text"), doc("Lane.annotate"));
  cls.def(
      "add_group",
      [](Lane& lane, Text name, Arg<ShapeListTag> members) {
        const char* f = "add_group";
        std::string text = text_arg(name, f, "name");
        if (!PyList_Check(members.value.ptr())) wrong_kind(members.value, f, "members", "list");
        std::vector<Shape*> shapes;
        for (py::handle item : members.value) {
          Shape* member = shape_arg(item, f, "members item");
          // A group names its members by pointer: they must live as long as its diagram.
          if (board_of(*member) != board_of(lane)) {
            throw py::value_error("a group's members must belong to its diagram");
          }
          shapes.push_back(member);
        }
        return Ref<Shape>{&lane.add_group(text, shapes)};
      },
      py::arg("name"), py::arg("members"), doc("Lane.add_group"));
}

void bind_pool_notation(PoolClass& cls) {
  cls.def(
      "make_black_box", [](Pool& p) { return Ref<Shape>{&p.make_black_box()}; },
      doc("Pool.make_black_box"));
  cls.def_property_readonly(
      "black_box", [](const Pool& p) { return p.black_box(); }, doc("Pool.black_box"));
  cls.def_property_readonly(
      "participant", [](const Pool& p) { return Ref<Shape>{p.participant()}; },
      doc("Pool.participant"));
}

}  // namespace

void bind_notation(py::module_& m) {
  bind_enums(m);
  ShapeClass shape = m.attr("Shape");
  bind_shape_notation(shape);
  py::class_<ConnectionRef> connection = m.attr("Connection");
  bind_connection_notation(connection);
  LaneClass lane = m.attr("Lane");
  bind_lane_notation(lane);
  PoolClass pool = m.attr("Pool");
  bind_pool_notation(pool);
}

}  // namespace orvane::python
