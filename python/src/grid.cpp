// The layout grid as Python sees it: a diagram's own grid (board._layout_grid) or one made on its
// own, with the building, placement and lookup operations. Every shape or pool a grid takes is
// admitted first, so the grid never holds an element whose diagram is gone.
#include <pybind11/stl.h>

#include <stdexcept>

#include "common.hpp"
#include "orvane/layout.hpp"
#include "orvane/pool.hpp"

namespace orvane::python {
namespace {

py::object optional_object(const std::optional<std::string>& value) {
  return value ? py::object(py::str(*value)) : py::object(py::none());
}

py::object optional_object(const std::optional<int>& value) {
  return value ? py::object(py::int_(*value)) : py::object(py::none());
}

py::list shape_list(const std::vector<Shape*>& shapes) {
  py::list out;
  for (Shape* shape : shapes) out.append(wrap(shape));
  return out;
}

// A placed shape, admitted to the grid first.
template <class Tag>
Shape* placed_shape(py::handle grid_object, const Grid& grid, Arg<Tag> value, const char* function,
                    const char* name) {
  Shape* shape = shape_arg(value, function, name);
  if (shape != nullptr) admit_to_grid(grid_object, grid, *shape);
  return shape;
}

// The lane view with id `lane_id`, if the grid holds that lane.
std::optional<GridLaneView> find_lane(const Grid& grid, const std::string& lane_id) {
  for (const GridLaneView lane : grid.get_grid_items()) {
    if (lane.lane_id() == lane_id) return lane;
  }
  return std::nullopt;
}

// Runs `lookup`, turning the library's "lane is not in the grid" into KeyError(lane_id).
template <class Fn>
auto keyed(const std::string& lane_id, Fn&& lookup) {
  try {
    return lookup();
  } catch (const std::out_of_range&) {
    throw py::key_error(lane_id);
  }
}

}  // namespace

void bind_grid(py::module_& m) {
  const auto flush = py::call_guard<FlushOutput>();
  py::class_<Grid> cls = m.attr("Grid");
  cls.def(py::init<>(), doc("Grid.Grid"));
  cls.def_property_readonly(
      "_pools",
      [](const Grid& g) {
        py::list out;
        for (Pool* pool : g._pools) out.append(wrap(pool));
        return out;
      },
      doc("Grid._pools"));

  // Building and reading.
  cls.def(
      "set_grid",
      [](py::object self, PoolList pools) {
        Grid& grid = self.cast<Grid&>();
        if (!PyList_Check(pools.value.ptr())) {
          wrong_kind(pools.value, "set_grid", "pools", "list");
        }
        std::vector<Pool*> list;
        for (py::handle item : pools.value) {
          if (!py::isinstance<Pool>(item)) wrong_kind(item, "set_grid", "pools item", "Pool");
          list.push_back(item.cast<Pool*>());
        }
        for (Pool* pool : list) admit_to_grid(self, grid, *pool);
        grid.set_grid(list);
      },
      py::arg("pools"), flush, doc("Grid.set_grid"));
  cls.def(
      "get_all_shapes", [](const Grid& g) { return shape_list(g.get_all_shapes()); },
      doc("Grid.get_all_shapes"));
  cls.def(
      "print_grid", [](const Grid& g) { g.print_grid(); }, flush, doc("Grid.print_grid"));
  cls.def(
      "is_same_lane",
      [](const Grid& g, ShapeArg a, ShapeArg b) {
        return g.is_same_lane(*shape_arg(a, "is_same_lane", "previous_shape"),
                              *shape_arg(b, "is_same_lane", "current_shape"));
      },
      py::arg("previous_shape"), py::arg("current_shape"), doc("Grid.is_same_lane"));
  cls.def(
      "is_same_pool",
      [](const Grid& g, ShapeArg a, ShapeArg b) {
        return g.is_same_pool(*shape_arg(a, "is_same_pool", "previous_shape"),
                              *shape_arg(b, "is_same_pool", "current_shape"));
      },
      py::arg("previous_shape"), py::arg("current_shape"), doc("Grid.is_same_pool"));

  // Placement walk.
  cls.def(
      "set_shapes_position",
      [](py::object self, OptionalShapeArg previous, ShapeArg current, Int index) {
        Grid& g = self.cast<Grid&>();
        const char* f = "set_shapes_position";
        Shape* p = placed_shape(self, g, previous, f, "previous_shape");
        Shape* c = placed_shape(self, g, current, f, "current_shape");
        g.set_shapes_position(p, c, int_arg(index, f, "index"));
      },
      py::arg("previous_shape"), py::arg("current_shape"), py::arg("index") = 0, flush,
      doc("Grid.set_shapes_position"));
  cls.def(
      "add_shape_to_grid",
      [](py::object self, OptionalShapeArg previous, ShapeArg current, Int index) {
        Grid& g = self.cast<Grid&>();
        const char* f = "add_shape_to_grid";
        Shape* p = placed_shape(self, g, previous, f, "previous_shape");
        Shape* c = placed_shape(self, g, current, f, "current_shape");
        g.add_shape_to_grid(p, c, int_arg(index, f, "index"));
      },
      py::arg("previous_shape"), py::arg("current_shape"), py::arg("index"), flush,
      doc("Grid.add_shape_to_grid"));

  // Lane cell placement.
  cls.def(
      "add_shape_to_lane_row",
      [](py::object self, Text lane_id, Int row_number, ShapeArg shape) {
        Grid& g = self.cast<Grid&>();
        const char* f = "add_shape_to_lane_row";
        std::string lane = text_arg(lane_id, f, "lane_id");
        const int row = int_arg(row_number, f, "row_number");
        g.add_shape_to_lane_row(lane, row, placed_shape(self, g, shape, f, "shape"));
      },
      py::arg("lane_id"), py::arg("row_number"), py::arg("shape"), flush,
      doc("Grid.add_shape_to_lane_row"));
  cls.def(
      "add_shape_to_lane_rowcolumn",
      [](py::object self, Text lane_id, Int row_number, Int col_number, ShapeArg shape) {
        Grid& g = self.cast<Grid&>();
        const char* f = "add_shape_to_lane_rowcolumn";
        std::string lane = text_arg(lane_id, f, "lane_id");
        const int row = int_arg(row_number, f, "row_number");
        const int col = int_arg(col_number, f, "col_number");
        g.add_shape_to_lane_rowcolumn(lane, row, col, placed_shape(self, g, shape, f, "shape"));
      },
      py::arg("lane_id"), py::arg("row_number"), py::arg("col_number"), py::arg("shape"), flush,
      doc("Grid.add_shape_to_lane_rowcolumn"));
  cls.def(
      "add_shape_to_lane",
      [](py::object self, OptionalText lane_id, Int row_number, ShapeArg shape) {
        Grid& g = self.cast<Grid&>();
        const char* f = "add_shape_to_lane";
        // A missing lane id is refused by the grid itself, with its own ValueError.
        std::optional<std::string> lane;
        if (!lane_id.value.is_none()) lane = text_arg(lane_id, f, "lane_id");
        const int row = int_arg(row_number, f, "row_number");
        Shape* current = placed_shape(self, g, shape, f, "current_shape");
        g.add_shape_to_lane(lane, row, current);
      },
      py::arg("lane_id"), py::arg("row_number"), py::arg("current_shape"), flush,
      doc("Grid.add_shape_to_lane"));
  cls.def(
      "add_shape_to_same_lane",
      [](py::object self, OptionalShapeArg previous, ShapeArg current) {
        Grid& g = self.cast<Grid&>();
        const char* f = "add_shape_to_same_lane";
        Shape* p = placed_shape(self, g, previous, f, "previous_shape");
        g.add_shape_to_same_lane(p, placed_shape(self, g, current, f, "current_shape"));
      },
      py::arg("previous_shape"), py::arg("current_shape"), flush,
      doc("Grid.add_shape_to_same_lane"));
  cls.def(
      "add_shape_to_same_lane_next_row",
      [](py::object self, OptionalShapeArg previous, ShapeArg current) {
        Grid& g = self.cast<Grid&>();
        const char* f = "add_shape_to_same_lane_next_row";
        Shape* p = placed_shape(self, g, previous, f, "previous_shape");
        g.add_shape_to_same_lane_next_row(p, placed_shape(self, g, current, f, "current_shape"));
      },
      py::arg("previous_shape"), py::arg("current_shape"), flush,
      doc("Grid.add_shape_to_same_lane_next_row"));

  // Finders and measures.
  cls.def(
      "get_shape_lane_rowcolumn",
      [](const Grid& g, ShapeArg shape) {
        const ShapeCell cell =
            g.get_shape_lane_rowcolumn(shape_arg(shape, "get_shape_lane_rowcolumn", "shape"));
        return py::make_tuple(optional_object(cell.lane_id), optional_object(cell.row_number),
                              optional_object(cell.col_number));
      },
      py::arg("shape"), doc("Grid.get_shape_lane_rowcolumn"));
  cls.def(
      "find_shape_rowcolumn_in_lane",
      [](const Grid& g, Text lane_id, ShapeArg shape) {
        const char* f = "find_shape_rowcolumn_in_lane";
        std::string lane = text_arg(lane_id, f, "lane_id");
        const auto [key, col] = g.find_shape_rowcolumn_in_lane(lane, shape_arg(shape, f, "shape"));
        return py::make_tuple(optional_object(key), optional_object(col));
      },
      py::arg("lane_id"), py::arg("shape"), doc("Grid.find_shape_rowcolumn_in_lane"));
  cls.def(
      "get_column_index",
      [](const Grid& g, Text lane_id, ShapeArg shape) {
        const char* f = "get_column_index";
        std::string lane = text_arg(lane_id, f, "lane_id");
        Shape* s = shape_arg(shape, f, "shape");
        return optional_object(keyed(lane, [&] { return g.get_column_index(lane, s); }));
      },
      py::arg("lane_id"), py::arg("shape"), doc("Grid.get_column_index"));
  cls.def(
      "is_column_empty",
      [](const Grid& g, Text lane_id, Int row_number, Int col_number) {
        const char* f = "is_column_empty";
        std::string lane = text_arg(lane_id, f, "lane_id");
        const int row = int_arg(row_number, f, "row_number");
        const int col = int_arg(col_number, f, "col_number");
        return keyed(lane, [&] { return g.is_column_empty(lane, row, col); });
      },
      py::arg("lane_id"), py::arg("row_number"), py::arg("col_number"), flush,
      doc("Grid.is_column_empty"));
  cls.def(
      "get_next_column",
      [](const Grid& g, Text lane_id, Int row_number) {
        const char* f = "get_next_column";
        std::string lane = text_arg(lane_id, f, "lane_id");
        return g.get_next_column(lane, int_arg(row_number, f, "row_number"));
      },
      py::arg("lane_id"), py::arg("row_number"), doc("Grid.get_next_column"));
  cls.def(
      "get_lane_row_count",
      [](const Grid& g, Text lane_id) {
        std::string lane = text_arg(lane_id, "get_lane_row_count", "lane_id");
        return keyed(lane, [&] { return g.get_lane_row_count(lane); });
      },
      py::arg("lane_id"), doc("Grid.get_lane_row_count"));
  cls.def(
      "get_max_column_count", [](const Grid& g) { return g.get_max_column_count(); },
      doc("Grid.get_max_column_count"));
  cls.def(
      "_is_row_column_occupied",
      [](const Grid& g, Text lane_id, Int row_number, Int col_number) {
        const char* f = "_is_row_column_occupied";
        std::string lane = text_arg(lane_id, f, "lane_id");
        const int row = int_arg(row_number, f, "row_number");
        return g._is_row_column_occupied(lane, row, int_arg(col_number, f, "col_number"));
      },
      py::arg("lane_id"), py::arg("row_number"), py::arg("col_number"),
      doc("Grid._is_row_column_occupied"));
  cls.def(
      "_find_all_start_shapes",
      [](const Grid& g) { return shape_list(g._find_all_start_shapes()); },
      doc("Grid._find_all_start_shapes"));
  cls.def(
      "_find_start_shape", [](const Grid& g) { return Ref<Shape>{g._find_start_shape()}; }, flush,
      doc("Grid._find_start_shape"));
  cls.def(
      "_get_first_lane_ids_from_pools",
      [](const Grid& g) { return g._get_first_lane_ids_from_pools(); },
      doc("Grid._get_first_lane_ids_from_pools"));
  cls.def(
      "_get_next_available_row",
      [](const Grid& g, Text lane_id) {
        return g._get_next_available_row(text_arg(lane_id, "_get_next_available_row", "lane_id"));
      },
      py::arg("lane_id"), doc("Grid._get_next_available_row"));

  // Primitives of the live `_grid` mapping built in Python (orvane/__init__.py).
  cls.def("_lane_ids", [](const Grid& g) {
    std::vector<std::string> ids;
    for (const GridLaneView lane : g.get_grid_items()) ids.push_back(lane.lane_id());
    return ids;
  });
  cls.def("_row_keys", [](const Grid& g, const std::string& lane_id) -> py::object {
    auto lane = find_lane(g, lane_id);
    if (!lane) return py::none();
    py::list keys;
    for (const GridRowView& row : lane->rows()) keys.append(py::str(row.key()));
    return keys;
  });
  cls.def("_row_cells",
          [](const Grid& g, const std::string& lane_id, const std::string& key) -> py::object {
            auto lane = find_lane(g, lane_id);
            if (!lane) return py::none();
            for (const GridRowView& row : lane->rows()) {
              if (row.key() != key) continue;
              py::list cells;
              for (Shape* shape : row.cells()) cells.append(wrap(shape));
              return cells;
            }
            return py::none();
          });
}

}  // namespace orvane::python
