#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory_resource>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orvane/helper.hpp"
#include "orvane/layout.hpp"

namespace orvane {

// Largest row or column number (and row length) the grid accepts. Far beyond any diagram, and
// low enough that the placement rules can add small offsets without overflowing an int.
inline constexpr int kMaxGridNumber = 1 << 30;

// Trace lines of the layout all belong to the "layout_grid" category.
inline PrintOptions trace_options() {
  PrintOptions options;
  options.show_level = "layout_grid";
  return options;
}

// The grid keeps only the occupied cells of each row. Every row also has a logical length (the
// length its cell list would have if the empty cells were stored): placing by column pads every
// row of the grid to the grid width, and instead of writing those empty cells we remember the
// width of the last padding and which rows existed then. A row created later (possible only
// through add_shape_to_lane_row) keeps its own length until the next padding.
struct Grid::Impl {
  // Every container of the grid allocates from this arena, which a rebuild drops as a whole:
  // allocation is cheap, the cells of one layout lie close together and nothing is freed node by
  // node. Declared first, so that it outlives the containers.
  std::pmr::monotonic_buffer_resource arena;

  struct Row {
    explicit Row(std::pmr::memory_resource* resource) : cells(resource) {}
    std::string key;
    int number = 0;
    // Global creation serial: rows with a serial below padded_rows took part in the last padding.
    std::size_t serial = 0;
    // Logical length as of the last change to this row (padding excluded).
    std::size_t len = 0;
    // Occupied cells, 1-based column -> shape.
    std::pmr::map<int, Shape*> cells;
  };

  struct Lane {
    explicit Lane(std::pmr::memory_resource* resource) : rows(resource), row_index(resource) {}
    std::string id;
    std::pmr::vector<Row> rows;
    std::pmr::unordered_map<int, std::size_t> row_index;
    int max_row_number = 0;
  };

  // A cell in search order terms: lane position in the map, row position in the lane, column.
  struct CellRef {
    std::size_t lane = 0;
    std::size_t row = 0;
    int col = 0;
    bool operator<(const CellRef& o) const {
      if (lane != o.lane) return lane < o.lane;
      if (row != o.row) return row < o.row;
      return col < o.col;
    }
    bool operator==(const CellRef&) const = default;
  };

  std::pmr::vector<Lane> lanes{&arena};
  std::pmr::unordered_map<std::string, std::size_t> lane_index{&arena};
  // The first cell of every placed shape in search order, and the further cells of the rare
  // shape that was placed more than once.
  std::pmr::unordered_map<const Shape*, CellRef> first_cells{&arena};
  std::pmr::unordered_map<const Shape*, std::vector<CellRef>> extra_cells{&arena};
  std::size_t row_serial = 0;
  std::size_t padded_rows = 0;
  std::size_t pad_width = 0;
  // Largest logical row length over the whole grid.
  std::size_t max_len = 0;
  mutable std::size_t last_lane = npos;

  // How the layout sees the flow of the few shapes whose lists it does not take as they are
  // (built by set_grid): an activity's boundary events lead on as if their connections left
  // the activity, after its own; links to and from a black-box pool belong to no lane's flow
  // and are not followed. Every other shape's lists are used directly.
  std::unordered_map<const Shape*, std::vector<Shape*>> flow_targets;
  std::unordered_map<const Shape*, std::size_t> flow_sources;
  void build_flow_view(const std::vector<Pool*>& pools);
  std::size_t outgoing_count(const Shape* shape) const;
  std::size_t incoming_count(const Shape* shape) const;
  Shape* target_of(const Shape* shape, std::size_t index) const;

  // Checked access for the views, which may outlive a rebuild of the grid.
  const Lane& lane_at(std::size_t lane) const {
    if (lane >= lanes.size()) {
      throw std::out_of_range("grid lane " + std::to_string(lane) + " does not exist");
    }
    return lanes[lane];
  }

  const Row& row_at(std::size_t lane, std::size_t row) const {
    const Lane& l = lane_at(lane);
    if (row >= l.rows.size()) {
      throw std::out_of_range("grid row " + std::to_string(row) + " of lane " + l.id +
                              " does not exist");
    }
    return l.rows[row];
  }

  std::size_t length(const Row& row) const {
    return row.serial < padded_rows ? std::max(row.len, pad_width) : row.len;
  }

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // Position of the lane in the map, or npos. Placements come in runs on one lane, so the last
  // answer is checked before hashing the id.
  std::size_t lane_pos(const std::string& lane_id) const {
    if (last_lane < lanes.size() && lanes[last_lane].id == lane_id) return last_lane;
    auto it = lane_index.find(lane_id);
    if (it == lane_index.end()) return npos;
    last_lane = it->second;
    return last_lane;
  }

  const Lane* find_lane(const std::string& lane_id) const {
    const std::size_t pos = lane_pos(lane_id);
    return pos == npos ? nullptr : &lanes[pos];
  }

  static const Row* find_row(const Lane& lane, int row_number) {
    auto it = lane.row_index.find(row_number);
    return it == lane.row_index.end() ? nullptr : &lane.rows[it->second];
  }

  // Creates the lane and the row on first use, both at the end of their maps.
  std::pair<std::size_t, std::size_t> ensure_row(const std::string& lane_id, int row_number) {
    std::size_t pos = lane_pos(lane_id);
    if (pos == npos) {
      pos = lanes.size();
      lane_index.emplace(lane_id, pos);
      lanes.emplace_back(&arena);
      lanes.back().id = lane_id;
    }
    Lane& lane = lanes[pos];
    auto [rit, row_new] = lane.row_index.try_emplace(row_number, lane.rows.size());
    if (row_new) {
      Row& row = lane.rows.emplace_back(&arena);
      row.key = "row" + std::to_string(row_number);
      row.number = row_number;
      row.serial = row_serial++;
      lane.max_row_number = std::max(lane.max_row_number, row_number);
    }
    return {pos, rit->second};
  }

  // Writes `shape` into column `col` of the row and grows the row to at least `new_len`.
  void put(std::size_t lane, std::size_t row_pos, int col, std::size_t new_len, Shape* shape) {
    Row& row = lanes[lane].rows[row_pos];
    row.len = new_len;
    row.cells.emplace_hint(row.cells.end(), col, shape);
    max_len = std::max(max_len, new_len);
    const CellRef cell{lane, row_pos, col};
    auto [it, fresh] = first_cells.try_emplace(shape, cell);
    if (!fresh) {
      auto& extra = extra_cells[shape];
      if (cell < it->second) {
        extra.push_back(it->second);
        it->second = cell;
      } else {
        extra.push_back(cell);
      }
    }
  }

  // Pads every row to the grid width (logically).
  void pad_all() {
    pad_width = max_len;
    padded_rows = row_serial;
  }

  // The shape's first cell in search order (lanes, then rows, then columns), if any.
  const CellRef* first_cell(const Shape* shape) const {
    auto it = first_cells.find(shape);
    return it == first_cells.end() ? nullptr : &it->second;
  }

  const CellRef* first_cell_in_lane(const Shape* shape, std::size_t lane) const {
    const CellRef* first = first_cell(shape);
    if (first == nullptr || first->lane == lane) return first;
    const CellRef* best = nullptr;
    auto it = extra_cells.find(shape);
    if (it == extra_cells.end()) return nullptr;
    for (const CellRef& c : it->second) {
      if (c.lane == lane && (best == nullptr || c < *best)) best = &c;
    }
    return best;
  }
};

}  // namespace orvane
