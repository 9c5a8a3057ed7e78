"""KTX22Sio: the serial line, its conversions and the simulated camera."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import ktx22_small_camera as small_camera


@pytest.fixture
def sio():
    return unit.KTX22Sio()


@pytest.fixture
def line(tmp_path):
    board = small_camera(tmp_path)
    sio = unit.KTX22Sio.from_(board)
    sio.open()
    sio.timeout = 0
    return board, sio


@pytest.mark.parametrize("count, delivered, expected", [
    (4, b"ab", "ab\0\0"), (3, None, " \0\0"), (2, b"xyz", "xy"), (300, b"q" * 300, "q" * 300),
])
def test_read_returns_the_whole_buffer_untrimmed(sio, count, delivered, expected):
    vktsim.script("CxKTX22Sio::Read", value=delivered)
    assert sio.read(count) == expected
    assert calls("CxKTX22Sio::Read") == [(vktsim.ident(sio), b" " + b"\0" * (count - 1), count)]


@pytest.mark.parametrize("count", [0, -1])
def test_read_counts_below_one_are_refused(sio, count):
    with pytest.raises(RuntimeError) as caught:
        sio.read(count)
    assert error_fields(caught.value)[0::2] == (1, "operator()")
    assert vktsim.journal() == []


def test_a_byte_above_127_cannot_be_read_as_text(sio):
    vktsim.script("CxKTX22Sio::Read", value=b"a\xe9")
    with pytest.raises(UnicodeDecodeError):
        sio.read(2)


@pytest.mark.parametrize("text, sent", [("A", 0x41), ("\u00e9", 0xE9), ("\0", 0)])
def test_write_byte_sends_one_byte(sio, text, sent):
    vktsim.script("CxKTX22Sio::WriteByte", value=None)
    sio.write_byte(text)
    assert calls("CxKTX22Sio::WriteByte") == [(vktsim.ident(sio), sent)]


@pytest.mark.parametrize("text, message", [
    ("AB", "Expected a character, but multi-character string found"),
    ("", "Cannot convert empty string to a character"),
    ("\u0100", "Character code point not in range(0x100)"),
    (None, "Cannot convert None to a character"),
])
def test_write_byte_refuses_what_is_not_one_byte(sio, text, message):
    with pytest.raises(ValueError) as caught:
        sio.write_byte(text)
    assert str(caught.value) == message
    assert vktsim.journal() == []


def test_read_byte_decodes_latin1(sio):
    vktsim.script("CxKTX22Sio::ReadByte", value=b"\xe9")
    assert sio.read_byte() == "\u00e9"


@pytest.mark.parametrize("member, operation", [("write", "CxKTX22Sio::Write"),
                                               ("set_camera_mode", "CxKTX22Sio::SetCameraMode")])
@pytest.mark.parametrize("text, seen", [("", b""), ("caf\u00e9", "caf\u00e9".encode()),
                                        ("a\0b", b"a"), (None, None)])
def test_texts_reach_the_library_zero_terminated(sio, member, operation, text, seen):
    vktsim.script(operation, value=None)
    getattr(sio, member)(text)
    assert calls(operation) == [(vktsim.ident(sio), seen)]


def test_the_camera_answers_on_the_line(line):
    board, sio = line
    param = unit.KTX22Param.from_(board)
    assert sio.is_opened and param.get_param("SIOOpenFlag") == 1
    sio.write("EXP=250\r")
    assert sio.read(11) == "EXP=250\rOK\r"       # the camera echoes, then answers
    assert param.get_param("ExposureTime") == 250
    sio.set_camera_mode("fast")
    assert sio.read(13) == "MODE=fast\rOK\r" and param.get_param("CameraMode") == "fast"
    assert vktsim.ktx22_serial_received(board) == b"EXP=250\rMODE=fast\r"
    vktsim.ktx22_feed_serial(board, b"hi")
    sio.purge()
    assert sio.read(2) == " \0"
    vktsim.ktx22_feed_serial(board, b"\xe9")
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


def test_serial_controls_take_an_open_ktx22_only(tmp_path):
    with pytest.raises(ValueError, match="not a KTX22 board"):
        vktsim.ktx22_feed_serial(unit.KTX21(), b"x")
    with pytest.raises(ValueError, match="not a KTX21 board"):
        vktsim.ktx21_feed_serial(small_camera(tmp_path), b"x")
