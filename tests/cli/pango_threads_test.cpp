#include <glib.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The priority (nice value) a thread started by g_thread_new under `name` runs at, and what it
// returned: the command's g_thread_new must still run the function with its data.
std::pair<int, int> start_and_join(const char* name) {
  static int data = 41;
  GThread* thread = g_thread_new(
      name,
      [](gpointer p) -> gpointer {
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
        *static_cast<int*>(p) += 1;
        return GINT_TO_POINTER(nice + 100);
      },
      &data);
  const int nice = GPOINTER_TO_INT(g_thread_join(thread)) - 100;
  return {nice, data};
}

TEST(PangoThreads, OnlyFallbackSortingThreadsStartAtTheLowestPriority) {
  const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  if (own >= 19) GTEST_SKIP() << "the tests run at the lowest priority already";
  EXPECT_EQ(start_and_join("[pango] FcFontSetSort"), std::make_pair(19, 42));
  EXPECT_EQ(start_and_join("[pango] FcFontSetMatch"), std::make_pair(own, 43));
  EXPECT_EQ(start_and_join("[pango] FcInit"), std::make_pair(own, 44));
  EXPECT_EQ(start_and_join("worker"), std::make_pair(own, 45));
}

}  // namespace
