#include "render/font_configuration.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "render/text_layout.hpp"

namespace orvane {
namespace {

using ConfigPtr = std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)>;

// The font files a configuration offers for a request, best first, as pango asks for them: the
// pattern with the configuration's substitutions, then sorted over every font.
std::vector<std::string> fonts_for(FcConfig* config, const std::string& request) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(request.c_str()));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  std::vector<std::string> files;
  if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      files.push_back(std::string("match ") + reinterpret_cast<const char*>(file));
    }
    FcPatternDestroy(match);
  }
  FcFontSet* sorted = FcFontSort(config, pattern, FcTrue, nullptr, &result);
  for (int i = 0; sorted != nullptr && i < sorted->nfont; ++i) {
    FcChar8* file = nullptr;
    int index = 0;
    FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file);
    FcPatternGetInteger(sorted->fonts[i], FC_INDEX, 0, &index);
    files.push_back(std::string(reinterpret_cast<const char*>(file)) + ":" + std::to_string(index));
  }
  if (sorted != nullptr) FcFontSetDestroy(sorted);
  FcPatternDestroy(pattern);
  return files;
}

// A request with the fallback fonts after its own families, as a text names them when the
// configuration does not add them.
std::string with_fallbacks(const std::string& request) {
  const std::size_t colon = request.find(':');
  return request.substr(0, colon) + "," + FALLBACK_FONTS +
         (colon == std::string::npos ? "" : request.substr(colon));
}

TEST(FontConfiguration, PicksTheFontsFontconfigsOwnLoadingPicksWithTheFallbacksNamed) {
  ConfigPtr own(load_font_configuration(), &FcConfigDestroy);
  ASSERT_NE(own, nullptr);
  ConfigPtr usual(FcInitLoadConfigAndFonts(), &FcConfigDestroy);
  ASSERT_NE(usual, nullptr);
  // The painters' families, generic and missing ones, bold and sizes, and the languages whose
  // names need fallback fonts (CJK, Arabic, emoji). Asked for alone, a family gets from orvane's
  // configuration what fontconfig's own gives it with the fallbacks named after it. (In a
  // request a dash starts the sizes, so the generic family's dash is escaped.)
  for (const std::string request :
       {"Noto Sans:pixelsize=13", "Noto Sans:pixelsize=20:weight=200", "DejaVu Sans:pixelsize=11",
        "Helvetica:pixelsize=9.75", "sans\\-serif", "serif:bold", "monospace", "Arial:lang=ar",
        "Noto Sans:lang=ja", "Noto Sans:lang=zh-tw", "Noto Sans:lang=ko", "emoji",
        "Noto Color Emoji", "No Such Family:pixelsize=12"}) {
    const std::vector<std::string> own_fonts = fonts_for(own.get(), request);
    EXPECT_FALSE(own_fonts.empty()) << request;
    EXPECT_EQ(own_fonts, fonts_for(usual.get(), with_fallbacks(request))) << request;
  }
}

}  // namespace
}  // namespace orvane
