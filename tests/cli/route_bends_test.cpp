// How routes turn on whole described processes (the fewest bends where the free space allows,
// as a modeller would draw them), and where their names and labels go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/loader.hpp"
#include "orvane/pool.hpp"
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
    std::vector<Shape*> shapes = loaded_.board->_layout_grid.get_all_shapes();
    for (std::size_t k = 0, n = shapes.size(); k < n; ++k) {
      if (auto* activity = dynamic_cast<Activity*>(shapes[k]))
        shapes.insert(shapes.end(), activity->boundary_events.begin(),
                      activity->boundary_events.end());
    }
    for (Shape* shape : shapes) {
      if (loaded_.file_id(*shape) != from || !shape->connection_to) continue;
      for (const Connection& c : *shape->connection_to) {
        if (c.target != nullptr && loaded_.file_id(*c.target) == to && c.label == label) return c;
      }
    }
    throw std::runtime_error("no connection " + from + " -> " + to);
  }
  std::vector<const Connection*> connections() const {
    std::vector<const Connection*> all;
    std::vector<Shape*> shapes = loaded_.board->_layout_grid.get_all_shapes();
    for (const auto& pool : loaded_.board->_pools) {
      if (pool && pool->participant() != nullptr) shapes.push_back(pool->participant());
    }
    for (Shape* shape : shapes) {
      if (!shape->connection_to) continue;
      for (const Connection& c : *shape->connection_to) all.push_back(&c);
    }
    return all;
  }

 private:
  LoadedDiagram loaded_;
};

// How near the label of the connection labelled `label` lies to any other connection's route.
double nearest_other_route(const Routed& routed, const std::string& label) {
  const std::vector<const Connection*> all = routed.connections();
  const auto own =
      std::find_if(all.begin(), all.end(), [&](const Connection* c) { return c->label == label; });
  if (own == all.end() || !(*own)->label_box) {
    ADD_FAILURE() << "no label " << label;
    return 0;
  }
  const Box& box = *(*own)->label_box;
  double nearest = std::numeric_limits<double>::infinity();
  for (const Connection* other : all) {
    if (other == *own) continue;
    const std::vector<Point>& route = other->waypoints;
    for (std::size_t k = 0; k + 1 < route.size(); ++k) {
      const double dx = std::max({0.0, std::min(route[k].x, route[k + 1].x) - box.right(),
                                  box.x - std::max(route[k].x, route[k + 1].x)});
      const double dy = std::max({0.0, std::min(route[k].y, route[k + 1].y) - box.bottom(),
                                  box.y - std::max(route[k].y, route[k + 1].y)});
      nearest = std::min(nearest, std::hypot(dx, dy));
    }
  }
  return nearest;
}

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

// A timer on a task's bottom edge whose flow goes to the task right below it: straight down
// into that task's top, off its middle, rather than stepping across to the middle on the way.
TEST(RouteBends, ABoundaryEventsFlowDropsStraightIntoTheTaskBelow) {
  const Routed routed(R"(
title: "Escalation"
pools:
  - name: "Support"
    lanes:
      - name: "Second line"
        shapes:
          - {id: start, name: "Ticket escalated", type: start}
          - {id: diagnose, name: "Diagnose line remotely", type: user_task}
          - {id: sla, name: "8 hours", type: timer_boundary, attached_to: diagnose}
          - {id: fixed, name: "Fixed", type: end}
      - name: "Team lead"
        shapes:
          - {id: breach, name: "Review SLA breach", type: user_task}
          - {id: done, name: "Breach handled", type: end}
connections:
  - {from: start, to: diagnose}
  - {from: diagnose, to: fixed}
  - {from: sla, to: breach}
  - {from: breach, to: done})");
  const auto& route = routed.route("sla", "breach").waypoints;
  ASSERT_EQ(route.size(), 2u);
  EXPECT_EQ(route.front().x, route.back().x);
}

// A join into a task in the lane's top row, its flows running along the lane just under the
// border: they drop straight into the task's top. The line a full stub above the task lay in
// the lane above, so the trunk went up across the border and came back down beside itself.
TEST(RouteBends, FlowsAlongALanesTopDropStraightIntoATaskBelow) {
  const Routed routed(R"(
title: "Support ticket escalation"
pools:
  - name: "Broadband provider"
    lanes:
      - name: "First-line agent"
        shapes:
          - {id: tickets, name: "Ticketing system", type: data_store}
          - {id: kb, name: "Knowledge base", type: data_store}
          - {id: escalate, name: "Escalate ticket to second line", type: task}
          - {id: solved, name: "", type: exclusive}
          - {id: confirm, name: "Ask customer to confirm the fix", type: task}
          - {id: reply, name: "", type: event_based}
          - {id: still_broken, name: "Customer reports problem persists", type: task}
          - {id: silence, name: "5 days", type: task}
          - {id: auto_close, name: "Close ticket automatically", type: task}
      - name: "Second-line specialist"
        shapes:
          - {id: reopen, name: "", type: exclusive}
          - {id: diagnose, name: "Diagnose line and router remotely", type: task}
          - {id: sla, name: "8 hours", type: timer_boundary, attached_to: diagnose, interrupting: false}
          - {id: cause, name: "Cause?", type: exclusive}
          - {id: book_visit, name: "Book technician visit", type: task}
          - {id: visit_report, name: "Visit report received", type: task}
          - {id: visit_ok, name: "Fault fixed on site?", type: exclusive}
          - {id: document, name: "Document solution in knowledge base", type: task}
      - name: "Network engineering"
        shapes:
          - {id: problem, name: "Open network problem record", type: task}
          - {id: fix_network, name: "Repair fault in access network", type: task}
          - {id: network_ok, name: "Network fault cleared", type: signal_throw}
  - name: "Field service partner"
    lanes:
      - name: "Dispatcher"
        shapes:
          - {id: visit_in, name: "Visit booked", type: task}
          - {id: appointment, name: "Agree appointment with customer", type: task}
          - {id: route, name: "Plan technician route", type: task}
      - name: "Field technician"
        shapes:
          - {id: on_site, name: "Measure line at customer premises", type: task}
          - {id: need_part, name: "Replacement needed?", type: exclusive}
          - {id: report_merge, name: "", type: exclusive}
          - {id: send_report, name: "Send visit report", type: task}
connections:
  - {from: escalate, to: reopen}
  - {from: reopen, to: diagnose}
  - {from: tickets, to: diagnose}
  - {from: diagnose, to: cause}
  - {from: cause, to: problem, label: "network fault"}
  - {from: cause, to: book_visit, label: "equipment at customer site"}
  - {from: problem, to: fix_network}
  - {from: fix_network, to: network_ok}
  - {from: network_ok, to: document}
  - {from: book_visit, to: visit_in, label: "visit order"}
  - {from: visit_in, to: appointment}
  - {from: appointment, to: route}
  - {from: route, to: on_site}
  - {from: on_site, to: need_part}
  - {from: need_part, to: report_merge, label: "no"}
  - {from: report_merge, to: send_report}
  - {from: send_report, to: visit_report, label: "visit report"}
  - {from: visit_report, to: visit_ok}
  - {from: visit_ok, to: document, label: "yes"}
  - {from: document, to: kb}
  - {from: document, to: solved}
  - {from: solved, to: confirm}
  - {from: confirm, to: reply}
  - {from: reply, to: still_broken}
  - {from: reply, to: silence}
  - {from: still_broken, to: reopen}
  - {from: silence, to: auto_close})");
  const std::vector<Point>& route = routed.route("reopen", "diagnose").waypoints;
  ASSERT_GE(route.size(), 2u);
  EXPECT_LE(route.size(), 5u);
  // No turn back the way it came a step further on.
  for (std::size_t k = 0; k + 3 < route.size(); ++k) {
    const Point first{route[k + 1].x - route[k].x, route[k + 1].y - route[k].y};
    const Point third{route[k + 3].x - route[k + 2].x, route[k + 3].y - route[k + 2].y};
    const double step =
        std::abs(route[k + 2].x - route[k + 1].x) + std::abs(route[k + 2].y - route[k + 1].y);
    EXPECT_FALSE(first.x * third.x + first.y * third.y < 0 && step <= 30)
        << "turns back at point " << k + 1;
  }
}

// The label of a message from a black-box pool keeps well off the other routes where its
// stretch has room: 6 px from a loop running past it and 4 px from its own line, it read as
// the loop's.
TEST(RouteBends, AMessagesLabelKeepsWellOffOtherRoutes) {
  const Routed routed(R"(
title: "Order to cash"
pools:
  - {name: "Customer", id: customer, black_box: true}
  - name: "Company"
    lanes:
      - name: "Accounting"
        shapes:
          - {id: send_inv, name: "Send invoice", type: task}
          - {id: wait_pay, name: "Payment received", type: message_catch}
          - {id: overdue, name: "30 days", type: task}
          - {id: event_gw, name: "", type: event_based}
          - {id: remind, name: "Send payment reminder", type: task}
          - {id: book, name: "Book payment", type: task}
          - {id: ledger, name: "General ledger", type: data_store}
          - {id: done, name: "Order paid", type: task}
connections:
  - {from: send_inv, to: event_gw}
  - {from: event_gw, to: wait_pay}
  - {from: event_gw, to: overdue}
  - {from: remind, to: event_gw}
  - {from: customer, to: wait_pay, label: payment}
  - {from: wait_pay, to: book}
  - {from: book, to: ledger}
  - {from: book, to: done})");
  EXPECT_GE(nearest_other_route(routed, "payment"), 8);
}

// So does a message's label between pools: 6 px from a message passing it, it read as that
// one's.
TEST(RouteBends, AMessagesLabelKeepsWellOffAMessagePassingIt) {
  const Routed routed(R"(
title: "Generated process 2"
pools:
  - name: "Company"
    lanes:
      - name: "Sales 1"
        shapes:
          - {id: s2, name: "Milestone reached", type: task}
          - {id: s3, name: "Pack report and attach the signed confirmation to the customer file", type: task}
          - {id: s4, name: "Escalate shipment", type: task}
  - name: "Customer"
    lanes:
      - name: "Warehouse 1"
        shapes:
          - {id: s9, name: "Send application", type: task}
  - name: "Bank"
    lanes:
      - name: "Purchasing 1"
        shapes:
          - {id: s14, name: "application needed", type: task}
          - {id: s15, name: "Schedule customer data", type: task}
          - {id: s16, name: "customer data done", type: task}
connections:
  - {from: s2, to: s3}
  - {from: s3, to: s4}
  - {from: s14, to: s15}
  - {from: s15, to: s16}
  - {from: s4, to: s9, label: shipment}
  - {from: s9, to: s3, label: claim}
  - {from: s4, to: s15})");
  EXPECT_GE(nearest_other_route(routed, "claim"), 8);
}

// Where the stretch is long, a message's label keeps well off the routes crossing it: 13 px
// above a data association, beside the message it read as the association's.
TEST(RouteBends, AMessagesLabelKeepsWellOffARouteCrossingItsStretch) {
  const Routed routed(R"(
title: "Support ticket escalation"
pools:
  - {name: "Customer", id: customer, black_box: true}
  - name: "Broadband provider"
    lanes:
      - name: "First-line agent"
        shapes:
          - {id: opened, name: "Support request received", type: message_start}
          - {id: create, name: "Create ticket and look up customer contract", type: service_task}
          - {id: outage, name: "Known outage in area?", type: exclusive}
          - {id: remote, name: "Troubleshoot remotely with customer", type: user_task}
          - {id: kb, name: "Knowledge base", type: data_store}
          - {id: confirm, name: "Ask customer to confirm the fix", type: send_task}
          - {id: reply, name: "", type: event_based}
      - name: "Second-line specialist"
        shapes: []
      - name: "Support team lead"
        shapes:
          - {id: breach, name: "Review SLA breach and agree next steps", type: user_task}
          - {id: apology, name: "Send delay notice with credit voucher", type: send_task}
connections:
  - {from: opened, to: create}
  - {from: create, to: outage}
  - {from: outage, to: remote, label: "no"}
  - {from: kb, to: remote}
  - {from: apology, to: customer, label: "delay notice"}
  - {from: confirm, to: reply})");
  EXPECT_GE(nearest_other_route(routed, "delay notice"), 20);
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
