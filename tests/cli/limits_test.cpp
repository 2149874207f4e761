// Protection that scales with the input: a large honest description loads, hostile files of the
// same size are refused, and the machine-protecting ceilings name how to raise them.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

#include "orvane/loader.hpp"

namespace orvane {
namespace {

// A process of `shapes` shapes over four lanes: a chain with a gateway every tenth step that
// skips ahead, and hand-overs between the lanes.
std::string process(int shapes) {
  std::string lanes[4];
  std::string connections;
  for (int i = 0; i < shapes; ++i) {
    const char* type = i == 0            ? "start"
                       : i + 1 == shapes ? "end"
                       : i % 10 == 5     ? "exclusive"
                                         : "task";
    lanes[(i / 7) % 4] += fmt::format("      - {{id: s{0}, name: Step {0}, type: {1}}}\n", i, type);
    if (i > 0) connections += fmt::format("  - {{from: s{}, to: s{}}}\n", i - 1, i);
    if (i % 10 == 5 && i + 3 < shapes) {
      connections += fmt::format("  - {{from: s{}, to: s{}, label: skip}}\n", i, i + 3);
    }
  }
  std::string text = "title: Large\npools:\n  - name: P\n    lanes:\n";
  for (int l = 0; l < 4; ++l) {
    text += fmt::format("    - name: Lane {}\n      shapes:\n", l);
    text += lanes[l];
  }
  return text + "connections:\n" + connections;
}

std::string refusal(const std::string& text, const InputLimits& limits = {}) {
  try {
    parse_description(text, "d.yaml", limits);
  } catch (const DescriptionError& e) {
    return e.what();
  }
  return "";
}

TEST(InputLimits, LargeHonestDescriptionLoadsWhereHostileOnesOfItsSizeAreRefused) {
  // Over 2 MiB, 25,000 shapes and about 200,000 values: far beyond any fixed cap of old.
  const std::string honest = process(25'000);
  ASSERT_GT(honest.size(), std::size_t{2} << 20);
  DiagramDescription d = parse_description(honest, "large.yaml");
  std::size_t shapes = 0;
  for (const auto& lane : d.pools[0].lanes) shapes += lane.shapes.size();
  EXPECT_EQ(shapes, 25'000u);
  EXPECT_EQ(d.connections.size(), 24'999u + 2'500u);
  LoadedDiagram loaded = build_diagram(d);
  EXPECT_EQ(loaded.shapes_by_id.size(), 25'000u);

  // The same number of bytes as an alias bomb: forty levels that each double the one before.
  std::string bomb = "x0: &x0 [Step, Step]\n";
  for (int i = 1; i < 40; ++i) {
    bomb += fmt::format("x{0}: &x{0} [*x{1}, *x{1}]\n", i, i - 1);
  }
  bomb += fmt::format("# {}\n", std::string(honest.size() - bomb.size(), 'x'));
  EXPECT_NE(refusal(bomb).find("aliases expand the description past"), std::string::npos)
      << refusal(bomb);
  // As deep nesting, and as a flood of values where one text belongs.
  std::string deep = fmt::format("title: {}\n", std::string(honest.size() / 2, '['));
  EXPECT_NE(refusal(deep).find("nesting deeper than 64 levels"), std::string::npos);
  std::string flood = "title: [";
  while (flood.size() < honest.size()) flood += "a, ";
  EXPECT_EQ(refusal(flood + "]\n"), "d.yaml:1:8: error: 'title' must be a text, got a list");
}

TEST(InputLimits, CeilingsRefuseWithTheFigureAndHowToRaiseThem) {
  const std::string text = process(30);
  InputLimits limits;
  limits.max_shapes = 29;
  EXPECT_NE(refusal(text, limits).find("error: more than 29 shapes; --max-shapes raises the limit"),
            std::string::npos)
      << refusal(text, limits);
  limits.max_shapes = 30;
  EXPECT_EQ(refusal(text, limits), "");
  limits.max_connections = 31;
  EXPECT_NE(refusal(text, limits)
                .find("error: more than 31 connections; --max-connections raises the limit"),
            std::string::npos);
  limits.max_connections = 32;
  EXPECT_EQ(refusal(text, limits), "");
  limits.max_file_bytes = text.size() - 1;
  EXPECT_EQ(refusal(text, limits),
            fmt::format("d.yaml: error: more than {} bytes; --max-input-mb raises the limit",
                        text.size() - 1));
}

}  // namespace
}  // namespace orvane
