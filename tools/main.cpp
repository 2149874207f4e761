// The orvane command: renders, lays out and checks diagram descriptions.
#include <fmt/format.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <future>
#include <iostream>
#include <limits>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>

#include "diagram_check.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/description_writer.hpp"
#include "orvane/file_io.hpp"
#include "orvane/helper.hpp"
#include "orvane/loader.hpp"
#include "orvane/painter_factory.hpp"
#include "orvane/read.hpp"
#include "orvane/theme.hpp"
#include "orvane/vocabulary.hpp"

namespace {

using namespace orvane;

// Exit codes: success, failure to write an output, bad input (file or arguments).
constexpr int EXIT_OK = 0;
constexpr int EXIT_WRITE_FAILED = 1;
constexpr int EXIT_BAD_INPUT = 2;

const std::set<std::string> kTraceLevels = {
    "all", "layout_grid", "pool_lane", "draw", "draw_connection", "x_position", "y_position"};

// A failure to write an output file; the message already names the file.
struct WriteError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What the command prints besides errors: by default the "wrote" lines and check's summary;
// quiet prints errors and check's warnings only; verbose adds the library's log line, as
// --trace does.
struct Verbosity {
  bool quiet = false;
  bool verbose = false;
};

// Where progress lines go: stdout, or nowhere when quiet.
std::ostream& progress(const Verbosity& v) {
  static std::ostream nowhere(nullptr);
  return v.quiet ? nowhere : std::cout;
}

std::string lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The picture format a file name asks for, from its extension.
std::optional<std::string> painter_for(const std::string& path) {
  std::string ext = lower(std::filesystem::path(path).extension().string());
  if (ext == ".png" || ext == ".svg" || ext == ".pdf") return ext.substr(1);
  return std::nullopt;
}

void apply_trace(const std::string& levels, bool show_grid) {
  std::set<std::string> shown;
  std::stringstream in(levels);
  std::string level;
  while (std::getline(in, level, ',')) {
    if (level.empty()) continue;
    if (kTraceLevels.count(level) == 0) {
      std::string known;
      for (const auto& k : kTraceLevels) known += (known.empty() ? "" : ", ") + k;
      throw CLI::ValidationError("--trace", "unknown trace level " + Helper::quoted(level) +
                                                "; expected some of: " + known);
    }
    shown.insert(level);
  }
  bool all = shown.count("all") != 0;
  Helper::show_layout_grid = show_grid || all || shown.count("layout_grid") != 0;
  Helper::show_x_position = all || shown.count("x_position") != 0;
  Helper::set_show_levels(std::move(shown));
}

// `make` run on a thread of its own, or here and now when no thread can be had.
template <class F>
std::future<std::string> in_background(F make) {
  try {
    return std::async(std::launch::async, make);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, make);
  }
}

// Runs one write step, turning any failure into a WriteError that names the file once.
template <class F>
void write_step(const std::string& path, F&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    std::string reason = e.what();
    const std::string named = fmt::format("cannot write '{}': ", path);
    if (reason.rfind(named, 0) == 0) reason.erase(0, named.size());
    throw WriteError(fmt::format("{}: error: cannot write the file: {}", path, reason));
  }
}

// Refuses, before anything is drawn, outputs that cannot be written: a folder that does not
// exist or cannot be written into, a name that is a folder, or one file named twice. So either
// every output asked for is written or none is (short of a failure while writing).
void check_output_places(const std::vector<std::string>& paths) {
  namespace fs = std::filesystem;
  std::set<fs::path> seen;
  for (const std::string& path : paths) {
    std::error_code ec;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::exists(folder, ec)) {
      throw WriteError(fmt::format("{}: error: the folder '{}' does not exist; create it first",
                                   path, folder.string()));
    }
    if (!fs::is_directory(folder, ec)) {
      throw WriteError(fmt::format("{}: error: '{}' is not a folder", path, folder.string()));
    }
    if (fs::is_directory(path, ec)) {
      throw WriteError(fmt::format("{}: error: is a folder; expected a file name", path));
    }
    if (::access(folder.c_str(), W_OK) != 0) {
      throw WriteError(fmt::format("{}: error: cannot write into the folder '{}': {}", path,
                                   folder.string(), std::strerror(errno)));
    }
    if (!seen.insert(fs::weakly_canonical(path, ec)).second) {
      throw WriteError(fmt::format("{}: error: the file is named for two outputs", path));
    }
  }
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += fmt::format("\\u{:04x}", c);
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

// A count of 1 or more, written in digits.
const CLI::Validator kCount(
    [](std::string& text) -> std::string {
      if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
          text.find_first_not_of('0') == std::string::npos) {
        return "must be a whole number of 1 or more, got " + Helper::quoted(text);
      }
      return "";
    },
    "");

// A PNG scale: a plain decimal number from 0.01 to 100 (CLI11's own range check would print
// "Value abc not in range 0.010000 to 100.000000").
const CLI::Validator kScale(
    [](std::string& text) -> std::string {
      double value = 0;
      const char* end = text.data() + text.size();
      auto [stop, error] = std::from_chars(text.data(), end, value);
      if (text.empty() || error != std::errc() || stop != end || !(value >= 0.01) ||
          !(value <= 100)) {
        return "must be a number from 0.01 to 100 (0.5 draws at half size), got " +
               Helper::quoted(text);
      }
      return "";
    },
    "");

// The options that raise the ceilings of the input, for every command that reads a description.
void add_limit_options(CLI::App* command, InputLimits& limits) {
  command->add_option("--max-shapes", limits.max_shapes, "Most shapes a diagram may have")
      ->check(kCount)
      ->capture_default_str();
  command
      ->add_option("--max-connections", limits.max_connections,
                   "Most connections a diagram may have")
      ->check(kCount)
      ->capture_default_str();
  command
      ->add_option_function<std::size_t>(
          "--max-input-mb",
          [&limits](std::size_t mib) {
            if (mib > (std::numeric_limits<std::size_t>::max() >> 21)) {
              throw CLI::ValidationError("--max-input-mb", "is larger than memory can be");
            }
            limits.max_file_bytes = mib << 20;
          },
          "Largest input file, in MiB")
      ->check(kCount)
      ->default_str(std::to_string(InputLimits{}.max_file_bytes >> 20));
}

struct RenderArgs {
  std::string file;
  std::string output;
  std::string bpmn;
  std::string drawio;
  std::string trace;
  bool show_grid = false;
  InputLimits limits;
  std::optional<double> scale;
  std::optional<std::uint64_t> max_megapixels;
};

// One warning line per element of a BPMN file that the picture does not draw, at its place in
// the file; `tail` ends each line's text.
void warn_not_drawn(std::ostream& out, const std::string& file, const BpmnReading& reading,
                    std::string_view tail = "") {
  for (const BpmnReading::Omission& o : reading.not_drawn) {
    out << fmt::format("{}:{}:{}: warning: {}{}\n", file, o.mark.line, o.mark.column, o.what, tail);
  }
}

// One warning line per font the diagram names that the system lacks: the text engine replaces
// it without a word.
void warn_fonts(std::ostream& out, const std::string& file,
                const std::vector<FontReplacement>& replaced) {
  for (const FontReplacement& r : replaced) {
    out << fmt::format("{}: warning: the font {} is not installed; its texts are set in {}\n", file,
                       Helper::quoted(r.asked), Helper::quoted(r.used));
  }
}

// One warning line naming the characters of the texts that no installed font has, which the
// pictures show as boxes: the first few code points (a terminal would show the same boxes).
void warn_characters(std::ostream& out, const std::string& file,
                     const std::vector<char32_t>& missing) {
  if (missing.empty()) return;
  constexpr std::size_t SHOWN = 8;
  std::string list;
  for (std::size_t i = 0; i < missing.size() && i < SHOWN; ++i) {
    list += fmt::format("{}U+{:04X}", i == 0 ? "" : ", ", static_cast<std::uint32_t>(missing[i]));
  }
  if (missing.size() > SHOWN) list += fmt::format(" and {} more", missing.size() - SHOWN);
  out << fmt::format("{}: warning: no installed font has {} {}; {} drawn as boxes\n", file,
                     missing.size() == 1 ? "the character" : "the characters", list,
                     missing.size() == 1 ? "it is" : "they are");
}

int run_render(const RenderArgs& args, const Verbosity& verbosity) {
  LoadOptions options;
  options.limits = args.limits;
  std::string output = args.output;
  if (!output.empty()) {
    options.painter_type = painter_for(output);
    if (!options.painter_type) {
      std::cerr << output << ": error: cannot tell the picture format from the file name; "
                << "use .png, .svg or .pdf\n";
      return EXIT_BAD_INPUT;
    }
  }
  const std::string text = read_description_file(args.file, options.limits);
  LoadedDiagram diagram;
  if (input_format(args.file, text) == InputFormat::BPMN) {
    const BpmnReading reading = read_bpmn(text, args.file, options);
    diagram = build_bpmn(reading, options);
    // What the picture leaves out of the file is said (the BPMN export keeps it).
    warn_not_drawn(std::cerr, args.file, reading);
  } else {
    diagram = load_diagram_text(text, args.file, options);
  }
  Swimboard& board = *diagram.board;
  if (output.empty()) {
    output = std::filesystem::path(args.file).replace_extension(board.painter_type).string();
  }
  std::vector<std::string> outputs{output};
  if (!args.bpmn.empty()) outputs.push_back(args.bpmn);
  if (!args.drawio.empty()) outputs.push_back(args.drawio);
  check_output_places(outputs);
  if ((args.scale || args.max_megapixels) && board.painter_type != "png") {
    std::cerr << output << ": error: --scale and --max-megapixels apply to PNG pictures; an "
              << board.painter_type << " picture scales without loss in its viewer\n";
    return EXIT_BAD_INPUT;
  }
  RasterOptions raster;
  raster.scale = args.scale.value_or(raster.scale);
  raster.max_megapixels = args.max_megapixels.value_or(raster.max_megapixels);
  board.painter().set_raster_options(raster);
  try {
    board.draw();
  } catch (const DescriptionError&) {
    throw;
  } catch (const std::exception& e) {
    throw DescriptionError(args.file, {}, fmt::format("cannot draw the diagram: {}", e.what()));
  }
  warn_fonts(std::cerr, args.file, board.painter().replaced_fonts());
  warn_characters(std::cerr, args.file, board.painter().missing_characters());
  // The files' flushes to disk overlap each other and the exports; each file is reported once
  // it is in place, also when a later one fails.
  FlushGroup flushes;
  std::vector<std::string> written;
  auto report = [&] {
    flushes.wait();
    for (const std::string& path : written) {
      write_step(path, [&] { flushes.check(path); });
      progress(verbosity) << "wrote " << path << "\n";
    }
  };
  try {
    write_step(output, [&] { board.save(output); });
    written.push_back(output);
    // The drawio document is made on another thread while the BPMN one is made here.
    std::future<std::string> drawio;
    if (!args.drawio.empty()) drawio = in_background([&board] { return board.drawio_document(); });
    if (!args.bpmn.empty()) {
      write_step(args.bpmn, [&] { write_file_atomically(args.bpmn, board.bpmn_document()); });
      written.push_back(args.bpmn);
    }
    if (!args.drawio.empty()) {
      write_step(args.drawio, [&] { write_file_atomically(args.drawio, drawio.get()); });
      written.push_back(args.drawio);
    }
  } catch (const WriteError&) {
    report();
    throw;
  }
  report();
  return EXIT_OK;
}

int run_layout(const std::string& file, const LoadOptions& options, bool traced) {
  // The process ends when this returns, so the diagram is left for it to reclaim: freeing a
  // large one object by object takes a noticeable share of the run (0.15 s of 10 s at 100,000
  // shapes). Held by a static pointer, it is still reachable to leak checkers (volatile, so that
  // the compiler keeps the store).
  static LoadedDiagram* volatile kept = nullptr;
  kept = new LoadedDiagram(load_file(file, options));
  LoadedDiagram& diagram = *kept;
  Swimboard& board = *diagram.board;
  try {
    // The positions and routes need no picture; painting is done only for the trace of the
    // drawing steps, when one is asked for.
    if (traced) {
      board.draw();
    } else {
      board.arrange();
    }
  } catch (const std::exception& e) {
    throw DescriptionError(file, {}, fmt::format("cannot draw the diagram: {}", e.what()));
  }
  std::string json =
      fmt::format("{{\"width\":{},\"height\":{},\"shapes\":[", board.width, board.height);
  auto id_of = [&](const Shape& shape) { return json_string(diagram.file_id(shape).value_or("")); };
  bool first = true;
  for (Shape* shape : board._layout_grid.get_all_shapes()) {
    ShapeCell cell = board._layout_grid.get_shape_lane_rowcolumn(shape);
    const Lane* lane = board._get_lane_by_id(shape->lane_id);
    json += first ? "" : ",";
    first = false;
    json += fmt::format(
        "{{\"id\":{},\"name\":{},\"type\":{},\"pool\":{},\"lane\":{},\"row\":{},"
        "\"col\":{},\"x\":{},\"y\":{},\"kind\":{}}}",
        id_of(*shape), json_string(shape->name), json_string(shape->class_name()),
        json_string(shape->pool_name), json_string(lane != nullptr ? lane->name : ""),
        cell.row_number.value_or(0), cell.col_number.value_or(0),
        shape->coord ? shape->coord->x_pos : 0, shape->coord ? shape->coord->y_pos : 0,
        json_string(type_word_of(*shape)));
  }
  // Boundary events, annotations and groups: no cell, a box, and the shapes they belong to.
  json += "],\"attached\":[";
  first = true;
  for (const auto& pool : board._pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->attached) {
        std::vector<const Shape*> on;
        if (const auto* event = dynamic_cast<const TypedEvent*>(shape))
          on.push_back(event->attached_to);
        if (const auto* note = dynamic_cast<const TextAnnotation*>(shape))
          on.push_back(note->annotated());
        if (const auto* group = dynamic_cast<const Group*>(shape)) {
          on.assign(group->members.begin(), group->members.end());
        }
        std::string ids;
        for (const Shape* member : on) {
          if (member == nullptr) continue;
          if (!ids.empty()) ids += ',';
          ids += id_of(*member);
        }
        json += first ? "" : ",";
        first = false;
        json += fmt::format(
            "{{\"id\":{},\"name\":{},\"type\":{},\"pool\":{},\"lane\":{},\"on\":[{}],"
            "\"x\":{},\"y\":{},\"width\":{},\"height\":{},\"kind\":{}}}",
            id_of(*shape), json_string(shape->name), json_string(shape->class_name()),
            json_string(pool->name), json_string(lane->name), ids, std::lround(shape->box.x),
            std::lround(shape->box.y), std::lround(shape->box.width),
            std::lround(shape->box.height), json_string(type_word_of(*shape)));
      }
    }
  }
  json += "]}";
  std::cout << json << std::endl;
  return EXIT_OK;
}

// "1 pool", "2 lanes".
std::string counted(std::size_t n, const char* one, const char* many) {
  return fmt::format("{} {}", n, n == 1 ? one : many);
}

// One warning line per shape with problems, at the shape's place in the file.
int run_check(const std::string& file, const LoadOptions& options, const Verbosity& verbosity) {
  const std::string text = read_description_file(file, options.limits);
  DiagramDescription description;
  LoadedDiagram diagram;
  if (input_format(file, text) == InputFormat::BPMN) {
    BpmnReading reading = read_bpmn(text, file, options);
    diagram = build_bpmn(reading, options);
    description = std::move(reading.diagram);
    warn_not_drawn(std::cout, file, reading);
  } else {
    description = parse_description(text, file, options.limits);
    diagram = build_diagram(description, options);
  }
  Swimboard& board = *diagram.board;
  for (const ShapeWarning& w : check_shapes(description, diagram)) {
    std::string problems;
    for (std::size_t i = 0; i < w.problems.size(); ++i) {
      problems += (i == 0 ? "" : i + 1 == w.problems.size() ? " and " : ", ") + w.problems[i];
    }
    const std::string id = w.id == w.name ? "" : fmt::format(" (id {})", Helper::quoted(w.id));
    std::cout << fmt::format("{}:{}:{}: warning: shape {}{} {}\n", file, w.mark.line, w.mark.column,
                             Helper::quoted(w.name), id, problems);
  }
  warn_fonts(std::cout, file, board.missing_fonts());
  warn_characters(std::cout, file, board.missing_characters());
  std::size_t lanes = 0;
  for (const auto& pool : board._pools) lanes += pool->lanes.size();
  std::size_t connections = 0;
  for (const auto& [id, shape] : diagram.shapes_by_id) connections += shape->connection_to->size();
  for (const auto& pool : board._pools) connections += pool->band_messages();
  progress(verbosity) << fmt::format(
      "{}: ok: {}, {}, {}, {}\n", file, counted(board._pools.size(), "pool", "pools"),
      counted(lanes, "lane", "lanes"), counted(diagram.shapes_by_id.size(), "shape", "shapes"),
      counted(connections, "connection", "connections"));
  return EXIT_OK;
}

// Writes the description of a diagram file (a BPMN document or a description) as YAML, to
// standard output for "-".
// The shape with id `id` in the diagram read or in one of its sub-process diagrams.
const ShapeDescription* find_shape(const BpmnReading& reading, const std::string& id) {
  auto in = [&](const DiagramDescription& d) -> const ShapeDescription* {
    auto in_lanes = [&](const std::vector<LaneDescription>& lanes) -> const ShapeDescription* {
      for (const LaneDescription& lane : lanes) {
        for (const ShapeDescription& shape : lane.shapes) {
          if (shape.id == id) return &shape;
        }
      }
      return nullptr;
    };
    for (const PoolDescription& pool : d.pools) {
      if (const ShapeDescription* found = in_lanes(pool.lanes)) return found;
    }
    return in_lanes(d.lanes);
  };
  if (const ShapeDescription* found = in(reading.diagram)) return found;
  for (const BpmnReading::Subdiagram& sub : reading.subdiagrams) {
    if (const ShapeDescription* found = in(sub.diagram)) return found;
  }
  return nullptr;
}

// "3 shapes and 2 connections": what a sub-process diagram holds.
std::string contents_count(const DiagramDescription& d) {
  std::size_t shapes = 0;
  for (const PoolDescription& pool : d.pools) {
    for (const LaneDescription& lane : pool.lanes) shapes += lane.shapes.size();
  }
  for (const LaneDescription& lane : d.lanes) shapes += lane.shapes.size();
  return counted(shapes, "shape", "shapes") + " and " +
         counted(d.connections.size(), "connection", "connections");
}

int run_convert(const std::string& file, const std::string& output, const LoadOptions& options,
                const Verbosity& verbosity) {
  const bool to_stdout = output == "-";
  const std::string ext = lower(std::filesystem::path(output).extension().string());
  if (!to_stdout && ext != ".yaml" && ext != ".yml") {
    std::cerr << output << ": error: cannot tell the output format from the file name; use "
              << ".yaml or .yml for a description, or - for standard output\n";
    return EXIT_BAD_INPUT;
  }
  if (!to_stdout) check_output_places({output});
  const std::string text = read_description_file(file, options.limits);
  DiagramDescription description;
  if (input_format(file, text) == InputFormat::BPMN) {
    BpmnReading reading = read_bpmn(text, file, options);
    build_bpmn(reading, options);  // refuses what the diagram cannot draw
    // What the description leaves out is said, at its place in the file: what the picture
    // does not draw either, and the contents of sub-processes, which a description cannot
    // hold (render's BPMN export keeps both).
    warn_not_drawn(std::cerr, file, reading, "; the description leaves it out");
    for (const BpmnReading::Subdiagram& sub : reading.subdiagrams) {
      const ShapeDescription* shape = find_shape(reading, sub.element);
      const SourceMark mark = shape != nullptr ? shape->mark : SourceMark{};
      const std::string name = shape != nullptr && !shape->name.empty() ? shape->name : sub.element;
      std::cerr << fmt::format(
          "{}:{}:{}: warning: the contents of sub-process {} ({}) are left out: a description "
          "has no place for them\n",
          file, mark.line, mark.column, Helper::quoted(name), contents_count(sub.diagram));
    }
    description = std::move(reading.diagram);
  } else {
    description = parse_description(text, file, options.limits);
  }
  if (to_stdout) {
    std::cout << description_to_yaml(description) << std::flush;
    if (!std::cout) {
      std::cerr << "-: error: cannot write the description to standard output\n";
      return EXIT_WRITE_FAILED;
    }
    return EXIT_OK;
  }
  write_step(output, [&] { write_file_atomically(output, description_to_yaml(description)); });
  progress(verbosity) << "wrote " << output << "\n";
  return EXIT_OK;
}

// The subcommand a command line names: its first word that is not an option (the command's own
// options take no values). Empty when there is none.
std::string first_word(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') return argv[i];
  }
  return "";
}

// The commands that draw start loading the fonts' configuration first of all: it goes on while
// the arguments are parsed and the file is read.
void prepare_fonts_for(int argc, char** argv) {
  const std::string word = first_word(argc, argv);
  if (word == "render" || word == "layout") PainterFactory::prepare_fonts_at_start();
}

#ifdef __GLIBC__
// As early as the program's own code can: glibc hands the arguments to constructors, which run
// once the libraries are loaded, before the command's other static objects are made and main.
__attribute__((constructor(101))) void prepare_fonts_before_main(int argc, char** argv, char**) {
  prepare_fonts_for(argc, argv);
}
#endif

}  // namespace

// Fontconfig keeps its font caches until the process ends, and Debian's cairo loses two small
// buffers when its PDF writer subsets a CJK font; LeakSanitizer builds are told so (the hook is
// read only when the sanitizer is linked in). The library tests keep reporting leaks in cairo.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libcairo.so\n";
}

// Without this, LeakSanitizer prints its table of the suppressions it used to stderr at exit,
// which would end every message the command prints in a sanitizer build.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  prepare_fonts_for(argc, argv);  // started already when a constructor did
  const std::string word = first_word(argc, argv);
  CLI::App app{
      "orvane draws swim-lane business-process diagrams from a YAML description or a BPMN 2.0 "
      "file.",
      "orvane"};
  app.set_version_flag("--version", std::string("orvane ") + ORVANE_VERSION);
  // The options below may also follow the subcommand.
  app.fallthrough();
  Verbosity verbosity;
  app.add_flag("-q,--quiet", verbosity.quiet,
               "Print errors and warnings only: no 'wrote' lines, no summary");
  app.add_flag("-v,--verbose", verbosity.verbose,
               "Also print the library's log line (the time a picture took)");

  RenderArgs render;
  auto* render_cmd = app.add_subcommand("render", "Draw a description to a picture and exports");
  render_cmd->add_option("FILE", render.file, "Diagram file: a YAML description or BPMN 2.0 XML")
      ->required();
  render_cmd->add_option("-o,--output", render.output,
                         "Picture file; .png, .svg or .pdf sets the format (default: FILE with "
                         "the description's painter as extension)");
  render_cmd->add_option("--bpmn", render.bpmn, "Also write BPMN 2.0 XML to this file");
  render_cmd->add_option("--drawio", render.drawio, "Also write drawio XML to this file");
  render_cmd->add_option("--trace", render.trace,
                         "Comma-separated trace categories to print: layout_grid, pool_lane, "
                         "draw, draw_connection, x_position, y_position or all");
  render_cmd->add_flag("--show-grid", render.show_grid, "Print the layout grid");
  add_limit_options(render_cmd, render.limits);
  render_cmd
      ->add_option("--scale", render.scale,
                   "PNG pixels per drawing unit: 0.5 draws at half size, 2 at double density")
      ->check(kScale);
  render_cmd
      ->add_option("--max-megapixels", render.max_megapixels,
                   "Largest PNG picture, in millions of pixels")
      ->check(kCount)
      ->default_str(std::to_string(RasterOptions{}.max_megapixels));

  std::string layout_file;
  std::string layout_trace;
  auto* layout_cmd =
      app.add_subcommand("layout", "Lay out a description and print the shape cells as JSON");
  layout_cmd->add_option("FILE", layout_file, "Diagram file: a YAML description or BPMN 2.0 XML")
      ->required();
  layout_cmd->add_option("--trace", layout_trace, "Trace categories, printed on stderr");
  LoadOptions layout_options;
  add_limit_options(layout_cmd, layout_options.limits);

  std::string check_file;
  auto* check_cmd = app.add_subcommand(
      "check", "Validate a description; warn about shapes that are unconnected or flow oddly");
  check_cmd->add_option("FILE", check_file, "Diagram file: a YAML description or BPMN 2.0 XML")
      ->required();
  LoadOptions check_options;
  add_limit_options(check_cmd, check_options.limits);

  std::string convert_file;
  std::string convert_output;
  auto* convert_cmd = app.add_subcommand(
      "convert", "Write the description of a diagram file (BPMN or YAML) as a YAML description");
  convert_cmd->add_option("FILE", convert_file, "Diagram file: a YAML description or BPMN 2.0 XML")
      ->required();
  convert_cmd
      ->add_option("-o,--output", convert_output, "Description file (.yaml), - for standard output")
      ->required();
  LoadOptions convert_options;
  add_limit_options(convert_cmd, convert_options.limits);

  auto* themes_cmd = app.add_subcommand("themes", "List the colour themes");

  // A missing or unknown subcommand is named, with the list and the usage.
  std::string names;
  bool known = false;
  for (const CLI::App* sub : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + sub->get_name();
    known = known || sub->get_name() == word;
  }
  const bool asks_help_or_version = std::any_of(argv + 1, argv + argc, [](const char* arg) {
    return std::string_view(arg) == "-h" || std::string_view(arg) == "--help" ||
           std::string_view(arg) == "--version";
  });
  if ((word.empty() && !asks_help_or_version) || (!word.empty() && !known)) {
    if (word.empty()) {
      std::cerr << "orvane: error: a subcommand is required; expected one of: " << names << "\n";
    } else if (std::filesystem::exists(word) || painter_for(word) ||
               lower(std::filesystem::path(word).extension().string()) == ".yaml" ||
               lower(std::filesystem::path(word).extension().string()) == ".bpmn") {
      std::cerr << "orvane: error: " << Helper::quoted(word)
                << " is not a subcommand; to draw it: orvane render " << word << "\n";
    } else {
      std::cerr << "orvane: error: unknown subcommand " << Helper::quoted(word)
                << "; expected one of: " << names << "\n";
    }
    std::cerr << "\n" << app.help();
    return EXIT_BAD_INPUT;
  }

  try {
    app.parse(argc, argv);
    if (*render_cmd) apply_trace(render.trace, render.show_grid);
    if (*layout_cmd) apply_trace(layout_trace, false);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? EXIT_OK : EXIT_BAD_INPUT;
  }
  // The library's own lines (its log line, one per saved picture; its traces and notes such as
  // the shapes it places without a start) are printed only when asked for. They go to stdout,
  // except under layout, whose stdout holds only the JSON.
  static std::ostream nowhere(nullptr);
  const bool tracing = !render.trace.empty() || render.show_grid || !layout_trace.empty();
  if (verbosity.verbose || tracing) {
    if (*layout_cmd) Helper::set_output(std::cerr);
  } else {
    Helper::set_log_output(nowhere);
    Helper::set_output(nowhere);
  }

  try {
    if (*render_cmd) return run_render(render, verbosity);
    if (*layout_cmd) return run_layout(layout_file, layout_options, !layout_trace.empty());
    if (*check_cmd) return run_check(check_file, check_options, verbosity);
    if (*convert_cmd) return run_convert(convert_file, convert_output, convert_options, verbosity);
    if (*themes_cmd) {
      for (const auto& name : theme_names()) std::cout << name << "\n";
      return EXIT_OK;
    }
  } catch (const DescriptionError& e) {
    std::cerr << e.what() << "\n";
    return EXIT_BAD_INPUT;
  } catch (const WriteError& e) {
    std::cerr << e.what() << "\n";
    return EXIT_WRITE_FAILED;
  } catch (const std::exception& e) {
    std::cerr << "orvane: error: " << e.what() << "\n";
    return EXIT_BAD_INPUT;
  }
  return EXIT_OK;
}
