#pragma once

#include <string>

#include "orvane/export.hpp"

namespace orvane {

/// What a lane needs to know of the layout grid to size itself. The layout's Grid implements it.
class ORVANE_API GridMetrics {
 public:
  virtual ~GridMetrics();
  /// Largest cell-list length over all rows of all lanes (the grid width in columns).
  virtual int get_max_column_count() const = 0;
  /// Largest row number the grid holds for the lane; 0 when it holds none.
  virtual int get_lane_max_row_number(const std::string& lane_id) const = 0;
};

}  // namespace orvane
