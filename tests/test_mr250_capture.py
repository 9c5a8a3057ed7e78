"""Captures on the simulated MR250: the test pattern, fields, offsets, calibration, signal."""
import numpy as np
import pytest

import unit
import vktsim
from conftest import error_fields
from grabber_support import mr250_expected_pattern as expected_pattern
from grabber_support import mr250_small_camera as small_camera

FINISHED, STOPPED = 2, 3
FRAME_DONE, ALL_IN, STOP_EVENT = 1, 2, 4


def capture(board, images, frames):
    """Runs a capture of `frames` frames into `images` and returns its status."""
    board.lock(images)
    board.num = frames
    board.start()
    return board.wait_status()


@pytest.mark.parametrize("detection", [0, 1, 2])
def test_frames_show_bars_line_and_fields(tmp_path, detection):
    # Board 0 channel 0 reads 5 levels high until calibrated.
    board = small_camera(tmp_path, FieldDetection=detection)
    param = unit.MR250Param.from_(board)
    param.send_command("SelfCalibration")
    images = [vktsim.Image(16, 8) for _ in range(3)]
    status = capture(board, images, 5)
    assert board.status() == FINISHED and not board.is_running
    assert (status.total_frame_count, status.last_frame_no, status.amount_in_frame) == (5, 5, 8)
    assert status.line_count == 40 and status.capture_event == FRAME_DONE | ALL_IN
    # Frames 1..5 went round a ring of three: the images hold 4, 5 and 3.
    for index, frame in enumerate([4, 5, 3]):
        assert board.query_status(index).last_frame_no == frame
        pixels = np.asarray(images[index])
        assert pixels.dtype == np.uint8
        np.testing.assert_array_equal(pixels, expected_pattern(frame, 16, 8, detection=detection))


@pytest.mark.parametrize("board_id, ch, error", [(0, 0, 5), (1, 1, -3), (3, 2, 8)])
def test_the_input_offset_error_shows_until_self_calibration(tmp_path, board_id, ch, error):
    board = small_camera(tmp_path, board_id, ch, Width=24, Height=6)
    param = unit.MR250Param.from_(board)
    image = vktsim.Image(24, 6)
    capture(board, [image], 1)
    np.testing.assert_array_equal(np.asarray(image), expected_pattern(1, 24, 6, offset=error))
    param.send_command("SelfCalibration")
    param.video_offset = -20
    capture(board, [image], 2)
    np.testing.assert_array_equal(np.asarray(image), expected_pattern(2, 24, 6, offset=-20))


def test_video_offset_clips_at_black_and_white(tmp_path):
    board = small_camera(tmp_path)
    param = unit.MR250Param.from_(board)
    param.send_command("SelfCalibration")
    image = vktsim.Image(16, 8)
    for offset in (127, -128):
        param.set_param("VideoOffset", offset)
        capture(board, [image], 1)
        np.testing.assert_array_equal(np.asarray(image), expected_pattern(1, 16, 8, offset=offset))


def test_images_must_be_eight_bit_and_fit_the_camera(tmp_path):
    board = small_camera(tmp_path)
    for wrong in (vktsim.Image(16, 8, depth=16), vktsim.Image(16, 8, channels=3),
                  vktsim.Image(15, 8)):
        with pytest.raises(RuntimeError) as caught:
            board.lock(wrong)
        code, _, function, _ = error_fields(caught.value)
        assert code == 3 and "the camera gives 16x8x1 at 8 bits" in function


def test_a_fast_camera_still_fills_every_image_it_reports(tmp_path):
    # A full-size frame takes longer to draw than the 0.1 ms frame period, so
    # after the first frame several fall due at once; the round is cut at the
    # frame count, and the frames that do come must all be drawn.
    board = small_camera(tmp_path, Width=768, Height=576, HCycle=1000, VCycle=2)
    unit.MR250Param.from_(board).send_command("SelfCalibration")
    images = [vktsim.Image(768, 576) for _ in range(2)]
    for frames in (3, 4):
        for image in images:
            np.asarray(image)[:] = 0
        capture(board, images, frames)
        for index in range(2):
            frame = board.query_status(index).last_frame_no
            np.testing.assert_array_equal(np.asarray(images[index]),
                                          expected_pattern(frame, 768, 576))


@pytest.mark.usefixtures("virtual_clock")
def test_without_a_signal_waits_time_out_until_it_returns(tmp_path):
    board = small_camera(tmp_path, Timeout=100)
    image = vktsim.Image(16, 8)
    board.lock([image])
    vktsim.set_signal(board, False)
    board.start()
    with pytest.raises(RuntimeError, match=r"^Code:7 .*no frame within 100 ms"):
        board.wait()
    assert board.is_running and board.query_status().total_frame_count == 0
    vktsim.set_signal(board, True)
    assert board.wait_status(3).total_frame_count >= 3
    board.stop()
    assert board.status() == STOPPED and board.query_status().capture_event & STOP_EVENT


def test_reset_reconnects_the_signal(tmp_path):
    # On the real clock: a frame time-out far above the frame period, so that
    # only a signal still cut ends the wait with an error.
    board = small_camera(tmp_path, Timeout=10000)
    vktsim.set_signal(board, False)
    vktsim.reset()
    board.open(0, 0)
    image = vktsim.Image(640, 480)
    board.lock(image)
    board.num = 1
    board.start()
    board.wait()
    assert board.query_status().total_frame_count == 1


def test_triggered_frames_come_on_force_trigger(tmp_path):
    board = small_camera(tmp_path, TriggerMode=1, ExposureTime=100)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = 2
    board.start()
    board.force_trigger()
    assert board.wait_status(1).total_frame_count >= 1
    board.force_trigger()
    assert board.wait_status().total_frame_count == 2
