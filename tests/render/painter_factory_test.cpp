#include "orvane/painter_factory.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/quiet_painter.hpp"

namespace orvane {
namespace {

class NamedPainter : public QuietPainter {
 public:
  NamedPainter() : QuietPainter("fake", 0, 0) {}
};

TEST(PainterFactory, MakesEachKnownKindWithItsSize) {
  EXPECT_EQ(PainterFactory::kinds(), (std::vector<std::string>{"png", "svg", "pdf"}));
  for (const auto& kind : PainterFactory::kinds()) {
    auto painter = PainterFactory().get_painter(kind, 800, 5000);
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(painter->kind(), kind);
    EXPECT_EQ(painter->surface_width(), 800);
    EXPECT_EQ(painter->surface_height(), 5000);
    // Usable defaults even before a theme is chosen.
    EXPECT_FALSE(painter->element_font.empty());
    EXPECT_GT(painter->title_font_size, 0);
  }
}

TEST(PainterFactory, UnknownKindListsTheKnownOnes) {
  for (const std::string kind : {"jpeg", "PNG", ""}) {
    try {
      PainterFactory().get_painter(kind, 10, 10);
      FAIL() << kind;
    } catch (const std::invalid_argument& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("'" + kind + "'"), std::string::npos) << message;
      EXPECT_NE(message.find("'png', 'svg', 'pdf'"), std::string::npos) << message;
    }
  }
  EXPECT_THROW(PainterFactory().get_painter("png", 0, 10), std::invalid_argument);
}

TEST(PainterFactory, PreparedFontsSetTextExactlyAsUnpreparedOnes) {
  // Each thread has fonts of its own: one thread prepares them before making its painter, the
  // other does not; both must set every text alike, in the same sizes, lines and bounds.
  using Setting = std::tuple<double, double, double, std::vector<std::string>, double, double>;
  auto set_texts = [](bool prepare) {
    if (prepare) PainterFactory::prepare_fonts();
    auto painter = PainterFactory().get_painter("png", 400, 300);
    std::vector<Setting> out;
    for (bool bold : {false, true}) {
      TextStyle style;
      style.font_size = 13;
      style.bold = bold;
      for (const std::string text : {"Check the order", "Ship\nand bill", "\u4e2d\u6587 CJK"}) {
        const TextExtent extent = painter->measure_text(text, style, 80);
        const SetText set = painter->layout_text(text, {0, 0, 60, 40}, style);
        out.emplace_back(extent.width, extent.height, set.font_size, set.lines, set.bounds.width,
                         set.bounds.height);
      }
    }
    return out;
  };
  std::vector<Setting> prepared;
  std::vector<Setting> plain;
  std::thread([&] { prepared = set_texts(true); }).join();
  std::thread([&] { plain = set_texts(false); }).join();
  ASSERT_EQ(prepared.size(), 6u);
  EXPECT_EQ(prepared, plain);
}

TEST(PainterFactory, PaintersNameTheFontsTheSystemLacksAndWhatTheyUseInstead) {
  for (const auto& kind : PainterFactory::kinds()) {
    auto painter = PainterFactory().get_painter(kind, 400, 300);
    EXPECT_TRUE(painter->replaced_fonts().empty()) << kind;
    TextStyle style;
    style.font_size = 12;
    // Installed (one of them without Latin letters, one written in other case and spacing),
    // generic, a list with an installed family, the default, and two missing ones asked for
    // twice each: only the missing are named, once each, in the order asked.
    for (const std::string font :
         {"Noto Sans", "No Such Family 7", "sans-serif", "Missing One, DejaVu Sans", "",
          "Noto Sans Arabic", "noto  sans ARABIC", "Helvetica Neue Missing", "no such family 7",
          "No Such Family 7"}) {
      style.font = font;
      painter->measure_text("Order", style, 0);
      painter->layout_text("Ship", {0, 0, 60, 40}, style);
    }
    EXPECT_EQ(painter->replaced_fonts(),
              (std::vector<FontReplacement>{{"No Such Family 7", "Noto Sans"},
                                            {"Helvetica Neue Missing", "Noto Sans"},
                                            {"no such family 7", "Noto Sans"}}))
        << kind;
  }
  // A painter without a text engine sets nothing in any font.
  NamedPainter plain;
  TextStyle style;
  style.font = "No Such Family 7";
  plain.measure_text("Order", style, 0);
  EXPECT_TRUE(plain.replaced_fonts().empty());
}

TEST(PainterFactory, OverrideReplacesEveryFactoryUntilCleared) {
  std::vector<std::tuple<std::string, int, int>> calls;
  PainterFactory::set_override([&](const std::string& kind, int w, int h) {
    calls.emplace_back(kind, w, h);
    return std::make_unique<NamedPainter>();
  });
  EXPECT_EQ(PainterFactory().get_painter("jpeg", 800, 5000)->kind(), "fake");
  PainterFactory::set_override({});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], std::make_tuple(std::string("jpeg"), 800, 5000));
  EXPECT_EQ(PainterFactory().get_painter("svg", 10, 10)->kind(), "svg");
}

}  // namespace
}  // namespace orvane
