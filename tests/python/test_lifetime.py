"""References across the boundary: what Python holds keeps its diagram alive."""
import gc

import pytest

from orvane import ElementType, Grid, Helper, Swimboard


def collect():
    for _ in range(3):
        gc.collect()


def test_a_kept_shape_outlives_its_board(tmp_path):
    board = Swimboard("Kept")
    lane = board.add_pool("P").add_lane("L")
    first = lane.add_element("First", ElementType.START)
    del board, lane
    collect()
    # Everything is reachable again from the shape, and still works.
    second = first.lane.add_element("Second", ElementType.END)
    connection = first.connect(second, "then")
    assert connection.target is second and second.connection_from == [first]
    pool = first.lane.pool
    assert pool.name == "P" and [s.name for s in pool.lanes[0].shapes] == ["First", "Second"]


def test_kept_lane_pool_connection_grid_and_footer():
    board = Swimboard()
    pool = board.add_pool("P")
    lane = pool.add_lane("L")
    a = lane.add_element("A", ElementType.START)
    b = lane.add_element("B", ElementType.END)
    connection = a.connect(b, "go")
    board.set_footer("foot")
    footer = board._footer
    board.draw()
    grid = board._layout_grid
    title = board._title
    del board, pool, lane, a, b
    collect()
    assert connection.label == "go" and connection.source.name == "A"
    assert footer.text == "foot" and title.text == "<Process Map Title>"
    assert [s.name for s in grid.get_all_shapes()] == ["A", "B"]
    assert "row1" in dict(grid.get_grid_items())[grid.get_all_shapes()[0].lane_id]


def test_a_replaced_footer_is_read_through_the_board():
    board = Swimboard()
    board.set_footer("old")
    kept = board._footer
    board.set_footer("new")
    collect()
    assert kept.text == "new"


def test_a_kept_title_after_the_title_is_removed():
    board = Swimboard("T")
    title = board._title
    board._title = None
    with pytest.raises(ValueError, match="no title"):
        title.text


def test_connections_stay_valid_while_the_list_grows():
    board = Swimboard()
    lane = board.add_lane("L")
    hub = lane.add_element("Hub", ElementType.EXCLUSIVE)
    first = hub.connect(lane.add_element("T0", ElementType.TASK), "0")
    for i in range(1, 200):
        hub.connect(lane.add_element(f"T{i}", ElementType.TASK), str(i))
    assert first.label == "0" and first.target.name == "T0"
    assert hub.connection_to[0] == first and hub.connection_to[1] != first


def test_connecting_two_diagrams_is_refused():
    one, two = Swimboard(), Swimboard()
    a = one.add_lane("L").add_element("A", ElementType.TASK)
    b = two.add_lane("L").add_element("B", ElementType.TASK)
    with pytest.raises(ValueError, match="different diagrams"):
        a.connect(b)
    assert a.connection_to == [] and b.connection_from == []


def test_a_grid_of_its_own_keeps_the_diagrams_it_holds():
    grid = Grid()
    board = Swimboard()
    lane = board.add_lane("L")
    a = lane.add_element("A", ElementType.START)
    a.connect(lane.add_element("B", ElementType.END))
    grid.set_grid(board._pools)
    other = Swimboard()
    c = other.add_lane("M").add_element("C", ElementType.TASK)
    grid.add_shape_to_lane_row("M", 1, c)
    del board, lane, a, other, c
    collect()
    assert [s.name for s in grid.get_all_shapes()] == ["A", "B", "C"]
    assert grid._pools[0].lanes[0].shapes[1].name == "B"


def test_the_same_element_is_the_same_python_object():
    board = Swimboard()
    lane = board.add_lane("L")
    shape = lane.add_element("A", ElementType.TASK)
    assert board._pools[0].lanes[0] is lane and lane.shapes[0] is shape
    assert shape.lane is lane and board._get_lane_by_id(lane.id) is lane


def test_ten_thousand_shapes_built_in_a_loop(tmp_path):
    board = Swimboard("Ten thousand", painter_type="svg")
    pool = board.add_pool("Work")
    previous = None
    for lane_number in range(100):
        lane = pool.add_lane(f"Lane {lane_number}")
        for shape_number in range(100):
            kind = ElementType.START if previous is None else ElementType.TASK
            shape = lane.add_element(f"S{lane_number}.{shape_number}", kind)
            if previous is not None and shape_number > 0:
                previous.connect(shape)
            previous = shape
    shapes = [s for l in pool.lanes for s in l.shapes]
    assert len(shapes) == 10000 and len({id(s) for s in shapes}) == 10000
    board.draw()
    assert len(board._layout_grid.get_all_shapes()) == 10000
    board.export_to_bpmn(tmp_path / "big.bpmn")
    assert (tmp_path / "big.bpmn").stat().st_size > 1_000_000
    del board, pool, lane, shapes
    collect()
    assert previous.name == "S99.99" and previous.lane.pool.name == "Work"
    assert Helper.show_levels() == set()
