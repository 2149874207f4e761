// What every part of the Python module shares: strict argument conversion, the diagrams known
// to Python and the anchoring of element references to them, and console output that reaches
// sys.stdout and sys.stderr.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "orvane/element_type.hpp"
#include "orvane/swimboard.hpp"

namespace orvane::python {

namespace py = pybind11;

/// The docstring generated from the `///` lines of the public headers for `key`
/// ("Swimboard.add_pool", "Grid.set_grid"), or an empty text.
const char* doc(std::string_view key);

// ---- Arguments ---------------------------------------------------------------------------------
// Declared kinds are checked exactly: a text must be a str (not a subclass, not None), an integer
// an int (not a bool, not a subclass), before anything changes. The messages name the operation
// and the argument, as Python's own do; with `name` nullptr, `function` names an attribute
// ("Pool.font") and the message names only it.

/// The text of `value`; TypeError unless it is exactly a str.
std::string text_arg(py::handle value, const char* function, const char* name);
/// The integer of `value`; TypeError unless it is exactly an int, OverflowError beyond a C int.
int int_arg(py::handle value, const char* function, const char* name);
/// TypeError unless `value` is True or False.
bool bool_arg(py::handle value, const char* function, const char* name);
/// A file name: a str, or an os.PathLike whose path is a str.
std::string path_arg(py::handle value, const char* function, const char* name);
/// The element type of an orvane.ElementType member; TypeError for anything else.
ElementType element_type_arg(py::handle value, const char* function, const char* name);
/// The Python ElementType member of `type`.
py::object element_type_object(ElementType type);
/// Creates the ElementType enumeration from the library's class table and adds it to `module`.
void add_element_type(py::module_& module);

/// Raises TypeError: "`function`() argument 'name' must be `expected`, not <kind of value>".
[[noreturn]] void wrong_kind(py::handle value, const char* function, const char* name,
                             const char* expected);

// Argument types that accept any object, so that the bodies can check the kind themselves and
// raise TypeError with a clear message, while signatures still show the declared kind.
template <class Tag>
struct Arg {
  py::handle value;
};
struct TextTag {
  static constexpr auto name = py::detail::const_name("str");
};
struct IntTag {
  static constexpr auto name = py::detail::const_name("int");
};
struct BoolTag {
  static constexpr auto name = py::detail::const_name("bool");
};
struct PathTag {
  static constexpr auto name = py::detail::const_name("Union[str, os.PathLike[str]]");
};
struct OptionalTextTag {
  static constexpr auto name = py::detail::const_name("Optional[str]");
};
struct OptionalIntTag {
  static constexpr auto name = py::detail::const_name("Optional[int]");
};
struct ShapeTag {
  static constexpr auto name = py::detail::const_name("Shape");
};
struct OptionalShapeTag {
  static constexpr auto name = py::detail::const_name("Optional[Shape]");
};
struct ElementTypeTag {
  static constexpr auto name = py::detail::const_name("ElementType");
};
struct PoolListTag {
  static constexpr auto name = py::detail::const_name("list[Pool]");
};
struct LevelsTag {
  static constexpr auto name = py::detail::const_name("Iterable[str]");
};
struct MessageTag {
  static constexpr auto name = py::detail::const_name("Union[str, list[str]]");
};
using Text = Arg<TextTag>;
using Int = Arg<IntTag>;
using Bool = Arg<BoolTag>;
using PathArg = Arg<PathTag>;
using OptionalText = Arg<OptionalTextTag>;
using OptionalInt = Arg<OptionalIntTag>;
using ShapeArg = Arg<ShapeTag>;
using OptionalShapeArg = Arg<OptionalShapeTag>;
using ElementTypeArg = Arg<ElementTypeTag>;
using PoolList = Arg<PoolListTag>;
using Levels = Arg<LevelsTag>;
using Message = Arg<MessageTag>;

struct OptionalBoolTag {
  static constexpr auto name = py::detail::const_name("Optional[bool]");
};

// The checks above, on the argument types.
template <class Tag>
std::string text_arg(Arg<Tag> a, const char* function, const char* name) {
  return text_arg(a.value, function, name);
}
template <class Tag>
int int_arg(Arg<Tag> a, const char* function, const char* name) {
  return int_arg(a.value, function, name);
}
template <class Tag>
bool bool_arg(Arg<Tag> a, const char* function, const char* name) {
  return bool_arg(a.value, function, name);
}
template <class Tag>
std::string path_arg(Arg<Tag> a, const char* function, const char* name) {
  return path_arg(a.value, function, name);
}
template <class Tag>
ElementType element_type_arg(Arg<Tag> a, const char* function, const char* name) {
  return element_type_arg(a.value, function, name);
}

/// An element returned to Python (see `wrap`); signatures show its class.
template <class T>
struct Ref {
  T* element;
};

/// Defines `add_lane` on a Swimboard or a Pool: one set of arguments, defaults and checks for
/// both; `add(receiver, name, font, size, font_colour, fill, alignment, background)` makes the
/// lane.
template <class Class, class Add>
void def_add_lane(Class& cls, Add add, const char* doc_key) {
  using Receiver = typename Class::type;
  cls.def(
      "add_lane",
      [add](Receiver& receiver, Text lane_name, Text font, Int font_size, Text font_colour,
            Text fill_colour, Text text_alignment, Text background_fill_colour) {
        const char* f = "add_lane";
        std::string name = text_arg(lane_name, f, "lane_name");
        std::string font_text = text_arg(font, f, "font");
        const int size = int_arg(font_size, f, "font_size");
        std::string font_colour_text = text_arg(font_colour, f, "font_colour");
        std::string fill_text = text_arg(fill_colour, f, "fill_colour");
        std::string alignment = text_arg(text_alignment, f, "text_alignment");
        std::string background = text_arg(background_fill_colour, f, "background_fill_colour");
        return Ref<Lane>{&add(receiver, name, font_text, size, font_colour_text, fill_text,
                              alignment, background)};
      },
      py::arg("lane_name"), py::arg("font") = "", py::arg("font_size") = 0,
      py::arg("font_colour") = "", py::arg("fill_colour") = "",
      py::arg("text_alignment") = "centre", py::arg("background_fill_colour") = "", doc(doc_key));
}

// ---- Diagrams and anchoring --------------------------------------------------------------------

/// A diagram as Python holds it. Elements reached from Python keep the diagram's Python object
/// alive (see `wrap`), so no reference outlives what it points to.
class Board {
 public:
  explicit Board(std::unique_ptr<Swimboard> board);
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  Swimboard& get() const { return *board_; }
  /// Whether the last draw() completed.
  bool drawn = false;

 private:
  std::unique_ptr<Swimboard> board_;
};

/// The diagram an element belongs to, found through its painter; nullptr when it belongs to no
/// diagram created from Python.
Board* board_of(const Pool& pool);
Board* board_of(const Lane& lane);
Board* board_of(const Shape& shape);
/// The diagram whose layout grid is `grid`, or nullptr for a grid created on its own.
Board* board_of_grid(const Grid& grid);
/// The Python object of a live diagram.
py::object board_object(Board& board);

/// The Python object for an element: the existing one when there is one, else a new reference
/// that keeps its diagram alive. None for nullptr.
py::object wrap(Pool* pool);
py::object wrap(Lane* lane);
py::object wrap(Shape* shape);
py::object wrap(Grid* grid);

/// The shape held by `value` (None allowed only when `allow_none`); TypeError otherwise.
Shape* shape_arg(py::handle value, const char* function, const char* name, bool allow_none = false);
inline Shape* shape_arg(ShapeArg a, const char* function, const char* name) {
  return shape_arg(a.value, function, name);
}
inline Shape* shape_arg(OptionalShapeArg a, const char* function, const char* name) {
  return shape_arg(a.value, function, name, true);
}

/// Makes `grid` (the Python object `grid_object`) safe to hold `shape`: a diagram's own grid
/// takes only shapes of that diagram (ValueError otherwise); a grid of its own keeps the
/// shape's diagram alive for as long as the grid lives.
void admit_to_grid(py::handle grid_object, const Grid& grid, const Shape& shape);
void admit_to_grid(py::handle grid_object, const Grid& grid, const Pool& pool);

// ---- Console output ----------------------------------------------------------------------------

/// Sends what the library wrote to its trace and log streams during a call to sys.stdout and
/// sys.stderr when the call ends. The library's output is buffered while it runs, so no Python
/// code (a replaced sys.stdout, say) can run inside a library call and change the diagram
/// under it. Used as a pybind11 call guard on every operation that may print.
struct FlushOutput {
  FlushOutput() = default;
  ~FlushOutput();
  FlushOutput(const FlushOutput&) = delete;
  FlushOutput& operator=(const FlushOutput&) = delete;
};
/// Points the library's trace and log streams at the buffers that FlushOutput empties.
void install_output();
/// Writes whatever is buffered to sys.stdout and sys.stderr now.
void flush_output();

// ---- Parts of the module -----------------------------------------------------------------------

void bind_exceptions(py::module_& module);
/// Creates every class of the module, before any of them gets its methods.
void declare_classes(py::module_& module);
void bind_model(py::module_& module);
void bind_notation(py::module_& module);
void bind_board(py::module_& module);
void bind_grid(py::module_& module);
void bind_helper(py::module_& module);

}  // namespace orvane::python

namespace pybind11::detail {

template <class Tag>
struct type_caster<orvane::python::Arg<Tag>> {
  PYBIND11_TYPE_CASTER(orvane::python::Arg<Tag>, Tag::name);
  bool load(handle source, bool) {
    value.value = source;
    return true;
  }
  static handle cast(const orvane::python::Arg<Tag>& arg, return_value_policy, handle) {
    return arg.value.inc_ref();
  }
};

template <class T>
struct type_caster<orvane::python::Ref<T>> {
  PYBIND11_TYPE_CASTER(orvane::python::Ref<T>, const_name<T>());
  bool load(handle, bool) { return false; }
  static handle cast(const orvane::python::Ref<T>& ref, return_value_policy, handle) {
    return orvane::python::wrap(ref.element).release();
  }
};

}  // namespace pybind11::detail
