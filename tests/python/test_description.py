"""A script and the equivalent description give byte-identical files."""
import subprocess
import sys
import textwrap

import pytest

DESCRIPTION = """\
title: Claims
theme: DEFAULT
title_font_size: 22
element_font_size: 11
footer: {text: Drawn from a script, font_size: 9}
pools:
  - name: Insurer
    lanes:
      - name: Intake
        shapes:
          - {id: filed, name: Claim filed, type: start}
          - {id: check, name: Check claim, type: task}
          - {id: valid, name: "Valid?", type: exclusive}
          - {id: refused, name: Claim refused, type: end}
      - name: Payments
        font_size: 13
        shapes:
          - {id: pay, name: Pay claim, type: task}
          - {id: notify, name: Notify, type: message}
lanes:
  - name: Customer
    shapes:
      - {id: paid, name: Paid, type: end}
connections:
  - {from: filed, to: check}
  - {from: check, to: valid}
  - {from: valid, to: pay, label: "yes"}
  - {from: valid, to: refused, label: "no"}
  - {from: pay, to: notify}
  - {from: notify, to: paid}
"""

SCRIPT = textwrap.dedent("""\
    import sys
    from orvane import ElementType, Swimboard

    out = sys.argv[1]
    with Swimboard("Claims", colour_theme="DEFAULT", painter_type=sys.argv[2]) as board:
        board.set_title_font_size(22)
        insurer = board.add_pool("Insurer")
        intake = insurer.add_lane("Intake")
        filed = intake.add_element("Claim filed", ElementType.START)
        check = intake.add_element("Check claim", ElementType.TASK)
        valid = intake.add_element("Valid?", ElementType.EXCLUSIVE)
        refused = intake.add_element("Claim refused", ElementType.END)
        payments = insurer.add_lane("Payments", font_size=13)
        pay = payments.add_element("Pay claim", ElementType.TASK)
        notify = payments.add_element("Notify", ElementType.MESSAGE)
        paid = board.add_lane("Customer").add_element("Paid", ElementType.END)
        # The description's ids are the exported ids.
        for shape, id in ((filed, "filed"), (check, "check"), (valid, "valid"),
                          (refused, "refused"), (pay, "pay"), (notify, "notify"), (paid, "paid")):
            shape.bpmn_id = id
        filed.connect(check)
        check.connect(valid)
        valid.connect(pay, "yes")
        valid.connect(refused, "no")
        pay.connect(notify)
        notify.connect(paid)
        board.set_element_font_size(11)
        board.set_footer("Drawn from a script", font_size=9)
        board.draw()
        board.save(out + "." + sys.argv[2])
        if sys.argv[2] == "png":
            board.export_to_bpmn(out + ".bpmn")
            board.export_to_drawio(out + ".drawio")
""")


def test_script_and_description_write_the_same_files(tmp_path, orvane_exe):
    (tmp_path / "claims.yaml").write_text(DESCRIPTION, encoding="utf-8")
    (tmp_path / "claims.py").write_text(SCRIPT, encoding="utf-8")
    cli, script = tmp_path / "cli", tmp_path / "script"
    subprocess.run([orvane_exe, "render", str(tmp_path / "claims.yaml"), "-o", f"{cli}.png",
                    "--bpmn", f"{cli}.bpmn", "--drawio", f"{cli}.drawio"], check=True)
    subprocess.run([orvane_exe, "render", str(tmp_path / "claims.yaml"), "-o", f"{cli}.svg"],
                   check=True)
    # Each in a fresh process, as the command runs, so generated identifiers start alike.
    for kind in ("png", "svg"):
        subprocess.run([sys.executable, str(tmp_path / "claims.py"), str(script), kind],
                       check=True)
    for extension in ("png", "svg", "bpmn", "drawio"):
        produced = (tmp_path / f"script.{extension}").read_bytes()
        assert produced == (tmp_path / f"cli.{extension}").read_bytes(), extension
        assert len(produced) > 1000


def test_load_builds_the_described_diagram(tmp_path, orvane_exe):
    import orvane

    (tmp_path / "claims.yaml").write_text(DESCRIPTION, encoding="utf-8")
    subprocess.run([orvane_exe, "render", str(tmp_path / "claims.yaml"), "-o",
                    str(tmp_path / "cli.pdf")], check=True)
    board = orvane.load(tmp_path / "claims.yaml", painter_type="pdf")
    assert board.title == "Claims" and [p.name for p in board._pools][0] == "Insurer"
    board.draw()
    board.save(tmp_path / "loaded.pdf")
    assert (tmp_path / "loaded.pdf").read_bytes() == (tmp_path / "cli.pdf").read_bytes()
    (tmp_path / "bad.yaml").write_text("title: x\npools:\n  - name: P\n    lanse: []\n",
                                       encoding="utf-8")
    with pytest.raises(ValueError, match=r"bad\.yaml:4:5: error: unknown key 'lanse'"):
        orvane.load(str(tmp_path / "bad.yaml"))
