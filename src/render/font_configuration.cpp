#include "font_configuration.hpp"

#include <fmt/format.h>

#include <atomic>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "text_layout.hpp"

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

std::atomic<bool> fallbacks_in_configuration{false};

// A rule that appends the fallback fonts to the families a pattern asks for, strongly bound as
// families named by the text itself are. Read before the system's rules, it gives them the same
// list a text naming its font and then the fallbacks gives them.
std::string fallback_rule() {
  std::string families;
  std::string_view names = FALLBACK_FONTS;
  while (!names.empty()) {
    const std::size_t comma = names.find(',');
    families += fmt::format("<string>{}</string>", names.substr(0, comma));
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
  }
  return "<?xml version=\"1.0\"?><fontconfig><match target=\"pattern\">"
         "<edit name=\"family\" mode=\"append\" binding=\"strong\">" +
         families + "</edit></match></fontconfig>";
}

}  // namespace

FcConfig* load_font_configuration() {
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return nullptr;
  // The fallback rule; the default file (or FONTCONFIG_FILE's), with its includes; then the
  // fonts of its folders from their caches: what fontconfig's own start does, but for the
  // listing descriptions.
  const std::string rule = fallback_rule();
  bool usable = FcConfigParseAndLoadFromMemory(
                    config, reinterpret_cast<const FcChar8*>(rule.c_str()), FcTrue) &&
                FcConfigParseAndLoad(config, nullptr, FcTrue) && FcConfigBuildFonts(config);
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
        if (FcConfigSetCurrent(config)) fallbacks_in_configuration = true;
        FcConfigDestroy(config);  // the process's configuration holds it now
      }
    });
  } catch (const std::system_error&) {
    // Without a thread to spare, fontconfig loads its configuration when first needed.
  }
}

bool fallback_fonts_configured() {
  return fallbacks_in_configuration;
}

void wait_for_font_configuration() {
  Loading& l = loading();
  const std::lock_guard<std::mutex> lock(l.mutex);
  // Pango is about to load fonts: from now on no configuration may replace the one in use.
  l.started = true;
  if (l.thread.joinable()) l.thread.join();
}

}  // namespace orvane
