// Lays out thousands of generated diagrams with Grid and with the plain reference engine and
// requires the same grid, cell for cell, and the same trace output, line for line.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <random>

#include "layout_support.hpp"
#include "reference_grid.hpp"

namespace orvane::testing {
namespace {

struct Diagram {
  std::vector<std::unique_ptr<Pool>> pools;
  std::vector<Shape*> shapes;

  std::vector<Pool*> pool_list() const {
    std::vector<Pool*> out;
    for (const auto& p : pools) out.push_back(p.get());
    return out;
  }
  void reset() {
    for (Shape* s : shapes) s->grid_traversed = false;
  }
};

const char* const kOddNames[] = {"[red]x", "it's", "Ωmega", "None", "a]b", ""};

Diagram generate(std::uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto chance = [&](int percent) { return pick(1, 100) <= percent; };

  Diagram d;
  std::vector<std::vector<Lane*>> lanes_by_pool;
  const int pool_count = pick(1, 3);
  for (int p = 0; p < pool_count; ++p) {
    d.pools.push_back(make_pool(fmt::format("P{}", p)));
    lanes_by_pool.emplace_back();
    const int lane_count = pick(1, 4);
    for (int l = 0; l < lane_count; ++l) {
      lanes_by_pool.back().push_back(&add_lane(*d.pools.back(), fmt::format("L{}", l)));
    }
  }
  std::vector<Lane*> all_lanes;
  for (auto& v : lanes_by_pool) all_lanes.insert(all_lanes.end(), v.begin(), v.end());

  int counter = 0;
  auto new_shape = [&](Lane& lane) -> Shape& {
    std::string name = fmt::format("S{}", counter++);
    if (chance(3)) name = kOddNames[pick(0, 5)];
    ElementType type = ElementType::TASK;
    const int roll = pick(1, 100);
    if (roll <= 12)
      type = ElementType::TERMINATOR;
    else if (roll <= 20)
      type = ElementType::EXCLUSIVE;
    else if (roll <= 25)
      type = ElementType::START;
    Shape& s = lane.add_element(name, type);
    d.shapes.push_back(&s);
    return s;
  };
  auto random_lane = [&]() -> Lane& {
    // Mostly the first lanes, so that hand-offs and crowded rows are common.
    return *all_lanes[chance(60) ? pick(0, std::min<int>(1, all_lanes.size() - 1))
                                 : pick(0, all_lanes.size() - 1)];
  };

  const int flows = pick(1, 4);
  for (int f = 0; f < flows; ++f) {
    // Several start shapes in the first lane of a pool.
    Lane& start_lane = *lanes_by_pool[pick(0, pool_count - 1)][0];
    const int starts = chance(40) ? pick(2, 3) : 1;
    std::vector<Shape*> frontier;
    for (int s = 0; s < starts; ++s) frontier.push_back(&new_shape(start_lane));
    std::vector<Shape*> flow(frontier);
    const int steps = pick(1, 10);
    for (int step = 0; step < steps && !frontier.empty(); ++step) {
      Shape* from = frontier[pick(0, frontier.size() - 1)];
      const int branches = chance(25) ? pick(2, 4) : 1;
      for (int b = 0; b < branches; ++b) {
        Lane& lane = chance(55) ? *from->owner_lane : random_lane();
        Shape* to = nullptr;
        if (chance(15) && flow.size() > 1) {
          to = flow[pick(0, flow.size() - 1)];  // merge or loop back
        } else {
          to = &new_shape(lane);
          flow.push_back(to);
          frontier.push_back(to);
        }
        from->connect(*to);
      }
    }
  }
  // A cycle with no start shape.
  if (chance(20)) {
    Shape& a = new_shape(random_lane());
    Shape& b = new_shape(random_lane());
    a.connect(b);
    b.connect(a);
    if (chance(50)) b.connect(new_shape(random_lane()));
  }
  // Terminators leading into the flow with zero, one or several outgoing connections.
  const int terminators = pick(0, 3);
  for (int t = 0; t < terminators && !d.shapes.empty(); ++t) {
    Lane& lane = random_lane();
    Shape& term = lane.add_element("T" + std::to_string(counter++), ElementType::TERMINATOR);
    d.shapes.push_back(&term);
    const int outs = pick(0, 10) < 7 ? 1 : pick(0, 2);
    for (int o = 0; o < outs; ++o) {
      Shape* target = d.shapes[pick(0, d.shapes.size() - 2)];
      if (chance(20)) target = &new_shape(random_lane());
      term.connect(*target);
    }
  }
  // Shapes without connections, and random extra edges.
  const int loose = pick(0, 3);
  for (int i = 0; i < loose; ++i) new_shape(random_lane());
  const int extra = pick(0, 3);
  for (int i = 0; i < extra && d.shapes.size() > 1; ++i) {
    d.shapes[pick(0, d.shapes.size() - 1)]->connect(*d.shapes[pick(0, d.shapes.size() - 1)]);
  }
  return d;
}

std::string reference_dump(const ReferenceGrid& grid) {
  std::string out;
  for (const auto& [lane, rows] : grid.grid()) {
    for (const auto& [key, cells] : rows) {
      out += lane + "/" + key + ":";
      for (Shape* shape : cells) {
        out += ' ';
        out += shape ? shape->name : std::string(".");
      }
      out += "\n";
    }
  }
  return out;
}

TEST(GridDifferential, GeneratedDiagramsMatchThePlainEngineCellForCellAndTraceForTrace) {
  const std::uint32_t kDiagrams = 2500;
  for (std::uint32_t seed = 1; seed <= kDiagrams; ++seed) {
    Helper::reset_uuid();
    Diagram d = generate(seed);

    CaptureOutput capture;
    Grid grid;
    grid.set_grid(d.pool_list());
    const std::string grid_trace = capture.text();
    const std::string grid_cells = dump(grid);
    const auto grid_shapes = grid.get_all_shapes();

    capture.clear();
    d.reset();
    ReferenceGrid reference;
    reference.set_grid(d.pool_list());
    const std::string reference_trace = capture.text();

    ASSERT_EQ(grid_cells, reference_dump(reference)) << "seed " << seed;
    ASSERT_EQ(grid_trace, reference_trace) << "seed " << seed;
    ASSERT_EQ(grid_shapes, reference.get_all_shapes()) << "seed " << seed;
    // Every shape of the diagram got a cell.
    ASSERT_EQ(grid_shapes.size(), d.shapes.size()) << "seed " << seed;
  }
}

}  // namespace
}  // namespace orvane::testing
