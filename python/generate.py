#!/usr/bin/env python3
"""Generates what the Python module takes from the public headers.

- docstrings.inc: one C++ initialiser line {"Class.member", "text"} per documented declaration,
  from the `///` lines above it (a class's own lines under "Class", a constructor's under
  "Class.Class").
- __init__.pyi: the stub template with the ElementType members of the element type enumeration.
"""
import argparse
import pathlib
import re

CLASS_RE = re.compile(r"^\s*(?:class|struct)\s+(?:ORVANE_API\s+)?(\w+)\b[^;]*$")
ENUM_RE = re.compile(r"^\s*enum\s+class\s+(\w+)")
NAME_BEFORE_PAREN_RE = re.compile(r"(~?\w+)\s*\($")
FIELD_RE = re.compile(r"(\w+)\s*(?:=[^;]*)?;\s*$")


def declaration_name(line):
    """The name a declaration line declares, or None."""
    code = line.split("//")[0].strip()
    if not code or code.startswith(("#", "}", "public:", "private:", "protected:")):
        return None
    if code.startswith("using ") or "operator" in code:
        return None
    paren = code.find("(")
    if paren >= 0:
        match = NAME_BEFORE_PAREN_RE.search(code[: paren + 1])
        return match.group(1) if match else None
    match = FIELD_RE.search(code)
    return match.group(1) if match else None


def brace_delta(line):
    code = re.sub(r'"(?:\\.|[^"\\])*"', '""', line.split("//")[0])
    return code.count("{") - code.count("}")


def docstrings(header_dir):
    docs = {}
    for header in sorted(pathlib.Path(header_dir).glob("*.hpp")):
        scopes = []  # (class name, brace depth inside the class)
        depth = 0
        pending = []
        for line in header.read_text(encoding="utf-8").splitlines():
            stripped = line.strip()
            if stripped.startswith("///"):
                pending.append(stripped[3:].strip())
                continue
            if pending and stripped:
                text = " ".join(pending)
                owner = scopes[-1][0] if scopes else None
                class_match = CLASS_RE.match(line) or ENUM_RE.match(line)
                if class_match:
                    key = class_match.group(1)
                else:
                    name = declaration_name(line)
                    key = None
                    if name and owner:
                        key = f"{owner}.{name}"
                    elif name:
                        key = name
                if key:
                    if key in docs and text not in docs[key]:
                        docs[key] += "\n" + text
                    else:
                        docs.setdefault(key, text)
            if stripped:
                pending = []
            class_match = CLASS_RE.match(line)
            depth += brace_delta(line)
            if class_match and "{" in line:
                scopes.append((class_match.group(1), depth))
            while scopes and depth < scopes[-1][1]:
                scopes.pop()
    return docs


# The headers speak C++; the docstrings speak of what Python sees.
TRANSLATIONS = [
    ("std::invalid_argument", "ValueError"),
    ("std::out_of_range", "KeyError"),
    ("std::logic_error", "RuntimeError"),
    ("std::runtime_error", "RuntimeError"),
    ("nullptr", "None"),
    ("Throws", "Raises"),
    ("throws", "raises"),
    ("::", "."),
]


def pythonic(text):
    for cpp, python in TRANSLATIONS:
        text = text.replace(cpp, python)
    return text


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def element_type_members(header_dir):
    text = (pathlib.Path(header_dir) / "element_type.hpp").read_text(encoding="utf-8")
    body = re.search(r"enum\s+class\s+ElementType\s*\{(.*?)\};", text, re.S).group(1)
    return re.findall(r"^\s*([A-Z][A-Z0-9_]*)\s*(?:=[^,]*)?,?", body, re.M)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--headers", required=True)
    parser.add_argument("--docstrings", required=True)
    parser.add_argument("--stub-template", required=True)
    parser.add_argument("--stub", required=True)
    args = parser.parse_args()

    docs = docstrings(args.headers)
    out = pathlib.Path(args.docstrings)
    out.parent.mkdir(parents=True, exist_ok=True)
    lines = [f"{{{c_string(key)}, {c_string(pythonic(text))}}},"
             for key, text in sorted(docs.items())]
    out.write_text("\n".join(lines) + "\n", encoding="utf-8")

    members = "\n".join(f"    {m} = ..." for m in element_type_members(args.headers))
    stub = pathlib.Path(args.stub_template).read_text(encoding="utf-8")
    stub = stub.replace("    @ELEMENT_TYPE_MEMBERS@", members)
    target = pathlib.Path(args.stub)
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_text(stub, encoding="utf-8")


if __name__ == "__main__":
    main()
