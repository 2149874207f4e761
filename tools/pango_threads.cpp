// Pango sorts every font description's fallback fonts on a thread of its own, for text its first
// font cannot show. The command seldom waits for that sort, but on a busy machine those threads
// take the processor from the thread that lays out and draws the diagram. The command defines
// glib's g_thread_new, which pango calls to start them, and starts the sorting threads at the
// lowest priority; every thread still runs as glib's own function makes it.
#include <dlfcn.h>
#include <glib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* SORTING_THREAD = "[pango] FcFontSetSort";

struct Start {
  GThreadFunc func;
  gpointer data;
};

gpointer run_at_lowest_priority(gpointer start) {
  const Start s = *static_cast<Start*>(start);
  delete static_cast<Start*>(start);
  // A thread may always lower its own priority; failing that, it runs as it is.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
  return s.func(s.data);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) GThread* g_thread_new(const gchar* name,
                                                                        GThreadFunc func,
                                                                        gpointer data) {
  using Create = GThread* (*)(const gchar*, GThreadFunc, gpointer);
  static const Create glib_create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "g_thread_new"));
  if (glib_create == nullptr) {
    std::fputs("orvane: error: glib's g_thread_new is missing\n", stderr);
    std::abort();
  }
  if (name != nullptr && std::strcmp(name, SORTING_THREAD) == 0) {
    return glib_create(name, run_at_lowest_priority, new Start{func, data});
  }
  return glib_create(name, func, data);
}
