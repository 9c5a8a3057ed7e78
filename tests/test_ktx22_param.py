"""KTX22Param: the sizes of the get table (102 names) and set table (83 names),
the command table, PLL reconfiguration, properties and the simulated board;
every name in both directions, value kinds and edges are checked in
test_grabber_params.py."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from ktx22_tables import COMMAND, COMMANDS, GET_NAMES, INT32, READ_ONLY, SET_NAMES, kind_of


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
