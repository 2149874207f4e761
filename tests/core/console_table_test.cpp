#include <gtest/gtest.h>

#include <sstream>

#include "orvane/helper.hpp"

namespace orvane {
namespace {

ConsoleTable row_table(bool edge) {
  ConsoleTable::Options options;
  options.title = "row1";
  options.title_style = "bold magenta reverse";
  options.show_edge = edge;
  ConsoleTable table(options);
  table.add_column("#");
  table.add_column("item");
  table.add_column("x");
  return table;
}

TEST(ConsoleTable, RowsAreFilledAndColumnsPaddedByCharacters) {
  ConsoleTable table = row_table(false);
  table.add_row({"1", "Caf\xC3\xA9 order", "130"});
  table.add_row({"12"});
  EXPECT_EQ(table.rows()[1], (std::vector<std::string>{"12", "", ""}));
  EXPECT_THROW(table.add_row({"1", "2", "3", "4"}), std::invalid_argument);
  const std::string text = table.render(false);
  EXPECT_EQ(text,
            "row1\n"
            " #  \xE2\x94\x82 item       \xE2\x94\x82 x   \n"
            "\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\xBC"
            "\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80"
            "\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80"
            "\xE2\x94\xBC\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\n"
            " 1  \xE2\x94\x82 Caf\xC3\xA9 order \xE2\x94\x82 130 \n"
            " 12 \xE2\x94\x82            \xE2\x94\x82     \n");
}

TEST(ConsoleTable, AColumnAddedAfterRowsLeavesThemBlankThere) {
  ConsoleTable table;
  table.add_column("a");
  table.add_row({"1"});
  table.add_column("b");
  table.add_row({"2", "3"});
  EXPECT_EQ(table.rows()[0], (std::vector<std::string>{"1", ""}));
  const std::string bar = "\xE2\x94\x82";
  const std::string text = table.render(false);
  EXPECT_NE(text.find(bar + " 1 " + bar + "   " + bar + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find(bar + " 2 " + bar + " 3 " + bar + "\n"), std::string::npos) << text;
}

TEST(ConsoleTable, EdgeAndRowLinesFollowTheirSwitches) {
  ConsoleTable table = row_table(true);
  table.add_row({"1", "a", "1"});
  table.add_row({"2", "b", "2"});
  std::string text = table.render(false);
  EXPECT_NE(text.find("\xE2\x94\x8C"), std::string::npos);  // top-left corner
  EXPECT_NE(text.find("\xE2\x94\x98"), std::string::npos);  // bottom-right corner
  // Header rule only; no line between the two body rows.
  auto count = [](const std::string& s, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = s.find(piece); at != std::string::npos; at = s.find(piece, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(text, "\xE2\x94\x9C"), 1u);

  ConsoleTable::Options lined = table.options();
  lined.show_lines = true;
  ConsoleTable with_lines(lined);
  for (const auto& c : table.columns()) with_lines.add_column(c);
  for (const auto& r : table.rows()) with_lines.add_row(r);
  EXPECT_EQ(count(with_lines.render(false), "\xE2\x94\x9C"), 2u);
}

TEST(ConsoleTable, StylesAndUserTextRenderSafely) {
  ConsoleTable table = row_table(false);
  table.add_row({"1", "[red]x\x1b[0m", "5"});
  const std::string plain = table.render(false);
  EXPECT_NE(plain.find("[red]x\\x1b[0m"), std::string::npos);
  EXPECT_EQ(plain.find('\x1b'), std::string::npos);
  const std::string ansi = table.render(true);
  EXPECT_EQ(ansi.rfind("\x1b[1;35;7mrow1\x1b[0m\n", 0), 0u);
  EXPECT_NE(ansi.find("\x1b[1;35m#"), std::string::npos);

  std::ostringstream out;
  Console(out).print(table);
  EXPECT_EQ(out.str(), plain);  // a string stream is no terminal
}

}  // namespace
}  // namespace orvane
