// Turns a checked description into a Swimboard, in the order the description gives: pools and
// their lanes and shapes, then lanes without a pool, then connections, then the font sizes that
// apply to everything already added.
#include <fmt/format.h>

#include <algorithm>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/gateway.hpp"
#include "orvane/helper.hpp"
#include "orvane/loader.hpp"
#include "orvane/painter_factory.hpp"
#include "orvane/theme.hpp"

namespace orvane {
namespace {

std::string join(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    out += item;
  }
  return out;
}

// Equal ignoring ASCII case.
bool same_letters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

template <class T>
T or_default(const T& value, const T& fallback) {
  return value == T{} ? fallback : value;
}

// The colours a shape has of its own.
void apply_colours(const ShapeDescription& s, Shape& shape) {
  if (!s.fill_colour.empty()) shape.fill_colour = s.fill_colour;
  if (!s.outline_colour.empty()) shape.outline_colour = s.outline_colour;
  if (!s.font_colour.empty()) shape.font_colour = s.font_colour;
}

// What the description says about a shape beyond its type word.
void apply_details(const ShapeDescription& s, Shape& shape) {
  apply_type_word(*s.word, shape);
  apply_colours(s, shape);
  if (auto* activity = dynamic_cast<Activity*>(&shape)) {
    activity->loop = s.loop;
    activity->compensation = s.compensation;
  }
  if (auto* sub = dynamic_cast<Subprocess*>(&shape)) {
    sub->ad_hoc = s.ad_hoc;
    sub->start_trigger = s.trigger;
    sub->start_interrupts = s.interrupting;
  }
  if (auto* gateway = dynamic_cast<Exclusive*>(&shape)) gateway->show_marker = !s.hide_marker;
  if (auto* data = dynamic_cast<DataObject*>(&shape)) data->collection = s.collection;
  if (auto* event = dynamic_cast<TypedEvent*>(&shape)) event->interrupts = s.interrupting;
}

}  // namespace

std::optional<std::string> LoadedDiagram::file_id(const Shape& shape) const {
  auto it = ids_by_bpmn_id.find(shape.bpmn_id);
  if (it == ids_by_bpmn_id.end()) return std::nullopt;
  return it->second;
}

LoadedDiagram build_diagram(const DiagramDescription& d, const LoadOptions& options) {
  auto kinds = PainterFactory::kinds();
  if (d.painter && std::find(kinds.begin(), kinds.end(), *d.painter) == kinds.end()) {
    throw DescriptionError(
        d.source, d.painter_mark,
        fmt::format("unknown painter {}; expected one of: {}",
                    Helper::quoted(Helper::char_prefix(*d.painter, 40)), join(kinds)));
  }
  std::string painter_type = options.painter_type.value_or(d.painter.value_or("png"));
  // Theme names are matched without regard to case; the diagram gets the canonical name.
  auto themes = theme_names();
  auto theme = std::find_if(themes.begin(), themes.end(),
                            [&](const std::string& name) { return same_letters(name, d.theme); });
  if (theme == themes.end()) {
    throw DescriptionError(
        d.source, d.theme_mark,
        fmt::format("unknown theme {}; expected one of: {}",
                    Helper::quoted(Helper::char_prefix(d.theme, 40)), join(themes)));
  }

  LoadedDiagram out;
  out.source = d.source;
  out.board =
      std::make_unique<Swimboard>(d.title, d.width, d.height, d.auto_size, *theme, painter_type);
  Swimboard& board = *out.board;
  Painter& painter = board.painter();
  if (d.title_font_size) board.set_title_font_size(*d.title_font_size);

  // The exported id of everything the description names is the description's own.
  auto record = [&](Shape& shape, const std::string& id) {
    shape.bpmn_id = id;
    out.shapes_by_id[id] = &shape;
    out.ids_by_bpmn_id[id] = id;
  };
  auto add_shapes = [&](Lane& lane, const LaneDescription& lane_description) {
    for (const auto& s : lane_description.shapes) {
      if (s.word->boundary) continue;
      Shape& shape = lane.add_element(s.name, s.type);
      apply_details(s, shape);
      record(shape, s.id);
    }
  };
  // Boundary events come once every activity exists; each joins its activity's lane.
  auto add_boundary_events = [&](const LaneDescription& lane_description) {
    for (const auto& s : lane_description.shapes) {
      if (!s.word->boundary) continue;
      Shape& host = *out.shapes_by_id.at(s.attached_to);
      TypedEvent& event =
          host.owner_lane->add_boundary_event(host, s.name, s.word->trigger, s.interrupting);
      apply_colours(s, event);
      record(event, s.id);
    }
  };
  std::map<std::string, Shape*> black_boxes;

  for (const auto& p : d.pools) {
    Pool& pool =
        board.add_pool(p.name, p.font, p.font_size, p.font_colour, p.fill_colour, p.text_alignment);
    if (!p.id.empty()) pool.bpmn_id = p.id;
    if (!d.collaboration_id.empty()) pool.bpmn_collaboration_id = d.collaboration_id;
    if (p.black_box) black_boxes[p.id] = &pool.make_black_box();
    for (const auto& l : p.lanes) {
      // Empty styles take the theme's lane defaults, as lanes added to the board directly do.
      Lane& lane =
          pool.add_lane(l.name, or_default(l.font, painter.lane_font),
                        or_default(l.font_size, painter.lane_font_size),
                        or_default(l.font_colour, painter.lane_font_colour),
                        or_default(l.fill_colour, painter.lane_fill_colour),
                        or_default(l.text_alignment, painter.lane_text_alignment),
                        or_default(l.background_fill_colour, painter.lane_background_fill_colour));
      if (!l.id.empty()) lane.id = l.id;
      add_shapes(lane, l);
    }
  }
  for (const auto& l : d.lanes) {
    Lane& lane = board.add_lane(l.name, l.font, l.font_size, l.font_colour, l.fill_colour,
                                l.text_alignment, l.background_fill_colour);
    if (!l.id.empty()) lane.id = l.id;
    add_shapes(lane, l);
  }
  for (const auto& p : d.pools) {
    for (const auto& l : p.lanes) add_boundary_events(l);
  }
  for (const auto& l : d.lanes) add_boundary_events(l);

  auto end = [&](const std::string& id) -> Shape& {
    auto it = out.shapes_by_id.find(id);
    return it != out.shapes_by_id.end() ? *it->second : *black_boxes.at(id);
  };
  for (const auto& c : d.connections) {
    Connection& made = end(c.from).connect(end(c.to), c.label);
    if (!c.id.empty()) made.bpmn_id = c.id;
    if (c.association) {
      made.connection_type = ConnectionTypes::ASSOCIATION;
      made.direction = c.direction;
    }
    made.is_default = c.is_default;
    made.condition = c.condition;
  }
  for (const auto& a : d.annotations) {
    Shape& shape = *out.shapes_by_id.at(a.on);
    TextAnnotation& note = shape.owner_lane->annotate(shape, a.text);
    if (!a.id.empty()) record(note, a.id);
    if (!a.association_id.empty() && !note.connection_to->empty()) {
      note.connection_to->back().bpmn_id = a.association_id;
    }
  }
  for (const auto& g : d.groups) {
    std::vector<Shape*> members;
    for (const auto& id : g.members) members.push_back(out.shapes_by_id.at(id));
    Group& group = members.front()->owner_lane->add_group(g.name, members);
    if (!g.id.empty()) record(group, g.id);
  }
  if (d.element_font_size) board.set_element_font_size(*d.element_font_size);
  if (d.footer) {
    board.set_footer(d.footer->text, d.footer->font, d.footer->font_size, d.footer->font_colour);
  }
  try {
    board._validate();
  } catch (const std::exception& e) {
    throw DescriptionError(d.source, {}, e.what());
  }
  return out;
}

LoadedDiagram load_diagram_text(std::string_view text, const std::string& source,
                                const LoadOptions& options) {
  return build_diagram(parse_description(text, source, options.limits), options);
}

LoadedDiagram load_diagram(const std::string& path, const LoadOptions& options) {
  return load_diagram_text(read_description_file(path, options.limits), path, options);
}

}  // namespace orvane
