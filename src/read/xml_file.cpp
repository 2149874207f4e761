#include "xml_file.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "../export/xml_names.hpp"
#include "text_encoding.hpp"

namespace orvane {
namespace {

std::string lower_first(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace

XmlFile::XmlFile(std::string_view text, std::string source)
    : source_(std::move(source)), text_(text) {
  line_starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') line_starts_.push_back(i + 1);
  }
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
    throw DescriptionError(source_, {1, 1}, "the file is UTF-16 text; save it as UTF-8");
  }
  const std::size_t bom = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (std::size_t i = bom; i < text.size();) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = utf8_sequence_length(text, i);
    if (length == 0) {
      throw DescriptionError(
          source_, mark_at(i),
          fmt::format("the file is not UTF-8 text (byte 0x{:02x}); save it as UTF-8", c));
    }
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      throw DescriptionError(
          source_, mark_at(i),
          fmt::format("control character 0x{:02x}, which XML does not allow", c));
    }
    i += length;
  }
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i % CHECKPOINT == 0) characters_before_.push_back(characters);
    if ((static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) ++characters;
  }
  characters_before_.push_back(characters);
  const std::size_t first = text.find_first_not_of(" \t\r\n", bom);
  if (first == std::string_view::npos || text[first] != '<') {
    throw DescriptionError(source_,
                           first == std::string_view::npos ? SourceMark{1, 1} : mark_at(first),
                           "the file is not XML; a BPMN file starts with '<'");
  }

  // Entities stay unexpanded (pugixml reads no document type), and a document type is refused
  // below, so no declaration can make the text grow.
  const unsigned flags = pugi::parse_default | pugi::parse_doctype;
  const pugi::xml_parse_result result =
      doc_.load_buffer(text.data(), text.size(), flags, pugi::encoding_utf8);
  if (!result) {
    throw DescriptionError(
        source_, mark_at(static_cast<std::size_t>(result.offset)),
        fmt::format("the file is not well-formed XML: {}", lower_first(result.description())));
  }
  for (pugi::xml_node node : doc_.children()) {
    if (node.type() == pugi::node_doctype) {
      fail(node,
           "the file declares a document type (<!DOCTYPE>); BPMN files have none, and its "
           "entities could expand without bound");
    }
  }
}

SourceMark XmlFile::mark_at(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const auto next = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  const std::size_t line_start = *(next - 1);
  const int line = static_cast<int>(next - line_starts_.begin());
  if (!characters_before_.empty()) {
    return {line, static_cast<int>(1 + characters_to(offset) - characters_to(line_start))};
  }
  // The text is still being checked: count up to the fault.
  int column = 1;
  for (std::size_t i = line_start; i < offset;) {
    const std::size_t length = utf8_sequence_length(text_, i);
    i += length == 0 ? 1 : length;
    ++column;
  }
  return {line, column};
}

std::size_t XmlFile::characters_to(std::size_t offset) const {
  const std::size_t block = offset / CHECKPOINT;
  std::size_t count = characters_before_[block];
  for (std::size_t i = block * CHECKPOINT; i < offset; ++i) {
    if ((static_cast<std::uint8_t>(text_[i]) & 0xC0) != 0x80) ++count;
  }
  return count;
}

SourceMark XmlFile::mark(pugi::xml_node node) const {
  const std::ptrdiff_t offset = node.offset_debug();
  if (offset <= 0) return {};
  // Element offsets point at the name, one past the '<'; a doctype's at its contents.
  std::size_t at = static_cast<std::size_t>(offset);
  while (at > 0 && text_[at - 1] != '<') --at;
  return mark_at(at > 0 ? at - 1 : 0);
}

void XmlFile::fail(pugi::xml_node node, const std::string& message) const {
  throw DescriptionError(source_, mark(node), message);
}

std::string_view XmlFile::local_name(pugi::xml_node element) {
  return xml_names::local_name(element);
}

std::string_view XmlFile::namespace_of(pugi::xml_node element) const {
  return xml_names::namespace_of(element);
}

bool XmlFile::is(pugi::xml_node element, std::string_view uri, std::string_view local) const {
  return element.type() == pugi::node_element && local_name(element) == local &&
         namespace_of(element) == uri;
}

}  // namespace orvane
