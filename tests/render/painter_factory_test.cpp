#include "orvane/painter_factory.hpp"

#include <gtest/gtest.h>

#include <string>
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
