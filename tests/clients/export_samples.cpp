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
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/file_io.hpp"
#include "orvane/gateway.hpp"
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
  /// For examples: what each shape and flow must be in the documents, as JSON arrays.
  std::string shapes = "[]";
  std::string flows = "[]";
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

// Vertices: pools, lanes and every shape they hold (attached ones included); edges:
// connections between those shapes and black-box pools.
Entry count(const Swimboard& board, std::string name, std::string kind) {
  Entry entry{std::move(name), std::move(kind), 0, 0, {}};
  std::set<const Shape*> shapes;
  std::set<const Shape*> ends;
  for (const auto& pool : board._pools) {
    ++entry.vertices;
    if (pool->participant() != nullptr) ends.insert(pool->participant());
    for (const auto& lane : pool->lanes) {
      ++entry.vertices;
      for (const Shape* shape : lane->every_shape()) shapes.insert(shape);
    }
  }
  entry.vertices += shapes.size();
  ends.insert(shapes.begin(), shapes.end());
  std::set<const Connection*> seen;
  for (const Shape* shape : ends) {
    for (const Connection& c : *shape->connection_to) {
      if (ends.count(c.target) != 0 && seen.insert(&c).second) ++entry.edges;
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
  // Colours of their own, which both clients must take as written.
  task.fill_colour = "#ffe8cc";
  sub.outline_colour = "navy";
  final_task.font_colour = "#8b0000";
  b.background_fill_colour = "#f4f8ff";
  // And fonts, which the BPMN file carries as label styles.
  task.font_size = 14;
  final_task.font = "DejaVu Serif";
}

// The notation beyond the first kinds: task types, sub-process forms, markers, typed and
// boundary events, the complex gateway, data roles, annotations, a group, default and
// conditional flows, an association and a black-box pool.
void notation_kinds(Swimboard& board) {
  Pool& p = pool(board, "Claims");
  Lane& a = lane(p, "Desk");
  Lane& b = lane(p, "Back office");
  auto& start = static_cast<TypedEvent&>(a.add_element("Claim in", ElementType::TYPED_EVENT));
  start.definition = EventTrigger::MESSAGE;
  auto& check = static_cast<Task&>(a.add_element("Check", ElementType::TASK));
  check.task_type = TaskType::USER;
  check.loop = LoopType::STANDARD;
  auto& ok = static_cast<Exclusive&>(a.add_element("Covered?", ElementType::EXCLUSIVE));
  ok.show_marker = false;
  auto& pay = static_cast<Subprocess&>(b.add_element("Pay out", ElementType::SUBPROCESS));
  pay.form = SubprocessForm::TRANSACTION;
  pay.loop = LoopType::SEQUENTIAL;
  auto& refund = static_cast<Task&>(b.add_element("Claw back", ElementType::TASK));
  refund.task_type = TaskType::SERVICE;
  auto& rule = static_cast<Task&>(b.add_element("Rate", ElementType::TASK));
  rule.task_type = TaskType::BUSINESS_RULE;
  rule.loop = LoopType::PARALLEL;
  auto& call = static_cast<Subprocess&>(b.add_element("Audit", ElementType::SUBPROCESS));
  call.form = SubprocessForm::CALL_ACTIVITY;
  auto& adhoc = static_cast<Subprocess&>(b.add_element("Gather", ElementType::SUBPROCESS));
  adhoc.ad_hoc = true;
  auto& event_sub = static_cast<Subprocess&>(a.add_element("Complaint", ElementType::SUBPROCESS));
  event_sub.form = SubprocessForm::EVENT;
  event_sub.start_trigger = EventTrigger::MESSAGE;
  event_sub.start_interrupts = false;
  Shape& complex = b.add_element("Votes", ElementType::COMPLEX);
  auto& input = static_cast<DataObject&>(a.add_element("Claim", ElementType::DATA_OBJECT));
  input.role = DataRole::INPUT;
  auto& output = static_cast<DataObject&>(b.add_element("Letters", ElementType::DATA_OBJECT));
  output.role = DataRole::OUTPUT;
  output.collection = true;
  auto& end = static_cast<TypedEvent&>(b.add_element("Closed", ElementType::TYPED_EVENT));
  end.stage = EventPosition::END;
  end.definition = EventTrigger::TERMINATE;
  auto& escalate = static_cast<TypedEvent&>(a.add_element("Escalate", ElementType::TYPED_EVENT));
  escalate.stage = EventPosition::INTERMEDIATE;
  escalate.throws = true;
  escalate.definition = EventTrigger::ESCALATION;
  auto& reject = static_cast<TypedEvent&>(a.add_element("Rejected", ElementType::TYPED_EVENT));
  reject.stage = EventPosition::END;
  reject.definition = EventTrigger::ERROR;
  start.connect(check);
  check.connect(ok);
  ok.connect(pay, "yes").condition = "covered";
  ok.connect(escalate, "no").is_default = true;
  escalate.connect(reject);
  pay.connect(rule);
  rule.connect(complex);
  complex.connect(call);
  call.connect(adhoc);
  adhoc.connect(end);
  input.connect(check);
  rule.connect(output);
  a.add_boundary_event(check, "Late", EventTrigger::TIMER, false).connect(escalate);
  b.add_boundary_event(pay, "Undo", EventTrigger::COMPENSATION).connect(refund);
  b.add_boundary_event(pay, "Cancelled", EventTrigger::CANCEL).connect(end);
  a.annotate(check, "Two people sign");
  b.add_group("Money", {&pay, &refund});
  Pool& customer = pool(board, "Customer");
  customer.make_black_box();
  customer.participant()->connect(start, "claim");
  Connection& note = escalate.connect(*customer.participant(), "letter");
  (void)note;
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
    ElementType::SIGNAL_END, ElementType::CONDITIONAL_INTERMEDIATE,
    ElementType::COMPLEX,    ElementType::TYPED_EVENT,
    ElementType::TYPED_EVENT};

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
        if (auto* event = dynamic_cast<TypedEvent*>(&shape)) {
          // Any use BPMN allows: a position, a direction and one of its triggers.
          EventUse use;
          use.position = static_cast<EventPosition>(pick(3));
          use.throwing = use.position == EventPosition::INTERMEDIATE && pick(2) == 0;
          const auto triggers = allowed_triggers(use);
          event->stage = use.position;
          event->throws = use.throwing;
          event->definition = triggers[pick(triggers.size())];
        }
        if (auto* task = dynamic_cast<Task*>(&shape)) {
          task->task_type = static_cast<TaskType>(pick(8));
          task->loop = static_cast<LoopType>(pick(4));
        }
        shapes.push_back(&shape);
        all.push_back(&shape);
      }
      // A chain through the lane keeps most shapes connected.
      for (std::size_t s = 1; s < shapes.size(); ++s) shapes[s - 1]->connect(*shapes[s]);
      // Now and then a boundary event, an annotation or a group.
      for (Shape* shape : shapes) {
        if (shape->kind() == ShapeKind::ACTIVITY && pick(3) == 0) {
          ln.add_boundary_event(*shape, "On border",
                                pick(2) == 0 ? EventTrigger::TIMER : EventTrigger::ERROR)
              .connect(*shapes[pick(shapes.size())]);
        }
        if (pick(6) == 0) ln.annotate(*shape, NAME_PARTS[pick(NAME_PARTS.size())]);
      }
      if (shapes.size() > 1 && pick(4) == 0) ln.add_group("Group", {shapes[0], shapes[1]});
      by_lane.push_back(shapes);
    }
  }
  if (pick(3) == 0) {
    Pool& outside = pool(board, "Outside");
    Participant& band = outside.make_black_box();
    all[pick(all.size())]->connect(band, "to outside");
    band.connect(*all[pick(all.size())]);
  }
  // Extra links: across lanes and pools, backwards (loops) and a few self-loops.
  const std::size_t extra = pick(all.size() + 1);
  for (std::size_t i = 0; i < extra; ++i) {
    Shape& from = *all[pick(all.size())];
    Shape& to = *all[pick(all.size())];
    from.connect(to, pick(3) == 0 ? "yes & no" : "");
  }
}

#ifdef ORVANE_WITH_LOADER
// What the description says each shape and connection is, for the client checks to compare
// with what they read: the shape's type word and the details that make it what it is.
void expectations(const LoadedDiagram& loaded, Entry& entry) {
  auto flag = [](const char* key, bool value) {
    return std::string(",\"") + key + "\":" + (value ? "true" : "false");
  };
  auto text = [](const char* key, const std::string& value) {
    return std::string(",\"") + key + "\":" + json_string(value);
  };
  // A black-box pool's band is named by its pool's id (in pool order).
  std::vector<std::pair<const Shape*, std::string>> bands;
  for (const auto& pool : loaded.board->_pools) {
    if (pool->participant() != nullptr) bands.emplace_back(pool->participant(), pool->bpmn_id);
  }
  auto id_of = [&](const Shape* shape) -> std::optional<std::string> {
    if (shape == nullptr) return std::nullopt;
    for (const auto& [band, id] : bands) {
      if (band == shape) return id;
    }
    return loaded.file_id(*shape);
  };
  std::string shapes;
  std::string flows;
  auto add_flows = [&](const Shape& shape, const std::string& id) {
    for (const Connection& c : *shape.connection_to) {
      const auto to = id_of(c.target);
      if (!to) continue;
      flows += (flows.empty() ? "" : ",\n    ") + std::string("{\"from\":") + json_string(id) +
               text("to", *to) + text("type", c.connection_type) + flag("default", c.is_default) +
               text("condition", c.condition) + "}";
    }
  };
  for (const auto& [band, id] : bands) add_flows(*band, id);
  for (const auto& pool : loaded.board->_pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->every_shape()) {
        const auto id = loaded.file_id(*shape);
        if (!id) continue;
        std::string item = "{\"id\":" + json_string(*id) + text("kind", type_word_of(*shape)) +
                           text("name", shape->name);
        if (const auto* event = dynamic_cast<const Event*>(shape)) {
          item += flag("interrupting", event->interrupting());
          if (event->boundary_of() != nullptr) {
            item += text("attached", loaded.file_id(*event->boundary_of()).value_or(""));
          }
        }
        if (const auto* activity = dynamic_cast<const Activity*>(shape)) {
          item += text("loop", std::string(loop_type_name(activity->loop)));
          item += flag("compensation", activity->compensation);
        }
        if (const auto* sub = dynamic_cast<const Subprocess*>(shape)) {
          item += flag("ad_hoc", sub->ad_hoc);
          if (sub->form == SubprocessForm::EVENT) {
            item += text("trigger", std::string(trigger_name(sub->start_trigger)));
            item += flag("interrupting", sub->start_interrupts);
          }
        }
        if (const auto* data = dynamic_cast<const DataObject*>(shape)) {
          item += flag("collection", data->collection);
        }
        if (const auto* exclusive = dynamic_cast<const Exclusive*>(shape)) {
          item += flag("marker", exclusive->show_marker);
        }
        shapes += (shapes.empty() ? "" : ",\n    ") + item + "}";
        add_flows(*shape, *id);
      }
    }
  }
  entry.shapes = "[\n    " + shapes + "]";
  entry.flows = "[\n    " + flows + "]";
}
#endif

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
  run("notation-kinds", "builtin", notation_kinds);

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
        Entry entry = write(*loaded.board, out, name, "example");
        expectations(loaded, entry);
        entries.push_back(std::move(entry));
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
             << ", \"vertices\": " << e.vertices << ", \"edges\": " << e.edges
             << ",\n   \"shapes\": " << e.shapes << ",\n   \"flows\": " << e.flows;
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
