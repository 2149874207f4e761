"""The README's Python example, run exactly as written."""
import re

from conftest import SOURCE_DIR


def readme_example():
    text = (SOURCE_DIR / "README.md").read_text(encoding="utf-8")
    section = text.split("## Using orvane from Python", 1)[1]
    return re.search(r"```python\n(.*?)```", section, re.S).group(1)


def test_the_readme_example_runs(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    exec(compile(readme_example(), "README.md", "exec"), {"__name__": "__readme__"})
    assert (tmp_path / "order.png").read_bytes().startswith(b"\x89PNG")
    assert "Order received" in (tmp_path / "order.bpmn").read_text(encoding="utf-8")
    assert "Ship order" in (tmp_path / "order.drawio").read_text(encoding="utf-8")
