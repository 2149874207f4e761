#pragma once

// A deliberately plain layout engine used to check Grid: linear scans over a fully materialised
// grid, padding written out after every placement by column, a recursive walk. It follows the
// layout rules step by step and prints the same trace lines, so that any difference in cells or
// traces points at the optimised engine.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvane/pool.hpp"
#include "orvane/shape.hpp"

namespace orvane::testing {

class ReferenceGrid {
 public:
  using Row = std::pair<std::string, std::vector<Shape*>>;
  using LaneRows = std::pair<std::string, std::vector<Row>>;

  void set_grid(const std::vector<Pool*>& pools);
  const std::vector<LaneRows>& grid() const { return grid_; }
  std::vector<Shape*> get_all_shapes() const;

 private:
  void process_all_shapes();
  void set_shapes_position(Shape* previous_shape, Shape* current_shape, int index);
  void add_shape_to_grid(Shape* previous_shape, Shape* current_shape, int index);
  void add_start_node_to_grid(Shape* start_shape, int row_number);
  void add_remaining_unconnected_shapes();
  void process_mid_flow_terminators(const std::vector<Shape*>& terminators);
  void position_same_lane_terminator(Shape* terminator, Shape* target);
  void position_different_lane_terminator(Shape* terminator, Shape* target);

  std::vector<Row>& lane_rows(const std::string& lane_id);
  std::vector<Shape*>& row_cells(const std::string& lane_id, int row_number);
  void add_shape_to_lane_row(const std::string& lane_id, int row_number, Shape* shape);
  void add_shape_to_lane_rowcolumn(const std::string& lane_id, int row_number, int col_number,
                                   Shape* shape);
  void add_shape_to_lane(const std::string& lane_id, int row_number, Shape* shape);
  void add_shape_to_lane_cell(const std::string& lane_id, int row_number, int col_number,
                              Shape* shape);
  struct Cell {
    std::optional<std::string> lane_id;
    int row = 0;
    int col = 0;
  };
  Cell get_shape_lane_rowcolumn(const Shape* shape) const;
  bool is_column_empty(const std::string& lane_id, int row_number, int col_number) const;
  bool is_row_column_occupied(const std::string& lane_id, int row_number, int col_number) const;
  int get_next_column(const std::string& lane_id, int row_number) const;
  int get_max_column_count() const;
  void pad();

  std::vector<Pool*> pools_;
  std::vector<LaneRows> grid_;
};

}  // namespace orvane::testing
