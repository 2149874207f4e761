// Writing a BPMN file back: everything but the diagram interchange stays byte for byte, the
// new DI uses the document's own prefixes and line ends, and it draws every plane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <set>

#include "orvane/bpmn_reader.hpp"
#include "orvane/description_writer.hpp"
#include "orvane/theme.hpp"
#include "support/file_text.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const fs::path kHere = fs::path(ORVANE_SOURCE_DIR) / "tests/read";

// The document read, laid out and written back.
std::string written_back(const std::string& text, const std::string& name) {
  LoadedDiagram d = load_bpmn_text(text, name);
  d.board->draw();
  std::vector<BpmnPlane> planes{{d.board->bpmn_source->plane_element, &d.board->_pools}};
  for (const Subdiagram& sub : d.board->subdiagrams) {
    planes.push_back({sub.element, &sub.board->_pools});
  }
  return BPMN().write_back_xml(*d.board->bpmn_source, planes);
}

// The text without its BPMNDiagram elements and the blanks before each.
std::string without_diagrams(std::string text) {
  static const std::regex open(R"(<((?:[A-Za-z_][\w.-]*:)?)BPMNDiagram[\s>])");
  std::smatch match;
  while (std::regex_search(text, match, open)) {
    const std::size_t start = static_cast<std::size_t>(match.position(0));
    const std::string close = "</" + match[1].str() + "BPMNDiagram>";
    const std::size_t end = text.find(close, start);
    if (end == std::string::npos) break;
    std::size_t from = start;
    while (from > 0 && std::isspace(static_cast<unsigned char>(text[from - 1]))) --from;
    text.erase(from, end + close.size() - from);
  }
  return text;
}

std::vector<fs::path> inputs() {
  std::vector<fs::path> out;
  for (const char* folder : {"fixtures", "samples"}) {
    for (const auto& entry : fs::directory_iterator(kHere / folder)) {
      if (entry.path().extension() == ".bpmn") out.push_back(entry.path());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

// What a description says, as a set: shapes with their kind and lane, connections, notes.
std::set<std::string> model_of(const DiagramDescription& d) {
  std::set<std::string> out;
  for (const PoolDescription& pool : d.pools) {
    out.insert("pool " + pool.id + " " + pool.name);
    for (const LaneDescription& lane : pool.lanes) {
      out.insert("lane " + lane.id + " " + lane.name + " in " + pool.id);
      for (const ShapeDescription& s : lane.shapes) {
        out.insert("shape " + s.id + " " + s.word->word + " in " + lane.name);
      }
    }
  }
  for (const ConnectionDescription& c : d.connections) {
    out.insert("connection " + c.id + " " + c.from + " " + c.to + " " + c.label);
  }
  for (const AnnotationDescription& a : d.annotations) out.insert("note " + a.id + " " + a.on);
  for (const GroupDescription& g : d.groups) out.insert("group " + g.id);
  return out;
}

TEST(BpmnWriteBack, EveryFileKeepsItsSemanticPartByteForByteAndReadsBackAsTheSameModel) {
  for (const fs::path& path : inputs()) {
    const std::string name = path.filename().string();
    const std::string input = file_text(path);
    const std::string output = written_back(input, name);
    EXPECT_EQ(without_diagrams(output), without_diagrams(input)) << name;
    EXPECT_EQ(written_back(input, name), output) << name << " differs run to run";

    const BpmnReading before = read_bpmn(input, name);
    const BpmnReading after = read_bpmn(output, name);
    EXPECT_EQ(model_of(after.diagram), model_of(before.diagram)) << name;
    ASSERT_EQ(after.subdiagrams.size(), before.subdiagrams.size()) << name;
    for (std::size_t i = 0; i < before.subdiagrams.size(); ++i) {
      EXPECT_EQ(after.subdiagrams[i].element, before.subdiagrams[i].element) << name;
      EXPECT_EQ(model_of(after.subdiagrams[i].diagram), model_of(before.subdiagrams[i].diagram))
          << name << " " << before.subdiagrams[i].element;
    }
  }
}

// The colours modellers gave shapes and lanes come back from the written document, in lower
// case; a colour the theme draws anyway (a white fill, say) need not be written.
TEST(BpmnWriteBack, ColoursOfShapesAndLanesSurvive) {
  const Theme& theme = get_theme("DEFAULT");
  const auto own = [&](std::string colour) {
    for (char& c : colour) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& drawn_anyway :
         {theme.element_fill_colour, theme.element_font_colour, theme.pool_fill_colour,
          theme.lane_background_fill_colour}) {
      if (colour == drawn_anyway) return std::string();
    }
    return colour;
  };
  // Pool and lane fills, shape fills and name colours, by id.
  const auto colours = [&](const DiagramDescription& d) {
    std::map<std::string, std::string> out;
    for (const PoolDescription& pool : d.pools) {
      out[pool.id] = own(pool.fill_colour);
      for (const LaneDescription& lane : pool.lanes) {
        out[lane.id] = own(lane.background_fill_colour);
        for (const ShapeDescription& s : lane.shapes) {
          out[s.id] = own(s.fill_colour) + " " + own(s.font_colour);
        }
      }
    }
    return out;
  };
  int coloured = 0;
  for (const fs::path& path : inputs()) {
    const std::string name = path.filename().string();
    const std::string input = file_text(path);
    const auto before = colours(read_bpmn(input, name).diagram);
    const auto after = colours(read_bpmn(written_back(input, name), name).diagram);
    EXPECT_EQ(after, before) << name;
    for (const auto& entry : before) coloured += entry.second.find('#') != std::string::npos;
  }
  EXPECT_GE(coloured, 40);
}

TEST(BpmnWriteBack, EachSubprocessGetsAPlaneAndIsDrawnCollapsedInItsParent) {
  const std::string output =
      written_back(file_text(kHere / "fixtures/subprocesses.bpmn"), "subprocesses.bpmn");
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(output.c_str()));
  std::vector<std::string> planes;
  std::map<std::string, std::string> expanded;
  for (pugi::xml_node diagram : doc.document_element().children("bpmndi:BPMNDiagram")) {
    pugi::xml_node plane = diagram.child("bpmndi:BPMNPlane");
    planes.push_back(plane.attribute("bpmnElement").value());
    for (pugi::xml_node shape : plane.children("bpmndi:BPMNShape")) {
      if (shape.attribute("isExpanded")) {
        expanded[shape.attribute("bpmnElement").value()] = shape.attribute("isExpanded").value();
      }
    }
  }
  EXPECT_EQ(planes, (std::vector<std::string>{"travel_collaboration", "plan_trip", "book_flights",
                                              "on_cancel"}));
  EXPECT_EQ(expanded,
            (std::map<std::string, std::string>{
                {"plan_trip", "false"}, {"book_flights", "false"}, {"on_cancel", "false"}}));
}

TEST(BpmnWriteBack, TheNewDiagramUsesTheDocumentsPrefixesOrDeclaresItsOwn) {
  // Bonita binds "di" to BPMN DI and "di_1" to DD DI: the new diagram says the same.
  const std::string bonita =
      written_back(file_text(kHere / "samples/export-A.2.1-Bonita-BPM-7.2.3.bpmn"), "bonita");
  EXPECT_NE(bonita.find("<di:BPMNDiagram id="), std::string::npos);
  EXPECT_NE(bonita.find("<di_1:waypoint "), std::string::npos);
  EXPECT_EQ(bonita.find("xmlns:bpmndi="), std::string::npos);

  // A document that declares none of them gets them on its diagram.
  const std::string plain =
      written_back(file_text(kHere / "fixtures/elements.bpmn"), "elements.bpmn");
  EXPECT_NE(
      plain.find(
          R"(<bpmndi:BPMNDiagram xmlns:bpmndi="http://www.omg.org/spec/BPMN/20100524/DI" xmlns:dc="http://www.omg.org/spec/DD/20100524/DC" xmlns:di="http://www.omg.org/spec/DD/20100524/DI")"),
      std::string::npos);
  // The diagram goes where the document ends, in its indent.
  EXPECT_NE(plain.find("  </bpmn:process>\n  <bpmndi:BPMNDiagram"), std::string::npos);
  EXPECT_NE(plain.find("  </bpmndi:BPMNDiagram>\n</bpmn:definitions>"), std::string::npos);
}

TEST(BpmnWriteBack, LineEndsAndWhatFollowsTheDiagramsAreKept) {
  std::string text = file_text(kHere / "fixtures/collaboration.bpmn");
  const std::string relationship =
      R"(<relationship id="r" type="trace"><source>shop</source><target>customer</target></relationship>)";
  text.insert(text.rfind("</definitions>"), "  " + relationship + "\n");
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

  const std::string output = written_back(crlf, "crlf.bpmn");
  EXPECT_EQ(without_diagrams(output), without_diagrams(crlf));
  for (std::size_t i = output.find('\n'); i != std::string::npos; i = output.find('\n', i + 1)) {
    ASSERT_EQ(output[i - 1], '\r') << "a bare line feed at byte " << i;
  }
  EXPECT_LT(output.find("BPMNDiagram"), output.find(relationship));
}

TEST(BpmnWriteBack, ParentLanesAreDrawnAroundTheirChildrenWhichMoveInByALabelBand) {
  const std::string output =
      written_back(file_text(kHere / "fixtures/collaboration.bpmn"), "collaboration.bpmn");
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(output.c_str()));
  std::map<std::string, pugi::xml_node> bounds;
  for (pugi::xml_node shape : doc.document_element()
                                  .child("bpmndi:BPMNDiagram")
                                  .child("bpmndi:BPMNPlane")
                                  .children("bpmndi:BPMNShape")) {
    bounds[shape.attribute("bpmnElement").value()] = shape.child("dc:Bounds");
  }
  ASSERT_EQ(bounds.count("sales"), 1u);
  auto at = [&](const char* id, const char* key) { return bounds[id].attribute(key).as_double(); };
  EXPECT_EQ(at("back_office", "x"), at("sales", "x") + 30);
  EXPECT_EQ(at("front_desk", "x"), at("sales", "x") + 30);
  EXPECT_EQ(at("sales", "y"), at("back_office", "y"));
  EXPECT_EQ(at("sales", "height"), at("back_office", "height") + at("front_desk", "height"));
  EXPECT_EQ(at("finance", "x"), at("sales", "x"));
  // The made-up lane of the node in no lane has no element, so no DI.
  EXPECT_EQ(bounds.count("shop_lane"), 0u);
  EXPECT_EQ(bounds.count("note_taken"), 1u);
}

TEST(BpmnWriteBack, ElementsWithoutAnIdAreDrawnAndTheirPlanesNameNothing) {
  // BPMN lets any element go without an id; the plane of such a sub-process or collaboration
  // cannot name it, so it names nothing rather than a wrong or empty id.
  std::string text = file_text(kHere / "fixtures/subprocesses.bpmn");
  const std::string named = R"(<bpmn2:subProcess id="on_cancel")";
  ASSERT_NE(text.find(named), std::string::npos);
  text.replace(text.find(named), named.size(), "<bpmn2:subProcess");
  const std::string collaboration = R"(<bpmn2:collaboration id="travel_collaboration">)";
  ASSERT_NE(text.find(collaboration), std::string::npos);
  text.replace(text.find(collaboration), collaboration.size(), "<bpmn2:collaboration>");

  const std::string output = written_back(text, "no-ids.bpmn");
  EXPECT_EQ(without_diagrams(output), without_diagrams(text));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(output.c_str()));
  std::vector<std::string> planes;
  for (pugi::xml_node diagram : doc.document_element().children("bpmndi:BPMNDiagram")) {
    pugi::xml_node plane = diagram.child("bpmndi:BPMNPlane");
    planes.push_back(plane.attribute("bpmnElement") ? plane.attribute("bpmnElement").value()
                                                    : "(none)");
  }
  EXPECT_EQ(planes, (std::vector<std::string>{"(none)", "plan_trip", "book_flights", "(none)"}));
}

// The fonts modellers gave names (label styles) stay with their elements in the written
// document, whatever the styles are called there; only what a dc:Font may say is kept.
TEST(BpmnWriteBack, FontsOfNamesSurvive) {
  // "element: font attributes" for every DI element whose label names a style.
  const auto fonts = [](const std::string& text) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(text.c_str()));
    std::map<std::string, std::string> styles;
    for (const pugi::xpath_node& style : doc.select_nodes("//*[local-name()='BPMNLabelStyle']")) {
      std::map<std::string, std::string> attributes;  // in any order
      for (pugi::xml_attribute a : style.node()
                                       .find_child([](pugi::xml_node n) {
                                         return std::string_view(n.name()).find("Font") !=
                                                std::string::npos;
                                       })
                                       .attributes()) {
        attributes[a.name()] = a.value();
      }
      std::string font;
      for (const auto& [key, value] : attributes) font += key + "=" + value + " ";
      styles[style.node().attribute("id").value()] = font;
    }
    std::set<std::string> out;
    for (const pugi::xpath_node& label : doc.select_nodes("//*[local-name()='BPMNLabel']")) {
      const auto style = styles.find(label.node().attribute("labelStyle").value());
      if (style == styles.end()) continue;
      out.insert(std::string(label.node().parent().attribute("bpmnElement").value()) + ": " +
                 style->second);
    }
    return out;
  };
  std::size_t kept = 0;
  for (const fs::path& path : inputs()) {
    const std::string name = path.filename().string();
    const std::string input = file_text(path);
    const std::set<std::string> after = fonts(written_back(input, name));
    // Elements the drawing leaves out (associations of data it does not show) lose theirs.
    std::set<std::string> drawn;
    pugi::xml_document out;
    out.load_string(written_back(input, name).c_str());
    for (const pugi::xpath_node& di : out.select_nodes("//*[@bpmnElement]")) {
      drawn.insert(di.node().attribute("bpmnElement").value());
    }
    std::set<std::string> before;
    for (const std::string& entry : fonts(input)) {
      if (drawn.count(entry.substr(0, entry.find(':'))) != 0) before.insert(entry);
    }
    EXPECT_EQ(after, before) << name;
    kept += after.size();
  }
  EXPECT_GE(kept, 130U);

  // A font attribute no BPMN tool would read right is not carried over.
  const std::string odd = R"(<?xml version="1.0" encoding="UTF-8"?>
<definitions xmlns="http://www.omg.org/spec/BPMN/20100524/MODEL"
    xmlns:bpmndi="http://www.omg.org/spec/BPMN/20100524/DI"
    xmlns:dc="http://www.omg.org/spec/DD/20100524/DC" id="d" targetNamespace="t">
  <process id="p"><task id="t" name="Check"/></process>
  <bpmndi:BPMNDiagram id="D"><bpmndi:BPMNPlane id="P" bpmnElement="p">
    <bpmndi:BPMNShape id="t_di" bpmnElement="t"><dc:Bounds x="0" y="0" width="100" height="80"/>
      <bpmndi:BPMNLabel labelStyle="S"/></bpmndi:BPMNShape>
  </bpmndi:BPMNPlane>
  <bpmndi:BPMNLabelStyle id="S"><dc:Font name="Arial" size="-3" isBold="yes" isItalic="true"/></bpmndi:BPMNLabelStyle>
  </bpmndi:BPMNDiagram>
</definitions>)";
  EXPECT_EQ(fonts(written_back(odd, "odd.bpmn")),
            std::set<std::string>{"t: isItalic=true name=Arial "});
}

}  // namespace
}  // namespace orvane
