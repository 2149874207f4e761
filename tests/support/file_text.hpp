// The bytes of a file, for tests that compare what was written.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orvane {

inline std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace orvane
