#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvane/export.hpp"
#include "orvane/grid_metrics.hpp"

namespace orvane {

class ConsoleTable;
class Pool;
class Shape;

class Grid;

/// A shape's cell: lane id, row number, column number (1-based), or all empty.
struct ShapeCell {
  std::optional<std::string> lane_id;
  std::optional<int> row_number;
  std::optional<int> col_number;
  bool operator==(const ShapeCell&) const = default;
};

/// One row of one lane, read live from the grid. Its size is the padded length; cells past the
/// shapes are empty (nullptr).
class ORVANE_API GridRowView {
 public:
  GridRowView(const Grid* grid, std::size_t lane_index, std::size_t row_index);
  /// The row key, "row" followed by the row number ("row3").
  const std::string& key() const;
  /// The row number read from the key.
  int number() const;
  /// Number of cells, empty ones included.
  std::size_t size() const;
  /// The shape at 0-based column index `col_index`, or nullptr for an empty cell.
  Shape* at(std::size_t col_index) const;
  /// The occupied cells as (0-based column index, shape), in column order: cost proportional to
  /// the shapes of the row, not to its padded length.
  std::vector<std::pair<std::size_t, Shape*>> occupied() const;
  /// Every cell in column order, empty ones as nullptr (materialises the padding).
  std::vector<Shape*> cells() const;

 private:
  const Grid* grid_;
  std::size_t lane_index_;
  std::size_t row_index_;
};

/// One lane of the grid and its rows in creation order, read live.
class ORVANE_API GridLaneView {
 public:
  GridLaneView(const Grid* grid, std::size_t lane_index);
  const std::string& lane_id() const;
  std::size_t row_count() const;
  GridRowView row(std::size_t row_index) const;
  std::vector<GridRowView> rows() const;

 private:
  const Grid* grid_;
  std::size_t lane_index_;
};

/// The (lane id, rows) pairs of the grid in map order, as a live view.
class ORVANE_API GridItems {
 public:
  explicit GridItems(const Grid* grid);
  std::size_t size() const;
  GridLaneView operator[](std::size_t lane_index) const;
  class Iterator;
  Iterator begin() const;
  Iterator end() const;

  class Iterator {
   public:
    Iterator(const Grid* grid, std::size_t index) : grid_(grid), index_(index) {}
    GridLaneView operator*() const { return GridLaneView(grid_, index_); }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    const Grid* grid_;
    std::size_t index_;
  };

 private:
  const Grid* grid_;
};

/// The layout engine: gives every shape of the diagram a cell (lane, row, column). Rows and
/// columns are numbered from 1; lanes and rows are kept in the order they were created.
class ORVANE_API Grid : public GridMetrics {
 public:
  Grid();
  ~Grid() override;
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;

  // Building (start shapes and traversal).
  /// Lays out `pools` from nothing: start shapes and their flows, mid-flow terminators,
  /// disconnected shapes, then every shape still without a cell.
  void set_grid(const std::vector<Pool*>& pools);
  /// The (lane id, rows) pairs of the grid in creation order, as a live view.
  GridItems get_grid_items() const;
  /// Whether the two shapes are in the same lane.
  bool is_same_lane(const Shape& previous_shape, const Shape& current_shape) const;
  /// Whether the two shapes are in the same pool.
  bool is_same_pool(const Shape& previous_shape, const Shape& current_shape) const;

  // Placement walk.
  /// Places `current_shape`, reached from `previous_shape` over its connection at `index`, and
  /// then, depth first, every shape reachable from it that has no cell yet.
  void set_shapes_position(Shape* previous_shape, Shape* current_shape, int index = 0);
  /// Places the one shape `current_shape` relative to the cell of `previous_shape` (none: row 1
  /// of its lane).
  void add_shape_to_grid(Shape* previous_shape, Shape* current_shape, int index);

  /// The first shape, in declaration order, that nothing leads into; printed as it searches.
  Shape* _find_start_shape() const;
  /// Every placed shape in grid order, each once; cost proportional to the number of shapes.
  std::vector<Shape*> get_all_shapes() const;
  void _process_all_shapes();

  // Mid-flow terminators.
  void _process_mid_flow_terminators(const std::vector<Shape*>& mid_flow_terminators);
  void _position_same_lane_terminator(Shape* terminator, Shape* target_shape);
  void _position_different_lane_terminator(Shape* terminator, Shape* target_shape);

  /// Whether the cell holds a shape; false for a missing lane, row or column.
  bool _is_row_column_occupied(const std::string& lane_id, int row_number, int col_number) const;
  void _add_start_node_to_grid(Shape* start_shape, int row_number);
  /// Every shape that nothing leads into, in declaration order.
  std::vector<Shape*> _find_all_start_shapes() const;
  void _add_remaining_unconnected_shapes();
  /// One past the largest row number of the lane (1 for a lane not in the grid).
  int _get_next_available_row(const std::string& lane_id) const;
  /// The id of the first lane of every pool that has lanes.
  std::vector<std::string> _get_first_lane_ids_from_pools() const;

  // Lane cell placement.
  /// Appends `shape` to the row of the lane, creating both as needed; pads nothing.
  void add_shape_to_lane_row(const std::string& lane_id, int row_number, Shape* shape);
  /// Puts `shape` at the column of the row (appended when that cell is taken, or for column 1
  /// of a row that has cells), then pads every row of the grid to the same length.
  void add_shape_to_lane_rowcolumn(const std::string& lane_id, int row_number, int col_number,
                                   Shape* shape);
  /// The row key and column of `shape` in the lane, or both empty.
  std::pair<std::optional<std::string>, std::optional<int>> find_shape_rowcolumn_in_lane(
      const std::string& lane_id, const Shape* shape) const;
  /// The column of `shape` in the lane, or empty; throws std::out_of_range for a lane not in
  /// the grid.
  std::optional<int> get_column_index(const std::string& lane_id, const Shape* shape) const;
  /// Whether the cell is free (a missing row or a column past the row's end is); throws
  /// std::out_of_range for a lane not in the grid.
  bool is_column_empty(const std::string& lane_id, int row_number, int col_number) const;
  /// The lane id, row number and column of `shape`, or all empty.
  ShapeCell get_shape_lane_rowcolumn(const Shape* shape) const;
  /// Puts the shape right after the last occupied cell of the row. Throws
  /// std::invalid_argument "lane_id must be provided" when lane_id is empty.
  void add_shape_to_lane(const std::optional<std::string>& lane_id, int row_number,
                         Shape* current_shape);
  /// Puts the shape in the row of `previous_shape`, after its last occupied cell.
  void add_shape_to_same_lane(const Shape* previous_shape, Shape* current_shape);
  /// Puts the shape in the first free row below `previous_shape`'s, one column past that row's
  /// last occupied cell.
  void add_shape_to_same_lane_next_row(const Shape* previous_shape, Shape* current_shape);
  /// The column after the row's last occupied cell (1 for a missing lane or row).
  int get_next_column(const std::string& lane_id, int row_number) const;

  // Grid dump.
  std::string format_itemX(const std::optional<std::string>& item, bool repeat = false) const;
  std::string format_item(const std::optional<std::string>& item, bool repeat = false) const;
  std::string format_item(int item, bool repeat = false) const;
  /// The longest row of the whole grid, in cells.
  int get_max_column_count() const override;
  /// The number of rows of the lane; throws std::out_of_range for a lane not in the grid.
  int get_lane_row_count(const std::string& lane_id) const;
  int get_lane_max_row_number(const std::string& lane_id) const override;
  void print_headerX() const;
  void print_header(ConsoleTable& table) const;
  /// Prints the grid as tables when Helper::show_layout_grid is set.
  void print_grid() const;

  /// The pools handed to the last set_grid.
  std::vector<Pool*> _pools;

 private:
  // Like add_shape_to_lane_rowcolumn, but a free first cell of a non-empty row is taken instead
  // of appending, so that a terminator lands in the cell its placement names.
  void place_in_cell(const std::string& lane_id, int row_number, int col_number, Shape* shape);
  void place_terminator(Shape* terminator, const std::string& lane_id, int row, int col,
                        const std::string& line);

  friend class GridRowView;
  friend class GridLaneView;
  friend class GridItems;
  struct Impl;
  Impl* impl_;
};

}  // namespace orvane
