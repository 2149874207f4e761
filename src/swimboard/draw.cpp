// The draw pipeline: validation, replacement, grid layout, positions, painting and sizing.
#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <unordered_map>

#include "orvane/artifact.hpp"
#include "orvane/attached_geometry.hpp"
#include "orvane/constants.hpp"
#include "orvane/helper.hpp"
#include "orvane/routing.hpp"
#include "orvane/swimboard.hpp"

namespace orvane {
namespace {

PrintOptions level(const char* show_level, bool reverse = false) {
  PrintOptions options;
  options.reverse = reverse;
  options.show_level = show_level;
  return options;
}

// The lanes by id, as the grid names them: the first lane with each id, as _get_lane_by_id
// finds it, looked up once per grid lane (a search per lane would cost the square of the
// number of lanes).
class LanesById {
 public:
  explicit LanesById(const std::vector<std::unique_ptr<Pool>>& pools) {
    for (const auto& pool : pools) {
      for (const auto& lane : pool->lanes) lanes_.emplace(lane->id, lane.get());
    }
  }
  /// Throws std::out_of_range when no lane has `lane_id`.
  Lane& at(const std::string& lane_id) const {
    const auto found = lanes_.find(lane_id);
    if (found == lanes_.end()) {
      throw std::out_of_range("the layout grid holds lane " + Helper::quoted(lane_id) +
                              ", which no lane of the diagram has");
    }
    return *found->second;
  }

 private:
  std::unordered_map<std::string, Lane*> lanes_;
};

ConsoleTable row_table(const std::string& row_key, bool with_y) {
  ConsoleTable::Options options;
  options.title = row_key;
  options.header_style = "bold magenta";
  options.title_style = "bold magenta reverse";
  options.show_header = true;
  options.show_edge = false;
  ConsoleTable table(options);
  table.add_column("#");
  table.add_column("item");
  table.add_column("x");
  if (with_y) table.add_column("y");
  return table;
}

std::string lane_line(const std::string& lane_id, const Lane& lane) {
  return "lane_id=" + Helper::escape(Helper::quoted(lane_id)) +
         ", this_lane.name=" + Helper::escape(Helper::quoted(lane.name)) +
         ", this_lane.coord.x_pos=" + std::to_string(lane.coord.x_pos) +
         ", this_lane.coord.y_pos=" + std::to_string(lane.coord.y_pos);
}

std::string pool_lane_names(const Pool& pool, const Lane& lane) {
  return "(pool.name=" + Helper::escape(Helper::quoted(pool.name)) +
         ", lane.name=" + Helper::escape(Helper::quoted(lane.name)) + ")";
}

std::string counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A name in a sentence: between quotation marks, its line breaks read as spaces.
std::string cited(const std::string& name) {
  std::string out = "\u201C";
  for (char c : name) out += c == '\n' || c == '\r' ? ' ' : c;
  return out + "\u201D";
}

// A sentence about the diagram for readers who cannot see it: its pools and lanes by name and
// how many shapes and connections it has.
std::string describe(const std::vector<std::unique_ptr<Pool>>& pools,
                     const std::vector<Shape*>& shapes) {
  std::string text = "Process diagram";
  std::string separator = ": ";
  for (const auto& pool : pools) {
    text += separator + "pool " + cited(pool->name);
    separator = "; ";
    if (pool->lanes.empty()) continue;  // a black-box pool: a band with no lanes
    text += pool->lanes.size() == 1 ? " with lane " : " with lanes ";
    for (std::size_t i = 0; i < pool->lanes.size(); ++i) {
      if (i > 0) text += i + 1 == pool->lanes.size() ? " and " : ", ";
      text += cited(pool->lanes[i]->name);
    }
  }
  std::size_t connections = 0;
  for (const Shape* shape : shapes) {
    if (shape->connection_to) connections += shape->connection_to->size();
  }
  for (const auto& pool : pools) connections += pool->band_messages();
  return text + separator + counted(shapes.size(), "shape", "shapes") + " and " +
         counted(connections, "connection", "connections") + ".";
}

}  // namespace

void Swimboard::arrange() {
  _validate();
  _replace_elements();
  _set_draw_position();
  // Routes are computed once from the final boxes, so the picture and the exports agree; each
  // lane traces its routes when it paints them.
  route_connections(_pools, painter());
  fit_groups(_pools, painter());
}

void Swimboard::draw() {
  arrange();
  const std::vector<Shape*> all_shapes = _layout_grid.get_all_shapes();
  const ShapeSet placed(all_shapes.begin(), all_shapes.end());
  painter().set_description(_title ? _title->text : "", describe(_pools, all_shapes));
  if (_title) _title->draw();
  if (!_pools.empty()) {
    for (const auto& pool : _pools) {
      pool->draw();
      for (const auto& lane : pool->lanes) lane->draw();
    }
    for (const auto& pool : _pools) {
      for (const auto& lane : pool->lanes) {
        Helper::printc("Drawing shape for " + pool_lane_names(*pool, *lane), level("draw"));
        lane->draw_shape();
      }
    }
    for (const auto& pool : _pools) {
      for (const auto& lane : pool->lanes) {
        Helper::printc("Drawing connection for " + pool_lane_names(*pool, *lane),
                       level("draw_connection"));
        lane->draw_placed_connections(placed);
      }
      // A black-box pool has no lanes: its band draws the messages it sends.
      if (Participant* band = pool->participant()) band->draw_connections();
    }
  }
  if (_footer) _footer->draw();
  if (auto_size) painter().set_surface_size(width, height);
  for (Subdiagram& sub : subdiagrams) {
    if (sub.board) sub.board->draw();
  }
}

void Swimboard::_set_draw_position() {
  Painter& p = painter();
  // A caller may have dropped the title element; the pools then start below an empty title.
  int title_bottom = Configs::SURFACE_TOP_MARGIN;
  if (_title) {
    _title->set_draw_position(Configs::SURFACE_LEFT_MARGIN, Configs::SURFACE_TOP_MARGIN, p);
    title_bottom = _title->coord.y_pos + _title->height;
  }

  Helper::printc("[cadet_blue][bold][  Putting shapes into grid  ]", level("layout_grid", true));
  // A shape keeps its placed mark from an earlier draw; clear it so the layout is redone.
  std::vector<Pool*> pools;
  for (const auto& pool : _pools) {
    pools.push_back(pool.get());
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->shapes) {
        if (shape != nullptr) shape->grid_traversed = false;
      }
    }
  }
  _layout_grid.set_grid(pools);
  _layout_grid.print_grid();

  Helper::printc("[cadet_blue][bold][  Calculating pool and lane width and height   ]",
                 level("pool_lane", true));
  int x_pos = 0;
  int y_pos = title_bottom + Configs::VSPACE_BETWEEN_TITLE_AND_POOL;
  // Every lane is as wide as the widest row of the grid; a black-box pool's band takes that width.
  const int lane_width = Lane::band_width(_layout_grid);
  for (const auto& pool : _pools) {
    if (pool->black_box()) {
      pool->set_black_box_position(Configs::SURFACE_LEFT_MARGIN, y_pos, lane_width, p);
      y_pos = checked_position(std::int64_t{y_pos} + pool->height + Configs::VSPACE_BETWEEN_POOLS,
                               "a pool's bottom edge");
      lane_max_width = std::max(lane_max_width, lane_width);
      continue;
    }
    if (pool->lanes.empty()) {
      throw std::out_of_range("pool " + Helper::quoted(pool->name) +
                              " has no lanes; every pool needs at least one lane to be drawn");
    }
    for (const auto& lane : pool->lanes) {
      const auto next = lane->set_draw_position(x_pos, y_pos, _layout_grid);
      x_pos = next[0];
      y_pos = next[1];
    }
    y_pos = checked_position(std::int64_t{y_pos} + Configs::VSPACE_BETWEEN_POOLS,
                             "a pool's bottom edge");
    pool->set_draw_position(Configs::SURFACE_LEFT_MARGIN, pool->lanes.front()->coord.y_pos, p);
  }

  Helper::printc("[cadet_blue][bold][  Setting shapes X positions   ]", level("pool_lane", true));
  _set_shape_x_position();
  Helper::printc("[cadet_blue][bold][  Setting shapes Y positions   ]", level("pool_lane", true));
  _set_shape_y_position();
  // Groups and annotations take their place from the shapes they belong to, now all placed.
  position_attached_shapes(_pools, p);

  if (_footer) {
    _footer->set_draw_position(Configs::SURFACE_LEFT_MARGIN,
                               y_pos + Configs::VSPACE_BETWEEN_POOL_AND_FOOTER, p);
    height = _footer->coord.y_pos + _footer->height + Configs::SURFACE_BOTTOM_MARGIN;
  } else {
    height = y_pos + Configs::VSPACE_BETWEEN_POOL_AND_FOOTER + Configs::SURFACE_BOTTOM_MARGIN;
  }
  width = Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH + lane_max_width +
          Configs::SURFACE_LEFT_MARGIN;
}

void Swimboard::_set_shape_x_position() {
  constexpr int first_column_x = Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH +
                                 Configs::HSPACE_BETWEEN_POOL_AND_LANE + Configs::LANE_TEXT_WIDTH +
                                 Configs::LANE_SHAPE_LEFT_MARGIN;
  constexpr int column_pitch = Configs::BOX_WIDTH + Configs::HSPACE_BETWEEN_SHAPES;
  const LanesById lanes(_pools);
  for (const GridLaneView lane_view : _layout_grid.get_grid_items()) {
    const std::string& lane_id = lane_view.lane_id();
    Lane& this_lane = lanes.at(lane_id);
    Helper::printc(lane_line(lane_id, this_lane), level("x_position"));
    for (const GridRowView& row : lane_view.rows()) {
      // The table costs a row of texts per shape: build it only when it is printed.
      const bool tabulate = Helper::show_x_position;
      std::optional<ConsoleTable> table;
      if (tabulate) table = row_table(row.key(), false);
      for (const auto& [col_idx, shape] : row.occupied()) {
        shape->coord = std::make_shared<Coordinate>();
        shape->coord->x_pos = checked_position(
            first_column_x + static_cast<std::int64_t>(col_idx) * column_pitch, "a shape's x");
        shape->coord->y_pos = 0;
        if (table) {
          table->add_row(
              {std::to_string(col_idx + 1), shape->name, std::to_string(shape->coord->x_pos)});
        }
      }
      if (table) Console().print(*table);
    }
    Helper::printc("", level("x_position"));
  }
}

void Swimboard::_set_shape_y_position() {
  constexpr int row_pitch = Configs::BOX_HEIGHT + Configs::VSPACE_BETWEEN_SHAPES;
  Painter& p = painter();
  const LanesById lanes(_pools);
  for (const GridLaneView lane_view : _layout_grid.get_grid_items()) {
    const std::string& lane_id = lane_view.lane_id();
    Lane& this_lane = lanes.at(lane_id);
    Helper::printc(lane_line(lane_id, this_lane), level("y_position"));
    for (const GridRowView& row : lane_view.rows()) {
      const bool tabulate = Helper::show_x_position;
      std::optional<ConsoleTable> table;
      if (tabulate) table = row_table(row.key(), true);
      // The y comes from the number in the row key, not from the row's place in the map.
      const int row_index = row.number() - 1;
      for (const auto& [col_idx, shape] : row.occupied()) {
        shape->coord->y_pos =
            checked_position(std::int64_t{this_lane.coord.y_pos} + Configs::LANE_SHAPE_TOP_MARGIN +
                                 std::int64_t{row_index} * row_pitch,
                             "a shape's y");
        if (table) {
          table->add_row({std::to_string(col_idx + 1), shape->name,
                          std::to_string(shape->coord->x_pos),
                          std::to_string(shape->coord->y_pos)});
        }
        shape->set_draw_position(p);
      }
      if (table) Console().print(*table);
    }
    lane_max_width = std::max(lane_max_width, this_lane.width);
    Helper::printc("", level("y_position"));
  }
}

}  // namespace orvane
