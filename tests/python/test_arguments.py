"""Declared argument kinds are checked: another kind raises TypeError before anything changes."""
import pytest

from orvane import ElementType, Grid, Swimboard


class Text(str):
    """A specialised kind of text."""


class Number(int):
    """A specialised kind of integer."""


NOT_TEXT = [None, 3, 2.5, b"bytes", Text("sub"), ["list"]]
NOT_INT = [None, True, False, 2.5, "3", Number(3)]


def board_state(board):
    return (repr(board), [(p.name, [(l.name, [s.name for s in l.shapes]) for l in p.lanes])
                          for p in board._pools],
            board._footer.text if board._footer else None, board._title.font_size)


@pytest.fixture
def board():
    b = Swimboard()
    lane = b.add_pool("P").add_lane("L")
    lane.add_element("A", ElementType.START)
    return b


TEXT_CALLS = {
    "add_pool name": lambda b, v: b.add_pool(v),
    "add_pool font": lambda b, v: b.add_pool("P", font=v),
    "add_pool text_alignment": lambda b, v: b.add_pool("P", "", 0, "", "", v),
    "add_lane fill_colour": lambda b, v: b.add_lane("L", fill_colour=v),
    "add_lane background": lambda b, v: b.add_lane("L", background_fill_colour=v),
    "pool add_lane name": lambda b, v: b._pools[0].add_lane(v),
    "set_footer name": lambda b, v: b.set_footer(v),
    "set_footer colour": lambda b, v: b.set_footer("F", font_colour=v),
    "add_element name": lambda b, v: b._pools[0].lanes[0].add_element(v, ElementType.TASK),
    "connect label": lambda b, v: b._pools[0].lanes[0].shapes[0].connect(
        b._pools[0].lanes[0].shapes[0], v),
    "_get_lane_by_id": lambda b, v: b._get_lane_by_id(v),
    "_get_pool_by_name": lambda b, v: b._get_pool_by_name(v),
    "save": lambda b, v: b.save(v),
    "export_to_bpmn": lambda b, v: b.export_to_bpmn(v),
    "grid lane_id": lambda b, v: b._layout_grid.add_shape_to_lane_row(
        v, 1, b._pools[0].lanes[0].shapes[0]),
    "title field": lambda b, v: setattr(b, "title", v),
    "shape name field": lambda b, v: setattr(b._pools[0].lanes[0].shapes[0], "name", v),
}

INT_CALLS = {
    "add_pool font_size": lambda b, v: b.add_pool("P", font_size=v),
    "add_lane font_size": lambda b, v: b.add_lane("L", "", v),
    "set_footer font_size": lambda b, v: b.set_footer("F", font_size=v),
    "set_title_font_size": lambda b, v: b.set_title_font_size(v),
    "set_element_font_size": lambda b, v: b.set_element_font_size(v),
    "grid row_number": lambda b, v: b._layout_grid.add_shape_to_lane_rowcolumn(
        "L", v, 1, b._pools[0].lanes[0].shapes[0]),
    "grid col_number": lambda b, v: b._layout_grid.add_shape_to_lane_rowcolumn(
        "L", 1, v, b._pools[0].lanes[0].shapes[0]),
    "grid index": lambda b, v: b._layout_grid.set_shapes_position(
        None, b._pools[0].lanes[0].shapes[0], v),
    "width field": lambda b, v: setattr(b, "width", v),
    "shape font_size field": lambda b, v: setattr(b._pools[0].lanes[0].shapes[0], "font_size",
                                                  v),
}


@pytest.mark.parametrize("call", TEXT_CALLS.values(), ids=TEXT_CALLS.keys())
@pytest.mark.parametrize("value", NOT_TEXT, ids=lambda v: type(v).__name__)
def test_text_arguments_refuse_other_kinds(board, call, value):
    before = board_state(board)
    with pytest.raises(TypeError, match="must be str"):
        call(board, value)
    assert board_state(board) == before


@pytest.mark.parametrize("call", INT_CALLS.values(), ids=INT_CALLS.keys())
@pytest.mark.parametrize("value", NOT_INT, ids=lambda v: f"{type(v).__name__}_{v!r}")
def test_integer_arguments_refuse_other_kinds(board, call, value):
    before = board_state(board)
    with pytest.raises(TypeError, match="must be int"):
        call(board, value)
    assert board_state(board) == before


def test_the_message_names_the_operation_argument_and_kind(board):
    with pytest.raises(TypeError) as caught:
        board.add_pool("P", font_size=True)
    assert str(caught.value) == "add_pool() argument 'font_size' must be int, not bool"
    with pytest.raises(TypeError) as caught:
        board.add_lane(None)
    assert str(caught.value) == "add_lane() argument 'lane_name' must be str, not None"
    with pytest.raises(TypeError) as caught:
        board.title = Text("x")
    assert str(caught.value) == "Swimboard.title must be str, not Text"


@pytest.mark.parametrize("kwargs", [
    {"title": None}, {"width": "800"}, {"height": 1.5}, {"auto_size": 1},
    {"colour_theme": Text("DEFAULT")}, {"painter_type": None},
])
def test_the_constructor_checks_its_arguments(kwargs):
    with pytest.raises(TypeError):
        Swimboard(**kwargs)


def test_other_argument_kinds(board):
    lane = board._pools[0].lanes[0]
    shape = lane.shapes[0]
    with pytest.raises(TypeError, match="must be ElementType"):
        lane.add_element("X", "Task")
    with pytest.raises(TypeError, match="must be Shape"):
        shape.connect(None)
    with pytest.raises(TypeError, match="must be Shape"):
        shape.connect(lane)
    with pytest.raises(TypeError, match="must be list"):
        Grid().set_grid(tuple(board._pools))
    with pytest.raises(TypeError, match="must be list"):
        Grid().set_grid(None)
    with pytest.raises(TypeError, match="must be Pool"):
        Grid().set_grid([lane])
    with pytest.raises(TypeError, match="must be bool"):
        board.auto_size = "yes"
    assert [s.name for s in lane.shapes] == ["A"] and shape.connection_to == []


def test_numbers_beyond_the_integer_range_are_refused(board):
    with pytest.raises(ValueError, match="out of range"):
        board.set_title_font_size(2 ** 40)
    with pytest.raises(ValueError, match="out of range"):
        Swimboard(width=-(2 ** 63))
