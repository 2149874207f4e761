// Reads a description with yaml-cpp and checks it against the format: known keys only, values
// of the right kind, unique ids, connections between known shapes, and the rules a diagram must
// meet to be drawn. Every refusal carries the file, line and column of the node at fault.
#include <fmt/format.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "loader/loader.hpp"
#include "orvane/helper.hpp"

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

std::string snake_case_type(ElementType type) {
  std::string name(member_name(type));
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

const std::vector<std::string>& type_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (ElementType type : all_element_types()) v.push_back(snake_case_type(type));
    return v;
  }();
  return names;
}

const char* kind_of(const YAML::Node& node) {
  switch (node.Type()) {
    case YAML::NodeType::Map:
      return "a mapping";
    case YAML::NodeType::Sequence:
      return "a list";
    case YAML::NodeType::Scalar:
      return "a single value";
    default:
      return "nothing";
  }
}

// Walks the YAML tree of one description; `context` texts name where a node sits.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const YAML::Node& node, const std::string& message) const {
    throw DescriptionError(source_, mark_of(node), message);
  }
  [[noreturn]] void fail(SourceMark mark, const std::string& message) const {
    throw DescriptionError(source_, mark, message);
  }

  SourceMark mark_of(const YAML::Node& node) const {
    YAML::Mark mark = node.Mark();
    if (mark.is_null() || mark.line < 0) return last_mark_;
    return {mark.line + 1, mark.column + 1};
  }

  // The keys of a mapping, each checked to be known and to appear once. `required` keys must
  // be present; the mark of the mapping names a missing one.
  std::map<std::string, YAML::Node> fields(const YAML::Node& node, const std::string& what,
                                           const std::vector<std::string>& known,
                                           std::initializer_list<const char*> required) {
    if (!node.IsMap())
      fail(node, fmt::format("{} must be a mapping of keys, got {}", what, kind_of(node)));
    last_mark_ = mark_of(node);
    std::map<std::string, YAML::Node> out;
    std::map<std::string, SourceMark> seen;
    for (const auto& entry : node) {
      YAML::Node key = entry.first;
      if (!key.IsScalar())
        fail(key, fmt::format("a key in {} must be a single word, got {}", what, kind_of(key)));
      std::string name = key.Scalar();
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
      out[name] = entry.second;
    }
    for (const char* name : required) {
      if (out.find(name) == out.end()) {
        fail(node, fmt::format("{} is missing its {} key", what, Helper::quoted(name)));
      }
    }
    return out;
  }

  std::string text(const YAML::Node& node, const std::string& what) const {
    if (node.IsNull()) return "";
    if (!node.IsScalar()) fail(node, fmt::format("{} must be a text, got {}", what, kind_of(node)));
    return node.Scalar();
  }

  int integer(const YAML::Node& node, const std::string& what, int low, int high) const {
    std::string hint = fmt::format("{} must be a whole number from {} to {}", what, low, high);
    if (!node.IsScalar()) fail(node, fmt::format("{}, got {}", hint, kind_of(node)));
    const std::string& value = node.Scalar();
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

  bool boolean(const YAML::Node& node, const std::string& what) const {
    static const std::set<std::string> yes = {"true", "True", "TRUE", "yes", "Yes", "on", "On"};
    static const std::set<std::string> no = {"false", "False", "FALSE", "no", "No", "off", "Off"};
    if (node.IsScalar()) {
      if (yes.count(node.Scalar()) != 0) return true;
      if (no.count(node.Scalar()) != 0) return false;
    }
    fail(node, fmt::format("{} must be true or false, got {}", what,
                           node.IsScalar() ? Helper::quoted(Helper::char_prefix(node.Scalar(), 40))
                                           : std::string(kind_of(node))));
  }

  // A list; a missing value (the key given with nothing after it) counts as an empty list.
  std::vector<YAML::Node> list(const YAML::Node& node, const std::string& what) const {
    if (node.IsNull()) return {};
    if (!node.IsSequence())
      fail(node, fmt::format("{} must be a list, got {}", what, kind_of(node)));
    return {node.begin(), node.end()};
  }

  const std::string& source() const { return source_; }

 private:
  std::string source_;
  SourceMark last_mark_{1, 1};
};

const std::vector<std::string> kRootKeys = {
    "title",  "theme",           "painter",           "width", "height", "auto_size",
    "footer", "title_font_size", "element_font_size", "pools", "lanes",  "connections"};
const std::vector<std::string> kPoolKeys = {
    "name", "font", "font_size", "font_colour", "fill_colour", "text_alignment", "lanes"};
const std::vector<std::string> kLaneKeys = {"name",
                                            "font",
                                            "font_size",
                                            "font_colour",
                                            "fill_colour",
                                            "text_alignment",
                                            "background_fill_colour",
                                            "shapes"};
const std::vector<std::string> kShapeKeys = {"id", "name", "type"};
const std::vector<std::string> kFooterKeys = {"text", "font", "font_size", "font_colour"};
const std::vector<std::string> kConnectionKeys = {"from", "to", "label"};

class DescriptionParser {
 public:
  DescriptionParser(const YAML::Node& root, const std::string& source) : root_(root), r_(source) {}

  DiagramDescription run() {
    DiagramDescription d;
    d.source = r_.source();
    if (root_.IsNull()) {
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
    if (auto it = f.find("connections"); it != f.end()) {
      for (const auto& node : r_.list(it->second, "'connections'")) {
        d.connections.push_back(connection(node));
      }
    }
    check_drawable(d);
    return d;
  }

 private:
  int font_size(const YAML::Node& node, const std::string& what) {
    return r_.integer(node, what, 1, LoadLimits::MAX_FONT_SIZE);
  }

  // A style font size, where 0 means "the theme's".
  int style_font_size(const std::map<std::string, YAML::Node>& f, const std::string& what) {
    auto it = f.find("font_size");
    if (it == f.end()) return 0;
    return r_.integer(it->second, "the 'font_size' of " + what, 0, LoadLimits::MAX_FONT_SIZE);
  }

  std::string style_text(const std::map<std::string, YAML::Node>& f, const char* key,
                         const std::string& what, std::string fallback = "") {
    auto it = f.find(key);
    if (it == f.end()) return fallback;
    return r_.text(it->second, fmt::format("the {} of {}", Helper::quoted(key), what));
  }

  FooterDescription footer(const YAML::Node& node) {
    FooterDescription out;
    if (node.IsScalar() || node.IsNull()) {
      out.text = r_.text(node, "'footer'");
      return out;
    }
    auto f = r_.fields(node, "'footer'", kFooterKeys, {"text"});
    out.text = r_.text(f["text"], "the footer's 'text'");
    out.font = style_text(f, "font", "the footer");
    out.font_size = style_font_size(f, "the footer");
    out.font_colour = style_text(f, "font_colour", "the footer");
    return out;
  }

  PoolDescription pool(const YAML::Node& node) {
    PoolDescription out;
    out.mark = r_.mark_of(node);
    auto f = r_.fields(node, "a pool", kPoolKeys, {"name", "lanes"});
    out.name = r_.text(f["name"], "a pool's 'name'");
    std::string what = fmt::format("pool {}", Helper::quoted(out.name));
    out.font = style_text(f, "font", what);
    out.font_size = style_font_size(f, what);
    out.font_colour = style_text(f, "font_colour", what);
    out.fill_colour = style_text(f, "fill_colour", what);
    out.text_alignment = style_text(f, "text_alignment", what, "centre");
    for (const auto& lane_node : r_.list(f["lanes"], "the 'lanes' of " + what)) {
      out.lanes.push_back(lane(lane_node, "a lane of " + what));
    }
    if (out.lanes.empty()) {
      r_.fail(f["lanes"].IsNull() ? out.mark : r_.mark_of(f["lanes"]),
              fmt::format("{} has no lanes; a pool needs at least one lane", what));
    }
    return out;
  }

  LaneDescription lane(const YAML::Node& node, const std::string& context) {
    LaneDescription out;
    out.mark = r_.mark_of(node);
    auto f = r_.fields(node, context, kLaneKeys, {"name"});
    out.name = r_.text(f["name"], "a lane's 'name'");
    std::string what = fmt::format("lane {}", Helper::quoted(out.name));
    out.font = style_text(f, "font", what);
    out.font_size = style_font_size(f, what);
    out.font_colour = style_text(f, "font_colour", what);
    out.fill_colour = style_text(f, "fill_colour", what);
    out.text_alignment = style_text(f, "text_alignment", what, "centre");
    out.background_fill_colour = style_text(f, "background_fill_colour", what);
    if (auto it = f.find("shapes"); it != f.end()) {
      for (const auto& shape_node : r_.list(it->second, "the 'shapes' of " + what)) {
        out.shapes.push_back(shape(shape_node, "a shape of " + what));
      }
    }
    return out;
  }

  ShapeDescription shape(const YAML::Node& node, const std::string& context) {
    ShapeDescription out;
    out.mark = r_.mark_of(node);
    if (++shape_count_ > LoadLimits::MAX_SHAPES) {
      r_.fail(out.mark,
              fmt::format("more than {} shapes; split the diagram", LoadLimits::MAX_SHAPES));
    }
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
    const YAML::Node& type_node = f["type"];
    std::string type = r_.text(type_node, "a shape's 'type'");
    const auto& names = type_names();
    auto found = std::find(names.begin(), names.end(), type);
    if (found == names.end()) {
      r_.fail(type_node, fmt::format("unknown shape type {}{}; expected one of: {}",
                                     Helper::quoted(Helper::char_prefix(type, 60)),
                                     suggestion(type, names), join(names)));
    }
    out.type = all_element_types()[static_cast<std::size_t>(found - names.begin())];
    if (auto previous = ids_.find(out.id); previous != ids_.end()) {
      r_.fail(id_mark,
              fmt::format("duplicate shape id {} (first used at line {}, column {})",
                          Helper::quoted(out.id), previous->second.line, previous->second.column));
    }
    ids_[out.id] = id_mark;
    id_list_.push_back(out.id);
    return out;
  }

  ConnectionDescription connection(const YAML::Node& node) {
    ConnectionDescription out;
    out.mark = r_.mark_of(node);
    if (++connection_count_ > LoadLimits::MAX_CONNECTIONS) {
      r_.fail(out.mark, fmt::format("more than {} connections; split the diagram",
                                    LoadLimits::MAX_CONNECTIONS));
    }
    auto f = r_.fields(node, "a connection", kConnectionKeys, {"from", "to"});
    out.from = endpoint(f["from"], "from");
    out.to = endpoint(f["to"], "to");
    if (auto it = f.find("label"); it != f.end()) {
      out.label = r_.text(it->second, "a connection's 'label'");
    }
    return out;
  }

  std::string endpoint(const YAML::Node& node, const char* key) {
    std::string id = r_.text(node, fmt::format("a connection's '{}'", key));
    if (ids_.find(id) == ids_.end()) {
      std::vector<std::string> candidates;
      if (id_list_.size() <= 500) candidates = id_list_;
      r_.fail(node,
              fmt::format("connection '{}' names unknown shape id {}{}", key,
                          Helper::quoted(Helper::char_prefix(id, 60)), suggestion(id, candidates)));
    }
    return id;
  }

  // The checks the diagram itself makes before drawing, reported where the fault is.
  void check_drawable(const DiagramDescription& d) {
    if (d.pools.empty() && d.lanes.empty()) {
      r_.fail(SourceMark{1, 1},
              "The process map must contain at least one pool or lane (add 'pools' or 'lanes')");
    }
    for (const auto& pool : d.pools) {
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

  const YAML::Node& root_;
  Reader r_;
  std::map<std::string, SourceMark> ids_;
  std::vector<std::string> id_list_;
  std::size_t shape_count_ = 0;
  std::size_t connection_count_ = 0;
};

// Records where a document starts, to tell whether the text holds more than one.
class DocumentProbe : public YAML::EventHandler {
 public:
  void OnDocumentStart(const YAML::Mark& mark) override { start = mark; }
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
  void OnAlias(const YAML::Mark&, YAML::anchor_t) override {}
  void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t,
                const std::string&) override {}
  void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                       YAML::EmitterStyle::value) override {}
  void OnSequenceEnd() override {}
  void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                  YAML::EmitterStyle::value) override {}
  void OnMapEnd() override {}

  YAML::Mark start;
};

}  // namespace

DescriptionError::DescriptionError(std::string source, SourceMark mark, std::string message)
    : std::invalid_argument(format_error(source, mark, message)),
      source_(std::move(source)),
      mark_(mark),
      message_(std::move(message)) {}

DiagramDescription parse_description(std::string_view text, const std::string& source) {
  prescan_description(text, source);
  YAML::Node root;
  try {
    // Text that the reader cannot place after the first document would otherwise be dropped
    // without a word (and loading every document can loop without end on it), so look for a
    // second document first and refuse it where it starts.
    std::istringstream in{std::string(text)};
    YAML::Parser parser(in);
    DocumentProbe first;
    DocumentProbe second;
    parser.HandleNextDocument(first);
    if (parser.HandleNextDocument(second)) {
      throw DescriptionError(
          source, {second.start.line + 1, second.start.column + 1},
          "text that does not belong to the description starts here; expected one YAML document "
          "(look for a stray ',', ']' or '}', or a second '---')");
    }
    root = YAML::Load(std::string(text));
  } catch (const YAML::Exception& e) {
    SourceMark mark;
    if (!e.mark.is_null()) mark = {e.mark.line + 1, e.mark.column + 1};
    throw DescriptionError(source, mark, "YAML syntax error: " + e.msg);
  }
  try {
    return DescriptionParser(root, source).run();
  } catch (const YAML::Exception& e) {
    SourceMark mark;
    if (!e.mark.is_null()) mark = {e.mark.line + 1, e.mark.column + 1};
    throw DescriptionError(source, mark, "unreadable value: " + e.msg);
  }
}

std::string read_description_file(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw DescriptionError(path, {}, "is a folder; expected a description file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DescriptionError(path, {}, "cannot open the file for reading");
  std::string text;
  // Read one byte past the limit so an oversized file is refused without reading it all.
  text.resize(LoadLimits::MAX_FILE_BYTES + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) throw DescriptionError(path, {}, "cannot read the file");
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > LoadLimits::MAX_FILE_BYTES) {
    throw DescriptionError(path, {},
                           fmt::format("the file is larger than {} bytes, the limit for a "
                                       "description",
                                       LoadLimits::MAX_FILE_BYTES));
  }
  return text;
}

}  // namespace orvane
