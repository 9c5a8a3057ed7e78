"""The tools' settings tables are written by the build from the stubs: they
must be the module's own tables (the ones the parameter tests check against
the module), readable and writable names, kinds and ranges alike, whatever
stub files the running process could find."""
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

import vktsim
import dio_tables
import ktx21_tables
import ktx22_tables
import mr250_tables
from vkt import boards


INT32 = (-2**31, 2**31 - 1)
UINT32 = (0, 2**32 - 1)
TEXT = (None, None)


def grabber_rows(names, writable, texts):
    def bounds(name):
        return TEXT if name in texts else UINT32 if name == "ENCComp2" else INT32
    return [(name, "text" if name in texts else "int", True, name in writable, *bounds(name))
            for name in names] + \
        [(name, "int", False, True, *bounds(name)) for name in writable if name not in names]


def dio_rows(model):
    table = dio_tables.TABLES[model]
    bounds = {"i": INT32, "u": UINT32, "s": TEXT}
    readable = [row for row in table if row[1] is not None]
    written = [row for row in table if row[1] is None]
    return [(name, "text" if get == "s" else "int", True, put is not None, *bounds[get])
            for name, get, put in readable] + \
        [(name, "int", False, True, *bounds[put]) for name, _, put in written]


EXPECTED = {
    "KTX21": grabber_rows(ktx21_tables.NAMES, ktx21_tables.WRITABLE, ktx21_tables.TEXTS),
    "KTX22": grabber_rows(ktx22_tables.GET_NAMES, ktx22_tables.SET_NAMES, ktx22_tables.GET_TEXT),
    "MR250": grabber_rows(mr250_tables.NAMES, mr250_tables.WRITABLE, mr250_tables.TEXTS),
    "SNR11": dio_rows("SNR11"),
    "SN2200": dio_rows("SN2200"),
    "TK560": dio_rows("TK560"),
}


def rows(model):
    return [(s.name, s.kind, s.readable, s.writable, s.low, s.high)
            for s in boards.settings_table(model)]


@pytest.mark.parametrize("model", sorted(EXPECTED))
def test_the_settings_table_is_the_modules(model):
    table = rows(model)
    readable = sorted(row for row in table if row[2])
    assert readable == sorted(row for row in EXPECTED[model] if row[2])
    assert sorted(table) == sorted(EXPECTED[model])


TABLES_AS_JSON = """
import json, sys
from vkt import boards
json.dump({m: [list(vars(s).values()) for s in boards.settings_table(m)]
           for m in ("SNR11", "SN2200", "TK560", "KTX21", "KTX22", "MR250")}, sys.stdout)
"""


def tables_seen_from(cwd, path):
    result = subprocess.run([sys.executable, "-c", TABLES_AS_JSON], capture_output=True,
                            text=True, cwd=cwd, timeout=120,
                            env=dict(os.environ, PYTHONPATH=os.pathsep.join(map(str, path))))
    assert result.returncode == 0, result.stderr
    return result.stdout


def installed_copy(tmp_path, keep_stubs):
    """The modules, the device library and the tools as installed, with or
    without the stub packages."""
    import unit
    import vkt
    import vktsim
    site = tmp_path / "site"
    site.mkdir(parents=True)
    for module in (unit, vktsim):
        shutil.copy(module.__file__, site)
    beside = pathlib.Path(unit.__file__).parent
    if (beside / "vkt_unit.libs").is_dir():     # not when built on a maker's library
        shutil.copytree(beside / "vkt_unit.libs", site / "vkt_unit.libs")
    shutil.copytree(pathlib.Path(vkt.__file__).parent, site / "vkt",
                    ignore=shutil.ignore_patterns("__pycache__"))
    if keep_stubs:
        shutil.copytree(beside / "unit-stubs", site / "unit-stubs")
    return site


def test_the_tables_need_no_stub_file_and_ignore_one_in_the_working_folder(tmp_path):
    with_stubs = tables_seen_from(tmp_path, [installed_copy(tmp_path / "a", True)])
    # A distribution that drops .pyi files.
    without = tables_seen_from(tmp_path, [installed_copy(tmp_path / "b", False)])
    # A folder of that name where the tools are started: ignored.
    work = tmp_path / "work"
    (work / "unit-stubs").mkdir(parents=True)
    (work / "unit-stubs" / "__init__.pyi").write_text(
        "from typing import Literal\n_SNR11GetName = Literal['Planted']\n")
    planted = tables_seen_from(work, ["", installed_copy(tmp_path / "c", False)])
    assert with_stubs == without == planted
    assert "Planted" not in planted and '"Width"' in planted


def test_a_copy_that_was_not_built_says_so(tmp_path):
    site = installed_copy(tmp_path, True)
    (site / "vkt" / "_settings_tables.py").unlink()
    result = subprocess.run([sys.executable, "-m", "vkt", "params", "SNR11"], cwd=tmp_path,
                            capture_output=True, text=True, timeout=120,
                            env=dict(os.environ, PYTHONPATH=str(site)))
    assert result.returncode == 1
    assert result.stderr == "vkt: error: the settings tables are missing: this copy of vkt " \
        "was not built (vkt/_settings_tables.py is written by the build)\n"


@pytest.mark.parametrize("given, model", [("ktx21", "KTX21"), ("Snr11", "SNR11"),
                                          ("VIDEO", "Video"), ("sn2200", "SN2200")])
def test_model_names_in_any_case(given, model):
    assert boards.canonical_model(given) == model


@pytest.mark.parametrize("given", ["KTX2", "SNR11 ", "", "\udcff"])
def test_unknown_model_names(given):
    with pytest.raises(boards.BoardError, match="unknown model"):
        boards.canonical_model(given)


@pytest.mark.parametrize("text, fields", [
    ("Code:3 Line:591 Function:CxKTX21Param::SetParam: Width 0 is out of range 1..16384 "
     "File:sim/core/state.cpp",
     (3, "InvalidArgument", "CxKTX21Param::SetParam", "Width 0 is out of range 1..16384")),
    ("Code:1 Line:154 Function:ktx21_set_param File:pyvkt/vkt_unit/ktx21.cpp",
     (1, "NotSupported", "ktx21_set_param", "")),
    ("Code:99 Line:1 Function:f File:x.cpp", (99, "status 99", "f", "")),
])
def test_library_errors_are_taken_apart(text, fields):
    found = boards.library_error(RuntimeError(text))
    assert (found.status, found.status_name, found.function, found.message) == fields


@pytest.mark.parametrize("error", [RuntimeError("Unable to cast"), ValueError("Code:1 Line:1 "
                                   "Function:f File:x"), KeyError()])
def test_other_errors_are_not_library_errors(error):
    assert boards.library_error(error) is None


@pytest.mark.parametrize("model", ["Video", "KTX99", ""])
def test_no_table_for_what_is_not_a_model(model):
    with pytest.raises(boards.BoardError, match="no settings table for"):
        boards.settings_table(model)


@pytest.mark.parametrize("error, text", [
    (RuntimeError("Code:6 Line:1 Function:f File:x.cpp"),
     "NoDevice (6): Code:6 Line:1 Function:f File:x.cpp"),
    (RuntimeError("Code:99 Line:1 Function:f File:x.cpp"),
     "status 99: Code:99 Line:1 Function:f File:x.cpp"),
    (RuntimeError("Unable to cast Python instance"), "Unable to cast Python instance"),
    (ValueError("Code:6 Line:1"), "Code:6 Line:1"),
    (KeyError(), "KeyError"),
])
def test_errors_are_described_with_the_librarys_status_name(error, text):
    assert boards.describe_error(error) == text


def test_a_name_the_library_cannot_take_is_refused_before_it():
    with boards.open_board("SNR11") as board:
        with pytest.raises(boards.SettingError, match="is no setting's name: it is not UTF-8"):
            boards.get_setting(board, "\udcff")
        with pytest.raises(boards.SettingError, match="is no setting's name: it is not UTF-8"):
            boards.set_setting(board, "\udcff", "1")
    assert [name for name, _ in vktsim.journal() if "Param::" in name] == ["CxSNR11Param::From"]
