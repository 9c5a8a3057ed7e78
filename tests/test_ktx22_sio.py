"""KTX22Sio on the simulated camera; the conversions of the serial line are
checked for both KTX models in test_grabbers.py."""
import pytest

import unit
import vktsim
from grabber_support import ktx22_small_camera as small_camera


@pytest.fixture
def line(tmp_path):
    board = small_camera(tmp_path)
    sio = unit.KTX22Sio.from_(board)
    sio.open()
    sio.timeout = 0
    return board, sio


def test_the_camera_answers_on_the_line(line):
    board, sio = line
    param = unit.KTX22Param.from_(board)
    assert sio.is_opened and param.get_param("SIOOpenFlag") == 1
    sio.write("EXP=250\r")
    assert sio.read(11) == "EXP=250\rOK\r"       # the camera echoes, then answers
    assert param.get_param("ExposureTime") == 250
    sio.set_camera_mode("fast")
    assert sio.read(13) == "MODE=fast\rOK\r" and param.get_param("CameraMode") == "fast"
    assert vktsim.serial_received(board) == b"EXP=250\rMODE=fast\r"
    vktsim.feed_serial(board, b"hi")
    sio.purge()
    assert sio.read(2) == " \0"
    vktsim.feed_serial(board, b"\xe9")
    assert sio.read_byte() == "\u00e9"
    sio.close()
    assert not sio.is_opened
    with pytest.raises(RuntimeError, match="Code:4 .*the serial line is not open"):
        sio.read_byte()


def test_timeout_property_is_the_sio_timeout_setting(line):
    board, sio = line
    sio.timeout = 321
    assert sio.timeout == 321 and unit.KTX22Param.from_(board).get_param("SIOTimeout") == 321
    with pytest.raises(RuntimeError, match="Code:7 .*no byte within the time-out"):
        sio.timeout = 0
        sio.read_byte()
