// libFuzzer entry: any text must either parse or be refused with a DescriptionError. Anything
// else escaping (another exception, a crash, a hang) is a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "orvane/loader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    orvane::DiagramDescription description = orvane::parse_description(text, "fuzz.yaml");
    (void)description;
  } catch (const orvane::DescriptionError&) {
  }
  return 0;
}
