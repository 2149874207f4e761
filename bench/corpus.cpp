#include "corpus.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <random>
#include <stdexcept>

#include "orvane/artifact.hpp"
#include "orvane/element_type.hpp"
#include "orvane/event.hpp"
#include "orvane/lane.hpp"

namespace orvane::bench {
namespace {

const std::vector<std::string> VERBS = {
    "Check",   "Review",  "Approve", "Send",     "Receive", "Prepare", "Record",   "Notify",
    "Archive", "Verify",  "Compute", "Schedule", "Ship",    "Invoice", "Register", "Assess",
    "Collect", "Update",  "Create",  "Confirm",  "Pack",    "Book",    "Reject",   "Escalate",
    "Plan",    "Inspect", "Sign",    "Forward",  "Close",   "Publish"};
const std::vector<std::string> NOUNS = {
    "order",    "invoice",  "payment",       "application", "contract", "claim",
    "request",  "delivery", "customer data", "report",      "quote",    "stock",
    "shipment", "account",  "complaint",     "budget",      "offer",    "documents"};
const std::vector<std::string> LONG_TAILS = {
    " against the external rating agency's records",
    " with the regional sales manager and the legal department",
    " and attach the signed confirmation to the customer file",
    " in the enterprise resource planning system",
    " before the end of the quarterly reporting period"};
const std::vector<std::string> QUESTIONS = {"Approved?",
                                            "Complete?",
                                            "Amount above limit?",
                                            "Stock available?",
                                            "Customer known?",
                                            "Documents valid?",
                                            "Urgent?",
                                            "Payment received in time?",
                                            "Which carrier?",
                                            "Risk level?"};
const std::vector<std::string> CONDITIONS = {
    "standard", "express",   "international", "amount < 1,000", "amount >= 1,000",
    "premium",  "by post",   "by e-mail",     "small order",    "large order",
    "retry",    "escalated", "partial",       "on hold",        "other"};
const std::vector<std::string> ROLES = {
    "Clerk",      "Manager",    "Finance", "Warehouse",        "Sales", "IT", "Legal",
    "Purchasing", "Accounting", "Support", "Quality assurance"};
const std::vector<std::string> PARTIES = {"Company", "Customer",  "Supplier",
                                          "Bank",    "Carrier",   "Authority",
                                          "Insurer", "Logistics", "Service partner"};

class Generator {
 public:
  Generator(std::uint32_t seed, const CorpusOptions& options, int shapes)
      : rng_(seed), options_(options) {
    diagram_.title = "Generated process " + std::to_string(seed);
    const int total = shapes > 0 ? shapes : size_for_seed();
    const int pools = std::min(options.max_pools, weighted({0, 35, 30, 15, 10, 5, 5}));
    // The first pool holds most of the process; the others hold what their parties do.
    std::vector<int> budgets(static_cast<std::size_t>(pools), 0);
    const double main_share = pools == 1 ? 1.0 : pick(45, 80) / 100.0;
    budgets[0] = std::max(3, static_cast<int>(std::lround(total * main_share)));
    for (int p = 1; p < pools; ++p) {
      budgets[static_cast<std::size_t>(p)] = std::max(3, (total - budgets[0]) / (pools - 1));
    }
    for (int p = 0; p < pools; ++p) {
      CorpusPool pool;
      pool.name = PARTIES[static_cast<std::size_t>(p) % PARTIES.size()];
      // A handful of shapes per lane at least, as in real models.
      const int lanes =
          pick(1, std::min(options.max_lanes, 1 + budgets[static_cast<std::size_t>(p)] / 6));
      for (int l = 0; l < lanes; ++l) {
        pool.lanes.push_back(
            {ROLES[static_cast<std::size_t>(pick(0, 10))] + " " + std::to_string(l + 1)});
      }
      diagram_.pools.push_back(std::move(pool));
    }
    for (int p = 0; p < pools; ++p) grow_pool(p, budgets[static_cast<std::size_t>(p)]);
    add_message_flows();
    add_black_box_pool(seed);
    if (options.notation) add_notation(seed);
  }

  CorpusDiagram take() { return std::move(diagram_); }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int percent) { return pick(0, 99) < percent; }
  template <typename T>
  const T& any(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(pick(0, static_cast<int>(items.size()) - 1))];
  }
  // An index drawn with the given weights.
  int weighted(const std::vector<int>& weights) {
    std::discrete_distribution<int> d(weights.begin(), weights.end());
    return d(rng_);
  }

  // Sizes between the bounds, log-uniform: small models are more common than large ones.
  int size_for_seed() {
    const double lo = std::log(static_cast<double>(options_.min_shapes));
    const double hi = std::log(static_cast<double>(options_.max_shapes));
    return static_cast<int>(std::lround(std::exp(std::uniform_real_distribution<>(lo, hi)(rng_))));
  }

  std::string task_name() {
    std::string name = any(VERBS) + " " + any(NOUNS);
    if (chance(15)) name += any(LONG_TAILS);
    return name;
  }

  std::string add(const std::string& type, const std::string& name, int pool, int lane) {
    const std::string id = "s" + std::to_string(diagram_.shapes.size() + 1);
    diagram_.shapes.push_back({id, name, type, pool, lane, "", true});
    ++used_;
    return id;
  }

  void connect(const std::string& from, const std::string& to, std::string label = "") {
    if (label.empty() && from == pending_from_) label = pending_label_;
    if (from == pending_from_) pending_from_.clear();
    diagram_.connections.push_back({from, to, std::move(label)});
  }

  int lane_after(int pool, int lane) {
    const int lanes = static_cast<int>(diagram_.pools[static_cast<std::size_t>(pool)].lanes.size());
    return chance(70) ? lane : pick(0, lanes - 1);
  }

  struct Cursor {
    std::string id;
    int lane = 0;
  };

  void grow_pool(int pool, int budget) {
    used_ = 0;
    recent_tasks_.clear();
    Cursor cur{add("start", pool == 0 ? "Request received" : any(NOUNS) + " needed", pool, 0), 0};
    cur = sequence(pool, cur, budget - 2, 0);
    const std::string end = add("end", any(NOUNS) + " done", pool, cur.lane);
    connect(cur.id, end);
    pool_tasks_.push_back(recent_tasks_);
  }

  // Grows a flow from `cur` until about `budget` shapes are added; returns its last shape.
  Cursor sequence(int pool, Cursor cur, int budget, int depth) {
    const int stop = used_ + budget;
    while (used_ < stop) {
      const int left = stop - used_;
      const int roll = pick(0, 99);
      if (roll < 17 && left >= 4 && depth < 3) {
        cur = gateway_block(pool, cur, left, depth);
      } else if (roll < 22 && recent_tasks_.size() >= 3) {
        cur = loop_back(pool, cur);
      } else if (roll < 32) {
        cur = intermediate_event(pool, cur);
      } else if (roll < 40 && !recent_tasks_.empty() && recent_tasks_.back().id == cur.id) {
        data_link(pool, cur);
      } else {
        const int lane = lane_after(pool, cur.lane);
        const std::string type = chance(8) ? "subprocess" : "task";
        const std::string t = add(type, task_name(), pool, lane);
        connect(cur.id, t);
        cur = {t, lane};
        recent_tasks_.push_back(cur);
      }
    }
    return cur;
  }

  Cursor gateway_block(int pool, Cursor cur, int left, int depth) {
    static const std::vector<std::string> kinds = {"exclusive", "parallel", "inclusive"};
    const std::string kind = kinds[static_cast<std::size_t>(weighted({55, 30, 15}))];
    int branches = 2;
    switch (weighted({55, 20, 15, 10})) {
      case 1:
        branches = 3;
        break;
      case 2:
        branches = pick(4, 6);
        break;
      case 3:
        branches = pick(7, 15);
        break;
      default:
        break;
    }
    branches = std::clamp(branches, 2, std::max(2, left / 2));
    const int lane = lane_after(pool, cur.lane);
    const std::string split = add(kind, kind == "exclusive" ? any(QUESTIONS) : "", pool, lane);
    connect(cur.id, split);
    std::vector<Cursor> ends;
    std::vector<std::string> labels;  // of empty branches, which go straight to the join
    const int per_branch = std::max(0, (left - 2) / branches);
    for (int b = 0; b < branches; ++b) {
      std::string label;
      if (kind == "exclusive") {
        label = branches == 2 ? (b == 0 ? "yes" : "no") : any(CONDITIONS);
      } else if (kind == "inclusive") {
        label = any(CONDITIONS);
      }
      const int length = per_branch == 0 ? 0 : pick(0, per_branch);
      if (length == 0) {
        // An empty branch goes straight from the split to the join.
        ends.push_back({split, lane});
        labels.push_back(label);
        continue;
      }
      const int first_lane = lane_after(pool, lane);
      const std::string first =
          add(chance(8) ? "subprocess" : "task", task_name(), pool, first_lane);
      connect(split, first, label);
      Cursor end = {first, first_lane};
      recent_tasks_.push_back(end);
      end = sequence(pool, end, length - 1, depth + 1);
      if (kind == "exclusive" && b > 0 && chance(15)) {
        const std::string stop = add("end", any(NOUNS) + " cancelled", pool, end.lane);
        connect(end.id, stop);
        continue;
      }
      ends.push_back(end);
      labels.push_back("");
    }
    const std::string join = add(kind, "", pool, lane);
    for (std::size_t i = 0; i < ends.size(); ++i) {
      connect(ends[i].id, join, labels[i]);
    }
    return {join, lane};
  }

  Cursor loop_back(int pool, Cursor cur) {
    const std::string check = add("exclusive", any(QUESTIONS), pool, cur.lane);
    connect(cur.id, check);
    const int back = pick(2, std::min(5, static_cast<int>(recent_tasks_.size())));
    connect(check, recent_tasks_[recent_tasks_.size() - static_cast<std::size_t>(back)].id,
            chance(50) ? "no" : "rework");
    pending_from_ = check;
    pending_label_ = "yes";
    (void)pool;
    return {check, cur.lane};
  }

  Cursor intermediate_event(int pool, Cursor cur) {
    static const std::vector<std::pair<std::string, std::string>> events = {
        {"timer", "Wait two days"},
        {"message_intermediate", "Answer received"},
        {"intermediate", "Milestone reached"},
        {"signal_intermediate", "Alarm raised"},
        {"conditional_intermediate", "Limit exceeded"}};
    const auto& [type, name] = any(events);
    const int lane = lane_after(pool, cur.lane);
    const std::string e = add(type, name, pool, lane);
    connect(cur.id, e);
    return {e, lane};
  }

  void data_link(int pool, const Cursor& task) {
    const bool store = chance(35);
    const int lane = chance(70) ? task.lane : lane_after(pool, task.lane);
    const std::string d = add(store ? "data_store" : "data_object",
                              store ? "Customer database" : any(NOUNS) + " record", pool, lane);
    if (chance(60)) {
      connect(task.id, d);
    } else {
      connect(d, task.id);
    }
  }

  // A party outside, drawn as a black-box pool above or below the others, exchanging a few
  // messages with tasks and events of the process. Drawn from a stream of its own, so that the
  // rest of each seed's diagram stays as it was without it.
  void add_black_box_pool(std::uint32_t seed) {
    std::mt19937 rng(seed ^ 0x5bd1e995U);
    auto pick_here = [&](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    if (pick_here(0, 99) >= 30) return;
    std::vector<std::string> ends;
    for (const CorpusShape& shape : diagram_.shapes) {
      if (shape.type == "task" || shape.type == "subprocess" ||
          shape.type == "message_intermediate") {
        ends.push_back(shape.id);
      }
    }
    if (ends.empty()) return;
    CorpusPool pool;
    pool.name = pick_here(0, 1) == 0 ? "Customer (external)" : "Tax office";
    pool.black_box = true;
    pool.id = "outside";
    const bool above = pick_here(0, 1) == 0;
    diagram_.pools.insert(above ? diagram_.pools.begin() : diagram_.pools.end(), std::move(pool));
    if (above) {
      for (CorpusShape& shape : diagram_.shapes) ++shape.pool;  // the pools below move down one
    }
    const int flows = pick_here(1, 4);
    for (int f = 0; f < flows; ++f) {
      const std::string& end =
          ends[static_cast<std::size_t>(pick_here(0, static_cast<int>(ends.size()) - 1))];
      const std::string label =
          pick_here(0, 1) == 0
              ? NOUNS[static_cast<std::size_t>(pick_here(0, static_cast<int>(NOUNS.size()) - 1))]
              : "";
      if (pick_here(0, 1) == 0) {
        diagram_.connections.push_back({end, "outside", label});
      } else {
        diagram_.connections.push_back({"outside", end, label});
      }
    }
  }

  // Boundary events on about one activity in five, each leading to a task that handles it and
  // on to an end; text annotations on about one shape in twelve; a group round a few tasks of
  // one pool in a third of the diagrams; a default flow (the last branch) out of half the
  // exclusive and inclusive splits.
  void add_notation(std::uint32_t seed) {
    static const std::vector<std::pair<std::string, std::string>> triggers = {
        {"timer", "Two days passed"}, {"message", "Cancellation received"},
        {"error", "Check failed"},    {"escalation", "Escalated"},
        {"signal", "Recall issued"},  {"conditional", "Limit exceeded"}};
    static const std::vector<std::string> notes = {
        "Four-eyes principle", "Within two working days",   "Only for orders above 10,000 EUR",
        "See policy FIN-12",   "Done by the clerk on duty", "Automated by the ERP system"};
    static const std::vector<std::string> groups = {"Fulfilment", "Billing", "Quality gate"};
    std::mt19937 rng(seed ^ 0x2545f491U);
    auto pick_here = [&](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const std::vector<CorpusShape> shapes = diagram_.shapes;
    std::vector<std::string> tasks;
    for (const CorpusShape& s : shapes) {
      if (s.type != "task" && s.type != "subprocess") continue;
      tasks.push_back(s.id);
      if (pick_here(0, 99) >= 20) continue;
      const int events = pick_here(0, 99) < 70 ? 1 : 2;
      for (int e = 0; e < events; ++e) {
        const auto& [trigger, name] =
            triggers[static_cast<std::size_t>(pick_here(0, static_cast<int>(triggers.size()) - 1))];
        const std::string id = "s" + std::to_string(diagram_.shapes.size() + 1);
        CorpusShape event{id, name, trigger + "_boundary", s.pool, s.lane, s.id, true};
        event.interrupting = trigger == "error" || pick_here(0, 99) >= 30;
        diagram_.shapes.push_back(event);
        const int lanes =
            static_cast<int>(diagram_.pools[static_cast<std::size_t>(s.pool)].lanes.size());
        const int lane = pick_here(0, 99) < 70 ? s.lane : pick_here(0, lanes - 1);
        const std::string handle = "s" + std::to_string(diagram_.shapes.size() + 1);
        diagram_.shapes.push_back({handle, "Handle " + name, "task", s.pool, lane, "", true});
        const std::string end = "s" + std::to_string(diagram_.shapes.size() + 1);
        diagram_.shapes.push_back({end, name, "end", s.pool, lane, "", true});
        diagram_.connections.push_back({id, handle, ""});
        diagram_.connections.push_back({handle, end, ""});
      }
    }
    int n = 0;
    for (const CorpusShape& s : shapes) {
      if (s.type == "end" || s.type == "start" || pick_here(0, 99) >= 8) continue;
      diagram_.notes.push_back(
          {"note" + std::to_string(++n), notes[static_cast<std::size_t>(pick_here(0, 5))], s.id});
    }
    if (tasks.size() >= 3 && pick_here(0, 99) < 33) {
      const int first = pick_here(0, static_cast<int>(tasks.size()) - 3);
      const int count = pick_here(2, 3);
      CorpusGroup group{"group1", groups[static_cast<std::size_t>(pick_here(0, 2))], {}};
      for (int k = 0; k < count; ++k)
        group.members.push_back(tasks[static_cast<std::size_t>(first + k)]);
      diagram_.groups.push_back(std::move(group));
    }
    std::map<std::string, std::vector<std::size_t>> leaving;
    for (std::size_t c = 0; c < diagram_.connections.size(); ++c) {
      leaving[diagram_.connections[c].from].push_back(c);
    }
    for (const CorpusShape& s : shapes) {
      if (s.type != "exclusive" && s.type != "inclusive") continue;
      const auto out = leaving.find(s.id);
      if (out == leaving.end() || out->second.size() < 2 || pick_here(0, 1) == 0) continue;
      diagram_.connections[out->second.back()].is_default = true;
    }
  }

  void add_message_flows() {
    for (std::size_t p = 1; p < pool_tasks_.size(); ++p) {
      const auto& mine = pool_tasks_[p];
      const auto& main = pool_tasks_[pick(0, static_cast<int>(p) - 1) == 0 ? 0 : p - 1];
      if (mine.empty() || main.empty()) continue;
      const int flows = pick(1, 3);
      for (int f = 0; f < flows; ++f) {
        const std::string& a = any(main).id;
        const std::string& b = any(mine).id;
        if (chance(50)) {
          diagram_.connections.push_back({a, b, chance(50) ? any(NOUNS) : ""});
        } else {
          diagram_.connections.push_back({b, a, chance(50) ? any(NOUNS) : ""});
        }
      }
    }
  }

  std::mt19937 rng_;
  CorpusOptions options_;
  CorpusDiagram diagram_;
  int used_ = 0;
  std::vector<Cursor> recent_tasks_;
  std::vector<std::vector<Cursor>> pool_tasks_;
  std::string pending_from_;
  std::string pending_label_;
};

// A YAML scalar in double quotes with the escapes YAML needs.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

ElementType type_of(const std::string& word) {
  for (ElementType type : all_element_types()) {
    std::string name(member_name(type));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == word) return type;
  }
  throw std::invalid_argument("no element type '" + word + "'");
}

}  // namespace

CorpusDiagram generate_diagram(std::uint32_t seed, const CorpusOptions& options, int shapes) {
  return Generator(seed, options, shapes).take();
}

std::string to_description(const CorpusDiagram& diagram) {
  std::string out = "title: " + quoted(diagram.title) + "\nauto_size: true\npools:\n";
  for (std::size_t p = 0; p < diagram.pools.size(); ++p) {
    if (diagram.pools[p].black_box) {
      out += "  - name: " + quoted(diagram.pools[p].name) + "\n    id: " + diagram.pools[p].id +
             "\n    black_box: true\n";
      continue;
    }
    out += "  - name: " + quoted(diagram.pools[p].name) + "\n    lanes:\n";
    for (std::size_t l = 0; l < diagram.pools[p].lanes.size(); ++l) {
      out += "      - name: " + quoted(diagram.pools[p].lanes[l].name) + "\n        shapes:";
      bool any = false;
      for (const CorpusShape& s : diagram.shapes) {
        if (s.pool != static_cast<int>(p) || s.lane != static_cast<int>(l)) continue;
        out += "\n          - {id: " + s.id + ", name: " + quoted(s.name) + ", type: " + s.type;
        if (!s.attached_to.empty()) out += ", attached_to: " + s.attached_to;
        if (!s.interrupting) out += ", interrupting: false";
        out += "}";
        any = true;
      }
      out += any ? "\n" : " []\n";
    }
  }
  out += "connections:\n";
  for (const CorpusConnection& c : diagram.connections) {
    out += "  - {from: " + c.from + ", to: " + c.to;
    if (!c.label.empty()) out += ", label: " + quoted(c.label);
    if (c.is_default) out += ", default: true";
    out += "}\n";
  }
  if (!diagram.notes.empty()) out += "annotations:\n";
  for (const CorpusNote& n : diagram.notes) {
    out += "  - {id: " + n.id + ", text: " + quoted(n.text) + ", on: " + n.on + "}\n";
  }
  if (!diagram.groups.empty()) out += "groups:\n";
  for (const CorpusGroup& g : diagram.groups) {
    out += "  - {id: " + g.id + ", name: " + quoted(g.name) + ", members: [";
    for (std::size_t k = 0; k < g.members.size(); ++k) out += (k ? ", " : "") + g.members[k];
    out += "]}\n";
  }
  return out;
}

void build_board(const CorpusDiagram& diagram, Swimboard& board) {
  std::vector<std::vector<Lane*>> lanes;
  std::map<std::string, Shape*> by_id;
  for (const CorpusPool& p : diagram.pools) {
    Pool& pool = board.add_pool(p.name);
    lanes.emplace_back();
    if (p.black_box) {
      by_id[p.id] = &pool.make_black_box();
      continue;
    }
    for (const CorpusLane& l : p.lanes) {
      lanes.back().push_back(&pool.add_lane(l.name, "", 0, "", "", "centre", ""));
    }
  }
  std::map<std::string, Lane*> lane_of;
  for (const CorpusShape& s : diagram.shapes) {
    Lane& lane = *lanes[static_cast<std::size_t>(s.pool)][static_cast<std::size_t>(s.lane)];
    lane_of[s.id] = &lane;
    if (!s.attached_to.empty()) {
      const std::string trigger = s.type.substr(0, s.type.find('_'));
      EventTrigger t = EventTrigger::TIMER;
      for (EventTrigger candidate : all_event_triggers()) {
        if (trigger_name(candidate) == trigger) t = candidate;
      }
      by_id[s.id] = &lane_of.at(s.attached_to)
                         ->add_boundary_event(*by_id.at(s.attached_to), s.name, t, s.interrupting);
      continue;
    }
    by_id[s.id] = &lane.add_element(s.name, type_of(s.type));
  }
  for (const CorpusConnection& c : diagram.connections) {
    by_id.at(c.from)->connect(*by_id.at(c.to), c.label).is_default = c.is_default;
  }
  for (const CorpusNote& n : diagram.notes) lane_of.at(n.on)->annotate(*by_id.at(n.on), n.text);
  for (const CorpusGroup& g : diagram.groups) {
    std::vector<Shape*> members;
    for (const std::string& m : g.members) members.push_back(by_id.at(m));
    lane_of.at(g.members.front())->add_group(g.name, members);
  }
}

}  // namespace orvane::bench
