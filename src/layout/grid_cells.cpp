// The cell layer of the grid: the two writers, the finders and the measures, plus the live views
// that positioning reads the grid through.
#include <stdexcept>

#include "grid_impl.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

const PrintOptions kTrace = trace_options();

bool tracing() {
  return Helper::is_shown("layout_grid");
}

void check_number(int value, const char* what) {
  if (value < 1 || value > kMaxGridNumber) {
    throw std::invalid_argument(std::string(what) + " must be between 1 and " +
                                std::to_string(kMaxGridNumber) + ", got " + std::to_string(value));
  }
}

void check_shape(const Shape* shape) {
  if (shape == nullptr) throw std::invalid_argument("shape must be provided");
}

void check_room(std::size_t length) {
  if (length >= static_cast<std::size_t>(kMaxGridNumber)) {
    throw std::length_error("a grid row cannot hold more than " + std::to_string(kMaxGridNumber) +
                            " cells");
  }
}

[[noreturn]] void unknown_lane(std::string_view lane_id) {
  throw std::out_of_range("lane " + Helper::quoted(lane_id) + " is not in the grid");
}

}  // namespace

// ---- Views -------------------------------------------------------------------------------------

GridRowView::GridRowView(const Grid* grid, std::size_t lane_index, std::size_t row_index)
    : grid_(grid), lane_index_(lane_index), row_index_(row_index) {}

const std::string& GridRowView::key() const {
  return grid_->impl_->row_at(lane_index_, row_index_).key;
}

int GridRowView::number() const {
  return grid_->impl_->row_at(lane_index_, row_index_).number;
}

std::size_t GridRowView::size() const {
  return grid_->impl_->length(grid_->impl_->row_at(lane_index_, row_index_));
}

Shape* GridRowView::at(std::size_t col_index) const {
  const auto& row = grid_->impl_->row_at(lane_index_, row_index_);
  if (col_index >= grid_->impl_->length(row)) {
    throw std::out_of_range("column index " + std::to_string(col_index) + " is beyond row " +
                            row.key);
  }
  auto it = row.cells.find(static_cast<int>(col_index) + 1);
  return it == row.cells.end() ? nullptr : it->second;
}

std::vector<std::pair<std::size_t, Shape*>> GridRowView::occupied() const {
  const auto& row = grid_->impl_->row_at(lane_index_, row_index_);
  std::vector<std::pair<std::size_t, Shape*>> out;
  out.reserve(row.cells.size());
  for (const auto& [col, shape] : row.cells) out.emplace_back(col - 1, shape);
  return out;
}

std::vector<Shape*> GridRowView::cells() const {
  const auto& row = grid_->impl_->row_at(lane_index_, row_index_);
  std::vector<Shape*> out(grid_->impl_->length(row), nullptr);
  for (const auto& [col, shape] : row.cells) out[col - 1] = shape;
  return out;
}

GridLaneView::GridLaneView(const Grid* grid, std::size_t lane_index)
    : grid_(grid), lane_index_(lane_index) {}

const std::string& GridLaneView::lane_id() const {
  return grid_->impl_->lane_at(lane_index_).id;
}

std::size_t GridLaneView::row_count() const {
  return grid_->impl_->lane_at(lane_index_).rows.size();
}

GridRowView GridLaneView::row(std::size_t row_index) const {
  if (row_index >= row_count()) {
    throw std::out_of_range("grid row " + std::to_string(row_index) + " does not exist");
  }
  return GridRowView(grid_, lane_index_, row_index);
}

std::vector<GridRowView> GridLaneView::rows() const {
  std::vector<GridRowView> out;
  const std::size_t n = row_count();
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) out.emplace_back(grid_, lane_index_, i);
  return out;
}

GridItems::GridItems(const Grid* grid) : grid_(grid) {}

std::size_t GridItems::size() const {
  return grid_->impl_->lanes.size();
}

GridLaneView GridItems::operator[](std::size_t lane_index) const {
  if (lane_index >= size()) {
    throw std::out_of_range("grid lane " + std::to_string(lane_index) + " does not exist");
  }
  return GridLaneView(grid_, lane_index);
}

GridItems::Iterator GridItems::begin() const {
  return Iterator(grid_, 0);
}

GridItems::Iterator GridItems::end() const {
  return Iterator(grid_, size());
}

GridItems Grid::get_grid_items() const {
  return GridItems(this);
}

// ---- Writers -----------------------------------------------------------------------------------

void Grid::add_shape_to_lane_row(const std::string& lane_id, int row_number, Shape* shape) {
  check_number(row_number, "row_number");
  check_shape(shape);
  auto [lane, row_pos] = impl_->ensure_row(lane_id, row_number);
  const auto& row = impl_->lanes[lane].rows[row_pos];
  if (tracing()) {
    Helper::printc("            ### (shape.name=" + Helper::escape(Helper::quoted(shape->name)) +
                       "), lane_id=" + Helper::escape(Helper::quoted(lane_id)) +
                       ", row_number=" + Helper::quoted(row.key),
                   36, kTrace);
  }
  // A plain append: no column is computed and no other row is padded.
  const std::size_t n = impl_->length(row);
  check_room(n);
  impl_->put(lane, row_pos, static_cast<int>(n) + 1, n + 1, shape);
}

void Grid::add_shape_to_lane_rowcolumn(const std::string& lane_id, int row_number, int col_number,
                                       Shape* shape) {
  check_number(row_number, "row_number");
  check_number(col_number, "col_number");
  check_shape(shape);
  auto [lane, row_pos] = impl_->ensure_row(lane_id, row_number);
  const auto& row = impl_->lanes[lane].rows[row_pos];
  const std::size_t n = impl_->length(row);
  const auto col = static_cast<std::size_t>(col_number);
  if (col > n) {
    impl_->put(lane, row_pos, col_number, col, shape);
  } else if (col_number == 1 || row.cells.count(col_number) > 0) {
    check_room(n);
    // Column 1 always appends, and an occupied cell keeps its shape: the new one goes last.
    impl_->put(lane, row_pos, static_cast<int>(n) + 1, n + 1, shape);
  } else {
    impl_->put(lane, row_pos, col_number, n, shape);
  }
  if (tracing()) {
    Helper::printc("            ### shape.name=" + Helper::escape(Helper::quoted(shape->name)) +
                       ", lane_id=" + Helper::escape(Helper::quoted(lane_id)) + ", row_number=" +
                       Helper::quoted(row.key) + ", col_number=" + std::to_string(col_number),
                   36, kTrace);
  }
  impl_->pad_all();
}

void Grid::place_in_cell(const std::string& lane_id, int row_number, int col_number, Shape* shape) {
  check_number(row_number, "row_number");
  check_number(col_number, "col_number");
  check_shape(shape);
  const auto* lane = impl_->find_lane(lane_id);
  const auto* row = lane != nullptr ? Impl::find_row(*lane, row_number) : nullptr;
  if (col_number != 1 || row == nullptr || impl_->length(*row) == 0 || row->cells.count(1) > 0) {
    add_shape_to_lane_rowcolumn(lane_id, row_number, col_number, shape);
    return;
  }
  const std::size_t lane_pos = impl_->lane_pos(lane_id);
  const std::size_t row_pos = lane->row_index.at(row_number);
  impl_->put(lane_pos, row_pos, 1, impl_->length(*row), shape);
  if (tracing()) {
    Helper::printc("            ### shape.name=" + Helper::escape(Helper::quoted(shape->name)) +
                       ", lane_id=" + Helper::escape(Helper::quoted(lane_id)) +
                       ", row_number=" + Helper::quoted(row->key) + ", col_number=1",
                   36, kTrace);
  }
  impl_->pad_all();
}

void Grid::add_shape_to_lane(const std::optional<std::string>& lane_id, int row_number,
                             Shape* current_shape) {
  if (!lane_id) throw std::invalid_argument("lane_id must be provided");
  check_number(row_number, "row_number");
  check_shape(current_shape);
  const int c = get_next_column(*lane_id, row_number);
  if (tracing()) {
    Helper::printc("            ### lane_id=" + Helper::escape(Helper::quoted(*lane_id)) +
                       ", row_number=" + std::to_string(row_number) +
                       ", col_number=" + std::to_string(c),
                   33, kTrace);
  }
  add_shape_to_lane_rowcolumn(*lane_id, row_number, c, current_shape);
}

void Grid::add_shape_to_same_lane(const Shape* previous_shape, Shape* current_shape) {
  check_shape(current_shape);
  const ShapeCell cell = get_shape_lane_rowcolumn(previous_shape);
  if (!cell.lane_id) return;
  const int c = get_next_column(*cell.lane_id, *cell.row_number);
  add_shape_to_lane_rowcolumn(*cell.lane_id, *cell.row_number, c, current_shape);
}

void Grid::add_shape_to_same_lane_next_row(const Shape* previous_shape, Shape* current_shape) {
  check_shape(current_shape);
  const ShapeCell cell = get_shape_lane_rowcolumn(previous_shape);
  if (!cell.lane_id) return;
  const int c = get_next_column(*cell.lane_id, *cell.row_number);
  int r = *cell.row_number + 1;
  // Ends at the latest one row past the lane's last row, which counts as empty.
  while (!is_column_empty(*cell.lane_id, r, c)) ++r;
  add_shape_to_lane_rowcolumn(*cell.lane_id, r, c, current_shape);
}

// ---- Finders -----------------------------------------------------------------------------------

ShapeCell Grid::get_shape_lane_rowcolumn(const Shape* shape) const {
  const auto* cell = impl_->first_cell(shape);
  if (cell == nullptr) return {};
  const auto& lane = impl_->lanes[cell->lane];
  return ShapeCell{lane.id, lane.rows[cell->row].number, cell->col};
}

std::pair<std::optional<std::string>, std::optional<int>> Grid::find_shape_rowcolumn_in_lane(
    const std::string& lane_id, const Shape* shape) const {
  const std::size_t lane = impl_->lane_pos(lane_id);
  if (lane == Impl::npos) return {std::nullopt, std::nullopt};
  const auto* cell = impl_->first_cell_in_lane(shape, lane);
  if (cell == nullptr) return {std::nullopt, std::nullopt};
  return {impl_->lanes[cell->lane].rows[cell->row].key, cell->col};
}

std::optional<int> Grid::get_column_index(const std::string& lane_id, const Shape* shape) const {
  const std::size_t lane = impl_->lane_pos(lane_id);
  if (lane == Impl::npos) unknown_lane(lane_id);
  const auto* cell = impl_->first_cell_in_lane(shape, lane);
  if (cell == nullptr) return std::nullopt;
  return cell->col;
}

// ---- Measures and tests ------------------------------------------------------------------------

int Grid::get_next_column(const std::string& lane_id, int row_number) const {
  check_number(row_number, "row_number");
  const auto* lane = impl_->find_lane(lane_id);
  if (lane == nullptr) return 1;
  const auto* row = Impl::find_row(*lane, row_number);
  if (row == nullptr || row->cells.empty()) return 1;
  return row->cells.rbegin()->first + 1;
}

bool Grid::is_column_empty(const std::string& lane_id, int row_number, int col_number) const {
  check_number(row_number, "row_number");
  check_number(col_number, "col_number");
  const auto* lane = impl_->find_lane(lane_id);
  if (lane == nullptr) unknown_lane(lane_id);
  const auto* row = Impl::find_row(*lane, row_number);
  if (row == nullptr) return true;
  auto it = row->cells.find(col_number);
  if (it == row->cells.end()) return true;
  if (tracing()) Helper::printc("            ### " + Helper::escape(it->second->name), kTrace);
  return false;
}

bool Grid::_is_row_column_occupied(const std::string& lane_id, int row_number,
                                   int col_number) const {
  check_number(row_number, "row_number");
  check_number(col_number, "col_number");
  const auto* lane = impl_->find_lane(lane_id);
  if (lane == nullptr) return false;
  const auto* row = Impl::find_row(*lane, row_number);
  return row != nullptr && row->cells.count(col_number) > 0;
}

int Grid::get_lane_row_count(const std::string& lane_id) const {
  const auto* lane = impl_->find_lane(lane_id);
  if (lane == nullptr) unknown_lane(lane_id);
  return static_cast<int>(lane->rows.size());
}

int Grid::get_max_column_count() const {
  return static_cast<int>(impl_->max_len);
}

int Grid::get_lane_max_row_number(const std::string& lane_id) const {
  const auto* lane = impl_->find_lane(lane_id);
  return lane == nullptr ? 0 : lane->max_row_number;
}

int Grid::_get_next_available_row(const std::string& lane_id) const {
  return get_lane_max_row_number(lane_id) + 1;
}

}  // namespace orvane
