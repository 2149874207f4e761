#include "font_configuration.hpp"

#include <mutex>
#include <system_error>
#include <thread>

namespace orvane {
namespace {

// The loading thread, joined at the latest when the program ends (also when it ends before
// drawing, on an error).
struct Loading {
  std::mutex mutex;
  std::thread thread;
  // Once per process: a second configuration would replace the first while in use.
  bool started = false;
  ~Loading() {
    if (thread.joinable()) thread.join();
  }
};
// Made when first used, so that it is there for a program's constructors too.
Loading& loading() {
  static Loading instance;
  return instance;
}

}  // namespace

FcConfig* load_font_configuration() {
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return nullptr;
  // The default file (or FONTCONFIG_FILE's), with its includes, then the fonts of its folders
  // from their caches: what fontconfig's own start does, but for the listing descriptions.
  bool usable = FcConfigParseAndLoad(config, nullptr, FcTrue) && FcConfigBuildFonts(config);
  if (usable) {
    // Fontconfig names cache folders of its own when the files name none; leave that to it.
    FcStrList* caches = FcConfigGetCacheDirs(config);
    usable = caches != nullptr && FcStrListNext(caches) != nullptr;
    if (caches != nullptr) FcStrListDone(caches);
  }
  if (!usable) {
    FcConfigDestroy(config);
    return nullptr;
  }
  return config;
}

void start_loading_font_configuration() {
  Loading& l = loading();
  const std::lock_guard<std::mutex> lock(l.mutex);
  if (l.started) return;
  l.started = true;
  try {
    l.thread = std::thread([] {
      if (FcConfig* config = load_font_configuration()) {
        FcConfigSetCurrent(config);
        FcConfigDestroy(config);  // the process's configuration holds it now
      }
    });
  } catch (const std::system_error&) {
    // Without a thread to spare, fontconfig loads its configuration when first needed.
  }
}

void wait_for_font_configuration() {
  Loading& l = loading();
  const std::lock_guard<std::mutex> lock(l.mutex);
  // Pango is about to load fonts: from now on no configuration may replace the one in use.
  l.started = true;
  if (l.thread.joinable()) l.thread.join();
}

}  // namespace orvane
