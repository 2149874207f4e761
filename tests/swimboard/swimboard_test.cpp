#include "orvane/swimboard.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

#include "orvane/event.hpp"
#include "recording_painter.hpp"

namespace orvane {
namespace {

using testing::calls;
using testing::RecordingTest;

using SwimboardConstruction = RecordingTest;

TEST_F(SwimboardConstruction, DefaultsAndPainterSetUpInOrder) {
  Swimboard board;
  EXPECT_EQ(board.title, "<Process Map Title>");
  EXPECT_EQ(board.width, 5000);
  EXPECT_EQ(board.height, 5000);
  EXPECT_TRUE(board.auto_size);
  EXPECT_EQ(board.colour_theme, "DEFAULT");
  EXPECT_EQ(board.painter_type, "png");
  EXPECT_EQ(board._footer, nullptr);
  EXPECT_TRUE(board._pools.empty());
  EXPECT_EQ(board.next_shape_x, 0);
  EXPECT_EQ(board.lane_y_pos, 0);
  EXPECT_EQ(board.lane_max_width, 0);
  ASSERT_NE(board._title, nullptr);
  EXPECT_EQ(board._title->text, "<Process Map Title>");
  // The title takes the painter's defaults as they are once the theme is applied.
  EXPECT_EQ(board._title->font, "title-font-DEFAULT");
  EXPECT_EQ(board._title->font_size, 21);
  EXPECT_EQ(board._title->font_colour, "title-colour-DEFAULT");
  EXPECT_EQ(calls(),
            (std::vector<std::string>{"get_painter png 5000 5000", "set_colour_theme DEFAULT",
                                      "set_background_colour"}));
  EXPECT_TRUE(Helper::log_configured());
  EXPECT_GT(board.start_time, 1.0e9);
}

TEST_F(SwimboardConstruction, ArgumentsReachTheFactoryInOrder) {
  Swimboard narrow("t", 800);
  Swimboard themed("t", 640, 480, false, "OCEAN", "svg");
  EXPECT_EQ(calls()[0], "get_painter png 800 5000");
  EXPECT_EQ(calls()[3], "get_painter svg 640 480");
  EXPECT_EQ(calls()[4], "set_colour_theme OCEAN");
  EXPECT_EQ(themed._title->font, "title-font-OCEAN");
  EXPECT_EQ(narrow.painter().surface_width(), 800);
}

TEST_F(SwimboardConstruction, EqualityComparesDeclaredFieldsAndPoolContent) {
  auto build = [](const std::string& lane_name) {
    auto board = std::make_unique<Swimboard>("Orders");
    Helper::reset_uuid();  // the same identifiers for each, although all are alive at once
    Lane& lane = board->add_lane(lane_name);
    lane.add_element("start", ElementType::START);
    return board;
  };
  auto a = build("Sales");
  auto b = build("Sales");
  auto c = build("Store");
  EXPECT_TRUE(*a == *b);
  EXPECT_FALSE(*a == *c);
  b->lane_max_width = 7;
  EXPECT_FALSE(*a == *b);
  // Two diagrams never share their pool list.
  EXPECT_NE(&a->_pools, &b->_pools);
}

TEST_F(SwimboardConstruction, TextFormGivesTheDeclaredFieldsInOrder) {
  Swimboard board;
  EXPECT_EQ(to_string(board),
            "Swimboard(title='<Process Map Title>', width=5000, height=5000, auto_size=true, "
            "colour_theme='DEFAULT', painter_type='png', _title=Title(text='<Process Map Title>', "
            "font='title-font-DEFAULT', font_size=21, font_colour='title-colour-DEFAULT'), "
            "_footer=None, _pools=[], next_shape_x=0, lane_y_pos=0, lane_max_width=0)");

  // User texts keep to one line and never carry raw control characters.
  Swimboard filled("Bob's\nmap", 800, 600, false, "OCEAN", "svg");
  Pool& shop = filled.add_pool("Shop");
  shop.add_lane("Sales", "", 0, "", "", "centre", "").add_element("a", ElementType::START);
  shop.add_lane("Store", "", 0, "", "", "centre", "");
  filled.add_pool("Bank");
  filled.set_footer("final", "Mono", 8, "#333333");
  filled._title.reset();
  filled.lane_max_width = 42;
  std::ostringstream streamed;
  streamed << filled;
  EXPECT_EQ(streamed.str(),
            "Swimboard(title=\"Bob's\\nmap\", width=800, height=600, auto_size=false, "
            "colour_theme='OCEAN', painter_type='svg', _title=None, _footer=Footer(text='final', "
            "font='Mono', font_size=8, font_colour='#333333'), _pools=[Pool(name='Shop', "
            "lanes=[Lane(name='Sales', shapes=1), Lane(name='Store', shapes=0)]), "
            "Pool(name='Bank', lanes=[])], next_shape_x=0, lane_y_pos=0, lane_max_width=42)");
  EXPECT_EQ(to_string(filled), streamed.str());
}

TEST_F(SwimboardConstruction, IdentifiersRepeatPerDiagramButNeverWithinOne) {
  std::string first_pool_id;
  {
    Swimboard board;
    first_pool_id = board.add_pool("P").bpmn_id;
  }
  Swimboard again;
  EXPECT_EQ(again.add_pool("P").bpmn_id, first_pool_id);

  // A second diagram made while the first is alive does not restart the sequence, which would
  // give the first one its own identifiers a second time.
  Swimboard other;
  const std::string later_id = again.add_pool("R").bpmn_id;
  EXPECT_NE(later_id, first_pool_id);
  EXPECT_NE(other.add_pool("Q").bpmn_id, later_id);
}

using SwimboardPools = RecordingTest;

TEST_F(SwimboardPools, EmptyPoolStylesComeFromThePainterEachInItsPlace) {
  Swimboard board;
  Pool& plain = board.add_pool("Shop");
  EXPECT_EQ(plain.font, "pool-font");
  EXPECT_EQ(plain.font_size, 13);
  EXPECT_EQ(plain.font_colour, "pool-font-colour");
  EXPECT_EQ(plain.fill_colour, "pool-fill");
  EXPECT_EQ(plain.text_alignment, "centre");
  EXPECT_EQ(plain.painter(), &board.painter());
  EXPECT_EQ(plain.bpmn_id.rfind("pool_", 0), 0u);
  EXPECT_EQ(plain.bpmn_collaboration_id.rfind("pool_colab_", 0), 0u);

  Pool& styled = board.add_pool("Bank", "Serif", 14, "#111111", "#222222", "");
  EXPECT_EQ(styled.font, "Serif");
  EXPECT_EQ(styled.font_size, 14);
  EXPECT_EQ(styled.font_colour, "#111111");
  EXPECT_EQ(styled.fill_colour, "#222222");
  EXPECT_EQ(styled.text_alignment, "");  // no painter default for a pool's alignment
  ASSERT_EQ(board._pools.size(), 2u);
  EXPECT_EQ(board._pools[0].get(), &plain);
  EXPECT_NE(plain.bpmn_id, styled.bpmn_id);
}

TEST_F(SwimboardPools, EveryLaneGetsADefaultPoolOfItsOwn) {
  Swimboard board;
  board.add_pool("First");
  Lane& one = board.add_lane("One", "", 0, "", "", "");
  Lane& two = board.add_lane("Two", "Mono", 8, "#010101", "#020202", "left", "#030303");
  ASSERT_EQ(board._pools.size(), 3u);
  EXPECT_EQ(board._pools[1]->name, "Default Pool");
  EXPECT_EQ(board._pools[2]->name, "Default Pool");
  EXPECT_EQ(board._pools[1]->lanes.front().get(), &one);
  EXPECT_EQ(board._pools[2]->lanes.front().get(), &two);
  EXPECT_EQ(board._pools[1]->lanes.size(), 1u);
  EXPECT_EQ(board._pools[1]->font, "pool-font");

  EXPECT_EQ(one.font, "lane-font");
  EXPECT_EQ(one.font_size, 11);
  EXPECT_EQ(one.font_colour, "lane-font-colour");
  EXPECT_EQ(one.fill_colour, "lane-fill");
  EXPECT_EQ(one.text_alignment, "lane-alignment");
  EXPECT_EQ(one.background_fill_colour, "lane-background");
  EXPECT_EQ(two.font, "Mono");
  EXPECT_EQ(two.font_size, 8);
  EXPECT_EQ(two.font_colour, "#010101");
  EXPECT_EQ(two.fill_colour, "#020202");
  EXPECT_EQ(two.text_alignment, "left");
  EXPECT_EQ(two.background_fill_colour, "#030303");
  // The default alignment is "centre", so the painter's applies only to an empty one.
  EXPECT_EQ(board.add_lane("Three").text_alignment, "centre");

  EXPECT_EQ(board._get_pool_by_name("Default Pool"), board._pools[1].get());
  EXPECT_EQ(board._get_pool_by_name("Nobody"), nullptr);
  EXPECT_EQ(board._get_lane_by_id(two.id), &two);
  EXPECT_EQ(board._get_lane_by_id("lane_unknown"), nullptr);
}

TEST_F(SwimboardPools, LaneLookupReturnsTheEarlierPoolsLaneForASharedId) {
  Swimboard board;
  Lane& first = board.add_lane("A");
  Lane& second = board.add_lane("B");
  second.id = first.id;
  EXPECT_EQ(board._get_lane_by_id(first.id), &first);
}

TEST_F(SwimboardPools, FooterAndFontSizes) {
  Swimboard board;
  board.set_footer("draft");
  board.set_footer("final", "", 0, "#333333");
  ASSERT_NE(board._footer, nullptr);
  EXPECT_EQ(board._footer->text, "final");
  EXPECT_EQ(board._footer->font, "footer-font");
  EXPECT_EQ(board._footer->font_size, 9);
  EXPECT_EQ(board._footer->font_colour, "#333333");

  Lane& lane = board.add_lane("L");
  Shape& task = lane.add_element("t", ElementType::TASK);
  calls().clear();
  board.set_title_font_size(30);
  board.set_element_font_size(15);
  Shape& later = lane.add_element("later", ElementType::TASK);
  EXPECT_EQ(board._title->font_size, 30);
  EXPECT_EQ(task.font_size, 15);
  EXPECT_EQ(later.font_size, 0);
  EXPECT_EQ(calls(),
            (std::vector<std::string>{"set_title_font_size 30", "set_element_font_size 15"}));
}

using SwimboardValidation = RecordingTest;

TEST_F(SwimboardValidation, ChecksRunInOrderWithTheirMessages) {
  auto message_of = [](const Swimboard& board) -> std::string {
    try {
      board._validate();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "valid";
  };
  Swimboard board("");
  EXPECT_THROW(board._validate(), EmptySwimboardException);
  EXPECT_EQ(message_of(board), "The process map must contain at least one pool or lane");
  board._title.reset();
  EXPECT_THROW(board._validate(), std::invalid_argument);
  EXPECT_EQ(message_of(board), "The process map must contain a title");

  Swimboard two_pools("t");
  two_pools.add_lane("full").add_element("s", ElementType::START);
  Pool& second = two_pools.add_pool("second");
  EXPECT_EQ(message_of(two_pools), "valid");  // a pool without lanes passes
  second.add_lane("empty", "", 0, "", "", "", "");
  EXPECT_THROW(two_pools._validate(), EmptySwimboardException);
  EXPECT_EQ(message_of(two_pools), "The process map must contain at least one shape");
  // Only the first lane of a pool must hold shapes.
  second.lanes.front()->add_element("x", ElementType::TASK);
  second.add_lane("later", "", 0, "", "", "", "");
  EXPECT_EQ(message_of(two_pools), "valid");
}

TEST_F(SwimboardValidation, OrphansAndDanglingShapesOfAMixedDiagram) {
  Swimboard board;
  Lane& lane = board.add_lane("L");
  Shape& start = lane.add_element("start", ElementType::START);
  Shape& lonely_end = lane.add_element("lonely end", ElementType::END);
  Shape& task = lane.add_element("task", ElementType::TASK);
  Shape& next = lane.add_element("next", ElementType::TASK);
  Shape& link = lane.add_element("link", ElementType::LINK);
  lane.add_element("idle", ElementType::TASK);
  Shape& message = lane.add_element("message", ElementType::MESSAGE);
  start.connect(next);
  task.connect(next);
  message.connect(link);
  (void)lonely_end;
  EXPECT_EQ(board._get_orphan_elements(), (std::vector<std::string>{"lonely end", "idle"}));
  // Start-like events are never dangling; a task with only outgoing connections is.
  EXPECT_EQ(board._get_dangling_elements(), (std::vector<std::string>{"task", "idle"}));
}

TEST_F(SwimboardValidation, DanglingListSparesExactlyTheEightStartLikeEventClasses) {
  struct Kickoff : Start {
    using Start::Start;
    std::string class_name() const override { return "Kickoff"; }
  };
  Swimboard board;
  Lane& lane = board.add_lane("L");
  // One shape of every class, named after it, none with anything leading into it.
  for (ElementType type : all_element_types()) {
    if (stands_in_lane(type)) lane.add_element(std::string(class_name(type)), type);
  }
  Shape& kickoff = lane.adopt(std::make_unique<Kickoff>("Kickoff", lane.id, "Default Pool"));
  lane.shapes.push_back(&kickoff);

  const std::vector<std::string> dangling = board._get_dangling_elements();
  // A typed event says where it stands: the one added here is a start event, spared like the
  // start and end classes.
  const std::set<std::string> spared{"Start",     "End",         "Timer",
                                     "Message",   "MessageEnd",  "Signal",
                                     "SignalEnd", "Conditional", "TypedEvent"};
  for (const Shape* shape : lane.shapes) {
    const bool listed = std::find(dangling.begin(), dangling.end(), shape->name) != dangling.end();
    EXPECT_EQ(listed, spared.count(shape->name) == 0) << shape->name;
  }
  // The other events, and a subclass of a spared class, are listed like any activity.
  for (const char* name : {"Intermediate", "MessageIntermediate", "SignalIntermediate",
                           "ConditionalIntermediate", "Link", "Kickoff", "Task"}) {
    EXPECT_NE(std::find(dangling.begin(), dangling.end(), name), dangling.end()) << name;
  }
  // Typed intermediate events are dangling when nothing leads into them.
  auto& wait = static_cast<TypedEvent&>(lane.add_element("Wait", ElementType::TYPED_EVENT));
  wait.stage = EventPosition::INTERMEDIATE;
  wait.definition = EventTrigger::TIMER;
  const std::vector<std::string> again = board._get_dangling_elements();
  EXPECT_NE(std::find(again.begin(), again.end(), "Wait"), again.end());
}

using SwimboardOutput = RecordingTest;

TEST_F(SwimboardOutput, SaveWritesThroughThePainterThenLogsTheTime) {
  Swimboard board;
  board.save("out.png");
  board.save("second.png");
  EXPECT_EQ(calls().back(), "save_surface second.png");
  const std::string text = log.str();
  const std::regex line(
      R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \[INFO\] : Took \[(\d+\.\d{2})ms\] to generate '([^']+)' diagram)");
  std::vector<double> times;
  std::vector<std::string> files;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    times.push_back(std::stod((*it)[1]));
    files.push_back((*it)[2]);
  }
  EXPECT_EQ(files, (std::vector<std::string>{"out.png", "second.png"}));
  ASSERT_EQ(times.size(), 2u);
  EXPECT_LE(times[0], times[1]);
}

TEST_F(SwimboardOutput, FailedSaveThrowsAndLogsNothing) {
  Swimboard board;
  EXPECT_THROW(board.save("/missing-folder/out.png"), std::runtime_error);
  EXPECT_EQ(log.str(), "");
}

TEST_F(SwimboardOutput, SaveRefusesAnExtensionOfAnotherPictureFormat) {
  Swimboard board("T", 5000, 5000, true, "DEFAULT", "png");
  auto saves = [] {
    return std::count_if(calls().begin(), calls().end(), [](const std::string& call) {
      return call.rfind("save_surface", 0) == 0;
    });
  };
  try {
    board.save("x.svg");
    FAIL() << "saved PNG bytes under a .svg name";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("png painter"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("'x.svg'"), std::string::npos) << e.what();
  }
  EXPECT_THROW(board.save("dir.v2/x.PDF"), std::invalid_argument);
  EXPECT_EQ(saves(), 0);
  EXPECT_EQ(log.str(), "");
  // The painter's own extension in any case, other extensions and none are written.
  board.save("x.PNG");
  board.save("x.img");
  board.save("picture");
  EXPECT_EQ(saves(), 3);
}

TEST(UncaughtExceptionHandler, PrintsTypeMessageAndBacktrace) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        try {
          throw EmptySwimboardException("nothing to draw\x1b[2J");
        } catch (...) {
          std::terminate();
        }
      },
      "Traceback(.|\n)*orvane::EmptySwimboardException: nothing to draw\\\\x1b\\[2J");
}

}  // namespace
}  // namespace orvane
