"""The module itself: import gate, exported symbols, EventStatus."""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig

import pytest

import unit
from conftest import build_tool_env

REPO = pathlib.Path(__file__).resolve().parent.parent
HARNESS_SOURCE = REPO / "tests" / "version_gate_harness.cpp"


@pytest.fixture(scope="session")
def version_gate_harness(tmp_path_factory):
    compiler = shutil.which("g++") or shutil.which("c++")
    if compiler is None:
        pytest.skip("no C++ compiler to build the embedding harness")
    output = tmp_path_factory.mktemp("harness") / "version_gate_harness"
    include = sysconfig.get_paths()["include"]
    libdir = sysconfig.get_config_var("LIBDIR")
    library = "python" + sysconfig.get_config_var("LDVERSION")
    subprocess.run(
        [compiler, "-O0", "-o", str(output), str(HARNESS_SOURCE), "-I" + include,
         "-L" + libdir, "-Wl,-rpath," + libdir, "-l" + library, "-ldl", "-rdynamic"],
        check=True, env=build_tool_env(),
    )
    return output


def import_under_version(harness, version):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    result = subprocess.run([str(harness), version], env=env, capture_output=True, text=True,
                            timeout=60)
    assert result.returncode == 0, result.stderr
    return result.stdout.strip()


def built_for():
    """The interpreter version this build of the module is for, read from its
    file's tag (unit.cpython-313-x86_64-linux-gnu.so: 3.13)."""
    tag = re.search(r"\.cpython-3(\d+)[-.]", pathlib.Path(unit.__file__).name)
    assert tag, unit.__file__
    return 3, int(tag.group(1))


MINOR = built_for()[1]
# Other versions, and texts that start like the build's own but are not it.
REFUSED = ["3.%d.1" % (MINOR + 1), "3.%d0.0" % MINOR, "3.1", "2.%d.0" % MINOR,
           "3.%d.13 (main)" % (MINOR - 1)]
ACCEPTED = ["3.%d.7 (main, Jan  1 2024) [GCC 12.2.0]" % MINOR, "3.%d" % MINOR, "3.%d+" % MINOR]


def test_build_is_for_the_running_interpreter():
    assert built_for() == sys.version_info[:2]


@pytest.mark.parametrize("version", REFUSED)
def test_import_refuses_other_interpreter_versions(version_gate_harness, version):
    outcome = import_under_version(version_gate_harness, version)
    assert outcome == (
        "ImportError: Python version mismatch: module was compiled for Python 3.%d, "
        "but the interpreter version is incompatible: %s." % (MINOR, version)
    )


@pytest.mark.parametrize("version", ACCEPTED)
def test_import_accepts_its_own_version(version_gate_harness, version):
    assert import_under_version(version_gate_harness, version) == "imported"


def defined_dynamic_symbols(path):
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run([nm, "-D", "--defined-only", path], check=True,
                             capture_output=True, text=True).stdout
    return sorted(line.split()[-1] for line in listing.splitlines() if line.strip())


def test_module_exports_only_its_entry_point():
    assert defined_dynamic_symbols(unit.__file__) == ["PyInit_unit"]


def test_module_carries_no_build_machine_path():
    image = pathlib.Path(unit.__file__).read_bytes()
    assert b"pyvkt/vkt_unit/" in image
    if b"__asan_init" in image:
        pytest.skip("sanitizer builds record their own source locations")
    for source_dir in ("pyvkt", "include", "sim"):
        assert str(REPO / source_dir).encode() not in image


def test_module_object():
    assert unit.__name__ == "unit"
    assert unit.__doc__ is None


def test_event_status_members_in_order():
    assert list(unit.EventStatus.__members__) == ["INT", "DI", "TIMEOUT", "ABORT"]
    assert [int(m) for m in unit.EventStatus.__members__.values()] == [1, 2, 3, 4]


@pytest.mark.parametrize("name, value", [("INT", 1), ("DI", 2), ("TIMEOUT", 3), ("ABORT", 4)])
def test_event_status_values_are_exported(name, value):
    member = getattr(unit.EventStatus, name)
    assert getattr(unit, name) is member
    assert int(member) == value
    assert unit.EventStatus(value) == member
    assert member == getattr(unit, name)
    assert member != value and not (member == value)


def test_event_status_is_not_arithmetic_but_hashable():
    assert unit.EventStatus.INT != unit.EventStatus.DI
    assert len({unit.EventStatus.DI, unit.EventStatus(2), unit.DI}) == 1
    with pytest.raises(TypeError):
        unit.EventStatus.INT + 1
    with pytest.raises(TypeError):
        unit.EventStatus.INT < unit.EventStatus.DI
