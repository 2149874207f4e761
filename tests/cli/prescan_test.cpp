// The pre-scan that bounds nesting, size and encoding before the YAML reader runs.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "orvane/loader.hpp"

namespace orvane {
namespace {

std::string refusal(const std::string& text, const InputLimits& limits = {}) {
  try {
    prescan_description(text, "p.yaml", limits);
  } catch (const DescriptionError& e) {
    return e.what();
  }
  return "";
}

std::string flow_nesting(int depth) {
  return "title: " + std::string(static_cast<std::size_t>(depth), '[') +
         std::string(static_cast<std::size_t>(depth), ']') + "\n";
}

TEST(Prescan, NestingUpToTheLimitPassesAndOneMoreIsRefusedWhereItHappens) {
  // The mapping holding "title" is one level.
  EXPECT_EQ(refusal(flow_nesting(InputLimits{}.max_depth - 1)), "");
  EXPECT_EQ(refusal(flow_nesting(InputLimits{}.max_depth)),
            "p.yaml:1:71: error: nesting deeper than 64 levels; a description needs far fewer");
}

TEST(Prescan, BracketsInsideQuotesPlainTextAndCommentsAreNotNesting) {
  std::string deep(200, '[');
  EXPECT_EQ(refusal("a: \"" + deep + "\"\n"), "");
  EXPECT_EQ(refusal("a: '" + deep + "'\n"), "");
  EXPECT_EQ(refusal("a: 'it''s " + deep + "'\n"), "");
  EXPECT_EQ(refusal("a: \"\\\" " + deep + "\"\n"), "");  // an escaped quote does not end it
  EXPECT_EQ(refusal("a: x" + deep + "\n"), "");          // inside a plain text
  EXPECT_EQ(refusal("a: It's " + deep + "\n"), "");      // an apostrophe opens no quote
  EXPECT_EQ(refusal("# " + deep + "\na: 1 # " + deep + "\n"), "");
  EXPECT_EQ(refusal("a: \"multi\n  line " + deep + "\n  text\"\n"), "");
  EXPECT_EQ(refusal("a: >\n  " + deep + "\n  " + deep + "\nb: 1\n"), "");
}

TEST(Prescan, CompactListsAndIndentationCountAsNesting) {
  std::string dashes;
  for (int i = 0; i < 80; ++i) dashes += "- ";
  EXPECT_NE(refusal(dashes + "x\n").find("nesting deeper"), std::string::npos);
  std::string stairs;
  for (int i = 0; i < 80; ++i) stairs += std::string(static_cast<std::size_t>(i), ' ') + "k:\n";
  EXPECT_NE(refusal(stairs).find("nesting deeper"), std::string::npos);
  // A long flat list is not deep.
  std::string flat = "shapes:\n";
  for (int i = 0; i < 500; ++i) flat += fmt::format("  - {{id: s{}, type: task}}\n", i);
  EXPECT_EQ(refusal(flat), "");
}

TEST(Prescan, EncodingFaultsAreRefusedAtTheirPosition) {
  EXPECT_EQ(refusal("a: 1\nb: \xC3\x28\n"),
            "p.yaml:2:4: error: the file is not UTF-8 text (byte 0xc3); save it as UTF-8");
  EXPECT_NE(refusal("a: \xC0\xAF\n").find("not UTF-8"), std::string::npos);      // overlong
  EXPECT_NE(refusal("a: \xED\xA0\x80\n").find("not UTF-8"), std::string::npos);  // surrogate
  EXPECT_NE(refusal("a: \xF4\x90\x80\x80\n").find("not UTF-8"), std::string::npos);
  EXPECT_NE(refusal(std::string("a: b\0c", 6)).find("control character 0x00"), std::string::npos);
  EXPECT_EQ(refusal("a: \xCE\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\tb\r\n"), "");
}

TEST(Prescan, SizeIsBoundedByTheCallersCeilingAndNamesHowToRaiseIt) {
  InputLimits limits;
  limits.max_file_bytes = 10;
  EXPECT_EQ(refusal("title: abc", limits), "");
  EXPECT_EQ(refusal("title: abcd", limits),
            "p.yaml: error: more than 10 bytes; --max-input-mb raises the limit");
  // Many values are no reason to refuse: memory follows the size of the text.
  std::string items;
  for (int i = 0; i < 200'000; ++i) items += "a,";
  EXPECT_EQ(refusal("t: [" + items + "]\n"), "");
}

}  // namespace
}  // namespace orvane
