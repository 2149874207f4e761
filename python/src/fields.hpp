// Properties over public fields of the library's classes, with the same strict kind checks as
// arguments.
#pragma once

#include <string>

#include "common.hpp"

namespace orvane::python {

/// A read-write str property over `field`; setting another kind raises TypeError.
template <class T, class Holder>
void text_field(py::class_<T, Holder>& cls, const char* name, std::string T::*field) {
  const std::string where = std::string(py::str(cls.attr("__name__"))) + "." + name;
  cls.def_property(
      name, [field](const T& self) { return self.*field; },
      [field, where](T& self, py::handle value) {
        self.*field = text_arg(value, where.c_str(), nullptr);
      },
      doc(where));
}

/// A read-write int property over `field`.
template <class T, class Holder>
void int_field(py::class_<T, Holder>& cls, const char* name, int T::*field) {
  const std::string where = std::string(py::str(cls.attr("__name__"))) + "." + name;
  cls.def_property(
      name, [field](const T& self) { return self.*field; },
      [field, where](T& self, py::handle value) {
        self.*field = int_arg(value, where.c_str(), nullptr);
      },
      doc(where));
}

/// A read-only property over `field`.
template <class T, class Holder, class V>
void readonly_field(py::class_<T, Holder>& cls, const char* name, V T::*field) {
  const std::string where = std::string(py::str(cls.attr("__name__"))) + "." + name;
  cls.def_property_readonly(
      name, [field](const T& self) { return self.*field; }, doc(where));
}

/// A read-write str property over `field` of the object that `W::get()` finds: for Python
/// objects that hold where an element is rather than the element.
template <class W, class Target>
void text_field_of(py::class_<W>& cls, const char* name, std::string Target::*field) {
  const std::string where = std::string(py::str(cls.attr("__name__"))) + "." + name;
  cls.def_property(
      name, [field](const W& self) { return self.get().*field; },
      [field, where](const W& self, py::handle value) {
        std::string text = text_arg(value, where.c_str(), nullptr);
        self.get().*field = std::move(text);
      },
      doc(where));
}

/// A read-write int property over `field` of the object that `W::get()` finds.
template <class W, class Target>
void int_field_of(py::class_<W>& cls, const char* name, int Target::*field) {
  const std::string where = std::string(py::str(cls.attr("__name__"))) + "." + name;
  cls.def_property(
      name, [field](const W& self) { return self.get().*field; },
      [field, where](const W& self, py::handle value) {
        const int number = int_arg(value, where.c_str(), nullptr);
        self.get().*field = number;
      },
      doc(where));
}

}  // namespace orvane::python
