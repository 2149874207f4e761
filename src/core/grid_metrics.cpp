#include "orvane/grid_metrics.hpp"

namespace orvane {

GridMetrics::~GridMetrics() = default;

}  // namespace orvane
