// The SVG painter writes SVG elements: primitives as shapes, text as real text set where pango
// set it, groups with ids and titles, and a document that names itself.
#include <gtest/gtest.h>

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "orvane/painter_factory.hpp"

namespace orvane {
namespace {

struct Svg {
  pugi::xml_document document;
  pugi::xml_node root;
  std::string text;
};

// Renders the painter's picture through a file, as users get it, and parses it.
std::unique_ptr<Svg> render(Painter& painter, const std::string& name = "picture.svg") {
  const std::string path = testing::TempDir() + name;
  painter.save_surface(path);
  auto svg = std::make_unique<Svg>();
  const pugi::xml_parse_result parsed = svg->document.load_file(path.c_str());
  EXPECT_TRUE(parsed) << parsed.description();
  FILE* file = std::fopen(path.c_str(), "rb");
  for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) svg->text += static_cast<char>(c);
  if (file != nullptr) std::fclose(file);
  std::remove(path.c_str());
  svg->root = svg->document.child("svg");
  return svg;
}

std::unique_ptr<Painter> svg_painter(int width = 400, int height = 300) {
  return PainterFactory().get_painter("svg", width, height);
}

// The drawing: the group that holds what was painted.
pugi::xml_node drawing(const Svg& svg) {
  return svg.root.child("g");
}

std::vector<pugi::xml_node> elements(pugi::xml_node parent) {
  std::vector<pugi::xml_node> out;
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element) out.push_back(child);
  }
  return out;
}

TextStyle style(int size = 12) {
  TextStyle s;
  s.font = "Noto Sans";
  s.font_size = size;
  s.colour = "#101010";
  return s;
}

TEST(SvgPrimitives, EachPrimitiveIsOneSvgElementWithItsPaint) {
  auto painter = svg_painter();
  painter->draw_rectangle({10, 10, 50, 30}, "#ffffff", {"#000000", 2, {}}, 8);
  painter->draw_ellipse({100, 10, 30, 30}, "", {"#000000", 1, {}});
  painter->draw_ellipse({100, 50, 40, 20}, "#ff000080", {});
  painter->draw_polygon({{0, 0}, {10, 0}, {5, 5.126}}, "red", {});
  painter->draw_polyline({{0, 0}, {10, 10}, {20, 0}}, {"#336699", 1.5, {5, 3}});
  // Nothing visible or nothing drawable: no element.
  painter->draw_rectangle({10, 10, 50, 30}, "", {});
  painter->draw_polyline({{0, 0}, {10, 10}}, {"#000000", 0, {}});
  painter->draw_ellipse({0, 0, -1, 5}, "#000000", {});
  const auto svg = render(*painter);
  const auto drawn = elements(drawing(*svg));
  ASSERT_EQ(drawn.size(), 5u) << svg->text;

  EXPECT_STREQ(drawn[0].name(), "rect");
  EXPECT_STREQ(drawn[0].attribute("rx").value(), "8");
  EXPECT_STREQ(drawn[0].attribute("fill").value(), "#ffffff");
  EXPECT_STREQ(drawn[0].attribute("stroke-width").value(), "2");
  EXPECT_STREQ(drawn[1].name(), "circle");
  EXPECT_STREQ(drawn[1].attribute("r").value(), "15");
  EXPECT_TRUE(drawn[1].attribute("fill").empty()) << "no fill: the picture's default, none";
  EXPECT_TRUE(drawn[1].attribute("stroke-width").empty()) << "width 1 is the default";
  EXPECT_STREQ(drawn[2].name(), "ellipse");
  EXPECT_STREQ(drawn[2].attribute("fill-opacity").value(), "0.5");
  EXPECT_TRUE(drawn[2].attribute("stroke").empty());
  EXPECT_STREQ(drawn[3].name(), "polygon");
  EXPECT_STREQ(drawn[3].attribute("points").value(), "0,0 10,0 5,5.13");
  EXPECT_STREQ(drawn[3].attribute("fill").value(), "#ff0000");
  EXPECT_STREQ(drawn[4].name(), "polyline");
  EXPECT_STREQ(drawn[4].attribute("stroke-dasharray").value(), "5 3");
  // Lines end and join round, as in the other pictures; shapes are unfilled unless told.
  EXPECT_STREQ(drawing(*svg).attribute("stroke-linejoin").value(), "round");
  EXPECT_STREQ(drawing(*svg).attribute("fill").value(), "none");

  EXPECT_THROW(painter->draw_rectangle({0, 0, 5, 5}, "not-a-colour", {}), std::invalid_argument);
  EXPECT_THROW(painter->draw_text("x", {0, 0, 50, 50}, TextStyle{"", 12, "#12"}),
               std::invalid_argument);
}

TEST(SvgText, TextIsRealTextWithTheLinesAndPlacesPangoSet) {
  auto painter = svg_painter();
  const Box box{20, 30, 90, 70};
  const std::string name =
      "A very long activity name that keeps going well past what fits on one line of a box";
  painter->draw_text(name, box, style());
  const SetText set = painter->layout_text(name, box, style());
  const auto svg = render(*painter);
  const pugi::xml_node text = drawing(*svg).child("text");
  ASSERT_TRUE(text);
  EXPECT_EQ(text.attribute("font-size").as_double(), set.font_size);
  EXPECT_STREQ(text.attribute("fill").value(), "#101010");
  EXPECT_TRUE(text.attribute("font-family").empty()) << "the drawing's fonts apply";
  std::vector<std::string> lines;
  std::string joined;
  for (pugi::xml_node span : text.children("tspan")) {
    lines.push_back(span.text().get());
    joined += span.text().get();
    const double x = span.attribute("x").as_double();
    const double y = span.attribute("y").as_double();
    EXPECT_GE(x, set.bounds.x - 0.01);
    EXPECT_LE(x, set.bounds.right());
    EXPECT_GT(y, set.bounds.y);
    EXPECT_LT(y, set.bounds.bottom());
  }
  EXPECT_EQ(lines, set.lines);
  EXPECT_EQ(joined, name) << "the lines read on as the name";
  // Nothing between the lines but the lines: spaces stay as set.
  EXPECT_EQ(elements(text).size(), lines.size());
  EXPECT_STREQ(drawing(*svg).attribute("xml:space").value(), "preserve");
}

TEST(SvgText, VerticalBoldAndForeignFontsAreWrittenAsSet) {
  auto painter = svg_painter();
  TextStyle pool = style(14);
  pool.bold = true;
  pool.keep_lines = true;
  painter->draw_text("Bewerbungseingang -\nBewerbungsprüfung", {20, 50, 26, 200}, pool, true);
  TextStyle serif = style();
  serif.font = "Serif";
  painter->draw_text("Serif", {0, 0, 100, 20}, serif);
  TextStyle own = style();
  own.font = "My 'Font'";
  painter->draw_text("Own", {0, 20, 100, 20}, own);
  const auto svg = render(*painter);
  const auto texts = elements(drawing(*svg));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_STREQ(texts[0].attribute("transform").value(), "translate(20 250) rotate(-90)");
  EXPECT_STREQ(texts[0].attribute("font-weight").value(), "bold");
  std::vector<std::string> lines;
  for (pugi::xml_node span : texts[0].children("tspan")) lines.push_back(span.text().get());
  EXPECT_EQ(lines, (std::vector<std::string>{"Bewerbungseingang - ", "Bewerbungsprüfung"}));
  EXPECT_STREQ(texts[1].attribute("font-family").value(),
               "serif, 'Noto Sans', 'DejaVu Sans', 'Noto Sans CJK SC'");
  EXPECT_STREQ(texts[2].attribute("font-family").value(),
               "'My Font', 'Noto Sans', 'DejaVu Sans', 'Noto Sans CJK SC', sans-serif");
  EXPECT_EQ(std::string(texts[1].text().get()), "Serif") << "one line: no tspan";
}

TEST(SvgText, ALineTallerThanItsBoxIsCutAtTheBox) {
  auto painter = svg_painter();
  painter->draw_text("Tall", {10, 20, 100, 6}, style(40));
  painter->draw_text("Tall", {10, 20, 6, 100}, style(40), true);
  painter->draw_text("Fits", {10, 20, 100, 60}, style(12));
  const auto svg = render(*painter);
  const auto drawn = elements(drawing(*svg));
  ASSERT_EQ(drawn.size(), 5u) << svg->text;
  EXPECT_STREQ(drawn[0].name(), "clipPath");
  const pugi::xml_node rect = drawn[0].child("rect");
  EXPECT_EQ(std::string(rect.attribute("x").value()) + " " + rect.attribute("y").value() + " " +
                rect.attribute("width").value() + " " + rect.attribute("height").value(),
            "10 20 100 6");
  EXPECT_EQ(std::string(drawn[1].attribute("clip-path").value()),
            "url(#" + std::string(drawn[0].attribute("id").value()) + ")");
  // Vertical text is cut in its own turned frame.
  const pugi::xml_node turned = drawn[2].child("rect");
  EXPECT_EQ(std::string(turned.attribute("x").value()) + " " + turned.attribute("y").value() + " " +
                turned.attribute("width").value() + " " + turned.attribute("height").value(),
            "0 0 100 6");
  EXPECT_STRNE(drawn[0].attribute("id").value(), drawn[2].attribute("id").value());
  EXPECT_TRUE(drawn[4].attribute("clip-path").empty());
}

TEST(SvgGroups, ElementsAreGroupsWithUsableUniqueIdsAndFullNames) {
  auto painter = svg_painter();
  const std::string long_name(300, 'x');
  {
    const PaintGroup pool(*painter, "pool 1", "Shop");
    const PaintGroup task(*painter, "pool 1", long_name);
    painter->draw_text(long_name, {0, 0, 90, 20}, style());
  }
  { const PaintGroup numbered(*painter, "1st", "First"); }
  { const PaintGroup unnamed(*painter, "", ""); }
  { const PaintGroup odd(*painter, "<&>", "Odd"); }
  const auto svg = render(*painter);
  const auto groups = elements(drawing(*svg));
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_STREQ(groups[0].attribute("id").value(), "pool_1");
  EXPECT_STREQ(groups[0].child("title").text().get(), "Shop");
  const pugi::xml_node inner = groups[0].child("g");
  EXPECT_STREQ(inner.attribute("id").value(), "pool_1_2");
  // The picture cuts the name; the tooltip keeps all of it.
  EXPECT_EQ(std::string(inner.child("title").text().get()), long_name);
  EXPECT_LT(std::string(inner.child("text").text().get()).size(), long_name.size());
  EXPECT_STREQ(groups[1].attribute("id").value(), "_1st");
  EXPECT_TRUE(groups[2].attribute("id").empty());
  EXPECT_FALSE(groups[2].child("title"));
  EXPECT_TRUE(groups[3].attribute("id").empty()) << "nothing of '<&>' makes an id";
}

TEST(SvgDocument, NamesItselfTakesItsFinalSizeAndIsTheSameEveryTime) {
  std::string first;
  for (int round = 0; round < 2; ++round) {
    auto painter = svg_painter(5000, 5000);
    painter->set_description("Order \x01handling", "Process diagram: pool \xFF\xFE'Shop'.");
    painter->set_background_colour();
    {
      const PaintGroup group(*painter, "task", "Check\x02 & <fix>");
      painter->draw_rectangle({10, 10, 100, 80}, "#ffffff", {"#222222", 2, {}}, 10);
      painter->draw_text("Check\x02 & <fix> \xC3", {15, 15, 200, 70}, style());
    }
    painter->set_surface_size(320, 110);
    const auto svg = render(*painter, "same" + std::to_string(round) + ".svg");
    EXPECT_STREQ(svg->root.attribute("width").value(), "320");
    EXPECT_STREQ(svg->root.attribute("height").value(), "110");
    EXPECT_STREQ(svg->root.attribute("viewBox").value(), "0 0 320 110");
    EXPECT_STREQ(svg->root.attribute("role").value(), "img");
    EXPECT_STREQ(svg->root.child("title").text().get(), "Order handling");
    EXPECT_STREQ(svg->root.child("desc").text().get(),
                 "Process diagram: pool \xEF\xBF\xBD\xEF\xBF\xBD'Shop'.");
    // The background covers the picture at whatever size it is saved.
    EXPECT_STREQ(drawing(*svg).child("rect").attribute("width").value(), "100%");
    EXPECT_EQ(std::string(drawing(*svg).child("g").child("text").text().get()),
              "Check & <fix> \xEF\xBF\xBD");
    if (round == 0) {
      first = svg->text;
    } else {
      EXPECT_EQ(svg->text, first) << "two renders of one drawing differ";
    }
  }
}

}  // namespace
}  // namespace orvane
