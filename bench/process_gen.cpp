// Writes a generated process description of about N shapes to stdout, for the benchmarks and
// for trying large diagrams: flows that start in the first lane and run through chains,
// exclusive gateways whose branches merge again, loops back to a recent step, hand-overs to
// the other lanes and terminators leading into the flow.
//   process_gen SHAPES [POOLS] [LANES_PER_POOL] [SEED]
#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

struct Shape {
  int lane;
  const char* type;
  std::string name;
};

struct Connection {
  int from;
  int to;
  const char* label;
};

int number(const char* text, int low, int high, const char* what) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) {
    std::fprintf(stderr, "process_gen: %s must be a whole number from %d to %d\n", what, low, high);
    std::exit(2);
  }
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5) {
    std::fprintf(stderr, "usage: process_gen SHAPES [POOLS] [LANES_PER_POOL] [SEED]\n");
    return 2;
  }
  const int n = number(argv[1], 10, 100'000'000, "SHAPES");
  const int pools = argc > 2 ? number(argv[2], 1, 100, "POOLS") : 1;
  const int lanes_per_pool = argc > 3 ? number(argv[3], 1, 100, "LANES_PER_POOL") : 4;
  const unsigned seed = argc > 4 ? static_cast<unsigned>(number(argv[4], 0, 1 << 30, "SEED")) : 7;
  const int lanes = pools * lanes_per_pool;

  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<Shape> shapes;
  std::vector<Connection> connections;
  auto add = [&](int lane, const char* type, const char* word) {
    shapes.push_back({lane, type, fmt::format("{} {}", word, shapes.size() + 1)});
    return static_cast<int>(shapes.size()) - 1;
  };
  auto connect = [&](int from, int to, const char* label = nullptr) {
    connections.push_back({from, to, label});
  };
  // Mostly stay in the lane, sometimes hand over to another lane of the same pool, rarely to
  // another pool.
  auto lane_near = [&](int from) {
    const int roll = pick(1, 100);
    const int lane = shapes[static_cast<std::size_t>(from)].lane;
    if (roll <= 70) return lane;
    if (roll <= 95 || pools == 1) return lane - lane % lanes_per_pool + pick(0, lanes_per_pool - 1);
    return pick(0, lanes - 1);
  };

  // About one flow per 1,000 shapes, at most four, and at least one per pool: each pool's
  // flow starts in its first lane, which a diagram needs to hold a shape.
  const int flows = std::max(pools, std::min(4, n / 1000));
  for (int f = 0; f < flows; ++f) {
    const int budget = n / flows;
    const int begin = static_cast<int>(shapes.size());
    int cur = add((f % pools) * lanes_per_pool, "start", "Start");
    auto made = [&] { return static_cast<int>(shapes.size()) - begin; };
    while (made() < budget - 1) {
      const int roll = pick(1, 100);
      if (roll <= 15 && made() + 10 < budget) {
        const int split = add(lane_near(cur), "exclusive", "Decide");
        connect(cur, split);
        const int merge = add(shapes[static_cast<std::size_t>(split)].lane, "exclusive", "Merge");
        const int branches = pick(2, 3);
        for (int b = 0; b < branches; ++b) {
          int end = split;
          const int length = pick(1, 3);
          for (int k = 0; k < length; ++k) {
            const int t = add(lane_near(end), "task", "Step");
            connect(end, t, k == 0 ? (b == 0 ? "yes" : "no") : nullptr);
            end = t;
          }
          connect(end, merge);
        }
        cur = merge;
      } else if (roll <= 19 && made() > 20) {
        const int check = add(shapes[static_cast<std::size_t>(cur)].lane, "exclusive", "Check");
        connect(cur, check);
        connect(check, static_cast<int>(shapes.size()) - 1 - pick(3, 15), "retry");
        cur = check;
      } else if (roll <= 21 && made() > 1) {
        const int term = add(pick(0, lanes - 1), "terminator", "Input");
        connect(term, cur);
      } else {
        const int t = add(lane_near(cur), "task", "Step");
        connect(cur, t);
        cur = t;
      }
    }
    const int end = add(shapes[static_cast<std::size_t>(cur)].lane, "end", "End");
    connect(cur, end);
  }

  std::string out;
  out.reserve(shapes.size() * 60 + connections.size() * 40);
  auto put = std::back_inserter(out);
  fmt::format_to(put, "title: Generated process of {} shapes\npools:\n", shapes.size());
  for (int p = 0; p < pools; ++p) {
    fmt::format_to(put, "  - name: Pool {}\n    lanes:\n", p + 1);
    for (int l = p * lanes_per_pool; l < (p + 1) * lanes_per_pool; ++l) {
      fmt::format_to(put, "      - name: Lane {}\n        shapes:\n", l + 1);
      for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i].lane != l) continue;
        fmt::format_to(put, "          - {{id: s{}, name: {}, type: {}}}\n", i + 1, shapes[i].name,
                       shapes[i].type);
      }
    }
  }
  out += "connections:\n";
  for (const Connection& c : connections) {
    fmt::format_to(put, "  - {{from: s{}, to: s{}", c.from + 1, c.to + 1);
    if (c.label != nullptr) fmt::format_to(put, ", label: {}", c.label);
    out += "}\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
