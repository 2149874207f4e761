#include "orvane/file_io.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvane {
namespace {

namespace fs = std::filesystem;

class AtomicWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("orvane-io-" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path folder;
};

TEST_F(AtomicWrite, WritesAndReplacesTheWholeFileWithNothingLeftBeside) {
  const fs::path target = folder / "diagram.svg";
  write_file_atomically(target.string(), "first version, longer");
  write_file_atomically(target.string(), std::string("second\0binary", 13));
  EXPECT_EQ(read(target), std::string("second\0binary", 13));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::others_read, fs::perms::others_read);
}

TEST_F(AtomicWrite, FailureThrowsNamingTheFileAndLeavesNoFile) {
  const fs::path missing = folder / "no-folder" / "out.png";
  try {
    write_file_atomically(missing.string(), "x");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("the folder '" + (folder / "no-folder").string() +
                                         "' does not exist"),
              std::string::npos)
        << e.what();
  }
  // A folder in the way of the target: the rename fails and the temporary file is removed.
  fs::create_directories(folder / "taken");
  EXPECT_THROW(write_file_atomically((folder / "taken").string(), "x"), std::runtime_error);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  EXPECT_THROW(write_file_atomically("", "x"), std::runtime_error);
}

// Within a group the files are flushed together: each is in place after wait(), a failure is
// reported for its own file only (as without a group, nothing left behind), and the group ends
// waiting for what is still flushing.
TEST_F(AtomicWrite, AFlushGroupPutsEveryFileInPlaceAndReportsEachFailureByName) {
  fs::create_directories(folder / "taken" / "inside");
  const std::string taken = (folder / "taken").string();
  {
    FlushGroup group;
    for (int i = 0; i < 5; ++i) {
      write_file_atomically((folder / ("f" + std::to_string(i))).string(), std::to_string(i));
    }
    write_file_atomically(taken, "x");
    write_file_atomically((folder / "f0").string(), "again");
    group.wait();
    EXPECT_EQ(read(folder / "f0"), "again");
    for (int i = 1; i < 5; ++i)
      EXPECT_EQ(read(folder / ("f" + std::to_string(i))), std::to_string(i));
    EXPECT_NO_THROW(group.check((folder / "f1").string()));
    try {
      group.check(taken);
      FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("cannot write '" + taken + "'"), std::string::npos)
          << e.what();
    }
    // Errors found before the content is handed over are thrown at once, as ever.
    EXPECT_THROW(write_file_atomically((folder / "no-folder" / "x").string(), "x"),
                 std::runtime_error);
    write_file_atomically((folder / "last").string(), "last");
  }
  EXPECT_EQ(read(folder / "last"), "last");
  // Five files, the last one and the folder: no temporary file left.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 7);
  // Without a group again: the failure is thrown by the write itself.
  EXPECT_THROW(write_file_atomically(taken, "x"), std::runtime_error);
}

}  // namespace
}  // namespace orvane
