// Builds a YamlTree from libyaml's events. libyaml parses without recursion and resolves
// nothing; this builder keeps the open collections on a stack of its own, resolves aliases to
// anchors already complete (so the tree has no cycles), and counts the nodes that the document
// holds with every alias expanded, to refuse alias bombs before anyone walks them.
#include "yaml_tree.hpp"

#include <fmt/format.h>
#include <yaml.h>

#include <limits>
#include <memory>
#include <unordered_map>

namespace orvane {

namespace {

SourceMark mark_of(const yaml_mark_t& mark) {
  return {static_cast<int>(mark.line) + 1, static_cast<int>(mark.column) + 1};
}

// Releases the parser and the current event whatever way reading ends.
struct Parser {
  yaml_parser_t parser{};
  yaml_event_t event{};
  bool has_event = false;
  Parser() {
    if (yaml_parser_initialize(&parser) == 0) throw YamlError{{}, "cannot start the YAML reader"};
  }
  ~Parser() {
    release();
    yaml_parser_delete(&parser);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
  void release() {
    if (has_event) yaml_event_delete(&event);
    has_event = false;
  }
  bool next() {
    release();
    has_event = yaml_parser_parse(&parser, &event) != 0;
    return has_event;
  }
};

bool is_null_text(std::string_view text) {
  return text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL";
}

}  // namespace

class YamlTree::Builder {
 public:
  Builder(YamlTree& tree, std::string_view text) : tree_(tree), text_(text) {}

  void run() {
    Parser p;
    yaml_parser_set_input_string(&p.parser, reinterpret_cast<const unsigned char*>(text_.data()),
                                 text_.size());
    while (true) {
      if (!p.next()) syntax_error(p.parser);
      const yaml_event_t& e = p.event;
      switch (e.type) {
        case YAML_STREAM_END_EVENT:
          return;
        case YAML_DOCUMENT_START_EVENT:
          if (tree_.has_root_) {
            // Whatever follows the description would otherwise be dropped without a word.
            throw YamlError{mark_of(e.start_mark), stray_text()};
          }
          break;
        case YAML_ALIAS_EVENT:
          alias(e);
          break;
        case YAML_SCALAR_EVENT:
          scalar(e);
          break;
        case YAML_SEQUENCE_START_EVENT:
          open(e, Kind::SEQUENCE, e.data.sequence_start.anchor);
          break;
        case YAML_MAPPING_START_EVENT:
          open(e, Kind::MAP, e.data.mapping_start.anchor);
          break;
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
          close();
          break;
        default:
          break;
      }
    }
  }

 private:
  static std::string stray_text() {
    return "text that does not belong to the description starts here; expected one YAML "
           "document (look for a stray ',', ']' or '}', or a second '---')";
  }

  [[noreturn]] void syntax_error(const yaml_parser_t& parser) const {
    SourceMark mark = mark_of(parser.problem_mark);
    // An error after the root node is complete is text after the description.
    if (tree_.has_root_) throw YamlError{mark, stray_text()};
    std::string message = fmt::format("YAML syntax error: {}",
                                      parser.problem != nullptr ? parser.problem : "unreadable");
    if (parser.context != nullptr) {
      SourceMark context = mark_of(parser.context_mark);
      message +=
          fmt::format(" ({} at line {}, column {})", parser.context, context.line, context.column);
    }
    throw YamlError{mark, message};
  }

  std::uint32_t add_node(Kind kind, const yaml_mark_t& mark) {
    if (tree_.nodes_.size() >= std::numeric_limits<std::uint32_t>::max()) {
      throw YamlError{mark_of(mark), "the document holds more values than can be read"};
    }
    Node node;
    node.kind = kind;
    node.line = static_cast<std::uint32_t>(mark.line) + 1;
    node.column = static_cast<std::uint32_t>(mark.column) + 1;
    tree_.nodes_.push_back(node);
    return static_cast<std::uint32_t>(tree_.nodes_.size() - 1);
  }

  // Hands a finished node to its collection, or makes it the root; `expanded` is the number of
  // nodes it stands for once every alias in it is expanded.
  void attach(std::uint32_t id, std::uint64_t expanded) {
    if (open_.empty()) {
      tree_.has_root_ = true;
      tree_.root_ = id;
      return;
    }
    pending_.push_back(id);
    open_.back().expanded += expanded;
  }

  void scalar(const yaml_event_t& e) {
    std::string_view value(reinterpret_cast<const char*>(e.data.scalar.value),
                           e.data.scalar.length);
    const bool plain = e.data.scalar.style == YAML_PLAIN_SCALAR_STYLE;
    const std::uint32_t id =
        add_node(plain && is_null_text(value) ? Kind::NULL_VALUE : Kind::SCALAR, e.start_mark);
    Node& node = tree_.nodes_[id];
    node.begin = tree_.text_.size();
    node.count = value.size();
    tree_.text_.append(value);
    expanded_total_ += 1;
    if (e.data.scalar.anchor != nullptr) {
      anchors_[reinterpret_cast<const char*>(e.data.scalar.anchor)] = {id, 1};
    }
    attach(id, 1);
  }

  void alias(const yaml_event_t& e) {
    const char* name = reinterpret_cast<const char*>(e.data.alias.anchor);
    auto found = anchors_.find(name);
    if (found == anchors_.end()) {
      throw YamlError{
          mark_of(e.start_mark),
          fmt::format("the alias '*{}' names no anchor '&{}' complete before it", name, name)};
    }
    const auto [id, expanded] = found->second;
    // Every node written out costs the text at least a byte; expanded aliases may not cost less.
    expanded_total_ += expanded;
    if (expanded_total_ > text_.size()) {
      throw YamlError{mark_of(e.start_mark),
                      fmt::format("aliases expand the description past {} values, one for each "
                                  "byte of the file; an alias may repeat a block, not multiply "
                                  "the file",
                                  text_.size())};
    }
    attach(id, expanded);
  }

  void open(const yaml_event_t& e, Kind kind, const yaml_char_t* anchor) {
    const std::uint32_t id = add_node(kind, e.start_mark);
    open_.push_back(
        {id, pending_.size(), 1, anchor != nullptr ? reinterpret_cast<const char*>(anchor) : ""});
  }

  void close() {
    Open frame = std::move(open_.back());
    open_.pop_back();
    Node& node = tree_.nodes_[frame.id];
    node.begin = tree_.children_.size();
    node.count = pending_.size() - frame.first_child;
    tree_.children_.insert(tree_.children_.end(),
                           pending_.begin() + static_cast<std::ptrdiff_t>(frame.first_child),
                           pending_.end());
    pending_.resize(frame.first_child);
    expanded_total_ += 1;
    // A collection becomes an anchor only once complete, so no alias can reach into itself.
    if (!frame.anchor.empty()) anchors_[frame.anchor] = {frame.id, frame.expanded};
    attach(frame.id, frame.expanded);
  }

  struct Anchor {
    std::uint32_t id;
    std::uint64_t expanded;
  };
  struct Open {
    std::uint32_t id;
    std::size_t first_child;
    std::uint64_t expanded;
    std::string anchor;
  };

  YamlTree& tree_;
  std::string_view text_;
  std::vector<Open> open_;
  // Children of the open collections, innermost last.
  std::vector<std::uint32_t> pending_;
  std::unordered_map<std::string, Anchor> anchors_;
  // Nodes read so far, counting each alias as the nodes it stands for.
  std::uint64_t expanded_total_ = 0;
};

YamlTree::YamlTree(std::string_view text) {
  Builder(*this, text).run();
}

YamlNode YamlTree::root() const {
  return has_root_ ? YamlNode(this, root_) : YamlNode();
}

bool YamlNode::is_null() const {
  return tree_ == nullptr || tree_->nodes_[id_].kind == YamlTree::Kind::NULL_VALUE;
}
bool YamlNode::is_scalar() const {
  return tree_ != nullptr && tree_->nodes_[id_].kind == YamlTree::Kind::SCALAR;
}
bool YamlNode::is_sequence() const {
  return tree_ != nullptr && tree_->nodes_[id_].kind == YamlTree::Kind::SEQUENCE;
}
bool YamlNode::is_map() const {
  return tree_ != nullptr && tree_->nodes_[id_].kind == YamlTree::Kind::MAP;
}

std::string_view YamlNode::scalar() const {
  if (!is_scalar()) return {};
  const auto& node = tree_->nodes_[id_];
  return std::string_view(tree_->text_).substr(node.begin, node.count);
}

SourceMark YamlNode::mark() const {
  if (tree_ == nullptr) return {};
  const auto& node = tree_->nodes_[id_];
  return {static_cast<int>(node.line), static_cast<int>(node.column)};
}

std::size_t YamlNode::size() const {
  if (is_sequence()) return tree_->nodes_[id_].count;
  if (is_map()) return tree_->nodes_[id_].count / 2;
  return 0;
}

YamlNode YamlNode::item(std::size_t i) const {
  return {tree_, tree_->children_[tree_->nodes_[id_].begin + i]};
}
YamlNode YamlNode::key(std::size_t i) const {
  return {tree_, tree_->children_[tree_->nodes_[id_].begin + 2 * i]};
}
YamlNode YamlNode::value(std::size_t i) const {
  return {tree_, tree_->children_[tree_->nodes_[id_].begin + 2 * i + 1]};
}

}  // namespace orvane
