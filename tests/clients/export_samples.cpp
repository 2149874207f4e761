// Writes the diagrams that the client checks open: the example descriptions (when the loader
// is built in), a few hand-built diagrams covering every element kind, and randomized ones.
// Each diagram is drawn first, so the documents carry the real geometry.
//
//   export_samples OUT_DIR [--random N] [--seed S] [--examples DIR]
//
// OUT_DIR receives NAME.bpmn, NAME.drawio and manifest.json listing every diagram with the
// numbers of vertices and edges its drawio document must hold, counted from the model. Each
// example is also drawn to NAME.svg and NAME.png, and its entry lists the names they show.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/activity.hpp"
#include "orvane/file_io.hpp"
#include "orvane/helper.hpp"
#include "orvane/swimboard.hpp"
#include "support/drawn_names.hpp"

#ifdef ORVANE_WITH_LOADER
#include "orvane/loader.hpp"
#endif

// fontconfig, under the real painters, keeps its configuration cache until the process ends;
// that memory is the library's own and not a leak of the diagram.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace fs = std::filesystem;
using namespace orvane;

namespace {

struct Entry {
  std::string name;
  std::string kind;
  std::size_t vertices = 0;
  std::size_t edges = 0;
  /// Names the SVG and PNG pictures show (examples only).
  std::vector<std::string> names;
};

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Vertices: pools, lanes and the shapes listed in lanes; edges: connections between them.
Entry count(const Swimboard& board, std::string name, std::string kind) {
  Entry entry{std::move(name), std::move(kind), 0, 0, {}};
  std::set<const Shape*> shapes;
  for (const auto& pool : board._pools) {
    ++entry.vertices;
    for (const auto& lane : pool->lanes) {
      ++entry.vertices;
      for (const Shape* shape : lane->shapes) shapes.insert(shape);
    }
  }
  entry.vertices += shapes.size();
  std::set<const Connection*> seen;
  for (const Shape* shape : shapes) {
    for (const Connection& c : *shape->connection_to) {
      if (shapes.count(c.target) != 0 && seen.insert(&c).second) ++entry.edges;
    }
  }
  return entry;
}

Entry write(Swimboard& board, const fs::path& out, const std::string& name,
            const std::string& kind) {
  board.draw();
  board.export_to_bpmn((out / (name + ".bpmn")).string());
  board.export_to_drawio((out / (name + ".drawio")).string());
  return count(board, name, kind);
}

Pool& pool(Swimboard& board, const std::string& name) {
  return board.add_pool(name);
}
Lane& lane(Pool& pool, const std::string& name) {
  return pool.add_lane(name, "", 0, "", "", "centre", "");
}

// Every element kind in one pool, with a loop back and data links.
void all_kinds(Swimboard& board) {
  Pool& p = pool(board, "All kinds");
  Lane& a = lane(p, "Events");
  Lane& b = lane(p, "Work");
  Shape& start = a.add_element("Start", ElementType::START);
  Shape& timer = a.add_element("Wait a day", ElementType::TIMER);
  Shape& cond = a.add_element("Stock low", ElementType::CONDITIONAL_INTERMEDIATE);
  Shape& signal = a.add_element("Alarm", ElementType::SIGNAL_INTERMEDIATE);
  Shape& link_out = a.add_element("Go on", ElementType::LINK);
  Shape& task = b.add_element("Check & <fix> \"it\"", ElementType::TASK);
  Shape& sub = b.add_element("Handle\nrework", ElementType::SUBPROCESS);
  Shape& xor_gw = b.add_element("OK?", ElementType::EXCLUSIVE);
  Shape& and_gw = b.add_element("", ElementType::PARALLEL);
  Shape& or_gw = b.add_element("Any", ElementType::INCLUSIVE);
  Shape& ev_gw = b.add_element("Which first", ElementType::EVENT_BASED);
  Shape& msg_end = b.add_element("Notify", ElementType::MESSAGE_END);
  Shape& sig_end = b.add_element("Broadcast", ElementType::SIGNAL_END);
  Shape& end = b.add_element("Done", ElementType::END);
  Shape& doc = b.add_element("Order form", ElementType::DATA_OBJECT);
  Shape& store = b.add_element("Stock DB", ElementType::DATA_STORE);
  Shape& term = a.add_element("Begin", ElementType::TERMINATOR);
  Shape& link_in = b.add_element("Go on", ElementType::LINK);
  Shape& final_task = b.add_element("Wrap up", ElementType::TASK);
  start.connect(timer);
  timer.connect(task);
  task.connect(xor_gw);
  xor_gw.connect(sub, "rework");
  sub.connect(task, "again");
  xor_gw.connect(and_gw, "ok");
  and_gw.connect(cond);
  and_gw.connect(or_gw);
  cond.connect(signal);
  signal.connect(link_out);
  or_gw.connect(ev_gw);
  ev_gw.connect(msg_end);
  ev_gw.connect(sig_end);
  or_gw.connect(end);
  doc.connect(task);
  task.connect(store);
  term.connect(task);
  link_in.connect(final_task);
  final_task.connect(end);
}

// Three pools exchanging messages; two of them share a name.
void three_pools(Swimboard& board) {
  Pool& customer = pool(board, "Customer");
  Pool& shop = pool(board, "Shop");
  Pool& other = pool(board, "Shop");
  Lane& buyer = lane(customer, "Buyer");
  Lane& sales = lane(shop, "Sales");
  Lane& store = lane(shop, "Store");
  Lane& branch = lane(other, "Branch");
  Shape& s1 = buyer.add_element("Need", ElementType::START);
  Shape& t1 = buyer.add_element("Order", ElementType::TASK);
  Shape& m1 = buyer.add_element("Goods arrive", ElementType::MESSAGE);
  Shape& e1 = buyer.add_element("Happy", ElementType::END);
  Shape& m2 = sales.add_element("Order in", ElementType::MESSAGE);
  Shape& t2 = sales.add_element("Book", ElementType::TASK);
  Shape& t3 = store.add_element("Ship", ElementType::TASK);
  Shape& e2 = store.add_element("Shipped", ElementType::END);
  Shape& s3 = branch.add_element("Asked", ElementType::START);
  Shape& t4 = branch.add_element("Lend stock", ElementType::TASK);
  Shape& e3 = branch.add_element("Lent", ElementType::END);
  s1.connect(t1);
  t1.connect(m2, "order");
  t1.connect(m1);
  m1.connect(e1);
  m2.connect(t2);
  t2.connect(t3);
  t3.connect(m1, "goods");
  t3.connect(e2);
  t2.connect(s3, "ask branch");
  s3.connect(t4);
  t4.connect(e3);
}

const std::vector<ElementType> RANDOM_TYPES = {
    ElementType::START,      ElementType::END,
    ElementType::TIMER,      ElementType::INTERMEDIATE,
    ElementType::LINK,       ElementType::MESSAGE,
    ElementType::SIGNAL,     ElementType::CONDITIONAL,
    ElementType::TASK,       ElementType::TASK,
    ElementType::TASK,       ElementType::SUBPROCESS,
    ElementType::EXCLUSIVE,  ElementType::PARALLEL,
    ElementType::INCLUSIVE,  ElementType::EVENT_BASED,
    ElementType::TERMINATOR, ElementType::DATA_OBJECT,
    ElementType::DATA_STORE, ElementType::MESSAGE_END,
    ElementType::SIGNAL_END, ElementType::CONDITIONAL_INTERMEDIATE};

const std::vector<std::string> NAME_PARTS = {
    "Check", "Ship", "Ask",       "R&D", "<b>bold</b>", "\"quoted\"", "it's", "Größe", "発送",
    "a\nb",  "🚚",    "x < y > z", "",    "Order",       "Review"};

void random_diagram(Swimboard& board, std::mt19937& rng) {
  auto pick = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  std::vector<Shape*> all;
  std::vector<std::vector<Shape*>> by_lane;
  const std::size_t pools = 1 + pick(3);
  for (std::size_t p = 0; p < pools; ++p) {
    Pool& pl = pool(board, NAME_PARTS[pick(NAME_PARTS.size())] + " pool");
    const std::size_t lanes = 1 + pick(3);
    for (std::size_t l = 0; l < lanes; ++l) {
      Lane& ln = lane(pl, NAME_PARTS[pick(NAME_PARTS.size())]);
      std::vector<Shape*> shapes;
      const std::size_t count = 1 + pick(5);
      for (std::size_t s = 0; s < count; ++s) {
        const ElementType type =
            s == 0 && l == 0 ? ElementType::START : RANDOM_TYPES[pick(RANDOM_TYPES.size())];
        Shape& shape = ln.add_element(NAME_PARTS[pick(NAME_PARTS.size())], type);
        shapes.push_back(&shape);
        all.push_back(&shape);
      }
      // A chain through the lane keeps most shapes connected.
      for (std::size_t s = 1; s < shapes.size(); ++s) shapes[s - 1]->connect(*shapes[s]);
      by_lane.push_back(shapes);
    }
  }
  // Extra links: across lanes and pools, backwards (loops) and a few self-loops.
  const std::size_t extra = pick(all.size() + 1);
  for (std::size_t i = 0; i < extra; ++i) {
    Shape& from = *all[pick(all.size())];
    Shape& to = *all[pick(all.size())];
    from.connect(to, pick(3) == 0 ? "yes & no" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  fs::path out;
  std::size_t random_count = 0;
  unsigned seed = 1;
  std::string examples;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) == 0 && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--random") random_count = std::stoul(value);
      if (arg == "--seed") seed = static_cast<unsigned>(std::stoul(value));
      if (arg == "--examples") examples = value;
    } else {
      out = arg;
    }
  }
  if (out.empty()) {
    std::cerr << "usage: export_samples OUT_DIR [--random N] [--seed S] [--examples DIR]\n";
    return 2;
  }
  fs::create_directories(out);
  std::vector<Entry> entries;
  std::size_t failures = 0;

  auto run = [&](const std::string& name, const std::string& kind, auto&& build) {
    try {
      Helper::reset_uuid();
      Swimboard board("Sample " + name);
      build(board);
      entries.push_back(write(board, out, name, kind));
    } catch (const std::exception& e) {
      ++failures;
      std::cerr << name << ": " << e.what() << "\n";
    }
  };

  run("all-kinds", "builtin", all_kinds);
  run("three-pools", "builtin", three_pools);

#ifdef ORVANE_WITH_LOADER
  if (!examples.empty()) {
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(examples)) {
      if (item.path().extension() == ".yaml") files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      try {
        const std::string name = file.stem().string();
        LoadedDiagram loaded = load_diagram(file.string());
        entries.push_back(write(*loaded.board, out, name, "example"));
        for (const std::string kind : {"svg", "png"}) {
          LoadOptions options;
          options.painter_type = kind;
          LoadedDiagram picture = load_diagram(file.string(), options);
          picture.board->draw();
          picture.board->save((out / (name + "." + kind)).string());
          entries.back().names = test::drawn_names(*picture.board);
        }
      } catch (const std::exception& e) {
        ++failures;
        std::cerr << file.string() << ": " << e.what() << "\n";
      }
    }
  }
#else
  if (!examples.empty()) std::cerr << "examples skipped: built without the loader\n";
#endif

  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < random_count; ++i) {
    run("random-" + std::to_string(i), "random",
        [&rng](Swimboard& board) { random_diagram(board, rng); });
  }

  std::ostringstream manifest;
  manifest << "[\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    manifest << "  {\"name\": " << json_string(e.name) << ", \"kind\": " << json_string(e.kind)
             << ", \"vertices\": " << e.vertices << ", \"edges\": " << e.edges;
    if (!e.names.empty()) {
      manifest << ", \"names\": [";
      for (std::size_t n = 0; n < e.names.size(); ++n) {
        manifest << (n == 0 ? "" : ", ") << json_string(e.names[n]);
      }
      manifest << "]";
    }
    manifest << "}" << (i + 1 < entries.size() ? ",\n" : "\n");
  }
  manifest << "]\n";
  write_file_atomically((out / "manifest.json").string(), manifest.str());
  std::cout << entries.size() << " diagrams written, " << failures << " failed\n";
  return failures == 0 ? 0 : 1;
}
