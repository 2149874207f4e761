// Writes a description in the format the loader reads: block style for the structure, one flow
// mapping per shape and connection, as the examples are written. libyaml's emitter does the
// quoting; text that a reader would take for a null, a boolean or a number is double-quoted.
#include "orvane/description_writer.hpp"

#include <yaml.h>

#include <limits>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace orvane {
namespace {

// Whether a plain scalar `text` would be read as something other than text by YAML readers
// (YAML 1.1 and 1.2 core schemas: null, booleans, numbers).
bool reads_as_non_text(std::string_view text) {
  static constexpr std::string_view kWords[] = {
      "",      "~",     "null",  "Null",  "NULL", "y",    "Y",    "yes",  "Yes",   "YES",
      "n",     "N",     "no",    "No",    "NO",   "true", "True", "TRUE", "false", "False",
      "FALSE", "on",    "On",    "ON",    "off",  "Off",  "OFF",  ".inf", ".Inf",  ".INF",
      "-.inf", "-.Inf", "-.INF", "+.inf", ".nan", ".NaN", ".NAN"};
  for (std::string_view word : kWords) {
    if (text == word) return true;
  }
  // Numbers: an optional sign, then digits, '.', '_', ':' (sexagesimal), exponents and the
  // 0x/0o/0b prefixes. Anything starting that way and made of number characters is quoted.
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i == text.size()) return false;
  if (!(text[i] >= '0' && text[i] <= '9') && !(text[i] == '.' && i + 1 < text.size())) {
    return false;
  }
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const bool number_char = (c >= '0' && c <= '9') || c == '.' || c == '_' || c == ':' ||
                             c == 'e' || c == 'E' || c == '+' || c == '-' || c == 'x' || c == 'o' ||
                             c == 'b' || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!number_char) return false;
  }
  return true;
}

// libyaml's emitter writing into a string: one call per event, failures thrown.
class Emitter {
 public:
  Emitter() {
    if (yaml_emitter_initialize(&emitter_) == 0) {
      throw std::runtime_error("cannot start the YAML writer");
    }
    yaml_emitter_set_output(&emitter_, &Emitter::append, &out_);
    yaml_emitter_set_unicode(&emitter_, 1);
    yaml_emitter_set_indent(&emitter_, 2);
    yaml_emitter_set_width(&emitter_, -1);  // one line per shape, however long
    yaml_event_t event;
    yaml_stream_start_event_initialize(&event, YAML_UTF8_ENCODING);
    emit(event);
    yaml_document_start_event_initialize(&event, nullptr, nullptr, nullptr, 1);
    emit(event);
  }
  ~Emitter() { yaml_emitter_delete(&emitter_); }
  Emitter(const Emitter&) = delete;
  Emitter& operator=(const Emitter&) = delete;

  void begin_map(bool flow) {
    yaml_event_t event;
    yaml_mapping_start_event_initialize(&event, nullptr, nullptr, 1,
                                        flow ? YAML_FLOW_MAPPING_STYLE : YAML_BLOCK_MAPPING_STYLE);
    emit(event);
  }
  void end_map() {
    yaml_event_t event;
    yaml_mapping_end_event_initialize(&event);
    emit(event);
  }
  void begin_seq(bool flow) {
    yaml_event_t event;
    yaml_sequence_start_event_initialize(
        &event, nullptr, nullptr, 1, flow ? YAML_FLOW_SEQUENCE_STYLE : YAML_BLOCK_SEQUENCE_STYLE);
    emit(event);
  }
  void end_seq() {
    yaml_event_t event;
    yaml_sequence_end_event_initialize(&event);
    emit(event);
  }
  // Text, quoted when it would read back as something else.
  void text(std::string_view value) {
    scalar(value,
           reads_as_non_text(value) ? YAML_DOUBLE_QUOTED_SCALAR_STYLE : YAML_ANY_SCALAR_STYLE);
  }
  // A number or a boolean, written plain.
  void plain(std::string_view value) { scalar(value, YAML_PLAIN_SCALAR_STYLE); }

  std::string finish() {
    yaml_event_t event;
    yaml_document_end_event_initialize(&event, 1);
    emit(event);
    yaml_stream_end_event_initialize(&event);
    emit(event);
    yaml_emitter_flush(&emitter_);
    return std::move(out_);
  }

 private:
  static int append(void* data, unsigned char* buffer, size_t size) {
    static_cast<std::string*>(data)->append(reinterpret_cast<const char*>(buffer), size);
    return 1;
  }
  void scalar(std::string_view value, yaml_scalar_style_t style) {
    if (value.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      throw std::invalid_argument("cannot write the description: a text is too long");
    }
    yaml_event_t event;
    // libyaml copies the text, and refuses text that is not UTF-8.
    if (yaml_scalar_event_initialize(
            &event, nullptr, nullptr,
            reinterpret_cast<yaml_char_t*>(const_cast<char*>(value.data())),
            static_cast<int>(value.size()), 1, 1, style) == 0) {
      throw std::invalid_argument("cannot write the description: a text is not UTF-8");
    }
    emit(event);
  }
  void emit(yaml_event_t& event) {
    // The emitter takes the event (and frees it) whether or not it succeeds.
    if (yaml_emitter_emit(&emitter_, &event) == 0) {
      throw std::runtime_error(std::string("cannot write the description: ") +
                               (emitter_.problem != nullptr ? emitter_.problem : "unknown"));
    }
  }

  yaml_emitter_t emitter_{};
  std::string out_;
};

class Writer {
 public:
  std::string run(const DiagramDescription& d) {
    out_.begin_map(false);
    entry("title", d.title);
    const DiagramDescription defaults;
    if (d.theme != defaults.theme) entry("theme", d.theme);
    if (d.painter) entry("painter", *d.painter);
    if (d.width != defaults.width) number("width", d.width);
    if (d.height != defaults.height) number("height", d.height);
    if (d.auto_size != defaults.auto_size) flag("auto_size", d.auto_size);
    if (d.title_font_size) number("title_font_size", *d.title_font_size);
    if (d.element_font_size) number("element_font_size", *d.element_font_size);
    if (d.footer) {
      out_.text("footer");
      out_.begin_map(true);
      entry("text", d.footer->text);
      style("font", d.footer->font);
      style("font_size", d.footer->font_size);
      style("font_colour", d.footer->font_colour);
      out_.end_map();
    }
    if (!d.pools.empty()) {
      out_.text("pools");
      out_.begin_seq(false);
      for (const PoolDescription& pool : d.pools) write_pool(pool);
      out_.end_seq();
    }
    if (!d.lanes.empty()) {
      out_.text("lanes");
      out_.begin_seq(false);
      for (const LaneDescription& lane : d.lanes) write_lane(lane);
      out_.end_seq();
    }
    if (!d.connections.empty()) {
      out_.text("connections");
      out_.begin_seq(false);
      for (const ConnectionDescription& c : d.connections) write_connection(c);
      out_.end_seq();
    }
    if (!d.annotations.empty()) {
      out_.text("annotations");
      out_.begin_seq(false);
      for (const AnnotationDescription& a : d.annotations) {
        out_.begin_map(true);
        style("id", a.id);
        entry("text", a.text);
        entry("on", a.on);
        out_.end_map();
      }
      out_.end_seq();
    }
    if (!d.groups.empty()) {
      out_.text("groups");
      out_.begin_seq(false);
      for (const GroupDescription& g : d.groups) {
        out_.begin_map(true);
        style("id", g.id);
        entry("name", g.name);
        list("members", g.members);
        out_.end_map();
      }
      out_.end_seq();
    }
    out_.end_map();
    return out_.finish();
  }

 private:
  void entry(const char* key, std::string_view value) {
    out_.text(key);
    out_.text(value);
  }
  void number(const char* key, int value) {
    out_.text(key);
    out_.plain(std::to_string(value));
  }
  void flag(const char* key, bool value) {
    out_.text(key);
    out_.plain(value ? "true" : "false");
  }
  void list(const char* key, const std::vector<std::string>& values) {
    out_.text(key);
    out_.begin_seq(true);
    for (const std::string& value : values) out_.text(value);
    out_.end_seq();
  }
  void style(const char* key, const std::string& value) {
    if (!value.empty()) entry(key, value);
  }
  void style(const char* key, int value) {
    if (value != 0) number(key, value);
  }
  void alignment(const std::string& value) {
    if (value != "centre") style("text_alignment", value);
  }

  void write_pool(const PoolDescription& pool) {
    out_.begin_map(false);
    entry("name", pool.name);
    style("id", pool.id);
    if (pool.black_box) flag("black_box", true);
    style("font", pool.font);
    style("font_size", pool.font_size);
    style("font_colour", pool.font_colour);
    style("fill_colour", pool.fill_colour);
    alignment(pool.text_alignment);
    if (!pool.lanes.empty()) {
      out_.text("lanes");
      out_.begin_seq(false);
      for (const LaneDescription& lane : pool.lanes) write_lane(lane);
      out_.end_seq();
    }
    out_.end_map();
  }

  void write_lane(const LaneDescription& lane) {
    out_.begin_map(false);
    entry("name", lane.name);
    style("id", lane.id);
    style("font", lane.font);
    style("font_size", lane.font_size);
    style("font_colour", lane.font_colour);
    style("fill_colour", lane.fill_colour);
    alignment(lane.text_alignment);
    style("background_fill_colour", lane.background_fill_colour);
    if (!lane.shapes.empty()) {
      out_.text("shapes");
      out_.begin_seq(false);
      for (const ShapeDescription& s : lane.shapes) write_shape(s);
      out_.end_seq();
    }
    out_.end_map();
  }

  void write_shape(const ShapeDescription& s) {
    const TypeWord& word = *s.word;
    out_.begin_map(true);
    entry("id", s.id);
    style("name", s.name);
    entry("type", word.word);
    if (word.boundary) entry("attached_to", s.attached_to);
    const bool event_subprocess =
        word.type == ElementType::SUBPROCESS && word.form == SubprocessForm::EVENT;
    if (event_subprocess) entry("trigger", trigger_name(s.trigger));
    const bool typed_start =
        word.type == ElementType::TYPED_EVENT && word.position == EventPosition::START;
    if (!s.interrupting && (typed_start || word.boundary || event_subprocess)) {
      flag("interrupting", false);
    }
    std::vector<std::string> markers;
    if (s.loop == LoopType::STANDARD) markers.push_back("loop");
    if (s.loop == LoopType::PARALLEL) markers.push_back("parallel");
    if (s.loop == LoopType::SEQUENTIAL) markers.push_back("sequential");
    if (s.compensation) markers.push_back("compensation");
    if (s.ad_hoc) markers.push_back("ad_hoc");
    if (s.hide_marker) markers.push_back("none");
    if (markers.size() == 1) entry("marker", markers.front());
    if (markers.size() > 1) list("marker", markers);
    if (s.collection) flag("collection", true);
    style("fill_colour", s.fill_colour);
    style("outline_colour", s.outline_colour);
    style("font_colour", s.font_colour);
    out_.end_map();
  }

  void write_connection(const ConnectionDescription& c) {
    out_.begin_map(true);
    style("id", c.id);
    entry("from", c.from);
    entry("to", c.to);
    style("label", c.label);
    if (c.association) {
      entry("type", "association");
      if (c.direction != AssociationDirection::NONE) {
        entry("direction", c.direction == AssociationDirection::ONE ? "one" : "both");
      }
    }
    if (c.is_default) flag("default", true);
    style("condition", c.condition);
    out_.end_map();
  }

  Emitter out_;
};

}  // namespace

std::string description_to_yaml(const DiagramDescription& description) {
  return Writer().run(description);
}

}  // namespace orvane
