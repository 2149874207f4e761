// A small SVG picture of a routing instance, for looking at routes that went wrong.
#include <fmt/format.h>

#include <algorithm>

#include "orvane/lane.hpp"
#include "orvane/pool.hpp"
#include "orvane/routing.hpp"
#include "orvane/shape.hpp"

namespace orvane {
namespace {

std::string rect(const Box& b, const char* style) {
  return fmt::format(R"(<rect x="{:.1f}" y="{:.1f}" width="{:.1f}" height="{:.1f}" {}/>)", b.x, b.y,
                     b.width, b.height, style) +
         "\n";
}

std::string xml_text(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string routing_debug_svg(const std::vector<std::unique_ptr<Pool>>& pools) {
  std::string body;
  double max_x = 0;
  double max_y = 0;
  auto grow = [&](const Box& b) {
    max_x = std::max(max_x, b.right());
    max_y = std::max(max_y, b.bottom());
  };
  for (const auto& pool : pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) {
        if (shape == nullptr) continue;
        body += rect(shape->box, R"(fill="#dde" stroke="#446")");
        body += rect(shape->label_box, R"(fill="none" stroke="#99a" stroke-dasharray="2,2")");
        body += fmt::format(R"(<text x="{:.1f}" y="{:.1f}" font-size="9">{}</text>)",
                            shape->box.x + 2, shape->box.y + 10, xml_text(shape->name)) +
                "\n";
        grow(shape->box);
        grow(shape->label_box);
        if (!shape->connection_to) continue;
        for (const Connection& c : *shape->connection_to) {
          if (c.waypoints.empty()) continue;
          std::string points;
          for (const Point& p : c.waypoints) {
            points += fmt::format("{:.1f},{:.1f} ", p.x, p.y);
            grow({p.x, p.y, 0, 0});
          }
          body += fmt::format(R"(<polyline points="{}" fill="none" stroke="{}"/>)", points,
                              c.connection_type == "message" ? "#26a" : "#c22") +
                  "\n";
          const Point& end = c.waypoints.back();
          body += fmt::format(R"(<circle cx="{:.1f}" cy="{:.1f}" r="2.5" fill="#c22"/>)", end.x,
                              end.y) +
                  "\n";
          if (c.label_box) {
            body += rect(*c.label_box, R"(fill="#fe8" fill-opacity="0.6" stroke="#a80")");
            grow(*c.label_box);
          }
        }
      }
    }
  }
  return fmt::format(R"(<svg xmlns="http://www.w3.org/2000/svg" width="{:.0f}" height="{:.0f}">)"
                     "\n{}</svg>\n",
                     max_x + 20, max_y + 20, body);
}

}  // namespace orvane
