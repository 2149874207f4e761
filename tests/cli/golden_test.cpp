// Golden images: every example drawn to PNG matches the picture kept in tests/cli/golden/ up to
// a small pixel tolerance (font rasterising may move a few edge pixels). Decoded pixels are
// compared, not file bytes. ORVANE_UPDATE_GOLDENS=1 rewrites the goldens from the current look.
// The other formats show the same: the SVG drawn by another renderer looks like the PNG, and
// the PDF holds every name as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/loader.hpp"
#include "support/drawn_names.hpp"
#include "support/images.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::channel_difference;
using test::decode;
using test::Image;

const fs::path kGoldenDir = fs::path(ORVANE_SOURCE_DIR) / "tests/cli/golden";

// Pixels whose strongest channel differs by more than this count as different.
constexpr int kChannelTolerance = 48;
// Share of pixels that may differ.
constexpr double kPixelTolerance = 0.0002;

std::vector<std::string> example_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(ORVANE_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() == ".yaml") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class GoldenImage : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenImage, ExampleLooksAsBefore) {
  const std::string& name = GetParam();
  fs::path actual_dir = fs::path(ORVANE_BINARY_DIR) / "golden-actual";
  fs::create_directories(actual_dir);
  fs::path actual = actual_dir / (name + ".png");
  LoadOptions options;
  options.painter_type = "png";
  LoadedDiagram diagram =
      load_diagram(std::string(ORVANE_SOURCE_DIR) + "/examples/" + name + ".yaml", options);
  diagram.board->draw();
  diagram.board->save(actual.string());

  fs::path golden = kGoldenDir / (name + ".png");
  const char* update = std::getenv("ORVANE_UPDATE_GOLDENS");
  if (update != nullptr && std::string(update) == "1") {
    fs::create_directories(kGoldenDir);
    fs::copy_file(actual, golden, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "golden rewritten: " << golden;
  }
  ASSERT_TRUE(fs::exists(golden)) << "no golden " << golden
                                  << "; run with ORVANE_UPDATE_GOLDENS=1 to create it";
  Image want = decode(golden);
  Image got = decode(actual);
  ASSERT_GT(want.width, 0) << "golden does not decode: " << golden;
  ASSERT_EQ(got.width, want.width) << "see " << actual;
  ASSERT_EQ(got.height, want.height) << "see " << actual;
  std::size_t different = 0;
  std::size_t first = want.pixels.size();
  for (std::size_t i = 0; i < want.pixels.size(); ++i) {
    if (channel_difference(want.pixels[i], got.pixels[i]) > kChannelTolerance) {
      if (different++ == 0) first = i;
    }
  }
  double share = static_cast<double>(different) / static_cast<double>(want.pixels.size());
  EXPECT_LE(share, kPixelTolerance) << different << " pixels differ, the first at ("
                                    << first % want.width << ", " << first / want.width << "); see "
                                    << actual << " (ORVANE_UPDATE_GOLDENS=1 accepts the new look)";
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
  std::string id = info.param;
  std::replace(id.begin(), id.end(), '-', '_');
  return id;
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenImage, ::testing::ValuesIn(example_names()), test_name);

bool installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string without_whitespace(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t' && c != '\f') out += c;
  }
  return out;
}

// Each example drawn in another format, into the build folder.
class ExamplePictures : public ::testing::TestWithParam<std::string> {
 protected:
  fs::path draw(const std::string& kind) {
    const fs::path dir = fs::path(ORVANE_BINARY_DIR) / "example-pictures";
    fs::create_directories(dir);
    LoadOptions options;
    options.painter_type = kind;
    LoadedDiagram diagram =
        load_diagram(std::string(ORVANE_SOURCE_DIR) + "/examples/" + GetParam() + ".yaml", options);
    diagram.board->draw();
    const fs::path file = dir / (GetParam() + "." + kind);
    diagram.board->save(file.string());
    return file;
  }
};

TEST_P(ExamplePictures, PdfHoldsEveryNameAsText) {
  if (!installed("pdftotext")) GTEST_SKIP() << "pdftotext (Debian poppler-utils) is not installed";
  const fs::path yaml = fs::path(ORVANE_SOURCE_DIR) / "examples" / (GetParam() + ".yaml");
  const std::vector<std::string> names = test::drawn_names(*load_diagram(yaml.string()).board);
  // Drawn by the command: Debian's cairo loses two buffers when it writes CJK fonts into a PDF,
  // which only the command's leak checking is told about.
  const fs::path pdf = fs::path(ORVANE_BINARY_DIR) / "example-pictures" / (GetParam() + ".pdf");
  fs::create_directories(pdf.parent_path());
  ASSERT_EQ(std::system(("'" + std::string(ORVANE_EXE) + "' render '" + yaml.string() + "' -o '" +
                         pdf.string() + "' >/dev/null 2>&1")
                            .c_str()),
            0);
  const fs::path text = fs::path(pdf).replace_extension(".txt");
  ASSERT_EQ(
      std::system(
          ("pdftotext -raw -enc UTF-8 '" + pdf.string() + "' '" + text.string() + "'").c_str()),
      0);
  std::ifstream in(text);
  std::stringstream content;
  content << in.rdbuf();
  // Wrapped names come out line by line: compare without the white space.
  const std::string found = without_whitespace(content.str());
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    EXPECT_NE(found.find(without_whitespace(name)), std::string::npos)
        << "'" << name << "' is not text in " << pdf;
  }
}

TEST_P(ExamplePictures, SvgDrawnByAnotherRendererLooksLikeThePng) {
  if (!installed("rsvg-convert")) {
    GTEST_SKIP() << "rsvg-convert (Debian librsvg2-bin) is not installed";
  }
  const fs::path png = draw("png");
  const fs::path svg = draw("svg");
  const fs::path drawn = fs::path(svg).replace_extension(".rsvg.png");
  ASSERT_EQ(
      std::system(("rsvg-convert -o '" + drawn.string() + "' '" + svg.string() + "'").c_str()), 0);
  const Image want = decode(png);
  const Image got = decode(drawn);
  ASSERT_GT(got.width, 0) << drawn;
  ASSERT_EQ(got.width, want.width);
  ASSERT_EQ(got.height, want.height);
  // Another text renderer may set glyphs a pixel or two apart along a line; anything it leaves
  // out, adds or moves further shows.
  EXPECT_LE(test::unmatched_share(want, got, 2, 64), 0.0007)
      << "compare " << png << " with " << drawn;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExamplePictures, ::testing::ValuesIn(example_names()),
                         test_name);

}  // namespace
}  // namespace orvane
