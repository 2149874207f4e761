// Routing speed on generated processes (the route-quality corpus's kind of diagram, grown to
// the given number of shapes): the diagram is laid out and positioned once, then every
// connection is routed and labelled again in each iteration.
#include <benchmark/benchmark.h>

#include "corpus.hpp"
#include "orvane/routing.hpp"
#include "orvane/swimboard.hpp"

namespace {

using namespace orvane;

void BM_RouteConnections(benchmark::State& state) {
  Swimboard board("Routing benchmark", 100, 100, false, "DEFAULT", "png");
  const int shapes = static_cast<int>(state.range(0));
  bench::build_board(bench::generate_diagram(20261208, {}, shapes), board);
  board._validate();
  board._replace_elements();
  board._set_draw_position();
  std::size_t connections = 0;
  for (const auto& pool : board._pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* s : lane->shapes) connections += s->connection_to->size();
    }
  }
  for (auto _ : state) {
    route_connections(board._pools, board.painter());
    benchmark::ClobberMemory();
  }
  state.counters["shapes"] = static_cast<double>(shapes);
  state.counters["connections"] = static_cast<double>(connections);
}
BENCHMARK(BM_RouteConnections)
    ->Arg(52)
    ->Arg(5'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
