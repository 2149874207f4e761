#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

/// Writes `content` to `filename` atomically: a temporary file in the same folder, then a
/// rename. Throws std::runtime_error naming the file and the reason; leaves no partial file.
/// Each file is flushed to disk before the rename, so a crash never leaves an empty file in its
/// place.
ORVANE_API void write_file_atomically(const std::string& filename, std::string_view content);

/// Overlaps the flushes of several files written one after another on this thread. While a
/// FlushGroup lives, write_file_atomically returns once the content is written; the flush to
/// disk and the rename finish on a thread of their own, so the disk commits the files together
/// and the work between the writes goes on meanwhile. A file is in place only after wait().
class ORVANE_API FlushGroup {
 public:
  FlushGroup();
  /// Waits for the files still flushing (failures not checked by then are dropped).
  ~FlushGroup();
  FlushGroup(const FlushGroup&) = delete;
  FlushGroup& operator=(const FlushGroup&) = delete;

  /// Waits until every file of the group is in place or has failed.
  void wait();
  /// After wait(): throws the failure of `filename` as write_file_atomically would have
  /// (std::runtime_error naming the file; nothing left behind); does nothing when it is in place.
  void check(const std::string& filename) const;

  /// Hands over a written temporary file: flush it and rename it to `filename` (internal).
  void add(int fd, std::string temp_name, std::string filename);
  /// The group of this thread, if any (internal).
  static FlushGroup* current();

 private:
  struct Pending {
    std::string filename;
    std::exception_ptr failure;
  };
  std::vector<std::thread> workers_;
  // Each worker writes its own entry's failure; entries never move.
  std::vector<std::unique_ptr<Pending>> pending_;
  FlushGroup* outer_;
};

}  // namespace orvane
