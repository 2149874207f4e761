// Building a layout: start shapes, the placement walk, left-over shapes and terminators.
#include <gtest/gtest.h>

#include <algorithm>

#include "layout_support.hpp"
#include "orvane/activity.hpp"
#include "orvane/artifact.hpp"

namespace orvane::testing {
namespace {

// A diagram of named pools and lanes whose grid dump and traces show lane names, not ids.
class GridLayout : public ::testing::Test {
 protected:
  void SetUp() override { Helper::reset_uuid(); }

  Lane& lane(const std::string& pool_name, const std::string& lane_name) {
    Pool* pool = nullptr;
    for (auto& p : pools_) {
      if (p->name == pool_name) pool = p.get();
    }
    if (pool == nullptr) {
      pools_.push_back(make_pool(pool_name));
      pool = pools_.back().get();
    }
    return add_lane(*pool, lane_name);
  }

  std::vector<Pool*> pools() const {
    std::vector<Pool*> out;
    for (const auto& p : pools_) out.push_back(p.get());
    return out;
  }

  // Replaces lane ids by lane names.
  std::string named(std::string text) const {
    for (const auto& p : pools_) {
      for (const auto& l : p->lanes) {
        for (std::size_t at; (at = text.find(l->id)) != std::string::npos;) {
          text.replace(at, l->id.size(), l->name);
        }
      }
    }
    return text;
  }

  std::string layout() {
    grid.set_grid(pools());
    return named(dump(grid));
  }

  Grid grid;

 protected:
  std::vector<std::unique_ptr<Pool>> pools_;
};

TEST_F(GridLayout, EmptyDiagramsGiveAnEmptyGrid) {
  EXPECT_EQ(layout(), "");
  lane("P", "A");
  make_pool("Q");
  EXPECT_EQ(layout(), "");
  EXPECT_TRUE(grid.get_all_shapes().empty());
}

TEST_F(GridLayout, ChainFollowsTheFlowAcrossLanesAndPools) {
  Lane& a = lane("P", "A");
  Lane& b = lane("P", "B");
  Lane& c = lane("Q", "C");
  Shape& s = a.add_element("S", ElementType::START);
  Shape& t1 = task(a, "T1");
  Shape& t2 = task(b, "T2");
  Shape& t3 = task(c, "T3");
  Shape& e = c.add_element("E", ElementType::END);
  s.connect(t1);
  t1.connect(t2);  // other lane, same pool: one column right
  t2.connect(t3);  // other pool: same column
  t3.connect(e);
  EXPECT_EQ(layout(),
            "A/row1: S T1 . .\n"
            "B/row1: . . T2 .\n"
            "C/row1: . . T3 E\n");
  EXPECT_EQ(grid.get_all_shapes(), (std::vector<Shape*>{&s, &t1, &t2, &t3, &e}));
}

TEST_F(GridLayout, LaterConnectionsOpenRowsOrFollowTheirIndexInOtherLanes) {
  Lane& a = lane("P", "A");
  Lane& b = lane("P", "B");
  Lane& c = lane("Q", "C");
  Shape& s = a.add_element("S", ElementType::START);
  Shape& g = a.add_element("G", ElementType::EXCLUSIVE);
  s.connect(g);
  g.connect(task(a, "X"));  // first: after G in its row
  g.connect(task(a, "Y"));  // G's cell is taken: row 2, one column right
  g.connect(task(b, "Z"));  // index 2 in another lane: row 2, G's column
  g.connect(task(c, "W"));  // index 3 in another pool: row 3, G's column
  g.connect(task(a, "V"));  // index 4: row 5, one column right
  EXPECT_EQ(layout(),
            "A/row1: S G X\n"
            "A/row2: . . Y\n"
            "A/row5: . . V\n"
            "B/row2: . Z .\n"
            "C/row3: . W .\n");
}

TEST_F(GridLayout, BoundaryEventsLeadOnAsIfTheirFlowsLeftTheActivity) {
  // The same diagram twice: once with the handler reached from a timer on the task's border,
  // once with the task leading to it directly. Both lay out alike, and the boundary event
  // itself takes no cell.
  auto build = [&](const std::string& pool, bool boundary) {
    Lane& a = lane(pool, "A");
    Lane& b = lane(pool, "B");
    Shape& s = a.add_element("S" + pool, ElementType::START);
    Shape& t = task(a, "T" + pool);
    Shape& next = task(a, "N" + pool);
    Shape& handler = task(b, "H" + pool);
    s.connect(t);
    t.connect(next);
    if (boundary) {
      a.add_boundary_event(t, "late", EventTrigger::TIMER).connect(handler);
    } else {
      t.connect(handler);
    }
  };
  build("P", true);
  build("Q", false);
  EXPECT_EQ(layout(),
            "A/row1: SP TP NP\n"
            "B/row1: . HP .\n"
            "A/row1: SQ TQ NQ\n"
            "B/row1: . HQ .\n");
  EXPECT_EQ(grid.get_all_shapes().size(), 8u);
}

TEST_F(GridLayout, MessagesToAndFromABlackBoxPoolAreNotPartOfAnyFlow) {
  Lane& a = lane("P", "A");
  pools_.push_back(make_pool("Customer"));
  Participant& customer = pools_.back()->make_black_box();
  Shape& received = a.add_element("Order", ElementType::MESSAGE);
  Shape& answer = task(a, "Answer");
  Shape& done = a.add_element("Done", ElementType::END);
  customer.connect(received);  // the order still starts the flow
  received.connect(answer);
  answer.connect(customer);  // not followed: the end comes first after the answer
  answer.connect(done);
  EXPECT_EQ(layout(), "A/row1: Order Answer Done\n");
}

TEST_F(GridLayout, TracesFollowTheWalkDepthFirst) {
  Lane& a = lane("P", "A");
  Lane& b = lane("P", "B");
  Shape& s = a.add_element("S", ElementType::START);
  Shape& t1 = task(a, "T1");
  s.connect(t1);
  t1.connect(task(b, "T2"));
  t1.connect(task(a, "T3"));
  CaptureOutput capture;
  layout();
  EXPECT_EQ(named(capture.text()),
            "Processing start shape [S]\n"
            "Traversing S\n"
            "    ==>Start adding [S] to grid (append)\n"
            "            ### (shape.name='S'), lane_id='A', row_number='row1'\n"
            "    0: S -> T1\n"
            "Traversing T1\n"
            "        ==>Same lane (row 0): add_shape_to_lane [T1], previous_shape_row_number=1\n"
            "            ### lane_id='A', row_number=1, col_number=2\n"
            "            ### shape.name='T1', lane_id='A', row_number='row1', col_number=2\n"
            "    0: T1 -> T2\n"
            "Traversing T2\n"
            "        ==> index=0, Same pool, diff lane: add_shape_to_lane [T2], 2\n"
            "            ### shape.name='T2', lane_id='B', row_number='row1', col_number=3\n"
            "Done traversing [\xF0\x9F\x91\x8D T2]\n"
            "    1: T1 -> T3\n"
            "Traversing T3\n"
            "        ==>Same lane (next row): add_shape_to_lane_rowcolumn [T3, 2]\n"
            "            ### T1\n"
            "Not empty\n"
            "Adding shape to 2, 2\n"
            "            ### shape.name='T3', lane_id='A', row_number='row2', col_number=3\n"
            "Done traversing [\xF0\x9F\x91\x8D T3]\n"
            "Done traversing [\xF0\x9F\x91\x8D T1]\n"
            "Done traversing [\xF0\x9F\x91\x8D S]\n");
}

TEST_F(GridLayout, CyclesArePlacedOnceAndEndTheBranch) {
  Lane& a = lane("P", "A");
  Shape& s = a.add_element("S", ElementType::START);
  Shape& x = task(a, "X");
  Shape& y = task(a, "Y");
  s.connect(x);
  x.connect(y);
  y.connect(x);
  CaptureOutput capture;
  EXPECT_EQ(layout(), "A/row1: S X Y\n");
  EXPECT_NE(capture.text().find("X is already traversed\n"), std::string::npos);
}

TEST_F(GridLayout, WithoutAnyStartShapeEveryShapeIsPlacedAsLeftOverWithPlainMessages) {
  Lane& a = lane("P", "A");
  Lane& b = lane("P", "B");
  Shape& x = task(a, "X");
  Shape& y = task(b, "Y");
  Shape& z = task(a, "Z");
  x.connect(y);
  y.connect(z);
  z.connect(x);
  CaptureOutput capture(
      std::set<std::string>{});  // no trace level: the left-over messages are printed anyway
  EXPECT_EQ(layout(), "A/row1: X Z\nB/row1: Y .\n");
  EXPECT_EQ(capture.text(),
            "Processing 2 unconnected shapes in lane A\n"
            "Shape: X, connections from: 1, connections to: 1\n"
            "Shape: Z, connections from: 1, connections to: 1\n"
            "Adding unconnected shape [X] at row 1, col 1\n"
            "Adding unconnected shape [Z] at row 1, col 2\n"
            "Processing 1 unconnected shapes in lane B\n"
            "Shape: Y, connections from: 1, connections to: 1\n"
            "Adding unconnected shape [Y] at row 1, col 1\n");
}

TEST_F(GridLayout, SeveralStartShapesStackOnlyInTheFirstLaneOfAPool) {
  Lane& a = lane("P", "A");
  Lane& b = lane("P", "B");
  Shape& s1 = a.add_element("S1", ElementType::START);
  Shape& s2 = a.add_element("S2", ElementType::START);
  Shape& n1 = task(a, "N1");
  Shape& n2 = task(b, "N2");
  s1.connect(n1);
  s2.connect(n2);  // the direct successor keeps the start's row, in its own lane
  n2.connect(task(b, "M2"));
  Shape& u1 = b.add_element("U1", ElementType::START);
  Shape& u2 = b.add_element("U2", ElementType::START);
  u1.connect(task(b, "V1"));
  u2.connect(task(b, "V2"));
  CaptureOutput capture;
  // U2 is appended to row 1 after the padding that V1's placement made.
  EXPECT_EQ(layout(),
            "A/row1: S1 N1 . . .\n"
            "A/row2: S2 . . . .\n"
            "B/row2: . N2 M2 . .\n"
            "B/row1: U1 V1 . U2 V2\n");
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(&s2), (ShapeCell{a.id, 2, 1}));
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(&n2), (ShapeCell{b.id, 2, 2}));
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(&u1), (ShapeCell{b.id, 1, 1}));
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(&u2), (ShapeCell{b.id, 1, 4}));
  EXPECT_NE(
      capture.text().find("Processing start shape [S2] in vertical arrangement (position 2)\n"),
      std::string::npos);
  EXPECT_NE(capture.text().find("Processing start shape [U2]\n"), std::string::npos);
}

TEST_F(GridLayout, OneStartShapeInTheFirstLaneIsWalkedNotStacked) {
  Lane& a = lane("P", "A");
  a.add_element("S", ElementType::START).connect(task(a, "N"));
  CaptureOutput capture;
  EXPECT_EQ(layout(), "A/row1: S N\n");
  EXPECT_EQ(capture.text().find("vertical"), std::string::npos);
}

TEST_F(GridLayout, ShapesWithoutConnectionsStandSideBySideInRowOne) {
  Lane& a = lane("P", "A");
  Lane& b = lane("P", "B");
  Shape& s = a.add_element("S", ElementType::START);
  task(a, "D1");
  s.connect(task(a, "T"));
  task(a, "D2");
  task(b, "E1");
  task(b, "E2");
  CaptureOutput capture;
  // Column 1 appends and column 2 is taken by T, so D1 and D2 follow the flow.
  EXPECT_EQ(layout(), "A/row1: S T D1 D2\nB/row1: E1 E2 . .\n");
  EXPECT_NE(capture.text().find("Adding disconnected shape [E2] horizontally at col 2\n"),
            std::string::npos);
  EXPECT_EQ(capture.text().find("unconnected"), std::string::npos);
}

TEST_F(GridLayout, ATerminatorLeadingIntoTheFlowIsPlacedBesideItsTarget) {
  Lane& a = lane("P", "A");
  Shape& s = a.add_element("S", ElementType::START);
  Shape& x = task(a, "X");
  Shape& y = task(a, "Y");
  Shape& t = a.add_element("T", ElementType::TERMINATOR);
  s.connect(x);
  x.connect(y);
  t.connect(y);
  CaptureOutput capture;
  EXPECT_EQ(layout(), "A/row1: S X Y T\n");
  EXPECT_EQ(capture.text().find("Processing start shape [T]"), std::string::npos);
  EXPECT_NE(capture.text().find("Positioning mid-flow terminator [T] relative to target [Y]\n"
                                "Same-lane terminator: target at lane "),
            std::string::npos);
  EXPECT_NE(capture.text().find("Placing terminator to the right of target at col 4\n"),
            std::string::npos);
}

TEST_F(GridLayout, ASecondLayoutSkipsShapesMarkedByTheFirst) {
  Lane& a = lane("P", "A");
  Shape& s = a.add_element("S", ElementType::START);
  s.connect(task(a, "X"));
  EXPECT_EQ(layout(), "A/row1: S X\n");
  // The marks stay set, so the new grid lacks every shape placed before.
  EXPECT_EQ(layout(), "");
  EXPECT_TRUE(grid.get_all_shapes().empty());
}

TEST_F(GridLayout, AVeryLongChainDoesNotExhaustTheStack) {
  Lane& a = lane("P", "A");
  Shape* cur = &a.add_element("S", ElementType::START);
  const int n = 200'000;
  for (int i = 1; i < n; ++i) {
    Shape& next = task(a, "T");
    cur->connect(next);
    cur = &next;
  }
  grid.set_grid(pools());
  EXPECT_EQ(grid.get_max_column_count(), n);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(cur), (ShapeCell{a.id, 1, n}));
  EXPECT_EQ(grid.get_all_shapes().size(), static_cast<std::size_t>(n));
}

TEST_F(GridLayout, BrokenModelsAreRefusedWithAClearError) {
  EXPECT_THROW(grid.set_grid({nullptr}), std::invalid_argument);
  Lane& a = lane("P", "A");
  Shape& s = a.add_element("S", ElementType::START);
  s.connect(task(a, "X"));
  (*s.connection_to)[0].target = nullptr;
  EXPECT_THROW(grid.set_grid(pools()), std::invalid_argument);
  (*s.connection_to).clear();
  a.shapes.push_back(nullptr);
  EXPECT_THROW(grid.set_grid(pools()), std::invalid_argument);
  a.shapes.pop_back();

  Shape& unplaced = task(a, "U");
  EXPECT_THROW(grid.set_shapes_position(&unplaced, &task(a, "V"), 0), std::invalid_argument);
  EXPECT_THROW(grid.set_shapes_position(nullptr, nullptr), std::invalid_argument);
  grid.set_shapes_position(nullptr, &s);
  EXPECT_THROW(grid.add_shape_to_grid(&s, &task(a, "W"), -1), std::invalid_argument);
}

// ---- Mid-flow terminators ----

class GridTerminators : public ::testing::Test {
 protected:
  Shape* shape(const std::string& name, const std::string& lane = "L", const char* cls = "Task") {
    owned_.push_back(create_shape(cls, name, lane, "P"));
    return owned_.back().get();
  }
  // Places a blocker in a cell.
  void block(const std::string& lane, int row, int col) {
    grid.add_shape_to_lane_rowcolumn(lane, row, col, shape("B"));
  }
  // A target placed at the cell and a terminator in `lane` leading to it.
  Shape* setup(const std::string& target_lane, int row, int col, const std::string& lane) {
    target = shape("Target", target_lane);
    grid.add_shape_to_lane_rowcolumn(target_lane, row, col, target);
    target->grid_traversed = true;
    Shape* t = shape("Term", lane, "Terminator");
    t->connect(*target);
    return t;
  }
  Grid grid;
  Shape* target = nullptr;

 private:
  std::vector<std::unique_ptr<Shape>> owned_;
};

TEST_F(GridTerminators, UnusualTerminatorsFallBackToTheDefaultPlacement) {
  Shape* two = shape("Two", "L", "Terminator");
  two->connect(*shape("A"));
  two->connect(*shape("B"));
  Shape* none = shape("None0", "L", "Terminator");
  Shape* placed = shape("Placed", "L", "Terminator");
  placed->grid_traversed = true;
  CaptureOutput capture;
  grid._process_mid_flow_terminators({placed});
  EXPECT_EQ(capture.text(), "");
  grid._process_mid_flow_terminators({two, none});
  EXPECT_NE(capture.text().find("Warning: Mid-flow terminator [Two] has 2 outgoing connections\n"
                                "Traversing Two\n"),
            std::string::npos);
  EXPECT_NE(capture.text().find("Warning: Mid-flow terminator [None0] has 0 outgoing connections"),
            std::string::npos);
  EXPECT_EQ(grid.get_shape_lane_rowcolumn(two), (ShapeCell{"L", 1, 1}));
  EXPECT_TRUE(none->grid_traversed);

  Shape* waiting = shape("Waiting", "L", "Terminator");
  waiting->connect(*shape("Unplaced"));
  capture.clear();
  grid._process_mid_flow_terminators({waiting});
  EXPECT_NE(capture.text().find(
                "Target shape [Unplaced] not positioned yet, using default positioning\n"),
            std::string::npos);
  EXPECT_TRUE(waiting->grid_traversed);
}

TEST_F(GridTerminators, SameLanePrefersLeftRightBelowAboveThenTheNextColumn) {
  struct Case {
    int row, col;
    std::vector<std::pair<int, int>> blocked;
    ShapeCell expected;
    const char* line;
  };
  const std::vector<Case> cases{
      {2, 1, {}, {"L", 2, 2}, "Placing terminator to the right of target at col 2"},
      {1, 2, {}, {"L", 1, 1}, "Placing terminator to the left of target at col 1"},
      {1, 2, {{1, 1}, {1, 3}}, {"L", 2, 2}, "Placing terminator below target at row 2, col 2"},
      {2,
       2,
       {{2, 1}, {2, 3}, {3, 2}},
       {"L", 1, 2},
       "Placing terminator above target at row 1, col 2"},
      {1,
       2,
       {{1, 1}, {1, 3}, {2, 2}},
       {"L", 1, 4},
       "No ideal position available for terminator, using next available column"},
  };
  for (const Case& c : cases) {
    grid.set_grid({});
    for (auto [r, col] : c.blocked) block("L", r, col);  // never column 1 of a non-empty row
    Shape* t = setup("L", c.row, c.col, "L");
    CaptureOutput capture;
    grid._process_mid_flow_terminators({t});
    EXPECT_EQ(grid.get_shape_lane_rowcolumn(t), c.expected) << c.line;
    // The occupancy tests may print occupants between the two lines.
    const std::string head = "Same-lane terminator: target at lane L, row " +
                             std::to_string(c.row) + ", col " + std::to_string(c.col) + "\n";
    const auto at = capture.text().find(head);
    ASSERT_NE(at, std::string::npos) << capture.text();
    EXPECT_NE(capture.text().find(std::string(c.line) + "\n", at), std::string::npos)
        << capture.text();
    EXPECT_TRUE(t->grid_traversed);
  }
}

TEST_F(GridTerminators, OtherLaneSearchesRowOneNearTheTargetColumnLeftBeforeRight) {
  // Target at row 5 column 4 of lane M: columns 4, 3, 5, 2, 6, 1, 7, then the next free one.
  const std::vector<int> order{4, 3, 5, 2, 6, 1, 7};
  for (std::size_t blocked = 0; blocked <= order.size(); ++blocked) {
    grid.set_grid({});
    // Blocked from the left, so that column 1 is filled while the row is still empty.
    std::vector<int> columns(order.begin(), order.begin() + blocked);
    std::sort(columns.begin(), columns.end());
    for (int col : columns) block("L", 1, col);
    Shape* t = setup("M", 5, 4, "L");
    grid._process_mid_flow_terminators({t});
    const int expected = blocked < order.size() ? order[blocked] : 8;
    EXPECT_EQ(grid.get_shape_lane_rowcolumn(t), (ShapeCell{"L", 1, expected})) << blocked;
  }
  // Target in column 1: nothing left of it is tried.
  const std::vector<int> order1{1, 2, 3, 4};
  for (std::size_t blocked = 0; blocked <= order1.size(); ++blocked) {
    grid.set_grid({});
    for (std::size_t i = 0; i < blocked; ++i) block("L", 1, order1[i]);
    Shape* t = setup("M", 2, 1, "L");
    CaptureOutput capture;
    grid._process_mid_flow_terminators({t});
    const int expected = blocked < order1.size() ? order1[blocked] : 5;
    EXPECT_EQ(grid.get_shape_lane_rowcolumn(t), (ShapeCell{"L", 1, expected})) << blocked;
    if (blocked == 2) {
      EXPECT_NE(capture.text().find("Different-lane terminator: target at lane M, row 2, col 1\n"
                                    "Placing terminator at col 3, offset 2 right of target\n"),
                std::string::npos)
          << capture.text();
    }
  }
}

}  // namespace
}  // namespace orvane::testing
