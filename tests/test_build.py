"""How the modules were built: the pinned pybind11, and one device library
shared by both modules."""
import pathlib
import re

try:
    import tomllib
except ModuleNotFoundError:   # Python 3.10: the same reader, as a package
    import tomli as tomllib

import pytest

import unit
import vktsim
from conftest import loaded_device_library

REPO = pathlib.Path(__file__).resolve().parent.parent
BUILD_MARK = re.compile(rb"built with pybind11 ([0-9A-Za-z.]+), internals ([0-9]+)")


def pinned_pybind11():
    with open(REPO / "pyproject.toml", "rb") as project:
        requires = tomllib.load(project)["build-system"]["requires"]
    pins = [r.split("==", 1)[1] for r in requires if r.split("==", 1)[0].strip() == "pybind11"]
    assert len(pins) == 1, requires
    return pins[0].strip()


def build_marks(module):
    return BUILD_MARK.findall(pathlib.Path(module.__file__).read_bytes())


@pytest.mark.parametrize("module", [unit, vktsim], ids=["unit", "vktsim"])
def test_module_was_built_with_the_pinned_pybind11(module):
    marks = build_marks(module)
    assert len(marks) == 1, marks
    version, _internals = marks[0]
    assert version.decode() == pinned_pybind11()


def test_both_modules_share_pybind11_internals():
    # Types registered by vktsim are usable from unit only under the same internals.
    assert build_marks(unit) == build_marks(vktsim)


def test_both_modules_use_one_device_library():
    # loaded_device_library() fails when two files were loaded under the soname.
    assert loaded_device_library().is_file()
    # An object unit makes is one vktsim counts and names: one registry.
    before = vktsim.live_objects()
    board = unit.SNR11()
    board.open(1)
    assert vktsim.live_objects() == before + 1
    assert vktsim.journal()[-1] == ("CxSNR11::Open", (vktsim.ident(board), 1))
