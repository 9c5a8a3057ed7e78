"""The simulator as a test double: a serial responder in place of the built-in
camera, an encoder that moves with time, advance() whose cost follows the
images rather than the frames, and clocks that only the test moves."""
import time

import numpy as np
import pytest

import unit
import vktsim
from grabber_support import small_camera_file as camera_file
from test_sim_controls import SIO, THROUGH, board_object, open_line

ENCODER_STATUS_FIELDS = ("encoder_counter", "rel_counter", "match_counter")


# What a read of a line that has nothing gives: its buffer as it started.
NOTHING = " "


def received(sio, count):
    """The bytes a read of `count` got, without the buffer's zeros after them."""
    return sio.read(count).rstrip("\0")


def line_of(tmp_path, model="KTX21", through="board"):
    obj, board = board_object(tmp_path, model, through)
    return obj, board, open_line(board, model)


# ---- a serial responder --------------------------------------------------------------------

@pytest.mark.parametrize("through", THROUGH)
@pytest.mark.parametrize("model", ["KTX21", "KTX22"])
def test_a_mapping_answers_each_request_without_echo(tmp_path, model, through):
    obj, board, sio = line_of(tmp_path, model, through)
    vktsim.on_serial(obj, {b"ID?\r": b"cam-7\r", b"GAIN?\n": b"12\n", b"QUIET\r": None})
    sio.write("ID?\r")
    assert received(sio, 20) == "cam-7\r"
    sio.write("GAIN?\nQUIET\rnobody knows this\r")
    assert received(sio, 20) == "12\n"           # nothing for the unmapped or silent requests
    assert vktsim.serial_received(obj) == b"ID?\rGAIN?\nQUIET\rnobody knows this\r"


def test_a_mapping_is_copied_when_given(tmp_path):
    obj, _, sio = line_of(tmp_path)
    replies = {b"A\r": b"1"}
    vktsim.on_serial(obj, replies)
    replies[b"A\r"] = b"2"
    sio.write("A\r")
    assert received(sio, 5) == "1"


def test_a_callable_sees_every_request_whole_however_it_was_written(tmp_path):
    obj, _, sio = line_of(tmp_path, "KTX22")
    requests = []

    def camera(request):
        requests.append(request)
        return None if request == b"\n" else b"<" + request.strip() + b">"

    vktsim.on_serial(obj, camera)
    for byte in "EX":
        sio.write_byte(byte)
    sio.write("P=5\rID?\n\n")
    assert requests == [b"EXP=5\r", b"ID?\n", b"\n"]
    assert received(sio, 20) == "<EXP=5><ID?>"
    vktsim.clear_journal()
    sio.write("X\r")
    assert [name for name, _ in vktsim.journal()] == ["CxKTX22Sio::Write"]


def test_a_reply_comes_its_delay_after_the_request_on_the_virtual_clock(tmp_path):
    obj, _, sio = line_of(tmp_path)
    vktsim.set_clock("virtual")
    vktsim.on_serial(obj, {b"GO\r": b"done\r"}, delay_ms=250)
    begin = vktsim.now_ms()
    sio.write("GO\r")
    vktsim.advance(249.999)
    assert received(sio, 5) == NOTHING
    vktsim.advance(0.001)
    assert received(sio, 5) == "done\r"
    sio.write("GO\r")
    sio.timeout = 1000
    assert received(sio, 5) == "done\r"          # the read waits in virtual time for it
    assert vktsim.now_ms() - begin == pytest.approx(500.0)


def test_a_delayed_reply_arrives_on_the_real_clock(tmp_path):
    obj, _, sio = line_of(tmp_path)
    vktsim.on_serial(obj, lambda request: b"late\r", delay_ms=30)
    began = time.monotonic()
    sio.write("?\r")
    sio.timeout = 5000
    assert received(sio, 5) == "late\r"
    assert time.monotonic() - began >= 0.029


class Refused(Exception):
    pass


@pytest.mark.parametrize("make", [lambda: Refused("mine"), KeyboardInterrupt, lambda: ValueError("bad request")])
def test_what_a_responder_raises_reaches_the_write_unchanged(tmp_path, make):
    obj, _, sio = line_of(tmp_path)
    raised = make()

    def camera(request):
        if request == b"BOOM\r":
            raise raised
        return b"ok\r"

    vktsim.on_serial(obj, camera)
    vktsim.clear_journal()
    with pytest.raises(type(raised)) as caught:
        sio.write("BOOM\rNEXT\r")
    assert caught.value is raised
    assert [name for name, _ in vktsim.journal()] == ["CxKTX21Sio::Write"]
    assert vktsim.serial_received(obj) == b"BOOM\r"     # the rest was not sent
    sio.write("NEXT\r")                                  # the line and board go on
    assert received(sio, 10) == "ok\r"
    vktsim.on_serial(obj, None)
    raised.__traceback__ = None     # it refers to this frame, and so to the board


def test_a_reply_that_is_no_bytes_is_a_type_error_of_the_write(tmp_path):
    obj, _, sio = line_of(tmp_path)
    vktsim.on_serial(obj, lambda request: "text")
    with pytest.raises(TypeError, match=r"^the responder's reply is a str; expected bytes or None$"):
        sio.write("ID?\r")
    assert received(sio, 10) == NOTHING


def test_a_responder_may_use_the_library_on_its_own_board(tmp_path):
    obj, _, sio = line_of(tmp_path)

    def camera(request):
        vktsim.feed_serial(obj, b"[")
        return b"]"

    vktsim.on_serial(obj, camera)
    sio.write("X\r")
    assert received(sio, 5) == "[]"
    vktsim.on_serial(obj, None)     # the responder holds the board: let it go


@pytest.mark.parametrize("restore", ["none", "reset"])
def test_none_and_reset_bring_the_built_in_camera_back(tmp_path, restore):
    obj, board, sio = line_of(tmp_path)
    vktsim.on_serial(obj, {b"ID?\r": b"mine\r"})
    if restore == "none":
        vktsim.on_serial(obj, None)
    else:
        vktsim.reset()
        board = unit.KTX21.from_file(camera_file(tmp_path, "KTX21"))
        sio = open_line(board, "KTX21")
    sio.write("EXP?\r")
    assert received(sio, 20) == "EXP?\r100\r"    # echo, then the built-in answer


@pytest.mark.parametrize("responder, delay, error, text", [
    (42, 0, TypeError, "responder is a int; expected a mapping of requests to replies, a callable, or None"),
    ({"ID?\r": b"x"}, 0, TypeError, "a request is a str; expected bytes"),
    ({b"ID?\r": "x"}, 0, TypeError, "a reply is a str; expected bytes or None"),
    ({}, -1, ValueError, "a reply comes 0 to 60000 ms after its request"),
    ({}, 60001, ValueError, "a reply comes 0 to 60000 ms after its request"),
])
def test_refused_responders_change_nothing(tmp_path, responder, delay, error, text):
    obj, _, sio = line_of(tmp_path)
    vktsim.on_serial(obj, {b"ID?\r": b"before\r"})
    with pytest.raises(error, match="^%s$" % text.replace("?", r"\?")):
        vktsim.on_serial(obj, responder, delay)
    sio.write("ID?\r")
    assert received(sio, 20) == "before\r"


def test_a_board_without_a_serial_line_takes_no_responder(tmp_path):
    obj, _ = board_object(tmp_path, "MR250", "board")
    with pytest.raises(TypeError, match=r"^expected a board with a serial line \(KTX21, KTX22\), got a MR250$"):
        vktsim.on_serial(obj, {})


# ---- an encoder that moves with time -------------------------------------------------------

def ktx21_counters(encoder):
    return (encoder.total_counter(), encoder.rel_counter(), encoder.abs_counter(), encoder.match_counter())


def ktx22_counters(encoder):
    status = unit.TxKTX22EncoderStatus()
    encoder.encoder_status(status)
    return (encoder.encoder_counter(), encoder.rel_counter(), encoder.match_counter(),
            tuple(getattr(status, name) for name in ENCODER_STATUS_FIELDS))


def rate_encoder(board, model):
    """The board's encoder, counting, with a match every 10 pulses; and its counters."""
    if model == "KTX21":
        encoder = unit.KTX21Encoder.from_(board)
        encoder.comp1 = 10
        encoder.start_abs(True)
        return lambda: ktx21_counters(encoder)
    encoder = unit.KTX22Encoder.from_(board)
    encoder.comp1 = 10
    encoder.start_encoder()
    return lambda: ktx22_counters(encoder)


@pytest.mark.parametrize("through", THROUGH)
def test_every_counter_moves_exactly_with_virtual_time_ktx21(tmp_path, through):
    obj, board = board_object(tmp_path, "KTX21", through)
    counters = rate_encoder(board, "KTX21")
    vktsim.set_clock("virtual")
    vktsim.set_encoder_rate(obj, 3)
    vktsim.advance(10)
    assert counters() == (30, 30, 30, 3)


@pytest.mark.parametrize("through", THROUGH)
def test_every_counter_moves_exactly_with_virtual_time_ktx22(tmp_path, through):
    obj, board = board_object(tmp_path, "KTX22", through)
    counters = rate_encoder(board, "KTX22")
    vktsim.set_clock("virtual")
    vktsim.set_encoder_rate(obj, 3)
    vktsim.advance(10)
    assert counters() == (30, 30, 3, (30, 30, 3))


def test_the_rate_adds_to_the_motion_per_frame_and_goes_either_way(tmp_path):
    obj, board = board_object(tmp_path, "KTX21", "board")   # a frame every 1 ms
    total = unit.KTX21Encoder.from_(board).total_counter
    vktsim.set_clock("virtual")
    vktsim.set_encoder_speed(obj, 5)
    vktsim.set_encoder_rate(obj, -2)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = 4
    board.start()
    board.wait()                          # 4 frames in 4 ms: 20 forwards, 8 backwards
    assert total() == 12
    vktsim.set_encoder_rate(obj, 0)
    vktsim.advance(100)
    assert total() == 12                  # 0 stops it
    board.unlock()


@pytest.mark.parametrize("rate, steps, step_ms, moved", [
    (0.25, 3, 1, 0),          # a part of a pulse carries over ...
    (0.25, 4, 1, 1),
    (0.25, 1000, 1, 250),     # ... with no drift however time is cut
    (0.25, 1, 1000, 250),
    (-0.25, 1000, 1, -250),
    (1 / 3, 3000, 1, 999),    # kept to 0.001 pulse per ms
    (0.0004, 1, 10000, 0),    # rounded to the nearest 0.001: 0
    (0.0006, 1, 10000, 10),   # rounded to 0.001
])
def test_fractional_rates_accumulate_exactly(tmp_path, rate, steps, step_ms, moved):
    obj, board = board_object(tmp_path, "KTX22", "board")
    encoder = unit.KTX22Encoder.from_(board)
    encoder.start_encoder()
    vktsim.set_clock("virtual")
    vktsim.set_encoder_rate(obj, rate)
    vktsim.move_encoder(obj, 0)
    for _ in range(steps):
        vktsim.advance(step_ms)
        encoder.rel_counter()             # every read counts the motion so far
    assert (encoder.encoder_counter(), encoder.rel_counter()) == (moved, abs(moved))


def test_the_encoder_moves_with_real_time_and_stops_on_reset(tmp_path):
    obj, board = board_object(tmp_path, "KTX21", "board")
    encoder = unit.KTX21Encoder.from_(board)
    vktsim.set_encoder_rate(obj, 1)
    began = time.monotonic()
    time.sleep(0.05)
    moved = encoder.total_counter()
    assert 49 <= moved <= (time.monotonic() - began) * 1000 + 1
    vktsim.reset()
    board = unit.KTX21.from_file(camera_file(tmp_path, "KTX21"))
    encoder = unit.KTX21Encoder.from_(board)
    time.sleep(0.01)
    assert encoder.total_counter() == 0


@pytest.mark.parametrize("rate", [float("nan"), float("inf"), -1000000.5, 1000001])
def test_rates_out_of_range_are_refused(tmp_path, rate):
    obj, board = board_object(tmp_path, "KTX21", "board")
    vktsim.set_encoder_rate(obj, 2)
    vktsim.set_clock("virtual")
    with pytest.raises(ValueError, match=r"^an encoder rate must be within -1000000\.\.1000000 pulses per ms$"):
        vktsim.set_encoder_rate(obj, rate)
    vktsim.advance(5)
    assert unit.KTX21Encoder.from_(board).total_counter() == 10


def test_a_board_without_an_encoder_takes_no_rate(tmp_path):
    obj, _ = board_object(tmp_path, "MR250", "board")
    with pytest.raises(TypeError, match=r"^expected a board with an encoder \(KTX21, KTX22\), got a MR250$"):
        vktsim.set_encoder_rate(obj, 1)


# ---- advance() at a cost that follows the images, not the frames ---------------------------

def fast_capture(tmp_path, model, ring, num=0, frames=None, speed=None, rate=None, events=()):
    """A camera at a 1 us period capturing into `ring` images on the virtual
    clock, with what the setup asks for; the board, its images and encoder."""
    board = unit.KTX21.from_file(camera_file(tmp_path, model, TriggerCycleTime=1, ExposureTime=1)) \
        if model == "KTX21" else unit.KTX22.from_file(camera_file(tmp_path, model, TriggerCycleTime=1,
                                                                  ExposureTime=1))
    encoder = (unit.KTX21Encoder if model == "KTX21" else unit.KTX22Encoder).from_(board)
    if model == "KTX22":
        encoder.start_encoder()
    else:
        encoder.start_abs(True)
    encoder.comp1 = 7
    vktsim.set_clock("virtual")
    images = [vktsim.Image(16, 8) for _ in range(ring)]
    if frames is not None:
        vktsim.set_frames(board, [np.full((8, 16), k, np.uint8) for k in range(frames)])
    if speed is not None:
        vktsim.set_encoder_speed(board, speed)
    if rate is not None:
        vktsim.set_encoder_rate(board, rate)
    for event, delay in events:
        vktsim.raise_event(board, event, delay)
    board.lock(images)
    board.num = num
    board.start()
    return board, images, encoder


def observed(board, images, encoder):
    """Everything a test can see of a capture: status records, per image and
    overall, the images' content, the encoder counters, the journal of reading
    them (objects named by their roles) and the time."""
    idents = {vktsim.ident(board): "board", vktsim.ident(encoder): "encoder"}
    idents.update({vktsim.ident(image): "image %d" % k for k, image in enumerate(images)})

    def fields(record):
        return tuple(getattr(record, name) for name in sorted(dir(record))
                     if not name.startswith("_") and not callable(getattr(record, name)))

    vktsim.clear_journal()
    records = [fields(board.query_status())]
    if isinstance(board, unit.KTX21):
        records += [fields(board.query_status(k)) for k in range(len(images))]
        counters = (encoder.total_counter(), encoder.rel_counter(), encoder.match_counter(),
                    encoder.abs_counter(), encoder.is_abs_overflow, encoder.is_abs_underflow)
    else:
        counters = (encoder.encoder_counter(), encoder.rel_counter(), encoder.match_counter())
    result = dict(status=board.status(), records=records, counters=counters,
                  pixels=[np.asarray(image).copy() for image in images], now=vktsim.now_ms())
    if isinstance(board, unit.KTX22):
        result["frame event"] = board.wait_event(0, 0, 0)
        result["external event"] = board.wait_event(3, 0, 0)
    # Each call's first argument is the object it was made on.
    result["journal"] = [(name, (idents[args[0]],) + args[1:]) for name, args in vktsim.journal()]
    return result


def run_stepped(tmp_path, setup, span_ms, step_ms):
    board, images, encoder = fast_capture(tmp_path, **setup)
    began = vktsim.now_ms()
    vktsim.clear_journal()
    for _ in range(int(span_ms / step_ms)):
        vktsim.advance(step_ms)
    moved = vktsim.journal()
    result = observed(board, images, encoder)
    result["now"] = round(result["now"] - began, 9)
    result["journal while advancing"] = moved
    board.abort()
    board.unlock()
    vktsim.reset()
    return result


SETUPS = {
    "4 images, continuous": dict(model="KTX21", ring=4),
    "1 image, continuous": dict(model="KTX21", ring=1),
    "3 images, 1000 frames": dict(model="KTX21", ring=3, num=1000),
    "4 images, 250500 frames": dict(model="KTX21", ring=4, num=250500),
    "user frames, speed and rate": dict(model="KTX21", ring=4, frames=3, speed=3, rate=0.75),
    "KTX22, backwards, events": dict(model="KTX22", ring=5, frames=2, speed=-2, rate=-1.5,
                                     events=[(3, 120), (0, 250)]),
    "KTX22, 7000 frames": dict(model="KTX22", ring=2, num=7000, rate=2),
    "counters wrapping round": dict(model="KTX21", ring=2, speed=1000000),
}


def assert_one_advance_saw_what_the_steps_saw(in_steps, at_once):
    """What a run in steps observed (a dict of observations, "pixels" a list
    of frames) equals what one advance over the same span observed, and
    advancing itself called nothing."""
    for key in in_steps:
        if key == "pixels":
            assert all(np.array_equal(a, b) for a, b in zip(in_steps[key], at_once[key])), key
        else:
            assert in_steps[key] == at_once[key], key
    assert in_steps["journal while advancing"] == []


@pytest.mark.parametrize("span, step", [(300, 1), (5, 0.001)], ids=["1 ms steps", "a frame a step"])
@pytest.mark.parametrize("setup", SETUPS.values(), ids=list(SETUPS))
def test_one_advance_shows_what_advancing_in_steps_shows(tmp_path, setup, span, step):
    assert_one_advance_saw_what_the_steps_saw(run_stepped(tmp_path, setup, span, step),
                                              run_stepped(tmp_path, setup, span, span))


def test_an_hour_of_a_1_us_camera_takes_far_less_than_a_frame_at_a_time_would(tmp_path):
    board, images, encoder = fast_capture(tmp_path, "KTX21", ring=4)
    vktsim.advance(1000)
    # 3.6e9 frames: one at a time, even at a nanosecond each, is 3.6 s; the
    # jump takes microseconds (bench/test_double.py), so a second is a bound
    # no loaded machine misses.
    began = time.perf_counter()
    vktsim.advance(3600000)
    assert time.perf_counter() - began < 1
    frames = board.query_status().total_frame_count
    assert frames == (1000000 + 3600000000) % 2**32
    stamp = [int(np.asarray(image)[0, :4].view("<u4")[0]) for image in images]
    assert sorted(stamp) == [(frames - k) % 2**32 for k in (3, 2, 1, 0)]
    board.abort()
    board.unlock()


# ---- a virtual clock only the test moves ---------------------------------------------------

def test_switching_clocks_under_a_running_capture_never_lets_the_worker_move_time(tmp_path):
    board = unit.KTX21.from_file(camera_file(tmp_path, "KTX21", TriggerCycleTime=1, ExposureTime=1))
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.start()
    moved = []
    deadline = time.monotonic() + 3
    switches = 0
    while time.monotonic() < deadline and switches < 20000:
        vktsim.set_clock("virtual")
        before = (vktsim.now_ms(), board.query_status().total_frame_count)
        for _ in range(3):
            time.sleep(0)             # let the worker run
        after = (vktsim.now_ms(), board.query_status().total_frame_count)
        if before != after:
            moved.append((before, after))
        vktsim.set_clock("real")
        switches += 1
        busy_until = time.perf_counter() + 0.0002
        while time.perf_counter() < busy_until:
            pass                      # the worker delivers on the real clock meanwhile
    board.abort()
    board.unlock()
    assert moved == [], "%d of %d switches" % (len(moved), switches)
