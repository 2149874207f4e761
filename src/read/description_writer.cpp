// Writes a description in the format the loader reads: block style for the structure, one flow
// mapping per shape and connection, as the examples are written.
#include "orvane/description_writer.hpp"

#include <yaml-cpp/yaml.h>

namespace orvane {
namespace {

class Writer {
 public:
  std::string run(const DiagramDescription& d) {
    out_ << YAML::BeginMap;
    out_ << YAML::Key << "title" << YAML::Value << d.title;
    const DiagramDescription defaults;
    if (d.theme != defaults.theme) out_ << YAML::Key << "theme" << YAML::Value << d.theme;
    if (d.painter) out_ << YAML::Key << "painter" << YAML::Value << *d.painter;
    if (d.width != defaults.width) out_ << YAML::Key << "width" << YAML::Value << d.width;
    if (d.height != defaults.height) out_ << YAML::Key << "height" << YAML::Value << d.height;
    if (d.auto_size != defaults.auto_size) {
      out_ << YAML::Key << "auto_size" << YAML::Value << d.auto_size;
    }
    if (d.title_font_size) {
      out_ << YAML::Key << "title_font_size" << YAML::Value << *d.title_font_size;
    }
    if (d.element_font_size) {
      out_ << YAML::Key << "element_font_size" << YAML::Value << *d.element_font_size;
    }
    if (d.footer) {
      out_ << YAML::Key << "footer" << YAML::Value << YAML::Flow << YAML::BeginMap;
      out_ << YAML::Key << "text" << YAML::Value << d.footer->text;
      style("font", d.footer->font);
      style("font_size", d.footer->font_size);
      style("font_colour", d.footer->font_colour);
      out_ << YAML::EndMap;
    }
    if (!d.pools.empty()) {
      out_ << YAML::Key << "pools" << YAML::Value << YAML::BeginSeq;
      for (const PoolDescription& pool : d.pools) write_pool(pool);
      out_ << YAML::EndSeq;
    }
    if (!d.lanes.empty()) {
      out_ << YAML::Key << "lanes" << YAML::Value << YAML::BeginSeq;
      for (const LaneDescription& lane : d.lanes) write_lane(lane);
      out_ << YAML::EndSeq;
    }
    if (!d.connections.empty()) {
      out_ << YAML::Key << "connections" << YAML::Value << YAML::BeginSeq;
      for (const ConnectionDescription& c : d.connections) write_connection(c);
      out_ << YAML::EndSeq;
    }
    if (!d.annotations.empty()) {
      out_ << YAML::Key << "annotations" << YAML::Value << YAML::BeginSeq;
      for (const AnnotationDescription& a : d.annotations) {
        out_ << YAML::Flow << YAML::BeginMap;
        if (!a.id.empty()) out_ << YAML::Key << "id" << YAML::Value << a.id;
        out_ << YAML::Key << "text" << YAML::Value << a.text;
        out_ << YAML::Key << "on" << YAML::Value << a.on << YAML::EndMap;
      }
      out_ << YAML::EndSeq;
    }
    if (!d.groups.empty()) {
      out_ << YAML::Key << "groups" << YAML::Value << YAML::BeginSeq;
      for (const GroupDescription& g : d.groups) {
        out_ << YAML::Flow << YAML::BeginMap;
        if (!g.id.empty()) out_ << YAML::Key << "id" << YAML::Value << g.id;
        out_ << YAML::Key << "name" << YAML::Value << g.name;
        out_ << YAML::Key << "members" << YAML::Value << YAML::Flow << g.members;
        out_ << YAML::EndMap;
      }
      out_ << YAML::EndSeq;
    }
    out_ << YAML::EndMap;
    return std::string(out_.c_str()) + "\n";
  }

 private:
  void style(const char* key, const std::string& value) {
    if (!value.empty()) out_ << YAML::Key << key << YAML::Value << value;
  }
  void style(const char* key, int value) {
    if (value != 0) out_ << YAML::Key << key << YAML::Value << value;
  }
  void alignment(const std::string& value) {
    if (value != "centre") style("text_alignment", value);
  }

  void write_pool(const PoolDescription& pool) {
    out_ << YAML::BeginMap;
    out_ << YAML::Key << "name" << YAML::Value << pool.name;
    style("id", pool.id);
    if (pool.black_box) out_ << YAML::Key << "black_box" << YAML::Value << true;
    style("font", pool.font);
    style("font_size", pool.font_size);
    style("font_colour", pool.font_colour);
    style("fill_colour", pool.fill_colour);
    alignment(pool.text_alignment);
    if (!pool.lanes.empty()) {
      out_ << YAML::Key << "lanes" << YAML::Value << YAML::BeginSeq;
      for (const LaneDescription& lane : pool.lanes) write_lane(lane);
      out_ << YAML::EndSeq;
    }
    out_ << YAML::EndMap;
  }

  void write_lane(const LaneDescription& lane) {
    out_ << YAML::BeginMap;
    out_ << YAML::Key << "name" << YAML::Value << lane.name;
    style("id", lane.id);
    style("font", lane.font);
    style("font_size", lane.font_size);
    style("font_colour", lane.font_colour);
    style("fill_colour", lane.fill_colour);
    alignment(lane.text_alignment);
    style("background_fill_colour", lane.background_fill_colour);
    if (!lane.shapes.empty()) {
      out_ << YAML::Key << "shapes" << YAML::Value << YAML::BeginSeq;
      for (const ShapeDescription& s : lane.shapes) write_shape(s);
      out_ << YAML::EndSeq;
    }
    out_ << YAML::EndMap;
  }

  void write_shape(const ShapeDescription& s) {
    const TypeWord& word = *s.word;
    out_ << YAML::Flow << YAML::BeginMap;
    out_ << YAML::Key << "id" << YAML::Value << s.id;
    if (!s.name.empty()) out_ << YAML::Key << "name" << YAML::Value << s.name;
    out_ << YAML::Key << "type" << YAML::Value << word.word;
    if (word.boundary) out_ << YAML::Key << "attached_to" << YAML::Value << s.attached_to;
    const bool event_subprocess =
        word.type == ElementType::SUBPROCESS && word.form == SubprocessForm::EVENT;
    if (event_subprocess) {
      out_ << YAML::Key << "trigger" << YAML::Value << std::string(trigger_name(s.trigger));
    }
    const bool typed_start =
        word.type == ElementType::TYPED_EVENT && word.position == EventPosition::START;
    if (!s.interrupting && (typed_start || word.boundary || event_subprocess)) {
      out_ << YAML::Key << "interrupting" << YAML::Value << false;
    }
    std::vector<std::string> markers;
    if (s.loop == LoopType::STANDARD) markers.push_back("loop");
    if (s.loop == LoopType::PARALLEL) markers.push_back("parallel");
    if (s.loop == LoopType::SEQUENTIAL) markers.push_back("sequential");
    if (s.compensation) markers.push_back("compensation");
    if (s.ad_hoc) markers.push_back("ad_hoc");
    if (s.hide_marker) markers.push_back("none");
    if (markers.size() == 1) out_ << YAML::Key << "marker" << YAML::Value << markers.front();
    if (markers.size() > 1) out_ << YAML::Key << "marker" << YAML::Value << YAML::Flow << markers;
    if (s.collection) out_ << YAML::Key << "collection" << YAML::Value << true;
    out_ << YAML::EndMap;
  }

  void write_connection(const ConnectionDescription& c) {
    out_ << YAML::Flow << YAML::BeginMap;
    if (!c.id.empty()) out_ << YAML::Key << "id" << YAML::Value << c.id;
    out_ << YAML::Key << "from" << YAML::Value << c.from;
    out_ << YAML::Key << "to" << YAML::Value << c.to;
    if (!c.label.empty()) out_ << YAML::Key << "label" << YAML::Value << c.label;
    if (c.association) {
      out_ << YAML::Key << "type" << YAML::Value << "association";
      if (c.direction != AssociationDirection::NONE) {
        out_ << YAML::Key << "direction" << YAML::Value
             << (c.direction == AssociationDirection::ONE ? "one" : "both");
      }
    }
    if (c.is_default) out_ << YAML::Key << "default" << YAML::Value << true;
    if (!c.condition.empty()) out_ << YAML::Key << "condition" << YAML::Value << c.condition;
    out_ << YAML::EndMap;
  }

  YAML::Emitter out_;
};

}  // namespace

std::string description_to_yaml(const DiagramDescription& description) {
  return Writer().run(description);
}

}  // namespace orvane
