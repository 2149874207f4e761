#pragma once

namespace orvane {

/// Layout constants in pixels. A column is BOX_WIDTH wide and a row BOX_HEIGHT high; shapes
/// are centred in their cell, and event and gateway names sit below the shape inside the gap.
struct Configs {
  static constexpr int SURFACE_LEFT_MARGIN = 20;
  static constexpr int SURFACE_TOP_MARGIN = 20;
  static constexpr int SURFACE_BOTTOM_MARGIN = 20;
  static constexpr int VSPACE_BETWEEN_TITLE_AND_POOL = 20;
  static constexpr int VSPACE_BETWEEN_POOLS = 20;
  static constexpr int VSPACE_BETWEEN_POOL_AND_FOOTER = 10;
  static constexpr int POOL_TEXT_WIDTH = 30;
  static constexpr int HSPACE_BETWEEN_POOL_AND_LANE = 0;
  static constexpr int LANE_TEXT_WIDTH = 30;
  static constexpr int LANE_SHAPE_LEFT_MARGIN = 40;
  static constexpr int LANE_SHAPE_TOP_MARGIN = 30;
  static constexpr int BOX_WIDTH = 110;
  static constexpr int BOX_HEIGHT = 80;
  static constexpr int HSPACE_BETWEEN_SHAPES = 60;
  static constexpr int VSPACE_BETWEEN_SHAPES = 60;
};

}  // namespace orvane
