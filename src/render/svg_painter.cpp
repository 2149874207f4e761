#include "svg_painter.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "orvane/helper.hpp"
#include "primitives.hpp"

namespace orvane {
namespace {

// A coordinate or size: at most two decimals, no trailing zeros, never "-0".
std::string number(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  std::string out = buffer;
  out.erase(out.find_last_not_of('0') + 1);
  if (out.back() == '.') out.pop_back();
  return out == "-0" ? "0" : out;
}

std::string hex(const Rgba& c) {
  auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", byte(c.red), byte(c.green), byte(c.blue));
  return buffer;
}

void set_colour(pugi::xml_node node, const char* what, const Colour& c) {
  node.append_attribute(what) = hex(c.rgba).c_str();
  if (c.rgba.alpha < 1) {
    node.append_attribute((std::string(what) + "-opacity").c_str()) =
        number(std::max(0.0, c.rgba.alpha)).c_str();
  }
}

// Fill and line of a shape; the picture's defaults are no fill, no line, width 1.
void set_paint(pugi::xml_node node, const Colour& fill, const Stroke& stroke) {
  if (fill.set) set_colour(node, "fill", fill);
  if (!stroke.colour.set) return;
  set_colour(node, "stroke", stroke.colour);
  if (stroke.width != 1) node.append_attribute("stroke-width") = number(stroke.width).c_str();
  if (!stroke.dash.empty()) {
    std::string dash;
    for (double d : stroke.dash) dash += (dash.empty() ? "" : " ") + number(d);
    node.append_attribute("stroke-dasharray") = dash.c_str();
  }
}

std::string points_text(const std::vector<Point>& points) {
  std::string out;
  for (const Point& p : points) out += (out.empty() ? "" : " ") + number(p.x) + "," + number(p.y);
  return out;
}

// The CSS font-family list for pango's family list `font` followed by the fallback fonts:
// names quoted, pango's generic names as CSS's, and a generic family last.
std::string css_font_family(const std::string& font) {
  std::vector<std::string> seen;
  std::string out;
  bool has_generic = false;
  std::istringstream names(font.empty() ? FALLBACK_FONTS : font + "," + FALLBACK_FONTS);
  for (std::string name; std::getline(names, name, ',');) {
    std::string clean;
    for (char c : name) {
      if (c != '\'' && c != '"' && c != '\\' && c != ';' && c != '<' && c != '>') clean += c;
    }
    clean.erase(0, clean.find_first_not_of(' '));
    clean.erase(clean.find_last_not_of(' ') + 1);
    std::string lower = clean;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (clean.empty() || std::find(seen.begin(), seen.end(), lower) != seen.end()) continue;
    seen.push_back(lower);
    std::string entry = "'" + clean + "'";
    for (const auto& [pango_name, css_name] : GENERIC_FAMILIES) {
      if (lower == pango_name) {
        entry = std::string(css_name);
        has_generic = true;
      }
    }
    out += (out.empty() ? "" : ", ") + entry;
  }
  return has_generic ? out : out + ", sans-serif";
}

const std::string DEFAULT_FONT_FAMILY = css_font_family("");

std::string to_string(const pugi::xml_document& document) {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  out << "\n";
  return out.str();
}

}  // namespace

SvgPainter::SvgPainter(int width, int height) : PangoPainter("svg", width, height) {
  // The drawing's defaults: no fill, round line ends and joins as the other painters draw them,
  // the fallback fonts, and text whose spaces are kept as set.
  pugi::xml_node body = body_.append_child("g");
  body.append_attribute("fill") = "none";
  body.append_attribute("stroke-linecap") = "round";
  body.append_attribute("stroke-linejoin") = "round";
  body.append_attribute("font-family") = DEFAULT_FONT_FAMILY.c_str();
  body.append_attribute("xml:space") = "preserve";
}

pugi::xml_node SvgPainter::add(const char* name) {
  pugi::xml_node parent = groups_.empty() ? body_.first_child() : groups_.back();
  parent.append_child(pugi::node_pcdata).set_value("\n");
  return parent.append_child(name);
}

std::string SvgPainter::unique_id(const std::string& wanted) {
  std::string id;
  for (unsigned char c : wanted) {
    id += std::isalnum(c) != 0 || c == '_' || c == '-' || c == '.' ? static_cast<char>(c) : '_';
  }
  if (id.find_first_not_of('_') == std::string::npos) return "";
  if (std::isalpha(static_cast<unsigned char>(id.front())) == 0 && id.front() != '_') {
    id = "_" + id;
  }
  std::string candidate = id;
  for (int n = 2; !ids_.insert(candidate).second; ++n) candidate = id + "_" + std::to_string(n);
  return candidate;
}

void SvgPainter::set_background_colour() {
  Colour c = colour(background_colour);
  if (!c.set) return;
  // The whole picture, whatever size it has when it is saved.
  pugi::xml_node rect = add("rect");
  rect.append_attribute("width") = "100%";
  rect.append_attribute("height") = "100%";
  set_colour(rect, "fill", c);
}

void SvgPainter::set_description(const std::string& title, const std::string& description) {
  title_ = settable_text(title);
  description_ = settable_text(description);
}

void SvgPainter::begin_group(const std::string& id, const std::string& title) {
  pugi::xml_node group = add("g");
  const std::string usable = unique_id(id);
  if (!usable.empty()) group.append_attribute("id") = usable.c_str();
  if (!title.empty()) group.append_child("title").text() = settable_text(title).c_str();
  groups_.push_back(group);
}

void SvgPainter::end_group() {
  if (groups_.empty()) return;
  groups_.back().append_child(pugi::node_pcdata).set_value("\n");
  groups_.pop_back();
}

void SvgPainter::draw_rectangle(const Box& box, const std::string& fill, const LineStyle& line,
                                double corner_radius) {
  if (!finite_box(box)) return;
  const Colour f = colour(fill);
  const Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  pugi::xml_node rect = add("rect");
  rect.append_attribute("x") = number(box.x).c_str();
  rect.append_attribute("y") = number(box.y).c_str();
  rect.append_attribute("width") = number(box.width).c_str();
  rect.append_attribute("height") = number(box.height).c_str();
  const double r = corner_radius_for(box, corner_radius);
  if (r > 0) rect.append_attribute("rx") = number(r).c_str();
  set_paint(rect, f, s);
}

void SvgPainter::draw_ellipse(const Box& box, const std::string& fill, const LineStyle& line) {
  if (!finite_box(box)) return;
  const Colour f = colour(fill);
  const Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  const bool circle = box.width == box.height;
  pugi::xml_node e = add(circle ? "circle" : "ellipse");
  e.append_attribute("cx") = number(box.centre_x()).c_str();
  e.append_attribute("cy") = number(box.centre_y()).c_str();
  if (circle) {
    e.append_attribute("r") = number(box.width / 2).c_str();
  } else {
    e.append_attribute("rx") = number(box.width / 2).c_str();
    e.append_attribute("ry") = number(box.height / 2).c_str();
  }
  set_paint(e, f, s);
}

void SvgPainter::draw_polygon(const std::vector<Point>& points, const std::string& fill,
                              const LineStyle& line) {
  if (points.size() < 2 || !finite_points(points)) return;
  const Colour f = colour(fill);
  const Stroke s = stroke_of(line);
  if (!f.set && !s.colour.set) return;
  pugi::xml_node polygon = add("polygon");
  polygon.append_attribute("points") = points_text(points).c_str();
  set_paint(polygon, f, s);
}

void SvgPainter::draw_polyline(const std::vector<Point>& points, const LineStyle& line) {
  if (points.size() < 2 || !finite_points(points)) return;
  const Stroke s = stroke_of(line);
  if (!s.colour.set) return;
  pugi::xml_node polyline = add("polyline");
  polyline.append_attribute("points") = points_text(points).c_str();
  set_paint(polyline, Colour{}, s);
}

void SvgPainter::draw_text(const std::string& text, const Box& box, const TextStyle& style,
                           bool vertical) {
  if (text.empty() || !finite_box(box)) return;
  Colour c = colour(style.colour);
  if (!c.set) c = colour("#000000");
  const FittedText& fitted = fit_into(text, box, style, vertical);
  const Placement& p = fitted.placement;
  const double along = fitted.fit.along;
  const double across = fitted.fit.across;

  // A first line taller than its box is cut at the box, as the other painters cut it.
  constexpr double SLACK = 0.5;
  const bool overflows = p.logical.x < -SLACK || p.logical.y < -SLACK ||
                         p.logical.right() > along + SLACK || p.logical.bottom() > across + SLACK;
  std::string clip_id;
  if (overflows) {
    clip_id = unique_id("text-clip");
    pugi::xml_node clip = add("clipPath");
    clip.append_attribute("id") = clip_id.c_str();
    pugi::xml_node rect = clip.append_child("rect");
    rect.append_attribute("x") = number(vertical ? 0 : box.x).c_str();
    rect.append_attribute("y") = number(vertical ? 0 : box.y).c_str();
    rect.append_attribute("width") = number(along).c_str();
    rect.append_attribute("height") = number(across).c_str();
  }

  pugi::xml_node node = add("text");
  // Line positions are in the text's own frame: the box's top-left corner, or for vertical
  // text its bottom-left corner turned anticlockwise.
  double ox = box.x;
  double oy = box.y;
  if (vertical) {
    node.append_attribute("transform") =
        ("translate(" + number(box.x) + " " + number(box.bottom()) + ") rotate(-90)").c_str();
    ox = 0;
    oy = 0;
  }
  const std::string family = css_font_family(style.font);
  if (family != DEFAULT_FONT_FAMILY) node.append_attribute("font-family") = family.c_str();
  node.append_attribute("font-size") = number(fitted.fit.font_size).c_str();
  if (style.bold) node.append_attribute("font-weight") = "bold";
  set_colour(node, "fill", c);
  if (!clip_id.empty()) node.append_attribute("clip-path") = ("url(#" + clip_id + ")").c_str();

  const std::vector<SetLine>& lines = fitted.lines;
  auto position = [&](pugi::xml_node at, const SetLine& line) {
    at.append_attribute("x") = number(ox + p.dx + line.x).c_str();
    at.append_attribute("y") = number(oy + p.dy + line.baseline).c_str();
  };
  if (lines.size() == 1) {
    position(node, lines.front());
    node.text() = lines.front().text.c_str();
    return;
  }
  // One tspan per line, with nothing between them: the lines read on as the text does.
  for (const SetLine& line : lines) {
    pugi::xml_node span = node.append_child("tspan");
    position(span, line);
    span.text() = line.text.c_str();
  }
}

std::string SvgPainter::render_as(const std::string& kind) const {
  if (kind == "svg") return render();
  throw std::invalid_argument(fmt::format("the {} painter cannot render {}; it renders svg",
                                          Helper::quoted(kind_), Helper::quoted(kind)));
}

std::string SvgPainter::render() const {
  pugi::xml_document document;
  pugi::xml_node svg = document.append_child("svg");
  svg.append_attribute("xmlns") = "http://www.w3.org/2000/svg";
  svg.append_attribute("width") = width_;
  svg.append_attribute("height") = height_;
  svg.append_attribute("viewBox") =
      ("0 0 " + std::to_string(width_) + " " + std::to_string(height_)).c_str();
  svg.append_attribute("role") = "img";
  if (!title_.empty()) {
    svg.append_child(pugi::node_pcdata).set_value("\n");
    svg.append_child("title").text() = title_.c_str();
  }
  if (!description_.empty()) {
    svg.append_child(pugi::node_pcdata).set_value("\n");
    svg.append_child("desc").text() = description_.c_str();
  }
  svg.append_child(pugi::node_pcdata).set_value("\n");
  svg.append_copy(body_.first_child()).append_child(pugi::node_pcdata).set_value("\n");
  svg.append_child(pugi::node_pcdata).set_value("\n");
  return to_string(document);
}

}  // namespace orvane
