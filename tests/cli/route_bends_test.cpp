// How routes turn on whole described processes (the fewest bends where the free space allows,
// as a modeller would draw them), and where their names and labels go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "orvane/loader.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"
#include "orvane/swimboard.hpp"

namespace orvane {
namespace {

// Lays out and routes a description; the drawn route from shape `from` to shape `to` (by file
// id), with `label`.
class Routed {
 public:
  explicit Routed(std::string_view description)
      : loaded_(load_diagram_text(description, "test.yaml", {"svg", {}})) {
    loaded_.board->arrange();
  }
  const Connection& route(const std::string& from, const std::string& to,
                          const std::string& label = "") const {
    for (Shape* shape : loaded_.board->_layout_grid.get_all_shapes()) {
      if (loaded_.file_id(*shape) != from || !shape->connection_to) continue;
      for (const Connection& c : *shape->connection_to) {
        if (c.target != nullptr && loaded_.file_id(*c.target) == to && c.label == label) return c;
      }
    }
    throw std::runtime_error("no connection " + from + " -> " + to);
  }

 private:
  LoadedDiagram loaded_;
};

// A reply message back to a task whose facing side already takes the request and a flow: a
// task's side has room for all three, so the reply runs straight up beside the request, not
// round by the two tasks' left sides.
TEST(RouteBends, ReplyRunsStraightBesideTheRequest) {
  const Routed routed(R"(
title: "Generated process 149"
auto_size: true
pools:
  - name: "Company"
    lanes:
      - name: "Support 1"
        shapes:
          - {id: s1, name: "Request received", type: start}
          - {id: s2, name: "Compute quote with the regional sales manager and the legal department", type: subprocess}
          - {id: s3, name: "Send order", type: task}
          - {id: s4, name: "Prepare application", type: task}
          - {id: s5, name: "Reject customer data", type: task}
          - {id: s6, name: "Inspect delivery", type: task}
          - {id: s7, name: "Urgent?", type: exclusive}
          - {id: s8, name: "quote done", type: end}
      - name: "Quality assurance 2"
        shapes: []
  - name: "Customer"
    lanes:
      - name: "Accounting 1"
        shapes:
          - {id: s9, name: "invoice needed", type: start}
          - {id: s10, name: "Reject contract", type: task}
          - {id: s11, name: "offer done", type: end}
  - name: "Supplier"
    lanes:
      - name: "Clerk 1"
        shapes:
          - {id: s12, name: "shipment needed", type: start}
          - {id: s13, name: "Approve claim", type: task}
          - {id: s14, name: "quote done", type: end}
connections:
  - {from: s1, to: s2}
  - {from: s2, to: s3}
  - {from: s3, to: s4}
  - {from: s4, to: s5}
  - {from: s5, to: s6}
  - {from: s6, to: s7}
  - {from: s7, to: s2, label: "no"}
  - {from: s7, to: s8, label: "yes"}
  - {from: s9, to: s10}
  - {from: s10, to: s11}
  - {from: s12, to: s13}
  - {from: s13, to: s14}
  - {from: s10, to: s3}
  - {from: s10, to: s6, label: "payment"}
  - {from: s6, to: s10}
  - {from: s10, to: s13}
  - {from: s10, to: s13}
  - {from: s13, to: s10, label: "invoice"})");
  const Connection& reply = routed.route("s10", "s6", "payment");
  EXPECT_EQ(reply.waypoints.size(), 2u);
  EXPECT_EQ(reply.drawn_source_side, "top");
  EXPECT_EQ(reply.drawn_target_side, "bottom");
}

// An association from a store at the end of a long row back to a task near its start: along
// one line below the row, not stepping from one line to the next on the way.
TEST(RouteBends, LongRouteTakesNoNeedlessJog) {
  const Routed routed(R"(
title: "Generated process 170"
auto_size: true
pools:
  - name: "Company"
    lanes:
      - name: "Accounting 1"
        shapes:
          - {id: s1, name: "Request received", type: start}
          - {id: s2, name: "Milestone reached", type: intermediate}
          - {id: s3, name: "Check report", type: task}
          - {id: s4, name: "Compute shipment", type: task}
          - {id: s5, name: "Receive budget", type: task}
          - {id: s6, name: "Pack order", type: task}
          - {id: s7, name: "", type: inclusive}
          - {id: s8, name: "Close payment", type: task}
          - {id: s9, name: "", type: inclusive}
          - {id: s10, name: "Create complaint", type: task}
          - {id: s11, name: "Book payment", type: task}
          - {id: s12, name: "Customer database", type: data_store}
          - {id: s13, name: "Register complaint", type: task}
          - {id: s14, name: "Notify documents", type: task}
          - {id: s15, name: "Documents valid?", type: exclusive}
          - {id: s16, name: "Stock available?", type: exclusive}
          - {id: s17, name: "Reject request", type: task}
          - {id: s18, name: "Collect documents", type: task}
          - {id: s19, name: "", type: exclusive}
          - {id: s20, name: "application done", type: end}
      - name: "IT 2"
        shapes: []
connections:
  - {from: s1, to: s2}
  - {from: s2, to: s3}
  - {from: s3, to: s4}
  - {from: s4, to: s5}
  - {from: s5, to: s6}
  - {from: s6, to: s7}
  - {from: s7, to: s8, label: "escalated"}
  - {from: s8, to: s9}
  - {from: s7, to: s9, label: "amount < 1,000"}
  - {from: s9, to: s10}
  - {from: s10, to: s11}
  - {from: s12, to: s11}
  - {from: s11, to: s13}
  - {from: s13, to: s14}
  - {from: s14, to: s15}
  - {from: s15, to: s10, label: "no"}
  - {from: s15, to: s16, label: "yes"}
  - {from: s16, to: s17, label: "yes"}
  - {from: s16, to: s18, label: "no"}
  - {from: s17, to: s19}
  - {from: s18, to: s19}
  - {from: s19, to: s20})");
  EXPECT_EQ(routed.route("s12", "s11").waypoints.size(), 4u);
}

// In every example, no name or connection label lies on an arrowhead: a name under the flow
// coming into its event from below, say, moves off the arrow's point.
class ExampleArrowheads : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleArrowheads, NamesAndLabelsKeepOffArrowheads) {
  LoadedDiagram loaded =
      load_diagram(std::string(ORVANE_SOURCE_DIR) + "/examples/" + GetParam() + ".yaml", {});
  loaded.board->arrange();
  const std::vector<Shape*> shapes = loaded.board->_layout_grid.get_all_shapes();
  std::vector<std::pair<Box, std::string>> heads;
  std::vector<std::pair<Box, std::string>> texts;
  for (Shape* shape : shapes) {
    if (!shape->name.empty()) texts.emplace_back(shape->label_box, "the name of " + shape->name);
    if (!shape->connection_to) continue;
    for (const Connection& c : *shape->connection_to) {
      if (!c.label.empty() && c.label_box) texts.emplace_back(*c.label_box, "the label " + c.label);
      if (c.waypoints.size() < 2 || c.connection_type == ConnectionTypes::ASSOCIATION) continue;
      const Point& tip = c.waypoints.back();
      const Point& from = c.waypoints[c.waypoints.size() - 2];
      const double length = std::hypot(tip.x - from.x, tip.y - from.y);
      if (length <= 0) continue;
      const double along = std::min(ARROW_LENGTH, length);
      const Point base{tip.x + (from.x - tip.x) / length * along,
                       tip.y + (from.y - tip.y) / length * along};
      heads.emplace_back(Box{std::min(tip.x, base.x) - ARROW_HALF_WIDTH,
                             std::min(tip.y, base.y) - ARROW_HALF_WIDTH,
                             std::abs(tip.x - base.x) + 2 * ARROW_HALF_WIDTH,
                             std::abs(tip.y - base.y) + 2 * ARROW_HALF_WIDTH},
                         shape->name + " to " + c.target->name);
    }
  }
  for (const auto& [text, what] : texts) {
    for (const auto& [head, flow] : heads) {
      const bool on = text.x < head.right() && head.x < text.right() && text.y < head.bottom() &&
                      head.y < text.bottom();
      EXPECT_FALSE(on) << what << " lies on the arrowhead of the flow from " << flow;
    }
  }
}

std::vector<std::string> examples() {
  std::vector<std::string> names;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(ORVANE_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() == ".yaml") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleArrowheads, ::testing::ValuesIn(examples()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string id = info.param;
                           std::replace(id.begin(), id.end(), '-', '_');
                           return id;
                         });

}  // namespace
}  // namespace orvane
