#include "orvane/file_io.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace orvane {
namespace {

[[noreturn]] void fail(const std::string& filename, const std::string& what, int error) {
  throw std::runtime_error("cannot write '" + filename + "': " + what + ": " +
                           std::strerror(error));
}

// Flushes the written temporary file to disk, so that the rename never exposes an empty file
// after a crash, and renames it into place; on failure the temporary file is removed.
void flush_and_rename(int fd, const std::string& temp_name, const std::string& filename) {
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
  // mkstemp creates the file readable by the owner only; give it ordinary permissions.
  ::fchmod(fd, 0644);
  if (FlushGroup* group = FlushGroup::current()) {
    group->add(fd, std::move(temp_name), filename);
    return;
  }
  flush_and_rename(fd, temp_name, filename);
}

namespace {
thread_local FlushGroup* current_group = nullptr;
}  // namespace

FlushGroup::FlushGroup() : outer_(current_group) {
  current_group = this;
}

FlushGroup::~FlushGroup() {
  wait();
  current_group = outer_;
}

FlushGroup* FlushGroup::current() {
  return current_group;
}

void FlushGroup::add(int fd, std::string temp_name, std::string filename) {
  // The same file written again must end with the later content: its earlier rename first.
  for (const auto& p : pending_) {
    if (p->filename == filename) wait();
  }
  try {
    pending_.push_back(std::make_unique<Pending>(Pending{filename, nullptr}));
    Pending* slot = pending_.back().get();
    workers_.emplace_back([slot, fd, temp = temp_name, name = filename] {
      try {
        flush_and_rename(fd, temp, name);
      } catch (...) {
        slot->failure = std::current_exception();
      }
    });
  } catch (const std::exception&) {
    // No memory or thread to spare: flush here and now.
    if (!pending_.empty() && pending_.back()->filename == filename) pending_.pop_back();
    flush_and_rename(fd, temp_name, filename);
  }
}

void FlushGroup::wait() {
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

void FlushGroup::check(const std::string& filename) const {
  for (const auto& p : pending_) {
    if (p->filename == filename && p->failure) std::rethrow_exception(p->failure);
  }
}

}  // namespace orvane
