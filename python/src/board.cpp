// Swimboard as Python sees it: the record's fields, the building and output operations, the scope
// protocol, and pictures as bytes for notebooks.
#include <pybind11/stl.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "common.hpp"
#include "fields.hpp"
#include "orvane/helper.hpp"
#include "orvane/loader.hpp"
#include "orvane/read.hpp"
#include "refs.hpp"

namespace orvane::python {
namespace {

void bind_text_ref(py::module_& m) {
  py::class_<TextRef> cls = m.attr("TextBlock");
  text_field_of(cls, "text", &TextBlock::text);
  text_field_of(cls, "font", &TextBlock::font);
  text_field_of(cls, "font_colour", &TextBlock::font_colour);
  int_field_of(cls, "font_size", &TextBlock::font_size);
  cls.def_property_readonly("width", [](const TextRef& t) { return t.get().width; });
  cls.def_property_readonly("height", [](const TextRef& t) { return t.get().height; });
  cls.def_property_readonly(
      "coord", [](const TextRef& t) { return std::make_shared<Coordinate>(t.get().coord); },
      "A copy of the element's drawn position.");
  cls.def("__repr__", [](const TextRef& t) {
    return std::string("<") + t.kind() + " " + Helper::quoted(t.get().text) + ">";
  });
}

py::bytes picture(const Board& board, const char* kind) {
  const std::string content = board.get().painter().render_as(kind);
  return py::bytes(content.data(), content.size());
}

std::string argument(const char* name) {
  return std::string("load() argument '") + name + "'";
}

// A ceiling of the input given to load: None keeps the default; otherwise a whole number of 1
// or more (as the command's options), at most `most`.
std::optional<std::uint64_t> ceiling_arg(OptionalInt a, const char* name, std::uint64_t most) {
  const py::handle value = a.value;
  if (value.is_none()) return std::nullopt;
  if (!PyLong_CheckExact(value.ptr())) wrong_kind(value, "load", name, "int or None");
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow < 0 || (overflow == 0 && number < 1)) {
    PyErr_Clear();
    throw py::value_error(argument(name) + " must be 1 or more, got " +
                          std::string(py::str(value)));
  }
  if (overflow > 0 || static_cast<std::uint64_t>(number) > most) {
    PyErr_Clear();
    throw py::value_error(argument(name) + " is out of range: " + std::string(py::str(value)));
  }
  return static_cast<std::uint64_t>(number);
}

}  // namespace

void bind_board(py::module_& m) {
  bind_text_ref(m);
  const auto flush = py::call_guard<FlushOutput>();
  py::class_<Board> cls = m.attr("Swimboard");
  cls.def(
      py::init([](Text title, Int width, Int height, Bool auto_size, Text colour_theme,
                  Text painter_type) {
        const char* f = "Swimboard";
        auto board = std::make_unique<Swimboard>(
            text_arg(title, f, "title"), int_arg(width, f, "width"), int_arg(height, f, "height"),
            bool_arg(auto_size, f, "auto_size"), text_arg(colour_theme, f, "colour_theme"),
            text_arg(painter_type, f, "painter_type"));
        return std::make_unique<Board>(std::move(board));
      }),
      py::arg("title") = "<Process Map Title>", py::arg("width") = 5000, py::arg("height") = 5000,
      py::arg("auto_size") = true, py::arg("colour_theme") = "DEFAULT",
      py::arg("painter_type") = "png", flush, doc("Swimboard.Swimboard"));

  // Declared fields.
  text_field_of(cls, "title", &Swimboard::title);
  int_field_of(cls, "width", &Swimboard::width);
  int_field_of(cls, "height", &Swimboard::height);
  cls.def_property(
      "auto_size", [](const Board& b) { return b.get().auto_size; },
      [](Board& b, py::handle value) {
        b.get().auto_size = bool_arg(value, "Swimboard.auto_size", nullptr);
      },
      doc("Swimboard.auto_size"));
  text_field_of(cls, "colour_theme", &Swimboard::colour_theme);
  text_field_of(cls, "painter_type", &Swimboard::painter_type);
  cls.def_property(
      "_title",
      [](py::object self) -> py::object {
        Board& b = self.cast<Board&>();
        if (!b.get()._title) return py::none();
        return py::cast(TextRef(self, b, false));
      },
      [](Board& b, py::handle value) {
        // The title element can only be taken away (a diagram then has no title to validate).
        if (!value.is_none()) wrong_kind(value, "Swimboard._title", nullptr, "None");
        b.get()._title.reset();
      },
      "The title element, or None once it was set to None.");
  cls.def_property_readonly(
      "_footer",
      [](py::object self) -> py::object {
        Board& b = self.cast<Board&>();
        if (!b.get()._footer) return py::none();
        return py::cast(TextRef(self, b, true));
      },
      doc("Swimboard._footer"));
  cls.def_property_readonly(
      "_pools",
      [](const Board& b) {
        py::list out;
        for (const auto& pool : b.get()._pools) out.append(wrap(pool.get()));
        return out;
      },
      doc("Swimboard._pools"));
  int_field_of(cls, "next_shape_x", &Swimboard::next_shape_x);
  int_field_of(cls, "lane_y_pos", &Swimboard::lane_y_pos);
  int_field_of(cls, "lane_max_width", &Swimboard::lane_max_width);
  cls.def_property_readonly(
      "start_time", [](const Board& b) { return b.get().start_time; }, doc("Swimboard.start_time"));
  cls.def_property_readonly(
      "_layout_grid", [](const Board& b) { return Ref<Grid>{&b.get()._layout_grid}; },
      doc("Swimboard._layout_grid"));

  // Building.
  cls.def(
      "add_pool",
      [](Board& b, Text pool_name, Text font, Int font_size, Text font_colour, Text fill_colour,
         Text text_alignment) {
        const char* f = "add_pool";
        std::string name = text_arg(pool_name, f, "pool_name");
        std::string font_text = text_arg(font, f, "font");
        const int size = int_arg(font_size, f, "font_size");
        std::string font_colour_text = text_arg(font_colour, f, "font_colour");
        std::string fill_text = text_arg(fill_colour, f, "fill_colour");
        std::string alignment = text_arg(text_alignment, f, "text_alignment");
        return Ref<Pool>{
            &b.get().add_pool(name, font_text, size, font_colour_text, fill_text, alignment)};
      },
      py::arg("pool_name"), py::arg("font") = "", py::arg("font_size") = 0,
      py::arg("font_colour") = "", py::arg("fill_colour") = "",
      py::arg("text_alignment") = "centre", doc("Swimboard.add_pool"));
  def_add_lane(
      cls,
      [](Board& b, const std::string& name, const std::string& font, int size,
         const std::string& font_colour, const std::string& fill, const std::string& alignment,
         const std::string& background) -> Lane& {
        return b.get().add_lane(name, font, size, font_colour, fill, alignment, background);
      },
      "Swimboard.add_lane");
  cls.def(
      "set_footer",
      [](Board& b, Text footer_name, Text font, Int font_size, Text font_colour) {
        const char* f = "set_footer";
        std::string name = text_arg(footer_name, f, "footer_name");
        std::string font_text = text_arg(font, f, "font");
        const int size = int_arg(font_size, f, "font_size");
        std::string colour = text_arg(font_colour, f, "font_colour");
        b.get().set_footer(name, font_text, size, colour);
      },
      py::arg("footer_name"), py::arg("font") = "", py::arg("font_size") = 0,
      py::arg("font_colour") = "", doc("Swimboard.set_footer"));
  cls.def(
      "set_title_font_size",
      [](Board& b, Int font_size) {
        b.get().set_title_font_size(int_arg(font_size, "set_title_font_size", "font_size"));
      },
      py::arg("font_size"), doc("Swimboard.set_title_font_size"));
  cls.def(
      "set_element_font_size",
      [](Board& b, Int font_size) {
        b.get().set_element_font_size(int_arg(font_size, "set_element_font_size", "font_size"));
      },
      py::arg("font_size"), doc("Swimboard.set_element_font_size"));
  cls.def(
      "_get_lane_by_id",
      [](const Board& b, Text lane_id) {
        return Ref<Lane>{b.get()._get_lane_by_id(text_arg(lane_id, "_get_lane_by_id", "lane_id"))};
      },
      py::arg("lane_id"), doc("Swimboard._get_lane_by_id"));
  cls.def(
      "_get_pool_by_name",
      [](const Board& b, Text name) {
        return Ref<Pool>{b.get()._get_pool_by_name(text_arg(name, "_get_pool_by_name", "name"))};
      },
      py::arg("name"), doc("Swimboard._get_pool_by_name"));

  // Checking, drawing and output.
  cls.def(
      "_get_orphan_elements", [](const Board& b) { return b.get()._get_orphan_elements(); },
      doc("Swimboard._get_orphan_elements"));
  cls.def(
      "_get_dangling_elements", [](const Board& b) { return b.get()._get_dangling_elements(); },
      doc("Swimboard._get_dangling_elements"));
  cls.def(
      "_validate", [](const Board& b) { b.get()._validate(); }, doc("Swimboard._validate"));
  cls.def(
      "draw",
      [](Board& b) {
        b.drawn = false;
        b.get().draw();
        b.drawn = true;
      },
      flush, doc("Swimboard.draw"));
  cls.def(
      "save",
      [](Board& b, PathArg filename) { b.get().save(path_arg(filename, "save", "filename")); },
      py::arg("filename"), flush, doc("Swimboard.save"));
  cls.def(
      "export_to_bpmn",
      [](Board& b, PathArg filename) {
        b.get().export_to_bpmn(path_arg(filename, "export_to_bpmn", "filename"));
      },
      py::arg("filename"), flush, doc("Swimboard.export_to_bpmn"));
  cls.def(
      "export_to_drawio",
      [](Board& b, PathArg filename) {
        b.get().export_to_drawio(path_arg(filename, "export_to_drawio", "filename"));
      },
      py::arg("filename"), flush, doc("Swimboard.export_to_drawio"));
  cls.def(
      "to_png", [](const Board& b) { return picture(b, "png"); }, flush,
      "The picture as the bytes of a PNG file (png and pdf painters).");
  cls.def(
      "to_svg", [](const Board& b) { return picture(b, "svg"); }, flush,
      "The picture as the bytes of an SVG file (svg painter).");
  cls.def(
      "to_pdf", [](const Board& b) { return picture(b, "pdf"); }, flush,
      "The picture as the bytes of a PDF file (png and pdf painters).");
  cls.def(
      "_repr_svg_",
      [](const Board& b) -> py::object {
        if (!b.drawn || b.get().painter().kind() != "svg") return py::none();
        return py::str(b.get().painter().render_as("svg"));
      },
      flush, "A drawn svg diagram as SVG text for notebooks; None otherwise.");
  cls.def(
      "_repr_png_",
      [](const Board& b) -> py::object {
        if (!b.drawn || b.get().painter().kind() == "svg") return py::none();
        return picture(b, "png");
      },
      flush, "A drawn png or pdf diagram as PNG bytes for notebooks; None otherwise.");

  // The record and the scope.
  cls.def(
      "__enter__", [](py::object self) { return self; }, "Returns the diagram itself.");
  cls.def(
      "__exit__", [](const Board&, py::handle, py::handle, py::handle) {}, py::arg("exc_type"),
      py::arg("exc_value"), py::arg("traceback"),
      "Does nothing: leaving the scope neither draws nor saves, and exceptions pass on.");
  cls.def("__eq__", [](const Board& a, py::handle other) -> py::object {
    if (!py::isinstance<Board>(other)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
    return py::bool_(a.get() == other.cast<const Board&>().get());
  });
  cls.attr("__hash__") = py::none();
  cls.def("__repr__", [](const Board& b) { return to_string(b.get()); });

  m.def(
      "load",
      [](PathArg path, OptionalText painter_type, OptionalInt max_input_mb, OptionalInt max_shapes,
         OptionalInt max_connections) {
        LoadOptions options;
        if (!painter_type.value.is_none()) {
          options.painter_type = text_arg(painter_type, "load", "painter_type");
        }
        InputLimits& limits = options.limits;
        // Megabytes beyond this would overflow the byte count.
        constexpr std::uint64_t MAX_MIB = std::numeric_limits<std::size_t>::max() >> 21;
        if (auto mib = ceiling_arg(max_input_mb, "max_input_mb", MAX_MIB)) {
          limits.max_file_bytes = static_cast<std::size_t>(*mib) << 20;
        }
        constexpr std::uint64_t MAX_COUNT = std::numeric_limits<std::size_t>::max();
        if (auto n = ceiling_arg(max_shapes, "max_shapes", MAX_COUNT)) {
          limits.max_shapes = static_cast<std::size_t>(*n);
        }
        if (auto n = ceiling_arg(max_connections, "max_connections", MAX_COUNT)) {
          limits.max_connections = static_cast<std::size_t>(*n);
        }
        LoadedDiagram loaded = load_file(path_arg(path, "load", "path"), options);
        return std::make_unique<Board>(std::move(loaded.board));
      },
      py::arg("path"), py::arg("painter_type") = py::none(), py::kw_only(),
      py::arg("max_input_mb") = py::none(), py::arg("max_shapes") = py::none(),
      py::arg("max_connections") = py::none(), flush,
      "Reads, checks and builds the diagram of a description file (YAML) or a BPMN 2.0 file, "
      "told apart by their content as the command does; ValueError names the file, line and "
      "column of a fault. painter_type overrides the file's painter. A diagram read from BPMN "
      "writes that file back with its new layout (export_to_bpmn). max_input_mb, max_shapes and "
      "max_connections raise the ceilings that protect the machine (256 MiB, 2,000,000 shapes, "
      "4,000,000 connections), as the command's --max-input-mb, --max-shapes and "
      "--max-connections do; None keeps the default.");
}

}  // namespace orvane::python
