// Where lanes, pools, the title and the footer go, and how big they are.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "orvane/artifact.hpp"
#include "orvane/constants.hpp"
#include "orvane/grid_metrics.hpp"
#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/title.hpp"

namespace orvane {

int checked_position(std::int64_t value, const char* what) {
  if (value > MAX_POSITION || value < -MAX_POSITION) {
    throw std::length_error(std::string("the diagram is too large to draw: ") + what +
                            " would lie " + std::to_string(value) + " px from its origin, past " +
                            std::to_string(MAX_POSITION) + " px");
  }
  return static_cast<int>(value);
}

int Lane::band_width(const GridMetrics& grid) {
  const std::int64_t columns = std::max(1, grid.get_max_column_count());
  return checked_position(Configs::LANE_TEXT_WIDTH + 2 * Configs::LANE_SHAPE_LEFT_MARGIN +
                              columns * Configs::BOX_WIDTH +
                              (columns - 1) * Configs::HSPACE_BETWEEN_SHAPES,
                          "the lanes' right edge");
}

std::array<int, 4> Lane::set_draw_position(int x_pos, int y_pos, const GridMetrics& grid) {
  const int rows = std::max(1, grid.get_lane_max_row_number(id));
  coord.x_pos = Configs::SURFACE_LEFT_MARGIN + Configs::POOL_TEXT_WIDTH +
                Configs::HSPACE_BETWEEN_POOL_AND_LANE;
  coord.y_pos = y_pos;
  // Rows are placed by number, so the lane must reach the highest row number, with the top
  // margin repeated below the last row for the names under events and gateways.
  height = checked_position(std::int64_t{2} * Configs::LANE_SHAPE_TOP_MARGIN +
                                std::int64_t{rows} * Configs::BOX_HEIGHT +
                                std::int64_t{rows - 1} * Configs::VSPACE_BETWEEN_SHAPES,
                            "a lane's bottom edge");
  width = band_width(grid);
  return {x_pos, checked_position(std::int64_t{y_pos} + height, "a lane's bottom edge"), width,
          height};
}

void Pool::set_draw_position(int x, int y, Painter&) {
  coord.x_pos = x;
  coord.y_pos = y;
  int lane_width = 0;
  height = 0;
  for (const auto& lane : lanes) {
    lane_width = std::max(lane_width, lane->width);
    height += lane->height;
  }
  width = Configs::POOL_TEXT_WIDTH + Configs::HSPACE_BETWEEN_POOL_AND_LANE + lane_width;
}

void Pool::set_black_box_position(int x, int y, int lane_width, Painter& painter) {
  coord.x_pos = x;
  coord.y_pos = y;
  height = 2 * Configs::LANE_SHAPE_TOP_MARGIN + Configs::BOX_HEIGHT;
  width = Configs::POOL_TEXT_WIDTH + Configs::HSPACE_BETWEEN_POOL_AND_LANE + lane_width;
  if (participant_) {
    participant_->coord = std::make_shared<Coordinate>(coord);
    participant_->box = {static_cast<double>(x), static_cast<double>(y), static_cast<double>(width),
                         static_cast<double>(height)};
    participant_->set_draw_position(painter);
  }
}

void TextBlock::set_draw_position(int x, int y, Painter& painter) {
  painter_ = &painter;
  coord.x_pos = x;
  coord.y_pos = y;
  if (text.empty()) {
    width = 0;
    height = 0;
    return;
  }
  TextStyle style;
  style.font = font;
  style.font_size = font_size;
  style.colour = font_colour;
  style.alignment = "left";
  style.wrap = false;
  style.bold = bold();
  TextExtent extent = painter.measure_text(text, style, 0);
  width = static_cast<int>(std::ceil(extent.width));
  height = static_cast<int>(std::ceil(extent.height));
}

}  // namespace orvane
