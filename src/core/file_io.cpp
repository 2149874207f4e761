#include "orvane/file_io.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace orvane {
namespace {

[[noreturn]] void fail(const std::string& filename, const std::string& what, int error) {
  throw std::runtime_error("cannot write '" + filename + "': " + what + ": " +
                           std::strerror(error));
}

}  // namespace

void write_file_atomically(const std::string& filename, std::string_view content) {
  namespace fs = std::filesystem;
  if (filename.empty()) throw std::runtime_error("cannot write a file with an empty name");
  fs::path target(filename);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string temp_name = (folder / fmt::format(".{}.XXXXXX", target.filename().string())).string();
  int fd = ::mkstemp(temp_name.data());
  if (fd < 0) {
    const int error = errno;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
      const std::string why = fs::exists(folder, ec)
                                  ? fmt::format("'{}' is not a folder", folder.string())
                                  : fmt::format("the folder '{}' does not exist", folder.string());
      throw std::runtime_error(fmt::format("cannot write '{}': {}", filename, why));
    }
    fail(filename, "cannot create a temporary file", error);
  }
  std::size_t written = 0;
  while (written < content.size()) {
    ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      ::unlink(temp_name.c_str());
      fail(filename, "write failed", error);
    }
    written += static_cast<std::size_t>(n);
  }
  // mkstemp creates the file readable by the owner only; give it ordinary permissions, and
  // flush it to disk so that the rename never exposes an empty file after a crash.
  ::fchmod(fd, 0644);
  if (::fsync(fd) != 0 && errno != EINVAL) {
    int error = errno;
    ::close(fd);
    ::unlink(temp_name.c_str());
    fail(filename, "flush failed", error);
  }
  if (::close(fd) != 0) {
    int error = errno;
    ::unlink(temp_name.c_str());
    fail(filename, "close failed", error);
  }
  if (::rename(temp_name.c_str(), filename.c_str()) != 0) {
    int error = errno;
    ::unlink(temp_name.c_str());
    fail(filename, "rename failed", error);
  }
}

}  // namespace orvane
