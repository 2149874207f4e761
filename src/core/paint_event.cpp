// Events as BPMN draws them: a thin circle for a start, a double circle for an intermediate
// event, a thick one for an end, dashed when the event does not interrupt; inside, the marker
// of its trigger, outlined when the event catches and filled when it throws.
#include <cmath>

#include "orvane/event.hpp"
#include "paint_support.hpp"

namespace orvane::paint {
namespace {

const std::vector<double> kDashed{4, 2.5};

// A polygon given in units of the circle: (0, 0) is the centre, 1 the radius.
std::vector<Point> scaled(const Box& e, std::initializer_list<Point> unit) {
  const double r = e.width / 2;
  std::vector<Point> out;
  for (const Point& u : unit) out.push_back({e.centre_x() + u.x * r, e.centre_y() + u.y * r});
  return out;
}

void envelope(Painter& p, const Box& e, bool filled, const std::string& ink,
              const std::string& fill) {
  const double w = e.width * 0.5;
  const double h = e.height * 0.34;
  Box env{e.centre_x() - w / 2, e.centre_y() - h / 2, w, h};
  p.draw_rectangle(env, filled ? ink : fill, LineStyle{ink, 1.2, {}});
  p.draw_polyline({{env.x, env.y}, {env.centre_x(), env.y + h * 0.55}, {env.right(), env.y}},
                  LineStyle{filled ? fill : ink, 1.2, {}});
}

void clock(Painter& p, const Box& e, const std::string& ink, const std::string& fill) {
  const double r = e.width * 0.3;
  const double cx = e.centre_x();
  const double cy = e.centre_y();
  p.draw_ellipse(square(cx, cy, 2 * r), fill, LineStyle{ink, 1.5, {}});
  for (int i = 0; i < 12; ++i) {
    const double a = i * PI / 6;
    p.draw_polyline({{cx + std::cos(a) * r * 0.72, cy + std::sin(a) * r * 0.72},
                     {cx + std::cos(a) * r * 0.9, cy + std::sin(a) * r * 0.9}},
                    LineStyle{ink, 0.8, {}});
  }
  p.draw_polyline({{cx + r * 0.15, cy - r * 0.6}, {cx, cy}, {cx + r * 0.5, cy + r * 0.05}},
                  LineStyle{ink, 1.2, {}});
}

void sheet(Painter& p, const Box& e, const std::string& ink, const std::string& fill) {
  const double w = e.width * 0.38;
  const double h = e.height * 0.48;
  Box page{e.centre_x() - w / 2, e.centre_y() - h / 2, w, h};
  p.draw_rectangle(page, fill, LineStyle{ink, 1.2, {}});
  for (int i = 1; i <= 4; ++i) {
    const double y = page.y + h * i / 5;
    p.draw_polyline({{page.x + w * 0.18, y}, {page.right() - w * 0.18, y}}, LineStyle{ink, 1, {}});
  }
}

}  // namespace

void draw_trigger(Painter& p, EventTrigger trigger, const Box& e, bool filled,
                  const std::string& ink, const std::string& fill) {
  const std::string body = filled ? ink : fill;
  const LineStyle line{ink, 1.2, {}};
  switch (trigger) {
    case EventTrigger::NONE:
      break;
    case EventTrigger::MESSAGE:
      envelope(p, e, filled, ink, fill);
      break;
    case EventTrigger::TIMER:
      clock(p, e, ink, fill);
      break;
    case EventTrigger::CONDITIONAL:
      sheet(p, e, ink, fill);
      break;
    case EventTrigger::SIGNAL:
      p.draw_polygon(scaled(e, {{0, -0.55}, {0.5, 0.38}, {-0.5, 0.38}}), body, line);
      break;
    case EventTrigger::LINK:
      p.draw_polygon(scaled(e, {{-0.5, -0.216},
                                {0.05, -0.216},
                                {0.05, -0.36},
                                {0.5, 0},
                                {0.05, 0.36},
                                {0.05, 0.216},
                                {-0.5, 0.216}}),
                     body, line);
      break;
    case EventTrigger::ERROR:
      // A lightning bolt.
      p.draw_polygon(scaled(e, {{-0.42, 0.42},
                                {-0.17, -0.38},
                                {0.1, 0.06},
                                {0.42, -0.42},
                                {0.17, 0.38},
                                {-0.1, -0.06}}),
                     body, line);
      break;
    case EventTrigger::ESCALATION:
      // An arrowhead pointing up, notched at its base.
      p.draw_polygon(scaled(e, {{0, -0.52}, {0.38, 0.42}, {0, 0.02}, {-0.38, 0.42}}), body, line);
      break;
    case EventTrigger::COMPENSATION:
      // Two triangles pointing left, as on a rewind button.
      p.draw_polygon(scaled(e, {{-0.52, 0}, {-0.04, -0.32}, {-0.04, 0.32}}), body, line);
      p.draw_polygon(scaled(e, {{-0.04, 0}, {0.44, -0.32}, {0.44, 0.32}}), body, line);
      break;
    case EventTrigger::CANCEL:
      // A broad X.
      p.draw_polygon(scaled(e, {{-0.34, -0.44},
                                {0, -0.11},
                                {0.34, -0.44},
                                {0.44, -0.34},
                                {0.11, 0},
                                {0.44, 0.34},
                                {0.34, 0.44},
                                {0, 0.11},
                                {-0.34, 0.44},
                                {-0.44, 0.34},
                                {-0.11, 0},
                                {-0.44, -0.34}}),
                     body, line);
      break;
    case EventTrigger::TERMINATE:
      p.draw_ellipse(inset(e, e.width * 0.22), ink, LineStyle{ink, 1, {}});
      break;
    case EventTrigger::MULTIPLE: {
      std::vector<Point> pentagon;
      const double r = e.width * 0.3;
      for (int i = 0; i < 5; ++i) {
        const double a = -PI / 2 + i * 2 * PI / 5;
        pentagon.push_back({e.centre_x() + r * std::cos(a), e.centre_y() + r * std::sin(a) + 1});
      }
      p.draw_polygon(pentagon, body, line);
      break;
    }
    case EventTrigger::PARALLEL_MULTIPLE:
      // An outlined plus.
      p.draw_polygon(scaled(e, {{-0.13, -0.5},
                                {0.13, -0.5},
                                {0.13, -0.13},
                                {0.5, -0.13},
                                {0.5, 0.13},
                                {0.13, 0.13},
                                {0.13, 0.5},
                                {-0.13, 0.5},
                                {-0.13, 0.13},
                                {-0.5, 0.13},
                                {-0.5, -0.13},
                                {-0.13, -0.13}}),
                     body, line);
      break;
  }
}

void draw_event(Painter& p, const Event& event, const Box& box, const std::string& fill,
                const std::string& ink, double width) {
  const EventPosition position = event.position();
  const std::vector<double> dash = event.interrupting() ? std::vector<double>{} : kDashed;
  const double base = width > 0 ? width : 1.5;
  if (position == EventPosition::END) {
    // The thick ring stays inside the shape's box.
    const double thick = width > 0 ? width : 3.5;
    p.draw_ellipse(inset(box, thick / 2), fill, LineStyle{ink, thick, dash});
  } else {
    p.draw_ellipse(inset(box, base / 2), fill, LineStyle{ink, base, dash});
    if (position == EventPosition::INTERMEDIATE) {
      p.draw_ellipse(inset(box, base / 2 + 3), "", LineStyle{ink, base, dash});
    }
  }
  draw_trigger(p, event.trigger(), box, event.throwing(), ink, fill);
}

}  // namespace orvane::paint
