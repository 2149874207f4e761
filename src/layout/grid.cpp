// Building the layout: the start-shape phases, the depth-first placement walk and the mid-flow
// terminator rules. Every cell is written through the cell layer (grid_cells.cpp).
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "grid_impl.hpp"
#include "orvane/activity.hpp"
#include "orvane/lane.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

const PrintOptions kTrace = trace_options();

bool tracing() {
  return Helper::is_shown("layout_grid");
}

void trace(std::string_view message) {
  Helper::printc(message, kTrace);
}

// A name made safe for a markup message.
std::string nm(const Shape* shape) {
  return Helper::escape(shape->name);
}

void check_shape(const Shape* shape) {
  if (shape == nullptr) throw std::invalid_argument("shape must be provided");
}

const Lane& lane_ref(const std::unique_ptr<Lane>& lane) {
  if (!lane) throw std::invalid_argument("a pool holds a null lane");
  return *lane;
}

// Calls fn(lane, shape) for every shape of the pools in declaration order.
template <typename Fn>
void for_each_shape(const std::vector<Pool*>& pools, Fn&& fn) {
  for (const Pool* pool : pools) {
    for (const auto& lane_ptr : pool->lanes) {
      const Lane& lane = lane_ref(lane_ptr);
      for (Shape* shape : lane.shapes) {
        if (shape == nullptr) {
          throw std::invalid_argument("lane " + Helper::quoted(lane.name) + " holds a null shape");
        }
        fn(lane, shape);
      }
    }
  }
}

// Shapes grouped by lane id, lanes in order of first appearance.
using ShapesByLane = std::vector<std::pair<std::string, std::vector<Shape*>>>;

ShapesByLane group_by_lane(const std::vector<Shape*>& shapes) {
  ShapesByLane groups;
  std::unordered_map<std::string, std::size_t> index;
  for (Shape* shape : shapes) {
    auto [it, fresh] = index.try_emplace(shape->lane_id, groups.size());
    if (fresh) groups.emplace_back(shape->lane_id, std::vector<Shape*>{});
    groups[it->second].second.push_back(shape);
  }
  return groups;
}

}  // namespace

void Grid::Impl::build_flow_view(const std::vector<Pool*>& pools) {
  auto off_flow = [](const Shape* shape) {
    return shape != nullptr && shape->kind() == ShapeKind::PARTICIPANT;
  };
  for_each_shape(pools, [&](const auto&, Shape* shape) {
    const auto* activity = dynamic_cast<const Activity*>(shape);
    const bool boundary = activity != nullptr && !activity->boundary_events.empty();
    bool skips = false;
    if (shape->connection_to) {
      for (const Connection& c : *shape->connection_to) skips = skips || off_flow(c.target);
    }
    if (boundary || skips) {
      std::vector<Shape*>& targets = flow_targets[shape];
      auto add = [&](const Shape* from) {
        if (!from->connection_to) return;
        for (const Connection& c : *from->connection_to) {
          if (!off_flow(c.target)) targets.push_back(c.target);
        }
      };
      add(shape);
      if (boundary) {
        for (const Shape* event : activity->boundary_events) {
          if (event != nullptr) add(event);
        }
      }
    }
    if (shape->connection_from &&
        std::any_of(shape->connection_from->begin(), shape->connection_from->end(), off_flow)) {
      flow_sources[shape] = static_cast<std::size_t>(
          std::count_if(shape->connection_from->begin(), shape->connection_from->end(),
                        [&](const Shape* s) { return !off_flow(s); }));
    }
  });
}

std::size_t Grid::Impl::outgoing_count(const Shape* shape) const {
  if (!flow_targets.empty()) {
    auto it = flow_targets.find(shape);
    if (it != flow_targets.end()) return it->second.size();
  }
  return shape->connection_to ? shape->connection_to->size() : 0;
}

std::size_t Grid::Impl::incoming_count(const Shape* shape) const {
  if (!flow_sources.empty()) {
    auto it = flow_sources.find(shape);
    if (it != flow_sources.end()) return it->second;
  }
  return shape->connection_from ? shape->connection_from->size() : 0;
}

Shape* Grid::Impl::target_of(const Shape* shape, std::size_t index) const {
  Shape* target = nullptr;
  auto it = flow_targets.empty() ? flow_targets.end() : flow_targets.find(shape);
  if (it != flow_targets.end()) {
    target = it->second.at(index);
  } else {
    target = (*shape->connection_to)[index].target;
  }
  if (target == nullptr) {
    throw std::invalid_argument("connection " + std::to_string(index) + " of shape " +
                                Helper::quoted(shape->name) + " has no target");
  }
  return target;
}

Grid::Grid() : impl_(new Impl) {}

Grid::~Grid() {
  delete impl_;
}

// ---- Building ----------------------------------------------------------------------------------

void Grid::set_grid(const std::vector<Pool*>& pools) {
  for (const Pool* pool : pools) {
    if (pool == nullptr) throw std::invalid_argument("pools must not hold a null pool");
  }
  _pools = pools;
  Impl* fresh = new Impl;
  delete impl_;
  impl_ = fresh;
  // Marks of an earlier layout are kept, as callers expect: a shape already marked is not
  // placed again. The diagram clears the marks itself before it lays out anew.
  std::size_t shape_count = 0;
  for_each_shape(_pools, [&](const Lane&, Shape*) { ++shape_count; });
  impl_->first_cells.reserve(shape_count);
  impl_->build_flow_view(_pools);
  _process_all_shapes();
}

bool Grid::is_same_lane(const Shape& previous_shape, const Shape& current_shape) const {
  return previous_shape.lane_id == current_shape.lane_id;
}

bool Grid::is_same_pool(const Shape& previous_shape, const Shape& current_shape) const {
  return previous_shape.pool_name == current_shape.pool_name;
}

std::vector<Shape*> Grid::_find_all_start_shapes() const {
  std::vector<Shape*> out;
  for_each_shape(_pools, [&](const Lane&, Shape* shape) {
    if (impl_->incoming_count(shape) == 0) out.push_back(shape);
  });
  return out;
}

std::vector<std::string> Grid::_get_first_lane_ids_from_pools() const {
  std::vector<std::string> out;
  for (const Pool* pool : _pools) {
    if (!pool->lanes.empty()) out.push_back(lane_ref(pool->lanes.front()).id);
  }
  return out;
}

Shape* Grid::_find_start_shape() const {
  for (const Pool* pool : _pools) {
    for (const auto& lane_ptr : pool->lanes) {
      for (Shape* shape : lane_ref(lane_ptr).shapes) {
        check_shape(shape);
        if (tracing()) trace(nm(shape) + " - " + std::to_string(impl_->incoming_count(shape)));
        if (impl_->incoming_count(shape) == 0) return shape;
      }
    }
  }
  return nullptr;
}

std::vector<Shape*> Grid::get_all_shapes() const {
  std::vector<Shape*> out;
  for (std::size_t l = 0; l < impl_->lanes.size(); ++l) {
    const auto& rows = impl_->lanes[l].rows;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (const auto& [col, shape] : rows[r].cells) {
        // A shape placed twice is listed at its first cell only.
        if (impl_->extra_cells.empty() || *impl_->first_cell(shape) == Impl::CellRef{l, r, col}) {
          out.push_back(shape);
        }
      }
    }
  }
  return out;
}

void Grid::_process_all_shapes() {
  const std::vector<Shape*> no_incoming_shapes = _find_all_start_shapes();
  const std::vector<std::string> first_lane_ids = _get_first_lane_ids_from_pools();
  const std::unordered_set<std::string> first_lanes(first_lane_ids.begin(), first_lane_ids.end());

  std::vector<Shape*> true_start_shapes;
  std::vector<Shape*> mid_flow_terminators;
  std::vector<Shape*> disconnected_shapes;
  for (Shape* shape : no_incoming_shapes) {
    if (impl_->outgoing_count(shape) > 0 && shape->class_name() == "Terminator") {
      mid_flow_terminators.push_back(shape);
    } else if (impl_->outgoing_count(shape) > 0) {
      true_start_shapes.push_back(shape);
    } else {
      disconnected_shapes.push_back(shape);
    }
  }

  for (const auto& [lane_id, lane_start_shapes] : group_by_lane(true_start_shapes)) {
    if (lane_start_shapes.size() > 1 && first_lanes.count(lane_id) > 0) {
      // Several flows start in the first lane of a pool: one row per start shape.
      for (std::size_t idx = 0; idx < lane_start_shapes.size(); ++idx) {
        Shape* start_shape = lane_start_shapes[idx];
        if (start_shape->grid_traversed) continue;
        if (tracing()) {
          trace("Processing start shape \\[" + nm(start_shape) +
                "] in vertical arrangement (position " + std::to_string(idx + 1) + ")");
        }
        _add_start_node_to_grid(start_shape, static_cast<int>(idx) + 1);
      }
    } else {
      for (Shape* start_shape : lane_start_shapes) {
        if (start_shape->grid_traversed) continue;
        if (tracing()) trace("Processing start shape \\[" + nm(start_shape) + "]");
        set_shapes_position(nullptr, start_shape, 0);
      }
    }
  }

  _process_mid_flow_terminators(mid_flow_terminators);

  for (const auto& [lane_id, lane_shapes] : group_by_lane(disconnected_shapes)) {
    if (tracing()) {
      trace("Processing " + std::to_string(lane_shapes.size()) + " disconnected shapes in lane " +
            Helper::escape(lane_id));
    }
    int col_idx = 1;
    for (Shape* shape : lane_shapes) {
      if (!shape->grid_traversed) {
        if (tracing()) {
          trace("Adding disconnected shape \\[" + nm(shape) + "] horizontally at col " +
                std::to_string(col_idx));
        }
        shape->grid_traversed = true;
        add_shape_to_lane_rowcolumn(lane_id, 1, col_idx, shape);
      }
      ++col_idx;
    }
  }

  _add_remaining_unconnected_shapes();
}

void Grid::_add_start_node_to_grid(Shape* start_shape, int row_number) {
  check_shape(start_shape);
  if (row_number < 1 || row_number > kMaxGridNumber) {
    throw std::invalid_argument("row_number must be between 1 and " +
                                std::to_string(kMaxGridNumber) + ", got " +
                                std::to_string(row_number));
  }
  start_shape->grid_traversed = true;
  add_shape_to_lane_rowcolumn(start_shape->lane_id, row_number, 1, start_shape);
  for (std::size_t i = 0; i < impl_->outgoing_count(start_shape); ++i) {
    Shape* next_shape = impl_->target_of(start_shape, i);
    if (next_shape->grid_traversed) continue;
    next_shape->grid_traversed = true;
    add_shape_to_lane_rowcolumn(next_shape->lane_id, row_number, 2, next_shape);
    for (std::size_t j = 0; j < impl_->outgoing_count(next_shape); ++j) {
      set_shapes_position(next_shape, impl_->target_of(next_shape, j), static_cast<int>(j));
    }
  }
}

void Grid::_add_remaining_unconnected_shapes() {
  for (const Pool* pool : _pools) {
    for (const auto& lane_ptr : pool->lanes) {
      const Lane& lane = lane_ref(lane_ptr);
      std::vector<Shape*> remaining;
      for (Shape* shape : lane.shapes) {
        if (shape == nullptr) {
          throw std::invalid_argument("lane " + Helper::quoted(lane.name) + " holds a null shape");
        }
        if (!shape->grid_traversed) remaining.push_back(shape);
      }
      if (remaining.empty()) continue;
      Helper::print_plain("Processing " + std::to_string(remaining.size()) +
                          " unconnected shapes in lane " + Helper::escape(lane.name));
      for (const Shape* shape : remaining) {
        Helper::print_plain("Shape: " + nm(shape) +
                            ", connections from: " + std::to_string(impl_->incoming_count(shape)) +
                            ", connections to: " + std::to_string(impl_->outgoing_count(shape)));
      }
      int column = 1;
      for (Shape* shape : remaining) {
        Helper::print_plain("Adding unconnected shape \\[" + nm(shape) + "] at row 1, col " +
                            std::to_string(column));
        shape->grid_traversed = true;
        add_shape_to_lane_rowcolumn(lane.id, 1, column, shape);
        ++column;
      }
    }
  }
}

// ---- Placement walk ----------------------------------------------------------------------------

void Grid::set_shapes_position(Shape* previous_shape, Shape* current_shape, int index) {
  check_shape(current_shape);
  // Depth first with an explicit stack, so that long chains cannot exhaust the call stack. A frame
  // is a placed shape and the position of the next connection to follow from it.
  struct Frame {
    Shape* shape;
    std::size_t next;
  };
  std::vector<Frame> stack;
  auto enter = [&](Shape* previous, Shape* current, int idx) {
    if (current->grid_traversed) {
      if (tracing()) trace("[orange4]" + nm(current) + " is already traversed[/]");
      return;
    }
    if (tracing()) trace("Traversing [red]" + nm(current) + "[/]");
    current->grid_traversed = true;
    add_shape_to_grid(previous, current, idx);
    stack.push_back(Frame{current, 0});
  };
  enter(previous_shape, current_shape, index);
  while (!stack.empty()) {
    Frame& top = stack.back();
    Shape* shape = top.shape;
    if (top.next < impl_->outgoing_count(shape)) {
      const std::size_t connection_index = top.next++;
      Shape* next_shape = impl_->target_of(shape, connection_index);
      if (tracing()) {
        trace("    [dodger_blue1]" + std::to_string(connection_index) + ": " + nm(shape) + " -> " +
              nm(next_shape) + "[/]");
      }
      enter(shape, next_shape, static_cast<int>(connection_index));
    } else {
      if (tracing()) trace("Done traversing [:thumbsup: " + nm(shape) + "]");
      stack.pop_back();
    }
  }
}

void Grid::add_shape_to_grid(Shape* previous_shape, Shape* current_shape, int index) {
  check_shape(current_shape);
  if (index < 0 || index >= kMaxGridNumber) {
    throw std::invalid_argument("index must be between 0 and " +
                                std::to_string(kMaxGridNumber - 1) + ", got " +
                                std::to_string(index));
  }
  const std::string& lane = current_shape->lane_id;
  const std::string name = tracing() ? nm(current_shape) : std::string();
  if (previous_shape == nullptr) {
    if (tracing()) trace("    ==>Start adding \\[" + name + "] to grid (append)");
    add_shape_to_lane_row(lane, 1, current_shape);
    return;
  }
  const ShapeCell cell = get_shape_lane_rowcolumn(previous_shape);
  if (!cell.lane_id) {
    throw std::invalid_argument("previous shape " + Helper::quoted(previous_shape->name) +
                                " has no cell in the grid");
  }
  const int prev_row = *cell.row_number;
  const int prev_col = *cell.col_number;
  if (is_same_lane(*previous_shape, *current_shape)) {
    if (index == 0) {
      if (tracing()) {
        Helper::printc(
            std::vector<std::string>{
                "        ==>Same lane (row 0): ", "add_shape_to_lane \\[" + name + "],",
                " previous_shape_row_number=" + std::to_string(prev_row)},
            kTrace);
      }
      add_shape_to_lane(lane, prev_row, current_shape);
      return;
    }
    if (tracing()) {
      trace("        ==>Same lane (next row): add_shape_to_lane_rowcolumn \\[" + name + ", " +
            std::to_string(prev_col) + "]");
    }
    if (is_column_empty(lane, prev_row, prev_col)) {
      Helper::printc("Is empty", 34, kTrace);
      add_shape_to_lane_rowcolumn(lane, prev_row, prev_col, current_shape);
    } else {
      Helper::printc("Not empty", 34, kTrace);
      if (tracing()) {
        trace("Adding shape to " + std::to_string(index + 1) + ", " + std::to_string(prev_col));
      }
      add_shape_to_lane_rowcolumn(lane, index + 1, prev_col + 1, current_shape);
    }
    return;
  }
  const bool same_pool = is_same_pool(*previous_shape, *current_shape);
  if (tracing()) {
    if (same_pool && index == 0) {
      trace("        ==> index=" + std::to_string(index) +
            ", Same pool, diff lane: add_shape_to_lane \\[" + name + "], " +
            std::to_string(prev_row + 1));
    } else if (same_pool) {
      trace("        ==> index=" + std::to_string(index) +
            ", Same pool, diff lane: add_shape_to_lane_rowcolumn \\[" + name +
            "], previous_shape_col_number=" + std::to_string(prev_col));
    } else {
      trace("        ==> index=" + std::to_string(index) +
            ", Diff pool: add_shape_to_lane_rowcolumn \\[" + name +
            ", previous_shape_col_number=" + std::to_string(prev_col) + "]");
    }
  }
  if (index == 0) {
    add_shape_to_lane_rowcolumn(lane, 1, same_pool ? prev_col + 1 : prev_col, current_shape);
  } else {
    add_shape_to_lane_rowcolumn(lane, index, prev_col, current_shape);
  }
}

// ---- Mid-flow terminators ----------------------------------------------------------------------

void Grid::_process_mid_flow_terminators(const std::vector<Shape*>& mid_flow_terminators) {
  for (Shape* terminator : mid_flow_terminators) {
    check_shape(terminator);
    if (terminator->grid_traversed) continue;
    const std::size_t count = impl_->outgoing_count(terminator);
    if (count != 1) {
      if (tracing()) {
        trace("Warning: Mid-flow terminator \\[" + nm(terminator) + "] has " +
              std::to_string(count) + " outgoing connections");
      }
      set_shapes_position(nullptr, terminator, 0);
      continue;
    }
    Shape* target = impl_->target_of(terminator, 0);
    if (!target->grid_traversed) {
      if (tracing()) {
        trace("Target shape \\[" + nm(target) + "] not positioned yet, using default positioning");
      }
      set_shapes_position(nullptr, terminator, 0);
      continue;
    }
    if (tracing()) {
      trace("Positioning mid-flow terminator \\[" + nm(terminator) + "] relative to target \\[" +
            nm(target) + "]");
    }
    if (terminator->lane_id == target->lane_id) {
      _position_same_lane_terminator(terminator, target);
    } else {
      _position_different_lane_terminator(terminator, target);
    }
  }
}

// Places a terminator with its placement line (none when `line` is empty) and marks it placed.
void Grid::place_terminator(Shape* terminator, const std::string& lane_id, int row, int col,
                            const std::string& line) {
  if (!line.empty() && tracing()) trace(line);
  place_in_cell(lane_id, row, col, terminator);
  terminator->grid_traversed = true;
}

void Grid::_position_same_lane_terminator(Shape* terminator, Shape* target_shape) {
  auto place = [&](const std::string& lane_id, int row, int col, const std::string& line) {
    place_terminator(terminator, lane_id, row, col, line);
  };
  check_shape(terminator);
  check_shape(target_shape);
  const ShapeCell cell = get_shape_lane_rowcolumn(target_shape);
  if (!cell.lane_id) {
    if (tracing()) {
      trace("Target shape \\[" + nm(target_shape) +
            "] not found in grid, using default positioning");
    }
    set_shapes_position(nullptr, terminator, 0);
    return;
  }
  const std::string& lane = *cell.lane_id;
  const int row = *cell.row_number;
  const int col = *cell.col_number;
  if (tracing()) {
    trace("Same-lane terminator: target at lane " + Helper::escape(lane) + ", row " +
          std::to_string(row) + ", col " + std::to_string(col));
  }
  if (col > 1 && is_column_empty(lane, row, col - 1)) {
    place(lane, row, col - 1,
          "Placing terminator to the left of target at col " + std::to_string(col - 1));
    return;
  }
  if (is_column_empty(lane, row, col + 1)) {
    place(lane, row, col + 1,
          "Placing terminator to the right of target at col " + std::to_string(col + 1));
    return;
  }
  if (!_is_row_column_occupied(lane, row + 1, col)) {
    place(lane, row + 1, col,
          "Placing terminator below target at row " + std::to_string(row + 1) + ", col " +
              std::to_string(col));
    return;
  }
  if (row - 1 > 0 && !_is_row_column_occupied(lane, row - 1, col)) {
    place(lane, row - 1, col,
          "Placing terminator above target at row " + std::to_string(row - 1) + ", col " +
              std::to_string(col));
    return;
  }
  if (tracing()) trace("No ideal position available for terminator, using next available column");
  place(lane, row, get_next_column(lane, row), "");
}

void Grid::_position_different_lane_terminator(Shape* terminator, Shape* target_shape) {
  auto place = [&](const std::string& lane_id, int row, int col, const std::string& line) {
    place_terminator(terminator, lane_id, row, col, line);
  };
  check_shape(terminator);
  check_shape(target_shape);
  constexpr int max_offset = 3;
  const ShapeCell cell = get_shape_lane_rowcolumn(target_shape);
  if (!cell.lane_id) {
    if (tracing()) {
      trace("Target shape \\[" + nm(target_shape) +
            "] not found in grid, using default positioning");
    }
    set_shapes_position(nullptr, terminator, 0);
    return;
  }
  const std::string& lane = terminator->lane_id;
  const int col = *cell.col_number;
  if (tracing()) {
    trace("Different-lane terminator: target at lane " + Helper::escape(*cell.lane_id) + ", row " +
          std::to_string(*cell.row_number) + ", col " + std::to_string(col));
  }
  // Always row 1 of the terminator's own lane, as near the target's column as possible.
  if (!_is_row_column_occupied(lane, 1, col)) {
    place(lane, 1, col,
          "Placing terminator vertically aligned with target at col " + std::to_string(col));
    return;
  }
  for (int offset = 1; offset <= max_offset; ++offset) {
    const int left = col - offset;
    if (left > 0 && !_is_row_column_occupied(lane, 1, left)) {
      place(lane, 1, left,
            "Placing terminator at col " + std::to_string(left) + ", offset " +
                std::to_string(offset) + " left of target");
      return;
    }
    const int right = col + offset;
    if (!_is_row_column_occupied(lane, 1, right)) {
      place(lane, 1, right,
            "Placing terminator at col " + std::to_string(right) + ", offset " +
                std::to_string(offset) + " right of target");
      return;
    }
  }
  if (tracing()) trace("No column near target available, using next available column");
  place(lane, 1, get_next_column(lane, 1), "");
}

}  // namespace orvane
