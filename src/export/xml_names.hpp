// Element names of a namespaced XML document as pugixml holds it (prefix:local), shared by the
// BPMN reader and the write-back, which both look elements up by namespace and local name.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace orvane::xml_names {

/// The element's name without its prefix.
inline std::string_view local_name(pugi::xml_node element) {
  std::string_view name = element.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

/// The namespace of an element, from the declarations in scope (empty when none is).
inline std::string_view namespace_of(pugi::xml_node element) {
  std::string_view name = element.name();
  const std::size_t colon = name.find(':');
  const std::string attribute =
      colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
  for (pugi::xml_node scope = element; scope.type() == pugi::node_element; scope = scope.parent()) {
    if (pugi::xml_attribute declared = scope.attribute(attribute.c_str())) {
      return declared.value();
    }
  }
  return {};
}

}  // namespace orvane::xml_names
