"""The notation beyond the plain kinds: typed events, boundary events, markers, artifacts and
black-box pools."""
import gc

import pytest

from orvane import (AssociationDirection, DataRole, ElementType, EventPosition, EventTrigger,
                    LoopType, SubprocessForm, Swimboard, TaskType)


@pytest.fixture
def claims():
    board = Swimboard("Claims")
    lane = board.add_pool("Insurer").add_lane("Intake")
    start = lane.add_element("Filed", ElementType.START)
    review = lane.add_element("Review", ElementType.TASK)
    end = lane.add_element("Done", ElementType.END)
    start.connect(review)
    review.connect(end)
    return board, lane, start, review, end


def test_attributes_of_activities_events_and_data(claims):
    board, lane, start, review, end = claims
    review.task_type = TaskType.USER
    review.loop = LoopType.PARALLEL
    assert (review.task_type, review.loop, review.compensation) == (TaskType.USER,
                                                                   LoopType.PARALLEL, False)
    sub = lane.add_element("Handle", ElementType.SUBPROCESS)
    sub.form = SubprocessForm.CALL_ACTIVITY
    assert sub.form is SubprocessForm.CALL_ACTIVITY and not hasattr(sub, "task_type")
    data = lane.add_element("Claim form", ElementType.DATA_OBJECT)
    data.role, data.collection = DataRole.INPUT, True
    assert (data.role, data.collection) == (DataRole.INPUT, True)
    typed = lane.add_element("Escalate", ElementType.TYPED_EVENT)
    typed.definition, typed.stage, typed.throws = (EventTrigger.ESCALATION,
                                                   EventPosition.INTERMEDIATE, True)
    assert (typed.trigger, typed.position, typed.throwing) == (
        EventTrigger.ESCALATION, EventPosition.INTERMEDIATE, True)
    assert start.position is EventPosition.START and end.trigger is EventTrigger.NONE
    # The lane module names the kinds of event beside the element types.
    from orvane.lane import EventType
    assert EventType.TIMER is EventTrigger.TIMER
    with pytest.raises(AttributeError, match="task_type"):
        start.task_type
    with pytest.raises(TypeError, match="must be TaskType"):
        review.task_type = "user"
    with pytest.raises(TypeError, match="must be bool"):
        data.collection = 1


def test_boundary_events_annotations_and_groups(claims):
    board, lane, start, review, end = claims
    timeout = lane.add_boundary_event(review, "Too long", EventTrigger.TIMER, interrupting=False)
    assert timeout.boundary_of is review and review.boundary_events == [timeout]
    assert timeout.interrupting is False and timeout in lane.attached
    timeout.connect(end)
    note = lane.annotate(review, "Four eyes")
    assert note.annotated is review
    assert note.connection_to[0].direction is AssociationDirection.NONE
    group = lane.add_group("Checks", [review, end])
    assert group.members == [review, end]
    assert lane.every_shape()[:3] == [start, review, end]
    with pytest.raises(ValueError):
        lane.add_boundary_event(start, "Not on an event", EventTrigger.TIMER)
    with pytest.raises(ValueError):
        lane.add_element("Free note", ElementType.TEXT_ANNOTATION)
    other = Swimboard().add_lane("L").add_element("Elsewhere", ElementType.TASK)
    with pytest.raises(ValueError, match="its diagram"):
        lane.add_group("Mixed", [review, other])
    board.draw()
    assert board.to_png().startswith(b"\x89PNG")


def test_black_box_pools_and_flow_details(claims):
    board, lane, start, review, end = claims
    bank = board.add_pool("Bank")
    participant = bank.make_black_box()
    assert bank.black_box and bank.participant is participant
    assert participant.participant_pool is bank
    message = review.connect(participant, "payment")
    assert message.connection_type == "message"
    flow = review.connection_to[0]
    flow.is_default, flow.condition = True, "approved"
    assert (flow.is_default, flow.condition) == (True, "approved")
    with pytest.raises(ValueError):
        bank.add_lane("Teller")
    del board, bank, lane, start, end, flow, message
    gc.collect()
    # The participant keeps its diagram alive like every other shape.
    assert participant.participant_pool.name == "Bank"
    assert review.connection_to[1].target is participant
