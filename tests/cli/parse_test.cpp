// Description reading: the corpus of bad files under bad/ (each refused with the message in the
// .expected file beside it) and the values a good description carries into the model.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "orvane/loader.hpp"
#include "support/scratch_path.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The message a description is refused with, or "" when it loads.
std::string refusal(const std::string& text, const std::string& name) {
  try {
    load_diagram_text(text, name);
  } catch (const DescriptionError& e) {
    return e.what();
  }
  return "";
}

TEST(BadDescriptions, EachFileIsRefusedWithItsExpectedMessage) {
  fs::path folder = fs::path(ORVANE_SOURCE_DIR) / "tests/cli/bad";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".yaml") continue;
    fs::path expected_path = entry.path();
    expected_path.replace_extension(".expected");
    ASSERT_TRUE(fs::exists(expected_path)) << "no expected message for " << entry.path();
    std::string name = entry.path().filename().string();
    EXPECT_EQ(refusal(slurp(entry.path()), name), trimmed(slurp(expected_path))) << name;
    ++checked;
  }
  EXPECT_GE(checked, 30);
}

TEST(BadDescriptions, OversizedFileIsRefusedWithoutReadingItAll) {
  fs::path path = scratch_path("oversized.yaml");
  {
    std::ofstream out(path, std::ios::binary);
    std::string line = "# " + std::string(1021, 'x') + "\n";
    for (int i = 0; i < 3 * 1024 + 1; ++i) out << line;
  }
  InputLimits limits;
  limits.max_file_bytes = std::size_t{3} << 20;
  try {
    read_description_file(path.string(), limits);
    ADD_FAILURE() << "oversized file accepted";
  } catch (const DescriptionError& e) {
    EXPECT_EQ(std::string(e.what()),
              path.string() +
                  ": error: the file is larger than 3145728 bytes (3 MiB), the limit for an input "
                  "file; --max-input-mb raises it");
  }
  limits.max_file_bytes += 1024;
  EXPECT_EQ(read_description_file(path.string(), limits).size(), (std::size_t{3} << 20) + 1024);
  fs::remove(path);
}

TEST(BadDescriptions, MissingFileAndFolderAreRefusedByName) {
  EXPECT_THROW(read_description_file("/no/such/description.yaml"), DescriptionError);
  try {
    read_description_file(fs::temp_directory_path().string());
    ADD_FAILURE() << "folder accepted";
  } catch (const DescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("is a folder"), std::string::npos);
  }
}

TEST(BadDescriptions, AliasesMayRepeatABlockButNotMultiplyTheFile) {
  // Nine levels of two aliases each would stand for 2^10 values in a file of 200 bytes.
  std::string bomb = "lanes:\n  - name: L\n    shapes: [{name: S, type: start}]\n";
  bomb += "x0: &x0 [a, a]\n";
  for (int i = 1; i < 9; ++i) {
    bomb += fmt::format("x{0}: &x{0} [*x{1}, *x{1}]\n", i, i - 1);
  }
  EXPECT_NE(refusal(bomb, "a.yaml").find("a.yaml:9:15: error: aliases expand the description"),
            std::string::npos)
      << refusal(bomb, "a.yaml");
  // One lane block shared by many lanes is what aliases are for.
  std::string shared = "pools:\n  - name: P\n    lanes:\n";
  shared += "      - {name: First, shapes: [{name: S, type: start}]}\n";
  shared += "      - &lane {name: A, font_size: 14, fill_colour: '#eeeeff'}\n";
  for (int i = 0; i < 20; ++i) shared += "      - *lane\n";
  DiagramDescription d = parse_description(shared, "s.yaml");
  ASSERT_EQ(d.pools[0].lanes.size(), 22u);
  EXPECT_EQ(d.pools[0].lanes[21].fill_colour, "#eeeeff");
}

TEST(BadDescriptions, SyntaxHintsOnALongLineStayShort) {
  // The hint scans the line of the error; a long unquoted value is named, not repeated.
  const std::string text =
      "lanes:\n  - {name: L, shapes: [{name: Note: " + std::string(200000, 'x') +
      ", type: start}]}\n";
  const std::string message = refusal(text, "long.yaml");
  EXPECT_NE(message.find("must be quoted (the 'name' here)"), std::string::npos) << message;
  EXPECT_LT(message.size(), 300u);
}

TEST(DescriptionValues, NamesAreKeptExactlyAsWritten) {
  std::string text =
      "title: \"[red]x[/] <b> \\\"q\\\"\"\n"
      "footer: {text: \"a\\nb\", font_size: 9}\n"
      "lanes:\n"
      "- name: \"Ωμέγα 日本 'x'\"\n"
      "  shapes:\n"
      "  - {id: a, name: \"Line 1\\nLine 2\", type: message_intermediate}\n"
      "  - {id: b, name: '', type: data_store}\n"
      "  - {id: c, name: ~, type: end}\n"
      "connections: [{from: a, to: b, label: \"[bold]yes\"}]\n";
  DiagramDescription d = parse_description(text, "n.yaml");
  EXPECT_EQ(d.title, "[red]x[/] <b> \"q\"");
  EXPECT_EQ(d.footer->text, "a\nb");
  EXPECT_EQ(d.footer->font_size, 9);
  EXPECT_EQ(d.lanes[0].name, "Ωμέγα 日本 'x'");
  EXPECT_EQ(d.lanes[0].shapes[0].name, "Line 1\nLine 2");
  EXPECT_EQ(d.lanes[0].shapes[0].type, ElementType::MESSAGE_INTERMEDIATE);
  EXPECT_EQ(d.lanes[0].shapes[1].name, "");
  EXPECT_EQ(d.lanes[0].shapes[1].type, ElementType::DATA_STORE);
  EXPECT_EQ(d.lanes[0].shapes[2].name, "");
  EXPECT_EQ(d.connections[0].label, "[bold]yes");
}

TEST(DescriptionValues, ByteOrderMarkAndCrLfLineEndsAreAccepted) {
  std::string text =
      "\xEF\xBB\xBFtitle: T\r\nlanes:\r\n- name: L\r\n  shapes: [{name: S, type: start}]\r\n";
  EXPECT_EQ(parse_description(text, "w.yaml").title, "T");
}

TEST(DescriptionValues, BlockTextsAndCommentsDoNotCountAsNesting) {
  std::string text =
      "title: |\n  [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\n";
  text += "# {{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{\n";
  text += "footer: 'quoted [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[['\n";
  text += "lanes:\n- name: L\n  shapes: [{name: S, type: start}]\n";
  DiagramDescription d = parse_description(text, "b.yaml");
  EXPECT_EQ(d.title.substr(0, 3), "[[[");
}

}  // namespace
}  // namespace orvane
