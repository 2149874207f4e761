#include <gtest/gtest.h>

#include "orvane/artifact.hpp"
#include "orvane/event.hpp"
#include "orvane/swimboard.hpp"
#include "recording_painter.hpp"

namespace orvane {
namespace {

class EventReplacement : public testing::RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    board = std::make_unique<Swimboard>("t");
    lane = &board->add_lane("L");
  }
  Shape& add(const std::string& name, ElementType type) { return lane->add_element(name, type); }
  // A shape of the caller's own class, put at the end of the lane.
  template <typename T>
  Shape& add_own(const std::string& name) {
    Shape& shape = lane->adopt(std::make_unique<T>(name, lane->id, "Default Pool"));
    lane->shapes.push_back(&shape);
    return shape;
  }
  std::unique_ptr<Swimboard> board;
  Lane* lane = nullptr;
};

TEST_F(EventReplacement, MessageInTheMiddleOfAFlowBecomesIntermediateAndKeepsItsConnections) {
  Shape& a = add("A", ElementType::START);
  Shape& m = add("M", ElementType::MESSAGE);
  Shape& b = add("B", ElementType::END);
  Shape& c = add("C", ElementType::TASK);
  Connection& am = a.connect(m, "to m");
  am.source_connection_side = "right";
  am.target_connection_side = "left";
  const std::string am_id = am.bpmn_id;
  a.connect(c, "elsewhere");
  const std::string ac_id = (*a.connection_to)[1].bpmn_id;
  m.connect(b, "to b");
  const std::string mb_id = (*m.connection_to)[0].bpmn_id;
  m.font = "Serif";
  m.fill_colour = "#abcdef";
  m.outline_width = 2.5;
  auto coord = m.coord;
  auto origin = m.origin_coord;
  auto to_list = m.connection_to;
  auto from_list = m.connection_from;

  board->_replace_elements();

  Shape* replaced = lane->shapes[1];
  ASSERT_NE(replaced, &m);
  EXPECT_EQ(replaced->class_name(), "MessageIntermediate");
  EXPECT_EQ(replaced->name, "M");
  EXPECT_EQ(replaced->bpmn_id, m.bpmn_id);
  EXPECT_EQ(replaced->lane_id, lane->id);
  EXPECT_EQ(replaced->pool_name, "Default Pool");
  EXPECT_EQ(replaced->font, "Serif");
  EXPECT_EQ(replaced->fill_colour, "#abcdef");
  EXPECT_EQ(replaced->outline_width, 2.5);
  EXPECT_EQ(replaced->owner_lane, lane);
  EXPECT_EQ(replaced->coord, coord);  // the same objects, not copies
  EXPECT_EQ(replaced->origin_coord, origin);
  EXPECT_EQ(replaced->connection_to, to_list);
  EXPECT_EQ(replaced->connection_from, from_list);
  EXPECT_EQ(m.connection_to, to_list);
  EXPECT_EQ(lane->shapes.size(), 4u);
  EXPECT_EQ(lane->shapes[0], &a);
  EXPECT_EQ(lane->shapes[2], &b);

  const Connection& into = (*a.connection_to)[0];
  EXPECT_EQ(into.source, &a);
  EXPECT_EQ(into.target, replaced);
  EXPECT_EQ(into.label, "to m");
  EXPECT_EQ(into.connection_type, "sequence");
  EXPECT_EQ(into.source_connection_side, "right");
  EXPECT_EQ(into.target_connection_side, "left");
  EXPECT_EQ(into.bpmn_id, am_id);
  const Connection& other = (*a.connection_to)[1];
  EXPECT_EQ(other.target, &c);
  EXPECT_EQ(other.label, "elsewhere");
  EXPECT_EQ(other.bpmn_id, ac_id);
  const Connection& out = (*replaced->connection_to)[0];
  EXPECT_EQ(out.source, replaced);
  EXPECT_EQ(out.target, &b);
  EXPECT_EQ(out.label, "to b");
  EXPECT_EQ(out.bpmn_id, mb_id);
  // The successor still names the old shape, which reaches the new connections.
  EXPECT_EQ((*b.connection_from)[0], &m);
}

TEST_F(EventReplacement, GenericEventsBecomeStartOrEndByTheirConnections) {
  Shape& lone = add("lone", ElementType::MESSAGE);
  Shape& signal_start = add("sig", ElementType::SIGNAL);
  Shape& target = add("target", ElementType::TASK);
  Shape& signal_mid = add("sig mid", ElementType::SIGNAL);
  Shape& cond_end = add("cond", ElementType::CONDITIONAL);
  Shape& cond_start = add("cond start", ElementType::CONDITIONAL);
  Shape& specific = add("specific", ElementType::MESSAGE_END);
  signal_start.connect(target);
  target.connect(signal_mid);
  signal_mid.connect(cond_end);
  cond_start.connect(target);

  board->_replace_elements();

  EXPECT_EQ(lane->shapes[0]->class_name(), "MessageEnd");
  EXPECT_NE(lane->shapes[0], &lone);
  EXPECT_EQ(lane->shapes[1]->class_name(), "Signal");
  EXPECT_NE(lane->shapes[1], &signal_start);  // a fresh object of the generic class
  EXPECT_EQ(lane->shapes[2], &target);
  EXPECT_EQ(lane->shapes[3]->class_name(), "SignalIntermediate");
  EXPECT_EQ(lane->shapes[4], &cond_end);  // no end kind for conditional events
  EXPECT_EQ(lane->shapes[5]->class_name(), "Conditional");
  EXPECT_NE(lane->shapes[5], &cond_start);
  EXPECT_EQ(lane->shapes[6], &specific);
}

TEST_F(EventReplacement, ChainOfTwoMessagesEndsLinkedToBothNewShapesInEitherOrder) {
  for (bool second_first : {false, true}) {
    SCOPED_TRACE(second_first ? "M2 listed first" : "M1 listed first");
    SetUp();
    Shape& a = add("A", ElementType::START);
    Shape* m1 = nullptr;
    Shape* m2 = nullptr;
    if (second_first) {
      m2 = &add("M2", ElementType::MESSAGE);
      m1 = &add("M1", ElementType::MESSAGE);
    } else {
      m1 = &add("M1", ElementType::MESSAGE);
      m2 = &add("M2", ElementType::MESSAGE);
    }
    a.connect(*m1, "a-m1");
    m1->connect(*m2, "m1-m2");

    board->_replace_elements();

    const std::size_t i1 = second_first ? 2 : 1;
    const std::size_t i2 = second_first ? 1 : 2;
    Shape* new_m1 = lane->shapes[i1];
    Shape* new_m2 = lane->shapes[i2];
    EXPECT_EQ(new_m1->class_name(), "MessageIntermediate");
    EXPECT_EQ(new_m2->class_name(), "MessageEnd");
    ASSERT_EQ(a.connection_to->size(), 1u);
    EXPECT_EQ((*a.connection_to)[0].target, new_m1);
    ASSERT_EQ(new_m1->connection_to->size(), 1u);
    EXPECT_EQ((*new_m1->connection_to)[0].source, new_m1);
    EXPECT_EQ((*new_m1->connection_to)[0].target, new_m2);
    EXPECT_EQ((*new_m1->connection_to)[0].label, "m1-m2");
  }
}

TEST_F(EventReplacement, SelfLoopIsRedirectedToTheNewShape) {
  Shape& m = add("M", ElementType::MESSAGE);
  m.connect(m, "again");
  board->_replace_elements();
  Shape* replaced = lane->shapes[0];
  EXPECT_EQ(replaced->class_name(), "MessageIntermediate");
  ASSERT_EQ(replaced->connection_to->size(), 1u);
  EXPECT_EQ((*replaced->connection_to)[0].source, replaced);
  EXPECT_EQ((*replaced->connection_to)[0].target, replaced);
}

TEST_F(EventReplacement, SpecificKindsAndSubclassesOfSignalAndConditionalStayAsTheyAre) {
  // A caller's own kinds of event: the signal and conditional tests are on the exact class.
  struct AlarmSignal : Signal {
    using Signal::Signal;
    std::string class_name() const override { return "AlarmSignal"; }
  };
  struct RuleConditional : Conditional {
    using Conditional::Conditional;
    std::string class_name() const override { return "RuleConditional"; }
  };
  Shape& a = add("A", ElementType::START);
  Shape& sig_mid_end = add("sig mid, nothing out", ElementType::SIGNAL_INTERMEDIATE);
  Shape& sig_end_out = add("sig end, leads on", ElementType::SIGNAL_END);
  Shape& alarm = add_own<AlarmSignal>("alarm");
  Shape& cond_mid_start = add("cond mid, nothing in", ElementType::CONDITIONAL_INTERMEDIATE);
  Shape& cond_mid = add("cond mid", ElementType::CONDITIONAL_INTERMEDIATE);
  Shape& rule = add_own<RuleConditional>("rule");
  Shape& b = add("B", ElementType::END);
  a.connect(sig_mid_end);
  a.connect(sig_end_out);
  sig_end_out.connect(b);
  alarm.connect(b);  // a start by its connections, were it a plain signal
  cond_mid_start.connect(b);
  a.connect(cond_mid);
  cond_mid.connect(b);
  a.connect(rule);
  rule.connect(b);
  const std::vector<Shape*> before = lane->shapes;

  board->_replace_elements();

  EXPECT_EQ(lane->shapes, before);
  EXPECT_EQ(lane->shapes[1]->class_name(), "SignalIntermediate");
  EXPECT_EQ((*a.connection_to)[0].target, &sig_mid_end);
  EXPECT_EQ((*alarm.connection_to)[0].source, &alarm);
}

TEST_F(EventReplacement, MessageSubclassesAreReplacedLikeMessages) {
  struct Invoice : Message {
    using Message::Message;
    std::string class_name() const override { return "Invoice"; }
  };
  Shape& invoice = add_own<Invoice>("invoice");
  Shape& pay = add("pay", ElementType::TASK);
  invoice.connect(pay);
  board->_replace_elements();
  EXPECT_NE(lane->shapes[0], &invoice);
  EXPECT_EQ(lane->shapes[0]->class_name(), "Message");
  EXPECT_EQ((*lane->shapes[0]->connection_to)[0].target, &pay);
}

TEST_F(EventReplacement, MembersCalledDirectlyLeaveShapesTheyDoNotHandleWhateverTheIndex) {
  Shape& task = add("T", ElementType::TASK);
  Shape& message = add("M", ElementType::MESSAGE);
  Shape& conditional = add("C", ElementType::CONDITIONAL);  // leads nowhere: nothing to do
  Pool& pool = *board->_pools.front();
  const std::vector<Shape*> before = lane->shapes;
  for (std::size_t index : {std::size_t{0}, std::size_t{2}, std::size_t{99}}) {
    SCOPED_TRACE(index);
    EXPECT_NO_THROW(board->_replace_message_element(pool, *lane, index, &task));
    EXPECT_NO_THROW(board->_replace_signal_element(pool, *lane, index, &task));
    EXPECT_NO_THROW(board->_replace_conditional_element(pool, *lane, index, &task));
    EXPECT_NO_THROW(board->_replace_signal_element(pool, *lane, index, &message));
    EXPECT_NO_THROW(board->_replace_conditional_element(pool, *lane, index, &message));
    EXPECT_NO_THROW(board->_replace_conditional_element(pool, *lane, index, &conditional));
  }
  EXPECT_EQ(lane->shapes, before);

  // A shape the member replaces needs a position in the lane, and a missing shape is refused.
  EXPECT_THROW(board->_replace_message_element(pool, *lane, 5, &message), std::out_of_range);
  EXPECT_THROW(board->_replace_message_element(pool, *lane, 0, nullptr), std::invalid_argument);
  EXPECT_THROW(board->_replace_signal_element(pool, *lane, 0, nullptr), std::invalid_argument);
  EXPECT_THROW(board->_replace_conditional_element(pool, *lane, 0, nullptr), std::invalid_argument);
  EXPECT_EQ(lane->shapes, before);

  board->_replace_message_element(pool, *lane, 1, &message);
  EXPECT_EQ(lane->shapes[1]->class_name(), "MessageEnd");
}

TEST_F(EventReplacement, MessageFlowsFromOtherPoolsDoNotDecideTheKind) {
  // A message event that receives a message from another pool and starts its flow stays a
  // start event; one that sends a message at the end of its flow is an end event; only flows
  // within the pool make an event intermediate.
  Lane& other = board->add_lane("Other");
  Shape& sender = other.add_element("Send", ElementType::TASK);
  Shape& start = add("Order in", ElementType::MESSAGE);
  Shape& work = add("Work", ElementType::TASK);
  Shape& notify = add("Notify", ElementType::MESSAGE);
  Shape& receiver = other.add_element("Receive", ElementType::TASK);
  Shape& signal = add("Alarm", ElementType::SIGNAL);
  Shape& condition = add("Ready", ElementType::CONDITIONAL);
  sender.connect(start);
  start.connect(work);
  work.connect(notify);
  notify.connect(receiver);
  sender.connect(signal);
  signal.connect(work);
  sender.connect(condition);
  condition.connect(receiver);  // leads only out of its pool: no kind to choose

  board->_replace_elements();

  EXPECT_EQ(lane->shapes[0]->class_name(), "Message");
  EXPECT_NE(lane->shapes[0], &start);
  EXPECT_EQ(lane->shapes[2]->class_name(), "MessageEnd");
  EXPECT_EQ(lane->shapes[3]->class_name(), "Signal");
  EXPECT_EQ(lane->shapes[4], &condition);
  // The message flows themselves are carried over.
  EXPECT_EQ((*sender.connection_to)[0].target, lane->shapes[0]);
  EXPECT_EQ((*lane->shapes[2]->connection_to)[0].target, &receiver);
}

// A caller that dropped a shape's list of connections (the lists are public) gets an error
// naming the shape from every step that reads them, not a crash.
TEST_F(EventReplacement, AShapeWithoutAConnectionListIsRefusedByName) {
  for (const bool outgoing : {true, false}) {
    Shape& task = add("Check", ElementType::TASK);
    Shape& message = add("Notify", ElementType::MESSAGE);
    task.connect(message);
    message.connect(add("Archive", ElementType::TASK));
    if (outgoing) {
      message.connection_to.reset();
    } else {
      message.connection_from.reset();
    }
    for (auto step : {&Swimboard::_replace_elements, &Swimboard::draw}) {
      try {
        (board.get()->*step)();
        ADD_FAILURE() << "no exception";
      } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("'Notify' has no connection list"), std::string::npos)
            << e.what();
      }
    }
    EXPECT_THROW(board->_get_orphan_elements(), std::invalid_argument);
    EXPECT_THROW(board->_get_dangling_elements(), std::invalid_argument);
    message.connection_to = std::make_shared<ConnectionList>();
    message.connection_from = std::make_shared<ShapeList>();
  }
}

TEST_F(EventReplacement, DefaultConditionAndDirectionSurviveTheRebuiltConnections) {
  Shape& a = add("A", ElementType::TASK);
  Shape& m = add("M", ElementType::MESSAGE);
  Shape& b = add("B", ElementType::TASK);
  Connection& in = a.connect(m);
  in.condition = "x > 1";
  Connection& out = m.connect(b);
  out.is_default = true;
  out.direction = AssociationDirection::BOTH;
  board->_replace_elements();
  const Connection& new_in = (*a.connection_to)[0];
  const Connection& new_out = (*lane->shapes[1]->connection_to)[0];
  EXPECT_EQ(new_in.target, lane->shapes[1]);
  EXPECT_EQ(new_in.condition, "x > 1");
  EXPECT_TRUE(new_out.is_default);
  EXPECT_EQ(new_out.direction, AssociationDirection::BOTH);
}

TEST_F(EventReplacement, AnnotationsAndGroupsFollowTheShapeToItsNewKind) {
  Shape& m = add("M", ElementType::MESSAGE);
  Shape& t = add("T", ElementType::TASK);
  m.connect(t);
  TextAnnotation& note = lane->annotate(m, "why");
  Group& group = lane->add_group("G", {&m, &t});
  board->_replace_elements();
  Shape* replaced = lane->shapes[0];
  ASSERT_NE(replaced, &m);
  EXPECT_EQ(note.annotated(), replaced);
  EXPECT_EQ(group.members, (std::vector<Shape*>{replaced, &t}));
}

}  // namespace
}  // namespace orvane
