// Layout speed on generated process diagrams: chains, gateways whose branches merge again, loops
// back, hand-offs across four lanes in two pools, several start shapes and terminators.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <sys/resource.h>

#include <memory>
#include <random>
#include <vector>

#include "orvane/helper.hpp"
#include "orvane/lane.hpp"
#include "orvane/layout.hpp"
#include "orvane/pool.hpp"
#include "orvane/shape.hpp"

namespace {

using namespace orvane;

struct Diagram {
  std::vector<std::unique_ptr<Pool>> pools;
  std::vector<Lane*> lanes;
  std::vector<Shape*> shapes;

  std::vector<Pool*> pool_list() const {
    std::vector<Pool*> out;
    for (const auto& p : pools) out.push_back(p.get());
    return out;
  }

  // A layout keeps the placed marks of the previous one; clear them as a redraw does.
  void clear_marks() const {
    for (Shape* s : shapes) s->grid_traversed = false;
  }

  Shape& add(Lane& lane, ElementType type) {
    Shape& s = lane.add_element(fmt::format("S{}", shapes.size()), type);
    shapes.push_back(&s);
    return s;
  }
};

Diagram two_pools_four_lanes() {
  Helper::reset_uuid();
  Diagram d;
  for (int p = 0; p < 2; ++p) {
    d.pools.push_back(
        std::make_unique<Pool>("Pool" + std::to_string(p), "", 0, "", "", "", nullptr));
    for (int l = 0; l < 2; ++l) {
      d.lanes.push_back(
          &d.pools.back()->add_lane("Lane" + std::to_string(l), "", 0, "", "", "", ""));
    }
  }
  return d;
}

// About `n` shapes in four flows that start in the first lane of the first pool.
Diagram process_diagram(int n) {
  Diagram d = two_pools_four_lanes();
  std::mt19937 rng(12345);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto lane_near = [&](const Shape& from) -> Lane& {
    // Mostly stay, sometimes hand off to another lane, rarely to the other pool.
    const int roll = pick(1, 100);
    if (roll <= 70) return *from.owner_lane;
    return *d.lanes[pick(0, 3)];
  };

  const int flows = 4;
  for (int f = 0; f < flows; ++f) {
    Shape* cur = &d.add(*d.lanes[0], ElementType::START);
    const int budget = n / flows;
    const std::size_t flow_begin = d.shapes.size() - 1;
    while (static_cast<int>(d.shapes.size() - flow_begin) < budget) {
      const int roll = pick(1, 100);
      if (roll <= 15) {
        // A gateway whose 2-4 branches merge again.
        Shape& split = d.add(lane_near(*cur), ElementType::EXCLUSIVE);
        cur->connect(split);
        Shape& merge = d.add(*split.owner_lane, ElementType::EXCLUSIVE);
        const int branches = pick(2, 4);
        for (int b = 0; b < branches; ++b) {
          Shape* end = &split;
          const int length = pick(1, 3);
          for (int k = 0; k < length; ++k) {
            Shape& t = d.add(lane_near(*end), ElementType::TASK);
            end->connect(t);
            end = &t;
          }
          end->connect(merge);
        }
        cur = &merge;
      } else if (roll <= 18 && d.shapes.size() - flow_begin > 20) {
        // A loop back to a recent shape, then go on.
        Shape& check = d.add(*cur->owner_lane, ElementType::EXCLUSIVE);
        cur->connect(check);
        check.connect(*d.shapes[d.shapes.size() - static_cast<std::size_t>(pick(3, 20))]);
        cur = &check;
      } else if (roll <= 20 && d.shapes.size() - flow_begin > 1) {
        // A terminator that leads into the flow.
        Shape& term = d.add(*d.lanes[pick(0, 3)], ElementType::TERMINATOR);
        term.connect(*cur);
      } else {
        Shape& t = d.add(lane_near(*cur), ElementType::TASK);
        cur->connect(t);
        cur = &t;
      }
    }
    Shape& end = d.add(*cur->owner_lane, ElementType::END);
    cur->connect(end);
  }
  return d;
}

// One gateway with `n` outgoing connections; the first branch is an `n`-shape chain. Laid out
// with padded rows this would be an n x n grid.
Diagram wide_gateway(int n) {
  Diagram d = two_pools_four_lanes();
  Lane& lane = *d.lanes[0];
  Shape& start = d.add(lane, ElementType::START);
  Shape& gateway = d.add(lane, ElementType::PARALLEL);
  start.connect(gateway);
  std::vector<Shape*> targets;
  for (int i = 0; i < n; ++i) {
    Shape& t = d.add(lane, ElementType::TASK);
    gateway.connect(t);
    targets.push_back(&t);
  }
  Shape* cur = targets.front();
  for (int i = 0; i < n; ++i) {
    Shape& t = d.add(lane, ElementType::TASK);
    cur->connect(t);
    cur = &t;
  }
  return d;
}

// One straight chain of `n` tasks.
Diagram chain(int n) {
  Diagram d = two_pools_four_lanes();
  Shape* cur = &d.add(*d.lanes[0], ElementType::START);
  for (int i = 1; i < n; ++i) {
    Shape& t = d.add(*d.lanes[i % 7 == 0 ? 1 : 0], ElementType::TASK);
    cur->connect(t);
    cur = &t;
  }
  return d;
}

double peak_rss_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_SetGrid(benchmark::State& state) {
  const Diagram d = process_diagram(static_cast<int>(state.range(0)));
  const auto pools = d.pool_list();
  Grid grid;
  for (auto _ : state) {
    d.clear_marks();
    grid.set_grid(pools);
    benchmark::DoNotOptimize(grid.get_max_column_count());
  }
  state.SetComplexityN(static_cast<benchmark::IterationCount>(d.shapes.size()));
  state.counters["shapes"] = static_cast<double>(d.shapes.size());
  state.counters["columns"] = grid.get_max_column_count();
}
BENCHMARK(BM_SetGrid)
    ->RangeMultiplier(10)
    ->Range(1'000, 100'000)
    ->Arg(30'000)
    ->Arg(3'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

void BM_WideGateway(benchmark::State& state) {
  const Diagram d = wide_gateway(static_cast<int>(state.range(0)));
  const auto pools = d.pool_list();
  Grid grid;
  for (auto _ : state) {
    d.clear_marks();
    grid.set_grid(pools);
    benchmark::DoNotOptimize(grid.get_max_column_count());
  }
  state.counters["shapes"] = static_cast<double>(d.shapes.size());
  state.counters["columns"] = grid.get_max_column_count();
  state.counters["rows"] = grid.get_lane_row_count(d.lanes[0]->id);
  state.counters["peak_rss_mb"] = peak_rss_mb();
}
BENCHMARK(BM_WideGateway)->Arg(20'000)->Unit(benchmark::kMillisecond);

void BM_GetAllShapes(benchmark::State& state) {
  const Diagram d = wide_gateway(static_cast<int>(state.range(0)));
  Grid grid;
  grid.set_grid(d.pool_list());
  for (auto _ : state) {
    auto shapes = grid.get_all_shapes();
    benchmark::DoNotOptimize(shapes.data());
  }
  state.SetComplexityN(static_cast<benchmark::IterationCount>(d.shapes.size()));
}
BENCHMARK(BM_GetAllShapes)
    ->Arg(2'000)
    ->Arg(20'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_LongChain(benchmark::State& state) {
  const Diagram d = chain(static_cast<int>(state.range(0)));
  const auto pools = d.pool_list();
  // The peak so far is the diagram itself; what set_grid adds shows in the final peak.
  state.counters["model_rss_mb"] = peak_rss_mb();
  Grid grid;
  for (auto _ : state) {
    d.clear_marks();
    grid.set_grid(pools);
    benchmark::DoNotOptimize(grid.get_max_column_count());
  }
  state.counters["columns"] = grid.get_max_column_count();
  state.counters["peak_rss_mb"] = peak_rss_mb();
}
BENCHMARK(BM_LongChain)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Building the element model itself (shapes, lanes, connections), for comparison.
void BM_BuildModel(benchmark::State& state) {
  for (auto _ : state) {
    Diagram d = process_diagram(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(d.shapes.data());
  }
}
BENCHMARK(BM_BuildModel)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
