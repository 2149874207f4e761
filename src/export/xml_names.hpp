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

/// The attribute `local` of the namespace `uri` on an element (prefixed attributes only, as
/// extension attributes are written), or an empty attribute.
inline pugi::xml_attribute attribute_of(pugi::xml_node element, std::string_view uri,
                                        std::string_view local) {
  for (pugi::xml_attribute a : element.attributes()) {
    const std::string_view name = a.name();
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos || name.substr(colon + 1) != local) continue;
    const std::string declaration = "xmlns:" + std::string(name.substr(0, colon));
    for (pugi::xml_node scope = element; scope.type() == pugi::node_element;
         scope = scope.parent()) {
      if (pugi::xml_attribute declared = scope.attribute(declaration.c_str())) {
        if (declared.value() == uri) return a;
        break;
      }
    }
  }
  return {};
}

}  // namespace orvane::xml_names
