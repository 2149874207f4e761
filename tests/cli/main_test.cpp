// The orvane command end to end: exit codes, files written, messages and the layout JSON.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

class Command : public ::testing::Test {
 protected:
  void SetUp() override {
    // The process id keeps test runs of several build folders on one machine apart.
    dir_ = fs::temp_directory_path() /
           ("orvane-cli-" + std::to_string(::getpid()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result run(const std::string& args) {
    fs::path out = dir_ / "stdout.txt";
    fs::path err = dir_ / "stderr.txt";
    std::string command = std::string("'") + ORVANE_EXE + "' " + args + " >'" + out.string() +
                          "' 2>'" + err.string() + "'";
    int status = std::system(command.c_str());
    Result result;
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(out);
    result.err = slurp(err);
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  fs::path write(const std::string& name, const std::string& text) {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  static std::string example(const std::string& name) {
    return std::string(ORVANE_SOURCE_DIR) + "/examples/" + name + ".yaml";
  }

  fs::path dir_;
};

TEST_F(Command, RenderWritesPictureAndBothExports) {
  fs::path png = dir_ / "o.png";
  Result r = run("render " + example("order-handling") + " -o " + png.string() + " --bpmn " +
                 (dir_ / "o.bpmn").string() + " --drawio " + (dir_ / "o.drawio").string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(slurp(png).substr(1, 3), "PNG");
  EXPECT_NE(slurp(dir_ / "o.bpmn").find("Check order"), std::string::npos);
  EXPECT_NE(slurp(dir_ / "o.drawio").find("mxGraphModel"), std::string::npos);
}

TEST_F(Command, LibrariesInTheCurrentFolderAreNeverLoaded) {
  // A folder holding files named like the libraries the command needs, as a download folder or
  // a hostile checkout may: the loader must not take them for the system's.
  for (const char* name : {"libc.so.6", "libstdc++.so.6", "libfmt.so.9", "libcairo.so.2"}) {
    write(name, "not a library");
  }
  const std::string command = "cd '" + dir_.string() + "' && '" + ORVANE_EXE + "' render " +
                              example("order-handling") + " -q -o o.png 2>stderr.txt";
  EXPECT_EQ(std::system(command.c_str()), 0) << slurp(dir_ / "stderr.txt");
  EXPECT_EQ(slurp(dir_ / "o.png").substr(1, 3), "PNG");
}

TEST_F(Command, PictureFormatFollowsTheOutputExtension) {
  ASSERT_EQ(run("render " + example("order-handling") + " -o " + (dir_ / "o.svg").string()).code,
            0);
  EXPECT_NE(slurp(dir_ / "o.svg").find("<svg"), std::string::npos);
  ASSERT_EQ(run("render " + example("order-handling") + " -o " + (dir_ / "o.PDF").string()).code,
            0);
  EXPECT_EQ(slurp(dir_ / "o.PDF").substr(0, 5), "%PDF-");
  Result r = run("render " + example("order-handling") + " -o " + (dir_ / "o.jpg").string());
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("o.jpg: error: cannot tell the picture format"), std::string::npos);
}

TEST_F(Command, BadDescriptionExitsTwoNamingFileLineAndColumn) {
  fs::path bad = write("bad.yaml", "lanes:\n  - name: L\n    shaeps: []\n");
  Result r = run("render " + bad.string() + " -o " + (dir_ / "x.png").string());
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(bad.string() + ":3:5: error: unknown key 'shaeps'"), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
  Result missing = run("check " + (dir_ / "missing.yaml").string());
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err, (dir_ / "missing.yaml").string() + ": error: the file does not exist\n");
}

TEST_F(Command, FailedWriteExitsOneAndLeavesNoFile) {
  fs::path blocker = write("blocker", "not a folder");
  Result r = run("render " + example("order-handling") + " -o " + (blocker / "x.png").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            (blocker / "x.png").string() + ": error: '" + blocker.string() + "' is not a folder\n");

  // Every output place is checked before drawing: one that cannot be written, and none is.
  const std::string nodir = (dir_ / "nodir").string();
  r = run("render " + example("order-handling") + " -o " + (dir_ / "ok.png").string() + " --bpmn " +
          (dir_ / "ok.bpmn").string() + " --drawio " + nodir + "/x.drawio");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, nodir + "/x.drawio: error: the folder '" + nodir +
                       "' does not exist; create it first\n");
  r = run("render " + example("order-handling") + " -o " + (dir_ / "ok.png").string() + " --bpmn " +
          (dir_ / "ok.png").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("ok.png: error: the file is named for two outputs"), std::string::npos);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1u);  // the blocker alone
}

TEST_F(Command, ByDefaultOnlyWroteLinesQuietNothingVerboseAlsoTheLogLine) {
  const std::string args = "render " + example("order-handling") + " -o " +
                           (dir_ / "o.png").string() + " --bpmn " + (dir_ / "o.bpmn").string();
  Result normal = run(args);
  ASSERT_EQ(normal.code, 0) << normal.err;
  EXPECT_EQ(normal.out,
            "wrote " + (dir_ / "o.png").string() + "\nwrote " + (dir_ / "o.bpmn").string() + "\n");
  EXPECT_EQ(normal.err, "");
  for (const char* quiet : {"-q ", "--quiet "}) {
    Result r = run(quiet + args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out + r.err, "") << quiet;
  }
  Result after = run(args + " -q");  // the options may follow the subcommand
  EXPECT_EQ(after.out + after.err, "");
  Result verbose = run(args + " -v");
  EXPECT_NE(verbose.err.find("[INFO] : Took ["), std::string::npos) << verbose.err;
  Result traced = run(args + " --trace draw");
  EXPECT_NE(traced.err.find("[INFO] : Took ["), std::string::npos) << traced.err;
}

TEST_F(Command, LibraryNotesAreShownOnlyWhenAskedFor) {
  // Shapes on a loop with no start are placed by the layout with a note of its own: a line of
  // the library, which the command shows with -v or --trace only.
  fs::path loop = write("loop.yaml",
                        "pools:\n"
                        "  - name: P\n"
                        "    lanes:\n"
                        "      - name: L\n"
                        "        shapes:\n"
                        "          - {id: a, name: A, type: task}\n"
                        "          - {id: b, name: B, type: task}\n"
                        "connections:\n"
                        "  - {from: a, to: b}\n"
                        "  - {from: b, to: a}\n");
  const std::string args = "render " + loop.string() + " -o " + (dir_ / "loop.png").string();
  Result normal = run(args);
  ASSERT_EQ(normal.code, 0) << normal.err;
  EXPECT_EQ(normal.out + normal.err, "wrote " + (dir_ / "loop.png").string() + "\n");
  EXPECT_EQ(run("-q " + args).out, "");
  const std::string note = "Processing 2 unconnected shapes in lane L\n";
  EXPECT_NE(run("-v " + args).out.find(note), std::string::npos);
  EXPECT_NE(run(args + " --trace draw").out.find(note), std::string::npos);
  Result layout = run("layout " + loop.string());
  EXPECT_EQ(layout.out.find('\n'), layout.out.size() - 1);
  EXPECT_EQ(layout.err, "");
  EXPECT_NE(run("layout " + loop.string() + " --trace draw").err.find(note), std::string::npos);
}

TEST_F(Command, LayoutPrintsOnlyJsonWithFileIdsAndOneBasedCells) {
  Result r = run("layout " + example("order-handling"));
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string& json = r.out;
  EXPECT_EQ(json.rfind("{\"width\":", 0), 0u) << json;
  EXPECT_EQ(json.back(), '\n');
  EXPECT_EQ(json.find('\n'), json.size() - 1);  // nothing else on stdout
  EXPECT_NE(json.find("{\"id\":\"start\",\"name\":\"Order received\",\"type\":\"Start\","
                      "\"pool\":\"Order Handling\",\"lane\":\"Sales\",\"row\":1,\"col\":1,"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"id\":\"ship\""), std::string::npos);
  EXPECT_EQ(json.find("\"row\":0"), std::string::npos);
  EXPECT_NE(json.find("\"kind\":\"exclusive\"}"), std::string::npos);
  EXPECT_NE(json.find("\"attached\":[]}"), std::string::npos);
}

TEST_F(Command, LayoutListsBoundaryEventsAnnotationsAndGroupsWithWhatTheyBelongTo) {
  fs::path file = write("a.yaml",
                        "lanes:\n- name: L\n  shapes:\n"
                        "  - {id: s, type: start}\n"
                        "  - {id: pay, type: service_task}\n"
                        "  - {id: late, type: timer_boundary, attached_to: pay}\n"
                        "connections: [{from: s, to: pay}]\n"
                        "annotations: [{id: n, text: Note, on: pay}]\n"
                        "groups: [{id: g, name: G, members: [s, pay]}]\n");
  Result r = run("layout " + file.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"kind\":\"service_task\"}"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("{\"id\":\"late\",\"name\":\"\",\"type\":\"TypedEvent\",\"pool\":"
                       "\"Default Pool\",\"lane\":\"L\",\"on\":[\"pay\"],"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"on\":[\"s\",\"pay\"]"), std::string::npos);
  EXPECT_NE(r.out.find("\"kind\":\"timer_boundary\"}"), std::string::npos);
  EXPECT_NE(r.out.find("\"kind\":\"text_annotation\"}"), std::string::npos);
  // Painting, done only for a trace of the drawing, changes no position or box.
  Result traced = run("layout " + file.string() + " --trace draw,draw_connection");
  ASSERT_EQ(traced.code, 0) << traced.err;
  EXPECT_EQ(traced.out, r.out);
  EXPECT_NE(traced.err.find("Drawing shape for"), std::string::npos) << traced.err;
}

TEST_F(Command, LayoutEscapesNamesAndKeepsReplacedEventIds) {
  fs::path file = write("n.yaml",
                        "lanes:\n- name: \"L \\\"1\\\"\"\n  shapes:\n"
                        "  - {id: m, name: \"a\\\\b\\n\\tc\\u0001\", type: message}\n"
                        "  - {id: t, name: T, type: task}\n"
                        "connections: [{from: t, to: m}]\n");
  Result r = run("layout " + file.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("{\"id\":\"m\",\"name\":\"a\\\\b\\n\\tc\\u0001\",\"type\":\"MessageEnd\","
                       "\"pool\":\"Default Pool\",\"lane\":\"L \\\"1\\\"\""),
            std::string::npos)
      << r.out;
}

TEST_F(Command, CheckWarnsOncePerShapeAtItsPlace) {
  fs::path file = write("c.yaml",
                        "lanes:\n- name: L\n  shapes:\n  - {id: s, name: S, type: start}\n"
                        "  - {name: Lone, type: task}\n"
                        "  - {id: t, name: T, type: task}\n"
                        "  - {id: e, name: E, type: end}\n"
                        "  - {id: s2, name: Again, type: start}\n"
                        "  - {id: e2, name: E2, type: end}\n"
                        "  - {id: in, name: Order in, type: start}\n"
                        "  - {id: x, name: On error, type: event_subprocess, trigger: error}\n"
                        "pools:\n- name: Bank\n  lanes:\n  - name: Desk\n    shapes:\n"
                        "    - {id: pay, name: Pay, type: start}\n"
                        "    - {id: m, name: Paid, type: message_end}\n"
                        "connections: [{from: t, to: e}, {from: e, to: s2}, {from: s, to: e2},"
                        " {from: pay, to: m}, {from: m, to: in}]\n");
  Result r = run("check " + file.string());
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string f = file.string();
  // A message end event may send its message to another pool, and a start event receive one;
  // an event sub-process, which its own event starts, stands unconnected.
  EXPECT_EQ(r.out,
            f + ":5:5: warning: shape 'Lone' has no connections (orphan)\n" +  //
                f + ":6:5: warning: shape 'T' (id 't') has nothing leading into it (dangling)\n" +
                f +
                ":7:5: warning: shape 'E' (id 'e') is an end event with outgoing flows (nothing "
                "may follow an end event)\n" +
                f +
                ":8:5: warning: shape 'Again' (id 's2') is a start event with incoming sequence "
                "flows (use an intermediate event there)\n" +
                f + ": ok: 2 pools, 2 lanes, 10 shapes, 5 connections\n");
  EXPECT_EQ(run("check -q " + file.string()).out.find(": ok:"), std::string::npos);
}

// The summary counts every connection, those from a black-box pool too.
TEST_F(Command, CheckCountsMessagesFromABlackBoxPool) {
  fs::path file =
      write("b.yaml",
            "pools:\n- {name: Customer, id: c, black_box: true}\n"
            "- name: Shop\n  lanes:\n  - name: Sales\n    shapes:\n"
            "    - {id: in, name: Order in, type: message_start}\n"
            "    - {id: out, name: Confirm, type: send_task}\n"
            "connections: [{from: c, to: in}, {from: in, to: out}, {from: out, to: c}]\n");
  Result r = run("check " + file.string());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(": ok: 2 pools, 1 lane, 2 shapes, 3 connections\n"), std::string::npos)
      << r.out;
}

TEST_F(Command, InformationCommandsAndUsageErrors) {
  Result themes = run("themes");
  EXPECT_EQ(themes.code, 0);
  EXPECT_EQ(themes.out.rfind("DEFAULT\n", 0), 0u);
  Result version = run("--version");
  EXPECT_EQ(version.code, 0);
  EXPECT_NE(version.out.find("orvane 0."), std::string::npos);
  EXPECT_EQ(run("--help").code, 0);
  EXPECT_EQ(run("render").code, 2);
  // A missing or unknown subcommand is named, with the list of subcommands and the usage.
  const std::string list = "expected one of: render, layout, check, convert, themes\n";
  Result none = run("");
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.err.rfind("orvane: error: a subcommand is required; " + list, 0), 0u) << none.err;
  EXPECT_NE(none.err.find("Usage: orvane"), std::string::npos);
  Result unknown = run("draw x.yaml");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_EQ(unknown.err.rfind("orvane: error: unknown subcommand 'draw'; " + list, 0), 0u)
      << unknown.err;
  EXPECT_NE(unknown.err.find("Usage: orvane"), std::string::npos);
  Result file = run("-q " + example("loops"));
  EXPECT_EQ(file.code, 2);
  EXPECT_NE(file.err.find("is not a subcommand; to draw it: orvane render "), std::string::npos)
      << file.err;
  Result trace = run("render " + example("order-handling") + " --trace nonsense");
  EXPECT_EQ(trace.code, 2);
  EXPECT_NE(trace.err.find("unknown trace level 'nonsense'"), std::string::npos) << trace.err;
}

TEST_F(Command, WithoutOutputThePictureGoesBesideTheDescriptionInItsPainterFormat) {
  fs::path file =
      write("plan.yaml", "painter: svg\nlanes:\n- {name: L, shapes: [{name: S, type: start}]}\n");
  ASSERT_EQ(run("render " + file.string()).code, 0);
  EXPECT_NE(slurp(dir_ / "plan.svg").find("<svg"), std::string::npos);
}

TEST_F(Command, ShowGridPrintsTheGridTableOnly) {
  Result r = run("render " + example("order-handling") + " -o " + (dir_ / "o.png").string() +
                 " --show-grid");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Ship order"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Traversing"), std::string::npos);  // not the layout trace
}

TEST_F(Command, ABpmnFileIsDrawnLaidOutAndConvertedWhateverItsName) {
  // The format is known from the content: a BPMN file named .xml is read as BPMN.
  const fs::path model = dir_ / "model.xml";
  fs::copy_file(fs::path(ORVANE_SOURCE_DIR) / "tests/read/fixtures/collaboration.bpmn", model);
  Result render = run("render " + model.string() + " -o " + (dir_ / "m.svg").string());
  ASSERT_EQ(render.code, 0) << render.err;
  EXPECT_NE(slurp(dir_ / "m.svg").find("<svg"), std::string::npos);

  Result layout = run("layout " + model.string());
  ASSERT_EQ(layout.code, 0) << layout.err;
  EXPECT_NE(layout.out.find(R"("id":"check_order","name":"Check order")"), std::string::npos);
  EXPECT_NE(layout.out.find(R"("lane":"Sales / Front desk")"), std::string::npos);

  // The description it converts to draws the same picture.
  const fs::path yaml = dir_ / "m.yaml";
  Result convert = run("convert " + model.string() + " -o " + yaml.string());
  ASSERT_EQ(convert.code, 0) << convert.err;
  ASSERT_EQ(run("render " + model.string() + " -o " + (dir_ / "m.png").string()).code, 0);
  ASSERT_EQ(run("render " + yaml.string() + " -o " + (dir_ / "y.png").string()).code, 0);
  EXPECT_EQ(slurp(dir_ / "y.png"), slurp(dir_ / "m.png"));
  EXPECT_EQ(run("convert " + model.string() + " -o " + (dir_ / "m.txt").string()).code, 2);
  // "-" writes the same description to standard output, and nothing else there.
  Result piped = run("convert " + model.string() + " -o -");
  ASSERT_EQ(piped.code, 0) << piped.err;
  EXPECT_EQ(piped.out, slurp(yaml));
}

// What a picture or a description leaves out of a BPMN file is said, at its place in the file:
// render names what it does not draw, convert also the sub-process contents a description has no
// place for. Both still write their file.
TEST_F(Command, RenderAndConvertSayWhatTheyLeaveOutOfABpmnFile) {
  const fs::path model =
      write("pay.bpmn",
            "<definitions xmlns=\"http://www.omg.org/spec/BPMN/20100524/MODEL\">\n"
            "  <collaboration id=\"c\">\n"
            "    <participant id=\"shop\" name=\"Shop\" processRef=\"p1\"/>\n"
            "    <participant id=\"bank\" name=\"Bank\" processRef=\"p2\"/>\n"
            "    <messageFlow id=\"m\" sourceRef=\"pay\" targetRef=\"bank\"/>\n"
            "  </collaboration>\n"
            "  <process id=\"p1\"><task id=\"pay\" name=\"Pay\"/></process>\n"
            "  <process id=\"p2\"><task id=\"book\" name=\"Book\"/></process>\n"
            "</definitions>\n");
  Result render = run("render " + model.string() + " -o " + (dir_ / "pay.svg").string());
  ASSERT_EQ(render.code, 0) << render.err;
  EXPECT_NE(render.err.find(model.string() +
                            ":5:5: warning: message flow 'm' from 'pay' to 'bank' is not drawn"),
            std::string::npos)
      << render.err;
  EXPECT_TRUE(fs::exists(dir_ / "pay.svg"));

  const fs::path trips = fs::path(ORVANE_SOURCE_DIR) / "tests/read/fixtures/subprocesses.bpmn";
  Result convert = run("-q convert " + trips.string() + " -o " + (dir_ / "trips.yaml").string());
  ASSERT_EQ(convert.code, 0) << convert.err;
  EXPECT_NE(convert.err.find(trips.string() +
                             ":19:5: warning: the contents of sub-process 'Plan the trip' (4 "
                             "shapes and 3 connections) are left out: a description has no place "
                             "for them"),
            std::string::npos)
      << convert.err;
  EXPECT_NE(slurp(dir_ / "trips.yaml").find("Plan the trip"), std::string::npos);
}

TEST_F(Command, RenderAndCheckSayWhichFontsTheSystemLacks) {
  const std::string diagram =
      "pools:\n"
      "  - name: Shop\n"
      "    font: FONT\n"
      "    lanes:\n"
      "      - name: Sales\n"
      "        shapes:\n"
      "          - {id: a, name: Order, type: start}\n"
      "          - {id: b, name: Ship, type: task}\n"
      "connections:\n"
      "  - {from: a, to: b}\n";
  auto with_font = [&](const std::string& font) {
    std::string text = diagram;
    text.replace(text.find("FONT"), 4, font);
    return text;
  };
  const fs::path missing = write("missing.yaml", with_font("No Such Family 7"));
  Result r = run("-q render " + missing.string() + " -o " + (dir_ / "missing.png").string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, missing.string() +
                       ": warning: the font 'No Such Family 7' is not installed; its texts are "
                       "set in 'Noto Sans'\n");
  EXPECT_TRUE(fs::exists(dir_ / "missing.png"));
  // check finds the same without drawing.
  r = run("-q check " + missing.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, missing.string() +
                       ": warning: the font 'No Such Family 7' is not installed; its texts are "
                       "set in 'Noto Sans'\n");

  const fs::path installed = write("installed.yaml", with_font("DejaVu Sans"));
  r = run("-q render " + installed.string() + " -o " + (dir_ / "installed.svg").string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  r = run("-q check " + installed.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

// Characters no font has (private-use code points, which no font the project installs
// covers) are named once each, in code point order, however many texts hold them; every
// picture kind finds them, and check finds them without drawing.
TEST_F(Command, RenderAndCheckSayWhichCharactersNoFontHas) {
  const fs::path odd = write("odd.yaml",
                             "title: \"Plan \\U0010FFFD\"\n"
                             "pools:\n"
                             "  - name: Shop\n"
                             "    lanes:\n"
                             "      - name: Sales\n"
                             "        shapes:\n"
                             "          - {id: a, name: \"Order \\U000F0041\", type: start}\n"
                             "          - {id: b, name: \"Ship \\U0010FFFD\", type: task}\n"
                             "connections:\n"
                             "  - {from: a, to: b, label: \"line\\nbreak\"}\n");
  for (const char* kind : {"png", "svg", "pdf"}) {
    const Result r =
        run("-q render " + odd.string() + " -o " + (dir_ / (std::string("odd.") + kind)).string());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, odd.string() +
                         ": warning: no installed font has the characters U+F0041, U+10FFFD; "
                         "they are drawn as boxes\n")
        << kind;
  }
  Result checked = run("-q check " + odd.string());
  ASSERT_EQ(checked.code, 0) << checked.err;
  EXPECT_EQ(checked.out, odd.string() +
                             ": warning: no installed font has the characters U+F0041, "
                             "U+10FFFD; they are drawn as boxes\n");
  // Names in scripts the installed fonts cover are no cause for a warning.
  const fs::path plain = write("plain.yaml",
                               "pools:\n"
                               "  - name: Shop\n"
                               "    lanes:\n"
                               "      - name: \"Verkauf \u00e9\u65e5\u672c\"\n"
                               "        shapes:\n"
                               "          - {id: a, name: \"\u0417\u0430\u043a\u0430\u0437\", "
                               "type: start}\n");
  const Result r = run("-q render " + plain.string() + " -o " + (dir_ / "plain.png").string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  checked = run("-q check " + plain.string());
  ASSERT_EQ(checked.code, 0) << checked.err;
  EXPECT_EQ(checked.out.find("no installed font"), std::string::npos) << checked.out;
}

TEST_F(Command, ABadBpmnFileExitsTwoNamingLineAndColumn) {
  const fs::path bad = write("bad.bpmn",
                             "<definitions xmlns=\"http://www.omg.org/spec/BPMN/20100524/MODEL\">\n"
                             "  <process id=\"p\">\n"
                             "    <sequenceFlow id=\"f\" sourceRef=\"a\" targetRef=\"b\"/>\n"
                             "  </process>\n</definitions>\n");
  Result r = run("render " + bad.string() + " -o " + (dir_ / "x.png").string());
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(bad.string() + ":3:5: error: the sourceRef of sequenceFlow 'f' names 'a', "
                                      "which the document does not define"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
}

TEST_F(Command, DiagramWiderThanCairosSurfacesRendersToEveryFormat) {
  // A chain of 250 shapes is about 42,000 px wide.
  std::string text = "lanes:\n- name: L\n  shapes:\n  - {id: s0, name: Start, type: start}\n";
  std::string connections;
  for (int i = 1; i < 250; ++i) {
    text += fmt::format("  - {{id: s{0}, name: Step {0}, type: task}}\n", i);
    connections += fmt::format("  - {{from: s{}, to: s{}}}\n", i - 1, i);
  }
  fs::path file = write("long.yaml", text + "connections:\n" + connections);
  for (const char* kind : {"png", "svg", "pdf"}) {
    Result r = run(fmt::format("render {} -o {}/long.{}", file.string(), dir_.string(), kind));
    EXPECT_EQ(r.code, 0) << kind << ": " << r.err;
  }
  const std::string png = slurp(dir_ / "long.png");
  ASSERT_GT(png.size(), 24u);
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(png[at]); };
  const unsigned width = (byte(16) << 24) | (byte(17) << 16) | (byte(18) << 8) | byte(19);
  EXPECT_GT(width, 32767u);
  EXPECT_NE(slurp(dir_ / "long.svg").find(fmt::format("width=\"{}\"", width)), std::string::npos);
  EXPECT_NE(slurp(dir_ / "long.pdf").find("/Count 3"), std::string::npos);

  // Half size, and refusals that say what to do instead.
  Result half =
      run(fmt::format("render {} -o {}/half.png --scale 0.5", file.string(), dir_.string()));
  ASSERT_EQ(half.code, 0) << half.err;
  EXPECT_LT(slurp(dir_ / "half.png").size(), png.size());
  Result budget =
      run(fmt::format("render {} -o {}/b.png --max-megapixels 1", file.string(), dir_.string()));
  EXPECT_EQ(budget.code, 1);
  EXPECT_NE(budget.err.find("megapixels for a PNG; write it as SVG or PDF"), std::string::npos)
      << budget.err;
  for (const char* bad : {"0", "abc", "1e3", "0.5x", "nan"}) {
    Result refused =
        run(fmt::format("render {} -o {}/s.png --scale {}", file.string(), dir_.string(), bad));
    EXPECT_NE(refused.code, 0) << bad;
    EXPECT_NE(refused.err.find(fmt::format("--scale: must be a number from 0.01 to 100 (0.5 "
                                           "draws at half size), got '{}'",
                                           bad)),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir_ / "s.png")) << bad;
  }
  Result vector = run(fmt::format("render {} -o {}/v.svg --scale 2", file.string(), dir_.string()));
  EXPECT_EQ(vector.code, 2);
  EXPECT_NE(vector.err.find("--scale and --max-megapixels apply to PNG pictures"),
            std::string::npos)
      << vector.err;
}

TEST_F(Command, CeilingsAreRaisedOnTheCommandLine) {
  std::string text = "lanes:\n- name: L\n  shapes:\n";
  for (int i = 0; i < 3; ++i) text += fmt::format("  - {{id: s{}, type: task}}\n", i);
  fs::path file = write("three.yaml", text);
  for (const char* command : {"check", "layout", "render"}) {
    Result r = run(fmt::format("{} {} --max-shapes 2", command, file.string()));
    EXPECT_EQ(r.code, 2) << command;
    EXPECT_NE(r.err.find(file.string() + ":6:5: error: more than 2 shapes; --max-shapes raises "
                                         "the limit"),
              std::string::npos)
        << command << ": " << r.err;
  }
  EXPECT_EQ(run("check " + file.string() + " --max-shapes 3").code, 0);
  EXPECT_EQ(run("check " + file.string() + " --max-input-mb 1").code, 0);
  Result zero = run("check " + file.string() + " --max-connections 0");
  EXPECT_EQ(zero.code, 2);
  EXPECT_NE(zero.err.find("--max-connections: must be a whole number of 1 or more, got '0'"),
            std::string::npos)
      << zero.err;
}

}  // namespace
