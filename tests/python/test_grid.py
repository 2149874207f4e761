"""The layout grid reached from Python: a diagram's own grid and grids of their own."""
import pytest

from orvane import ElementType, Grid, Swimboard


@pytest.fixture
def shapes():
    board = Swimboard()
    lane = board.add_lane("L")
    return board, [lane.add_element(name, ElementType.TASK) for name in "ABCDE"]


def test_a_new_grid_is_empty(shapes):
    _, (a, *_rest) = shapes
    grid = Grid()
    assert grid._pools == [] and dict(grid._grid) == {} and list(grid.get_grid_items()) == []
    assert grid.get_max_column_count() == 0 and grid.get_next_column("L", 1) == 1
    assert grid.get_shape_lane_rowcolumn(a) == (None, None, None)
    assert grid.find_shape_rowcolumn_in_lane("L", a) == (None, None)
    assert grid._is_row_column_occupied("L", 1, 1) is False


def test_cell_placement_and_padding(shapes):
    _, (a, b, d, e, _) = shapes
    grid = Grid()
    grid.add_shape_to_lane_rowcolumn("L", 1, 3, a)
    assert grid._grid["L"]["row1"] == [None, None, a]
    assert grid.get_shape_lane_rowcolumn(a) == ("L", 1, 3)
    assert grid.find_shape_rowcolumn_in_lane("L", a) == ("row1", 3)
    grid.add_shape_to_lane_rowcolumn("M", 2, 1, b)
    assert grid._grid["M"]["row2"] == [b, None, None]
    grid.add_shape_to_lane_rowcolumn("L", 1, 1, e)
    assert grid._grid["L"]["row1"] == [None, None, a, e]
    assert grid._grid["M"]["row2"] == [b, None, None, None]
    grid.add_shape_to_lane("L", 1, d)
    assert grid.get_column_index("L", d) == 5 and grid.get_max_column_count() == 5
    assert grid.is_column_empty("L", 1, 1) and not grid.is_column_empty("L", 1, 3)
    assert grid.get_lane_row_count("M") == 1
    assert list(grid._grid) == ["L", "M"]


def test_missing_lanes_and_lane_ids(shapes):
    _, (a, *_rest) = shapes
    grid = Grid()
    for lookup in (lambda: grid.get_lane_row_count("X"), lambda: grid.get_column_index("X", a),
                   lambda: grid.is_column_empty("X", 1, 1)):
        with pytest.raises(KeyError) as caught:
            lookup()
        assert caught.value.args == ("X",)
    with pytest.raises(ValueError) as caught:
        grid.add_shape_to_lane(None, 1, a)
    assert str(caught.value) == "lane_id must be provided"
    assert dict(grid._grid) == {}


def test_get_grid_items_is_a_live_view(shapes):
    _, (a, b, *_rest) = shapes
    grid = Grid()
    items = grid.get_grid_items()
    grid.add_shape_to_lane_row("L", 3, a)
    grid.add_shape_to_lane_row("L", 1, b)
    assert [(lane, list(rows)) for lane, rows in items] == [("L", ["row3", "row1"])]
    assert grid.get_all_shapes() == [a, b]


def test_the_diagrams_grid_after_draw():
    board = Swimboard()
    pool = board.add_pool("P")
    first, second = pool.add_lane("One"), pool.add_lane("Two")
    start = first.add_element("S", ElementType.START)
    task = second.add_element("T", ElementType.TASK)
    start.connect(task)
    board.draw()
    grid = board._layout_grid
    assert grid is board._layout_grid
    assert grid.get_all_shapes() == [start, task]
    assert grid.get_shape_lane_rowcolumn(task) == (second.id, 1, 2)
    assert grid.is_same_pool(start, task) and not grid.is_same_lane(start, task)
    assert grid._pools == [pool]
    assert grid._get_first_lane_ids_from_pools() == [first.id]
    assert grid._find_all_start_shapes() == [start]


def test_set_grid_lays_out_pools_of_a_diagram(shapes, capsys):
    board, (a, b, c, *_rest) = shapes
    a.connect(b)
    b.connect(c)
    grid = Grid()
    grid.set_grid(board._pools)
    assert grid.get_all_shapes()[:3] == [a, b, c]
    grid.print_grid()  # prints nothing unless the grid dump is switched on
    capsys.readouterr()
    grid.set_grid([])
    assert grid.get_all_shapes() == []


def test_a_diagrams_grid_refuses_another_diagrams_shapes(shapes):
    _, (a, *_rest) = shapes
    other = Swimboard()
    with pytest.raises(ValueError, match="only that diagram"):
        other._layout_grid.add_shape_to_lane_row("L", 1, a)
    with pytest.raises(ValueError, match="only that diagram"):
        other._layout_grid.set_grid(shapes[0]._pools)
    assert other._layout_grid.get_all_shapes() == []
