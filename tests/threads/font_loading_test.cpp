// Threads the library leaves behind must not read the environment: a program may change its
// environment whenever a library call has returned, and reading it on one thread while another
// changes it can crash. Each test runs in a process of its own (a fresh font configuration).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "orvane/painter_factory.hpp"

namespace {

const std::thread::id test_thread = std::this_thread::get_id();
std::atomic<bool> watching{false};
std::atomic<int> reads_elsewhere{0};

// How many threads the process runs now.
int thread_count() {
  int count = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

// The threads the process ran before the library started any. A thread started and ended first
// makes ThreadSanitizer start its background thread, which it does at a process's first new
// thread and which stays: counted here, the waits below no longer run into their deadline.
const int own_threads = [] {
  std::thread([] {}).join();
  return thread_count();
}();

// Waits until the threads the library started have finished (or gives up after a minute).
void wait_for_library_threads() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (thread_count() > own_threads && std::chrono::steady_clock::now() < deadline) {
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

// Runs a call into the library unwatched (its threads may read the environment while it runs),
// then watches until the threads it started have finished.
template <class Call>
void call(Call body) {
  watching = false;
  body();
  watching = true;
  wait_for_library_threads();
}

// Measures, draws and renders a text, each call watched.
void set_text(Painter& painter) {
  TextStyle style;
  style.font_size = 13;
  call([&] { EXPECT_GT(painter.measure_text("Check the order", style, 80).width, 0); });
  call([&] { painter.draw_text("Ship and bill \u4e2d\u6587", {10, 10, 120, 60}, style); });
  call([&] { EXPECT_NE(painter.render_as("png").size(), 0u); });
}

TEST(FontLoading, NoThreadReadsTheEnvironmentBetweenThePaintersCalls) {
  // The first text measured makes the font map, whose configuration pango loads on a thread.
  std::unique_ptr<Painter> painter;
  call([&] { painter = PainterFactory().get_painter("png", 200, 100); });
  set_text(*painter);
  EXPECT_EQ(reads_elsewhere, 0);
}

TEST(FontLoading, NoThreadReadsTheEnvironmentOnceAPictureWithoutTextIsDrawn) {
  // Drawing loads the fonts too, whether or not there is text to set.
  std::unique_ptr<Painter> painter;
  call([&] { painter = PainterFactory().get_painter("pdf", 200, 100); });
  call([&] { painter->draw_rectangle({10, 10, 50, 40}, "#eef4ff", {"#335577", 1, {}}); });
  call([&] { EXPECT_NE(painter->render_as("pdf").size(), 0u); });
  EXPECT_EQ(reads_elsewhere, 0);
}

TEST(FontLoading, NoThreadReadsTheEnvironmentOnceFontsPreparedEarlyHaveSetText) {
  // Loading started early runs on while the program reads its input, until text is measured.
  PainterFactory::prepare_fonts();
  auto painter = PainterFactory().get_painter("svg", 200, 100);
  call([&] { EXPECT_GT(painter->measure_text("Check the order", {}, 80).width, 0); });
  EXPECT_EQ(reads_elsewhere, 0);
}

TEST(FontLoading, NoThreadReadsTheEnvironmentOnceFontsPreparedAtStartHaveSetText) {
  // The program's own loading of the configuration runs while it reads its input.
  PainterFactory::prepare_fonts_at_start();
  auto painter = PainterFactory().get_painter("png", 200, 100);
  set_text(*painter);
  EXPECT_EQ(reads_elsewhere, 0);
}

TEST(FontLoading, FontsPreparedAtStartOnceTextIsSetChangeNothing) {
  // Too late to load a configuration of its own: the one in use stays, and no thread starts.
  auto painter = PainterFactory().get_painter("png", 200, 100);
  double width = 0;
  call([&] { width = painter->measure_text("Check the order", {}, 80).width; });
  call([] { PainterFactory::prepare_fonts_at_start(); });
  EXPECT_EQ(reads_elsewhere, 0);
  auto later = PainterFactory().get_painter("png", 200, 100);
  call([&] { EXPECT_EQ(later->measure_text("Check the order", {}, 80).width, width); });
  EXPECT_EQ(reads_elsewhere, 0);
}

}  // namespace
}  // namespace orvane
