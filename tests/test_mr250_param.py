"""MR250Param: the size of its 61-name table, the one command, properties and the
simulated board; every name in both directions, value kinds and edges are
checked in test_grabber_params.py."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import MR250_CALIBRATION_REGISTER as CALIBRATION_REGISTER
from grabber_support import mr250_small_camera as small_camera
from mr250_tables import COMMAND, INT32, NAMES, TEXT, WRITABLE, kind_of


def test_table_size():
    assert len(NAMES) == len(set(NAMES)) == 61
    assert sum(kind_of(n) == INT32 for n in NAMES) == 56
    assert sum(kind_of(n) == INT32 for n in WRITABLE) == 45
    assert sum(kind_of(n) == TEXT for n in WRITABLE) == 3


@pytest.fixture
def param():
    return unit.MR250Param()


# ---- the command --------------------------------------------------------------------------

def test_self_calibration_reaches_send_command(param):
    vktsim.script("CxMR250Param::SendCommand", value=None)
    vktsim.clear_journal()
    assert param.send_command("SelfCalibration") is None
    # The scratch byte is neither set by the module nor read by the library.
    assert calls("CxMR250Param::SendCommand") == [
        (vktsim.ident(param), b"SelfCalibration", None, COMMAND)]


def test_self_calibration_cancels_the_input_offset_error(tmp_path):
    board = small_camera(tmp_path, board_id=1, ch=1)
    param = unit.MR250Param.from_(board)
    assert param.get_register(CALIBRATION_REGISTER) == 0
    param.send_command("SelfCalibration")
    # Board 1, channel 1 is 3 levels low; the correction is that error.
    assert param.get_register(CALIBRATION_REGISTER) == 2**32 - 3
    param.set_register(CALIBRATION_REGISTER, 0)   # a manual correction is allowed
    assert param.get_register(CALIBRATION_REGISTER) == 0


def test_self_calibration_needs_an_open_idle_board(tmp_path):
    with pytest.raises(RuntimeError, match=r"^Code:4 .*no board is attached"):
        unit.MR250Param().send_command("SelfCalibration")
    board = small_camera(tmp_path)
    param = unit.MR250Param.from_(board)
    image = vktsim.Image(16, 8)
    board.lock([image])
    board.start()
    with pytest.raises(RuntimeError, match=r"^Code:5 .*a capture is running"):
        param.send_command("SelfCalibration")
    board.stop()
    board.close()
    with pytest.raises(RuntimeError, match=r"^Code:4 .*not open"):
        param.send_command("SelfCalibration")


# ---- properties and the simulated board -----------------------------------------------------

@pytest.mark.parametrize("prop, name", [
    ("trigger_mode", "TriggerMode"), ("exposure_time", "ExposureTime"),
    ("video_offset", "VideoOffset")])
def test_properties_are_the_settings_of_the_same_name(tmp_path, prop, name):
    board = small_camera(tmp_path)
    param = unit.MR250Param.from_(board)
    vktsim.clear_journal()
    setattr(param, prop, 1)
    assert getattr(param, prop) == 1 == param.get_param(name)
    setter = "Set" + name
    assert calls("CxMR250Param::" + setter) == [(vktsim.ident(param), 1)]


def test_library_checks_values_and_names_on_a_real_board(tmp_path):
    board = unit.MR250()
    board.open(3, 2)
    param = unit.MR250Param.from_(board)
    assert (param.get_param("DeviceID"), param.get_param("Channel")) == (3, 2)
    assert param.get_param("DeviceType") == 2 and param.get_param("ImageDepth") == 8
    param.set_param("Width", 320)
    param.set_param("Height", 240)
    assert param.get_param("ImageSize") == "320x240" and param.get_param("ImageWidth") == 320
    param.set_param("CameraMode", "CCIR")
    assert param.get_param("CameraMode") == "CCIR"
    with pytest.raises(RuntimeError) as caught:
        param.video_offset = 200
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and "VideoOffset 200 is out of range -128..127" in function
    closed = unit.MR250()
    with pytest.raises(RuntimeError, match=r"^Code:4 .*not open"):
        unit.MR250Param.from_(closed).get_param("Width")


def test_a_ktx21_board_is_not_an_mr250_board():
    param = unit.MR250Param()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        param.controller = unit.KTX21()
    assert calls("CxMR250Param::Controller") == []
