"""The code under test's own time on the simulator's clock: vktsim.patch_time()
and the fixture's patch_time=True."""
import math
import threading
import time

import pytest

import unit
import vktsim
from grabber_support import ktx21_small_camera

NAMES = ("sleep", "monotonic", "monotonic_ns", "perf_counter", "perf_counter_ns", "time",
         "time_ns")
REAL = {name: getattr(time, name) for name in NAMES}


def real_monotonic_ns():
    # Not among the functions replaced: the test's own view of real time.
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC)


def station_holds_the_gate(board, line, hold_s):
    """A user's station: raises a reject gate, holds it, lowers it, and
    reports what it read on its inputs meanwhile."""
    board.write(line, True)
    time.sleep(hold_s)
    board.write(line, False)
    return board.read()


@pytest.mark.vkt_sim(clock="virtual", patch_time=True)
def test_holding_an_output_for_10_ms_takes_10_virtual_ms_and_sees_the_input_due_at_5():
    board = unit.SNR11()
    board.open(0)
    vktsim.schedule_inputs("SNR11", 0, [(5, 0x4, -1)])
    began = time.monotonic_ns()
    vktsim.clear_journal()
    inputs = station_holds_the_gate(board, 3, 0.010)
    assert time.monotonic_ns() - began == 10_000_000
    assert vktsim.now_ms() == 10.0
    assert inputs == 0x4
    assert [name for name, _ in vktsim.journal()] == ["CxSNR11::Write", "CxSNR11::Write",
                                                      "CxSNR11::Read"]
    assert vktsim.outputs("SNR11", 0) == 0
    # A hold of three hours is three virtual hours, in steps advance() takes.
    assert station_holds_the_gate(board, 3, 3 * 3600) == 0x4
    assert vktsim.now_ms() == 10.0 + 3 * 3600 * 1000
    board.close()


@pytest.mark.parametrize("name, moved", [
    ("monotonic", 0.25), ("perf_counter", 0.25), ("time", 0.25),
    ("monotonic_ns", 250_000_000), ("perf_counter_ns", 250_000_000), ("time_ns", 250_000_000),
])
def test_every_clock_reads_the_virtual_time(name, moved):
    vktsim.reset("virtual")
    with vktsim.patch_time():
        read = getattr(time, name)
        first = read()
        vktsim.advance(200)
        time.sleep(0.05)
        second = read()
    if isinstance(moved, int):
        assert second - first == moved
    else:
        assert second - first == pytest.approx(moved, abs=1e-6)
    assert vktsim.now_ms() == 250.0


@pytest.mark.parametrize("name, reference", [
    ("monotonic_ns", time.CLOCK_MONOTONIC), ("perf_counter_ns", time.CLOCK_MONOTONIC),
    ("time_ns", time.CLOCK_REALTIME),
])
def test_each_clock_goes_on_from_where_it_stood_when_the_patch_began(name, reference):
    vktsim.reset("virtual")
    vktsim.advance(1000)
    before = time.clock_gettime_ns(reference)
    with vktsim.patch_time():
        after = time.clock_gettime_ns(reference)
        vktsim.advance(30)
        read = getattr(time, name)()
    assert before + 30_000_000 <= read <= after + 30_000_000


def test_sleep_delivers_the_frames_due_on_the_way(tmp_path):
    board = ktx21_small_camera(tmp_path, TriggerCycleTime=20000)
    image = vktsim.Image(16, 8)
    board.lock(image)
    vktsim.set_clock("virtual")
    board.start()
    with vktsim.patch_time():
        time.sleep(0.1)
    assert board.query_status().total_frame_count == 5
    board.abort()
    board.unlock()


def test_other_threads_keep_the_real_clock():
    vktsim.reset("virtual")
    seen = {}

    def elsewhere():
        before = real_monotonic_ns()
        seen["monotonic"] = time.monotonic_ns()
        time.sleep(0.001)
        seen["slept"] = real_monotonic_ns() - before
        seen["after"] = real_monotonic_ns()
        try:
            with vktsim.patch_time():
                pass
        except RuntimeError as error:
            seen["error"] = str(error)

    with vktsim.patch_time():
        before = real_monotonic_ns()
        thread = threading.Thread(target=elsewhere)
        thread.start()
        thread.join()
        assert vktsim.now_ms() == 0.0
        assert time.monotonic_ns() <= before
    assert before <= seen["monotonic"] <= seen["after"]
    assert seen["slept"] >= 1_000_000
    assert seen["error"] == ("patch_time() is in force in another thread: one thread at a "
                             "time owns the virtual time")


def test_everything_is_given_back_however_the_block_ends():
    vktsim.reset("virtual")
    with pytest.raises(KeyError):
        with vktsim.patch_time():
            assert all(getattr(time, name) is not REAL[name] for name in NAMES)
            with vktsim.patch_time():         # nested in the same thread
                time.sleep(1)
            assert time.sleep is not REAL["sleep"]
            raise KeyError("the code under test failed")
    assert {name: getattr(time, name) for name in NAMES} == REAL
    assert vktsim.now_ms() == 1000.0
    # Another thread may own it once it is given back.
    thread = threading.Thread(target=sleep_half_a_second_on_the_virtual_clock)
    thread.start()
    thread.join()
    assert vktsim.now_ms() == 1500.0
    assert {name: getattr(time, name) for name in NAMES} == REAL


def sleep_half_a_second_on_the_virtual_clock():
    with vktsim.patch_time():
        time.sleep(0.5)


@pytest.mark.parametrize("secs, error, message", [
    (-0.001, ValueError, "sleep length must be non-negative"),
    (math.nan, ValueError, "Invalid value NaN (not a number)"),
    (math.inf, OverflowError, "sleep length is too large"),
    ("1", TypeError, "'str' object cannot be interpreted as an integer"),
    (None, TypeError, "'NoneType' object cannot be interpreted as an integer"),
])
def test_sleep_refuses_what_time_sleep_refuses_and_moves_nothing(secs, error, message):
    vktsim.reset("virtual")
    with pytest.raises(error) as real:
        REAL["sleep"](secs)
    with vktsim.patch_time():
        with pytest.raises(error) as patched:
            time.sleep(secs)
    assert str(patched.value) == message
    assert type(patched.value) is type(real.value)
    assert vktsim.now_ms() == 0.0
    assert vktsim.journal() == []


def test_on_the_real_clock_sleep_sleeps_and_the_clocks_read_simulated_time():
    with vktsim.patch_time():
        began = time.monotonic_ns()
        simulated = vktsim.now_ms()
        time.sleep(0.02)
        assert time.monotonic_ns() - began >= 20_000_000
        assert vktsim.now_ms() - simulated >= 19.999
        assert vktsim.get_clock() == "real"


@pytest.mark.parametrize("ms, exactly", [(0.000249, 0.000249), (0.000498, 0.000498),
                                       (2.6e-6, 0.000003)])
def test_advance_moves_to_the_nearest_nanosecond(ms, exactly):
    vktsim.reset("virtual")
    assert vktsim.get_clock() == "virtual"
    vktsim.advance(ms)
    assert vktsim.now_ms() == exactly
