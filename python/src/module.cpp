// The compiled part of the Python package orvane: exceptions, the element types, the console
// helper and the model, diagram and grid classes.
#include <pybind11/stl.h>

#include <set>
#include <unordered_map>

#include "common.hpp"
#include "orvane/helper.hpp"

namespace orvane::python {
namespace {

const std::unordered_map<std::string_view, const char*>& docstrings() {
  static const std::unordered_map<std::string_view, const char*> table = {
#include "docstrings.inc"
  };
  return table;
}

}  // namespace

void bind_exceptions(py::module_& m) {
  // Plain subclasses of Exception: str() of one is the library's message.
  py::register_exception<EmptySwimboardException>(m, "EmptySwimboardException", PyExc_Exception)
      .attr("__doc__") = doc("EmptySwimboardException");
  py::register_exception<UnconnectedElementException>(m, "UnconnectedElementException",
                                                      PyExc_Exception)
      .attr("__doc__") = doc("UnconnectedElementException");
  py::register_exception<DanglingElementException>(m, "DanglingElementException", PyExc_Exception)
      .attr("__doc__") = doc("DanglingElementException");
}

const char* doc(std::string_view key) {
  auto it = docstrings().find(key);
  return it == docstrings().end() ? "" : it->second;
}

void bind_helper(py::module_& m) {
  const auto flush = py::call_guard<FlushOutput>();
  py::class_<Helper> cls = m.attr("Helper");
  cls.def_static(
      "printc",
      [](Message message, OptionalInt color, Text end, Bool reverse, Text show_level) {
        const char* f = "printc";
        PrintOptions options;
        if (!color.value.is_none()) options.color = int_arg(color, f, "color");
        options.end = text_arg(end, f, "end");
        options.reverse = bool_arg(reverse, f, "reverse");
        options.show_level = text_arg(show_level, f, "show_level");
        if (PyList_Check(message.value.ptr()) || PyTuple_Check(message.value.ptr())) {
          std::vector<std::string> parts;
          for (py::handle part : message.value) parts.push_back(text_arg(part, f, "message item"));
          Helper::printc(parts, options);
        } else {
          Helper::printc(text_arg(message, f, "message"), options);
        }
      },
      py::arg("message"), py::arg("color") = py::none(), py::kw_only(), py::arg("end") = "\n",
      py::arg("reverse") = false, py::arg("show_level") = "", flush, doc("Helper.printc"));
  cls.def_static(
      "info_log", [](Text text) { Helper::info_log(text_arg(text, "info_log", "text")); },
      py::arg("text"), flush, doc("Helper.info_log"));
  cls.def_static(
      "get_uuid",
      [](Text prefix) { return Helper::get_uuid(text_arg(prefix, "get_uuid", "prefix")); },
      py::arg("prefix"), doc("Helper.get_uuid"));
  cls.def_static(
      "set_show_levels",
      [](Levels levels) {
        std::set<std::string> chosen;
        if (PyUnicode_Check(levels.value.ptr()) || !py::isinstance<py::iterable>(levels.value)) {
          wrong_kind(levels.value, "set_show_levels", "levels", "an iterable of str");
        }
        for (py::handle level : levels.value)
          chosen.insert(text_arg(level, "set_show_levels", "level"));
        Helper::set_show_levels(std::move(chosen));
      },
      py::arg("levels"), doc("Helper.set_show_levels"));
  cls.def_static(
      "show_levels", [] { return Helper::show_levels(); }, "The trace categories shown now.");
  cls.def_static(
      "set_ansi",
      [](Arg<OptionalBoolTag> forced) {
        if (forced.value.is_none()) {
          Helper::set_ansi(std::nullopt);
        } else {
          Helper::set_ansi(bool_arg(forced, "set_ansi", "forced"));
        }
      },
      py::arg("forced"),
      "Whether traces carry ANSI colours: True, False, or None (the default: plain text).");
  cls.def_property_static(
      "show_layout_grid", [](py::handle) { return Helper::show_layout_grid; },
      [](py::handle, py::handle value) {
        Helper::show_layout_grid = bool_arg(value, "Helper.show_layout_grid", nullptr);
      },
      doc("Helper.show_layout_grid"));
  cls.def_property_static(
      "show_x_position", [](py::handle) { return Helper::show_x_position; },
      [](py::handle, py::handle value) {
        Helper::show_x_position = bool_arg(value, "Helper.show_x_position", nullptr);
      },
      doc("Helper.show_x_position"));
}

}  // namespace orvane::python

PYBIND11_MODULE(_orvane, m) {
  namespace op = orvane::python;
  m.doc() = "The compiled part of orvane; import orvane instead.";
  // Classes and exceptions are created under the package's name, so that reprs, signatures and
  // tracebacks read "orvane.Swimboard"; and all classes before any method, so that signatures
  // name them.
  pybind11::object own_name = m.attr("__name__");
  m.attr("__name__") = "orvane";
  op::install_output();
  op::bind_exceptions(m);
  op::add_element_type(m);
  op::declare_classes(m);
  op::bind_helper(m);
  op::bind_model(m);
  op::bind_notation(m);
  op::bind_board(m);
  op::bind_grid(m);
  m.attr("__name__") = own_name;
}
