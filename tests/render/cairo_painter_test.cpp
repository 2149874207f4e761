#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "orvane/painter_factory.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            ("orvane-render-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::size_t count() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {}));
  }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

std::string read(const std::string& filename) {
  std::ifstream in(filename, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::uint32_t big_endian(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return v;
}

TextStyle style(int size = 12) {
  TextStyle s;
  s.font = "Noto Sans";
  s.font_size = size;
  s.colour = "#111111";
  return s;
}

// A small drawing that uses every primitive.
void paint_sample(Painter& p) {
  p.set_background_colour();
  p.draw_rectangle({20, 20, 100, 60}, "#ffffff", {"#222222", 2, {}}, 10);
  p.draw_text("Check the order", {26, 26, 88, 48}, style());
  p.draw_ellipse({160, 32, 36, 36}, "#ffffff", {"#222222", 1.5, {}});
  p.draw_polygon({{250, 25}, {275, 50}, {250, 75}, {225, 50}}, "#ffffff", {"#222222", 1.5, {}});
  p.draw_polyline({{120, 50}, {160, 50}}, {"#222222", 1.5, {4, 2}});
  p.draw_text("Pool", {0, 0, 18, 100}, style(), true);
}

TEST(CairoPainterFiles, EachKindWritesAFileOfTheSurfaceSize) {
  TempFolder folder;
  for (const std::string kind : {"png", "svg", "pdf"}) {
    auto painter = PainterFactory().get_painter(kind, 5000, 5000);
    paint_sample(*painter);
    painter->set_surface_size(320, 110);
    const std::string name = folder.file("out." + kind);
    painter->save_surface(name);
    const std::string bytes = read(name);
    ASSERT_FALSE(bytes.empty()) << kind;
    if (kind == "png") {
      ASSERT_EQ(bytes.substr(1, 3), "PNG");
      EXPECT_EQ(big_endian(bytes, 16), 320u);
      EXPECT_EQ(big_endian(bytes, 20), 110u);
    } else if (kind == "svg") {
      EXPECT_NE(bytes.find("width=\"320\" height=\"110\""), std::string::npos);
      EXPECT_NE(bytes.find("</svg>"), std::string::npos);
    } else {
      EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
      EXPECT_NE(bytes.find("/MediaBox [ 0 0 320 110 ]"), std::string::npos);
      EXPECT_NE(bytes.find("%%EOF"), std::string::npos);
    }
  }
}

TEST(CairoPainterFiles, SameDrawingGivesIdenticalBytes) {
  TempFolder folder;
  for (const std::string kind : {"png", "svg", "pdf"}) {
    std::string first;
    for (int round = 0; round < 2; ++round) {
      auto painter = PainterFactory().get_painter(kind, 300, 120);
      paint_sample(*painter);
      const std::string name = folder.file("same" + std::to_string(round) + "." + kind);
      painter->save_surface(name);
      if (round == 0) {
        first = read(name);
      } else {
        EXPECT_EQ(first, read(name)) << kind << " output differs between two renders";
      }
    }
  }
}

TEST(CairoPainterFiles, RenderAsGivesWhatAPainterOfThatKindSaves) {
  TempFolder folder;
  auto png = PainterFactory().get_painter("png", 300, 120);
  paint_sample(*png);
  for (const std::string kind : {"png", "pdf"}) {
    auto painter = PainterFactory().get_painter(kind, 300, 120);
    paint_sample(*painter);
    painter->save_surface(folder.file("saved." + kind));
    EXPECT_EQ(png->render_as(kind), read(folder.file("saved." + kind))) << kind;
  }
  auto svg = PainterFactory().get_painter("svg", 300, 120);
  paint_sample(*svg);
  svg->save_surface(folder.file("saved.svg"));
  EXPECT_EQ(svg->render_as("svg"), read(folder.file("saved.svg")));
  EXPECT_THROW(png->render_as("svg"), std::invalid_argument);
  EXPECT_THROW(svg->render_as("png"), std::invalid_argument);
  EXPECT_THROW(png->render_as("gif"), std::invalid_argument);
  EXPECT_EQ(folder.count(), 3u);
}

TEST(CairoPainterFiles, PngOverItsPixelBudgetIsRefusedWithoutWritingAFile) {
  TempFolder folder;
  auto painter = PainterFactory().get_painter("png", 100, 100);
  paint_sample(*painter);
  painter->set_surface_size(2000, 1000);
  painter->set_raster_options({1.0, 1});
  try {
    painter->save_surface(folder.file("big.png"));
    FAIL() << "a PNG over its pixel budget was written";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("the picture is 2000 x 1000 px (2 megapixels), more than "
                                         "the budget of 1 megapixels for a PNG; write it as SVG "
                                         "or PDF, draw it smaller (--scale)"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(folder.count(), 0u);
  // At half size it fits the budget; a scale that is not a positive number is refused.
  painter->set_raster_options({0.5, 1});
  painter->save_surface(folder.file("half.png"));
  EXPECT_EQ(folder.count(), 1u);
  EXPECT_THROW(painter->set_raster_options({0, 1}), std::invalid_argument);
  EXPECT_THROW(painter->set_raster_options({std::nan(""), 1}), std::invalid_argument);

  // Vector pictures have no pixel budget.
  auto svg = PainterFactory().get_painter("svg", 40000, 200);
  paint_sample(*svg);
  svg->set_raster_options({1.0, 1});
  svg->save_surface(folder.file("big.svg"));
  EXPECT_NE(read(folder.file("big.svg")).find("width=\"40000\""), std::string::npos);
}

TEST(CairoPainterFiles, PdfWiderThanViewersAcceptIsSplitIntoEqualPages) {
  TempFolder folder;
  auto painter = PainterFactory().get_painter("pdf", 30000, 20000);
  painter->background_colour = "#ffffff";
  painter->set_background_colour();
  paint_sample(*painter);
  painter->save_surface(folder.file("wide.pdf"));
  const std::string pdf = read(folder.file("wide.pdf"));
  // Three columns of 10000 pt and two rows of 10000 pt, every page the same size.
  std::size_t pages = 0;
  for (std::size_t at = pdf.find("/Type /Page %"); at != std::string::npos;
       at = pdf.find("/Type /Page %", at + 1)) {
    ++pages;
  }
  EXPECT_EQ(pages, 6u);
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 10000 10000 ]"), std::string::npos);
  EXPECT_EQ(pdf.find("/MediaBox [ 0 0 30000"), std::string::npos);
  // A picture within the limit stays one page.
  auto small = PainterFactory().get_painter("pdf", 14400, 300);
  paint_sample(*small);
  small->save_surface(folder.file("one.pdf"));
  EXPECT_NE(read(folder.file("one.pdf")).find("/Count 1"), std::string::npos);
}

TEST(CairoPainterFiles, FailedWriteThrowsAndLeavesNothing) {
  TempFolder folder;
  for (const std::string kind : {"png", "svg", "pdf"}) {
    auto painter = PainterFactory().get_painter(kind, 200, 100);
    paint_sample(*painter);
    const std::string name = folder.file("missing/out." + kind);
    try {
      painter->save_surface(name);
      FAIL() << "writing into a missing folder succeeded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(name));
    EXPECT_EQ(folder.count(), 0u);
  }
}

TEST(CairoPainterInput, RejectsBadColoursSizesAndFontSizes) {
  auto painter = PainterFactory().get_painter("png", 100, 100);
  EXPECT_THROW(painter->draw_rectangle({0, 0, 10, 10}, "not-a-colour", {}), std::invalid_argument);
  EXPECT_THROW(painter->draw_text("x", {0, 0, 10, 10}, TextStyle{"", 12, "#12"}),
               std::invalid_argument);
  EXPECT_THROW(painter->set_surface_size(0, 10), std::invalid_argument);
  EXPECT_THROW(painter->set_surface_size(10, -1), std::invalid_argument);
  EXPECT_THROW(painter->set_title_font_size(0), std::invalid_argument);
  EXPECT_THROW(painter->set_element_font_size(-3), std::invalid_argument);
  painter->set_element_font_size(15);
  EXPECT_EQ(painter->element_font_size, 15);
  // Degenerate geometry is skipped, not drawn or crashed on.
  painter->draw_rectangle({0, 0, -5, 10}, "#000000", {});
  painter->draw_ellipse({0, 0, std::nan(""), 10}, "#000000", {});
  painter->draw_polyline({{0, 0}}, {"#000000", 1, {}});
  painter->draw_text("", {0, 0, 10, 10}, style());
  EXPECT_GT(painter->measure_text("wide", style(), std::nan("")).width, 0);
  EXPECT_GT(painter->text_bounds("wide", {0, 0, 1e300, 1e300}, style()).width, 0);
}

TEST(CairoPainterText, WrapsToTheWidthAndMeasuresEveryScript) {
  auto painter = PainterFactory().get_painter("png", 100, 100);
  const TextExtent one_line = painter->measure_text("Check", style(), 0);
  EXPECT_GT(one_line.width, 10);
  EXPECT_GT(one_line.height, 10);
  const TextExtent wrapped =
      painter->measure_text("Check the order of the customer once more", style(), 80);
  EXPECT_LE(wrapped.width, 80);
  EXPECT_GT(wrapped.height, 2 * one_line.height);
  for (const std::string text : {"Überprüfung", "Ελληνικά", "Проверка", "注文を確認する"}) {
    EXPECT_GT(painter->measure_text(text, style(), 0).width, 20) << text;
  }
}

TEST(CairoPainterText, TextStaysInsideItsBox) {
  auto painter = PainterFactory().get_painter("png", 100, 100);
  const std::vector<std::string> texts = {
      "Short",
      "A long activity name that cannot possibly fit in the small box it is given here",
      "Donaudampfschifffahrtsgesellschaftskapitänsmützenherstellungsbetrieb",
      "Ελέγχος της παραγγελίας του πελάτη και αποστολή των προϊόντων",
      "Проверка заказа клиента и отправка товаров на склад сегодня",
      "顧客の注文を確認して倉庫から商品を発送する長い作業の名前です",
      "line one\nline two\nline three\nline four\nline five"};
  const std::vector<Box> boxes = {{10, 10, 88, 68}, {0, 0, 150, 40}, {5, 5, 30, 200}};
  for (const auto& text : texts) {
    for (const Box& box : boxes) {
      for (bool vertical : {false, true}) {
        TextStyle s = style();
        for (bool wrap : {true, false}) {
          s.wrap = wrap;
          Box bounds = painter->text_bounds(text, box, s, vertical);
          EXPECT_GE(bounds.x, box.x - 0.5) << text;
          EXPECT_GE(bounds.y, box.y - 0.5) << text;
          EXPECT_LE(bounds.right(), box.right() + 0.5) << text << " vertical " << vertical;
          EXPECT_LE(bounds.bottom(), box.bottom() + 0.5) << text << " vertical " << vertical;
        }
      }
    }
  }
}

TEST(CairoPainterText, ShortTextIsCentredAndAlignedAsAsked) {
  auto painter = PainterFactory().get_painter("png", 100, 100);
  const Box box{0, 0, 200, 100};
  TextStyle s = style();
  Box centred = painter->text_bounds("Hi", box, s);
  EXPECT_NEAR(centred.centre_x(), box.centre_x(), 1);
  EXPECT_NEAR(centred.centre_y(), box.centre_y(), 1);
  s.alignment = "left";
  s.vertical_alignment = "top";
  Box top_left = painter->text_bounds("Hi", box, s);
  EXPECT_NEAR(top_left.x, 0, 1);
  EXPECT_NEAR(top_left.y, 0, 1);
  Box vertical = painter->text_bounds("A pool name", {0, 0, 30, 300}, style(), true);
  EXPECT_GT(vertical.height, vertical.width) << "vertical text runs up the band";
  EXPECT_NEAR(vertical.centre_y(), 150, 1);
}

}  // namespace
}  // namespace orvane
