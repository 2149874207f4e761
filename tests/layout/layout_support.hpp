#pragma once

// Builders and readers shared by the layout tests.
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/helper.hpp"
#include "orvane/lane.hpp"
#include "orvane/layout.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"

namespace orvane {

inline void PrintTo(const ShapeCell& cell, std::ostream* out) {
  *out << "(" << cell.lane_id.value_or("None") << ", "
       << (cell.row_number ? std::to_string(*cell.row_number) : "None") << ", "
       << (cell.col_number ? std::to_string(*cell.col_number) : "None") << ")";
}

}  // namespace orvane

namespace orvane::testing {

inline std::unique_ptr<Pool> make_pool(const std::string& name) {
  return std::make_unique<Pool>(name, "", 0, "", "", "", nullptr);
}

inline Lane& add_lane(Pool& pool, const std::string& name) {
  return pool.add_lane(name, "", 0, "", "", "", "");
}

inline Shape& task(Lane& lane, const std::string& name) {
  return lane.add_element(name, ElementType::TASK);
}

// The grid as text: one line per row, "lane/rowN: A . B" with "." for an empty cell.
inline std::string dump(const Grid& grid) {
  std::string out;
  for (const auto& lane : grid.get_grid_items()) {
    for (const auto& row : lane.rows()) {
      out += lane.lane_id() + "/" + row.key() + ":";
      for (Shape* shape : row.cells()) {
        out += ' ';
        out += shape ? shape->name : std::string(".");
      }
      out += "\n";
    }
  }
  return out;
}

// Captures everything the helper prints while alive, with every trace level on.
class CaptureOutput {
 public:
  explicit CaptureOutput(std::set<std::string> levels = {"all"}) {
    Helper::set_show_levels(std::move(levels));
    Helper::set_ansi(false);
    Helper::set_output(out_);
  }
  ~CaptureOutput() {
    Helper::set_output(std::cout);
    Helper::set_show_levels({});
    Helper::set_ansi(std::nullopt);
  }
  std::string text() const { return out_.str(); }
  void clear() { out_.str(""); }

 private:
  std::ostringstream out_;
};

}  // namespace orvane::testing
