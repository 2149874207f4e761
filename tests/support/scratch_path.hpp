// A file name in the temporary folder that no other test process uses: test suites run in
// parallel (ctest -j, the release and sanitizer builds side by side), so fixed names collide.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace orvane {

inline std::filesystem::path scratch_path(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("orvane-" + std::to_string(::getpid()) + "-" + name);
}

}  // namespace orvane
