"""KTX22Param: the get table (102 names) and set table (83 names), the
command table, value kinds and edges."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from ktx22_tables import (COMMAND, COMMANDS, GET_NAMES, INT32, READ_ONLY, SET_NAMES, TEXT,
                           UINT32, kind_of)


def test_table_sizes():
    assert len(GET_NAMES) == len(set(GET_NAMES)) == 102
    assert len(SET_NAMES) == len(set(SET_NAMES)) == 83
    assert set(SET_NAMES) == set(GET_NAMES) - READ_ONLY
    assert sum(kind_of(n) == INT32 for n in GET_NAMES) == 93
    assert sum(kind_of(n) == INT32 for n in SET_NAMES) == 76
    assert SET_NAMES[:5] == ["Width", "Height", "OffsetMode", "OffsetW", "OffsetH"]
    assert SET_NAMES[SET_NAMES.index("EncoderActMode") + 1] == "PLLReconfig"


@pytest.fixture
def param():
    return unit.KTX22Param()


def assert_binding_error(caught, function):
    code, line, text, file = error_fields(caught.value)
    assert (code, text) == (1, function)
    assert line > 0 and file == "pyvkt/vkt_unit/ktx22.cpp"


@pytest.mark.parametrize("name", GET_NAMES)
def test_every_readable_name_reads_with_its_kind(param, name):
    kind = kind_of(name)
    scripted, expected = {INT32: (-5, -5), UINT32: (2**32 - 1, 2**32 - 1), TEXT: (b"abc", "abc")}[kind]
    vktsim.script("CxKTX22Param::GetParam", value=scripted)
    vktsim.clear_journal()
    result = param.get_param(name)
    assert result == expected and type(result) is type(expected)
    empty = b"" if kind == TEXT else 0
    assert calls("CxKTX22Param::GetParam") == [(vktsim.ident(param), name.encode(), empty, kind)]


@pytest.mark.parametrize("name", SET_NAMES)
def test_every_writable_name_writes_with_its_kind(param, name):
    kind = kind_of(name)
    value, seen = {INT32: (-7, -7), UINT32: (4000000000, 4000000000), TEXT: ("abc", b"abc")}[kind]
    vktsim.script("CxKTX22Param::SetParam", value=None)
    vktsim.clear_journal()
    assert param.set_param(name, value) is None
    assert calls("CxKTX22Param::SetParam") == [(vktsim.ident(param), name.encode(), seen, kind)]


@pytest.mark.parametrize("name", sorted(READ_ONLY))
def test_read_only_names_are_refused_for_writing(param, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        param.set_param(name, object())   # the value is not even converted
    assert_binding_error(caught, "ktx22_set_param")
    assert vktsim.journal() == []


# KTX21-only names and near misses are unknown here.
@pytest.mark.parametrize("name", ["width", "Width ", "", "ENCComp3", "BoardType", "HighSpeed",
                                  "ENCInit", "SIORxBufSize", "StopPG", "pllreconfig"])
@pytest.mark.parametrize("direction", ["get", "set"])
def test_unknown_names(param, name, direction):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        if direction == "get":
            param.get_param(name)
        else:
            param.set_param(name, 1)
    assert_binding_error(caught, "ktx22_%s_param" % direction)
    assert vktsim.journal() == []


def test_pll_reconfig_is_a_parameter_and_a_command(param):
    vktsim.script("CxKTX22Param::GetParam", value=3)
    vktsim.script("CxKTX22Param::SetParam", value=None)
    vktsim.script("CxKTX22Param::SendCommand", value=None)
    assert param.get_param("PLLReconfig") == 3
    param.set_param("PLLReconfig", 4)
    param.send_command("PLLReconfig")
    me = vktsim.ident(param)
    assert calls("CxKTX22Param::SetParam") == [(me, b"PLLReconfig", 4, INT32)]
    assert calls("CxKTX22Param::SendCommand") == [(me, b"PLLReconfig", None, COMMAND)]


@pytest.mark.parametrize("name", COMMANDS)
def test_every_command_reaches_the_library_with_the_command_kind(param, name):
    vktsim.script("CxKTX22Param::SendCommand", value=None)
    vktsim.clear_journal()
    assert param.send_command(name) is None
    assert vktsim.journal() == [("CxKTX22Param::SendCommand", (vktsim.ident(param), name.encode(),
                                                              None, COMMAND))]


@pytest.mark.parametrize("name", ["stop_pg", "stopPG", "StopPg", "ResetPg", "PllReconfig",
                                  "ClearTriggerMaskMode", "PLLReconfigStatus", "", "Width"])
def test_other_commands_are_refused(param, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        param.send_command(name)
    assert_binding_error(caught, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("name, value", [
    ("ExposureTime", "100"), ("Width", 1.5), ("Width", None), ("Width", 2**31),
    ("ENCComp2", -1), ("ENCComp2", 2**32), ("CameraName", 5), ("CameraName", None),
])
def test_values_the_kind_refuses_are_cast_errors(param, name, value):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        param.set_param(name, value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("name, value, seen", [
    ("Width", True, 1), ("ENCComp2", 2**32 - 1, 2**32 - 1), ("ENCComp2", 0, 0),
    ("CameraName", "abc", b"abc"), ("CameraName", "ab\0cd", b"ab"), ("SIOETX", b"\r", b"\r"),
])
def test_value_edges_reach_the_library(param, name, value, seen):
    vktsim.script("CxKTX22Param::SetParam", value=None)
    vktsim.clear_journal()
    param.set_param(name, value)
    assert calls("CxKTX22Param::SetParam")[0][2] == seen


@pytest.mark.parametrize("name, scripted, expected", [
    ("ENCComp2", 2**31, 2**31), ("ENCComp2", 2**32 - 1, 2**32 - 1), ("ENCComp1", 2**32 - 1, -1),
    ("FpgaVersion", b"a\0b", "a\0b"), ("DriverVersion", b"", ""),
])
def test_reads_keep_sign_and_every_byte(param, name, scripted, expected):
    vktsim.script("CxKTX22Param::GetParam", value=scripted)
    assert param.get_param(name) == expected


def test_invalid_utf8_from_the_library_is_a_decode_error(param):
    vktsim.script("CxKTX22Param::GetParam", value=b"\xff")
    with pytest.raises(UnicodeDecodeError):
        param.get_param("CameraName")


def test_properties_and_registers():
    board = unit.KTX22()
    board.open(0, 1)
    param = unit.KTX22Param.from_(board)
    param.trigger_mode = 2
    param.exposure_time = 1234
    param.trigger_cycle_time = 5000
    assert (param.trigger_mode, param.exposure_time, param.trigger_cycle_time) == (2, 1234, 5000)
    assert param.get_param("TriggerMode") == 2
    param.set_register(0x10, 0xFFFFFFFF)
    vktsim.clear_journal()
    assert param.get_register(0x10) == 0xFFFFFFFF
    assert calls("CxKTX22Param::GetRegister") == [(vktsim.ident(param), 0x10, 0)]
    for call in (lambda: param.set_register(-1, 0), lambda: param.get_register(2**32)):
        with pytest.raises(TypeError):
            call()


def test_every_name_of_both_tables_works_on_a_simulated_board():
    board = unit.KTX22()
    board.open(2, 0)
    param = unit.KTX22Param.from_(board)
    values = {name: param.get_param(name) for name in GET_NAMES}
    assert (values["DeviceID"], values["DeviceType"], values["PGStatus"]) == (2, 4, 1)
    for name in SET_NAMES:
        param.set_param(name, values[name])
    param.set_param("Width", 100)
    assert param.get_param("ImageWidth") == 100
    with pytest.raises(RuntimeError) as caught:
        param.set_param("Width", 0)
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and function.startswith("CxKTX22Param::SetParam: Width 0 is out of range")


def test_commands_act_on_a_simulated_board():
    board = unit.KTX22()
    board.open(0, 0)
    param = unit.KTX22Param.from_(board)
    param.send_command("StopPG")
    assert param.get_param("PGStatus") == 0
    param.send_command("ResetPG")
    assert param.get_param("PGStatus") == 1
    param.set_param("PLLReconfig", 60)
    param.send_command("ExecutePLLReconfig")
    assert (param.get_param("PLLReconfigStatus"), param.get_param("CameraClock")) == (1, 60)
    param.send_command("ResetPLLReconfig")
    assert param.get_param("PLLReconfigStatus") == 0
    param.set_param("PLLReconfig", 200)
    with pytest.raises(RuntimeError, match="Code:3 .*cannot lock to 200 MHz"):
        param.send_command("PLLReconfig")
    assert (param.get_param("PLLReconfigStatus"), param.get_param("CameraClock")) == (2, 60)
