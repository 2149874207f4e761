// A YAML document read into a compact tree: a few dozen bytes a node, built in one pass over the
// parser's events, with aliases resolved to the node they name (shared, not copied).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/loader.hpp"

namespace orvane {

class YamlTree;

/// A node of a YamlTree, or no node at all (a key that is not there). Cheap to copy; valid as
/// long as its tree.
class YamlNode {
 public:
  YamlNode() = default;
  /// Whether there is a node (a key that is not there gives none).
  explicit operator bool() const { return tree_ != nullptr; }
  /// No node, or a null value ("~", "null" or nothing written).
  bool is_null() const;
  bool is_scalar() const;
  bool is_sequence() const;
  bool is_map() const;
  /// The text of a scalar; empty for any other node.
  std::string_view scalar() const;
  /// Where the node starts; {0, 0} for no node.
  SourceMark mark() const;
  /// The items of a sequence or the entries of a map; 0 for any other node.
  std::size_t size() const;
  /// Item `i` of a sequence.
  YamlNode item(std::size_t i) const;
  /// Key and value of entry `i` of a map.
  YamlNode key(std::size_t i) const;
  YamlNode value(std::size_t i) const;

 private:
  friend class YamlTree;
  YamlNode(const YamlTree* tree, std::uint32_t id) : tree_(tree), id_(id) {}
  const YamlTree* tree_ = nullptr;
  std::uint32_t id_ = 0;
};

/// Thrown for text that is not one well-formed YAML document.
struct YamlError {
  SourceMark mark;
  std::string message;
};

/// The single document of a YAML text. Reading takes time and memory linear in the text: nodes
/// are a few dozen bytes each, and aliases may expand the document to at most as many nodes as
/// the text has bytes (a block repeated, not multiplied).
class YamlTree {
 public:
  /// Reads `text`; throws YamlError for a syntax error, a second document, an alias that names
  /// no anchor before it, or aliases that expand past that bound.
  explicit YamlTree(std::string_view text);
  /// The document's root; no node when the text holds no document.
  YamlNode root() const;

 private:
  friend class YamlNode;
  enum class Kind : std::uint8_t { NONE, NULL_VALUE, SCALAR, SEQUENCE, MAP };
  struct Node {
    Kind kind = Kind::NONE;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    // Scalars: a range of text_; sequences and maps: a range of children_.
    std::size_t begin = 0;
    std::size_t count = 0;
  };
  class Builder;

  std::vector<Node> nodes_;
  std::vector<std::uint32_t> children_;
  std::string text_;
  bool has_root_ = false;
  std::uint32_t root_ = 0;
};

}  // namespace orvane
