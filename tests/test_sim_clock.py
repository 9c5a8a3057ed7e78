"""The simulated library's clock: real by default, virtual on request, on
which nothing sleeps and blocking calls jump to what falls due."""
import os
import time

import numpy as np
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import ktx21_small_camera, ktx22_small_camera, mr250_small_camera


def dio_board(model="SNR11", timeout=1000):
    board = getattr(unit, model)()
    board.open(0)
    param = getattr(unit, model + "Param").from_(board)
    param.set_param("Timeout", timeout)
    param.set_param("DIWaitEnable", 0x1)
    return board


def started_on_the_virtual_clock(open_camera, tmp_path, **settings):
    """A small camera capturing into one image, started on the virtual clock."""
    board = open_camera(tmp_path, **settings)
    image = vktsim.Image(16, 8)
    board.lock(image)
    vktsim.set_clock("virtual")
    board.start()
    return board, image


def assert_jumped(wall_seconds, virtual_ms):
    """A call on the virtual clock jumps to the time it waits for: one that
    slept through it instead would take all of it in wall time. Half of it is
    a bound no loaded machine misses (a jump takes about a millisecond:
    bench/test_double.py)."""
    assert wall_seconds < virtual_ms / 1000 / 2, (wall_seconds, virtual_ms)


def event_of(result):
    return result if isinstance(result, int) else result.event_status


# ---- the clock itself -----------------------------------------------------------------------

def test_the_clock_is_real_by_default_and_runs_on_its_own():
    first = vktsim.now_ms()
    time.sleep(0.02)
    assert vktsim.now_ms() - first >= 19
    with pytest.raises(ValueError, match=r"advance\(\) moves the virtual clock"):
        vktsim.advance(10)


def test_the_virtual_clock_stands_still_until_advanced():
    vktsim.set_clock("virtual")
    first = vktsim.now_ms()
    time.sleep(0.01)
    assert vktsim.now_ms() == first
    vktsim.advance(250)
    vktsim.advance(0.5)
    assert vktsim.now_ms() == pytest.approx(first + 250.5, abs=1e-6)


@pytest.mark.parametrize("ms", [-1, float("nan"), float("inf"), 3600001])
def test_advance_refuses_what_is_no_span_of_time(ms):
    vktsim.set_clock("virtual")
    before = vktsim.now_ms()
    with pytest.raises(ValueError, match="advance.. takes 0 to 3600000 ms"):
        vktsim.advance(ms)
    assert vktsim.now_ms() == before


@pytest.mark.parametrize("kind", ["Virtual", "", "sim", "real "])
def test_set_clock_takes_real_or_virtual_only(kind):
    with pytest.raises(ValueError, match='the clock is "real" or "virtual", not "%s"' % kind):
        vktsim.set_clock(kind)
    with pytest.raises(ValueError):   # still real
        vktsim.advance(1)


def test_time_never_goes_back_across_a_switch():
    vktsim.set_clock("virtual")
    vktsim.advance(5000)
    ahead = vktsim.now_ms()
    vktsim.set_clock("real")
    assert vktsim.now_ms() >= ahead
    time.sleep(0.01)
    assert vktsim.now_ms() >= ahead + 9
    vktsim.set_clock("virtual")
    vktsim.set_clock("virtual")   # switching to the clock in use changes nothing
    assert vktsim.now_ms() >= ahead + 9


def test_reset_returns_to_the_real_clock_counting_from_zero():
    vktsim.set_clock("virtual")
    vktsim.advance(7000)
    vktsim.reset()
    assert 0 <= vktsim.now_ms() < 1000
    with pytest.raises(ValueError):
        vktsim.advance(1)


@pytest.mark.parametrize("ahead", [0, 7000])
def test_reset_on_the_virtual_clock_stands_at_exactly_zero(ahead):
    vktsim.set_clock("virtual")
    vktsim.advance(ahead)
    vktsim.reset("virtual")
    time.sleep(0.005)
    assert vktsim.now_ms() == 0.0
    board = dio_board(timeout=5000)
    vktsim.schedule_inputs("SNR11", 0, [(1500, 0x1, -1)])
    assert event_of(board.wait()) == int(unit.EventStatus.DI)
    assert vktsim.now_ms() == 1500.0
    vktsim.advance(2.5)
    assert vktsim.now_ms() == 1502.5


@pytest.mark.parametrize("clock", ["wall", "Virtual", ""])
def test_reset_refuses_an_unknown_clock_and_changes_nothing(clock):
    vktsim.set_clock("virtual")
    vktsim.advance(40)
    time_before = vktsim.now_ms()
    vktsim.script("CxSNR11::Read", value=0x5)
    board = unit.SNR11()
    board.open(0)
    journal = vktsim.journal()
    with pytest.raises(ValueError) as refused:
        vktsim.reset(clock)
    assert str(refused.value) == f'the clock is "real" or "virtual", not "{clock}"'
    assert vktsim.journal() == journal
    assert vktsim.now_ms() == time_before
    assert board.read() == 0x5
    board.close()


# ---- blocking calls jump instead of sleeping ---------------------------------------------------

@pytest.mark.parametrize("model", ["SNR11", "SN2200", "TK560"])
def test_a_long_digital_io_time_out_takes_no_wall_time(model):
    board = dio_board(model, timeout=5000)
    vktsim.set_clock("virtual")
    start, wall = vktsim.now_ms(), time.perf_counter()
    assert event_of(board.wait()) == int(unit.EventStatus.TIMEOUT)
    assert vktsim.now_ms() - start == pytest.approx(5000)
    assert_jumped(time.perf_counter() - wall, 5000)


def test_a_wait_jumps_to_the_scheduled_edge_that_ends_it():
    board = dio_board(timeout=5000)
    vktsim.set_clock("virtual")
    vktsim.schedule_inputs("SNR11", 0, [(100, 0x2, -1), (1234, 0x3, -1), (2000, 0x0, -1)])
    start = vktsim.now_ms()
    assert board.wait() == int(unit.EventStatus.DI)
    assert vktsim.now_ms() - start == pytest.approx(1234)
    assert board.read() == 0x3
    vktsim.advance(1000)
    assert board.read() == 0x0


def test_advance_delivers_the_scheduled_changes_on_the_way_in_order():
    board = dio_board()
    vktsim.set_clock("virtual")
    vktsim.schedule_inputs("SNR11", 0, [(30, 0x3, -1), (10, 0x1, -1), (20, 0x2, 1)])
    seen = []
    for _ in range(4):
        seen.append(board.read())
        vktsim.advance(10)
    assert seen == [0x0, 0x1, 0x2, 0x3]


def test_abort_before_a_virtual_wait_ends_it_at_once():
    board = dio_board(timeout=5000)
    vktsim.set_clock("virtual")
    board.abort()
    start = vktsim.now_ms()
    assert board.wait() == int(unit.EventStatus.ABORT)
    assert vktsim.now_ms() == start


def test_a_capture_of_fifty_frames_at_one_per_second_takes_fifty_virtual_seconds(tmp_path):
    board = ktx21_small_camera(tmp_path, TriggerCycleTime=1000000, ExposureTime=1000, Timeout=2000)
    images = [vktsim.Image(16, 8) for _ in range(4)]
    board.lock(images)
    board.num = 50
    vktsim.set_clock("virtual")
    start, wall = vktsim.now_ms(), time.perf_counter()
    board.start()
    status = board.wait_status()
    assert vktsim.now_ms() - start == pytest.approx(50000)
    assert_jumped(time.perf_counter() - wall, 50000)
    assert (status.total_frame_count, status.last_frame_no, status.dma_schedule_peak) == (50, 50, 1)


def test_frames_come_only_as_virtual_time_passes(tmp_path):
    board, image = started_on_the_virtual_clock(ktx21_small_camera, tmp_path, TriggerCycleTime=10000,
                                                ExposureTime=1000)
    time.sleep(0.05)
    assert board.query_status().total_frame_count == 0
    vktsim.advance(35)
    assert board.query_status().total_frame_count == 3
    assert np.asarray(image)[0, 0] == 3   # the frame number stamped in the newest frame
    vktsim.advance(5)
    assert board.query_status().total_frame_count == 4
    board.stop()
    vktsim.advance(100)
    assert board.query_status().total_frame_count == 4


def test_a_frame_time_out_on_the_virtual_clock(tmp_path):
    board, _ = started_on_the_virtual_clock(ktx21_small_camera, tmp_path, TriggerMode=1, Timeout=3000)
    start = vktsim.now_ms()
    with pytest.raises(RuntimeError) as caught:
        board.wait()
    assert error_fields(caught.value)[0] == 7 and "no frame within 3000 ms" in str(caught.value)
    assert vktsim.now_ms() - start == pytest.approx(3000)


def test_a_triggered_frame_comes_after_the_exposure(tmp_path):
    board = ktx21_small_camera(tmp_path, TriggerMode=1, ExposureTime=2500)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = 1
    vktsim.set_clock("virtual")
    board.start()
    board.force_trigger()
    start = vktsim.now_ms()
    assert board.wait_status().total_frame_count == 1
    assert vktsim.now_ms() - start == pytest.approx(2.5)


def test_ktx22_event_waits_and_scheduled_events_on_the_virtual_clock(tmp_path):
    board = ktx22_small_camera(tmp_path)
    vktsim.set_clock("virtual")
    start = vktsim.now_ms()
    assert board.wait_event(3, 40000, 0) is False
    assert vktsim.now_ms() - start == pytest.approx(40000)
    vktsim.raise_event(board, 3, delay_ms=700)
    vktsim.cancel_event(board, 3, delay_ms=900)
    start = vktsim.now_ms()
    assert board.wait_event(3, 5000, 0) is True
    assert vktsim.now_ms() - start == pytest.approx(700)
    assert board.wait_event(3, 5000, 0) is False
    assert vktsim.now_ms() - start == pytest.approx(900)


def test_ktx22_wait_with_a_time_out_on_the_virtual_clock(tmp_path):
    board = ktx22_small_camera(tmp_path, TriggerMode=1)
    images = [vktsim.Image(16, 8)]
    board.lock(images)
    vktsim.set_clock("virtual")
    board.start()
    start = vktsim.now_ms()
    assert board.wait(250) is False
    assert vktsim.now_ms() - start == pytest.approx(250)


def test_serial_reads_time_out_in_virtual_time(tmp_path):
    board = ktx21_small_camera(tmp_path)
    sio = unit.KTX21Sio.from_(board)
    sio.open()
    unit.KTX21Param.from_(board).set_param("SIOTimeout", 60000)
    vktsim.set_clock("virtual")
    start, wall = vktsim.now_ms(), time.perf_counter()
    assert sio.read(4) == " \0\0\0"   # nothing arrived (as the binding renders it)
    assert vktsim.now_ms() - start == pytest.approx(60000)
    assert_jumped(time.perf_counter() - wall, 60000)
    vktsim.feed_serial(board, b"ab")
    assert sio.read(2) == "ab"
    assert vktsim.now_ms() - start == pytest.approx(60000)


def test_mr250_without_a_signal_times_out_in_virtual_time(tmp_path):
    board, _ = started_on_the_virtual_clock(mr250_small_camera, tmp_path, Timeout=2000)
    vktsim.set_signal(board, False)
    start = vktsim.now_ms()
    with pytest.raises(RuntimeError, match="Code:7 .*no frame within 2000 ms"):
        board.wait()
    assert vktsim.now_ms() - start == pytest.approx(2000)


# ---- the same results on both clocks ---------------------------------------------------------

def test_a_capture_gives_the_same_frames_on_both_clocks(tmp_path, clock):
    board = ktx21_small_camera(tmp_path, TriggerCycleTime=2000, ExposureTime=100)
    images = [vktsim.Image(16, 8) for _ in range(3)]
    board.lock(images)
    board.num = 7
    board.start()
    status = board.wait_status()
    assert (status.total_frame_count, status.last_frame_no) == (7, 7)
    assert [board.query_status(i).last_frame_no for i in range(3)] == [7, 5, 6]
    assert [int(np.asarray(image)[0, 0]) for image in images] == [7, 5, 6]
    assert calls("CxKTX21::Start") == [(vktsim.ident(board),)]


def test_a_board_reset_during_a_virtual_capture_stops_it(tmp_path):
    board, _ = started_on_the_virtual_clock(ktx21_small_camera, tmp_path)
    vktsim.advance(10)
    vktsim.reset()
    assert not board.is_running
    board.open(0, 0)
    image = vktsim.Image(640, 480)
    board.lock(image)
    board.start()   # on the real clock again: frames come by themselves
    assert board.wait_status(2).total_frame_count >= 2


def test_a_capture_continues_across_a_switch_of_clocks(tmp_path):
    board = ktx21_small_camera(tmp_path, TriggerCycleTime=1000)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.start()
    board.wait()
    vktsim.set_clock("virtual")
    frozen = board.query_status().total_frame_count
    time.sleep(0.03)
    assert board.query_status().total_frame_count == frozen
    vktsim.advance(10)
    # Frames the worker had not yet delivered when the clock turned come first.
    caught_up = board.query_status().total_frame_count
    assert caught_up >= frozen + 10
    vktsim.advance(10)
    assert board.query_status().total_frame_count == caught_up + 10
    vktsim.set_clock("real")
    assert board.wait_status(caught_up + 12).total_frame_count >= caught_up + 12


# ---- the board channel's worker ---------------------------------------------------------------

def threads():
    return len(os.listdir("/proc/self/task"))


def test_one_worker_per_board_channel_serves_every_capture(tmp_path):
    board = ktx21_small_camera(tmp_path)
    image = vktsim.Image(16, 8)
    board.lock(image)
    before = threads()
    for _ in range(5):
        board.num = 2
        board.start()
        board.wait()
        assert threads() == before + 1
    board.start()
    board.stop()
    assert threads() == before + 1
    vktsim.reset()   # the board halts: its worker ends
    assert threads() == before
