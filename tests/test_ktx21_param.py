"""KTX21Param: the size of its 103-name table, properties, registers and the
simulated board; every name in both directions, value kinds and edges are
checked in test_grabber_params.py."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from ktx21_tables import INT32, NAMES, WRITABLE, kind_of


def test_table_size():
    assert len(NAMES) == len(set(NAMES)) == 103
    assert len(WRITABLE) == 84
    assert sum(kind_of(n) == INT32 for n in NAMES) == 95
    assert sum(kind_of(n) == INT32 for n in WRITABLE) == 77


def test_properties_and_registers(tmp_path):
    board = unit.KTX21()
    board.open(0, 0)
    param = unit.KTX21Param.from_(board)
    param.trigger_mode = 1
    param.exposure_time = 1234
    param.trigger_cycle_time = 5000
    assert (param.trigger_mode, param.exposure_time, param.trigger_cycle_time) == (1, 1234, 5000)
    assert param.get_param("ExposureTime") == 1234
    param.set_register(0x40, 0xDEADBEEF)
    vktsim.clear_journal()
    assert param.get_register(0x40) == 0xDEADBEEF
    assert calls("CxKTX21Param::GetRegister") == [(vktsim.ident(param), 0x40, 0)]
    with pytest.raises(TypeError):
        param.set_register(-1, 0)


def test_library_checks_values_and_names_on_a_real_board():
    board = unit.KTX21()
    board.open(1, 0)
    param = unit.KTX21Param.from_(board)
    assert param.get_param("DeviceID") == 1 and param.get_param("DeviceType") == 1
    param.set_param("Width", 100)
    assert param.get_param("ImageWidth") == 100
    param.set_param("CameraName", "x\u00e9")
    assert param.get_param("CameraName") == "x\u00e9"
    with pytest.raises(RuntimeError) as caught:
        param.set_param("Width", 0)
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and function.startswith("CxKTX21Param::SetParam: Width 0 is out of range")
    closed = unit.KTX21()
    with pytest.raises(RuntimeError, match=r"Code:4 .*not open"):
        unit.KTX21Param.from_(closed).get_param("Width")
    with pytest.raises(RuntimeError, match=r"Code:4 .*no longer exists"):
        unit.KTX21Param.from_(unit.KTX21()).get_param("Width")   # that board is gone at once
