"""Prints the requirements of one extra of pyproject.toml, one a line, or only
those whose name is given: how a stage installs what an extra pins without
reinstalling (and so rebuilding) the package itself.

Usage: python tools/extra_pins.py EXTRA [NAME...]"""
import pathlib
import re
import sys

try:
    import tomllib
except ModuleNotFoundError:  # Python 3.10 (the test extra brings tomli)
    import tomli as tomllib


def pins(extra, names=()):
    project = pathlib.Path(__file__).resolve().parent.parent / "pyproject.toml"
    with open(project, "rb") as source:
        wanted = tomllib.load(source)["project"]["optional-dependencies"][extra]
    if not names:
        return wanted
    return [pin for pin in wanted if re.split(r"[<>=!~;\[ ]", pin, 1)[0] in names]


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    found = pins(sys.argv[1], sys.argv[2:])
    if not found:
        sys.exit("no requirement of %s named %s" % (sys.argv[1], " ".join(sys.argv[2:])))
    print("\n".join(found))
