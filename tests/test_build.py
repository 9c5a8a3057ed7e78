"""How the modules were built: the pinned pybind11, one device library
shared by both modules, and name tables that no toolchain can merge."""
import pathlib
import re
import shutil
import subprocess

try:
    import tomllib
except ModuleNotFoundError:  # Python 3.10: the same parser, from PyPI
    import tomli as tomllib

import pytest

import unit
import vktsim
from conftest import build_tool_env, loaded_device_library

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


# ---- name tables: one index per table, whatever the toolchain ----------------------------
# Tables live in anonymous namespaces under the same names in several files
# (kEncoderRows of KTX21 and KTX22). Their mangled names are alike, so
# anything keyed on such an object must stay local to its file: a template
# instantiated on it, or a symbol that the dynamic linker would share
# (STB_GNU_UNIQUE, 'u' in nm), lets one file's table answer from another's.
KEYED_ON_ANONYMOUS_OBJECT = re.compile(r"L_Z\w*?_GLOBAL__N_")
HARNESS_ROWS = {
    1: [("Alpha", True, True), ("Shared", True, False), ("Wide", True, True)],
    2: [("Beta", True, True), ("Shared", False, True), ("Gamma", True, False)],
}
HARNESS_NAMES = ["Alpha", "Beta", "Gamma", "Shared", "Wide", "Delta"]


def symbols(path, *options):
    """(type letter, mangled name) of every symbol nm lists in the file."""
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run([nm, *options, str(path)], capture_output=True, text=True)
    if listing.returncode != 0 and "no symbols" in listing.stderr:
        return []
    assert listing.returncode == 0, listing.stderr
    return [tuple(line.split()[-2:]) for line in listing.stdout.splitlines()
            if len(line.split()) >= 2]


def shared_or_keyed_symbols(listed):
    """The symbols that break the rule above: keyed on a file's own object, or
    naming an anonymous namespace and yet shared (global, or unique; the C++
    library's own unique symbols are alike in every file and harmless)."""
    return [(kind, name) for kind, name in listed
            if KEYED_ON_ANONYMOUS_OBJECT.search(name)
            or ("_GLOBAL__N_" in name and (kind == "u" or kind.isupper() and kind != "U"))]


def expected_harness_lines():
    lines = []
    for side, rows in HARNESS_ROWS.items():
        for direction, accepts in (("get", 1), ("set", 2)):
            found = {row[0] for row in rows if row[accepts]}
            lines += ["%d %s %s %s" % (side, direction, name, name if name in found else "-")
                      for name in HARNESS_NAMES]
    return lines


@pytest.mark.parametrize("compiler_name", ["g++", "clang++"])
def test_two_files_tables_of_one_name_keep_their_own_index(compiler_name, tmp_path):
    compiler = shutil.which(compiler_name)
    if compiler is None:
        pytest.skip(compiler_name + " is not installed")
    source = REPO / "tests" / "name_index_harness.cpp"
    objects = []
    for side in ("1", "2", None):
        output = tmp_path / ("side%s.o" % (side or "main"))
        define = ["-DVKT_SIDE=" + side] if side else []
        subprocess.run([compiler, "-std=c++17", "-O0", "-Wall", "-Wextra", "-Werror", "-c",
                        *define, "-I" + str(REPO / "pyvkt" / "vkt_unit"), str(source),
                        "-o", str(output)], check=True, env=build_tool_env())
        objects.append(output)
    program = tmp_path / "name_index"
    subprocess.run([compiler, *map(str, objects), "-o", str(program)], check=True,
                   env=build_tool_env())
    run = subprocess.run([str(program)], capture_output=True, text=True, timeout=60,
                         env=build_tool_env())
    assert run.returncode == 0, run.stderr
    assert run.stdout.splitlines() == expected_harness_lines()
    for table_file in objects[:2]:
        assert shared_or_keyed_symbols(symbols(table_file)) == []


def built_files():
    files = [pathlib.Path(unit.__file__), pathlib.Path(vktsim.__file__)]
    return files + [loaded_device_library()]


@pytest.mark.parametrize("index", [0, 1, 2], ids=["unit", "vktsim", "libvkt_unit"])
def test_built_files_share_nothing_keyed_on_a_files_own_objects(index):
    path = built_files()[index]
    listed = symbols(path) + symbols(path, "-D")
    assert listed, path
    assert shared_or_keyed_symbols(listed) == []
