"""orvane.load reads BPMN files as the command does: same picture, same written-back file."""
import shutil
import subprocess

import pytest

import orvane
from conftest import SOURCE_DIR

FIXTURES = SOURCE_DIR / "tests" / "read" / "fixtures"


def test_load_reads_a_bpmn_file_known_by_its_content(tmp_path, orvane_exe):
    # The name says nothing of the format: the content does.
    model = tmp_path / "collaboration.model"
    shutil.copy(FIXTURES / "collaboration.bpmn", model)
    subprocess.run([orvane_exe, "-q", "render", str(model), "-o", str(tmp_path / "cli.svg"),
                    "--bpmn", str(tmp_path / "cli.bpmn")], check=True)

    board = orvane.load(model, painter_type="svg")
    # Pools in the order the file's diagram draws them, black-box pool included.
    assert [pool.name for pool in board._pools] == ["Shop", "Warehouse", "Customer"]
    assert "Sales / Back office" in [lane.name for lane in board._pools[0].lanes]
    board.draw()
    board.save(tmp_path / "loaded.svg")
    board.export_to_bpmn(tmp_path / "loaded.bpmn")
    assert (tmp_path / "loaded.svg").read_bytes() == (tmp_path / "cli.svg").read_bytes()
    written = (tmp_path / "loaded.bpmn").read_bytes()
    assert written == (tmp_path / "cli.bpmn").read_bytes()
    # Written back, not exported anew: the document's own extension is still there.
    assert b'<ext:owner name="sales team"/>' in written


def test_load_refuses_a_bad_bpmn_file_with_its_line_and_column(tmp_path):
    shutil.copy(SOURCE_DIR / "tests" / "read" / "bad" / "dangling-reference.bpmn",
                tmp_path / "dangling.bpmn")
    with pytest.raises(ValueError, match=r"dangling\.bpmn:6:5: error: the targetRef of "
                                         r"sequenceFlow 'f' names 'nowhere'"):
        orvane.load(tmp_path / "dangling.bpmn")
    (tmp_path / "broken.bpmn").write_text("<definitions><process>", encoding="utf-8")
    with pytest.raises(ValueError, match=r"broken\.bpmn:1:\d+: error: "):
        orvane.load(tmp_path / "broken.bpmn")
