"""The type stubs and docstrings describe the module as it is."""
import ast
import enum
import pathlib
import re

import pytest

import orvane

STUB = pathlib.Path(orvane.__file__).with_name("__init__.pyi")
# Primitives of the live grid mapping, used by the package itself.
INTERNAL = {"_lane_ids", "_row_keys", "_row_cells"}


def stub_classes():
    tree = ast.parse(STUB.read_text(encoding="utf-8"))
    classes = {}
    for node in tree.body:
        if not isinstance(node, ast.ClassDef):
            continue
        members = {}
        for item in node.body:
            if isinstance(item, ast.FunctionDef):
                members[item.name] = [a.arg for a in item.args.args + item.args.kwonlyargs]
            elif isinstance(item, ast.AnnAssign):
                members[item.target.id] = None
            elif isinstance(item, ast.Assign):
                members[item.targets[0].id] = None
        classes[node.name] = members
    return classes


def runtime_members(cls):
    return {name for name in vars(cls)
            if not (name.startswith("__") and name.endswith("__")) and name not in INTERNAL
            and not name.startswith("_pybind11")}


def runtime_parameters(function):
    signature = (function.__doc__ or "").splitlines()[0]
    inside = signature[signature.index("(") + 1:signature.rindex(")")]
    names = re.findall(r"(?:^|, )\*?(\w+)(?=[:,=]|$)", inside)
    return [n for n in names if n != "self"] if names else []


CLASSES = sorted(name for name in orvane.__all__ if isinstance(getattr(orvane, name), type))
ENUMS = sorted(name for name in CLASSES if isinstance(getattr(orvane, name), enum.EnumMeta))
EXCEPTIONS = sorted(name for name in CLASSES if issubclass(getattr(orvane, name), BaseException))


def test_the_stub_lists_every_name_of_the_package():
    functions = {node.name for node in ast.parse(STUB.read_text(encoding="utf-8")).body
                 if isinstance(node, ast.FunctionDef)}
    assert set(stub_classes()) | functions == set(orvane.__all__)
    assert runtime_parameters(orvane.load) == ["path", "painter_type", "max_input_mb", "max_shapes",
                                              "max_connections"]


@pytest.mark.parametrize("name", ENUMS)
def test_the_stub_lists_every_member_of_each_enumeration(name):
    assert set(stub_classes()[name]) == set(getattr(orvane, name).__members__)


@pytest.mark.parametrize("name", sorted(set(CLASSES) - set(ENUMS) - set(EXCEPTIONS)))
def test_the_stub_matches_each_class(name):
    cls = getattr(orvane, name)
    stub = stub_classes()[name]
    wanted = {member for member in stub if not member.startswith("__")}
    assert runtime_members(cls) == wanted
    for member, parameters in stub.items():
        if parameters is None or member.startswith("__"):
            continue
        attribute = vars(cls)[member]
        if isinstance(attribute, property) or not callable(getattr(cls, member)):
            continue
        if member in ("get_grid_items",):
            continue
        stub_parameters = [p for p in parameters if p not in ("self", "cls")]
        assert runtime_parameters(getattr(cls, member)) == stub_parameters, member


def documentation(function):
    """The text of a docstring without pybind11's signature line."""
    text = function.__doc__ or ""
    if text.startswith(function.__name__ + "("):
        text = "\n".join(text.splitlines()[1:])
    return text.strip()


def test_classes_and_operations_carry_their_documentation():
    missing = []
    for name in CLASSES:
        cls = getattr(orvane, name)
        if not (cls.__doc__ or "").strip():
            missing.append(name)
        if name in ENUMS or name in EXCEPTIONS:
            continue
        for member in runtime_members(cls):
            attribute = getattr(cls, member)
            if callable(attribute) and not isinstance(vars(cls)[member], property):
                if not documentation(attribute):
                    missing.append(f"{name}.{member}")
    assert missing == []
