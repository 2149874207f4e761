// libFuzzer entry for the BPMN reader and the write-back: any bytes must either read into
// descriptions or be refused with a DescriptionError, and a document that reads must write back
// (with a new, here empty, diagram for each plane) into well-formed XML. Anything else escaping
// (another exception, a crash, a hang, unbounded memory, a broken document) is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "orvane/bpmn.hpp"
#include "orvane/bpmn_reader.hpp"
#include "orvane/pool.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  orvane::BpmnReading reading;
  try {
    reading = orvane::read_bpmn(text, "fuzz.bpmn");
  } catch (const orvane::DescriptionError&) {
    return 0;
  }
  const std::vector<std::unique_ptr<orvane::Pool>> no_pools;
  std::vector<orvane::BpmnPlane> planes{{reading.source->plane_element, &no_pools}};
  for (const auto& sub : reading.subdiagrams) planes.push_back({sub.element, &no_pools});
  const std::string written = orvane::BPMN().write_back_xml(*reading.source, planes);
  pugi::xml_document again;
  if (!again.load_buffer(written.data(), written.size())) std::abort();
  return 0;
}
