// Uncaught exceptions end the process with their type, message and a backtrace, in colour when
// standard error is a terminal. Installed once, when the library is loaded.
#include <cxxabi.h>
#include <execinfo.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

#include "orvane/helper.hpp"

namespace orvane {
namespace {

std::string demangle(const char* name) {
  int status = 0;
  char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string out = status == 0 && readable != nullptr ? readable : name;
  std::free(readable);
  return out;
}

void print_uncaught() {
  const bool colour = ::isatty(STDERR_FILENO) != 0;
  const char* red = colour ? "\x1b[1;31m" : "";
  const char* dim = colour ? "\x1b[2m" : "";
  const char* reset = colour ? "\x1b[0m" : "";
  std::string type = "unknown exception";
  std::string message;
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      type = demangle(typeid(e).name());
      message = e.what();
    } catch (...) {
      if (const std::type_info* info = abi::__cxa_current_exception_type()) {
        type = demangle(info->name());
      }
    }
  } else {
    type = "std::terminate called without an active exception";
  }
  std::fprintf(stderr, "%sTraceback (most recent call first):%s\n", dim, reset);
  void* frames[64];
  const int count = ::backtrace(frames, 64);
  std::fflush(stderr);
  ::backtrace_symbols_fd(frames, count, STDERR_FILENO);
  // The message may carry user text: show it without raw control characters.
  std::fprintf(stderr, "%s%s%s: %s\n", red, type.c_str(), reset,
               Helper::render_markup(Helper::escape(message), false).c_str());
  std::fflush(stderr);
  std::abort();
}

[[maybe_unused]] const bool installed = [] {
  std::set_terminate(&print_uncaught);
  return true;
}();

}  // namespace
}  // namespace orvane
