// libFuzzer entry for the whole pipeline after reading: a description or BPMN document that
// reads must lay out, route and export (BPMN and drawio) or be refused with an exception the
// command reports; a crash, a hang, unbounded memory or a sanitizer report is a fault. Slower
// per input than the reader fuzzers, so it is run by hand rather than in the test script.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "orvane/bpmn_reader.hpp"
#include "orvane/loader.hpp"
#include "orvane/swimboard.hpp"

// Fontconfig keeps its matched patterns in caches for the life of the process, which
// LeakSanitizer reports as leaks.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  orvane::LoadOptions options;
  options.painter_type = "svg";
  // Small ceilings keep each input quick; what they refuse is the readers' concern.
  options.limits.max_shapes = 400;
  options.limits.max_connections = 800;
  orvane::LoadedDiagram diagram;
  try {
    diagram = orvane::looks_like_xml(text) ? orvane::load_bpmn_text(text, "fuzz.bpmn", options)
                                           : orvane::load_diagram_text(text, "fuzz.yaml", options);
  } catch (const orvane::DescriptionError&) {
    return 0;
  }
  try {
    diagram.board->arrange();
    (void)diagram.board->bpmn_document();
    (void)diagram.board->drawio_document();
  } catch (const std::exception&) {
    // Reported by the command as "cannot draw the diagram: ...".
  }
  return 0;
}
