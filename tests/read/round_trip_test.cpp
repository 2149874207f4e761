// Round trips through BPMN and the description format: an example exported as BPMN reads back
// into the same model, and a BPMN file converted to a description draws the same picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>

#include "orvane/bpmn.hpp"
#include "orvane/bpmn_reader.hpp"
#include "orvane/description_writer.hpp"
#include "orvane/helper.hpp"
#include "support/file_text.hpp"
#include "support/scratch_path.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// An element with its attributes and its children in a canonical order: the model as a set,
// since the order of elements in a process says nothing (a reader orders a lane's shapes as
// the diagram draws them). The ids of the document, its collaboration and its processes are
// left out: a diagram has no element of its own for them, so an export makes them up.
std::string canonical(pugi::xml_node node) {
  const std::string_view name = node.name();
  const bool made_up_id =
      name == "bpmn:definitions" || name == "bpmn:collaboration" || name == "bpmn:process";
  std::string out = std::string("<") + node.name();
  for (pugi::xml_attribute a : node.attributes()) {
    const std::string_view attribute = a.name();
    if ((made_up_id && attribute == "id") || attribute == "processRef") continue;
    out += std::string(" ") + a.name() + "=\"" + a.value() + "\"";
  }
  out += ">" + std::string(node.child_value());
  std::vector<std::string> children;
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element) children.push_back(canonical(child));
  }
  std::sort(children.begin(), children.end());
  for (const std::string& child : children) out += child;
  return out + "</>";
}

// The semantic model of a document: everything but its diagram interchange.
std::string semantic_model(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  pugi::xml_node root = doc.document_element();
  while (pugi::xml_node diagram = root.child("bpmndi:BPMNDiagram")) root.remove_child(diagram);
  return canonical(root);
}

std::vector<fs::path> files(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(BpmnRoundTrip, EveryExampleExportedAsBpmnReadsBackIntoTheSameModel) {
  const auto examples = files(fs::path(ORVANE_SOURCE_DIR) / "examples", ".yaml");
  ASSERT_FALSE(examples.empty());
  for (const fs::path& example : examples) {
    const std::string name = example.filename().string();
    LoadedDiagram described = load_diagram(example.string());
    described.board->draw();
    const std::string exported = BPMN().to_xml(described.board->_pools);

    LoadedDiagram imported = load_bpmn_text(exported, name + ".bpmn");
    imported.board->draw();
    // Exported afresh (not written back), the model read from the file is the model written.
    EXPECT_EQ(semantic_model(BPMN().to_xml(imported.board->_pools)), semantic_model(exported))
        << name;
  }
}

TEST(BpmnRoundTrip, AConvertedDescriptionReadsBackAsWrittenAndDrawsTheSamePicture) {
  const fs::path here = fs::path(ORVANE_SOURCE_DIR) / "tests/read";
  auto inputs = files(here / "fixtures", ".bpmn");
  const auto samples = files(here / "samples", ".bpmn");
  inputs.insert(inputs.end(), samples.begin(), samples.end());
  for (const fs::path& path : inputs) {
    const std::string name = path.filename().string();
    const BpmnReading reading = read_bpmn(file_text(path), name);
    const std::string yaml = description_to_yaml(reading.diagram);
    DiagramDescription again;
    ASSERT_NO_THROW(again = parse_description(yaml, name + ".yaml")) << name << "\n" << yaml;
    EXPECT_EQ(description_to_yaml(again), yaml) << name;
  }

  // The same picture: an association's id, which the description cannot state, is all that
  // tells the two apart, and a PNG holds no ids.
  const fs::path collaboration = here / "fixtures/collaboration.bpmn";
  const fs::path dir = scratch_path("convert-test");
  fs::create_directories(dir);
  LoadedDiagram from_bpmn = load_bpmn_text(file_text(collaboration), "collaboration.bpmn");
  const std::string yaml = description_to_yaml(read_bpmn(file_text(collaboration), "c").diagram);
  LoadedDiagram from_yaml = load_diagram_text(yaml, "collaboration.yaml");
  from_bpmn.board->draw();
  from_yaml.board->draw();
  from_bpmn.board->save((dir / "a.png").string());
  from_yaml.board->save((dir / "b.png").string());
  EXPECT_EQ(file_text(dir / "a.png"), file_text(dir / "b.png"));
  fs::remove_all(dir);
}

// Names a YAML writer must quote or escape to have them read back as written: indicators,
// words YAML reads as null, booleans or numbers, comment and mapping marks, line breaks,
// surrounding blanks inside the text and text beyond ASCII.
TEST(DescriptionRoundTrip, AwkwardNamesReadBackAsWritten) {
  const std::vector<std::string> names = {"say \"hi\"",
                                          "it's",
                                          "key: value",
                                          "a:b",
                                          "- dash",
                                          "-",
                                          "? question",
                                          "# hash",
                                          "tag #1",
                                          "x #",
                                          "yes",
                                          "no",
                                          "null",
                                          "~",
                                          "true",
                                          "Off",
                                          "123",
                                          "1.5e3",
                                          "0x1F",
                                          "12:30",
                                          "-.inf",
                                          ".nan",
                                          "line one\nline two",
                                          "[list]",
                                          "{map}",
                                          "&anchor",
                                          "*alias",
                                          "!tag",
                                          "%directive",
                                          "@at",
                                          "`tick`",
                                          "|",
                                          ">",
                                          "a,b",
                                          "tab\there",
                                          "back\\slash",
                                          "ünïcödé 日本語 🚀",
                                          "trailing: ",
                                          "'",
                                          "\"",
                                          "\\\"",
                                          "a\n\nb",
                                          "---",
                                          "..."};
  std::string xml =
      "<definitions xmlns=\"http://www.omg.org/spec/BPMN/20100524/MODEL\" id=\"d\" "
      "targetNamespace=\"t\" name=\"no\"><process id=\"p\" name=\"- pool: #1\">"
      "<laneSet id=\"ls\"><lane id=\"l\" name=\"yes\">";
  for (std::size_t i = 0; i < names.size(); ++i)
    xml += "<flowNodeRef>t" + std::to_string(i) + "</flowNodeRef>";
  xml += "</lane></laneSet>";
  auto escaped = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '"')
        out += "&quot;";
      else if (c == '&')
        out += "&amp;";
      else if (c == '<')
        out += "&lt;";
      else if (c == '\n')
        out += "&#10;";
      else if (c == '\t')
        out += "&#9;";
      else
        out += c;
    }
    return out;
  };
  for (std::size_t i = 0; i < names.size(); ++i) {
    xml += "<task id=\"t" + std::to_string(i) + "\" name=\"" + escaped(names[i]) + "\"/>";
  }
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    xml += "<sequenceFlow id=\"f" + std::to_string(i) + "\" name=\"" + escaped(names[i + 1]) +
           "\" sourceRef=\"t" + std::to_string(i) + "\" targetRef=\"t" + std::to_string(i + 1) +
           "\"/>";
  }
  xml += "</process></definitions>";

  const BpmnReading reading = read_bpmn(xml, "awkward.bpmn");
  const DiagramDescription& written = reading.diagram;
  const std::string yaml = description_to_yaml(written);
  DiagramDescription read;
  ASSERT_NO_THROW(read = parse_description(yaml, "awkward.yaml")) << yaml;
  EXPECT_EQ(read.title, "no");
  ASSERT_EQ(read.pools.size(), 1u);
  EXPECT_EQ(read.pools[0].name, "- pool: #1");
  ASSERT_EQ(read.pools[0].lanes.size(), 1u);
  EXPECT_EQ(read.pools[0].lanes[0].name, "yes");
  const std::vector<ShapeDescription>& shapes = read.pools[0].lanes[0].shapes;
  ASSERT_EQ(shapes.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    // The reader drops blanks around a name, as a drawing would.
    const std::string& expected = written.pools[0].lanes[0].shapes[i].name;
    EXPECT_EQ(shapes[i].name, expected) << yaml;
  }
  EXPECT_EQ(shapes[0].name, "say \"hi\"");
  EXPECT_EQ(shapes[22].name, "line one\nline two");
  ASSERT_EQ(read.connections.size(), names.size() - 1);
  for (std::size_t i = 0; i < read.connections.size(); ++i) {
    EXPECT_EQ(read.connections[i].label, written.connections[i].label) << yaml;
  }
  EXPECT_EQ(description_to_yaml(read), yaml);
}

}  // namespace
}  // namespace orvane
