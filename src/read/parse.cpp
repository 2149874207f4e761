// Reads a description into a compact YAML tree (libyaml) and checks it against the format: known
// keys only, values of the right kind, unique ids, connections between known shapes, and the
// rules a diagram must meet to be drawn. Every refusal carries the file, line and column of the
// node at fault.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "orvane/helper.hpp"
#include "orvane/loader.hpp"
#include "orvane/theme.hpp"
#include "orvane/vocabulary.hpp"
#include "yaml_tree.hpp"

namespace orvane {
namespace {

std::string format_error(const std::string& source, SourceMark mark, const std::string& message) {
  if (mark.line > 0) {
    return fmt::format("{}:{}:{}: error: {}", source, mark.line, mark.column, message);
  }
  return fmt::format("{}: error: {}", source, message);
}

// Edit distance counting a swap of two neighbours as one edit, for "did you mean" hints.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// " (did you mean 'x'?)" when one candidate is close to `word`, else "".
std::string suggestion(std::string_view word, const std::vector<std::string>& candidates) {
  if (word.size() > 64) return "";
  std::string best;
  std::size_t best_distance = std::numeric_limits<std::size_t>::max();
  for (const auto& candidate : candidates) {
    std::size_t d = edit_distance(word, candidate);
    if (d < best_distance) {
      best_distance = d;
      best = candidate;
    }
  }
  std::size_t allowed = std::max<std::size_t>(1, std::min(word.size(), best.size()) / 3);
  if (best.empty() || best_distance > allowed) return "";
  return fmt::format(" (did you mean {}?)", Helper::quoted(best));
}

std::string join(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    out += item;
  }
  return out;
}

const char* kind_of(const YamlNode& node) {
  if (node.is_map()) return "a mapping";
  if (node.is_sequence()) return "a list";
  if (node.is_scalar()) return "a single value";
  return "nothing";
}

// Walks the YAML tree of one description; `context` texts name where a node sits.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const YamlNode& node, const std::string& message) const {
    throw DescriptionError(source_, mark_of(node), message);
  }
  [[noreturn]] void fail(SourceMark mark, const std::string& message) const {
    throw DescriptionError(source_, mark, message);
  }

  SourceMark mark_of(const YamlNode& node) const {
    SourceMark mark = node.mark();
    return mark.line > 0 ? mark : last_mark_;
  }

  // The keys of a mapping, each checked to be known and to appear once. `required` keys must
  // be present; the mark of the mapping names a missing one.
  std::map<std::string, YamlNode> fields(const YamlNode& node, const std::string& what,
                                         const std::vector<std::string>& known,
                                         std::initializer_list<const char*> required) {
    if (!node.is_map())
      fail(node, fmt::format("{} must be a mapping of keys, got {}", what, kind_of(node)));
    last_mark_ = mark_of(node);
    std::map<std::string, YamlNode> out;
    std::map<std::string, SourceMark> seen;
    for (std::size_t i = 0; i < node.size(); ++i) {
      YamlNode key = node.key(i);
      if (!key.is_scalar())
        fail(key, fmt::format("a key in {} must be a single word, got {}", what, kind_of(key)));
      std::string name(key.scalar());
      if (std::find(known.begin(), known.end(), name) == known.end()) {
        fail(key, fmt::format("unknown key {} in {}{}; expected one of: {}", Helper::quoted(name),
                              what, suggestion(name, known), join(known)));
      }
      if (auto previous = seen.find(name); previous != seen.end()) {
        fail(key, fmt::format("duplicate key {} in {} (first given at line {}, column {})",
                              Helper::quoted(name), what, previous->second.line,
                              previous->second.column));
      }
      seen[name] = mark_of(key);
      out[name] = node.value(i);
    }
    for (const char* name : required) {
      if (out.find(name) == out.end()) {
        fail(node, fmt::format("{} is missing its {} key", what, Helper::quoted(name)));
      }
    }
    return out;
  }

  std::string text(const YamlNode& node, const std::string& what) const {
    if (node.is_null()) return "";
    if (!node.is_scalar())
      fail(node, fmt::format("{} must be a text, got {}", what, kind_of(node)));
    return std::string(node.scalar());
  }

  int integer(const YamlNode& node, const std::string& what, int low, int high) const {
    std::string hint = fmt::format("{} must be a whole number from {} to {}", what, low, high);
    if (!node.is_scalar()) fail(node, fmt::format("{}, got {}", hint, kind_of(node)));
    std::string value(node.scalar());
    long long number = 0;
    const char* first = value.data();
    const char* last = value.data() + value.size();
    if (first != last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, number);
    if (error == std::errc::result_out_of_range) {
      fail(node, fmt::format("{}, got a number far out of range", hint));
    }
    if (error != std::errc() || end != last || first == last) {
      fail(node, fmt::format("{}, got {}", hint, Helper::quoted(Helper::char_prefix(value, 40))));
    }
    if (number < low || number > high) fail(node, fmt::format("{}, got {}", hint, number));
    return static_cast<int>(number);
  }

  bool boolean(const YamlNode& node, const std::string& what) const {
    static const std::set<std::string> yes = {"true", "True", "TRUE", "yes", "Yes", "on", "On"};
    static const std::set<std::string> no = {"false", "False", "FALSE", "no", "No", "off", "Off"};
    const std::string value(node.scalar());
    if (node.is_scalar()) {
      if (yes.count(value) != 0) return true;
      if (no.count(value) != 0) return false;
    }
    fail(node, fmt::format("{} must be true or false, got {}", what,
                           node.is_scalar() ? Helper::quoted(Helper::char_prefix(value, 40))
                                            : std::string(kind_of(node))));
  }

  // A list; a missing value (the key given with nothing after it) counts as an empty list.
  std::vector<YamlNode> list(const YamlNode& node, const std::string& what) const {
    if (node.is_null()) return {};
    if (!node.is_sequence())
      fail(node, fmt::format("{} must be a list, got {}", what, kind_of(node)));
    std::vector<YamlNode> items;
    items.reserve(node.size());
    for (std::size_t i = 0; i < node.size(); ++i) items.push_back(node.item(i));
    return items;
  }

  const std::string& source() const { return source_; }

 private:
  std::string source_;
  SourceMark last_mark_{1, 1};
};

const std::vector<std::string> kRootKeys = {
    "title",       "theme",           "painter",           "width", "height", "auto_size",
    "footer",      "title_font_size", "element_font_size", "pools", "lanes",  "connections",
    "annotations", "groups"};
const std::vector<std::string> kPoolKeys = {
    "name",        "id",          "black_box",      "font", "font_size",
    "font_colour", "fill_colour", "text_alignment", "lanes"};
const std::vector<std::string> kLaneKeys = {
    "name",        "id",          "font",           "font_size",
    "font_colour", "fill_colour", "text_alignment", "background_fill_colour",
    "shapes"};
const std::vector<std::string> kShapeKeys = {
    "id",         "name",    "type",        "attached_to",    "interrupting", "marker",
    "collection", "trigger", "fill_colour", "outline_colour", "font_colour"};
const std::vector<std::string> kFooterKeys = {"text", "font", "font_size", "font_colour"};
const std::vector<std::string> kConnectionKeys = {"id",      "from",      "to",   "label",
                                                  "default", "condition", "type", "direction"};
const std::vector<std::string> kAnnotationKeys = {"id", "text", "on"};
const std::vector<std::string> kGroupKeys = {"id", "name", "members"};
const std::vector<std::string> kActivityMarkers = {"loop", "parallel", "sequential", "compensation",
                                                   "ad_hoc"};
const std::vector<std::string> kGatewayMarkers = {"x", "none"};
const std::vector<std::string> kDirections = {"none", "one", "both"};
const std::vector<std::string> kConnectionTypes = {"association"};

std::vector<std::string> trigger_words(const std::vector<EventTrigger>& triggers) {
  std::vector<std::string> out;
  for (EventTrigger t : triggers) out.emplace_back(trigger_name(t));
  return out;
}

bool is_activity(const TypeWord& word) {
  return word.type == ElementType::TASK || word.type == ElementType::SUBPROCESS;
}

class DescriptionParser {
 public:
  DescriptionParser(const YamlNode& root, const std::string& source, const InputLimits& limits)
      : root_(root), r_(source), limits_(limits) {}

  DiagramDescription run() {
    DiagramDescription d;
    d.source = r_.source();
    if (root_.is_null()) {
      r_.fail(SourceMark{1, 1},
              "the file holds no description; expected a mapping with "
              "'pools' or 'lanes'");
    }
    auto f = r_.fields(root_, "the description", kRootKeys, {});
    if (auto it = f.find("title"); it != f.end()) d.title = r_.text(it->second, "'title'");
    if (auto it = f.find("theme"); it != f.end()) {
      d.theme = r_.text(it->second, "'theme'");
      d.theme_mark = r_.mark_of(it->second);
    }
    if (auto it = f.find("painter"); it != f.end()) {
      d.painter = r_.text(it->second, "'painter'");
      d.painter_mark = r_.mark_of(it->second);
    }
    if (auto it = f.find("width"); it != f.end()) {
      d.width = r_.integer(it->second, "'width'", LoadLimits::MIN_CANVAS, LoadLimits::MAX_CANVAS);
    }
    if (auto it = f.find("height"); it != f.end()) {
      d.height = r_.integer(it->second, "'height'", LoadLimits::MIN_CANVAS, LoadLimits::MAX_CANVAS);
    }
    if (auto it = f.find("auto_size"); it != f.end()) {
      d.auto_size = r_.boolean(it->second, "'auto_size'");
    }
    if (auto it = f.find("title_font_size"); it != f.end()) {
      d.title_font_size = font_size(it->second, "'title_font_size'");
    }
    if (auto it = f.find("element_font_size"); it != f.end()) {
      d.element_font_size = font_size(it->second, "'element_font_size'");
    }
    if (auto it = f.find("footer"); it != f.end()) d.footer = footer(it->second);
    if (auto it = f.find("pools"); it != f.end()) {
      for (const auto& node : r_.list(it->second, "'pools'")) d.pools.push_back(pool(node));
    }
    if (auto it = f.find("lanes"); it != f.end()) {
      for (const auto& node : r_.list(it->second, "'lanes'")) {
        d.lanes.push_back(lane(node, "a lane"));
      }
    }
    index_shapes(d);
    check_attachments(d);
    if (auto it = f.find("connections"); it != f.end()) {
      for (const auto& node : r_.list(it->second, "'connections'")) {
        d.connections.push_back(connection(node));
      }
    }
    if (auto it = f.find("annotations"); it != f.end()) {
      for (const auto& node : r_.list(it->second, "'annotations'")) {
        d.annotations.push_back(annotation(node));
      }
    }
    if (auto it = f.find("groups"); it != f.end()) {
      for (const auto& node : r_.list(it->second, "'groups'")) d.groups.push_back(group(node));
    }
    check_drawable(d);
    return d;
  }

 private:
  int font_size(const YamlNode& node, const std::string& what) {
    return r_.integer(node, what, 1, LoadLimits::MAX_FONT_SIZE);
  }

  // A style font size, where 0 means "the theme's".
  int style_font_size(const std::map<std::string, YamlNode>& f, const std::string& what) {
    auto it = f.find("font_size");
    if (it == f.end()) return 0;
    return r_.integer(it->second, "the 'font_size' of " + what, 0, LoadLimits::MAX_FONT_SIZE);
  }

  std::string style_text(const std::map<std::string, YamlNode>& f, const char* key,
                         const std::string& what, std::string fallback = "") {
    auto it = f.find(key);
    if (it == f.end()) return fallback;
    return r_.text(it->second, fmt::format("the {} of {}", Helper::quoted(key), what));
  }

  // A colour key: refused here, at its place in the file, when the painters cannot draw it.
  std::string colour_text(const std::map<std::string, YamlNode>& f, const char* key,
                          const std::string& what) {
    std::string value = style_text(f, key, what);
    if (value.empty()) return value;
    try {
      parse_colour(value);
    } catch (const std::invalid_argument& e) {
      r_.fail(f.at(key), fmt::format("the {} of {}: {}", Helper::quoted(key), what, e.what()));
    }
    return value;
  }

  FooterDescription footer(const YamlNode& node) {
    FooterDescription out;
    if (node.is_scalar() || node.is_null()) {
      out.text = r_.text(node, "'footer'");
      return out;
    }
    auto f = r_.fields(node, "'footer'", kFooterKeys, {"text"});
    out.text = r_.text(f["text"], "the footer's 'text'");
    out.font = style_text(f, "font", "the footer");
    out.font_size = style_font_size(f, "the footer");
    out.font_colour = colour_text(f, "font_colour", "the footer");
    return out;
  }

  PoolDescription pool(const YamlNode& node) {
    PoolDescription out;
    out.mark = r_.mark_of(node);
    auto f = r_.fields(node, "a pool", kPoolKeys, {"name"});
    out.name = r_.text(f["name"], "a pool's 'name'");
    std::string what = fmt::format("pool {}", Helper::quoted(out.name));
    if (auto it = f.find("black_box"); it != f.end()) {
      out.black_box = r_.boolean(it->second, "the 'black_box' of " + what);
    }
    if (auto it = f.find("id"); it != f.end()) {
      out.id = declare_id(it->second, "a pool's 'id'");
    } else if (out.black_box) {
      // A black-box pool is named by connections; its name serves as its id.
      if (out.name.empty()) r_.fail(out.mark, "a black-box pool without a name needs an 'id'");
      out.id = out.name;
      claim_id(out.id, out.mark);
    }
    out.font = style_text(f, "font", what);
    out.font_size = style_font_size(f, what);
    out.font_colour = colour_text(f, "font_colour", what);
    out.fill_colour = colour_text(f, "fill_colour", what);
    out.text_alignment = style_text(f, "text_alignment", what, "centre");
    auto lanes = f.find("lanes");
    if (lanes != f.end()) {
      for (const auto& lane_node : r_.list(lanes->second, "the 'lanes' of " + what)) {
        out.lanes.push_back(lane(lane_node, "a lane of " + what));
      }
    }
    if (out.black_box) {
      if (!out.lanes.empty()) {
        r_.fail(
            r_.mark_of(lanes->second),
            fmt::format("{} is a black box; a pool whose process is not shown has no lanes", what));
      }
      black_boxes_[out.id] = out.mark;
    } else if (out.lanes.empty()) {
      r_.fail(lanes == f.end() || lanes->second.is_null() ? out.mark : r_.mark_of(lanes->second),
              fmt::format("{} has no lanes; a pool needs at least one lane, or 'black_box: true' "
                          "when its process is not shown",
                          what));
    }
    return out;
  }

  LaneDescription lane(const YamlNode& node, const std::string& context) {
    LaneDescription out;
    out.mark = r_.mark_of(node);
    auto f = r_.fields(node, context, kLaneKeys, {"name"});
    out.name = r_.text(f["name"], "a lane's 'name'");
    std::string what = fmt::format("lane {}", Helper::quoted(out.name));
    if (auto it = f.find("id"); it != f.end()) out.id = declare_id(it->second, "a lane's 'id'");
    out.font = style_text(f, "font", what);
    out.font_size = style_font_size(f, what);
    out.font_colour = colour_text(f, "font_colour", what);
    out.fill_colour = colour_text(f, "fill_colour", what);
    out.text_alignment = style_text(f, "text_alignment", what, "centre");
    out.background_fill_colour = colour_text(f, "background_fill_colour", what);
    if (auto it = f.find("shapes"); it != f.end()) {
      for (const auto& shape_node : r_.list(it->second, "the 'shapes' of " + what)) {
        out.shapes.push_back(shape(shape_node, "a shape of " + what));
      }
    }
    return out;
  }

  // Shapes, annotations and groups count towards one limit.
  void count_shape(SourceMark mark) {
    if (++shape_count_ > limits_.max_shapes) {
      r_.fail(mark, limit_exceeded(limits_.max_shapes, "shapes", "--max-shapes"));
    }
  }

  // Records an id in the description's one namespace; a second use is refused where it is.
  void claim_id(const std::string& id, SourceMark mark, const char* what = "id") {
    if (auto previous = ids_.find(id); previous != ids_.end()) {
      r_.fail(mark,
              fmt::format("duplicate {} {} (first used at line {}, column {})", what,
                          Helper::quoted(id), previous->second.line, previous->second.column));
    }
    ids_[id] = mark;
    id_list_.push_back(id);
  }

  // An explicit, non-empty id.
  std::string declare_id(const YamlNode& node, const std::string& what) {
    std::string id = r_.text(node, what);
    if (id.empty()) r_.fail(node, what + " must not be empty");
    claim_id(id, r_.mark_of(node));
    return id;
  }

  // One word of `options`, or a refusal listing them: "unknown NOUN 'value' WHERE ...".
  std::size_t choice(const YamlNode& node, const std::string& noun, const std::string& where,
                     const std::vector<std::string>& options) {
    std::string value = r_.text(node, fmt::format("the {}{}", noun, where));
    auto found = std::find(options.begin(), options.end(), value);
    if (found == options.end()) {
      r_.fail(node, fmt::format("unknown {} {}{}{}; expected one of: {}", noun,
                                Helper::quoted(Helper::char_prefix(value, 60)), where,
                                suggestion(value, options), join(options)));
    }
    return static_cast<std::size_t>(found - options.begin());
  }

  ShapeDescription shape(const YamlNode& node, const std::string& context) {
    ShapeDescription out;
    out.mark = r_.mark_of(node);
    count_shape(out.mark);
    auto f = r_.fields(node, context, kShapeKeys, {"type"});
    if (auto it = f.find("name"); it != f.end()) out.name = r_.text(it->second, "a shape's 'name'");
    SourceMark id_mark = out.mark;
    if (auto it = f.find("id"); it != f.end()) {
      out.id = r_.text(it->second, "a shape's 'id'");
      id_mark = r_.mark_of(it->second);
      if (out.id.empty()) r_.fail(id_mark, "a shape's 'id' must not be empty");
    } else {
      out.id = out.name;
      if (out.id.empty()) {
        r_.fail(out.mark, "a shape without a name needs an 'id' (its id defaults to its name)");
      }
    }
    const YamlNode& type_node = f["type"];
    std::string type = r_.text(type_node, "a shape's 'type'");
    out.word = find_type_word(type);
    if (out.word == nullptr) {
      const auto& names = type_word_names();
      r_.fail(type_node, fmt::format("unknown shape type {}{}; expected one of: {}",
                                     Helper::quoted(Helper::char_prefix(type, 60)),
                                     suggestion(type, names), join(names)));
    }
    out.type = out.word->type;
    const std::string what =
        fmt::format("shape {} of type {}", Helper::quoted(out.id), Helper::quoted(out.word->word));
    shape_details(f, what, out);
    out.fill_colour = colour_text(f, "fill_colour", what);
    out.outline_colour = colour_text(f, "outline_colour", what);
    out.font_colour = colour_text(f, "font_colour", what);
    claim_id(out.id, id_mark, "shape id");
    return out;
  }

  // The keys that say more about a shape than its type: each only where it means something.
  void shape_details(std::map<std::string, YamlNode>& f, const std::string& what,
                     ShapeDescription& out) {
    const TypeWord& word = *out.word;
    auto refuse = [&](const char* key, const std::string& why) {
      r_.fail(f[key].is_null() ? out.mark : r_.mark_of(f[key]),
              fmt::format("{} takes no {}: {}", what, Helper::quoted(key), why));
    };
    if (auto it = f.find("attached_to"); it != f.end()) {
      if (!word.boundary) {
        refuse("attached_to",
               "only boundary events (timer_boundary, error_boundary, ...) sit on "
               "an activity");
      }
      out.attached_to = r_.text(it->second, "the 'attached_to' of " + what);
      out.attached_mark = r_.mark_of(it->second);
    } else if (word.boundary) {
      r_.fail(out.mark, fmt::format("{} needs 'attached_to' naming the activity it sits on", what));
    }
    const bool event_subprocess =
        word.type == ElementType::SUBPROCESS && word.form == SubprocessForm::EVENT;
    if (auto it = f.find("trigger"); it != f.end()) {
      if (!event_subprocess) refuse("trigger", "only an event_subprocess is opened by a trigger");
      EventUse use;
      use.in_event_subprocess = true;
      const auto options = allowed_triggers(use);
      out.trigger =
          options[choice(it->second, "trigger", fmt::format(" of shape {}", Helper::quoted(out.id)),
                         trigger_words(options))];
    } else if (event_subprocess) {
      EventUse use;
      use.in_event_subprocess = true;
      r_.fail(out.mark, fmt::format("{} needs a 'trigger' for the start event that opens it; "
                                    "expected one of: {}",
                                    what, join(trigger_words(allowed_triggers(use)))));
    }
    if (auto it = f.find("interrupting"); it != f.end()) {
      const bool typed_start =
          word.type == ElementType::TYPED_EVENT && word.position == EventPosition::START;
      if (!typed_start && !word.boundary && !event_subprocess) {
        refuse("interrupting",
               "it applies to typed start events (message_start, timer_start, "
               "...), boundary events and event sub-processes");
      }
      out.interrupting = r_.boolean(it->second, "the 'interrupting' of " + what);
      EventUse use;
      use.position = word.boundary ? EventPosition::INTERMEDIATE : EventPosition::START;
      use.boundary = word.boundary;
      use.in_event_subprocess = event_subprocess;
      const EventTrigger trigger = event_subprocess ? out.trigger : word.trigger;
      if (!out.interrupting && !may_be_non_interrupting(trigger, use)) {
        r_.fail(it->second, fmt::format("{} always interrupts: BPMN has no non-interrupting {} "
                                        "event {}",
                                        what, trigger_name(trigger),
                                        word.boundary ? "on a boundary" : "at a start"));
      }
    }
    if (auto it = f.find("marker"); it != f.end()) {
      markers(it->second, what, fmt::format(" on shape {}", Helper::quoted(out.id)), out);
    }
    if (auto it = f.find("collection"); it != f.end()) {
      if (word.type != ElementType::DATA_OBJECT) {
        refuse("collection", "only data objects, inputs and outputs are collections");
      }
      out.collection = r_.boolean(it->second, "the 'collection' of " + what);
    }
  }

  // `marker: WORD` or `marker: [WORD, ...]`: activity markers, or `none` for an exclusive
  // gateway drawn without its X.
  void markers(const YamlNode& node, const std::string& what, const std::string& where,
               ShapeDescription& out) {
    const TypeWord& word = *out.word;
    std::vector<YamlNode> items;
    if (node.is_sequence()) {
      items = r_.list(node, "the 'marker' of " + what);
    } else {
      items.push_back(node);
    }
    if (word.type == ElementType::EXCLUSIVE) {
      for (const auto& item : items) {
        out.hide_marker = choice(item, "marker", where, kGatewayMarkers) == 1;
      }
      return;
    }
    if (!is_activity(word)) {
      r_.fail(node, fmt::format("{} takes no 'marker': markers belong to activities (and "
                                "'none' to an exclusive gateway)",
                                what));
    }
    for (const auto& item : items) {
      const std::size_t index = choice(item, "marker", where, kActivityMarkers);
      if (index <= 2) {
        if (out.loop != LoopType::NONE) {
          r_.fail(item, fmt::format("{} has two loop markers; an activity loops in one way", what));
        }
        out.loop = index == 0   ? LoopType::STANDARD
                   : index == 1 ? LoopType::PARALLEL
                                : LoopType::SEQUENTIAL;
      } else if (index == 3) {
        out.compensation = true;
      } else {
        if (word.type != ElementType::SUBPROCESS || word.form != SubprocessForm::EMBEDDED) {
          r_.fail(item, fmt::format("{} cannot be ad hoc; only a subprocess can", what));
        }
        out.ad_hoc = true;
      }
    }
  }

  // Where each shape is, by id, once every lane is read.
  struct ShapeEntry {
    const ShapeDescription* shape;
    std::size_t pool;
  };

  void index_shapes(const DiagramDescription& d) {
    std::size_t pool_number = 0;
    for (const auto& pool : d.pools) {
      for (const auto& lane : pool.lanes) {
        for (const auto& s : lane.shapes) index_shape(s, pool_number);
      }
      ++pool_number;
    }
    for (const auto& lane : d.lanes) {
      for (const auto& s : lane.shapes) index_shape(s, pool_number);
      ++pool_number;
    }
  }

  void index_shape(const ShapeDescription& s, std::size_t pool_number) {
    shapes_[s.id] = {&s, pool_number};
    id_by_name_.emplace(s.name, s.id);
  }

  const ShapeEntry* shape_entry(const std::string& id) const {
    auto it = shapes_.find(id);
    return it == shapes_.end() ? nullptr : &it->second;
  }

  [[noreturn]] void unknown_id(const YamlNode& node, SourceMark mark, const std::string& what,
                               const std::string& id) {
    std::string hint;
    // Shapes are named by id; a shape's name is the likely slip.
    if (auto named = id_by_name_.find(id); named != id_by_name_.end()) {
      hint = fmt::format(" (did you mean the shape with id {} named {}?)",
                         Helper::quoted(named->second), Helper::quoted(id));
    } else if (id_list_.size() <= 500) {
      hint = suggestion(id, id_list_);
    }
    const std::string message = fmt::format("{} names unknown shape id {}{}", what,
                                            Helper::quoted(Helper::char_prefix(id, 60)), hint);
    if (node) r_.fail(node, message);
    r_.fail(mark, message);
  }

  void check_attachments(const DiagramDescription& d) {
    auto check = [&](const LaneDescription& lane) {
      for (const auto& s : lane.shapes) {
        if (s.attached_to.empty() && !s.word->boundary) continue;
        const ShapeEntry* host = shape_entry(s.attached_to);
        const std::string what = fmt::format("the 'attached_to' of {}", Helper::quoted(s.id));
        if (host == nullptr) unknown_id(YamlNode(), s.attached_mark, what, s.attached_to);
        if (!is_activity(*host->shape->word)) {
          r_.fail(
              s.attached_mark,
              fmt::format("{} names {} of type {}; a boundary event sits on an activity", what,
                          Helper::quoted(s.attached_to), Helper::quoted(host->shape->word->word)));
        }
        const bool transaction = host->shape->word->type == ElementType::SUBPROCESS &&
                                 host->shape->word->form == SubprocessForm::TRANSACTION;
        if (s.word->trigger == EventTrigger::CANCEL && !transaction) {
          r_.fail(s.attached_mark, fmt::format("{} names {}; a cancel boundary event sits only "
                                               "on a transaction",
                                               what, Helper::quoted(s.attached_to)));
        }
      }
    };
    for (const auto& pool : d.pools) {
      for (const auto& lane : pool.lanes) check(lane);
    }
    for (const auto& lane : d.lanes) check(lane);
  }

  ConnectionDescription connection(const YamlNode& node) {
    ConnectionDescription out;
    out.mark = r_.mark_of(node);
    if (++connection_count_ > limits_.max_connections) {
      r_.fail(out.mark,
              limit_exceeded(limits_.max_connections, "connections", "--max-connections"));
    }
    auto f = r_.fields(node, "a connection", kConnectionKeys, {"from", "to"});
    if (auto it = f.find("id"); it != f.end())
      out.id = declare_id(it->second, "a connection's 'id'");
    out.from = endpoint(f["from"], "from");
    out.to = endpoint(f["to"], "to");
    if (auto it = f.find("label"); it != f.end()) {
      out.label = r_.text(it->second, "a connection's 'label'");
    }
    const std::string what = fmt::format("the connection from {} to {}", Helper::quoted(out.from),
                                         Helper::quoted(out.to));
    if (auto it = f.find("type"); it != f.end()) {
      choice(it->second, "connection type", "",
             kConnectionTypes);  // sequence, message and data flows follow from the ends
      out.association = true;
    }
    if (auto it = f.find("direction"); it != f.end()) {
      if (!out.association) {
        r_.fail(it->second, fmt::format("{} takes no 'direction': only associations "
                                        "('type: association') have one",
                                        what));
      }
      out.direction = static_cast<AssociationDirection>(
          choice(it->second, "direction", " of " + what, kDirections));
    }
    const ShapeEntry* from = shape_entry(out.from);
    const ShapeEntry* to = shape_entry(out.to);
    if (to != nullptr && to->shape->word->boundary) {
      r_.fail(f["to"], fmt::format("{} leads into boundary event {}; a boundary event only "
                                   "leads on",
                                   what, Helper::quoted(out.to)));
    }
    if (from == nullptr || to == nullptr) {
      // One end is a black-box pool: only a message from or to a flow element fits.
      const ShapeEntry* other = from != nullptr ? from : to;
      if (other == nullptr) {
        r_.fail(out.mark, fmt::format("{} joins two black-box pools; connect one of them to a "
                                      "shape of a pool whose process is shown",
                                      what));
      }
      if (other->shape->type == ElementType::DATA_OBJECT ||
          other->shape->type == ElementType::DATA_STORE || out.association) {
        r_.fail(out.mark, fmt::format("{} is not a message; a black-box pool only sends and "
                                      "receives messages",
                                      what));
      }
    }
    const bool same_pool = from != nullptr && to != nullptr && from->pool == to->pool;
    if (auto it = f.find("default"); it != f.end()) {
      out.is_default = r_.boolean(it->second, "the 'default' of " + what);
      if (out.is_default) {
        if (!same_pool || out.association) {
          r_.fail(it->second, fmt::format("{} cannot be a default flow: only a sequence flow "
                                          "inside one pool can",
                                          what));
        }
        if (auto [previous, fresh] = defaults_.try_emplace(out.from, r_.mark_of(it->second));
            !fresh) {
          r_.fail(it->second, fmt::format("shape {} has a second default flow (the first is at "
                                          "line {}, column {}); one flow is the default",
                                          Helper::quoted(out.from), previous->second.line,
                                          previous->second.column));
        }
      }
    }
    if (auto it = f.find("condition"); it != f.end()) {
      out.condition = r_.text(it->second, "the 'condition' of " + what);
      if (out.condition.empty()) {
        r_.fail(it->second, fmt::format("the 'condition' of {} must not be empty", what));
      }
      if (!same_pool || out.association) {
        r_.fail(it->second, fmt::format("{} cannot have a condition: only a sequence flow inside "
                                        "one pool can",
                                        what));
      }
      if (out.is_default) {
        r_.fail(it->second, fmt::format("{} is the default flow; a default flow has no "
                                        "condition",
                                        what));
      }
    }
    return out;
  }

  std::string endpoint(const YamlNode& node, const char* key) {
    std::string id = r_.text(node, fmt::format("a connection's '{}'", key));
    if (shape_entry(id) == nullptr && black_boxes_.count(id) == 0) {
      if (ids_.count(id) != 0) {
        r_.fail(node, fmt::format("connection '{}' names {}, which is neither a shape nor a "
                                  "black-box pool",
                                  key, Helper::quoted(Helper::char_prefix(id, 60))));
      }
      unknown_id(node, {}, fmt::format("connection '{}'", key), id);
    }
    return id;
  }

  AnnotationDescription annotation(const YamlNode& node) {
    AnnotationDescription out;
    out.mark = r_.mark_of(node);
    count_shape(out.mark);
    auto f = r_.fields(node, "an annotation", kAnnotationKeys, {"text", "on"});
    out.text = r_.text(f["text"], "an annotation's 'text'");
    out.on = r_.text(f["on"], "an annotation's 'on'");
    if (shape_entry(out.on) == nullptr) unknown_id(f["on"], {}, "annotation 'on'", out.on);
    if (auto it = f.find("id"); it != f.end()) {
      out.id = declare_id(it->second, "an annotation's 'id'");
    }
    return out;
  }

  GroupDescription group(const YamlNode& node) {
    GroupDescription out;
    out.mark = r_.mark_of(node);
    count_shape(out.mark);
    auto f = r_.fields(node, "a group", kGroupKeys, {"members"});
    if (auto it = f.find("name"); it != f.end()) out.name = r_.text(it->second, "a group's 'name'");
    const std::string what = fmt::format("group {}", Helper::quoted(out.name));
    for (const auto& member : r_.list(f["members"], "the 'members' of " + what)) {
      std::string id = r_.text(member, "a member of " + what);
      if (shape_entry(id) == nullptr) unknown_id(member, {}, "a member of " + what, id);
      out.members.push_back(std::move(id));
    }
    if (out.members.empty()) {
      r_.fail(f["members"].is_null() ? out.mark : r_.mark_of(f["members"]),
              fmt::format("{} has no members; a group is drawn around shapes", what));
    }
    if (auto it = f.find("id"); it != f.end()) out.id = declare_id(it->second, "a group's 'id'");
    return out;
  }

  // The checks the diagram itself makes before drawing, reported where the fault is.
  void check_drawable(const DiagramDescription& d) {
    if (d.pools.empty() && d.lanes.empty()) {
      r_.fail(SourceMark{1, 1},
              "The process map must contain at least one pool or lane (add 'pools' or 'lanes')");
    }
    for (const auto& pool : d.pools) {
      if (pool.black_box) continue;
      const auto& first = pool.lanes.front();
      if (first.shapes.empty()) {
        r_.fail(first.mark,
                fmt::format("The process map must contain at least one shape (the first lane {} "
                            "of pool {} has none)",
                            Helper::quoted(first.name), Helper::quoted(pool.name)));
      }
    }
    for (const auto& lane : d.lanes) {
      if (lane.shapes.empty()) {
        r_.fail(lane.mark,
                fmt::format("The process map must contain at least one shape (lane {} has none)",
                            Helper::quoted(lane.name)));
      }
    }
  }

  const YamlNode& root_;
  Reader r_;
  const InputLimits& limits_;
  std::map<std::string, SourceMark> ids_;
  std::vector<std::string> id_list_;
  std::map<std::string, ShapeEntry> shapes_;
  /// Name -> id of the first shape with that name, in description order.
  std::map<std::string, std::string> id_by_name_;
  std::map<std::string, SourceMark> black_boxes_;
  std::map<std::string, SourceMark> defaults_;
  std::size_t shape_count_ = 0;
  std::size_t connection_count_ = 0;
};

// The lines of `text` up to line `last` (counted from 1), each without its line end.
std::vector<std::string_view> lines_up_to(std::string_view text, int last) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size() && static_cast<int>(lines.size()) < last) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The YAML reader's messages name the token it stumbled on, not the usual slip behind it. Two
// slips are common enough to name instead: a tab in a line's indentation, and a value holding
// ": " or starting with "?" left without quotes. `mark` and `message` are rewritten when the
// text up to the error shows one of them.
void explain_syntax_error(std::string_view text, SourceMark& mark, std::string& message) {
  if (mark.line <= 0) return;
  const std::vector<std::string_view> lines = lines_up_to(text, mark.line);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t indent_end = line.find_first_not_of(" \t-");
    const std::string_view indent = line.substr(0, indent_end);
    const std::size_t tab = indent.find('\t');
    if (tab != std::string_view::npos && indent_end != std::string_view::npos &&
        line[indent_end] != '#') {
      mark = {static_cast<int>(i) + 1, static_cast<int>(tab) + 1};
      message = "a tab indents this line; YAML indents with spaces only (replace the tab)";
      return;
    }
  }
  if (lines.size() < static_cast<std::size_t>(mark.line)) return;
  // Each "key: value" of the line, the value running to the next ',', '}' or ']' (as in a flow
  // mapping) or a comment or the line end. A plain scan: the line may be long.
  const std::string_view line = lines[static_cast<std::size_t>(mark.line) - 1];
  auto is_key_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  };
  std::size_t pos = 0;
  while ((pos = line.find(':', pos)) != std::string_view::npos) {
    std::size_t key_start = pos;
    while (key_start > 0 && is_key_char(line[key_start - 1])) --key_start;
    std::size_t value_start = pos + 1;
    while (value_start < line.size() && (line[value_start] == ' ' || line[value_start] == '\t')) {
      ++value_start;
    }
    if (key_start == pos || value_start == pos + 1 || value_start == line.size() ||
        std::string_view("\"'{[,#").find(line[value_start]) != std::string_view::npos) {
      ++pos;
      continue;
    }
    std::size_t value_end = line.find_first_of(",}]#", value_start);
    if (value_end == std::string_view::npos) value_end = line.size();
    std::string_view value = line.substr(value_start, value_end - value_start);
    value.remove_suffix(value.size() - (value.find_last_not_of(" \t") + 1));
    if (value.find(": ") == std::string_view::npos && value.front() != '?') {
      pos = value_end;
      continue;
    }
    const std::string_view key = line.substr(key_start, pos - key_start);
    mark.column = static_cast<int>(value_start) + 1;
    if (value.size() > 80) {
      message += fmt::format(
          "; a value that holds ': ' or starts with '?' must be quoted (the '{}' here)", key);
      return;
    }
    std::string quoted;
    for (char c : value) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    message += fmt::format(
        "; a value that holds ': ' or starts with '?' must be quoted: {}: \"{}\"", key, quoted);
    return;
  }
}

}  // namespace

DescriptionError::DescriptionError(std::string source, SourceMark mark, std::string message)
    : std::invalid_argument(format_error(source, mark, message)),
      source_(std::move(source)),
      mark_(mark),
      message_(std::move(message)) {}

DiagramDescription parse_description(std::string_view text, const std::string& source,
                                     const InputLimits& limits) {
  prescan_description(text, source, limits);
  try {
    YamlTree tree(text);
    return DescriptionParser(tree.root(), source, limits).run();
  } catch (const YamlError& e) {
    SourceMark mark = e.mark;
    std::string message = e.message;
    if (message.rfind("YAML syntax error", 0) == 0) explain_syntax_error(text, mark, message);
    throw DescriptionError(source, mark, message);
  }
}

std::string read_description_file(const std::string& path, const InputLimits& limits) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw DescriptionError(path, {}, "is a folder; expected a description file");
  }
  if (!std::filesystem::exists(path, ec)) {
    throw DescriptionError(path, {}, "the file does not exist");
  }
  auto too_large = [&] {
    return DescriptionError(
        path, {},
        fmt::format("the file is larger than {} bytes ({} MiB), the limit for an input file; "
                    "--max-input-mb raises it",
                    limits.max_file_bytes, limits.max_file_bytes >> 20));
  };
  // A regular file's size is known before reading it; pipes and devices are measured as read.
  std::size_t reported_size = 0;
  if (std::filesystem::is_regular_file(path, ec)) {
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > limits.max_file_bytes) throw too_large();
    if (!ec) reported_size = static_cast<std::size_t>(size);
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw DescriptionError(
        path, {}, fmt::format("cannot open the file for reading: {}", std::strerror(errno)));
  }
  // Read in pieces, so that memory follows the file and an oversized one (or an endless stream)
  // is refused after one piece past the limit. The first piece is the size a regular file
  // reports (one byte more, to see its end), so a small file costs no megabyte of zeroed memory.
  std::string text;
  constexpr std::size_t PIECE = std::size_t{1} << 20;
  while (in) {
    const std::size_t at = text.size();
    const std::size_t piece = at == 0 && reported_size < PIECE ? reported_size + 1 : PIECE;
    text.resize(at + piece);
    in.read(text.data() + at, static_cast<std::streamsize>(piece));
    text.resize(at + static_cast<std::size_t>(in.gcount()));
    if (text.size() > limits.max_file_bytes) throw too_large();
  }
  if (in.bad()) throw DescriptionError(path, {}, "cannot read the file");
  return text;
}

}  // namespace orvane
