// The element model as Python sees it: Coordinate, Pool, Lane, Shape and Connection.
#include <fmt/format.h>
#include <pybind11/stl.h>

#include "common.hpp"
#include "fields.hpp"
#include "orvane/helper.hpp"
#include "refs.hpp"

namespace orvane::python {
namespace {

std::string describe(const Shape& shape) {
  return fmt::format("<{} {}>", shape.class_name(), Helper::quoted(shape.name));
}

py::list shape_list(const std::vector<Shape*>& shapes) {
  py::list out;
  for (Shape* shape : shapes) out.append(wrap(shape));
  return out;
}

void bind_coordinate(py::module_& m) {
  CoordinateClass cls = m.attr("Coordinate");
  cls.def(py::init<>());
  int_field(cls, "x_pos", &Coordinate::x_pos);
  int_field(cls, "y_pos", &Coordinate::y_pos);
  cls.def("__eq__", [](const Coordinate& a, const Coordinate& b) { return a == b; });
  cls.def("__eq__", [](const Coordinate&, py::handle) { return false; });
  cls.attr("__hash__") = py::none();
  cls.def("__repr__", [](const Coordinate& c) {
    return fmt::format("Coordinate(x_pos={}, y_pos={})", c.x_pos, c.y_pos);
  });
}

void bind_connection(py::module_& m) {
  py::class_<ConnectionRef> cls = m.attr("Connection");
  cls.def_property_readonly(
      "source", [](const ConnectionRef& c) { return Ref<Shape>{c.get().source}; },
      doc("Connection.source"));
  cls.def_property_readonly(
      "target", [](const ConnectionRef& c) { return Ref<Shape>{c.get().target}; },
      doc("Connection.target"));
  text_field_of(cls, "label", &Connection::label);
  text_field_of(cls, "connection_type", &Connection::connection_type);
  text_field_of(cls, "source_connection_side", &Connection::source_connection_side);
  text_field_of(cls, "target_connection_side", &Connection::target_connection_side);
  text_field_of(cls, "bpmn_id", &Connection::bpmn_id);
  cls.def_property_readonly(
      "waypoints",
      [](const ConnectionRef& c) {
        py::list out;
        for (const Point& p : c.get().waypoints) out.append(py::make_tuple(p.x, p.y));
        return out;
      },
      "The drawn route as (x, y) points, first on the source's border, last on the target's.");
  cls.def("__eq__",
          [](const ConnectionRef& a, const ConnectionRef& b) { return &a.get() == &b.get(); });
  cls.def("__eq__", [](const ConnectionRef&, py::handle) { return false; });
  cls.attr("__hash__") = py::none();
  cls.def("__repr__", [](const ConnectionRef& c) {
    const Connection& connection = c.get();
    std::string out = "<Connection ";
    out += connection.source != nullptr ? Helper::quoted(connection.source->name) : "None";
    out += " -> ";
    out += connection.target != nullptr ? Helper::quoted(connection.target->name) : "None";
    if (!connection.label.empty()) out += " label=" + Helper::quoted(connection.label);
    return out + ">";
  });
}

void bind_shape(py::module_& m) {
  ShapeClass cls = m.attr("Shape");
  text_field(cls, "name", &Shape::name);
  readonly_field(cls, "lane_id", &Shape::lane_id);
  readonly_field(cls, "pool_name", &Shape::pool_name);
  text_field(cls, "bpmn_id", &Shape::bpmn_id);
  text_field(cls, "font", &Shape::font);
  int_field(cls, "font_size", &Shape::font_size);
  text_field(cls, "font_colour", &Shape::font_colour);
  text_field(cls, "fill_colour", &Shape::fill_colour);
  text_field(cls, "outline_colour", &Shape::outline_colour);
  text_field(cls, "text_alignment", &Shape::text_alignment);
  cls.def_property(
      "outline_width", [](const Shape& s) { return s.outline_width; },
      [](Shape& s, py::handle value) {
        if (!PyFloat_CheckExact(value.ptr()) && !PyLong_CheckExact(value.ptr())) {
          wrong_kind(value, "Shape.outline_width", nullptr, "float");
        }
        s.outline_width = value.cast<double>();
      },
      doc("Shape.outline_width"));
  cls.def_property(
      "grid_traversed", [](const Shape& s) { return s.grid_traversed; },
      [](Shape& s, py::handle value) {
        s.grid_traversed = bool_arg(value, "Shape.grid_traversed", nullptr);
      },
      doc("Shape.grid_traversed"));
  cls.def_property(
      "coord", [](const Shape& s) { return s.coord; },
      [](Shape& s, py::handle value) {
        if (!py::isinstance<Coordinate>(value)) {
          wrong_kind(value, "Shape.coord", nullptr, "Coordinate");
        }
        s.coord = value.cast<std::shared_ptr<Coordinate>>();
      },
      doc("Shape.coord"));
  cls.def_property_readonly(
      "origin_coord", [](const Shape& s) { return s.origin_coord; }, doc("Shape.origin_coord"));
  cls.def_property_readonly(
      "class_name", [](const Shape& s) { return s.class_name(); }, doc("Shape.class_name"));
  cls.def_property_readonly(
      "element_type", [](const Shape& s) { return element_type_object(s.element_type()); },
      doc("Shape.element_type"));
  cls.def_property_readonly(
      "lane", [](const Shape& s) { return Ref<Lane>{s.owner_lane}; },
      "The lane that holds the shape.");
  cls.def_property_readonly(
      "connection_to",
      [](py::object self) {
        Shape& shape = self.cast<Shape&>();
        py::list out;
        const std::size_t count = shape.connection_to ? shape.connection_to->size() : 0;
        for (std::size_t i = 0; i < count; ++i) out.append(ConnectionRef(self, shape, i));
        return out;
      },
      doc("Shape.connection_to"));
  cls.def_property_readonly(
      "connection_from",
      [](const Shape& s) {
        return s.connection_from ? shape_list(*s.connection_from) : py::list();
      },
      doc("Shape.connection_from"));
  cls.def(
      "connect",
      [](py::object self, ShapeArg target, Text label) {
        Shape& shape = self.cast<Shape&>();
        Shape* other = shape_arg(target, "connect", "target");
        std::string text = text_arg(label, "connect", "label");
        if (board_of(shape) != board_of(*other)) {
          throw py::value_error(
              fmt::format("cannot connect {} to {}: they belong to different diagrams",
                          describe(shape), describe(*other)));
        }
        shape.connect(*other, text);
        return ConnectionRef(self, shape, shape.connection_to->size() - 1);
      },
      py::arg("target"), py::arg("label") = "", doc("Shape.connect"));
  cls.def("__repr__", [](const Shape& s) { return describe(s); });
}

void bind_lane(py::module_& m) {
  LaneClass cls = m.attr("Lane");
  readonly_field(cls, "id", &Lane::id);
  text_field(cls, "name", &Lane::name);
  text_field(cls, "font", &Lane::font);
  int_field(cls, "font_size", &Lane::font_size);
  text_field(cls, "font_colour", &Lane::font_colour);
  text_field(cls, "fill_colour", &Lane::fill_colour);
  text_field(cls, "text_alignment", &Lane::text_alignment);
  text_field(cls, "background_fill_colour", &Lane::background_fill_colour);
  readonly_field(cls, "width", &Lane::width);
  readonly_field(cls, "height", &Lane::height);
  cls.def_property_readonly(
      "coord", [](const Lane& l) { return std::make_shared<Coordinate>(l.coord); },
      "A copy of the lane's drawn position.");
  cls.def_property_readonly(
      "shapes", [](const Lane& l) { return shape_list(l.shapes); }, doc("Lane.shapes"));
  cls.def_property_readonly(
      "pool", [](const Lane& l) { return Ref<Pool>{l.pool()}; }, "The pool that holds the lane.");
  cls.def(
      "add_element",
      [](Lane& lane, Text name, ElementTypeArg element_type) {
        std::string text = text_arg(name, "add_element", "name");
        ElementType type = element_type_arg(element_type, "add_element", "element_type");
        return Ref<Shape>{&lane.add_element(text, type)};
      },
      py::arg("name"), py::arg("element_type"), doc("Lane.add_element"));
  cls.def("__repr__", [](const Lane& l) {
    return fmt::format("<Lane {} id={}>", Helper::quoted(l.name), Helper::quoted(l.id));
  });
}

void bind_pool(py::module_& m) {
  PoolClass cls = m.attr("Pool");
  text_field(cls, "name", &Pool::name);
  text_field(cls, "font", &Pool::font);
  int_field(cls, "font_size", &Pool::font_size);
  text_field(cls, "font_colour", &Pool::font_colour);
  text_field(cls, "fill_colour", &Pool::fill_colour);
  text_field(cls, "text_alignment", &Pool::text_alignment);
  text_field(cls, "bpmn_id", &Pool::bpmn_id);
  text_field(cls, "bpmn_collaboration_id", &Pool::bpmn_collaboration_id);
  readonly_field(cls, "width", &Pool::width);
  readonly_field(cls, "height", &Pool::height);
  cls.def_property_readonly(
      "coord", [](const Pool& p) { return std::make_shared<Coordinate>(p.coord); },
      "A copy of the pool's drawn position.");
  cls.def_property_readonly(
      "lanes",
      [](const Pool& p) {
        py::list out;
        for (const auto& lane : p.lanes) out.append(wrap(lane.get()));
        return out;
      },
      doc("Pool.lanes"));
  def_add_lane(
      cls,
      [](Pool& pool, const std::string& name, const std::string& font, int size,
         const std::string& font_colour, const std::string& fill, const std::string& alignment,
         const std::string& background) -> Lane& {
        return pool.add_lane(name, font, size, font_colour, fill, alignment, background);
      },
      "Pool.add_lane");
  cls.def("__repr__", [](const Pool& p) {
    return fmt::format("<Pool {} with {} {}>", Helper::quoted(p.name), p.lanes.size(),
                       p.lanes.size() == 1 ? "lane" : "lanes");
  });
}

}  // namespace

void declare_classes(py::module_& m) {
  py::class_<Helper>(m, "Helper", doc("Helper"));
  CoordinateClass(m, "Coordinate", doc("Coordinate"));
  py::class_<ConnectionRef>(m, "Connection", doc("Connection"));
  ShapeClass(m, "Shape", doc("Shape"));
  LaneClass(m, "Lane", doc("Lane"));
  PoolClass(m, "Pool", doc("Pool"));
  py::class_<TextRef>(m, "TextBlock", doc("TextBlock"));
  py::class_<Board>(m, "Swimboard", doc("Swimboard"));
  py::class_<Grid>(m, "Grid", doc("Grid"));
}

void bind_model(py::module_& m) {
  bind_coordinate(m);
  bind_connection(m);
  bind_shape(m);
  bind_lane(m);
  bind_pool(m);
}

}  // namespace orvane::python
