// How names are fitted into their boxes: wrapped at words, shrunk down to a floor, broken
// inside a word only when the word alone is too wide, and cut with a visible ellipsis last.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "orvane/painter_factory.hpp"
#include "support/quiet_painter.hpp"

namespace orvane {
namespace {

// An activity's text box and the band beside a lane, as the elements use them.
const Box ACTIVITY{0, 0, 90, 70};
const Box LANE_BAND{0, 0, 26, 136};
const std::string ELLIPSIS = "\xE2\x80\xA6";

TextStyle style(int size = 12) {
  TextStyle s;
  s.font = "Noto Sans";
  s.font_size = size;
  return s;
}

std::string joined(const SetText& set) {
  std::string out;
  for (const auto& line : set.lines) out += line;
  return out;
}

bool inside(const Box& inner, const Box& outer) {
  return inner.x >= outer.x - 0.01 && inner.y >= outer.y - 0.01 &&
         inner.right() <= outer.right() + 0.01 && inner.bottom() <= outer.bottom() + 0.01;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class TextFit : public ::testing::Test {
 protected:
  std::unique_ptr<Painter> painter = PainterFactory().get_painter("png", 100, 100);
};

TEST_F(TextFit, ANameThatFitsKeepsItsSizeAndWrapsAtWords) {
  const SetText set = painter->layout_text("Check the order of the customer", ACTIVITY, style());
  EXPECT_EQ(set.font_size, 12);
  EXPECT_FALSE(set.cut);
  EXPECT_EQ(joined(set), "Check the order of the customer");
  ASSERT_GT(set.lines.size(), 1u);
  for (std::size_t i = 0; i + 1 < set.lines.size(); ++i) {
    EXPECT_TRUE(ends_with(set.lines[i], " ")) << "broken inside a word: " << set.lines[i];
  }
}

TEST_F(TextFit, ALongNameShrinksToShowEveryWord) {
  const std::string name =
      "A very long activity name that keeps going well past what fits on one line of a box";
  const SetText set = painter->layout_text(name, ACTIVITY, style());
  EXPECT_FALSE(set.cut);
  EXPECT_EQ(joined(set), name);
  EXPECT_LT(set.font_size, 12);
  EXPECT_GE(set.font_size, 8.4);
  EXPECT_TRUE(inside(set.bounds, ACTIVITY));
}

TEST_F(TextFit, AWordIsBrokenOnlyWhenItIsTooWideEvenAtTheFloor) {
  // Fits whole once the font is a little smaller: shrinking comes before breaking.
  const SetText shrunk = painter->layout_text("Vorstellungsgespräche", ACTIVITY, style());
  EXPECT_EQ(shrunk.lines, std::vector<std::string>{"Vorstellungsgespräche"});
  EXPECT_LT(shrunk.font_size, 12);
  // Too wide at any allowed size: broken between characters, every character kept.
  const std::string word = "Donaudampfschifffahrtsgesellschaftskapitänsentscheidung";
  const SetText broken = painter->layout_text(word, ACTIVITY, style());
  EXPECT_FALSE(broken.cut);
  EXPECT_GT(broken.lines.size(), 1u);
  EXPECT_EQ(joined(broken), word);
  EXPECT_TRUE(inside(broken.bounds, ACTIVITY));
}

TEST_F(TextFit, OnlyATextTooLongAtTheFloorIsCutAndTheCutShows) {
  std::string name;
  for (int i = 0; i < 40; ++i) name += "word" + std::to_string(i) + " ";
  const SetText set = painter->layout_text(name, ACTIVITY, style());
  EXPECT_TRUE(set.cut);
  EXPECT_NEAR(set.font_size, 8.4, 1e-9);
  ASSERT_FALSE(set.lines.empty());
  EXPECT_TRUE(ends_with(set.lines.back(), ELLIPSIS)) << set.lines.back();
  EXPECT_TRUE(inside(set.bounds, ACTIVITY));
  // A theme size below the floor is never enlarged.
  EXPECT_EQ(painter->layout_text("Check", ACTIVITY, style(6)).font_size, 6);
}

TEST_F(TextFit, LinesOfTheTextThatDoNotFitEndInAnEllipsisNotInSilence) {
  // The pool name that kept only its first line, with no sign that more was written.
  const SetText set = painter->layout_text(
      "Bewerbungseingang -\nBewerbungsprüfung\nund Auswahl\ndurch die Kommission", LANE_BAND,
      style(14), true);
  EXPECT_TRUE(set.cut);
  ASSERT_FALSE(set.lines.empty());
  EXPECT_TRUE(ends_with(set.lines.back(), ELLIPSIS)) << set.lines.back();
  EXPECT_TRUE(inside(set.bounds, LANE_BAND));
}

// A text no one could read in a picture (a generated or hostile file): set from its start,
// its lines past the two hundredth run on as one, and it ends with an ellipsis past five
// thousand characters, so that setting it takes no longer than setting a page.
TEST_F(TextFit, AHugeTextIsSetFromItsStartOnly) {
  std::string lines, words, two_hundred_lines;
  for (int i = 0; i < 20000; ++i) lines += "word\n";
  for (int i = 0; i < 200; ++i) two_hundred_lines += "word\n";
  for (int i = 0; i < 50000; ++i) words += "word ";
  const TextExtent tall = painter->measure_text(lines, style(), 0);
  const TextExtent bounded = painter->measure_text(two_hundred_lines + "word word", style(), 0);
  EXPECT_DOUBLE_EQ(tall.height, bounded.height);
  EXPECT_GT(tall.width, bounded.width);  // the rest runs on in the last line

  for (const std::string& text : {lines, words}) {
    const SetText set = painter->layout_text(text, ACTIVITY, style());
    EXPECT_TRUE(set.cut);
    ASSERT_FALSE(set.lines.empty());
    EXPECT_EQ(set.lines.front().rfind("word", 0), 0U) << set.lines.front();
    EXPECT_TRUE(ends_with(set.lines.back(), ELLIPSIS)) << set.lines.back();
    EXPECT_TRUE(inside(set.bounds, ACTIVITY));
  }
}

TEST_F(TextFit, PoolAndLaneNamesKeepEveryLine) {
  TextStyle keep = style(14);
  keep.keep_lines = true;
  keep.bold = true;
  const std::string two = "Bewerbungseingang -\nBewerbungsprüfung";
  const SetText set = painter->layout_text(two, LANE_BAND, keep, true);
  EXPECT_FALSE(set.cut);
  EXPECT_EQ(joined(set), "Bewerbungseingang - Bewerbungsprüfung");
  EXPECT_TRUE(inside(set.bounds, LANE_BAND));
  // More lines than the band holds at the floor: smaller still, but every line is there.
  const SetText four = painter->layout_text(
      "Bewerbungseingang -\nBewerbungsprüfung\nund Auswahl\ndurch die Kommission", LANE_BAND, keep,
      true);
  ASSERT_EQ(four.lines.size(), 4u);
  EXPECT_LT(four.font_size, 8);
  EXPECT_EQ(four.lines[3].substr(0, 5), "durch");
  EXPECT_TRUE(inside(four.bounds, LANE_BAND));
  // Markup-like text is text: all of it is shown.
  const SetText markup =
      painter->layout_text("[bold]Brackets[/] & 'quotes'", LANE_BAND, style(13), true);
  EXPECT_FALSE(markup.cut);
  EXPECT_EQ(joined(markup), "[bold]Brackets[/] & 'quotes'");
}

TEST_F(TextFit, UnwrappedTextInAMeasuredBoxIsSetAsMeasured) {
  TextStyle title = style(20);
  title.wrap = false;
  const std::string text = "Order handling: one line\nand a second";
  const TextExtent extent = painter->measure_text(text, title, 0);
  const SetText set = painter->layout_text(text, {10, 10, extent.width, extent.height}, title);
  EXPECT_EQ(set.font_size, 20);
  EXPECT_EQ(set.lines, (std::vector<std::string>{"Order handling: one line ", "and a second"}));
  EXPECT_NEAR(set.bounds.width, extent.width, 0.01);
}

TEST_F(TextFit, BoundsAgreeWithTextBoundsAndTheBaseEstimateIsOneLine) {
  const std::string name = "Approve the purchase order and notify the supplier";
  for (bool vertical : {false, true}) {
    const SetText set = painter->layout_text(name, {5, 5, 90, 140}, style(), vertical);
    EXPECT_EQ(set.bounds, painter->text_bounds(name, {5, 5, 90, 140}, style(), vertical));
  }
  const QuietPainter estimate;
  const SetText set = estimate.layout_text(name, ACTIVITY, style());
  EXPECT_EQ(set.lines, std::vector<std::string>{name});
  EXPECT_EQ(set.font_size, 12);
}

// A painter sets each text once and answers again from memory: every answer must still be the
// one a fresh painter gives, whatever was asked before it (another box, direction, width or
// any field of the style but the colour).
TEST_F(TextFit, TextsAskedAgainAreSetAsAFreshPainterSetsThem) {
  const std::string name = "Approve the purchase order and notify the supplier";
  std::vector<TextStyle> styles;
  for (int variant = 0; variant < 8; ++variant) {
    TextStyle s = style(variant == 1 ? 16 : 12);
    s.bold = variant == 2;
    s.font = variant == 3 ? "DejaVu Serif" : s.font;
    s.alignment = variant == 4 ? "left" : s.alignment;
    s.vertical_alignment = variant == 5 ? "top" : s.vertical_alignment;
    s.wrap = variant != 6;
    s.keep_lines = variant == 7;
    styles.push_back(s);
  }
  const std::vector<Box> boxes = {ACTIVITY, LANE_BAND, {0, 0, 200, 30}, {0, 0, 40, 12}};
  for (int round = 0; round < 2; ++round) {
    for (const TextStyle& s : styles) {
      for (const Box& box : boxes) {
        for (bool vertical : {false, true}) {
          const auto fresh = PainterFactory().get_painter("svg", 100, 100);
          const SetText want = fresh->layout_text(name, box, s, vertical);
          const SetText got = painter->layout_text(name, box, s, vertical);
          EXPECT_EQ(got.lines, want.lines) << box.width << " x " << box.height;
          EXPECT_EQ(got.font_size, want.font_size);
          EXPECT_EQ(got.cut, want.cut);
          EXPECT_EQ(got.bounds, want.bounds);
          EXPECT_EQ(painter->text_bounds(name, box, s, vertical), want.bounds);
        }
      }
      for (double width : {0.0, 60.0, 150.0}) {
        const auto fresh = PainterFactory().get_painter("svg", 100, 100);
        const TextExtent want = fresh->measure_text(name, s, width);
        const TextExtent got = painter->measure_text(name, s, width);
        EXPECT_EQ(got.width, want.width) << width;
        EXPECT_EQ(got.height, want.height) << width;
      }
    }
  }
}

}  // namespace
}  // namespace orvane
