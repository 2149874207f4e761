"""orvane.load takes the input ceilings the command's --max-* options set."""
import pytest

import orvane


def description(shapes):
    lines = ["title: Chain", "pools:", "  - name: Pool", "    lanes:", "      - name: Lane",
             "        shapes:"]
    lines += [f"          - {{id: s{i}, name: Step {i}, type: task}}" for i in range(shapes)]
    lines.append("connections:")
    lines += [f"  - {{from: s{i}, to: s{i + 1}}}" for i in range(shapes - 1)]
    return "\n".join(lines) + "\n"


def test_each_ceiling_reaches_the_reader_and_names_its_figure(tmp_path):
    path = tmp_path / "chain.yaml"
    path.write_text(description(5), encoding="utf-8")
    assert len(orvane.load(path)._pools[0].lanes[0].shapes) == 5
    with pytest.raises(ValueError, match=r"more than 4 shapes"):
        orvane.load(path, max_shapes=4)
    with pytest.raises(ValueError, match=r"more than 3 connections"):
        orvane.load(path, max_connections=3)
    # Exactly at the ceilings is allowed, and far above the defaults too.
    orvane.load(path, max_shapes=5, max_connections=4)
    orvane.load(path, max_input_mb=100_000, max_shapes=10**12, max_connections=10**12)


def test_a_file_over_the_size_ceiling_loads_once_it_is_raised(tmp_path):
    path = tmp_path / "large.yaml"
    text = description(3)
    # Comments make the file larger than 1 MiB without adding to the diagram.
    path.write_text(text + ("# padding " * 100 + "\n") * 1200, encoding="utf-8")
    assert path.stat().st_size > 1 << 20
    with pytest.raises(ValueError, match=r"larger than 1048576 bytes"):
        orvane.load(path, max_input_mb=1)
    assert len(orvane.load(path, max_input_mb=2)._pools[0].lanes[0].shapes) == 3


@pytest.mark.parametrize("name", ["max_input_mb", "max_shapes", "max_connections"])
def test_ceilings_are_whole_numbers_of_one_or_more_given_by_name(tmp_path, name):
    path = tmp_path / "chain.yaml"
    path.write_text(description(2), encoding="utf-8")
    for bad in (0, -1, -10**30):
        with pytest.raises(ValueError, match=rf"load\(\) argument '{name}' must be 1 or more"):
            orvane.load(path, **{name: bad})
    with pytest.raises(ValueError, match=rf"'{name}' is out of range"):
        orvane.load(path, **{name: 10**40})
    for wrong in (1.5, "10", True):
        with pytest.raises(TypeError, match=name):
            orvane.load(path, **{name: wrong})
    with pytest.raises(TypeError):
        orvane.load(path, None, 5)  # keywords only
