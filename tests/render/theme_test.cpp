#include "orvane/theme.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "orvane/painter_factory.hpp"

namespace orvane {
namespace {

// The family fontconfig picks for `font`.
std::string resolved_family(const std::string& font) {
  const std::string command = "fc-match -f '%{family}' '" + font + "' 2>/dev/null";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
  std::string out;
  char buffer[256];
  while (pipe && fgets(buffer, sizeof buffer, pipe.get()) != nullptr) out += buffer;
  return out;
}

TEST(Themes, DefaultComesFirstAmongAtLeastSixThemes) {
  const auto names = theme_names();
  ASSERT_GE(names.size(), 6u);
  EXPECT_EQ(names.front(), "DEFAULT");
  for (const auto& name : names) EXPECT_EQ(get_theme(name).name, name);
  EXPECT_EQ(get_theme("ocean").name, "OCEAN");
}

TEST(Themes, UnknownThemeListsTheKnownOnes) {
  try {
    get_theme("NO SUCH THEME");
    FAIL();
  } catch (const std::invalid_argument& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("'NO SUCH THEME'"), std::string::npos) << message;
    for (const auto& name : theme_names()) {
      EXPECT_NE(message.find(name), std::string::npos) << message;
    }
  }
  auto painter = PainterFactory().get_painter("png", 10, 10);
  EXPECT_THROW(painter->set_colour_theme("NO SUCH THEME"), std::invalid_argument);
}

TEST(Themes, EveryTextIsReadableOnItsBackground) {
  for (const auto& name : theme_names()) {
    const Theme& t = get_theme(name);
    const std::pair<std::string, std::string> pairs[] = {
        {t.title_font_colour, t.background_colour},
        {t.footer_font_colour, t.background_colour},
        {t.pool_font_colour, t.pool_fill_colour},
        {t.lane_font_colour, t.lane_fill_colour},
        {t.element_font_colour, t.element_fill_colour},
        // names below events and gateways, and connection labels, sit on the lane
        {t.element_font_colour, t.lane_background_fill_colour},
        {t.connection_colour, t.lane_background_fill_colour},
    };
    for (const auto& [text, background] : pairs) {
      EXPECT_GE(contrast_ratio(parse_colour(text), parse_colour(background)), 4.5)
          << name << ": " << text << " on " << background;
    }
  }
}

TEST(Themes, FontsAndSizesAreComplete) {
  for (const auto& name : theme_names()) {
    const Theme& t = get_theme(name);
    for (const std::string& font :
         {t.title_font, t.pool_font, t.lane_font, t.footer_font, t.element_font}) {
      ASSERT_FALSE(font.empty()) << name;
      EXPECT_EQ(resolved_family(font), font) << name << ": font not installed";
    }
    for (int size : {t.title_font_size, t.pool_font_size, t.lane_font_size, t.footer_font_size,
                     t.element_font_size}) {
      EXPECT_GE(size, 8) << name;
    }
    for (const std::string& colour : {t.background_colour, t.pool_fill_colour, t.lane_fill_colour,
                                      t.lane_background_fill_colour, t.element_fill_colour,
                                      t.element_outline_colour, t.connection_colour}) {
      EXPECT_NO_THROW(parse_colour(colour)) << name;
    }
  }
}

TEST(Themes, PainterDefaultsFollowTheTheme) {
  auto painter = PainterFactory().get_painter("svg", 10, 10);
  for (const auto& name : theme_names()) {
    painter->set_colour_theme(name);
    const Theme& t = get_theme(name);
    EXPECT_EQ(painter->title_font, t.title_font);
    EXPECT_EQ(painter->lane_background_fill_colour, t.lane_background_fill_colour);
    EXPECT_EQ(painter->footer_font_size, t.footer_font_size);
    EXPECT_EQ(painter->background_colour, t.background_colour);
  }
}

TEST(Colours, ReadsHexAndNamesAndRefusesTheRest) {
  EXPECT_EQ(parse_colour("#ffffff"), (Rgba{1, 1, 1, 1}));
  EXPECT_EQ(parse_colour("#000"), (Rgba{0, 0, 0, 1}));
  EXPECT_EQ(parse_colour("White"), parse_colour("#fff"));
  EXPECT_EQ(parse_colour("light grey"), parse_colour("#d3d3d3"));
  EXPECT_DOUBLE_EQ(parse_colour("#ff000080").alpha, 128 / 255.0);
  for (const std::string bad : {"", "#", "#ff", "#fffff", "#gggggg", "nocolour", "ff0000"}) {
    EXPECT_THROW(parse_colour(bad), std::invalid_argument) << bad;
  }
  EXPECT_NEAR(contrast_ratio(parse_colour("black"), parse_colour("white")), 21, 1e-9);
  EXPECT_NEAR(contrast_ratio(parse_colour("#777"), parse_colour("#777")), 1, 1e-9);
}

}  // namespace
}  // namespace orvane
