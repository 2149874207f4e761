#include "orvane/helper.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace orvane {
namespace {

// Routes the helper's output and log into strings for one test and restores the defaults.
class HelperOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    Helper::set_output(out);
    Helper::set_log_output(log);
    Helper::set_ansi(false);
    Helper::set_show_levels({});
  }
  void TearDown() override {
    Helper::set_output(std::cout);
    Helper::set_log_output(std::cerr);
    Helper::set_ansi(std::nullopt);
    Helper::set_show_levels({});
  }
  PrintOptions at(const char* show_level) {
    PrintOptions options;
    options.show_level = show_level;
    return options;
  }
  std::ostringstream out;
  std::ostringstream log;
};

TEST_F(HelperOutput, NothingIsPrintedUntilItsLevelIsShown) {
  Helper::printc("hidden", at("draw"));
  EXPECT_EQ(out.str(), "");
  Helper::set_show_levels({"draw"});
  Helper::printc("shown", at("draw"));
  Helper::printc("other", at("x_position"));
  EXPECT_EQ(out.str(), "shown\n");
  Helper::set_show_levels({"all"});
  Helper::printc("every", at("x_position"));
  EXPECT_EQ(out.str(), "shown\nevery\n");
}

TEST_F(HelperOutput, MarkupIsStrippedOffATerminalAndRenderedOnOne) {
  Helper::set_show_levels({"pool_lane"});
  PrintOptions heading = at("pool_lane");
  heading.reverse = true;
  Helper::printc("[cadet_blue][bold][  Setting shapes X positions   ]", heading);
  EXPECT_EQ(out.str(), "[  Setting shapes X positions   ]\n");

  out.str("");
  Helper::set_ansi(true);
  Helper::printc("[red]bad[/] ok :thumbsup:", at("pool_lane"));
  EXPECT_EQ(out.str(), "\x1b[31mbad\x1b[0m ok \xF0\x9F\x91\x8D\n");
}

TEST_F(HelperOutput, ColourCodeEndAndReverseShapeTheLine) {
  Helper::set_show_levels({"draw"});
  Helper::set_ansi(true);
  PrintOptions options = at("draw");
  options.end = "";
  Helper::printc("x", 33, options);
  options.reverse = true;
  options.color.reset();
  Helper::printc("y", options);
  EXPECT_EQ(out.str(), "\x1b[33mx\x1b[0m\x1b[7my\x1b[0m");
}

TEST_F(HelperOutput, ThreeTextsArePrintedOnOneLine) {
  Helper::set_show_levels({"layout_grid"});
  Helper::printc(std::vector<std::string>{"a", "[red]b[/]", "c"}, at("layout_grid"));
  EXPECT_EQ(out.str(), "abc\n");
}

TEST_F(HelperOutput, EscapedUserTextIsNeverReadAsMarkupOrSentRaw) {
  Helper::set_show_levels({"draw"});
  Helper::set_ansi(true);
  Helper::printc("name=" + Helper::escape("[red]x\x1b[2J\\"), at("draw"));
  EXPECT_EQ(out.str(), "name=[red]x\\x1b[2J\\\n");
  // Even an unescaped message cannot put a raw escape or C1 control on the terminal.
  out.str("");
  Helper::printc("a\x1b]0;t\x07 b\xC2\x9B", at("draw"));
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
  EXPECT_EQ(out.str().find("\xC2\x9B"), std::string::npos);
}

TEST_F(HelperOutput, InfoLogWritesTheTimestampedLineAndKeepsBrackets) {
  Helper::info_log("Took [2.00ms] to generate 'out.png' diagram");
  const std::regex line(
      R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \[INFO\] : Took \[2\.00ms\] to generate 'out\.png' diagram\n)");
  EXPECT_TRUE(std::regex_match(log.str(), line)) << log.str();
  EXPECT_TRUE(Helper::log_configured());
  // Control characters in a logged file name are shown, not written.
  log.str("");
  Helper::info_log("bad\nname");
  EXPECT_NE(log.str().find("bad\\nname"), std::string::npos);
}

TEST(HelperText, QuotedFormFollowsTheQuoteRules) {
  EXPECT_EQ(Helper::quoted("Lane 1"), "'Lane 1'");
  EXPECT_EQ(Helper::quoted("it's"), "\"it's\"");
  EXPECT_EQ(Helper::quoted("it's \"x\""), "'it\\'s \"x\"'");
  EXPECT_EQ(Helper::quoted("a\\b\nc\td\x01"), "'a\\\\b\\nc\\td\\x01'");
  EXPECT_EQ(Helper::quoted(""), "''");
  EXPECT_EQ(Helper::quoted("caf\xC3\xA9"), "'caf\xC3\xA9'");
}

TEST(HelperText, Utf8IsMeasuredAndCutByCharacters) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x91\x8D";  // a, e-acute, euro, emoji
  EXPECT_EQ(Helper::char_length(text), 4u);
  EXPECT_EQ(Helper::char_prefix(text, 2), "a\xC3\xA9");
  EXPECT_EQ(Helper::char_prefix(text, 3), "a\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Helper::char_prefix(text, 10), text);
  EXPECT_EQ(Helper::char_prefix(text, 0), "");
}

TEST(HelperIds, UuidsAreUniquePerPrefixAndRestartAfterReset) {
  Helper::reset_uuid();
  const std::string first = Helper::get_uuid("pool");
  const std::string second = Helper::get_uuid("pool");
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind("pool_", 0), 0u);
  EXPECT_TRUE(std::regex_match(first, std::regex("pool_[0-9a-f]{16}")));
  Helper::reset_uuid();
  EXPECT_EQ(Helper::get_uuid("pool"), first);
}

}  // namespace
}  // namespace orvane
