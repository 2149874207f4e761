// libFuzzer entry for the BPMN reader: any bytes must either read into descriptions or be
// refused with a DescriptionError. Anything else escaping (another exception, a crash, a hang,
// unbounded memory) is a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "orvane/bpmn_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    orvane::BpmnReading reading = orvane::read_bpmn(text, "fuzz.bpmn");
    (void)reading;
  } catch (const orvane::DescriptionError&) {
  }
  return 0;
}
