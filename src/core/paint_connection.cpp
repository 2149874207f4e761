// How connections paint themselves from the routes stored on them.
#include <algorithm>

#include "orvane/lane.hpp"
#include "orvane/painter.hpp"
#include "orvane/shape.hpp"

namespace orvane {

void Shape::draw_connections() {
  if (painter_ == nullptr) return;
  for (const Connection& c : *connection_to) {
    if (c.waypoints.size() < 2) continue;
    painter_->draw_polyline(c.waypoints, LineStyle{painter_->connection_colour, 1.5, {}});
  }
}

void Lane::draw_connection(const std::vector<Shape*>& all_shapes) {
  for (Shape* shape : shapes) {
    if (std::find(all_shapes.begin(), all_shapes.end(), shape) != all_shapes.end()) {
      shape->draw_connections();
    }
  }
}

}  // namespace orvane
