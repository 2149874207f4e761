// Argument checks, the registry of diagrams, anchoring and console output.
#include "common.hpp"

#include <algorithm>
#include <climits>
#include <unordered_map>

#include "orvane/artifact.hpp"
#include "orvane/helper.hpp"

namespace orvane::python {
namespace {

// A diagram is found from its elements through its painter (every pool holds the diagram's
// painter) and from its layout grid.
std::unordered_map<const void*, Board*>& registry() {
  static auto* boards = new std::unordered_map<const void*, Board*>;
  return *boards;
}

Board* lookup(const void* key) {
  auto it = registry().find(key);
  return it == registry().end() ? nullptr : it->second;
}

// The enumeration is created once at import and kept for the life of the process.
PyObject* element_type_class = nullptr;

std::string type_name(py::handle value) {
  if (value.is_none()) return "None";
  return py::str(py::type::handle_of(value).attr("__name__"));
}

template <class T>
py::object anchored(T* element, Board* board) {
  if (element == nullptr) return py::none();
  const auto* type = py::detail::get_type_info(typeid(T));
  if (py::handle existing = py::detail::get_object_handle(element, type)) {
    return py::reinterpret_borrow<py::object>(existing);
  }
  if (board == nullptr) {
    throw std::runtime_error("this element belongs to no diagram created from Python");
  }
  py::object result = py::cast(element, py::return_value_policy::reference);
  py::detail::keep_alive_impl(result, board_object(*board));
  return result;
}

// The library's trace and log streams while the module is loaded. Never destroyed: the library
// may hold them until the process ends.
std::ostringstream& trace_buffer() {
  static auto* buffer = new std::ostringstream;
  return *buffer;
}

std::ostringstream& log_buffer() {
  static auto* buffer = new std::ostringstream;
  return *buffer;
}

void send(std::ostringstream& buffer, const char* stream_name) {
  std::string text = buffer.str();
  if (text.empty()) return;
  buffer.str(std::string());
  buffer.clear();
  try {
    py::object stream = py::module_::import("sys").attr(stream_name);
    if (stream.is_none()) return;
    py::object decoded = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    if (!decoded) throw py::error_already_set();
    stream.attr("write")(decoded);
  } catch (py::error_already_set& e) {
    // A stream that cannot be written must not turn a finished operation into a failure.
    e.discard_as_unraisable("orvane console output");
  }
}

}  // namespace

// ---- Arguments ---------------------------------------------------------------------------------

std::string subject(const char* function, const char* name) {
  if (name == nullptr) return function;
  return std::string(function) + "() argument '" + name + "'";
}

void wrong_kind(py::handle value, const char* function, const char* name, const char* expected) {
  throw py::type_error(subject(function, name) + " must be " + expected + ", not " +
                       type_name(value));
}

std::string text_arg(py::handle value, const char* function, const char* name) {
  if (!value || !PyUnicode_CheckExact(value.ptr())) wrong_kind(value, function, name, "str");
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (data == nullptr) throw py::error_already_set();
  return std::string(data, static_cast<std::size_t>(size));
}

int int_arg(py::handle value, const char* function, const char* name) {
  if (!value || !PyLong_CheckExact(value.ptr())) wrong_kind(value, function, name, "int");
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0 || number < INT_MIN || number > INT_MAX) {
    PyErr_Clear();
    throw py::value_error(subject(function, name) +
                          " is out of range: " + std::string(py::str(value)));
  }
  return static_cast<int>(number);
}

bool bool_arg(py::handle value, const char* function, const char* name) {
  if (!value || !PyBool_Check(value.ptr())) wrong_kind(value, function, name, "bool");
  return value.ptr() == Py_True;
}

std::string path_arg(py::handle value, const char* function, const char* name) {
  if (value && PyUnicode_CheckExact(value.ptr())) return text_arg(value, function, name);
  if (value && py::hasattr(value, "__fspath__")) {
    py::object path = py::module_::import("os").attr("fspath")(value);
    if (PyUnicode_CheckExact(path.ptr())) return text_arg(path, function, name);
  }
  wrong_kind(value, function, name, "str or os.PathLike of str");
}

void add_element_type(py::module_& module) {
  py::list members;
  for (ElementType type : all_element_types()) {
    members.append(py::make_tuple(py::str(std::string(member_name(type))),
                                  py::str(std::string(class_name(type)))));
  }
  py::object enumeration = py::module_::import("enum").attr("Enum")(
      "ElementType", members, py::arg("module") = "orvane", py::arg("qualname") = "ElementType");
  enumeration.attr("__doc__") = doc("ElementType");
  element_type_class = enumeration.inc_ref().ptr();
  module.attr("ElementType") = enumeration;
}

ElementType element_type_arg(py::handle value, const char* function, const char* name) {
  if (!value || PyObject_IsInstance(value.ptr(), element_type_class) != 1) {
    PyErr_Clear();
    wrong_kind(value, function, name, "ElementType");
  }
  return element_type_from_class_name(py::str(value.attr("value")).cast<std::string>());
}

py::object element_type_object(ElementType type) {
  return py::reinterpret_borrow<py::object>(element_type_class)(
      py::str(std::string(class_name(type))));
}

// ---- Diagrams and anchoring --------------------------------------------------------------------

Board::Board(std::unique_ptr<Swimboard> board) : board_(std::move(board)) {
  registry()[&board_->painter()] = this;
  registry()[&board_->_layout_grid] = this;
}

Board::~Board() {
  registry().erase(&board_->painter());
  registry().erase(&board_->_layout_grid);
}

Board* board_of(const Pool& pool) {
  return lookup(pool.painter());
}

Board* board_of(const Lane& lane) {
  return lane.pool() != nullptr ? board_of(*lane.pool()) : nullptr;
}

Board* board_of(const Shape& shape) {
  if (shape.owner_lane != nullptr) return board_of(*shape.owner_lane);
  // A black-box pool's participant belongs to its pool, not to a lane.
  if (const auto* participant = dynamic_cast<const Participant*>(&shape)) {
    return participant->pool != nullptr ? board_of(*participant->pool) : nullptr;
  }
  return nullptr;
}

Board* board_of_grid(const Grid& grid) {
  return lookup(&grid);
}

py::object board_object(Board& board) {
  py::handle handle =
      py::detail::get_object_handle(&board, py::detail::get_type_info(typeid(Board)));
  if (!handle) throw std::runtime_error("the diagram is no longer alive");
  return py::reinterpret_borrow<py::object>(handle);
}

py::object wrap(Pool* pool) {
  return anchored(pool, pool != nullptr ? board_of(*pool) : nullptr);
}

py::object wrap(Lane* lane) {
  return anchored(lane, lane != nullptr ? board_of(*lane) : nullptr);
}

py::object wrap(Shape* shape) {
  return anchored(shape, shape != nullptr ? board_of(*shape) : nullptr);
}

py::object wrap(Grid* grid) {
  return anchored(grid, grid != nullptr ? board_of_grid(*grid) : nullptr);
}

Shape* shape_arg(py::handle value, const char* function, const char* name, bool allow_none) {
  if (value && value.is_none() && allow_none) return nullptr;
  if (!value || !py::isinstance<Shape>(value)) {
    wrong_kind(value, function, name, allow_none ? "Shape or None" : "Shape");
  }
  return value.cast<Shape*>();
}

namespace {

void admit(py::handle grid_object, const Grid& grid, Board* element_board) {
  if (element_board == nullptr) {
    throw py::value_error("the element belongs to no diagram created from Python");
  }
  if (Board* owner = board_of_grid(grid)) {
    if (owner != element_board) {
      throw py::value_error("a diagram's layout grid takes only that diagram's pools and shapes");
    }
    return;
  }
  // Once is enough: the grid keeps the diagram until the grid itself goes.
  py::object board = board_object(*element_board);
  auto& patients = py::detail::get_internals().patients;
  auto kept = patients.find(grid_object.ptr());
  if (kept != patients.end() &&
      std::find(kept->second.begin(), kept->second.end(), board.ptr()) != kept->second.end()) {
    return;
  }
  py::detail::keep_alive_impl(grid_object, board);
}

}  // namespace

void admit_to_grid(py::handle grid_object, const Grid& grid, const Shape& shape) {
  admit(grid_object, grid, board_of(shape));
}

void admit_to_grid(py::handle grid_object, const Grid& grid, const Pool& pool) {
  admit(grid_object, grid, board_of(pool));
}

// ---- Console output ----------------------------------------------------------------------------

void install_output() {
  Helper::set_output(trace_buffer());
  Helper::set_log_output(log_buffer());
}

void flush_output() {
  send(trace_buffer(), "stdout");
  send(log_buffer(), "stderr");
}

FlushOutput::~FlushOutput() {
  try {
    flush_output();
  } catch (...) {
    // Output is best effort; the operation's own result or error is what the caller gets.
  }
}

}  // namespace orvane::python
