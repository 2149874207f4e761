// An XML file as the BPMN reader sees it: checked to be safe to read, parsed with pugixml, with
// the line and column of every element and namespace-aware names.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/loader.hpp"

namespace orvane {

class XmlFile {
 public:
  /// Checks and parses `text`; refuses text that is not UTF-8, holds characters XML forbids,
  /// declares a document type (which could define entities that expand without bound) or is
  /// not well-formed, with a DescriptionError naming `source`, line and column.
  XmlFile(std::string_view text, std::string source);

  const std::string& source() const { return source_; }
  pugi::xml_node root() const { return doc_.document_element(); }

  /// Where an element starts (its '<'), or where a parse error was found.
  SourceMark mark(pugi::xml_node node) const;
  SourceMark mark_at(std::size_t offset) const;
  [[noreturn]] void fail(pugi::xml_node node, const std::string& message) const;

  /// The namespace URI of an element, from the xmlns declarations in scope.
  std::string_view namespace_of(pugi::xml_node element) const;
  /// An element's name without its prefix.
  static std::string_view local_name(pugi::xml_node element);
  /// Whether `element` is `local` in namespace `uri`.
  bool is(pugi::xml_node element, std::string_view uri, std::string_view local) const;

 private:
  std::string source_;
  std::string_view text_;
  pugi::xml_document doc_;
  /// Offsets where lines start, for positions.
  std::vector<std::size_t> line_starts_;
  /// How many characters begin before each CHECKPOINT-th byte, once the text is known to be
  /// UTF-8: a column then costs at most CHECKPOINT bytes of counting, however long its line
  /// (generated files often put everything on one).
  static constexpr std::size_t CHECKPOINT = 4096;
  std::vector<std::size_t> characters_before_;
  std::size_t characters_to(std::size_t offset) const;
};

}  // namespace orvane
