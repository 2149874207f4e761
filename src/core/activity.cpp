// The words of the activity enumerations, as the description format and the exports use them.
#include "orvane/activity.hpp"

#include <array>
#include <stdexcept>
#include <string>

namespace orvane {
namespace {

template <std::size_t N>
std::string_view word(const std::array<std::string_view, N>& words, std::size_t index,
                      const char* what) {
  if (index >= N)
    throw std::out_of_range(std::string("unknown ") + what + " " + std::to_string(index));
  return words[index];
}

}  // namespace

std::string_view task_type_name(TaskType type) {
  static constexpr std::array<std::string_view, 8> words{
      "none", "user", "service", "send", "receive", "script", "manual", "business_rule"};
  return word(words, static_cast<std::size_t>(type), "task type");
}

std::string_view loop_type_name(LoopType type) {
  static constexpr std::array<std::string_view, 4> words{"none", "standard", "parallel",
                                                         "sequential"};
  return word(words, static_cast<std::size_t>(type), "loop type");
}

std::string_view subprocess_form_name(SubprocessForm form) {
  static constexpr std::array<std::string_view, 4> words{"embedded", "call_activity", "transaction",
                                                         "event"};
  return word(words, static_cast<std::size_t>(form), "sub-process form");
}

}  // namespace orvane
