"""KTX21Sio on the simulated camera; the conversions of the serial line are
checked for both KTX models in test_grabbers.py."""
import pytest

import unit
import vktsim
from grabber_support import ktx21_small_camera as small_camera


@pytest.fixture
def line(tmp_path):
    board = small_camera(tmp_path)
    sio = unit.KTX21Sio.from_(board)
    sio.open()
    sio.timeout = 0
    return board, sio


# ---- the simulated camera -------------------------------------------------------------------

def test_the_camera_echoes_and_answers(line):
    board, sio = line
    sio.write("ID?\r")
    assert sio.read(len("ID?\rSimulated area camera\r")) == "ID?\rSimulated area camera\r"
    sio.write("EXP=2500\rEXP?\r")
    assert sio.read(32) == "EXP=2500\rOK\rEXP?\r2500\r" + "\0" * 10
    assert unit.KTX21Param.from_(board).exposure_time == 2500
    sio.write("EXP=0\rNOPE\r")
    assert sio.read(19) == "EXP=0\rERR\rNOPE\rERR\r"
    assert vktsim.serial_received(board) == b"ID?\rEXP=2500\rEXP?\rEXP=0\rNOPE\r"
    assert vktsim.serial_received(board) == b""


def test_camera_mode_and_bytes(line):
    board, sio = line
    sio.set_camera_mode("fast")
    sio.purge()
    assert unit.KTX21Param.from_(board).get_param("CameraMode") == "fast"
    for character in "MODE?\r":
        sio.write_byte(character)
    assert "".join(sio.read_byte() for _ in range(11)) == "MODE?\rfast\r"
    vktsim.feed_serial(board, b"\xe9")
    assert sio.read_byte() == "\u00e9"
    with pytest.raises(RuntimeError, match="Code:7"):
        sio.read_byte()


@pytest.mark.usefixtures("virtual_clock")
def test_reads_take_what_arrived_within_the_time_out(line):
    board, sio = line
    sio.timeout = 20
    vktsim.feed_serial(board, b"ab")
    assert sio.read(4) == "ab\0\0"
    assert sio.read(3) == " \0\0"
    vktsim.feed_serial(board, b"a\x80")
    with pytest.raises(UnicodeDecodeError):
        sio.read(2)


def test_the_line_must_be_open(line):
    board, sio = line
    param = unit.KTX21Param.from_(board)
    assert sio.is_opened and param.get_param("SIOOpenFlag") == 1
    sio.close()
    assert not sio.is_opened and param.get_param("SIOOpenFlag") == 0
    for call in (lambda: sio.write("x"), lambda: sio.read(1), lambda: sio.write_byte("x"),
                 sio.read_byte, sio.purge):
        with pytest.raises(RuntimeError, match="Code:4 .*serial line is not open"):
            call()


def test_timeout_is_the_sio_timeout_setting(line):
    board, sio = line
    sio.timeout = 1234
    assert unit.KTX21Param.from_(board).get_param("SIOTimeout") == 1234
    with pytest.raises(RuntimeError, match="Code:3"):
        sio.timeout = -1


def test_feeding_refuses_what_does_not_fit(line):
    board, sio = line
    with pytest.raises(ValueError, match="room for 4096 more bytes"):
        vktsim.feed_serial(board, b"x" * 4097)
    assert sio.read(1) == " "   # nothing was queued
    with pytest.raises(TypeError):
        vktsim.feed_serial(board, "text")
