"""Shared fixtures: a small diagram, the source folder and the orvane command."""
import os
import pathlib

import pytest

from orvane import ElementType, Helper, Swimboard

SOURCE_DIR = pathlib.Path(os.environ.get("ORVANE_SOURCE_DIR", pathlib.Path(__file__).parents[2]))


@pytest.fixture(autouse=True)
def quiet_helper():
    """Every test starts and ends with no trace category shown."""
    Helper.set_show_levels(set())
    Helper.show_layout_grid = False
    Helper.show_x_position = False
    yield
    Helper.set_show_levels(set())
    Helper.show_layout_grid = False
    Helper.show_x_position = False


def build_order(board):
    """One pool with two lanes: start -> task -> gateway -> (task in the other lane, end)."""
    shop = board.add_pool("Shop")
    sales = shop.add_lane("Sales")
    store = shop.add_lane("Store")
    start = sales.add_element("Received", ElementType.START)
    check = sales.add_element("Check", ElementType.TASK)
    gate = sales.add_element("In stock?", ElementType.EXCLUSIVE)
    ship = store.add_element("Ship", ElementType.TASK)
    end = sales.add_element("Rejected", ElementType.END)
    start.connect(check)
    check.connect(gate)
    gate.connect(ship, "yes")
    gate.connect(end, "no")
    return {"pool": shop, "sales": sales, "store": store, "start": start, "check": check,
            "gate": gate, "ship": ship, "end": end}


@pytest.fixture
def order():
    board = Swimboard("Order handling")
    parts = build_order(board)
    parts["board"] = board
    return parts


@pytest.fixture
def orvane_exe():
    exe = os.environ.get("ORVANE_EXE")
    if not exe:
        pytest.skip("ORVANE_EXE names the orvane command")
    return exe
