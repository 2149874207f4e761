// The YAML tree the description reader walks: values and marks, aliases shared and bounded, and
// the refusals for text that is not one document.
#include "yaml_tree.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

std::string refusal(const std::string& text) {
  try {
    YamlTree tree(text);
  } catch (const YamlError& e) {
    return fmt::format("{}:{}: {}", e.mark.line, e.mark.column, e.message);
  }
  return "";
}

TEST(YamlTree, HoldsScalarsListsAndMapsWithTheirPositions) {
  YamlTree tree("a: 1\nb:\n  - x\n  - 'null'\n  - ~\nc: {d: [], e: null}\nf:\n");
  YamlNode root = tree.root();
  ASSERT_TRUE(root.is_map());
  ASSERT_EQ(root.size(), 4u);
  EXPECT_EQ(root.key(0).scalar(), "a");
  EXPECT_EQ(root.value(0).scalar(), "1");
  YamlNode b = root.value(1);
  ASSERT_TRUE(b.is_sequence());
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(b.item(1).scalar(), "null");  // quoted: a text
  EXPECT_TRUE(b.item(2).is_null());
  EXPECT_EQ(b.item(1).mark().line, 4);
  EXPECT_EQ(b.item(1).mark().column, 5);
  YamlNode c = root.value(2);
  EXPECT_TRUE(c.value(0).is_sequence());
  EXPECT_EQ(c.value(0).size(), 0u);
  EXPECT_TRUE(c.value(1).is_null());
  EXPECT_TRUE(root.value(3).is_null());  // a key with nothing after it
  EXPECT_TRUE(YamlNode().is_null());
  EXPECT_EQ(YamlNode().mark().line, 0);
  EXPECT_FALSE(YamlTree("# only a comment\n").root().is_map());
  EXPECT_TRUE(YamlTree("").root().is_null());
}

TEST(YamlTree, AnAliasIsTheAnchoredNodeItself) {
  YamlTree tree("a: &s {k: v}\nb: [*s, *s]\n");
  YamlNode b = tree.root().value(1);
  EXPECT_EQ(b.item(0).value(0).scalar(), "v");
  EXPECT_EQ(b.item(1).mark().line, 1);  // shared, so it reports where the anchor was written
  // An anchor counts only once complete, so nothing can refer to itself.
  EXPECT_EQ(refusal("a: &s [*s]\n"), "1:8: the alias '*s' names no anchor '&s' complete before it");
  EXPECT_EQ(refusal("a: *t\n"), "1:4: the alias '*t' names no anchor '&t' complete before it");
}

TEST(YamlTree, AliasesExpandToAtMostOneValueForEachByte) {
  // Each level doubles: x9 stands for over a thousand values in about 200 bytes.
  std::string bomb = "x0: &x0 [a, a]\n";
  for (int i = 1; i < 10; ++i) {
    bomb += fmt::format("x{0}: &x{0} [*x{1}, *x{1}]\n", i, i - 1);
  }
  EXPECT_NE(refusal(bomb).find("6:10: aliases expand the description past 186 values"),
            std::string::npos)
      << refusal(bomb);
  // The same shape of file, each block written once and referred to once, is fine.
  std::string chain = "x0: &x0 [a, a]\n";
  for (int i = 1; i < 10; ++i) {
    chain += fmt::format("x{0}: &x{0} [*x{1}, b]\n", i, i - 1);
  }
  EXPECT_EQ(refusal(chain), "");
}

TEST(YamlTree, TextAfterTheDocumentAndSyntaxErrorsAreRefusedWhereTheyStart) {
  EXPECT_EQ(refusal("a: 1\n---\nb: 2\n").substr(0, 54),
            "2:1: text that does not belong to the description star");
  EXPECT_EQ(refusal("[a]\n]\n").substr(0, 10), "2:1: text ");
  EXPECT_EQ(refusal("a: [b, c\n"),
            "2:1: YAML syntax error: did not find expected ',' or ']' (while parsing a flow "
            "sequence at line 1, column 4)");
  EXPECT_EQ(refusal("a:\n\t- b\n").substr(0, 22), "2:1: YAML syntax error");
}

}  // namespace
}  // namespace orvane
