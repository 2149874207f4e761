// Threads the library leaves behind must not read the environment: a program may change its
// environment whenever a library call has returned, and reading it on one thread while another
// changes it can crash. Each test runs in a process of its own (a fresh font configuration).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "orvane/painter_factory.hpp"

namespace {

const std::thread::id test_thread = std::this_thread::get_id();
std::atomic<bool> watching{false};
std::atomic<int> reads_elsewhere{0};

// Names of the process's threads that pango started, which are still running.
int pango_threads() {
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name.rfind("[pango]", 0) == 0) ++count;
  }
  return count;
}

// Waits until pango's threads have finished (or gives up after a minute).
void wait_for_pango_threads() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (pango_threads() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

// The process's getenv: the libraries' calls find this one ahead of the C library's, so it sees
// every read of the environment, and counts those made on other threads while watching.
extern "C" __attribute__((visibility("default"))) char* getenv(const char* name) noexcept {
  if (watching && std::this_thread::get_id() != test_thread) ++reads_elsewhere;
  const std::size_t length = std::strlen(name);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=') {
      return *entry + length + 1;
    }
  }
  return nullptr;
}

namespace orvane {
namespace {

TEST(FontLoading, NoThreadReadsTheEnvironmentOnceThePainterIsMadeAndHasDrawn) {
  // The first painter makes the font map, whose configuration pango loads on a thread.
  auto painter = PainterFactory().get_painter("png", 200, 100);
  watching = true;
  TextStyle style;
  style.font_size = 13;
  EXPECT_GT(painter->measure_text("Check the order", style, 80).width, 0);
  painter->draw_text("Ship and bill \u4e2d\u6587", {10, 10, 120, 60}, style);
  EXPECT_NE(painter->render_as("png").size(), 0u);
  wait_for_pango_threads();
  watching = false;
  EXPECT_EQ(reads_elsewhere, 0);
}

TEST(FontLoading, NoThreadReadsTheEnvironmentOnceFontsPreparedEarlyAreUsed) {
  // Loading started early may still run while the program goes on; the first painter waits.
  PainterFactory::prepare_fonts();
  auto painter = PainterFactory().get_painter("svg", 200, 100);
  watching = true;
  wait_for_pango_threads();
  watching = false;
  EXPECT_EQ(reads_elsewhere, 0);
}

}  // namespace
}  // namespace orvane
