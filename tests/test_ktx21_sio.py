"""KTX21Sio: the serial line, its read conversions and the simulated camera."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import ktx21_small_camera as small_camera


@pytest.fixture
def sio():
    return unit.KTX21Sio()


@pytest.fixture
def line(tmp_path):
    board = small_camera(tmp_path)
    sio = unit.KTX21Sio.from_(board)
    sio.open()
    sio.timeout = 0
    return board, sio


@pytest.mark.parametrize("count, delivered, expected", [
    (4, b"ab", "ab\0\0"),
    (3, None, " \0\0"),
    (1, None, " "),
    (2, b"xyz", "xy"),
    (3, b"\0", "\0\0\0"),
    (300, b"q" * 300, "q" * 300),
    (100000, b"z", "z" + "\0" * 99999),
])
def test_read_returns_the_whole_buffer_untrimmed(sio, count, delivered, expected):
    vktsim.script("CxKTX21Sio::Read", value=delivered)
    assert sio.read(count) == expected
    entry = calls("CxKTX21Sio::Read")
    assert entry == [(vktsim.ident(sio), b" " + b"\0" * (count - 1), count)]


@pytest.mark.parametrize("count", [0, -1, -2**31])
def test_read_counts_below_one_are_refused(sio, count):
    with pytest.raises(RuntimeError) as caught:
        sio.read(count)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (1, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("count", [2**31, 1.0, "3", None])
def test_read_counts_that_are_no_int32(sio, count):
    with pytest.raises(TypeError):
        sio.read(count)


def test_a_byte_above_127_cannot_be_read_as_text(sio):
    vktsim.script("CxKTX21Sio::Read", value=b"a\xe9")
    with pytest.raises(UnicodeDecodeError):
        sio.read(2)


@pytest.mark.parametrize("text, byte", [("A", 0x41), ("\u00e9", 0xE9), ("\0", 0), ("\u00ff", 0xFF),
                                        (b"A", 0x41)])
def test_write_byte(sio, text, byte):
    vktsim.script("CxKTX21Sio::WriteByte", value=None)
    sio.write_byte(text)
    assert calls("CxKTX21Sio::WriteByte") == [(vktsim.ident(sio), byte)]


@pytest.mark.parametrize("text, error", [
    ("AB", ValueError), ("", ValueError), ("\u0100", ValueError), (None, ValueError),
    (65, TypeError), (b"AB", ValueError)])
def test_write_byte_refusals(sio, text, error):
    with pytest.raises(error):
        sio.write_byte(text)
    assert vktsim.journal() == []


@pytest.mark.parametrize("scripted, text", [(b"\xe9", "\u00e9"), (0x41, "A"), (b"\0", "\0"),
                                            (0xFF, "\u00ff")])
def test_read_byte_is_latin1(sio, scripted, text):
    vktsim.script("CxKTX21Sio::ReadByte", value=scripted)
    assert sio.read_byte() == text


@pytest.mark.parametrize("method, operation", [("write", "CxKTX21Sio::Write"),
                                               ("set_camera_mode", "CxKTX21Sio::SetCameraMode")])
@pytest.mark.parametrize("text, seen", [("", b""), ("caf\u00e9", "caf\u00e9".encode()),
                                        ("a\0b", b"a"), (b"raw", b"raw"), (None, None)])
def test_text_arguments(sio, method, operation, text, seen):
    vktsim.script(operation, value=None)
    getattr(sio, method)(text)
    assert calls(operation) == [(vktsim.ident(sio), seen)]


@pytest.mark.parametrize("member, args, operation, value, result", [
    ("open", (), "CxKTX21Sio::Open", None, None),
    ("close", (), "CxKTX21Sio::Close", None, None),
    ("purge", (), "CxKTX21Sio::Purge", None, None),
])
def test_methods_reach_their_operation(sio, member, args, operation, value, result):
    vktsim.script(operation, value=value)
    assert getattr(sio, member)(*args) == result
    assert calls(operation) == [(vktsim.ident(sio),)]


def test_properties(sio):
    vktsim.script("CxKTX21Sio::IsOpened", value=True)
    vktsim.script("CxKTX21Sio::GetTimeout", value=250)
    vktsim.script("CxKTX21Sio::SetTimeout", value=None)
    assert sio.is_opened is True and sio.timeout == 250
    sio.timeout = 30
    assert calls("CxKTX21Sio::SetTimeout") == [(vktsim.ident(sio), 30)]


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
    assert vktsim.ktx21_serial_received(board) == b"ID?\rEXP=2500\rEXP?\rEXP=0\rNOPE\r"
    assert vktsim.ktx21_serial_received(board) == b""


def test_camera_mode_and_bytes(line):
    board, sio = line
    sio.set_camera_mode("fast")
    sio.purge()
    assert unit.KTX21Param.from_(board).get_param("CameraMode") == "fast"
    for character in "MODE?\r":
        sio.write_byte(character)
    assert "".join(sio.read_byte() for _ in range(11)) == "MODE?\rfast\r"
    vktsim.ktx21_feed_serial(board, b"\xe9")
    assert sio.read_byte() == "\u00e9"
    with pytest.raises(RuntimeError, match="Code:7"):
        sio.read_byte()


def test_reads_take_what_arrived_within_the_time_out(line):
    board, sio = line
    sio.timeout = 20
    vktsim.ktx21_feed_serial(board, b"ab")
    assert sio.read(4) == "ab\0\0"
    assert sio.read(3) == " \0\0"
    vktsim.ktx21_feed_serial(board, b"a\x80")
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
        vktsim.ktx21_feed_serial(board, b"x" * 4097)
    assert sio.read(1) == " "   # nothing was queued
    with pytest.raises(TypeError):
        vktsim.ktx21_feed_serial(board, "text")
    with pytest.raises(ValueError, match="not a KTX21 board"):
        vktsim.ktx21_feed_serial(sio, b"x")
