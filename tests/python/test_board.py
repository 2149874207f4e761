"""The diagram object from Python: the record, the scope, building, checking, output."""
import re

import pytest

import orvane
import orvane.lane
import orvane.swimboard
from orvane import (DanglingElementException, ElementType, EmptySwimboardException, Helper,
                    Swimboard, UnconnectedElementException)


def test_defaults_and_fields_in_order():
    board = Swimboard()
    assert (board.title, board.width, board.height, board.auto_size, board.colour_theme,
            board.painter_type) == ("<Process Map Title>", 5000, 5000, True, "DEFAULT", "png")
    assert board._title.text == "<Process Map Title>"
    assert board._footer is None and board._pools == []
    assert (board.next_shape_x, board.lane_y_pos, board.lane_max_width) == (0, 0, 0)
    text = repr(board)
    names = ["title", "width", "height", "auto_size", "colour_theme", "painter_type", "_title",
             "_footer", "_pools", "next_shape_x", "lane_y_pos", "lane_max_width"]
    positions = [text.index(name + "=") for name in names]
    assert positions == sorted(positions)


def test_arguments_by_position_and_by_name():
    board = Swimboard("T", 800, 600, False, "DEFAULT", "svg")
    assert (board.width, board.height, board.auto_size, board.painter_type) == (800, 600, False,
                                                                              "svg")
    named = Swimboard(painter_type="pdf", width=900)
    assert (named.title, named.width, named.height, named.painter_type) == (
        "<Process Map Title>", 900, 5000, "pdf")


def test_unknown_painter_and_theme_are_refused():
    with pytest.raises(ValueError, match="painter"):
        Swimboard(painter_type="gif")
    with pytest.raises(ValueError, match="theme"):
        Swimboard(colour_theme="NO SUCH THEME")


def test_scope_returns_the_board_and_passes_exceptions_on(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    board = Swimboard("Scoped")
    with board as entered:
        assert entered is board
        entered.add_lane("Lane").add_element("A", ElementType.TASK)
    assert list(tmp_path.iterdir()) == []  # leaving the scope neither draws nor saves
    with pytest.raises(KeyError, match="inside"):
        with Swimboard() as failing:
            failing.add_pool("P")
            raise KeyError("inside")
    assert board.__exit__(None, None, None) is None


def test_equality_compares_the_declared_fields():
    a, b = Swimboard("Same"), Swimboard("Same")
    assert a == b and not (a != b)
    a.add_pool("P")
    assert a != b
    b.add_pool("P")
    # Pools carry their generated identifiers, which differ between two live diagrams.
    b._pools[0].bpmn_id = a._pools[0].bpmn_id
    b._pools[0].bpmn_collaboration_id = a._pools[0].bpmn_collaboration_id
    assert a == b
    assert Swimboard("Other") != Swimboard("Same")
    assert (a == "Same") is False
    with pytest.raises(TypeError):
        hash(a)


def test_pools_lanes_and_their_defaults():
    board = Swimboard()
    pool = board.add_pool("Shop")
    assert board._pools == [pool]
    assert pool.text_alignment == "centre" and pool.font and pool.font_size > 0
    assert pool.bpmn_id and pool.bpmn_collaboration_id and pool.bpmn_id != pool.bpmn_collaboration_id
    assert board.add_pool("Sized", font_size=14).font_size == 14
    assert board.add_pool("Unaligned", text_alignment="").text_alignment == ""
    first, second = board.add_lane("One"), board.add_lane("Two", text_alignment="")
    defaults = board._pools[-2:]
    assert [p.name for p in defaults] == ["Default Pool", "Default Pool"]
    assert [p.lanes for p in defaults] == [[first], [second]]
    assert second.text_alignment  # the painter's lane alignment fills an empty one
    assert board._get_pool_by_name("Default Pool") is defaults[0]
    assert board._get_pool_by_name("Nowhere") is None
    assert board._get_lane_by_id(first.id) is first
    assert board._get_lane_by_id("no such lane") is None
    # A lane added to a pool keeps its empty styles: the theme's lane style draws them.
    in_pool = pool.add_lane("Sales")
    assert (in_pool.font, in_pool.font_size, in_pool.text_alignment) == ("", 0, "centre")
    assert pool.lanes == [in_pool]


def test_footer_and_font_sizes():
    board = Swimboard()
    board.set_footer("first")
    board.set_footer("second", font_size=9)
    assert board._footer.text == "second" and board._footer.font_size == 9
    board.set_title_font_size(30)
    assert board._title.font_size == 30
    shape = board.add_lane("L").add_element("A", ElementType.TASK)
    board.set_element_font_size(15)
    assert shape.font_size == 15
    later = board._pools[0].lanes[0].add_element("B", ElementType.TASK)
    assert later.font_size != 15


def test_validation_exceptions_and_messages():
    for kind in (EmptySwimboardException, UnconnectedElementException, DanglingElementException):
        assert issubclass(kind, Exception) and kind.__module__ == "orvane"
    board = Swimboard("")
    with pytest.raises(EmptySwimboardException) as caught:
        board.draw()
    assert str(caught.value) == "The process map must contain at least one pool or lane"
    board._title = None
    with pytest.raises(ValueError) as caught:
        board._validate()
    assert str(caught.value) == "The process map must contain a title"
    assert board._title is None
    with pytest.raises(TypeError):
        board._title = "a title"

    empty_lane = Swimboard()
    empty_lane.add_lane("Empty")
    with pytest.raises(EmptySwimboardException) as caught:
        empty_lane.draw()
    assert str(caught.value) == "The process map must contain at least one shape"

    no_lanes = Swimboard()
    no_lanes.add_lane("L").add_element("A", ElementType.TASK)
    no_lanes.add_pool("Empty pool")
    with pytest.raises(IndexError, match="Empty pool"):
        no_lanes.draw()


def test_scripts_raise_the_exception_kinds_with_their_own_messages(order):
    board = order["board"]
    order["sales"].add_element("Loose", ElementType.TASK)
    with pytest.raises(UnconnectedElementException, match="^Loose$"):
        for name in board._get_orphan_elements():
            raise UnconnectedElementException(name)
    with pytest.raises(DanglingElementException, match="^Loose$"):
        for name in board._get_dangling_elements():
            raise DanglingElementException(name)


def test_orphans_and_dangling_elements(order):
    board = order["board"]
    assert board._get_orphan_elements() == []
    assert board._get_dangling_elements() == []
    lone_start = order["sales"].add_element("Lone start", ElementType.START)
    lone_task = order["store"].add_element("Lone task", ElementType.TASK)
    feeder = order["store"].add_element("Feeder", ElementType.TASK)
    feeder.connect(order["ship"])
    assert board._get_orphan_elements() == ["Lone start", "Lone task"]
    assert board._get_dangling_elements() == ["Lone task", "Feeder"]
    assert lone_start.class_name == "Start" and lone_task.element_type is ElementType.TASK


def test_draw_save_and_export(order, tmp_path, capsys):
    board = order["board"]
    assert board._repr_png_() is None
    board.draw()
    assert board.width < 5000 and board.height < 5000 and board.lane_max_width > 0
    board.save(tmp_path / "order.png")
    board.save(str(tmp_path / "order2.png"))
    board.export_to_bpmn(tmp_path / "order.bpmn")
    board.export_to_drawio(str(tmp_path / "order.drawio"))
    png = (tmp_path / "order.png").read_bytes()
    assert png.startswith(b"\x89PNG") and png == board.to_png()
    assert b"<definitions" in (tmp_path / "order.bpmn").read_bytes() or \
        b"bpmn:definitions" in (tmp_path / "order.bpmn").read_bytes()
    assert b"<mxfile" in (tmp_path / "order.drawio").read_bytes()
    log = capsys.readouterr().err
    assert re.search(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[INFO\] : Took \[\d+\.\d\dms\] to generate "
                     r"'.*order\.png' diagram", log)
    assert log.count("Took [") == 2
    assert board._repr_png_() == png and board._repr_svg_() is None
    assert board.to_pdf().startswith(b"%PDF")
    with pytest.raises(ValueError, match="renders png and pdf"):
        board.to_svg()
    assert order["start"].coord.x_pos > 0 and order["ship"].coord.y_pos > order["start"].coord.y_pos
    route = order["gate"].connection_to[0].waypoints
    assert len(route) >= 2 and all(len(point) == 2 for point in route)


def test_an_svg_diagram_shows_itself_as_svg():
    board = Swimboard("Vector", painter_type="svg")
    board.add_lane("L").add_element("A", ElementType.TASK)
    assert board._repr_svg_() is None
    board.draw()
    svg = board.to_svg()
    assert b"<svg" in svg and board._repr_svg_() == svg.decode()
    assert board._repr_png_() is None
    with pytest.raises(ValueError, match="renders svg"):
        board.to_png()


def test_a_failed_write_raises_and_is_not_logged(order, tmp_path, capsys):
    board = order["board"]
    board.draw()
    with pytest.raises(RuntimeError, match="cannot write"):
        board.save(tmp_path / "missing" / "order.png")
    assert "Took [" not in capsys.readouterr().err


def test_replacement_is_seen_through_kept_references(order):
    board = order["board"]
    message = order["store"].add_element("Notify", ElementType.MESSAGE)
    order["ship"].connect(message)
    board.draw()
    replaced = order["store"].shapes[-1]
    assert replaced.class_name == "MessageEnd" and replaced.name == "Notify"
    assert replaced.bpmn_id == message.bpmn_id
    assert order["ship"].connection_to[0].target is replaced
    assert message.class_name == "Message"  # the old shape stays usable


def test_traces_go_to_sys_stdout(order, capsys):
    board = order["board"]
    board.draw()
    assert capsys.readouterr().out == ""
    Helper.set_show_levels({"layout_grid"})
    assert Helper.show_levels() == {"layout_grid"}
    board.draw()
    out = capsys.readouterr().out
    assert "Traversing Received" in out and "[red]" not in out
    Helper.set_show_levels({"all"})
    Helper.show_layout_grid = True
    board.draw()
    assert "row1" in capsys.readouterr().out
    Helper.printc(["one ", "two"], 34, show_level="draw", end="!\n")
    assert capsys.readouterr().out == "one two!\n"
    Helper.set_show_levels(set())
    Helper.printc("hidden", show_level="draw")
    assert capsys.readouterr().out == ""
    Helper.info_log("by hand")
    assert "[INFO] : by hand" in capsys.readouterr().err


def test_element_types_come_from_the_library_table():
    assert ElementType.MESSAGE.value == "Message"
    assert ElementType.CONDITIONAL_INTERMEDIATE.value == "ConditionalIntermediate"
    board = Swimboard()
    lane = board.add_lane("L")
    placed = 0
    for member in ElementType:
        try:
            shape = lane.add_element(member.name, member)
        except ValueError:
            continue  # kinds that stand in no lane cell have calls of their own
        assert shape.element_type is member and shape.class_name == member.value
        placed += 1
    assert placed >= 22
    assert orvane.swimboard.Swimboard is Swimboard and orvane.lane.ElementType is ElementType
