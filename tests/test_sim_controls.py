"""The simulator's grabber controls (serial line, encoder, board events, video
signal): one function each, whatever board object it is given."""
import time

import pytest

import unit
import vktsim
from grabber_support import capture
from grabber_support import small_camera_file as camera_file

EXTERNAL = 3   # the external event input


def board_object(tmp_path, model, through, **settings):
    """(what the control is given, the board it acts on): the board itself, a
    Video that opened it from a camera file, or a Video driving a board given to it."""
    path = camera_file(tmp_path, model, **settings)
    if through == "video from a file":
        video = unit.Video.from_file(path)
        return video, video.controller
    board = getattr(unit, model).from_file(path)
    if through == "board":
        return board, board
    video = unit.Video()
    video.controller = vktsim.as_interface(board, vktsim.IxModule)
    return video, board


THROUGH = ["board", "video from a file", "video of a board"]

SIO = {"KTX21": unit.KTX21Sio, "KTX22": unit.KTX22Sio}


def open_line(board, model):
    sio = SIO[model].from_(board)
    sio.open()
    sio.timeout = 0
    return sio


# Encoder class, how counting starts, and the counter the pulses reach.
ENCODERS = {
    "KTX21": (unit.KTX21Encoder, lambda encoder: None, lambda encoder: encoder.total_counter()),
    "KTX22": (unit.KTX22Encoder, lambda encoder: encoder.start_encoder(),
              lambda encoder: encoder.encoder_counter()),
}


def counting_encoder(board, model):
    cls, start, counter = ENCODERS[model]
    encoder = cls.from_(board)
    start(encoder)
    return lambda: counter(encoder)


# ---- each control acts on the board behind the object --------------------------------------

@pytest.mark.parametrize("through", THROUGH)
@pytest.mark.parametrize("model", ["KTX21", "KTX22"])
def test_the_serial_line_both_ways(tmp_path, model, through):
    obj, board = board_object(tmp_path, model, through)
    sio = open_line(board, model)
    vktsim.feed_serial(obj, b"ok\xe9")
    assert sio.read(2) == "ok" and sio.read_byte() == "\u00e9"
    sio.write("ID?\r")
    assert vktsim.serial_received(obj) == b"ID?\r"
    assert vktsim.serial_received(obj) == b""


@pytest.mark.parametrize("through", THROUGH)
@pytest.mark.parametrize("model", ["KTX21", "KTX22"])
def test_the_encoder_moves_at_once_and_with_frames(tmp_path, model, through):
    obj, board = board_object(tmp_path, model, through)
    counter = counting_encoder(board, model)
    vktsim.move_encoder(obj, 7)
    assert counter() == 7
    vktsim.set_encoder_speed(obj, 3)
    capture(board, 2)
    assert counter() == 13


@pytest.mark.parametrize("through", THROUGH)
def test_board_events_raised_and_cancelled(tmp_path, through):
    obj, board = board_object(tmp_path, "KTX22", through)
    vktsim.raise_event(obj, EXTERNAL, delay_ms=20)
    assert board.wait_event(EXTERNAL, 10000, 0) is True
    vktsim.cancel_event(obj, EXTERNAL, 20)
    began = time.monotonic()
    assert board.wait_event(EXTERNAL, 60000, 0) is False
    # Ended by the cancel (20 ms), not by the minute's time-out: half of it
    # is a bound no loaded machine misses.
    assert time.monotonic() - began < 30
    vktsim.raise_event(obj, EXTERNAL)
    assert board.wait_event(EXTERNAL, 0, 0) is False   # it happened before the wait began


@pytest.mark.parametrize("through", THROUGH)
@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250"])
@pytest.mark.usefixtures("virtual_clock")
def test_a_cut_signal_brings_no_frames_until_it_returns(tmp_path, model, through):
    obj, board = board_object(tmp_path, model, through, Timeout=100)
    vktsim.set_signal(obj, False)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = 1
    board.start()
    with pytest.raises(RuntimeError, match=r"^Code:7 .*no frame within 100 ms"):
        board.wait()
    vktsim.set_signal(obj, True)
    board.wait()
    assert board.status() == 2    # finished


# ---- refusals --------------------------------------------------------------------------------

CONTROLS = {
    "feed_serial": (vktsim.feed_serial, (b"x",)),
    "serial_received": (vktsim.serial_received, ()),
    "set_encoder_speed": (vktsim.set_encoder_speed, (5,)),
    "move_encoder": (vktsim.move_encoder, (5,)),
    "raise_event": (vktsim.raise_event, (EXTERNAL,)),
    "cancel_event": (vktsim.cancel_event, (EXTERNAL,)),
    "set_signal": (vktsim.set_signal, (False,)),
}

ANY_GRABBER = "expected a KTX21, KTX22 or MR250 board or a Video driving one, got "


def refused(control, obj, error, text):
    """Calls a control that must refuse `obj`, with nothing reaching the library."""
    call, args = CONTROLS[control]
    vktsim.clear_journal()
    with pytest.raises(error) as caught:
        call(obj, *args)
    assert str(caught.value) == text
    assert vktsim.journal() == []


@pytest.mark.parametrize("control", CONTROLS)
@pytest.mark.parametrize("make, given", [
    (lambda: None, "NoneType"),
    (lambda: 5, "int"),
    (lambda: "board", "str"),
    (lambda: unit.SNR11(), "unit.SNR11"),
    (lambda: unit.KTX21Param(), "unit.KTX21Param"),
    (lambda: vktsim.Image(4, 4), "vktsim.Image"),
])
def test_objects_that_are_no_grabber_are_a_type_error(control, make, given):
    refused(control, make(), TypeError, ANY_GRABBER + given)


MISSING_FEATURES = [
    ("feed_serial", "MR250", "a board with a serial line (KTX21, KTX22)"),
    ("serial_received", "MR250", "a board with a serial line (KTX21, KTX22)"),
    ("set_encoder_speed", "MR250", "a board with an encoder (KTX21, KTX22)"),
    ("move_encoder", "MR250", "a board with an encoder (KTX21, KTX22)"),
    ("raise_event", "KTX21", "a board with board events (KTX22)"),
    ("raise_event", "MR250", "a board with board events (KTX22)"),
    ("cancel_event", "KTX21", "a board with board events (KTX22)"),
    ("cancel_event", "MR250", "a board with board events (KTX22)"),
]


@pytest.mark.parametrize("through, given", [("board", "a {}"), ("video from a file", "a Video driving a {}")])
@pytest.mark.parametrize("control, model, expected", MISSING_FEATURES)
def test_boards_without_the_feature_are_a_type_error(tmp_path, control, model, expected, through, given):
    obj, _ = board_object(tmp_path, model, through)
    refused(control, obj, TypeError, "expected %s, got %s" % (expected, given.format(model)))


def closed_board(tmp_path, model):
    board = getattr(unit, model).from_file(camera_file(tmp_path, model))
    board.close()
    return board


def disposed_video(tmp_path):
    video = unit.Video.from_file(camera_file(tmp_path, "KTX22"))
    video.dispose()
    return video


@pytest.mark.parametrize("control", CONTROLS)
@pytest.mark.parametrize("make, text", [
    (lambda tmp_path: unit.KTX22(), "the KTX22 board is not open"),
    (lambda tmp_path: closed_board(tmp_path, "KTX22"), "the KTX22 board is not open"),
    (lambda tmp_path: unit.Video(), "the Video drives no board"),
    (disposed_video, "the Video drives no board"),
    (lambda tmp_path: unit.KTX22.__new__(unit.KTX22), "the object holds no library object"),
])
def test_boards_that_are_not_open_are_a_value_error(tmp_path, control, make, text):
    refused(control, make(tmp_path), ValueError, text)


def test_a_video_whose_board_is_gone_drives_no_board(tmp_path):
    board = unit.KTX22.from_file(camera_file(tmp_path, "KTX22"))
    video = unit.Video()
    video.controller = vktsim.as_interface(board, vktsim.IxModule)
    del board
    refused("feed_serial", video, ValueError, "the Video drives no board")


@pytest.mark.parametrize("control, args, text", [
    (vktsim.move_encoder, (1000001,), "encoder pulses must be within -1000000..1000000"),
    (vktsim.move_encoder, (-1000001,), "encoder pulses must be within -1000000..1000000"),
    (vktsim.set_encoder_speed, (-1000001,), "encoder pulses must be within -1000000..1000000"),
    (vktsim.raise_event, (4,), "board events are 0 to 3"),
    (vktsim.raise_event, (-1,), "board events are 0 to 3"),
    (vktsim.raise_event, (0, 60001), "an event is scheduled 0 to 60000 ms ahead"),
    (vktsim.cancel_event, (0, -1), "an event is scheduled 0 to 60000 ms ahead"),
    (vktsim.feed_serial, (b"x" * 4097,), None),
])
def test_values_out_of_range_are_a_value_error_and_change_nothing(tmp_path, control, args, text):
    board = unit.KTX22.from_file(camera_file(tmp_path, "KTX22"))
    sio = open_line(board, "KTX22")
    counter = counting_encoder(board, "KTX22")
    with pytest.raises(ValueError) as caught:
        control(board, *args)
    assert text is None or str(caught.value) == text
    assert counter() == 0 and sio.read(1) == " "     # no pulse moved, no byte queued
    assert board.wait_event(EXTERNAL, 0, 0) is False


def test_the_digital_io_wires_need_no_open_board():
    vktsim.set_inputs("SNR11", 2, 0x5)
    board = unit.SNR11()
    board.open(2)
    assert board.read() == 0x5
