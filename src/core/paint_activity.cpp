// Activities as BPMN draws them: a rounded box whose border tells a call activity (thick), a
// transaction (double) and an event sub-process (dotted) apart; the icon of a task's type in
// its top-left corner; the markers of looping, compensation, ad-hoc work and collapsed content
// side by side at the bottom centre.
#include <cmath>

#include "orvane/activity.hpp"
#include "paint_support.hpp"

namespace orvane::paint {
namespace {

constexpr double ICON_SIZE = 18;
constexpr double ICON_MARGIN = 5;
// The start event in an event sub-process's corner.
constexpr double EVENT_START_INSET = 4;
constexpr double EVENT_START_SIZE = 22;
constexpr double MARKER_GAP = 4;

// Points given in units of `b` (0..1 across and down).
std::vector<Point> in_box(const Box& b, std::initializer_list<Point> unit) {
  std::vector<Point> out;
  for (const Point& u : unit) out.push_back({b.x + u.x * b.width, b.y + u.y * b.height});
  return out;
}

void envelope_icon(Painter& p, const Box& b, bool filled, const std::string& ink,
                   const std::string& fill) {
  const Box env{b.x + b.width * 0.05, b.y + b.height * 0.2, b.width * 0.9, b.height * 0.6};
  p.draw_rectangle(env, filled ? ink : fill, LineStyle{ink, 1, {}});
  p.draw_polyline(
      {{env.x, env.y}, {env.centre_x(), env.y + env.height * 0.55}, {env.right(), env.y}},
      LineStyle{filled ? fill : ink, 1, {}});
}

void gear(Painter& p, double cx, double cy, double r, const std::string& ink,
          const std::string& fill) {
  std::vector<Point> teeth;
  constexpr int kTeeth = 8;
  for (int i = 0; i < kTeeth * 4; ++i) {
    const double a = (i - 0.5) * PI / (kTeeth * 2);
    const double radius = (i % 4 == 0 || i % 4 == 1) ? r : r * 0.74;
    teeth.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
  }
  p.draw_polygon(teeth, fill, LineStyle{ink, 1, {}});
  p.draw_ellipse(square(cx, cy, r * 0.7), fill, LineStyle{ink, 1, {}});
}

void task_icon(Painter& p, TaskType type, const Box& b, const std::string& ink,
               const std::string& fill) {
  const LineStyle line{ink, 1, {}};
  switch (type) {
    case TaskType::NONE:
      break;
    case TaskType::USER:
      p.draw_polygon(in_box(b, {{0.08, 1},
                                {0.1, 0.78},
                                {0.22, 0.62},
                                {0.38, 0.56},
                                {0.62, 0.56},
                                {0.78, 0.62},
                                {0.9, 0.78},
                                {0.92, 1}}),
                     fill, line);
      p.draw_ellipse({b.x + b.width * 0.29, b.y + b.height * 0.08, b.width * 0.42, b.height * 0.42},
                     fill, line);
      // The hair.
      p.draw_polygon(in_box(b, {{0.29, 0.27},
                                {0.36, 0.12},
                                {0.5, 0.08},
                                {0.64, 0.12},
                                {0.71, 0.27},
                                {0.6, 0.2},
                                {0.4, 0.2}}),
                     ink, line);
      break;
    case TaskType::SERVICE:
      gear(p, b.x + b.width * 0.4, b.y + b.height * 0.4, b.width * 0.38, ink, fill);
      gear(p, b.x + b.width * 0.7, b.y + b.height * 0.7, b.width * 0.28, ink, fill);
      break;
    case TaskType::SEND:
      envelope_icon(p, b, true, ink, fill);
      break;
    case TaskType::RECEIVE:
      envelope_icon(p, b, false, ink, fill);
      break;
    case TaskType::SCRIPT: {
      // A scroll: a sheet with wavy sides and lines of text.
      std::vector<Point> outline;
      constexpr int kSteps = 8;
      for (int i = 0; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        outline.push_back({b.x + b.width * (0.22 + 0.08 * std::sin(t * 2 * PI)),
                           b.y + b.height * (0.05 + 0.9 * t)});
      }
      for (int i = kSteps; i >= 0; --i) {
        const double t = static_cast<double>(i) / kSteps;
        outline.push_back({b.x + b.width * (0.78 + 0.08 * std::sin(t * 2 * PI)),
                           b.y + b.height * (0.05 + 0.9 * t)});
      }
      p.draw_polygon(outline, fill, line);
      for (double y : {0.28, 0.44, 0.6, 0.76}) {
        p.draw_polyline(in_box(b, {{0.34, y}, {0.68, y}}), line);
      }
      break;
    }
    case TaskType::MANUAL:
      // A hand, palm down, fingers to the right.
      p.draw_polygon(in_box(b, {{0.02, 0.4},
                                {0.3, 0.1},
                                {0.42, 0.14},
                                {0.36, 0.3},
                                {0.96, 0.3},
                                {0.96, 0.45},
                                {0.86, 0.45},
                                {0.86, 0.6},
                                {0.8, 0.6},
                                {0.8, 0.75},
                                {0.72, 0.75},
                                {0.72, 0.9},
                                {0.3, 0.9},
                                {0.02, 0.8}}),
                     fill, line);
      p.draw_polyline(in_box(b, {{0.56, 0.45}, {0.86, 0.45}}), line);
      p.draw_polyline(in_box(b, {{0.56, 0.6}, {0.8, 0.6}}), line);
      p.draw_polyline(in_box(b, {{0.56, 0.75}, {0.72, 0.75}}), line);
      break;
    case TaskType::BUSINESS_RULE: {
      const Box table{b.x + b.width * 0.04, b.y + b.height * 0.14, b.width * 0.92, b.height * 0.72};
      p.draw_rectangle(table, fill, line);
      p.draw_rectangle({table.x, table.y, table.width, table.height * 0.26}, ink, line);
      const double row = table.y + table.height * 0.26;
      p.draw_polyline({{table.x, row + (table.bottom() - row) / 2},
                       {table.right(), row + (table.bottom() - row) / 2}},
                      line);
      p.draw_polyline(
          {{table.x + table.width * 0.3, row}, {table.x + table.width * 0.3, table.bottom()}},
          line);
      break;
    }
  }
}

enum class Marker { LOOP, PARALLEL, SEQUENTIAL, COMPENSATION, COLLAPSED, AD_HOC };

std::vector<Marker> markers_of(const Activity& activity) {
  std::vector<Marker> out;
  if (activity.loop == LoopType::STANDARD) out.push_back(Marker::LOOP);
  if (activity.loop == LoopType::PARALLEL) out.push_back(Marker::PARALLEL);
  if (activity.loop == LoopType::SEQUENTIAL) out.push_back(Marker::SEQUENTIAL);
  if (activity.compensation) out.push_back(Marker::COMPENSATION);
  if (const auto* sub = dynamic_cast<const Subprocess*>(&activity)) {
    out.push_back(Marker::COLLAPSED);
    if (sub->ad_hoc) out.push_back(Marker::AD_HOC);
  }
  return out;
}

void marker(Painter& p, Marker kind, const Box& m, const std::string& ink,
            const std::string& fill) {
  const LineStyle thin{ink, 1.2, {}};
  switch (kind) {
    case Marker::COLLAPSED:
      p.draw_rectangle(m, fill, LineStyle{ink, 1.2, {}});
      p.draw_polyline({{m.centre_x(), m.y + 3}, {m.centre_x(), m.bottom() - 3}},
                      LineStyle{ink, 1.5, {}});
      p.draw_polyline({{m.x + 3, m.centre_y()}, {m.right() - 3, m.centre_y()}},
                      LineStyle{ink, 1.5, {}});
      break;
    case Marker::LOOP: {
      // A circular arrow, open at the top right.
      std::vector<Point> arc;
      const double r = m.width * 0.4;
      const double start = -PI / 3;
      const double sweep = 5 * PI / 3;
      for (int i = 0; i <= 20; ++i) {
        const double a = start - sweep * i / 20;
        arc.push_back({m.centre_x() + r * std::cos(a), m.centre_y() + r * std::sin(a)});
      }
      p.draw_polyline(arc, LineStyle{ink, 1.4, {}});
      const Point tip = arc.front();
      p.draw_polygon(
          {{tip.x + 3.2, tip.y - 1.2}, {tip.x - 1.5, tip.y - 2.6}, {tip.x + 0.6, tip.y + 2.4}}, ink,
          LineStyle{ink, 0.8, {}});
      break;
    }
    case Marker::PARALLEL:
      for (double f : {0.22, 0.5, 0.78}) {
        p.draw_polyline({{m.x + m.width * f, m.y + 1}, {m.x + m.width * f, m.bottom() - 1}},
                        LineStyle{ink, 2, {}});
      }
      break;
    case Marker::SEQUENTIAL:
      for (double f : {0.22, 0.5, 0.78}) {
        p.draw_polyline({{m.x + 1, m.y + m.height * f}, {m.right() - 1, m.y + m.height * f}},
                        LineStyle{ink, 2, {}});
      }
      break;
    case Marker::COMPENSATION:
      p.draw_polygon(in_box(m, {{0, 0.5}, {0.48, 0.18}, {0.48, 0.82}}), fill, thin);
      p.draw_polygon(in_box(m, {{0.48, 0.5}, {0.96, 0.18}, {0.96, 0.82}}), fill, thin);
      break;
    case Marker::AD_HOC: {
      std::vector<Point> wave;
      for (int i = 0; i <= 16; ++i) {
        const double t = static_cast<double>(i) / 16;
        wave.push_back({m.x + m.width * t, m.centre_y() - std::sin(t * 2 * PI) * m.height * 0.2});
      }
      p.draw_polyline(wave, LineStyle{ink, 1.5, {}});
      break;
    }
  }
}

}  // namespace

double marker_strip(const Activity& activity) {
  return markers_of(activity).empty() ? 0 : MARKER_SIZE;
}

void draw_activity(Painter& p, const Activity& activity, const Box& box, const std::string& fill,
                   const std::string& ink, double width) {
  const auto* sub = dynamic_cast<const Subprocess*>(&activity);
  const SubprocessForm form = sub != nullptr ? sub->form : SubprocessForm::EMBEDDED;
  const double stroke = width > 0 ? width : 2;
  switch (form) {
    case SubprocessForm::EMBEDDED:
      p.draw_rectangle(box, fill, LineStyle{ink, stroke, {}}, ACTIVITY_RADIUS);
      break;
    case SubprocessForm::CALL_ACTIVITY: {
      // The thick border stays inside the box.
      const double thick = width > 0 ? width : 4;
      p.draw_rectangle(inset(box, thick / 2 - 1), fill, LineStyle{ink, thick, {}}, ACTIVITY_RADIUS);
      break;
    }
    case SubprocessForm::TRANSACTION:
      p.draw_rectangle(box, fill, LineStyle{ink, 1.5, {}}, ACTIVITY_RADIUS);
      p.draw_rectangle(inset(box, 3.5), "", LineStyle{ink, 1.5, {}}, ACTIVITY_RADIUS - 3);
      break;
    case SubprocessForm::EVENT:
      p.draw_rectangle(box, fill, LineStyle{ink, 1.5, {1.5, 2.5}}, ACTIVITY_RADIUS);
      break;
  }

  const Box icon{box.x + ICON_MARGIN, box.y + ICON_MARGIN, ICON_SIZE, ICON_SIZE};
  if (const auto* task = dynamic_cast<const Task*>(&activity)) {
    task_icon(p, task->task_type, icon, ink, fill);
  }
  if (sub != nullptr && form == SubprocessForm::EVENT) {
    // The start event that opens the event sub-process, small in the corner.
    const Box circle{box.x + EVENT_START_INSET, box.y + EVENT_START_INSET, EVENT_START_SIZE,
                     EVENT_START_SIZE};
    const LineStyle line{ink, 1,
                         sub->start_interrupts ? std::vector<double>{} : std::vector<double>{3, 2}};
    p.draw_ellipse(inset(circle, 0.5), fill, line);
    draw_trigger(p, sub->start_trigger, circle, false, ink, fill);
  }

  const std::vector<Marker> markers = markers_of(activity);
  if (markers.empty()) return;
  const double total = static_cast<double>(markers.size()) * MARKER_SIZE +
                       static_cast<double>(markers.size() - 1) * MARKER_GAP;
  double x = box.centre_x() - total / 2;
  const double y = box.bottom() - MARKER_SIZE - 3;
  for (Marker m : markers) {
    marker(p, m, Box{x, y, MARKER_SIZE, MARKER_SIZE}, ink, fill);
    x += MARKER_SIZE + MARKER_GAP;
  }
}

std::optional<Box> corner_icon(const Activity& activity, const Box& box) {
  if (const auto* task = dynamic_cast<const Task*>(&activity)) {
    if (task->task_type == TaskType::NONE) return std::nullopt;
    return Box{box.x + ICON_MARGIN, box.y + ICON_MARGIN, ICON_SIZE, ICON_SIZE};
  }
  const auto* sub = dynamic_cast<const Subprocess*>(&activity);
  if (sub == nullptr || sub->form != SubprocessForm::EVENT) return std::nullopt;
  return Box{box.x + EVENT_START_INSET, box.y + EVENT_START_INSET, EVENT_START_SIZE,
             EVENT_START_SIZE};
}

}  // namespace orvane::paint
