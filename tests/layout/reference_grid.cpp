#include "reference_grid.hpp"

#include <map>

#include "orvane/helper.hpp"
#include "orvane/lane.hpp"

namespace orvane::testing {
namespace {

PrintOptions level() {
  PrintOptions options;
  options.show_level = "layout_grid";
  return options;
}

void print(const std::string& text) {
  Helper::printc(text, level());
}

std::string esc(const std::string& text) {
  return Helper::escape(text);
}

std::string key_of(int row_number) {
  return "row" + std::to_string(row_number);
}

int number_of(std::string key) {
  std::size_t at;
  while ((at = key.find("row")) != std::string::npos) key.erase(at, 3);
  return std::stoi(key);
}

// Insertion-ordered grouping by lane id.
std::vector<std::pair<std::string, std::vector<Shape*>>> group(const std::vector<Shape*>& shapes) {
  std::vector<std::pair<std::string, std::vector<Shape*>>> out;
  for (Shape* shape : shapes) {
    bool found = false;
    for (auto& [id, list] : out) {
      if (id == shape->lane_id) {
        list.push_back(shape);
        found = true;
      }
    }
    if (!found) out.push_back({shape->lane_id, {shape}});
  }
  return out;
}

}  // namespace

void ReferenceGrid::set_grid(const std::vector<Pool*>& pools) {
  pools_ = pools;
  grid_.clear();
  process_all_shapes();
}

std::vector<Shape*> ReferenceGrid::get_all_shapes() const {
  std::vector<Shape*> out;
  for (const auto& [lane, rows] : grid_) {
    for (const auto& [key, cells] : rows) {
      for (Shape* shape : cells) {
        if (shape == nullptr) continue;
        bool seen = false;
        for (Shape* s : out) seen = seen || s == shape;
        if (!seen) out.push_back(shape);
      }
    }
  }
  return out;
}

void ReferenceGrid::process_all_shapes() {
  std::vector<Shape*> no_incoming;
  for (Pool* pool : pools_) {
    for (auto& lane : pool->lanes) {
      for (Shape* shape : lane->shapes) {
        if (shape->connection_from->empty()) no_incoming.push_back(shape);
      }
    }
  }
  std::vector<std::string> first_lane_ids;
  for (Pool* pool : pools_) {
    if (!pool->lanes.empty()) first_lane_ids.push_back(pool->lanes[0]->id);
  }
  std::vector<Shape*> true_starts;
  std::vector<Shape*> terminators;
  std::vector<Shape*> disconnected;
  for (Shape* shape : no_incoming) {
    if (!shape->connection_to->empty() && shape->class_name() == "Terminator") {
      terminators.push_back(shape);
    } else if (!shape->connection_to->empty()) {
      true_starts.push_back(shape);
    } else {
      disconnected.push_back(shape);
    }
  }
  for (auto& [lane_id, starts] : group(true_starts)) {
    bool first_lane = false;
    for (const auto& id : first_lane_ids) first_lane = first_lane || id == lane_id;
    if (starts.size() > 1 && first_lane) {
      for (std::size_t idx = 0; idx < starts.size(); ++idx) {
        if (starts[idx]->grid_traversed) continue;
        print("Processing start shape \\[" + esc(starts[idx]->name) +
              "] in vertical arrangement (position " + std::to_string(idx + 1) + ")");
        add_start_node_to_grid(starts[idx], static_cast<int>(idx) + 1);
      }
    } else {
      for (Shape* start : starts) {
        if (start->grid_traversed) continue;
        print("Processing start shape \\[" + esc(start->name) + "]");
        set_shapes_position(nullptr, start, 0);
      }
    }
  }
  process_mid_flow_terminators(terminators);
  for (auto& [lane_id, shapes] : group(disconnected)) {
    print("Processing " + std::to_string(shapes.size()) + " disconnected shapes in lane " +
          esc(lane_id));
    int col = 1;
    for (Shape* shape : shapes) {
      if (!shape->grid_traversed) {
        print("Adding disconnected shape \\[" + esc(shape->name) + "] horizontally at col " +
              std::to_string(col));
        shape->grid_traversed = true;
        add_shape_to_lane_rowcolumn(lane_id, 1, col, shape);
      }
      ++col;
    }
  }
  add_remaining_unconnected_shapes();
}

void ReferenceGrid::add_start_node_to_grid(Shape* start_shape, int row_number) {
  start_shape->grid_traversed = true;
  add_shape_to_lane_rowcolumn(start_shape->lane_id, row_number, 1, start_shape);
  for (auto& connection : *start_shape->connection_to) {
    Shape* next = connection.target;
    if (next->grid_traversed) continue;
    next->grid_traversed = true;
    add_shape_to_lane_rowcolumn(next->lane_id, row_number, 2, next);
    for (std::size_t i = 0; i < next->connection_to->size(); ++i) {
      set_shapes_position(next, (*next->connection_to)[i].target, static_cast<int>(i));
    }
  }
}

void ReferenceGrid::add_remaining_unconnected_shapes() {
  for (Pool* pool : pools_) {
    for (auto& lane : pool->lanes) {
      std::vector<Shape*> left;
      for (Shape* shape : lane->shapes) {
        if (!shape->grid_traversed) left.push_back(shape);
      }
      if (left.empty()) continue;
      Helper::print_plain("Processing " + std::to_string(left.size()) +
                          " unconnected shapes in lane " + esc(lane->name));
      for (Shape* shape : left) {
        Helper::print_plain("Shape: " + esc(shape->name) + ", connections from: " +
                            std::to_string(shape->connection_from->size()) +
                            ", connections to: " + std::to_string(shape->connection_to->size()));
      }
      int col = 1;
      for (Shape* shape : left) {
        Helper::print_plain("Adding unconnected shape \\[" + esc(shape->name) + "] at row 1, col " +
                            std::to_string(col));
        shape->grid_traversed = true;
        add_shape_to_lane_rowcolumn(lane->id, 1, col, shape);
        ++col;
      }
    }
  }
}

void ReferenceGrid::set_shapes_position(Shape* previous_shape, Shape* current_shape, int index) {
  if (current_shape->grid_traversed) {
    print("[orange4]" + esc(current_shape->name) + " is already traversed[/]");
    return;
  }
  print("Traversing [red]" + esc(current_shape->name) + "[/]");
  current_shape->grid_traversed = true;
  add_shape_to_grid(previous_shape, current_shape, index);
  for (std::size_t i = 0; i < current_shape->connection_to->size(); ++i) {
    Shape* next = (*current_shape->connection_to)[i].target;
    print("    [dodger_blue1]" + std::to_string(i) + ": " + esc(current_shape->name) + " -> " +
          esc(next->name) + "[/]");
    set_shapes_position(current_shape, next, static_cast<int>(i));
  }
  print("Done traversing [:thumbsup: " + esc(current_shape->name) + "]");
}

void ReferenceGrid::add_shape_to_grid(Shape* previous_shape, Shape* current_shape, int index) {
  const std::string lane = current_shape->lane_id;
  const std::string name = esc(current_shape->name);
  if (previous_shape == nullptr) {
    print("    ==>Start adding \\[" + name + "] to grid (append)");
    add_shape_to_lane_row(lane, 1, current_shape);
    return;
  }
  Cell prev = get_shape_lane_rowcolumn(previous_shape);
  const bool same_lane = previous_shape->lane_id == current_shape->lane_id;
  if (same_lane && index == 0) {
    Helper::printc(
        std::vector<std::string>{
            "        ==>Same lane (row 0): ", "add_shape_to_lane \\[" + name + "],",
            " previous_shape_row_number=" + std::to_string(prev.row)},
        level());
    add_shape_to_lane(lane, prev.row, current_shape);
  } else if (same_lane) {
    print("        ==>Same lane (next row): add_shape_to_lane_rowcolumn \\[" + name + ", " +
          std::to_string(prev.col) + "]");
    if (is_column_empty(current_shape->lane_id, prev.row, prev.col)) {
      Helper::printc("Is empty", 34, level());
      add_shape_to_lane_rowcolumn(lane, prev.row, prev.col, current_shape);
    } else {
      Helper::printc("Not empty", 34, level());
      print("Adding shape to " + std::to_string(index + 1) + ", " + std::to_string(prev.col));
      add_shape_to_lane_rowcolumn(lane, index + 1, prev.col + 1, current_shape);
    }
  } else if (index == 0) {
    if (previous_shape->pool_name == current_shape->pool_name) {
      print("        ==> index=" + std::to_string(index) +
            ", Same pool, diff lane: add_shape_to_lane \\[" + name + "], " +
            std::to_string(prev.row + 1));
      add_shape_to_lane_rowcolumn(lane, index + 1, prev.col + 1, current_shape);
    } else {
      print("        ==> index=" + std::to_string(index) +
            ", Diff pool: add_shape_to_lane_rowcolumn \\[" + name +
            ", previous_shape_col_number=" + std::to_string(prev.col) + "]");
      add_shape_to_lane_rowcolumn(lane, index + 1, prev.col, current_shape);
    }
  } else {
    if (previous_shape->pool_name == current_shape->pool_name) {
      print("        ==> index=" + std::to_string(index) +
            ", Same pool, diff lane: add_shape_to_lane_rowcolumn \\[" + name +
            "], previous_shape_col_number=" + std::to_string(prev.col));
    } else {
      print("        ==> index=" + std::to_string(index) +
            ", Diff pool: add_shape_to_lane_rowcolumn \\[" + name +
            ", previous_shape_col_number=" + std::to_string(prev.col) + "]");
    }
    add_shape_to_lane_rowcolumn(lane, index, prev.col, current_shape);
  }
}

void ReferenceGrid::process_mid_flow_terminators(const std::vector<Shape*>& terminators) {
  for (Shape* t : terminators) {
    if (t->grid_traversed) continue;
    if (t->connection_to->size() != 1) {
      print("Warning: Mid-flow terminator \\[" + esc(t->name) + "] has " +
            std::to_string(t->connection_to->size()) + " outgoing connections");
      set_shapes_position(nullptr, t, 0);
      continue;
    }
    Shape* target = (*t->connection_to)[0].target;
    if (!target->grid_traversed) {
      print("Target shape \\[" + esc(target->name) +
            "] not positioned yet, using default positioning");
      set_shapes_position(nullptr, t, 0);
      continue;
    }
    print("Positioning mid-flow terminator \\[" + esc(t->name) + "] relative to target \\[" +
          esc(target->name) + "]");
    if (t->lane_id == target->lane_id) {
      position_same_lane_terminator(t, target);
    } else {
      position_different_lane_terminator(t, target);
    }
  }
}

void ReferenceGrid::position_same_lane_terminator(Shape* t, Shape* target) {
  Cell c = get_shape_lane_rowcolumn(target);
  if (!c.lane_id) {
    print("Target shape \\[" + esc(target->name) +
          "] not found in grid, using default positioning");
    set_shapes_position(nullptr, t, 0);
    return;
  }
  const std::string lane = *c.lane_id;
  print("Same-lane terminator: target at lane " + esc(lane) + ", row " + std::to_string(c.row) +
        ", col " + std::to_string(c.col));
  auto place = [&](int row, int col, const std::string& line) {
    if (!line.empty()) print(line);
    add_shape_to_lane_cell(lane, row, col, t);
    t->grid_traversed = true;
  };
  if (c.col > 1 && is_column_empty(lane, c.row, c.col - 1)) {
    place(c.row, c.col - 1,
          "Placing terminator to the left of target at col " + std::to_string(c.col - 1));
  } else if (is_column_empty(lane, c.row, c.col + 1)) {
    place(c.row, c.col + 1,
          "Placing terminator to the right of target at col " + std::to_string(c.col + 1));
  } else if (!is_row_column_occupied(lane, c.row + 1, c.col)) {
    place(c.row + 1, c.col,
          "Placing terminator below target at row " + std::to_string(c.row + 1) + ", col " +
              std::to_string(c.col));
  } else if (c.row - 1 > 0 && !is_row_column_occupied(lane, c.row - 1, c.col)) {
    place(c.row - 1, c.col,
          "Placing terminator above target at row " + std::to_string(c.row - 1) + ", col " +
              std::to_string(c.col));
  } else {
    print("No ideal position available for terminator, using next available column");
    place(c.row, get_next_column(lane, c.row), "");
  }
}

void ReferenceGrid::position_different_lane_terminator(Shape* t, Shape* target) {
  Cell c = get_shape_lane_rowcolumn(target);
  if (!c.lane_id) {
    print("Target shape \\[" + esc(target->name) +
          "] not found in grid, using default positioning");
    set_shapes_position(nullptr, t, 0);
    return;
  }
  const std::string lane = t->lane_id;
  print("Different-lane terminator: target at lane " + esc(*c.lane_id) + ", row " +
        std::to_string(c.row) + ", col " + std::to_string(c.col));
  auto place = [&](int col, const std::string& line) {
    if (!line.empty()) print(line);
    add_shape_to_lane_cell(lane, 1, col, t);
    t->grid_traversed = true;
  };
  if (!is_row_column_occupied(lane, 1, c.col)) {
    place(c.col,
          "Placing terminator vertically aligned with target at col " + std::to_string(c.col));
    return;
  }
  for (int offset = 1; offset <= 3; ++offset) {
    int left = c.col - offset;
    if (left > 0 && !is_row_column_occupied(lane, 1, left)) {
      place(left, "Placing terminator at col " + std::to_string(left) + ", offset " +
                      std::to_string(offset) + " left of target");
      return;
    }
    int right = c.col + offset;
    if (!is_row_column_occupied(lane, 1, right)) {
      place(right, "Placing terminator at col " + std::to_string(right) + ", offset " +
                       std::to_string(offset) + " right of target");
      return;
    }
  }
  print("No column near target available, using next available column");
  place(get_next_column(lane, 1), "");
}

// ---- Cells ----

std::vector<ReferenceGrid::Row>& ReferenceGrid::lane_rows(const std::string& lane_id) {
  for (auto& [id, rows] : grid_) {
    if (id == lane_id) return rows;
  }
  grid_.push_back({lane_id, {}});
  return grid_.back().second;
}

std::vector<Shape*>& ReferenceGrid::row_cells(const std::string& lane_id, int row_number) {
  auto& rows = lane_rows(lane_id);
  for (auto& [key, cells] : rows) {
    if (key == key_of(row_number)) return cells;
  }
  rows.push_back({key_of(row_number), {}});
  return rows.back().second;
}

void ReferenceGrid::add_shape_to_lane_row(const std::string& lane_id, int row_number,
                                          Shape* shape) {
  auto& cells = row_cells(lane_id, row_number);
  Helper::printc("            ### (shape.name=" + esc(Helper::quoted(shape->name)) +
                     "), lane_id=" + esc(Helper::quoted(lane_id)) +
                     ", row_number=" + Helper::quoted(key_of(row_number)),
                 36, level());
  cells.push_back(shape);
}

void ReferenceGrid::add_shape_to_lane_rowcolumn(const std::string& lane_id, int row_number,
                                                int col_number, Shape* shape) {
  auto& cells = row_cells(lane_id, row_number);
  const int n = static_cast<int>(cells.size());
  if (col_number > n) {
    for (int i = 0; i < col_number - n - 1; ++i) cells.push_back(nullptr);
    cells.push_back(shape);
  } else if (col_number == 1) {
    cells.push_back(shape);
  } else if (cells[col_number - 1] == nullptr) {
    cells[col_number - 1] = shape;
  } else {
    cells.push_back(shape);
  }
  Helper::printc("            ### shape.name=" + esc(Helper::quoted(shape->name)) +
                     ", lane_id=" + esc(Helper::quoted(lane_id)) +
                     ", row_number=" + Helper::quoted(key_of(row_number)) +
                     ", col_number=" + std::to_string(col_number),
                 36, level());
  pad();
}

void ReferenceGrid::pad() {
  const int w = get_max_column_count();
  for (auto& [id, rows] : grid_) {
    for (auto& [key, row] : rows) {
      while (static_cast<int>(row.size()) < w) row.push_back(nullptr);
    }
  }
}

// A terminator takes a free first cell instead of being appended, so that it lands where its
// placement line says.
void ReferenceGrid::add_shape_to_lane_cell(const std::string& lane_id, int row_number,
                                           int col_number, Shape* shape) {
  for (auto& [id, rows] : grid_) {
    if (id != lane_id) continue;
    for (auto& [key, cells] : rows) {
      if (key != key_of(row_number) || col_number != 1 || cells.empty() || cells[0] != nullptr) {
        continue;
      }
      cells[0] = shape;
      Helper::printc("            ### shape.name=" + esc(Helper::quoted(shape->name)) +
                         ", lane_id=" + esc(Helper::quoted(lane_id)) +
                         ", row_number=" + Helper::quoted(key) + ", col_number=1",
                     36, level());
      pad();
      return;
    }
  }
  add_shape_to_lane_rowcolumn(lane_id, row_number, col_number, shape);
}

void ReferenceGrid::add_shape_to_lane(const std::string& lane_id, int row_number, Shape* shape) {
  const int c = get_next_column(lane_id, row_number);
  Helper::printc("            ### lane_id=" + esc(Helper::quoted(lane_id)) + ", row_number=" +
                     std::to_string(row_number) + ", col_number=" + std::to_string(c),
                 33, level());
  add_shape_to_lane_rowcolumn(lane_id, row_number, c, shape);
}

ReferenceGrid::Cell ReferenceGrid::get_shape_lane_rowcolumn(const Shape* shape) const {
  for (const auto& [id, rows] : grid_) {
    for (const auto& [key, cells] : rows) {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] == shape) return Cell{id, number_of(key), static_cast<int>(i) + 1};
      }
    }
  }
  return Cell{};
}

bool ReferenceGrid::is_column_empty(const std::string& lane_id, int row_number,
                                    int col_number) const {
  for (const auto& [id, rows] : grid_) {
    if (id != lane_id) continue;
    for (const auto& [key, cells] : rows) {
      if (key != key_of(row_number)) continue;
      if (col_number <= static_cast<int>(cells.size()) && cells[col_number - 1] != nullptr) {
        Helper::printc("            ### " + esc(cells[col_number - 1]->name), level());
        return false;
      }
    }
  }
  return true;
}

bool ReferenceGrid::is_row_column_occupied(const std::string& lane_id, int row_number,
                                           int col_number) const {
  for (const auto& [id, rows] : grid_) {
    if (id != lane_id) continue;
    for (const auto& [key, cells] : rows) {
      if (key != key_of(row_number)) continue;
      if (col_number > static_cast<int>(cells.size())) return false;
      return cells[col_number - 1] != nullptr;
    }
  }
  return false;
}

int ReferenceGrid::get_next_column(const std::string& lane_id, int row_number) const {
  for (const auto& [id, rows] : grid_) {
    if (id != lane_id) continue;
    for (const auto& [key, cells] : rows) {
      if (key != key_of(row_number)) continue;
      int last = 0;
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] != nullptr) last = static_cast<int>(i) + 1;
      }
      return last + 1;
    }
  }
  return 1;
}

int ReferenceGrid::get_max_column_count() const {
  std::size_t w = 0;
  for (const auto& [id, rows] : grid_) {
    for (const auto& [key, cells] : rows) w = std::max(w, cells.size());
  }
  return static_cast<int>(w);
}

}  // namespace orvane::testing
