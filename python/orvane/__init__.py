"""orvane: swim-lane process diagrams (pools, lanes, BPMN events, activities, gateways and
labelled connections) drawn to PNG, SVG or PDF and exported as BPMN 2.0 XML and drawio XML.

    from orvane import Swimboard, ElementType

    with Swimboard("Order handling") as board:
        sales = board.add_pool("Shop").add_lane("Sales")
        start = sales.add_element("Order received", ElementType.START)
        check = sales.add_element("Check order", ElementType.TASK)
        start.connect(check)
        board.draw()
        board.save("order.png")

Trace categories are chosen with Helper.set_show_levels({"layout_grid", "draw", ...}); traces go
to sys.stdout and the log line of save() to sys.stderr, so notebooks show them.
"""
from collections.abc import Mapping as _Mapping

from ._orvane import (
    AssociationDirection,
    Connection,
    Coordinate,
    DanglingElementException,
    DataRole,
    ElementType,
    EmptySwimboardException,
    EventPosition,
    EventTrigger,
    Grid,
    Helper,
    Lane,
    LoopType,
    Pool,
    Shape,
    SubprocessForm,
    Swimboard,
    TaskType,
    TextBlock,
    UnconnectedElementException,
    load,
)

__all__ = [
    "AssociationDirection",
    "Connection",
    "Coordinate",
    "DanglingElementException",
    "DataRole",
    "ElementType",
    "EmptySwimboardException",
    "EventPosition",
    "EventTrigger",
    "Grid",
    "Helper",
    "Lane",
    "LoopType",
    "Pool",
    "Shape",
    "SubprocessForm",
    "Swimboard",
    "TaskType",
    "TextBlock",
    "UnconnectedElementException",
    "load",
]


class _GridRows(_Mapping):
    """The rows of one lane of a grid, read live: row key ("row1") to the list of cells, a cell
    being a Shape or None."""

    def __init__(self, grid, lane_id):
        self._grid = grid
        self._lane_id = lane_id

    def _keys(self):
        keys = self._grid._row_keys(self._lane_id)
        return [] if keys is None else keys

    def __getitem__(self, key):
        if not isinstance(key, str):
            raise KeyError(key)
        cells = self._grid._row_cells(self._lane_id, key)
        if cells is None:
            raise KeyError(key)
        return cells

    def __iter__(self):
        return iter(self._keys())

    def __len__(self):
        return len(self._keys())

    def __repr__(self):
        return repr(dict(self.items()))


class _GridLanes(_Mapping):
    """A grid's cells, read live: lane id to its rows, lanes and rows in creation order."""

    def __init__(self, grid):
        self._grid = grid

    def __getitem__(self, lane_id):
        if not isinstance(lane_id, str) or lane_id not in self._grid._lane_ids():
            raise KeyError(lane_id)
        return _GridRows(self._grid, lane_id)

    def __iter__(self):
        return iter(self._grid._lane_ids())

    def __len__(self):
        return len(self._grid._lane_ids())

    def __repr__(self):
        return repr({lane: dict(rows.items()) for lane, rows in self.items()})


def _grid_map(grid):
    return _GridLanes(grid)


def _get_grid_items(grid):
    return _GridLanes(grid).items()


_grid_map.__doc__ = "The layout, read live: lane id to row key to the list of cells."
_get_grid_items.__doc__ = (
    "The (lane id, rows) pairs of the grid in creation order, as a live view: cells placed "
    "later are seen through it."
)
Grid._grid = property(_grid_map)
Grid.get_grid_items = _get_grid_items
