"""Captures on the simulated KTX22: frames into locked images, waits with a
time-out, board events, the PG unit, per-channel triggers and trigger masks,
and the PLL."""
import numpy as np
import pytest

import unit
import vktsim
from conftest import error_fields
from grabber_support import ktx22_small_camera as small_camera

IDLE, RUNNING, FINISHED, STOPPED, ABORTED = range(5)
FRAME, CAPTURE_END, TRIGGER, EXTERNAL = range(4)


def locked(board, count=3):
    images = [vktsim.Image(16, 8) for _ in range(count)]
    board.lock(images)
    return images


def test_a_capture_fills_the_images_and_the_callers_record(tmp_path):
    board = small_camera(tmp_path)
    images = locked(board)
    board.num = 5
    board.start()
    record = unit.TxKTX22CaptureStatus()
    assert board.wait_status(record) is True
    assert (record.total_frame_count, record.amount_in_frame, record.last_frame_no,
            record.line_count, record.capture_state) == (5, 8, 5, 40, FINISHED)
    assert board.query_status() == record and board.status() == FINISHED
    # Frames 1..5 went round a ring of three; row 0 starts with the frame number.
    assert [int(np.asarray(image)[0, 0]) for image in images] == [4, 5, 3]
    assert int(np.asarray(images[1])[1, 5]) == (5 + 2 + 3 * 5) & 0xFF


@pytest.mark.usefixtures("virtual_clock")
def test_wait_with_a_time_out_and_the_pg_unit(tmp_path):
    board = small_camera(tmp_path)
    images = locked(board, 1)  # noqa: F841 (kept alive for the capture)
    param = unit.KTX22Param.from_(board)
    board.start()
    assert board.wait(2000) is True          # a continuous capture: the next frame
    board.stop_pg()
    assert param.get_param("PGStatus") == 0
    assert board.wait(30) is False           # no PG, no frames
    assert board.is_running
    board.reset_pg(ch=0)
    assert param.get_param("PGStatus") == 1
    assert board.wait(2000) is True
    board.stop()
    assert board.wait(0) is True and board.status() == STOPPED
    with pytest.raises(RuntimeError, match="Code:3 .*negative time-out"):
        board.wait(-1)


@pytest.mark.usefixtures("virtual_clock")
def test_per_channel_trigger_and_trigger_mask(tmp_path):
    board = small_camera(tmp_path, TriggerMode=1, TriggerMaskMode=1)
    images = locked(board, 2)  # noqa: F841 (kept alive for the capture)
    board.num = 2
    board.start()
    board.force_trigger()
    assert board.wait_event(FRAME, 5000, 0) is True
    board.force_trigger(ch=0)                # masked by the first trigger: dropped
    assert board.wait_event(FRAME, 30, 0) is False
    board.clear_trigger_mask()
    board.force_trigger(0)
    board.wait()
    assert board.query_status().total_frame_count == 2 and board.status() == FINISHED


@pytest.mark.parametrize("member", ["force_trigger", "stop_pg", "reset_pg", "clear_trigger_mask"])
def test_channel_commands_name_the_board_objects_channel(tmp_path, member):
    board = small_camera(tmp_path)
    with pytest.raises(RuntimeError, match="Code:3 .*drives channel 0, not 1"):
        getattr(board, member)(1)
    with pytest.raises(RuntimeError, match="Code:3 .*a KTX22 board has no channel 5"):
        getattr(board, member)(ch=5)


@pytest.mark.usefixtures("virtual_clock")
def test_board_events_raised_and_cancelled(tmp_path):
    board = small_camera(tmp_path)
    assert board.wait_event(EXTERNAL, 0, 0) is False
    vktsim.raise_event(board, EXTERNAL, delay_ms=20)
    assert board.wait_event(EXTERNAL, 10000, 0) is True
    vktsim.cancel_event(board, EXTERNAL, 20)
    assert board.wait_event(EXTERNAL, 10000, 0) is False   # cancelled, long before the time-out
    board.cancel_wait_event(EXTERNAL)                       # nobody waits: nothing happens
    vktsim.raise_event(board, EXTERNAL)
    assert board.wait_event(EXTERNAL, 0, 0) is False        # only events after the call count


def test_capture_end_is_an_event(tmp_path):
    board = small_camera(tmp_path)
    images = locked(board, 1)  # noqa: F841 (kept alive for the capture)
    board.num = 1
    board.start()
    assert board.wait_event(CAPTURE_END, 10000, 0) is True
    assert not board.is_running


@pytest.mark.parametrize("call, text", [
    (lambda b: b.wait_event(4, 0, 0), "no board event 4"),
    (lambda b: b.wait_event(-1, 0, 0), "no board event -1"),
    (lambda b: b.wait_event(0, -1, 0), "an event wait lasts 0 to 60000 ms"),
    (lambda b: b.wait_event(0, 60001, 0), "an event wait lasts 0 to 60000 ms"),
    (lambda b: b.cancel_wait_event(9), "no board event 9"),
])
def test_event_arguments_the_board_refuses(tmp_path, call, text):
    board = small_camera(tmp_path)
    with pytest.raises(RuntimeError) as caught:
        call(board)
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and function.endswith(text)


def test_pll_reconfiguration(tmp_path):
    board = small_camera(tmp_path, PLLReconfig=80)
    param = unit.KTX22Param.from_(board)
    assert param.get_param("PLLReconfigStatus") == 0
    board.pll_reconfig()
    assert (param.get_param("PLLReconfigStatus"), param.get_param("CameraClock")) == (1, 80)
    images = locked(board, 1)  # noqa: F841 (kept alive for the capture)
    board.start()
    with pytest.raises(RuntimeError, match="Code:5 .*a capture is running"):
        board.pll_reconfig()
    board.abort()
    assert board.status() == ABORTED


def test_a_closed_board_refuses_captures_and_waits():
    board = unit.KTX22()
    for call in (board.start, lambda: board.wait(5), lambda: board.wait_event(0, 0, 0),
                 board.pll_reconfig, lambda: board.query_status(unit.TxKTX22CaptureStatus())):
        with pytest.raises(RuntimeError, match="Code:4 .*not open"):
            call()


def test_reset_drops_scheduled_events(tmp_path):
    board = small_camera(tmp_path)
    vktsim.raise_event(board, EXTERNAL, 60000)
    vktsim.reset()                     # returns at once: the timer is stopped
    assert not board.is_opened
