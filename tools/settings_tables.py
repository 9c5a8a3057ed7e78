"""Writes the tools' settings tables (the module `vkt._settings_tables`) from
the typed stub of `unit`, at build time.

`unit` checks every setting name against tables of its own but exposes none
of them; its stub documents them as one ``Literal`` alias per model and
direction (``_KTX21IntName``, ``_KTX21TextName``, ``_KTX21SetName``, ...), and
the test suite holds those aliases to what the module accepts. The build turns
them into plain Python data here, so that the installed tools never depend on
a .pyi file being present (or on which one a search path finds first).

Usage: settings_tables.py STUB OUTPUT VERSION
"""
from __future__ import annotations

import ast
import pathlib
import pprint
import sys

MODELS = ("SNR11", "SN2200", "TK560", "KTX21", "KTX22", "MR250")
INT32 = (-2**31, 2**31 - 1)
UINT32 = (0, 2**32 - 1)


def literal_names(node: ast.expr) -> list[str]:
    if not (isinstance(node, ast.Subscript) and isinstance(node.value, ast.Name)
            and node.value.id == "Literal"):
        return []
    items = node.slice.elts if isinstance(node.slice, ast.Tuple) else [node.slice]
    return [item.value for item in items
            if isinstance(item, ast.Constant) and isinstance(item.value, str)]


def aliases(stub: str) -> dict[str, list[str]]:
    """Every ``Literal`` alias of the stub, by alias name."""
    found: dict[str, list[str]] = {}
    for node in ast.parse(stub).body:
        if isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name) \
                and node.value is not None:
            found[node.target.id] = literal_names(node.value)
    return found


def table(model: str, names: dict[str, list[str]]) -> list[tuple[object, ...]]:
    """A model's rows in the library's order, readable names first, then the
    write-only ones: (name, kind, readable, writable, low, high)."""
    ints = names.get("_%sIntName" % model, []) + names.get("_%sGetName" % model, [])
    texts = names.get("_%sTextName" % model, [])
    written = names.get("_%sSetName" % model, [])
    unsigned = set(names.get("_UIntName", []))

    def row(name: str, readable: bool) -> tuple[object, ...]:
        if name in texts:
            return (name, "text", readable, name in written, None, None)
        low, high = UINT32 if name in unsigned else INT32
        return (name, "int", readable, name in written, low, high)

    rows = [row(name, True) for name in ints + texts]
    rows += [row(name, False) for name in written if name not in ints + texts]
    if not rows:
        raise SystemExit("the stub documents no settings of %s" % model)
    return rows


def main(argv: list[str]) -> int:
    stub, output, version = argv
    names = aliases(pathlib.Path(stub).read_text(encoding="utf-8"))
    tables = {model: tuple(table(model, names)) for model in MODELS}
    text = ('"""The settings tables of every board model, written by the build from the\n'
            'stub of `unit` (tools/settings_tables.py): do not edit."""\n\n'
            "PACKAGE_VERSION = %r\n\n"
            "# model: ((name, kind, readable, writable, low, high), ...) in the\n"
            "# library's order; low and high bound an integer setting's value.\n"
            "TABLES = %s\n" % (version, pprint.pformat(tables, width=96)))
    target = pathlib.Path(output)
    target.parent.mkdir(parents=True, exist_ok=True)
    # Rewritten only when it changes, so that a rebuild leaves it alone.
    if not target.is_file() or target.read_text(encoding="utf-8") != text:
        target.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
